// Helpers shared by the test programs: an in-memory data device, scratch folders and outside tools.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "data_device.h"
#include "folder.h"

// A DATA_DEVICE over a byte vector; reading past the end transfers what is left.
class MEMORY_DEVICE : public DATA_DEVICE {
public:
  std::vector<INT_U8> bytes;
  INT_U32 position = 0;

  MEMORY_DEVICE() {}
  explicit MEMORY_DEVICE(const std::vector<INT_U8>& initial) : bytes(initial) {}
  INT_U32 tell() override { return position; }
  void seek(INT_S32 offset, bool from_end) override;
  INT_S32 read(void* buffer, INT_S32 count) override;
  INT_S32 write(const void* buffer, INT_S32 count) override;
};

// A new empty folder for one test, under the scratch folder that CTest names (or the system's
// temporary folder). Ends with the host's separator.
std::string make_scratch_folder(const std::string& name);

// A FOLDER set straight to a new scratch folder: its path without the trailing separator and, on
// Windows, with its drive. When path is given it receives the same path ending with the separator.
FOLDER scratch_folder(const std::string& name, std::string* path = nullptr);

// Sets an environment variable of this process (both builds); an empty value removes it. Setting one
// may move the environment:
// texts that getenv gave before must be copied first (environment_text does).
void set_environment(const char* name, const std::string& value);
// A copy of an environment variable's value; empty when it is not set.
std::string environment_text(const char* name);

// This process's number, as the system gives it (a folder's hold names its holder by it).
unsigned long own_process_number();

// The C library's own fclose, for a test that stands in for it (to make a close fail).
int real_fclose(FILE* file);

// What the test's standard output took since testing::internal::CaptureStdout, with what console_print
// still held written first.
std::string captured_stdout();

// count bytes from a small linear congruential generator started at seed: the same bytes every run.
std::vector<INT_U8> pseudo_random_bytes(size_t count, INT_U32 seed);

// Where the Debian package puts the DejaVu faces (seen through Wine's Z: drive on Windows).
std::string system_font_folder();
// The DejaVu faces are there. A test that draws text needs them: under CI (CI=true) their absence fails
// the test, elsewhere it is skipped with a plain message.
bool system_fonts_present();
// The font system started without its built-in fonts, DejaVu Sans of the system's fonts loaded as font
// id (after REQUIRE_SYSTEM_FONTS); false when it cannot be loaded. stop_font_system ends it.
bool start_with_system_font(INT_S8 id);
#define REQUIRE_SYSTEM_FONTS()                                                            \
  do {                                                                                    \
    if (!system_fonts_present()) {                                                        \
      if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")                  \
        FAIL() << "the DejaVu fonts (fonts-dejavu-core) are missing under CI";            \
      GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed; skipped";  \
    }                                                                                     \
  } while (0)

// The process-wide state that reading a database or a skin replaces, back to its start: the image
// cache emptied, the global style sets and the file selector's icons freed (built again on use), the
// one-time style adjustment and the hint style's ready flag cleared, the default dialog effects and the
// frame lookup flags as at start, and no data error.
void reset_skin_globals();

// Writes the screen image as a PNG file at the path (a failing test's picture, screenshots); false when
// the file cannot be written or the screen image is empty.
bool test_seam_dump_png(const char* path);

// Whole-file helpers for checking stored bytes. Paths are UTF-8 on both builds.
std::vector<INT_U8> read_whole_file(const std::string& path);
std::string read_whole_text(const std::string& path);  // the same bytes as a string
bool write_whole_file(const std::string& path, const std::vector<INT_U8>& bytes);
// Sets a file's last write time, in seconds since 1970 (whole: past 2106 and before 1970 too), through
// the system's own call (utimensat; SetFileTime on Windows); false when it refuses.
bool set_file_time(const std::string& path, INT_S64 seconds);

