// Dialog effects: fades by the effect flags, slides from or to an edge of the dialog's own rectangle, the
// current area or the display, stepping them once per pass from the pass time (the signed time since the
// start, so a wrapping or stepped-back clock gives the right values), rendering with alpha over what lies
// behind, moving and hiding during a slide, and the end of a closing dialog.
#include "dialog.h"
#include "host.h"
#include "page_manager.h"
#include "random.h"
#include "redraw.h"
#include "screen_image.h"
#include "wm_private.h"

WM_SCREEN_OBJECT* current_area_root() { return page_manager ? page_manager->get_root() : nullptr; }

// A dialog closing, fading to nothing or sliding away takes no more input: a click made right after the
// answer that closed it goes to what lies beneath, as it would once the dialog has gone.
bool WM_DIALOG::leaving() {
  bool sliding_out = !appearing && (x != slide_end_x || y != slide_end_y);
  return !dragging && (closing || target_alpha == 0 || sliding_out);
}

bool WM_DIALOG::at_rest() { return alpha == target_alpha && x == slide_end_x && y == slide_end_y; }

INT_S16 WM_DIALOG::get_x() { return appearing ? slide_end_x : slide_start_x; }
INT_S16 WM_DIALOG::get_y() { return appearing ? slide_end_y : slide_start_y; }

void WM_DIALOG::set_alpha_target(INT_U8 target) {
  fade_start_alpha = alpha;
  target_alpha = target;
  start_time = 0;
  duration = (target == 0 || alpha == 0) ? effects.open_delay : effects.display_delay;
  INT_U32 f = effects.flags;
  if (alpha < target) {
    if (!(f & DIALOG_FADE_IN) && alpha == 0) alpha = target;
    if (!(f & DIALOG_FADE_UP) && alpha != 0) alpha = target;
  } else if (target < alpha) {
    if (!(f & DIALOG_FADE_OUT) && target == 0) alpha = 0;
    if (!(f & DIALOG_FADE_DOWN) && target != 0) alpha = target;
  }
  if (instant) alpha = target;
  if (visible) show();
}

void WM_DIALOG::start_slide(bool appearing_slide) {
  if (slide_start_x != slide_end_x || slide_start_y != slide_end_y) WM_SCREEN_OBJECT::move_to(slide_end_x, slide_end_y);
  INT_S16 px = x, py = y;
  INT_U32 f = effects.flags;
  if (instant || !(f & (appearing_slide ? DIALOG_SLIDE_IN : DIALOG_SLIDE_OUT))) {
    slide_start_x = slide_end_x = px;
    slide_start_y = slide_end_y = py;
    return;
  }
  start_time = 0;
  duration = effects.open_delay;
  appearing = appearing_slide ? 1 : 0;
  INT_S32 w = width, h = height, ex = px, ey = py;
  if (f & DIALOG_EDGES_OF_DISPLAY) {
    INT_S16 display = display_of(px, py);
    if (f & DIALOG_EDGE_LEFT) ex = -w;
    else if (f & DIALOG_EDGE_RIGHT) ex = get_screen_width(display);
    if (f & DIALOG_EDGE_TOP) ey = -h;
    else if (f & DIALOG_EDGE_BOTTOM) ey = get_screen_height(display);
  } else if (f & DIALOG_EDGES_OF_AREA) {
    WM_SCREEN_OBJECT* root = current_area_root();
    if (root) {
      if (f & DIALOG_EDGE_LEFT) ex = root->get_x() - w;
      else if (f & DIALOG_EDGE_RIGHT) ex = root->get_x() + root->get_width();
      if (f & DIALOG_EDGE_TOP) ey = root->get_y() - h;
      else if (f & DIALOG_EDGE_BOTTOM) ey = root->get_y() + root->get_height();
    }
  } else {
    if (f & DIALOG_EDGE_LEFT) ex = px - w;
    else if (f & DIALOG_EDGE_RIGHT) ex = px + w;
    if (f & DIALOG_EDGE_TOP) ey = py - h;
    else if (f & DIALOG_EDGE_BOTTOM) ey = py + h;
  }
  if (appearing_slide) {
    slide_end_x = px, slide_end_y = py;
    slide_start_x = (INT_S16)ex, slide_start_y = (INT_S16)ey;
  } else {
    slide_start_x = px, slide_start_y = py;
    slide_end_x = (INT_S16)ex, slide_end_y = (INT_S16)ey;
    // A dialog that vanished at once still slides out visibly.
    if (alpha == 0 && target_alpha == 0) alpha = target_alpha = 255;
  }
  WM_SCREEN_OBJECT::move_to(slide_start_x, slide_start_y);
  if (visible) show();
}

