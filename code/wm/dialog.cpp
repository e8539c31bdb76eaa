// Dialogs: the effects block with its stored form, the three default dialog styles and their one-time
// adjustment, the two constructors and their common body, title and client layout, drawing, dragging by
// a fresh press on the title or free surface, and the children's input with a dialog closing itself.
#include "dialog.h"

#include <cstdio>
#include <new>

#include "border.h"
#include "draw.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "image_cache.h"
#include "random.h"
#include "redraw.h"
#include "screen_image.h"
#include "screen_object_draw.h"
#include "script.h"
#include "wm_private.h"

WM_DIALOG_EFFECTS default_dialog_effects = {DEFAULT_DIALOG_EFFECT_FLAGS, DEFAULT_DIALOG_OPEN_DELAY,
                                            DEFAULT_DIALOG_DISPLAY_DELAY, DEFAULT_DIALOG_DRAGGING_ALPHA};

const WM_STYLE_SET_INSTANCE default_dialog_window_style = {0};
const WM_STYLE_SET_INSTANCE default_dialog_title_style = {1};
const WM_STYLE_SET_INSTANCE default_dialog_button_style = {2};

INT_U8 default_styles_adjusted = 0;

bool WM_DIALOG_EFFECTS::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  INT_U16 stored_flags = 0;
  INT_U32 open = 0;
  INT_U32 display = 0;
  INT_U8 alpha = 0;
  if (!device->read_u16(&stored_flags) || !device->read_u32(&open) || !device->read_u32(&display) ||
      !device->read_u8(&alpha))
    return false;
  flags = stored_flags;
  open_delay = open;
  display_delay = display;
  dragging_alpha = alpha;
  return true;
}

bool WM_DIALOG_EFFECTS::put_to_data_device(DATA_DEVICE* device) const {
  if (!device) return false;
  return device->write_u16(static_cast<INT_U16>(flags)) && device->write_u32(open_delay) &&
         device->write_u32(display_delay) && device->write_u8(static_cast<INT_U8>(dragging_alpha));
}

const char* format_dialog_effects(const WM_DIALOG_EFFECTS* effects) {
  static char text[128];
  if (!effects) effects = &default_dialog_effects;
  std::snprintf(text, sizeof text, "Flags: 0x%04X, Open Delay: %d, Displaying Delay %d, Alpha 0x%02X",
                static_cast<unsigned>(effects->flags & 0xFFFF), static_cast<int>(effects->open_delay),
                static_cast<int>(effects->display_delay), static_cast<unsigned>(effects->dragging_alpha & 0xFF));
  return text;
}

void adjust_default_styles() {
  if (default_styles_adjusted) return;
  default_styles_adjusted = 1;

  WM_STYLE_SET* window = default_dialog_window_style;
  window->shading_flags &= static_cast<INT_U16>(~0x00F0);
  window->fg_colour = 0xFF0000FF;
  window->bg_colour = 0xFFC0C0C0;
  window->shading_type = 4;

  WM_STYLE_SET* title = default_dialog_title_style;
  title->bg_colour = 0xFFFF0000;
  title->fg_colour = 0xFF000000;
  title->shading_type = 4;

  WM_STYLE_SET* button = default_dialog_button_style;
  button->shading_flags |= 0x00F0;
  // Added in 16 bits: an unset gap (-1) becomes 4.
  button->border_left_gap = static_cast<INT_S16>(button->border_left_gap + 5);
  button->border_right_gap = static_cast<INT_S16>(button->border_right_gap + 5);
  button->border_top_gap = static_cast<INT_S16>(button->border_top_gap + 5);
  button->border_bottom_gap = static_cast<INT_S16>(button->border_bottom_gap + 5);
  button->fg_colour = 0xFF000000;
  button->bg_colour = 0xFFC0C0C0;
  button->highlight_colour = 0xFFFF0000;
  button->highlight_text_colour = 0xFF000000;
  button->flags = ssf_draw_border;
  button->shading_type = 4;
}

// ---------------------------------------------------------------------------------------------------
// Construction

// The visible byte of the window style that a constructor will copy.
static INT_U8 window_style_visible(WM_STYLE_SET* window_style) {
  return window_style ? window_style->visible : default_dialog_window_style->visible;
}

