// The progress bar widget: construction from a style set or explicit values, its frames, drawing the
// label, bar, full and empty parts and the percentage or title (clipped to the bar's own rectangle, the
// full part kept inside the bar box), the overlay animation, and the tick that runs one message step per
// wall-clock second while long work runs.
#include "progress_bar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "colour.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "screen_image.h"
#include "screen_object_draw.h"
#include "style_set.h"
#include "text_draw.h"

INT_U32 progress_tick_second = 0;

// Slots of a style set's state frames that the bar copies.
static const int STYLE_FRAME_ALTERNATE = 10;
static const int STYLE_FRAME_BG = 13;
static const int STYLE_FRAME_EMPTY = 14;
static const int STYLE_FRAME_FULL = 15;

static bool has_alpha(COLOUR colour) { return (colour >> 24) != 0; }

// Colours, fields and frames of a bar before init.
static void clear_fields(WM_PROGRESS_BAR* bar) {
  bar->label = bar->title = nullptr;
  bar->maximum = bar->value = 0;
  bar->background_colour = bar->label_colour = bar->fill_colour = 0;
  bar->text_colour = bar->empty_colour = bar->alt_text_colour = 0;
  bar->font_id = -1;
  bar->font_x_size = bar->font_y_size = -1;
  bar->left_gap = bar->right_gap = bar->top_gap = bar->bottom_gap = 0;
  bar->bar_flags = 0;
  bar->last_x_step = bar->last_y_step = 0;
  bar->x_rate = bar->y_rate = 0;
  bar->update_rate = 300;
  bar->bar_border_type = 6;
}

WM_PROGRESS_BAR::WM_PROGRESS_BAR(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* label_,
                                 INT_S32 maximum_, WM_STYLE_SET* style)
    : WM_SCREEN_OBJECT(style ? style->visible : 1, nullptr, 0, 0), background_frame(&*image_cache),
      empty_frame(&*image_cache), full_frame(&*image_cache), alt_frame(&*image_cache) {
  clear_fields(this);
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  INT_U8 flags = 0;
  if (!(style->flags & ssf_draw_border)) flags |= PROGRESS_NO_BORDER;
  if (style->flags & ssf_dont_resize_image) flags |= PROGRESS_DONT_RESIZE;
  if (style->extended_flags & ssef_pb_only_draw_bar) flags |= PROGRESS_ONLY_BAR;
  if (style->extended_flags & ssef_pb_vertical) flags |= PROGRESS_VERTICAL;
  if (style->extended_flags & ssef_pb_no_shading) flags |= PROGRESS_NO_SHADING;
  if (style->extended_flags & ssef_pb_position_text_on_bar) flags |= PROGRESS_TEXT_ON_BAR;
  if (style->extended_flags & ssef_pb_draw_alt_percentage) flags |= PROGRESS_ALT_PERCENTAGE;
  init(x_, y_, width_, height_, label_, maximum_, &style->bg_colour, &style->fg_colour, &style->highlight_colour, flags,
       style->font_id, style->font_x_sz, style->font_y_sz, style->border_left_gap, style->border_right_gap,
       style->border_top_gap, style->border_bottom_gap);
  text_colour = style->highlight_text_colour;
  // A style without a fill colour (the default style sets none) would leave the bar looking empty
  // even when full: its fill is then the style's foreground colour, or, when that is unset or too
  // close to the face, black or white, whichever shows on the face.
  if (!has_alpha(fill_colour)) {
    fill_colour = style->fg_colour;
    if (!has_alpha(fill_colour) || ensure_colour_contrast(&fill_colour, &background_colour, true))
      contrasting_text_colour(&fill_colour, &background_colour);
  }
  if (style->image_filename) set_style(style->image_path, style->image_filename, style);
  if (has_alpha(style->object_colour)) colour = style->object_colour;
}

WM_PROGRESS_BAR::WM_PROGRESS_BAR()
    : WM_SCREEN_OBJECT(1, nullptr, 0, 0), background_frame(&*image_cache), empty_frame(&*image_cache),
      full_frame(&*image_cache), alt_frame(&*image_cache) {
  clear_fields(this);
}

WM_PROGRESS_BAR::~WM_PROGRESS_BAR() {
  std::free(label);
  std::free(title);
  alt_frame.clear();
  full_frame.clear();
  empty_frame.clear();
  background_frame.clear();
}

