// Button drawing: the face (one state frame chosen by state, or a filled, faded or darkened box with
// its border), the icon, the label (or the flash text) and the direction arrows, with colours and the
// one-pixel pressed shift chosen by the button's state.
#include "button.h"

#include "border.h"
#include "draw.h"
#include "image.h"
#include "text_draw.h"
#include "wm_private.h"

static bool is_visible(COLOUR colour) { return (colour >> 24) != 0; }

// The state frame to draw: highlighted, then the active ones, then the plain ones.
static WM_FRAME* chosen_frame(WM_BUTTON* button, bool indented, bool pointed) {
  WM_FRAME* frames = button->state_frames;
  if (button->highlighted && frames[BUTTON_FRAME_HIGHLIGHTED].is_loaded()) return &frames[BUTTON_FRAME_HIGHLIGHTED];
  if (button->state) {
    if (!button->enabled && frames[BUTTON_FRAME_ACTIVE_DISABLED].is_loaded()) return &frames[BUTTON_FRAME_ACTIVE_DISABLED];
    if (indented && frames[BUTTON_FRAME_ACTIVE_DOWN].is_loaded()) return &frames[BUTTON_FRAME_ACTIVE_DOWN];
    if (pointed && frames[BUTTON_FRAME_ACTIVE_OVER].is_loaded()) return &frames[BUTTON_FRAME_ACTIVE_OVER];
    if (frames[BUTTON_FRAME_ACTIVE_UP].is_loaded()) return &frames[BUTTON_FRAME_ACTIVE_UP];
  }
  if (!button->enabled && frames[BUTTON_FRAME_DISABLED].is_loaded()) return &frames[BUTTON_FRAME_DISABLED];
  if (indented) return &frames[BUTTON_FRAME_DOWN];
  if (pointed && frames[BUTTON_FRAME_OVER].is_loaded()) return &frames[BUTTON_FRAME_OVER];
  return &frames[BUTTON_FRAME_UP];
}

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

