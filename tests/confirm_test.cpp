// Tests of confirmation boxes: button widths and places for one, two and three buttons (never narrower than
// "Close"), the message window above the button row, the text-line form sized to its lines, the buttons'
// callbacks and user values through the page manager's passes, and a box that closes itself with result
// 2 being removed and deleted when its fade ends. Without a loaded font every character measures one
// pixel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "button.h"
#include "confirm.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "page_manager.h"
#include "redraw.h"
#include "screen_image.h"
#include "script.h"
#include "test_support.h"
#include "text_win.h"
#include "wm_test_support.h"

namespace {

WM_DIALOG_EFFECTS no_effects = {0, 300, 1000, 192};

struct ANSWER {
  int calls = 0;
  WM_SCREEN_OBJECT* button = nullptr;
  INT_U32 user1 = 0, user2 = 0;
  WM_RESULT reply = 0;
} answer;

WM_RESULT record_answer(WM_SCREEN_OBJECT* button, INT_U32 user1, INT_U32 user2, int) {
  answer.calls++;
  answer.button = button;
  answer.user1 = user1;
  answer.user2 = user2;
  return answer.reply;
}

// A button's place relative to its box's client.
struct PLACE {
  INT_S32 left, top, width, height;
};
PLACE place_of(WM_CONFIRM* box, int i) {
  WM_BUTTON* b = box->buttons[i];
  return {b->x - box->client->x, b->y - box->client->y, b->width, b->height};
}

struct BOX_PAGE {
  WM_TEST_SCREEN screen;
  BOX_PAGE() : screen(640, 480, 1) {
    start_empty_page();
    answer = ANSWER();
  }
  void open(WM_CONFIRM* box) {
    page_manager->get_root()->add_top_level(box, false);
    run_pass();
  }
};

TEST(ConfirmLayout, ButtonWidthsAndPlacesForOneTwoAndThreeButtons) {
  BOX_PAGE page;
  // Default button style: gaps 4 + 4 each way; "Close" is 5 pixels, so no button is narrower than 13.
  WM_CONFIRM two(400, 300, "Question", 1, record_answer, 7, 10, 20, 0, 20, &no_effects);
  EXPECT_EQ(two.button_horizontal_gaps(), 8);
  EXPECT_EQ(two.button_vertical_gaps(), 8);
  const INT_S16 fh = two.button_font_height();
  EXPECT_EQ(fh, screen_image.default_font_y_size);
  const INT_S16 cw = two.client_width();
  EXPECT_EQ(cw, 398);  // border gaps 1 and 1
  const INT_S32 row = (300 - two.client_top() - 1) - (8 + fh);
  ASSERT_NE(two.buttons[0], nullptr);
  ASSERT_NE(two.buttons[1], nullptr);
  EXPECT_EQ(two.buttons[2], nullptr);
  EXPECT_STREQ(two.buttons[0]->label, "Yes");
  EXPECT_STREQ(two.buttons[1]->label, "No");
  struct EXPECTED {
    WM_CONFIRM* box;
    int button;
    PLACE place;
  };
  // Two: g = (398 - 26) / 3 = 124; the second at 2 * 372 / 3 + 13 = 261.
  EXPECTED cases[] = {{&two, 0, {124, row, 14, 8 + fh + 1}}, {&two, 1, {261, row, 14, 8 + fh + 1}}};
  for (const EXPECTED& c : cases) {
    PLACE p = place_of(c.box, c.button);
    EXPECT_EQ(p.left, c.place.left) << "button " << c.button;
    EXPECT_EQ(p.top, c.place.top);
    EXPECT_EQ(p.width, c.place.width);
    EXPECT_EQ(p.height, c.place.height);
  }

  WM_CONFIRM one(400, 300, "Notice", 1, record_answer, 7, 10, 20, 1, 20, &no_effects);
  ASSERT_NE(one.buttons[0], nullptr);
  EXPECT_EQ(one.buttons[1], nullptr);
  EXPECT_STREQ(one.buttons[0]->label, "Close");
  EXPECT_EQ(place_of(&one, 0).left, (398 - 13) / 2);
  EXPECT_EQ(one.buttons[0]->event_user2, 1u);

  // Three: the widest label sets every width; the third stands alone at the left.
  WM_CONFIRM three(400, 300, "Choose", "A", "Longer label", "C", 1, record_answer, 1, 11, record_answer, 2, 22,
                   record_answer, 3, 33, 10, 20, 3, 20, &no_effects);
  const INT_S32 bw = 8 + 12;
  EXPECT_EQ(place_of(&three, 2).left, 10);
  EXPECT_EQ(place_of(&three, 0).left, 398 - 2 * bw - 8 - 11);
  EXPECT_EQ(place_of(&three, 1).left, 398 - bw - 11);
  for (int i = 0; i < 3; i++) EXPECT_EQ(place_of(&three, i).width, bw + 1) << "button " << i;
  EXPECT_EQ(three.buttons[1]->event_user1, 2u);
  EXPECT_EQ(three.buttons[2]->event_user2, 33u);
  EXPECT_EQ(three.buttons[0]->event_mask, BUTTON_EVENT_CLICK);

  // The message window above the button row, top-aligned and kept at its first line.
  ASSERT_NE(two.text, nullptr);
  EXPECT_EQ(two.text->x - two.client->x, 10);
  EXPECT_EQ(two.text->y - two.client->y, 10);
  EXPECT_EQ(two.text->width, cw - 19);
  EXPECT_EQ(two.text->height, row - 19);
  EXPECT_EQ(two.text->show_from_start, 1);
  EXPECT_EQ(two.text->drawing_flags, TWF_LEFT_JUSTIFY | TWF_TOP_ALIGN);
  EXPECT_EQ(two.text->capacity, 20);
  EXPECT_EQ(two.kind & (WM_KIND_CONFIRM | WM_KIND_DIALOG), (INT_U32)(WM_KIND_CONFIRM | WM_KIND_DIALOG));
}

// Answers too long for the box's own layout never run into one another: the box widens until that
// layout holds them (its middle kept within the screen, the message window widening with it), and where
// even the screen's width is too little, each keeps a place of its own in the row, the longest
// shortened alike to the room left.
TEST(ConfirmLayout, LongAnswersEachKeepAPlaceOfTheirOwn) {
  BOX_PAGE page;
  struct CASE {
    std::vector<int> lengths;  // of the labels, one pixel a character
    INT_S16 width;             // of the box
    std::vector<int> widths;   // of the buttons in reading order
  } cases[] = {{{250, 200}, 550, {259, 259}},      {{100, 120, 90}, 437, {129, 129, 129}},
               {{500}, 531, {509}},                {{400, 3}, 640, {408, 13}},
               {{700, 600, 2}, 640, {13, 292, 292}}};
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.width);
    std::string labels[3];
    for (size_t i = 0; i < c.lengths.size(); i++) labels[i] = std::string((size_t)c.lengths[i], (char)('a' + i));
    INT_S16 count = (INT_S16)c.lengths.size();
    WM_CONFIRM box(300, 200, "Question", labels[0].c_str(), count > 1 ? labels[1].c_str() : nullptr,
                   count > 2 ? labels[2].c_str() : nullptr, 1, record_answer, 1, 11, record_answer, 2, 22,
                   record_answer, 3, 33, 200, 20, count, 20, &no_effects);
    EXPECT_EQ(box.width, c.width);
    EXPECT_EQ(box.x, std::min(200 - (c.width - 300) / 2, 640 - c.width));
    EXPECT_EQ(box.text->width, box.client_width() - 19);
    std::vector<int> widths;
    INT_S32 free_from = box.client->x;
    for (LLIST_NODE* node = box.client->children.head; node; node = node->next) {
      WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
      if (!(child->kind & WM_KIND_BUTTON)) continue;
      widths.push_back(child->width);
      EXPECT_GE(child->x, free_from + (widths.size() > 1 ? 1 : 0));  // inside the client, apart
      free_from = child->x + child->width;
    }
    EXPECT_EQ(widths, c.widths);
    EXPECT_LE(free_from, box.client->x + box.client_width());
  }
}

