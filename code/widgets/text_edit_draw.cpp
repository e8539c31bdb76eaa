// Text edit drawing: the first character shown (so that the cursor stays in view), the x position of a
// character, and the box: frame or fill and border, the selection band, the text or its asterisks, and
// the cursor line.
#include "text_edit.h"

#include "border.h"
#include "image.h"
#include "screen_object_draw.h"
#include "text_draw.h"

INT_S16 WM_TEXT_EDIT::inner_width() { return (INT_S16)(width - border_left - border_right - 1); }

// Width of the text from index k to its end; 0 past the end.
static INT_S32 tail_width(WM_TEXT_EDIT* box, INT_S32 k) {
  if (k >= box->text.length()) return 0;
  return text_width(draw_target, box->font_id, box->font_x_size, box->font_y_size, box->text.text + k, -1, false);
}

INT_S16 WM_TEXT_EDIT::first_shown_char() {
  INT_S32 inner = inner_width();
  // How many average characters fit; 0 when nothing fits or the font measures "W" as nothing.
  INT_S32 w = text_width(draw_target, font_id, font_x_size, font_y_size, "W", -1, false);
  INT_S32 fit = w > 0 && inner > 0 ? inner / w : 0;
  INT_S16 first = 0;
  while (first + fit < cursor && tail_width(this, first) > inner) first++;
  return first;
}

INT_S16 WM_TEXT_EDIT::char_left_edge(INT_S16 first, INT_S16 k) {
  return (INT_S16)(x + border_left + tail_width(this, first) - tail_width(this, k));
}

void WM_TEXT_EDIT::draw() {
  IMAGE* target = draw_target;
  if (!target || !target->pixels) return;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);

  if (frame.is_loaded()) {
    frame.draw(x, y, x2, y2, (draw_flags & TEXT_EDIT_DONT_RESIZE_FRAME) ? 0 : 1, target, BLIT_BLEND);
  } else {
    if (draw_flags & TEXT_EDIT_DARKENED) target->darken_rectangle(x, y, x2, y2, 50);
    else if (background_colour >> 24) target->fill_rectangle(x, y, x2, y2, &background_colour, 1);
    if (draw_flags & TEXT_EDIT_SUNKEN)
      draw_border(this, x, y, x2, y2, (INT_U16)(0x000F | BORDER_PRESSED), &background_colour, 1, -1);
    else if (draw_flags & TEXT_EDIT_RAISED)
      draw_border(this, x, y, x2, y2, 0x000F, &background_colour, 1, -1);
  }

  IMAGE_AREA saved = target->clip;
  target->intersect_clip((INT_S16)(x + border_left), (INT_S16)(y + border_top), (INT_S16)(x + width - border_right - 1),
                         (INT_S16)(y + height - border_bottom - 1));
  INT_S16 ty = (INT_S16)(y + border_top);
  INT_S16 line_height = font_y_size == -1 ? target->default_font_y_size : font_y_size;
  TEXT_FLAGS flags = editable ? 0 : TEXT_CHISELED;
  INT_S16 length = (INT_S16)text.length();
  INT_S16 cursor_x;

  if (draw_flags & TEXT_EDIT_PASSWORD) {
    // One asterisk per character that fits, each beside the last; the cursor after `cursor` of them.
    INT_S32 sw = text_width(target, font_id, font_x_size, font_y_size, "*", -1, false);
    INT_S32 inner = inner_width();
    INT_S32 n = length;
    while (n > 0 && n * sw > inner) n--;
    for (INT_S32 i = 0; i < n; i++)
      draw_text(target, (INT_S16)(x + border_left + i * sw), ty, &text_colour, &background_colour, &COLOUR_INVISIBLE,
                font_id, font_x_size, font_y_size, "*", flags, -1, false);
    INT_S32 before = cursor < n ? cursor : n;
    cursor_x = (INT_S16)(x + border_left + before * sw + 1);
  } else if (length == 0) {
    cursor_x = (INT_S16)(x + border_left);
  } else {
    INT_S16 first = first_shown_char();
    if (selection_start != -1) {
      INT_S16 lo = selection_start < selection_end ? selection_start : selection_end;
      INT_S16 hi = selection_start < selection_end ? selection_end : selection_start;
      target->fill_rectangle((INT_S16)(char_left_edge(first, lo) - 1), ty, (INT_S16)(char_left_edge(first, hi) - 1),
                             (INT_S16)(ty + line_height - 1), &selection_colour, 1);
    }
    draw_text(target, (INT_S16)(x + border_left), ty, &text_colour, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, font_id,
              font_x_size, font_y_size, text.text + first, flags, -1, false);
    cursor_x = char_left_edge(first, cursor);
  }

  if (focus_object == this && (use_on_screen_keyboard == 0 || open_keyboard_dialog))
    target->draw_line(cursor_x, ty, cursor_x, (INT_S16)(ty + line_height - 1), &cursor_colour, 1, 1);
  target->clip = saved;
}
