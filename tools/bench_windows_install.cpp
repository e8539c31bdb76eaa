// Benchmark of the Windows program's automatic mode against NSIS under the same Wine (not a test; CI does
// not run it): the same payloads as bench_install, 2,000 files of 100 KiB, 20,000 files of 1-8 KiB and
// 8,000 files of 200 bytes to 16 KiB in 1,000 folders nested up to 10 deep (a tree of modules),
// each as a package for "installer.exe -a" (stored: the package format keeps entries as they are) and
// as two NSIS installers made with makensis, "SetCompress off" and zlib, run with "/S /D=...". One
// prefix and one persistent wineserver serve every run. Per set and NSIS form: one untimed pair that
// warms the cache, then paired runs (the installer and NSIS right after each other, the order
// alternating from pair to pair), after which each destination is checked against the source files and
// renamed out of the way; nothing is deleted until every run is over. Prints the median ratio of the
// pairs with its minimum and maximum (target: 1.0 or less).
// With a second installer.exe (another build) its runs join every pair, in turn with the others: its
// ratio to NSIS is printed beside, and the ratio of this build's times to its times.
// Run it through tools/bench_windows_install.sh, which makes the Wine prefix (tools/wine_env.sh).
// Usage: bench_windows_install <installer.exe> [pairs, 5] [package block size, 4096] [installer.exe to compare]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace fs = std::filesystem;
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::shell_quoted;

