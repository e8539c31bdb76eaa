// Buttons: construction from a style set or from plain values, the label, the hint pop-up and its wait,
// the state frames, and the input of each pass (pointer, Enter on the focused button, the hot key,
// repeats, pointer shapes). Also the hint style shared by every button's hint pop-up.
#include "button.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "click_sound.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "image_cache.h"
#include "page_manager.h"
#include "redraw.h"
#include "script.h"
#include "text_draw.h"

const WM_STYLE_SET_INSTANCE button_hint_style = {3};
INT_U8 button_hint_style_ready = 0;

void prepare_button_hint_style() {
  if (button_hint_style_ready) return;
  WM_STYLE_SET* style = button_hint_style;
  style->shading_type = 3;
  style->fg_colour = 0xFF000000;
  style->bg_colour = 0xFFFFD000;
  style->fading_colour = 0xFFFF0000;
  style->shading_flags = 0x000F;
  style->flags = ssf_draw_border | ssf_indent_border | ssf_hfading | ssf_use_text_colour_for_outline;
  button_hint_style_ready = 1;
}

// ---------------------------------------------------------------------------------------------------
// Construction

WM_BUTTON::WM_BUTTON(INT_U8 visible_, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(visible_, callback, user1, user2), indent_when_active(0), shading_flags(15), label(nullptr),
      background_colour(0), active_colour(0), active_text_colour(0), highlight_colour(0), text_colour(0),
      highlight_text_colour(0), fading_colour(0), mouse_over_colour(0), mouse_over_text_colour(0),
      disabled_colour(0), disabled_text_colour(0), underline_colour(0), highlighted(0), was_left_down(0),
      was_right_down(0), armed(0), slide_select(0), enabled(1), pointer_over(0), state_function(nullptr),
      state_user(nullptr), click_behaviour(0), button_flags(0), font_id(-1), font_x_size(-1), font_y_size(-1),
      hint(nullptr), hint_time(0), hint_x(-1), hint_y(-1), hint_mode(0), hint_saved_focus(nullptr), left_gap(0),
      right_gap(0), top_gap(0), bottom_gap(0), x_spacing(0), y_spacing(0), event_mask(0), released(0),
      was_enter_down(0), hot_key(-1), was_hot_key_down(0), selected(0), repeat_time(0), repeating(0),
      flash_text(), flash_state(0), blink_mask(0x20), drag_shown(0), drag_x(-1), drag_y(-1), drag_offset_x(0),
      drag_offset_y(0), state_frames(nullptr) {
  // A text parameter with no text yet (read as empty everywhere): most buttons never flash, and a list
  // makes thousands of them.
  flash_text.type = STRING_TYPE;
}

// Assigns a look value of a button being built. A visible button's rectangle was invalidated when init
// gave it its label, and nothing has moved it since: redrawing it again for every value that changes
// would only invalidate the same rectangle once more, so the value is simply stored.
template <typename T>
static void assign_look(WM_BUTTON*, T* field, T value) {
  *field = value;
}

// A colour of a style set is taken only when it is visible (alpha not 0).
static void assign_visible_colour(WM_BUTTON* button, COLOUR* field, COLOUR value) {
  if (value >> 24) assign_look(button, field, value);
}

// The button's drawing flags from a style's ssf_ and ssef_ flags.
static INT_U32 button_flags_of(const WM_STYLE_SET* style) {
  static const struct {
    INT_U32 from, to;
  } plain[] = {{ssf_left_justify_text, bf_left_justify_text},
               {ssf_right_justify_text, bf_right_justify_text},
               {ssf_top_align_text, bf_top_align_text},
               {ssf_bottom_align_text, bf_bottom_align_text},
               {ssf_darkened_background, bf_darkened_background},
               {ssf_hfading, bf_hfading},
               {ssf_vfading, bf_vfading},
               {ssf_use_text_colour_for_outline, bf_use_text_colour_for_outline},
               {ssf_shadow_text, bf_shadow_text},
               {ssf_inset_text, bf_inset_text},
               {ssf_chiseled_text, bf_chiseled_text},
               {ssf_icon_left, bf_icon_left},
               {ssf_icon_right, bf_icon_right},
               {ssf_icon_top, bf_icon_top},
               {ssf_icon_bottom, bf_icon_bottom},
               {ssf_icon_attach_to_text, bf_icon_attach_to_text},
               {ssf_wrap_text, bf_wrap_text},
               {ssf_dont_resize_image, bf_dont_resize_image}},
    extended[] = {{ssef_left_arrow, bf_left_arrow},
                  {ssef_right_arrow, bf_right_arrow},
                  {ssef_up_arrow, bf_up_arrow},
                  {ssef_down_arrow, bf_down_arrow},
                  {ssef_invert_vfading_on_press, bf_invert_vfading_on_press},
                  {ssef_dont_mask_click, bf_dont_mask_click}};
  INT_U32 out = 0;
  for (const auto& row : plain)
    if (style->flags & row.from) out |= row.to;
  for (const auto& row : extended)
    if (style->extended_flags & row.from) out |= row.to;
  if ((style->flags & ssf_draw_border) && (style->flags & (ssf_indent_border | ssf_outstanding_border)))
    out |= bf_draw_border;
  return out;
}

WM_BUTTON::WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* style, const char* text,
                     const char* hint_text, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                     INT_U8 new_event_mask)
    : WM_BUTTON(style ? style->visible : (INT_U8)1, callback, user1, user2) {
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  COLOUR active = (style->active_colour >> 24) ? style->active_colour : style->bg_colour;
  INT_U32 behaviour = (style->extended_flags & ssef_auto_depress)    ? CLICK_AUTO_DEPRESS
                      : (style->extended_flags & ssef_auto_actiavte) ? CLICK_AUTO_ACTIVATE
                                                                      : CLICK_NORMAL;
  init(x1, y1, x2, y2, text, &style->bg_colour, &active, &style->highlight_colour, behaviour, style->font_id,
       style->font_x_sz, style->font_y_sz, style->border_left_gap, style->border_right_gap, style->border_top_gap,
       style->border_bottom_gap, style->x_spacing, style->y_spacing, new_event_mask);

  INT_U16 shading = 0;
  if (style->flags & ssf_draw_border) {
    shading = (INT_U16)(style->shading_flags & 0x7FFF);
    if (style->flags & ssf_indent_border) shading |= 0x8000;
  }
  set_look(shading, button_flags_of(style), style->fg_colour);
  assign_visible_colour(this, &fading_colour, style->fading_colour);
  assign_visible_colour(this, &highlight_text_colour, style->highlight_text_colour);
  assign_visible_colour(this, &colour, style->object_colour);
  assign_visible_colour(this, &mouse_over_colour, style->mouse_over_colour);
  assign_visible_colour(this, &mouse_over_text_colour, style->mouse_over_text_colour);
  assign_visible_colour(this, &disabled_colour, style->disabled_colour);
  assign_visible_colour(this, &disabled_text_colour, style->disabled_text_colour);
  assign_visible_colour(this, &active_text_colour, style->active_text_colour);
  if (hint_text) set_hint(hint_text);
  if (style->flags & ssf_disabled) {
    assign_look(this, &enabled, (INT_U8)0);
    assign_look(this, &highlighted, (INT_U8)0);
  }
  if (style->extended_flags & ssef_indent_when_active) assign_look(this, &indent_when_active, (INT_U8)1);
  if (style->image_filename) load_state_frames(style->image_path, style->image_filename, style);
  assign_visible_colour(this, &underline_colour, style->underline_colour);
}

