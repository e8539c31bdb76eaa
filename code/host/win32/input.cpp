// Windows host layer: the window procedure of "main", which turns messages into the library's keyboard
// and mouse state and answers close requests and the session's end; pointer shapes and position, key
// names and characters, and the joystick capability query.
#include "win32_host.h"
#include "host_private.h"

#include <mmsystem.h>
#include <cstring>
#include <ctime>

#include "errors.h"

#ifndef WM_UNICHAR
#define WM_UNICHAR 0x0109
#endif
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef UNICODE_NOCHAR
#define UNICODE_NOCHAR 0xFFFF
#endif

static HCURSOR pointer_shapes[7];
static HCURSOR saved_pointer = nullptr;  // the pointer in use before the first change
static bool pointer_saved = false;
static INT_S32 last_key_down = 0;        // virtual key of the last key press, for the characters it types

static void queue_typed_character(WPARAM character) {
  bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
  INT_S32 queued = translate_typed_character((INT_U32)character, last_key_down, control, alt);
  if (queued < 0) return;
  KEYBOARD_HANDLER keyboard;
  keyboard.push_char(queued);
}

// When the last button message came (any button), by the system's clock of input; none yet: false.
static DWORD last_button_time = 0;
static bool button_seen = false;

// How the system maps the display's pixels to the window's screen coordinates: by the window's DPI
// awareness (Windows 8.1 on), else by the process's (PhysicalToLogicalPoint). The same pixels while the
// program takes the display's scale itself (start_host), which a compatibility setting can refuse.
typedef BOOL(WINAPI* PHYSICAL_TO_LOGICAL)(HWND, POINT*);

// Whether the pointer's path since the last button message, which the system keeps in the display's
// pixels, left the client area before the button message of this time. The window hears of the pointer
// leaving (WM_MOUSELEAVE) when the system sees it go; under Wine only when a timer finds it outside, the
// hover time after the last move, so a pointer that went out and came back in between would otherwise
// pass unseen. The path is read back from where the pointer is now, so that it is read whole even where
// the pointer's return to a pixel it was at before is not recorded as a point of its own; from the
// button's point (at) when the system has no point of the pointer's place now.
static bool pointer_went_outside(HWND window, POINT at, DWORD time) {
  if (!button_seen) return false;
  RECT client;
  if (!GetClientRect(window, &client) || !ClientToScreen(window, &at)) return false;
  POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
  MapWindowPoints(window, nullptr, corners, 2);
  POINT now;
  if (!GetPhysicalCursorPos(&now)) now = at;
  MOUSEMOVEPOINT from, path[64];
  std::memset(&from, 0, sizeof from);
  from.x = now.x & 0xFFFF;
  from.y = now.y & 0xFFFF;
  int count = GetMouseMovePointsEx(sizeof(MOUSEMOVEPOINT), &from, path, 64, GMMP_USE_DISPLAY_POINTS);
  if (count < 0) {
    from.x = at.x & 0xFFFF;
    from.y = at.y & 0xFFFF;
    count = GetMouseMovePointsEx(sizeof(MOUSEMOVEPOINT), &from, path, 64, GMMP_USE_DISPLAY_POINTS);
  }
  static PHYSICAL_TO_LOGICAL to_window =
      (PHYSICAL_TO_LOGICAL)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "PhysicalToLogicalPointForPerMonitorDPI");
  // Newest first on Windows; the points between the last button message and this one are looked at in
  // any order.
  for (int i = 0; i < count; i++) {
    if ((LONG)(path[i].time - last_button_time) < 0 || (LONG)(path[i].time - time) > 0) continue;
    // Display points come as 16-bit values: a screen left of or above the first one's is negative.
    POINT p = {path[i].x > 32767 ? path[i].x - 65536 : path[i].x, path[i].y > 32767 ? path[i].y - 65536 : path[i].y};
    if (to_window) to_window(window, &p);
    else PhysicalToLogicalPoint(window, &p);
    if (p.x < corners[0].x || p.x >= corners[1].x || p.y < corners[0].y || p.y >= corners[1].y) return true;
  }
  return false;
}

