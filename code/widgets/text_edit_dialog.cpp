// Text edit dialog: the three constructors, the layout of the prompt, the edit box and the two buttons
// inside the client area (fitted to the screen, the block centred above the buttons), and the callback of
// the buttons and of Enter in the edit box that stores the result and reports it to the owner.
#include "text_edit_dialog.h"

#include "button.h"
#include "click_sound.h"
#include "host.h"
#include "image.h"
#include "screen_image.h"
#include "script.h"
#include "style_set.h"
#include "text_draw.h"
#include "text_edit.h"

static INT_S16 default_width(INT_S16 width) { return width == -1 ? TEXT_EDIT_DIALOG_WIDTH : width; }
static INT_S16 default_height(INT_S16 height) { return height == -1 ? TEXT_EDIT_DIALOG_HEIGHT : height; }

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_,
                                         INT_S16 prompt_lines_, WM_STYLE_SET* edit_style, INT_U8 visible_,
                                         WM_EVENT_CALLBACK callback, INT_U32 user1, const char* ok_label,
                                         const char* cancel_label, const char* title_, INT_S16 max_length)
    : WM_DIALOG(x_, y_, default_width(width_), default_height(height_), title_ ? title_ : "", nullptr, nullptr, nullptr,
                nullptr),
      ok_button(nullptr), cancel_button(nullptr), prompt(nullptr), edit(nullptr), prompt_lines(prompt_lines_),
      owner(0) {
  invalidate();
  visible = needs_draw = visible_;
  build(callback, user1, edit_style, ok_label, cancel_label, max_length);
}

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_,
                                         WM_STYLE_SET* edit_style, INT_U8 visible_, WM_EVENT_CALLBACK callback,
                                         INT_U32 user1, const char* ok_label, const char* cancel_label,
                                         const char* title_, INT_S16 max_length)
    : WM_TEXT_EDIT_DIALOG(x_, y_, width_, height_, 1, edit_style, visible_, callback, user1, ok_label, cancel_label,
                          title_, max_length) {}

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(INT_S16 x_, INT_S16 y_, INT_U8 visible_, WM_EVENT_CALLBACK callback,
                                         INT_U32 user1, const char* ok_label, const char* cancel_label,
                                         const char* title_, INT_S16 max_length)
    : WM_DIALOG(x_, y_, TEXT_EDIT_DIALOG_WIDTH, TEXT_EDIT_DIALOG_HEIGHT, title_ ? title_ : "", nullptr, nullptr,
                nullptr, nullptr),
      ok_button(nullptr), cancel_button(nullptr), prompt(nullptr), edit(nullptr), prompt_lines(1), owner(0) {
  invalidate();
  visible = needs_draw = visible_;
  // The edit box looks like the dialog's buttons, sunken, without their image, with border type 4.
  WM_STYLE_SET edit_style;
  WM_STYLE_SET::copy(&edit_style, &button_style);
  edit_style.flags |= ssf_draw_border | ssf_indent_border;
  edit_style.set_image_filename(nullptr);
  edit_style.shading_type = 4;
  build(callback, user1, &edit_style, ok_label, cancel_label, max_length);
}

WM_TEXT_EDIT_DIALOG::~WM_TEXT_EDIT_DIALOG() {}

WM_SCREEN_OBJECT* WM_TEXT_EDIT_DIALOG::get_owner() { return object_from_handle(owner); }

void WM_TEXT_EDIT_DIALOG::build(WM_EVENT_CALLBACK callback, INT_U32 user1, WM_STYLE_SET* edit_style,
                                const char* ok_label, const char* cancel_label, INT_S16 max_length) {
  fit_to_screen();

  event_callback = callback;
  event_user1 = user1;
  if (!ok_label) ok_label = "OK";
  if (!cancel_label) cancel_label = "Cancel";

  ok_button = new WM_BUTTON(0, 0, -1, -1, &button_style, ok_label, "", on_button, 1, object_handle(this), 2);
  INT_S16 half = (INT_S16)(ok_button->get_height() / 2);
  // Positions from here on are relative to the client area.
  const WM_STYLE_SET& s = window_style;
  INT_S16 cw = (INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap);
  INT_S16 ch = (INT_S16)(height - client_top() - s.border_bottom_gap - s.cell_bottom_gap);
  INT_S16 button_top = (INT_S16)(ch - 2 * half);
  cancel_button = new WM_BUTTON(0, 0, -1, -1, &button_style, cancel_label, "", on_button, 2, object_handle(this), 2);
  // Labels too long for the row are shortened, so that both buttons stay inside the dialog, half a
  // button's height apart and from its edges.
  WM_BUTTON* row[2] = {cancel_button, ok_button};
  fit_buttons_in_row(row, 2, cw - 3 * half);
  INT_S16 ok_width = ok_button->get_width();
  ok_button->move_to((INT_S16)(cw - ok_width - half), button_top);
  ok_button->focusable = 1;
  cancel_button->move_to((INT_S16)(cw - cancel_button->get_width() - 2 * half - ok_width), button_top);
  cancel_button->focusable = 1;
  cancel_button->set_hot_key(VKEY_ESCAPE);

  IMAGE* target = draw_target;
  INT_S16 line = target ? target->default_font_y_size : 22;
  COLOUR prompt_colour = s.fg_colour;
  prompt = new WM_SCRIPT(1, nullptr, 0, 0);
  prompt->init(half, half, (INT_S16)(cw - half), (INT_S16)(half + prompt_lines * line), "Enter Text", -1, -1, -1,
               &prompt_colour, &COLOUR_INVISIBLE, -1, -1, -1, -1, -1, -1);
  prompt->draw_flags |= SCRIPT_LEFT_JUSTIFY | SCRIPT_WRAP_TEXT;
  prompt->left_gap = prompt->right_gap = prompt->top_gap = prompt->bottom_gap = 0;

  edit = new WM_TEXT_EDIT(0, 0, (INT_S16)(cw - 2 * half), max_length, "", edit_style, on_button, 3,
                          object_handle(this));
  edit->move_to(half, (INT_S16)(button_top - half - edit->get_height()));

  // The prompt and the edit box as one block, centred in the space above the buttons when it fits.
  INT_S32 space = ch - 5 * half;
  INT_S32 used = prompt->get_height() + edit->get_height() + half;
  if (space > used) {
    INT_S16 d = (INT_S16)((space - used) / 2);
    prompt->move_to(half, (INT_S16)(half + d));
    edit->move_to(half, (INT_S16)(2 * half + prompt->get_height() + d));
  }

  // Tab goes in reading order: the edit box, then the buttons left to right.
  add_child(prompt, true);
  add_child(edit, true);
  add_child(cancel_button, true);
  add_child(ok_button, true);
  kind |= WM_KIND_TEXT_EDIT_DIALOG;
  call_screen_object_created_hook(this);
}