WM_BUTTON::WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* background,
                     const COLOUR* new_text_colour, const char* text, INT_S8 new_font_id, INT_S16 new_font_x_size,
                     INT_S16 new_font_y_size, INT_U32 new_click_behaviour, INT_U32 new_button_flags,
                     INT_U16 new_shading_flags, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                     INT_U8 visible_, INT_U8 new_event_mask)
    : WM_BUTTON(visible_, callback, user1, user2) {
  init(x1, y1, x2, y2, text, background, background, background, new_click_behaviour, new_font_id, new_font_x_size,
       new_font_y_size, -1, -1, -1, -1, -1, -1, new_event_mask);
  set_look(new_shading_flags, new_button_flags, new_text_colour ? *new_text_colour : 0);
}

WM_BUTTON::WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* background,
                     const COLOUR* new_text_colour, const char* text, INT_U32 new_click_behaviour,
                     INT_U32 new_button_flags, INT_U16 new_shading_flags, WM_EVENT_CALLBACK callback, INT_U32 user1,
                     INT_U32 user2, INT_U8 visible_, INT_U8 new_event_mask)
    : WM_BUTTON(x1, y1, x2, y2, background, new_text_colour, text, -1, -1, -1, new_click_behaviour, new_button_flags,
                new_shading_flags, callback, user1, user2, visible_, new_event_mask) {}

