// Tests of the host layer's shared part: the command-line split, the frame loop, the temporary folder,
// the idle wait, the platform event queue, and the main window without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "pass_count.h"
#include "screen_image.h"
#include "test_support.h"
#include "window_scenario.h"
#include "../code/host/private/host_private.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>  // STATUS_CONTROL_C_EXIT
#define dup2 _dup2
#define fileno _fileno
#else
#include <csignal>
#include <unistd.h>
#endif

static std::vector<std::string> split(const char* line, INT_S32* argc_out = nullptr) {
  INT_S32 argc = -1;
  char** argv = split_command_line(line, "C:\\prog\\installer.exe", &argc);
  std::vector<std::string> result;
  if (!argv) return result;
  for (INT_S32 i = 0; i < argc; i++) result.push_back(argv[i]);
  EXPECT_EQ(argv[argc], nullptr);
  std::free(argv);
  if (argc_out) *argc_out = argc;
  return result;
}

// Command lines and the arguments Windows programs get from them.
TEST(CommandLine, SplitAsWindowsProgramsSplitIt) {
  struct CASE {
    const char* line;
    std::vector<std::string> arguments;
  };
  const CASE cases[] = {
      {"a \"b c\" d", {"a", "b c", "d"}},
      {"\"a b c\" d e", {"a b c", "d", "e"}},
      {"a\"b c\"d", {"ab cd"}},  // a quoted part inside a word
      {"\"ab\\\"c\" \"\\\\\" d", {"ab\"c", "\\", "d"}},
      {"a\\\\\\b d\"e f\"g h", {"a\\\\\\b", "de fg", "h"}},  // backslashes before no quote stay
      {"a\\\\\\\"b c d", {"a\\\"b", "c", "d"}},             // 2n+1: n and a literal quote
      {"a\\\\\\\\\"b c\" d e", {"a\\\\b c", "d", "e"}},     // 2n: n and the quote opens
      {"a\\\"b", {"a\"b"}},
      {"\"C:\\My Dir\\\\\" -a", {"C:\\My Dir\\", "-a"}},
      {"C:\\dir\\ -x", {"C:\\dir\\", "-x"}},
      {"a\"b\"\" c d", {"ab\" c d"}},  // a doubled quote inside quotes is a quote, and they stay open
      {"\"\"\"x\"\"\"", {"\"x\""}},
      {"a\tb \t c", {"a", "b", "c"}},  // tabs separate
      {"   -x    file   ", {"-x", "file"}},
      {"a \"\" b", {"a", "", "b"}},
      {"\"", {""}},
      {"first end\"", {"first", "end"}},
      {"\"open to end", {"open to end"}},  // a quote left open runs to the end
      {"\x01,4E2D\x01 \"\x01,4E2D,6587\x01 \xE9\"", {"\x01,4E2D\x01", "\x01,4E2D,6587\x01 \xE9"}},
      {"", {}},
      {" \t ", {}},
  };
  for (const CASE& c : cases) {
    INT_S32 argc = -1;
    std::vector<std::string> expected = {"C:\\prog\\installer.exe"};
    expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(split(c.line, &argc), expected) << c.line;
    EXPECT_EQ(argc, (INT_S32)expected.size()) << c.line;
  }
  EXPECT_EQ(split(nullptr).size(), 1u);
}

// The program's name ends at a blank outside quotes; backslashes and doubled quotes mean nothing there.
TEST(CommandLine, TheProgramNameHasItsOwnRule) {
  EXPECT_STREQ(skip_program_name("\"C:\\Program Files\\setup.exe\" -a"), "-a");
  EXPECT_STREQ(skip_program_name("\"C:\\dir\\\"  -x d"), "-x d");
  EXPECT_STREQ(skip_program_name("\"C:\\My Dir\"\\setup.exe\t\t-a"), "-a");
  EXPECT_STREQ(skip_program_name("setup.exe\t-a b"), "-a b");
  EXPECT_STREQ(skip_program_name("setup\"\".exe  \"-a\""), "\"-a\"");
  EXPECT_STREQ(skip_program_name("\"C:\\x y\\setup.exe"), "");
  EXPECT_STREQ(skip_program_name(""), "");
  EXPECT_EQ(skip_program_name(nullptr), nullptr);
}

