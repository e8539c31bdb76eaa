// Tests of text measuring and drawing with DejaVu Sans: widths and hex runs, where ink lands (bounds,
// clip, the last column and row, the dirty rectangle), the effects, and the line breaking of text in
// boxes. Glyph pixels themselves change with the FreeType version, so only their extent is checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <string>
#include <vector>

#include "folder.h"
#include "font.h"
#include "data_file.h"
#include "image.h"
#include "image_file.h"
#include "script_texts.h"
#include "text_draw.h"
#include "test_support.h"

namespace {

const COLOUR WHITE = 0xFFFFFFFF;
const COLOUR BLACK = 0xFF000000;
const COLOUR RED = 0xFFFF0000;
const INT_S8 SANS = 10;

struct BOUNDS {
  int x1 = 100000, y1 = 100000, x2 = -1, y2 = -1, count = 0;
};

// The extent of the pixels that differ from the background.
BOUNDS ink(const IMAGE& image, COLOUR background) {
  BOUNDS b;
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++)
      if (*image.pixel_at(x, y) != background) {
        b.count++;
        if (x < b.x1) b.x1 = x;
        if (y < b.y1) b.y1 = y;
        if (x > b.x2) b.x2 = x;
        if (y > b.y2) b.y2 = y;
      }
  return b;
}

void fill(IMAGE* image, COLOUR colour) {
  image->clear(&colour, 1);
  image->clear_dirty_area();
}

class TextTest : public ::testing::Test {
protected:
  FOLDER fonts;
  void SetUp() override {
    REQUIRE_SYSTEM_FONTS();
    ASSERT_TRUE(fonts.set_if_folder(system_font_folder().c_str()));
    set_named_path("$FONTDATA", &fonts);
    disable_font_preload();
    start_font_system();
    ASSERT_EQ(load_font("DejaVuSans.ttf", nullptr, SANS, &fonts), SANS);
  }
  void TearDown() override {
    stop_font_system();
    remove_named_path("$FONTDATA");
  }
  INT_S32 width(const char* text, INT_S16 size = 30) { return text_width(nullptr, SANS, size, size, text, -1, false); }
};

}  // namespace

TEST_F(TextTest, WidthsAddTheAdvances) {
  EXPECT_EQ(width(""), 0);
  EXPECT_GT(width("A"), 10);
  EXPECT_EQ(width("AB"), width("A") + width("B"));
  EXPECT_EQ(text_width(nullptr, SANS, 30, 30, "AB", 1, false), width("A"));
  EXPECT_GT(width("Hello", 60), width("Hello", 30));
  // Unloaded fonts and sizes below 1 give the byte length.
  EXPECT_EQ(text_width(nullptr, 50, 30, 30, "hello", -1, false), 5);
  EXPECT_EQ(text_width(nullptr, SANS, 0, 30, "hello", 2, false), 5);
  // -1 takes the image's default font and sizes.
  IMAGE image(10, 10);
  EXPECT_EQ(text_width(&image, -1, -1, -1, "Hello", -1, false), text_width(nullptr, SANS, 22, 22, "Hello", -1, false));
}

TEST_F(TextTest, HexRunsReadAsOneCharacterEach) {
  EXPECT_EQ(width("\x01,0041\x01"), width("A"));
  EXPECT_EQ(width("x\x01,0041,0042\x01y"), width("xABy"));
  EXPECT_EQ(width("\x01" "0041" "0042"), width("AB"));       // commas are optional, the run may stay open
  EXPECT_EQ(text_width(nullptr, SANS, 30, 30, "0041", -1, true), width("A"));  // starting in hex mode
  EXPECT_EQ(text_width(nullptr, SANS, 30, 30, "\x01,0041,0042\x01", 1, false), width("A"));
  // Characters above 0xFF are rendered on their own.
  EXPECT_GT(width("\x01,0416\x01"), 10);
  // Broken runs: stray bytes and short digit groups are no characters, and reading stops at the NUL.
  EXPECT_EQ(width("\x01,zz0041\x01"), width("A"));
  EXPECT_EQ(width("\x01,12"), 0);
  EXPECT_EQ(width("\x01,123"), 0);
}

