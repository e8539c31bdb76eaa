// Shared test helpers: memory device, scratch folders, outside tools, the skin globals reset.
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstddef>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ctime>

#include "button.h"
#include "data_file.h"
#include "dialog.h"
#include "errors.h"
#include "file_select.h"
#include "folder.h"
#include "font.h"
#include "host.h"
#include "image_cache.h"
#include "image_file.h"
#include "screen_image.h"
#include "style_set.h"
#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

void MEMORY_DEVICE::seek(INT_S32 offset, bool from_end) {
  INT_S64 target = from_end ? static_cast<INT_S64>(bytes.size()) + offset : offset;
  if (target < 0) target = 0;
  position = static_cast<INT_U32>(target);
}

INT_S32 MEMORY_DEVICE::read(void* buffer, INT_S32 count) {
  if (count <= 0 || position >= bytes.size()) return 0;
  INT_U32 available = static_cast<INT_U32>(bytes.size()) - position;
  INT_U32 taken = static_cast<INT_U32>(count) < available ? static_cast<INT_U32>(count) : available;
  std::memcpy(buffer, bytes.data() + position, taken);
  position += taken;
  return static_cast<INT_S32>(taken);
}

INT_S32 MEMORY_DEVICE::write(const void* buffer, INT_S32 count) {
  if (count <= 0) return 0;
  if (position + static_cast<INT_U32>(count) > bytes.size()) bytes.resize(position + count);
  std::memcpy(bytes.data() + position, buffer, count);
  position += count;
  return count;
}

namespace {

// The scratch folders made since the current test began (or, outside tests, since the program began).
std::vector<std::string>& scratch_made() {
  static std::vector<std::string> folders;
  return folders;
}

// The environment variable that hands the index-th scratch folder of the current test to a death
// test's child, which runs the test again from its start in a new process: the child then works in
// the folders of its parent, which removes them.
std::string scratch_variable(size_t index) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "VELK_SCRATCH_";
  name += test ? std::string(test->test_suite_name()) + "_" + test->name() : std::string("PROGRAM");
  name += "_" + std::to_string(index);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// Removes what it can of a folder and everything in it, also what a test left without write permission:
// each entry once, so that a name which an earlier removal took with it (under Wine, removing a Unix link
// removes what it leads to) costs one failed removal, where remove_all would try it again for ever.
void remove_scratch(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code error, ignored;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  for (const fs::path& entry : entries) {
    fs::file_status status = fs::symlink_status(entry, ignored);
    if (fs::is_directory(status)) {
      remove_scratch(entry);
    } else {
      if (!fs::is_symlink(status)) fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, ignored);
      fs::remove(entry, ignored);
    }
  }
  fs::remove(folder, ignored);
}

// The folder below which the scratch folders go (the one CTest names, or the system's temporary one),
// and a new name there.
std::filesystem::path scratch_root() {
  const char* base = std::getenv("VELK_TEST_SCRATCH");
  return base && *base ? std::filesystem::path(base) : std::filesystem::temp_directory_path() / "velk-tests";
}

std::string unique_leaf(const std::string& name) {
  static std::atomic<int> serial{0};
  std::string leaf = name + "-" + std::to_string(static_cast<long>(std::time(nullptr) % 100000)) + "-" +
                     std::to_string(serial++);
#ifdef _WIN32
  return leaf + "-" + std::to_string(static_cast<unsigned long>(_getpid()));
#else
  return leaf + "-" + std::to_string(static_cast<unsigned long>(getpid()));
#endif
}

// A death test's child makes the scratch folders that its parent did not make for it in a folder that
// the parent names to it (made by the first): a child that ends with _Exit never removes them, so the
// parent does, with its own.
const char* const CHILDREN_VARIABLE = "VELK_SCRATCH_CHILDREN";

std::string& children_folder() {
  static std::string folder;
  return folder;
}

