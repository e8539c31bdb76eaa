// Tests of installations that are interrupted, crowded or starved of disk: what a killed run left is
// removed by the next run (and nothing else is, also what a run of another process namespace writes),
// and the log and the console name it; a killed run's log names every file it wrote but the one it was
// finishing, and a run asked to end stops before its next file with a last line saying so; two runs at
// once leave the log of one whole, a log that cannot be created keeps its lines for a log of its own
// and never takes another's, and a log write that fails ends the log and is said once, naming the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files.h"
#include "host.h"
#include "host_test_seam.h"
#include "installer_install_support.h"
#include "installer_test_support.h"
#include "shell.h"
#include "window_scenario.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifndef _WIN32
// The file system as a test sets it: "no locks" (ENOLCK: a network file system whose lock service cannot
// be reached), "locks for writers" (an exclusive lock refused to a reader with EBADF, as a network file
// system does), "failing locks" (EIO: a failing disk), or "another run at each rename": before a
// temporary takes its name, another run removes it unless it finds it locked, as it does with what a
// dead run left.
static const char* file_system = "";

extern "C" int flock(int descriptor, int operation) noexcept {
  static auto next = reinterpret_cast<int (*)(int, int)>(dlsym(RTLD_NEXT, "flock"));
  bool reader = (fcntl(descriptor, F_GETFL) & O_ACCMODE) == O_RDONLY;
  bool writers_only = std::strcmp(file_system, "locks for writers") == 0 && reader && (operation & LOCK_EX);
  int refused = std::strcmp(file_system, "no locks") == 0        ? ENOLCK
                : std::strcmp(file_system, "failing locks") == 0 ? EIO
                : writers_only                                   ? EBADF
                                                                 : 0;
  if (!refused) return next(descriptor, operation);
  errno = refused;
  return -1;
}

extern "C" int rename(const char* from, const char* to) noexcept {
  static auto next = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
  bool looked_at = std::strcmp(file_system, "another run at each rename") == 0 && std::strstr(from, "/~velk");
  int descriptor = looked_at ? open(from, O_RDWR | O_CLOEXEC) : -1;
  if (descriptor >= 0 && flock(descriptor, LOCK_EX | LOCK_NB) == 0) unlink(from);
  if (descriptor >= 0) close(descriptor);
  return next(from, to);
}
#endif

namespace {

// Records what the install step reports.
struct RECORDING_OBSERVER : INSTALL_OBSERVER {
  int log_not_created = 0;
  std::string said_of_log, last_progress;  // the failure when the log could not be created, the last text
  std::vector<std::string> not_written;
  void show_progress(INSTALL_DIALOG*, const char* text, INT_S32) override { last_progress = text; }
  void show_install_complete(INSTALL_DIALOG*) override {}
  void copy_error(DATABASE* database, const char* path_text, const char*, const char*) override {
    if (path_text) return;
    log_not_created++;
    said_of_log = database->install_state.failure_text;
  }
  void installation_stopped(DATABASE*, const char*) override {}
  void log_not_written(const char* path_text, const char*) override { not_written.push_back(path_text); }
};

// Holds the place of the install log: on Windows an earlier installation's log open elsewhere (shared
// for deletion, as a second run of the installer holds its log), whose name cannot be given to another
// file; natively a folder with something in it. cause: the system's words for what keeps the log from
// its place.
struct LOG_PLACE_HELD {
  static constexpr const char* EARLIER = "Installation completed without any errors.\r\n";
  std::string log, cause;
  bool held = true;
#ifdef _WIN32
  HANDLE holder = INVALID_HANDLE_VALUE;
#endif
  explicit LOG_PLACE_HELD(const std::string& path) : log(path) {
#ifdef _WIN32
    EXPECT_TRUE(write_whole_file(log, text_bytes(EARLIER)));
    // Held so that it can be neither replaced nor renamed: it cannot be kept under a numbered name.
    holder = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    EXPECT_NE(holder, INVALID_HANDLE_VALUE);
    char words[256];
    SetLastError(ERROR_SHARING_VIOLATION);
    describe_file_failure(words, sizeof words);
    std::string kept = log.substr(0, log.size() - 4) + "-1.txt";
    cause = "the earlier log there cannot be kept as \"" + kept + "\": " + words;
#else
    fs::create_directories(log + "/inside");
    cause = "a folder has the name";
#endif
  }
  // Lets the place go: the earlier log is as it was (Windows), or the place is free (natively).
  void release() {
    if (!held) return;
    held = false;
#ifdef _WIN32
    CloseHandle(holder);
    EXPECT_EQ(read_whole_text(log), EARLIER);
#else
    fs::remove_all(log);
#endif
  }
  ~LOG_PLACE_HELD() { release(); }
};

// The whole log of a complete installation of the scratch's standard package (log at the destination).
std::vector<std::string> complete_log(INSTALLER_SCRATCH& scratch, int system_paths) {
  std::vector<std::string> lines = {"Installed Files", "---------------", "", "Language: English",
                                    "Settings: 0 " + std::to_string(system_paths) + " $SCRATCH/dest",
                                    "Application: velk-test-app", "Installation: Test App",
                                    "Version: " + scratch.version(), ""};
  for (const char* file : {"bin/data.bin", "bin/run.sh", "bin/uninstall.sh", "docs/guide.txt", "readme.txt"})
    lines.push_back("Installed \"" + scratch.installed(file) + "\"");
  return lines;
}

bool has_temporary(const std::string& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.path().filename().string().rfind("~velk", 0) == 0) return true;
  return false;
}

// A run of the installer program ("-a" on the package of a folder) in the background, its output in a
// file. On Windows, with own_console, it has no output to inherit instead: it opens a console of its
// own, which the test's console events reach. With a pause file the run is the scenario build's, which
// stops once it holds its install folder, writes its process number there and goes on once the file is
// removed.
class BACKGROUND_RUN {
public:
  ~BACKGROUND_RUN() {
    if (!ended()) kill();
    wait();
  }
  bool start(const std::string& binary_dir, const std::string& package_folder, const std::string& output,
             bool own_console = false, const std::string& pause_file = "") {
    std::string program = pause_file.empty() ? binary_dir + "/installer" : WINDOW_SCENARIO::built_program("installer");
#ifdef _WIN32
    if (pause_file.empty()) program += ".exe";
    std::string line = "\"" + fs::absolute(program).string() + "\" -x \"" + root_text(package_folder) +
                       "/installer.xml\" -a";
    set_environment("VELK_HOLD_PAUSE_FILE", pause_file);  // inherited by the run, then taken back
    struct TAKEN_BACK {
      ~TAKEN_BACK() { set_environment("VELK_HOLD_PAUSE_FILE", ""); }
    } taken_back;
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    if (own_console)
      return start_process(line, false, CREATE_NEW_CONSOLE, &start, &process);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = start.hStdError = out;
    bool started = start_process(line, true, 0, &start, &process);
    CloseHandle(out);
    return started;
#else
    (void)own_console;
    std::string xml = "$ROOT0" + package_folder + "/installer.xml";
    pid = fork();
    if (pid == 0) {
      int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(126);
      if (!pause_file.empty()) setenv("VELK_HOLD_PAUSE_FILE", pause_file.c_str(), 1);
      for (int number : {SIGINT, SIGTERM, SIGHUP}) signal(number, SIG_DFL);
      execl(program.c_str(), program.c_str(), "-x", xml.c_str(), "-a", (char*)nullptr);
      _exit(127);
    }
    return pid > 0;
#endif
  }
  bool ended() {
#ifdef _WIN32
    return !process.hProcess || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
#else
    return pid <= 0 || done || (done = waitpid(pid, &status, WNOHANG) == pid);
#endif
  }
  // Natively the run stands still while the test looks at what it did.
  void pause() {
#ifndef _WIN32
    if (!ended()) ::kill(pid, SIGSTOP);
#endif
  }
  void resume() {
#ifndef _WIN32
    if (!ended()) ::kill(pid, SIGCONT);
#endif
  }
  void kill() {
#ifdef _WIN32
    TerminateProcess(process.hProcess, 9);
#else
    ::kill(pid, SIGKILL);
#endif
  }
  // The system's request to end the run: natively the signal, on Windows the console's Ctrl+C event.
  bool request_end(int number) {
#ifdef _WIN32
    (void)number;
    FreeConsole();
    if (!AttachConsole(process.dwProcessId)) return false;
    SetConsoleCtrlHandler(nullptr, TRUE);  // the test shares the console: it ignores the event itself
    bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    Sleep(200);
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
    return sent;
#else
    return ::kill(pid, number) == 0;
#endif
  }
  // The exit status; -1 for a run ended by a signal.
  int wait() {
#ifdef _WIN32
    if (!process.hProcess) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = PROCESS_INFORMATION();
    last_status = (int)code;
#else
    if (pid <= 0) return last_status;
    if (!done) waitpid(pid, &status, 0);
    pid = -1;
    last_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return last_status;
  }

private:
#ifdef _WIN32
  PROCESS_INFORMATION process = PROCESS_INFORMATION();
#else
  pid_t pid = -1;
  int status = 0;
  bool done = false;
#endif
  int last_status = -1;
};

