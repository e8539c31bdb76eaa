// Wizard benchmark (not a test):
//  - installing through the wizard in a real window against "installer -a" of the same package: the
//    real program on its own Xvfb display (natively), or installer.exe under the Wine of
//    tools/wine_env.sh (through tools/bench_windows_wizard.sh), each set's package with the packer's
//    default 640 x 480 window. The wizard is timed from the click on Install (xdotool, the pointer left
//    on the button as a person's hand leaves it) to the install log's last line, then Finish is clicked
//    and the program must end with 0; "-a" is timed from its start to its end. Three sets: 10,000 and
//    20,000 files of 100 B to 8 KiB in 100 folders, and 2,000 files of 100 KiB. Per set one warm-up
//    pair, then paired runs in alternating order, the disk synced before each run and every destination
//    checked against the source files. Target: the wizard within 1.2 times "-a" on the small files.
//    With a second program (another build, e.g. main's), its wizard and "-a" runs join every pair, and
//    the ratio of this build's wizard to that build's is printed beside (target on 2,000 x 100 KiB: no
//    slower);
//  - natively, the CPU time of the real installer while its wizard idles on the sample package's first
//    page in a real window (Xvfb), as a share of one core (target below 2 %), and how often it woke (its
//    voluntary context switches per second: an idle page waits for input).
// Usage: bench_wizard [pairs, 5; 0 = the idle share alone] [idle seconds, 30; 0 = none] [program, the
//        installer beside this one] [program to compare]. A program ending in ".exe" runs under Wine:
//        run it through tools/bench_windows_wizard.sh.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "button.h"
#include "host.h"
#include "program.h"
#include "screen_image.h"
#include "wizard_headless.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::shell_quoted;