void WM_BUTTON::draw() {
  IMAGE* target = draw_target;
  if (!target) return;
  INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
  bool frames = has_state_frames();
  INT_S16 radius = (INT_S16)(corner_radius(target, x, y, x2, y2) / 2);
  if (radius > 20) radius = 20;
  bool pointed = pointer_over || selected || focus_object == this;
  const COLOUR black = 0xFF000000;

  IMAGE_AREA saved = target->clip;
  target->intersect_clip(x, y, x2, y2);
  IMAGE_AREA button_clip = target->clip;

  COLOUR face = background_colour;
  if (pointed && is_visible(mouse_over_colour)) face = mouse_over_colour;
  if (state) face = active_colour;
  if (highlighted && is_visible(highlight_colour)) face = highlight_colour;
  if (!enabled && is_visible(disabled_colour)) face = disabled_colour;
  COLOUR dark, light;
  border_colours(this, &face, &dark, &light);

  COLOUR ink = (state && is_visible(active_text_colour)) ? active_text_colour : text_colour;
  if (highlighted && is_visible(highlight_text_colour)) ink = highlight_text_colour;
  if (pointed && is_visible(mouse_over_text_colour)) ink = mouse_over_text_colour;
  if (!enabled) ink = disabled_text_colour;

  if (!(button_flags & bf_draw_border)) {
    if (highlighted || (indent_when_active && state)) shading_flags |= 0x8000;
    else shading_flags &= 0x7FFF;
  }
  bool indented = (shading_flags & 0x8000) != 0;

  if (!frames) {
    INT_U8 corners = (INT_U8)((shading_flags >> 4) & 0x0F);
    if (button_flags & bf_darkened_background) {
      if (!corners) target->darken_rectangle(x, y, x2, y2, 50);
      else draw_shaded_box(target, x, y, x2, y2, radius, corners, &black, &black, 50, SHADE_DARKEN);
    } else if (is_visible(face)) {
      bool flat_highlight = highlighted && is_visible(highlight_colour);
      bool hfade = (button_flags & bf_hfading) && !flat_highlight;
      bool vfade = (button_flags & bf_vfading) && !flat_highlight;
      bool invert = indented && (button_flags & bf_invert_vfading_on_press);
      const COLOUR* top = invert ? &fading_colour : &face;
      const COLOUR* bottom = invert ? &face : &fading_colour;
      if (!corners) {
        if (hfade) target->fill_gradient_horizontal(x, y, x2, y2, &face, &fading_colour, 1);
        else if (vfade) target->fill_gradient_vertical(x, y, x2, y2, top, bottom, 1);
        else target->fill_rectangle(x, y, x2, y2, &face, 1);
      } else {
        if (hfade) draw_shaded_box(target, x, y, x2, y2, radius, corners, &face, &fading_colour, 0, SHADE_HORIZONTAL);
        else if (vfade) draw_shaded_box(target, x, y, x2, y2, radius, corners, top, bottom, 0, SHADE_VERTICAL);
        else draw_shaded_box(target, x, y, x2, y2, radius, corners, &face, &black, 0, SHADE_BLEND);
      }
    }
    COLOUR saved_outline = border_outline_colour;
    if (button_flags & bf_use_text_colour_for_outline) border_outline_colour = text_colour;
    draw_border(this, x, y, x2, y2, shading_flags, &face, 1, radius);
    border_outline_colour = saved_outline;
  } else {
    chosen_frame(this, indented, pointed)
        ->draw(x, y, x2, y2, (button_flags & bf_dont_resize_image) ? 0 : 1, target, BLIT_BLEND);
  }

  TEXT_FLAGS flags = 0;
  bool left_justified = (button_flags & bf_left_justify_text) != 0;
  bool right_justified = !left_justified && (button_flags & bf_right_justify_text);
  bool top_aligned = (button_flags & bf_top_align_text) != 0;
  bool bottom_aligned = !top_aligned && (button_flags & bf_bottom_align_text);
  if (left_justified) flags |= TEXT_LEFT_JUSTIFY;
  if (right_justified) flags |= TEXT_RIGHT_JUSTIFY;
  if (top_aligned) flags |= TEXT_TOP_ALIGN;
  if (bottom_aligned) flags |= TEXT_BOTTOM_ALIGN;
  if (button_flags & bf_shadow_text) flags |= TEXT_SHADOW;
  if (button_flags & bf_inset_text) flags |= TEXT_INSET;
  if (button_flags & bf_chiseled_text) flags |= TEXT_CHISELED;
  INT_S32 pressed = (button_flags & bf_draw_border) ? indented : (highlighted || (indent_when_active && state));
  if (!(shading_flags & 0x000F)) pressed = 0;
  if (!enabled) {
    // An engraved label: inset in its own colour, or chiseled in the face's pixels. Chiseling lightens
    // and darkens the face around the glyphs, which only shows on a face with room for both: on a dark
    // face, a very light one or none (the label then stands on whatever lies beneath) the label is
    // greyed instead, its colour at half its strength.
    pressed = 0;
    flags &= (TEXT_FLAGS) ~(TEXT_SHADOW | TEXT_INSET | TEXT_CHISELED);
    double alpha, hue, saturation, lightness;
    colour_to_ahsl(&face, &alpha, &hue, &saturation, &lightness);
    bool engraves = frames || (!(button_flags & bf_darkened_background) && is_visible(face) &&
                               lightness >= 0.1 && lightness <= 0.85);
    if (is_visible(disabled_text_colour)) flags |= TEXT_INSET;
    else if (engraves) flags |= TEXT_CHISELED;
    else ink = (text_colour & 0x00FFFFFF) | ((text_colour >> 25) << 24);
  }

  const char* shown = label ? label : "";
  if (flash_state && flash_text.type == STRING_TYPE && flash_text.value.text && flash_text.value.text[0])
    shown = flash_text.value.text;
  std::string path;
  if (path_text && shown == label && !(button_flags & bf_wrap_text)) {
    path = path_in_room(target, font_id, font_x_size, font_y_size, shown, width - left_gap - right_gap);
    shown = path.c_str();
  }
  INT_S32 tw = text_width(target, font_id, font_x_size, font_y_size, shown, -1, false);
  INT_S32 fh = font_y_size == -1 ? target->default_font_y_size : font_y_size;
  INT_S32 tx, ty;
  if (left_justified) tx = x + left_gap + pressed;
  else if (right_justified) tx = x + width - right_gap - 1 - tw + pressed;
  else tx = x + left_gap + (width - left_gap - right_gap - tw) / 2;
  if (top_aligned) ty = y + top_gap;
  else if (bottom_aligned) ty = y + height - bottom_gap - fh - 1;
  else ty = y + top_gap + (height - top_gap - bottom_gap - fh) / 2;

  INT_S32 iw = icon.width, ih = icon.height;
  bool attached = (button_flags & bf_icon_attach_to_text) != 0;
  if (iw != 0) {
    INT_S32 sx = x_spacing, sy = y_spacing;
    INT_S32 bx1, bx2, by1, by2;
    bool x_set = (button_flags & (bf_icon_left | bf_icon_right)) != 0;
    bool y_set = (button_flags & (bf_icon_top | bf_icon_bottom)) != 0;
    if (!attached) {
      if (button_flags & bf_icon_left) bx1 = x, bx2 = x + left_gap;
      else if (button_flags & bf_icon_right) bx1 = x + width - right_gap - 1, bx2 = x + width - 1;
      else bx1 = x + left_gap, bx2 = x + width - right_gap - 1;
      if (button_flags & bf_icon_top) by1 = y, by2 = y + top_gap;
      else if (button_flags & bf_icon_bottom) by1 = y + height - bottom_gap - 1, by2 = y + height - 1;
      else by1 = y + top_gap, by2 = y + height - bottom_gap - 1;
    } else {
      // The label makes room for an icon beside it.
      place_icon_beside_text((button_flags & bf_icon_left) != 0, (button_flags & bf_icon_right) != 0, left_justified,
                             right_justified, sx, iw, tw, &tx, &bx1, &bx2);
      place_icon_beside_text((button_flags & bf_icon_top) != 0, (button_flags & bf_icon_bottom) != 0, top_aligned,
                             bottom_aligned, sy, ih, fh, &ty, &by1, &by2);
    }
    target->intersect_clip((INT_S16)(x_set ? bx1 : x), (INT_S16)(y_set ? by1 : y), (INT_S16)(x_set ? bx2 : x2),
                           (INT_S16)(y_set ? by2 : y2));
    INT_S16 ix = (INT_S16)(bx1 + ((bx2 - bx1) - iw) / 2 + pressed);
    INT_S16 iy = (INT_S16)(by1 + ((by2 - by1) - ih) / 2 + pressed);
    if (enabled) {
      icon.blit_to(ix, iy, target, BLIT_BLEND);
    } else {
      // Faded: what lay under the icon goes back over it at 208/255, so the icon shows through weakly.
      IMAGE under;
      under.set_size((INT_S16)iw, (INT_S16)ih);
      under.grab(ix, iy, target, BLIT_COPY);
      icon.blit_to(ix, iy, target, BLIT_BLEND);
      under.set_alpha(0xD0, 1, 0);
      under.blit_to(ix, iy, target, BLIT_BLEND);
    }
    target->clip = button_clip;
  }

  INT_S32 cx1 = x + left_gap, cx2 = x + width - right_gap - 1;
  if (iw != 0 && attached && (button_flags & bf_icon_left)) {
    cx1 = x + left_gap + (iw + x_spacing) / 2;
    cx2 = x + width - right_gap - 1 + iw / 2 + x_spacing;
  } else if (iw != 0 && attached && (button_flags & bf_icon_right)) {
    cx1 = x + left_gap - (iw + x_spacing) / 2;
    cx2 = x + width - right_gap - 1 - (iw / 2 + x_spacing);
  }
  target->intersect_clip((INT_S16)cx1, (INT_S16)(y + top_gap), (INT_S16)cx2, (INT_S16)(y + height - bottom_gap - 1));
  if (button_flags & bf_wrap_text)
    draw_text_in_box(target, (INT_S16)(x + left_gap + pressed), (INT_S16)(y + top_gap + pressed),
                     (INT_S16)(x + width - right_gap - 1 + pressed), (INT_S16)(y + height - bottom_gap - 1 + pressed),
                     &ink, &COLOUR_INVISIBLE, &underline_colour, font_id, font_x_size, font_y_size, shown, flags);
  else
    draw_text_in_room(target, (INT_S16)(tx + pressed), (INT_S16)(ty + pressed), (INT_S16)(cx1 + pressed),
                      (INT_S16)(cx2 + pressed), &ink, &COLOUR_INVISIBLE, &underline_colour, font_id, font_x_size,
                      font_y_size, shown, flags);

  target->clip = button_clip;
  INT_S16 bw = (INT_S16)border_width(1);
  static const struct {
    INT_U32 flag;
    INT_S32 direction;
  } arrows[] = {{bf_left_arrow, 2}, {bf_right_arrow, 3}, {bf_up_arrow, 0}, {bf_down_arrow, 1}};
  for (const auto& arrow : arrows) {
    if (!(button_flags & arrow.flag)) continue;
    INT_S16 ax1 = arrow.direction == 2 ? (INT_S16)(x + bw) : (INT_S16)(x + width - height + bw);
    INT_S16 ax2 = arrow.direction == 2 ? (INT_S16)(x + height - bw - 1) : (INT_S16)(x2 - bw);
    INT_S16 ay1 = (INT_S16)(y + bw), ay2 = (INT_S16)(y2 - bw);
    if (enabled) {
      if (!is_visible(ink)) continue;  // an arrow in an invisible label colour is not drawn
      draw_arrow(this, (INT_S16)(ax1 + pressed), (INT_S16)(ay1 + pressed), (INT_S16)(ax2 + pressed),
                 (INT_S16)(ay2 + pressed), &ink, arrow.direction, -1, -1);
    } else {
      // Engraved: the light shade one pixel down and right, the dark shade in place.
      draw_arrow(this, (INT_S16)(ax1 + 1), (INT_S16)(ay1 + 1), (INT_S16)(ax2 + 1), (INT_S16)(ay2 + 1), &light,
                 arrow.direction, -1, -1);
      draw_arrow(this, ax1, ay1, ax2, ay2, &dark, arrow.direction, -1, -1);
    }
  }

  // The keyboard focus, where it is shown: a dotted outline inside the border, in the label's colour,
  // clear of round corners.
  if (focus_object == this && focus_visible) {
    COLOUR cue = is_visible(ink) ? ink : text_colour;
    if (!is_visible(cue)) contrasting_text_colour(&cue, &face);
    INT_S16 inset = (INT_S16)(border_width(1) + 1);
    INT_S16 cut = (shading_flags & 0x00F0) && radius > inset ? (INT_S16)(radius - inset) : (INT_S16)0;
    if (x2 - x > 2 * inset && y2 - y > 2 * inset)
      draw_dotted_rectangle(target, (INT_S16)(x + inset), (INT_S16)(y + inset), (INT_S16)(x2 - inset),
                            (INT_S16)(y2 - inset), cut, &cue);
  }
  target->clip = saved;
}
