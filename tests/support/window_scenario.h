// Real-window scenarios: a program under test runs in a real window on a private X display (Xvfb),
// takes real input from xdotool and is read back from the X server with xwd. Natively the program is a
// Linux executable and a small window manager (twm) gives its window a close button; in the Windows
// build (run under Wine) the program is a .exe started on a Wine desktop of its own, whose caption Wine
// draws, served by a Wine server of its own (display settings, clipboard, registry and foreground are
// per server, so scenarios under one server would change each other's). Nothing else draws on the
// display or takes its keyboard, so scenarios run in parallel. Every wait is bounded and says on failure
// what it saw; the destructor ends whatever still runs.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "types.h"

// Pixels of a client area read back from the X server, 0xRRGGBB, top row first.
struct WINDOW_CAPTURE {
  int width = 0;
  int height = 0;
  std::vector<INT_U32> pixels;
  // The pixel at (x, y) of the client area; 0xFF000000 (no colour the server sends) outside it.
  INT_U32 at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFF000000u;
    return pixels[(size_t)y * width + x];
  }
};

class WINDOW_SCENARIO {
public:
  // name: the scratch folder's name; the display's screen is width x height.
  explicit WINDOW_SCENARIO(const std::string& name, int screen_width = 1024, int screen_height = 768);
  ~WINDOW_SCENARIO();
  WINDOW_SCENARIO(const WINDOW_SCENARIO&) = delete;
  WINDOW_SCENARIO& operator=(const WINDOW_SCENARIO&) = delete;

  // "" when every outside tool is there, else what is missing (START_WINDOW_SCENARIO asks this).
  std::string missing_tools();
  // Starts the private display (and natively its window manager).
  bool start_display();

  // The path of a program built with the project: the test programs' folder first, then its "scenario"
  // folder (the installer as the scenarios build it, which writes its pass count), then the build's top
  // folder; ".exe" is added on Windows.
  static std::string built_program(const std::string& name);
  // Starts the program with the arguments and extra environment entries ("NAME=value") on the display;
  // its standard output and error go to files of the scratch folder.
  bool start(const std::string& program, const std::vector<std::string>& arguments = {},
             const std::vector<std::string>& environment = {});
  // Waits until a window of the program with exactly this title is shown (with a client area of
  // width x height when they are given), and takes its client area as the origin of every later input
  // and capture.
  bool wait_for_window(const std::string& title, int width = -1, int height = -1);
  // Waits until the program's standard output holds the text.
  bool wait_for_output(const std::string& text);
  std::string output() const;  // its standard output so far
  std::string errors() const;  // its standard error so far

  // Real input, in client coordinates of the window found last. Buttons: 1 left, 2 middle, 3 right.
  // Each event is sent once the program has taken the one before (two passes of its frame loop), so
  // that each move, press, release and key lands in a pass of its own however slowly the program runs.
  // A click is the exception: its press and release go at once (xdotool click), as a person clicks, and
  // the program itself shows them to its objects in two passes. A click at the place of the one before
  // waits until the two cannot make a double click (double_click makes one).
  bool move(int x, int y);
  bool press(int button = 1);
  bool release(int button = 1);
  bool click(int x, int y, int button = 1);
  // Two clicks as a person's double click: all four events at once, 50 ms apart (well within any
  // double-click time), which the program shows to its objects one pass each.
  bool double_click(int x, int y);
  bool drag(int from_x, int from_y, int to_x, int to_y, int button = 1);
  bool wheel(int notches);             // positive: away from the user
  bool key(const std::string& keys);   // one xdotool key, e.g. "Tab", "shift+Tab", "Return", "ctrl+c"
  bool type(const std::string& text);  // typed characters, shifted ones included
  // The display's keyboard layout (setxkbmap "de"), whose keys type its letters: xdotool types others through
  // a key it lends them only for a moment. Under Wine set it before start().
  bool keyboard_layout(const std::string& layout);
  bool close_window();                 // a click on the window's close button
  // A pointer move, or a click, sent at once, without waiting for the program's passes: for a program
  // held still (paused, or waiting on something), which takes it in its next passes, or one that may
  // hold still right after the click.
  bool move_now(int x, int y);
  bool click_now(int x, int y, int button = 1);
  // Two clicks, the second gap_ms after the first, sent at once (one run of xdotool) as a quick hand
  // makes them, whatever the program's passes.
  bool two_clicks_now(int x1, int y1, int x2, int y2, int gap_ms);
  // Two clicks at one place, gap_ms apart, the pointer out of the window and back to the same pixel
  // between them, sent at once (one run of xdotool): out gap_ms / 2 after the first click and back
  // gap_ms / 2 later, at once followed by the second.
  bool two_clicks_leaving_now(int x, int y, int gap_ms);
  // A press at x, y, the pointer out of the window and back to the same pixel, and the release, sent at
  // once (one run of xdotool), 50 ms apart.
  bool press_leaving_now(int x, int y);
  // A drag whose press, moves and release all go at once (one run of xdotool), as a quick hand may make
  // them between two passes.
  bool drag_now(int from_x, int from_y, int to_x, int to_y, int button = 1);
  // A key pressed and released at once (a tap), to the focused window.
  bool key_now(const std::string& keys);

