// Confirmation boxes: the dialog with a message window or centred text lines, the button row laid out from
// the button style's gaps and font (one centred button, two in thirds, or three with the third alone at
// the left), and the message, given or read from a text file, which the box grows to show whole.
#include "confirm.h"

#include <algorithm>

#include "border.h"
#include "button.h"
#include "host.h"
#include "image.h"
#include "screen_image.h"
#include "script.h"
#include "text_draw.h"
#include "text_win.h"

// A gap of the button style; -1 is the border width of its shading type.
static INT_S16 resolved_gap(const WM_STYLE_SET& style, INT_S16 gap) {
  return gap == -1 ? (INT_S16)border_width_of_type((INT_S32)style.shading_type) : gap;
}

INT_S16 WM_CONFIRM::button_horizontal_gaps() {
  return (INT_S16)(resolved_gap(button_style, button_style.border_left_gap) +
                   resolved_gap(button_style, button_style.border_right_gap));
}

INT_S16 WM_CONFIRM::button_vertical_gaps() {
  return (INT_S16)(resolved_gap(button_style, button_style.border_top_gap) +
                   resolved_gap(button_style, button_style.border_bottom_gap));
}

INT_S16 WM_CONFIRM::button_font_height() {
  if (button_style.font_y_sz != -1) return button_style.font_y_sz;
  return draw_target ? draw_target->default_font_y_size : 22;
}

INT_S16 WM_CONFIRM::client_width() {
  const WM_STYLE_SET& s = window_style;
  return (INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap);
}

// A label's width in the button style's font; a null label measures 0.
static INT_S32 label_width(WM_STYLE_SET* style, const char* label) {
  if (!label) return 0;
  return text_width(draw_target, style->font_id, style->font_x_sz, style->font_y_sz, label, -1, false);
}

WM_CONFIRM::WM_CONFIRM(INT_S16 width_, INT_S16 height_, const char* title_text, const char* label1,
                       const char* label2, const char* label3, INT_U8 visible_, WM_EVENT_CALLBACK callback1,
                       INT_U32 user1_1, INT_U32 user2_1, WM_EVENT_CALLBACK callback2, INT_U32 user1_2,
                       INT_U32 user2_2, WM_EVENT_CALLBACK callback3, INT_U32 user1_3, INT_U32 user2_3, INT_S16 x_,
                       INT_S16 y_, INT_S16 count, INT_S16 capacity, WM_DIALOG_EFFECTS* effects_)
    : WM_DIALOG(x_, y_, width_, height_, title_text, nullptr, nullptr, nullptr, effects_), text(nullptr),
      buttons{nullptr, nullptr, nullptr} {
  invalidate();
  visible = needs_draw = visible_;
  INT_S16 text_height = 0;
  create_text(&text_height, capacity);
  create_buttons(text_height, count, label1, label2, label3, callback1, user1_1, user2_1, callback2, user1_2, user2_2,
                 callback3, user1_3, user2_3);
  finish();
}

WM_CONFIRM::WM_CONFIRM(INT_S16 width_, INT_S16 height_, const char* title_text, const char* label1,
                       const char* label2, INT_U8 visible_, WM_EVENT_CALLBACK callback1, INT_U32 user1_1,
                       INT_U32 user2_1, WM_EVENT_CALLBACK callback2, INT_U32 user1_2, INT_U32 user2_2, INT_S16 x_,
                       INT_S16 y_, INT_U8 one_button, INT_S16 capacity, WM_DIALOG_EFFECTS* effects_)
    : WM_CONFIRM(width_, height_, title_text, label1, label2, nullptr, visible_, callback1, user1_1, user2_1, callback2,
                 user1_2, user2_2, nullptr, 0, 0, x_, y_, (INT_S16)(one_button ? 1 : 2), capacity, effects_) {}

WM_CONFIRM::WM_CONFIRM(INT_S16 width_, INT_S16 height_, const char* title_text, INT_U8 visible_,
                       WM_EVENT_CALLBACK callback, INT_U32 user1, INT_S16 x_, INT_S16 y_, INT_U8 one_button,
                       INT_S16 capacity, WM_DIALOG_EFFECTS* effects_)
    : WM_CONFIRM(width_, height_, title_text, one_button ? "Close" : "Yes", one_button ? nullptr : "No", nullptr,
                 visible_, callback, user1, 1, callback, user1, 0, nullptr, 0, 0, x_, y_, (INT_S16)(one_button ? 1 : 2),
                 capacity, effects_) {}

