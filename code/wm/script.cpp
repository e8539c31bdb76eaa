// Scripts: construction from a style set or in place through init, the text, the owner's input first,
// the flash step, the frames taken from a style or loaded by name, and drawing of the background, border
// and text (with the placing of a label's icon beside its text, which buttons share).
#include "script.h"

#include "border.h"
#include "draw.h"
#include "folder.h"
#include "host.h"
#include "image_cache.h"
#include "screen_object_draw.h"
#include "style_set.h"
#include "text_draw.h"
#include "wm_private.h"

WM_SCRIPT::WM_SCRIPT(INT_U8 visible_, WM_EVENT_CALLBACK event_callback_, INT_U32 event_user1_, INT_U32 event_user2_)
    : WM_SCREEN_OBJECT(visible_, event_callback_, event_user1_, event_user2_), text(""), flash_text(""), flashing(0),
      text_colour(0), underline_colour(0), background_colour(0), fade_colour(0), flash_background_colour(0),
      flash_text_colour(0), draw_background(0), font_id(-1), font_x_size(-1), font_y_size(-1), left_gap(0),
      right_gap(0), top_gap(0), bottom_gap(0), x_spacing(0), y_spacing(0), draw_flags(0), shading_flags(15),
      enabled(1), blink_mask(0x20), owner(nullptr), frame(&*image_cache), flash_frame(&*image_cache) {}

// The script's own drawing flags from the style's ssf_ flags.
static INT_U32 draw_flags_of(const WM_STYLE_SET* style) {
  INT_U32 f = style->flags, out = 0;
  if ((f & ssf_draw_border) && (f & ssf_indent_border)) out |= SCRIPT_INDENT_BORDER;
  if ((f & ssf_draw_border) && (f & ssf_outstanding_border)) out |= SCRIPT_RAISED_BORDER;
  static const struct {
    INT_U32 from, to;
  } map[] = {{ssf_left_justify_text, SCRIPT_LEFT_JUSTIFY},
             {ssf_right_justify_text, SCRIPT_RIGHT_JUSTIFY},
             {ssf_top_align_text, SCRIPT_TOP_ALIGN},
             {ssf_bottom_align_text, SCRIPT_BOTTOM_ALIGN},
             {ssf_darkened_background, SCRIPT_DARKEN_BACKGROUND},
             {ssf_hfading, SCRIPT_HFADING},
             {ssf_vfading, SCRIPT_VFADING},
             {ssf_use_text_colour_for_outline, SCRIPT_TEXT_COLOUR_OUTLINE},
             {ssf_shadow_text, SCRIPT_SHADOW_TEXT},
             {ssf_inset_text, SCRIPT_INSET_TEXT},
             {ssf_chiseled_text, SCRIPT_CHISELED_TEXT},
             {ssf_icon_left, SCRIPT_ICON_LEFT},
             {ssf_icon_right, SCRIPT_ICON_RIGHT},
             {ssf_icon_top, SCRIPT_ICON_TOP},
             {ssf_icon_bottom, SCRIPT_ICON_BOTTOM},
             {ssf_icon_attach_to_text, SCRIPT_ICON_ATTACH_TO_TEXT},
             {ssf_wrap_text, SCRIPT_WRAP_TEXT},
             {ssf_dont_resize_image, SCRIPT_DONT_RESIZE_IMAGE}};
  for (const auto& row : map)
    if (f & row.from) out |= row.to;
  return out;
}

WM_SCRIPT::WM_SCRIPT(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom, WM_STYLE_SET* style,
                     const char* new_text)
    : WM_SCRIPT(style ? style->visible : (INT_U8)1, nullptr, 0, 0) {
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  draw_flags = draw_flags_of(style);
  draw_background = 1;
  init(left, top, right, bottom, new_text, style->font_id, style->font_x_sz, style->font_y_sz, &style->fg_colour,
       &style->bg_colour, style->border_left_gap, style->border_right_gap, style->border_top_gap,
       style->border_bottom_gap, style->x_spacing, style->y_spacing);
  shading_flags = (INT_U16)(style->shading_flags & ~0x8000);
  if ((style->flags & ssf_draw_border) && (style->flags & ssf_indent_border)) shading_flags |= 0x8000;
  if (style->fading_colour >> 24) fade_colour = style->fading_colour;
  if (style->image_filename) set_style(style->image_path, style->image_filename, style);
  if (style->object_colour >> 24) colour = style->object_colour;
  if (style->flashing_text_colour >> 24) {
    if (visible) show();
    flash_text_colour = style->flashing_text_colour;
  }
  if (style->underline_colour >> 24) {
    if (visible) show();
    underline_colour = style->underline_colour;
  }
}