TEST(ConfirmLayout, TextLinesSizeTheBox) {
  BOX_PAGE page;
  const INT_S16 fh0 = screen_image.default_font_y_size;
  const char* short_lines[] = {"Hi"};
  WM_CONFIRM small(30, 40, "T", short_lines, 1, 1, record_answer, 5, 0, &no_effects);
  EXPECT_EQ(small.width, 150);
  const INT_S32 fh = small.button_font_height();
  EXPECT_EQ(small.height, small.client_top() + 1 + 3 * fh0 + 8 + fh);
  EXPECT_EQ(small.text, nullptr);
  EXPECT_EQ(small.x, 30);
  ASSERT_EQ(small.client->children.count, 3);  // the line and two buttons
  WM_SCREEN_OBJECT* line = small.client->child_at_index(0);
  EXPECT_EQ(line->kind & WM_KIND_SCRIPT, (INT_U32)WM_KIND_SCRIPT);
  EXPECT_EQ(line->x - small.client->x, (148 - 2) / 2);
  EXPECT_EQ(line->y - small.client->y, fh0);
  EXPECT_EQ(place_of(&small, 0).top, 3 * fh0);
  EXPECT_EQ(small.buttons[0]->event_user1, 5u);
  EXPECT_EQ(small.buttons[1]->event_user2, 0u);
  EXPECT_FALSE(small.load_text_file(nullptr, "anything.txt"));

  // A long line widens the box; x -1 centres it on the screen.
  std::string long_line(200, 'w');
  const char* lines[] = {"one", long_line.c_str(), "three"};
  WM_CONFIRM wide(-1, 40, nullptr, lines, 3, 1, record_answer, 5, 1, &no_effects);
  EXPECT_EQ(wide.width, 240);
  EXPECT_EQ(wide.x, (640 - 240) / 2);
  EXPECT_EQ(wide.height, wide.client_top() + 1 + 5 * fh0 + 8 + fh);
  EXPECT_EQ(wide.buttons[1], nullptr);
  EXPECT_STREQ(wide.buttons[0]->label, "Close");
}

