// Tests of the main window on a real display: pixels presented to the window are read back from the
// display, and input sent through the window system reaches the keyboard and mouse state and the
// close callback. Linux starts its own Xvfb; Windows runs under Wine's display. The scenario at the end
// runs a program in a real window on both builds (tests/support/window_scenario.h).
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "image.h"
#include "screen_image.h"
#include "test_support.h"
#include "window_scenario.h"

static int close_asks = 0;
static INT_U8 refuse_close(INT_S16) {
  close_asks++;
  return 0;
}
static INT_U8 grant_close(INT_S16) {
  close_asks++;
  return 1;
}

// Pumps until the condition holds, at most a few hundred passes; after each, the input pass has taken
// the mouse and key state shown, so that recorded button changes come one per pass as in a program
// and a key pressed since the pass before shows as it is held.
template <typename CONDITION>
static bool pump_until(CONDITION condition) {
  set_idle_wait(10);
  for (int i = 0; i < 300; i++) {
    if (condition()) return true;
    pump_messages();
    MOUSE_HANDLER::input_pass_done();
    KEYBOARD_HANDLER::input_pass_done();
  }
  return condition();
}

// No button held, nothing recorded behind the state shown.
static void forget_mouse_state() {
  MOUSE_HANDLER::held_buttons = 0;
  MOUSE_HANDLER::unseen_change = 0;
  MOUSE_HANDLER::pending_count = 0;
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
#include <dirent.h>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>

#include "../code/host/posix/x11_host.h"

#include <dlfcn.h>

// The top-level window of that title once it has the keyboard (a message box takes it when it shows);
// 0 before.
static Window focused_window_titled(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count && !found; i++) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) && name && title == name) found = children[i];
      if (name) XFree(name);
    }
    if (children) XFree(children);
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  return found && focus == found ? found : 0;
}

