// Linux host layer: X events of the main window turned into the library's keyboard and mouse state
// (X key symbols mapped to the Windows virtual-key codes the library compares, dead keys composed),
// pointer shapes and position, key names and characters (US layout), and the joystick query (no
// joystick here).
#include "x11_host.h"
#include "host_private.h"

#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <cstdio>
#include <cstring>
#include <ctime>

static INT_U8 key_down[256];  // held keys by virtual-key code, while the window has the focus
static Cursor pointer_shapes[7];
static bool headless_shapes[7];
static bool pointer_changed = false;  // a shape was set: -1 has something to undo
static Cursor invisible_cursor = 0;

struct KEY_MAP_ROW {
  INT_U32 key_symbol;
  INT_S32 virtual_key;
};

static const KEY_MAP_ROW key_map[] = {
    {XK_BackSpace, VKEY_BACK}, {XK_Tab, VKEY_TAB}, {XK_ISO_Left_Tab, VKEY_TAB}, {XK_Return, VKEY_RETURN},
    {XK_KP_Enter, VKEY_RETURN}, {XK_Pause, VKEY_PAUSE}, {XK_Caps_Lock, VKEY_CAPITAL},
    {XK_Escape, VKEY_ESCAPE}, {XK_space, VKEY_SPACE}, {XK_Prior, VKEY_PRIOR}, {XK_Next, VKEY_NEXT},
    {XK_End, VKEY_END}, {XK_Home, VKEY_HOME}, {XK_Left, VKEY_LEFT}, {XK_Up, VKEY_UP},
    {XK_Right, VKEY_RIGHT}, {XK_Down, VKEY_DOWN}, {XK_Print, VKEY_SNAPSHOT}, {XK_Insert, VKEY_INSERT},
    {XK_Delete, VKEY_DELETE}, {XK_Super_L, VKEY_LWIN}, {XK_Super_R, VKEY_RWIN}, {XK_Menu, VKEY_APPS},
    {XK_KP_Multiply, VKEY_MULTIPLY}, {XK_KP_Add, VKEY_ADD}, {XK_KP_Separator, VKEY_SEPARATOR},
    {XK_KP_Subtract, VKEY_SUBTRACT}, {XK_KP_Decimal, VKEY_DECIMAL}, {XK_KP_Divide, VKEY_DIVIDE},
    {XK_KP_Home, VKEY_HOME}, {XK_KP_End, VKEY_END}, {XK_KP_Prior, VKEY_PRIOR}, {XK_KP_Next, VKEY_NEXT},
    {XK_KP_Left, VKEY_LEFT}, {XK_KP_Up, VKEY_UP}, {XK_KP_Right, VKEY_RIGHT}, {XK_KP_Down, VKEY_DOWN},
    {XK_KP_Insert, VKEY_INSERT}, {XK_KP_Delete, VKEY_DELETE}, {XK_Num_Lock, VKEY_NUMLOCK},
    {XK_Scroll_Lock, VKEY_SCROLL}, {XK_Shift_L, VKEY_LSHIFT}, {XK_Shift_R, VKEY_RSHIFT},
    {XK_Control_L, VKEY_LCONTROL}, {XK_Control_R, VKEY_RCONTROL}, {XK_Alt_L, VKEY_LMENU},
    {XK_Alt_R, VKEY_RMENU}, {XK_ISO_Level3_Shift, VKEY_RMENU}, {XK_semicolon, VKEY_OEM_1},
    {XK_colon, VKEY_OEM_1}, {XK_equal, VKEY_OEM_PLUS}, {XK_plus, VKEY_OEM_PLUS}, {XK_comma, VKEY_OEM_COMMA},
    {XK_less, VKEY_OEM_COMMA}, {XK_minus, VKEY_OEM_MINUS}, {XK_underscore, VKEY_OEM_MINUS},
    {XK_period, VKEY_OEM_PERIOD}, {XK_greater, VKEY_OEM_PERIOD}, {XK_slash, VKEY_OEM_2},
    {XK_question, VKEY_OEM_2}, {XK_grave, VKEY_OEM_3}, {XK_asciitilde, VKEY_OEM_3},
    {XK_bracketleft, VKEY_OEM_4}, {XK_braceleft, VKEY_OEM_4}, {XK_backslash, VKEY_OEM_5},
    {XK_bar, VKEY_OEM_5}, {XK_bracketright, VKEY_OEM_6}, {XK_braceright, VKEY_OEM_6},
    {XK_apostrophe, VKEY_OEM_7}, {XK_quotedbl, VKEY_OEM_7}};