TEST(ConfirmInput, ButtonsCallTheCallbackAndAReplyOf2ClosesAndDeletesTheBox) {
  BOX_PAGE page;
  WM_CONFIRM* box = new WM_CONFIRM(400, 300, "Question", 1, record_answer, 7, 10, 20, 0, 20, &no_effects);
  page.open(box);
  INT_U32 handle = object_handle(box);
  WM_BUTTON* no = box->buttons[1];
  INT_S16 nx = (INT_S16)(no->x + no->width / 2), ny = (INT_S16)(no->y + no->height / 2);
  press(nx, ny);
  EXPECT_EQ(answer.calls, 0);  // event mask 2: the release calls
  release(nx, ny);
  EXPECT_EQ(answer.calls, 1);
  EXPECT_EQ(answer.button, no);
  EXPECT_EQ(answer.user1, 7u);
  EXPECT_EQ(answer.user2, 0u);
  EXPECT_EQ(object_from_handle(handle), box);  // a reply of 0 leaves it open

  answer.reply = 2;
  WM_BUTTON* yes = box->buttons[0];
  click((INT_S16)(yes->x + 3), (INT_S16)(yes->y + 3));
  EXPECT_EQ(answer.user2, 1u);
  run_passes(3);
  EXPECT_EQ(object_from_handle(handle), nullptr);  // removed and deleted, nothing left on the list
  EXPECT_EQ(top_level_list()->count, 0);
}

TEST(ConfirmInput, ABoxClosingWithTheDefaultEffectsGoesWhenItsFadeEnds) {
  BOX_PAGE page;
  WM_CONFIRM* box = new WM_CONFIRM(300, 200, "Question", 1, record_answer, 7, 10, 20, 1, 20, nullptr);
  page.open(box);
  advance_ms(1500);
  run_passes(3);  // slid in and at rest
  INT_U32 handle = object_handle(box);
  answer.reply = 2;
  WM_BUTTON* close = box->buttons[0];
  click((INT_S16)(close->x + 3), (INT_S16)(close->y + 3));
  EXPECT_EQ(answer.calls, 1);
  EXPECT_TRUE(box->closing);
  run_pass();
  EXPECT_EQ(object_from_handle(handle), box);  // still fading
  for (int i = 0; i < 10 && object_from_handle(handle); i++) {
    advance_ms(100);
    run_pass();
  }
  EXPECT_EQ(object_from_handle(handle), nullptr);
  EXPECT_EQ(top_level_list()->count, 0);
}

