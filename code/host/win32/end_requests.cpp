// Windows host layer: the requests of the system to end the program: the console's Ctrl+C, Ctrl+Break
// and close events, and log-off and shut-down through the session's messages to top-level windows.
#include "win32_host.h"
#include "files_host.h"

// The console's handler runs on a thread of its own: it only notes the request and wakes the frame
// loop's wait; the program reads the note at its next safe point.
static volatile LONG end_request = 0;
HANDLE end_request_event = nullptr;

// Held back requests: the handler takes the hold before it acts, so it waits while the program's thread
// holds it. The holder's thread number (0 none) and, for that thread alone, how often it holds it.
// The system runs each console event on a thread of its own: those that wait for the hold are counted,
// and the last release lets them act before it returns.
static volatile LONG hold_owner = 0;
static LONG hold_count = 0;
static volatile LONG requests_waiting = 0;

void hold_end_requests() {
  LONG self = (LONG)GetCurrentThreadId();
  if (InterlockedCompareExchange(&hold_owner, 0, 0) == self) {
    hold_count++;
    return;
  }
  while (InterlockedCompareExchange(&hold_owner, self, 0) != 0) Sleep(1);
  hold_count = 1;
}

void release_end_requests() {
  if (InterlockedCompareExchange(&hold_owner, 0, 0) != (LONG)GetCurrentThreadId() || --hold_count > 0) return;
  InterlockedExchange(&hold_owner, 0);
  // The requests that came meanwhile are noted, or a second ends the process, before the program goes
  // on. A handler that the system does not let run is waited for 5 s of the clock at most: a sleep lasts
  // at least a tick of the system's timer (15.6 ms unless a program asks for finer), so counting sleeps
  // would wait minutes.
  DWORD start = GetTickCount();
  while (InterlockedCompareExchange(&requests_waiting, 0, 0) > 0 && GetTickCount() - start < 5000) Sleep(1);
}

static BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      InterlockedIncrement(&requests_waiting);
      hold_end_requests();
      // A second request while the program ends goes on to the system's own handler, which ends the
      // process at once, after what can be taken away safely (the files noted for it). The hold is
      // kept: the program's thread makes no such file from now on, and waits for the end.
      if (InterlockedExchange(&end_request, 1) != 0) {
        host_immediate_end();
        return FALSE;
      }
      SetEvent(end_request_event);
      InterlockedDecrement(&requests_waiting);
      release_end_requests();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterlockedIncrement(&requests_waiting);
      hold_end_requests();
      InterlockedExchange(&end_request, 1);
      SetEvent(end_request_event);
      InterlockedDecrement(&requests_waiting);
      release_end_requests();
      // The system ends the process as soon as this returns (or after its grace time): the program's
      // own end, on the main thread, ends it first.
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

// Log-off and shut-down come to a process that loads the window system not as console events but as
// WM_QUERYENDSESSION and WM_ENDSESSION to its top-level windows; once WM_ENDSESSION is answered the
// system ends the process. The session may end; when it does, that is the first end request, and the
// program's clean end is made on the spot (the application's hook), after which the process ends
// itself with the status of an interrupted run.
bool session_message(UINT message, WPARAM w_param, LRESULT* result) {
  if (!end_request_event || (message != WM_QUERYENDSESSION && message != WM_ENDSESSION)) return false;
  *result = message == WM_QUERYENDSESSION ? TRUE : 0;
  if (message == WM_QUERYENDSESSION || !w_param) return true;  // asked, or the end was called off
  InterlockedExchange(&end_request, 1);
  SetEvent(end_request_event);
  if (session_end_hook) session_end_hook();
  exit_process(1);
}

static LRESULT CALLBACK session_window_procedure(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
  LRESULT result = 0;
  if (session_message(message, w_param, &result)) return result;
  return DefWindowProcA(window, message, w_param, l_param);
}

// A program without a main window (automatic mode) has a hidden top-level one for the session's
// messages: a message-only window gets no broadcasts. None without a display (under Wine).
static void open_session_window() {
  WNDCLASSA window_class;
  ZeroMemory(&window_class, sizeof(window_class));
  window_class.lpfnWndProc = session_window_procedure;
  window_class.hInstance = instance_handle ? instance_handle : GetModuleHandleA(nullptr);
  window_class.lpszClassName = "session";
  if (!RegisterClassA(&window_class)) return;
  CreateWindowExA(0, "session", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, window_class.hInstance, nullptr);
}

void watch_end_requests() {
  if (end_request_event) return;
  end_request_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!end_request_event) return;
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

void watch_session_end() {
  static bool opened = false;
  if (opened || !end_request_event || main_window) return;
  opened = true;
  open_session_window();
}

bool end_requested() { return InterlockedCompareExchange(&end_request, 0, 0) != 0; }
