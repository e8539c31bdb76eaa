// Text edit input: the pass's mouse press and drag, the editing keys with Shift selection and Ctrl word
// jumps, typed characters through the filter, the clipboard keys, select all and undo, and the focus
// that selects the whole text.
#include "text_edit.h"

#include "click_sound.h"
#include "host.h"
#include "image.h"
#include "keyboard.h"
#include "page_manager.h"
#include "shell.h"
#include "text_draw.h"

WM_RESULT WM_TEXT_EDIT::call_event() {
  play_click_sound();
  if (!event_callback) return 0;
  return event_callback(this, event_user1, event_user2, 0);
}

void WM_TEXT_EDIT::drop_selection() { selection_start = selection_end = -1; }

void WM_TEXT_EDIT::delete_selection() {
  INT_S16 lo = selection_start < selection_end ? selection_start : selection_end;
  INT_S16 hi = selection_start < selection_end ? selection_end : selection_start;
  INT_S16 length = (INT_S16)text.length();
  if (hi > length) hi = length;
  if (lo < 0) lo = 0;
  if (cursor > lo) cursor = (INT_S16)(cursor - ((hi < cursor ? hi : cursor) - lo));
  if (hi > lo) text.delete_range(lo, hi - 1);
  drop_selection();
}

void WM_TEXT_EDIT::copy_selection() {
  INT_S16 lo = selection_start < selection_end ? selection_start : selection_end;
  INT_S16 hi = selection_start < selection_end ? selection_end : selection_start;
  copy_to_clipboard(text.substring(lo, hi - 1));
}

bool WM_TEXT_EDIT::is_focusable() { return editable && focusable; }

INT_S16 WM_TEXT_EDIT::get_x() { return WM_SCREEN_OBJECT::get_x(); }
INT_S16 WM_TEXT_EDIT::get_y() { return WM_SCREEN_OBJECT::get_y(); }

void WM_TEXT_EDIT::take_focus() {
  bool had_focus = focus_object == this;
  WM_SCREEN_OBJECT::take_focus();
  if (had_focus || focus_object != this) return;
  // The box takes only what is typed while it has the focus.
  KEYBOARD_HANDLER::empty_queue();
  if (!(use_on_screen_keyboard == 1 && !open_keyboard_dialog)) {
    INT_S16 length = (INT_S16)text.length();
    if (length > 0 && !(selection_start == 0 && selection_end == length)) {
      selection_start = 0;
      selection_end = length;
      show();
    }
  }
  focus_text.assign(text.text);
}

INT_S16 WM_TEXT_EDIT::char_index_at(INT_S16 pointer_x) {
  INT_S16 length = (INT_S16)text.length();
  if (pointer_x < x + border_left) return 0;
  if (pointer_x > x + width - border_right - 1) return length;
  INT_S16 first = first_shown_char();
  INT_S32 relative = pointer_x - (x + border_left);
  INT_S32 previous = 0, current = 0;
  INT_S16 i = 0;
  while (first + i < length && relative > current) {
    previous = current;
    i++;
    current = text_width(draw_target, font_id, font_x_size, font_y_size, text.text + first, i, false);
  }
  if (i == 0) return first;
  return current - relative <= relative - previous ? (INT_S16)(first + i) : (INT_S16)(first + i - 1);
}

// ---------------------------------------------------------------------------------------------------
// The pass

// The cursor moves of End, Home, Left and Right with Shift selection: Shift start, the move, Shift end.
static void move_cursor(WM_TEXT_EDIT* box, INT_S32 key, bool shift, bool control) {
  INT_S16 length = (INT_S16)box->text.length();
  const char* t = box->text.text;
  if (shift && box->selection_start == -1) box->selection_start = box->cursor;
  switch (key) {
    case VKEY_END:
      box->cursor = length;
      break;
    case VKEY_HOME:
      box->cursor = 0;
      break;
    case VKEY_LEFT:
      if (box->cursor > 0) box->cursor--;
      // With Ctrl the cursor goes on back to just before a space.
      if (control)
        while (box->cursor > 0 && t[box->cursor] != ' ') box->cursor--;
      break;
    case VKEY_RIGHT:
      if (box->cursor < length) box->cursor++;
      if (control)
        while (box->cursor < length && t[box->cursor] != ' ') box->cursor++;
      break;
  }
  if (shift) {
    box->selection_end = box->cursor;
    if (box->selection_end == box->selection_start) box->drop_selection();
  } else {
    box->drop_selection();
  }
}