// A test that passes takes its scratch folders with it; one that fails keeps them and says where.
void settle_scratch(bool failed, const std::string& owner) {
  if (!children_folder().empty() && std::filesystem::exists(children_folder()))
    scratch_made().push_back(children_folder());
  children_folder().clear();
  for (size_t index = 0; index < scratch_made().size(); index++) {
    const std::string& folder = scratch_made()[index];
    if (failed)
      std::fprintf(stderr, "The scratch folder of %s is kept: %s\n", owner.c_str(), folder.c_str());
    else
      remove_scratch(folder);
    set_environment(scratch_variable(index).c_str(), "");
  }
  scratch_made().clear();
}

class SCRATCH_KEEPER : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    if (::testing::internal::InDeathTestChild()) return;  // the parent's name holds
    children_folder() = (scratch_root() / unique_leaf(std::string(test.name()) + "-children")).string();
    set_environment(CHILDREN_VARIABLE, children_folder());
  }
  void OnTestEnd(const ::testing::TestInfo& test) override {
    settle_scratch(test.result()->Failed(), std::string(test.test_suite_name()) + "." + test.name());
  }
  void OnTestProgramEnd(const ::testing::UnitTest& program) override {
    settle_scratch(program.Failed(), "the test program");
  }
};

const bool scratch_keeper_listening = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new SCRATCH_KEEPER);
  return true;
}();

}  // namespace

std::string make_scratch_folder(const std::string& name) {
  namespace fs = std::filesystem;
  (void)scratch_keeper_listening;
  std::string variable = scratch_variable(scratch_made().size());
  fs::path root = scratch_root();
  const char* children = std::getenv(CHILDREN_VARIABLE);
  if (::testing::internal::InDeathTestChild() && children && *children) root = children;
  fs::path folder = root / unique_leaf(name);
#ifdef _WIN32
  // Under Wine a Unix scratch path has no drive letter: make it absolute so that it carries one.
  folder = fs::absolute(folder);
#endif
  std::error_code ignored;
  const char* parents = std::getenv(variable.c_str());
  if (parents && *parents && fs::is_directory(parents, ignored)) {
    folder = parents;  // a death test's child: its parent's folder, left to the parent
  } else {
    remove_scratch(folder);
    fs::create_directories(folder, ignored);
    set_environment(variable.c_str(), folder.string());
  }
  scratch_made().push_back(folder.string());
  std::string text = folder.string();
#ifdef _WIN32
  for (char& c : text)
    if (c == '/') c = '\\';
  text += '\\';
#else
  text += '/';
#endif
  return text;
}

FOLDER scratch_folder(const std::string& name, std::string* path) {
  std::string text = make_scratch_folder(name);
  char separator = text.back();
  text.pop_back();
#ifdef _WIN32
  // Under Wine the scratch folder may be named without its drive.
  char full[4096];
  if (_fullpath(full, text.c_str(), sizeof full)) text = full;
#endif
  FOLDER folder;
  std::strcpy(folder.path, text.c_str());
  if (path) *path = text + separator;
  return folder;
}

unsigned long own_process_number() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return (unsigned long)getpid();
#endif
}

std::string environment_text(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

int real_fclose(FILE* file) {
#ifdef _WIN32
  static auto next = reinterpret_cast<int(__cdecl*)(FILE*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "fclose")));
#else
  static auto next = reinterpret_cast<int (*)(FILE*)>(dlsym(RTLD_NEXT, "fclose"));
#endif
  return next(file);
}

void set_environment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv((std::string(name) + "=" + value).c_str());
#else
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
#endif
}

std::vector<INT_U8> pseudo_random_bytes(size_t count, INT_U32 seed) {
  std::vector<INT_U8> bytes(count);
  for (size_t index = 0; index < count; ++index) {
    seed = seed * 1664525u + 1013904223u;
    bytes[index] = static_cast<INT_U8>(seed >> 24);
  }
  return bytes;
}

std::string system_font_folder() {
#ifdef _WIN32
  return "Z:\\usr\\share\\fonts\\truetype\\dejavu";
#else
  return "/usr/share/fonts/truetype/dejavu";
#endif
}

