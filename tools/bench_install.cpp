// Benchmark of automatic mode (not a test): installs packages with "installer -a" and unpacks the same
// files from a tar archive with "tar -xf" to the same disk, in paired runs (one of each, right after each
// other, the order alternating from pair to pair, after one untimed pair that warms the cache). Each
// destination is checked against the source files and then renamed out of the way; nothing is deleted
// until every run is over, since a file system creates files slowly just after many were deleted.
// Prints the median ratio of the pairs with its minimum and maximum:
//   2,000 files of 100 KiB (target 1.0), 20,000 files of 1-8 KiB (target 1.2), 8,000 files of 200 bytes
//   to 16 KiB in 1,000 folders nested up to 10 deep, a tree of modules (target 1.2),
// and the growth table: time per file at 1,000, 5,000, 20,000 and 32,000 files of 1-8 KiB beside tar's
// (target: flat within 25 % of the time per file at 1,000 files); then the 5,000 files of 1-8 KiB with
// overwrite rules 2 and 1 (which look each name up as its file comes) beside the same files with rule 0
// (target: within 1.2 of rule 0's ratio to tar).
// With a second installer program (another build) its runs join every pair, in turn with the others:
// its ratio to tar is printed beside, and the ratio of this build's times to its times.
// Usage: bench_install [work folder] [pairs per set, 5] [package block size, 4096] [installer to compare]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data_file.h"
#include "database.h"
#include "files.h"
#include "package.h"

namespace fs = std::filesystem;
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::shell_quoted;