WM_DIALOG::WM_DIALOG(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* title_text,
                     WM_STYLE_SET* window_style_, WM_STYLE_SET* title_style_, WM_STYLE_SET* button_style_,
                     WM_DIALOG_EFFECTS* effects_)
    : WM_SCREEN_OBJECT(window_style_visible(window_style_), nullptr, 0, 0), dragging(0), title(nullptr),
      drag_offset_x(0), drag_offset_y(0), client(nullptr), draggable(1), button_was_down(0), step_effects(1),
      background(&*image_cache), effects(default_dialog_effects), duration(0), start_time(0), closing(0), instant(0),
      alpha(255), fade_start_alpha(0), target_alpha(255), slide_start_x(-1), slide_start_y(-1), slide_end_x(-1),
      slide_end_y(-1), appearing(1), closing_hidden(0) {
  adjust_default_styles();
  WM_STYLE_SET::copy(&window_style, window_style_ ? window_style_ : (WM_STYLE_SET*)default_dialog_window_style);
  WM_STYLE_SET::copy(&title_style, title_style_ ? title_style_ : (WM_STYLE_SET*)default_dialog_title_style);
  WM_STYLE_SET::copy(&button_style, button_style_ ? button_style_ : (WM_STYLE_SET*)default_dialog_button_style);
  init(x_, y_, width_, height_, title_text, effects_);
  if (window_style.image_filename) {
    if (window_style.has_frames()) {
      if (window_style.state_frames[0]) background.copy(*window_style.state_frames[0]);
    } else {
      background.load(window_style.image_path, window_style.image_filename, 0);
    }
  }
}

WM_DIALOG::WM_DIALOG(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* title_text, const COLOUR* c1,
                     const COLOUR* c2, const COLOUR* c3, const COLOUR* c4, const COLOUR* c5, const COLOUR* c6,
                     const COLOUR* c7, const COLOUR* c8, INT_U8 visible_, WM_DIALOG_EFFECTS* effects_)
    : WM_SCREEN_OBJECT(visible_, nullptr, 0, 0), dragging(0), title(nullptr), drag_offset_x(0), drag_offset_y(0),
      client(nullptr), draggable(1), button_was_down(0), step_effects(1), background(&*image_cache),
      effects(default_dialog_effects), duration(0), start_time(0), closing(0), instant(0), alpha(255),
      fade_start_alpha(0), target_alpha(255), slide_start_x(-1), slide_start_y(-1), slide_end_x(-1), slide_end_y(-1),
      appearing(1), closing_hidden(0) {
  adjust_default_styles();
  WM_STYLE_SET::copy(&window_style, default_dialog_window_style);
  WM_STYLE_SET::copy(&title_style, default_dialog_title_style);
  WM_STYLE_SET::copy(&button_style, default_dialog_button_style);
  // A null pointer, like an invisible colour, leaves the style's own colour.
  struct {
    const COLOUR* from;
    COLOUR* to;
  } overrides[8] = {{c1, &window_style.bg_colour},       {c2, &window_style.fg_colour},
                    {c3, &title_style.bg_colour},        {c4, &title_style.fg_colour},
                    {c5, &button_style.bg_colour},       {c6, &button_style.fg_colour},
                    {c7, &button_style.highlight_colour}, {c8, &button_style.highlight_text_colour}};
  for (const auto& entry : overrides)
    if (entry.from && (*entry.from >> 24)) *entry.to = *entry.from;
  init(x_, y_, width_, height_, title_text, effects_);
}

INT_S16 WM_DIALOG::client_top() {
  INT_S16 top = window_style.border_top_gap;
  if (title) top = (INT_S16)(top + window_style.cell_top_gap + title->get_height());
  return top;
}

