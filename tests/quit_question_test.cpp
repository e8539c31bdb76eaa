// Tests of the quit question: its texts, geometry and icons, Yes ending the program and No keeping the
// page, two close requests leaving one question, the question forgotten whenever it is deleted, a close
// request inside a pass acted on at the start of the next one, the installation waiting for the answer, and
// answers of any length each in a place of their own.
#include <gtest/gtest.h>

#include "confirm.h"
#include "redraw.h"
#include "screen_image.h"
#include "text_draw.h"
#include "text_win.h"
#include "wizard_test_support.h"

namespace {

// The confirmation boxes on the top-level list.
int confirm_boxes() {
  int count = 0;
  for (LLIST_NODE* node = top_level_list()->head; node; node = node->next)
    if (static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node))->kind & WM_KIND_CONFIRM) count++;
  return count;
}

// A quick click on the middle of an object: the pointer there, and press and release both before one
// pass, as a tap gives them; the passes that follow show them. The first result other than 0 and 1.
INT_S32 quick_click(WM_SCREEN_OBJECT* object) {
  test_seam_pointer((INT_S16)(object->x + object->width / 2), (INT_S16)(object->y + object->height / 2));
  test_seam_button(1, true);
  test_seam_button(1, false);
  INT_S32 result = 0;
  for (int i = 0; i < 4 && (result == 0 || result == WM_RESULT_KEEP_FOCUS); i++) result = run_pass();
  return result;
}

// A click on a button of a box once its opening effects have ended.
INT_S32 answer(WM_CONFIRM* box, int button) {
  let_effects_end();
  return click_on(box->buttons[button]);
}

}  // namespace

TEST(QuitQuestion, TheQuestionHasTheExitPlaceTextsAndIcons) {
  WIZARD_RUN run("quit-look", "");
  ASSERT_TRUE(run.load());
  database->EXIT.x = 20;
  database->EXIT.y = 30;
  database->EXIT.width = 260;
  database->EXIT.height = 170;
  database->EXIT.can_drag = 0;
  database->skin_icons[DATABASE::yes_icon].set_size(8, 6);
  ASSERT_TRUE(run.begin());
  EXPECT_EQ(open_quit_dialog(0), 0);
  WM_CONFIRM* box = quit_dialog();
  ASSERT_TRUE(box);
  EXPECT_TRUE(is_top_level(box));
  EXPECT_EQ(box->slide_end_x, 20);
  EXPECT_EQ(box->slide_end_y, 30);
  EXPECT_EQ(box->width, 260);
  EXPECT_EQ(box->height, 170);
  EXPECT_EQ(box->draggable, 0);
  EXPECT_EQ(std::string(box->get_title()), "Quit");
  ASSERT_TRUE(box->text);
  ASSERT_EQ(box->text->data_count, 1);
  EXPECT_STREQ(box->text->data_buffer[0].text, "Do you want to quit the installation?");
  EXPECT_EQ(box->text->data_buffer[0].colour, box->window_style.fg_colour);
  EXPECT_EQ(box->text->drawing_flags, 0);
  EXPECT_EQ(label_of(box->buttons[0]), "Yes");
  EXPECT_EQ(label_of(box->buttons[1]), "No");
  EXPECT_EQ(box->buttons[2], nullptr);
  // Only a skin icon with a size is copied.
  EXPECT_EQ(box->buttons[0]->icon.width, 8);
  EXPECT_EQ(box->buttons[0]->icon.height, 6);
  EXPECT_EQ(box->buttons[1]->icon.width, 0);
}

TEST(QuitQuestion, AnswersLongerThanYesAndNoKeepTheirWholeLabels) {
  WIZARD_RUN run("quit-long-answers", "text = QUIT_YES;Leave the installer\ntext = QUIT_NO;Go on installing\n");
  ASSERT_TRUE(run.load());
  database->EXIT.width = 400;
  ASSERT_TRUE(run.begin());
  open_quit_dialog(0);
  WM_CONFIRM* box = quit_dialog();
  ASSERT_TRUE(box && box->buttons[0] && box->buttons[1]);
  for (WM_BUTTON* button : {box->buttons[0], box->buttons[1]}) {
    SCOPED_TRACE(label_of(button));
    INT_S32 label = text_width(draw_target, button->font_id, button->font_x_size, button->font_y_size, button->label,
                               -1, false);
    EXPECT_GE(button->width - button->left_gap - button->right_gap, label);
    EXPECT_GE(button->x, box->client->x);
    EXPECT_LE(button->x + button->width, box->client->x + box->client_width());
  }
  EXPECT_EQ(label_of(box->buttons[0]), "Leave the installer");
  EXPECT_LT(box->buttons[0]->x + box->buttons[0]->width, box->buttons[1]->x);
}

