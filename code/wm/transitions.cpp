// Screen transitions: each copies the old and / or new picture of the transition rectangle, then draws,
// presents and repeats until the page manager's transition time has passed, ending on exactly the end
// picture. Progress is the signed time since the start, so a clock that steps back or wraps never gives
// a negative progress, and a frame limit ends a transition on a clock that does not move.
#include "transitions.h"

#include "colour.h"
#include "host.h"
#include "image.h"
#include "page_manager.h"
#include "random.h"
#include "screen_image.h"

INT_S16 transition_rectangle[4] = {-1, -1, -1, -1};
INT_U32 transition_frame_limit = 100000;
INT_U32 transition_frames_drawn = 0;

namespace {

const COLOUR BLACK = 0xFF000000;

struct RECTANGLE {
  INT_S16 x, y, w, h;
};

IMAGE* screen() { return draw_target ? draw_target : get_screen_image(0); }

RECTANGLE transition_area() {
  IMAGE* image = screen();
  const INT_S16* r = transition_rectangle;
  if (r[0] == -1 || r[1] == -1 || r[2] == -1 || r[3] == -1) return {0, 0, image->width, image->height};
  return {r[0], r[1], (INT_S16)(r[2] - r[0] + 1), (INT_S16)(r[3] - r[1] + 1)};
}

// A copy of the rectangle of the screen, opaque.
void copy_screen(IMAGE* copy, const RECTANGLE& area) {
  copy->set_size(area.w, area.h);
  copy->set_clip(0, 0, (INT_S16)(area.w - 1), (INT_S16)(area.h - 1));
  copy->grab(area.x, area.y, screen(), BLIT_COPY);
  copy->set_alpha(255, 0, 0);
}

// Elapsed ms since *start as the signed difference; a clock behind the start moves the start back.
INT_U32 elapsed_since(INT_U32* start) {
  INT_U32 now = get_tick_count();
  INT_S32 elapsed = (INT_S32)(now - *start);
  if (elapsed < 0) {
    *start = now;
    elapsed = 0;
  }
  return (INT_U32)elapsed;
}

// Runs frames until progress reaches the end: draw_frame gets the progress from 0 to ms (capped), and
// the last frame drawn always has progress ms.
template <typename FRAME>
void run_frames(INT_U32 ms, FRAME draw_frame) {
  INT_U32 start = get_tick_count();
  transition_frames_drawn = 0;
  for (;;) {
    INT_U32 progress = elapsed_since(&start);
    if (progress > ms || transition_frames_drawn + 1 >= transition_frame_limit) progress = ms;
    draw_frame(progress);
    transition_frames_drawn++;
    present_frame(-1);
    if (progress >= ms) break;
  }
}

INT_U8 alpha_of(INT_U32 progress, INT_U32 ms) {
  if (ms == 0) return 255;
  INT_U64 alpha = (INT_U64)progress * 255 / ms;
  return alpha > 255 ? (INT_U8)255 : (INT_U8)alpha;
}

void apply_pages(WM_PAGE_MANAGER* manager, INT_S32 area) {
  manager->apply_all_pages(area >= 0 && area < manager->area_count ? area : 0);
  manager->redraw();
}

// Every pixel of the copy moved from its colour toward its grey (to_grey) or back, stored into the screen.
void grey_frame(IMAGE* copy, const RECTANGLE& area, INT_U32 progress, INT_U32 ms, bool to_grey) {
  IMAGE* image = screen();
  INT_S32 share = ms == 0 ? 1 : (INT_S32)progress, whole = ms == 0 ? 1 : (INT_S32)ms;
  const IMAGE_AREA& clip = image->clip;
  bool clipped = clip.x1 == -1 || clip.x2 == -1 || clip.y1 == -1 || clip.y2 == -1;
  if (clipped || !image->pixels) return;
  for (INT_S32 row = 0; row < area.h; row++) {
    INT_S32 ty = area.y + row;
    if (ty < clip.y1 || ty > clip.y2) continue;
    const INT_U32* source = copy->pixel_at(0, row);
    INT_U32* target = image->pixel_at(0, ty);
    for (INT_S32 column = 0; column < area.w; column++) {
      INT_S32 tx = area.x + column;
      if (tx < clip.x1 || tx > clip.x2) continue;
      INT_U32 p = source[column];
      INT_S32 r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      INT_S32 grey = greyscale_average ? (r + g + b) / 3 : (30 * r + 59 * g + 11 * b) / 100;
      INT_S32 out[3] = {r, g, b};
      for (INT_S32& c : out) c = to_grey ? c + (grey - c) * share / whole : grey + (c - grey) * share / whole;
      target[tx] = 0xFF000000u | ((INT_U32)out[0] << 16) | ((INT_U32)out[1] << 8) | (INT_U32)out[2];
    }
  }
  image->extend_dirty_area(area.x, area.y, (INT_S16)(area.x + area.w - 1), (INT_S16)(area.y + area.h - 1));
}

void grey_fade(WM_PAGE_MANAGER* manager, bool to_grey) {
  RECTANGLE area = transition_area();
  if (area.w < 1 || area.h < 1) return;
  IMAGE copy;
  copy_screen(&copy, area);
  run_frames(manager->transition_ms,
             [&](INT_U32 progress) { grey_frame(&copy, area, progress, manager->transition_ms, to_grey); });
}

void black_fade(WM_PAGE_MANAGER* manager, bool to_black) {
  RECTANGLE area = transition_area();
  if (area.w < 1 || area.h < 1) return;
  IMAGE copy;
  copy_screen(&copy, area);
  IMAGE* image = screen();
  run_frames(manager->transition_ms, [&](INT_U32 progress) {
    INT_U8 alpha = alpha_of(progress, manager->transition_ms);
    image->clear(&BLACK, 0);
    blend_pictures(image, area.x, area.y, nullptr, &copy, to_black ? (INT_U8)(255 - alpha) : alpha);
  });
}

}  // namespace

