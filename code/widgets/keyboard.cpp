// On-screen keyboard: the built-in layout, the key grid built from a layout, the four pages chosen by the
// Shift, Caps and Ext latches, keys that type and record virtual keys in the next pass, the selected key
// moved by the real arrow keys, and the keyboard dialog with its own edit box and "Close" button.
#include "keyboard.h"

#include "border.h"
#include "button.h"
#include "grid.h"
#include "image.h"
#include "style_set.h"
#include "text_draw.h"
#include "text_edit.h"

// ---------------------------------------------------------------------------------------------------
// The built-in layout. Rows with gaps hold zero bytes, so each row is a byte array of its key count.

enum : INT_U8 {
  SH = KEY_BYTE_SHIFT, CA = KEY_BYTE_CAPS, EX = KEY_BYTE_EXT, EN = KEY_BYTE_ENTER, DE = KEY_BYTE_DELETE,
  TA = KEY_BYTE_TAB, LE = KEY_BYTE_LEFT, DN = KEY_BYTE_DOWN, UP = KEY_BYTE_UP, RI = KEY_BYTE_RIGHT,
  SP = KEY_BYTE_SPACE, GAP = KEY_BYTE_GAP
};

static const INT_U8 row0_plain[14] = {0x60, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', DE};
static const INT_U8 row0_shifted[14] = {0x60, '!', 0x22, 0xA3, '$', '%', '^', '&', '*', '(', ')', '_', '+', DE};
static const INT_U8 row1_plain[15] = {TA, 'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p', '[', ']', '#', GAP};
static const INT_U8 row1_shifted[15] = {TA, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', '{', '}', '~', GAP};
static const INT_U8 row1_ext[15] = {TA,   0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6,
                                    0xE7, 0xE8, 0xE9, '[',  ']',  '#',  GAP};
static const INT_U8 row1_ext_shifted[15] = {TA,   0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6,
                                            0xC7, 0xC8, 0xC9, '{',  '}',  '~',  GAP};
static const INT_U8 row2_plain[13] = {CA, 'a', 's', 'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', EN};
static const INT_U8 row2_shifted[13] = {CA, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', ':', '@', EN};
static const INT_U8 row2_ext[13] = {CA, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, '\'', EN};
static const INT_U8 row2_ext_shifted[13] = {CA, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, '@', EN};
static const INT_U8 row3_plain[14] = {SH, 'z', 'x', 'c', 'v', 'b', 'n', 'm', ',', '.', '/', '\\', UP, GAP};
static const INT_U8 row3_shifted[14] = {SH, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', '<', '>', '?', '|', UP, GAP};
static const INT_U8 row3_ext[14] = {SH, 0xF4, 0xF5, 0xF6, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, '\\', UP, GAP};
static const INT_U8 row3_ext_shifted[14] = {SH,   0xD4, 0xD5, 0xD6, 0xD8, 0xD9, 0xDA,
                                            0xDB, 0xDC, 0xDD, 0xDE, '|',  UP,   GAP};
static const INT_U8 row4[7] = {EX, GAP, SP, GAP, LE, DN, RI};

const WM_KEYBOARD_LAYOUT built_in_keyboard_layout = {
    5,
    {{14, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4}},
     {15, {3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}},
     {13, {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4}},
     {14, {5, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}},
     {7, {4, 4, 12, 4, 2, 2, 2}}},
    {"<-", "TAB", "SHIFT", "CAPS", "Ext", "Space", "Enter", "<-", "dn", "up", "->"},
    {{row0_plain, row1_plain, row2_plain, row3_plain, row4},
     {row0_shifted, row1_shifted, row2_shifted, row3_shifted, row4},
     {row0_plain, row1_ext, row2_ext, row3_ext, row4},
     {row0_shifted, row1_ext_shifted, row2_ext_shifted, row3_ext_shifted, row4}}};

const WM_KEYBOARD_LAYOUT* default_keyboard_layout = &built_in_keyboard_layout;

// ---------------------------------------------------------------------------------------------------
// The keyboard

// The kind and the label index (into the layout's labels; -1 = the byte itself) of a key byte.
struct KEY_BYTE_INFO {
  INT_U32 kind;
  int label;
};
static KEY_BYTE_INFO key_byte_info(INT_U8 b) {
  switch (b) {
    case KEY_BYTE_DELETE: return {KEY_KIND_DELETE, 0};
    case KEY_BYTE_TAB: return {KEY_KIND_TAB, 1};
    case KEY_BYTE_SHIFT: return {KEY_KIND_SHIFT, 2};
    case KEY_BYTE_CAPS: return {KEY_KIND_CAPS, 3};
    case KEY_BYTE_EXT: return {KEY_KIND_EXT, 4};
    case KEY_BYTE_SPACE: return {KEY_KIND_CHARACTER, 5};
    case KEY_BYTE_ENTER: return {KEY_KIND_ENTER, 6};
    case KEY_BYTE_LEFT: return {KEY_KIND_LEFT, 7};
    case KEY_BYTE_DOWN: return {KEY_KIND_DOWN, 8};
    case KEY_BYTE_UP: return {KEY_KIND_UP, 9};
    case KEY_BYTE_RIGHT: return {KEY_KIND_RIGHT, 10};
    default: return {KEY_KIND_CHARACTER, -1};
  }
}

WM_KEYBOARD::WM_KEYBOARD(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* key_style,
                         const WM_KEYBOARD_LAYOUT* layout_, INT_U8 key_event_mask_, INT_U8 key_slide_press_,
                         INT_U8 key_hints_)
    : WM_SCREEN_OBJECT(1, nullptr, 0, 0), layout(layout_ ? layout_ : default_keyboard_layout), grid(nullptr),
      pending_key(-1), pending_char(0), shift(0), caps(0), ext(0), key_slide_press(key_slide_press_),
      selected_row(-1), selected_column(-1), key_event_mask(key_event_mask_), key_hints(key_hints_) {
  x = x1;
  y = y1;
  width = (INT_S16)(x2 - x1 + 1);
  height = (INT_S16)(y2 - y1 + 1);

  // The grid's own style: no background, one pixel between keys.
  WM_STYLE_SET grid_style;
  grid_style.bg_colour = COLOUR_INVISIBLE;
  grid_style.shading_flags = 15;
  grid_style.flags = 0;
  grid_style.font_id = -1;
  grid_style.font_x_sz = grid_style.font_y_sz = -1;
  grid_style.border_left_gap = grid_style.border_right_gap = grid_style.border_top_gap = grid_style.border_bottom_gap = -1;
  grid_style.cell_left_gap = grid_style.cell_right_gap = grid_style.cell_top_gap = grid_style.cell_bottom_gap = -1;
  grid_style.x_spacing = 1;
  grid_style.y_spacing = 1;
  grid_style.scrollbar_slider_width = 25;
  INT_S16 rows = layout->row_count > KEYBOARD_MAX_ROWS ? (INT_S16)KEYBOARD_MAX_ROWS : layout->row_count;
  grid = new WM_GRID(0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1), layout->rows[0].key_count,
                     layout->rows[0].weights, &grid_style, &grid_style);
  // The rows share the grid's height: a resize to its own size lays them out.
  grid->rows_per_page = rows;
  grid->width--;
  grid->resize((INT_S16)(grid->width + 1), grid->height, true);
  add_child(grid, true);

  for (INT_S16 r = 0; r < rows; r++) {
    const WM_KEYBOARD_ROW& row = layout->rows[r];
    INT_S16 count = row.key_count > KEYBOARD_MAX_KEYS ? (INT_S16)KEYBOARD_MAX_KEYS : row.key_count;
    grid->set_columns(count, row.weights);
    for (INT_S16 c = 0; c < count; c++) {
      WM_BUTTON* key =
          grid->add_button(c, r, "", key_style, on_key, KEY_KIND_CHARACTER, object_handle(this), key_event_mask);
      if (!key) continue;
      key->click_user1 = 0x20;
      key->state_function = key_state_of;
      key->state_user = this;
      key->state = key_state_of(key, this) ? 1 : 0;
      key->slide_select = key_slide_press;
    }
  }
  relabel();
  kind |= WM_KIND_KEYBOARD;
  call_screen_object_created_hook(this);
}

WM_KEYBOARD::~WM_KEYBOARD() {}

int WM_KEYBOARD::page() const {
  int p = (shift != 0) != (caps != 0) ? 1 : 0;
  if (ext) p += 2;
  return p;
}

WM_BUTTON* WM_KEYBOARD::key_at(INT_S16 column, INT_S16 row) {
  WM_SCREEN_OBJECT* object = grid ? grid->cell(column, row) : nullptr;
  return object && (object->kind & WM_KIND_BUTTON) ? static_cast<WM_BUTTON*>(object) : nullptr;
}

void WM_KEYBOARD::relabel() {
  int p = page();
  INT_S16 rows = layout->row_count > KEYBOARD_MAX_ROWS ? (INT_S16)KEYBOARD_MAX_ROWS : layout->row_count;
  for (INT_S16 r = 0; r < rows; r++) {
    INT_S16 count = layout->rows[r].key_count > KEYBOARD_MAX_KEYS ? (INT_S16)KEYBOARD_MAX_KEYS : layout->rows[r].key_count;
    const INT_U8* bytes = layout->pages[p][r];
    for (INT_S16 c = 0; c < count; c++) {
      WM_BUTTON* key = key_at(c, r);
      if (!key) continue;
      key->event_mask = key_event_mask;
      key->slide_select = key_slide_press;
      INT_U8 b = bytes ? bytes[c] : 0;
      char own_label[2] = {(char)b, 0};
      const char* label = own_label;
      if (b == KEY_BYTE_GAP) {
        key->hide(false, false);
        key->event_user1 = KEY_KIND_CHARACTER;
        key->click_user1 = 0;
        label = "";
      } else {
        KEY_BYTE_INFO info = key_byte_info(b);
        key->event_user1 = info.kind;
        key->click_user1 = info.kind == KEY_KIND_CHARACTER ? b : 0;
        if (info.label >= 0) label = layout->labels[info.label] ? layout->labels[info.label] : "";
        if (info.kind == KEY_KIND_ENTER) {
          key->event_mask = BUTTON_EVENT_CLICK;
          if (selected_column == -1) {
            selected_column = c;
            selected_row = r;
          }
        }
      }
      key->set_text(label, false);
      if (key_hints) {
        key->set_hint(label);
        key->hint_mode = 1;
      }
    }
  }
  if (selected_column == -1) selected_column = selected_row = 0;
  WM_BUTTON* selected = key_at(selected_column, selected_row);
  if (selected) selected->selected = 1;
}

WM_RESULT WM_KEYBOARD::on_key(WM_SCREEN_OBJECT* key, INT_U32 kind, INT_U32 keyboard_handle, int) {
  WM_SCREEN_OBJECT* found = object_from_handle(keyboard_handle);
  if (!found || !(found->kind & WM_KIND_KEYBOARD)) return 0;
  WM_KEYBOARD* keyboard = static_cast<WM_KEYBOARD*>(found);
  bool release_shift = false;
  switch (kind) {
    case KEY_KIND_CHARACTER:
      keyboard->pending_char = (INT_U8)key->click_user1;
      release_shift = true;
      break;
    case KEY_KIND_DELETE:
      keyboard->pending_key = VKEY_BACK;
      keyboard->pending_char = 0x08;
      release_shift = true;
      break;
    case KEY_KIND_TAB:
      keyboard->pending_key = VKEY_TAB;
      keyboard->pending_char = 0x09;
      release_shift = true;
      break;
    case KEY_KIND_ENTER:
      keyboard->pending_key = VKEY_RETURN;
      keyboard->pending_char = 0x0A;
      break;
    case KEY_KIND_LEFT: keyboard->pending_key = VKEY_LEFT; break;
    case KEY_KIND_DOWN: keyboard->pending_key = VKEY_DOWN; break;
    case KEY_KIND_UP: keyboard->pending_key = VKEY_UP; break;
    case KEY_KIND_RIGHT: keyboard->pending_key = VKEY_RIGHT; break;
    case KEY_KIND_CAPS:
      keyboard->caps = !keyboard->caps;
      keyboard->pending_key = VKEY_CAPITAL;
      keyboard->relabel();
      break;
    case KEY_KIND_SHIFT:
      keyboard->shift = !keyboard->shift;
      keyboard->pending_key = VKEY_LSHIFT;
      keyboard->relabel();
      break;
    case KEY_KIND_EXT:
      keyboard->ext = !keyboard->ext;
      keyboard->relabel();
      break;
    default:
      break;
  }
  // Shift acts on the next character, delete or Tab only.
  if (release_shift && keyboard->shift) {
    keyboard->shift = 0;
    keyboard->relabel();
  }
  return 0;
}

bool WM_KEYBOARD::key_state_of(WM_BUTTON* key, void* user) {
  WM_KEYBOARD* keyboard = static_cast<WM_KEYBOARD*>(user);
  if (!key || !keyboard) return false;
  switch (key->event_user1) {
    case KEY_KIND_CAPS: return keyboard->caps != 0;
    case KEY_KIND_SHIFT: return keyboard->shift != 0;
    case KEY_KIND_EXT: return keyboard->ext != 0;
    default: return false;
  }
}

void WM_KEYBOARD::set_enter_enabled(bool on) {
  INT_U8 value = on ? 1 : 0;
  if (!grid) return;
  for (INT_S16 r = 0; r < grid->row_count; r++)
    for (INT_S16 c = 0; c < KEYBOARD_MAX_KEYS; c++) {
      WM_BUTTON* key = key_at(c, r);
      if (!key || key->event_user1 != KEY_KIND_ENTER || key->enabled == value) continue;
      if (key->visible) key->show();
      if (!value) key->armed = 0;
      key->enabled = value;
    }
}

bool WM_KEYBOARD::enter_enabled() {
  if (!grid) return false;
  for (INT_S16 r = 0; r < grid->row_count; r++)
    for (INT_S16 c = 0; c < KEYBOARD_MAX_KEYS; c++) {
      WM_BUTTON* key = key_at(c, r);
      if (key && key->event_user1 == KEY_KIND_ENTER && key->enabled) return true;
    }
  return false;
}

WM_RESULT WM_KEYBOARD::process() {
  KEYBOARD_HANDLER keyboard;
  // What a key left pending reaches the keyboard state now; no key is handled in such a pass.
  if (pending_key != -1) {
    keyboard.set_key(pending_key);
    if (pending_char != 0) keyboard.push_char((INT_S32)pending_char);
    pending_char = 0;
    pending_key = -1;
    return 0;
  }
  if (pending_char != 0) {
    keyboard.push_char((INT_S32)pending_char);
    pending_char = 0;
    pending_key = -1;
    return 0;
  }
  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (guard.deleted) return result;

  // The real arrow keys move the selected key.
  int direction;
  switch (KEYBOARD_HANDLER::last_key) {
    case VKEY_LEFT: direction = 0; break;
    case VKEY_RIGHT: direction = 1; break;
    case VKEY_UP: direction = 2; break;
    case VKEY_DOWN: direction = 3; break;
    default: return result;
  }
  keyboard.read_key();
  INT_S16 column = selected_column, row = selected_row;
  WM_SCREEN_OBJECT* next = grid ? grid->next_focusable_cell((INT_U8)direction, selected_column, selected_row, &column,
                                                            &row, false)
                                : nullptr;
  if (next && (next->kind & WM_KIND_BUTTON) && !static_cast<WM_BUTTON*>(next)->selected) {
    static_cast<WM_BUTTON*>(next)->selected = 1;
    next->show();
    WM_BUTTON* old = key_at(selected_column, selected_row);
    if (old) {
      old->selected = 0;
      old->show();
    }
    selected_column = column;
    selected_row = row;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------------
// The keyboard dialog

// A border gap as stored, 65535 taking the border width of the style's shading type.
static INT_S16 gap_or_border(INT_S16 gap, const WM_STYLE_SET& style) {
  return gap == -1 ? (INT_S16)border_width_of_type((INT_S32)style.shading_type) : gap;
}

WM_KEYBOARD_DIALOG::WM_KEYBOARD_DIALOG(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* title_,
                                       const char* text, INT_S16 max_length, WM_EVENT_CALLBACK edit_callback,
                                       INT_U32 edit_user1, INT_U32 edit_user2, WM_STYLE_SET* keyboard_style,
                                       WM_STYLE_SET* edit_style, WM_STYLE_SET* window_style_,
                                       WM_STYLE_SET* title_style_, WM_STYLE_SET* button_style_,
                                       const WM_KEYBOARD_LAYOUT* layout, INT_U8 key_event_mask, INT_U8 close_deletes,
                                       INT_U8 key_slide_press, INT_U8 key_hints)
    : WM_DIALOG(x_, y_, width_, height_, title_, window_style_, title_style_, button_style_, nullptr), edit(nullptr),
      keyboard(nullptr), close_button(nullptr) {
  const WM_STYLE_SET& w = window_style;
  INT_S16 cw = (INT_S16)(width - w.border_left_gap - w.border_right_gap - w.cell_left_gap - w.cell_right_gap);
  INT_S16 ch = (INT_S16)(height - client_top() - w.border_bottom_gap - w.cell_bottom_gap);
  INT_S16 gy = w.y_spacing;

  const WM_STYLE_SET& b = button_style;
  INT_S16 bt = gap_or_border(b.border_top_gap, b), bb = gap_or_border(b.border_bottom_gap, b);
  INT_S16 bl = gap_or_border(b.border_left_gap, b), br = gap_or_border(b.border_right_gap, b);
  IMAGE* target = draw_target;
  INT_S16 fh = b.font_y_sz == -1 && target ? target->default_font_y_size : b.font_y_sz;
  INT_S16 tw = (INT_S16)text_width(target, b.font_id, b.font_x_sz, b.font_y_sz, "Close", -1, false);
  INT_S16 button_height = (INT_S16)(bt + bb + fh);

  edit = new WM_TEXT_EDIT(0, 0, (INT_S16)(cw - 1), max_length, text, edit_style, edit_callback, edit_user1, edit_user2);
  keyboard = new WM_KEYBOARD(0, (INT_S16)(edit->get_height() + gy), (INT_S16)(cw - 1),
                             (INT_S16)(ch - 2 * gy - button_height - 1), keyboard_style, layout, key_event_mask,
                             key_slide_press, key_hints);
  add_child(keyboard, true);
  add_child(edit, true);

  close_button = new WM_BUTTON((INT_S16)(cw - (tw + bl + br) - 1), (INT_S16)(ch - gy - button_height - 1),
                               (INT_S16)(cw - 1), (INT_S16)(ch - gy - 1), &button_style, "Close", "", on_close,
                               close_deletes ? WM_RESULT_REMOVE : WM_RESULT_CLOSE_DIALOG, 0, BUTTON_EVENT_CLICK);
  add_child(close_button, true);
  kind |= WM_KIND_KEYBOARD_DIALOG;
  call_screen_object_created_hook(this);
}

WM_KEYBOARD_DIALOG::~WM_KEYBOARD_DIALOG() {
  // However the dialog goes, no edit box may reach it afterwards.
  if (open_keyboard_dialog == this) open_keyboard_dialog = nullptr;
}

WM_RESULT WM_KEYBOARD_DIALOG::on_close(WM_SCREEN_OBJECT*, INT_U32 user1, INT_U32, int) { return (WM_RESULT)user1; }
