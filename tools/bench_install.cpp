// Benchmark of automatic mode (not a test): installs a package of large files and one of many small
// files with "installer -a" and unpacks the same files from a tar archive with "tar -xf" to the same
// disk in the same run, and prints the time ratios (targets: 1.3 for large files, 2 for small ones).
// Usage: bench_install [work folder] [large files] [large file KiB] [small files] [small file bytes]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "package_builder.h"

namespace fs = std::filesystem;
using bench_support::fill;
using bench_support::seconds_since;

#ifndef _WIN32
namespace {

int run(const std::string& command) {
  int status = std::system(command.c_str());
  return status;
}

// Makes count files of size bytes in folders of 100, the package (blocks of block_size bytes), the
// description and the tar archive; then times both unpackings. The ratio is the installer's time over tar's.
bool measure(const fs::path& work, const std::string& installer, const char* label, int count, size_t size,
             INT_S32 block_size, double* ratio) {
  fs::path set = work / label;
  fs::remove_all(set);
  fs::create_directories(set / "source" / "files");
  std::vector<char> bytes(size);
  for (int i = 0; i < count; i++) {
    fs::path folder = set / "source" / "files" / ("d" + std::to_string(i / 100));
    fs::create_directories(folder);
    fill(bytes, (unsigned)i * 2654435761u + 1u);
    if (!bench_support::write_file(folder / ("f" + std::to_string(i) + ".bin"), bytes)) return false;
  }
  std::string destination = (set / "installed").string();
  FILE* description = std::fopen((set / "source" / "description.txt").string().c_str(), "w");
  if (!description) return false;
  std::fprintf(description, "installation = Benchmark\ndefault_path = $ROOT0%s\n", destination.c_str());
  std::fclose(description);
  fs::create_directories(set / "package");
  std::string error;
  if (!package_builder::build_package((set / "source" / "description.txt").string(),
                                      (set / "package" / "installer.pkg").string(), &error, block_size)) {
    std::fprintf(stderr, "bench_install: %s\n", error.c_str());
    return false;
  }
  std::string tar = (set / "files.tar").string();
  if (run("tar -cf '" + tar + "' -C '" + (set / "source" / "files").string() + "' .") != 0) return false;
  fs::create_directories(set / "untarred");
  run("sync");

  std::string environment = "HOME='" + set.string() + "/home' XDG_CONFIG_HOME='" + set.string() +
                            "/home/config' XDG_DATA_HOME='" + set.string() + "/home/data' TMPDIR='" + set.string() +
                            "' VELK_UNATTENDED=1 ";
  auto start = std::chrono::steady_clock::now();
  int status = run(environment + "'" + installer + "' -x '$ROOT0" + (set / "package").string() +
                   "/installer.xml' -a >/dev/null");
  double installer_seconds = seconds_since(start);
  start = std::chrono::steady_clock::now();
  int tar_status = run("tar -xf '" + tar + "' -C '" + (set / "untarred").string() + "'");
  double tar_seconds = seconds_since(start);
  if (status != 0 || tar_status != 0) {
    std::fprintf(stderr, "bench_install: installer status %d, tar status %d\n", status, tar_status);
    return false;
  }
  *ratio = installer_seconds / (tar_seconds > 0 ? tar_seconds : 1e-9);
  std::printf("%-6s %6d files x %8zu bytes: installer -a %.3f s, tar -xf %.3f s, ratio %.2f\n", label, count, size,
              installer_seconds, tar_seconds, *ratio);
  fs::remove_all(set);
  return true;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::printf("bench_install runs on the Linux build (it times tar beside the installer)\n");
  return 0;
#else
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velk-bench-install";
  int large_count = argc > 2 ? std::atoi(argv[2]) : 2000;
  size_t large_size = (argc > 3 ? (size_t)std::atoi(argv[3]) : 100) * 1024;
  int small_count = argc > 4 ? std::atoi(argv[4]) : 20000;
  size_t small_size = argc > 5 ? (size_t)std::atoi(argv[5]) : 512;
  std::string installer = (fs::absolute(fs::path(argv[0])).parent_path() / "installer").string();
  if (!fs::exists(installer)) {
    std::fprintf(stderr, "bench_install: no installer beside this program (%s)\n", installer.c_str());
    return 2;
  }
  fs::create_directories(work);
  double large = 0, small = 0;
  // Package blocks sized for the files they hold: 64 KiB for the large files, 4 KiB for the small ones.
  if (!measure(work, installer, "large", large_count, large_size, 65536, &large) ||
      !measure(work, installer, "small", small_count, small_size, 4096, &small))
    return 1;
  std::printf("ratios: large files %.2f (target 1.3), small files %.2f (target 2)\n", large, small);
  fs::remove_all(work);
  return 0;
#endif
}