void WM_BUTTON::set_look(INT_U16 new_shading_flags, INT_U32 new_button_flags, COLOUR new_text_colour) {
  assign_look(this, &shading_flags, new_shading_flags);
  assign_look(this, &button_flags, new_button_flags);
  assign_look(this, &text_colour, new_text_colour);
}

void WM_BUTTON::init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const char* text, const COLOUR* background,
                     const COLOUR* active, const COLOUR* highlight, INT_U32 new_click_behaviour, INT_S8 new_font_id,
                     INT_S16 new_font_x_size, INT_S16 new_font_y_size, INT_S16 new_left_gap, INT_S16 new_right_gap,
                     INT_S16 new_top_gap, INT_S16 new_bottom_gap, INT_S16 new_x_spacing, INT_S16 new_y_spacing,
                     INT_U8 new_event_mask) {
  prepare_button_hint_style();
  IMAGE* target = draw_target;
  choose_widget_font(new_font_id, new_font_x_size, new_font_y_size, &font_id, &font_x_size, &font_y_size);
  INT_S16 gap = (INT_S16)border_width(1);
  left_gap = new_left_gap == -1 ? gap : new_left_gap;
  right_gap = new_right_gap == -1 ? gap : new_right_gap;
  top_gap = new_top_gap == -1 ? gap : new_top_gap;
  bottom_gap = new_bottom_gap == -1 ? gap : new_bottom_gap;
  x_spacing = new_x_spacing == -1 ? left_gap : new_x_spacing;
  y_spacing = new_y_spacing == -1 ? top_gap : new_y_spacing;
  if (!text) text = "";

  x = x1;
  y = y1;
  width = (INT_S16)(x2 - x1 + 1);
  if (width < 1) width = (INT_S16)(text_width(target, font_id, font_x_size, font_y_size, text, -1, false) + left_gap + right_gap);
  height = (INT_S16)(y2 - y1 + 1);
  if (height < 1) height = (INT_S16)(font_y_size + top_gap + bottom_gap);

  enabled = 1;
  shading_flags = 15;
  text_colour = fading_colour = 0xFF000000;
  active_text_colour = highlight_text_colour = COLOUR_INVISIBLE;
  mouse_over_colour = mouse_over_text_colour = COLOUR_INVISIBLE;
  disabled_colour = disabled_text_colour = underline_colour = COLOUR_INVISIBLE;
  background_colour = background ? *background : 0;
  active_colour = active ? *active : 0;
  highlight_colour = highlight ? *highlight : 0;
  highlighted = was_left_down = was_right_down = armed = slide_select = pointer_over = 0;
  released = was_enter_down = was_hot_key_down = selected = repeating = 0;
  indent_when_active = 0;
  repeat_time = 0;
  hot_key = -1;
  hint_x = hint_y = -1;
  hint_mode = 0;
  state_function = nullptr;
  state_user = nullptr;
  flash_state = 0;
  blink_mask = 0x20;
  event_mask = new_event_mask;
  click_behaviour = new_click_behaviour;

  if (!set_text(text, false)) raise_error(0x61);
  kind |= WM_KIND_BUTTON;
  call_screen_object_created_hook(this);
}

