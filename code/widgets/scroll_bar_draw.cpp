// Scroll bar drawing: with complete state frames each part (buttons, track, slider) is a frame chosen by
// its state; otherwise track, slider and buttons are painted with fills, gradients, borders and arrows
// in the bar's colours and draw flags.
#include "scroll_bar.h"

#include "draw.h"
#include "image.h"
#include "screen_object_draw.h"

static const COLOUR black = 0xFF000000;

static bool has_alpha(COLOUR colour) { return (colour >> 24) != 0; }

// The frame of a part: disabled (when loaded), down, over (when loaded), else up.
static WM_FRAME* choose_frame(WM_FRAME** frames, int up, int down, int disabled, int over, bool enabled, bool is_down,
                              bool is_over) {
  if (!enabled && frames[disabled]->is_loaded()) return frames[disabled];
  if (is_down) return frames[down];
  if (is_over && frames[over]->is_loaded()) return frames[over];
  return frames[up];
}

// A face filled in colour: plain, or a gradient from first to second (mode 1 across, 2 down).
static void fill_face(IMAGE* target, INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2, INT_S32 mode,
                      const COLOUR* plain, const COLOUR* first, const COLOUR* second) {
  if (mode == 1)
    target->fill_gradient_horizontal((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2, first, second, 1);
  else if (mode == 2)
    target->fill_gradient_vertical((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2, first, second, 1);
  else
    target->fill_rectangle((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2, plain, 1);
}

static void black_line(IMAGE* target, INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2) {
  target->draw_line((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2, &black, 1, 1);
}

void WM_SCROLLBAR::draw() {
  IMAGE* target = draw_target;
  if (!target || !slew) return;
  IMAGE_AREA saved = target->clip;
  // A bar too short for its slider never paints outside its own rectangle.
  target->intersect_clip(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1));
  const INT_S32 w = width, h = height, b = button_length, s = slider_length;
  const INT_S32 P = (INT_S16)slider_position();
  const INT_S32 right = x + w - 1, bottom = y + h - 1;
  const bool focused = focus_object == this;
  const bool on = enabled != 0;

  if (state_frames_loaded()) {
    INT_U8 stretch = (draw_flags & SCROLLBAR_DONT_RESIZE) ? 0 : 1;
    WM_FRAME** f = state_frames;
    auto paint = [&](WM_FRAME* frame, INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2) {
      frame->draw((INT_S16)x1, (INT_S16)y1, (INT_S16)x2, (INT_S16)y2, stretch, target, BLIT_BLEND);
    };
    WM_FRAME* less = choose_frame(f, SCROLLBAR_FRAME_LESS_UP, SCROLLBAR_FRAME_LESS_DOWN, SCROLLBAR_FRAME_LESS_DISABLED,
                                  SCROLLBAR_FRAME_LESS_OVER, on, repeat_action == SCROLLBAR_STEP_BACK,
                                  focused || less_over);
    WM_FRAME* more = choose_frame(f, SCROLLBAR_FRAME_MORE_UP, SCROLLBAR_FRAME_MORE_DOWN, SCROLLBAR_FRAME_MORE_DISABLED,
                                  SCROLLBAR_FRAME_MORE_OVER, on, repeat_action == SCROLLBAR_STEP_FORWARD,
                                  focused || more_over);
    WM_FRAME* track = choose_frame(f, SCROLLBAR_FRAME_BAR, SCROLLBAR_FRAME_BAR, SCROLLBAR_FRAME_BAR_DISABLED,
                                   SCROLLBAR_FRAME_BAR_OVER, on, false, focused || bar_over);
    WM_FRAME* slider = choose_frame(f, SCROLLBAR_FRAME_SLIDER_UP, SCROLLBAR_FRAME_SLIDER_DOWN,
                                    SCROLLBAR_FRAME_SLIDER_DISABLED, SCROLLBAR_FRAME_SLIDER_OVER, on, dragging != 0,
                                    focused || slider_over);
    if (type == SCROLLBAR_HORIZONTAL_BUTTONS) {
      paint(less, x, y, x + b - 1, bottom);
      paint(more, x + w - b, y, right, bottom);
      paint(track, x + b, y, x + w - b - 1, bottom);
    } else if (type == SCROLLBAR_VERTICAL_BUTTONS) {
      paint(more, x, y, right, y + b - 1);
      paint(less, x, y + h - b, right, bottom);
      paint(track, x, y + b, right, y + h - b - 1);
    } else {
      paint(track, x, y, right, bottom);
    }
    if (horizontal()) paint(slider, P - s, y, P - 1, bottom);
    else paint(slider, x, P, right, P + s - 1);
    target->clip = saved;
    return;
  }

  // The colour of a part: the highlight while focused or under the pointer, when one is set.
  auto part_colour = [&](bool over, COLOUR normal) {
    return (focused || over) && has_alpha(highlight_colour) ? highlight_colour : normal;
  };
  auto arrow_of = [&](bool over) {
    return (focused || over) && has_alpha(arrow_highlight_colour) ? arrow_highlight_colour : arrow_colour;
  };
  const bool shaded = (draw_flags & SCROLLBAR_SHADED) != 0;
  const INT_S32 m = (draw_flags & SCROLLBAR_VFADING) ? 2 : (draw_flags & SCROLLBAR_HFADING) ? 1 : 0;

  // 1. The track.
  COLOUR track = part_colour(bar_over != 0, track_colour);
  if (!shaded) target->fill_rectangle(x, y, (INT_S16)right, (INT_S16)bottom, &track, 1);
  else draw_shaded_box(target, x, y, (INT_S16)right, (INT_S16)bottom, -1, 0x0F, &track, &black, 0, 0);

  // 2. The slider.
  COLOUR slider = part_colour(slider_over != 0, slider_colour);
  if (horizontal()) {
    if (!shaded) {
      fill_face(target, P - s + 2, y + 2, P, y + h - 3, m, &slider, &slider, &black);
      draw_border(this, (INT_S16)(P - s + 2), (INT_S16)(y + 2), (INT_S16)(P - 1), (INT_S16)(y + h - 3), 0x000F, &slider,
                  4, -1);
      black_line(target, P, y + 2, P, y + h - 3);
      black_line(target, P - s + 1, y + 2, P - s + 1, y + h - 3);
    } else {
      draw_shaded_box(target, (INT_S16)(P - s + 2), (INT_S16)(y + 2), (INT_S16)(P - 2), (INT_S16)(y + h - 3), -1,
                      0x0F, &slider, &black, 0, m);
      draw_border(this, (INT_S16)(P - s + 2), (INT_S16)(y + 2), (INT_S16)(P - 2), (INT_S16)(y + h - 3), 0x00FF, &slider,
                  1, -1);
    }
  } else {
    if (!shaded) {
      fill_face(target, x + 2, P, x + w - 3, P + s - 1, m, &slider, &slider, &black);
      draw_border(this, (INT_S16)(x + 2), (INT_S16)(P + 1), (INT_S16)(x + w - 3), (INT_S16)(P + s - 2), 0x000F, &slider,
                  4, -1);
      black_line(target, x + 2, P, x + w - 3, P);
      black_line(target, x + 2, P + s - 1, x + w - 3, P + s - 1);
    } else {
      draw_shaded_box(target, (INT_S16)(x + 2), (INT_S16)(P + 1), (INT_S16)(x + w - 3), (INT_S16)(P + s - 2), -1, 0x0F,
                      &slider, &black, 0, m);
      draw_border(this, (INT_S16)(x + 2), (INT_S16)(P + 1), (INT_S16)(x + w - 3), (INT_S16)(P + s - 2), 0x00FF, &slider,
                  1, -1);
    }
  }

  // 3. The buttons: face, separator line, border (pressed while repeating) and arrow.
  struct BUTTON_PARTS {
    INT_S32 face[4], line[4], border[4], arrow[4];
    INT_S32 direction, inset_x, inset_y;
    bool over, down;
  };
  BUTTON_PARTS buttons[2];
  int count = 0;
  bool less_down = repeat_action == SCROLLBAR_STEP_BACK, more_down = repeat_action == SCROLLBAR_STEP_FORWARD;
  if (type == SCROLLBAR_HORIZONTAL_BUTTONS) {
    buttons[count++] = {{x + 2, y + 2, x + b + 1, y + h - 3},
                        {x + b + 2, y + 2, x + b + 2, y + h - 3},
                        {x + 2, y + 2, x + b + 1, y + h - 3},
                        {x + 3, y + 3, x + b, y + h - 4},
                        2, 3, 1, less_over != 0, less_down};
    buttons[count++] = {{x + w - b - 3, y + 2, x + w - 3, y + h - 3},
                        {x + w - b - 3, y + 2, x + w - b - 3, y + h - 3},
                        {x + w - b - 2, y + 2, x + w - 3, y + h - 3},
                        {x + w - b - 1, y + 3, x + w - 4, y + h - 4},
                        3, 3, 1, more_over != 0, more_down};
  } else if (type == SCROLLBAR_VERTICAL_BUTTONS) {
    buttons[count++] = {{x + 2, y + 2, x + w - 3, y + b + 1},
                        {x + 2, y + b + 2, x + w - 3, y + b + 2},
                        {x + 2, y + 2, x + w - 3, y + b + 1},
                        {x + 3, y + 3, x + w - 4, y + b},
                        0, 1, 3, more_over != 0, more_down};
    buttons[count++] = {{x + 2, y + h - b - 2, x + w - 3, y + h - 3},
                        {x + 2, y + h - b - 3, x + w - 3, y + h - b - 3},
                        {x + 2, y + h - b - 2, x + w - 3, y + h - 3},
                        {x + 3, y + h - b - 1, x + w - 4, y + h - 4},
                        1, 1, 3, less_over != 0, less_down};
  }
  for (int i = 0; i < count; i++) {
    const BUTTON_PARTS& part = buttons[i];
    COLOUR face = part_colour(part.over, button_colour);
    // Gradients run to black, or from black while the button repeats.
    const COLOUR* first = part.down ? &black : &face;
    const COLOUR* second = part.down ? &face : &black;
    const INT_S32* F = part.face;
    if (!shaded) {
      fill_face(target, F[0], F[1], F[2], F[3], m, &face, first, second);
      black_line(target, part.line[0], part.line[1], part.line[2], part.line[3]);
    } else if (m == 0) {
      draw_shaded_box(target, (INT_S16)F[0], (INT_S16)F[1], (INT_S16)F[2], (INT_S16)F[3], -1, 0x0F, &face, &black, 0, 0);
    } else {
      draw_shaded_box(target, (INT_S16)F[0], (INT_S16)F[1], (INT_S16)F[2], (INT_S16)F[3], -1, 0x0F, first, second, 0, m);
    }
    INT_U16 flags = shaded ? 0x00FF : 0x000F;
    if (part.down) flags |= 0x8000;
    const INT_S32* B = part.border;
    draw_border(this, (INT_S16)B[0], (INT_S16)B[1], (INT_S16)B[2], (INT_S16)B[3], flags, &face, shaded ? 1 : 4, -1);
    COLOUR arrow = arrow_of(part.over);
    const INT_S32* A = part.arrow;
    draw_arrow(this, (INT_S16)A[0], (INT_S16)A[1], (INT_S16)A[2], (INT_S16)A[3], &arrow, part.direction,
               (INT_S16)part.inset_x, (INT_S16)part.inset_y);
  }

  // 4. The black outline, 5. the sunken border in the stored track colour.
  if (!shaded) target->draw_rectangle((INT_S16)(x + 1), (INT_S16)(y + 1), (INT_S16)(right - 1), (INT_S16)(bottom - 1),
                                      &black, 1, 0x0F);
  else target->draw_rounded_rectangle((INT_S16)(x + 1), (INT_S16)(y + 1), (INT_S16)(right - 1), (INT_S16)(bottom - 1),
                                      &black, -1, 0x0F);
  draw_border(this, x, y, (INT_S16)right, (INT_S16)bottom, shaded ? 0x80FF : 0x800F, &track_colour, shaded ? 1 : 4, -1);
  target->clip = saved;
}
