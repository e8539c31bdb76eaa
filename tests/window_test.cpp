// Tests of the main window on a real display: pixels presented to the window are read back from the
// display, and input sent through the window system reaches the keyboard and mouse state and the
// close callback. Linux starts its own Xvfb; Windows runs under Wine's display.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "image.h"
#include "test_support.h"

static int close_asks = 0;
static INT_U8 refuse_close(INT_S16) {
  close_asks++;
  return 0;
}
static INT_U8 grant_close(INT_S16) {
  close_asks++;
  return 1;
}

// Pumps until the condition holds, at most a few hundred passes.
template <typename CONDITION>
static bool pump_until(CONDITION condition) {
  set_idle_wait(10);
  for (int i = 0; i < 300; i++) {
    if (condition()) return true;
    pump_messages();
  }
  return condition();
}

// Fills the screen image: left half red, right half blue, one green pixel at (10, 10).
static void paint_known_image() {
  INT_S16 w = screen_image.width, h = screen_image.height;
  for (INT_S16 y = 0; y < h; y++)
    for (INT_S16 x = 0; x < w; x++) *screen_image.pixel_at(x, y) = x < w / 2 ? 0xFFFF0000u : 0xFF0000FFu;
  *screen_image.pixel_at(10, 10) = 0xFF00FF00u;
  screen_image.extend_dirty_area(0, 0, w - 1, h - 1);
}

#ifndef _WIN32
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../code/posix/x11_host.h"

// Our own X server, so that parallel tests never share a display.
struct X_SERVER_TEST : ::testing::Test {
  pid_t server = -1;
  Display* probe = nullptr;  // a second client: reads pixels back and sends input

  void SetUp() override {
    REQUIRE_TOOL("Xvfb");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      freopen("/dev/null", "w", stderr);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
             (char*)nullptr);
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    probe = XOpenDisplay(display.c_str());
    ASSERT_NE(probe, nullptr);
    close_asks = 0;
    quit_flag = 0;
  }

  void TearDown() override {
    close_main_window(-1);
    set_close_callback(nullptr);
    if (probe) XCloseDisplay(probe);
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
    unsetenv("DISPLAY");
    set_idle_wait(50);
  }

  unsigned long pixel(XImage* image, int x, int y) { return XGetPixel(image, x, y) & 0xFFFFFF; }

  void send(XEvent* event, long mask) {
    event->xany.window = x_window;
    event->xany.display = probe;
    XSendEvent(probe, x_window, False, mask, event);
    XFlush(probe);
  }

  void send_key(KeySym symbol, unsigned int state, bool press) {
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = press ? KeyPress : KeyRelease;
    event.xkey.keycode = XKeysymToKeycode(probe, symbol);
    event.xkey.state = state;
    event.xkey.root = DefaultRootWindow(probe);
    event.xkey.same_screen = True;
    send(&event, 0);
  }

  void send_button(unsigned int button, bool press, int x, int y) {
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = press ? ButtonPress : ButtonRelease;
    event.xbutton.button = button;
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.same_screen = True;
    send(&event, 0);
  }
};

TEST_F(X_SERVER_TEST, PresentedPixelsReachTheWindow) {
  ASSERT_EQ(open_graphics_window("Pixels", 200, 150, 0, 0), 1);
  ASSERT_NE(x_window, 0u);
  paint_known_image();
  present_frame(0);
  XSync(x_display, False);
  XImage* image = XGetImage(probe, x_window, 0, 0, 200, 150, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(pixel(image, 0, 0), 0xFF0000u);
  EXPECT_EQ(pixel(image, 99, 149), 0xFF0000u);
  EXPECT_EQ(pixel(image, 100, 0), 0x0000FFu);
  EXPECT_EQ(pixel(image, 199, 149), 0x0000FFu);
  EXPECT_EQ(pixel(image, 10, 10), 0x00FF00u);
  XDestroyImage(image);

  // Only the dirty rectangle goes out: a change outside it stays unseen until it is dirty too.
  *screen_image.pixel_at(20, 20) = 0xFFFFFFFFu;
  *screen_image.pixel_at(150, 20) = 0xFFFFFFFFu;
  screen_image.extend_dirty_area(15, 15, 25, 25);
  present_frame(0);
  XSync(x_display, False);
  image = XGetImage(probe, x_window, 0, 0, 200, 150, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(pixel(image, 20, 20), 0xFFFFFFu);
  EXPECT_EQ(pixel(image, 150, 20), 0x0000FFu);
  XDestroyImage(image);

  // The window carries its title and the client size asked for.
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(probe, x_window, &name));
  EXPECT_STREQ(name, "Pixels");
  XFree(name);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(probe, x_window, &attributes));
  EXPECT_EQ(attributes.width, 200);
  EXPECT_EQ(attributes.height, 150);
  EXPECT_EQ(attributes.map_state, IsViewable);
}