WM_RESULT WM_TEXT_EDIT::process() {
  KEYBOARD_HANDLER keyboard;
  MOUSE_HANDLER mouse;

  // A keyboard dialog that was hidden by other means is closed by the next edit box that runs.
  if (open_keyboard_dialog && !open_keyboard_dialog->visible) close_keyboard();
  bool password = (draw_flags & TEXT_EDIT_PASSWORD) != 0;
  if (selection_start != -1 && (password || focus_object != this)) {
    drop_selection();
    show();
  }
  if (!editable || !visible) {
    drag_x = -1;
    return 0;
  }
  WM_RESULT base = WM_SCREEN_OBJECT::process();
  if (base != 0) return base;

  WM_DELETE_GUARD guard(this);
  WM_RESULT result = 0;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  INT_U8 held = (MOUSE_HANDLER::held_buttons & 0x1) ? 1 : 0;
  if (held != button_down) {
    button_down = held;
    if (!held) {
      drag_x = -1;
    } else if (contains_point(px, py)) {
      bool had_focus = focus_object == this;
      take_focus();
      if (guard.deleted) return 0;
      if (had_focus) {
        drop_selection();
        cursor = char_index_at(px);
        show();
      }
      KEYBOARD_HANDLER::empty_queue();
      if (use_on_screen_keyboard == 1 && !open_keyboard_dialog) open_keyboard();
    }
  }

  if (focus_object == this) {
    bool shift = keyboard.is_key_down(VKEY_LSHIFT) || keyboard.is_key_down(VKEY_RSHIFT);
    bool control = keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL);
    bool keyboard_closed = use_on_screen_keyboard == 1 && !open_keyboard_dialog;

    // Drag selection.
    if (held && contains_point(px, py)) {
      if (drag_x == -1) {
        drag_x = px;
      } else if (px != drag_x) {
        if (selection_start == -1) selection_start = char_index_at(drag_x);
        cursor = selection_end = char_index_at(px);
        if (selection_end == selection_start) drop_selection();
        show();
      }
    }

    // Keys: each is taken only by its own row; other keys stay for other objects.
    INT_S32 key = KEYBOARD_HANDLER::last_key;
    switch (key) {
      case VKEY_RETURN:
        // Acted on once it is let go.
        if (keyboard.is_key_down(VKEY_RETURN)) break;
        keyboard.read_key();
        if (use_on_screen_keyboard == 1 && !open_keyboard_dialog) {
          open_keyboard();
        } else {
          if (use_on_screen_keyboard == 1) close_keyboard();
          result = call_event();
          if (guard.deleted) return result;
        }
        show();
        break;
      case VKEY_END:
      case VKEY_HOME:
      case VKEY_LEFT:
      case VKEY_RIGHT:
        keyboard.read_key();
        if (!password) move_cursor(this, key, shift, control);
        show();
        break;
      case VKEY_DELETE:
        keyboard.read_key();
        if (keyboard_closed) break;
        if (selection_start != -1) {
          delete_selection();
        } else if (cursor < text.length()) {
          text.delete_range(cursor, cursor);
        } else {
          show();
          break;
        }
        if (notify_changes) result = call_event();
        if (guard.deleted) return result;
        show();
        break;
      default:
        break;
    }

    // One typed character.
    INT_U8 c = 0;
    if (!(use_on_screen_keyboard == 1 && !open_keyboard_dialog)) c = (INT_U8)keyboard.read_char();
    if (c != 0) {
      bool changed = false;
      bool selected = selection_start != -1;
      INT_S16 length = (INT_S16)text.length();
      if (c == VKEY_BACK) {
        if (selected) {
          delete_selection();
          changed = true;
        } else if (cursor > 0) {
          text.delete_range(cursor - 1, cursor - 1);
          cursor--;
          changed = true;
        }
      } else if (control && c == 'c') {
        if (selected) copy_selection();
      } else if (control && c == 'x') {
        if (selected) {
          copy_selection();
          delete_selection();
          changed = true;
        }
      } else if (control && c == 'v') {
        if (selected) delete_selection();
        VELK_STRING pasted;
        paste_from_clipboard(&pasted);
        VELK_STRING kept;
        kept.reserve(pasted.length() + 1);
        INT_S32 room = max_length - text.length();
        char one[2] = {0, 0};
        for (INT_S32 i = 0; i < pasted.length() && kept.length() < room; i++) {
          one[0] = pasted.text[i];
          if (!char_filter || char_filter((INT_U8)one[0])) kept.append(one);
        }
        text.insert(kept, cursor);
        cursor = (INT_S16)(cursor + kept.length());
        changed = true;
      } else if (control && c == 'a') {
        if (length > 0) {
          selection_start = 0;
          selection_end = length;
        }
      } else if (control && c == 'z') {
        set_text(focus_text.text);
        if (text.length() > 0) {
          selection_start = 0;
          selection_end = (INT_S16)text.length();
        }
        changed = true;
      } else if (c >= 0x20 && c != 0x7F) {
        if (!char_filter || char_filter(c)) {
          if (selected) delete_selection();
          if (text.length() < max_length) {
            char one[2] = {(char)c, 0};
            VELK_STRING inserted;
            inserted.assign(one);
            text.insert(inserted, cursor);
            cursor++;
            changed = true;
          }
        }
      }
      if (changed && notify_changes) result = call_event();
      if (guard.deleted) return result;
      show();
    }
  }

  if (pointer_shapes_enabled && contains_point(px, py) && set_mouse_cursor(POINTER_TEXT, 1) && page_manager)
    page_manager->cursor_request = POINTER_TEXT;
  return result;
}