// Counts the "Installed" lines of a log as it grows, reading only what was added since the last look,
// so that a test can look often while the run goes on without taking the time of reading it all.
class LOG_WATCH {
public:
  explicit LOG_WATCH(const std::string& log) : log(log) {}
  size_t installed() {
    std::error_code failed;
    uintmax_t size = fs::file_size(log, failed);
    if (failed || size <= read) return count;
    std::FILE* file = std::fopen(log.c_str(), "rb");
    if (!file) return count;
    std::string added((size_t)(size - read), '\0');
    std::fseek(file, (long)read, SEEK_SET);
    added.resize(std::fread(&added[0], 1, added.size(), file));
    std::fclose(file);
    // A line is counted once whole; the rest waits for the next look.
    size_t end = added.rfind('\n');
    if (end == std::string::npos) return count;
    added.resize(end + 1);
    read += end + 1;
    for (size_t at = added.find("Installed \""); at != std::string::npos; at = added.find("Installed \"", at + 1))
      count += at == 0 || added[at - 1] == '\n';
    return count;
  }

private:
  std::string log;
  uintmax_t read = 0;
  size_t count = 0;
};

// Lets the run go on until its log names at least count files, then (natively) stops it there; false
// when it ended first. The run is never held back on the way: held and let go by turns it would make
// next to no progress on a loaded machine, where a process let go waits its turn for longer than the
// test waits before it holds it again.
bool run_until_logged(BACKGROUND_RUN& run, const std::string& log, size_t count) {
  LOG_WATCH watch(log);
  for (;;) {
    if (watch.installed() >= count) {
      run.pause();
      return true;
    }
    if (run.ended()) return false;
    sleep_milliseconds(1);
  }
}

// What a run left of the files of the folder "many": those its log names, those that hold the bytes of
// the package, the first log line of no known form (a line cut short among them), the last line.
struct RUN_RESULT {
  std::set<std::string> logged, written;
  std::string bad_line, last_line;
};

RUN_RESULT look_at_run(const INSTALLER_SCRATCH& scratch) {
  RUN_RESULT result;
  std::string log = scratch.installed("install_log.txt");
  std::string text = read_whole_text(log);
  if (!text.empty() && text.back() != '\n') result.bad_line = "(the log does not end with a line end)";
  std::vector<std::string> lines = read_lines(log);
  std::set<std::string> known;
  for (const std::string& file : scratch.files)
    if (file.rfind("many/", 0) == 0) known.insert(scratch.installed(file));
  for (size_t i = 0; i < lines.size(); i++) {
    const std::string& line = lines[i];
    std::string named = line.size() > 12 ? line.substr(11, line.size() - 12) : "";
    bool whole = i < 8 || line == "Installation interrupted." || line.rfind("Installation completed", 0) == 0 ||
                 (line.rfind("Installed \"", 0) == 0 && line.back() == '"') || line.rfind("create_", 0) == 0 ||
                 line.rfind("RegKey \"", 0) == 0;
    if (line.rfind("Installed \"", 0) == 0 && known.count(named)) result.logged.insert(named);
    if (!whole && result.bad_line.empty()) result.bad_line = line;
  }
  if (!lines.empty()) result.last_line = lines.back();
  for (const std::string& file : scratch.files)
    if (known.count(scratch.installed(file)) &&
        read_whole_file(scratch.installed(file)) == read_whole_file(scratch.source + "files/" + file))
      result.written.insert(scratch.installed(file));
  return result;
}

// The standard scratch with count more files in "many" (by default 1,995: 2,000 in all), its destination
// named as another process resolves it, and its package built; with old_package, first a package of the
// same names with other bytes in that folder.
bool build_many(INSTALLER_SCRATCH& scratch, const std::string& old_package = "", int count = 1995) {
  for (int i = 0; i < count; i++)
    scratch.add_file("many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(1000 + 37 * i % 4000, i));
#ifdef _WIN32
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root) + "/dest");
  write_whole_file(scratch.source + "description.txt", text_bytes(description));
#else
  scratch.name_destination_from_root();
#endif
  if (!old_package.empty()) {
    if (!scratch.build()) return false;
    fs::rename(scratch.package, old_package);
    fs::create_directories(scratch.package);
    for (int i = 0; i < count; i++)
      write_whole_file(scratch.source + "files/many/f" + std::to_string(i) + ".bin",
                       pseudo_random_bytes(1000 + 37 * i % 4000, 5000 + i));
  }
  return scratch.build();
}

}  // namespace

TEST(InstallerInterruption, WhatEndedRunsLeftGoesAndNothingElse) {
  INSTALLER_SCRATCH scratch("leftovers");
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  char own[TEMPORARY_NAME_SIZE], next[TEMPORARY_NAME_SIZE];
  next_temporary_name(own);
  next_temporary_name(next);
  EXPECT_EQ(std::strlen(own), 26u);
  EXPECT_EQ(std::string(own).substr(0, 5), "~velk");
  EXPECT_STRNE(own, next);
  std::string bin = scratch.installed("bin") + PATH_SEPARATOR, top = scratch.destination + PATH_SEPARATOR;
  fs::create_directories(bin + "~velk7FFFFFF0-00000003.tmp");
  // Partial files of a process that cannot be running (no process has that number), in a folder of the
  // installation and at its top.
  std::vector<INT_U8> partial(3000, 0x5A);
  ASSERT_TRUE(write_whole_file(bin + "~velk7FFFFFF0-00000001.tmp", partial));
  ASSERT_TRUE(write_whole_file(top + "~velk7FFFFFF0-00000002.tmp", partial));
  // What stays: a running process's temporary (this one's), a folder of the kind, and files that only
  // look alike.
  std::vector<std::string> kept = {bin + own, bin + "~velk7FFFFFF0-00000003.tmp", top + "~velk7FFFFFF0-1.tmp",
                                   top + "0000ABCD.tmp", top + "~velk7fffffF0-00000004.tmp"};
#ifndef _WIN32
  // Another running process's (the one that started this test).
  char parent[TEMPORARY_NAME_SIZE];
  std::snprintf(parent, sizeof parent, "~velk%08X-00000005.tmp", (unsigned)getppid());
  kept.push_back(top + parent);
#endif
  // Links of the kind, to a file and to a folder outside: removed as links, never what they lead to.
  // Under Wine, which shows a Unix link as what it leads to, the link to a folder cannot go alone: it
  // stays, and the log and the console say so.
  ASSERT_TRUE(write_whole_file(scratch.root + "theirs.txt", text_bytes("theirs")));
  fs::create_directories(scratch.root + "their-folder");
  ASSERT_TRUE(write_whole_file(below(scratch.root + "their-folder", "inside.txt"), text_bytes("inside")));
  std::string docs = scratch.installed("docs") + PATH_SEPARATOR;
  fs::create_directories(docs);
  std::string file_link = docs + "~velk7FFFFFF0-00000006.tmp", folder_link = docs + "~velk7FFFFFF0-00000007.tmp";
  bool links = plant_unix_link(scratch.root + "theirs.txt", file_link) &&
               plant_unix_link(scratch.root + "their-folder", folder_link);
  ASSERT_EQ(links, unix_links_possible());
#ifndef _WIN32
  const bool folder_link_stays = false;
#else
  const bool folder_link_stays = links;
#endif
  for (const std::string& path : kept)
    if (!fs::exists(path)) {
      ASSERT_TRUE(write_whole_file(path, text_bytes("kept")));
    }

  testing::internal::CaptureStdout();
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  std::string console = captured_stdout();
  EXPECT_FALSE(fs::exists(bin + "~velk7FFFFFF0-00000001.tmp"));
  EXPECT_FALSE(fs::exists(top + "~velk7FFFFFF0-00000002.tmp"));
  // The log and the console name what went, each once, the log before the first file.
  std::vector<std::string> removed;
  for (const std::string& path : {top + "~velk7FFFFFF0-00000002.tmp", bin + "~velk7FFFFFF0-00000001.tmp"}) {
    std::string said = "Removed \"" + path + "\" (left by an interrupted installation)";
    EXPECT_NE(console.find(said + "\n"), std::string::npos) << console;
    removed.push_back(said);
  }
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  ASSERT_GE(log.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 9, log.begin() + 10), std::vector<std::string>{removed[0]});
  EXPECT_EQ(std::count(log.begin(), log.end(), removed[1]), 1);
  EXPECT_LT(std::find(log.begin(), log.end(), removed[1]) - log.begin(),
            std::find(log.begin(), log.end(), "Installed \"" + scratch.installed("bin/data.bin") + "\"") - log.begin());
  for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_EQ(read_whole_text(scratch.root + "theirs.txt"), "theirs");
  EXPECT_EQ(read_whole_text(below(scratch.root + "their-folder", "inside.txt")), "inside");
  if (links) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(file_link)));
    EXPECT_NE(console.find("Removed \"" + file_link + "\" (left by an interrupted installation)\n"), std::string::npos);
    std::string folder_line = folder_link_stays ? "Not removed \"" + folder_link +
                                                      "\" (left by an interrupted installation): it is a link to a "
                                                      "folder, which cannot be removed here without what it leads to"
                                                : "Removed \"" + folder_link + "\" (left by an interrupted installation)";
    EXPECT_EQ(fs::exists(fs::symlink_status(folder_link)), folder_link_stays);
    EXPECT_NE(console.find(folder_line + "\n"), std::string::npos) << console;
    EXPECT_EQ(std::count(log.begin(), log.end(), folder_line), 1);
  }
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
}

