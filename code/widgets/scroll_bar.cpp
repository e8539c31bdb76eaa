// Scroll bars: construction from colours or a style set, the geometry of track, buttons and slider, the
// state frames, and one pass of input (hover, wheel, keys, buttons and track with their repeat, dragging
// the slider), reporting every change of the bound parameter through the event callback.
#include "scroll_bar.h"

#include "errors.h"
#include "folder.h"
#include "host.h"
#include "image_cache.h"
#include "style_set.h"

INT_U8 scrollbar_warnings_shown = 0;

// Layout can be asked again and again (every resize): each warning opens its box only once per run.
static void warn_once(INT_U32 code, INT_U8 bit) {
  if (scrollbar_warnings_shown & bit) return;
  scrollbar_warnings_shown |= bit;
  raise_warning(code);
}

// Index of the first scroll-bar frame among a style set's state frames ("%s_bar").
static const int STYLE_SCROLLBAR_FRAME_FIRST = 16;

// The name suffixes of the 15 frames.
static const char* const frame_formats[SCROLLBAR_FRAME_COUNT] = {
    "%s_bar",          "%s_bar_disabled",    "%s_bar_over",    "%s_slider_up",     "%s_slider_down",
    "%s_slider_disabled", "%s_slider_over",  "%s_less_up",     "%s_less_down",     "%s_less_disabled",
    "%s_less_over",    "%s_more_up",         "%s_more_down",   "%s_more_disabled", "%s_more_over"};

// The bar's constructors leave the frames empty and the colours 0 before init.
static void clear_fields(WM_SCROLLBAR* bar) {
  for (int i = 0; i < SCROLLBAR_FRAME_COUNT; i++) bar->state_frames[i] = new WM_FRAME(&*image_cache);
  bar->type = SCROLLBAR_VERTICAL;
  bar->slew = nullptr;
  bar->reported_value = 0;
  bar->travel = 0;
  bar->grab_offset = 0;
  bar->reference_position = 0;
  bar->slider_length = 6;
  bar->button_length = 0;
  bar->track_colour = bar->slider_colour = bar->button_colour = bar->arrow_colour = 0;
  bar->highlight_colour = bar->arrow_highlight_colour = 0;
  bar->dragging = bar->button_was_held = bar->draw_flags = 0;
  bar->page_amount = bar->step_amount = 1;
  bar->enabled = 1;
  bar->repeat_tick = 0;
  bar->repeat_action = SCROLLBAR_NO_ACTION;
  bar->repeat_started = 0;
  bar->amount_callback = nullptr;
  bar->wheel_step = 1;
  bar->bar_over = bar->slider_over = bar->less_over = bar->more_over = 0;
}

