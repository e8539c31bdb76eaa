// Windows host layer: the instance, the window class, and the message pump's two platform steps —
// dispatching pending messages and the idle wait for input.
#include "win32_host.h"
#include "host_private.h"

#include <cstdio>

HINSTANCE instance_handle = nullptr;
const MSG* dispatched_message = nullptr;

// The class is a Unicode one, so that the window's typed characters arrive as UTF-16 (WM_CHAR) rather
// than as bytes of the ANSI code page, which are not Latin-1 (0x80 to 0x9F in Western code pages,
// every upper-half byte in others). Windows made of it take ANSI calls too (the title).
bool register_main_class() {
  static bool registered = false;
  if (registered) return true;
  if (!instance_handle) instance_handle = GetModuleHandleA(nullptr);
  WNDCLASSW window_class;
  ZeroMemory(&window_class, sizeof(window_class));
  // A device context of the window's own: a present draws through it without asking the system for
  // one each time (under Wine each GetDC and ReleaseDC works out the window's visible region anew).
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance_handle;
  window_class.hIcon = LoadIconA(instance_handle, MAKEINTRESOURCEA(app_descriptor.icon_resource));
  window_class.lpszClassName = L"main";
  registered = RegisterClassW(&window_class) != 0;
  return registered;
}

// The window class is registered with the first window (open_window), not here: registering it loads
// the window system's driver, which a run that opens no window (the one-shot jobs) never needs.
//
// The program takes the display's scale itself (the window shows the frame at the monitor's DPI,
// window.cpp) and reads the pointer in the display's own pixels, so it tells the system so before it
// makes any window: per monitor where the system knows of that (Windows 10; its second form from
// version 1703, which also scales the window's frame), else for the whole system. Otherwise, on a
// display scaled above 100%, the system would stretch its picture and hand it scaled coordinates, while
// the pointer's path (GetMouseMovePointsEx) stays in the display's pixels. Done here in code rather than in a manifest resource, so that every program on the
// library (the test programs too) has the same coordinates without a resource in each one's build.
void start_host() {
  typedef BOOL(WINAPI * SET_CONTEXT)(HANDLE);
  SET_CONTEXT set_context =
      (SET_CONTEXT)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext");
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE.
  if (set_context && (set_context((HANDLE)(INT_PTR)-4) || set_context((HANDLE)(INT_PTR)-3))) return;
  SetProcessDPIAware();
}

#ifndef WM_SYSTIMER
#define WM_SYSTIMER 0x0118
#endif

// Timer messages are not counted: the program sets no timers, and the system's own (Wine's pointer
// tracking polls every 400 ms while the pointer rests on the window) change no input state; what they
// cause that does (a pointer leaving the window) comes as a message of its own.
//
// A queue found empty is looked at again only after half a refresh of the screen (8 ms): a pass that
// installs one small file takes far less, and under Wine each look is a call to its server, which with
// a look every millisecond still cost the wizard a fifth of its time on many small files. Input then
// waits at most that long, and shows within the frame it comes in; a queue that held messages is looked
// at again at once, and a wait for input never follows a pass that did not look (it gives way to one
// that does), so an idle window takes input as it comes.
static LARGE_INTEGER last_look = {};
static LONGLONG look_interval = 0;  // performance-counter ticks in 8 ms
static bool look_now = true;
static bool look_skipped = false;

bool host_dispatch_messages() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (look_interval == 0) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    look_interval = frequency.QuadPart / 125 > 0 ? frequency.QuadPart / 125 : 1;
  }
  if (!look_now && now.QuadPart - last_look.QuadPart < look_interval) {
    look_skipped = true;
    return false;
  }
  look_skipped = false;
  last_look = now;
  bool taken = false, any = false;
  MSG message;
  // The wide calls: a character message keeps its UTF-16 unit on the way to the main window.
  host_input_taken();
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    host_input_taken();
    taken = true;
    TranslateMessage(&message);
    const MSG* outer = dispatched_message;  // a pump inside a message's handling (a pointer's shape)
    dispatched_message = &message;
    DispatchMessageW(&message);
    dispatched_message = outer;
    if (message.message != WM_TIMER && message.message != WM_SYSTIMER) any = true;
  }
  look_now = taken;
  return any;
}

// HOST_WAIT_FOREVER is INFINITE. An end request wakes the wait too.
void host_wait_for_input(INT_U32 ms) {
  if (look_skipped) {
    look_now = true;
    return;
  }
  if (end_request_event) {
    MsgWaitForMultipleObjectsEx(1, &end_request_event, ms, QS_ALLINPUT, 0);
    return;
  }
  MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, 0);
}

bool host_has_input_source() { return main_window != nullptr; }

void show_banner_box(const char* caption, const char* text) {
  if (running_unattended()) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return;
  }
  MessageBoxA(nullptr, text, caption, MB_OK);
  host_input_taken();  // the box's own loop took messages
}