#ifndef _WIN32
// Without file locks, with exclusive locks for writers only, and with another run looking at each
// finished temporary just before its rename, an install is whole and leaves no temporary: what a dead
// run left goes (told by its lock, or without locks by its process number), a running process's stays.
TEST(InstallerInterruption, AnInstallIsWholeWhateverTheFileLocks) {
  INSTALLER_SCRATCH scratch("file-locks");
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  // Process 1 runs; no process has the number 7FFFFFF0.
  std::string running = scratch.installed("~velk00000001-00000001.tmp");
  std::string dead = scratch.installed("~velk7FFFFFF0-00000002.tmp");
  for (const char* kind : {"no locks", "locks for writers", "another run at each rename"}) {
    fs::remove_all(scratch.destination);
    fs::create_directories(scratch.destination);
    ASSERT_TRUE(write_whole_file(running, text_bytes("kept")) && write_whole_file(dead, text_bytes("dead")));
    testing::internal::CaptureStdout();
    file_system = kind;
    INT_S32 status = run_automatic_install(database.get());
    file_system = "";
    std::string console = captured_stdout();
    EXPECT_EQ(status, EXIT_JOB_DONE) << kind << "\n" << console;
    EXPECT_FALSE(fs::exists(dead)) << kind;
    EXPECT_TRUE(fs::remove(running)) << kind;
    EXPECT_FALSE(has_temporary(scratch.destination)) << kind;
    for (const std::string& file : scratch.files)
      EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  }
}

// The private folders of the kind that a run makes in a folder (names beginning with the prefix).
static std::set<std::string> private_folders(const std::string& folder, const std::string& prefix) {
  std::set<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) found.insert(entry.path().filename().string());
  return found;
}

// Without a temporary folder (a disk that fails the run's lock, a temporary folder and a program's
// folder where no folder can be made) the package cannot be read: the loading says which folders it
// tried and the system's cause, never that the package lacks its database, and leaves no folder behind.
TEST(InstallerInterruption, NoTemporaryFolderIsNotBlamedOnThePackage) {
  INSTALLER_SCRATCH scratch("no-temporary");
  ASSERT_TRUE(scratch.build());
  remove_temporary_folder();
  FOLDER program;
  char program_name[FOLDER_PATH_SIZE];
  get_program_location(&program, program_name);
  const std::string prefix = "installer_interruption_test-", temp = scratch.root + "tmp";
  std::set<std::string> before = private_folders(program.path, prefix);
  DATABASE database;
  database.data_folder.set_if_folder(scratch.package.substr(0, scratch.package.size() - 1).c_str());
  file_system = "failing locks";
  EXPECT_FALSE(database.load_package("installer.pkg"));
  file_system = "";
  EXPECT_EQ(database.load_failure, "the temporary folder cannot be made: in \"" + temp + "\": Input/output error; in \"" +
                                       program.path + "\": Input/output error");
  EXPECT_TRUE(fs::is_empty(temp));
  EXPECT_EQ(private_folders(program.path, prefix), before);

  // A temporary folder below a file, and a program's folder likewise.
  ASSERT_TRUE(write_whole_file(scratch.root + "plain", text_bytes("plain")));
  set_environment("TMPDIR", scratch.root + "plain/tmp");
  FOLDER base;
  std::strcpy(base.path, (scratch.root + "plain/bin").c_str());
  set_base_path(&base, "velk-test-app");
  EXPECT_FALSE(database.load_package("installer.pkg"));
  reset_base_path();
  set_environment("TMPDIR", temp);
  EXPECT_EQ(database.load_failure, "the temporary folder cannot be made: in \"" + scratch.root +
                                       "plain/tmp\": Not a directory; in \"" + base.path + "\": Not a directory");
  EXPECT_TRUE(database.load_package("installer.pkg"));
  EXPECT_EQ(database.load_failure, "");
}
#endif

// A log write that fails (a full disk) ends the log there: said once, with the log's path; nothing is
// written to it afterwards and the run counts it as a failure.
TEST(InstallerInterruption, AFailedLogWriteEndsTheLogAndIsSaidOnce) {
  INSTALLER_SCRATCH scratch("log-cut");
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  RECORDING_OBSERVER observer;
  set_install_observer(&observer);
  run_steps(database.get(), 2);  // the preparation and the first file
  INSTALL_STATE& state = database->install_state;
  ASSERT_NE(state.log, nullptr);
  ASSERT_TRUE(write_whole_file(scratch.root + "full", {}));
  std::fclose(state.log->stream);
  state.log->stream = std::fopen((scratch.root + "full").c_str(), "rb");  // takes no writes
  run_steps(database.get(), -1);
  set_install_observer(nullptr);
  EXPECT_EQ(observer.not_written, std::vector<std::string>{scratch.installed("install_log.txt")});
  EXPECT_TRUE(state.log_failed);
  std::vector<std::string> lines = complete_log(scratch, database->use_system_paths);
  lines.resize(10);
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")), lines);
}

// The log cannot be created at the start (something holds its place): the lines are kept, and the log
// is created with all of them once it can be; the log that held the place never gets a line.
TEST(InstallerInterruption, ALogThatCannotBeCreatedKeepsItsLinesForItsOwn) {
  INSTALLER_SCRATCH scratch("log-late");
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  std::string log = scratch.installed("install_log.txt");
  fs::create_directories(scratch.destination);
  LOG_PLACE_HELD held(log);
  RECORDING_OBSERVER observer;
  set_install_observer(&observer);
  run_steps(database.get(), 4);  // the preparation and three files, with two tries to create the log
  EXPECT_EQ(observer.log_not_created, 1);
  held.release();
  run_steps(database.get(), -1);
  set_install_observer(nullptr);
  std::vector<std::string> lines = complete_log(scratch, database->use_system_paths);
  std::vector<std::string> logged = read_lines(log);
#ifdef _WIN32
  // The earlier log that held the place is kept once it lets go, and the log says so with the lines
  // that waited for it.
  auto kept = std::find(logged.begin(), logged.end(),
                        "Kept the earlier install log as \"" + scratch.installed("install_log-1.txt") + "\"");
  ASSERT_NE(kept, logged.end());
  logged.erase(kept);
#endif
  ASSERT_GE(logged.size(), lines.size());
  logged.resize(lines.size());
  EXPECT_EQ(logged, lines);
  EXPECT_EQ(read_lines(log).back(), "Installation completed without any errors.");
  EXPECT_EQ(observer.log_not_created, 1);
  EXPECT_TRUE(database->install_state.log_failed);  // said on the way: the run reports it
  EXPECT_EQ(observer.last_progress.find("\" could not be created at first ("), log.size() + 17) << observer.last_progress;
  EXPECT_FALSE(has_temporary(scratch.destination));
}