// The window manager's close request to the window, as its close button sends it.
static void send_close_request(Display* display, Window window) {
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// An answer that comes while a message box writes: in the box's process that asks for it (the box's
// title here), the first flush after the box has taken the keyboard has the close request sent to the
// box from a connection of its own, and goes on once that request has reached the box's connection, so
// that the flush itself takes it in (Xlib reads as it writes).
static const char* close_while_flushing = nullptr;

extern "C" int XFlush(Display* display) {
  static auto next = reinterpret_cast<int (*)(Display*)>(dlsym(RTLD_NEXT, "XFlush"));
  const char* title = close_while_flushing;
  close_while_flushing = nullptr;  // and none while this flush looks
  Display* other = title ? XOpenDisplay(nullptr) : nullptr;
  Window box = 0;
  for (int tries = 0; other && !box && tries < 20; tries++)
    if (!(box = focused_window_titled(other, title))) usleep(10000);
  if (box) {
    send_close_request(other, box);
    XSync(other, False);
    pollfd coming = {ConnectionNumber(display), POLLIN, 0};
    poll(&coming, 1, 30000);
  } else {
    close_while_flushing = title;
  }
  if (other) XCloseDisplay(other);
  return next(display);
}

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
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset",
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
    unsetenv(HEADLESS_VARIABLE);
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
    setenv(HEADLESS_VARIABLE, "1", 1);
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

// A title beyond Latin-1 reaches the window manager as its characters: whole in UTF-8 (_NET_WM_NAME),
// and as the Latin-1 it holds in WM_NAME, the others there as '?'; a title given later replaces both.
TEST_F(X_SERVER_TEST, TitlesBeyondLatin1ReachTheWindowManagerAsTheirCharacters) {
  auto titles = [&](std::string* utf8) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    utf8->clear();
    if (XGetWindowProperty(probe, x_window, XInternAtom(probe, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(probe, "UTF8_STRING", False), &type, &format, &count, &after, &data) == Success &&
        data) {
      utf8->assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    char* name = nullptr;
    std::string latin = XFetchName(probe, x_window, &name) && name ? name : "(none)";
    if (name) XFree(name);
    return latin;
  };
  ASSERT_EQ(open_graphics_window("\x01,0423,0441,0442,0430,043D,043E,0432,043A,0430\x01 \x01,2013\x01 \xDC" "bersicht", 200,
                                 150, 0, 0),
            1);
  XSync(x_display, False);
  std::string utf8;
  EXPECT_EQ(titles(&utf8), "????????? ? \xDC" "bersicht");
  EXPECT_EQ(utf8, "Установка – Übersicht");
  set_window_title("\x01,03A9,zz,D835,DD38\x01 \xE9", 0);  // a damaged group is left out, as it is drawn
  XSync(x_display, False);
  EXPECT_EQ(titles(&utf8), "?? \xE9");
  EXPECT_EQ(utf8, "Ω𝔸 é");
  set_window_title("Plain", 0);
  XSync(x_display, False);
  EXPECT_EQ(titles(&utf8), "Plain");
  EXPECT_EQ(utf8, "Plain");
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

// A window given another size at once after it opened (a message that needs more room) stays shown
// under a window manager: it takes the size in place and is never unmapped, which the manager, still
// taking it on, could answer by destroying it with its frame.
TEST_F(X_SERVER_TEST, AWindowReshapedAsItOpensStaysShownUnderAWindowManager) {
  REQUIRE_TOOL("twm");
  // The server has fixed fonts only.
  std::string settings = make_scratch_folder("window-manager") + "/twmrc";
  std::ofstream(settings) << "NoGrabServer\nRandomPlacement\nTitleFont \"fixed\"\nResizeFont \"fixed\"\n"
                             "MenuFont \"fixed\"\nIconFont \"fixed\"\nIconManagerFont \"fixed\"\n";
  pid_t manager = fork();
  ASSERT_GE(manager, 0);
  if (manager == 0) {
    int nothing = open("/dev/null", O_WRONLY);  // its complaints of fonts the server lacks
    dup2(nothing, 1);
    dup2(nothing, 2);
    execlp("twm", "twm", "-f", settings.c_str(), (char*)nullptr);
    _exit(127);
  }
  XWindowAttributes root = {};
  for (int i = 0; i < 200; i++) {
    XGetWindowAttributes(probe, DefaultRootWindow(probe), &root);
    if (root.all_event_masks & SubstructureRedirectMask) break;
    usleep(25000);
  }
  ASSERT_TRUE(root.all_event_masks & SubstructureRedirectMask) << "twm did not start";
  for (int round = 0; round < 10; round++) {
    ASSERT_EQ(open_graphics_window("Small", 320, 170, 0, 0), 1);
    Window window = x_window;
    XSelectInput(probe, window, StructureNotifyMask);
    ASSERT_EQ(open_graphics_window("Small", 320, 218 + round, 0, 0), 1);
    EXPECT_EQ(x_window, window);
    XWindowAttributes attributes = {};
    for (int i = 0; i < 200; i++) {
      if (!XGetWindowAttributes(probe, window, &attributes)) break;
      if (attributes.map_state == IsViewable && attributes.height == 218 + round) break;
      usleep(25000);
    }
    usleep(100000);  // time for the manager to act on anything still queued
    ASSERT_TRUE(XGetWindowAttributes(probe, window, &attributes)) << "round " << round << ": the window was lost";
    EXPECT_EQ(attributes.map_state, IsViewable) << "round " << round;
    EXPECT_EQ(attributes.width, 320);
    EXPECT_EQ(attributes.height, 218 + round);
    while (XPending(probe)) {
      XEvent event;
      XNextEvent(probe, &event);
      EXPECT_FALSE(event.type == UnmapNotify && event.xunmap.window == window) << "round " << round;
    }
    close_main_window(0);
  }
  kill(manager, SIGTERM);
  waitpid(manager, nullptr, 0);
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

  // Shift+Tab is the Tab key and types a tab, as on Windows.
  send_key(XK_Tab, ShiftMask, true);
  ASSERT_TRUE(pump_until([] { return KEYBOARD_HANDLER::queue_last >= 0; }));
  EXPECT_EQ(keyboard.read_key(), VKEY_TAB);
  EXPECT_EQ(keyboard.read_char(), '\t');

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
  forget_mouse_state();
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
  ASSERT_TRUE(pump_until([] { return MOUSE_HANDLER::wheel_notches != 0 && MOUSE_HANDLER::pending_count == 0; }));
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
  forget_mouse_state();
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

// A dead key then a letter types the letter with its mark where Latin-1 has one, in the C locale too: a
// German keyboard's acute, grave and circumflex keys. Space types the mark alone, a letter without such
// a form the mark and the letter, Backspace takes the mark back, and the same dead key twice types its
// mark once.
TEST_F(X_SERVER_TEST, DeadKeysComposeLatin1Letters) {
  REQUIRE_TOOL("xdotool");
  REQUIRE_TOOL("setxkbmap");
  ASSERT_EQ(run_command("setxkbmap de"), 0);
  ASSERT_EQ(open_graphics_window("Dead keys", 160, 120, 0, 0), 1);
  XSync(x_display, False);
  KEYBOARD_HANDLER keyboard;
  keyboard.set_buffer_size(16);
  std::string window = std::to_string((unsigned long)x_window);
  ASSERT_EQ(run_command("xdotool mousemove --sync --window " + window + " 40 50"), 0);
  ASSERT_EQ(run_command("xdotool key dead_acute e shift+dead_grave shift+a dead_circumflex space dead_acute b "
                        "dead_acute BackSpace dead_acute dead_acute dead_circumflex o"),
            0);
  ASSERT_TRUE(pump_until([] { return KEYBOARD_HANDLER::queue_last >= 7; }));
  std::string typed;
  for (char c; (c = keyboard.read_char()) != 0;) typed += c;
  EXPECT_EQ(typed, "\xE9\xC0^\xB4" "b\b\xB4\xF4");
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

namespace {

// The line of /proc/<pid>/status that begins with the key, without it; empty when there is none.
std::string status_line(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
  return "";
}

// The process has ended: it is gone, or it is an ended child that no one has waited for yet.
bool process_ended(pid_t pid) {
  std::string state = status_line(pid, "State:");
  return state.empty() || state.find('Z') != std::string::npos;
}

// The signal waits for the process to take it.
bool signal_pending(pid_t pid, int number) {
  for (const char* key : {"SigPnd:", "ShdPnd:"})
    if (std::strtoull(status_line(pid, key).c_str(), nullptr, 16) & (1ull << (number - 1))) return true;
  return false;
}

// Waits at most 30 s for the condition, looking every 10 ms.
template <typename CONDITION>
bool within_30_seconds(CONDITION condition) {
  for (int waited = 0; waited < 30000; waited += 10) {
    if (condition()) return true;
    usleep(10000);
  }
  return condition();
}

int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

// A message box's window shown by a child process (show_box_window), which ends with 0 once the box
// was shown and answered. The test's own requests about a window that is gone meanwhile fail quietly.
struct BOX_RUN {
  pid_t child = -1;
  Window window = 0;
  XErrorHandler kept_handler;

  // before_box runs in the child first.
  explicit BOX_RUN(const std::string& caption, void (*before_box)() = nullptr) {
    kept_handler = XSetErrorHandler(ignore_x_errors);
    child = fork();
    if (child != 0) return;
    if (before_box) before_box();
    _exit(show_box_window(caption.c_str(), "The text of the box.") ? 0 : 1);
  }
  ~BOX_RUN() {
    if (child > 0 && !process_ended(child)) kill(child, SIGKILL);
    if (child > 0) waitpid(child, nullptr, 0);
    XSetErrorHandler(kept_handler);
  }
  // Waits until the box's window is shown with the keyboard.
  bool wait_until_shown(Display* display, const std::string& caption) {
    return within_30_seconds([&] { return (window = focused_window_titled(display, caption)) != 0; });
  }
  // The box's pixels as the server has them; empty once the window is gone.
  std::vector<unsigned long> pixels(Display* display) {
    std::vector<unsigned long> all;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return all;
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return all;
    for (int y = 0; y < attributes.height; y++)
      for (int x = 0; x < attributes.width; x++) all.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return all;
  }
  // A point on the box's OK button: it sits centred a margin above the box's foot.
  std::string button_point(Display* display) {
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display, window, &attributes);
    return std::to_string(attributes.width / 2) + " " + std::to_string(attributes.height - 16 - 4);
  }
// The box was answered: its process ended, having shown it.
  bool answered() {
    int status = -1;
    bool ended = within_30_seconds([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (ended) child = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

}  // namespace

// The Linux message box's window is answered by each of its answers: Return, the keypad's Enter,
// Escape, Space, a click on OK, and the window's close (the window manager's request, as its close
// button sends it).
TEST_F(X_SERVER_TEST, AMessageBoxIsAnsweredByEachOfItsAnswers) {
  REQUIRE_TOOL("xdotool");
  for (const std::string answer : {"Return", "KP_Enter", "Escape", "space", "click", "close"}) {
    SCOPED_TRACE(answer);
    const std::string caption = "Answered by " + answer;
    BOX_RUN box(caption);
    ASSERT_TRUE(box.wait_until_shown(probe, caption));
    if (answer == "click") {
      ASSERT_EQ(run_command("xdotool mousemove --sync --window " + std::to_string(box.window) + " " +
                            box.button_point(probe) + " click 1"),
                0);
    } else if (answer == "close") {
      send_close_request(probe, box.window);
    } else {
      ASSERT_EQ(run_command("xdotool key " + answer), 0);
    }
    EXPECT_TRUE(box.answered());
  }
}

// An answer that reaches the box while it writes, which Xlib then takes into its queue, is taken: the box
// never waits on its connection for more with an answer in its queue.
TEST_F(X_SERVER_TEST, AnAnswerThatComesWhileTheBoxWritesIsTaken) {
  BOX_RUN box("Answered as it writes", [] { close_while_flushing = "Answered as it writes"; });
  EXPECT_TRUE(box.answered());
}

// A key of the box's answers that was held down before the box opened (the Return that started the
// program) does not answer it when it comes up: the box stays, and takes the press on its button after
// it, which a click on OK then answers. (Without the keys' repeat, which would press the key anew.)
TEST_F(X_SERVER_TEST, AKeyHeldSinceBeforeTheBoxOpenedDoesNotAnswerIt) {
  REQUIRE_TOOL("xdotool");
  XAutoRepeatOff(probe);
  XSync(probe, False);
  ASSERT_EQ(run_command("xdotool keydown Return"), 0);
  BOX_RUN box("Held key");
  ASSERT_TRUE(box.wait_until_shown(probe, "Held key"));
  std::vector<unsigned long> raised = box.pixels(probe);
  ASSERT_FALSE(raised.empty());
  ASSERT_EQ(run_command("xdotool keyup Return"), 0);
  // The press after the key's release shows on the button of the box that is still there.
  ASSERT_EQ(run_command("xdotool mousemove --sync --window " + std::to_string(box.window) + " " +
                        box.button_point(probe) + " mousedown 1"),
            0);
  EXPECT_TRUE(within_30_seconds([&] {
    std::vector<unsigned long> now = box.pixels(probe);
    return now.empty() || now != raised;
  }));
  EXPECT_FALSE(box.pixels(probe).empty()) << "the key's release answered the box";
  ASSERT_EQ(run_command("xdotool mouseup 1"), 0);
  EXPECT_TRUE(box.answered());
  XAutoRepeatOn(probe);
  XSync(probe, False);
}

// A message box on a display that takes the connection and never answers goes to standard error alone:
// the box's window gives the display up after its time, and a second box does not wait for it again
// (the display is tried once: one connection).
TEST(WindowWithoutDisplay, ABoxOnASilentDisplayIsGivenUpAndNotWaitedForAgain) {
  std::string number = std::to_string(40000 + getpid() % 10000);
  int listener = silent_display(number);
  ASSERT_GE(listener, 0) << std::strerror(errno);
  pid_t run = fork();
  ASSERT_GE(run, 0);
  if (run == 0) {
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv(HEADLESS_VARIABLE);
    bool first = show_box_window("First", "text"), second = show_box_window("Second", "text");
    _exit(!first && !second ? 0 : 1);
  }
  int status = -1;
  EXPECT_TRUE(within_30_seconds([&] { return waitpid(run, &status, WNOHANG) == run; })) << "the box waits";
  if (status == -1) {
    kill(run, SIGKILL);
    waitpid(run, nullptr, 0);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  int connections = 0;
  fcntl(listener, F_SETFL, O_NONBLOCK);
  for (int connection; (connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; connections++)
    close(connection);
  EXPECT_EQ(connections, 1);
  close(listener);
}

// A display that takes the connection and never answers is given up after a few seconds, and a run
// that asks for no display needs none. (None named, and one that nobody serves: the wizard's scenarios.)
TEST(WindowWithoutDisplay, ASilentDisplayIsGivenUpAndARunThatAsksForNoneNeedsNone) {
  unsetenv("DISPLAY");
  setenv(HEADLESS_VARIABLE, "1", 1);
  EXPECT_EQ(display_problem(), nullptr);
  unsetenv(HEADLESS_VARIABLE);
  std::string number = std::to_string(20000 + getpid() % 10000);
  int listener = silent_display(number);
  ASSERT_GE(listener, 0) << std::strerror(errno);
  setenv("DISPLAY", (":" + number).c_str(), 1);
  EXPECT_EQ(display_problem(), "the display \":" + number + "\" does not answer");
  close(listener);
  unsetenv("DISPLAY");
  setenv(HEADLESS_VARIABLE, "1", 1);
}

// Whatever ends a run during its display check (two requests to end it, SIGINT or SIGTERM, or a kill)
// ends the check's helper process with it, and the helper holds none of the run's output: a pipe that
// reads it ends with the run. The display takes the connection and never answers.
TEST(WindowWithoutDisplay, TheDisplayChecksHelperEndsWithTheRunHoweverItEnds) {
  std::string number = std::to_string(30000 + getpid() % 10000);
  int listener = silent_display(number);
  ASSERT_GE(listener, 0) << std::strerror(errno);
  const std::vector<std::vector<int>> endings = {{SIGINT, SIGINT}, {SIGTERM, SIGTERM}, {SIGKILL}};
  for (const std::vector<int>& signals : endings) {
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    pid_t run = fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
      close(output[0]);
      dup2(output[1], 1);
      dup2(output[1], 2);
      close(output[1]);
      setenv("DISPLAY", (":" + number).c_str(), 1);
      unsetenv(HEADLESS_VARIABLE);
      watch_end_requests();
      _exit(display_problem() ? 3 : 4);
    }
    close(output[1]);
    // The helper is the process that connects to the display.
    pollfd waiting = {listener, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 30000), 1) << "the check never reached the display";
    int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(connection, 0);
    ucred peer = {};
    socklen_t size = sizeof peer;
    ASSERT_EQ(getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size), 0);
    EXPECT_EQ(status_line(peer.pid, "PPid:"), "\t" + std::to_string(run));
    // Each request once the one before was taken: two equal signals sent together would merge.
    for (size_t i = 0; i < signals.size(); i++) {
      ASSERT_EQ(kill(run, signals[i]), 0);
      if (i + 1 < signals.size()) {
        ASSERT_TRUE(within_30_seconds([&] { return !signal_pending(run, signals[i]); }));
      }
    }
    int status = 0;
    ASSERT_TRUE(within_30_seconds([&] { return waitpid(run, &status, WNOHANG) == run; })) << "the run goes on";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signals.back()) << status;
    // The run's output reaches its end.
    fcntl(output[0], F_SETFL, O_NONBLOCK);
    char byte;
    EXPECT_TRUE(within_30_seconds([&] { return read(output[0], &byte, 1) == 0; })) << "the output stays open";
    EXPECT_TRUE(within_30_seconds([&] { return process_ended(peer.pid); })) << "the helper " << peer.pid << " runs on";
    if (!process_ended(peer.pid)) kill(peer.pid, SIGKILL);
    close(output[0]);
    close(connection);
  }
  close(listener);
}

// Where close_range is missing (an older kernel, or a filter that refuses it), the display check's
// helper closes the run's descriptors one by one: those that are open, a high one among them, and not
// every number up to the limit of open files, which may be a billion. Here close_range fails as it does
// on a kernel without it, and a close of any number from 4096 on ends the helper, the limit lying above.
TEST(WindowWithoutDisplay, WithoutCloseRangeTheDisplayChecksHelperClosesOnlyWhatIsOpen) {
#if defined(__x86_64__)
  const unsigned architecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
  const unsigned architecture = AUDIT_ARCH_AARCH64;
#else
  GTEST_SKIP() << "no system call filter for this architecture";
  const unsigned architecture = 0;
#endif
#ifndef SECCOMP_RET_KILL_PROCESS
#define SECCOMP_RET_KILL_PROCESS SECCOMP_RET_KILL
#endif
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 8192) GTEST_SKIP() << "the hard limit of open files is below 8192";
  std::string number = std::to_string(40000 + getpid() % 10000);
  int listener = silent_display(number);
  ASSERT_GE(listener, 0) << std::strerror(errno);
  int held[2];
  ASSERT_EQ(pipe(held), 0);
  pid_t run = fork();
  ASSERT_GE(run, 0);
  if (run == 0) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > 65536 ? 65536 : limit.rlim_max;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, architecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close_range, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 4096, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog filter = {(unsigned short)(sizeof program / sizeof program[0]), program};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0 || dup2(held[1], 4000) != 4000 ||
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
      _exit(5);
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv(HEADLESS_VARIABLE);
    _exit(display_problem() ? 3 : 4);
  }
  close(held[1]);
  int status = 0;
  bool ended = false;
  ASSERT_TRUE(within_30_seconds([&] {
    pollfd waiting = {listener, POLLIN, 0};
    ended = ended || waitpid(run, &status, WNOHANG) == run;
    return ended || poll(&waiting, 1, 0) == 1;
  }));
  ASSERT_FALSE(ended) << "the check never reached the display: " << status;
  int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ASSERT_GE(connection, 0);
  ucred peer = {};
  socklen_t size = sizeof peer;
  ASSERT_EQ(getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size), 0);
  // The helper holds its standard streams and its connection, nothing of the run's.
  std::vector<std::string> kept;
  const std::string descriptors = "/proc/" + std::to_string(peer.pid) + "/fd/";
  if (DIR* listing = opendir(descriptors.c_str())) {
    while (dirent* entry = readdir(listing)) {
      char target[256] = "";
      std::string name = entry->d_name;
      if (name == "." || name == ".." || name == "0" || name == "1" || name == "2") continue;
      ssize_t length = readlink((descriptors + name).c_str(), target, sizeof target - 1);
      if (length < 0 || std::string(target, (size_t)length).compare(0, 7, "socket:") != 0) kept.push_back(name);
    }
    closedir(listing);
  }
  EXPECT_EQ(kept, std::vector<std::string>{});
  kill(run, SIGKILL);
  waitpid(run, nullptr, 0);
  EXPECT_TRUE(within_30_seconds([&] { return process_ended(peer.pid); })) << "the helper " << peer.pid << " runs on";
  close(connection);
  close(held[0]);
  close(listener);
}

TEST(WindowWithoutDisplay, UnreachableDisplayIsAFatalError) {
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":32761", 1);
        unsetenv(HEADLESS_VARIABLE);
        open_graphics_window("Nowhere", 100, 100, 0, 0);
        std::exit(0);  // not reached: a window that cannot be made ends the program
      },
      ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "");
}