// The prompt above the edit box as one block, centred in the client's space above the buttons when it
// fits, else the edit box half a button above them; positions relative to the client.
static void place_block(WM_TEXT_EDIT_DIALOG* dialog, INT_S16 half, INT_S16 ch) {
  WM_SCREEN_OBJECT* client = dialog->client;
  WM_SCRIPT* prompt = dialog->prompt;
  WM_TEXT_EDIT* edit = dialog->edit;
  INT_S16 button_top = (INT_S16)(ch - 2 * half);
  INT_S32 space = ch - 5 * half;
  INT_S32 used = prompt->get_height() + edit->get_height() + half;
  INT_S32 prompt_top = half, edit_top = button_top - half - edit->get_height();
  if (space > used) {
    prompt_top = half + (space - used) / 2;
    edit_top = prompt_top + half + prompt->get_height();
  }
  prompt->move_to(prompt->x, (INT_S16)(client->y + prompt_top));
  edit->move_to(edit->x, (INT_S16)(client->y + edit_top));
}

void WM_TEXT_EDIT_DIALOG::set_prompt(const char* text) {
  if (!prompt || !edit || !ok_button || !cancel_button) return;
  if (!text) text = "";
  prompt->set_text(text, false);
  INT_S8 font;
  INT_S16 size_x, line;
  choose_widget_font(prompt->font_id, prompt->font_x_size, prompt->font_y_size, &font, &size_x, &line);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, prompt->width - prompt->left_gap - prompt->right_gap,
                                     TEXT_MAX_LINES, font, size_x, line, text, lines);
  if (count <= prompt_lines) return;  // its lines hold it
  INT_S32 least = prompt->get_height();
  INT_S32 wanted = least + (count - prompt_lines) * line;
  INT_S16 half = (INT_S16)(ok_button->get_height() / 2);
  const WM_STYLE_SET& s = window_style;
  INT_S32 ch = height - client_top() - s.border_bottom_gap - s.cell_bottom_gap;
  INT_S32 room = ch - 5 * half - edit->get_height();
  if (wanted > room) {
    INT_S32 screen_height = get_screen_height(0);
    INT_S32 grown = wanted - room < screen_height - height ? wanted - room : screen_height - height;
    if (grown > 0) {
      for (WM_BUTTON* button : {ok_button, cancel_button}) button->move_to(button->x, (INT_S16)(button->y + grown));
      INT_S32 top = get_y() - grown / 2;
      resize(width, (INT_S16)(height + grown), true);
      if (top > screen_height - height) top = screen_height - height;
      if (top < 0) top = 0;
      move_to(get_x(), (INT_S16)top);
      ch += grown;
      room += grown;
    }
    if (wanted > room) wanted = room > least ? room : least;
  }
  if (visible) prompt->show();
  prompt->resize(prompt->width, (INT_S16)wanted, true);
  place_block(this, half, (INT_S16)ch);
  if (visible) show();
}

WM_RESULT WM_TEXT_EDIT_DIALOG::on_button(WM_SCREEN_OBJECT*, INT_U32 user1, INT_U32 user2, int) {
  INT_U32 result;
  if (user1 == 1 || user1 == 3) result = 1;
  else if (user1 == 2) result = 0;
  else return 0;
  WM_SCREEN_OBJECT* found = object_from_handle(user2);
  if (!found || !(found->kind & WM_KIND_TEXT_EDIT_DIALOG)) return 0;
  WM_TEXT_EDIT_DIALOG* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(found);
  dialog->event_user2 = result;
  if (user1 != 3) play_click_sound();  // the edit box has played it for Enter
  if (!dialog->event_callback) return 0;
  return dialog->event_callback(dialog, dialog->event_user1, result, 0);
}
