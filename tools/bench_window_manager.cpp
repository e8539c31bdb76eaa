// Window-manager benchmark (not a test): an idle page-manager pass, one frame of a translucent 400 x 300
// dialog over an 800 x 600 page, and the mean frame of a whole cross fade and push slide (on a clock that
// moves with every frame), each printed as a ratio against a baseline measured in the same run (pixman's
// blend of the same area, memcpy of a frame).
// Usage: bench_window_manager [rounds]
#include <pixman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "dialog.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "transitions.h"

namespace {

const INT_S16 WIDTH = 800, HEIGHT = 600;

// The page: a gradient picture filling the screen.
class PICTURE : public WM_SCREEN_OBJECT {
public:
  IMAGE picture;
  PICTURE() : WM_SCREEN_OBJECT(1, nullptr, 0, 0), picture(WIDTH, HEIGHT) {
    width = WIDTH, height = HEIGHT;
    for (INT_S16 y = 0; y < HEIGHT; y++)
      for (INT_S16 x = 0; x < WIDTH; x++) *picture.pixel_at(x, y) = 0xFF000000u | (x * 255 / WIDTH) << 16 | (y * 255 / HEIGHT) << 8;
  }
  void draw() override { picture.blit_to(0, 0, draw_target, BLIT_COPY); }
};

void build_picture(WM_PAGE_MANAGER* manager) { manager->get_root()->add_child(new PICTURE(), false); }

template <typename F>
double per_run(int repeats, F work) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; i++) work();
  return bench_support::seconds_since(start) / repeats;
}

// pixman: source over destination through a constant alpha mask, the blend a translucent dialog needs.
struct PIXMAN_BLEND {
  int w, h;
  std::vector<uint32_t> source, target;
  pixman_image_t *s, *d, *mask;
  PIXMAN_BLEND(int w_, int h_) : w(w_), h(h_), source((size_t)w_ * h_, 0xFFC0C0C0u), target((size_t)WIDTH * HEIGHT, 0xFF204060u) {
    s = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, source.data(), w * 4);
    d = pixman_image_create_bits(PIXMAN_a8r8g8b8, WIDTH, HEIGHT, target.data(), WIDTH * 4);
    pixman_color_t alpha = {0, 0, 0, 0x8000};
    mask = pixman_image_create_solid_fill(&alpha);
  }
  ~PIXMAN_BLEND() {
    pixman_image_unref(s);
    pixman_image_unref(d);
    pixman_image_unref(mask);
  }
  double time(int repeats) {
    return per_run(repeats, [&] { pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 0, 0, w, h); });
  }
};

struct FRAME_COPY {
  std::vector<uint32_t> a, b;
  FRAME_COPY() : a((size_t)WIDTH * HEIGHT, 1), b((size_t)WIDTH * HEIGHT, 2) {}
  double time(int repeats) {
    return per_run(repeats, [&] {
      std::memcpy(b.data(), a.data(), a.size() * 4);
      a[0] = b[1];
    });
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Each figure is the median of paired rounds: in a round the library's side and its baseline run right
  // after each other, so that both meet the same state of a busy machine.
  int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  if (rounds < 1) rounds = 1;
  const int REPEATS = 20;
  test_seam_set_ticks(100000, 0);
  test_seam_screen(WIDTH, HEIGHT);
  draw_target = &screen_image;
  WM_PAGE_MANAGER* manager = new WM_PAGE_MANAGER(1, -1);
  manager->set_page(0, build_picture, nullptr, 0, nullptr, 0, 0, nullptr);
  manager->update(false);
  PIXMAN_BLEND dialog_blend(400, 300), screen_blend(WIDTH, HEIGHT);
  FRAME_COPY frame_copy;

  // An idle pass: nothing changed, so nothing is drawn.
  screen_image.clear_dirty_area();
  bench_support::PAIRED_TIMES idle;
  for (int round = 0; round < rounds; round++)
    idle.add(per_run(REPEATS * 10, [&] { manager->update(false); }), frame_copy.time(REPEATS));
  bool idle_drew = screen_image.dirty.x1 != -1;

  // One frame of a 400 x 300 dialog at alpha 128 over the page.
  WM_DIALOG_EFFECTS none = {0, 0, 0, 255};
  WM_DIALOG* dialog = new WM_DIALOG(-1, -1, 400, 300, nullptr, nullptr, nullptr, nullptr, &none);
  manager->get_root()->add_top_level(dialog, false);
  manager->update(false);
  dialog->alpha = dialog->target_alpha = 128;
  bench_support::PAIRED_TIMES fade;
  for (int round = 0; round < rounds; round++) {
    double ours = per_run(REPEATS, [&] {
      dialog->show();
      manager->redraw();
    });
    fade.add(ours, dialog_blend.time(REPEATS));
  }
  manager->get_root()->remove_top_level(dialog, true, false);
  manager->update(false);

  // Transitions: the page applied once, then frames on a clock that moves by the transition's time over
  // the frames at each read (a transition reads it once per frame), so that the frames run through the
  // whole effect, as on a real clock: alphas from 0 to 255, the slide from its start to its end. The time
  // per frame drawn; the limit only keeps a transition that read the clock more often from running long.
  const INT_U32 frames = 100;
  test_seam_set_ticks(100000, manager->transition_ms / frames);
  transition_frame_limit = 2 * frames;
  manager->set_page(0, build_picture, nullptr, 0, nullptr, 0, 0, nullptr);
  bench_support::PAIRED_TIMES cross, push_blend, push_copy;
  INT_U32 cross_frames = 0, push_frames = 0;
  for (int round = 0; round < rounds; round++) {
    double fade = per_run(1, [&] { cross_fade(manager, 0); });
    cross_frames = transition_frames_drawn;
    cross.add(fade / cross_frames, screen_blend.time(REPEATS));
    double push = per_run(1, [&] { slide_transition(manager, 0, 1, 2); });
    push_frames = transition_frames_drawn;
    push /= push_frames;
    push_blend.add(push, screen_blend.time(REPEATS));
    push_copy.add(push, frame_copy.time(REPEATS));
  }

  std::printf("%d paired rounds; ratio = median (min, max)\n", rounds);
  std::printf("idle pass                 %8.1f us  %s x a frame memcpy; drew %s\n", idle.median_ours() * 1e6,
              idle.spread().c_str(), idle_drew ? "pixels" : "nothing");
  std::printf("dialog fade frame 400x300 %8.1f us  %s x pixman blend of the area (target <= 1.5)\n",
              fade.median_ours() * 1e6, fade.spread().c_str());
  std::printf("cross fade frame 800x600  %8.1f us  %s x pixman blend of the frame (target <= 1.5); %u frames, "
              "alpha 0 to 255\n",
              cross.median_ours() * 1e6, cross.spread().c_str(), (unsigned)cross_frames);
  std::printf("push slide frame 800x600  %8.1f us  %s x pixman blend of the frame (target <= 1.5); %u frames\n",
              push_blend.median_ours() * 1e6, push_blend.spread().c_str(), (unsigned)push_frames);
  std::printf("                                      %s x memcpy of the frame (target <= 1.5)\n",
              push_copy.spread().c_str());
  delete manager;
  return 0;
}