#else  // _WIN32
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The window of class "main" with the title among this thread's windows (null: none): other programs on
// the display may show windows of the same class and title.
struct THREAD_WINDOW_SEARCH {
  const WCHAR* title;
  HWND found;
};

static BOOL CALLBACK find_main_window(HWND window, LPARAM data) {
  THREAD_WINDOW_SEARCH* search = (THREAD_WINDOW_SEARCH*)data;
  WCHAR name[16] = L"", title[256] = L"";
  GetClassNameW(window, name, 16);
  GetWindowTextW(window, title, 256);
  if (std::wstring(name) != L"main" || std::wstring(title) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

static HWND thread_main_window(const std::wstring& title) {
  THREAD_WINDOW_SEARCH search = {title.c_str(), nullptr};
  EnumThreadWindows(GetCurrentThreadId(), find_main_window, (LPARAM)&search);
  return search.found;
}

struct WIN32_WINDOW_TEST : ::testing::Test {
  HWND window = nullptr;
  void open(const char* title, INT_S16 width, INT_S16 height) {
    ASSERT_EQ(open_graphics_window(title, width, height, 0, 0), 1);
    window = thread_main_window(std::wstring(title, title + std::strlen(title)));
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

// A title beyond the code page is the window's whole, made with the window and given to it later, also
// as the system reads it to draw the caption.
TEST_F(WIN32_WINDOW_TEST, TitlesKeepCharactersBeyondTheCodePage) {
  ASSERT_EQ(open_graphics_window("Installer \x01,0416,4E2D\x01 \xE9t\xE9", 100, 80, 0, 0), 1);
  window = thread_main_window(L"Installer \x0416\x4E2D \x00E9t\x00E9");
  ASSERT_NE(window, nullptr);
  set_window_title("\x01,03A9\x01", 0);
  WCHAR title[32] = L"";
  GetWindowTextW(window, title, 32);
  EXPECT_EQ(std::wstring(title), L"\x03A9");
  // A damaged run: its characters as they are drawn, never its stored form.
  set_window_title("\x01,03A9,zz,D835,DD38\x01 \xE9", 0);
  GetWindowTextW(window, title, 32);
  EXPECT_EQ(std::wstring(title), L"\x03A9\xD835\xDD38 \x00E9");
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
  // UTF-16 characters: Latin-1 ones arrive as their byte, the euro sign (0x80 of the code page) not at all.
  SendMessageA(window, WM_UNICHAR, 0x20AC, 0);
  SendMessageW(window, WM_CHAR, 0x20AC, 0);
  SendMessageW(window, WM_CHAR, 0xFC, 0);
  EXPECT_EQ((INT_U8)keyboard.read_char(), 0xFC);
}

TEST_F(WIN32_WINDOW_TEST, MessagesReachTheMouseState) {
  open("Mouse", 100, 100);
  forget_mouse_state();
  MOUSE_HANDLER::wheel_notches = MOUSE_HANDLER::wheel_remainder = 0;
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 30);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 40);
  SendMessageA(window, WM_RBUTTONDOWN, 0, MAKELPARAM(30, 40));
  // The display's pointer goes outside the window, and the thread takes a message after that: a button
  // message sent to the window is not judged by the pointer's path, which any program may move.
  POINT was, outside = {-20, -20};
  GetCursorPos(&was);
  ClientToScreen(window, &outside);
  SetCursorPos(outside.x, outside.y);
  PostMessageA(window, WM_USER, 0, 0);
  MSG taken;
  EXPECT_TRUE(PeekMessageA(&taken, window, WM_USER, WM_USER, PM_REMOVE));
  SendMessageA(window, WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), MAKELPARAM(30, 40));
  SetCursorPos(was.x, was.y);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u);  // one button change per input pass, in order
  MOUSE_HANDLER::input_pass_done();
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0x2u | (1u << 10));
  MOUSE_HANDLER::input_pass_done();

  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, 1);
  SendMessageA(window, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, -1);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0u);
  // Back at the pixel it left, which brings no move: a press shows at its own point.
  MOUSE_HANDLER::input_pass_done();
  SendMessageA(window, WM_LBUTTONDOWN, 0, MAKELPARAM(30, 40));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 30);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 40);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 1u);
}