void WM_PROGRESS_BAR::init(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, const char* label_,
                           INT_S32 maximum_, const COLOUR* background, const COLOUR* second, const COLOUR* fill,
                           INT_U8 bar_flags_, INT_S8 font_id_, INT_S16 font_x_size_, INT_S16 font_y_size_,
                           INT_S16 left_gap_, INT_S16 right_gap_, INT_S16 top_gap_, INT_S16 bottom_gap_) {
  choose_widget_font(font_id_, font_x_size_, font_y_size_, &font_id, &font_x_size, &font_y_size);
  INT_S16 across = (INT_S16)(font_x_size / 2);
  INT_S16 down = (INT_S16)((height_ - font_y_size) / 2);
  if (down < 0) down = 0;
  left_gap = left_gap_ == -1 ? across : left_gap_;
  right_gap = right_gap_ == -1 ? across : right_gap_;
  top_gap = top_gap_ == -1 ? down : top_gap_;
  bottom_gap = bottom_gap_ == -1 ? down : bottom_gap_;
  maximum = maximum_;
  value = 0;
  std::free(title);
  title = nullptr;
  x = x_;
  y = y_;
  width = width_;
  height = height_;
  background_colour = background ? *background : 0;
  label_colour = text_colour = alt_text_colour = second ? *second : 0;
  fill_colour = fill ? *fill : 0;
  empty_colour = COLOUR_INVISIBLE;
  bar_flags = bar_flags_;
  last_x_step = last_y_step = get_tick_count();
  x_rate = y_rate = 0;
  update_rate = 300;
  bar_border_type = 6;
  // A bar without size is a programming error; one that lies partly or wholly off the screen is only
  // drawn clipped.
  if (width < 1 || height < 1) raise_error(0x110);
  std::free(label);
  label = nullptr;
  if (label_ && !(bar_flags & PROGRESS_VERTICAL)) {
    label = (char*)std::malloc(std::strlen(label_) + 1);
    if (!label) raise_error(0x111);
    std::strcpy(label, label_);
  }
  kind |= WM_KIND_PROGRESS_BAR;
  call_screen_object_created_hook(this);
}

bool WM_PROGRESS_BAR::is_focusable() { return false; }

// ---------------------------------------------------------------------------------------------------
// Frames

bool WM_PROGRESS_BAR::set_style(const char* path_text, const char* base_name, WM_STYLE_SET* style) {
  if (style && style->has_frames()) {
    const struct {
      int slot;
      WM_FRAME* frame;
    } copies[] = {{STYLE_FRAME_BG, &background_frame},
                  {STYLE_FRAME_EMPTY, &empty_frame},
                  {STYLE_FRAME_FULL, &full_frame},
                  {STYLE_FRAME_ALTERNATE, &alt_frame}};
    for (const auto& entry : copies)
      if (style->state_frames[entry.slot]) entry.frame->copy(*style->state_frames[entry.slot]);
  } else if (!base_name) {
    clear_frames();
    return false;
  } else {
    load_frame_named(&background_frame, path_text, "%s_bg", base_name, 0);
    load_frame_named(&empty_frame, path_text, "%s_empty", base_name, 0);
    load_frame_named(&full_frame, path_text, "%s_full", base_name, 0);
    load_frame_named(&alt_frame, path_text, STYLE_SET_ALT_NAME, base_name, 0);
  }
  return has_frames();
}

bool WM_PROGRESS_BAR::set_style(FOLDER* folder, const char* base_name, WM_STYLE_SET* style) {
  char text[FOLDER_PATH_SIZE];
  return set_style(FOLDER::portable_text_of(folder, text), base_name, style);
}

void WM_PROGRESS_BAR::clear_frames() {
  background_frame.clear();
  empty_frame.clear();
  full_frame.clear();
}

bool WM_PROGRESS_BAR::has_frames() { return empty_frame.is_loaded() && full_frame.is_loaded(); }

// ---------------------------------------------------------------------------------------------------
// Animation and the message step

// The largest width (or height) of the full frame's overlays.
static INT_S32 overlay_extent(const WM_FRAME& frame, bool across) {
  INT_S32 extent = 0;
  for (IMAGE* image : {frame.colay, frame.solay, frame.tolay}) {
    if (!image) continue;
    INT_S32 size = across ? image->width : image->height;
    if (size > extent) extent = size;
  }
  return extent;
}