INT_S32 key_symbol_to_virtual_key(INT_U32 key_symbol) {
  if (key_symbol >= XK_a && key_symbol <= XK_z) return (INT_S32)(key_symbol - XK_a + 'A');
  if (key_symbol >= XK_A && key_symbol <= XK_Z) return (INT_S32)(key_symbol - XK_A + 'A');
  if (key_symbol >= XK_0 && key_symbol <= XK_9) return (INT_S32)(key_symbol - XK_0 + '0');
  if (key_symbol >= XK_KP_0 && key_symbol <= XK_KP_9) return (INT_S32)(key_symbol - XK_KP_0 + VKEY_NUMPAD0);
  if (key_symbol >= XK_F1 && key_symbol <= XK_F24) return (INT_S32)(key_symbol - XK_F1 + VKEY_F1);
  // The shifted digits of a US keyboard come from the digit keys.
  static const char shifted_digits[] = ")!@#$%^&*(";
  if (key_symbol < 0x80) {
    const char* at = std::strchr(shifted_digits, (int)key_symbol);
    if (at && key_symbol) return (INT_S32)('0' + (at - shifted_digits));
  }
  for (const KEY_MAP_ROW& row : key_map)
    if (row.key_symbol == key_symbol) return row.virtual_key;
  return 0;
}

// A dead key's mark waits for the next typed character. A letter that Latin-1 holds with the mark takes
// it (acute then e types é); a space types the mark alone; any other character comes after the mark, as
// with X's own composition; a control character (Backspace, Escape, Enter, Control with a key) takes
// the mark back. The same dead key twice types its mark once. Marks that Latin-1 lacks (caron, breve,
// ...) type nothing of their own. This is done here rather than by an input method, so that it works
// in every locale, C included.
struct DEAD_KEY {
  KeySym key;
  INT_U32 mark;          // the mark alone; 0 = none in Latin-1
  const char* bases;     // the letters that take the mark
  const char* composed;  // their Latin-1 letters, in the same order
};