// Moved to a monitor of another DPI, the window shows the frame at that scale and takes the pointer's
// points back in the frame's pixels: at twice the DPI each frame pixel is 2 x 2 of its own, at one and a
// half a client pixel over two frame pixels shows both, weighted. At a DPI where it would not fit its
// work area it takes the largest quarter step that fits.
TEST_F(WIN32_WINDOW_TEST, AMonitorOfAnotherDpiScalesTheFrame) {
  open("Scaled", 200, 150);
  RECT place, client;
  GetWindowRect(window, &place);
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), (LPARAM)&place);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 300);
  paint_known_image();
  present_frame(0);
  GdiFlush();
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 199, 299), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 200, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 399, 299), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 20, 21), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 21, 20), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 22, 21), RGB(255, 0, 0));
  ReleaseDC(window, dc);
  forget_mouse_state();
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(61, 81));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 30);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 40);
  SendMessageA(window, WM_LBUTTONDOWN, 0, MAKELPARAM(399, 299));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 199);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 149);

  GetWindowRect(window, &place);
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), (LPARAM)&place);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 225);
  paint_known_image();
  present_frame(0);
  GdiFlush();
  dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 15, 15), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 16, 16), RGB(191, 64, 0));  // a quarter of it the green pixel
  EXPECT_EQ(GetPixel(dc, 149, 100), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 150, 100), RGB(0, 0, 255));
  ReleaseDC(window, dc);
  forget_mouse_state();
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(16, 2));
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 10);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 1);
  close_main_window(-1);

  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  INT_S16 tall = (INT_S16)((work.bottom - work.top) * 3 / 4);
  open("Tall", 100, tall);
  GetWindowRect(window, &place);
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), (LPARAM)&place);
  GetClientRect(window, &client);
  GetWindowRect(window, &place);
  EXPECT_LE(place.bottom - place.top, work.bottom - work.top);
  EXPECT_GT(client.bottom, tall);
  EXPECT_LT(client.bottom, 2 * tall);
  int scale = client.right * 96 / 100;  // the step taken, in 96ths
  EXPECT_EQ(scale % 24, 0) << scale;
  EXPECT_EQ(client.bottom, (tall * scale + 95) / 96);
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
  EXPECT_NE(thread_main_window(L"Close"), nullptr);  // the window itself stays
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
        HWND full = thread_main_window(L"Full");
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

