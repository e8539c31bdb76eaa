// Button drawing: the face (one state frame chosen by state, or a filled, faded or darkened box with
// its border), the icon, the label (or the flash text) and the direction arrows, with colours and the
// one-pixel pressed shift chosen by the button's state.
#include "button.h"

#include <string>

#include "border.h"
#include "draw.h"
#include "image.h"
#include "screen_object_draw.h"
#include "text_draw.h"
#include "wm_private.h"

static bool is_visible(COLOUR colour) { return (colour >> 24) != 0; }

namespace {
// What one drawing of a button works with: its corners, the state it shows, the colours chosen for that
// state and the place of its label, worked out part by part.
struct BUTTON_LOOK {
  IMAGE* target;
  INT_S16 x2, y2;           // the last column and row
  bool frames;              // drawn from state frames
  INT_S16 radius;           // of the rounded corners
  bool pointed;             // the pointer, the selection or the focus is on it
  bool indented;
  COLOUR face, dark, light, ink;
  IMAGE_AREA button_clip;   // the clip within the button
  TEXT_FLAGS flags;         // of the label
  bool left_justified, right_justified, top_aligned, bottom_aligned;
  INT_S32 pressed;          // the pressed shift of the label, icon and arrows
  const char* shown;        // the label or the flash text, as it is drawn
  std::string path;         // holds a shortened path that shown points into
  INT_S32 tw, fh;           // the label's width and the font's height
  INT_S32 tx, ty;           // where the label goes
  bool attached;            // the icon stands beside the label
};
}  // namespace

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

// The face's colour by state, the border's shades from it, and the label's colour.
static void choose_colours(WM_BUTTON* b, BUTTON_LOOK* look) {
  COLOUR face = b->background_colour;
  if (look->pointed && is_visible(b->mouse_over_colour)) face = b->mouse_over_colour;
  if (b->state) face = b->active_colour;
  if (b->highlighted && is_visible(b->highlight_colour)) face = b->highlight_colour;
  if (!b->enabled && is_visible(b->disabled_colour)) face = b->disabled_colour;
  look->face = face;
  border_colours(b, &look->face, &look->dark, &look->light);

  COLOUR ink = (b->state && is_visible(b->active_text_colour)) ? b->active_text_colour : b->text_colour;
  if (b->highlighted && is_visible(b->highlight_text_colour)) ink = b->highlight_text_colour;
  if (look->pointed && is_visible(b->mouse_over_text_colour)) ink = b->mouse_over_text_colour;
  if (!b->enabled) ink = b->disabled_text_colour;
  look->ink = ink;
}

// The face: the chosen state frame, or the darkened, faded or filled box with its border.
static void draw_face(WM_BUTTON* b, BUTTON_LOOK* look) {
  IMAGE* target = look->target;
  INT_S16 x = b->x, y = b->y, x2 = look->x2, y2 = look->y2, radius = look->radius;
  const COLOUR black = 0xFF000000;
  const COLOUR& face = look->face;
  if (look->frames) {
    chosen_frame(b, look->indented, look->pointed)
        ->draw(x, y, x2, y2, (b->button_flags & bf_dont_resize_image) ? 0 : 1, target, BLIT_BLEND);
    return;
  }
  INT_U8 corners = (INT_U8)((b->shading_flags >> 4) & 0x0F);
  if (b->button_flags & bf_darkened_background) {
    if (!corners) target->darken_rectangle(x, y, x2, y2, 50);
    else draw_shaded_box(target, x, y, x2, y2, radius, corners, &black, &black, 50, SHADE_DARKEN);
  } else if (is_visible(face)) {
    bool flat_highlight = b->highlighted && is_visible(b->highlight_colour);
    bool hfade = (b->button_flags & bf_hfading) && !flat_highlight;
    bool vfade = (b->button_flags & bf_vfading) && !flat_highlight;
    bool invert = look->indented && (b->button_flags & bf_invert_vfading_on_press);
    const COLOUR* top = invert ? &b->fading_colour : &face;
    const COLOUR* bottom = invert ? &face : &b->fading_colour;
    if (!corners) {
      if (hfade) target->fill_gradient_horizontal(x, y, x2, y2, &face, &b->fading_colour, 1);
      else if (vfade) target->fill_gradient_vertical(x, y, x2, y2, top, bottom, 1);
      else target->fill_rectangle(x, y, x2, y2, &face, 1);
    } else {
      if (hfade) draw_shaded_box(target, x, y, x2, y2, radius, corners, &face, &b->fading_colour, 0, SHADE_HORIZONTAL);
      else if (vfade) draw_shaded_box(target, x, y, x2, y2, radius, corners, top, bottom, 0, SHADE_VERTICAL);
      else draw_shaded_box(target, x, y, x2, y2, radius, corners, &face, &black, 0, SHADE_BLEND);
    }
  }
  COLOUR saved_outline = border_outline_colour;
  if (b->button_flags & bf_use_text_colour_for_outline) border_outline_colour = b->text_colour;
  draw_border(b, x, y, x2, y2, b->shading_flags, &face, 1, radius);
  border_outline_colour = saved_outline;
}