TEST_F(X_SERVER_TEST, ReshapingAndFullScreen) {
  ASSERT_EQ(open_graphics_window("One", 120, 80, 0, 0), 1);
  Window first = x_window;
  ASSERT_EQ(open_graphics_window("Two", 300, 100, 0, 0), 1);
  EXPECT_EQ(x_window, first);  // the same window, re-shaped
  XSync(x_display, False);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(probe, x_window, &attributes));
  EXPECT_EQ(attributes.width, 300);
  EXPECT_EQ(attributes.height, 100);
  EXPECT_EQ(get_desktop_width(), 800);
  EXPECT_EQ(get_desktop_height(), 600);

  ASSERT_EQ(open_graphics_window("Full", 640, 480, 1, 0), 1);
  EXPECT_EQ(is_full_screen(), 1);
  EXPECT_EQ(screen_image.width, 640);
  close_main_window(0);
  EXPECT_EQ(is_full_screen(), 0);
  EXPECT_EQ(has_main_window(), 0);
}

TEST_F(X_SERVER_TEST, KeysReachTheKeyboardState) {
  ASSERT_EQ(open_graphics_window("Keys", 100, 100, 0, 0), 1);
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(10);
  keyboard.set_buffer_size(10);
  keyboard.read_key();

  send_key(XK_a, 0, true);
  send_key(XK_a, 0, false);
  ASSERT_TRUE(pump_until([] { return KEYBOARD_HANDLER::queue_last >= 0; }));
  EXPECT_EQ(keyboard.read_key(), 'A');
  EXPECT_EQ(keyboard.read_char(), 'a');

  // Control+C types the letter; Control+Enter stays a line feed; Enter is a line feed.
  send_key(XK_c, ControlMask, true);
  send_key(XK_Return, ControlMask, true);
  send_key(XK_Return, 0, true);
  send_key(XK_A, ShiftMask, true);
  ASSERT_TRUE(pump_until([] { return KEYBOARD_HANDLER::queue_last >= 3; }));
  EXPECT_EQ(keyboard.read_char(), 'c');
  EXPECT_EQ(keyboard.read_char(), '\n');
  EXPECT_EQ(keyboard.read_char(), '\n');
  EXPECT_EQ(keyboard.read_char(), 'A');

  // Modifiers: the last key is the common code, held state by side.
  send_key(XK_Shift_L, 0, true);
  ASSERT_TRUE(pump_until([&] { return keyboard.is_key_down(VKEY_LSHIFT); }));
  EXPECT_EQ(keyboard.read_key(), VKEY_SHIFT);
  EXPECT_TRUE(keyboard.is_key_down(VKEY_SHIFT));
  EXPECT_FALSE(keyboard.is_key_down(VKEY_RSHIFT));
  send_key(XK_Shift_L, 0, false);
  ASSERT_TRUE(pump_until([&] { return !keyboard.is_key_down(VKEY_LSHIFT); }));
  EXPECT_FALSE(keyboard.is_key_down(VKEY_SHIFT));
}