WM_BUTTON::~WM_BUTTON() {
  set_hint(nullptr);
  std::free(label);
  label = nullptr;
  if (state_frames) {
    for (int i = 0; i < BUTTON_FRAME_COUNT; i++) state_frames[i].~WM_FRAME();
    ::operator delete(state_frames);
    state_frames = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------------
// Label, hint, frames and colours

bool WM_BUTTON::set_text(const char* text, bool grow) {
  if (!text) return false;
  if (visible) show();
  std::free(label);
  size_t length = std::strlen(text);
  label = (char*)std::malloc(length + 1);
  if (!label) return false;
  std::memcpy(label, text, length + 1);
  if (grow && draw_target) {
    IMAGE* target = draw_target;
    INT_S32 wanted = text_width(target, target->default_font_id, target->default_font_x_size,
                                target->default_font_y_size, text, -1, false) + 1;
    if (wanted >= width) width = (INT_S16)wanted;
  }
  return true;
}

void WM_BUTTON::set_hint(const char* text) {
  if (hint) {
    hint->hide(false, false);
    remove_top_level(hint, false, false);
    delete hint;
    hint = nullptr;
  }
  if (!text || !text[0]) return;
  prepare_button_hint_style();
  button_hint_style->visible = 0;
  hint = new WM_SCRIPT(0, 0, -5, -3, button_hint_style, text);
  hint->set_area(0);
  hint->not_owned = 1;
  hint->owner = this;
  hint->takes_no_input = 1;
}

// Style-set slot of each state frame.
static const int frame_slots[BUTTON_FRAME_COUNT] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12};

// The button's frames, empty and bound to image_cache, made on first use; false without memory.
static bool make_state_frames(WM_BUTTON* button) {
  if (button->state_frames) return true;
  void* block = ::operator new(sizeof(WM_FRAME) * BUTTON_FRAME_COUNT, std::nothrow);
  if (!block) return false;
  WM_FRAME* frames = static_cast<WM_FRAME*>(block);
  for (int i = 0; i < BUTTON_FRAME_COUNT; i++) new (&frames[i]) WM_FRAME(&*image_cache);
  button->state_frames = frames;
  return true;
}

bool WM_BUTTON::load_state_frames(const char* path_text, const char* base_name, WM_STYLE_SET* style) {
  if (style && style->has_frames()) {
    if (!make_state_frames(this)) return false;
    for (int i = 0; i < BUTTON_FRAME_COUNT; i++)
      if (style->state_frames[frame_slots[i]]) state_frames[i].copy(*style->state_frames[frame_slots[i]]);
    for (int i = BUTTON_FRAME_UP; i <= BUTTON_FRAME_DOWN; i++)
      if (!state_frames[i].is_loaded() && style->state_frames[0]) state_frames[i].copy(*style->state_frames[0]);
    return has_state_frames();
  }
  free_state_frames();
  if (!base_name || !make_state_frames(this)) return false;
  for (int i = 0; i < BUTTON_FRAME_COUNT; i++) {
    load_frame_named(&state_frames[i], path_text, style_set_frame_name(frame_slots[i]), base_name, 0);
    if (i <= BUTTON_FRAME_DOWN && !state_frames[i].is_loaded()) state_frames[i].load(path_text, base_name, 0);
  }
  return has_state_frames();
}

bool WM_BUTTON::load_state_frames(FOLDER* folder, const char* base_name, WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE];
  return load_state_frames(FOLDER::portable_text_of(folder, path), base_name, style);
}