#ifdef _WIN32
// A program started with a command line gets from it what Windows programs get; a character of no
// code page stays exact.
TEST(CommandLine, AStartedProgramGetsItsArgumentsSo) {
  std::string output = make_scratch_folder("command-line") + "probe.out";
  std::string program = WINDOW_SCENARIO::built_program("argument_probe");
  std::wstring line = L"\"" + std::wstring(program.begin(), program.end()) +
                      L"\" a\"b c\"d \"C:\\My Dir\\\\\" -a\tb a\\\"b \"x\"\"y\" \x00E9\x4E2D";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = start.hStdError = out;
  PROCESS_INFORMATION process = {};
  bool started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
  CloseHandle(out);
  ASSERT_TRUE(started);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  EXPECT_EQ(status, 0u);
  std::string expected = "argc 8\n";
  for (std::string argument : {"ab cd", "C:\\My Dir\\", "-a", "b", "a\"b", "x\"y", "\xE9\x01,4E2D\x01"}) {
    expected += "argument ";
    for (unsigned char c : argument) expected += "0123456789ABCDEF"[c >> 4] + std::string(1, "0123456789ABCDEF"[c & 15]);
    expected += "\n";
  }
  EXPECT_EQ(read_whole_text(output), expected);
}
#endif

TEST(CommandLine, NeverReadsPastTheText) {
  // The text sits at the very end of its own block, so any read past the terminator is caught by the
  // sanitizers.
  const char* lines[] = {"\"", "a\"", "\"a", "\" \"", "x \"", "\"\"\"", "abc\"  ", "\\", "a\\\\", "\"\\\"", "\"x\"\""};
  for (const char* line : lines) {
    size_t length = std::strlen(line);
    char* exact = (char*)std::malloc(length + 1);
    std::memcpy(exact, line, length + 1);
    INT_S32 argc = 0;
    char** argv = split_command_line(exact, nullptr, &argc);
    ASSERT_NE(argv, nullptr);
    EXPECT_STREQ(argv[0], "");
    for (INT_S32 i = 1; i < argc; i++) EXPECT_LE(std::strlen(argv[i]), length);
    std::free(argv);
    std::free(exact);
  }
}

// A small application whose update counts its calls.
static int update_calls = 0;
static int update_limit = 0;

static EVENT* new_event(INT_U32 code) {
  EVENT* event = (EVENT*)std::malloc(sizeof(EVENT));
  event->code = code;
  event->data = nullptr;
  event->release = nullptr;
  return event;
}

static INT_U8 test_update() { return ++update_calls < update_limit ? 1 : 0; }

static void reset_application() {
  update_calls = 0;
  quit_flag = 0;
  activity_flag = 0;
}

// A client that grants a close request while it handles an event, as the window's close path does.
struct CLOSING_CLIENT : EVENT_CLIENT {
  INT_S32 handle_event(EVENT*) override {
    quit_flag = 1;
    return 0;
  }
};

TEST(FrameLoop, GrantedCloseLetsUpdateRunOnceMore) {
  reset_application();
  update_limit = 1000;
  idle_wait_ms = 0;
  CLOSING_CLIENT closer;
  post_event(new_event(1), 1);
  run_frame_loop(test_update);
  // First pass: update, then the event grants the close; second pass: update, then the loop ends.
  EXPECT_EQ(update_calls, 2);
  quit_flag = 0;
  idle_wait_ms = 50;
}

static int passes_seen = 0;
static void see_pass() { passes_seen += update_calls; }  // the update of the pass has run before

// The pass callback follows every update, the last one too. The loop itself writes nothing for a test:
// a pass-count file named in the environment is the scenario programs' own, not the library's.
TEST(FrameLoop, ThePassCallbackFollowsEveryUpdateAndTheEnvironmentNamesNoFile) {
  std::string file = make_scratch_folder("pass-count") + "passes";
  reset_application();
  set_idle_wait(0);
  set_environment(PASS_COUNT_VARIABLE, file);
  test_seam_on_pass(see_pass);
  passes_seen = 0;
  update_limit = 4;
  run_frame_loop(test_update);
  EXPECT_EQ(passes_seen, 1 + 2 + 3 + 4);  // once after each update, in order
  EXPECT_FALSE(std::filesystem::exists(file));
  test_seam_on_pass(nullptr);
  set_environment(PASS_COUNT_VARIABLE, "");
  set_idle_wait(50);
}