namespace {

const char* const NSIS_FORMS[2] = {"off", "zlib"};

// One payload: its source files, package and NSIS installers, and its runs.
struct SET {
  std::string label;               // "large", "small" or "tree"
  fs::path root;                   // C:\velk-bench\<label>
  std::vector<std::string> files;  // relative to root / "source" / "files"
  std::string installer_command;   // installs into root / "installed"
  std::string nsis_commands[2];    // install into root / "nsis-off" and root / "nsis-zlib"
  std::string other_command;       // the installer.exe compared, into root / "installed"; empty for none
  int runs = 0;                    // destinations renamed so far
  PAIRED_TIMES times[2];           // against each NSIS form
  PAIRED_TIMES other_times[2];     // the installer.exe compared against each NSIS form
  PAIRED_TIMES versus[2];          // this build against the one compared, in the pairs of each form
};

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The path as the Windows programs see it: the prefix's C: drive.
std::string windows_path(const fs::path& drive_c, const fs::path& path) {
  std::string text = "C:\\" + fs::relative(path, drive_c).string();
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

// Writes the files at the relative paths and their package, and the two NSIS installers of the same files.
bool make_set(const fs::path& drive_c, const fs::path& work, const std::string& installer, const std::string& other,
              const std::string& label, const std::vector<std::string>& paths, size_t min_size, size_t max_size,
              INT_S32 block_size, SET* set) {
  set->label = label;
  set->root = work / label;
  std::string destination = "$ROOT0/" + fs::relative(set->root / "installed", drive_c).string();
  std::string error;
  if (!bench_support::write_installation_set(set->root, paths, min_size, max_size, block_size, &set->files, &error, "",
                                             destination)) {
    std::fprintf(stderr, "bench_windows_install: %s\n", error.c_str());
    return false;
  }
  std::string quiet = " </dev/null >/dev/null 2>&1";
  std::string arguments = " -x '$ROOT0/" + fs::relative(set->root / "package", drive_c).string() + "/installer.xml' -a" + quiet;
  set->installer_command = "wine " + shell_quoted(installer) + arguments;
  if (!other.empty()) set->other_command = "wine " + shell_quoted(other) + arguments;
  for (int form = 0; form < 2; form++) {
    fs::path nsis = set->root / (std::string("nsis-") + NSIS_FORMS[form] + ".exe");
    if (!run("bash -c '. \"$VELK_WINE_ENV\" && velk_nsis_installer \"$0\" \"$1\" \"$2\"' " + shell_quoted(nsis) + " " +
             shell_quoted(set->root / "source" / "files") + " " + NSIS_FORMS[form])) {
      std::fprintf(stderr, "bench_windows_install: makensis failed for %s\n", nsis.string().c_str());
      return false;
    }
    fs::path destination_folder = set->root / (std::string("nsis-") + NSIS_FORMS[form]);
    set->nsis_commands[form] = "wine " + shell_quoted(nsis) + " /S '/D=" + windows_path(drive_c, destination_folder) +
                               "'" + quiet;
  }
  return true;
}

bool timed(const std::string& command, double* seconds) {
  auto start = std::chrono::steady_clock::now();
  bool ok = run(command);
  *seconds = seconds_since(start);
  return ok;
}

// Checks a destination against the source files and renames it into the trash.
bool check_and_move(SET* set, const fs::path& work, const std::string& destination) {
  std::string wrong;
  if (!bench_support::same_files(set->root / "source" / "files", set->root / destination, set->files, &wrong)) {
    std::fprintf(stderr, "bench_windows_install: %s differs from its source\n", wrong.c_str());
    return false;
  }
  fs::rename(set->root / destination,
             work / "trash" / (set->label + "-" + destination + "-" + std::to_string(set->runs++)));
  return true;
}

// One pair against one NSIS form (with the installer.exe compared, a run of it too); the pair's number
// turns the order of the runs. Each destination is checked and moved away after its run. What the runs
// before wrote is on disk first, so that no run waits for the writes of the pair before.
bool run_pair(SET* set, const fs::path& work, int form, int pair, bool timed_pair) {
  double ours = 0, peer = 0, other = 0;
  struct RUN {
    const std::string* command;
    double* seconds;
    std::string destination;
  };
  std::vector<RUN> runs = {{&set->installer_command, &ours, "installed"},
                           {&set->nsis_commands[form], &peer, std::string("nsis-") + NSIS_FORMS[form]}};
  if (!set->other_command.empty()) runs.push_back({&set->other_command, &other, "installed"});
  std::rotate(runs.begin(), runs.begin() + pair % runs.size(), runs.end());
  run("sync");
  for (const RUN& one : runs) {
    if (!timed(*one.command, one.seconds)) {
      std::fprintf(stderr, "bench_windows_install: a run failed:\n  %s\n", one.command->c_str());
      return false;
    }
    if (!check_and_move(set, work, one.destination)) return false;
  }
  if (!timed_pair) return true;
  set->times[form].add(ours, peer);
  set->other_times[form].add(other, peer);
  set->versus[form].add(ours, other);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* drive_c_text = std::getenv("VELK_WINE_DRIVE_C");
  if (argc < 2 || !drive_c_text || !std::getenv("VELK_WINE_ENV")) {
    std::fprintf(stderr, "usage (through tools/bench_windows_install.sh): bench_windows_install <installer.exe> "
                         "[pairs] [package block size]\n");
    return 2;
  }
  std::string installer = fs::absolute(argv[1]).string();
  int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  INT_S32 block_size = argc > 3 ? std::atoi(argv[3]) : 4096;
  std::string other = argc > 4 ? fs::absolute(argv[4]).string() : "";
  if (!fs::exists(installer) || pairs < 1 || block_size < 1 || (!other.empty() && !fs::exists(other))) {
    std::fprintf(stderr, "bench_windows_install: no %s, or a bad number\n", installer.c_str());
    return 2;
  }
  fs::path drive_c = fs::canonical(drive_c_text);
  fs::path work = drive_c / "velk-bench";
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::create_directories(work / "trash");
  run("sync");
  std::printf("%d timed pairs per comparison after one warm-up pair; package blocks of %d bytes; Wine prefix %s\n",
              pairs, (int)block_size, drive_c.parent_path().string().c_str());
  std::fflush(stdout);

  std::vector<SET> sets(3);
  if (!other.empty()) std::printf("installer.exe compared: %s\n", other.c_str());
  bool ok = make_set(drive_c, work, installer, other, "large", bench_support::paths_in_hundreds(2000), 100 * 1024,
                     100 * 1024, block_size, &sets[0]) &&
            make_set(drive_c, work, installer, other, "small", bench_support::paths_in_hundreds(20000), 1024, 8192,
                     block_size, &sets[1]) &&
            make_set(drive_c, work, installer, other, "tree", bench_support::nested_tree_paths(8000, 1000, 10), 200,
                     16384, block_size, &sets[2]);
  // Each round runs one pair of every set and form, after a first round that only warms the cache: a
  // disturbance of the machine falls on all of them alike.
  for (int round = 0; ok && round <= pairs; ++round)
    for (SET& set : sets)
      for (int form = 0; ok && form < 2; ++form) ok = run_pair(&set, work, form, round, round > 0);
  if (ok) {
    for (const SET& set : sets)
      for (int form = 0; form < 2; ++form) {
        const PAIRED_TIMES& times = set.times[form];
        double ratio = times.median_ratio();
        std::printf("%-5s %5zu files: installer.exe -a (stored) %.2f s, NSIS /S (%s) %.2f s (medians); ratio %s; "
                    "target 1.0 %s\n",
                    set.label.c_str(), set.files.size(), times.median_ours(), NSIS_FORMS[form],
                    times.median_baseline(), times.spread().c_str(), ratio <= 1.0 ? "met" : "NOT met");
        if (other.empty()) continue;
        std::printf("%-5s %5zu files: compared installer.exe %.2f s (median); ratio to NSIS (%s) %s; this build / "
                    "compared build %s\n",
                    set.label.c_str(), set.files.size(), set.other_times[form].median_ours(), NSIS_FORMS[form],
                    set.other_times[form].spread().c_str(), set.versus[form].spread().c_str());
      }
  }
  // Everything is deleted only now, after the last timed run.
  fs::remove_all(work, ignored);
  return ok ? 0 : 1;
}