TEST_F(X_SERVER_TEST, MouseButtonsWheelAndLeaving) {
  ASSERT_EQ(open_graphics_window("Mouse", 100, 100, 0, 0), 1);
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  send_button(3, true, 30, 40);
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::held_buttons != 0; }));
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u);  // the right button is button 2
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 30);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 40);
  send_button(2, true, 30, 40);
  send_button(3, false, 30, 40);
  send_button(4, true, 30, 40);
  send_button(4, false, 30, 40);
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::wheel_notches != 0; }));
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x4u);  // middle held, right released
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);

  XEvent leave;
  std::memset(&leave, 0, sizeof(leave));
  leave.type = LeaveNotify;
  send(&leave, 0);
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::pointer_x == -1; }));
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, -1);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0u);

  // Moving the pointer through the host reaches the state through the server's motion event.
  MOUSE_HANDLER mouse;
  mouse.set_position(12, 34);
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::pointer_x == 12; }));
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 34);
}

TEST_F(X_SERVER_TEST, CloseRequestAsksTheCallback) {
  ASSERT_EQ(open_graphics_window("Close", 100, 100, 0, 0), 1);
  XEvent close;
  std::memset(&close, 0, sizeof(close));
  close.type = ClientMessage;
  close.xclient.message_type = XInternAtom(probe, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = (long)XInternAtom(probe, "WM_DELETE_WINDOW", False);
  set_close_callback(refuse_close);
  send(&close, 0);
  ASSERT_TRUE(pump_until([] { return close_asks == 1; }));
  EXPECT_EQ(quit_flag, 0);
  set_close_callback(grant_close);
  send(&close, 0);
  ASSERT_TRUE(pump_until([] { return close_asks == 2; }));
  EXPECT_EQ(quit_flag, 1);
  quit_flag = 0;
  // Without a callback the window cannot be closed by the user.
  set_close_callback(nullptr);
  send(&close, 0);
  XSync(probe, False);
  for (int i = 0; i < 5; i++) pump_messages();
  EXPECT_EQ(quit_flag, 0);
  EXPECT_EQ(has_main_window(), 1);
}

// Input through the X server's test extension, as a user's devices would make it (no synthetic events):
// the pointer enters and presses, the wheel turns, keys type with the server's own modifier state.
TEST_F(X_SERVER_TEST, RealInputFromTheServerReachesTheState) {
  REQUIRE_TOOL("xdotool");
  ASSERT_EQ(open_graphics_window("Real input", 160, 120, 0, 0), 1);
  XSync(x_display, False);
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(10);
  keyboard.set_buffer_size(10);
  keyboard.read_key();
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  std::string window = std::to_string((unsigned long)x_window);

  ASSERT_EQ(run_command("xdotool mousemove --sync --window " + window + " 40 50 mousedown 1"), 0);
  ASSERT_TRUE(pump_until([] { return (MOUSE_HANDLER::held_buttons & 1) != 0; }));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 40);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 50);
  ASSERT_EQ(run_command("xdotool mouseup 1 click 4"), 0);
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::held_buttons == 0 && MOUSE_HANDLER::wheel_notches != 0; }));
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);

  // Without a window manager the keyboard follows the pointer, which is inside the window.
  ASSERT_EQ(run_command("xdotool key a shift+b ctrl+c ctrl+Return"), 0);
  ASSERT_TRUE(pump_until([] { return KEYBOARD_HANDLER::queue_last >= 3; }));
  EXPECT_EQ(keyboard.read_char(), 'a');
  EXPECT_EQ(keyboard.read_char(), 'B');
  EXPECT_EQ(keyboard.read_char(), 'c');   // Control+C types the letter
  EXPECT_EQ(keyboard.read_char(), '\n');  // Control+Enter stays a line feed
  EXPECT_EQ(keyboard.read_key(), VKEY_RETURN);
  EXPECT_FALSE(keyboard.is_key_down(VKEY_CONTROL));  // every key was released again
}