namespace {

const char* const WINDOW_TITLE = "Wizard Benchmark";
const int CLIENT_WIDTH = 640, CLIENT_HEIGHT = 480;
const char* const LAST_LOG_LINE = "Installation completed without any errors.";

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The standard output of a shell command.
std::string output_of(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  pclose(pipe);
  return text;
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// One program measured: the native installer, or installer.exe under Wine.
struct PROGRAM {
  std::string path;
  bool wine = false;
};

// One set of files: its package, and the place in a window of the buttons to click.
struct SET {
  std::string label;
  fs::path root;
  std::vector<std::string> files;
  std::string package_text;  // "-x" argument of the package
  int install_x = 0, install_y = 0, finish_x = 0, finish_y = 0;
  PAIRED_TIMES ours, other, versus;  // wizard / -a of each program; this wizard / the other's
  int runs = 0;
};

// Paths under the Wine prefix's C: drive as its programs name them; natively from the root.
std::string root_text(const fs::path& path, const fs::path& drive_c) {
  if (drive_c.empty()) return "$ROOT0" + path.string();
  return "$ROOT0/" + fs::relative(path, drive_c).string();
}

// The program's command with the set's package (and the rest of the arguments).
std::string program_command(const PROGRAM& program, const SET& set, const std::string& more) {
  std::string command = program.wine ? "wine " + shell_quoted(program.path) : shell_quoted(program.path);
  command += " -x '" + set.package_text + "'" + more;
  if (program.wine) return command;
  fs::path home = set.root / "home";
  return "env HOME=" + shell_quoted(home) + " XDG_CONFIG_HOME=" + shell_quoted(home / "config") +
         " XDG_DATA_HOME=" + shell_quoted(home / "data") + " TMPDIR=" + shell_quoted(set.root) +
         " VELK_UNATTENDED=1 " + command;
}

// Where the middle of the wizard's Install button (options page) and Finish button (installing page)
// lie in the window, from the same wizard built here without a window.
bool find_buttons(SET* set) {
  if (!wizard_headless::load((set->root / "package").string())) return false;
  test_seam_screen(database->WINDOW.width, database->WINDOW.height);
  draw_target = &screen_image;
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  wizard_headless::begin(manager);
  manager->update(false);
  bool ok = database->stage == STAGE_OPTIONS && live_page();
  if (ok) {
    WM_BUTTON* install = live_page()->forward_button;
    set->install_x = install->x + install->width / 2;
    set->install_y = install->y + install->height / 2;
    database->stage = STAGE_INSTALLING;
    manager->rebuild_area(manager->current_area, true);
    ok = live_page() != nullptr;
  }
  if (ok) {
    WM_BUTTON* finish = live_page()->forward_button;
    set->finish_x = finish->x + finish->width / 2;
    set->finish_y = finish->y + finish->height / 2;
  }
  delete manager;
  return ok;
}

bool make_set(const std::string& label, const std::vector<std::string>& paths, size_t min_size, size_t max_size,
              const fs::path& work, const fs::path& drive_c, SET* set) {
  set->label = label;
  set->root = work / label;
  std::string error;
  std::string extra = std::string("title = ") + WINDOW_TITLE + "\n";
  if (!bench_support::write_installation_set(set->root, paths, min_size, max_size, 4096, &set->files, &error, extra,
                                             root_text(set->root / "installed", drive_c))) {
    std::fprintf(stderr, "bench_wizard: %s\n", error.c_str());
    return false;
  }
  set->package_text = root_text(set->root / "package", drive_c) + "/installer.xml";
  if (find_buttons(set)) return true;
  std::fprintf(stderr, "bench_wizard: the wizard of %s does not open on its options page\n", label.c_str());
  return false;
}

// count files in 100 folders, the files of a folder one after the other.
std::vector<std::string> paths_in_100_folders(int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; i++)
    paths.push_back("d" + std::to_string(i * 100 / count) + "/f" + std::to_string(i) + ".bin");
  return paths;
}

// The client area's top-left corner on the screen of the wizard's window, once it is shown; Wine
// draws a frame around an unmanaged window's client, as wide on the left, right and bottom.
bool find_client(int* x, int* y, std::string* id) {
  for (int waited = 0; waited < 600; waited++) {
    std::string found = output_of(std::string("xdotool search --onlyvisible --name '^") + WINDOW_TITLE +
                                  "$' 2>/dev/null | head -n 1");
    if (!found.empty()) {
      *id = found.substr(0, found.find('\n'));
      int left = 0, top = 0, width = 0, height = 0;
      std::string info = output_of("xwininfo -id " + *id + " | awk '/Absolute upper-left X/ {x=$4} "
                                   "/Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} "
                                   "END {print x, y, w, h}'");
      if (std::sscanf(info.c_str(), "%d %d %d %d", &left, &top, &width, &height) == 4 && width >= CLIENT_WIDTH &&
          height >= CLIENT_HEIGHT) {
        int border = (width - CLIENT_WIDTH) / 2;
        *x = left + border;
        *y = top + height - CLIENT_HEIGHT - border;
        return true;
      }
    }
    pause_ms(50);
  }
  return false;
}

// The window has stopped changing (the page has faded in and stands still): two pictures of it in a
// row, 200 ms apart, are the same.
void wait_until_still(const std::string& id) {
  std::string before;
  for (int tries = 0; tries < 100; tries++) {
    std::string now = output_of("xwd -silent -id " + id + " 2>/dev/null | md5sum");
    if (!now.empty() && now == before) return;
    before = now;
    pause_ms(200);
  }
}

// Whether the file's last line is the text, ended as either host ends its lines (read from its tail only).
bool ends_with(const fs::path& path, const char* text) {
  FILE* file = std::fopen(path.string().c_str(), "rb");
  if (!file) return false;
  size_t length = std::strlen(text) + 2;
  char tail[128] = {};
  bool read = length < sizeof tail && std::fseek(file, -(long)length, SEEK_END) == 0 &&
              std::fread(tail, 1, length, file) == length;
  std::fclose(file);
  if (!read) return false;
  std::string last(tail, length);
  std::string line = text;
  return last == "\n" + line + "\n" || last == line + "\r\n";
}

// Started through the shell, which becomes the program (or Wine's loader of it); its output goes to the
// file named.
pid_t start(const std::string& command, const fs::path& output) {
  pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + command + " </dev/null >" + shell_quoted(output) + " 2>&1").c_str(),
          (char*)nullptr);
    _exit(127);
  }
  return child;
}