WM_SCROLLBAR::WM_SCROLLBAR(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 slider_length_,
                           INT_S16 button_length_, PARAMETER* slew_, INT_U32 type_, INT_U8 draw_flags_,
                           const COLOUR* track, const COLOUR* slider, const COLOUR* button, const COLOUR* arrow,
                           INT_U8 visible_, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(visible_, callback, user1, user2) {
  clear_fields(this);
  init(x1, y1, x2, y2, slider_length_, button_length_, slew_, type_, draw_flags_, track, slider, button, arrow);
}

WM_SCROLLBAR::WM_SCROLLBAR(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, PARAMETER* slew_, WM_STYLE_SET* style,
                           WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(style ? style->visible : 1, callback, user1, user2) {
  clear_fields(this);
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  INT_U32 bar_type;
  if (style->extended_flags & ssef_sb_horizontal)
    bar_type = (style->extended_flags & ssef_sb_with_buttons) ? SCROLLBAR_HORIZONTAL_BUTTONS : SCROLLBAR_HORIZONTAL;
  else
    bar_type = (style->extended_flags & ssef_sb_with_buttons) ? SCROLLBAR_VERTICAL_BUTTONS : SCROLLBAR_VERTICAL;
  INT_U8 flags_ = (style->shading_flags & 0xF0) ? SCROLLBAR_SHADED : 0;
  if (style->flags & ssf_hfading) flags_ |= SCROLLBAR_HFADING;
  if (style->flags & ssf_vfading) flags_ |= SCROLLBAR_VFADING;
  if (style->flags & ssf_dont_resize_image) flags_ |= SCROLLBAR_DONT_RESIZE;
  init(x1, y1, x2, y2, style->scrollbar_slider_width, style->scrollbar_button_width, slew_, bar_type, flags_,
       &style->bg_colour, &style->active_colour, &style->active_colour, &style->fg_colour);
  if (style->flags & ssf_disabled) {
    enabled = 0;
    if (visible) show();
  }
  if (style->image_filename) load_state_frames(style->image_path, style->image_filename, style);
  if ((style->object_colour >> 24) != 0) colour = style->object_colour;
}

WM_SCROLLBAR::~WM_SCROLLBAR() {
  for (int i = SCROLLBAR_FRAME_COUNT - 1; i >= 0; i--) {
    state_frames[i]->clear();
    delete state_frames[i];
  }
}

void WM_SCROLLBAR::init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 slider_length_,
                        INT_S16 button_length_, PARAMETER* slew_, INT_U32 type_, INT_U8 draw_flags_,
                        const COLOUR* track, const COLOUR* slider, const COLOUR* button, const COLOUR* arrow) {
  if (!slew_) raise_error(0x72);
  if (slew_->type == POINTER_TYPE) raise_error(0x73);
  if (slew_->get_int(&slew_->minimum) >= slew_->get_int(&slew_->maximum)) raise_error(0x70);
  if (x1 > x2) {
    INT_S16 t = x1;
    x1 = x2;
    x2 = t;
  }
  if (y1 > y2) {
    INT_S16 t = y1;
    y1 = y2;
    y2 = t;
  }
  if (slider_length_ < 6) {
    warn_once(0x20, 0x1);
    slider_length_ = 6;
  }
  if (x2 - x1 < 10) {
    warn_once(0x21, 0x2);
    x2 = (INT_S16)(x1 + 10);
  }
  if (y2 - y1 < 10) {
    warn_once(0x21, 0x2);
    y2 = (INT_S16)(y1 + 10);
  }
  enabled = 1;
  slew = slew_;
  x = x1;
  y = y1;
  width = (INT_S16)(x2 - x1 + 1);
  height = (INT_S16)(y2 - y1 + 1);
  type = type_;
  track_colour = track ? *track : 0;
  slider_colour = slider ? *slider : 0;
  button_colour = button ? *button : 0;
  arrow_colour = arrow ? *arrow : 0;
  slider_length = slider_length_;
  button_length = button_length_;
  dragging = 0;
  button_was_held = 0;
  reported_value = slew->get_int(&slew->value);
  step_amount = 1;
  page_amount = 1;
  repeat_tick = 0;
  repeat_action = SCROLLBAR_NO_ACTION;
  amount_callback = nullptr;
  repeat_started = 0;
  wheel_step = 1;
  bar_over = slider_over = less_over = more_over = 0;
  if (draw_flags_ & SCROLLBAR_DEFAULT_LOOK)
    draw_flags_ |= horizontal() ? (SCROLLBAR_SHADED | SCROLLBAR_VFADING) : (SCROLLBAR_SHADED | SCROLLBAR_HFADING);
  draw_flags = draw_flags_;
  layout();
  scroll_wheel_target = this;
  MOUSE_HANDLER::wheel_notches = 0;
  kind |= WM_KIND_SCROLLBAR;
  call_screen_object_created_hook(this);
}

// ---------------------------------------------------------------------------------------------------
// Geometry

void WM_SCROLLBAR::layout() {
  INT_S32 s = slider_length, b = button_length;
  switch (type) {
    case SCROLLBAR_HORIZONTAL:
      travel = width - s;
      reference_position = x + s;
      break;
    case SCROLLBAR_HORIZONTAL_BUTTONS:
      travel = width - s - 2 * b;
      reference_position = x + b + s;
      break;
    case SCROLLBAR_VERTICAL:
      travel = height - s;
      reference_position = y;
      break;
    case SCROLLBAR_VERTICAL_BUTTONS:
      travel = height - s - 2 * b;
      reference_position = y + b;
      break;
    default:
      raise_error(0x74);
  }
  // A bar too short for its buttons and slider keeps its slider at the start and does not move it.
  if (travel < 0) travel = 0;
}

INT_S32 WM_SCROLLBAR::track_length() {
  switch (type) {
    case SCROLLBAR_HORIZONTAL: return width;
    case SCROLLBAR_HORIZONTAL_BUTTONS: return width - 2 * button_length;
    case SCROLLBAR_VERTICAL: return height;
    case SCROLLBAR_VERTICAL_BUTTONS: return height - 2 * button_length;
    default: return 0;
  }
}

INT_S32 WM_SCROLLBAR::slider_position() {
  INT_S64 lo = slew->get_int(&slew->minimum), hi = slew->get_int(&slew->maximum), v = slew->get_int(&slew->value);
  INT_S64 p = reference_position;
  if (hi > lo && travel > 0) {
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    p += (horizontal() ? v - lo : hi - v) * travel / (hi - lo);
  }
  if (p < -32768) p = -32768;
  if (p > 32767) p = 32767;
  return (INT_S32)p;
}

void WM_SCROLLBAR::move_to(INT_S16 new_x, INT_S16 new_y) {
  if (new_x == x && new_y == y) return;
  WM_SCREEN_OBJECT::move_to(new_x, new_y);
  layout();
}

void WM_SCROLLBAR::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  WM_SCREEN_OBJECT::resize(new_width, new_height, resize_children);
  layout();
}

