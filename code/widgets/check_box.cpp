// Check boxes: the box and label buttons with their sizes, the state shown through the box's state
// function (or as "X" / " " without frames), and the toggle that both children report to.
#include "check_box.h"

#include "button.h"
#include "click_sound.h"
#include "image.h"
#include "style_set.h"
#include "text_draw.h"

WM_CHECK_BOX::WM_CHECK_BOX(INT_S16 x_, INT_S16 y_, WM_STYLE_SET* style, const char* label_text,
                           WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(style ? style->visible : (INT_U8)1, callback, user1, user2), box(nullptr), label(nullptr) {
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  init(x_, y_, &style->bg_colour, &style->fg_colour, label_text, style->font_id, style->font_x_sz, style->font_y_sz);
  if (style->image_filename) box->load_state_frames(style->image_path, style->image_filename, style);
  if (style->flags & ssf_dont_resize_image) {
    if (box->visible) box->show();
    box->button_flags |= bf_dont_resize_image;
  }
}

WM_CHECK_BOX::WM_CHECK_BOX(INT_S16 x_, INT_S16 y_, const COLOUR* background, const COLOUR* text_colour,
                           const char* label_text, INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size,
                           WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 visible_)
    : WM_SCREEN_OBJECT(visible_, callback, user1, user2), box(nullptr), label(nullptr) {
  init(x_, y_, background, text_colour, label_text, font_id, font_x_size, font_y_size);
}

WM_CHECK_BOX::~WM_CHECK_BOX() {}

void WM_CHECK_BOX::init(INT_S16 x_, INT_S16 y_, const COLOUR* background, const COLOUR* text_colour,
                        const char* label_text, INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size) {
  state = 0;
  IMAGE* target = draw_target;
  INT_S16 default_x = target ? target->default_font_x_size : 0;
  INT_S16 default_y = target ? target->default_font_y_size : 0;
  INT_S16 half_gap = (INT_S16)((font_x_size == -1 ? default_x : font_x_size) / 2);
  INT_S32 border = border_width(1);
  INT_S32 box_width = (font_x_size < 0 ? default_x : font_x_size) + 2 * border;
  INT_S32 box_height = (font_y_size < 0 ? default_y : font_y_size) + 2 * border;
  if (box_width < 10) box_width = 10;
  if (box_height < 10) box_height = 10;

  INT_U32 handle = object_handle(this);
  box = new WM_BUTTON(x_, y_, (INT_S16)(x_ + box_width - 1), (INT_S16)(y_ + box_height - 1), background, text_colour,
                      "", font_id, font_x_size, font_y_size, CLICK_NORMAL, bf_draw_border, 0x800F, toggle, handle, 0,
                      1, BUTTON_EVENT_CLICK);
  box->state_function = get_state;
  box->state_user = this;
  box->state = get_state(box, this) ? 1 : 0;
  box->focusable = 1;
  // Without state frames the box is a face and a sunken border whose shades come from the object's
  // colour. Taken from the face, a face the colour of what lies around it (the default black on black)
  // leaves an unticked box invisible; the label's colour contrasts with it, so the box shows in both
  // states.
  if (text_colour && (*text_colour >> 24)) box->colour = *text_colour;
  add_child(box, false);

  label = new WM_BUTTON((INT_S16)(x_ + half_gap + box_width), y_, -1, -1, &COLOUR_INVISIBLE, text_colour, label_text,
                        font_id, font_x_size, font_y_size, CLICK_NORMAL, bf_draw_border, 0, toggle, handle, 0, 1,
                        BUTTON_EVENT_CLICK);
  add_child(label, false);

  x = x_;
  y = y_;
  width = (INT_S16)(box_width + half_gap + label->width);
  height = (INT_S16)(box_height > label->height ? box_height : label->height);
  kind |= WM_KIND_CHECK_BOX;
  call_screen_object_created_hook(this);
}

void WM_CHECK_BOX::show_state_in_box() {
  if (box && !box->has_state_frames()) box->set_text(state ? "X" : " ", false);
}

void WM_CHECK_BOX::set_state(INT_U8 on) {
  state = on ? 1 : 0;
  show_state_in_box();
  show();
}

bool WM_CHECK_BOX::get_state(WM_BUTTON*, void* check_box) {
  return check_box && static_cast<WM_CHECK_BOX*>(check_box)->state != 0;
}

WM_RESULT WM_CHECK_BOX::toggle(WM_SCREEN_OBJECT*, INT_U32 user1, INT_U32, int) {
  WM_SCREEN_OBJECT* object = object_from_handle(user1);
  if (!object || !(object->kind & WM_KIND_CHECK_BOX)) return 0;
  WM_CHECK_BOX* check_box = static_cast<WM_CHECK_BOX*>(object);
  check_box->state = check_box->state ? 0 : 1;
  check_box->show_state_in_box();
  check_box->show();
  play_click_sound();
  // The value is the new state; whatever the owner answers, the check box answers 0.
  if (check_box->event_callback)
    check_box->event_callback(check_box, check_box->event_user1, check_box->event_user2, check_box->state);
  return 0;
}

void WM_CHECK_BOX::hide(bool top_level, bool) { WM_SCREEN_OBJECT::hide(top_level, true); }

void WM_CHECK_BOX::resize(INT_S16, INT_S16, bool) {}

void WM_CHECK_BOX::fit_width(INT_S16 most) {
  if (!label || width <= most) return;
  INT_S32 label_width = label->width - (width - most);
  label->resize((INT_S16)(label_width > 1 ? label_width : 1), label->height, true);
  WM_SCREEN_OBJECT::resize((INT_S16)(label->x + label->width - x), height, false);
}

void WM_CHECK_BOX::wrap_to_width(INT_S16 most) {
  if (!label || width <= most) return;
  INT_S32 label_width = label->width - (width - most);
  if (label_width < 1) label_width = 1;
  INT_S8 font;
  INT_S16 size_x, line;
  choose_widget_font(label->font_id, label->font_x_size, label->font_y_size, &font, &size_x, &line);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, label_width - label->left_gap - label->right_gap, TEXT_MAX_LINES,
                                     font, size_x, line, label->label ? label->label : "", lines);
  if (count < 1) count = 1;
  if (label->visible) label->show();
  label->button_flags |= bf_wrap_text | bf_left_justify_text;
  label->resize((INT_S16)label_width, (INT_S16)(count * line + label->top_gap + label->bottom_gap), true);
  INT_S16 tallest = box && box->height > label->height ? box->height : label->height;
  WM_SCREEN_OBJECT::resize((INT_S16)(label->x + label->width - x), tallest, false);
}

bool WM_CHECK_BOX::is_focusable() {
  if (focus_object && (focus_object == box || focus_object == label)) return false;
  bool any_focusable = (box && box->focusable) || (label && label->focusable);
  bool any_enabled = (box && box->enabled) || (label && label->enabled);
  return any_focusable && any_enabled;
}

void WM_CHECK_BOX::take_focus() {
  if (!visible) return;
  if (box && box->is_focusable()) box->take_focus();
  else if (label) label->take_focus();
}