TEST_F(X_SERVER_TEST, PointerShapes) {
  EXPECT_EQ(set_mouse_cursor(1, 0), 0);  // no window yet
  ASSERT_EQ(open_graphics_window("Pointer", 100, 100, 0, 0), 1);
  EXPECT_EQ(set_mouse_cursor(5, 1), 1);
  EXPECT_EQ(set_mouse_cursor(1, 0), 1);
  EXPECT_EQ(set_mouse_cursor(7, 0), 0);
  EXPECT_EQ(show_system_cursor(0), 1);
  EXPECT_EQ(MOUSE_HANDLER::system_cursor_visible, 0);
  EXPECT_EQ(show_system_cursor(1), 1);
  EXPECT_EQ(set_mouse_cursor(-1, 0), 1);
}

TEST(WindowWithoutDisplay, UnreachableDisplayIsAFatalError) {
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":32761", 1);
        open_graphics_window("Nowhere", 100, 100, 0, 0);
        std::exit(0);  // not reached: a window that cannot be made ends the program
      },
      ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "");
}

#else  // _WIN32
#include <windows.h>

struct WIN32_WINDOW_TEST : ::testing::Test {
  HWND window = nullptr;
  void open(const char* title, INT_S16 width, INT_S16 height) {
    ASSERT_EQ(open_graphics_window(title, width, height, 0, 0), 1);
    window = FindWindowA("main", title);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    close_main_window(-1);
    set_close_callback(nullptr);
    quit_flag = 0;
    BYTE state[256] = {0};
    SetKeyboardState(state);
  }
};

TEST_F(WIN32_WINDOW_TEST, PresentedPixelsReachTheWindow) {
  open("Pixels", 200, 150);
  paint_known_image();
  present_frame(0);
  GdiFlush();
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 199, 149), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 255, 0));
  ReleaseDC(window, dc);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 200);
  EXPECT_EQ(client.bottom - client.top, 150);
}

TEST_F(WIN32_WINDOW_TEST, MessagesReachTheKeyboardState) {
  open("Keys", 100, 100);
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(10);
  keyboard.set_buffer_size(10);
  keyboard.read_key();
  SendMessageA(window, WM_KEYDOWN, 'A', 0);
  SendMessageA(window, WM_CHAR, 'a', 0);
  EXPECT_EQ(keyboard.read_key(), 'A');
  EXPECT_EQ(keyboard.read_char(), 'a');

  BYTE state[256] = {0};
  state[VK_CONTROL] = 0x80;
  SetKeyboardState(state);
  SendMessageA(window, WM_KEYDOWN, 'C', 0);
  SendMessageA(window, WM_CHAR, 3, 0);
  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(window, WM_CHAR, 10, 0);
  EXPECT_EQ(keyboard.read_char(), 'c');
  EXPECT_EQ(keyboard.read_char(), '\n');
  state[VK_CONTROL] = 0;
  SetKeyboardState(state);
  SendMessageA(window, WM_CHAR, 13, 0);
  EXPECT_EQ(keyboard.read_char(), '\n');
  EXPECT_EQ(SendMessageA(window, WM_UNICHAR, 0xFFFF, 0), 1);
  EXPECT_EQ(keyboard.read_char(), 0);
  SendMessageA(window, WM_UNICHAR, 0x20AC, 0);
  EXPECT_EQ(keyboard.read_char(), '?');
}

TEST_F(WIN32_WINDOW_TEST, MessagesReachTheMouseState) {
  open("Mouse", 100, 100);
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 30);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 40);
  SendMessageA(window, WM_RBUTTONDOWN, 0, MAKELPARAM(30, 40));
  SendMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), 0);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u | (1u << 10));
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);
  SendMessageA(window, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, -1);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0u);
}

TEST_F(WIN32_WINDOW_TEST, CloseRequestAsksTheCallback) {
  open("Close", 100, 100);
  close_asks = 0;
  set_close_callback(refuse_close);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pump_until([] { return close_asks == 1; }));
  EXPECT_EQ(quit_flag, 0);
  set_close_callback(grant_close);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pump_until([] { return close_asks == 2; }));
  EXPECT_EQ(quit_flag, 1);
  EXPECT_NE(FindWindowA("main", "Close"), nullptr);  // the window itself stays
}

