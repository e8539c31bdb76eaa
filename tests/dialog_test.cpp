// Tests of the dialog module's data: the default effects block, its text and stored form, and the
// one-time adjustment of the three default dialog style sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dialog.h"
#include "screen_image.h"
#include "test_support.h"

namespace {

TEST(DialogEffects, DefaultsTextAndStoredForm) {
  EXPECT_EQ(default_dialog_effects.flags, 0x47Cu);
  EXPECT_EQ(default_dialog_effects.open_delay, 300u);
  EXPECT_EQ(default_dialog_effects.display_delay, 1000u);
  EXPECT_EQ(default_dialog_effects.dragging_alpha, 192u);
  EXPECT_STREQ(format_dialog_effects(&default_dialog_effects),
               "Flags: 0x047C, Open Delay: 300, Displaying Delay 1000, Alpha 0xC0");

  WM_DIALOG_EFFECTS effects = {0x1234ABCD, 0x01020304, 7, 0x1FF};
  MEMORY_DEVICE device;
  ASSERT_TRUE(effects.put_to_data_device(&device));
  // Flags as u16, the delays as u32, the alpha as u8.
  EXPECT_EQ(device.bytes, (std::vector<INT_U8>{0xCD, 0xAB, 4, 3, 2, 1, 7, 0, 0, 0, 0xFF}));
  device.position = 0;
  WM_DIALOG_EFFECTS back = {};
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_EQ(back.flags, 0xABCDu);
  EXPECT_EQ(back.open_delay, 0x01020304u);
  EXPECT_EQ(back.display_delay, 7u);
  EXPECT_EQ(back.dragging_alpha, 0xFFu);

  // A short block changes nothing.
  MEMORY_DEVICE cut(std::vector<INT_U8>(device.bytes.begin(), device.bytes.end() - 1));
  WM_DIALOG_EFFECTS kept = {1, 2, 3, 4};
  EXPECT_FALSE(kept.get_from_data_device(&cut));
  EXPECT_EQ(kept.flags, 1u);
  EXPECT_EQ(kept.dragging_alpha, 4u);
}

TEST(DialogStyles, AdjustedOnce) {
  stop_global_style_sets();
  default_styles_adjusted = 0;
  adjust_default_styles();
  EXPECT_EQ(default_dialog_window_style->shading_flags, 0x000F);
  EXPECT_EQ(default_dialog_window_style->fg_colour, 0xFF0000FFu);
  EXPECT_EQ(default_dialog_window_style->bg_colour, 0xFFC0C0C0u);
  EXPECT_EQ(default_dialog_window_style->shading_type, 4u);
  EXPECT_EQ(default_dialog_title_style->bg_colour, 0xFFFF0000u);
  EXPECT_EQ(default_dialog_title_style->fg_colour, 0xFF000000u);
  EXPECT_EQ(default_dialog_title_style->shading_type, 4u);
  WM_STYLE_SET* button = default_dialog_button_style;
  EXPECT_EQ(button->shading_flags, 0x00FF);
  EXPECT_EQ(button->border_left_gap, 4);
  EXPECT_EQ(button->border_bottom_gap, 4);
  EXPECT_EQ(button->cell_left_gap, -1);
  EXPECT_EQ(button->highlight_colour, 0xFFFF0000u);
  EXPECT_EQ(button->highlight_text_colour, 0xFF000000u);
  EXPECT_EQ(button->flags, 1u);
  EXPECT_EQ(button->shading_type, 4u);

  // Later calls do nothing, so a style stored in between keeps its values.
  button->border_left_gap = 20;
  button->shading_type = 9;
  adjust_default_styles();
  EXPECT_EQ(button->border_left_gap, 20);
  EXPECT_EQ(button->shading_type, 9u);
  stop_global_style_sets();
  default_styles_adjusted = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Dialogs on a headless screen, driven through the page manager's passes.

#include "host.h"
#include "host_test_seam.h"
#include "page_manager.h"
#include "redraw.h"
#include "script.h"
#include "wm_test_support.h"

namespace {

WM_DIALOG_EFFECTS no_effects = {0, 300, 1000, 192};

void empty_page(WM_PAGE_MANAGER*) {}

void start_page(WM_TEST_SCREEN& screen) {
  screen.manager->set_page(0, empty_page, nullptr, 0, nullptr, 0, 0, nullptr);
  run_pass();
}

int deleted_count = 0;
void count_deleted(WM_SCREEN_OBJECT*, INT_U32) { deleted_count++; }

TEST(Dialog, CentredTitledAndUntitled) {
  WM_TEST_SCREEN screen(640, 480, 1);
  WM_DIALOG* dialog = new WM_DIALOG(-1, -1, 200, 100, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(dialog->get_x(), 220);
  EXPECT_EQ(dialog->get_y(), 190);
  EXPECT_EQ(dialog->x, 220);
  EXPECT_EQ(dialog->y, -100);  // the default block slides in from the top of the display
  EXPECT_EQ(dialog->alpha, 255);
  EXPECT_EQ(dialog->kind & WM_KIND_DIALOG, (INT_U32)WM_KIND_DIALOG);
  EXPECT_FALSE(dialog->is_focusable());
  EXPECT_EQ(dialog->title, nullptr);
  EXPECT_STREQ(dialog->get_title(), "");
  // Type 4 border: gaps of 1; without a title the client starts at the top gap.
  EXPECT_EQ(dialog->client_top(), 1);
  EXPECT_EQ(dialog->client->x, dialog->x + 1);
  EXPECT_EQ(dialog->client->y, dialog->y + 1);
  EXPECT_EQ(dialog->client->width, 198);
  EXPECT_EQ(dialog->client->height, 98);
  delete dialog;

  WM_DIALOG titled(10, 20, 200, 100, "", nullptr, nullptr, nullptr, &no_effects);
  ASSERT_NE(titled.title, nullptr);  // "" builds a title that set_title fills later
  titled.set_title("Hello");
  EXPECT_STREQ(titled.get_title(), "Hello");
  EXPECT_EQ(titled.title->x, 11);
  EXPECT_EQ(titled.client_top(), 1 + 1 + titled.title->height);
  EXPECT_EQ(titled.y, 20);  // no slide without the flags

  // The colour form: null pointers and invisible colours leave the style's colours.
  COLOUR green = 0xFF00FF00, invisible = 0;
  WM_DIALOG coloured(0, 0, 50, 50, nullptr, &green, nullptr, &invisible, nullptr, nullptr, nullptr, nullptr, nullptr, 1,
                     &no_effects);
  EXPECT_EQ(coloured.window_style.bg_colour, green);
  EXPECT_EQ(coloured.window_style.fg_colour, 0xFF0000FFu);
  EXPECT_EQ(coloured.title_style.bg_colour, 0xFFFF0000u);
}

TEST(Dialog, FadeUsesTheSignedTimeSinceItsStart) {
  // 0xFFFFFFB0 + 150 wraps: the half-way alpha is the same as anywhere else.
  for (INT_U32 start : {10000u, 0xFFFFFFB0u}) {
    WM_TEST_SCREEN screen(640, 480, 1, start);
    WM_DIALOG_EFFECTS fade_in = {0x1, 300, 1000, 192};
    WM_DIALOG dialog(0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr, &fade_in);
    EXPECT_EQ(dialog.alpha, 0);
    EXPECT_EQ(dialog.update(false), 1);  // the fade begins at this pass time
    EXPECT_EQ(dialog.alpha, 0);
    advance_ms(150);
    EXPECT_EQ(dialog.update(false), 0);  // a pass that advanced is followed by one that only checks the end
    EXPECT_EQ(dialog.update(false), 1);
    EXPECT_EQ(dialog.alpha, 127) << start;  // 0 - (150 * -255) / 300 rounds toward zero
    advance_ms(200);
    dialog.update(false);
    dialog.update(false);
    EXPECT_EQ(dialog.alpha, 255);
  }
}

TEST(Dialog, DefaultEffectsSlideInAndOutThenTheDialogIsDeleted) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_DIALOG* dialog = new WM_DIALOG(-1, -1, 200, 100, "Box", nullptr, nullptr, nullptr, nullptr);
  screen.manager->get_root()->add_top_level(dialog, false);
  run_pass();
  EXPECT_LT(dialog->y, 190);
  EXPECT_EQ(dialog->get_y(), 190);  // layouts see the resting place during the slide
  // Moved while sliding in: the slide ends at the new place.
  dialog->move_to(100, 150);
  for (int i = 0; i < 12; i++) {
    advance_ms(50);
    run_pass();
  }
  EXPECT_EQ(dialog->x, 100);
  EXPECT_EQ(dialog->y, 150);
  EXPECT_TRUE(dialog->at_rest());
  EXPECT_EQ(pass_asked_in(), -1);  // at rest nothing is due
  screen_object_destroyed_hook = count_deleted;
  deleted_count = 0;
  screen.manager->close_all_dialogs(false);
  EXPECT_EQ(dialog->closing, 1);
  int passes = 0;
  while (is_top_level(dialog) && passes < 40) {
    advance_ms(50);
    run_pass();
    passes++;
    // Every pass of the effect, also those that show nothing new, asks for the next one.
    if (is_top_level(dialog)) {
      EXPECT_GE(pass_asked_in(), 0) << passes;
    }
  }
  EXPECT_FALSE(top_level_list()->count);
  EXPECT_GE(deleted_count, 1);
  EXPECT_GE(passes, 6);  // 300 ms of slide at 50 ms a pass, advanced every second pass
  screen_object_destroyed_hook = nullptr;
}

// A dialog closed before its first drawing stays closing (its first drawing does not start the opening
// effects again) and is deleted, at once or with its effects.
TEST(Dialog, ClosedBeforeItsFirstDrawingItIsDeleted) {
  for (bool at_once : {true, false}) {
    SCOPED_TRACE(at_once);
    WM_TEST_SCREEN screen(640, 480, 1);
    start_page(screen);
    run_pass();
    WM_DIALOG* dialog = new WM_DIALOG(-1, -1, 200, 100, "Box", nullptr, nullptr, nullptr, nullptr);
    screen.manager->get_root()->add_top_level(dialog, false);
    INT_U32 handle = object_handle(dialog);
    screen.manager->close_all_dialogs(at_once);
    for (int i = 0; i < 20 && object_from_handle(handle); i++) {
      advance_ms(50);
      run_pass();
    }
    EXPECT_EQ(object_from_handle(handle), nullptr);
    EXPECT_EQ(top_level_list()->count, 0);
  }
}

WM_RESULT answer_two(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) { return WM_RESULT_CLOSE_DIALOG; }
WM_DIALOG* dialog_to_hide = nullptr;
WM_RESULT hide_the_dialog(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) {
  dialog_to_hide->hide(false, true);
  return 0;
}

// A dialog closes itself when a child answers 2 or when a child's callback hides it; one that the
// top-level list owns is then removed and deleted, a pop-up that is not owned only ends hidden.
TEST(Dialog, ChildClosingItsDialog) {
  struct {
    WM_CLICK_CALLBACK callback;
    const char* name;
  } closers[] = {{answer_two, "answers 2"}, {hide_the_dialog, "hides it"}};
  for (const auto& closer : closers) {
    for (INT_U8 owned : {1, 0}) {
      WM_TEST_SCREEN screen(640, 480, 1);
      start_page(screen);
      WM_DIALOG* dialog = new WM_DIALOG(100, 100, 200, 100, nullptr, nullptr, nullptr, nullptr, &no_effects);
      dialog_to_hide = dialog;
      dialog->not_owned = owned ? 0 : 1;
      WM_SCREEN_OBJECT* child = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
      child->x = 10, child->y = 10, child->width = child->height = 20;
      child->click_callback = closer.callback;
      dialog->add_child(child, true);
      EXPECT_EQ(child->x, 111);  // relative to the client
      screen.manager->get_root()->add_top_level(dialog, false);
      run_pass();
      screen_object_destroyed_hook = count_deleted;
      deleted_count = 0;
      EXPECT_EQ(click(120, 120, 2), 0) << closer.name;  // 2 is not passed on
      run_passes(3);
      screen_object_destroyed_hook = nullptr;
      if (owned) {
        EXPECT_EQ(top_level_list()->count, 0) << closer.name;  // removed when its closing effects ended
        EXPECT_EQ(deleted_count, 3) << closer.name;            // the dialog, its client and the child
      } else {
        EXPECT_EQ(top_level_list()->count, 1) << closer.name;
        EXPECT_EQ(dialog->visible, 0) << closer.name;
        EXPECT_EQ(deleted_count, 0) << closer.name;
        screen.manager->get_root()->remove_top_level(dialog, false, false);
        delete dialog;
      }
    }
  }
}

TEST(Dialog, DraggedOnlyByAFreshPressOnTitleOrSurface) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_DIALOG* dialog = new WM_DIALOG(100, 100, 200, 100, "Title", nullptr, nullptr, nullptr, &no_effects);
  WM_SCREEN_OBJECT* child = new WM_SCREEN_OBJECT(1, nullptr, 0, 0);
  child->x = 50, child->y = 40, child->width = child->height = 20;
  dialog->add_child(child, true);
  screen.manager->get_root()->add_top_level(dialog, false);
  run_pass();

  // A press on a widget of the client never starts a drag.
  INT_S16 cx = (INT_S16)(child->x + 5), cy = (INT_S16)(child->y + 5);
  press(cx, cy);
  move_pointer((INT_S16)(cx + 30), (INT_S16)(cy + 30));
  release((INT_S16)(cx + 30), (INT_S16)(cy + 30));
  EXPECT_EQ(dialog->x, 100);

  // The title: the dialog follows the pointer and is translucent while dragged.
  press(150, 105);
  EXPECT_EQ(dialog->dragging, 1);
  EXPECT_EQ(dialog->alpha, 192);
  move_pointer(170, 135);
  EXPECT_EQ(dialog->x, 120);
  EXPECT_EQ(dialog->y, 130);
  EXPECT_EQ(child->x, 120 + (50 + 1));
  release(170, 135);
  EXPECT_EQ(dialog->dragging, 0);
  EXPECT_EQ(dialog->alpha, 255);

  // Free surface of the client also drags.
  press(130, 220);
  move_pointer(140, 230);
  release(140, 230);
  EXPECT_EQ(dialog->x, 130);

  // A button held since before the press was seen does not.
  test_seam_pointer(0, 0);
  test_seam_button(MOUSE_LEFT, true);
  run_pass();
  move_pointer(200, 230);
  move_pointer(220, 250);
  release(220, 250);
  EXPECT_EQ(dialog->x, 130);

  dialog->draggable = 0;
  press(150, 140);
  move_pointer(160, 150);
  release(160, 150);
  EXPECT_EQ(dialog->x, 130);
}

// However far the pointer goes, a dragged dialog stays inside the main window whole, its buttons in
// reach; one taller than the window goes no further than showing its top or its bottom edge.
TEST(Dialog, ADraggedDialogStaysInsideTheWindow) {
  WM_TEST_SCREEN screen(640, 480, 1);
  start_page(screen);
  WM_DIALOG* titled = new WM_DIALOG(100, 100, 200, 100, "Title", nullptr, nullptr, nullptr, &no_effects);
  WM_DIALOG* tall = new WM_DIALOG(300, 0, 100, 600, nullptr, nullptr, nullptr, nullptr, &no_effects);
  for (WM_DIALOG* dialog : {titled, tall}) {
    screen.manager->get_root()->add_top_level(dialog, false);
    run_pass();
    press((INT_S16)(dialog->x + 50), (INT_S16)(dialog->y + 5));
    move_pointer(700, 700);
    EXPECT_EQ(dialog->x, 640 - dialog->width);
    EXPECT_EQ(dialog->y, dialog == tall ? 0 : 480 - dialog->height);
    move_pointer(-300, -300);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, dialog == tall ? 480 - 600 : 0);
    move_pointer(200, 20);  // inside: followed exactly
    EXPECT_EQ(dialog->x, 150);
    release(200, 20);
  }
}

// The screen's pixels, row by row.
std::vector<INT_U32> screen_pixels() {
  std::vector<INT_U32> pixels;
  for (INT_S16 y = 0; y < screen_image.height; y++)
    for (INT_S16 x = 0; x < screen_image.width; x++) pixels.push_back(screen_pixel(x, y));
  return pixels;
}

// A translucent dialog shows its opaque picture blended at its alpha over what lies behind it, only where
// the redrawn region meets it: its own translucent fill has blended with the page first, alphas from the
// opaque threshold up store the picture with that alpha, and the target keeps its alpha byte elsewhere.
TEST(Dialog, TranslucentDialogIsBlendedOverWhatLiesBehind) {
  struct {
    INT_S16 x, y;
    INT_U8 alpha;
    INT_S16 left, top, right, bottom;  // the region redrawn; -1 = the dialog's rectangle
  } cases[] = {{10, 10, 128, -1, -1, -1, -1}, {10, 10, 1, -1, -1, -1, -1},   {10, 10, 249, -1, -1, -1, -1},
               {10, 10, 250, -1, -1, -1, -1}, {10, 10, 254, -1, -1, -1, -1}, {10, 10, 0, -1, -1, -1, -1},
               {-30, 200, 100, -1, -1, -1, -1},  // partly off the screen's left and bottom edges
               {290, -20, 60, -1, -1, -1, -1},   // off the right and top edges
               {40, 40, 77, 0, 50, 90, 70}};     // only a band across the dialog
  for (const auto& c : cases) {
    WM_TEST_SCREEN screen(320, 240, 1);
    start_page(screen);
    IMAGE& layer = screen.manager->display_layers[0];  // the page: the background redrawn under everything
    layer.set_size(320, 240);
    for (INT_S32 y = 0; y < 240; y++)
      for (INT_S32 x = 0; x < 320; x++)
        *layer.pixel_at(x, y) = (INT_U32)((x ^ y) & 0xFF) << 24 | (INT_U32)(x * 3 & 0xFF) << 16 |
                                (INT_U32)(y * 5 & 0xFF) << 8 | (INT_U32)((x + y) & 0xFF);
    invalidate_display(screen.manager->get_root());
    run_pass();
    std::vector<INT_U32> behind = screen_pixels();

    COLOUR translucent = 0x80FFFF00;
    WM_DIALOG* dialog = new WM_DIALOG(c.x, c.y, 60, 50, nullptr, &translucent, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, 1, &no_effects);
    screen.manager->get_root()->add_top_level(dialog, false);
    run_pass();
    std::vector<INT_U32> opaque = screen_pixels();
    ASSERT_NE(opaque, behind);

    dialog->alpha = dialog->target_alpha = c.alpha;
    if (c.left == -1) dialog->show();
    else add_redraw_region(nullptr, c.left, c.top, c.right, c.bottom);
    run_pass();
    std::vector<INT_U32> shown = screen_pixels();

    INT_S32 left = c.left == -1 ? c.x : std::max(c.left, c.x), top = c.left == -1 ? c.y : std::max(c.top, c.y);
    INT_S32 right = c.left == -1 ? c.x + 59 : std::min(c.right, (INT_S16)(c.x + 59));
    INT_S32 bottom = c.left == -1 ? c.y + 49 : std::min(c.bottom, (INT_S16)(c.y + 49));
    int wrong = 0;
    for (INT_S32 y = 0; y < 240; y++)
      for (INT_S32 x = 0; x < 320; x++) {
        size_t at = (size_t)y * 320 + x;
        COLOUR expected = opaque[at];
        if (x >= left && x <= right && y >= top && y <= bottom) {
          expected = behind[at];
          blend_pixel(&expected, (opaque[at] & 0x00FFFFFF) | (INT_U32)c.alpha << 24, OPAQUE_ALPHA_THRESHOLD);
        }
        if (shown[at] != expected && wrong++ < 3)
          ADD_FAILURE() << "alpha " << (int)c.alpha << " dialog at " << c.x << "," << c.y << ": pixel " << x << ","
                        << y << " is " << std::hex << shown[at] << ", not " << expected;
      }
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The real main window: a page and a draggable dialog driven by real input (tests/programs/dialog_probe).

#include <cstdio>
#include <string>

#include "window_scenario.h"

namespace {

// The numbers after the first "label " line the probe printed; false when it printed none.
bool printed(const std::string& output, const std::string& label, int* a, int* b, int* c = nullptr, int* d = nullptr) {
  size_t at = output.find(label + " ");
  if (at == std::string::npos) return false;
  int e = 0, f = 0;
  int count = std::sscanf(output.c_str() + at + label.size() + 1, "%d %d %d %d", a, b, c ? c : &e, d ? d : &f);
  return count >= (c ? 4 : 2);
}

TEST(DialogScenario, RealInputReachesTheObjectsAndTheDialogIsShownWhereItWasDragged) {
  WINDOW_SCENARIO scenario("dialog-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("dialog_probe")));
  ASSERT_TRUE(scenario.wait_for_window("Dialogs"));
  ASSERT_TRUE(scenario.wait_for_output("place Page "));  // the dialog has slid in and rests
  int x, y, width, height, one_x, one_y, page_x, page_y;
  ASSERT_TRUE(printed(scenario.output(), "dialog", &x, &y, &width, &height));
  ASSERT_TRUE(printed(scenario.output(), "place One", &one_x, &one_y));
  ASSERT_TRUE(printed(scenario.output(), "place Page", &page_x, &page_y));
  EXPECT_EQ(x, 60);
  EXPECT_EQ(y, 40);
  // Building the page gave the focus to the dialog's first button.
  EXPECT_NE(scenario.output().find("focus One\n"), std::string::npos);

  // While the dialog is shown, a click on the page reaches nothing; its own buttons take clicks, Tab
  // moves the focus and Enter clicks the focused button.
  ASSERT_TRUE(scenario.click(page_x, page_y));
  ASSERT_TRUE(scenario.click(one_x, one_y));
  ASSERT_TRUE(scenario.wait_for_output("click One\n"));
  ASSERT_TRUE(scenario.key("Tab"));
  ASSERT_TRUE(scenario.wait_for_output("focus Two\n"));
  ASSERT_TRUE(scenario.key_now("Return"));  // a tap: pressed and released between two passes
  ASSERT_TRUE(scenario.wait_for_output("click Two\n"));
  EXPECT_EQ(scenario.output().find("click Page"), std::string::npos);

  // Dragged by its free surface: it follows the pointer, fades back to opaque when let go and rests
  // there with its buttons.
  int from_x = x + 30, from_y = y + height - 15;
  ASSERT_TRUE(scenario.drag(from_x, from_y, from_x + 150, from_y + 120));
  char resting[64];
  std::snprintf(resting, sizeof resting, "dialog %d %d %d %d\n", x + 150, y + 120, width, height);
  ASSERT_TRUE(scenario.wait_for_output(resting));
  char moved_one[64];
  std::snprintf(moved_one, sizeof moved_one, "place One %d %d\n", one_x + 150, one_y + 120);
  EXPECT_NE(scenario.output().find(moved_one), std::string::npos) << scenario.output();

  // The window's pixels: the dialog's face at its new place, the page where it stood before (once the
  // resting dialog has reached the display).
  WINDOW_CAPTURE image;
  ASSERT_TRUE(scenario.wait_for_pixel(x + 150 + 10, y + 120 + height - 10, 0xC0C0C0u));
  ASSERT_TRUE(scenario.capture(&image, scenario.scratch() + "dragged.png"));
  ASSERT_EQ(image.width, 480);
  ASSERT_EQ(image.height, 360);
  EXPECT_EQ(image.at(x + 150 + 10, y + 120 + height - 10), 0xC0C0C0u);
  EXPECT_EQ(image.at(x + width - 10, y + height - 10), 0xC0C0C0u);  // still covered: both places overlap there
  EXPECT_EQ(image.at(x + 10, y + 10), 0x203040u);
  EXPECT_EQ(image.at(x + 10, y + height - 10), 0x203040u);

  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_for_output("close\n"));
  EXPECT_EQ(scenario.wait_for_exit(), 0);
  EXPECT_NE(scenario.output().find("exit\n"), std::string::npos);
}

}  // namespace
