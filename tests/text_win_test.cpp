// Tests of text windows: splitting at LF, CR and CR LF, the rings, wrapping at spaces (cut words, dropped
// spaces, windows narrower than a character), the scroll bar appearing exactly when the lines overflow
// and its slider shrinking, the first line kept in view, large texts in one call, files; then input
// through the page manager's passes (drag selection, the selected text, link clicks, the wheel) and
// drawing. Without a loaded font every character measures one pixel, which makes widths exact.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "font.h"
#include "folder.h"
#include "host.h"
#include "host_test_seam.h"
#include "image.h"
#include "page_manager.h"
#include "screen_image.h"
#include "script_texts.h"
#include "scroll_bar.h"
#include "style_set.h"
#include "test_support.h"
#include "text_draw.h"
#include "text_file.h"
#include "text_win.h"
#include "wm_test_support.h"

namespace {

int link_clicks = 0;
std::string last_link;
int last_left = -1, last_right = -1;
WM_RESULT record_link(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int) {
  WM_TEXT_WIN* window = (WM_TEXT_WIN*)object;
  link_clicks++;
  last_link = window->clicked_link ? window->clicked_link : "(null)";
  last_left = window->left_released;
  last_right = window->right_released;
  return 0;
}

// A window at (100, 50) of width x height with no margins, rows of 10 pixels, lines from the top and
// left; one character is one pixel wide while no font is loaded, so avail = width - 2 and a page holds
// (height - 2) / 10 lines.
WM_TEXT_WIN* make_window(INT_S16 width, INT_S16 height, INT_S16 capacity, bool selectable = false,
                         INT_U32 extra_flags = ssf_top_align_text, INT_S8 font = -1, INT_S16 font_size = 10) {
  WM_STYLE_SET style;
  style.border_left_gap = style.border_right_gap = style.border_top_gap = style.border_bottom_gap = 0;
  style.font_id = font;
  style.font_x_sz = font_size;
  style.font_y_sz = font_size;
  style.flags = ssf_left_justify_text | extra_flags;
  style.bg_colour = 0xFF202020;
  style.shading_flags = 0x000F;  // square corners
  WM_STYLE_SET bar_style;
  link_clicks = 0;
  last_link.clear();
  return new WM_TEXT_WIN(100, 50, (INT_S16)(100 + width - 1), (INT_S16)(50 + height - 1), &style, &bar_style,
                         capacity, selectable, record_link, 0, 0);
}

// The display lines from the oldest, each cut at its length.
std::vector<std::string> display_lines(WM_TEXT_WIN* window) {
  std::vector<std::string> lines;
  INT_S32 start = window->screen_count < window->capacity ? 0 : window->screen_next;
  for (INT_S32 k = 0; k < window->screen_count; k++) {
    const TEXT_WIN_SCREEN_LINE& line = window->screen_buffer[(start + k) % window->capacity];
    lines.push_back(line.text ? std::string(line.text, (size_t)line.length) : "(none)");
  }
  return lines;
}

std::vector<std::string> data_lines(WM_TEXT_WIN* window) {
  std::vector<std::string> lines;
  INT_S32 start = window->data_count < window->capacity ? 0 : window->data_next;
  for (INT_S32 k = 0; k < window->data_count; k++)
    lines.push_back(window->data_buffer[(start + k) % window->capacity].text);
  return lines;
}

// The lines of the page, top row first.
std::vector<std::string> page_lines(WM_TEXT_WIN* window) {
  INT_S16 first, count;
  window->page_span(&first, &count);
  std::vector<std::string> lines;
  for (INT_S32 row = 0; row < count; row++) {
    const TEXT_WIN_SCREEN_LINE& line = window->screen_buffer[(first + row) % window->capacity];
    lines.push_back(line.text ? std::string(line.text, (size_t)line.length) : "(none)");
  }
  return lines;
}

std::string numbered(int count, int from = 0) {
  std::string text;
  for (int i = from; i < from + count; i++) text += (i > from ? "\n" : "") + std::to_string(i);
  return text;
}

typedef std::vector<std::string> LINES;

const INT_S8 SANS = 10;  // the font slot of the drawing tests

// ---------------------------------------------------------------------------------------------------
// Lines, rings and wrapping

TEST(TextWinLines, SplitAtLFAndCRWithCRLFAsOneLineEnd) {
  WM_TEST_SCREEN screen(640, 480, 0);
  struct CASE {
    const char* text;
    LINES lines;
  } cases[] = {
      {"one", {"one"}},         {"a\nb", {"a", "b"}},       {"end\n", {"end", ""}},
      {"", {""}},               {"x\ry", {"x", "y"}},       {"p\r\nq", {"p", "q"}},
      {"\n\n", {"", "", ""}},   {"a\n\rb", {"a", "", "b"}}, {"t\r", {"t", ""}},
  };
  for (const CASE& c : cases) {
    WM_TEXT_WIN* window = make_window(200, 502, 20);
    COLOUR green = 0xFF00FF00;
    EXPECT_TRUE(window->add_text(c.text, "go", &green, false, true));
    EXPECT_EQ(data_lines(window), c.lines) << "text \"" << c.text << "\"";
    EXPECT_EQ(display_lines(window), c.lines);
    EXPECT_STREQ(window->data_buffer[0].link, "go");
    EXPECT_EQ(window->data_buffer[0].colour, green);
    delete window;
  }
  WM_TEXT_WIN* window = make_window(200, 502, 20);
  EXPECT_FALSE(window->add_text(nullptr, "go", nullptr, false, true));
  EXPECT_EQ(window->data_count, 0);
  EXPECT_TRUE(window->add_text("plain", nullptr, nullptr, false, true));
  EXPECT_STREQ(window->data_buffer[0].link, "");  // a null link counts as ""
  delete window;
}

TEST(TextWinLines, FullRingsKeepTheNewestLines) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(200, 502, 3);
  window->add_text(numbered(5, 1).c_str(), nullptr, nullptr, false, true);
  EXPECT_EQ(window->data_count, 3);
  EXPECT_EQ(data_lines(window), (LINES{"3", "4", "5"}));
  EXPECT_EQ(display_lines(window), (LINES{"3", "4", "5"}));
  // With fewer entries than rows the page shows the ring from its oldest line, each line once.
  EXPECT_EQ(page_lines(window), (LINES{"3", "4", "5"}));
  delete window;
}