static int busy_updates = 0;
static INT_U8 busy_update() {
  activity_flag = (busy_updates % 2) == 0;  // every other pass presents something
  return ++busy_updates < 6 ? 1 : 0;
}

TEST(FrameLoop, IdleWaitIsSkippedForBusyPassesAndWhenZero) {
  reset_application();
  set_idle_wait(1);
  EXPECT_EQ(get_idle_wait(), 1u);
  INT_U32 before = idle_wait_count;
  busy_updates = 0;
  run_frame_loop(busy_update);
  // Passes 1, 3, 5 were busy; passes 2 and 4 waited; the sixth update ended the loop.
  EXPECT_EQ(idle_wait_count - before, 2u);
  EXPECT_EQ(activity_flag, 0);  // cleared at the end of every pass

  set_idle_wait(0);
  before = idle_wait_count;
  for (int i = 0; i < 20; i++) pump_messages();
  EXPECT_EQ(idle_wait_count, before);
  set_idle_wait(1);
  pump_messages();
  EXPECT_EQ(idle_wait_count, before + 1);

  // A frame drawn on a screen without a window is the pass's activity, as on a window.
  test_seam_screen(8, 8);
  screen_image.extend_dirty_area(1, 1, 2, 2);
  present_frame(0);
  EXPECT_EQ(screen_image.dirty.x1, -1);
  pump_messages();
  EXPECT_EQ(idle_wait_count, before + 1);
  set_idle_wait(50);
}

// Passes whose work asks for the next pass at once, or that drew and then pumped the messages inside
// the pass (which clears the activity flag, as the pointer shape's change does), never wait.
static int asking_updates = 0;
static INT_U8 asking_update() {
  asking_updates++;
  if (asking_updates == 1) request_pass_by(get_tick_count());
  if (asking_updates == 2) {
    screen_image.extend_dirty_area(1, 1, 2, 2);
    present_frame(0);
    pump_messages();
  }
  return asking_updates < 3 ? 1 : 0;
}

TEST(FrameLoop, PassesThatAskForTheNextOrDrewBeforeAPumpDoNotWait) {
  reset_application();
  test_seam_screen(8, 8);
  set_idle_wait(20);
  asking_updates = 0;
  INT_U32 before = idle_wait_count;
  run_frame_loop(asking_update);
  EXPECT_EQ(asking_updates, 3);
  EXPECT_EQ(idle_wait_count, before);
  // Soon is the idle wait from now.
  test_seam_set_ticks(1000, 0);
  test_seam_pass_asked(nullptr, true);
  request_pass_soon();
  request_pass_by(1500);
  INT_U32 due = 0;
  EXPECT_TRUE(test_seam_pass_asked(&due, true));
  EXPECT_EQ(due, 1020u);  // the earliest asked for
  EXPECT_FALSE(test_seam_pass_asked(&due, false));
  test_seam_release_clocks();
  set_idle_wait(50);
}

// Event queue.
static std::vector<std::string> seen;
struct NAMED_CLIENT : EVENT_CLIENT {
  std::string name;
  explicit NAMED_CLIENT(const char* n) : name(n) {}
  INT_S32 handle_event(EVENT* event) override {
    seen.push_back(name + std::to_string(event->code));
    return 0;
  }
};