WM_SCRIPT::~WM_SCRIPT() {
  flash_frame.clear();
  frame.clear();
}

void WM_SCRIPT::init(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom, const char* new_text,
                     INT_S8 new_font_id, INT_S16 new_font_x_size, INT_S16 new_font_y_size,
                     const COLOUR* new_text_colour, const COLOUR* new_background_colour, INT_S16 new_left_gap,
                     INT_S16 new_right_gap, INT_S16 new_top_gap, INT_S16 new_bottom_gap, INT_S16 new_x_spacing,
                     INT_S16 new_y_spacing) {
  IMAGE* target = draw_target;
  choose_widget_font(new_font_id, new_font_x_size, new_font_y_size, &font_id, &font_x_size, &font_y_size);
  INT_S16 gap = (INT_S16)border_width(1);
  left_gap = new_left_gap == -1 ? gap : new_left_gap;
  right_gap = new_right_gap == -1 ? gap : new_right_gap;
  top_gap = new_top_gap == -1 ? gap : new_top_gap;
  bottom_gap = new_bottom_gap == -1 ? gap : new_bottom_gap;
  x_spacing = new_x_spacing == -1 ? left_gap : new_x_spacing;
  y_spacing = new_y_spacing == -1 ? top_gap : new_y_spacing;
  x = left;
  y = top;
  shading_flags = 15;
  if (!new_text) new_text = "";
  text.parse(&text.value, new_text);
  width = (INT_S16)(right - left + 1);
  if (width < 1)
    width = (INT_S16)(text_width(target, font_id, font_x_size, font_y_size, new_text, -1, false) + left_gap + right_gap);
  height = (INT_S16)(bottom - top + 1);
  if (height < 1) {
    INT_S16 line = font_y_size == -1 && target ? target->default_font_y_size : font_y_size;
    height = (INT_S16)(line + top_gap + bottom_gap);
  }
  text_colour = new_text_colour ? *new_text_colour : 0;
  background_colour = new_background_colour ? *new_background_colour : 0;
  underline_colour = COLOUR_INVISIBLE;
  fade_colour = 0xFF000000;
  flash_text_colour = COLOUR_INVISIBLE;
  enabled = 1;
  flashing = 0;
  blink_mask = 0x20;
  owner = nullptr;
  kind |= WM_KIND_SCRIPT;
  call_screen_object_created_hook(this);
}

void WM_SCRIPT::set_text(const char* new_text, bool fit) {
  if (visible) show();
  text.parse(&text.value, new_text ? new_text : "");
  if (fit && draw_target) {
    INT_S32 wanted = text_width(draw_target, draw_target->default_font_id, draw_target->default_font_x_size,
                                draw_target->default_font_y_size, new_text ? new_text : "", -1, false) + 1;
    if (wanted > width) width = (INT_S16)wanted;
  }
}

WM_RESULT WM_SCRIPT::process() {
  if (owner) {
    WM_RESULT result = owner->process();
    if (result != 0) return result;
  }
  return WM_SCREEN_OBJECT::process();
}

void follow_blink_phase(WM_SCREEN_OBJECT* object, const PARAMETER* flash_text, INT_U8 mask, INT_U8* flash_state) {
  if (flash_text->type != STRING_TYPE || !flash_text->value.text || !flash_text->value.text[0] || !object->visible)
    return;
  // The next change of the flash is the frame loop's due time: the object shows nothing new until then.
  if (mask) request_pass_by(blink_phase_next_change(pass_time, mask));
  INT_U8 wanted = (blink_phase & mask) ? 1 : 0;
  if (wanted == *flash_state) return;
  *flash_state = wanted;
  object->show();
}

WM_RESULT WM_SCRIPT::update(bool top_level) {
  follow_blink_phase(this, &flash_text, blink_mask, &flashing);
  return WM_SCREEN_OBJECT::update(top_level);
}

bool WM_SCRIPT::contains_point(INT_S16 px, INT_S16 py) {
  if (!visible) return false;
  if (child_contains_point(px, py)) return true;
  if (!rect_contains_point(px, py)) return false;
  // Only solid pixels of a frame count, unless the whole rectangle is asked for.
  if (frame.is_loaded() && !(draw_flags & SCRIPT_WHOLE_RECTANGLE_HIT))
    return frame.hit_test((INT_S16)(px - x), (INT_S16)(py - y), width, height);
  return true;
}

bool WM_SCRIPT::is_focusable() { return false; }