// ---- A real-window scenario on both builds: the probe program in a real window on a display of its
// own, driven by real input from the X server and read back from it. Later scenarios copy this one. ----

// The characters the probe reports ("char 48" lines), in order.
static std::string typed_text(const std::string& output) {
  std::string text;
  for (size_t at = output.find("char "); at != std::string::npos; at = output.find("char ", at + 1))
    text += (char)std::strtol(output.substr(at + 5, 2).c_str(), nullptr, 16);
  return text;
}

TEST(WindowScenario, RealInputReachesTheProgramAndItsPixelsReadBack) {
  WINDOW_SCENARIO scenario("probe");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("window_probe"), {"Velk probe", "200", "150"}));
  ASSERT_TRUE(scenario.wait_for_window("Velk probe", 200, 150));
  ASSERT_TRUE(scenario.wait_for_output("ready 200 150\n"));

  // Buttons where the pointer is: a left click, a right click, a drag; the wheel both ways.
  ASSERT_TRUE(scenario.click(40, 50));
  ASSERT_TRUE(scenario.wait_for_output("press 1 40 50\nrelease 1 40 50\n"));
  ASSERT_TRUE(scenario.click(20, 130, 3));
  ASSERT_TRUE(scenario.wait_for_output("press 2 20 130\nrelease 2 20 130\n"));
  ASSERT_TRUE(scenario.drag(60, 60, 150, 100));
  ASSERT_TRUE(scenario.wait_for_output("press 1 60 60\nrelease 1 150 100\n"));
  ASSERT_TRUE(scenario.wheel(1));
  ASSERT_TRUE(scenario.wait_for_output("wheel 1\n"));
  ASSERT_TRUE(scenario.wheel(-1));
  ASSERT_TRUE(scenario.wait_for_output("wheel -1\n"));

  // Keys as the widgets compare them, and typed text with shifted characters.
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_for_output("key 09\n"));
  ASSERT_TRUE(scenario.key("shift+Tab"));
  ASSERT_TRUE(scenario.wait_for_output("key 09 shift\n"));
  ASSERT_TRUE(scenario.key("Return"));
  ASSERT_TRUE(scenario.wait_for_output("key 0D\n"));
  ASSERT_TRUE(scenario.type("Hi, Velk!"));
  ASSERT_TRUE(scenario.wait_for_output("char 21\n"));
  EXPECT_EQ(typed_text(scenario.output()), "\t\t\nHi, Velk!");

  // The marks the program drew, read back from the X server once the last one has reached it.
  WINDOW_CAPTURE image;
  ASSERT_TRUE(scenario.wait_for_pixel(150, 100, 0x0000FFu));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.capture(&image, scenario.scratch() + "probe.png"));
  EXPECT_EQ(read_whole_file(scenario.scratch() + "probe.png").size() > 8, true);
  ASSERT_EQ(image.width, 200);
  ASSERT_EQ(image.height, 150);
  EXPECT_EQ(image.at(0, 0), 0x203040u);
  EXPECT_EQ(image.at(199, 149), 0x203040u);
  EXPECT_EQ(image.at(40, 50), 0x0000FFu);  // pressed and released at one place: the release mark on top
  EXPECT_EQ(image.at(60, 60), 0xFF0000u);   // the drag's press
  EXPECT_EQ(image.at(150, 100), 0x0000FFu);  // and its release

  // The pointer out of the window and back to the very pixel between a press and its release: the leave
  // lets the button go, however quickly the pointer came back, and the release clicks nothing.
  ASSERT_TRUE(scenario.press_leaving_now(100, 30));
  ASSERT_TRUE(scenario.wait_for_output("press 1 100 30\nrelease 1 -1 -1\n"));

  // The window's close button ends the program with its own status.
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_for_output("close\n"));
  EXPECT_EQ(scenario.wait_for_exit(), 5);
}

