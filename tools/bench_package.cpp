// Benchmark of packages (not a test): adds one large file and a folder of many small files to a new
// package, extracts them again as the installer does, and times the extraction against copying the same
// bytes with cp on the same disk. Usage: bench_package [work folder] [large MiB] [small files] [block size]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data_file.h"
#include "package.h"

namespace fs = std::filesystem;
using bench_support::fill;
using bench_support::seconds_since;
using bench_support::write_file;

namespace {

bool same_file(const fs::path& a, const fs::path& b) {
  FILE* first = std::fopen(a.string().c_str(), "rb");
  FILE* second = std::fopen(b.string().c_str(), "rb");
  bool same = first && second;
  std::vector<char> x(1 << 16), y(1 << 16);
  while (same) {
    size_t got_x = std::fread(x.data(), 1, x.size(), first);
    size_t got_y = std::fread(y.data(), 1, y.size(), second);
    same = got_x == got_y && std::memcmp(x.data(), y.data(), got_x) == 0;
    if (got_x == 0) break;
  }
  if (first) std::fclose(first);
  if (second) std::fclose(second);
  return same;
}

// Copies with the system's cp (a plain file copy where there is none) and returns the seconds taken.
double timed_copy(const fs::path& from, const fs::path& to, bool folder) {
  auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
  if (folder)
    fs::copy(from, to, fs::copy_options::recursive);
  else
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
#else
  std::string command = std::string("cp ") + (folder ? "-r '" : "'") + from.string() + "' '" + to.string() + "'";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cp failed: %s\n", command.c_str());
    std::exit(1);
  }
#endif
  return seconds_since(start);
}

bool set_folder(FOLDER* folder, const fs::path& path) { return folder->set_if_folder(path.string().c_str()); }

}  // namespace

int main(int argc, char** argv) {
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::current_path() / "bench_package_work";
  long megabytes = argc > 2 ? std::atol(argv[2]) : 200;
  int small_count = argc > 3 ? std::atoi(argv[3]) : 5000;
  INT_S32 block_size = argc > 4 ? std::atoi(argv[4]) : 1024;
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::create_directories(work / "small");
  work = fs::absolute(work);

  std::printf("preparing %ld MiB and %d small files in %s\n", megabytes, small_count, work.string().c_str());
  std::vector<char> large(static_cast<size_t>(megabytes) << 20);
  fill(large, 1);
  if (!write_file(work / "large.bin", large)) return 1;
  std::vector<std::string> names;
  std::vector<char> small;
  for (int index = 0; index < small_count; ++index) {
    char name[32];
    std::snprintf(name, sizeof name, "s%05d.txt", index);
    names.push_back(name);
    small.resize(100 + (index * 7919) % 8000);
    fill(small, static_cast<unsigned>(index + 2));
    if (!write_file(work / "small" / name, small)) return 1;
  }

  FOLDER base, small_folder;
  if (!set_folder(&base, work) || !set_folder(&small_folder, work / "small")) return 1;

  auto start = std::chrono::steady_clock::now();
  {
    PACKAGE package(&base, "bench.pkg", true, block_size, true, false);
    if (!package.file || !package.add_file(&base, "large.bin", nullptr, false)) return 1;
    for (const std::string& name : names) {
      std::string entry = "small/" + name;
      if (!package.add_file(&small_folder, name.c_str(), entry.c_str(), false)) return 1;
    }
  }
  double add_all = seconds_since(start);

  // Extraction as the installer does it: a read-only package with its directory loaded.
  // Copies and extractions alternate, twice, and the faster of each pair counts: file creation costs
  // of the file system vary from one pass to the next.
  PACKAGE package(&base, "bench.pkg", false, -1, true, true);
  if (!package.file) return 1;
  double copy_large = 1e9, copy_small = 1e9, extract_large = 1e9, extract_small = 1e9;
  bool correct = true;
  for (int pass = 0; pass < 2; ++pass) {
    std::string suffix = std::to_string(pass);
    copy_large = std::min(copy_large, timed_copy(work / "large.bin", work / ("copy_large" + suffix), false));
    start = std::chrono::steady_clock::now();
    std::string large_name = "out_large" + suffix;
    if (!package.extract_entry(&base, large_name.c_str(), "large.bin")) return 1;
    extract_large = std::min(extract_large, seconds_since(start));

    copy_small = std::min(copy_small, timed_copy(work / "small", work / ("copy_small" + suffix), true));
    fs::path out_path = work / ("out_small" + suffix);
    fs::create_directories(out_path);
    FOLDER out_small;
    if (!set_folder(&out_small, out_path)) return 1;
    start = std::chrono::steady_clock::now();
    for (const std::string& name : names) {
      std::string entry = "small/" + name;
      if (!package.extract_entry(&out_small, name.c_str(), entry.c_str())) return 1;
    }
    extract_small = std::min(extract_small, seconds_since(start));

    correct = correct && same_file(work / "large.bin", work / large_name);
    for (size_t index = 0; correct && index < names.size(); index += 97)
      correct = same_file(work / "small" / names[index], out_path / names[index]);
  }

  std::printf("block size %d, package %.1f MiB\n", static_cast<int>(block_size),
              static_cast<double>(fs::file_size(work / "bench.pkg")) / (1 << 20));
  std::printf("add everything:  %8.3f s\n", add_all);
  std::printf("large file:      extract %8.3f s   cp %8.3f s   ratio %.2f (target 1.5)\n", extract_large, copy_large,
              extract_large / copy_large);
  std::printf("%d small files: extract %8.3f s   cp %8.3f s   ratio %.2f (target 3.0)\n", small_count, extract_small,
              copy_small, extract_small / copy_small);
  std::printf("extracted data %s\n", correct ? "match" : "DIFFER");
  fs::remove_all(work, ignored);
  return correct ? 0 : 1;
}