TEST(QuitQuestion, NoOrEscapeKeepsThePageAndYesEndsTheProgram) {
  WIZARD_RUN run("quit-answers");
  ASSERT_TRUE(run.start());
  INSTALL_DIALOG* page = live_page();
  EXPECT_NE(click_on(page->quit_button), WM_RESULT_LAST_PAGE_CLOSED);
  WM_CONFIRM* box = quit_dialog();
  ASSERT_TRUE(box);
  // The page takes no input while the question is open.
  click_on(page->forward_button);
  EXPECT_EQ(database->stage, STAGE_LICENCE);
  EXPECT_NE(answer(box, 1), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(quit_dialog(), nullptr);
  let_effects_end();
  EXPECT_EQ(confirm_boxes(), 0);
  EXPECT_EQ(live_page(), page);
  EXPECT_EQ(database->stage, STAGE_LICENCE);
  // Escape answers No as well.
  test_seam_close_request();
  let_effects_end();
  EXPECT_TRUE(quit_dialog() && key(VKEY_ESCAPE) != WM_RESULT_LAST_PAGE_CLOSED && !quit_dialog());
  // The window's close button asks again; Yes ends the program from any stage.
  test_seam_close_request();
  box = quit_dialog();
  ASSERT_TRUE(box);
  EXPECT_EQ(answer(box, 0), WM_RESULT_LAST_PAGE_CLOSED);
}

// Quick clicks, press and release before one pass: Cancel on the licence page opens the question with its
// focus shown on Stay, Stay closes it, Leave ends the program, and Accept goes on.
TEST(QuitQuestion, QuickClicksOpenAndAnswerTheQuestion) {
  WIZARD_RUN run("quit-quick");
  ASSERT_TRUE(run.start());
  ASSERT_EQ(database->stage, STAGE_LICENCE);
  INSTALL_DIALOG* page = live_page();
  quick_click(page->quit_button);
  WM_CONFIRM* box = quit_dialog();
  ASSERT_TRUE(box);
  EXPECT_TRUE(focus_object == box->buttons[1] && focus_visible);
  let_effects_end();
  EXPECT_NE(quick_click(box->buttons[1]), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(quit_dialog(), nullptr);
  let_effects_end();
  EXPECT_EQ(confirm_boxes(), 0);
  quick_click(page->quit_button);
  box = quit_dialog();
  ASSERT_TRUE(box);
  let_effects_end();
  EXPECT_EQ(quick_click(box->buttons[0]), WM_RESULT_LAST_PAGE_CLOSED);
  run.screen->manager->close_all_dialogs(true);
  run_passes(2);
  quick_click(live_page()->forward_button);
  EXPECT_EQ(database->stage, STAGE_OPTIONS);
}

TEST(QuitQuestion, TwoCloseRequestsLeaveOneQuestion) {
  WIZARD_RUN run("quit-twice");
  ASSERT_TRUE(run.start());
  test_seam_close_request();
  WM_CONFIRM* first = quit_dialog();
  INT_U32 first_handle = object_handle(first);
  test_seam_close_request();
  ASSERT_TRUE(quit_dialog());
  EXPECT_EQ(object_from_handle(first_handle), nullptr);
  EXPECT_EQ(confirm_boxes(), 1);
  run_passes(2);
  EXPECT_EQ(confirm_boxes(), 1);
  EXPECT_NE(answer(quit_dialog(), 1), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(quit_dialog(), nullptr);
  let_effects_end();
  EXPECT_EQ(confirm_boxes(), 0);
}

TEST(QuitQuestion, TheQuestionIsForgottenWheneverItIsDeleted) {
  WIZARD_RUN run("quit-forgotten");
  ASSERT_TRUE(run.start());
  // A page rebuilt with the top-level list emptied deletes it.
  open_quit_dialog(0);
  ASSERT_TRUE(quit_dialog());
  EXPECT_EQ(install_dialog_event(nullptr, WIZARD_EVENT_STAGE, STAGE_OPTIONS, 0), WM_RESULT_REBUILD_CLEAR);
  run.screen->manager->rebuild_area(run.screen->manager->current_area, true);
  EXPECT_EQ(quit_dialog(), nullptr);
  // close_all_dialogs (at once) deletes it.
  open_quit_dialog(0);
  ASSERT_TRUE(quit_dialog());
  run.screen->manager->close_all_dialogs(true);
  run_passes(2);
  EXPECT_EQ(quit_dialog(), nullptr);
  // A close request after each of these makes a fresh question and touches nothing deleted.
  test_seam_close_request();
  EXPECT_EQ(confirm_boxes(), 1);
  test_seam_close_request();
  EXPECT_EQ(confirm_boxes(), 1);
}

// The frame loop of the application for the next test: a close request arrives in the middle of a pass
// (as while a progress bar pumps the window messages), and the question must not open before the pass
// has ended.
namespace {
int loop_pass = 0;
bool open_inside_pass = false, open_after_pass = false;
INT_U8 loop_update() {
  loop_pass++;
  if (loop_pass == 3) open_after_pass = quit_dialog() != nullptr;
  if (loop_pass >= 3) return 0;
  run_pass();
  if (loop_pass == 1) {
    test_seam_close_request();
    open_inside_pass = quit_dialog() != nullptr;
  }
  return 1;
}
}  // namespace

TEST(QuitQuestion, ACloseRequestInsideAPassIsActedOnAtTheNextPass) {
  WIZARD_RUN run("quit-in-pass");
  ASSERT_TRUE(run.start());
  loop_pass = 0;
  run_frame_loop(loop_update);
  EXPECT_FALSE(open_inside_pass);
  EXPECT_TRUE(open_after_pass);
  EXPECT_EQ(quit_flag, 0);
  EXPECT_EQ(confirm_boxes(), 1);
}

// While the question is shown the installation waits, the program at rest (a scenario checks that No
// then goes on to the end); Yes interrupts it: the log says so, nothing is registered, status 1.
TEST(QuitQuestion, TheInstallationWaitsForTheAnswer) {
  WIZARD_RUN run("quit-installing");
  ASSERT_TRUE(run.start());
  run.show_stage(STAGE_INSTALLING);
  run_pass();
  test_seam_close_request();
  ASSERT_TRUE(quit_dialog());
  INT_S32 before = database->install_state.step_counter;
  let_effects_end();
  run_passes(3);
  EXPECT_EQ(database->install_state.step_counter, before);
  EXPECT_EQ(get_idle_wait(), 50u);
  EXPECT_EQ(pass_asked_in(), -1);  // the loop waits for input alone
  EXPECT_EQ(answer(quit_dialog(), 0), WM_RESULT_LAST_PAGE_CLOSED);
  EXPECT_EQ(end_wizard(), EXIT_JOB_FAILED);
  std::string log = read_whole_text(run.scratch.installed("install_log.txt"));
  EXPECT_EQ(read_lines(run.scratch.installed("install_log.txt")).back(), "Installation interrupted.");
  EXPECT_EQ(log.find("create_"), std::string::npos);
  EXPECT_EQ(log.find("RegKey"), std::string::npos);
}

// Dragged toward any corner, the question stays whole in the window, its answers in reach.
TEST(QuitQuestion, ADraggedQuestionStaysInTheWindow) {
  WIZARD_RUN run("quit-drag");
  ASSERT_TRUE(run.start());
  open_quit_dialog(0);
  WM_CONFIRM* box = quit_dialog();
  ASSERT_TRUE(box && box->title && box->draggable);
  let_effects_end();
  INT_S16 width = get_screen_width(0), height = get_screen_height(0);
  press((INT_S16)(box->title->x + 10), (INT_S16)(box->title->y + 2));
  for (INT_S16 corner = 0; corner < 4; corner++) {
    move_pointer((corner & 1) ? (INT_S16)(width + 500) : (INT_S16)-500,
                 (corner & 2) ? (INT_S16)(height + 500) : (INT_S16)-500);
    EXPECT_TRUE(box->x >= 0 && box->x + box->width <= width) << corner;
    EXPECT_TRUE(box->y >= 0 && box->y + box->height <= height) << corner;
  }
  release(width, height);
}

namespace {

// The button's label shows whole: on one line in its room, or wrapped onto lines that its height holds.
bool label_shows_whole(WM_BUTTON* b) {
  INT_S32 room = b->width - b->left_gap - b->right_gap;
  if (!(b->button_flags & bf_wrap_text))
    return text_width(draw_target, b->font_id, b->font_x_size, b->font_y_size, b->label, -1, false) <= room;
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, room, TEXT_MAX_LINES, b->font_id, b->font_x_size, b->font_y_size,
                                     b->label, lines);
  return count * b->font_y_size <= b->height - b->top_gap - b->bottom_gap;
}

// The text cut to length characters, repeated from its end where it is shorter; it ends in no space.
std::string of_length(const std::string& text, size_t length) {
  std::string made = text;
  while (made.size() < length) made += " " + text;
  made.resize(length);
  if (made.back() == ' ') made.back() = '.';
  return made;
}

}  // namespace

// Answers of any length, German or English, each have a place of their own in the question, inside it and
// on the screen, and show whole (wrapped where the screen's width is too little): while copying, a click on the middle or on either end of the answer that stays goes on
// installing, and one on the answer that leaves ends the program.
TEST(QuitQuestion, EveryAnswerHasAPlaceOfItsOwnWhateverItsLength) {
  REQUIRE_SYSTEM_FONTS();
  const std::pair<std::string, std::string> answers[] = {
      {"Ja, das Installationsprogramm jetzt verlassen", "Nein, weiter installieren und hierbleiben"},
      {of_length("Leave the installer now and keep what was copied", 255),
       of_length("Stay and go on installing every file", 255)}};
  for (const auto& answer_texts : answers) {
    SCOPED_TRACE(answer_texts.second.substr(0, 20));
    INSTALLER_SCRATCH scratch("quit-long-answers", wizard_description_lines() + "text = QUIT_YES;" +
                                                       answer_texts.first + "\ntext = QUIT_NO;" +
                                                       answer_texts.second + "\n");
    for (int i = 0; i < 100; i++) scratch.add_file("many/file" + std::to_string(i) + ".txt", all_byte_values(1));
    ASSERT_TRUE(scratch.build());
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    INSTALL_DIALOG* page = twin_page(twin, STAGE_INSTALLING);
    run_passes(2);
    for (int button : {1, 0}) {
      for (int spot = 0; spot < 3; spot++) {
        SCOPED_TRACE(button * 10 + spot);
        open_quit_dialog(0);
        let_effects_end();
        WM_CONFIRM* question = quit_dialog();
        ASSERT_TRUE(question && question->buttons[0] && question->buttons[1]);
        EXPECT_EQ(label_of(question->buttons[1]), answer_texts.second);
        EXPECT_TRUE(question->x >= 0 && question->x + question->width <= 640);
        for (WM_BUTTON* answer : {question->buttons[0], question->buttons[1]}) {
          EXPECT_TRUE(answer->x >= question->client->x &&
                      answer->x + answer->width <= question->client->x + question->client_width());
          EXPECT_TRUE(label_shows_whole(answer));
        }
        EXPECT_TRUE(question->y >= 0 && question->y + question->height <= 480);
        EXPECT_LT(question->buttons[0]->x + question->buttons[0]->width, question->buttons[1]->x);
        WM_BUTTON* target = question->buttons[button];
        INT_S16 x = (INT_S16)(target->x + (spot == 0 ? 0 : spot == 1 ? target->width / 2 : target->width - 1));
        INT_S16 y = (INT_S16)(target->y + target->height / 2);
        INT_S32 before = database->install_state.step_counter;
        press(x, y);
        INT_S32 result = release(x, y);
        if (button == 0) {
          EXPECT_EQ(result, WM_RESULT_LAST_PAGE_CLOSED);
          continue;
        }
        EXPECT_NE(result, WM_RESULT_LAST_PAGE_CLOSED);
        EXPECT_EQ(quit_dialog(), nullptr);
        run_passes(2);
        EXPECT_GT(database->install_state.step_counter, before);
      }
    }
    EXPECT_LT(database->install_state.step_counter, database->install_state.step_total);
    EXPECT_EQ(live_page(), page);
  }
}