bool WM_BUTTON::has_state_frames() {
  return state_frame_loaded(BUTTON_FRAME_UP) && state_frame_loaded(BUTTON_FRAME_DOWN);
}

bool WM_BUTTON::state_frame_loaded(int frame) {
  return state_frames && frame >= 0 && frame < BUTTON_FRAME_COUNT && state_frames[frame].is_loaded();
}

void WM_BUTTON::free_state_frames() {
  if (state_frames)
    for (int i = 0; i < BUTTON_FRAME_COUNT; i++) state_frames[i].clear();
}

INT_U32 WM_BUTTON::released_event() { return released ? BUTTON_EVENT_CLICK : 0; }

void WM_BUTTON::set_colours(const COLOUR* background, const COLOUR* text, const COLOUR* third, bool three_colours) {
  if (background) background_colour = active_colour = *background;
  if (text) text_colour = *text;
  if (has_state_frames()) {
    for (int i = 0; i <= BUTTON_FRAME_HIGHLIGHTED; i++) {
      if (three_colours) state_frames[i].map_channels(background, text, third);
      else state_frames[i].tint(background);
      state_frames[i].composite_stale = 1;
    }
  }
  show();
}

void WM_BUTTON::set_hot_key(INT_S32 key) { hot_key = key; }

// ---------------------------------------------------------------------------------------------------
// Showing, hiding, focus and the flash text

void WM_BUTTON::show() {
  if (drag_shown) {
    INT_S16 left = (INT_S16)(drag_x + drag_offset_x), top = (INT_S16)(drag_y + drag_offset_y);
    invalidate_rect(left, top, (INT_S16)(left + width - 1), (INT_S16)(top + height - 1));
  }
  WM_SCREEN_OBJECT::show();
}

void WM_BUTTON::hide(bool top_level, bool hide_children) {
  if (hint) {
    hint->hide(false, false);
    remove_top_level(hint, false, false);
  }
  WM_SCREEN_OBJECT::hide(top_level, hide_children);
}

WM_RESULT WM_BUTTON::update(bool top_level) {
  follow_blink_phase(this, &flash_text, blink_mask, &flash_state);
  return WM_SCREEN_OBJECT::update(top_level);
}

bool WM_BUTTON::contains_point(INT_S16 px, INT_S16 py) {
  if (!visible) return false;
  if (child_contains_point(px, py)) return true;
  if (!rect_contains_point(px, py)) return false;
  // Transparent parts of the skin are not part of the button.
  if (has_state_frames() && !(button_flags & bf_dont_mask_click))
    return state_frames[BUTTON_FRAME_UP].hit_test((INT_S16)(px - x), (INT_S16)(py - y), width, height);
  return true;
}

bool WM_BUTTON::is_focusable() { return enabled && focusable; }

// ---------------------------------------------------------------------------------------------------
// The hint pop-up

// The window a hint stays in: the visible dialog that holds the button (the topmost one on the top-level
// list around it, else one on the current area's root), else the whole draw target.
static IMAGE_AREA hint_window(WM_BUTTON* button, IMAGE* target) {
  IMAGE_AREA window;
  window.x1 = window.y1 = 0;
  window.x2 = (INT_S16)(target->width - 1);
  window.y2 = (INT_S16)(target->height - 1);
  // The node's object when it is a visible dialog around the button, else null.
  auto holder_at = [button](const LLIST_NODE* node) -> WM_SCREEN_OBJECT* {
    WM_SCREEN_OBJECT* object = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    bool holds = object->visible && (object->kind & WM_KIND_DIALOG) && object->x <= button->x &&
                 object->y <= button->y && button->x + button->width <= object->x + object->width &&
                 button->y + button->height <= object->y + object->height;
    return holds ? object : nullptr;
  };
  WM_SCREEN_OBJECT* holder = nullptr;
  for (LLIST_NODE* node = top_level_list()->tail; node && !holder; node = node->prev) holder = holder_at(node);
  if (!holder && page_manager && page_manager->current_area)
    for (LLIST_NODE* node = page_manager->current_area->root.children.head; node && !holder; node = node->next)
      holder = holder_at(node);
  if (holder) {
    window.x1 = holder->x;
    window.y1 = holder->y;
    window.x2 = (INT_S16)(holder->x + holder->width - 1);
    window.y2 = (INT_S16)(holder->y + holder->height - 1);
  }
  return window;
}