// A window that keeps its beginning takes no line, nor display line, beyond its rings: a line wrapped at
// the last entry keeps its first part, and a file stops being read there. set_capacity gives rings of a
// new size with the lines kept (the first or the newest that fit) and wrapped again.
TEST(TextWinLines, AWindowThatKeepsItsBeginningTakesNothingBeyondItsRings) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(12, 502, 3);  // avail 10
  window->keeps_beginning = 1;
  EXPECT_TRUE(window->add_text("1\n2", nullptr, nullptr, false, true));
  EXPECT_FALSE(window->add_text("hello world\n4", nullptr, nullptr, false, true));
  EXPECT_EQ(data_lines(window), (LINES{"1", "2", "hello world"}));
  EXPECT_EQ(display_lines(window), (LINES{"1", "2", "hello"}));
  std::string path;
  FOLDER folder = scratch_folder("text_win_beginning", &path);
  std::string text = numbered(5000) + "\n";
  ASSERT_TRUE(write_whole_file(path + "long.txt", std::vector<INT_U8>(text.begin(), text.end())));
  WM_TEXT_WIN* file = make_window(200, 502, 40);
  file->keeps_beginning = 1;
  EXPECT_TRUE(file->load_text_file(&folder, "long.txt", nullptr));
  EXPECT_EQ(data_lines(file).front(), "0");
  EXPECT_EQ(data_lines(file).back(), "39");

  window->set_capacity(5);
  EXPECT_EQ(window->capacity, 5);
  EXPECT_EQ(display_lines(window), (LINES{"1", "2", "hello", "world"}));
  EXPECT_TRUE(window->add_text("5", nullptr, nullptr, false, true));
  EXPECT_FALSE(window->add_text("6", nullptr, nullptr, false, true));
  window->set_capacity(2);
  EXPECT_EQ(data_lines(window), (LINES{"1", "2"}));
  window->keeps_beginning = 0;
  window->set_capacity(0);  // at least one entry
  EXPECT_EQ(data_lines(window), (LINES{"2"}));
  EXPECT_TRUE(window->add_text("7\n8", nullptr, nullptr, false, true));
  EXPECT_EQ(data_lines(window), (LINES{"8"}));
  delete window;
  delete file;
}

TEST(TextWinWrapping, BreaksAtSpacesCutsLongWordsAndDropsSpaces) {
  WM_TEST_SCREEN screen(640, 480, 0);
  struct CASE {
    INT_S16 width;
    const char* text;
    LINES lines;
  } cases[] = {
      // avail 10: a line of at most 9 characters fits.
      {12, "hello world foo", {"hello", "world foo"}},
      {12, "abcdefghijklmnop", {"abcdefghi", "jklmnop"}},
      {12, "aaaa bbbb    cccc", {"aaaa bbbb", "cccc"}},
      {12, " abcdefghijk", {" abcdefgh", "ijk"}},  // a space at the start is never a break
      {12, "123456789", {"123456789"}},
      {12, "1234567890", {"123456789", "0"}},
      {12, "aaaaaaaa         ", {"aaaaaaaa "}},      // only spaces remain: nothing more
      {12, "a bcdefghij", {"a", "bcdefghij"}},        // a word that fits a line of its own stays whole
      // A word longer than a line breaks after its last '/', '-' or '.' that fits, never after one
      // that begins it.
      {12, "www.ab-cdefgh.ij", {"www.ab-", "cdefgh.ij"}},
      {12, "/usr/local/share", {"/usr/", "local/", "share"}},
      {12, "/abcdefghijk", {"/abcdefgh", "ijk"}},
      // Narrower than a character: one character per display line, never a loop.
      {2, "abc", {"a", "b", "c"}},
      {1, "a b", {"a", "b"}},
  };
  for (const CASE& c : cases) {
    WM_TEXT_WIN* window = make_window(c.width, 502, 40);
    window->add_text(c.text, nullptr, nullptr, false, true);
    EXPECT_EQ(display_lines(window), c.lines) << "width " << c.width << " text \"" << c.text << "\"";
    EXPECT_EQ(window->data_count, 1);
    delete window;
  }
}