// The log's place is held for the whole run: the failure names the log's path and the system's cause
// when it comes, and the last progress says that this installation has no log to rely on. Every file is
// installed; the earlier log is left as it was.
TEST(InstallerInterruption, ALogThatCannotBeMadeIsSaidWithItsPlaceAndCause) {
  INSTALLER_SCRATCH scratch("log-held");
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  std::string log = scratch.installed("install_log.txt");
  fs::create_directories(scratch.destination);
  LOG_PLACE_HELD held(log);
  RECORDING_OBSERVER observer;
  set_install_observer(&observer);
  run_steps(database.get(), -1);
  set_install_observer(nullptr);
  held.release();
  std::string said = "The install log \"" + log + "\" cannot be created (" + held.cause + ")";
  EXPECT_EQ(observer.said_of_log, said + ".");
  EXPECT_EQ(observer.last_progress, said + ": this installation has no log, so a later update or check cannot rely on it.");
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_FALSE(has_temporary(scratch.destination));
}

// A log whose folder cannot be had (a file in its way; the install folder's hold, which the run holds; a
// drive this computer does not have) cannot be made, and is said so as such a log is, with that folder
// and its cause: never made in the install folder, where no check or update looks for it, nor anywhere
// else (a text that names no folder is no folder of the working one). Every file is installed.
TEST(InstallerInterruption, ALogWhoseFolderCannotBeHadIsSaidAndMadeNowhere) {
  INSTALLER_SCRATCH scratch("log-folder");
  ASSERT_TRUE(scratch.build());
  const std::string unknown = "$ROOT" + std::to_string(get_drive_count()) + "/logs";
  std::string drives;
  for (INT_S32 i = 0; i < get_drive_count(); i++) {
    const char* root = get_drive_root_text((INT_S16)i);
    drives += std::string(drives.empty() ? "" : ", ") + "\"$ROOT" + std::to_string(i) + "\" " +
              (root[1] == ':' ? std::string(1, root[0]) + ":" : std::string(root));
  }
  // Where the text would name a folder of the working one, a folder is there.
  const std::string working = scratch.root + "working";
  fs::create_directories(working + "/" + unknown);
  const fs::path was = fs::current_path();
  fs::current_path(working);
  const std::string sep(1, PATH_SEPARATOR);
  const struct {
    std::string text, folder, cause;  // cause: how the folder's failure begins
  } cases[] = {{"$HERE/logs", scratch.installed("logs"), "its folder \"" + scratch.installed("logs") + "\" cannot be created ("},
               {"$HERE/velk-hold.lock/logs", scratch.installed("velk-hold.lock/logs"),
                "its folder \"" + scratch.installed("velk-hold.lock/logs") + "\" cannot be created ("},
               {unknown, unknown, "its folder \"" + unknown + "\" cannot be created (\"$ROOT" +
                                      std::to_string(get_drive_count()) + "\" names a drive this computer does not "
                                      "have (its drives: " + drives + ")))"}};
  for (const auto& c : cases) {
    fs::remove_all(scratch.destination);
    fs::create_directories(scratch.destination);
    ASSERT_TRUE(write_whole_file(scratch.installed("logs"), text_bytes("a file in the log folder's way\n")));
    std::unique_ptr<DATABASE> database(scratch.load());
    ASSERT_TRUE(database);
    std::strcpy(database->LOG.dest_path_from_inst_loc, c.text.c_str());
    ASSERT_TRUE(scratch.store(database.get()));
    database.reset(scratch.load());
    ASSERT_TRUE(database);
    RECORDING_OBSERVER observer;
    set_install_observer(&observer);
    run_steps(database.get(), -1);
    set_install_observer(nullptr);
    const std::string said = "The install log \"" + c.folder + sep + "install_log.txt\" cannot be created (" + c.cause;
    EXPECT_EQ(observer.log_not_created, 1) << c.text;
    EXPECT_EQ(observer.said_of_log.rfind(said, 0), 0u) << observer.said_of_log;
    EXPECT_EQ(observer.last_progress.rfind(said, 0), 0u) << observer.last_progress;
    const std::string no_log = "): this installation has no log, so a later update or check cannot rely on it.";
    EXPECT_TRUE(observer.last_progress.size() > no_log.size() &&
                observer.last_progress.compare(observer.last_progress.size() - no_log.size(), no_log.size(), no_log) == 0)
        << observer.last_progress;
    EXPECT_TRUE(database->install_state.log_failed);
    EXPECT_FALSE(fs::exists(scratch.installed("install_log.txt"))) << c.text;
    for (const std::string& file : scratch.files)
      EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
    EXPECT_FALSE(has_temporary(scratch.destination));
  }
  fs::current_path(was);
  EXPECT_TRUE(fs::is_empty(working + "/" + unknown));
}