// A button message: the pointer's leave of the window since the last one first (the click before, or the
// press of this release, then counts as X's crossing events make it count on Linux), then the pointer
// at the button's own point, which it carries as X's button events do: a pointer back from outside at
// the pixel where it left brings no move of its own. Then the button.
//
// Only a message that the pump took from the queue is judged by the pointer's path: one sent to the
// window (another program's, or this one's own) carries the time of whatever message the thread took
// last, and the path between two such times is the pointer's, which the system keeps for the whole
// display, whatever moved it. Its time is the program's clock.
static void button_message(HWND window, UINT message, LPARAM l_param, INT_S16 button, INT_U8 pressed) {
  POINT at = {(INT_S16)LOWORD(l_param), (INT_S16)HIWORD(l_param)};
  const MSG* queued = dispatched_message;
  bool taken = queued && queued->hwnd == window && queued->message == message && queued->lParam == l_param &&
               !InSendMessage();
  MOUSE_HANDLER mouse;
  if (!taken) {
    MOUSE_HANDLER::pointer_event((INT_S16)frame_coordinate(at.x), (INT_S16)frame_coordinate(at.y));
    mouse.button_event(button, pressed);
    return;
  }
  DWORD time = queued->time;
  if (pointer_went_outside(window, at, time)) MOUSE_HANDLER::pointer_left();
  last_button_time = time;
  button_seen = true;
  MOUSE_HANDLER::pointer_event((INT_S16)frame_coordinate(at.x), (INT_S16)frame_coordinate(at.y));
  mouse.button_event(button, pressed, (INT_U32)time);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
  host_input_taken();
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      // The frame's pixels that the lost client pixels show, inclusive.
      if (repaint_hook && paint.rcPaint.right > paint.rcPaint.left && paint.rcPaint.bottom > paint.rcPaint.top)
        repaint_hook((INT_S16)frame_coordinate(paint.rcPaint.left), (INT_S16)frame_coordinate(paint.rcPaint.top),
                     (INT_S16)frame_coordinate(paint.rcPaint.right - 1),
                     (INT_S16)frame_coordinate(paint.rcPaint.bottom - 1));
      EndPaint(window, &paint);
      return 1;
    }
    case WM_DPICHANGED:
      window_dpi_changed(LOWORD(w_param), (const RECT*)l_param);
      return 0;
    case WM_CLOSE:
      host_request_close();
      return 1;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION: {
      LRESULT result = 0;
      if (session_message(message, w_param, &result)) return result;
      return DefWindowProcW(window, message, w_param, l_param);
    }
    case WM_ACTIVATEAPP:
      if (full_screen_active) {
        if (w_param) {
          // Back to the mode that OpenGraphics set, not a fixed depth.
          if (!change_display_mode(display_mode_width, display_mode_height, display_mode_bits)) raise_error(0x01);
        } else {
          ChangeDisplaySettingsA(nullptr, 0);
          CloseWindow(window);
        }
      }
      return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      KEYBOARD_HANDLER keyboard;
      last_key_down = (INT_S32)w_param;
      host_note_key_press((INT_S32)w_param);
      keyboard.set_key((INT_S32)w_param);
      return 1;
    }
    case WM_KILLFOCUS:
      host_drop_key_presses();
      return DefWindowProcW(window, message, w_param, l_param);
    case WM_CHAR:
      // A UTF-16 unit (the window is a Unicode one): Latin-1 characters are their own byte, others
      // (both halves of a pair among them) are dropped by the typed-character rule.
      queue_typed_character(w_param);
      return 1;
    case WM_UNICHAR:
      // Answering 1 to the probe says that the window takes these characters; the probe queues nothing.
      if (w_param != UNICODE_NOCHAR) queue_typed_character(w_param);
      return 1;
    case WM_MOUSEMOVE: {
      MOUSE_HANDLER::pointer_event((INT_S16)frame_coordinate((INT_S16)LOWORD(l_param)),
                                   (INT_S16)frame_coordinate((INT_S16)HIWORD(l_param)));
      TRACKMOUSEEVENT track;
      track.cbSize = sizeof(track);
      track.dwFlags = TME_LEAVE;
      track.hwndTrack = window;
      track.dwHoverTime = 0;
      TrackMouseEvent(&track);
      return 1;
    }
    case WM_MOUSELEAVE:
      MOUSE_HANDLER::pointer_left();
      return 1;
    case WM_MOUSEWHEEL:
      MOUSE_HANDLER::add_wheel_delta((INT_S16)HIWORD(w_param));
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      button_message(window, message, l_param, MOUSE_LEFT, message == WM_LBUTTONDOWN);
      return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      button_message(window, message, l_param, MOUSE_RIGHT, message == WM_RBUTTONDOWN);
      return 1;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      button_message(window, message, l_param, MOUSE_MIDDLE, message == WM_MBUTTONDOWN);
      return 1;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP: {
      WORD which = HIWORD(w_param);
      if (which & XBUTTON1) button_message(window, message, l_param, MOUSE_X1, message == WM_XBUTTONDOWN);
      else if (which & XBUTTON2) button_message(window, message, l_param, MOUSE_X2, message == WM_XBUTTONDOWN);
      return 1;
    }
    default:
      return DefWindowProcW(window, message, w_param, l_param);
  }
}