namespace {

// The source files, package and tar archive of one measurement, and where its runs go.
struct SET {
  fs::path root;
  std::vector<std::string> files;  // relative to root / "source" / "files"
  std::string installer_command;   // installs into root / "installed"
  std::string tar_command;         // unpacks into root / "untarred"
  std::string other_command;       // the installer compared, into root / "installed"; empty for none
  int runs = 0;                    // destinations renamed so far
};

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// Writes the files at the relative paths and their package (bench_support), and the tar archive of the
// same files.
bool make_set(const fs::path& work, const std::string& installer, const std::string& other, const std::string& label,
              const std::vector<std::string>& paths, size_t min_size, size_t max_size, INT_S32 block_size, SET* set) {
  set->root = work / label;
  std::string error;
  if (!bench_support::write_installation_set(set->root, paths, min_size, max_size, block_size, &set->files, &error)) {
    std::fprintf(stderr, "bench_install: %s\n", error.c_str());
    return false;
  }
  fs::path tar = set->root / "files.tar";
  if (!run("tar -cf " + shell_quoted(tar) + " -C " + shell_quoted(set->root / "source" / "files") + " ."))
    return false;
  set->installer_command = bench_support::automatic_install_command(installer, set->root);
  if (!other.empty()) set->other_command = bench_support::automatic_install_command(other, set->root);
  set->tar_command = "tar -xf " + shell_quoted(tar) + " -C " + shell_quoted(set->root / "untarred");
  return true;
}

// Gives every file of the set's package the overwrite rule: its database is read, changed and stored
// into the package again, as no description can ask for a rule.
bool give_overwrite_rule(SET* set, INT_U8 rule) {
  FOLDER folder;
  std::string path = (set->root / "package").string();
  if (!folder.set_if_folder(path.c_str())) return false;
  DATABASE database;
  database.data_folder = folder;
  if (!database.load_package("installer.pkg")) return false;
  for (INT_S16 i = 0; i < database.installation_count; i++)
    for (INT_S16 f = 0; f < database.installations[i].file_count; f++) database.installations[i].files[f].overwrite = rule;
  delete database.package;
  database.package = nullptr;
  DATA_FILE* stored = open_data_file(&folder, "database.bin", FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  if (!stored || !database.put_to_data_device(stored) || !close_data_file(&stored)) return false;
  bool added = PACKAGE(&folder, "installer.pkg", false, -1, true, false).add_file(&folder, "database.bin", "database.bin", true);
  return delete_file(&folder, "database.bin") && added;
}

// Times one command; false when it fails.
bool timed(const std::string& command, double* seconds) {
  auto start = std::chrono::steady_clock::now();
  bool ok = run(command);
  *seconds = seconds_since(start);
  return ok;
}

// Checks a destination against the source files and renames it into the trash.
bool check_and_move(SET* set, const fs::path& work, const char* destination) {
  std::string wrong;
  if (!bench_support::same_files(set->root / "source" / "files", set->root / destination, set->files, &wrong)) {
    std::fprintf(stderr, "bench_install: %s differs from its source\n", wrong.c_str());
    return false;
  }
  fs::path trash = work / "trash" / (set->root.filename().string() + "-" + destination + "-" + std::to_string(set->runs++));
  fs::rename(set->root / destination, trash);
  return true;
}

// One pair: the installer and tar (and the installer compared) back to back, the first of them turning
// with the pair's number; each destination is checked and moved away after its run. The first pair of a
// set is run only to warm the cache. Everything written before is on disk first, so that no run waits
// for the writes of the pair before.
bool run_pair(SET* set, const fs::path& work, int pair, double* installer_seconds, double* tar_seconds,
              double* other_seconds) {
  struct RUN {
    const std::string* command;
    double* seconds;
    const char* destination;
  };
  std::vector<RUN> runs = {{&set->installer_command, installer_seconds, "installed"},
                           {&set->tar_command, tar_seconds, "untarred"}};
  if (!set->other_command.empty()) runs.push_back({&set->other_command, other_seconds, "installed"});
  std::rotate(runs.begin(), runs.begin() + pair % runs.size(), runs.end());
  run("sync");
  for (const RUN& one : runs) {
    if (one.command == &set->tar_command) fs::create_directories(set->root / "untarred");
    if (!timed(*one.command, one.seconds)) {
      std::fprintf(stderr, "bench_install: a run failed:\n  %s\n", one.command->c_str());
      return false;
    }
    if (!check_and_move(set, work, one.destination)) return false;
  }
  return true;
}

void print_set(const char* label, int count, const PAIRED_TIMES& times, double target) {
  double ratio = times.median_ratio();
  std::printf("%-6s %6d files: installer -a %.3f s, tar -xf %.3f s (medians); ratio %s; target %.1f %s\n", label,
              count, times.median_ours(), times.median_baseline(), times.spread().c_str(), target,
              ratio <= target ? "met" : "NOT met");
}

// The installer compared: its ratio to tar, and this build's time to its time, pair by pair.
void print_comparison(const char* label, const PAIRED_TIMES& other, const PAIRED_TIMES& versus) {
  std::printf("%-6s compared installer -a %.3f s (median); ratio to tar %s\n", label, other.median_ours(),
              other.spread().c_str());
  std::printf("%-6s this build / compared build: %s\n", label, versus.spread().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  fs::path work = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velk-bench-install");
  int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  INT_S32 block_size = argc > 3 ? std::atoi(argv[3]) : 4096;
  std::string installer = bench_support::installer_beside(argv[0], "bench_install");
  if (installer.empty()) return 2;
  std::string other = argc > 4 ? fs::absolute(argv[4]).string() : "";
  if (pairs < 1 || block_size < 1 || (!other.empty() && !fs::exists(other))) {
    std::fprintf(stderr, "usage: bench_install [work folder] [pairs per set] [package block size] [installer]\n");
    return 2;
  }
  // Leftovers of an earlier run are removed and written out before anything is timed.
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::create_directories(work / "trash");
  run("sync");

  std::printf("%d timed pairs per set after one warm-up pair; package blocks of %d bytes; work folder %s\n", pairs,
              (int)block_size, work.string().c_str());
  if (!other.empty()) std::printf("installer compared: %s\n", other.c_str());
  std::fflush(stdout);
  // Every set is made first; then each round runs one pair of every set, after a first round that only
  // warms the cache: a disturbance of the machine falls on all sets alike, not on one size.
  const int counts[] = {1000, 5000, 20000, 32000};
  const size_t count_sets = sizeof counts / sizeof counts[0], tree = 1 + count_sets, rule2 = tree + 1, rule1 = tree + 2;
  std::vector<SET> sets(4 + count_sets);
  bool ok = make_set(work, installer, other, "large", bench_support::paths_in_hundreds(2000), 100 * 1024, 100 * 1024,
                     block_size, &sets[0]);
  for (size_t index = 1; ok && index <= count_sets; ++index)
    ok = make_set(work, installer, other, "small" + std::to_string(counts[index - 1]),
                  bench_support::paths_in_hundreds(counts[index - 1]), 1024, 8192, block_size, &sets[index]);
  ok = ok && make_set(work, installer, other, "tree", bench_support::nested_tree_paths(8000, 1000, 10), 200, 16384,
                      block_size, &sets[tree]);
  for (size_t index : {rule2, rule1})
    ok = ok && make_set(work, installer, other, index == rule2 ? "rule2" : "rule1", bench_support::paths_in_hundreds(5000),
                        1024, 8192, block_size, &sets[index]) &&
         give_overwrite_rule(&sets[index], index == rule2 ? 2 : 1);
  std::vector<PAIRED_TIMES> times(sets.size()), other_times(sets.size()), versus(sets.size());
  for (int round = 0; ok && round <= pairs; ++round)
    for (size_t index = 0; ok && index < sets.size(); ++index) {
      double installer_seconds = 0, tar_seconds = 0, other_seconds = 0;
      ok = run_pair(&sets[index], work, round, &installer_seconds, &tar_seconds, &other_seconds);
      if (round == 0) continue;
      times[index].add(installer_seconds, tar_seconds);
      other_times[index].add(other_seconds, tar_seconds);
      versus[index].add(installer_seconds, other_seconds);
    }
  if (ok) {
    print_set("large", 2000, times[0], 1.0);
    if (!other.empty()) print_comparison("large", other_times[0], versus[0]);
    print_set("small", 20000, times[3], 1.2);
    if (!other.empty()) print_comparison("small", other_times[3], versus[3]);
    print_set("tree", 8000, times[tree], 1.2);
    if (!other.empty()) print_comparison("tree", other_times[tree], versus[tree]);
    // The rules' sets against rule 0's set of the same files.
    for (size_t index : {rule2, rule1}) {
      const char* label = index == rule2 ? "rule 2" : "rule 1";
      double against = times[index].median_ratio() / times[2].median_ratio();
      std::printf("%-6s %6d files: installer -a %.3f s, tar -xf %.3f s (medians); ratio %s; against rule 0's %.3f: "
                  "%.3f; target 1.2 %s\n",
                  label, 5000, times[index].median_ours(), times[index].median_baseline(),
                  times[index].spread().c_str(), times[2].median_ratio(), against, against <= 1.2 ? "met" : "NOT met");
      if (!other.empty()) print_comparison(label, other_times[index], versus[index]);
    }
  }
  std::vector<PAIRED_TIMES> growth(times.begin() + 1, times.begin() + tree);

  if (ok) {
    // Time per file, and per file added from the row before: the second leaves out what a run costs
    // whatever its size (starting the program, loading the package).
    std::printf("\ngrowth (files of 1-8 KiB): time per file, medians of the pairs\n");
    std::printf("%7s %14s %10s %36s %15s %17s %11s\n", "files", "installer us", "tar us", "ratio", "vs 1,000 files",
                "installer us/add", "tar us/add");
    double first = growth[0].median_ours() / counts[0];
    double worst = 0;
    for (size_t index = 0; index < growth.size(); ++index) {
      double per_file = growth[index].median_ours() / counts[index];
      double change = per_file / first - 1;
      if (std::fabs(change) > std::fabs(worst)) worst = change;
      std::printf("%7d %14.1f %10.1f %36s %+14.0f%%", counts[index], per_file * 1e6,
                  growth[index].median_baseline() / counts[index] * 1e6, growth[index].spread().c_str(), change * 100);
      if (index > 0) {
        double added = counts[index] - counts[index - 1];
        std::printf(" %17.1f %11.1f", (growth[index].median_ours() - growth[index - 1].median_ours()) / added * 1e6,
                    (growth[index].median_baseline() - growth[index - 1].median_baseline()) / added * 1e6);
      }
      std::printf("\n");
    }
    std::printf("installer time per file: largest change from 1,000 files %+.0f%% (target within 25%%: %s)\n",
                worst * 100, std::fabs(worst) <= 0.25 ? "met" : "NOT met");
  }
  // Everything is deleted only now, after the last timed run.
  fs::remove_all(work, ignored);
  run("sync");
  return ok ? 0 : 1;
}