static const DEAD_KEY dead_keys[] = {
    {XK_dead_grave, 0x60, "AEIOUaeiou", "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},
    {XK_dead_acute, 0xB4, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
    {XK_dead_circumflex, 0x5E, "AEIOUaeiou", "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},
    {XK_dead_tilde, 0x7E, "ANOano", "\xC3\xD1\xD5\xE3\xF1\xF5"},
    {XK_dead_diaeresis, 0xA8, "AEIOUaeiouy", "\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF"},
    {XK_dead_abovering, 0xB0, "Aa", "\xC5\xE5"},
    {XK_dead_cedilla, 0xB8, "Cc", "\xC7\xE7"},
    {XK_dead_macron, 0xAF, "", ""},
};
static const DEAD_KEY mark_outside_latin1 = {0, 0, "", ""};
static const DEAD_KEY* pending_dead_key = nullptr;

static bool is_dead_key(KeySym key) { return key >= XK_dead_grave && key <= XK_dead_greek; }

// Windows reports the left and right modifier keys by their common code.
static INT_S32 common_key(INT_S32 virtual_key) {
  if (virtual_key == VKEY_LSHIFT || virtual_key == VKEY_RSHIFT) return VKEY_SHIFT;
  if (virtual_key == VKEY_LCONTROL || virtual_key == VKEY_RCONTROL) return VKEY_CONTROL;
  if (virtual_key == VKEY_LMENU || virtual_key == VKEY_RMENU) return VKEY_MENU;
  return virtual_key;
}

static void key_event(XKeyEvent* key, bool pressed) {
  KeySym base = XLookupKeysym(key, 0);
  char text[8];
  KeySym typed = 0;
  int length = XLookupString(key, text, sizeof(text), &typed, nullptr);
  // Shift+Tab types a tab, as on Windows; X gives its key symbol (ISO_Left_Tab) no text.
  if (length == 0 && typed == XK_ISO_Left_Tab) {
    text[0] = '\t';
    length = 1;
  }
  INT_S32 virtual_key = key_symbol_to_virtual_key((INT_U32)base);
  if (!virtual_key) virtual_key = key_symbol_to_virtual_key((INT_U32)typed);
  INT_S32 common = common_key(virtual_key);
  if (virtual_key > 0 && virtual_key < 256) {
    key_down[virtual_key] = pressed;
    key_down[common] = pressed ? 1 : (key_down[common] && common != virtual_key &&
                                      (key_down[common == VKEY_SHIFT ? VKEY_LSHIFT : common == VKEY_CONTROL
                                                                                        ? VKEY_LCONTROL
                                                                                        : VKEY_LMENU] ||
                                       key_down[common == VKEY_SHIFT ? VKEY_RSHIFT : common == VKEY_CONTROL
                                                                                        ? VKEY_RCONTROL
                                                                                        : VKEY_RMENU]));
  }
  if (!pressed) return;
  if (virtual_key > 0 && virtual_key < 256) {
    host_note_key_press(virtual_key);
    host_note_key_press(common);
  }
  KEYBOARD_HANDLER keyboard;
  if (virtual_key) keyboard.set_key(common);
  bool control = (key->state & ControlMask) != 0, alt = (key->state & Mod1Mask) != 0;
  auto type_character = [&](INT_U32 character) {
    INT_S32 queued = translate_typed_character(character, virtual_key, control, alt);
    if (queued >= 0) keyboard.push_char(queued);
  };
  if (is_dead_key(typed)) {
    const DEAD_KEY* dead = &mark_outside_latin1;
    for (const DEAD_KEY& row : dead_keys)
      if (row.key == typed) dead = &row;
    const DEAD_KEY* before = pending_dead_key;
    pending_dead_key = before == dead ? nullptr : dead;
    if (before && before->mark) type_character(before->mark);
    return;
  }
  // The character comes from the key symbol where that names one: Latin-1 symbols are their own
  // code points and Unicode symbols carry theirs, whatever the locale makes of them in the text
  // (nothing, or UTF-8 bytes). Control characters (Enter, Tab, Ctrl with a key) and keypad digits
  // come from the text; more than one byte of text is a character beyond 8 bits.
  INT_U32 character = 0;
  bool control_text = length == 1 && ((INT_U8)text[0] < 0x20 || text[0] == 0x7F);
  if (!control_text && ((typed >= 0x20 && typed <= 0x7E) || (typed >= 0xA0 && typed <= 0xFF)))
    character = (INT_U32)typed;
  else if (!control_text && (typed & 0xFF000000u) == 0x01000000u) character = (INT_U32)(typed & 0x00FFFFFFu);
  else if (length == 1) character = (INT_U8)text[0];
  else if (length > 1) character = 0x100;
  if (!character) return;
  if (const DEAD_KEY* dead = pending_dead_key) {
    pending_dead_key = nullptr;
    if (control || character < 0x20 || character == 0x7F) {
      // The mark is taken back; the control character goes on alone.
    } else if (character == ' ') {
      if (dead->mark) type_character(dead->mark);
      return;
    } else {
      const char* base = character < 0x80 ? std::strchr(dead->bases, (int)character) : nullptr;
      if (base) {
        type_character((INT_U8)dead->composed[base - dead->bases]);
        return;
      }
      if (dead->mark) type_character(dead->mark);
    }
  }
  type_character(character);
}

static void pointer_moved(int x, int y) { MOUSE_HANDLER::pointer_event((INT_S16)x, (INT_S16)y); }

void handle_x_event(XEvent* event) {
  if (!x_window || event->xany.window != x_window) return;
  MOUSE_HANDLER mouse;
  switch (event->type) {
    case Expose:
      if (repaint_hook)
        repaint_hook((INT_S16)event->xexpose.x, (INT_S16)event->xexpose.y,
                     (INT_S16)(event->xexpose.x + event->xexpose.width - 1),
                     (INT_S16)(event->xexpose.y + event->xexpose.height - 1));
      break;
    case ClientMessage:
      if ((Atom)event->xclient.data.l[0] == x_delete_window)
        host_request_close();
      break;
    case FocusOut:
      std::memset(key_down, 0, sizeof(key_down));
      pending_dead_key = nullptr;
      host_drop_key_presses();
      break;
    case KeyPress:
    case KeyRelease:
      key_event(&event->xkey, event->type == KeyPress);
      break;
    case MotionNotify:
      pointer_moved(event->xmotion.x, event->xmotion.y);
      break;
    case EnterNotify:
      pointer_moved(event->xcrossing.x, event->xcrossing.y);
      break;
    case LeaveNotify:
      MOUSE_HANDLER::pointer_left();
      break;
    case ButtonPress:
    case ButtonRelease: {
      bool pressed = event->type == ButtonPress;
      // The server's time of the event: a click seen passes later keeps the time it was made.
      INT_U32 time = (INT_U32)event->xbutton.time;
      pointer_moved(event->xbutton.x, event->xbutton.y);
      switch (event->xbutton.button) {
        case 1: mouse.button_event(MOUSE_LEFT, pressed, time); break;
        case 2: mouse.button_event(MOUSE_MIDDLE, pressed, time); break;
        case 3: mouse.button_event(MOUSE_RIGHT, pressed, time); break;
        case 4: if (pressed) MOUSE_HANDLER::add_wheel_delta(120); break;
        case 5: if (pressed) MOUSE_HANDLER::add_wheel_delta(-120); break;
        case 8: mouse.button_event(MOUSE_X1, pressed, time); break;
        case 9: mouse.button_event(MOUSE_X2, pressed, time); break;
        default: break;
      }
      break;
    }
    default:
      break;
  }
}

bool host_is_key_down(INT_S32 virtual_key) {
  // X sends key events only to the window with the focus; the held state is dropped when it goes.
  if (!window_open || virtual_key < 0 || virtual_key > 255) return false;
  return key_down[virtual_key] != 0;
}

char KEYBOARD_HANDLER::key_to_char(INT_S32 virtual_key, INT_U8 shift) {
  if (virtual_key >= 'A' && virtual_key <= 'Z') return (char)(shift ? virtual_key : virtual_key + 0x20);
  if (virtual_key >= '0' && virtual_key <= '9') return shift ? ")!@#$%^&*("[virtual_key - '0'] : (char)virtual_key;
  if (virtual_key >= VKEY_NUMPAD0 && virtual_key <= VKEY_NUMPAD0 + 9) return (char)('0' + virtual_key - VKEY_NUMPAD0);
  switch (virtual_key) {
    case VKEY_BACK: return 8;
    case VKEY_TAB: return 9;
    case VKEY_RETURN: return 13;
    case VKEY_ESCAPE: return 27;
    case VKEY_SPACE: return ' ';
    case VKEY_MULTIPLY: return '*';
    case VKEY_ADD: return '+';
    case VKEY_SUBTRACT: return '-';
    case VKEY_DECIMAL: return '.';
    case VKEY_DIVIDE: return '/';
    case VKEY_OEM_1: return shift ? ':' : ';';
    case VKEY_OEM_PLUS: return shift ? '+' : '=';
    case VKEY_OEM_COMMA: return shift ? '<' : ',';
    case VKEY_OEM_MINUS: return shift ? '_' : '-';
    case VKEY_OEM_PERIOD: return shift ? '>' : '.';
    case VKEY_OEM_2: return shift ? '?' : '/';
    case VKEY_OEM_3: return shift ? '~' : '`';
    case VKEY_OEM_4: return shift ? '{' : '[';
    case VKEY_OEM_5: return shift ? '|' : '\\';
    case VKEY_OEM_6: return shift ? '}' : ']';
    case VKEY_OEM_7: return shift ? '"' : '\'';
    default: return 0;
  }
}

const char* KEYBOARD_HANDLER::get_key_name(INT_S32 virtual_key) {
  static char name[256];
  static const struct {
    INT_S32 key;
    const char* name;
  } names[] = {{VKEY_BACK, "Backspace"}, {VKEY_TAB, "Tab"}, {VKEY_RETURN, "Enter"}, {VKEY_SHIFT, "Shift"},
               {VKEY_CONTROL, "Ctrl"}, {VKEY_MENU, "Alt"}, {VKEY_PAUSE, "Pause"}, {VKEY_CAPITAL, "Caps Lock"},
               {VKEY_ESCAPE, "Esc"}, {VKEY_SPACE, "Space"}, {VKEY_PRIOR, "Page Up"}, {VKEY_NEXT, "Page Down"},
               {VKEY_END, "End"}, {VKEY_HOME, "Home"}, {VKEY_LEFT, "Left"}, {VKEY_UP, "Up"},
               {VKEY_RIGHT, "Right"}, {VKEY_DOWN, "Down"}, {VKEY_SNAPSHOT, "Prnt Scrn"}, {VKEY_INSERT, "Insert"},
               {VKEY_DELETE, "Delete"}, {VKEY_LWIN, "Left Windows"}, {VKEY_RWIN, "Right Windows"},
               {VKEY_APPS, "Application"}, {VKEY_MULTIPLY, "Num *"}, {VKEY_ADD, "Num +"},
               {VKEY_SUBTRACT, "Num -"}, {VKEY_DECIMAL, "Num Del"}, {VKEY_DIVIDE, "Num /"},
               {VKEY_NUMLOCK, "Num Lock"}, {VKEY_SCROLL, "Scroll Lock"}, {VKEY_LSHIFT, "Shift"},
               {VKEY_RSHIFT, "Right Shift"}, {VKEY_LCONTROL, "Ctrl"}, {VKEY_RCONTROL, "Right Ctrl"},
               {VKEY_LMENU, "Alt"}, {VKEY_RMENU, "Right Alt"}};
  name[0] = 0;
  if (virtual_key >= VKEY_F1 && virtual_key < VKEY_F1 + 24) {
    std::snprintf(name, sizeof(name), "F%d", (int)(virtual_key - VKEY_F1 + 1));
  } else if (virtual_key >= VKEY_NUMPAD0 && virtual_key <= VKEY_NUMPAD0 + 9) {
    std::snprintf(name, sizeof(name), "Num %d", (int)(virtual_key - VKEY_NUMPAD0));
  } else {
    for (const auto& row : names)
      if (row.key == virtual_key) {
        std::snprintf(name, sizeof(name), "%s", row.name);
        return name;
      }
    char c = key_to_char(virtual_key, 1);
    if (c > ' ') {
      name[0] = c;
      name[1] = 0;
    }
  }
  return name;
}

void MOUSE_HANDLER::set_position(INT_S16 x, INT_S16 y) {
  if (x_display && x_window) {
    XWarpPointer(x_display, None, x_window, 0, 0, 0, 0, x, y);
    XFlush(x_display);
  } else if (window_open) {
    // Headless: there is no pointer to move, so the position is simply taken.
    pointer_x = x;
    pointer_y = y;
  }
  activity_flag = 1;
}

INT_U8 show_system_cursor(INT_U8 show) {
  activity_flag = 1;
  show = show ? 1 : 0;
  if (show != MOUSE_HANDLER::system_cursor_visible) {
    if (x_display && x_window) {
      if (!show) {
        if (!invisible_cursor) {
          static char empty[1] = {0};
          Pixmap blank = XCreateBitmapFromData(x_display, x_window, empty, 1, 1);
          XColor black;
          std::memset(&black, 0, sizeof(black));
          invisible_cursor = XCreatePixmapCursor(x_display, blank, blank, &black, &black, 0, 0);
          XFreePixmap(x_display, blank);
        }
        XDefineCursor(x_display, x_window, invisible_cursor);
      } else if (current_pointer_shape >= 0 && current_pointer_shape <= 6 &&
                 pointer_shapes[current_pointer_shape]) {
        XDefineCursor(x_display, x_window, pointer_shapes[current_pointer_shape]);
      } else {
        XUndefineCursor(x_display, x_window);
      }
      XFlush(x_display);
    }
    MOUSE_HANDLER::system_cursor_visible = show;
  }
  return 1;
}

INT_S32 query_mouse_button_count() {
  if (!x_display) return 3;
  unsigned char map[32];
  return XGetPointerMapping(x_display, map, sizeof(map));
}

// X keeps no setting of its own: the desktops' common default.
INT_U32 query_double_click_time() { return 400; }

void forget_pointer_shapes() {
  for (int i = 0; i < 7; i++) {
    if (pointer_shapes[i] && x_display) XFreeCursor(x_display, pointer_shapes[i]);
    pointer_shapes[i] = 0;
    headless_shapes[i] = false;
  }
  if (invisible_cursor && x_display) XFreeCursor(x_display, invisible_cursor);
  invisible_cursor = 0;
  pointer_changed = false;
}

// One pass of the pump after a visible change, as the window would see it; the pass does not sleep.
static void pump_after_pointer_change() {
  activity_flag = 1;
  pump_messages();
}

INT_U8 set_mouse_cursor(INT_S8 shape, INT_U8 load_only) {
  if (shape == -1) {
    if (window_open && pointer_changed) {
      if (x_display && x_window) XUndefineCursor(x_display, x_window);
      pump_after_pointer_change();
    }
    for (int i = 1; i < 7; i++) {
      if (pointer_shapes[i] && x_display) XFreeCursor(x_display, pointer_shapes[i]);
      pointer_shapes[i] = 0;
      headless_shapes[i] = false;
    }
    return 1;
  }
  if (shape < 0 || shape > 6 || !window_open) return 0;
  static const unsigned int x_shapes[7] = {XC_left_ptr, XC_hand2, XC_hand2, XC_fleur, XC_fleur, XC_xterm, XC_watch};
  if (x_display) {
    if (!pointer_shapes[shape]) pointer_shapes[shape] = XCreateFontCursor(x_display, x_shapes[shape]);
    if (!pointer_shapes[shape]) return 0;
  } else {
    headless_shapes[shape] = true;
  }
  if (load_only) return 1;
  if (x_display && x_window && MOUSE_HANDLER::system_cursor_visible) XDefineCursor(x_display, x_window, pointer_shapes[shape]);
  pointer_changed = true;
  pump_after_pointer_change();
  return 1;
}

INT_U8 get_joystick_caps(INT_S32 joystick, JOYSTICK_CAPS* caps) {
  (void)joystick;
  (void)caps;
  return 0;
}