// The label's flags and pressed shift; a disabled button's label is engraved or greyed.
static void choose_label_effects(WM_BUTTON* b, BUTTON_LOOK* look) {
  TEXT_FLAGS flags = 0;
  look->left_justified = (b->button_flags & bf_left_justify_text) != 0;
  look->right_justified = !look->left_justified && (b->button_flags & bf_right_justify_text);
  look->top_aligned = (b->button_flags & bf_top_align_text) != 0;
  look->bottom_aligned = !look->top_aligned && (b->button_flags & bf_bottom_align_text);
  if (look->left_justified) flags |= TEXT_LEFT_JUSTIFY;
  if (look->right_justified) flags |= TEXT_RIGHT_JUSTIFY;
  if (look->top_aligned) flags |= TEXT_TOP_ALIGN;
  if (look->bottom_aligned) flags |= TEXT_BOTTOM_ALIGN;
  if (b->button_flags & bf_shadow_text) flags |= TEXT_SHADOW;
  if (b->button_flags & bf_inset_text) flags |= TEXT_INSET;
  if (b->button_flags & bf_chiseled_text) flags |= TEXT_CHISELED;
  INT_S32 pressed = (b->button_flags & bf_draw_border) ? look->indented
                                                       : (b->highlighted || (b->indent_when_active && b->state));
  if (!(b->shading_flags & 0x000F)) pressed = 0;
  if (!b->enabled) {
    // An engraved label: inset in its own colour, or chiseled in the face's pixels. Chiseling lightens
    // and darkens the face around the glyphs, which only shows on a face with room for both: on a dark
    // face, a very light one or none (the label then stands on whatever lies beneath) the label is
    // greyed instead, its colour at half its strength.
    pressed = 0;
    flags &= (TEXT_FLAGS) ~(TEXT_SHADOW | TEXT_INSET | TEXT_CHISELED);
    double alpha, hue, saturation, lightness;
    colour_to_ahsl(&look->face, &alpha, &hue, &saturation, &lightness);
    bool engraves = look->frames || (!(b->button_flags & bf_darkened_background) && is_visible(look->face) &&
                                     lightness >= 0.1 && lightness <= 0.85);
    if (is_visible(b->disabled_text_colour)) flags |= TEXT_INSET;
    else if (engraves) flags |= TEXT_CHISELED;
    else look->ink = (b->text_colour & 0x00FFFFFF) | ((b->text_colour >> 25) << 24);
  }
  look->flags = flags;
  look->pressed = pressed;
}

// The text shown (the flash text while it flashes, a path or name shortened to its room) and where it
// goes.
static void place_label(WM_BUTTON* b, BUTTON_LOOK* look) {
  IMAGE* target = look->target;
  const char* shown = b->label ? b->label : "";
  if (b->flash_state && b->flash_text.type == STRING_TYPE && b->flash_text.value.text && b->flash_text.value.text[0])
    shown = b->flash_text.value.text;
  if ((b->path_text || b->name_text) && shown == b->label && !(b->button_flags & bf_wrap_text)) {
    INT_S32 room = b->width - b->left_gap - b->right_gap;
    look->path = b->path_text ? path_in_room(target, b->font_id, b->font_x_size, b->font_y_size, shown, room,
                                             b->path_start)
                              : name_in_room(target, b->font_id, b->font_x_size, b->font_y_size, shown, room);
    shown = look->path.c_str();
  }
  look->shown = shown;
  look->tw = text_width(target, b->font_id, b->font_x_size, b->font_y_size, shown, -1, false);
  look->fh = b->font_y_size == -1 ? target->default_font_y_size : b->font_y_size;
  if (look->left_justified) look->tx = b->x + b->left_gap + look->pressed;
  else if (look->right_justified) look->tx = b->x + b->width - b->right_gap - 1 - look->tw + look->pressed;
  else look->tx = b->x + b->left_gap + (b->width - b->left_gap - b->right_gap - look->tw) / 2;
  if (look->top_aligned) look->ty = b->y + b->top_gap;
  else if (look->bottom_aligned) look->ty = b->y + b->height - b->bottom_gap - look->fh - 1;
  else look->ty = b->y + b->top_gap + (b->height - b->top_gap - b->bottom_gap - look->fh) / 2;
  look->attached = (b->button_flags & bf_icon_attach_to_text) != 0;
}