TEST(EventQueue, ClientsSeeEventsInRegistrationAndPostingOrder) {
  seen.clear();
  NAMED_CLIENT a("A"), b("B");
  post_event(new_event(1), 1);
  post_event(new_event(2), 1);
  post_event(new_event(3), 1);
  EXPECT_TRUE(seen.empty());
  process_event_queue();
  std::vector<std::string> expected = {"A1", "B1", "A2", "B2", "A3", "B3"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(queued_event_count(), 0);
}

struct REPOSTING_CLIENT : EVENT_CLIENT {
  int handled = 0;
  INT_S32 handle_event(EVENT* event) override {
    handled++;
    if (event->code == 1) post_event(new_event(2), 1);
    return 0;
  }
};

TEST(EventQueue, EventPostedDuringDispatchWaitsForNextDrain) {
  REPOSTING_CLIENT client;
  post_event(new_event(1), 1);
  process_event_queue();
  EXPECT_EQ(client.handled, 1);
  EXPECT_EQ(queued_event_count(), 1);
  process_event_queue();
  EXPECT_EQ(client.handled, 2);
  EXPECT_EQ(queued_event_count(), 0);
}

static int release_calls = 0;
static void* released_data = nullptr;
static EVENT* released_event = nullptr;
static void record_release(EVENT* event, void* data) {
  release_calls++;
  released_event = event;
  released_data = data;
}

TEST(EventQueue, ReleaseFlagDecidesWhoOwnsTheEvent) {
  release_calls = 0;
  int payload = 5;
  // Flag 0: neither released nor freed; the poster keeps it.
  EVENT kept = {9, &payload, record_release};
  post_event(&kept, 0);
  process_event_queue();  // no clients at all: still drained
  EXPECT_EQ(release_calls, 0);
  EXPECT_EQ(kept.code, 9u);
  // Flag 1: release(event, data), then the record is freed.
  EVENT* owned = new_event(4);
  owned->data = &payload;
  owned->release = record_release;
  post_event(owned, 1);
  process_event_queue();
  EXPECT_EQ(release_calls, 1);
  EXPECT_EQ(released_event, owned);
  EXPECT_EQ(released_data, &payload);
  EXPECT_EQ(queued_event_count(), 0);
}

struct SELF_REMOVING_CLIENT : EVENT_CLIENT {
  int handled = 0;
  INT_S32 handle_event(EVENT*) override {
    handled++;
    return 0;
  }
};

TEST(EventQueue, ClientsRegisterForTheirLifetime) {
  seen.clear();
  {
    NAMED_CLIENT gone("G");
  }
  NAMED_CLIENT stays("S");
  EVENT event = {3, nullptr, nullptr};
  dispatch_event(&event, 0);
  std::vector<std::string> expected = {"S3"};
  EXPECT_EQ(seen, expected);
}

// The main window without a display (Linux) or with the real one (Windows).
#ifndef _WIN32
struct MAIN_WINDOW : ::testing::Test {
  void SetUp() override { setenv(HEADLESS_VARIABLE, "1", 1); }
  void TearDown() override { close_main_window(-1); }
};
#else
struct MAIN_WINDOW : ::testing::Test {
  void TearDown() override { close_main_window(-1); }
};
#endif

TEST_F(MAIN_WINDOW, OpenSizesTheScreenImageAndPresentEmptiesTheDirtyArea) {
  EXPECT_EQ(has_main_window(), 0);
  present_frame(0);  // no window: nothing happens
  ASSERT_EQ(open_graphics_window("Test", 64, 48, 0, 0), 1);
  EXPECT_EQ(has_main_window(), 1);
  EXPECT_EQ(is_screen_open(0), 1);
  EXPECT_EQ(is_screen_open(1), 0);
  EXPECT_EQ(get_screen_image(0), &screen_image);
  EXPECT_EQ(get_screen_image(1), nullptr);
  EXPECT_EQ(get_screen_width(0), 64);
  EXPECT_EQ(get_screen_height(0), 48);
  EXPECT_EQ(get_screen_width(2), 0);
  EXPECT_EQ(screen_image.pixels[0], 0xFF000000u);  // cleared to opaque black
  EXPECT_EQ(screen_image.size_locked, 1);
  screen_image.set_size(10, 10);  // locked: no other code may resize it
  EXPECT_EQ(screen_image.width, 64);

  screen_image.pixels[5] = 0xFF123456;
  screen_image.extend_dirty_area(2, 3, 10, 12);
  activity_flag = 0;
  present_frame(0);
  EXPECT_EQ(screen_image.dirty.x1, -1);
  EXPECT_EQ(screen_image.dirty.y2, -1);
  EXPECT_EQ(activity_flag, 1);
  activity_flag = 0;
  present_frame(0);  // nothing dirty: nothing presented
  EXPECT_EQ(activity_flag, 0);
  present_frame(1);

  // The same size again keeps the pixels; another size clears them.
  ASSERT_EQ(open_graphics_window("Again", 64, 48, 0, 0), 1);
  EXPECT_EQ(screen_image.pixels[5], 0xFF123456u);
  ASSERT_EQ(open_graphics_window("Other", 32, 48, 0, 0), 1);
  EXPECT_EQ(screen_image.width, 32);
  EXPECT_EQ(screen_image.pixels[5], 0xFF000000u);

  EXPECT_EQ(close_graphics(0), 1);
  EXPECT_EQ(has_main_window(), 1);
  EXPECT_EQ(close_graphics_and_check(0), 1);
  EXPECT_EQ(has_main_window(), 0);
  EXPECT_EQ(screen_image.pixels, nullptr);
  EXPECT_EQ(screen_image.width, 0);
}

TEST_F(MAIN_WINDOW, SizesFollowTheAvailableSpaceAndTheLimits) {
  GRAPHICS_MODE mode = {nullptr, -1, -1, 0, -1, -1, -1, -1, 0};
  ASSERT_EQ(OpenGraphics(&mode, 0), 1);
  EXPECT_GT(screen_image.width, 0);
  EXPECT_LE(screen_image.width, get_desktop_width());
  EXPECT_LE(screen_image.height, get_desktop_height());
  EXPECT_EQ(OpenGraphics(&mode, 1), 0);

  // Clamped to the limits before the cut to the available space.
  GRAPHICS_MODE limited = {"Limited", 50, 500, 0, 100, 200, 10, 120, 0};
  ASSERT_EQ(OpenGraphics(&limited, 0), 1);
  EXPECT_EQ(screen_image.width, 100);
  EXPECT_EQ(screen_image.height, 120);

  // A minimum beyond the available space: 0, window and image unchanged.
  GRAPHICS_MODE too_big = {"Big", 100, 100, 0, 30000, -1, -1, -1, 0};
  EXPECT_EQ(OpenGraphics(&too_big, 0), 0);
  EXPECT_EQ(has_main_window(), 1);
  EXPECT_EQ(screen_image.width, 100);
  EXPECT_EQ(screen_image.height, 120);
}

// The window is given what changed and nothing more, on the last row as anywhere else.
TEST_F(MAIN_WINDOW, APresentSendsOnlyTheChangedArea) {
  ASSERT_EQ(open_graphics_window("Rows", 20, 10, 0, 0), 1);
  present_frame(-1);
  test_seam_presents(true);
  screen_image.extend_dirty_area(3, 9, 4, 9);
  present_frame(-1);
  EXPECT_EQ(screen_image.dirty.x1, -1);
  TEST_SEAM_PRESENTS seen = test_seam_presents(true);
  EXPECT_EQ(seen.count, 1u);
  EXPECT_EQ(seen.pixels, 2u);
  EXPECT_EQ(std::vector<INT_S32>({seen.left, seen.top, seen.right, seen.bottom}), std::vector<INT_S32>({3, 9, 4, 9}));
  // A view whose change reaches past its edges is given the part inside it.
  INT_U32 pixels[4 * 3] = {};
  PIXEL_VIEW view = {pixels, 3, 3, 4, -2, 1, 7, 9};
  EXPECT_TRUE(present_view(0, &view));
  seen = test_seam_presents(true);
  EXPECT_EQ(std::vector<INT_S32>({seen.left, seen.top, seen.right, seen.bottom}), std::vector<INT_S32>({0, 1, 2, 2}));
  EXPECT_EQ(seen.pixels, 6u);
}

// The host sees the pixels it shows only as a view: it takes one that has pixels and a change, for
// screen 0 or -1, and shows it in the window, or nowhere without one.
TEST_F(MAIN_WINDOW, TheHostTakesAViewOfPixelsWithAChange) {
  INT_U32 pixels[4 * 3] = {};
  PIXEL_VIEW view = {pixels, 3, 3, 4, 1, 1, 2, 2};
  activity_flag = 0;
  EXPECT_TRUE(present_view(0, &view));
  EXPECT_EQ(activity_flag, 1);
  ASSERT_EQ(open_graphics_window("View", 3, 3, 0, 0), 1);
  activity_flag = 0;
  EXPECT_TRUE(present_view(-1, &view));
  EXPECT_EQ(activity_flag, 1);
  activity_flag = 0;
  EXPECT_FALSE(present_view(1, &view));
  view.changed_bottom = -1;
  EXPECT_FALSE(present_view(0, &view));
  view.changed_bottom = 2;
  view.pixels = nullptr;
  EXPECT_FALSE(present_view(0, &view));
  EXPECT_EQ(activity_flag, 0);
}

// What the window system lost of the window's picture is presented again from the screen image.
static int presents_seen = 0;
static void count_present() { presents_seen++; }
TEST_F(MAIN_WINDOW, ARepaintPresentsTheLostAreaAgain) {
  ASSERT_EQ(open_graphics_window("Repaint", 40, 30, 0, 0), 1);
  ASSERT_NE(repaint_hook, nullptr);
  presents_seen = 0;
  test_seam_on_present(count_present);
  activity_flag = 0;
  repaint_hook(2, 3, 10, 12);
  test_seam_on_present(nullptr);
  EXPECT_EQ(presents_seen, 1);
  EXPECT_EQ(activity_flag, 1);
  EXPECT_EQ(screen_image.dirty.x1, -1);
}

static int close_asks = 0;
static INT_U8 refuse_close(INT_S16 screen) {
  EXPECT_EQ(screen, 0);
  close_asks++;
  return 0;
}

TEST(Window, CloseCallbackAndPointerWithoutWindow) {
  set_close_callback(refuse_close);
  EXPECT_EQ(close_callback, refuse_close);
  EXPECT_EQ(allow_close(0), 1);
  set_close_callback(nullptr);
  // Without a window only shape -1 is taken.
  EXPECT_EQ(set_mouse_cursor(2, 0), 0);
  EXPECT_EQ(set_mouse_cursor(-1, 0), 1);
  EXPECT_EQ(has_gl_context(), 0);
}

// Console, message boxes and the process ends.
static std::string hooked;
static void record_box(const char* caption, const char* text) { hooked = std::string(caption) + "|" + text; }

TEST(Console, MessageBoxesGoToStandardErrorWhenUnattended) {
  ASSERT_TRUE(running_unattended());  // the test harness sets the switch
  set_message_box_hook(record_box);
  ::testing::internal::CaptureStderr();
  show_message_box("Caption", "Some text");
  std::string written = ::testing::internal::GetCapturedStderr();
  set_message_box_hook(nullptr);
  EXPECT_EQ(hooked, "Caption|Some text");
  EXPECT_NE(written.find("Caption: Some text"), std::string::npos);
}

#ifndef _WIN32
// The Linux box's window shows its text in lines that fit (here 10 characters of one width): broken after
// the last space that fits, the spaces at a break gone; a word too long for a line broken after its last
// folder separator that fits, else where it is full; every line end kept, empty lines too, and a line's
// leading spaces; nothing else lost.
TEST(Console, MessageBoxWindowLinesFitAndLoseNothing) {
  struct CASE {
    const char* text;
    std::vector<std::string> lines;
  };
  const CASE cases[] = {
      {"The package is damaged.", {"The", "package is", "damaged."}},
      {"/tmp/pkg/installer.pkg: cut", {"/tmp/pkg/", "installer.", "pkg: cut"}},
      {"C:\\pkg\\x.pkg y", {"C:\\pkg\\", "x.pkg y"}},
      {"ab cdefghijklm", {"ab", "cdefghijkl", "m"}},
      {"one\r\n\r\n  two   three\r\n", {"one", "", "  two", "three", ""}},
      {"0123456789 0123456789", {"0123456789", "0123456789"}},
      {"tab\there \x01,20AC\x01", {"tab here ?"}},
      {"abcdefghi\x01,D835,DD38\x01", {"abcdefghi", "??"}},  // a character beyond U+FFFF kept whole
      {"", {""}},
  };
  for (const CASE& c : cases) EXPECT_EQ(test_seam_message_box_lines(c.text, 60, 6), c.lines) << c.text;
}
#endif

TEST(Console, PrintReachesStandardOutput) {
  ::testing::internal::CaptureStdout();
  console_print("first line\n");
  console_print(nullptr);
  console_print("second\n");
  std::string written = captured_stdout();
  EXPECT_NE(written.find("first line\nsecond\n"), std::string::npos);
}

// Written to a file, console lines are held and go out together: before a message box's text (so the
// two keep their order) and, for what is left, as the process ends.
TEST(ConsoleDeathTest, HeldLinesGoOutBeforeAMessageAndAsTheProcessEnds) {
  std::string path = make_scratch_folder("console-held") + "out.txt";
  ASSERT_TRUE(write_whole_file(path, {}));
  auto size = [&path]() { return std::filesystem::file_size(path); };
  EXPECT_EXIT(
      {
        // Both streams on one open file, as when a shell sends both to one file.
        if (!std::freopen(path.c_str(), "w", stdout) || dup2(fileno(stdout), fileno(stderr)) < 0) std::_Exit(7);
        console_print("one\n");
        if (size() != 0) std::_Exit(8);
        show_message_box("Caption", "text");
        auto written = size();
        console_print("two\n");
        if (written < 18 || size() != written) std::_Exit(9);
        fatal_exit("bye");
      },
      ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "");
  std::vector<INT_U8> bytes = read_whole_file(path);
  std::string text(bytes.begin(), bytes.end());
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, "one\nCaption: text\ntwo\nFatal error: bye\n");
}