// A hint wider than the draw target wraps at its width, taking the lines it needs (as many as the
// target holds), so that it stays inside the window.
static void wrap_hint_within(WM_SCRIPT* hint, IMAGE* target) {
  if (hint->width <= target->width || hint->text.type != STRING_TYPE || !hint->text.value.text) return;
  INT_S8 font;
  INT_S16 x_size, line;
  choose_widget_font(hint->font_id, hint->font_x_size, hint->font_y_size, &font, &x_size, &line);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(target, target->width - hint->left_gap - hint->right_gap, TEXT_MAX_LINES, font,
                                     x_size, line, hint->text.value.text, lines);
  if (count < 2) return;
  INT_S32 height = hint->top_gap + hint->bottom_gap + count * line;
  if (height > target->height) height = target->height;
  if (hint->visible) hint->invalidate();
  hint->draw_flags |= SCRIPT_WRAP_TEXT;
  hint->resize(target->width, (INT_S16)height, true);
}

// Moves the hint's left edge to left and its bottom to the button's top (below the button when there is
// no room above), kept inside the window that holds the button and inside the draw target, so that it
// neither covers the button's row nor reaches past the window; with show it goes on the top-level list
// and is shown there.
void WM_BUTTON::place_hint(INT_S16 left, bool show_it) {
  IMAGE* target = draw_target;
  if (target) wrap_hint_within(hint, target);
  INT_S32 px = left, py = y - hint->height;
  if (target) {
    IMAGE_AREA window = hint_window(this, target);
    if (py < window.y1) py = y + height;
    if (py + hint->height > window.y2 + 1) py = window.y2 + 1 - hint->height;
    if (py < window.y1) py = window.y1;
    if (px + hint->width > window.x2 + 1) px = window.x2 + 1 - hint->width;
    if (px < window.x1) px = window.x1;
    if (px + hint->width >= target->width) px = target->width - hint->width;
    if (py + hint->height >= target->height) py = target->height - hint->height;
  }
  if (px < 0) px = 0;
  if (py < 0) py = 0;
  if (hint->x != px || hint->y != py) {
    if (hint->visible) hint->invalidate();
    hint->move_to((INT_S16)px, (INT_S16)py);
  }
  if (!show_it) return;
  if (!is_top_level(hint)) add_top_level(hint, false);
  hint->show();
}

void WM_BUTTON::take_hint_off() {
  hint->hide(false, false);
  remove_top_level(hint, false, false);
}

void WM_BUTTON::run_hint(bool over, bool pressing, INT_S16 px, INT_S16 py) {
  bool shown = is_top_level(hint);
  if (hint_mode == 1) {
    if (highlighted && !shown) {
      hint_saved_focus = focus_object;
      place_hint((INT_S16)(x + (width - hint->width) / 2), true);
    } else if (!highlighted && shown) {
      take_hint_off();
      focus_object = hint_saved_focus;
      hint_x = hint_y = -1;
    }
    return;
  }
  if (!over) {
    if (shown) {
      take_hint_off();
      // A neighbouring button shows its own hint without a fresh wait.
      WM_SCREEN_OBJECT* below = page_manager ? page_manager->object_at(px, py) : nullptr;
      if (below && below != this && (below->kind & WM_KIND_BUTTON)) {
        WM_BUTTON* next = static_cast<WM_BUTTON*>(below);
        next->hint_time = hint_time;
        next->hint_x = x;
        next->hint_y = y;
      }
    }
    hint_x = hint_y = -1;
    return;
  }
  INT_U32 now = get_calendar_seconds();
  if (hint_x == -1 || pressing) {
    if (shown) take_hint_off();
    hint_time = now;
    hint_x = px;
    hint_y = py;
  } else if (!shown && hint_time + 1 < now) {
    place_hint(hint_x, true);
  } else if (px != hint_x || py != hint_y) {
    hint_x = px;
    hint_y = py;
    place_hint(px, shown);
  }
}