void WM_DIALOG::init(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* title_text,
                     WM_DIALOG_EFFECTS* effects_) {
  button_was_down = 0;
  x = x_;
  y = y_;
  width = width_;
  height = height_;
  if (x == -1) x = (INT_S16)((get_screen_width(0) - width) / 2);
  if (y == -1) y = (INT_S16)((get_screen_height(0) - height) / 2);
  dragging = 0;
  draggable = 1;

  WM_STYLE_SET& s = window_style;
  INT_S16 gap = (INT_S16)border_width((INT_S32)s.shading_type);
  INT_S16* border_gaps[5] = {&s.border_left_gap, &s.border_top_gap, &s.border_right_gap, &s.border_bottom_gap,
                             &s.cell_top_gap};
  for (INT_S16* g : border_gaps)
    if (*g == -1) *g = gap;
  INT_S16* cell_gaps[3] = {&s.cell_left_gap, &s.cell_right_gap, &s.cell_bottom_gap};
  for (INT_S16* g : cell_gaps)
    if (*g == -1) *g = 0;

  if (title_text) {
    title = new (std::nothrow) WM_SCRIPT(s.border_left_gap, s.border_top_gap, (INT_S16)(width - s.border_right_gap),
                                         -1, &title_style, title_text);
    if (!title) raise_error(0x63);
    WM_SCREEN_OBJECT::add_child(title, true);
  }

  client = new (std::nothrow) WM_MANAGER(1, nullptr, 0, 0);
  if (!client) raise_error(0x63);
  call_screen_object_created_hook(client);
  INT_S16 top = client_top();
  client->resize((INT_S16)(width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap),
                 (INT_S16)(height - top - s.border_bottom_gap - s.cell_bottom_gap), true);
  client->move_to((INT_S16)(s.border_left_gap + s.cell_left_gap), top);
  WM_SCREEN_OBJECT::add_child(client, true);

  effects = effects_ ? *effects_ : default_dialog_effects;
  closing = 0;
  instant = 0;
  appearing = 1;
  slide_start_x = slide_start_y = slide_end_x = slide_end_y = -1;
  step_effects = 1;
  fade_start_alpha = 0;
  target_alpha = 255;
  start_time = 0;
  duration = effects.open_delay;
  alpha = (effects.flags & DIALOG_FADE_IN) ? 0 : 255;
  if (visible) show();
  start_slide(true);

  kind |= WM_KIND_DIALOG;
  call_screen_object_created_hook(this);
  if (s.object_colour >> 24) colour = s.object_colour;
}

WM_DIALOG::~WM_DIALOG() {
  end_effects_at_once();
  WM_SCREEN_OBJECT::hide(false, false);
  composite.set_size(-1, -1);
  background.clear();
}

// ---------------------------------------------------------------------------------------------------
// Layout and the forwarded slots

// The title and the client placed by the layout rule.
static void lay_out(WM_DIALOG* dialog) {
  WM_STYLE_SET& s = dialog->window_style;
  if (dialog->title) {
    dialog->title->resize((INT_S16)(dialog->width - s.border_left_gap - s.border_right_gap),
                          dialog->title->get_height(), true);
    dialog->title->move_to((INT_S16)(dialog->x + s.border_left_gap), (INT_S16)(dialog->y + s.border_top_gap));
  }
  INT_S16 top = dialog->client_top();
  if (dialog->client) {
    dialog->client->resize((INT_S16)(dialog->width - s.border_left_gap - s.border_right_gap - s.cell_left_gap -
                                     s.cell_right_gap),
                           (INT_S16)(dialog->height - top - s.border_bottom_gap - s.cell_bottom_gap), true);
    dialog->client->move_to((INT_S16)(dialog->x + s.border_left_gap + s.cell_left_gap), (INT_S16)(dialog->y + top));
  }
}

void WM_DIALOG::resize(INT_S16 new_width, INT_S16 new_height, bool) {
  if (new_width == width && new_height == height) return;
  if (x != slide_end_x || y != slide_end_y) {
    // The slide start follows the new size.
    INT_U32 f = effects.flags;
    INT_S16 dw = (INT_S16)(new_width - width), dh = (INT_S16)(new_height - height);
    if (f & DIALOG_EDGES_OF_AREA) {
      WM_SCREEN_OBJECT* root = current_area_root();
      if (root) {
        if (f & DIALOG_EDGE_LEFT) slide_start_x = (INT_S16)(root->get_x() - new_width);
        else if (f & DIALOG_EDGE_RIGHT) slide_start_x = (INT_S16)(root->get_x() + root->get_width() + new_width);
        if (f & DIALOG_EDGE_TOP) slide_start_y = (INT_S16)(root->get_y() - new_height);
        else if (f & DIALOG_EDGE_BOTTOM) slide_start_y = (INT_S16)(root->get_y() + root->get_height() + new_height);
      }
    } else if (f & DIALOG_EDGES_OF_DISPLAY) {
      if (f & DIALOG_EDGE_LEFT) slide_start_x = (INT_S16)-new_width;
      else if (f & DIALOG_EDGE_RIGHT) slide_start_x = (INT_S16)(get_screen_width(0) + new_width);
      if (f & DIALOG_EDGE_TOP) slide_start_y = (INT_S16)-new_height;
      else if (f & DIALOG_EDGE_BOTTOM) slide_start_y = (INT_S16)(get_screen_height(0) + new_height);
    } else {
      if (f & DIALOG_EDGE_LEFT) slide_start_x = (INT_S16)(slide_start_x - dw);
      else if (f & DIALOG_EDGE_RIGHT) slide_start_x = (INT_S16)(slide_start_x + dw);
      if (f & DIALOG_EDGE_TOP) slide_start_y = (INT_S16)(slide_start_y - dh);
      else if (f & DIALOG_EDGE_BOTTOM) slide_start_y = (INT_S16)(slide_start_y + dh);
    }
  }
  WM_SCREEN_OBJECT::resize(new_width, new_height, false);
  WM_STYLE_SET& s = window_style;
  if (title)
    title->resize((INT_S16)(new_width - s.border_left_gap - s.border_right_gap), title->get_height(), true);
  INT_S16 top = client_top();
  if (client) {
    client->resize((INT_S16)(new_width - s.border_left_gap - s.border_right_gap - s.cell_left_gap - s.cell_right_gap - 1),
                   (INT_S16)(new_height - top - s.border_bottom_gap - s.cell_bottom_gap - 1), true);
    client->move_to((INT_S16)(x + s.border_left_gap + s.cell_left_gap), (INT_S16)(y + top));
  }
}