void fade_to_black(WM_PAGE_MANAGER* manager) { black_fade(manager, true); }

void fade_from_black(WM_PAGE_MANAGER* manager, INT_S32 area) {
  apply_pages(manager, area);
  black_fade(manager, false);
}

void fade_to_grey(WM_PAGE_MANAGER* manager) { grey_fade(manager, true); }

void fade_from_grey(WM_PAGE_MANAGER* manager, INT_S32 area) {
  apply_pages(manager, area);
  grey_fade(manager, false);
}

// Half the time out, the old picture put back (parts the new page does not redraw keep it), half in.
static void two_halves(WM_PAGE_MANAGER* manager, INT_S32 area, bool grey) {
  RECTANGLE rect = transition_area();
  IMAGE old_picture;
  if (rect.w > 0 && rect.h > 0) copy_screen(&old_picture, rect);
  INT_U32 saved = manager->transition_ms;
  manager->transition_ms = saved >> 1;
  if (grey) fade_to_grey(manager);
  else fade_to_black(manager);
  if (old_picture.pixels) old_picture.blit_to(rect.x, rect.y, screen(), BLIT_BLEND);
  if (grey) fade_from_grey(manager, area);
  else fade_from_black(manager, area);
  manager->transition_ms = saved;
}

void black_transition(WM_PAGE_MANAGER* manager, INT_S32 area) { two_halves(manager, area, false); }
void grey_transition(WM_PAGE_MANAGER* manager, INT_S32 area) { two_halves(manager, area, true); }

// The old picture, the pages applied, the new picture; false (the pages applied) for an empty rectangle.
static bool old_and_new(WM_PAGE_MANAGER* manager, INT_S32 area, const RECTANGLE& rect, IMAGE* old_picture,
                        IMAGE* new_picture) {
  if (rect.w < 1 || rect.h < 1) {
    apply_pages(manager, area);
    return false;
  }
  copy_screen(old_picture, rect);
  apply_pages(manager, area);
  copy_screen(new_picture, rect);
  return true;
}

void cross_fade(WM_PAGE_MANAGER* manager, INT_S32 area) {
  RECTANGLE rect = transition_area();
  IMAGE old_picture, new_picture;
  if (!old_and_new(manager, area, rect, &old_picture, &new_picture)) return;
  IMAGE* image = screen();
  run_frames(manager->transition_ms, [&](INT_U32 progress) {
    blend_pictures(image, rect.x, rect.y, &old_picture, &new_picture, alpha_of(progress, manager->transition_ms));
  });
}

void slide_transition(WM_PAGE_MANAGER* manager, INT_S32 area, INT_U8 direction, INT_U8 kind) {
  RECTANGLE rect = transition_area();
  IMAGE old_picture, new_picture;
  if (!old_and_new(manager, area, rect, &old_picture, &new_picture)) return;
  IMAGE* image = screen();
  IMAGE_AREA saved_clip = image->clip;
  image->set_clip(rect.x, rect.y, (INT_S16)(rect.x + rect.w - 1), (INT_S16)(rect.y + rect.h - 1));
  if (direction == 0) direction = (INT_U8)random_range(1, 5);
  INT_U32 ms = manager->transition_ms;
  run_frames(ms, [&](INT_U32 progress) {
    INT_S32 extent = direction <= 2 ? rect.w : rect.h;
    INT_S32 d = ms == 0 ? extent : (INT_S32)((INT_S64)extent * progress / ms);
    INT_S32 nx = rect.x, ny = rect.y, ox = rect.x, oy = rect.y;
    switch (direction) {
      case 1: nx = rect.x + rect.w - d, ox = rect.x - d; break;
      case 2: nx = rect.x - rect.w + d, ox = rect.x + d; break;
      case 3: ny = rect.y + rect.h - d, oy = rect.y - d; break;
      default: ny = rect.y - rect.h + d, oy = rect.y + d; break;
    }
    // Both pictures are opaque, so blending them is copying them.
    if (kind == 0) {
      old_picture.blit_to(rect.x, rect.y, image, BLIT_COPY);
      new_picture.blit_to((INT_S16)nx, (INT_S16)ny, image, BLIT_COPY);
    } else if (kind == 1) {
      new_picture.blit_to(rect.x, rect.y, image, BLIT_COPY);
      old_picture.blit_to((INT_S16)ox, (INT_S16)oy, image, BLIT_COPY);
    } else {
      old_picture.blit_to((INT_S16)ox, (INT_S16)oy, image, BLIT_COPY);
      new_picture.blit_to((INT_S16)nx, (INT_S16)ny, image, BLIT_COPY);
    }
  });
  image->clip = saved_clip;
}