// ---------------------------------------------------------------------------------------------------
// Input

WM_RESULT WM_BUTTON::process() {
  MOUSE_HANDLER mouse;
  KEYBOARD_HANDLER keyboard;
  INT_U32 now = pass_time;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  bool left = (MOUSE_HANDLER::held_buttons & 0x1) != 0;
  bool right = (MOUSE_HANDLER::held_buttons & 0x2) != 0;
  bool pointer_is_over = contains_point(px, py);
  bool over = pointer_is_over;
  if (slide_select) armed = (over && left) ? 1 : 0;
  bool hover_activates = click_behaviour == CLICK_AUTO_ACTIVATE;

  // A held Enter (focused or selected button), Space (focused button) or hot key is a press over the
  // button; its release a click.
  bool enter_down = keyboard.is_key_down((INT_S32)activation_key) ||
                    (focus_object == this && keyboard.is_key_down(VKEY_SPACE));
  bool hot_down = hot_key != -1 && keyboard.is_key_down(hot_key);
  bool key_acting = false;
  if ((focus_object == this || selected) && (enter_down || was_enter_down)) {
    if (focus_object == this && enter_down) set_focus_visible(true);
    over = true;
    hover_activates = false;
    right = false;
    left = enter_down;
    key_acting = true;
  } else if (hot_down || was_hot_key_down) {
    over = true;
    hover_activates = false;
    right = false;
    left = hot_down;
    key_acting = true;
  }
  was_enter_down = enter_down ? 1 : 0;
  was_hot_key_down = hot_down ? 1 : 0;
  bool pressing = key_acting ? left : (MOUSE_HANDLER::held_buttons & 0x1) != 0;

  if (hover_activates) {
    if (left && over) return 0;  // a real click does nothing here
    left = over;
    highlighted = over ? 1 : 0;
  }

  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (result != 0 || guard.deleted) return result;
  if (!visible) return 0;

  if (hint) {
    run_hint(pointer_is_over, pressing, px, py);
    // The hover hint's wait counts calendar seconds: the loop looks again now and then.
    if (hint_mode == 0 && hint_x != -1 && !is_top_level(hint)) request_pass_by(now + HINT_LOOK_INTERVAL);
  }
  if (state_function) {
    INT_U8 wanted = state_function(this, state_user) ? 1 : 0;
    if (wanted != state) set_state(wanted);
  }
  if (!enabled) return 0;

  bool over_visuals = state_frame_loaded(BUTTON_FRAME_OVER) || (mouse_over_colour >> 24) ||
                      (mouse_over_text_colour >> 24);
  if (over_visuals && (over ? 1 : 0) != pointer_over) {
    pointer_over = over ? 1 : 0;
    show();
  }
  if ((click_behaviour == CLICK_AUTO_DEPRESS || slide_select) && highlighted != (over ? 1 : 0)) {
    highlighted = over ? 1 : 0;
    show();
  }

  INT_U8 event = 0;
  if ((over || hover_activates) && (left ? 1 : 0) != was_left_down) {
    if (!left) {
      if (armed || slide_select) {
        armed = 0;
        event = (repeating && !slide_select) ? 0 : BUTTON_EVENT_CLICK;
        repeating = 0;
        repeat_time = 0;
      }
    } else {
      armed = 1;
      event = BUTTON_EVENT_PRESS;
      repeating = 0;
      repeat_time = now;
      take_focus();
      if (guard.deleted) return 0;
    }
  }
  if ((event_mask & BUTTON_EVENT_RELEASE_OUTSIDE) && !over && was_left_down && !left && armed) {
    armed = 0;
    event = BUTTON_EVENT_RELEASE_OUTSIDE;
  }
  if ((event_mask & BUTTON_EVENT_REPEAT) && over && (hover_activates || left) && (armed || slide_select)) {
    if (now > repeat_time + (repeating ? REPEAT_INTERVAL : REPEAT_DELAY)) {
      repeating = 1;
      event = BUTTON_EVENT_REPEAT;
      repeat_time = now;
    }
    request_pass_by(repeat_time + (repeating ? REPEAT_INTERVAL : REPEAT_DELAY) + 1);
  }

  if (event) {
    if (click_behaviour == CLICK_NORMAL) highlighted = left ? 1 : 0;
    if (event_mask & event) {
      released = (event == BUTTON_EVENT_CLICK || event == BUTTON_EVENT_RELEASE_OUTSIDE) ? 1 : 0;
      play_click_sound();
      if (event_callback) result = event_callback(this, event_user1, event_user2, (int)click_behaviour);
      if (guard.deleted) return result;
      released = 0;
      if (result == 0 && !slide_select) result = WM_RESULT_KEEP_FOCUS;
    }
    if (state_function) state = state_function(this, state_user) ? 1 : 0;
    if (visible) show();
  }
  // A slide-select button's highlight follows the pointer (above), not the press: dropping it here
  // too would set it again in the next pass, and redraw the button in every pass the pointer rests on it.
  if (!left && highlighted && click_behaviour == CLICK_NORMAL && !slide_select) {
    highlighted = 0;
    armed = 0;
    show();
  }

  if (over && pointer_shapes_enabled && page_manager) {
    POINTER_SHAPE shape = (left || right || highlighted) ? POINTER_HAND_2 : POINTER_HAND;
    if (shape == POINTER_HAND_2 && !set_mouse_cursor(shape, 1)) shape = POINTER_HAND;
    if (set_mouse_cursor(shape, 1)) page_manager->cursor_request = shape;
  }

  was_left_down = left ? 1 : 0;
  was_right_down = right ? 1 : 0;
  if (!left) armed = 0;
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Buttons in a row

// The width a button's label needs, as a button sized to its label is made: the label's text width in
// its font and its left and right gaps.
static INT_S32 label_width(WM_BUTTON* b) {
  return text_width(draw_target, b->font_id, b->font_x_size, b->font_y_size, b->label ? b->label : "", -1, false) +
         b->left_gap + b->right_gap;
}

void fit_buttons_in_row(WM_BUTTON* const* buttons, int count, INT_S32 room, INT_S32 least) {
  std::vector<INT_S32> needs;
  for (int i = 0; i < count; i++) needs.push_back(std::max(label_width(buttons[i]), least));
  // The largest width that, given to every button needing more, lets all fit: the buttons needing
  // least keep their widths.
  std::vector<INT_S32> sorted = needs;
  std::sort(sorted.begin(), sorted.end());
  INT_S32 limit = INT32_MAX, left = room;
  for (int k = 0; k < count; k++) {
    INT_S32 share = left / (count - k);
    if (sorted[(size_t)k] > share) {
      limit = share > 1 ? share : 1;
      break;
    }
    left -= sorted[(size_t)k];
  }
  for (int i = 0; i < count; i++) {
    INT_S32 width = needs[(size_t)i] < limit ? needs[(size_t)i] : limit;
    buttons[i]->resize((INT_S16)width, buttons[i]->height, true);
  }
}