// A tab reaches the next stop, 8 spaces from its display line's start, alike in wrapping, measuring and
// hits, and breaks a line as a space does.
TEST(TextWinWrapping, ATabReachesItsStopInWrappingMeasuresAndHits) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(20, 502, 40);  // avail 18
  window->add_text("abc\tdefghij\tklm", nullptr, nullptr, false, true);
  EXPECT_EQ(display_lines(window), LINES({"abc\tdefghij", "klm"}));
  EXPECT_EQ(window->measure("abc\tdefghij", 11), 15);
  EXPECT_EQ(window->char_index_at(0, (INT_S16)(window->x + 7)), 3);
  EXPECT_EQ(window->char_index_at(0, (INT_S16)(window->x + 8)), 4);
  delete window;
}

TEST(TextWinWrapping, LargeTextsInOneCallAreAddedIteratively) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(200, 502, 32000);
  std::string text = numbered(40000);
  EXPECT_TRUE(window->add_text(text.c_str(), nullptr, nullptr, false, true));
  EXPECT_EQ(window->data_count, 32000);
  EXPECT_STREQ(window->data_buffer[(window->data_next + 31999) % 32000].text, "39999");
  delete window;
  // One very long line in a narrow window: thousands of display lines without recursion.
  WM_TEXT_WIN* narrow = make_window(40, 502, 5000);
  std::string line(200000, 'x');
  EXPECT_TRUE(narrow->add_text(line.c_str(), nullptr, nullptr, false, true));
  EXPECT_EQ(narrow->screen_count, 5000);
  EXPECT_EQ(narrow->screen_buffer[0].length, 22);  // beside the scroll bar
  delete narrow;
}

// ---------------------------------------------------------------------------------------------------
// The scroll bar and the page

TEST(TextWinScrollBar, AppearsExactlyWhenTheLinesOverflowAndShrinksItsSlider) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(40, 52, 36);  // a page of 5 lines
  EXPECT_EQ(window->page_last_row, 4);
  // 30 characters fit beside no scroll bar (avail 38) and wrap beside one (avail 23).
  window->add_text("aaaaaaaaaa bbbbbbbbbb cccccccc", nullptr, nullptr, false, true);
  window->add_text(numbered(4, 1).c_str(), nullptr, nullptr, false, true);
  EXPECT_EQ(window->scrollbar, nullptr);
  EXPECT_EQ(window->screen_count, 5);
  window->add_text("5", nullptr, nullptr, false, true);
  ASSERT_NE(window->scrollbar, nullptr);
  WM_SCROLLBAR* bar = window->scrollbar;
  EXPECT_EQ(display_lines(window), (LINES{"aaaaaaaaaa bbbbbbbbbb", "cccccccc", "1", "2", "3", "4", "5"}));
  // Corners (right - 15, y + 3) and (right - 3, bottom - 3), a child of the window.
  EXPECT_EQ(bar->x, 124);
  EXPECT_EQ(bar->y, 53);
  EXPECT_EQ(bar->width, 13);
  EXPECT_EQ(bar->height, 46);
  EXPECT_EQ(window->child_at_index(0), bar);
  // (track 46 - 15) / (36 - 5) = 1 pixel per line beyond the page.
  EXPECT_DOUBLE_EQ(window->slider_step, 1.0);
  EXPECT_EQ(bar->slider_length, 44);
  EXPECT_EQ(window->scroll_value.get_int(&window->scroll_value.maximum), 2);
  EXPECT_EQ(window->scroll_value.get_int(&window->scroll_value.value), 0);
  window->add_text(numbered(40, 6).c_str(), nullptr, nullptr, false, true);
  EXPECT_EQ(window->screen_count, 36);
  EXPECT_EQ(bar->slider_length, 15);  // a full ring: the slider is the bar's width
  EXPECT_EQ(window->scroll_value.get_int(&window->scroll_value.maximum), 31);

  // Without leave to add a scroll bar the overflow is reported instead.
  WM_TEXT_WIN* bare = make_window(40, 52, 36);
  EXPECT_TRUE(bare->add_text(numbered(5).c_str(), nullptr, nullptr, false, false));
  EXPECT_FALSE(bare->add_text("one more", nullptr, nullptr, false, false));
  EXPECT_EQ(bare->scrollbar, nullptr);
  delete bare;

  // Growing the window drops the scroll bar; shrinking it makes a new one; clear removes it.
  window->resize(40, 502, true);
  EXPECT_EQ(window->scrollbar, nullptr);
  EXPECT_EQ(window->screen_count, 36);
  window->resize(40, 52, true);
  EXPECT_NE(window->scrollbar, nullptr);
  window->clear();
  EXPECT_EQ(window->scrollbar, nullptr);
  EXPECT_EQ(window->data_count, 0);
  EXPECT_EQ(window->screen_count, 0);
  EXPECT_EQ(window->children.count, 0);
  delete window;
}