bool WM_SCRIPT::wraps_in_its_box(INT_S16* top, INT_S16* bottom) {
  IMAGE* target = draw_target;
  if (top) *top = (INT_S16)(y + top_gap);
  if (bottom) *bottom = (INT_S16)(y + height - bottom_gap - 1);
  bool wraps = (draw_flags & SCRIPT_WRAP_TEXT) != 0;
  if ((path_text && !wraps) || !target || text.type != STRING_TYPE || !text.value.text) return wraps;
  INT_S32 line = font_y_size == -1 ? target->default_font_y_size : font_y_size;
  if (line < 1 || height < 2 * line ||
      text_width(target, font_id, font_x_size, font_y_size, text.value.text, -1, false) <= width - left_gap - right_gap)
    return wraps;
  // Where two lines need them, the lines take the top and bottom gaps too.
  if (height - top_gap - bottom_gap < 2 * line) {
    if (top) *top = y;
    if (bottom) *bottom = (INT_S16)(y + height - 1);
  }
  return true;
}

bool WM_SCRIPT::set_style(const char* path_text, const char* base_name, WM_STYLE_SET* style) {
  if (style && style->has_frames()) {
    if (style->state_frames[0]) frame.copy(*style->state_frames[0]);
    if (style->state_frames[11]) flash_frame.copy(*style->state_frames[11]);
    if (!frame.is_loaded() && style->state_frames[1]) frame.copy(*style->state_frames[1]);
    return frame.is_loaded();
  }
  if (!base_name) {
    clear_frames();
    return false;
  }
  frame.load(path_text, base_name, 0);
  if (!frame.is_loaded()) load_frame_named(&frame, path_text, "%s_up", base_name, 0);
  load_frame_named(&flash_frame, path_text, "%s_flashing", base_name, 0);
  return frame.is_loaded();
}

bool WM_SCRIPT::set_style(FOLDER* folder, const char* base_name, WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE];
  return set_style(FOLDER::portable_text_of(folder, path), base_name, style);
}

void WM_SCRIPT::clear_frames() {
  frame.clear();
  flash_frame.clear();
}

bool WM_SCRIPT::has_frame() { return frame.is_loaded(); }

void place_icon_beside_text(bool before, bool after, bool near_aligned, bool far_aligned, INT_S32 spacing,
                            INT_S32 icon_size, INT_S32 text_size, INT_S32* text_start, INT_S32* from, INT_S32* to) {
  INT_S32 room = icon_size + spacing;
  if (before) {
    if (near_aligned) *text_start += room;
    else if (!far_aligned) *text_start += room / 2;
    *from = *text_start - room;
    *to = *text_start - spacing;
  } else if (after) {
    if (far_aligned) *text_start -= room;
    else if (!near_aligned) *text_start -= room / 2;
    *from = *text_start + text_size + spacing - 1;
    *to = *from + icon_size;
  } else {
    *from = *text_start;
    *to = *text_start + text_size - 1;
  }
}

