// Tests of the host layer's test seam: driven clocks that advance on every read, scripted keys and
// pointer, the desktop size and keyboard presence it reports, the screen image without a window and its
// PNG, and a close request acted on only outside a pass.
#include <gtest/gtest.h>

#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "image_file.h"
#include "random.h"
#include "screen_image.h"
#include "system_info.h"
#include "test_support.h"

namespace {

class SEAM : public ::testing::Test {
protected:
  void TearDown() override {
    test_seam_release_input();
    test_seam_reset();
  }
};

TEST_F(SEAM, DrivenClocksAdvanceOnEveryRead) {
  test_seam_set_ticks(0xFFFFFFF0u, 10);
  EXPECT_EQ(get_tick_count(), 0xFFFFFFF0u);
  EXPECT_EQ(get_tick_count(), 0xFFFFFFFAu);
  EXPECT_EQ(get_tick_count(), 4u);  // wraps as the real counter does
  test_seam_advance_ticks(100);
  EXPECT_EQ(get_tick_count(), 114u);
  test_seam_set_ticks(500, 0);  // frozen
  EXPECT_EQ(get_tick_count(), 500u);
  EXPECT_EQ(get_tick_count(), 500u);

  test_seam_set_seconds(1000, 0);
  EXPECT_EQ(get_calendar_seconds(), 1000u);
  // Time stamps stay strictly increasing on a frozen calendar.
  INT_U32 first = unique_time_stamp();
  EXPECT_GT(unique_time_stamp(), first);
  test_seam_release_clocks();
  EXPECT_GT(get_calendar_seconds(), 1500000000u);
}

TEST_F(SEAM, ScriptedKeysAndPointer) {
  KEYBOARD_HANDLER keyboard;
  test_seam_key(VKEY_LSHIFT, true);
  test_seam_key('A', true);
  EXPECT_TRUE(keyboard.is_key_down(VKEY_LSHIFT));
  EXPECT_TRUE(keyboard.is_key_down('A'));
  EXPECT_FALSE(keyboard.is_key_down(VKEY_TAB));
  EXPECT_FALSE(keyboard.is_key_down(300));
  EXPECT_EQ(keyboard.read_key(), 'A');
  EXPECT_EQ(keyboard.read_key(), -1);
  test_seam_key('A', false);
  EXPECT_FALSE(keyboard.is_key_down('A'));
  EXPECT_EQ(keyboard.read_key(), -1);  // a key going up is no key press
  test_seam_type("hi!");
  EXPECT_EQ(keyboard.read_char(), 'h');
  EXPECT_EQ(keyboard.read_char(), 'i');
  EXPECT_EQ(keyboard.read_char(), '!');
  EXPECT_EQ(keyboard.read_char(), 0);

  test_seam_pointer(12, 34);
  test_seam_button(MOUSE_LEFT, true);
  MOUSE_HANDLER::input_pass_done();  // as the input pass of a pass does
  test_seam_button(MOUSE_RIGHT, true);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, 12);
  EXPECT_EQ(MOUSE_HANDLER::pointer_y, 34);
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 3u);
  test_seam_wheel(-2);
  EXPECT_EQ(MOUSE_HANDLER::wheel_notches, -2);
  test_seam_release_input();
  EXPECT_EQ(MOUSE_HANDLER::held_buttons, 0u);
  EXPECT_EQ(MOUSE_HANDLER::pointer_x, -1);
  EXPECT_FALSE(keyboard.is_key_down(VKEY_LSHIFT));
}

TEST_F(SEAM, DesktopAndKeyboardPresence) {
  test_seam_desktop(800, 600);
  EXPECT_EQ(get_desktop_width(), 800);
  EXPECT_EQ(get_desktop_height(), 600);
  SYSTEM_INFORMATION info;
  for (INT_S8 present : {0, 1}) {
    test_seam_keyboard_present(present);
    get_system_information(&info);
    EXPECT_EQ(info.has_keyboard, present);
  }
  test_seam_reset();
  EXPECT_GT(get_desktop_width(), 0);
}

TEST_F(SEAM, ScreenWithoutWindowAndItsPicture) {
  test_seam_screen(40, 30);
  EXPECT_EQ(get_screen_width(0), 40);
  EXPECT_EQ(get_screen_height(0), 30);
  EXPECT_EQ(*screen_image.pixel_at(39, 29), 0xFF000000u);
  COLOUR red = 0xFFFF0000;
  screen_image.fill_rectangle(0, 0, 9, 9, &red, 0);
  std::string path;
  FOLDER folder = scratch_folder("seam-png", &path);
  ASSERT_TRUE(test_seam_dump_png((path + "screen.png").c_str()));
  IMAGE back;
  ASSERT_TRUE(back.load(&folder, "screen.png", -1, -1));
  EXPECT_EQ(back.width, 40);
  EXPECT_EQ(*back.pixel_at(5, 5), red);
  EXPECT_EQ(*back.pixel_at(20, 20), 0xFF000000u);
  EXPECT_FALSE(test_seam_dump_png("no-folder-part"));
}

int close_asked = 0;
INT_U8 agree_to_close(INT_S16) {
  close_asked++;
  return 1;
}
int passes = 0;
INT_U8 pass_with_close_request() {
  // A close request pumped inside a pass waits for the next pass.
  if (++passes == 1) {
    test_seam_close_request();
    EXPECT_EQ(close_asked, 0);
  }
  return passes < 5 ? 1 : 0;
}

TEST_F(SEAM, CloseRequestInsideAPassIsActedOnBeforeTheNext) {
  CLOSE_CALLBACK saved = close_callback;
  set_close_callback(agree_to_close);
  quit_flag = 0;
  close_asked = passes = 0;
  run_frame_loop(pass_with_close_request);
  EXPECT_EQ(close_asked, 1);
  EXPECT_EQ(passes, 1);  // the loop ended before the second pass
  EXPECT_EQ(quit_flag, 1);
  quit_flag = 0;
  test_seam_close_request();  // outside a pass: asked at once
  EXPECT_EQ(close_asked, 2);
  quit_flag = 0;
  set_close_callback(saved);
}

}  // namespace