// The keyboard answers: the box opens with the focus on the answer Escape gives (No, or the one answer),
// so that Enter or Space answers the safe way; Tab and Shift+Tab go through the buttons in reading order
// and Enter or Space presses the focused one. A box of three answers chooses none for the person.
TEST(ConfirmInput, TheKeyboardAnswersFromTheSafeButtonOn) {
  BOX_PAGE page;
  struct STEP {
    std::vector<INT_S32> keys;  // VKEY_TAB with VKEY_LSHIFT held is written as -VKEY_TAB
    INT_U32 answered;
  } steps[] = {{{VKEY_RETURN}, 0}, {{VKEY_SPACE}, 0}, {{VKEY_TAB, VKEY_RETURN}, 1}, {{-VKEY_TAB, VKEY_SPACE}, 1},
               {{VKEY_TAB, VKEY_TAB, VKEY_RETURN}, 0}};
  for (const STEP& step : steps) {
    answer = ANSWER();
    WM_CONFIRM* box = new WM_CONFIRM(400, 300, "Question", 1, record_answer, 7, 10, 20, 0, 20, &no_effects);
    page.open(box);
    EXPECT_EQ(focus_object, box->buttons[1]);
    for (INT_S32 k : step.keys) k < 0 ? key(-k, VKEY_LSHIFT) : key(k);
    EXPECT_EQ(answer.calls, 1) << step.keys.size();
    EXPECT_EQ(answer.user2, step.answered) << step.keys.size();
    page_manager->get_root()->remove_top_level(box, true, false);
    run_pass();
  }
  WM_CONFIRM* one = new WM_CONFIRM(400, 300, "Notice", 1, record_answer, 7, 10, 20, 1, 20, &no_effects);
  page.open(one);
  EXPECT_EQ(focus_object, one->buttons[0]);
  page_manager->get_root()->remove_top_level(one, true, false);
  WM_CONFIRM* three = new WM_CONFIRM(400, 300, "Choose", "A", "B", "C", 1, record_answer, 1, 11, record_answer, 2,
                                     22, record_answer, 3, 33, 10, 20, 3, 20, &no_effects);
  EXPECT_EQ(three->first_focus(), nullptr);
  delete three;
}

// A message longer than the box holds grows the box to it: the message window shows every line without a
// scroll bar, the buttons move down below it, and the box keeps its middle. A short message keeps the box
// as it was; one longer than the screen makes the box as tall as the screen, and scrolls.
TEST(ConfirmText, TheBoxGrowsToItsMessageUpToTheScreen) {
  BOX_PAGE page;
  const INT_S16 fh0 = screen_image.default_font_y_size;
  for (int count : {1, 8, 40}) {
    WM_CONFIRM box(300, 120, "Question", 1, record_answer, 7, -1, -1, 0, 100, &no_effects);
    INT_S16 gap = (INT_S16)(box.buttons[0]->y - (box.text->y + box.text->height));
    INT_S32 middle = box.y + box.height / 2;
    std::string message;
    for (int i = 0; i < count; i++) message += "line " + std::to_string(i) + (i + 1 < count ? "\n" : "");
    EXPECT_TRUE(box.add_message(message.c_str()));
    EXPECT_EQ(box.text->data_count, count);
    if (count == 1) {
      EXPECT_EQ(box.height, 120);
    } else if (count == 8) {
      EXPECT_EQ(box.text->scrollbar, nullptr);
      EXPECT_EQ(box.text->height, box.text->height_for_lines());
      EXPECT_GE(box.text->height, 8 * fh0);
      EXPECT_LE(std::abs(box.y + box.height / 2 - middle), 1);
    } else {
      EXPECT_EQ(box.height, 480);
      EXPECT_EQ(box.y, 0);
      EXPECT_NE(box.text->scrollbar, nullptr);
    }
    EXPECT_EQ(box.buttons[0]->y - (box.text->y + box.text->height), gap) << count;
    EXPECT_EQ(box.buttons[1]->y, box.buttons[0]->y);
    EXPECT_LE(box.buttons[0]->y + box.buttons[0]->height, box.y + box.height) << count;
  }
}

TEST(ConfirmText, MessageFromAFile) {
  BOX_PAGE page;
  std::string path;
  FOLDER folder = scratch_folder("confirm_file", &path);
  ASSERT_TRUE(write_whole_file(path + "message.txt", {'F', 'i', 'r', 's', 't', '\n', 'S', 'e', 'c', 'o', 'n', 'd'}));
  WM_CONFIRM box(400, 300, "Question", 1, record_answer, 7, 10, 20, 0, 20, &no_effects);
  EXPECT_TRUE(box.load_text_file(&folder, "message.txt"));
  EXPECT_EQ(box.text->data_count, 2);
  EXPECT_EQ(box.text->data_buffer[1].colour, box.window_style.fg_colour);
  EXPECT_FALSE(box.load_text_file(&folder, "missing.txt"));
}

}  // namespace