bool WM_SCROLLBAR::is_focusable() { return enabled && focusable; }

// ---------------------------------------------------------------------------------------------------
// State frames

bool WM_SCROLLBAR::load_state_frames(const char* path_text, const char* base_name, WM_STYLE_SET* style) {
  int count = has_buttons() ? SCROLLBAR_FRAME_COUNT : SCROLLBAR_FRAME_LESS_UP;
  if (style && style->has_frames()) {
    for (int i = 0; i < count; i++) {
      WM_FRAME* source = style->state_frames[STYLE_SCROLLBAR_FRAME_FIRST + i];
      if (source) state_frames[i]->copy(*source);
    }
  } else if (!base_name) {
    free_state_frames();
    return false;
  } else {
    for (int i = 0; i < count; i++)
      load_frame_named(state_frames[i], path_text, frame_formats[i], base_name, 0);
  }
  for (int i = count; i < SCROLLBAR_FRAME_COUNT; i++) state_frames[i]->clear();
  return state_frames_loaded();
}

bool WM_SCROLLBAR::load_state_frames(FOLDER* folder, const char* base_name, WM_STYLE_SET* style) {
  char text[FOLDER_PATH_SIZE];
  return load_state_frames(FOLDER::portable_text_of(folder, text), base_name, style);
}

void WM_SCROLLBAR::free_state_frames() {
  for (int i = 0; i < SCROLLBAR_FRAME_COUNT; i++) state_frames[i]->clear();
}

bool WM_SCROLLBAR::state_frames_loaded() {
  WM_FRAME** f = state_frames;
  bool loaded = f[SCROLLBAR_FRAME_BAR]->is_loaded() && f[SCROLLBAR_FRAME_SLIDER_UP]->is_loaded() &&
                f[SCROLLBAR_FRAME_SLIDER_DOWN]->is_loaded();
  if (loaded && has_buttons())
    loaded = f[SCROLLBAR_FRAME_LESS_UP]->is_loaded() && f[SCROLLBAR_FRAME_LESS_DOWN]->is_loaded() &&
             f[SCROLLBAR_FRAME_MORE_UP]->is_loaded() && f[SCROLLBAR_FRAME_MORE_DOWN]->is_loaded();
  return loaded;
}

// ---------------------------------------------------------------------------------------------------
// Input

// Sets the parameter (which clamps); a value beyond 32 bits is held at the 32-bit limit first.
void WM_SCROLLBAR::set_value(INT_S64 value) {
  if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
  if (value < -0x7FFFFFFF - 1) value = -0x7FFFFFFF - 1;
  slew->set_int(&slew->value, (INT_S32)value);
}

void WM_SCROLLBAR::apply_action(INT_U32 action) {
  INT_S64 amount;
  if (amount_callback) amount = amount_callback(this, (int)action);
  else amount = (action == SCROLLBAR_STEP_FORWARD || action == SCROLLBAR_STEP_BACK) ? step_amount : page_amount;
  INT_S64 v = slew->get_int(&slew->value);
  if (action == SCROLLBAR_STEP_FORWARD || action == SCROLLBAR_PAGE_FORWARD) set_value(v + amount);
  else set_value(v - amount);
}

// Strictly inside the inclusive rectangle (both edges excluded).
static bool strictly_inside(INT_S32 px, INT_S32 py, INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2) {
  return x1 < px && px < x2 && y1 < py && py < y2;
}

