// Wizard benchmark (not a test), two figures:
//  - the interactive installation of 2,000 files of 100 KiB (200 MB): the wizard on a screen without a
//    window, driven through the page manager's passes (each followed by presenting the frame and the
//    frame loop's idle step, as the program runs them) from loading the package and the Install click to Finish, against
//    "installer -a" of the same package, in paired runs after one warm-up pair, the order alternating and
//    the disk synced before each run (target 1.2: drawing the progress must not slow installing); the
//    CPU seconds of the two are compared as well, as on a busy machine they vary less than wall time;
//  - the CPU time of the real installer while its wizard idles on the sample package's first page in a
//    real window (Xvfb), as a share of one core (target below 2 %), and how often it woke (its voluntary
//    context switches per second: an idle page waits for input).
// Usage: bench_wizard [work folder] [pairs, 5; 0 = the idle share alone] [idle seconds, 30]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "button.h"
#include "host.h"
#include "image.h"
#include "program.h"
#include "screen_image.h"
#include "wizard_headless.h"

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// User and system CPU seconds of this process (who = RUSAGE_SELF) or of its waited-for children.
double cpu_seconds(int who) {
  struct rusage usage = {};
  getrusage(who, &usage);
  return (double)usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + (double)usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// Passes before the wizard counts as stuck.
const long PASS_LIMIT = 1000000;

// One interactive installation; its seconds, or -1 when the wizard did not reach Finish.
double wizard_install(const fs::path& package) {
  auto start = std::chrono::steady_clock::now();
  if (!wizard_headless::load(package.string())) return -1;
  test_seam_screen(database->WINDOW.width, database->WINDOW.height);
  draw_target = &screen_image;
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  wizard_headless::begin(manager);
  manager->update(false);
  bool ok = database->stage == STAGE_OPTIONS && live_page();
  if (ok) wizard_headless::click(manager, live_page()->forward_button);
  long passes = 0;
  while (ok && !(live_page() && live_page()->forward_button->enabled) && passes++ < PASS_LIMIT) {
    manager->update(false);
    present_frame(-1);
    pump_messages();
  }
  ok = ok && database->stage == STAGE_INSTALLING && live_page() &&
       wizard_headless::click(manager, live_page()->forward_button) == WM_RESULT_LAST_PAGE_CLOSED;
  delete manager;
  double seconds = bench_support::seconds_since(start);
  return ok ? seconds : -1;
}

// Checks the destination against the source files and renames it into the trash.
bool check_and_move(const fs::path& root, const std::vector<std::string>& files, int run_number) {
  std::string wrong;
  if (!bench_support::same_files(root / "source" / "files", root / "installed", files, &wrong)) {
    std::fprintf(stderr, "bench_wizard: %s differs from its source\n", wrong.c_str());
    return false;
  }
  fs::rename(root / "installed", root / "trash" / std::to_string(run_number));
  return true;
}

// The real installer idling on the first page of the package in a window of its own X display: its CPU
// seconds over the wall seconds of the measurement, or -1 when it could not be measured; its wake-ups
// per second into *wakeups.
double idle_share(const std::string& installer, const fs::path& package_folder, const fs::path& work, int seconds,
                  double* wakeups) {
  fs::path home = work / "idle-home", answer = work / "idle.txt";
  fs::create_directories(home);
  std::string script =
      "Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>" + bench_support::shell_quoted(work / "display") +
      " >/dev/null 2>&1 &\n"
      "x=$!\n"
      "i=0; while [ ! -s " + bench_support::shell_quoted(work / "display") +
      " ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
      "export DISPLAY=:$(head -n 1 " + bench_support::shell_quoted(work / "display") + ")\n"
      "HOME=" + bench_support::shell_quoted(home) + " XDG_CONFIG_HOME=" + bench_support::shell_quoted(home / "config") +
      " XDG_DATA_HOME=" + bench_support::shell_quoted(home / "data") + " TMPDIR=" + bench_support::shell_quoted(work) +
      " VELK_UNATTENDED=1 " + bench_support::shell_quoted(installer) + " -x '$ROOT0" + package_folder.string() +
      "/installer.xml' >/dev/null 2>&1 &\n"
      "p=$!\n"
      // The page has faded in from black and stands still a moment after its window is shown.
      "i=0; until xwininfo -root -tree 2>/dev/null | grep -q 'Installer\"' || [ $i -ge 400 ]; do sleep 0.05; "
      "i=$((i+1)); done\n"
      "sleep 2\n"
      "a=$(cut -d' ' -f14,15 /proc/$p/stat); s=$(date +%s.%N); w=$(awk '/^voluntary/ {print $2}' /proc/$p/status)\n"
      "sleep " + std::to_string(seconds) + "\n"
      "b=$(cut -d' ' -f14,15 /proc/$p/stat); e=$(date +%s.%N); v=$(awk '/^voluntary/ {print $2}' /proc/$p/status)\n"
      "kill $p $x\n"
      "echo $a $b $s $e $(getconf CLK_TCK) $w $v >" + bench_support::shell_quoted(answer) + "\n";
  fs::path script_file = work / "idle.sh";
  if (!bench_support::write_file(script_file, std::vector<char>(script.begin(), script.end())) ||
      !run("bash " + bench_support::shell_quoted(script_file)))
    return -1;
  FILE* file = std::fopen(answer.string().c_str(), "r");
  if (!file) return -1;
  double user0 = 0, system0 = 0, user1 = 0, system1 = 0, from = 0, to = 0, ticks = 0, woke0 = 0, woke1 = 0;
  int read = std::fscanf(file, "%lf %lf %lf %lf %lf %lf %lf %lf %lf", &user0, &system0, &user1, &system1, &from, &to,
                         &ticks, &woke0, &woke1);
  std::fclose(file);
  if (read != 9 || ticks <= 0 || to <= from) return -1;
  *wakeups = (woke1 - woke0) / (to - from);
  return (user1 + system1 - user0 - system0) / ticks / (to - from);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path work = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velk-bench-wizard");
  int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  int idle_seconds = argc > 3 ? std::atoi(argv[3]) : 30;
  std::string installer = bench_support::installer_beside(argv[0], "bench_wizard");
  if (installer.empty()) return 2;
  fs::path beside = fs::path(installer).parent_path();
  if (pairs < 0 || idle_seconds < 1) {
    std::fprintf(stderr, "usage: bench_wizard [work folder] [pairs] [idle seconds]\n");
    return 2;
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::path root = work / "set";
  fs::create_directories(root / "trash");
  std::vector<std::string> files;
  std::string error;
  // The page and window of the tests' wizard, so that the progress is drawn at a usual size.
  if (pairs > 0 &&
      !bench_support::make_installation_set(root, 2000, 100 * 1024, 100 * 1024, 4096, &files, &error,
                                            "window = 640;480\ndialog = 70;60;500;360\nbackground_speed = 0\n")) {
    std::fprintf(stderr, "bench_wizard: %s\n", error.c_str());
    return 1;
  }
  std::string automatic = bench_support::automatic_install_command(installer, root);
  APPLICATION_ENTRIES none = {nullptr, nullptr, nullptr, nullptr};
  start_program(&none);
  if (pairs > 0) std::printf("%d timed pairs after one warm-up pair; work folder %s\n", pairs, work.string().c_str());
  std::fflush(stdout);

  bench_support::PAIRED_TIMES times, cpu_times;
  bool ok = true;
  int moved = 0;
  for (int pair = 0; ok && pairs > 0 && pair <= pairs; pair++) {
    double wizard = 0, automatic_seconds = 0, wizard_cpu = 0, automatic_cpu = 0;
    for (int turn = 0; ok && turn < 2; turn++) {
      // What the run before wrote is on disk first, so that no run waits for another's writes.
      run("sync");
      if ((turn == 0) == (pair % 2 == 0)) {
        double cpu = cpu_seconds(RUSAGE_SELF);
        wizard = wizard_install(root / "package");
        wizard_cpu = cpu_seconds(RUSAGE_SELF) - cpu;
        ok = wizard > 0;
        if (!ok) std::fprintf(stderr, "bench_wizard: the wizard did not install to its end\n");
      } else {
        double cpu = cpu_seconds(RUSAGE_CHILDREN);
        auto start = std::chrono::steady_clock::now();
        ok = run(automatic);
        automatic_seconds = bench_support::seconds_since(start);
        automatic_cpu = cpu_seconds(RUSAGE_CHILDREN) - cpu;
        if (!ok) std::fprintf(stderr, "bench_wizard: %s failed\n", automatic.c_str());
      }
      ok = ok && check_and_move(root, files, moved++);
    }
    if (ok && pair > 0) {
      times.add(wizard, automatic_seconds);
      cpu_times.add(wizard_cpu, automatic_cpu);
    }
  }
  shut_down_program(false);
  stop_database();
  if (ok && pairs > 0) {
    std::printf("install 2000 files of 100 KiB: wizard %.3f s, installer -a %.3f s (medians); ratio %s; target 1.2 %s\n",
                times.median_ours(), times.median_baseline(), times.spread().c_str(),
                times.median_ratio() <= 1.2 ? "met" : "NOT met");
    std::printf("  CPU: wizard %.3f s, installer -a %.3f s (medians); ratio %s\n", cpu_times.median_ours(),
                cpu_times.median_baseline(), cpu_times.spread().c_str());
  }

  double wakeups = 0;
  double share = ok ? idle_share(installer, beside / "sample", work, idle_seconds, &wakeups) : -1;
  if (ok && share < 0) std::printf("idle CPU: not measured (needs Xvfb, xwininfo and the sample package)\n");
  if (share >= 0)
    std::printf("idle CPU of the wizard on a page: %.3f %% of a core over %d s, %.1f wake-ups a second; target below "
                "2 %% %s\n",
                share * 100, idle_seconds, wakeups, share < 0.02 ? "met" : "NOT met");
  fs::remove_all(work, ignored);
  return ok ? 0 : 1;
}