// When the next overlay step of an axis falls due: its next whole pixel, and not before the update rate
// has passed since its last step.
static INT_U32 next_step_due(INT_U32 last, INT_S16 rate, INT_U32 update_rate) {
  INT_U32 per_pixel = (INT_U32)(rate < 0 ? -rate : rate);
  return last + (per_pixel > update_rate + 1 ? per_pixel : update_rate + 1);
}

// Moves one overlay offset by the whole pixels that the time passed makes at rate ms per pixel, wrapping
// within extent. Only the time those pixels took is used up: the rest counts towards the next pixel, so
// passes that come faster than the rate still move the overlays. False (and nothing changed) when no
// whole pixel has passed yet.
static bool step_overlay(INT_S16* offset, INT_U32* last, INT_S16 rate, INT_S32 extent, INT_U32 now) {
  INT_U32 per_pixel = (INT_U32)(rate < 0 ? -rate : rate);
  INT_U32 pixels = (now - *last) / per_pixel;
  if (pixels == 0) return false;
  *last += pixels * per_pixel;
  INT_S32 step = (INT_S32)(pixels % (INT_U32)extent);
  if (rate < 0) step = -step;
  INT_S32 moved = *offset + step;
  if (moved > extent) moved -= extent;
  if (moved < 0) moved += extent;
  *offset = (INT_S16)moved;
  return true;
}

void WM_PROGRESS_BAR::animate() {
  if (!x_rate && !y_rate) return;
  INT_U32 now = get_tick_count();
  INT_U32 rate = update_rate < 0 ? 0 : (INT_U32)update_rate;
  INT_S32 across = overlay_extent(full_frame, true), down = overlay_extent(full_frame, false);
  if (across && x_rate && now > last_x_step + rate &&
      step_overlay(&full_frame.overlay_x, &last_x_step, x_rate, across, now)) {
    full_frame.composite_stale = 1;
    show();
  }
  if (down && y_rate && now > last_y_step + rate &&
      step_overlay(&full_frame.overlay_y, &last_y_step, y_rate, down, now)) {
    full_frame.composite_stale = 1;
    show();
  }
  // The overlays move by the clock: the next pixel's time, held back by the update rate, is the frame
  // loop's due time.
  if (visible && across && x_rate) request_pass_by(next_step_due(last_x_step, x_rate, rate));
  if (visible && down && y_rate) request_pass_by(next_step_due(last_y_step, y_rate, rate));
}

// One message step the first time in each wall-clock second, for all bars together.
static void message_step() {
  INT_U32 second = get_calendar_seconds();
  if (second == progress_tick_second) return;
  progress_tick_second = second;
  pump_messages();
}

void WM_PROGRESS_BAR::tick() {
  animate();
  message_step();
}

void WM_PROGRESS_BAR::set_title(const char* text, bool draw_now) {
  std::free(title);
  title = nullptr;
  if (text) {
    title = (char*)std::malloc(std::strlen(text) + 1);
    if (!title) raise_error(0x111);
    std::strcpy(title, text);
  }
  if (draw_now) {
    WM_SCREEN_OBJECT::draw_now(this);
    present_frame(0);
    tick();
  } else if (visible) {
    show();
  }
}

WM_RESULT WM_PROGRESS_BAR::update(bool top_level) {
  animate();
  return WM_SCREEN_OBJECT::update(top_level);
}

// ---------------------------------------------------------------------------------------------------
// Drawing

void WM_PROGRESS_BAR::percentage_texts(char* shown, char* remaining) {
  if (maximum == 0) {
    std::snprintf(shown, 16, "100%%");
    remaining[0] = 0;
    return;
  }
  INT_S64 done = (INT_S64)value * 100 / maximum;
  INT_S64 left = ((INT_S64)maximum - value) * 100 / maximum;
  std::snprintf(shown, 24, "%lld%%", (long long)done);
  std::snprintf(remaining, 24, "%lld%%", (long long)left);
}

