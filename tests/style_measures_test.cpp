// Tests of the style measures: border and cell gaps with their defaults, the row height from the font
// and a separate border style, and parse_short_list with its refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image.h"
#include "style_measures.h"
#include "style_set.h"

namespace {

TEST(StyleMeasures, GapsAndRowHeight) {
  IMAGE* old_target = draw_target;
  draw_target = nullptr;  // no target: the default font height 22
  WM_STYLE_SET plain;     // shading type 1 (2 pixels), border drawn, every gap and the font 65535
  EXPECT_EQ(style_horizontal_gaps(&plain), 6);
  EXPECT_EQ(style_vertical_gaps(&plain), 6);
  EXPECT_EQ(style_horizontal_cell_gaps(&plain), 0);
  EXPECT_EQ(style_vertical_cell_gaps(&plain), 0);
  EXPECT_EQ(style_row_height(&plain, nullptr), 2 + 2 + 22 + 0 + 1);

  // Without a drawn border the gap measures count 1 each, the row height still counts the border.
  WM_STYLE_SET bare;
  bare.flags &= ~ssf_draw_border;
  EXPECT_EQ(style_horizontal_gaps(&bare), 2);
  EXPECT_EQ(style_vertical_gaps(&bare), 2);
  EXPECT_EQ(style_row_height(&bare, nullptr), 27);

  // One gap given, the other defaulted by the border type (type 2 is 3 pixels); unknown types are 0.
  WM_STYLE_SET mixed;
  mixed.shading_type = 2;
  mixed.border_left_gap = 5;
  mixed.border_bottom_gap = 0;
  mixed.cell_left_gap = 3;
  mixed.cell_top_gap = 4;
  mixed.cell_bottom_gap = 2;
  mixed.y_spacing = -1;  // no spacing
  EXPECT_EQ(style_horizontal_gaps(&mixed), 5 + 1 + 3);
  EXPECT_EQ(style_vertical_gaps(&mixed), 1 + 3 + 0);
  EXPECT_EQ(style_horizontal_cell_gaps(&mixed), 3);
  EXPECT_EQ(style_vertical_cell_gaps(&mixed), 6);
  EXPECT_EQ(style_row_height(&mixed, nullptr), 3 + 0 + 22 + 6);
  mixed.shading_type = 42;
  EXPECT_EQ(style_horizontal_gaps(&mixed), 5 + 1);

  // A border style lends its border gaps, border type and font; cells and spacing stay the style's.
  WM_STYLE_SET border;
  border.shading_type = 9;  // 4 pixels
  border.border_top_gap = 7;
  border.font_y_sz = 30;
  border.cell_top_gap = 100;
  border.y_spacing = 100;
  EXPECT_EQ(style_row_height(&mixed, &border), 7 + 4 + 30 + 6);
  mixed.y_spacing = 2;
  EXPECT_EQ(style_row_height(&mixed, &border), 7 + 4 + 30 + 6 + 2);

  // The draw target's default font height stands in for a font height of 65535.
  IMAGE target(4, 4);
  target.default_font_y_size = 16;
  draw_target = &target;
  EXPECT_EQ(style_row_height(&plain, nullptr), 2 + 2 + 16 + 1);
  draw_target = old_target;
}

TEST(StyleMeasures, ParseShortList) {
  struct CASE {
    const char* text;
    std::vector<INT_S16> values;  // empty: the empty result
  } cases[] = {
      {"3,1,2", {3, 1, 2}},
      {"5", {5}},
      {" 4, -2 ,7x", {4, -2, 7}},  // read as "%hd" reads: leading blanks, trailing text ignored
      {"65535", {-1}},              // kept to 16 bits
      {"0,1,2", {}},
      {"1,0,2", {}},
      {"1,2,0", {}},
      {"1,,2", {}},  // an empty piece is no number
      {"1,x", {}},
      {"", {}},
      {nullptr, {}},
  };
  for (const CASE& c : cases) {
    INT_S16* table = reinterpret_cast<INT_S16*>(1);
    INT_S16 count = -1;
    parse_short_list(c.text, &table, &count);
    std::string label = c.text ? c.text : "(null)";
    ASSERT_EQ(count, (INT_S16)c.values.size()) << label;
    if (c.values.empty()) {
      EXPECT_EQ(table, nullptr) << label;
      continue;
    }
    ASSERT_NE(table, nullptr) << label;
    for (size_t i = 0; i < c.values.size(); i++) EXPECT_EQ(table[i], c.values[i]) << label;
  }

  // Every call shares one table.
  INT_S16 *first = nullptr, *second = nullptr, count = 0;
  parse_short_list("9,8", &first, &count);
  parse_short_list("7", &second, &count);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first[0], 7);

  // Bounds: a piece of 123 characters reads, one of 124 is refused (first, middle or last piece);
  // a list of SHORT_LIST_CAPACITY values reads, one more is refused.
  std::string piece(SHORT_LIST_PIECE_LIMIT - 1, ' ');
  piece += "6";
  std::string longer = " " + piece;
  for (const std::string& text : {piece, "1," + piece + ",2", piece + "," + piece}) {
    parse_short_list(text.c_str(), &first, &count);
    EXPECT_NE(count, 0) << text.size();
  }
  for (const std::string& text : {longer, "1," + longer + ",2", "1," + longer}) {
    parse_short_list(text.c_str(), &first, &count);
    EXPECT_EQ(count, 0) << text.size();
    EXPECT_EQ(first, nullptr);
  }
  std::string many = "1";
  for (int i = 1; i < SHORT_LIST_CAPACITY; i++) many += "," + std::to_string(i + 1);
  parse_short_list(many.c_str(), &first, &count);
  ASSERT_EQ(count, SHORT_LIST_CAPACITY);
  EXPECT_EQ(first[SHORT_LIST_CAPACITY - 1], SHORT_LIST_CAPACITY);
  parse_short_list((many + ",3").c_str(), &first, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(first, nullptr);
}

}  // namespace