void WM_DIALOG::close_with_effects(bool remove, bool immediately) {
  closing = remove ? 1 : 0;
  instant = immediately ? 1 : 0;
  dragging = 0;
  set_alpha_target(0);
  start_slide(false);
  instant = 0;
  request_pass_soon();  // the closing effects step from the next pass on
}

WM_RESULT WM_DIALOG::update(bool top_level) {
  if (!visible && !dragging) {
    if (!closing_hidden || !closing) return 0;
    closing_hidden = 0;
    end_effects_at_once();
    return WM_RESULT_REMOVE;
  }
  // An effect steps every other pass and shows nothing new in between: while one runs, the loop looks
  // again at its usual period.
  bool at_end = x == slide_end_x && y == slide_end_y;
  if (alpha != target_alpha || !at_end) request_pass_soon();
  WM_RESULT result = WM_SCREEN_OBJECT::update(top_level);
  if (result != 0) return result;
  if (step_effects && (alpha != target_alpha || !at_end)) {
    if (start_time == 0) start_time = pass_time;
    // The signed time since the start: a counter that wrapped still counts forward, a clock that stepped
    // back counts as no time at all.
    INT_S32 elapsed = (INT_S32)(pass_time - start_time);
    if (elapsed < 0) elapsed = 0;
    INT_S64 d = duration;
    if (elapsed < d) {
      if (alpha != target_alpha)
        alpha = (INT_U8)(fade_start_alpha - (INT_S64)elapsed * (fade_start_alpha - target_alpha) / d);
      INT_S16 nx = x, ny = y;
      if (x != slide_end_x) nx = (INT_S16)(slide_start_x + (INT_S64)elapsed * (slide_end_x - slide_start_x) / d);
      if (y != slide_end_y) ny = (INT_S16)(slide_start_y + (INT_S64)elapsed * (slide_end_y - slide_start_y) / d);
      WM_SCREEN_OBJECT::move_to(nx, ny);
    } else {
      alpha = target_alpha;
      if (!at_end) WM_SCREEN_OBJECT::move_to(slide_end_x, slide_end_y);
    }
    focus_confirmed = 1;
    show();
    result = 1;
  }
  if ((drawn && !needs_draw) || !meets_redraw_region()) {
    if (alpha == target_alpha && x == slide_end_x && y == slide_end_y) {
      bool finished = alpha == 0 && target_alpha == 0;
      if (!finished && (x != slide_start_x || y != slide_start_y) && !appearing) finished = true;
      if (finished) {
        WM_SCREEN_OBJECT::move_to(slide_start_x, slide_start_y);
        slide_end_x = slide_start_x = x;
        slide_end_y = slide_start_y = y;
        hide(false, false);
        if (closing) result = WM_RESULT_REMOVE;
      }
    }
  }
  step_effects = result != 1;
  if (result == 1) request_pass_soon();  // the finished effect is taken down in the next pass
  return result;
}

void WM_DIALOG::end_effects_at_once() {
  if (x != slide_end_x || y != slide_end_y) {
    INT_S16 rest_x = appearing ? slide_end_x : slide_start_x, rest_y = appearing ? slide_end_y : slide_start_y;
    WM_SCREEN_OBJECT::move_to(rest_x, rest_y);
  }
  slide_start_x = slide_end_x = x;
  slide_start_y = slide_end_y = y;
  alpha = target_alpha;
  instant = 0;
}

void WM_DIALOG::hide(bool top_level, bool hide_children) {
  end_effects_at_once();
  WM_SCREEN_OBJECT::hide(top_level, hide_children);
}

