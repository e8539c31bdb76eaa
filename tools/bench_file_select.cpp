// File selector benchmark (not a test): the selector opening a folder of 10,000 files (its list and
// location menu rebuilt in one pass), against reading the same folder with the host layer's directory
// scan alone, in paired runs of the same process; the ratio shows what building the rows adds to the scan.
// Usage: bench_file_select [rounds] [scratch folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "file_select.h"
#include "files.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "screen_image.h"

namespace {

const int ENTRIES = 10000;

// Every entry of the folder through the host's scan, as the selector reads them (folders, then files).
int scan_folder(FOLDER* folder) {
  int seen = 0;
  for (int pass = 0; pass < 2; pass++) {
    DIRECTORY_SCAN* scan = open_directory_scan(folder, nullptr, 0, SCAN_ENDS_WITH, 0);
    if (!scan) return seen;
    SCAN_ENTRY entry;
    while (read_directory_scan(scan, &entry))
      if ((entry.is_folder != 0) == (pass == 0)) seen++;
    close_directory_scan(scan);
  }
  return seen;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  std::filesystem::path top =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path() / "bench_file_select";
  std::filesystem::path files = top / "entries";
  std::error_code error;
  std::filesystem::remove_all(top, error);
  std::filesystem::create_directories(files, error);
  for (int i = 0; i < ENTRIES; i++) {
    char name[32];
    std::snprintf(name, sizeof name, "entry%05d.dat", i);
    if (!bench_support::write_file(files / name, std::vector<char>(16))) {
      std::printf("cannot write the entries under %s\n", top.string().c_str());
      return 1;
    }
  }
  FOLDER folder;
  if (!folder.set_if_folder(files.string().c_str())) return 1;

  start_host();  // the host as the program starts it (on Linux, its heap settings)
  test_seam_set_ticks(100000, 0);
  test_seam_screen(800, 600);
  draw_target = &screen_image;
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  WM_FILE_SELECT* selector = new WM_FILE_SELECT(-1, -1, true, nullptr, 0, nullptr, nullptr, nullptr);
  manager->get_root()->add_top_level(selector, false);

  bench_support::PAIRED_TIMES times;
  int scanned = 0;
  for (int round = 0; round < rounds; round++) {
    auto start = std::chrono::steady_clock::now();
    selector->set_mode(FILE_SELECT_FILE, &folder, nullptr, nullptr);
    selector->rebuild();
    double opened = bench_support::seconds_since(start);
    start = std::chrono::steady_clock::now();
    scanned = scan_folder(&folder);
    double scan = bench_support::seconds_since(start);
    times.add(opened, scan);
  }
  std::printf("folder of %d files: %d rows listed, %d entries scanned\n", ENTRIES, (int)selector->row_count, scanned);
  std::printf("file selector opens it   %10.1f ms\n", times.median_ours() * 1e3);
  std::printf("directory scan alone     %10.1f ms\n", times.median_baseline() * 1e3);
  std::printf("ratio                    %s (target <= 2)\n", times.spread().c_str());
  delete manager;
  std::filesystem::remove_all(top, error);
  return 0;
}
