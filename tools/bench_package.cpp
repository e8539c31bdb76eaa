// Benchmark of packages (not a test): adds one large file and a folder of many small files to a new
// package, then extracts them as the installer does and copies the same files with cp on the same disk,
// in paired runs (one of each right after each other, the order alternating, after one untimed pair that
// warms the cache). Every extracted file is compared with its source; destinations are kept until every
// run is over, since a file system creates files slowly just after many were deleted. Prints the median
// ratio of the pairs with its minimum and maximum.
// Usage: bench_package [work folder] [large MiB] [small files] [block size] [pairs]
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
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::write_file;

namespace {

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

// Extracts the large file (small: every small file) into a new folder named after the run; -1 on failure.
double timed_extract(PACKAGE* package, const fs::path& work, bool small, const std::vector<std::string>& names,
                     const std::string& run) {
  fs::path out = work / ("out_" + std::string(small ? "small" : "large") + run);
  fs::create_directories(out);
  FOLDER folder;
  if (!set_folder(&folder, out)) return -1;
  auto start = std::chrono::steady_clock::now();
  if (small) {
    for (const std::string& name : names) {
      std::string entry = "small/" + name;
      if (!package->extract_entry(&folder, name.c_str(), entry.c_str())) return -1;
    }
  } else if (!package->extract_entry(&folder, "large.bin", "large.bin")) {
    return -1;
  }
  return seconds_since(start);
}

// One pair of each kind; the extracted files are compared with their sources afterwards.
bool run_pair(PACKAGE* package, const fs::path& work, bool small, const std::vector<std::string>& names, int pair,
              double* extract_seconds, double* copy_seconds) {
  std::string run = std::to_string(pair);
  fs::path source = small ? work / "small" : work / "large.bin";
  fs::path copy = work / ("copy_" + std::string(small ? "small" : "large") + run);
  if (pair % 2 == 0) {
    *extract_seconds = timed_extract(package, work, small, names, run);
    *copy_seconds = timed_copy(source, copy, small);
  } else {
    *copy_seconds = timed_copy(source, copy, small);
    *extract_seconds = timed_extract(package, work, small, names, run);
  }
  if (*extract_seconds < 0) {
    std::fprintf(stderr, "bench_package: extraction failed\n");
    return false;
  }
  std::string wrong;
  fs::path out = work / ("out_" + std::string(small ? "small" : "large") + run);
  bool same = small ? bench_support::same_files(work / "small", out, names, &wrong)
                    : bench_support::same_files(work, out, {"large.bin"}, &wrong);
  if (!same) std::fprintf(stderr, "bench_package: %s differs from its source\n", wrong.c_str());
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::current_path() / "bench_package_work";
  long megabytes = argc > 2 ? std::atol(argv[2]) : 200;
  int small_count = argc > 3 ? std::atoi(argv[3]) : 5000;
  INT_S32 block_size = argc > 4 ? std::atoi(argv[4]) : 1024;
  int pairs = argc > 5 ? std::atoi(argv[5]) : 5;
  if (megabytes < 1 || small_count < 1 || pairs < 1) {
    std::fprintf(stderr, "usage: bench_package [work folder] [large MiB] [small files] [block size] [pairs]\n");
    return 2;
  }
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
  PACKAGE package(&base, "bench.pkg", false, -1, true, true);
  if (!package.file) return 1;
  PAIRED_TIMES large_times, small_times;
  for (int pair = 0; pair <= pairs; ++pair) {
    double extract_seconds = 0, copy_seconds = 0;
    // Pair 0 warms the cache and is not counted.
    if (!run_pair(&package, work, false, names, pair, &extract_seconds, &copy_seconds)) return 1;
    if (pair > 0) large_times.add(extract_seconds, copy_seconds);
    if (!run_pair(&package, work, true, names, pair, &extract_seconds, &copy_seconds)) return 1;
    if (pair > 0) small_times.add(extract_seconds, copy_seconds);
  }

  std::printf("block size %d, package %.1f MiB, every extracted file matches its source\n",
              static_cast<int>(block_size), static_cast<double>(fs::file_size(work / "bench.pkg")) / (1 << 20));
  std::printf("add everything:  %8.3f s\n", add_all);
  std::printf("large file:      extract %8.3f s   cp %8.3f s (medians)   ratio %s (target 1.5)\n",
              large_times.median_ours(), large_times.median_baseline(), large_times.spread().c_str());
  std::printf("%d small files: extract %8.3f s   cp %8.3f s (medians)   ratio %s (target 3.0)\n", small_count,
              small_times.median_ours(), small_times.median_baseline(), small_times.spread().c_str());
  fs::remove_all(work, ignored);
  return 0;
}
