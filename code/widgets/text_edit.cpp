// Text edit: construction from a style set or in place through init, the text and its length limit,
// the background frame, the five character filters, and the link with the on-screen keyboard dialog
// that the box opens on a host without a keyboard. Input is in text_edit_input.cpp, drawing in
// text_edit_draw.cpp.
#include "text_edit.h"

#include "border.h"
#include "dialog.h"
#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "keyboard.h"
#include "page_manager.h"
#include "style_set.h"
#include "system_info.h"
#include "text_draw.h"

INT_U8 use_on_screen_keyboard = 0xFF;
WM_KEYBOARD_DIALOG* open_keyboard_dialog = nullptr;

// ---------------------------------------------------------------------------------------------------
// Character filters: letters and digits of the default locale, A to Z, a to z and 0 to 9 only. A
// file or folder name may hold any printable character of the upper half of the 8-bit text
// (Latin-1 letters and signs, 0xA0 to 0xFF): both hosts' file systems take them.

static bool is_letter(INT_U16 c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
static bool is_digit(INT_U16 c) { return c >= '0' && c <= '9'; }
static bool is_one_of(INT_U16 c, const char* set) {
  for (; *set; set++)
    if (c == (INT_U8)*set) return true;
  return false;
}

bool is_text_char(INT_U16 c) {
  return is_letter(c) || is_digit(c) || is_one_of(c, " !#$%()+-.:;=@[]^_`{}~") || (c >= 0xA0 && c <= 0xFF);
}
bool is_numeric_char(INT_U16 c) { return is_digit(c) || is_one_of(c, "+-."); }
bool is_name_char(INT_U16 c) { return is_letter(c) || is_one_of(c, "-'\x7F"); }
bool is_name_char_with_space(INT_U16 c) { return is_name_char(c) || c == ' '; }
bool is_alnum_char_with_space(INT_U16 c) { return is_name_char_with_space(c) || is_digit(c); }

// ---------------------------------------------------------------------------------------------------
// Construction

WM_TEXT_EDIT::WM_TEXT_EDIT(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 max_length_, const char* initial_text,
                           WM_STYLE_SET* style, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(style ? style->visible : (INT_U8)1, callback, user1, user2), max_length(0), cursor(0),
      char_filter(nullptr), editable(1), text_colour(0), background_colour(0), cursor_colour(0), selection_colour(0),
      button_down(0), notify_changes(0), font_id(-1), font_x_size(-1), font_y_size(-1), border_left(0),
      border_right(0), border_top(0), border_bottom(0), selection_start(-1), selection_end(-1), drag_x(-1),
      draw_flags(0), frame(&*image_cache) {
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  if (style->flags & ssf_draw_border) {
    if (style->flags & ssf_indent_border) draw_flags |= TEXT_EDIT_SUNKEN;
    if (style->flags & ssf_outstanding_border) draw_flags |= TEXT_EDIT_RAISED;
  }
  if (style->extended_flags & ssef_te_password) draw_flags |= TEXT_EDIT_PASSWORD;
  if (style->flags & ssf_dont_resize_image) draw_flags |= TEXT_EDIT_DONT_RESIZE_FRAME;
  if (style->flags & ssf_darkened_background) draw_flags |= TEXT_EDIT_DARKENED;
  init(x_, y_, width_, max_length_, initial_text, &style->fg_colour, &style->bg_colour, style->font_id,
       style->font_x_sz, style->font_y_sz, style->border_left_gap, style->border_right_gap, style->border_top_gap,
       style->border_bottom_gap);
  if (style->image_filename) load_frame(style->image_path, style->image_filename, style);
  if (style->object_colour >> 24) colour = style->object_colour;
  if (style->active_text_colour >> 24) cursor_colour = style->active_text_colour;
  if (style->highlight_colour >> 24) selection_colour = style->highlight_colour;
}

WM_TEXT_EDIT::~WM_TEXT_EDIT() {
  // A keyboard dialog opened for this box must not hand its text to it any more: it is closed.
  if (open_keyboard_dialog && open_keyboard_dialog->edit &&
      open_keyboard_dialog->edit->event_user1 == object_handle(this)) {
    open_keyboard_dialog->edit->event_user1 = 0;
    close_keyboard();
  }
  text.clear();
  frame.clear();
}

void WM_TEXT_EDIT::init(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 max_length_, const char* initial_text,
                        const COLOUR* new_text_colour, const COLOUR* new_background_colour, INT_S8 new_font_id,
                        INT_S16 new_font_x_size, INT_S16 new_font_y_size, INT_S16 new_border_left,
                        INT_S16 new_border_right, INT_S16 new_border_top, INT_S16 new_border_bottom) {
  KEYBOARD_HANDLER keyboard;
  if (use_on_screen_keyboard == 0xFF) {
    SYSTEM_INFORMATION information;
    get_system_information(&information);
    use_on_screen_keyboard = information.has_keyboard ? 0 : 1;
  }
  choose_widget_font(new_font_id, new_font_x_size, new_font_y_size, &font_id, &font_x_size, &font_y_size);
  INT_S16 gap = (INT_S16)border_width(1);
  border_left = new_border_left == -1 ? gap : new_border_left;
  border_right = new_border_right == -1 ? gap : new_border_right;
  border_top = new_border_top == -1 ? gap : new_border_top;
  border_bottom = new_border_bottom == -1 ? gap : new_border_bottom;

  x = x_;
  y = y_;
  width = width_;
  height = (INT_S16)(border_top + border_bottom + font_y_size);
  editable = 1;
  selection_start = selection_end = -1;
  max_length = max_length_;
  char_filter = nullptr;
  button_down = 0;
  notify_changes = 0;
  drag_x = -1;
  focusable = 1;
  set_text(initial_text);
  focus_text.clear();

  text_colour = new_text_colour ? *new_text_colour : 0;
  background_colour = new_background_colour ? *new_background_colour : 0;
  cursor_colour = text_colour;
  contrasting_text_colour(&selection_colour, &text_colour);
  if (background_colour >> 24) ensure_colour_contrast(&selection_colour, &background_colour, false);

  kind |= WM_KIND_TEXT_EDIT;
  call_screen_object_created_hook(this);

  // The key that led to the box must not act on it.
  switch (KEYBOARD_HANDLER::last_key) {
    case VKEY_RETURN: case VKEY_END: case VKEY_HOME: case VKEY_LEFT: case VKEY_RIGHT: case VKEY_DELETE:
      keyboard.read_key();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// Text and length

// Keeps the selection inside a text that became shorter; ends that meet are no selection.
static void clamp_selection(WM_TEXT_EDIT* box) {
  INT_S16 length = (INT_S16)box->text.length();
  if (box->selection_start > length) box->selection_start = length;
  if (box->selection_end > length) box->selection_end = length;
  if (box->selection_start == box->selection_end) box->drop_selection();
}

void WM_TEXT_EDIT::set_text(const char* new_text) {
  text.assign(new_text);
  INT_S32 limit = max_length < 0 ? 0 : max_length;
  INT_S32 length = text.length();
  if (length > limit) text.delete_range(limit, length - 1);
  cursor = (INT_S16)text.length();
  clamp_selection(this);
  show();
}

void WM_TEXT_EDIT::set_max_length(INT_S16 n) {
  if (n < 1) return;
  max_length = n;
  INT_S32 length = text.length();
  if (length > n) {
    text.delete_range(n, length - 1);
    cursor = n;
    clamp_selection(this);
  }
  show();
}

// ---------------------------------------------------------------------------------------------------
// Frame

bool WM_TEXT_EDIT::load_frame(const char* path_text, const char* name, WM_STYLE_SET* style) {
  return load_frame_from_style(&frame, path_text, name, style);
}

bool WM_TEXT_EDIT::load_frame(FOLDER* folder, const char* name, WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE];
  return load_frame(FOLDER::portable_text_of(folder, path), name, style);
}

void WM_TEXT_EDIT::clear_frame() { frame.clear(); }

bool WM_TEXT_EDIT::has_frame() { return frame.is_loaded(); }

// ---------------------------------------------------------------------------------------------------
// The on-screen keyboard dialog

void WM_TEXT_EDIT::open_keyboard() {
  if (open_keyboard_dialog || use_on_screen_keyboard == 0) return;
  adjust_default_styles();
  WM_STYLE_SET local;
  WM_STYLE_SET::copy(&local, default_dialog_button_style);
  INT_S32 own_gap = border_width_of_type((INT_S32)local.shading_type);
  if (local.border_left_gap == -1) local.border_left_gap = (INT_S16)own_gap;
  if (local.border_right_gap == -1) local.border_right_gap = (INT_S16)own_gap;
  if (local.border_top_gap == -1) local.border_top_gap = (INT_S16)own_gap;
  if (local.border_bottom_gap == -1) local.border_bottom_gap = (INT_S16)own_gap;
  IMAGE* target = draw_target;
  if (target) {
    if (local.font_id == -1) local.font_id = target->default_font_id;
    if (local.font_x_sz == -1) local.font_x_sz = target->default_font_x_size;
    if (local.font_y_sz == -1) local.font_y_sz = target->default_font_y_size;
  }

  INT_S32 unit = local.border_left_gap + local.border_right_gap +
                 text_width(target, local.font_id, local.font_x_sz, local.font_y_sz, "W", -1, false);
  INT_S32 dialog_width = width > 22 * unit ? width : 22 * unit;
  WM_SCREEN_OBJECT* root = page_manager ? page_manager->get_root() : nullptr;
  if (root && dialog_width > root->get_width()) dialog_width = root->get_width();
  INT_S32 dialog_height = 7 * (local.border_top_gap + local.border_bottom_gap + local.font_y_sz);

  WM_KEYBOARD_DIALOG* dialog = new WM_KEYBOARD_DIALOG(
      -1, -1, (INT_S16)dialog_width, (INT_S16)dialog_height, "Keyboard", text.text, max_length,
      on_keyboard_result, object_handle(this), 0, &local, &local, nullptr, nullptr, nullptr, default_keyboard_layout,
      5, 0, 0, 0);
  open_keyboard_dialog = dialog;
  if (root) root->add_top_level(dialog, false);
}

void WM_TEXT_EDIT::close_keyboard() {
  WM_KEYBOARD_DIALOG* dialog = open_keyboard_dialog;
  if (!dialog) return;
  open_keyboard_dialog = nullptr;
  dialog->close_with_effects(true, false);
}

WM_RESULT WM_TEXT_EDIT::on_keyboard_result(WM_SCREEN_OBJECT* source, INT_U32 user1, INT_U32, int) {
  WM_SCREEN_OBJECT* found = object_from_handle(user1);
  if (!found || !(found->kind & WM_KIND_TEXT_EDIT) || !source || !(source->kind & WM_KIND_TEXT_EDIT)) return 0;
  WM_TEXT_EDIT* target = static_cast<WM_TEXT_EDIT*>(found);
  target->set_text(static_cast<WM_TEXT_EDIT*>(source)->text.text);
  if (!target->notify_changes) return 0;
  return target->call_event();
}