WM_CONFIRM::WM_CONFIRM(INT_S16 x_, INT_S16 y_, const char* title_text, const char** lines, INT_S16 line_count,
                       INT_U8 visible_, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U8 one_button,
                       WM_DIALOG_EFFECTS* effects_)
    : WM_DIALOG(x_, y_, 150, draw_target ? draw_target->default_font_y_size : 22, title_text, nullptr, nullptr,
                nullptr, effects_),
      text(nullptr), buttons{nullptr, nullptr, nullptr} {
  invalidate();
  visible = needs_draw = visible_;
  IMAGE* target = draw_target;
  const INT_S16 fh0 = target ? target->default_font_y_size : 22;
  const INT_S16 n = line_count < 0 ? (INT_S16)0 : line_count;
  const WM_STYLE_SET& s = window_style;
  INT_S32 box_height =
      (client_top() + s.border_bottom_gap + s.cell_bottom_gap) + (n + 2) * fh0 + button_vertical_gaps() + button_font_height();
  INT_S32 box_width = 150;
  for (INT_S16 i = 0; i < n; i++) {
    INT_S32 w = text_width(target, -1, -1, -1, lines[i] ? lines[i] : "", -1, false) + 40;
    if (w > box_width) box_width = w;
  }
  INT_S32 three_close = 3 * (button_horizontal_gaps() + label_width(&button_style, "Close"));
  if (three_close > box_width) box_width = three_close;
  resize((INT_S16)box_width, (INT_S16)box_height, true);
  if (x_ == -1) {
    move_to((INT_S16)((get_screen_width(0) - width) / 2), get_y());
    if (visible) show();
  }
  if (y_ == -1) {
    move_to(get_x(), (INT_S16)((get_screen_height(0) - height) / 2));
    if (visible) show();
  }
  const INT_S16 cw = client_width();
  COLOUR none = COLOUR_INVISIBLE;
  for (INT_S16 i = 0; i < n; i++) {
    const char* line = lines[i] ? lines[i] : "";
    INT_S32 w = text_width(target, -1, -1, -1, line, -1, false);
    WM_SCRIPT* script = new WM_SCRIPT(1, nullptr, 0, 0);
    script->init((INT_S16)((cw - w) / 2), (INT_S16)(fh0 * (i + 1)), -1, -1, line, -1, -1, -1, &window_style.fg_colour,
                 &none, 0, 0, 0, 0, -1, -1);
    add_child(script, true);
  }
  create_buttons((INT_S16)((n + 2) * fh0), (INT_S16)(one_button ? 1 : 2), one_button ? "Close" : "Yes",
                 one_button ? nullptr : "No", nullptr, callback, user1, 1, callback, user1, 0, nullptr, 0, 0);
  finish();
}

WM_CONFIRM::~WM_CONFIRM() {}

WM_SCREEN_OBJECT* WM_CONFIRM::first_focus() {
  for (WM_BUTTON* button : buttons)
    if (button && button->hot_key == VKEY_ESCAPE) return button;
  return nullptr;
}

void WM_CONFIRM::finish() {
  kind |= WM_KIND_CONFIRM;
  call_screen_object_created_hook(this);
}

// ---------------------------------------------------------------------------------------------------
// The message window and the buttons

void WM_CONFIRM::create_text(INT_S16* text_height, INT_S16 capacity) {
  const WM_STYLE_SET& s = window_style;
  INT_S16 height_left = (INT_S16)((height - client_top() - s.border_bottom_gap - s.cell_bottom_gap) -
                                  (button_vertical_gaps() + button_font_height()));
  if (text_height) *text_height = height_left;
  text = new WM_TEXT_WIN(10, 10, (INT_S16)(client_width() - 10), (INT_S16)(height_left - 10), 2, capacity, 15,
                         &window_style.bg_colour, &button_style.fg_colour, &button_style.fg_colour, false, true,
                         nullptr, 0, 0);
  text->show_from_start = 1;
  text->drawing_flags = TWF_LEFT_JUSTIFY | TWF_TOP_ALIGN;
  add_child(text, true);
}