// Full screen at the desktop's own size: leaving the program gives the desktop mode back, coming back
// sets the mode that the opening set (32 bits per pixel here), never a fixed 16 bits that the display
// may not offer (Wine on a 24-bit X server refuses 16, which would end the program).
TEST_F(WIN32_WINDOW_TEST, ReactivationRestoresTheFullScreenModeThatWasSet) {
  INT_S16 width = get_desktop_width(), height = get_desktop_height();
  ASSERT_GT(width, 0);
  EXPECT_EXIT(
      {
        if (!open_graphics_window("Full", width, height, 1, 0) || !is_full_screen()) std::exit(10);
        HWND full = FindWindowA("main", "Full");
        SendMessageA(full, WM_ACTIVATEAPP, FALSE, 0);
        SendMessageA(full, WM_ACTIVATEAPP, TRUE, 0);
        DEVMODEA mode;
        ZeroMemory(&mode, sizeof(mode));
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) || mode.dmBitsPerPel != 32) std::exit(11);
        close_main_window(-1);
        std::exit(is_full_screen() ? 12 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// The X display behind Wine, reached from the test through the X tools themselves: Wine starts Unix
// programs from CreateProcess. Each step is a shell script whose last act writes its result file; the
// test pumps its messages while it waits, so the window keeps answering.
struct WINE_DISPLAY_TEST : WIN32_WINDOW_TEST {
  std::string scratch;

  // The Unix name of a Windows path (Wine's own translation); "" outside Wine.
  static std::string unix_name(const std::string& path) {
    typedef char*(CDECL * TO_UNIX)(LPCWSTR);
    TO_UNIX to_unix = (TO_UNIX)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!to_unix) return std::string();
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
    char* name = to_unix(wide);
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
  }

  void SetUp() override {
    if (unix_name("C:\\").empty()) GTEST_SKIP() << "not running under Wine: no X display to read back";
    const char* display = std::getenv("DISPLAY");
    if (!display || !display[0]) GTEST_SKIP() << "no X display";
    scratch = make_scratch_folder("wine_display");
  }

  // The X tools the checks use: true when present; under CI a missing tool fails.
  bool tools_present() {
    std::string answer;
    if (!run_script("tools",
                    "for t in xdotool xwd /usr/bin/convert; do command -v $t >/dev/null || { echo missing $t; "
                    "exit; }; done; echo ok",
                    &answer)) {
      ADD_FAILURE() << "the shell did not run";
      return false;
    }
    if (answer.compare(0, 2, "ok") == 0) return true;
    if (std::getenv("CI") && std::string(std::getenv("CI")) == "true") ADD_FAILURE() << answer << " under CI";
    else std::printf("%s: skipped\n", answer.c_str());
    return false;
  }

  // Runs the script under /bin/sh with $OUT naming its result file, pumping messages until the result
  // is there (bounded); the result's text goes to answer.
  bool run_script(const std::string& name, const std::string& body, std::string* answer) {
    std::string script = scratch + name + ".sh", result = scratch + name + ".out";
    std::remove(result.c_str());
    std::string unix_result = unix_name(result);
    std::string text = "OUT='" + unix_result + "'\n( " + body + " ) > \"$OUT.part\" 2>&1\nmv \"$OUT.part\" \"$OUT\"\n";
    if (!write_whole_file(script, std::vector<INT_U8>(text.begin(), text.end()))) return false;
    std::string command = "/bin/sh " + unix_name(script);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    set_idle_wait(10);
    for (int i = 0; i < 3000; i++) {
      if (GetFileAttributesA(result.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::vector<INT_U8> bytes = read_whole_file(result);
        answer->assign(bytes.begin(), bytes.end());
        return true;
      }
      pump_messages();
    }
    return false;
  }

  // Opens the window at a corner of the display, away from the centred windows of other programs,
  // on top and with the keyboard focus.
  void open_in_corner(const char* title, INT_S16 width, INT_S16 height) {
    open(title, width, height);
    if (!window) return;
    RECT outer;
    GetWindowRect(window, &outer);
    SetWindowPos(window, HWND_TOPMOST, 8, 8, outer.right - outer.left, outer.bottom - outer.top, 0);
    SetForegroundWindow(window);
    SetFocus(window);
    for (int i = 0; i < 5; i++) pump_messages();
  }

  // The client area's top-left corner on the screen, and its place inside the window's X window.
  POINT client_on_screen() {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return origin;
  }
  POINT client_in_window() {
    POINT origin = client_on_screen();
    RECT outer;
    GetWindowRect(window, &outer);
    POINT inside = {origin.x - outer.left, origin.y - outer.top};
    return inside;
  }
};

// A binary PPM ("P6", 8 bits, comments allowed in its header) read into 0xRRGGBB values.
static bool read_ppm(const std::vector<INT_U8>& bytes, int* width, int* height, std::vector<INT_U32>* pixels) {
  size_t at = 0;
  long fields[4] = {0, 0, 0, 0};  // magic number, width, height, largest value
  for (int field = 0; field < 4; field++) {
    while (at < bytes.size() && (std::isspace(bytes[at]) || bytes[at] == '#')) {
      if (bytes[at] == '#')
        while (at < bytes.size() && bytes[at] != '\n') at++;
      else
        at++;
    }
    if (field == 0) {
      if (at + 2 > bytes.size() || bytes[at] != 'P' || bytes[at + 1] != '6') return false;
      at += 2;
      continue;
    }
    while (at < bytes.size() && std::isdigit(bytes[at])) fields[field] = fields[field] * 10 + (bytes[at++] - '0');
  }
  at++;  // the one white-space byte before the samples
  *width = (int)fields[1];
  *height = (int)fields[2];
  if (fields[3] != 255 || *width < 1 || *height < 1 || bytes.size() < at + (size_t)*width * *height * 3) return false;
  pixels->resize((size_t)*width * *height);
  for (size_t i = 0; i < pixels->size(); i++, at += 3)
    (*pixels)[i] = ((INT_U32)bytes[at] << 16) | ((INT_U32)bytes[at + 1] << 8) | bytes[at + 2];
  return true;
}

// One window for every check, opened before any Unix program runs: Wine (8.0) may lose its display
// configuration for the windows a process creates after it has started one. Other test programs open
// windows meanwhile, which may cover this one or take the focus: each step raises the window again and
// is tried up to three times.
TEST_F(WINE_DISPLAY_TEST, PresentedPixelsAndRealInputOnTheXDisplay) {
  open_in_corner("Velk display", 200, 150);
  RECT client_area;
  GetClientRect(window, &client_area);
  ASSERT_EQ(client_area.right, 200);
  ASSERT_EQ(client_area.bottom, 150);
  if (!tools_present()) return;
  auto raise = [&] {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    SetFocus(window);
    for (int i = 0; i < 3; i++) pump_messages();
  };
  std::string answer;
  auto step = [&](const char* name, const std::string& body) {
    raise();
    return run_script(name, body, &answer) && answer.compare(0, 2, "ok") == 0;
  };

  // The presented image, read back from the X server.
  paint_known_image();
  present_frame(0);
  GdiFlush();
  POINT at = client_in_window();
  int width = 0, height = 0;
  std::vector<INT_U32> pixels;
  auto pixel = [&](int x, int y) { return pixels[(size_t)(at.y + y) * width + at.x + x]; };
  bool seen = false;
  for (int attempt = 0; attempt < 3 && !seen; attempt++) {
    ASSERT_TRUE(step("capture",
                     "id=$(xdotool search --name '^Velk display$' | head -n 1); "
                     "xwd -silent -id \"$id\" | /usr/bin/convert xwd:- -depth 8 ppm:\"$OUT.ppm\" && echo ok"))
        << answer;
    ASSERT_TRUE(read_ppm(read_whole_file(scratch + "capture.out.ppm"), &width, &height, &pixels));
    ASSERT_GE(width, at.x + 200);
    ASSERT_GE(height, at.y + 150);
    seen = pixel(0, 0) == 0xFF0000u && pixel(99, 149) == 0xFF0000u && pixel(100, 0) == 0x0000FFu &&
           pixel(199, 149) == 0x0000FFu && pixel(10, 10) == 0x00FF00u;
  }
  EXPECT_EQ(pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(pixel(99, 149), 0xFF0000u);
  EXPECT_EQ(pixel(100, 0), 0x0000FFu);
  EXPECT_EQ(pixel(199, 149), 0x0000FFu);
  EXPECT_EQ(pixel(10, 10), 0x00FF00u);

  // Real input from the X server: the pointer moves into the client area and the left button goes down.
  KEYBOARD_HANDLER keyboard;
  keyboard.read_key();
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  POINT client = client_on_screen();
  std::string press = "xdotool mousemove --sync " + std::to_string(client.x + 40) + " " +
                      std::to_string(client.y + 50) + " && sleep 0.2 && xdotool mousedown 1 && echo ok";
  bool pressed = false;
  for (int attempt = 0; attempt < 3 && !pressed; attempt++) {
    MOUSE_HANDLER::held_buttons = 0;
    ASSERT_TRUE(step("press", press)) << answer;
    pressed = pump_until([] { return (MOUSE_HANDLER::held_buttons & 1) != 0; });
    if (!pressed) run_script("undo", "xdotool mouseup 1; echo ok", &answer);
  }
  ASSERT_TRUE(pressed);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 40);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 50);

  // Release, one wheel notch away from the user.
  ASSERT_TRUE(step("release", "xdotool mouseup 1 && xdotool click 4 && echo ok")) << answer;
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::held_buttons == 0 && MOUSE_HANDLER::wheel_notches != 0; }));
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);

  // Typed keys: letters, Control+C, Enter.
  bool typed = false;
  for (int attempt = 0; attempt < 3 && !typed; attempt++) {
    keyboard.set_buffer_size(10);
    keyboard.set_buffer_size(10);
    ASSERT_TRUE(step("keys",
                     "id=$(xdotool search --name '^Velk display$' | head -n 1); xdotool windowfocus \"$id\"; "
                     "xdotool key a b ctrl+c Return && echo ok"))
        << answer;
    typed = pump_until([] { return KEYBOARD_HANDLER::queue_last >= 3; });
  }
  ASSERT_TRUE(typed);
  EXPECT_EQ(keyboard.read_char(), 'a');
  EXPECT_EQ(keyboard.read_char(), 'b');
  EXPECT_EQ(keyboard.read_char(), 'c');  // Control+C types the letter
  EXPECT_EQ(keyboard.read_char(), '\n');
  EXPECT_EQ(keyboard.read_key(), VK_RETURN);

  // A click on the caption's close button is the user's close request: it reaches the close callback,
  // and the window stays for the program to close.
  RECT outer;
  GetWindowRect(window, &outer);
  INT_S32 close_x = outer.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1;
  INT_S32 close_y = outer.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  ASSERT_EQ(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(close_x, close_y)), HTCLOSE);
  close_asks = 0;
  quit_flag = 0;
  set_close_callback(grant_close);
  bool asked = false;
  for (int attempt = 0; attempt < 3 && !asked; attempt++) {
    ASSERT_TRUE(step("close", "xdotool mousemove --sync " + std::to_string(close_x) + " " + std::to_string(close_y) +
                                  " && sleep 0.2 && xdotool click 1 && echo ok"))
        << answer;
    asked = pump_until([] { return close_asks >= 1; });
  }
  ASSERT_TRUE(asked);
  EXPECT_EQ(close_asks, 1);
  EXPECT_EQ(quit_flag, 1);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(WIN32_WINDOW_TEST, PointerShapesAndJoystick) {
  EXPECT_EQ(set_mouse_cursor(1, 0), 0);
  open("Pointer", 100, 100);
  EXPECT_EQ(set_mouse_cursor(5, 1), 1);
  EXPECT_EQ(set_mouse_cursor(1, 0), 1);
  EXPECT_EQ(set_mouse_cursor(-1, 0), 1);
  JOYSTICK_CAPS caps;
  EXPECT_EQ(get_joystick_caps(3, &caps), 0);
}
#endif