// The sum of the natural widths (or heights) of a frame's middle row (or column).
static INT_S32 frame_minimum(WM_FRAME& frame, bool across) {
  INT_S32 total = 0;
  if (across) {
    for (IMAGE* image : {frame.mid_left, frame.mid_mid, frame.mid_right})
      if (image) total += image_cache->natural_width(image);
  } else {
    for (IMAGE* image : {frame.top_mid, frame.mid_mid, frame.bottom_mid})
      if (image) total += image_cache->natural_height(image);
  }
  return total;
}

void WM_PROGRESS_BAR::draw() {
  IMAGE* target = draw_target;
  visible = 1;
  if (!target || width < 1 || height < 1) return;
  IMAGE_AREA saved = target->clip;
  INT_S32 right = x + width - 1, bottom = y + height - 1;
  target->intersect_clip(x, y, (INT_S16)right, (INT_S16)bottom);
  auto box = [](INT_S32 v) { return (INT_S16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); };
  const bool framed = has_frames();
  const INT_U8 stretch = (bar_flags & PROGRESS_DONT_RESIZE) ? 0 : 1;
  const bool vertical = (bar_flags & PROGRESS_VERTICAL) != 0;
  COLOUR none = COLOUR_INVISIBLE;

  INT_S32 bw = 0;
  INT_S32 bar_x = x + left_gap, bar_y = y + top_gap;
  INT_S32 bar_w = width - left_gap - right_gap - 1, bar_h = height - top_gap - bottom_gap - 1;
  if (!(bar_flags & PROGRESS_ONLY_BAR)) {
    if (!framed) {
      if (has_alpha(background_colour)) target->fill_rectangle(x, y, box(right), box(bottom), &background_colour, 1);
      if (!(bar_flags & PROGRESS_NO_BORDER)) draw_border(this, x, y, box(right), box(bottom), 0x000F, &background_colour, 1, -1);
    } else {
      background_frame.draw(x, y, box(right), box(bottom), stretch, target, BLIT_BLEND);
    }
    bw = framed ? 0 : border_width((INT_S32)bar_border_type);
    if (label && !vertical) {
      INT_S32 lw = text_width(target, font_id, font_x_size, font_y_size, label, -1, false);
      draw_text_in_box(target, box(x + left_gap), box(bar_y), box(x + left_gap + lw), box(bottom - bottom_gap),
                       &label_colour, &none, &none, font_id, font_x_size, font_y_size, label, 0);
      bar_x += lw + left_gap;
      bar_w -= lw + left_gap;
    }
    if (!framed)
      draw_border(this, box(bar_x), box(bar_y), box(bar_x + bar_w), box(bar_y + bar_h), 0x800F, &background_colour,
                  (INT_S32)bar_border_type, -1);
    else
      empty_frame.draw(box(bar_x), box(bar_y), box(bar_x + bar_w), box(bar_y + bar_h), stretch, target, BLIT_BLEND);
  }

  // The filled length: at least 2 bw + 1, and never past the bar box (within its border).
  INT_S32 length = vertical ? bar_h : bar_w;
  INT_S32 f = maximum == 0 ? length + 1 : (INT_S32)((INT_S64)length * value / maximum + 1);
  if (f < 2 * bw + 1) f = 2 * bw + 1;
  if (f > length - bw) f = length - bw;
  char shown_percentage[24], remaining[24];
  percentage_texts(shown_percentage, remaining);
  INT_S32 e = 0;  // the empty height of a vertical bar
  const INT_U16 part_border = 0x000F;
  const bool shaded_parts = !(bar_flags & PROGRESS_NO_SHADING);

  if (!vertical) {
    if (!framed) {
      target->fill_rectangle(box(bar_x + bw), box(bar_y + bw), box(bar_x + f), box(bar_y + bar_h - bw), &fill_colour, 1);
      if (shaded_parts)
        draw_border(this, box(bar_x + bw), box(bar_y + bw), box(bar_x + f), box(bar_y + bar_h - bw), part_border,
                    &fill_colour, (INT_S32)bar_border_type, -1);
      if (has_alpha(empty_colour)) {
        target->fill_rectangle(box(bar_x + f), box(bar_y + bw), box(bar_x + bar_w - bw), box(bar_y + bar_h - bw),
                               &empty_colour, 1);
        if (shaded_parts)
          draw_border(this, box(bar_x + f), box(bar_y + bw), box(bar_x + bar_w - bw), box(bar_y + bar_h - bw),
                      part_border, &empty_colour, (INT_S32)bar_border_type, -1);
      }
    } else {
      INT_S32 least = frame_minimum(full_frame, true);
      if (f < least) f = least;
      if (f > bar_w) f = bar_w;
      if (value != 0)
        full_frame.draw(box(bar_x), box(bar_y), box(bar_x + f), box(bar_y + bar_h), stretch, target, BLIT_BLEND);
      if (alt_frame.is_loaded()) {
        least = frame_minimum(alt_frame, true);
        if (f < least) f = least;
        if (f > bar_w) f = bar_w;
        if (value != maximum)
          alt_frame.draw(box(bar_x + f), box(bar_y), box(bar_x + bar_w), box(bar_y + bar_h), stretch, target,
                         BLIT_BLEND);
      }
    }
  } else {
    e = bar_h - f;
    if (!framed) {
      target->fill_rectangle(box(bar_x + bw), box(bar_y + e), box(bar_x + bar_w - bw), box(bar_y + bar_h - bw),
                             &fill_colour, 1);
      if (shaded_parts)
        draw_border(this, box(bar_x + bw), box(bar_y + e), box(bar_x + bar_w - bw), box(bar_y + bar_h - bw),
                    part_border, &fill_colour, (INT_S32)bar_border_type, -1);
      if (has_alpha(empty_colour)) {
        target->fill_rectangle(box(bar_x + bw), box(bar_y + bw), box(bar_x + bar_w - bw), box(bar_y + e), &empty_colour,
                               1);
        if (shaded_parts)
          draw_border(this, box(bar_x + bw), box(bar_y + bw), box(bar_x + bar_w - bw), box(bar_y + e), part_border,
                      &empty_colour, (INT_S32)bar_border_type, -1);
      }
    } else {
      INT_S32 least = frame_minimum(full_frame, false);
      if (e < least) e = least;
      if (e > bar_h) e = bar_h;
      if (value != 0)
        full_frame.draw(box(bar_x), box(bar_y + e), box(bar_x + bar_w), box(bar_y + bar_h), stretch, target, BLIT_BLEND);
      if (alt_frame.is_loaded()) {
        least = frame_minimum(alt_frame, false);
        if (e < least) e = least;
        if (e > bar_h) e = bar_h;
        if (value != maximum)
          alt_frame.draw(box(bar_x), box(bar_y), box(bar_x + bar_w), box(bar_y + e), stretch, target, BLIT_BLEND);
      }
    }
  }

  // The texts.
  const char* shown = title ? title : shown_percentage;
  INT_S32 tw = text_width(target, font_id, font_x_size, font_y_size, shown, -1, false);
  INT_S32 x1 = bar_x + bw, y1 = bar_y + bw, x2 = bar_x + bar_w - bw, y2 = bar_y + bar_h - bw;
  if (bar_h & 1) y2++;
  INT_S32 ax1 = x1, ay1 = y1, ax2 = x2, ay2 = y2;  // the remaining percentage's box
  if (bar_flags & PROGRESS_TEXT_ON_BAR) {
    if (!vertical) {
      x2 = bar_x + f;
      if (f - bw <= tw) x2 = x1 + tw + 1;
      ax1 = bar_x + f;
      ax2 = bar_x + bar_w - bw;
      if (ax2 - ax1 <= tw) ax1 = ax2 - tw - 1;
    } else {
      INT_S32 fh = font_y_size == -1 ? target->default_font_y_size : font_y_size;
      x2 = bar_x + bar_w - bw;
      y1 = bar_y + e;
      y2 = bar_y + bar_h - bw;
      if (y2 - y1 <= fh) y1 = y2 - fh - 1;
      ay1 = bar_y + bw;
      ay2 = bar_y + e;
      if (ay2 - ay1 <= fh) ay2 = ay1 + fh + 1;
    }
    if ((bar_flags & PROGRESS_ALT_PERCENTAGE) && remaining[0])
      draw_text_in_box(target, box(ax1), box(ay1), box(ax2), box(ay2), &alt_text_colour, &none, &none, font_id,
                       font_x_size, font_y_size, remaining, 0);
  }
  draw_text_in_box(target, box(x1), box(y1), box(x2), box(y2), &text_colour, &none, &none, font_id, font_x_size,
                   font_y_size, shown, 0);
  target->clip = saved;
}