// The thread's key state and its focus change only as it takes messages (the pump, or a message sent to
// the window, a modal box's loop included): what GetFocus and GetKeyState answered is kept until then.
// Under Wine each of them is a call to its server, and every pass asks for several keys.
static INT_U32 input_generation = 1;
static INT_U32 focus_generation = 0;
static bool focus_is_main = false;
static INT_U32 key_generations[256];
static bool keys_down[256];

void host_input_taken() { input_generation++; }

bool host_is_key_down(INT_S32 virtual_key) {
  if (!main_window) return false;
  if (focus_generation != input_generation) {
    focus_is_main = GetFocus() == main_window;
    focus_generation = input_generation;
  }
  if (!focus_is_main) return false;
  if (virtual_key < 0 || virtual_key > 255) return (GetKeyState(virtual_key) & 0x8000) != 0;
  if (key_generations[virtual_key] != input_generation) {
    keys_down[virtual_key] = (GetKeyState(virtual_key) & 0x8000) != 0;
    key_generations[virtual_key] = input_generation;
  }
  return keys_down[virtual_key];
}

char KEYBOARD_HANDLER::key_to_char(INT_S32 virtual_key, INT_U8 shift) {
  static BYTE state[256];
  static bool state_ready = false;
  if (!state_ready) {
    std::memset(state, 0, sizeof(state));
    state_ready = true;
  }
  UINT scan_code = MapVirtualKeyA((UINT)virtual_key, 0);
  state[VK_SHIFT] = shift ? 0x80 : 0;
  WORD output = 0;
  if (ToAscii((UINT)virtual_key, scan_code, state, &output, 0) == 1) return (char)(output & 0xFF);
  return 0;
}

const char* KEYBOARD_HANDLER::get_key_name(INT_S32 virtual_key) {
  static char name[256];
  LONG scan_code = (LONG)MapVirtualKeyA((UINT)virtual_key, 0) << 16;
  if (GetKeyNameTextA(scan_code, name, sizeof(name)) <= 0) name[0] = 0;
  return name;
}

void MOUSE_HANDLER::set_position(INT_S16 x, INT_S16 y) {
  POINT at = {client_coordinate(x), client_coordinate(y)};
  if (main_window && ClientToScreen(main_window, &at)) SetCursorPos(at.x, at.y);
  activity_flag = 1;
}