void WM_SCRIPT::draw() {
  IMAGE* target = draw_target;
  if (!target) return;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
  IMAGE_AREA saved = target->clip;
  target->intersect_clip(x, y, x2, y2);
  COLOUR background = flashing && (flash_background_colour >> 24) ? flash_background_colour : background_colour;
  COLOUR black = 0xFF000000;
  if (frame.is_loaded()) {
    WM_FRAME& shown_frame = flashing && flash_frame.is_loaded() ? flash_frame : frame;
    shown_frame.draw(x, y, x2, y2, (draw_flags & SCRIPT_DONT_RESIZE_IMAGE) ? 0 : 1, target, BLIT_BLEND);
  } else if (draw_background) {
    INT_S16 radius = (INT_S16)(corner_radius(target, x, y, x2, y2) / 2);
    if (radius > 20) radius = 20;
    INT_U8 corners = (INT_U8)((shading_flags >> 4) & 0x0F);
    bool flash_background = flashing && (flash_background_colour >> 24);
    if ((draw_flags & SCRIPT_DARKEN_BACKGROUND) && !flash_background) {
      if (!corners) target->darken_rectangle(x, y, x2, y2, 50);
      else draw_shaded_box(target, x, y, x2, y2, radius, corners, &black, &black, 50, SHADE_DARKEN);
    } else if (background >> 24) {
      INT_S32 mode = (draw_flags & SCRIPT_HFADING) ? SHADE_HORIZONTAL : (draw_flags & SCRIPT_VFADING) ? SHADE_VERTICAL
                                                                                                     : SHADE_BLEND;
      if (!corners) {
        if (mode == SHADE_HORIZONTAL) target->fill_gradient_horizontal(x, y, x2, y2, &background, &fade_colour, 1);
        else if (mode == SHADE_VERTICAL) target->fill_gradient_vertical(x, y, x2, y2, &background, &fade_colour, 1);
        else target->fill_rectangle(x, y, x2, y2, &background, 1);
      } else {
        draw_shaded_box(target, x, y, x2, y2, radius, corners, &background,
                        mode == SHADE_BLEND ? &black : &fade_colour, 0, mode);
      }
    }
    COLOUR saved_outline = border_outline_colour;
    if (draw_flags & SCRIPT_TEXT_COLOUR_OUTLINE) border_outline_colour = text_colour;
    if (draw_flags & SCRIPT_INDENT_BORDER)
      draw_border(this, x, y, x2, y2, (INT_U16)(shading_flags | 0x8000), &background, 1, radius);
    else if (draw_flags & SCRIPT_RAISED_BORDER)
      draw_border(this, x, y, x2, y2, (INT_U16)(shading_flags & ~0x8000), &background, 1, radius);
    border_outline_colour = saved_outline;
  }

  TEXT_FLAGS flags = 0;
  if (draw_flags & SCRIPT_LEFT_JUSTIFY) flags |= TEXT_LEFT_JUSTIFY;
  if (draw_flags & SCRIPT_RIGHT_JUSTIFY) flags |= TEXT_RIGHT_JUSTIFY;
  if (draw_flags & SCRIPT_TOP_ALIGN) flags |= TEXT_TOP_ALIGN;
  if (draw_flags & SCRIPT_BOTTOM_ALIGN) flags |= TEXT_BOTTOM_ALIGN;
  if (!enabled) flags |= TEXT_CHISELED;
  else {
    if (draw_flags & SCRIPT_SHADOW_TEXT) flags |= TEXT_SHADOW;
    if (draw_flags & SCRIPT_INSET_TEXT) flags |= TEXT_INSET;
    if (draw_flags & SCRIPT_CHISELED_TEXT) flags |= TEXT_CHISELED;
  }
  PARAMETER& shown = flashing ? flash_text : text;
  const char* line = shown.type == STRING_TYPE && shown.value.text ? shown.value.text : "";
  std::string path;
  if (path_text && !(draw_flags & SCRIPT_WRAP_TEXT)) {
    path = path_in_room(target, font_id, font_x_size, font_y_size, line, width - left_gap - right_gap);
    line = path.c_str();
  }
  INT_S32 tw = text_width(target, font_id, font_x_size, font_y_size, line, -1, false);
  INT_S32 th = font_y_size == -1 ? target->default_font_y_size : font_y_size;
  INT_S16 text_top, text_bottom;
  bool wrap = wraps_in_its_box(&text_top, &text_bottom);
  bool left_justified = (draw_flags & SCRIPT_LEFT_JUSTIFY) != 0;
  bool right_justified = !left_justified && (draw_flags & SCRIPT_RIGHT_JUSTIFY);
  bool top_aligned = (draw_flags & SCRIPT_TOP_ALIGN) != 0;
  bool bottom_aligned = !top_aligned && (draw_flags & SCRIPT_BOTTOM_ALIGN);
  INT_S32 tx, ty;
  if (left_justified) tx = x + left_gap;
  else if (right_justified) tx = x + width - right_gap - tw - 1;
  else tx = x + left_gap + (width - left_gap - right_gap - tw) / 2;
  if (top_aligned) ty = y + top_gap;
  else if (bottom_aligned) ty = y + height - bottom_gap - th - 1;
  else ty = y + top_gap + (height - top_gap - bottom_gap - th) / 2;

  INT_S32 iw = icon.width, ih = icon.height;
  if (iw != 0) {
    bool attached = (draw_flags & SCRIPT_ICON_ATTACH_TO_TEXT) != 0;
    INT_S32 bx1, bx2, by1, by2;
    if (!attached) {
      if (draw_flags & SCRIPT_ICON_LEFT) bx1 = x, bx2 = x + left_gap;
      else if (draw_flags & SCRIPT_ICON_RIGHT) bx1 = x + width - right_gap - 1, bx2 = x + width - 1;
      else bx1 = x, bx2 = x + width - 1;
      if (draw_flags & SCRIPT_ICON_TOP) by1 = y, by2 = y + top_gap;
      else if (draw_flags & SCRIPT_ICON_BOTTOM) by1 = y + height - bottom_gap - 1, by2 = y + height - 1;
      else by1 = y, by2 = y + height - 1;
    } else {
      // The text makes room for an icon beside it.
      place_icon_beside_text((draw_flags & SCRIPT_ICON_LEFT) != 0, (draw_flags & SCRIPT_ICON_RIGHT) != 0,
                             left_justified, right_justified, x_spacing, iw, tw, &tx, &bx1, &bx2);
      place_icon_beside_text((draw_flags & SCRIPT_ICON_TOP) != 0, (draw_flags & SCRIPT_ICON_BOTTOM) != 0, top_aligned,
                             bottom_aligned, y_spacing, ih, th, &ty, &by1, &by2);
    }
    IMAGE_AREA before_icon = target->clip;
    bool x_set = (draw_flags & (SCRIPT_ICON_LEFT | SCRIPT_ICON_RIGHT)) != 0;
    bool y_set = (draw_flags & (SCRIPT_ICON_TOP | SCRIPT_ICON_BOTTOM)) != 0;
    target->intersect_clip((INT_S16)(x_set ? bx1 : x), (INT_S16)(y_set ? by1 : y), (INT_S16)(x_set ? bx2 : x2),
                           (INT_S16)(y_set ? by2 : y2));
    icon.blit_to((INT_S16)(bx1 + (bx2 - bx1 - iw) / 2), (INT_S16)(by1 + (by2 - by1 - ih) / 2), target, BLIT_BLEND);
    target->clip = before_icon;
  }

  if (shown.type == STRING_TYPE && line[0]) {
    target->intersect_clip((INT_S16)(x + left_gap), text_top, (INT_S16)(x + width - right_gap - 1), text_bottom);
    COLOUR colour_of_text = flashing && (flash_text_colour >> 24) ? flash_text_colour : text_colour;
    if (wrap)
      draw_text_in_box(target, (INT_S16)(x + left_gap), text_top, (INT_S16)(x + width - right_gap - 1), text_bottom,
                       &colour_of_text, &COLOUR_INVISIBLE,
                       &underline_colour, font_id, font_x_size, font_y_size, line, flags);
    else
      draw_text_in_room(target, (INT_S16)tx, (INT_S16)ty, (INT_S16)(x + left_gap), (INT_S16)(x + width - right_gap - 1),
                        &colour_of_text, &COLOUR_INVISIBLE, &underline_colour, font_id, font_x_size, font_y_size, line,
                        flags);
  }
  target->clip = saved;
}