// Rings fitted to the text (set_capacity) make the scroll bar again: its slider shrinks to the bar's
// width at the last line, and the first line stays in view.
TEST(TextWinScrollBar, RingsFittedToTheTextMeasureTheSliderByThem) {
  WM_TEST_SCREEN screen(640, 480, 0);
  WM_TEXT_WIN* window = make_window(40, 52, TEXT_WIN_MOST_LINES);  // a page of 5 lines
  window->show_from_start = 1;
  window->add_text(numbered(12).c_str(), nullptr, nullptr, false, true);
  ASSERT_NE(window->scrollbar, nullptr);
  EXPECT_GT(window->scrollbar->slider_length, 40);  // 12 lines of 32767 barely move it
  window->set_capacity(window->screen_count);
  ASSERT_NE(window->scrollbar, nullptr);
  EXPECT_EQ(window->capacity, 12);
  EXPECT_EQ(window->scrollbar->slider_length, 15);
  EXPECT_EQ(window->scroll_value.get_int(&window->scroll_value.maximum), 7);
  EXPECT_EQ(page_lines(window), (LINES{"0", "1", "2", "3", "4"}));
  delete window;
}

TEST(TextWinScrollBar, TheFirstLineStaysInViewWithShowFromStart) {
  WM_TEST_SCREEN screen(640, 480, 0);
  for (int from_start = 0; from_start < 2; from_start++) {
    WM_TEXT_WIN* window = make_window(200, 52, 12);
    window->show_from_start = (INT_U8)from_start;
    for (int i = 0; i < 20; i++) window->add_text(std::to_string(i).c_str(), nullptr, nullptr, false, true);
    if (from_start)
      EXPECT_EQ(page_lines(window), (LINES{"8", "9", "10", "11", "12"}));  // the oldest kept line first
    else
      EXPECT_EQ(page_lines(window), (LINES{"15", "16", "17", "18", "19"}));
    window->scroll_value.set_int(&window->scroll_value.value, 2);
    EXPECT_EQ(page_lines(window), (LINES{"13", "14", "15", "16", "17"}));
    delete window;
  }
}

TEST(TextWinFiles, LinesOfATextFile) {
  WM_TEST_SCREEN screen(640, 480, 0);
  std::string path;
  FOLDER folder = scratch_folder("text_win_file", &path);
  ASSERT_TRUE(write_whole_file(path + "licence.txt", {'o', 'n', 'e', '\n', 't', 'w', 'o', '\r', '\n', 'x'}));
  WM_TEXT_WIN* window = make_window(200, 502, 20);
  COLOUR blue = 0xFF0000FF;
  EXPECT_TRUE(window->load_text_file(&folder, "licence.txt", &blue));
  EXPECT_EQ(data_lines(window), (LINES{"one", "two", "x"}));
  EXPECT_EQ(window->data_buffer[2].colour, blue);
  EXPECT_FALSE(window->load_text_file(&folder, "missing.txt", &blue));
  EXPECT_EQ(window->data_count, 3);
  delete window;
}

// ---------------------------------------------------------------------------------------------------
// Input through the page manager's passes

struct WINDOW_PAGE {
  WM_TEST_SCREEN screen;
  WINDOW_PAGE() : screen(640, 480, 1) { start_empty_page(); }
};

TEST(TextWinInput, DragSelectionAndTheSelectedText) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 102, 20, true);
  window->add_text("hello world\nsecond line\nthird", nullptr, nullptr, false, true);
  add_to_page(window);
  // Rows 50, 60, 70; character i of a row spans column 100 + i.
  press(102, 55);
  move_pointer(105, 65);
  release(105, 65);
  EXPECT_EQ(window->selection_start_line, 0);
  EXPECT_EQ(window->selection_start_char, 2);
  EXPECT_EQ(window->selection_end_line, 1);
  EXPECT_EQ(window->selection_end_char, 5);
  char text[64] = "unchanged";
  window->get_selected_text(text, 0);
  EXPECT_STREQ(text, "unchanged");  // a size below 1 writes nothing
  window->get_selected_text(text, sizeof text);
  EXPECT_STREQ(text, "llo world second ");
  window->get_selected_text(text, 5);
  EXPECT_STREQ(text, "llo ");
  window->get_selected_text(text, 1);
  EXPECT_STREQ(text, "");

  // Dragging backwards selects the same range from the other end.
  press(105, 65);
  move_pointer(102, 55);
  release(102, 55);
  EXPECT_EQ(window->selection_start_line, 0);
  EXPECT_EQ(window->selection_start_char, 2);
  EXPECT_EQ(window->selection_end_line, 1);
  EXPECT_EQ(window->selection_end_char, 5);
  // Press and release at one point is a click: the selection goes.
  click(110, 75);
  EXPECT_EQ(window->selection_start_line, -1);
  window->get_selected_text(text, sizeof text);
  EXPECT_STREQ(text, "");

  // A window that is not selectable never selects.
  window->selectable = 0;
  press(102, 55);
  move_pointer(105, 65);
  release(105, 65);
  EXPECT_EQ(window->selection_start_line, -1);
}