// The program's exit status once it has ended within the seconds; -2 while it still runs (killed with
// kill), -1 for an end by a signal.
int wait_for_end(pid_t child, int seconds, bool kill_it) {
  for (int waited = 0; waited <= seconds * 100; waited++) {
    int status = 0;
    pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (ended < 0) return -1;
    if (waited < seconds * 100) pause_ms(10);
  }
  if (!kill_it) return -2;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return -2;
}

bool click(int x, int y) {
  return run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

// One installation through the wizard: the seconds from the click on Install to the log's last line,
// or -1 when it did not complete (said on standard error).
double wizard_install(const PROGRAM& program, const SET& set) {
  fs::path log = set.root / "installed" / "install_log.txt";
  fs::path output = set.root / "wizard-output.txt";
  pid_t child = start(program_command(program, set, ""), output);
  int left = 0, top = 0;
  std::string id;
  if (child < 0 || !find_client(&left, &top, &id)) {
    std::fprintf(stderr, "bench_wizard: the wizard's window did not show; it said:\n%s\n",
                 output_of("cat " + shell_quoted(output)).c_str());
    if (child > 0) wait_for_end(child, 0, true);
    return -1;
  }
  wait_until_still(id);
  auto begun = std::chrono::steady_clock::now();
  bool clicked = click(left + set.install_x, top + set.install_y);
  while (clicked && !ends_with(log, LAST_LOG_LINE) && seconds_since(begun) < 600) pause_ms(2);
  double seconds = seconds_since(begun);
  bool done = clicked && ends_with(log, LAST_LOG_LINE);
  // Finish is enabled with the last line; a click that came too early is given again.
  int status = -2;
  for (int tries = 0; done && status == -2 && tries < 3; tries++) {
    click(left + set.finish_x, top + set.finish_y);
    status = wait_for_end(child, 10, tries == 2);
  }
  if (status != 0) {
    std::fprintf(stderr, "bench_wizard: the wizard did not %s\n", done ? "end with 0 on Finish" : "install to its end");
    if (status == -2 && !done) wait_for_end(child, 0, true);
    return -1;
  }
  return seconds;
}

// Checks the destination against the source files and renames it into the trash.
bool check_and_move(SET* set) {
  std::string wrong;
  if (!bench_support::same_files(set->root / "source" / "files", set->root / "installed", set->files, &wrong)) {
    std::fprintf(stderr, "bench_wizard: %s differs from its source\n", wrong.c_str());
    return false;
  }
  fs::rename(set->root / "installed", set->root / ("trash-" + std::to_string(set->runs++)));
  return true;
}

// One pair (with a program to compare, its two runs too), the order turned by the pair's number.
bool run_pair(SET* set, const PROGRAM& ours, const PROGRAM* other, int pair, bool timed) {
  double seconds[4] = {};
  int count = other ? 4 : 2;
  for (int step = 0; step < count; step++) {
    int which = (step + pair) % count;  // 0 our wizard, 1 our -a, 2 the other's wizard, 3 its -a
    const PROGRAM& program = which < 2 ? ours : *other;
    run("sync");
    if (which % 2 == 0) {
      seconds[which] = wizard_install(program, *set);
      if (seconds[which] < 0) return false;
    } else {
      auto begun = std::chrono::steady_clock::now();
      std::string command = program_command(program, *set, " -a") + " </dev/null >/dev/null 2>&1";
      if (!run(command)) {
        std::fprintf(stderr, "bench_wizard: a run failed:\n  %s\n", command.c_str());
        return false;
      }
      seconds[which] = seconds_since(begun);
    }
    if (!check_and_move(set)) return false;
  }
  if (timed) {
    set->ours.add(seconds[0], seconds[1]);
    if (other) {
      set->other.add(seconds[2], seconds[3]);
      set->versus.add(seconds[0], seconds[2]);
    }
  }
  return true;
}

// A display of our own natively (its number into DISPLAY); Wine's runs use the one of wine_env.sh.
pid_t start_display(const fs::path& work) {
  fs::path number = work / "display";
  pid_t server = start("Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>" + shell_quoted(number), "/dev/null");
  for (int waited = 0; waited < 200 && (!fs::exists(number) || fs::file_size(number) == 0); waited++) pause_ms(50);
  std::string text = output_of("head -n 1 " + shell_quoted(number));
  if (text.empty()) {
    if (server > 0) kill(server, SIGTERM);
    return -1;
  }
  setenv("DISPLAY", (":" + text.substr(0, text.find('\n'))).c_str(), 1);
  return server;
}

// The real installer idling on the first page of the package in a window of its own X display: its CPU
// seconds over the wall seconds of the measurement, or -1 when it could not be measured; its wake-ups
// per second into *wakeups.
double idle_share(const std::string& installer, const fs::path& package_folder, const fs::path& work, int seconds,
                  double* wakeups) {
  fs::path home = work / "idle-home", answer = work / "idle.txt";
  fs::create_directories(home);
  std::string script =
      "HOME=" + shell_quoted(home) + " XDG_CONFIG_HOME=" + shell_quoted(home / "config") +
      " XDG_DATA_HOME=" + shell_quoted(home / "data") + " TMPDIR=" + shell_quoted(work) +
      " VELK_UNATTENDED=1 " + shell_quoted(installer) + " -x '$ROOT0" + package_folder.string() +
      "/installer.xml' >/dev/null 2>&1 &\n"
      "p=$!\n"
      // The page has faded in from black and stands still a moment after its window is shown.
      "i=0; until xwininfo -root -tree 2>/dev/null | grep -q 'Installer\"' || [ $i -ge 400 ]; do sleep 0.05; "
      "i=$((i+1)); done\n"
      "sleep 2\n"
      "a=$(cut -d' ' -f14,15 /proc/$p/stat); s=$(date +%s.%N); w=$(awk '/^voluntary/ {print $2}' /proc/$p/status)\n"
      "sleep " + std::to_string(seconds) + "\n"
      "b=$(cut -d' ' -f14,15 /proc/$p/stat); e=$(date +%s.%N); v=$(awk '/^voluntary/ {print $2}' /proc/$p/status)\n"
      "kill $p\n"
      "echo $a $b $s $e $(getconf CLK_TCK) $w $v >" + shell_quoted(answer) + "\n";
  fs::path script_file = work / "idle.sh";
  if (!bench_support::write_file(script_file, std::vector<char>(script.begin(), script.end())) ||
      !run("bash " + shell_quoted(script_file)))
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

PROGRAM program_named(const std::string& path) {
  PROGRAM program;
  program.path = fs::absolute(path).string();
  program.wine = program.path.size() > 4 && program.path.compare(program.path.size() - 4, 4, ".exe") == 0;
  return program;
}

}  // namespace

int main(int argc, char** argv) {
  int pairs = argc > 1 ? std::atoi(argv[1]) : 5;
  int idle_seconds = argc > 2 ? std::atoi(argv[2]) : 30;
  std::string beside = bench_support::installer_beside(argv[0], "bench_wizard");
  PROGRAM ours = program_named(argc > 3 ? argv[3] : beside);
  bool comparing = argc > 4;
  PROGRAM other = comparing ? program_named(argv[4]) : PROGRAM();
  const char* drive_c_text = std::getenv("VELK_WINE_DRIVE_C");
  if (pairs < 0 || idle_seconds < 0 || ours.path.empty() || !fs::exists(ours.path) ||
      (comparing && !fs::exists(other.path)) || ((ours.wine || other.wine) && (!drive_c_text || !std::getenv("DISPLAY")))) {
    std::fprintf(stderr, "usage: bench_wizard [pairs] [idle seconds] [program] [program to compare]; an .exe runs "
                         "through tools/bench_windows_wizard.sh\n");
    return 2;
  }
  fs::path drive_c = ours.wine ? fs::canonical(drive_c_text) : fs::path();
  fs::path work = ours.wine ? drive_c / "velk-bench-wizard" : fs::temp_directory_path() / "velk-bench-wizard";
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::create_directories(work);
  APPLICATION_ENTRIES none = {nullptr, nullptr, nullptr, nullptr};
  start_program(&none);

  pid_t display = ours.wine ? 0 : start_display(work);
  bool ok = display >= 0;
  if (!ok) std::fprintf(stderr, "bench_wizard: no Xvfb display could be started\n");
  if (ok && pairs > 0) {
    std::printf("%d timed pairs per set after one warm-up pair; the wizard in a %dx%d window on %s; work folder %s\n",
                pairs, CLIENT_WIDTH, CLIENT_HEIGHT, ours.wine ? "Wine" : "Xvfb", work.string().c_str());
    if (comparing) std::printf("compared with %s\n", other.path.c_str());
    std::fflush(stdout);
  }
  struct SHAPE {
    const char* label;
    int count;
    size_t min_size, max_size;
    bool small;
  };
  const SHAPE shapes[] = {{"10000 files of 100 B to 8 KiB", 10000, 100, 8192, true},
                          {"20000 files of 100 B to 8 KiB", 20000, 100, 8192, true},
                          {"2000 files of 100 KiB", 2000, 100 * 1024, 100 * 1024, false}};
  for (const SHAPE& shape : shapes) {
    if (!ok || pairs == 0) break;
    SET set;
    std::vector<std::string> paths = shape.small ? paths_in_100_folders(shape.count)
                                                 : bench_support::paths_in_hundreds(shape.count);
    ok = make_set(std::to_string(shape.count) + (shape.small ? "-small" : "-large"), paths, shape.min_size,
                  shape.max_size, work, drive_c, &set);
    for (int pair = 0; ok && pair <= pairs; pair++) ok = run_pair(&set, ours, comparing ? &other : nullptr, pair, pair > 0);
    if (ok) {
      std::printf("%s: wizard %.3f s, installer -a %.3f s (medians); ratio %s", shape.label, set.ours.median_ours(),
                  set.ours.median_baseline(), set.ours.spread().c_str());
      if (shape.small) std::printf("; target 1.2 %s", set.ours.median_ratio() <= 1.2 ? "met" : "NOT met");
      std::printf("\n");
      if (comparing) {
        std::printf("  compared program: wizard %.3f s, installer -a %.3f s; ratio %s\n", set.other.median_ours(),
                    set.other.median_baseline(), set.other.spread().c_str());
        std::printf("  this wizard / the compared wizard: %s", set.versus.spread().c_str());
        if (!shape.small) std::printf("; target 1.0 %s", set.versus.median_ratio() <= 1.0 ? "met" : "NOT met");
        std::printf("\n");
      }
      std::fflush(stdout);
    }
    fs::remove_all(set.root, ignored);
  }
  shut_down_program(false);
  stop_database();

  if (ok && !ours.wine && idle_seconds > 0) {
    double wakeups = 0;
    double share = idle_share(ours.path, fs::path(ours.path).parent_path() / "sample", work, idle_seconds, &wakeups);
    if (share < 0) std::printf("idle CPU: not measured (needs Xvfb, xwininfo and the sample package)\n");
    else
      std::printf("idle CPU of the wizard on a page: %.3f %% of a core over %d s, %.1f wake-ups a second; target "
                  "below 2 %% %s\n",
                  share * 100, idle_seconds, wakeups, share < 0.02 ? "met" : "NOT met");
  }
  if (display > 0) {
    kill(display, SIGTERM);
    waitpid(display, nullptr, 0);
  }
  fs::remove_all(work, ignored);
  return ok ? 0 : 1;
}