// The session ends (Windows log-off or shut-down) while a step shows its progress, where the program
// takes the system's messages; the process ends as soon as the installation has ended where it stands
// (the installer's hook for it). The log on disk then names all that was done, the lines of the step cut
// short included, and ends with the interrupted line; the preparation, cut before the log's header,
// leaves no log; no temporary stays.
TEST(InstallerInterruptionDeathTest, ASessionEndingInsideAStepLeavesTheLogWhole) {
  INSTALLER_SCRATCH scratch("session-end");
  ASSERT_TRUE(scratch.build());
  std::string log = scratch.installed("install_log.txt");
  std::vector<std::string> whole;
  {
    std::unique_ptr<DATABASE> database(scratch.load());
    ASSERT_TRUE(database);
    run_steps(database.get());
    whole = read_lines(log);
    ASSERT_EQ(whole.size(), 18u);  // the header, five files, two shortcuts, the uninstall entry, the end
  }
  struct SESSION_END : RECORDING_OBSERVER {
    DATABASE* database = nullptr;
    int progress = 0, end_at = 0;
    std::vector<std::string> expected;
    std::string log, destination;
    void show_progress(INSTALL_DIALOG*, const char*, INT_S32) override {
      if (++progress != end_at) return;
      watch_end_requests();
      request_program_end();
      database->end_installation();
      std::vector<std::string> logged = read_lines(log);
      bool temporary = fs::exists(destination) && has_temporary(destination);
      for (const std::string& line : logged) std::fprintf(stderr, "%s\n", line.c_str());
      std::_Exit(logged == expected && fs::exists(log) == !expected.empty() && !temporary ? 0 : 2);
    }
  };
  // The progress at which the session ends (1 the preparation's, 2 to 6 the files', 7 and 8 the
  // shortcuts', 9 the completion's), and the lines of the whole log before the interrupted line: the
  // completion's comes once the log is whole and closed, so nothing is interrupted there.
  const int moments[][2] = {{1, 0}, {4, 11}, {8, 15}, {9, 18}};
  for (const auto& moment : moments) {
    fs::remove_all(scratch.destination);
    EXPECT_EXIT(
        {
          std::unique_ptr<DATABASE> database(scratch.load());
          SESSION_END observer;
          observer.database = database.get();
          observer.end_at = moment[0];
          observer.log = log;
          observer.destination = scratch.destination;
          if (moment[1]) {
            observer.expected.assign(whole.begin(), whole.begin() + moment[1]);
            if (moment[1] < (int)whole.size()) observer.expected.push_back("Installation interrupted.");
          }
          set_install_observer(&observer);
          run_steps(database.get());
          std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "")
        << moment[0];
  }
}

// Two runs on one destination at once, alternately installing and updating: the first, held still by
// the scenario build once it holds the folder, makes the second refused at once with 1, naming the first's
// process and changing nothing; the first then completes, and a run after it installs (the hold ends with
// the installation). Every log is one run's, whole, and every update's log is kept. A run killed while it
// holds the folder frees it at once (on Windows its hold's file goes with it; on Linux the file it left
// goes with the next run's hold).
TEST(InstallerProgram, TwoRunsAtOnceInstallOneAtATime) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("two-at-once");
  for (int i = 0; i < 40; i++) scratch.add_file("many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(2000 + 97 * i, i));
#ifdef _WIN32
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root) + "/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  fs::create_directories(scratch.destination);
#else
  std::string description = scratch.name_destination_from_root();
#endif
  ASSERT_TRUE(scratch.build());
  // The update: the same files, its log beside the earlier updates' in "patch".
  const std::string update = scratch.root + "update" + PATH_SEPARATOR;
  std::string error;
  fs::create_directories(update);
  ASSERT_TRUE(write_whole_file(scratch.source + "update.txt", text_bytes(description + "patch_check = $HERE\nlog = $HERE/patch\n")));
  ASSERT_TRUE(package_builder::build_package(scratch.source + "update.txt", update + "installer.pkg", &error));
  const std::string pause = scratch.root + "paused", output[2] = {scratch.root + "out0.txt", scratch.root + "out1.txt"};
  // The process number that the paused run wrote, once it holds the folder; empty when it ended first.
  auto held_by = [&](BACKGROUND_RUN& run) {
    std::string number;
    for (int waited = 0; waited < 30000 && !run.ended(); waited += 5) {
      number = read_whole_text(pause);
      if (!number.empty() && number.back() == '\n') return number.substr(0, number.size() - 1);
      sleep_milliseconds(5);
    }
    return std::string();
  };
  int updated = 0;  // logs of updates
  for (int round = 0; round < 4; round++) {
    SCOPED_TRACE(round);
    const std::string& folder = round % 2 ? update : scratch.package;
    BACKGROUND_RUN first, second, after;
    ASSERT_TRUE(first.start(binary_dir, folder, output[0], false, pause));
    const std::string number = held_by(first);
    ASSERT_FALSE(number.empty()) << read_whole_text(output[0]);
    ASSERT_TRUE(second.start(binary_dir, folder, output[1]));
    EXPECT_EQ(second.wait(), 1);
    EXPECT_EQ(read_whole_text(output[1]).substr(read_whole_text(output[1]).find("ERROR")),
              "ERROR: another installation into \"" + scratch.destination + "\" is running (process " + number +
                  "); nothing was installed\n");
    fs::remove(pause);
    EXPECT_EQ(first.wait(), 0) << read_whole_text(output[0]);
    ASSERT_TRUE(after.start(binary_dir, folder, output[1]));
    EXPECT_EQ(after.wait(), 0) << read_whole_text(output[1]);
    updated += round % 2 ? 2 : 0;
    std::vector<std::string> logs = {scratch.installed("install_log.txt")};
    if (updated) {
      for (const auto& entry : fs::directory_iterator(scratch.installed("patch"))) logs.push_back(entry.path().string());
    }
    EXPECT_EQ(logs.size(), 1u + updated);
    for (const std::string& path : logs) {
      std::vector<std::string> log = read_lines(path);
      ASSERT_GT(log.size(), scratch.files.size() + 6);
      EXPECT_EQ(log[0], "Installed Files");
      EXPECT_EQ(log.back(), "Installation completed without any errors.") << path;
      EXPECT_EQ(std::count(log.begin(), log.end(), "Installed Files"), 1);
      EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& line) { return line.rfind("Installed \"", 0) == 0; }),
                (int)scratch.files.size());
    }
  }
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_FALSE(has_temporary(scratch.destination));
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));

  BACKGROUND_RUN killed, next;
  ASSERT_TRUE(killed.start(binary_dir, scratch.package, output[0], false, pause));
  ASSERT_FALSE(held_by(killed).empty()) << read_whole_text(output[0]);
  killed.kill();
  killed.wait();
  fs::remove(pause);
#ifdef _WIN32
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));
#else
  EXPECT_TRUE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));
#endif
  ASSERT_TRUE(next.start(binary_dir, scratch.package, output[1]));
  EXPECT_EQ(next.wait(), 0) << read_whole_text(output[1]);
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));
}

// The hold's file is the installer's alone: a file of the package at its name in the install folder (on
// Windows in other capitals) is refused, and the folder is free as soon as the installation completes:
// another hold of it is had in the same process, and no file of the hold stays. Something else at the
// name refuses the installation, which names it.
TEST(InstallerInterruption, TheHoldsFileIsTheInstallersAlone) {
  INSTALLER_SCRATCH scratch("hold-file");
#ifdef _WIN32
  const std::string name = "VELK-HOLD.LOCK";
#else
  const std::string name = FOLDER_HOLD_NAME;
#endif
  // The packer refuses a file of that name: one of a package made otherwise.
  scratch.add_file("hold", text_bytes("the package's\n"));
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++)
    if (std::strcmp(database->installations[0].files[i].packed_name, "hold") == 0)
      std::strcpy(database->installations[0].files[i].dest_name, name.c_str());
  ASSERT_TRUE(scratch.store(database.get()));
  database.reset(scratch.load());
  ASSERT_TRUE(database);
  RECORDING_OBSERVER observer;
  set_install_observer(&observer);
  run_steps(database.get());
  set_install_observer(nullptr);
  ASSERT_EQ(database->stage, STAGE_INSTALLING);  // the installation completed and was not left
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(scratch.destination.c_str()));
  FOLDER_HOLDER holder;
  FOLDER_HOLD* hold = hold_folder(&folder, &holder);
  EXPECT_NE(hold, nullptr);
  release_folder(hold);
  EXPECT_FALSE(fs::exists(scratch.installed(name)));
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "\"" + scratch.installed(name) + "\" not installed: it is the install folder's hold (hold)"),
            log.end());
  EXPECT_EQ(log.back(), "Installation completed with 1 error.");

  fs::create_directories(scratch.installed(FOLDER_HOLD_NAME));
  database.reset(scratch.load());
  ASSERT_TRUE(database);
#ifndef _WIN32
  ::testing::internal::CaptureStdout();
#endif
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_FAILED);
#ifndef _WIN32
  std::string said = captured_stdout();
  EXPECT_EQ(said.substr(said.find("ERROR")), "ERROR: the folder \"" + scratch.destination + "\" cannot be held: \"" +
                                                  scratch.installed(FOLDER_HOLD_NAME) +
                                                  "\" is a folder (only the installer's hold may have that name); "
                                                  "nothing was installed\n");
#endif
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")), log);
  EXPECT_TRUE(fs::is_directory(scratch.installed(FOLDER_HOLD_NAME)));
}

// The hold that the wizard's Install took on a destination that is there already is the one the
// installation keeps: the preparation asks for no other (which that hold would refuse), and the hold ends
// with the installation.
TEST(InstallerInterruption, ThePreparationKeepsTheHoldTheWizardTookAtInstall) {
  INSTALLER_SCRATCH scratch("hold-kept");
  ASSERT_TRUE(scratch.build());
  fs::create_directories(scratch.destination);
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  std::strcpy(database->install_path, database->installations[0].default_path);
  ASSERT_TRUE(database->hold_destination());
  FOLDER_HOLD* taken = database->install_state.hold;
  ASSERT_NE(taken, nullptr);
  run_steps(database.get(), 1);
  EXPECT_EQ(database->install_state.hold, taken);
  EXPECT_FALSE(database->install_state.stopped) << database->install_state.failure_text;
  run_steps(database.get());
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
  EXPECT_EQ(database->install_state.hold, nullptr);
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));
}