void WM_DIALOG::add_child(WM_SCREEN_OBJECT* child, bool relative) {
  if (client) client->add_child(child, relative);
}

void WM_DIALOG::remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative) {
  if (client) client->remove_child(child, delete_child, make_relative);
}

bool WM_DIALOG::is_focusable() { return false; }

void WM_DIALOG::fit_to_screen() {
  INT_S16 w = get_width(), h = get_height(), nx = get_x(), ny = get_y();
  INT_S16 screen = (INT_S16)screen_number(nx, ny);
  INT_S16 screen_width = get_screen_width(screen), screen_height = get_screen_height(screen);
  bool changed = false;
  if (w > screen_width) {
    w = screen_width;
    nx = 0;
    changed = true;
  }
  if (h > screen_height) {
    h = screen_height;
    ny = 0;
    changed = true;
  }
  if (changed) {
    resize(w, h, true);
    move_to(nx, ny);
  }
}

bool WM_DIALOG::on_title(INT_S16 px, INT_S16 py) { return title && title->contains_point(px, py); }

void WM_DIALOG::set_title(const char* text) {
  if (title) title->set_text(text, false);
}

const char* WM_DIALOG::get_title() {
  if (!title) return "";
  return title->text.type == STRING_TYPE ? (title->text.value.text ? title->text.value.text : "") : nullptr;
}

bool WM_DIALOG::entry_focused() { return false; }

bool WM_DIALOG::on_background(INT_S16 px, INT_S16 py) {
  if (on_title(px, py)) return true;
  if (!rect_contains_point(px, py)) return false;
  return !client || !client->child_contains_point(px, py);
}

bool WM_DIALOG::set_background(const char* folder_text, const char* name, WM_STYLE_SET* style) {
  return load_frame_from_style(&background, folder_text, name, style);
}

bool WM_DIALOG::set_background(FOLDER* folder, const char* name, WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE];
  return set_background(FOLDER::portable_text_of(folder, path), name, style);
}

void WM_DIALOG::clear_background() { background.clear(); }
bool WM_DIALOG::has_background() { return background.is_loaded(); }

void WM_DIALOG::draw_title() {
  if (title) title->draw();
}

// ---------------------------------------------------------------------------------------------------
// Drawing