void WM_DIALOG::move_to(INT_S16 new_x, INT_S16 new_y) {
  if (new_x == x && new_y == y) return;
  bool own_edges = !(effects.flags & (DIALOG_EDGES_OF_DISPLAY | DIALOG_EDGES_OF_AREA));
  if (x == slide_end_x && y == slide_end_y) {
    WM_SCREEN_OBJECT::move_to(new_x, new_y);
    slide_start_x = slide_end_x = new_x;
    slide_start_y = slide_end_y = new_y;
  } else if (appearing) {
    WM_SCREEN_OBJECT::move_to((INT_S16)(new_x - (slide_end_x - x)), (INT_S16)(new_y - (slide_end_y - y)));
    if (own_edges) {
      slide_start_x = (INT_S16)(new_x - (slide_end_x - slide_start_x));
      slide_start_y = (INT_S16)(new_y - (slide_end_y - slide_start_y));
    }
    slide_end_x = new_x;
    slide_end_y = new_y;
  } else {
    WM_SCREEN_OBJECT::move_to((INT_S16)(new_x + (x - slide_start_x)), (INT_S16)(new_y + (y - slide_start_y)));
    if (own_edges) {
      slide_end_x = (INT_S16)(new_x + (slide_end_x - slide_start_x));
      slide_end_y = (INT_S16)(new_y + (slide_end_y - slide_start_y));
    }
    slide_start_x = new_x;
    slide_start_y = new_y;
  }
}

void WM_DIALOG::render() {
  IMAGE* screen = draw_target;
  if (!screen || !screen->pixels) return;
  IMAGE_AREA saved_clip = screen->clip;
  INT_U32 f = effects.flags;
  bool sliding = x != slide_end_x || y != slide_end_y;
  WM_SCREEN_OBJECT* root = current_area_root();
  if ((f & DIALOG_EDGES_OF_AREA) && root) {
    screen->intersect_clip(root->get_x(), root->get_y(), (INT_S16)(root->get_x() + root->get_width() - 1),
                           (INT_S16)(root->get_y() + root->get_height() - 1));
  } else if (!sliding || (f & DIALOG_EDGES_OF_DISPLAY)) {
    screen->intersect_clip(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1));
  } else {
    INT_S16 rest_x = appearing ? slide_end_x : slide_start_x, rest_y = appearing ? slide_end_y : slide_start_y;
    screen->intersect_clip(rest_x, rest_y, (INT_S16)(rest_x + width - 1), (INT_S16)(rest_y + height - 1));
  }
  if (!drawn && !closing && meets_redraw_region()) {
    // The appearing effects start from the first drawing, not from construction; a dialog closed for
    // removal before it was ever drawn stays closing.
    set_alpha_target(255);
    start_slide(true);
    instant = 0;
  }
  if (alpha == 0) {
    drawn = 1;
    needs_draw = 0;
  } else if (alpha == 255) {
    WM_SCREEN_OBJECT::render();
  } else {
    // Translucent: what lies behind the part being redrawn is kept in the composite, the dialog is drawn
    // over it as it is when opaque, and where it drew, the two are mixed at its alpha in one pass.
    IMAGE_AREA box;
    bool inside = screen->box_in_clip(x, y, width, height, &box);
    if (inside) {
      if (composite.width != width || composite.height != height) composite.set_size(width, height);
      composite.set_clip(0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1));
      composite.blit(screen, box.x1, box.y1, (INT_S16)(box.x1 - x), (INT_S16)(box.y1 - y),
                     (INT_S16)(box.x2 - box.x1 + 1), (INT_S16)(box.y2 - box.y1 + 1), BLIT_COPY);
    }
    IMAGE_AREA saved_dirty = screen->dirty;
    screen->clear_dirty_area();
    WM_SCREEN_OBJECT::render();
    const IMAGE_AREA& dirty = screen->dirty;
    bool drew = dirty.x1 != -1 && dirty.x2 != -1 && dirty.y1 != -1 && dirty.y2 != -1;
    if (drew && inside) blend_pictures(screen, x, y, &composite, nullptr, alpha);
    if (saved_dirty.x1 != -1 && saved_dirty.x2 != -1 && saved_dirty.y1 != -1 && saved_dirty.y2 != -1)
      screen->extend_dirty_area(saved_dirty.x1, saved_dirty.y1, saved_dirty.x2, saved_dirty.y2);
  }
  screen->clip = saved_clip;
}