// The space kept between two answers, and between an answer and the client's edge, where the answers
// do not fit the box's own layout.
static const INT_S32 ANSWER_GAP = 10;

// The left edges of made buttons each bw + 1 wide in a client cw wide, as the box lays them out: one
// centred, two in thirds, or the third alone at the left and the first two at the right, hg apart;
// false when they would run into one another or past the client's edges.
static bool answer_places(INT_S32 cw, INT_S32 bw, INT_S32 hg, INT_S16 made, INT_S32* left) {
  left[0] = (cw - bw) / 2;
  if (made == 2) {
    left[0] = (cw - 2 * bw) / 3;
    left[1] = 2 * (cw - 2 * bw) / 3 + bw;
  } else if (made == 3) {
    left[0] = cw - 2 * bw - hg - 11;
    left[1] = cw - bw - 11;
    left[2] = 10;
  }
  // In reading order, each one clear of the one before.
  static const INT_S16 order[2][3] = {{0, 1, 2}, {2, 0, 1}};
  INT_S32 free_from = 0;
  for (INT_S16 i = 0; i < made; i++) {
    INT_S32 at = left[order[made == 3][i]];
    if (at < free_from) return false;
    free_from = at + bw + 1;
  }
  return free_from <= cw;
}

void WM_CONFIRM::wrap_answers(WM_BUTTON* const* row, INT_S16 made) {
  INT_S32 lines = 1;
  TEXT_LINE laid_out[TEXT_MAX_LINES];
  for (INT_S16 i = 0; i < made; i++) {
    WM_BUTTON* b = row[i];
    INT_S32 room = b->width - b->left_gap - b->right_gap;
    if (!b->label || text_width(draw_target, b->font_id, b->font_x_size, b->font_y_size, b->label, -1, false) <= room)
      continue;
    INT_S32 count = layout_text_in_box(draw_target, room, TEXT_MAX_LINES, b->font_id, b->font_x_size,
                                       b->font_y_size, b->label, laid_out);
    if (count < 2) continue;
    b->button_flags |= bf_wrap_text;
    if (count > lines) lines = count;
  }
  // The row and the box grow for the lines, as far as the screen's height allows (a label cut there
  // ends in an ellipsis).
  INT_S32 grown = std::min((lines - 1) * (INT_S32)button_font_height(), (INT_S32)get_screen_height(0) - height);
  if (grown <= 0) return;
  for (INT_S16 i = 0; i < made; i++) row[i]->resize(row[i]->width, (INT_S16)(row[i]->height + grown), true);
  grow(0, grown);
}

// Where a box that grew by grown pixels along an axis starts: its middle kept, within the screen.
static INT_S32 kept_middle(INT_S32 start, INT_S32 grown, INT_S32 size, INT_S32 screen) {
  INT_S32 at = start - grown / 2;
  if (at > screen - size) at = screen - size;
  return at < 0 ? 0 : at;
}

void WM_CONFIRM::grow(INT_S32 wider, INT_S32 taller) {
  INT_S32 left = get_x(), top = get_y();
  resize((INT_S16)(width + wider), (INT_S16)(height + taller), true);
  if (wider) left = kept_middle(left, wider, width, get_screen_width(0));
  if (taller) top = kept_middle(top, taller, height, get_screen_height(0));
  move_to((INT_S16)left, (INT_S16)top);
  if (visible) show();
}