TEST(Console, ProcessEndsCarryTheirStatus) {
  EXPECT_EXIT(fatal_exit("Application was unable to continue"), ::testing::ExitedWithCode(FATAL_EXIT_STATUS),
              "Application was unable to continue");
  EXPECT_EXIT(exit_process(2), ::testing::ExitedWithCode(2), "");
  EXPECT_EXIT(exit_process(0), ::testing::ExitedWithCode(0), "");
}

// How a process ends at a second request to end: as the system ends it. On Windows the system's own
// handler ends it with STATUS_CONTROL_C_EXIT (under Wine with 0).
#ifdef _WIN32
bool ended_by_the_system(int code) { return code == (int)STATUS_CONTROL_C_EXIT || code == 0; }
#else
const ::testing::KilledBySignal ended_by_the_system(SIGTERM);
#endif

// Once watched, a request to end the program is only noted: the frame loop ends after the pass whose
// update could see it. A second request ends the process at once, as the system ends it, and takes the
// files noted for that with it (only those). A console that goes away is no request.
TEST(EndRequestDeathTest, TheFirstIsNotedAndEndsTheLoopTheSecondEndsTheProcess) {
  FOLDER scratch = scratch_folder("end-request");
  ASSERT_TRUE(write_whole_file(std::string(scratch.path) + PATH_SEPARATOR + "copy.pkg", {1}));
  ASSERT_TRUE(write_whole_file(std::string(scratch.path) + PATH_SEPARATOR + "kept.pkg", {2}));
  EXPECT_EXIT(
      {
        watch_end_requests();
        if (end_requested()) std::_Exit(5);
        request_program_end();
        if (!end_requested()) std::_Exit(6);
        reset_application();
        update_limit = 1000;
        run_frame_loop(test_update);
        if (update_calls != 1) std::_Exit(7);
        if (!remove_at_immediate_end(&scratch, "copy.pkg") || !remove_at_immediate_end(&scratch, "kept.pkg"))
          std::_Exit(9);
        keep_at_immediate_end(&scratch, "kept.pkg");
        request_program_end();
        sleep_milliseconds(5000);  // the system's own end may come from another thread
        std::_Exit(8);
      },
      ended_by_the_system, "");
  EXPECT_FALSE(file_exists(&scratch, "copy.pkg"));
  EXPECT_TRUE(file_exists(&scratch, "kept.pkg"));
#ifndef _WIN32
  // A request that the process was started to ignore (nohup) stays ignored; a closed pipe or terminal
  // ends nothing.
  EXPECT_EXIT(
      {
        std::signal(SIGINT, SIG_IGN);
        watch_end_requests();
        std::raise(SIGINT);
        std::raise(SIGPIPE);
        std::raise(SIGHUP);
        std::_Exit(end_requested() ? 9 : 0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

// A request that comes while requests are held back waits until they are let through (holds nest),
// and a second one then ends the process, taking the file noted meanwhile: never before the hold ends.
// So do two that both come inside the hold (on Linux two of one signal), as it is let through.
TEST(EndRequestDeathTest, RequestsHeldBackWaitUntilLetThrough) {
  FOLDER scratch = scratch_folder("end-request-held");
  ASSERT_TRUE(write_whole_file(std::string(scratch.path) + PATH_SEPARATOR + "copy.pkg", {1}));
  EXPECT_EXIT(
      {
        watch_end_requests();
        hold_end_requests();
        hold_end_requests();
        request_program_end();
        if (end_requested()) std::_Exit(5);
        release_end_requests();
        if (end_requested()) std::_Exit(6);
        release_end_requests();
        // On Windows the console's thread takes the request once it may (seconds later on a loaded machine).
        for (int wait = 0; wait < 3000 && !end_requested(); wait++) sleep_milliseconds(10);
        if (!end_requested()) std::_Exit(7);
        hold_end_requests();
        if (!remove_at_immediate_end(&scratch, "copy.pkg")) std::_Exit(8);
        request_program_end();
        sleep_milliseconds(100);
        if (!file_exists(&scratch, "copy.pkg")) std::_Exit(9);
        release_end_requests();
        sleep_milliseconds(5000);  // the system's own end may come from another thread
        std::_Exit(10);
      },
      ended_by_the_system, "");
  EXPECT_FALSE(file_exists(&scratch, "copy.pkg"));
  ASSERT_TRUE(write_whole_file(std::string(scratch.path) + PATH_SEPARATOR + "copy.pkg", {1}));
  EXPECT_EXIT(
      {
        watch_end_requests();
        hold_end_requests();
        if (!remove_at_immediate_end(&scratch, "copy.pkg")) std::_Exit(5);
        request_program_end();
        request_program_end();
        // The system hands a console's events to the process on threads of its own, later: the release
        // can only let through what has reached the hold (a loaded machine takes a while).
        sleep_milliseconds(1000);
        if (end_requested() || !file_exists(&scratch, "copy.pkg")) std::_Exit(6);
        release_end_requests();
        // Wine may hand the second event over only once the first has been taken: the end then comes
        // from that later thread.
        sleep_milliseconds(10000);
        std::_Exit(7);
      },
      ended_by_the_system, "");
  EXPECT_FALSE(file_exists(&scratch, "copy.pkg"));
}

#ifdef _WIN32
// The window of the class among this thread's top-level windows (Wine gives the thread others); null
// when there is none.
struct WINDOW_SEARCH {
  const char* class_name;
  HWND found;
};

static BOOL CALLBACK find_window_of_class(HWND window, LPARAM data) {
  WINDOW_SEARCH* search = (WINDOW_SEARCH*)data;
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, search->class_name) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

static HWND thread_window(const char* class_name) {
  WINDOW_SEARCH search = {class_name, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), find_window_of_class, (LPARAM)&search);
  return search.found;
}

static void say_end_request() {
  std::fprintf(stderr, "session ended, request %d\n", end_requested() ? 1 : 0);
  std::fflush(stderr);
}

// Log-off and shut-down come as messages to the top-level windows, as the system sends them: asked
// whether the session may end, the program says yes and goes on, as it does when the end is called off;
// when the session ends, the end request is set, the application's hook runs and the process ends with
// 1. A program without a main window has a hidden top-level one for them (a message-only window gets
// no broadcasts) when it asks for one; before end requests are watched, the main window leaves them to
// the system.
TEST(EndRequestDeathTest, ASessionsEndIsAnEndRequestThatEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        watch_end_requests();
        if (thread_window("session")) std::_Exit(4);  // only a program that asks has one
        watch_session_end();
        HWND window = thread_window("session");
        if (!window || IsWindowVisible(window) || GetAncestor(window, GA_PARENT) != GetDesktopWindow()) std::_Exit(5);
        session_end_hook = say_end_request;
        if (SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != TRUE || end_requested()) std::_Exit(6);
        SendMessageA(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
        if (end_requested()) std::_Exit(7);
        SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        std::_Exit(8);
      },
      ::testing::ExitedWithCode(1), "session ended, request 1");
  EXPECT_EXIT(
      {
        if (open_graphics_window("Session", 64, 48, 0, 0) != 1) std::_Exit(5);
        HWND window = thread_window("main");
        session_end_hook = say_end_request;
        SendMessageA(window, WM_ENDSESSION, TRUE, 0);
        if (!window || end_requested() || !has_main_window()) std::_Exit(6);
        watch_end_requests();
        watch_session_end();
        if (thread_window("session")) std::_Exit(7);
        SendMessageA(window, WM_QUERYENDSESSION, 0, 0);
        SendMessageA(window, WM_ENDSESSION, TRUE, 0);
        std::_Exit(8);
      },
      ::testing::ExitedWithCode(1), "session ended, request 1");
}
#endif

TEST(Clock, TicksAdvanceAndSleepingReturns) {
  INT_U32 before = get_tick_count();
  sleep_seconds(0);
  int sleeps = 0;
  while (get_tick_count() == before && sleeps < 1000) {
    sleep_milliseconds(1);
    sleeps++;
  }
  EXPECT_NE(get_tick_count(), before);
  EXPECT_NE(get_module_path(), nullptr);
  EXPECT_NE(get_module_path()[0], 0);
}