#ifndef _WIN32
// On a file system whose modes and owners the mount fixes (every file reports 0755 and the mount's owner)
// an installation goes on, held, and leaves no hold behind. Where the file system takes no lock it goes
// on without a hold, and the hold's name is the installer's all the same: the package's file of that name
// is not installed.
TEST(InstallerInterruption, AnInstallationGoesOnWhereModesAreFixedAndWhereNoLockIsTaken) {
  INSTALLER_SCRATCH scratch("hold-file-systems");
  ASSERT_TRUE(scratch.build());
  TEST_SEAM_FILE_SYSTEM told;
  told.mode = 0755;
  told.owner = geteuid() + 1000;
  test_seam_file_system(told);
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  captured_stdout();
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));

  // The packer refuses a file of that name: one of a package made otherwise.
  scratch.add_file("hold", text_bytes("the package's\n"));
  ASSERT_TRUE(scratch.build());
  database.reset(scratch.load());
  ASSERT_TRUE(database);
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++)
    if (std::strcmp(database->installations[0].files[i].packed_name, "hold") == 0)
      std::strcpy(database->installations[0].files[i].dest_name, FOLDER_HOLD_NAME);
  ASSERT_TRUE(scratch.store(database.get()));
  told = TEST_SEAM_FILE_SYSTEM();
  told.no_locks = true;
  test_seam_file_system(told);
  database.reset(scratch.load());
  ASSERT_TRUE(database);
  run_steps(database.get());
  test_seam_file_system(TEST_SEAM_FILE_SYSTEM());
  EXPECT_EQ(database->install_state.hold, nullptr);
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "\"" + scratch.installed(FOLDER_HOLD_NAME) + "\" not installed: it is the install folder's hold (hold)"),
            log.end());
  EXPECT_FALSE(fs::exists(scratch.installed(FOLDER_HOLD_NAME)));
}

// The refusal says what the hold tells of what keeps the folder: a holder that is stopped; and, run as
// root with "nobody" as another user, another user's run by its user (in a folder that user's group may
// write) and what another user put at the hold's name that this run may not take (in a sticky folder),
// with whose it is and who may remove it. Nothing is installed.
TEST(InstallerInterruption, TheRefusalSaysWhatTheHoldTells) {
  INSTALLER_SCRATCH scratch("hold-words");
  ASSERT_TRUE(scratch.build());
  fs::create_directories(scratch.destination);
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(scratch.destination.c_str()));
  auto refusal = [&] {
    std::unique_ptr<DATABASE> database(scratch.load());
    if (!database) return std::string("not loaded");
    ::testing::internal::CaptureStdout();
    INT_S32 status = run_automatic_install(database.get());
    std::string said = captured_stdout();
    return std::to_string(status) + " " + said.substr(std::min(said.find("ERROR"), said.size()));
  };
  // A holder of the user, which holds the folder and then stops itself or waits.
  auto start_holder = [&](uid_t user, bool stop) {
    int ready[2];
    if (pipe(ready) != 0) return (pid_t)-1;
    pid_t child = fork();
    if (child == 0) {
      FOLDER_HOLDER holder;
      bool became = user == 0 || (setgroups(0, nullptr) == 0 && setgid(user) == 0 && setuid(user) == 0);
      char held = became && hold_folder(&folder, &holder) ? 1 : 0;
      if (write(ready[1], &held, 1) != 1 || !held) _exit(1);
      if (stop) raise(SIGSTOP);
      for (;;) pause();
    }
    char held = 0;
    close(ready[1]);
    bool ready_said = read(ready[0], &held, 1) == 1 && held;
    close(ready[0]);
    if (stop) waitpid(child, nullptr, WUNTRACED);
    return ready_said ? child : (pid_t)-1;
  };
  auto end = [](pid_t child) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  };
  const std::string location = "\"" + scratch.destination + "\"";
  pid_t stopped = start_holder(0, true);
  ASSERT_GT(stopped, 0);
  EXPECT_EQ(refusal(), "1 ERROR: another installation into " + location + " is stopped (process " +
                           std::to_string(stopped) + ") and holds the folder; nothing was installed\n");
  end(stopped);
  if (geteuid() != 0) {
    std::printf("(another user's hold needs the test to run as root: not tried)\n");
    return;
  }
  const uid_t nobody = 65534;
  ASSERT_EQ(chown(folder.path, 0, nobody), 0);
  ASSERT_EQ(chmod(folder.path, 0775), 0);
  pid_t member = start_holder(nobody, false);
  ASSERT_GT(member, 0);
  EXPECT_EQ(refusal(), "1 ERROR: another installation into " + location + " is running (process " +
                           std::to_string(member) + " of user nobody); nothing was installed\n");
  end(member);
  fs::remove(scratch.installed(FOLDER_HOLD_NAME));
  ASSERT_EQ(chmod(folder.path, 01777), 0);
  pid_t planter = fork();
  if (planter == 0) _exit(setgid(nobody) == 0 && setuid(nobody) == 0 && mkdir(scratch.installed(FOLDER_HOLD_NAME).c_str(), 0755) == 0 ? 0 : 1);
  int status = -1;
  waitpid(planter, &status, 0);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(refusal(), "1 ERROR: the folder " + location + " cannot be held: \"" + scratch.installed(FOLDER_HOLD_NAME) +
                           "\" is a folder of user nobody, who may not remove this installation's files: its owner or "
                           "root may remove it; nothing was installed\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.destination), fs::directory_iterator()), 1);
}
#endif

// Runs killed at twelve random moments of a 2,000-file install, alternately into an empty destination and
// as an update of other files of the same names: every log holds whole lines only and names every file
// its run wrote, except at most the one the run was finishing; the next run into the folder that the
// killed one held completes and leaves nothing.
TEST(InstallerProgram, AKilledRunLogsEveryFileItWroteButTheOneItWasFinishing) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("killed-log");
  std::string old_package = scratch.root + "old" + PATH_SEPARATOR, output = scratch.root + "output.txt";
  std::string log = scratch.installed("install_log.txt");
  // Files enough for a run to be killed in the middle of many: 12 rounds and the 6 complete runs that
  // the updates go over take long enough under the sanitizers on a loaded machine.
  const int count = 495;
  ASSERT_TRUE(build_many(scratch, old_package, count));
  std::minstd_rand pick(26);
  int outpaced = 0;
  for (int round = 0; round < 12; round++) {
    bool update = round % 2 == 1;
    fs::remove_all(scratch.destination);
    if (update) {
      BACKGROUND_RUN old;
      ASSERT_TRUE(old.start(binary_dir, old_package, output));
      ASSERT_EQ(old.wait(), 0) << read_whole_text(output);
      fs::remove(log);
    }
    size_t moment = 20 + pick() % 380;
    BACKGROUND_RUN run;
    ASSERT_TRUE(run.start(binary_dir, scratch.package, output));
    if (!run_until_logged(run, log, moment)) {
      // The run completed before the test saw it reach the moment (a test process kept waiting for its
      // turn): the round killed nothing and is taken again.
      ASSERT_LT(++outpaced, 3) << "runs completed before they were killed, round " << round;
      round--;
      continue;
    }
    run.kill();
    run.wait();
    RUN_RESULT result = look_at_run(scratch);
    EXPECT_EQ(result.bad_line, "") << round;
    size_t unlogged = 0;
    for (const std::string& path : result.written) unlogged += result.logged.count(path) ? 0 : 1;
    for (const std::string& path : result.logged) EXPECT_EQ(result.written.count(path), 1u) << round << " " << path;
    EXPECT_LE(unlogged, 1u) << round << ": killed after " << result.logged.size() << " files";
  }
  BACKGROUND_RUN last;
  ASSERT_TRUE(last.start(binary_dir, scratch.package, output));
  ASSERT_EQ(last.wait(), 0) << read_whole_text(output);
  std::vector<std::string> expected = scratch.files, found;
  for (std::string& file : expected) file = scratch.installed(file);
  // The killed run's log, which names what it wrote, is kept beside the last run's.
  expected.push_back(log);
  expected.push_back(scratch.installed("install_log-1.txt"));
  std::sort(expected.begin(), expected.end());
  for (const auto& entry : fs::recursive_directory_iterator(scratch.destination))
    if (!entry.is_directory()) found.push_back(entry.path().string());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(look_at_run(scratch).written.size(), (size_t)count);
}

// A run asked to end half-way (natively by SIGINT and SIGTERM, on Windows by the console's Ctrl+C
// event) stops before its next file: status 1, the console says so, the log names exactly the
// files written and ends with the line saying the installation was interrupted, and no temporary stays.
TEST(InstallerProgram, ARunAskedToEndStopsBeforeItsNextFileAndSaysSo) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("asked-to-end");
  std::string output = scratch.root + "output.txt", log = scratch.installed("install_log.txt");
  ASSERT_TRUE(build_many(scratch));
#ifdef _WIN32
  const int requests[] = {0};
#else
  const int requests[] = {SIGINT, SIGTERM};