void WM_SCROLLBAR::update_hover(INT_S16 px, INT_S16 py) {
  INT_S32 w = width, h = height, b = button_length, s = slider_length, p = (INT_S16)slider_position();
  INT_S32 right = x + w - 1, bottom = y + h - 1;
  INT_U8 over[4];  // bar, slider, less, more
  if (state_frames_loaded()) {
    // The frames' own rectangles.
    if (!has_buttons()) over[0] = strictly_inside(px, py, x, y, right, bottom);
    else if (horizontal()) over[0] = strictly_inside(px, py, x + b, y, x + w - b - 1, bottom);
    else over[0] = strictly_inside(px, py, x, y + b, right, y + h - b - 1);
    if (horizontal()) {
      over[2] = strictly_inside(px, py, x, y, x + b - 1, bottom);
      over[3] = strictly_inside(px, py, x + w - b, y, right, bottom);
    } else {
      over[3] = strictly_inside(px, py, x, y, right, y + b - 1);
      over[2] = strictly_inside(px, py, x, y + h - b, right, bottom);
    }
  } else {
    // The whole bar, and the buttons' inset faces.
    over[0] = strictly_inside(px, py, x, y, right, bottom);
    if (horizontal()) {
      over[2] = strictly_inside(px, py, x + 2, y + 2, x + b + 1, y + h - 3);
      over[3] = strictly_inside(px, py, x + w - b - 3, y + 2, x + w - 3, y + h - 3);
    } else {
      over[3] = strictly_inside(px, py, x + 2, y + 2, x + w - 3, y + b + 1);
      over[2] = strictly_inside(px, py, x + 2, y + h - b - 2, x + w - 3, y + h - 3);
    }
  }
  if (horizontal()) over[1] = strictly_inside(px, py, p - s, y, p - 1, bottom);
  else over[1] = strictly_inside(px, py, x, p, right, p + s - 1);
  if (over[0] != bar_over || over[1] != slider_over || over[2] != less_over || over[3] != more_over) {
    show();
    bar_over = over[0];
    slider_over = over[1];
    less_over = over[2];
    more_over = over[3];
  }
}

void WM_SCROLLBAR::handle_key() {
  KEYBOARD_HANDLER keyboard;
  INT_S32 key = keyboard.read_key();
  bool ctrl = keyboard.is_key_down(VKEY_LCONTROL) || keyboard.is_key_down(VKEY_RCONTROL);
  INT_S64 lo = slew->get_int(&slew->minimum), hi = slew->get_int(&slew->maximum);
  if (horizontal()) {
    switch (key) {
      case VKEY_END: set_value(hi); break;
      case VKEY_HOME: set_value(lo); break;
      case VKEY_LEFT: apply_action(ctrl ? SCROLLBAR_PAGE_BACK : SCROLLBAR_STEP_BACK); break;
      case VKEY_RIGHT: apply_action(ctrl ? SCROLLBAR_PAGE_FORWARD : SCROLLBAR_STEP_FORWARD); break;
      default: break;
    }
    return;
  }
  switch (key) {
    case VKEY_PRIOR: apply_action(SCROLLBAR_PAGE_FORWARD); break;
    case VKEY_NEXT: apply_action(SCROLLBAR_PAGE_BACK); break;
    case VKEY_END:
      if (ctrl) set_value(lo);
      break;
    case VKEY_HOME:
      if (ctrl) set_value(hi);
      break;
    case VKEY_UP: apply_action(ctrl ? SCROLLBAR_PAGE_FORWARD : SCROLLBAR_STEP_FORWARD); break;
    case VKEY_DOWN: apply_action(ctrl ? SCROLLBAR_PAGE_BACK : SCROLLBAR_STEP_BACK); break;
    default: break;
  }
}

// The action a press at p along the axis chooses: a button, the track before or after the slider, or
// none on the slider.
void WM_SCROLLBAR::press_test(INT_S32 p) {
  INT_S32 s = slider_length, R = reference_position, T = travel, P = slider_position();
  INT_U32 action = SCROLLBAR_NO_ACTION;
  if (horizontal()) {
    if (type == SCROLLBAR_HORIZONTAL_BUTTONS && p < R - s) action = SCROLLBAR_STEP_BACK;
    else if (p < P - s) action = SCROLLBAR_PAGE_BACK;
    else if (type == SCROLLBAR_HORIZONTAL_BUTTONS && p > R + T) action = SCROLLBAR_STEP_FORWARD;
    else if (p > P) action = SCROLLBAR_PAGE_FORWARD;
  } else {
    if (type == SCROLLBAR_VERTICAL_BUTTONS && p < R) action = SCROLLBAR_STEP_FORWARD;
    else if (p < P) action = SCROLLBAR_PAGE_FORWARD;
    else if (type == SCROLLBAR_VERTICAL_BUTTONS && p > R + T + s) action = SCROLLBAR_STEP_BACK;
    else if (p > P + s) action = SCROLLBAR_PAGE_BACK;
  }
  if (action == SCROLLBAR_NO_ACTION) return;
  apply_action(action);
  repeat_action = action;
  repeat_tick = pass_time;
  repeat_started = 0;
}