// Damaged runs are read by the one rule of every reader of the text: a short group goes with the byte
// after it but never with a run mark, so what follows the mark is plain text again.
TEST_F(TextTest, DamagedRunsAreMeasuredByTheRulesOfEveryReader) {
  EXPECT_EQ(width("\x01,12\x01" "AB"), width("AB"));
  EXPECT_EQ(width("a\x01\x01" "b\x01,\x01"), width("ab"));
  EXPECT_EQ(width("\x01,z0041,\x01,"), width("A"));
  EXPECT_EQ(width("x\x01,"), width("x"));
}

TEST_F(TextTest, InkLiesInsideThePenBoxAndTheDirtyRectangle) {
  IMAGE image(300, 80);
  fill(&image, WHITE);
  draw_text(&image, 10, 10, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Hello", 0, -1, false);
  BOUNDS b = ink(image, WHITE);
  ASSERT_GT(b.count, 100);
  EXPECT_GE(b.x1, 10);
  EXPECT_LE(b.x1, 16);
  EXPECT_LT(b.x2, 10 + width("Hello"));
  EXPECT_GT(b.x2 - b.x1, width("Hello") * 8 / 10);
  EXPECT_GE(b.y1, 10);
  EXPECT_LE(b.y2, 10 + 30);
  EXPECT_GT(b.y2 - b.y1, 15);  // cap height of a 29-pixel face
  EXPECT_LE(image.dirty.x1, b.x1);
  EXPECT_LE(image.dirty.y1, b.y1);
  EXPECT_GE(image.dirty.x2, b.x2);
  EXPECT_GE(image.dirty.y2, b.y2);

  // A hex-run letter draws exactly like the plain letter.
  IMAGE plain(60, 50), hex(60, 50);
  fill(&plain, WHITE);
  fill(&hex, WHITE);
  draw_text(&plain, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "A", 0, -1, false);
  draw_text(&hex, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "\x01,0041\x01", 0, -1, false);
  EXPECT_EQ(0, std::memcmp(plain.pixels, hex.pixels, sizeof(INT_U32) * 60 * 50));
}

TEST_F(TextTest, TheDirtyRectangleTakesInGlyphOverhang) {
  // At this size the hook of "j" reaches left of the pen position.
  GLYPH* glyph = nullptr;
  IMAGE image(200, 200);
  fill(&image, WHITE);
  draw_text(&image, 60, 20, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 120, 120, "j", 0, -1, false);
  glyph = get_font(SANS)->glyphs['j'];
  ASSERT_NE(glyph, nullptr);
  BOUNDS b = ink(image, WHITE);
  ASSERT_GT(b.count, 0);
  if (glyph->bitmap_left < 0) {
    EXPECT_LT(b.x1, 60);
  }
  EXPECT_LE(image.dirty.x1, b.x1);
  EXPECT_LE(image.dirty.y1, b.y1);
  EXPECT_GE(image.dirty.x2, b.x2);
  EXPECT_GE(image.dirty.y2, b.y2);
}

TEST_F(TextTest, ClipAndImageEdgesBoundTheInk) {
  IMAGE image(40, 40);
  fill(&image, WHITE);
  // Text running off the right and bottom never touches the last column or row.
  draw_text(&image, 20, 15, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 40, 40, "WWW", 0, -1, false);
  BOUNDS b = ink(image, WHITE);
  ASSERT_GT(b.count, 0);
  EXPECT_LT(b.x2, 39);
  EXPECT_LT(b.y2, 39);

  fill(&image, WHITE);
  image.set_clip(0, 0, 19, 39);
  draw_text(&image, 5, 0, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "WW", 0, -1, false);
  b = ink(image, WHITE);
  ASSERT_GT(b.count, 0);
  EXPECT_LE(b.x2, 19);

  // An unset clip draws nothing.
  fill(&image, WHITE);
  image.clip.x1 = -1;
  draw_text(&image, 5, 0, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "WW", 0, -1, false);
  EXPECT_EQ(ink(image, WHITE).count, 0);
}

TEST_F(TextTest, CapitalsWithMarksAndDescendersStayInsideTheLine) {
  // The tallest and lowest characters of the 8-bit text, and the underline, at every size a control may use.
  for (INT_S16 size = 8; size <= 48; size++) {
    IMAGE image(400, 120);
    fill(&image, WHITE);
    draw_text(&image, 10, 40, &BLACK, &COLOUR_INVISIBLE, &BLACK, SANS, size, size, "\xC5\xC9\xDC\xC7gjpy|", 0, -1,
              false);
    BOUNDS b = ink(image, WHITE);
    EXPECT_TRUE(b.count > 0 && b.y1 >= 40 && b.y2 < 40 + size) << "size " << size << ": " << b.y1 << ".." << b.y2;
  }
  EXPECT_GE(width("A", 1), 0);  // the smallest size, with no pixel per em, is no error
}

TEST_F(TextTest, InvisibleTextStillDrawsItsBackground) {
  IMAGE image(200, 60);
  fill(&image, WHITE);
  COLOUR clear_text = 0x00000000;
  draw_text(&image, 10, 10, &clear_text, &RED, &COLOUR_INVISIBLE, SANS, 30, 30, "Hi", 0, -1, false);
  BOUNDS b = ink(image, WHITE);
  EXPECT_EQ(b.x1, 10);
  EXPECT_EQ(b.y1, 10);
  EXPECT_EQ(b.x2, 10 + width("Hi"));
  EXPECT_EQ(b.y2, 40);
  for (int y = b.y1; y <= b.y2; y++)
    for (int x = b.x1; x <= b.x2; x++) ASSERT_EQ(*image.pixel_at(x, y), RED);
}

// A tab is blank up to the next stop, every 8 widths of the space from the line's start, never the
// font's box for a missing glyph: measured, drawn and laid out alike.
TEST_F(TextTest, ATabIsBlankUpToItsStopAsMeasuredDrawnAndLaidOut) {
  const INT_S32 stop = 8 * width(" ");
  ASSERT_LT(width("X"), width("ab") - 1);
  EXPECT_EQ(width("ab\tX"), stop + width("X"));
  EXPECT_EQ(width("abcdefghijklm\t"), (width("abcdefghijklm") / stop + 1) * stop);
  IMAGE tabbed(400, 50), apart(400, 50);
  fill(&tabbed, WHITE);
  fill(&apart, WHITE);
  draw_text(&tabbed, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "ab\tX", 0, -1, false);
  draw_text(&apart, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "ab", 0, -1, false);
  draw_text(&apart, (INT_S16)(5 + stop), 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "X", 0, -1, false);
  EXPECT_EQ(0, std::memcmp(tabbed.pixels, apart.pixels, sizeof(INT_U32) * 400 * 50));
  // A line broken at a tab measures its own tab from its start.
  TEXT_LINE lines[TEXT_MAX_LINES];
  ASSERT_EQ(layout_text_in_box(nullptr, stop + width("ab") - 1, 5, SANS, 30, 30, "XX\tab\tX", lines), 2);
  EXPECT_EQ(lines[0].count, 2);
  EXPECT_EQ(lines[1].start, 3);
  EXPECT_EQ(lines[1].width, width("ab\tX"));
}

TEST_F(TextTest, TextPlacedNearTheCoordinateLimitsStaysOffTheImage) {
  // The background box and underline of a pen far right or far down end beyond 32767; they must not
  // wrap round to negative coordinates and cover the image.
  IMAGE image(200, 60);
  fill(&image, WHITE);
  const INT_S16 places[3][2] = {{32760, 10}, {10, 32760}, {32760, 32760}};
  for (const auto& place : places) {
    draw_text(&image, place[0], place[1], &BLACK, &RED, &BLACK, SANS, 30, 30, "W", TEXT_SHADOW, -1, false);
    draw_text(&image, place[0], place[1], &BLACK, &RED, &BLACK, SANS, 30, 30, "W", 0, -1, false);
  }
  EXPECT_EQ(ink(image, WHITE).count, 0);
}

TEST_F(TextTest, EffectsPlaceTheirPasses) {
  IMAGE image(200, 60);
  // Shadow: the background box comes with the shadow pass, two pixels down and right, once.
  fill(&image, WHITE);
  draw_text(&image, 10, 10, &BLACK, &RED, &COLOUR_INVISIBLE, SANS, 30, 30, ".", TEXT_SHADOW, -1, false);
  EXPECT_EQ(*image.pixel_at(10, 10), WHITE);
  EXPECT_EQ(*image.pixel_at(11, 11), WHITE);
  EXPECT_EQ(*image.pixel_at(12, 12), RED);
  EXPECT_EQ(*image.pixel_at(12 + width("."), 42), RED);
  EXPECT_EQ(*image.pixel_at(13 + width("."), 42), WHITE);

  // Inset: no background box at all.
  fill(&image, WHITE);
  draw_text(&image, 10, 10, &BLACK, &RED, &COLOUR_INVISIBLE, SANS, 30, 30, "H", TEXT_INSET, -1, false);
  int red = 0;
  for (int y = 0; y < 60; y++)
    for (int x = 0; x < 200; x++) red += *image.pixel_at(x, y) == RED;
  EXPECT_EQ(red, 0);
  EXPECT_GT(ink(image, WHITE).count, 50);
}

TEST_F(TextTest, ChiseledTextChangesOnlyCoveredPixels) {
  const COLOUR grey = 0xFF808080;
  IMAGE chiseled(120, 60), plain(120, 60);
  fill(&chiseled, grey);
  draw_text(&chiseled, 10, 10, &BLACK, &RED, &COLOUR_INVISIBLE, SANS, 30, 30, "Aw", TEXT_CHISELED, -1, false);
  // Where the two passes have coverage: plain text at the same two places.
  fill(&plain, WHITE);
  draw_text(&plain, 10, 10, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Aw", 0, -1, false);
  draw_text(&plain, 11, 11, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Aw", 0, -1, false);
  int changed = 0;
  for (int y = 0; y < 60; y++)
    for (int x = 0; x < 120; x++) {
      if (*chiseled.pixel_at(x, y) == grey) continue;
      changed++;
      EXPECT_NE(*plain.pixel_at(x, y), WHITE) << x << "," << y;
      EXPECT_EQ(*chiseled.pixel_at(x, y) >> 24, 0xFFu);
    }
  EXPECT_GT(changed, 50);
}

TEST_F(TextTest, PrintfFormatsWithinItsBuffer) {
  IMAGE image(300, 50);
  fill(&image, WHITE);
  std::string huge(20000, 'i');
  draw_text_printf(&image, 0, 5, &BLACK, &COLOUR_INVISIBLE, SANS, 20, 20, "%d:%s", 42, huge.c_str());
  BOUNDS b = ink(image, WHITE);
  EXPECT_GT(b.count, 20);
  EXPECT_LT(b.x1, 10);
  fill(&image, WHITE);
  draw_char(&image, 0, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 20, 20, 0x0141, 0);  // low byte 'A'
  EXPECT_GT(ink(image, WHITE).count, 20);
}

TEST_F(TextTest, LinesBreakAtBlanks) {
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 box = width("hello world ") + 2;
  INT_S32 n = layout_text_in_box(nullptr, box, 5, SANS, 30, 30, "hello world hello world", lines);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(lines[0].start, 0);
  EXPECT_EQ(lines[0].count, 11);
  EXPECT_EQ(lines[0].width, width("hello world"));
  EXPECT_EQ(lines[1].start, 12);
  EXPECT_EQ(lines[1].count, 11);
  EXPECT_EQ(lines[0].flags | lines[1].flags, 0);

  // Line feeds end lines; leading blanks are dropped.
  n = layout_text_in_box(nullptr, 1000, 5, SANS, 30, 30, "ab\n   cd", lines);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(lines[1].start, 6);
  EXPECT_EQ(lines[1].count, 2);
  EXPECT_EQ(lines[1].width, width("cd"));

  // A hyphen ends a line with it included.
  box = width("well-") + 2;
  n = layout_text_in_box(nullptr, box, 5, SANS, 30, 30, "well-known", lines);
  ASSERT_GE(n, 2);
  EXPECT_EQ(lines[0].count, 5);
  EXPECT_EQ(lines[1].start, 5);
}

TEST_F(TextTest, LongWordsAreCutWithHyphens) {
  TEXT_LINE lines[TEXT_MAX_LINES];
  const char* word = "abcdefghijklmnopqrstuvwxyz";
  INT_S32 box = 100;
  INT_S32 n = layout_text_in_box(nullptr, box, 20, SANS, 30, 30, word, lines);
  ASSERT_GT(n, 2);
  INT_S32 total = 0;
  for (INT_S32 k = 0; k < n; k++) {
    EXPECT_EQ(lines[k].start, total);
    total += lines[k].count;
    if (k < n - 1) {
      EXPECT_EQ(lines[k].flags, TEXT_LINE_DASH) << k;
      EXPECT_LT(lines[k].width + width("-"), box);
      EXPECT_GT(lines[k].count, 0);
    }
  }
  EXPECT_EQ(total, 26);
  // A box narrower than one character still moves on, one character per line.
  n = layout_text_in_box(nullptr, 3, 10, SANS, 30, 30, "WWW", lines);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(lines[2].start, 2);
}

TEST_F(TextTest, TheLastLineEndsWithAnEllipsisUnlessTheRestFits) {
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 box = width("one two") + 2;
  INT_S32 n = layout_text_in_box(nullptr, box, 1, SANS, 30, 30, "one two three four", lines);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(lines[0].flags, TEXT_LINE_ELLIPSIS);
  EXPECT_LE(lines[0].width + width("..."), box);
  EXPECT_GT(lines[0].count, 0);

  // The whole rest fits although a character plus "..." would not.
  box = width("abc");
  n = layout_text_in_box(nullptr, box, 1, SANS, 30, 30, "abc", lines);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(lines[0].count, -1);
  EXPECT_EQ(lines[0].width, width("abc"));
  EXPECT_EQ(lines[0].flags, 0);

  // At most 256 lines, and a trailing empty line is dropped.
  std::string many;
  for (int k = 0; k < 300; k++) many += "a\n";
  n = layout_text_in_box(nullptr, 100, 1000, SANS, 30, 30, many.c_str(), lines);
  EXPECT_EQ(n, TEXT_MAX_LINES);
  n = layout_text_in_box(nullptr, 100, 10, SANS, 30, 30, "a\nb\n", lines);
  EXPECT_EQ(n, 2);
}

// The lines of a text laid out in a box of its table's width: each line's characters as it reads them
// from where it starts (in or out of a run), and the pixels of the text drawn in the box, which must be
// those of each line drawn as a text of its own (and a "-" after a cut one) in its row.
struct LAID_OUT {
  std::vector<std::u32string> lines;
  std::vector<INT_U8> flags;
  bool drawn_as_lines = false;
};

LAID_OUT lay_out(const SCRIPT_TEXT& entry) {
  LAID_OUT result;
  const INT_S16 size = SCRIPT_TEXT_SIZE;
  std::string text = stored_text(entry.text);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(nullptr, entry.box, 30, SANS, size, size, text.c_str(), lines);
  for (INT_S32 k = 0; k < count; k++) {
    result.lines.push_back(characters_read(text.c_str() + lines[k].start, (lines[k].flags & TEXT_LINE_HEX) != 0,
                                           lines[k].count));
    result.flags.push_back(lines[k].flags);
  }
  const INT_S16 x1 = 10, y1 = 10, x2 = (INT_S16)(x1 + entry.box - 1), y2 = (INT_S16)(y1 + 30 * size - 1);
  IMAGE in_box(entry.box + 40, 30 * size + 20), by_lines(entry.box + 40, 30 * size + 20);
  fill(&in_box, WHITE);
  fill(&by_lines, WHITE);
  const TEXT_FLAGS flags = TEXT_LEFT_JUSTIFY | TEXT_TOP_ALIGN;
  draw_text_in_box(&in_box, x1, y1, x2, y2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, size, size,
                   text.c_str(), flags);
  for (size_t k = 0; k < result.lines.size(); k++) {
    std::string own = stored_text(result.lines[k]);
    INT_S16 y = (INT_S16)(y1 + k * size);
    draw_text(&by_lines, x1, y, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, size, size, own.c_str(), flags, -1,
              false);
    if (result.flags[k] & TEXT_LINE_DASH)
      draw_text(&by_lines, (INT_S16)(x1 + text_width(nullptr, SANS, size, size, own.c_str(), -1, false)), y, &BLACK,
                &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, size, size, "-", flags, -1, false);
  }
  result.drawn_as_lines = true;
  for (int y = 0; y < in_box.height && result.drawn_as_lines; y++)
    for (int x = 0; x < in_box.width; x++)
      if (*in_box.pixel_at(x, y) != *by_lines.pixel_at(x, y)) {
        result.drawn_as_lines = false;
        break;
      }
  return result;
}

// Every script the fonts hold is laid out as the letters it is: a line measured by the glyphs it shows,
// broken at spaces and never inside a run's stored form, so each line reads, and is drawn, as whole
// characters (a character beyond U+FFFF one glyph, its two groups never parted).
TEST_F(TextTest, EveryScriptBreaksAtItsSpacesIntoLinesOfWholeCharacters) {
  for (const SCRIPT_TEXT& entry : script_texts()) {
    check_script_table(SANS, entry);
    LAID_OUT laid_out = lay_out(entry);
    ASSERT_EQ(laid_out.lines.size(), entry.lines.size()) << entry.script;
    for (size_t k = 0; k < entry.lines.size(); k++) {
      EXPECT_EQ(utf8_of(laid_out.lines[k]), utf8_of(entry.lines[k])) << entry.script << " line " << k;
      EXPECT_EQ(laid_out.flags[k] & (TEXT_LINE_DASH | TEXT_LINE_ELLIPSIS), 0) << entry.script << " line " << k;
    }
    EXPECT_TRUE(laid_out.drawn_as_lines) << entry.script;
  }
  // A character beyond U+FFFF is its own glyph (not that of its low 16 bits), as wide as its text.
  EXPECT_EQ(char_width(nullptr, SANS, SCRIPT_TEXT_SIZE, SCRIPT_TEXT_SIZE, 0x1D538), script_width(SANS, U"𝔸"));
  IMAGE own(40, 30), cut(40, 30);
  fill(&own, WHITE);
  fill(&cut, WHITE);
  draw_text(&own, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 20, 20, stored_text(U"𝔸").c_str(), 0, -1,
            false);
  draw_text(&cut, 5, 5, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 20, 20, stored_text(U"\xD538").c_str(), 0,
            -1, false);
  EXPECT_GT(ink(own, WHITE).count, 0);
  EXPECT_NE(std::memcmp(own.pixel_at(0, 0), cut.pixel_at(0, 0), 40 * 30 * 4), 0);
}

// A word longer than its line is cut between characters, each piece as long as leaves room for its "-".
TEST_F(TextTest, AWordLongerThanItsLineIsCutBetweenCharacters) {
  INT_S32 dash = width("-", SCRIPT_TEXT_SIZE);
  for (const SCRIPT_TEXT& entry : long_words()) {
    LAID_OUT laid_out = lay_out(entry);
    ASSERT_GT(laid_out.lines.size(), 2u) << entry.script;
    std::u32string joined;
    for (size_t k = 0; k < laid_out.lines.size(); k++) {
      const std::u32string& piece = laid_out.lines[k];
      joined += piece;
      ASSERT_FALSE(piece.empty()) << entry.script << " line " << k;
      if (k + 1 == laid_out.lines.size()) break;
      EXPECT_EQ(laid_out.flags[k] & ~TEXT_LINE_HEX, TEXT_LINE_DASH) << entry.script << " line " << k;
      EXPECT_LT(script_width(SANS, piece) + dash, entry.box) << entry.script << " line " << k;
      EXPECT_GE(script_width(SANS, piece + laid_out.lines[k + 1].substr(0, 1)) + dash, entry.box)
          << entry.script << " line " << k;
    }
    EXPECT_EQ(utf8_of(joined), utf8_of(entry.text)) << entry.script;
    EXPECT_TRUE(laid_out.drawn_as_lines) << entry.script;
  }
}

TEST_F(TextTest, BoxesAlignTheirLines) {
  IMAGE image(300, 100);
  const INT_S16 x1 = 20, y1 = 10, x2 = 279, y2 = 89;
  fill(&image, WHITE);
  draw_text_in_box(&image, x1, y1, x2, y2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Centred", 0);
  BOUNDS b = ink(image, WHITE);
  ASSERT_GT(b.count, 0);
  int left_gap = b.x1 - x1, right_gap = x2 - b.x2;
  EXPECT_LE(std::abs(left_gap - right_gap), 6);
  EXPECT_EQ(image.dirty.x1, x1);  // the whole box is marked changed
  EXPECT_EQ(image.dirty.y2, y2);
  // Drawn into a clip that holds part of the box, only that part is.
  fill(&image, WHITE);
  image.set_clip(100, 30, 199, 59);
  draw_text_in_box(&image, x1, y1, x2, y2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Centred", 0);
  EXPECT_EQ(image.dirty.x1, 100);
  EXPECT_EQ(image.dirty.y1, 30);
  EXPECT_EQ(image.dirty.x2, 199);
  EXPECT_EQ(image.dirty.y2, 59);
  image.set_clip(0, 0, 299, 99);

  fill(&image, WHITE);
  draw_text_in_box(&image, x1, y1, x2, y2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Left",
                   TEXT_LEFT_JUSTIFY | TEXT_TOP_ALIGN);
  b = ink(image, WHITE);
  EXPECT_LE(b.x1 - x1, 4);
  EXPECT_LE(b.y1 - y1, 10);

  fill(&image, WHITE);
  draw_text_in_box(&image, x1, y1, x2, y2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Right",
                   TEXT_RIGHT_JUSTIFY | TEXT_BOTTOM_ALIGN);
  b = ink(image, WHITE);
  EXPECT_LE(x2 - b.x2, 4);
  EXPECT_GE(b.y2, y2 - 30);

  // A box lower than one line still shows that line.
  fill(&image, WHITE);
  draw_text_in_box(&image, x1, 40, x2, 45, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30, "Low", 0);
  EXPECT_GT(ink(image, WHITE).count, 0);
}


TEST_F(TextTest, ATextWiderThanItsRoomIsShortenedWithAnEllipsisInsideIt) {
  IMAGE image(400, 60);
  const char* text = "Pick the folder to install into.";
  const INT_S16 room_x1 = 100, room_x2 = 229;
  // Asked where a centred text of that width would start: far left of the room.
  INT_S16 centred = (INT_S16)(room_x1 + (room_x2 - room_x1 + 1 - width(text)) / 2);
  for (int flags : {0, (int)TEXT_LEFT_JUSTIFY, (int)TEXT_RIGHT_JUSTIFY}) {
    fill(&image, WHITE);
    draw_text_in_room(&image, centred, 10, room_x1, room_x2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30,
                      30, text, (TEXT_FLAGS)flags);
    BOUNDS b = ink(image, WHITE);
    // The first letters show and the room is filled, up to three dots: three runs of inked columns.
    EXPECT_GE(b.x1, room_x1);
    EXPECT_LE(b.x1, room_x1 + 12);
    EXPECT_LE(b.x2, room_x2);
    EXPECT_GE(b.x2, room_x2 - 12);
    int runs = 0;
    for (int x = b.x2 - width("...") + 3, inked_before = 0; x <= b.x2; x++) {
      int inked = 0;
      for (int y = 0; y < image.height; y++) inked |= *image.pixel_at(x, y) != WHITE;
      runs += inked && !inked_before;
      inked_before = inked;
    }
    EXPECT_EQ(runs, 3) << flags;
  }
  // A text that fits is drawn where it is asked to be.
  fill(&image, WHITE);
  draw_text_in_room(&image, 150, 10, room_x1, room_x2, &BLACK, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE, SANS, 30, 30,
                    "Pick", TEXT_RIGHT_JUSTIFY);
  BOUNDS b = ink(image, WHITE);
  EXPECT_GE(b.x1, 150);
  EXPECT_LE(b.x2, 150 + width("Pick"));
}

TEST_F(TextTest, APathTooLongForItsRoomLosesWholeFoldersOfItsMiddle) {
  auto shown = [&](const char* path, const char* room_text) {
    return path_in_room(nullptr, SANS, 30, 30, path, width(room_text));
  };
  // The font draws the ellipsis, a character above Latin-1, which stands for the folders left out.
  EXPECT_STREQ(path_shortening_mark(nullptr, SANS), PATH_ELLIPSIS);
#define E PATH_ELLIPSIS
  // Whole when it fits; the last folders first, then the first ones, the drive always.
  const char* windows = "C:\\Program Files (x86)\\Company\\Application";
  EXPECT_EQ(shown(windows, windows), windows);
  EXPECT_EQ(shown(windows, "C:\\" E "\\Company\\Application"), "C:\\" E "\\Company\\Application");
  EXPECT_EQ(shown(windows, "C:\\Program Files (x86)\\" E "\\Applicatio"), "C:\\" E "\\Company\\Application");
  const char* deep = "/tmp/scenario/case/start/chosen dest";
  EXPECT_EQ(shown(deep, "/tmp/" E "/start/chosen dest"), "/tmp/" E "/start/chosen dest");
  EXPECT_EQ(shown(deep, "/" E "/start/chosen dest"), "/" E "/start/chosen dest");
  EXPECT_EQ(shown(deep, "/" E "/chosen dest"), "/" E "/chosen dest");
  // A network share is a drive; a folder's path keeps its closing separator; a relative path has none.
  EXPECT_EQ(shown("\\\\server\\share\\tools\\long folder\\bin\\", "\\\\server\\share\\" E "\\bin\\"),
            "\\\\server\\share\\" E "\\bin\\");
  EXPECT_EQ(shown("\\bin\\long folder name\\data.bin", "\\" E "\\data.bin"), "\\" E "\\data.bin");
  EXPECT_EQ(shown("first/second/third", E "/third"), E "/third");
  // Without room for the drive: the ellipsis and the last folder, else the last folder alone, shortened
  // in its middle with the ellipsis.
  EXPECT_EQ(shown(deep, E "/chosen dest"), E "/chosen dest");
  EXPECT_EQ(shown(deep, "chosen dest"), "chosen dest");
  EXPECT_EQ(shown(deep, "chosen dest!"), "chosen dest");
  EXPECT_EQ(shown(deep, "chosen"), name_in_room(nullptr, SANS, 30, 30, "chosen dest", width("chosen"), E));
  EXPECT_EQ(shown("plain text without a folder", "plain text"),
            name_in_room(nullptr, SANS, 30, 30, "plain text without a folder", width("plain text"), E));
  EXPECT_EQ(shown(nullptr, ""), "");
  // Words before the path stay whole, the path shortened in the room they leave.
  EXPECT_EQ(path_in_room(nullptr, SANS, 30, 30, "Folders: /tmp/scenario/case/start/chosen dest",
                         width("Folders: /tmp/" E "/start/chosen dest"), 9),
            "Folders: /tmp/" E "/start/chosen dest");
#undef E
}

// A name too long for its room loses characters of its middle, its end keeping at least half the room:
// names that share a long beginning stay apart. A character above 0xFF goes or stays whole.
TEST_F(TextTest, ANameTooLongForItsRoomLosesCharactersOfItsMiddle) {
  auto shown = [&](const std::string& name, INT_S32 room) {
    return name_in_room(nullptr, SANS, 30, 30, name.c_str(), room);
  };
  EXPECT_EQ(shown("Programs", width("Programs")), "Programs");
  EXPECT_EQ(shown("Programs of a rather long shared beginning, version 1", width("Programs of a ... version 1")),
            "Programs of ...g, version 1");  // the end takes half the room
  // Characters above 0xFF: each of those shown, whole in a run of its own.
  INT_S32 wide = text_width(nullptr, SANS, 30, 30, "\x01,0416\x01", -1, false);
  EXPECT_EQ(shown("ab\x01,0416,0417,0418,0419,041A,041B,041C,041D\x01yz", width("a...z") + 2 * wide),
            "ab...\x01" "041D\x01yz");
  // A character beyond U+FFFF stays whole: both its groups or neither.
  std::string pairs = shown(stored_text(U"𝔸𝔹𝔸𝔹𝔸𝔹𝔸𝔹"), width("...") + 2 * script_width(SANS, U"𝔸") * 30 / SCRIPT_TEXT_SIZE);
  std::u32string read = characters_read(pairs.c_str(), false);
  EXPECT_EQ(std::count(read.begin(), read.end(), U'.'), 3) << pairs;
  EXPECT_GE(read.size(), 4u) << pairs;
  for (char32_t c : read) EXPECT_TRUE(c == U'.' || c == U'𝔸' || c == U'𝔹') << pairs;
  EXPECT_EQ(shown("long name", width("...")), "...");  // no room beside "...": "..." alone
  // At a small size the characters' rounded widths add up to less than their text's: still it fits.
  std::string small = name_in_room(nullptr, SANS, 5, 5, "\xFFwinfonts\xE2Inl", 2);
  EXPECT_TRUE(small == "..." || text_width(nullptr, SANS, 5, 5, small.c_str(), -1, false) <= 2) << small;
}