// Wide characters are selected as the characters they are, and the selected text holds them as text
// again, whole characters only where it is cut short.
TEST(TextWinInput, WideCharactersAreSelectedWhole) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 102, 20, true);
  window->add_text("ab\x01,03A9,03A8\x01" "cd", nullptr, nullptr, false, true);
  add_to_page(window);
  EXPECT_EQ(window->char_index_at(0, 103), 3);  // Ψ, one pixel as every character without a font
  press(101, 55);
  move_pointer(104, 55);
  release(104, 55);
  EXPECT_EQ(window->selection_start_char, 1);
  EXPECT_EQ(window->selection_end_char, 4);
  char text[64];
  window->get_selected_text(text, sizeof text);
  EXPECT_STREQ(text, "b\x01,03A9,03A8\x01" "c ");
  window->get_selected_text(text, 13);
  EXPECT_STREQ(text, "b\x01,03A9\x01");  // Ψ and its run's end have no room left
}

TEST(TextWinInput, LinkClicksCallTheCallbackOnlyOnALineWithALink) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 102, 40);
  window->add_text("first", "site", nullptr, false, true);
  window->add_text("plain", nullptr, nullptr, false, true);
  add_to_page(window);
  click(110, 55);
  EXPECT_EQ(link_clicks, 1);
  EXPECT_EQ(last_link, "site");
  EXPECT_EQ(last_left, 1);
  EXPECT_EQ(last_right, 0);
  EXPECT_EQ(window->clicked_link, nullptr);  // only while the callback runs
  click(110, 55, 2);
  EXPECT_EQ(link_clicks, 2);
  EXPECT_EQ(last_right, 1);
  click(110, 65);  // no link
  click(110, 95);  // below the last line
  click(99, 55);   // outside the text area
  EXPECT_EQ(link_clicks, 2);
  // With the lines overflowing, the scroll bar's strip is no text area.
  window->add_text(numbered(20).c_str(), "site", nullptr, false, true);
  ASSERT_NE(window->scrollbar, nullptr);
  click(290, 75);
  EXPECT_EQ(link_clicks, 2);
}

TEST(TextWinInput, CentredLinesAreHitWhereTheyAreDrawn) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 102, 40, false, 0);
  window->add_text("first\nsecond", "site", nullptr, false, true);
  add_to_page(window);
  // Two rows centred in 102: they start 41 pixels down, at 91 and 101.
  EXPECT_EQ(window->vertical_offset(), 41);
  EXPECT_EQ(window->line_at(95, false), 0);
  EXPECT_EQ(window->line_at(105, false), 1);
  EXPECT_EQ(window->line_at(60, false), -1);
  click(110, 60);
  EXPECT_EQ(link_clicks, 0);
  click(110, 95);
  EXPECT_EQ(link_clicks, 1);
  // Bottom alignment: the last row ends at the bottom.
  window->drawing_flags = (INT_U16)(window->drawing_flags | TWF_BOTTOM_ALIGN);
  EXPECT_EQ(window->vertical_offset(), 82);
}

TEST(TextWinInput, TheWheelScrollsAndOnlyTheWindowIsRedrawn) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 52, 40);
  window->show_from_start = 1;
  window->add_text(numbered(12).c_str(), nullptr, nullptr, false, true);
  add_to_page(window);
  run_pass();
  EXPECT_EQ(page_lines(window), (LINES{"0", "1", "2", "3", "4"}));
  screen_image.clear_dirty_area();
  test_seam_wheel(-2);  // towards the user: on towards the newest lines
  run_pass();
  EXPECT_EQ(page_lines(window), (LINES{"2", "3", "4", "5", "6"}));
  EXPECT_EQ(screen_image.dirty.x1, 100);
  EXPECT_EQ(screen_image.dirty.y1, 50);
  EXPECT_EQ(screen_image.dirty.x2, 299);
  EXPECT_EQ(screen_image.dirty.y2, 101);
}