// Drag start on a fresh press over the travel, then the value from the pointer while dragging; the
// value snaps to the ends within 2 pixels of them.
void WM_SCROLLBAR::drag(INT_S16 px, INT_S16 py, INT_S32 p) {
  INT_S32 s = slider_length, R = reference_position, T = travel;
  if (!button_was_held && repeat_action == SCROLLBAR_NO_ACTION && !dragging) {
    INT_S32 P = slider_position();
    bool start, inside;
    if (horizontal()) {
      start = y <= py && py < y + height && R - s <= px && px <= R + T;
      inside = P - s < p && p < P;
    } else {
      start = x <= px && px < x + width && R <= py && py <= R + T + s;
      inside = P < p && p < P + s;
    }
    if (start) {
      dragging = 1;
      grab_offset = inside ? P - p + 1 : 0;
    }
  }
  if (!dragging) return;
  INT_S64 lo = slew->get_int(&slew->minimum), hi = slew->get_int(&slew->maximum);
  if (T <= 0 || hi <= lo) return;  // nothing to move along
  INT_S64 t = (INT_S64)p + grab_offset;
  if (t < R + 2) t = R;
  if (t > R + T - 2) t = R + T;
  INT_S64 along = (t - R) * (hi - lo) / T;
  set_value(horizontal() ? lo + along : lo + ((hi - lo) - along));
}

WM_RESULT WM_SCROLLBAR::process() {
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (result != 0) return result;
  if (!visible) return 0;
  bool changed = false;
  if (enabled) {
    INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
    bool held = (MOUSE_HANDLER::held_buttons & 0x1) != 0;
    update_hover(px, py);
    INT_S32 p = horizontal() ? px : py;
    bool inside = contains_point(px, py);
    if (!inside) {
      if (held && repeat_action != SCROLLBAR_NO_ACTION) {
        repeat_action = SCROLLBAR_NO_ACTION;
        changed = true;
      }
    } else if (scroll_wheel_target != this) {
      scroll_wheel_target = this;
      MOUSE_HANDLER::wheel_notches = 0;
    }
    if (scroll_wheel_target == this && MOUSE_HANDLER::wheel_notches != 0) {
      INT_S64 notches = MOUSE_HANDLER::wheel_notches;
      MOUSE_HANDLER::wheel_notches = 0;
      set_value(slew->get_int(&slew->value) + notches * wheel_step);
    }
    if (focus_object == this) handle_key();
    if (!held) {
      if (dragging || repeat_action != SCROLLBAR_NO_ACTION) changed = true;
      dragging = 0;
      repeat_action = SCROLLBAR_NO_ACTION;
    } else {
      bool repeat_pass = false;
      if (inside) {
        WM_DELETE_GUARD guard(this);
        take_focus();
        if (guard.deleted) return 0;
        if (repeat_action == SCROLLBAR_NO_ACTION && !dragging) {
          press_test(p);
          if (repeat_action != SCROLLBAR_NO_ACTION) changed = true;
        } else if (repeat_action != SCROLLBAR_NO_ACTION) {
          repeat_pass = true;
          INT_U32 delay = repeat_started ? 60 : 500;
          if (repeat_tick + delay < pass_time) {
            repeat_started = 1;
            repeat_tick = pass_time;
            apply_action(repeat_action);
            changed = true;
          }
          request_pass_by(repeat_tick + (repeat_started ? 60 : 500) + 1);
        }
      }
      if (!repeat_pass) drag(px, py, p);
    }
    button_was_held = held ? 1 : 0;
  }
  INT_S32 v = slew->get_int(&slew->value);
  if (v == reported_value) {
    if (changed && visible) show();
    return 0;
  }
  if (visible) show();
  reported_value = v;
  if (event_callback) return event_callback(this, event_user1, event_user2, 0);
  return 0;
}