#endif
  size_t moment = 300;
  for (int request : requests) {
    fs::remove_all(scratch.destination);
    BACKGROUND_RUN run;
    ASSERT_TRUE(run.start(binary_dir, scratch.package, output, true));
    ASSERT_TRUE(run_until_logged(run, log, moment += 400)) << request;
    EXPECT_TRUE(run.request_end(request)) << request;
    run.resume();
    EXPECT_EQ(run.wait(), 1) << request;
#ifndef _WIN32
    EXPECT_NE(read_whole_text(output).find("ERROR: the installation was interrupted\n"), std::string::npos) << request;
#endif
    RUN_RESULT result = look_at_run(scratch);
    EXPECT_EQ(result.bad_line, "") << request;
    EXPECT_EQ(result.last_line, "Installation interrupted.") << request;
    EXPECT_EQ(result.logged, result.written) << request;
    EXPECT_LT(result.written.size(), 1995u) << request;
    EXPECT_FALSE(has_temporary(scratch.destination)) << request;
  }
}

// A run whose own temporary folder holds a tree deeper than a removal holds open at once (an
// installation into "$TEMP", a file 40 folders down) takes the folder whole at its end: nothing of it
// stays in the system's temporary folder.
TEST(InstallerProgram, ARunTakesItsDeepTemporaryFolderWithIt) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("deep-temp");
  std::string deep;
  for (int level = 0; level < 40; level++) deep += "d/";
  scratch.add_file(deep + "bottom.txt", text_bytes("bottom\n"));
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt",
                               text_bytes("installation = Deep\ndefault_path = $ROOT0/elsewhere\n")));
  ASSERT_TRUE(scratch.build());
  {
    // The packer refuses a location in "$TEMP", which goes with the run: the package is made otherwise.
    std::unique_ptr<DATABASE> database(scratch.load());
    ASSERT_TRUE(database);
    std::strcpy(database->installations[0].default_path, "$TEMP/deep");
    ASSERT_TRUE(scratch.store(database.get()));
  }
  std::string temp = scratch.root + "tmp", output = scratch.root + "output.txt";
#ifdef _WIN32
  std::string saved_temp = environment_text("TMP");
  fs::create_directories(temp);
  set_environment("TMP", temp);
#endif
  BACKGROUND_RUN run;
  bool started = run.start(binary_dir, scratch.package, output);
#ifdef _WIN32
  set_environment("TMP", saved_temp);
#endif
  ASSERT_TRUE(started);
  EXPECT_EQ(run.wait(), 0) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("bottom.txt"), std::string::npos) << read_whole_text(output);
  // Nothing but this test's own temporary folder (of the loading above).
  FOLDER own;
  ASSERT_TRUE(own.set("$TEMP"));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(temp))
    if (entry.path().filename().string() != own.get_name()) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{});
}

#ifndef _WIN32
// The console is a side channel: a run whose output's reader has gone (a pipe into a program that reads
// nothing, as "head -1" after its line) installs every file, logs its completion and ends with 0.
TEST(InstallerProgram, AReaderThatGoesAwayNeverStopsARun) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("reader-gone");
  ASSERT_TRUE(build_many(scratch));
  std::string run = "'" + binary_dir + "/installer' -x '$ROOT0" + scratch.package + "installer.xml' -a";
  ASSERT_TRUE(write_whole_file(scratch.root + "run.sh", text_bytes("set -o pipefail; " + run + " | true\n")));
  EXPECT_EQ(run_command("bash '" + scratch.root + "run.sh'"), 0);
  RUN_RESULT result = look_at_run(scratch);
  EXPECT_EQ(result.last_line, "Installation completed without any errors.");
  EXPECT_EQ(result.written.size(), 1995u);
  EXPECT_EQ(result.logged, result.written);
}
#endif

#ifdef _WIN32
// Log-off or shut-down in the middle of a run of automatic mode, as Wine ends its session: the run shows
// no window but is asked and told through a hidden one, and ends between two files with 1; it says so,
// its log names every file it wrote and ends with the interrupted line, and no temporary stays. The run
// is held still meanwhile, until Wine is seen to wait for its answer.
TEST(InstallerProgram, ASessionThatEndsEndsARunBetweenTwoFiles) {
  INSTALLER_SCRATCH scratch("session-run");
  std::string log = scratch.installed("install_log.txt");
  ASSERT_TRUE(build_many(scratch));
  WINDOW_SCENARIO scenario("session-run-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", root_text(scratch.package) + "/installer.xml", "-a"}, {"VELK_UNATTENDED=1"}));
  LOG_WATCH watch(log);
  for (int waited = 0; waited < 30000 && watch.installed() < 100; waited++) sleep_milliseconds(1);
  ASSERT_TRUE(scenario.pause_program());
  ASSERT_GE(watch.installed(), 100u);
  ASSERT_LT(watch.installed(), 1995u) << "the run was over before it was held";
  ASSERT_TRUE(scenario.end_session());
  ASSERT_TRUE(scenario.wait_for_window("Waiting for Program"));
  ASSERT_TRUE(scenario.resume_program());
  EXPECT_EQ(scenario.wait_for_exit(), 1) << scenario.output() << scenario.errors();
  std::string said = scenario.output();
  EXPECT_NE(said.find("ERROR: the installation was interrupted\n"), std::string::npos) << said;
  RUN_RESULT result = look_at_run(scratch);
  EXPECT_EQ(result.bad_line, "");
  EXPECT_EQ(result.last_line, "Installation interrupted.");
  EXPECT_EQ(result.logged, result.written);
  EXPECT_LT(result.written.size(), 1995u);
  EXPECT_FALSE(has_temporary(scratch.destination));
}
#endif

#ifndef _WIN32
// Two runs in different process namespaces, the second installing a file into the first's destination
// from a location around it: the first is stopped while it writes its temporary of a large file (its
// process number means nothing to the second, which cannot see it), the second installs meanwhile; the
// stopped run's temporary survives, and both end with 0.
TEST(InstallerProgram, ARunInAnotherProcessNamespaceLeavesALiveTemporaryAlone) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_TOOL("unshare");
  if (run_command("unshare --pid --fork true 2>/dev/null") != 0)
    GTEST_SKIP() << "this machine gives this user no process namespace (unshare --pid needs root); skipped";
  INSTALLER_SCRATCH scratch("namespaces");
  scratch.add_file("large.bin", pseudo_random_bytes(40 << 20, 3));
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string run = "'" + binary_dir + "/installer' -x '$ROOT0" + scratch.package + "installer.xml' -a";
  std::string marks = scratch.root, dest = scratch.destination, error;
  fs::create_directories(scratch.source + "outer/files/dest");
  fs::create_directories(marks + "outer");
  ASSERT_TRUE(write_whole_file(scratch.source + "outer/files/dest/outer.txt", text_bytes("outer\n")) &&
              write_whole_file(scratch.source + "outer/description.txt",
                               text_bytes("installation = Outer\ndefault_path = $ROOT0" + marks + "\n")));
  ASSERT_TRUE(package_builder::build_package(scratch.source + "outer/description.txt", marks + "outer/installer.pkg", &error));
  // The first run is process 4 of its namespace (the shell 1, two short programs 2 and 3); it is stopped
  // once it has written to a temporary of its own (so it holds it), until the second run, process 2 of a
  // namespace of its own, has ended.
  std::string first = "true & true & wait; " + run + " >'" + marks + "first.out' 2>&1 & run=$!; "
                      "until kill -STOP $run && find '" + dest + "' -maxdepth 1 -name '~velk00000004-*' -size +0c "
                      "2>/dev/null | grep -q .; do kill -CONT $run || exit 3; done; touch '" + marks + "stopped'; "
                      "until [ -e '" + marks + "second.status' ]; do sleep 0.01; done; "
                      "ls '" + dest + "' | grep '^~velk' >'" + marks + "left.txt'; kill -CONT $run; wait $run; "
                      "echo $? >'" + marks + "first.status'";
  std::string second = "'" + binary_dir + "/installer' -x '$ROOT0" + marks + "outer/installer.xml' -a >'" + marks +
                       "second.out' 2>&1; echo $? >'" + marks + "second.status'";
  std::string script = "unshare --pid --fork sh '" + marks + "first.sh' & "
                       "until [ -e '" + marks + "stopped' ]; do sleep 0.01; done; "
                       "unshare --pid --fork sh '" + marks + "second.sh'; wait";
  ASSERT_TRUE(write_whole_file(marks + "first.sh", text_bytes(first)));
  ASSERT_TRUE(write_whole_file(marks + "second.sh", text_bytes(second)));
  ASSERT_TRUE(write_whole_file(marks + "both.sh", text_bytes(script)));
  ASSERT_EQ(run_command("timeout 120 bash '" + marks + "both.sh'"), 0);
  EXPECT_EQ(read_whole_text(marks + "second.status"), "0\n") << read_whole_text(marks + "second.out");
  EXPECT_EQ(read_whole_text(marks + "first.status"), "0\n") << read_whole_text(marks + "first.out");
  EXPECT_EQ(read_whole_text(marks + "left.txt").rfind("~velk00000004-", 0), 0u);
  EXPECT_EQ(read_whole_file(scratch.installed("large.bin")), read_whole_file(scratch.source + "files/large.bin"));
  EXPECT_EQ(read_whole_text(scratch.installed("outer.txt")), "outer\n");
  EXPECT_FALSE(has_temporary(scratch.destination));
}