// Page Up and Down, Home, End and the arrows scroll the window while its scroll bar takes the wheel.
TEST(TextWinInput, KeysScrollWhileItsScrollBarTakesTheWheel) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 52, 40);  // a page of 5 lines
  window->show_from_start = 1;
  window->add_text(numbered(20).c_str(), nullptr, nullptr, false, true);
  add_to_page(window);
  run_pass();
  const struct {
    INT_S32 key;
    const char* first;  // the page's first line afterwards
  } steps[] = {{VKEY_END, "15"}, {VKEY_UP, "14"}, {VKEY_PRIOR, "10"}, {VKEY_HOME, "0"},
               {VKEY_DOWN, "1"}, {VKEY_NEXT, "5"}, {VKEY_PRIOR, "1"}, {VKEY_PRIOR, "0"}};
  for (const auto& step : steps) {
    key(step.key);
    EXPECT_EQ(page_lines(window).front(), step.first) << step.key;
    EXPECT_EQ(KEYBOARD_HANDLER::last_key, -1);
  }
  // Another scroll bar takes the wheel: the keys are not the window's.
  WM_TEXT_WIN* other = make_window(200, 52, 40);
  other->add_text(numbered(20).c_str(), nullptr, nullptr, false, true);
  ASSERT_EQ(scroll_wheel_target, other->scrollbar);
  key(VKEY_END);
  EXPECT_EQ(page_lines(window).front(), "0");
  delete other;
}

TEST(TextWinScrollBar, AWindowShownLaterShowsItsScrollBar) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 52, 40);
  window->hide(false, false);
  window->add_text(numbered(12).c_str(), nullptr, nullptr, false, true);
  ASSERT_NE(window->scrollbar, nullptr);
  EXPECT_EQ(window->scrollbar->visible, 0);  // made hidden, like the window
  add_to_page(window);
  window->show();  // the window alone: its children stay as they were
  run_pass();
  EXPECT_EQ(window->scrollbar->visible, 1);  // drawing the window shows its bar on top of the rows
  EXPECT_EQ(window->scrollbar->drawn, 1);
}

// ---------------------------------------------------------------------------------------------------
// Drawing with a real font

class TextWinDrawing : public ::testing::Test {
protected:
  FOLDER fonts;
  void SetUp() override {
    REQUIRE_SYSTEM_FONTS();
    ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
    disable_font_preload();
    start_font_system();
    ASSERT_EQ(load_font("DejaVuSans.ttf", nullptr, SANS, &fonts), SANS);
  }
  void TearDown() override { stop_font_system(); }
};

// Count of pixels of colour (or, with other, of any other colour) inside the inclusive box of the screen.
int count_colour(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, COLOUR colour, bool other = false) {
  int count = 0;
  for (INT_S16 y = y1; y <= y2; y++)
    for (INT_S16 x = x1; x <= x2; x++)
      if ((screen_pixel(x, y) == colour) != other) count++;
  return count;
}

// A display line's length is 16 bits: a line of characters that take no width (a font so small that
// its letters round to nothing) is broken at 32,767 bytes, however wide the window; a line of wide
// characters before the character that would pass them.
TEST_F(TextWinDrawing, ADisplayLineHoldsAtMost32767Bytes) {
  WM_TEXT_WIN* window = make_window(200, 102, 20, false, ssf_top_align_text, SANS, 1);
  ASSERT_EQ(window->measure("l", 1), 0);
  std::string line(40000, 'l');
  window->add_text(line.c_str(), nullptr, nullptr, false, true);
  ASSERT_EQ(window->screen_count, 2);
  EXPECT_EQ(window->screen_buffer[0].length, 0x7FFF);
  EXPECT_EQ(window->screen_buffer[1].length, 40000 - 0x7FFF);
  delete window;
  // So is a line of wide characters, between two of them: 7,000 in one run, a mark and 5 bytes each.
  window = make_window(200, 102, 20, false, ssf_top_align_text, SANS, 1);
  std::string letters;
  for (int i = 0; i < 7000; i++) letters += "л";
  std::vector<char> text(letters.size() * 3 + 8);
  ASSERT_TRUE(utf8_to_text(letters.c_str(), text.data(), text.size()));
  window->add_text(text.data(), nullptr, nullptr, false, true);
  ASSERT_EQ(window->screen_count, 2);
  EXPECT_LE(window->screen_buffer[0].length, 0x7FFF);
  size_t read = 0;
  for (int k = 0; k < 2; k++)
    for (const TEXT_WIN_CHARACTER& character : window->characters_of(window->screen_buffer[k])) {
      EXPECT_EQ(character.code, 0x043Bu);
      read++;
    }
  EXPECT_EQ(read, 7000u);
  EXPECT_EQ(window->screen_buffer[1].in_run, 1);
  delete window;
}

TEST_F(TextWinDrawing, LinesInTheirRowsAndSelectedLinesAsBlocks) {
  WINDOW_PAGE page;
  WM_TEXT_WIN* window = make_window(200, 102, 20, true, ssf_top_align_text, SANS);
  COLOUR white = 0xFFFFFFFF;
  window->add_text("Wide text\nWide text\nWide text", nullptr, &white, false, true);
  EXPECT_GT(window->measure("W", 1), 5);
  add_to_page(window);
  run_pass();
  const COLOUR background = 0xFF202020;
  EXPECT_GT(count_colour(102, 50, 297, 59, background, true), 20);  // glyphs in row 0
  EXPECT_EQ(count_colour(102, 81, 297, 149, background, true), 0);  // nothing below row 2
  int glyph_pixels = count_colour(100, 60, 299, 69, white);
  // The middle line of a three-line selection is drawn as a solid block of its colour.
  press(101, 55);
  move_pointer(110, 75);
  release(110, 75);
  run_pass();
  EXPECT_EQ(window->selection_start_line, 0);
  EXPECT_EQ(window->selection_end_line, 2);
  EXPECT_GT(count_colour(100, 60, 299, 69, white), glyph_pixels * 2);
}