// The system's request to end the program, sent to this process once it watches such requests
// (watch_end_requests): natively SIGTERM, on Windows the console's Ctrl+C event (the process takes a
// console of its own first). Returns once the request is noted; for a death test's child.
void request_program_end();

#ifdef _WIN32
struct _STARTUPINFOA;
struct _PROCESS_INFORMATION;
// CreateProcessA for a test's child program, started again (twice at the most) where Wine fails the start
// before the program runs (ERROR_INTERNAL_ERROR), as it does now and then on a loaded machine.
bool start_process(std::string line, bool inherit_handles, unsigned long flags, _STARTUPINFOA* startup,
                   _PROCESS_INFORMATION* started);
#endif

// Runs a shell command (on Windows a command line of cmd's, its program started again where it did not
// start) and returns its exit status; -1 when it cannot run.
int run_command(const std::string& command);

#ifndef _WIN32
// A listener on the socket of the display ":number" that takes connections and never says a word (an
// abstract name, which Xlib tries first); its descriptor, -1 when it cannot be made.
int silent_display(const std::string& number);

// How a run that run_to_point follows went: it reached the point (status: its wait status once it
// went on with the signals), ended before it (status: its wait status; cause says why when the
// program could not even start), or could not be followed at all, as where ptrace is refused (Yama's
// ptrace_scope 2 or 3, a container's profile without it): cause says why.
struct POINT_RUN {
  enum OUTCOME { REACHED, ENDED_BEFORE, CANNOT_FOLLOW } outcome = CANNOT_FOLLOW;
  int status = 0;
  std::string cause;
};
// Runs the program (arguments[0], its full path) with the environment's variables added ("NAME=value")
// and its standard error in error_path (when given), following it from one system call to the next
// until stop_here (given its process number) says that it has reached the point a test wants: there the
// first signal is sent to it, each further one at the entry of a later system call (once the program
// took the one before, or holds it back), and after the last it goes on unfollowed.
POINT_RUN run_to_point(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                       const std::string& error_path, const std::function<bool(int)>& stop_here,
                       const std::vector<int>& signals);
// Whether a program can be followed here (run_to_point); when not, cause says why.
bool programs_can_be_followed(std::string* cause);
// A test that follows a program: it fails under CI (CI=true) where that cannot be done, and is skipped
// with the reason elsewhere, as a missing outside tool is.
#define REQUIRE_FOLLOWING()                                                                  \
  do {                                                                                       \
    std::string following_refused;                                                           \
    if (!programs_can_be_followed(&following_refused)) {                                     \
      if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")                     \
        FAIL() << "programs cannot be followed under CI: " << following_refused;             \
      GTEST_SKIP() << "programs cannot be followed: " << following_refused << "; skipped";   \
    }                                                                                        \
  } while (0)
#endif

// Makes link a Unix symbolic link to target (both paths of the host, in UTF-8): natively, and under Wine
// through a Unix program, as a link of the file system underneath that Wine shows as what it leads to.
// False when it cannot be made; unix_links_possible says whether it can be at all (natively and under
// Wine, not on Windows itself).
bool plant_unix_link(const std::string& target, const std::string& link);
bool unix_links_possible();

// True when an outside tool can be run. Under CI (CI=true) a missing tool fails the test instead of
// skipping it; elsewhere the test is skipped with a plain message. The outside tools are Linux
// programs, so the Windows build always skips (the native run of the same test uses them).
bool tool_available(const std::string& tool);
#ifdef _WIN32
#define REQUIRE_TOOL(tool)                                                                  \
  do {                                                                                      \
    GTEST_SKIP() << "outside tool " << (tool) << " runs in the native build only; skipped"; \
  } while (0)
#else
#define REQUIRE_TOOL(tool)                                                          \
  do {                                                                              \
    if (!tool_available(tool)) {                                                    \
      if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")            \
        FAIL() << "outside tool " << (tool) << " is missing under CI";              \
      GTEST_SKIP() << "outside tool " << (tool) << " is not installed; skipped";    \
    }                                                                               \
  } while (0)
#endif