// The icon in its place (beside the label, which makes room for it, when attached); a disabled
// button's icon is faded.
static void draw_icon(WM_BUTTON* b, BUTTON_LOOK* look) {
  IMAGE* target = look->target;
  INT_S16 x = b->x, y = b->y, x2 = look->x2, y2 = look->y2;
  INT_S32 iw = b->icon.width, ih = b->icon.height;
  if (iw == 0) return;
  INT_U32 f = b->button_flags;
  INT_S32 sx = b->x_spacing, sy = b->y_spacing;
  INT_S32 bx1, bx2, by1, by2;
  bool x_set = (f & (bf_icon_left | bf_icon_right)) != 0;
  bool y_set = (f & (bf_icon_top | bf_icon_bottom)) != 0;
  if (!look->attached) {
    if (f & bf_icon_left) bx1 = x, bx2 = x + b->left_gap;
    else if (f & bf_icon_right) bx1 = x + b->width - b->right_gap - 1, bx2 = x + b->width - 1;
    else bx1 = x + b->left_gap, bx2 = x + b->width - b->right_gap - 1;
    if (f & bf_icon_top) by1 = y, by2 = y + b->top_gap;
    else if (f & bf_icon_bottom) by1 = y + b->height - b->bottom_gap - 1, by2 = y + b->height - 1;
    else by1 = y + b->top_gap, by2 = y + b->height - b->bottom_gap - 1;
  } else {
    // The label makes room for an icon beside it.
    place_icon_beside_text((f & bf_icon_left) != 0, (f & bf_icon_right) != 0, look->left_justified,
                           look->right_justified, sx, iw, look->tw, &look->tx, &bx1, &bx2);
    place_icon_beside_text((f & bf_icon_top) != 0, (f & bf_icon_bottom) != 0, look->top_aligned,
                           look->bottom_aligned, sy, ih, look->fh, &look->ty, &by1, &by2);
  }
  target->intersect_clip((INT_S16)(x_set ? bx1 : x), (INT_S16)(y_set ? by1 : y), (INT_S16)(x_set ? bx2 : x2),
                         (INT_S16)(y_set ? by2 : y2));
  INT_S16 ix = (INT_S16)(bx1 + ((bx2 - bx1) - iw) / 2 + look->pressed);
  INT_S16 iy = (INT_S16)(by1 + ((by2 - by1) - ih) / 2 + look->pressed);
  if (b->enabled) {
    b->icon.blit_to(ix, iy, target, BLIT_BLEND);
  } else {
    // Faded: what lay under the icon goes back over it at 208/255, so the icon shows through weakly.
    IMAGE under;
    under.set_size((INT_S16)iw, (INT_S16)ih);
    under.grab(ix, iy, target, BLIT_COPY);
    b->icon.blit_to(ix, iy, target, BLIT_BLEND);
    under.set_alpha(0xD0, 1, 0);
    under.blit_to(ix, iy, target, BLIT_BLEND);
  }
  target->clip = look->button_clip;
}

// The label within the gaps (beside an attached icon), wrapped when the button wraps its text.
static void draw_label(WM_BUTTON* b, BUTTON_LOOK* look) {
  IMAGE* target = look->target;
  INT_S16 x = b->x, y = b->y;
  INT_S32 iw = b->icon.width, pressed = look->pressed;
  INT_S32 cx1 = x + b->left_gap, cx2 = x + b->width - b->right_gap - 1;
  if (iw != 0 && look->attached && (b->button_flags & bf_icon_left)) {
    cx1 = x + b->left_gap + (iw + b->x_spacing) / 2;
    cx2 = x + b->width - b->right_gap - 1 + iw / 2 + b->x_spacing;
  } else if (iw != 0 && look->attached && (b->button_flags & bf_icon_right)) {
    cx1 = x + b->left_gap - (iw + b->x_spacing) / 2;
    cx2 = x + b->width - b->right_gap - 1 - (iw / 2 + b->x_spacing);
  }
  target->intersect_clip((INT_S16)cx1, (INT_S16)(y + b->top_gap), (INT_S16)cx2,
                         (INT_S16)(y + b->height - b->bottom_gap - 1));
  if (b->button_flags & bf_wrap_text)
    draw_text_in_box(target, (INT_S16)(x + b->left_gap + pressed), (INT_S16)(y + b->top_gap + pressed),
                     (INT_S16)(x + b->width - b->right_gap - 1 + pressed),
                     (INT_S16)(y + b->height - b->bottom_gap - 1 + pressed), &look->ink, &COLOUR_INVISIBLE,
                     &b->underline_colour, b->font_id, b->font_x_size, b->font_y_size, look->shown, look->flags);
  else
    draw_text_in_room(target, (INT_S16)(look->tx + pressed), (INT_S16)(look->ty + pressed), (INT_S16)(cx1 + pressed),
                      (INT_S16)(cx2 + pressed), &look->ink, &COLOUR_INVISIBLE, &b->underline_colour, b->font_id,
                      b->font_x_size, b->font_y_size, look->shown, look->flags);
  target->clip = look->button_clip;
}