void WM_SCRIPT::set_colours(const COLOUR* background, const COLOUR* text_colour_, const COLOUR* third, bool map) {
  if (background) background_colour = *background;
  if (text_colour_) text_colour = *text_colour_;
  if (frame.is_loaded()) {
    if (map) frame.map_channels(background, text_colour_, third);
    else frame.tint(background);
    frame.composite_stale = 1;
  }
  show();
}

// Measures from a style set; a font size of -1 is the draw target's default.
static INT_S16 style_font_x(const WM_STYLE_SET* style) {
  return style->font_x_sz == -1 && draw_target ? draw_target->default_font_x_size : style->font_x_sz;
}

void WM_SCRIPT::horizontal_gaps(const WM_STYLE_SET* style, INT_S16* out) {
  INT_S16 left = style->border_left_gap, right = style->border_right_gap, font = style_font_x(style);
  if (left != -1 && right != -1) *out = (INT_S16)(left + right);
  else if (left != -1 || right != -1) *out = (INT_S16)((left != -1 ? left : right) + font / 2);
  else *out = font;
}

void WM_SCRIPT::vertical_gaps(const WM_STYLE_SET* style, INT_S16 missing, INT_S16* out) {
  INT_S16 top = style->border_top_gap, bottom = style->border_bottom_gap;
  *out = (INT_S16)((top != -1 ? top : missing) + (bottom != -1 ? bottom : missing));
}

void WM_SCRIPT::size_for_text(const WM_STYLE_SET* style, const char* text_, INT_S16* out_width, INT_S16* out_height) {
  IMAGE* target = draw_target;
  INT_S8 font = style->font_id == -1 && target ? target->default_font_id : style->font_id;
  INT_S16 font_x = style_font_x(style);
  INT_S16 font_y = style->font_y_sz == -1 && target ? target->default_font_y_size : style->font_y_sz;
  INT_S16 horizontal, vertical;
  horizontal_gaps(style, &horizontal);
  // Shading type 1 counts as the library's default border type.
  vertical_gaps(style, (INT_S16)border_width_of_type((INT_S32)style->shading_type), &vertical);
  *out_width = (INT_S16)(text_width(target, font, font_x, font_y, text_ ? text_ : "", -1, false) + horizontal + 1);
  *out_height = (INT_S16)(font_y + vertical + 1);
}