// A run killed with SIGKILL in the middle of a 2,000-file update, then a complete run: the destination
// holds the package's files, byte for byte, and the logs of the runs, and nothing else.
TEST(InstallerProgram, AKilledUpdateLeavesNothingAfterTheNextRun) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("killed");
  for (int i = 0; i < 1995; i++) scratch.add_file("many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(1000 + 37 * i % 7000, i));
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string command = "'" + binary_dir + "/installer' -x '$ROOT0" + scratch.package + "installer.xml' -a";
  std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command(command + " >'" + output + "' 2>&1"), 0);
  // Once it reports a tenth of the files (its progress lines reach the file a few hundred at a time), it
  // is stopped until it is caught with a temporary of its own in the destination, and killed there;
  // three times over. Between two looks it runs for a moment; a run that ends before it is caught is
  // tried again.
  int kills = 0;
  for (int attempt = 0; attempt < 30 && kills < 3; attempt++)
    kills += run_command(command + " >'" + output + "' 2>&1 & run=$!; own=\"~velk$(printf %08X $run)-*.tmp\"; "
                         "until grep -q '^[1-9][0-9]% ' '" + output + "'; do kill -0 $run 2>/dev/null || break; done; "
                         "caught=1; for try in $(seq 2000); do kill -STOP $run 2>/dev/null || break; "
                         "find '" + scratch.destination + "' -name \"$own\" | grep -q . && caught=0 && break; "
                         "kill -CONT $run; sleep 0.001; done; kill -9 $run 2>/dev/null; wait $run; exit $caught") == 0;
  EXPECT_EQ(kills, 3);
  EXPECT_TRUE(has_temporary(scratch.destination));
  ASSERT_EQ(run_command(command + " >'" + output + "' 2>&1"), 0);
  // The log, and the earlier runs' logs it kept under the numbers from 1: the first run's and each
  // killed run's (a run killed before it was caught among them).
  std::vector<std::string> expected = scratch.files, found;
  expected.push_back("install_log.txt");
  int kept = 0;
  while (fs::exists(scratch.installed("install_log-" + std::to_string(kept + 1) + ".txt"))) kept++;
  EXPECT_GE(kept, kills + 1);
  for (int k = 1; k <= kept; k++) expected.push_back("install_log-" + std::to_string(k) + ".txt");
  std::sort(expected.begin(), expected.end());
  for (const auto& entry : fs::recursive_directory_iterator(scratch.destination))
    if (!entry.is_directory()) found.push_back(fs::relative(entry.path(), scratch.destination).string());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected);
  for (const std::string& file : scratch.files)
    ASSERT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
}

// On a small file system that fills in the middle of an update (a tmpfs of its own, mounted in a mount
// namespace of the test's own): the files that no longer fit keep their old contents and nothing
// partial stays; the log ends where its write failed and the console names it, once; status 1. On the
// full file system the next run cannot create its log: it says so and adds nothing to the log that is
// there.
TEST(InstallerProgram, AFullDiskKeepsOldFilesAndSaysTheLogWasCut) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_TOOL("unshare");
  INSTALLER_SCRATCH scratch("full-disk");
  std::string disk = scratch.root + "disk", results = scratch.root + "results/";
  fs::create_directories(disk);
  fs::create_directories(results);
  // Old files of one page each; the new ones take two, so that the update fills the disk as it goes.
  for (int i = 0; i < 100; i++) scratch.add_file("many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(3000, i));
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, "$ROOT0" + disk + "/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  fs::rename(scratch.package, scratch.root + "old");
  fs::create_directories(scratch.package);
  for (int i = 0; i < 100; i++)
    ASSERT_TRUE(write_whole_file(scratch.source + "files/many/f" + std::to_string(i) + ".bin", pseudo_random_bytes(6000, 500 + i)));
  ASSERT_TRUE(scratch.build());
  std::string script = scratch.root + "full.sh";
  ASSERT_TRUE(write_whole_file(script, text_bytes(
      "disk='" + disk + "'; results='" + results + "'\n"
      "mount -t tmpfs -o size=1m tmpfs \"$disk\" || exit 90\n"
      "run() { '" + binary_dir + "/installer' -x \"\\$ROOT0$1/installer.xml\" -a >\"$results$2.out\" 2>&1\n"
      "  echo $? >\"$results$2.status\"; cp -a \"$disk/dest\" \"$results$2\"; }\n"
      "fill() { dd if=/dev/zero of=\"$disk/filler$1\" bs=4096 2>/dev/null; }\n"
      "run '" + scratch.root + "old' first\n"
      "fill 1; truncate -s -49152 \"$disk/filler1\"\n"
      "run '" + scratch.package + "' cut\n"
      // The earlier installation's log, whole, and then not a page left.
      "rm \"$disk/filler1\"; cp \"$results/first/install_log.txt\" \"$disk/dest/install_log.txt\"; fill 2\n"
      "run '" + scratch.package + "' full\n")));
  int status = run_command("unshare -m sh '" + script + "' 2>/dev/null || unshare -rm sh '" + script + "'");
  if (status == 90 || status == 1) {
    if (std::getenv("CI") && std::string(std::getenv("CI")) == "true") FAIL() << "no tmpfs of its own under CI";
    GTEST_SKIP() << "this machine gives no mount namespace to mount a tmpfs in; skipped";
  }
  ASSERT_EQ(read_whole_text(results + "first.status"), "0\n") << read_whole_text(results + "first.out");
  std::string log_path = disk + "/dest/install_log.txt";
  std::string cut = read_whole_text(results + "cut.out");
  EXPECT_EQ(read_whole_text(results + "cut.status"), "1\n");
  std::string said = "ERROR: the install log \"" + log_path + "\" could not be written (No space left on device)\n";
  ASSERT_NE(cut.find(said), std::string::npos) << cut;
  EXPECT_EQ(cut.find(said, cut.find(said) + 1), std::string::npos);  // once
  std::vector<std::string> log = read_lines(results + "cut/install_log.txt");
  ASSERT_GT(log.size(), 6u);
  EXPECT_EQ(log[4], "Settings: 0 1 $ROOT0" + disk + "/dest");
  EXPECT_EQ(read_whole_text(results + "full.status"), "1\n");
  EXPECT_NE(read_whole_text(results + "full.out").find("ERROR: the install log \"" + log_path + "\" cannot be created (No space left on device)\n"), std::string::npos);
  EXPECT_EQ(read_whole_file(results + "full/install_log.txt"), read_whole_file(results + "first/install_log.txt"));
  int new_files = 0;
  for (const char* run : {"cut", "full"}) {
    EXPECT_FALSE(has_temporary(results + run)) << run;
    for (int i = 0; i < 100; i++) {
      std::vector<INT_U8> bytes = read_whole_file(results + run + "/many/f" + std::to_string(i) + ".bin");
      bool is_new = bytes == pseudo_random_bytes(6000, 500 + i);
      EXPECT_TRUE(is_new || bytes == pseudo_random_bytes(3000, i)) << run << " " << i;
      new_files += is_new && std::string(run) == "cut";
    }
  }
  EXPECT_GT(new_files, 0);
  EXPECT_LT(new_files, 100);
}
#endif