bool start_with_system_font(INT_S8 id) {
  FOLDER fonts;
  if (!fonts.set_if_folder(system_font_folder().c_str())) return false;
  disable_font_preload();
  start_font_system();
  return load_font("DejaVuSans.ttf", nullptr, id, &fonts) == id;
}

bool system_fonts_present() {
  std::error_code error;
  return std::filesystem::exists(system_font_folder() + "/DejaVuSans.ttf", error);
}

// Paths are UTF-8 (as on Linux); Windows opens them by their UTF-16 form, so that tests name files
// outside ASCII on both builds alike.
static FILE* open_named_file(const std::string& path, const char* mode) {
#ifdef _WIN32
  std::wstring wide_mode(mode, mode + std::strlen(mode));
  try {
    return _wfopen(std::filesystem::u8path(path).wstring().c_str(), wide_mode.c_str());
  } catch (const std::exception&) {
    return nullptr;
  }
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool test_seam_dump_png(const char* path) {
  if (!path || !screen_image.pixels) return false;
  // The path is split at its last separator into the folder and the file name.
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  if (backslash && (!slash || backslash > slash)) slash = backslash;
  if (!slash) return false;
  char folder_text[FOLDER_PATH_SIZE];
  size_t length = (size_t)(slash - path);
  if (length >= sizeof(folder_text)) return false;
  std::memcpy(folder_text, path, length);
  folder_text[length] = 0;
  FOLDER folder;
  if (!folder.set_if_folder(folder_text)) return false;
  DATA_FILE* file = open_data_file(&folder, slash + 1, FILE_MODE_WRITE, 0, false);
  if (!file) return false;
  bool saved = save_png(&screen_image, file);
  close_data_file(&file);
  return saved;
}

std::vector<INT_U8> read_whole_file(const std::string& path) {
  std::vector<INT_U8> bytes;
  FILE* file = open_named_file(path, "rb");
  if (!file) return bytes;
  INT_U8 chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

std::string read_whole_text(const std::string& path) {
  std::vector<INT_U8> bytes = read_whole_file(path);
  return std::string(bytes.begin(), bytes.end());
}

bool write_whole_file(const std::string& path, const std::vector<INT_U8>& bytes) {
  FILE* file = open_named_file(path, "wb");
  if (!file) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool set_file_time(const std::string& path, INT_S64 seconds) {
#ifdef _WIN32
  HANDLE file = INVALID_HANDLE_VALUE;
  try {
    file = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  } catch (const std::exception&) {
    return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  INT_U64 ticks = (INT_U64)(seconds + 11644473600LL) * 10000000ULL;
  FILETIME time = {(DWORD)ticks, (DWORD)(ticks >> 32)};
  bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
  CloseHandle(file);
  return set;
#else
  struct timespec times[2] = {{0, UTIME_OMIT}, {(time_t)seconds, 0}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
}

void request_program_end() {
#ifdef _WIN32
  if (!GetConsoleWindow()) {
    FreeConsole();
    AllocConsole();
  }
  GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  // The handler runs on a thread of its own, which a loaded machine may start seconds later.
  for (int wait = 0; wait < 3000 && !end_requested(); wait++) Sleep(10);
#else
  kill(getpid(), SIGTERM);
#endif
}

#ifdef _WIN32
bool start_process(std::string line, bool inherit_handles, unsigned long flags, _STARTUPINFOA* startup,
                   _PROCESS_INFORMATION* started) {
  for (int tries = 1;; tries++) {
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit_handles, flags, nullptr, nullptr, startup, started))
      return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR || tries == 3) return false;
    std::fprintf(stderr, "start_process: the program did not start (internal error); started again: %s\n",
                 line.c_str());
  }
}
#endif

int run_command(const std::string& command) {
#ifdef _WIN32
  // Under Wine on a loaded machine a process start now and then fails before the program runs: the
  // command interpreter's own (-1), or the program's, which the interpreter says as a command it cannot
  // find (status 9009, a status no program here ends with). The command is run again then, and that
  // said on standard error.
  int status = std::system(command.c_str());
  for (int tries = 1; (status == 9009 || status == -1) && tries < 3; tries++) {
    std::fprintf(stderr, "run_command: the program did not start (status %d); started again: %s\n", status,
                 command.c_str());
    status = std::system(command.c_str());
  }
  return status;
#else
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

#ifndef _WIN32
int silent_display(const std::string& number) {
  std::string path = "/tmp/.X11-unix/X" + number;
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, path.c_str(), path.size());
  if (listener < 0 ||
      bind(listener, (sockaddr*)&address, (socklen_t)(offsetof(sockaddr_un, sun_path) + 1 + path.size())) != 0 ||
      listen(listener, 4) != 0) {
    if (listener >= 0) close(listener);
    return -1;
  }
  return listener;
}

// Why a step of following failed, for POINT_RUN::cause.
static std::string refused(const char* step, int error) {
  return std::string("ptrace (") + step + ") is refused here: " + std::strerror(error);
}

POINT_RUN run_to_point(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                       const std::string& error_path, const std::function<bool(int)>& stop_here,
                       const std::vector<int>& signals) {
  POINT_RUN run;
  // Everything the child needs is made before it is started: it only redirects, asks to be followed
  // and runs the program. What fails before the program runs comes back through the pipe, which the
  // program's start closes.
  std::vector<std::string> variables;
  for (char** variable = environ; *variable; variable++) variables.push_back(*variable);
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> argv, envp;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  for (const std::string& variable : variables) envp.push_back(const_cast<char*>(variable.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    run.cause = std::string("no pipe: ") + std::strerror(errno);
    return run;
  }
  pid_t child = fork();
  if (child < 0) {
    run.cause = std::string("no process: ") + std::strerror(errno);
    close(report[0]);
    close(report[1]);
    return run;
  }
  if (child == 0) {
    int failure[2] = {0, 0};  // the step (1 redirection, 2 following, 3 the program's start) and errno
    if (!error_path.empty()) {
      int error_file = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (error_file < 0 || dup2(error_file, 2) < 0) failure[0] = 1;
    }
    if (!failure[0] && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) failure[0] = 2;
    if (!failure[0]) execve(argv[0], argv.data(), envp.data());
    if (!failure[0]) failure[0] = 3;
    failure[1] = errno;
    ssize_t written = write(report[1], failure, sizeof failure);
    (void)written;
    _exit(127);
  }
  close(report[1]);
  int failure[2] = {0, 0};
  ssize_t got;
  while ((got = read(report[0], failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  int status = 0;
  if (got == (ssize_t)sizeof failure) {
    waitpid(child, &status, 0);
    if (failure[0] == 2) {
      run.outcome = POINT_RUN::CANNOT_FOLLOW;
      run.cause = refused("PTRACE_TRACEME", failure[1]);
    } else {
      run.outcome = POINT_RUN::ENDED_BEFORE;
      run.status = status;
      run.cause = std::string(failure[0] == 1 ? "its standard error cannot be redirected: " : "it cannot start: ") +
                  std::strerror(failure[1]);
    }
    return run;
  }
  // The child stops as its program starts; from then on it stops at the entry and the exit of each
  // system call (and at a signal of its own, which is passed on).
  auto give_up = [&](const char* step) {
    run.outcome = POINT_RUN::CANNOT_FOLLOW;
    run.cause = refused(step, errno);
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return run;
  };
  if (waitpid(child, &status, 0) != child) return give_up("waitpid");
  if (!WIFSTOPPED(status)) {
    run.outcome = POINT_RUN::ENDED_BEFORE;
    run.status = status;
    return run;
  }
  long options = PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL;
  if (ptrace(PTRACE_SETOPTIONS, child, nullptr, (void*)options) != 0) return give_up("PTRACE_SETOPTIONS");
  int pass_on = 0;
  size_t sent = 0;
  for (;;) {
    if (ptrace(PTRACE_SYSCALL, child, nullptr, (void*)(long)pass_on) != 0) return give_up("PTRACE_SYSCALL");
    if (waitpid(child, &status, 0) != child) return give_up("waitpid");
    if (!WIFSTOPPED(status)) {
      // It ended before the point, or once there before it took every signal.
      run.outcome = sent ? POINT_RUN::REACHED : POINT_RUN::ENDED_BEFORE;
      run.status = status;
      return run;
    }
    int number = WSTOPSIG(status);
    bool system_call = number == (SIGTRAP | 0x80);
    pass_on = system_call || (number == SIGTRAP && (status >> 16) != 0) ? 0 : number;
    if (!system_call) continue;
    if (sent == 0 && !stop_here(child)) continue;
    if (sent > 0) {
      // Each further signal at the entry of a later system call: once the program has taken the one
      // before, or has gone on without taking it (it holds it back), never while the one before still
      // waits for the call it came at to end, where two equal ones would merge.
      __ptrace_syscall_info info;
      std::memset(&info, 0, sizeof info);
      if (ptrace(PTRACE_GET_SYSCALL_INFO, child, (void*)sizeof info, &info) <= 0)
        return give_up("PTRACE_GET_SYSCALL_INFO");
      if (info.op != PTRACE_SYSCALL_INFO_ENTRY) continue;
    }
    if (sent < signals.size()) kill(child, signals[sent]);
    if (++sent < signals.size()) continue;
    // The signals reach it as it goes on, unfollowed.
    ptrace(PTRACE_DETACH, child, nullptr, nullptr);
    run.outcome = POINT_RUN::REACHED;
    if (waitpid(child, &status, 0) != child) return give_up("waitpid");
    run.status = status;
    return run;
  }
}

bool programs_can_be_followed(std::string* cause) {
  POINT_RUN run = run_to_point({"/bin/true"}, {}, "", [](int) { return true; }, {});
  if (run.outcome == POINT_RUN::CANNOT_FOLLOW) {
    *cause = run.cause;
    return false;
  }
  return true;
}
#endif

#ifdef _WIN32
// The Unix path of a path of Wine's drives (UTF-8); empty when not under Wine.
static std::string unix_path_of(const std::string& path) {
  typedef char*(CDECL * TO_UNIX)(LPCWSTR);
  TO_UNIX to_unix = (TO_UNIX)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  WCHAR wide[MAX_PATH];
  if (!to_unix || !MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
  char* name = to_unix(wide);
  if (!name) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}
#endif

bool unix_links_possible() {
#ifdef _WIN32
  return GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name") != nullptr;
#else
  return true;
#endif
}

bool plant_unix_link(const std::string& target, const std::string& link) {
#ifdef _WIN32
  // Wine starts a Unix program as a process of its own, which it gives no handle of: the link is
  // waited for.
  std::string unix_target = unix_path_of(target), unix_link = unix_path_of(link);
  if (unix_target.empty() || unix_link.empty()) return false;
  std::string command = "/bin/ln -s \"" + unix_target + "\" \"" + unix_link + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!start_process(command, false, 0, &startup, &started)) return false;
  if (started.hProcess) {
    CloseHandle(started.hProcess);
    if (started.hThread) CloseHandle(started.hThread);
  }
  for (int waited = 0; waited < 3000; waited++) {
    if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(10);
  }
  return false;
#else
  return symlink(target.c_str(), link.c_str()) == 0;
#endif
}

bool tool_available(const std::string& tool) {
#ifdef _WIN32
  (void)tool;
  return false;
#else
  return run_command("command -v " + tool + " >/dev/null 2>&1") == 0;
#endif
}

void reset_skin_globals() {
  image_cache->clear();
  stop_global_style_sets();
  stop_file_select_icons();
  default_styles_adjusted = 0;
  button_hint_style_ready = 0;
  default_dialog_effects = {DEFAULT_DIALOG_EFFECT_FLAGS, DEFAULT_DIALOG_OPEN_DELAY, DEFAULT_DIALOG_DISPLAY_DELAY,
                            DEFAULT_DIALOG_DRAGGING_ALPHA};
  style_frame_cache_flags = CACHE_DROP_ON_FAILURE;
  set_error(0, nullptr);
}

std::string captured_stdout() {
  console_flush();
  return ::testing::internal::GetCapturedStdout();
}
