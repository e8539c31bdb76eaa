// Tests of the font system: the built-in table, starting and stopping, loading into slots by id and by
// name, and the glyph cache (sizes, blanks, big glyphs). Faces are DejaVu from fonts-dejavu-core.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "folder.h"
#include "files.h"
#include "font.h"
#include "host.h"
#include "test_support.h"

namespace {

// A scratch folder holding copies of the core DejaVu faces (plus one under another name) and a file
// that is no font.
std::string make_font_folder(const std::string& name) {
  std::string folder = make_scratch_folder(name);
  for (const char* face : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf", "DejaVuSerif.ttf"}) {
    std::error_code error;
    std::filesystem::copy_file(system_font_folder() + "/" + face, folder + face, error);
  }
  std::error_code error;
  std::filesystem::copy_file(system_font_folder() + "/DejaVuSans.ttf", folder + "Other.ttf", error);
  write_whole_file(folder + "broken.ttf", {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'});
  return folder;
}

class FontTest : public ::testing::Test {
protected:
  FOLDER fonts;
  void SetUp() override {
    REQUIRE_SYSTEM_FONTS();
    std::string path = make_font_folder("font");
    ASSERT_TRUE(fonts.set_if_folder(path.c_str()));
    // The built-in fonts come from this folder, so that the test sees only the core faces.
    set_named_path("$FONTDATA", &fonts);
    start_font_system();
  }
  void TearDown() override {
    stop_font_system();
    remove_named_path("$FONTDATA");
  }
};

}  // namespace

TEST(FontTable, BuiltInNamesAreFixed) {
  EXPECT_STREQ(font_file_name(10), "DejaVuSans.ttf");
  EXPECT_STREQ(font_display_name(10), "DejaVu Sans");
  EXPECT_STREQ(font_file_name(0), "DejaVuSerif.ttf");
  EXPECT_STREQ(font_file_name(8), "DejaVuSansMono.ttf");
  EXPECT_STREQ(font_file_name(22), "DejaVuSans.ttf");
  EXPECT_EQ(font_file_name(23), nullptr);
  EXPECT_EQ(font_display_name(255), nullptr);
  for (int id = 0; id < BUILTIN_FONT_COUNT; id++) {
    std::string name = font_file_name((INT_U8)id);
    EXPECT_EQ(name.substr(name.size() - 4), ".ttf") << id;
  }
}

TEST_F(FontTest, StartPreloadsTheBuiltInFontsAndStopFreesThem) {
  EXPECT_EQ(font_system_started(), 1);
  ASSERT_TRUE(font_loaded(10));
  EXPECT_STREQ(get_font(10)->display_name, "DejaVu Sans");
  EXPECT_EQ(get_font(10)->coverage_maximum, 255);
  EXPECT_TRUE(font_loaded(0));   // DejaVuSerif.ttf
  EXPECT_TRUE(font_loaded(11));  // DejaVuSans-Bold.ttf
  EXPECT_TRUE(font_loaded(22));  // DejaVuSans.ttf again

  start_font_system();  // a second start changes nothing
  EXPECT_TRUE(font_loaded(10));

  stop_font_system();
  EXPECT_EQ(font_system_started(), 0);
  EXPECT_FALSE(font_loaded(10));
  EXPECT_EQ(get_font(10), nullptr);
  EXPECT_EQ(load_font("DejaVuSans.ttf", nullptr, -1, &fonts), -1);  // stopped: nothing loads

  start_font_system();  // and it can start again
  EXPECT_TRUE(font_loaded(10));
}

TEST_F(FontTest, BuiltInIdsTakeOnlyTheirOwnFileAndAreNeverReplaced) {
  free_font(8);
  EXPECT_FALSE(font_loaded(8));
  EXPECT_EQ(load_font("DejaVuSans.ttf", nullptr, 8, &fonts), -1);  // row 8 is DejaVuSansMono.ttf
  EXPECT_EQ(load_font("DejaVuSansMono.ttf", "Mono", 8, &fonts), 8);
  EXPECT_STREQ(get_font(8)->display_name, "Mono");
  FT_Face first = get_font(8)->face;
  EXPECT_EQ(load_font("DejaVuSansMono.ttf", "Again", 8, &fonts), -1);
  EXPECT_EQ(get_font(8)->face, first);
  EXPECT_STREQ(get_font(8)->display_name, "Mono");
  EXPECT_EQ(load_font("dejavusansmono.ttf", nullptr, 8, &fonts), -1);  // names compare with case
}

TEST_F(FontTest, PreloadedFontsOpenAtFirstUseAndAnswerAsIfLoadedAtTheStart) {
  // The file of a built-in font is opened at the font's first use: what the file holds then is loaded.
  // The check of the files before a first window opens them and loads nothing.
  check_preloaded_fonts();
  std::string serif = fonts.get_path_text("DejaVuSerif.ttf");
  ASSERT_TRUE(write_whole_file(serif, read_whole_file(fonts.get_path_text("DejaVuSansMono.ttf"))));
  ASSERT_TRUE(font_loaded(0));
  EXPECT_STREQ(get_font(0)->face->family_name, "DejaVu Sans Mono");
  // An id not used yet is its preload's: its own file loaded there is refused, the preloaded face kept.
  EXPECT_EQ(load_font("DejaVuSans.ttf", "Mine", 10, &fonts), -1);
  EXPECT_STREQ(get_font(10)->display_name, "DejaVu Sans");
  // Freed before its first use, it stays empty and takes a load of its own.
  free_font(11);
  EXPECT_FALSE(font_loaded(11));
  EXPECT_EQ(load_font("DejaVuSans-Bold.ttf", "Bold", 11, &fonts), 11);
  EXPECT_STREQ(get_font(11)->display_name, "Bold");
}

// A built-in font that FreeType refuses is found by the check, with the message loading it would give;
// a missing one is no error.
TEST_F(FontTest, TheCheckFindsADamagedBuiltInFontBeforeItsFirstUse) {
  ASSERT_TRUE(std::filesystem::remove(fonts.get_path_text("DejaVuSans-Bold.ttf")));
  check_preloaded_fonts();
  ASSERT_TRUE(write_whole_file(fonts.get_path_text("DejaVuSerif.ttf"), {'n', 'o', 'n', 'e'}));
  EXPECT_EXIT(check_preloaded_fonts(), ::testing::ExitedWithCode(FATAL_EXIT_STATUS),
              "Unable to load font from disk");
}

TEST_F(FontTest, FreeIdsAreTakenFrom23OnAndReused) {
  EXPECT_EQ(get_font(23), nullptr);
  EXPECT_EQ(load_font("Other.ttf", nullptr, -1, &fonts), 23);
  EXPECT_STREQ(get_font(23)->display_name, "Other.ttf");  // no display name: the file name
  EXPECT_EQ(load_font("Other.ttf", "B", -1, &fonts), 24);
  EXPECT_EQ(load_font("Other.ttf", "C", -1, &fonts), 25);
  free_font(24);
  EXPECT_FALSE(font_loaded(24));
  EXPECT_STREQ(get_font(25)->display_name, "C");
  EXPECT_EQ(load_font("Other.ttf", "D", -1, &fonts), 24);
  EXPECT_EQ(load_font("Other.ttf", "E", 40, &fonts), 40);  // an explicit id past the end grows the array
  EXPECT_FALSE(font_loaded(30));
  EXPECT_EQ(load_font("Other.ttf", "F", -1, &fonts), 26);
  // A long display name is cut to 127 characters.
  std::string long_name(300, 'x');
  EXPECT_EQ(load_font("Other.ttf", long_name.c_str(), -1, &fonts), 27);
  EXPECT_EQ(std::strlen(get_font(27)->display_name), 127u);
}

TEST_F(FontTest, MissingFilesGiveMinusOneWithoutError) {
  EXPECT_EQ(load_font("Missing.ttf", nullptr, -1, &fonts), -1);
  EXPECT_EQ(load_font(nullptr, nullptr, -1, &fonts), -1);
  EXPECT_EQ(load_font("Missing.ttf", nullptr, -1, nullptr), -1);
  EXPECT_EQ(load_font("Other.ttf", nullptr, -1, nullptr), 23);  // null folder: "$FONTDATA"
}

// A font is read through the host's names: a folder and a file named outside ASCII hold it.
TEST_F(FontTest, FontsLoadFromFoldersAndFilesNamedOutsideAscii) {
  FOLDER folder = fonts;
  ASSERT_TRUE(folder.enter("Schrift-\xFC", true));
  std::string host_folder = std::string(fonts.path) + PATH_SEPARATOR + "Schrift-\xC3\xBC" + PATH_SEPARATOR;
  ASSERT_TRUE(write_whole_file(host_folder + "Gr\xC3\xB6\xC3\x9F" "e.ttf",
                               read_whole_file(system_font_folder() + "/DejaVuSans.ttf")));
  ASSERT_EQ(load_font("Gr\xF6\xDF" "e.ttf", nullptr, -1, &folder), 23);
  GLYPH glyph;
  std::memset(&glyph, 0, sizeof(glyph));
  cache_glyph(&glyph, 23, 'A', 21, 21);
  EXPECT_EQ(glyph.x_size, 21);
  EXPECT_GT(glyph.bitmap_rows, 10);
  free_glyph_bitmap(&glyph);
}

TEST_F(FontTest, AFileThatIsNoFontIsAFatalError) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(load_font("broken.ttf", nullptr, -1, &fonts), "");
}

TEST_F(FontTest, GlyphsAreRenderedOncePerSizeAndSizedForTheirBitmap) {
  ASSERT_TRUE(font_loaded(10));
  GLYPH glyph;
  std::memset(&glyph, 0, sizeof(glyph));
  cache_glyph(&glyph, 10, 'A', 21, 21);
  EXPECT_EQ(glyph.x_size, 21);
  EXPECT_GT(glyph.advance, 8);
  EXPECT_LT(glyph.advance, 21);
  EXPECT_GT(glyph.bitmap_rows, 10);
  EXPECT_GE(glyph.bitmap_pitch, glyph.bitmap_width);
  EXPECT_EQ(glyph.coverage_size, (INT_U32)glyph.bitmap_rows * glyph.bitmap_pitch);
  EXPECT_GT(glyph.face_height, 0);
  EXPECT_LT(glyph.face_descender, 0);
  int full = 0;
  for (INT_U32 n = 0; n < glyph.coverage_size; n++) full += glyph.coverage[n] == 255;
  EXPECT_GT(full, 5);

  INT_U8* kept = glyph.coverage;
  cache_glyph(&glyph, 10, 'A', 21, 21);  // same size: left as it is
  EXPECT_EQ(glyph.coverage, kept);
  cache_glyph(&glyph, 10, 'A', 41, 41);  // another size: rendered again
  EXPECT_EQ(glyph.x_size, 41);
  EXPECT_GT(glyph.bitmap_rows, 20);
  free_glyph_bitmap(&glyph);

  // A blank has an advance and a one-byte coverage buffer.
  cache_glyph(&glyph, 10, ' ', 21, 21);
  EXPECT_GT(glyph.advance, 0);
  EXPECT_EQ(glyph.bitmap_rows, 0);
  EXPECT_EQ(glyph.coverage_size, 1u);
  ASSERT_NE(glyph.coverage, nullptr);
  free_glyph_bitmap(&glyph);

  // A glyph whose bitmap is far beyond 32767 bytes gets a buffer of its own size.
  cache_glyph(&glyph, 10, 'W', 1500, 1500);
  EXPECT_GT(glyph.coverage_size, 65536u);
  EXPECT_EQ(glyph.coverage_size, (INT_U32)glyph.bitmap_rows * glyph.bitmap_pitch);
  INT_U64 ink = 0;  // the whole buffer is readable and holds the glyph
  for (INT_U32 n = 0; n < glyph.coverage_size; n++) ink += glyph.coverage[n];
  EXPECT_GT(ink, 255u * 10000u);
  free_glyph_bitmap(&glyph);
}

TEST_F(FontTest, FreeFontKeepsTheSlotAndItsName) {
  EXPECT_EQ(load_font("Other.ttf", "Kept", -1, &fonts), 23);
  GLYPH glyph;
  std::memset(&glyph, 0, sizeof(glyph));
  cache_glyph(&glyph, 23, 'x', 10, 10);
  free_glyph_bitmap(&glyph);
  free_font(23);
  EXPECT_EQ(get_font(23), nullptr);
  free_font(-1);
  EXPECT_FALSE(font_loaded(10));
  // The emptied built-in slot takes its own file again.
  EXPECT_EQ(load_font("DejaVuSans.ttf", nullptr, 10, &fonts), 10);
}