// The characters of each display line from the oldest, as the window reads them to measure and draw.
std::vector<std::u32string> display_characters(WM_TEXT_WIN* window) {
  std::vector<std::u32string> lines;
  INT_S32 start = window->screen_count < window->capacity ? 0 : window->screen_next;
  for (INT_S32 k = 0; k < window->screen_count; k++) {
    std::u32string characters;
    for (const TEXT_WIN_CHARACTER& c : WM_TEXT_WIN::characters_of(window->screen_buffer[(start + k) % window->capacity]))
      characters += (char32_t)c.code;
    lines.push_back(characters);
  }
  return lines;
}

std::vector<std::string> utf8_lines(const std::vector<std::u32string>& lines) {
  std::vector<std::string> texts;
  for (const std::u32string& line : lines) texts.push_back(utf8_of(line));
  return texts;
}

// The pixels of the window's rectangle as it draws itself on a black screen.
std::vector<INT_U32> drawn_pixels(WM_TEXT_WIN* window) {
  COLOUR black = 0xFF000000;
  draw_target->clear(&black, 1);
  window->draw();
  std::vector<INT_U32> pixels;
  for (INT_S16 y = window->y; y < window->y + window->height; y++)
    for (INT_S16 x = window->x; x < window->x + window->width; x++) pixels.push_back(screen_pixel(x, y));
  return pixels;
}

// A window of the entry's box (the width it wraps in) holding the lines, each added on its own.
WM_TEXT_WIN* window_of_lines(const SCRIPT_TEXT& entry, const std::vector<std::u32string>& lines) {
  WM_TEXT_WIN* window = make_window((INT_S16)(entry.box + 2), 602, 40, false, ssf_top_align_text, SANS, SCRIPT_TEXT_SIZE);
  COLOUR white = 0xFFFFFFFF;
  for (const std::u32string& line : lines) window->add_text(stored_text(line).c_str(), nullptr, &white, false, true);
  return window;
}

// Every script the fonts hold wraps as the letters it is: each display line measured by the glyphs it
// shows and broken at a space, never inside a run's stored form, so that it reads, and is drawn, as the
// characters a reader expects on it; a word longer than the window is cut between characters.
TEST_F(TextWinDrawing, EveryScriptWrapsIntoLinesOfWholeCharacters) {
  WM_TEST_SCREEN screen(640, 700, 0);
  for (const SCRIPT_TEXT& entry : script_texts()) {
    check_script_table(SANS, entry);
    WM_TEXT_WIN* window = window_of_lines(entry, {entry.text});
    EXPECT_EQ(utf8_lines(display_characters(window)), utf8_lines(entry.lines)) << entry.script;
    WM_TEXT_WIN* apart = window_of_lines(entry, entry.lines);
    EXPECT_TRUE(drawn_pixels(window) == drawn_pixels(apart)) << entry.script;
    delete window;
    delete apart;
  }
  for (const SCRIPT_TEXT& entry : long_words()) {
    WM_TEXT_WIN* window = window_of_lines(entry, {entry.text});
    std::vector<std::u32string> pieces = display_characters(window);
    ASSERT_GT(pieces.size(), 2u) << entry.script;
    std::u32string joined;
    for (size_t k = 0; k < pieces.size(); k++) {
      joined += pieces[k];
      ASSERT_FALSE(pieces[k].empty()) << entry.script << " line " << k;
      EXPECT_LT(script_width(SANS, pieces[k]), entry.box) << entry.script << " line " << k;
      if (k + 1 == pieces.size()) break;
      EXPECT_GE(script_width(SANS, pieces[k] + pieces[k + 1].substr(0, 1)), entry.box) << entry.script << " line " << k;
    }
    EXPECT_EQ(utf8_of(joined), utf8_of(entry.text)) << entry.script;
    WM_TEXT_WIN* apart = window_of_lines(entry, pieces);
    EXPECT_TRUE(drawn_pixels(window) == drawn_pixels(apart)) << entry.script;
    delete window;
    delete apart;
  }
}

}  // namespace