INT_U8 show_system_cursor(INT_U8 show) {
  activity_flag = 1;
  show = show ? 1 : 0;
  if (show != MOUSE_HANDLER::system_cursor_visible) {
    ShowCursor(show ? TRUE : FALSE);
    MOUSE_HANDLER::system_cursor_visible = show;
  }
  return 1;
}

INT_S32 query_mouse_button_count() { return GetSystemMetrics(SM_CMOUSEBUTTONS); }

INT_U32 query_double_click_time() { return GetDoubleClickTime(); }

// Shows a pointer: hidden while it changes, then one pass of the message pump.
static void show_pointer_shape(HCURSOR cursor) {
  bool visible = MOUSE_HANDLER::system_cursor_visible != 0;
  if (visible) ShowCursor(FALSE);
  HCURSOR previous = SetCursor(cursor);
  if (!pointer_saved) {
    saved_pointer = previous;
    pointer_saved = true;
  }
  if (visible) ShowCursor(TRUE);
  activity_flag = 1;  // the shape changed: this pass does not sleep
  pump_messages();
}

INT_U8 set_mouse_cursor(INT_S8 shape, INT_U8 load_only) {
  if (shape == -1) {
    if (main_window && pointer_saved) show_pointer_shape(saved_pointer);
    for (int i = 1; i < 7; i++) {
      if (pointer_shapes[i]) DestroyCursor(pointer_shapes[i]);
      pointer_shapes[i] = nullptr;
    }
    return 1;
  }
  if (!main_window || shape < 0 || shape > 6) return 0;
  if (!pointer_shapes[shape]) {
    pointer_shapes[shape] = LoadCursorA(instance_handle, MAKEINTRESOURCEA(101 + shape));
    if (!pointer_shapes[shape]) {
      static const LPCSTR system_shapes[7] = {IDC_ARROW, IDC_HAND, IDC_HAND, IDC_SIZEALL, IDC_SIZEALL,
                                              IDC_IBEAM, IDC_WAIT};
      // System cursors are shared: copy them so that releasing the shapes may destroy them.
      HCURSOR system = LoadCursorA(nullptr, system_shapes[shape]);
      pointer_shapes[shape] = system ? (HCURSOR)CopyIcon((HICON)system) : nullptr;
    }
    if (!pointer_shapes[shape]) return 0;
  }
  if (load_only) return 1;
  show_pointer_shape(pointer_shapes[shape]);
  return 1;
}

INT_U8 get_joystick_caps(INT_S32 joystick, JOYSTICK_CAPS* caps) {
  if ((joystick != 1 && joystick != 2) || !caps) return 0;
  JOYCAPSA device;
  // Any answer but success means no joystick (Wine answers differently from Windows here).
  if (joyGetDevCapsA((UINT)(joystick - 1), &device, sizeof(device)) != JOYERR_NOERROR) return 0;
  caps->button_count = (INT_U16)device.wNumButtons;
  caps->x_minimum = device.wXmin;
  caps->x_maximum = device.wXmax;
  caps->y_minimum = device.wYmin;
  caps->y_maximum = device.wYmax;
  caps->z_minimum = device.wZmin;
  caps->z_maximum = device.wZmax;
  caps->r_minimum = device.wRmin;
  caps->r_maximum = device.wRmax;
  caps->u_minimum = device.wUmin;
  caps->u_maximum = device.wUmax;
  caps->v_minimum = device.wVmin;
  caps->v_maximum = device.wVmax;
  caps->has_z = (device.wCaps & JOYCAPS_HASZ) ? 1 : 0;
  caps->has_r = (device.wCaps & JOYCAPS_HASR) ? 1 : 0;
  caps->has_u = (device.wCaps & JOYCAPS_HASU) ? 1 : 0;
  caps->has_v = (device.wCaps & JOYCAPS_HASV) ? 1 : 0;
  caps->has_pov = (device.wCaps & JOYCAPS_HASPOV) ? 1 : 0;
  return 1;
}