// A step's wait ends as soon as the program has ended, and its failure says what it saw.
TEST(WindowScenario, WaitsEndWithTheProgramAndSayWhatTheySaw) {
  WINDOW_SCENARIO scenario("probe-ends");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("window_probe"), {"Velk probe"}));  // no size
  ::testing::TestPartResultArray failures;
  bool shown, printed;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    shown = scenario.wait_for_window("Velk probe", 200, 150);
    printed = scenario.wait_for_output("ready");
  }
  EXPECT_FALSE(shown);
  EXPECT_FALSE(printed);
  ASSERT_EQ(failures.size(), 2);
  std::string window = failures.GetTestPartResult(0).message(), output = failures.GetTestPartResult(1).message();
  EXPECT_NE(window.find("no window \"Velk probe\" of 200 x 150 was shown (the program ended with 2); the windows "
                        "shown:\nnone\n"),
            std::string::npos)
      << window;
  EXPECT_NE(window.find("usage: window_probe title width height\n"), std::string::npos) << window;
  EXPECT_NE(output.find("the program did not print \"ready\" (the program ended with 2)"), std::string::npos) << output;
  EXPECT_EQ(scenario.wait_for_exit(), 2);
#ifdef _WIN32
  // The scenario's own Wine server keeps the settings of the test's: a crash ends the program at once.
  EXPECT_EQ(scenario.registry_value("HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog"), "0x0");
#endif
}