void WM_CONFIRM::create_buttons(INT_S16 y_, INT_S16 count, const char* label1, const char* label2,
                                const char* label3, WM_EVENT_CALLBACK callback1, INT_U32 user1_1, INT_U32 user2_1,
                                WM_EVENT_CALLBACK callback2, INT_U32 user1_2, INT_U32 user2_2,
                                WM_EVENT_CALLBACK callback3, INT_U32 user1_3, INT_U32 user2_3) {
  const INT_S32 hg = button_horizontal_gaps();
  const char* labels[3] = {label1, label2, label3};
  const INT_S16 made = count == 2 || count == 3 ? count : (INT_S16)1;
  const INT_S32 least = hg + label_width(&button_style, "Close");
  INT_S32 bw = least;
  for (INT_S16 i = 0; i < made; i++)
    if (hg + label_width(&button_style, labels[i]) > bw) bw = hg + label_width(&button_style, labels[i]);
  INT_S32 left[3] = {0, 0, 0};
  INT_S32 cw = client_width();
  // Answers too long for the box widen it, up to the screen's width, its middle staying where it was
  // within the screen; the message window widens with it.
  if (!answer_places(cw, bw, hg, made, left)) {
    INT_S32 wanted = made * (bw + 1) + (made + 1) * ANSWER_GAP + (made == 3 ? hg : 0);
    INT_S32 screen_width = get_screen_width(0);
    INT_S32 grown = std::min(wanted - cw, screen_width - width);
    if (grown > 0) {
      grow(grown, 0);
      if (text) text->resize((INT_S16)(text->width + grown), text->height, true);
      cw = client_width();
    }
  }
  const bool own_layout = answer_places(cw, bw, hg, made, left);
  const WM_EVENT_CALLBACK callbacks[3] = {callback1, callback2, callback3};
  const INT_U32 user1[3] = {user1_1, user1_2, user1_3}, user2[3] = {user2_1, user2_2, user2_3};
  const INT_S16 y2 = (INT_S16)(y_ + button_vertical_gaps() + button_font_height());
  for (INT_S16 i = 0; i < made; i++) {
    buttons[i] = new WM_BUTTON((INT_S16)left[i], y_, (INT_S16)(left[i] + bw), y2, &button_style, labels[i], nullptr,
                               callbacks[i], user1[i], user2[i], BUTTON_EVENT_CLICK);
    buttons[i]->focusable = 1;  // Enter or Space presses the one with the focus
  }
  // Added left to right, the order in which Tab goes.
  static const INT_S16 order[2][3] = {{0, 1, 2}, {2, 0, 1}};
  WM_BUTTON* row[3] = {nullptr, nullptr, nullptr};
  for (INT_S16 i = 0; i < made; i++) row[i] = buttons[order[made == 3][i]];
  if (!own_layout) {
    // Still too long for the widest box: each answer keeps a place of its own in the row, the longest
    // narrowed to the room left, as evenly spaced as the room allows, and wrapped onto the lines it needs.
    fit_buttons_in_row(row, made, cw - (made + 1) * ANSWER_GAP, least);
    INT_S32 used = 0;
    for (INT_S16 i = 0; i < made; i++) used += row[i]->width;
    INT_S32 space = (cw - used) / (made + 1), at = space;
    for (INT_S16 i = 0; i < made; i++) {
      row[i]->move_to((INT_S16)at, y_);
      at += row[i]->width + space;
    }
    wrap_answers(row, made);
  }
  for (INT_S16 i = 0; i < made; i++) add_child(row[i], true);
  // Escape answers as the last button does: No, or a box's one answer. Of three answers the box cannot
  // tell which one cancels, and leaves Escape to its owner.
  if (made <= 2) buttons[made - 1]->set_hot_key(VKEY_ESCAPE);
}

bool WM_CONFIRM::load_text_file(FOLDER* folder, const char* name) {
  if (!text) return false;
  bool added = text->load_text_file(folder, name, &window_style.fg_colour);
  grow_to_text();
  return added;
}

bool WM_CONFIRM::add_message(const char* message) {
  if (!text || !message) return false;
  text->add_text(message, nullptr, &window_style.fg_colour, visible != 0, true);
  grow_to_text();
  return true;
}

void WM_CONFIRM::grow_to_text() {
  INT_S32 screen_height = get_screen_height(0);
  INT_S16 before = text->height;
  INT_S32 most = before + screen_height - height;  // the message window of a box as tall as the screen
  if (most <= before) return;
  // As tall as it may be, the window wraps the lines at its whole width, without a scroll bar when they
  // fit; then it takes the height they need.
  text->resize(text->width, (INT_S16)most, true);
  INT_S32 wanted = text->height_for_lines();
  INT_S32 grown = (wanted > most ? most : wanted < before ? before : wanted) - before;
  text->resize(text->width, (INT_S16)(before + grown), true);
  if (grown == 0) return;
  for (WM_BUTTON* button : buttons)
    if (button) button->move_to(button->x, (INT_S16)(button->y + grown));
  grow(0, grown);
}