namespace {

// A window that draws a rounded box keeps its corners no rounder than leaves the rows inside the arcs
// (a third of the smaller side while the lines stand clear of them), the scroll bar's ends likewise
// inside, and centred rows left of the scroll bar.
TEST_F(TextWinDrawing, RowsKeepClearOfRoundedCornersAndTheScrollBar) {
  WINDOW_PAGE page;
  WM_STYLE_SET style, bar_style;
  style.border_left_gap = style.border_right_gap = style.border_top_gap = style.border_bottom_gap = 6;
  style.font_id = SANS;
  style.font_x_sz = style.font_y_sz = 10;
  style.flags = 0;  // centred, no border
  style.bg_colour = 0xFF202020;
  style.shading_flags = 0x00FF;
  bar_style.fg_colour = bar_style.bg_colour = bar_style.active_colour = 0xFF000080;
  WM_TEXT_WIN* window = new WM_TEXT_WIN(100, 50, 299, 151, &style, &bar_style, 40, false, nullptr, 0, 0);
  window->show_from_start = 1;
  COLOUR white = 0xFFFFFFFF;
  window->add_text("one\ntwo", nullptr, &white, false, true);
  EXPECT_EQ(window->corner_radius_for(2, false), 34);  // two rows in the middle: as boxes are drawn
  std::string words;
  for (int i = 0; i < 200; i++) words += "WW ";
  window->add_text(words.c_str(), nullptr, &white, false, true);
  add_to_page(window);
  run_pass();
  WM_SCROLLBAR* bar = window->scrollbar;
  ASSERT_NE(bar, nullptr);
  INT_S32 radius = window->corner_radius_for(window->page_last_row + 1, true);
  EXPECT_LT(radius, 34);
  INT_S32 top = 50 + 6 + window->vertical_offset(), bottom = top + (window->page_last_row + 1) * 10;
  INT_S32 left = 106, right = 299 - 6 - 15;
  // The corners of the rows' box and of the scroll bar lie within the arcs.
  const INT_S32 points[6][2] = {{left, top},          {right, top},         {left, bottom},
                                {right, bottom},      {bar->x + bar->width - 1, bar->y},
                                {bar->x + bar->width - 1, bar->y + bar->height - 1}};
  for (const auto& p : points) {
    double cx = p[0] < 200 ? 100 + radius : 299 - radius, cy = p[1] < 100 ? 50 + radius : 151 - radius;
    bool in_corner = (p[0] < 200 ? p[0] < cx : p[0] > cx) && (p[1] < 100 ? p[1] < cy : p[1] > cy);
    EXPECT_LE(in_corner ? std::hypot(p[0] - cx, p[1] - cy) : 0, radius) << p[0] << ", " << p[1];
  }
  EXPECT_GT(bar->y, 53);
  EXPECT_EQ(screen_pixel(100, 50), 0xFF000000u);  // outside the arc: the page behind
  EXPECT_EQ(screen_pixel((INT_S16)left, (INT_S16)top) & 0xFFFFFF, 0x202020u);
  // No glyph between the rows' box and the scroll bar.
  EXPECT_EQ(count_colour((INT_S16)(right + 1), 50, (INT_S16)(bar->x - 1), 151, white), 0);
  EXPECT_GT(count_colour(106, 50, (INT_S16)right, 151, white), 100);
}

// Lines are drawn as draw_text_in_box draws them in their row box, pixel for pixel, however aligned.
TEST_F(TextWinDrawing, RowsMatchDrawTextInBoxForEveryAlignment) {
  const INT_U16 alignments[] = {TWF_LEFT_JUSTIFY, TWF_RIGHT_JUSTIFY, 0, TWF_LEFT_JUSTIFY | TWF_SHADOW_TEXT};
  for (INT_U16 alignment : alignments) {
    WINDOW_PAGE page;
    WM_TEXT_WIN* window = make_window(200, 102, 20, false, ssf_top_align_text, SANS);
    window->drawing_flags = (INT_U16)(alignment | TWF_TOP_ALIGN);
    COLOUR white = 0xFFFFFFFF, none = COLOUR_INVISIBLE;
    window->add_text("Wide text", nullptr, &white, false, true);
    add_to_page(window);
    run_pass();
    IMAGE expected(640, 480);
    COLOUR black = 0xFF000000;
    expected.clear(&black, 1);
    expected.set_clip(0, 0, 639, 479);
    expected.fill_rectangle(100, 50, 299, 151, &window->background_colour, 1);
    TEXT_FLAGS flags = TEXT_TOP_ALIGN;
    if (alignment & TWF_LEFT_JUSTIFY) flags |= TEXT_LEFT_JUSTIFY;
    if (alignment & TWF_RIGHT_JUSTIFY) flags |= TEXT_RIGHT_JUSTIFY;
    if (alignment & TWF_SHADOW_TEXT) flags |= TEXT_SHADOW;
    draw_text_in_box(&expected, 100, 50, 299, 60, &white, &none, &none, SANS, 10, 10, "Wide text", flags);
    int different = 0;
    for (INT_S16 y = 50; y <= 151; y++)
      for (INT_S16 x = 100; x <= 299; x++)
        if (screen_pixel(x, y) != *expected.pixel_at(x, y)) different++;
    EXPECT_EQ(different, 0) << "alignment " << alignment;
  }
}

}  // namespace