// The direction arrows the flags ask for, in the label's colour, or engraved on a disabled button.
static void draw_arrows(WM_BUTTON* b, BUTTON_LOOK* look) {
  INT_S16 x = b->x, y = b->y, x2 = look->x2, y2 = look->y2;
  INT_S32 pressed = look->pressed;
  INT_S16 bw = (INT_S16)b->border_width(1);
  static const struct {
    INT_U32 flag;
    INT_S32 direction;
  } arrows[] = {{bf_left_arrow, 2}, {bf_right_arrow, 3}, {bf_up_arrow, 0}, {bf_down_arrow, 1}};
  for (const auto& arrow : arrows) {
    if (!(b->button_flags & arrow.flag)) continue;
    INT_S16 ax1 = arrow.direction == 2 ? (INT_S16)(x + bw) : (INT_S16)(x + b->width - b->height + bw);
    INT_S16 ax2 = arrow.direction == 2 ? (INT_S16)(x + b->height - bw - 1) : (INT_S16)(x2 - bw);
    INT_S16 ay1 = (INT_S16)(y + bw), ay2 = (INT_S16)(y2 - bw);
    if (b->enabled) {
      if (!is_visible(look->ink)) continue;  // an arrow in an invisible label colour is not drawn
      draw_arrow(b, (INT_S16)(ax1 + pressed), (INT_S16)(ay1 + pressed), (INT_S16)(ax2 + pressed),
                 (INT_S16)(ay2 + pressed), &look->ink, arrow.direction, -1, -1);
    } else {
      // Engraved: the light shade one pixel down and right, the dark shade in place.
      draw_arrow(b, (INT_S16)(ax1 + 1), (INT_S16)(ay1 + 1), (INT_S16)(ax2 + 1), (INT_S16)(ay2 + 1), &look->light,
                 arrow.direction, -1, -1);
      draw_arrow(b, ax1, ay1, ax2, ay2, &look->dark, arrow.direction, -1, -1);
    }
  }
}

// The keyboard focus: the outline inside the border, clear of round corners, in the label's colour.
static void draw_focus(WM_BUTTON* b, BUTTON_LOOK* look) {
  if (focus_object != b) return;
  INT_S16 inset = (INT_S16)(b->border_width(1) + 1);
  INT_S16 cut = (b->shading_flags & 0x00F0) && look->radius > inset ? (INT_S16)(look->radius - inset) : (INT_S16)0;
  const COLOUR* text = is_visible(look->ink) ? &look->ink : &b->text_colour;
  draw_focus_outline((INT_S16)(b->x + inset), (INT_S16)(b->y + inset), (INT_S16)(look->x2 - inset),
                     (INT_S16)(look->y2 - inset), cut, text, &look->face);
}

void WM_BUTTON::draw() {
  IMAGE* target = draw_target;
  if (!target) return;
  BUTTON_LOOK look;
  look.target = target;
  look.x2 = (INT_S16)(x + width - 1);
  look.y2 = (INT_S16)(y + height - 1);
  look.frames = has_state_frames();
  look.radius = (INT_S16)(corner_radius(target, x, y, look.x2, look.y2) / 2);
  if (look.radius > 20) look.radius = 20;
  look.pointed = pointer_over || selected || focus_object == this;

  IMAGE_AREA saved = target->clip;
  target->intersect_clip(x, y, look.x2, look.y2);
  look.button_clip = target->clip;

  choose_colours(this, &look);
  if (!(button_flags & bf_draw_border)) {
    if (highlighted || (indent_when_active && state)) shading_flags |= 0x8000;
    else shading_flags &= 0x7FFF;
  }
  look.indented = (shading_flags & 0x8000) != 0;
  draw_face(this, &look);
  choose_label_effects(this, &look);
  place_label(this, &look);
  draw_icon(this, &look);
  draw_label(this, &look);
  draw_arrows(this, &look);
  draw_focus(this, &look);
  target->clip = saved;
}