  // Reads the client area back from the X server; with png_path also saves it as a PNG file there.
  // What a program presented reaches the server a moment later (under Wine, when the program next
  // waits for messages): capture a state the program has been seen to reach, through one of the waits
  // below, rather than at once.
  bool capture(WINDOW_CAPTURE* image, const std::string& png_path = "");
  // Captures until the pixel at (x, y) of the client area has the colour (0xRRGGBB); image, when given,
  // gets that capture.
  bool wait_for_pixel(int x, int y, INT_U32 colour, WINDOW_CAPTURE* image = nullptr);
  // Captures until two captures in a row are the same (the program has stopped changing its window);
  // image, when given, gets that capture.
  bool wait_until_still(WINDOW_CAPTURE* image = nullptr);

  // Stops the program where it is, and lets it go on (also from a hold): its input and close requests
  // wait meanwhile, so that a step can be taken at a chosen moment of its work.
  bool pause_program();
  bool resume_program();
  // Asks the program (one that counts its passes) to hold still at the end of the first pass after
  // which the file has at least the lines given (a log that its work writes): asked before the work
  // begins, the hold comes at that point of it however fast or slowly the program runs. Then
  // wait_until_held waits for the hold, says the lines the program saw in lines, and is false (with the
  // failure said) when the program ended first; resume_program lets it go on.
  bool hold_once_lines(const std::string& file, size_t lines);
  bool wait_until_held(size_t* lines);

  // Waits for the program's end and returns its exit status; -1 (and a failure) when it had to be
  // killed or crashed.
  int wait_for_exit();

  std::string scratch() const { return scratch_folder; }

  // Runs the commands with /bin/sh as a Unix process, under Wine too (the tests' way to what Windows
  // cannot make there, a mount point or a Unix link); "$(dirname "$OUT")" is the scratch folder. Their
  // output and errors go into answer; false when the shell did not run or end in time. name names the
  // script and its output in the scratch folder.
  bool run_shell(const std::string& name, const std::string& body, std::string* answer);
  // The path as a Unix process sees it (under Wine: "" when Wine gives it none), for those commands.
  std::string unix_path(const std::string& path) const;

#ifdef _WIN32
  // A value (as text) of the registry that the program saw, which is its Wine server's and not this
  // process's, in the registry's view of the program's width (that of this process); "" when there is
  // none. Read before the scenario ends.
  std::string registry_value(const std::string& key, const std::string& name);
  // Sets a number (REG_DWORD) in the registry of the program's Wine server, before the program starts
  // (the display's DPI: "HKCU\\Control Panel\\Desktop", "LogPixels"); false when it was not set.
  bool set_registry_number(const std::string& key, const std::string& name, unsigned long value);
  // Ends the session of the program's Wine server as log-off or shut-down does (wineboot's end of the
  // session, on the program's desktop), without waiting for it: each program's top-level windows are
  // asked whether the session may end, then told that it ends, and Wine ends the program once it has
  // answered. A program that does not answer (one held still) is waited for; after 5 s Wine shows a
  // window "Waiting for Program" meanwhile.
  bool end_session();
#endif

private:
  bool send_input(const std::vector<std::string>& events, bool focus = false, bool paced = true);
  std::string move_event(int x, int y) const;
  std::string program_ended_shell() const;  // a shell function "ended": true once the program has ended
  bool find_window(const std::string& title, int* x, int* y, int* width, int* height);
  std::string windows_seen();  // the titles and client areas of the windows shown, for failures
  bool close_button(int* x, int* y);
  bool program_running();
  void stop_program();
  bool signal_resume();  // lets a program stopped by pause_program go on
  // Waits, before a click at (x, y), until one at the place of the last click is no second click of a
  // double click; the click is then the last.
  void keep_clicks_apart(int x, int y);

  std::string scratch_folder;
  int screen_width, screen_height;
  std::string display;        // ":N" once the display runs
  std::string server_pids;    // the display's processes, for the shell's kill
  int client_x = 0, client_y = 0, client_width = 0, client_height = 0;
  std::string window_title;
  bool exited = false;
  int last_click_x = -1000, last_click_y = -1000;
  std::chrono::steady_clock::time_point last_click_time;
  int exit_status = -1;
  bool paused = false;  // stopped by pause_program
#ifdef _WIN32
  std::string wine_prefix;  // the scenario's own Wine prefix (a Unix path), whose server runs the program
  std::string desktop;      // the program's Wine desktop: its name and size, as explorer takes them
  std::string program_name;  // the program's file name, by which its Unix process is found
  bool signal_program(const char* signal);
#else
  int process_id = -1;
#endif
};

// Starts the scenario's display, or ends the test: missing tools fail it under CI (CI=true) and skip
// it elsewhere with a plain message.
#define START_WINDOW_SCENARIO(scenario)                                                          \
  do {                                                                                           \
    std::string missing_ = (scenario).missing_tools();                                           \
    if (!missing_.empty()) {                                                                     \
      if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")                         \
        FAIL() << "real-window scenario: " << missing_ << " under CI";                           \
      GTEST_SKIP() << "real-window scenario: " << missing_ << "; skipped";                       \
    }                                                                                            \
    ASSERT_TRUE((scenario).start_display());                                                     \
  } while (0)