void WM_DIALOG::draw() {
  if (alpha == 0 || !draw_target) return;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
  WM_STYLE_SET& s = window_style;
  if (background.is_loaded()) {
    background.draw(x, y, x2, y2, 1, nullptr, 0);
  } else {
    IMAGE* target = draw_target;
    INT_U8 corners = (INT_U8)((s.shading_flags >> 4) & 0x0F);
    COLOUR black = 0xFF000000;
    if (s.flags & ssf_darkened_background) {
      if (!corners) target->darken_rectangle(x, y, x2, y2, 50);
      else draw_shaded_box(target, x, y, x2, y2, -1, corners, &black, &black, 50, SHADE_DARKEN);
    } else if (s.bg_colour >> 24) {
      if (s.flags & ssf_hfading) {
        if (!corners) target->fill_gradient_horizontal(x, y, x2, y2, &s.bg_colour, &s.fading_colour, 1);
        else draw_shaded_box(target, x, y, x2, y2, -1, corners, &s.bg_colour, &s.fading_colour, 0, SHADE_HORIZONTAL);
      } else if (s.flags & ssf_vfading) {
        if (!corners) target->fill_gradient_vertical(x, y, x2, y2, &s.bg_colour, &s.fading_colour, 1);
        else draw_shaded_box(target, x, y, x2, y2, -1, corners, &s.bg_colour, &s.fading_colour, 0, SHADE_VERTICAL);
      } else {
        if (!corners) target->fill_rectangle(x, y, x2, y2, &s.bg_colour, 1);
        else draw_shaded_box(target, x, y, x2, y2, -1, corners, &s.bg_colour, &black, 0, SHADE_BLEND);
      }
    }
    COLOUR saved_outline = border_outline_colour;
    if (s.flags & ssf_use_text_colour_for_outline) border_outline_colour = s.fg_colour;
    if (s.flags & ssf_indent_border)
      draw_border(this, x, y, x2, y2, (INT_U16)(s.shading_flags | 0x8000), &s.bg_colour, (INT_S32)s.shading_type, -1);
    else if (s.flags & ssf_outstanding_border)
      draw_border(this, x, y, x2, y2, (INT_U16)(s.shading_flags & ~0x8000), &s.bg_colour, (INT_S32)s.shading_type, -1);
    border_outline_colour = saved_outline;
  }
  if (title) {
    INT_S16 old_x = title->x, old_y = title->y, old_width = title->width;
    lay_out(this);
    // The title moved or grew: its rectangle is drawn again.
    if (title->x != old_x || title->y != old_y || title->width != old_width) show();
  } else {
    lay_out(this);
  }
}

// ---------------------------------------------------------------------------------------------------
// Input

// Where a dragged dialog may go: inside the main window, so that all of it, its buttons too, stays in
// reach. One wider or taller than the window goes no further than showing its far edge, so that a drag
// can bring each part of it into sight.
static void keep_inside(WM_DIALOG* dialog, INT_S16* new_x, INT_S16* new_y) {
  INT_S32 screen_width = get_screen_width(0), screen_height = get_screen_height(0);
  if (screen_width <= 0 || screen_height <= 0) return;
  auto kept = [](INT_S32 at, INT_S32 size, INT_S32 room) {
    INT_S32 low = room - size < 0 ? room - size : 0, high = room - size > 0 ? room - size : 0;
    return (INT_S16)(at < low ? low : at > high ? high : at);
  };
  *new_x = kept(*new_x, dialog->width, screen_width);
  *new_y = kept(*new_y, dialog->height, screen_height);
}

WM_RESULT WM_DIALOG::process() {
  if (!visible && !dragging) return 0;
  bool opaque_target = target_alpha != 0;
  if (entry_focused()) focus_confirmed = 1;
  bool held = (MOUSE_HANDLER::held_buttons & 1) != 0;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  if (!held) {
    if (dragging) {
      dragging = 0;
      set_alpha_target(255);
    }
    if (!at_rest()) focus_confirmed = 1;
  } else {
    if (!dragging && !button_was_down && draggable && (on_title(px, py) || on_background(px, py))) {
      dragging = 1;
      drag_offset_x = (INT_S16)(get_x() - px);
      drag_offset_y = (INT_S16)(get_y() - py);
      set_alpha_target((INT_U8)effects.dragging_alpha);
    }
    if (dragging) {
      INT_S16 new_x = (INT_S16)(px + drag_offset_x), new_y = (INT_S16)(py + drag_offset_y);
      keep_inside(this, &new_x, &new_y);
      move_to(new_x, new_y);
      focus_confirmed = 1;
    } else if (!at_rest()) {
      focus_confirmed = 1;
    }
  }
  button_was_down = held ? 1 : 0;
  if (dragging || !visible || !opaque_target) return 0;

  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (guard.deleted) return result == WM_RESULT_CLOSE_DIALOG ? 0 : result;
  // A dialog that closes itself runs its closing effects; one that the top-level list owns is then
  // removed and deleted, a pop-up that is not owned only ends hidden.
  bool owned = is_top_level(this) && !not_owned;
  if (result == WM_RESULT_CLOSE_DIALOG) {
    close_with_effects(owned, false);
    return 0;
  }
  if (!visible && !dragging) {
    close_with_effects(owned, false);
    closing_hidden = owned ? 1 : 0;
  }
  return result;
}
