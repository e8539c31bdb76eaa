// Tests of the installer's skin: a skin folder read into the database and the window manager's globals
// (empty and missing folders, the scratch style set's inheritance, icons, "dialog_effects.cfg"), the
// skin stream's bytes, round trips in both byte orders, failing devices, damaged streams that change
// nothing, a skin attached to the program's file, and "-s" on the installer program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "button.h"
#include "data_file.h"
#include "database.h"
#include "dialog.h"
#include "engine.h"
#include "errors.h"
#include "file_select.h"
#include "files.h"
#include "host.h"
#include "image_cache.h"
#include "installer_test_support.h"
#include "style_set.h"

namespace {

// A style file in its key=value form: image_filename (left out when null), the other keys the reader
// needs, then extra lines.
std::string style_file(const char* image_filename, int shading_type, const std::string& extra = "") {
  std::string t;
  if (image_filename) t += std::string("image_filename\n\t") + image_filename + "\n";
  t += "image_path\n\t$APP\nshading_type\n\t" + std::to_string(shading_type) + "\n";
  for (const char* colour : {"fg_colour", "bg_colour", "fading_colour", "highlight_colour", "highlight_text_colour",
                             "active_colour"})
    t += std::string(colour) + "\n\t#FF102030\n";
  t += "visible\n\t1\nshading_flags\n\t15\nfont_id\n\t-1\nfont_x_sz\n\t-1\nfont_y_sz\n\t-1\n";
  for (const char* size : {"border_left_gap", "border_right_gap", "border_top_gap", "border_bottom_gap",
                           "cell_left_gap", "cell_right_gap", "cell_top_gap", "cell_bottom_gap", "x_spacing",
                           "y_spacing", "scrollbar_button_width", "scrollbar_slider_width", "grid_scrollbar_width",
                           "grid_two_tone_value"})
    t += std::string(size) + "\n\t2\n";
  return t + extra;
}

std::vector<INT_U8> style_record(WM_STYLE_SET* style) {
  MEMORY_DEVICE device;
  style->put_to_data_device(&device);
  return device.bytes;
}

// A device that takes only its first limit bytes.
class LIMITED_DEVICE : public MEMORY_DEVICE {
public:
  size_t limit;
  explicit LIMITED_DEVICE(size_t bytes) : limit(bytes) {}
  INT_S32 write(const void* buffer, INT_S32 count) override {
    size_t room = position < limit ? limit - position : 0;
    return MEMORY_DEVICE::write(buffer, (INT_S32)std::min<size_t>((size_t)count, room));
  }
};

// What a skin replaces, to compare before and after.
struct SKIN_STATE {
  std::vector<INT_U32> members;  // shading type of each member style set
  std::vector<std::pair<int, int>> icons;
  std::vector<INT_U32> globals;  // shading types of the four global style sets
  std::vector<INT_U32> effects;
  std::vector<INT_U16> rates;
  INT_U8 hint_ready;
  INT_S32 cache_entries;

  explicit SKIN_STATE(DATABASE* d) {
    for (int i = 0; i < DATABASE::STYLE_COUNT; i++) members.push_back(d->style_set(i)->shading_type);
    for (IMAGE& icon : d->skin_icons) icons.push_back({icon.width, icon.height});
    for (WM_STYLE_SET* style : {(WM_STYLE_SET*)default_dialog_window_style, (WM_STYLE_SET*)default_dialog_title_style,
                                (WM_STYLE_SET*)default_dialog_button_style, (WM_STYLE_SET*)button_hint_style})
      globals.push_back(style->shading_type);
    effects = {default_dialog_effects.flags, default_dialog_effects.open_delay, default_dialog_effects.display_delay,
               default_dialog_effects.dragging_alpha};
    rates = {d->progress_bar_animation_x_rate, d->progress_bar_animation_y_rate, d->progress_bar_animation_update_rate};
    hint_ready = button_hint_style_ready;
    cache_entries = image_cache->entries.count;
  }
  bool operator==(const SKIN_STATE& o) const {
    return members == o.members && icons == o.icons && globals == o.globals && effects == o.effects &&
           rates == o.rates && hint_ready == o.hint_ready && cache_entries == o.cache_entries;
  }
};

class Skin : public ::testing::Test {
protected:
  std::string root;  // the scratch folder, ending with the separator
  FOLDER scratch;

  void SetUp() override {
    scratch = scratch_folder(std::string("skin-") + ::testing::UnitTest::GetInstance()->current_test_info()->name(), &root);
    // The named path stands for the scratch folder in folder texts.
    set_named_path("$SKINTEST", &scratch);
    reset_skin_globals();
  }
  void TearDown() override {
    stop_global_style_sets();
    stop_file_select_icons();
    image_cache->clear();
    remove_named_path("$SKINTEST");
  }

  // Writes a file below the scratch folder ('/' separated relative path).
  void put(const std::string& relative, const std::string& text) {
    std::string path = root + relative;
    for (char& c : path)
      if (c == '/') c = PATH_SEPARATOR;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_TRUE(write_whole_file(path, text_bytes(text)));
  }
  void make_folder(const std::string& relative) { std::filesystem::create_directories(root + relative); }

  // A raw image file of that size below the scratch folder.
  void put_image(const std::string& folder_name, const char* name, INT_S16 width, INT_S16 height) {
    make_folder(folder_name);
    FOLDER folder = scratch;
    ASSERT_TRUE(folder.enter(folder_name.c_str()));
    IMAGE image(width, height);
    COLOUR colour = 0xFF00FF00u + (INT_U32)width;
    image.clear(&colour, 1);
    DATA_FILE* file = open_data_file(&folder, (std::string(name) + ".raw").c_str(), FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(image.put_to_data_device(file));
    ASSERT_TRUE(close_data_file(&file));
  }

  // A skin that differs from the defaults everywhere, in d and the globals.
  void make_distinct_skin(DATABASE* d) {
    for (int i = 0; i < DATABASE::STYLE_COUNT; i++) d->style_set(i)->shading_type = 100 + i;
    for (int i = 0; i < DATABASE::ICON_COUNT; i++) {
      d->skin_icons[i].set_size((INT_S16)(i + 1), 2);
      COLOUR colour = 0xFF000000u + (INT_U32)i;
      d->skin_icons[i].clear(&colour, 1);
    }
    adjust_default_styles();  // done now, so that writing does not change what is set here
    default_dialog_window_style->shading_type = 200;
    default_dialog_title_style->shading_type = 201;
    default_dialog_button_style->shading_type = 202;
    button_hint_style->shading_type = 203;
    default_dialog_effects = {0x123, 11, 22, 33};
    d->progress_bar_animation_x_rate = 1;
    d->progress_bar_animation_y_rate = 2;
    d->progress_bar_animation_update_rate = 3;
  }

  void expect_distinct_skin(DATABASE* d) {
    for (int i = 0; i < DATABASE::STYLE_COUNT; i++) EXPECT_EQ(d->style_set(i)->shading_type, 100u + i) << i;
    for (int i = 0; i < DATABASE::ICON_COUNT; i++) {
      EXPECT_EQ(d->skin_icons[i].width, i + 1) << i;
      ASSERT_NE(d->skin_icons[i].pixels, nullptr) << i;
      EXPECT_EQ(d->skin_icons[i].pixels[0], 0xFF000000u + (INT_U32)i) << i;
    }
    EXPECT_EQ(default_dialog_window_style->shading_type, 200u);
    EXPECT_EQ(default_dialog_title_style->shading_type, 201u);
    EXPECT_EQ(default_dialog_button_style->shading_type, 202u);
    EXPECT_EQ(button_hint_style->shading_type, 203u);
    EXPECT_EQ(button_hint_style_ready, 1);
    EXPECT_EQ(default_dialog_effects.flags, 0x123u);
    EXPECT_EQ(default_dialog_effects.open_delay, 11u);
    EXPECT_EQ(default_dialog_effects.display_delay, 22u);
    EXPECT_EQ(default_dialog_effects.dragging_alpha, 33u);
    EXPECT_EQ(d->progress_bar_animation_x_rate, 1);
    EXPECT_EQ(d->progress_bar_animation_y_rate, 2);
    EXPECT_EQ(d->progress_bar_animation_update_rate, 3);
    // The file selector shows the disk icons.
    for (int kind = 0; kind < FILE_SELECT_DRIVE_ICON_COUNT; kind++)
      EXPECT_EQ(file_select_drive_icon(kind)->width, DATABASE::disk_icon + kind + 1) << kind;
    EXPECT_EQ(file_select_parent_icon()->width, DATABASE::parent_folder_icon + 1);
    EXPECT_EQ(file_select_file_icon()->width, DATABASE::file_icon + 1);
    EXPECT_EQ(file_select_folder_icon()->width, DATABASE::folder_icon + 1);
  }
};

// The bytes of an empty image and of the default dialog effects and rates in the stream.
const std::vector<INT_U8> EMPTY_IMAGE = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g', 1, 0, 0, 0, 0};
const std::vector<INT_U8> EMPTY_SKIN_END = {0x7C, 0x04, 0x2C, 0x01, 0x00, 0x00, 0xE8, 0x03, 0x00,
                                            0x00, 0xC0, 0, 0, 0, 0, 0, 0};
const size_t EMPTY_SKIN_FILE_SIZE = 39425;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The skin folder

TEST_F(Skin, EmptyOrMissingFolderIsTheEmptySkin) {
  // Beside the missing folder lie a style file and effects that must never be read in its place.
  put("button/button.ss", style_file("knob", 9, "name\n\twrong\n"));
  put("dialog_effects.cfg", "flags\n\t1\n");
  make_folder("empty");
  struct CASE {
    const char* text;
    const char* skin_path;
  } cases[] = {{"$SKINTEST/empty", "$SKINTEST/empty"},
               {"$SKINTEST/missing", "$SKINTEST/missing"},
               {"$SKINTEST/missing/deeper", "$SKINTEST/missing/deeper"},
               {"$NOSUCHVARIABLE/qon", "$NOSUCHVARIABLE/qon"},
               {nullptr, ""}};
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "null");
    DATABASE d;
    d.check_box_style.shading_type = 77;
    d.skin_icons[0].set_size(2, 2);
    d.progress_bar_animation_x_rate = 5;
    d.progress_bar_animation_y_rate = 6;
    d.progress_bar_animation_update_rate = 7;
    default_dialog_button_style->shading_type = 55;
    default_dialog_effects = {1148, 1, 2, 3};
    SKIN_STATE before(&d);
    d.load_skin(c.text);
    EXPECT_STREQ(d.SKIN.path, c.skin_path);
    SKIN_STATE after(&d);
    EXPECT_EQ(after.rates, std::vector<INT_U16>({0, 0, 0}));
    after.rates = before.rates;  // only the rates change
    EXPECT_TRUE(after == before);
    EXPECT_EQ(default_dialog_button_style->name, nullptr);
  }
}

TEST_F(Skin, DefaultStylesComeFromOneScratchStyleSet) {
  // "button.ss" gives a name that the later files lack; "button_hints.ss" has no "image_filename".
  put("s/button/button.ss", style_file("knob", 2, "name\n\tfrom-button\n"));
  put("s/button/button_hints.ss", style_file(nullptr, 3));
  put("s/dialog/background.ss", style_file("back", 5));
  put("s/dialog/title.ss", style_file("bar", 7));
  DATABASE d;
  d.menu_button_style.flags = ssf_wrap_text;  // "menu_button.ss" is missing: the style stays as it was
  button_hint_style->shading_type = 66;
  d.load_skin("$SKINTEST/s");
  EXPECT_EQ(default_dialog_button_style->shading_type, 2u);
  EXPECT_STREQ(default_dialog_button_style->name, "from-button");
  EXPECT_STREQ(default_dialog_button_style->image_filename, "knob");
  EXPECT_EQ(button_hint_style->shading_type, 66u);
  EXPECT_EQ(button_hint_style_ready, 0);
  EXPECT_EQ(d.menu_button_style.flags, (INT_U32)ssf_wrap_text);
  EXPECT_EQ(default_dialog_window_style->shading_type, 5u);
  EXPECT_STREQ(default_dialog_window_style->name, "from-button");
  EXPECT_EQ(default_dialog_title_style->shading_type, 7u);
  EXPECT_STREQ(default_dialog_title_style->name, "from-button");
  EXPECT_STREQ(default_dialog_title_style->image_filename, "bar");
  EXPECT_EQ(default_styles_adjusted, 1);

  // A "button" folder without "button.ss" still replaces the button style, with the scratch style
  // set's defaults; a hint file with "image_filename" replaces the hint style and marks it ready.
  reset_skin_globals();
  std::filesystem::remove(root + "s" + PATH_SEPARATOR + "button" + PATH_SEPARATOR + "button.ss");
  put("s/button/button_hints.ss", style_file("hint", 4, "name\n\thints\n"));
  default_dialog_button_style->shading_type = 55;
  DATABASE e;
  e.load_skin("$SKINTEST/s");
  WM_STYLE_SET defaults;
  EXPECT_EQ(default_dialog_button_style->shading_type, defaults.shading_type);
  EXPECT_EQ(default_dialog_button_style->name, nullptr);
  EXPECT_EQ(button_hint_style->shading_type, 4u);
  EXPECT_STREQ(button_hint_style->name, "hints");
  EXPECT_EQ(button_hint_style_ready, 1);
  // The window and title styles inherit the hint file's name now.
  EXPECT_STREQ(default_dialog_window_style->name, "hints");
  EXPECT_STREQ(default_dialog_title_style->name, "hints");
}

// The record of a dialog style that "background.ss" below filled and, for the title, a "title.ss" with
// only a name, an image file name and a folder went on with.
std::vector<INT_U8> dialog_style_record(const std::string& name, const std::string& image_filename, INT_U32 flags) {
  std::vector<INT_U8> b;
  auto u32 = [&](INT_U32 v) {
    for (int i = 0; i < 4; i++) b.push_back((INT_U8)(v >> (8 * i)));
  };
  auto text = [&](const std::string& t) {
    u32((INT_U32)t.size());
    b.insert(b.end(), t.begin(), t.end());
  };
  u32(9);
  text(image_filename);
  text(name);
  b.insert(b.end(), {'$', 'A', 'P', 'P'});
  b.insert(b.end(), 2048 - 4, 0);
  u32(5);                                       // shading type
  for (int i = 0; i < 6; i++) u32(0xFF102030);  // the six required colours
  for (int i = 0; i < 8; i++) u32(0);           // active text, object, mouse-over (2), flashing (2), disabled (2)
  u32(0xFF445566);                              // underline
  b.push_back(1);                               // visible
  u32(flags);
  u32(0);                                       // extended flags
  b.push_back(0xEE);                            // size flags
  b.insert(b.end(), {15, 0, 0xFF});             // shading flags, font id -1
  b.insert(b.end(), 4, 0xFF);                   // font sizes -1
  for (int i = 0; i < 14; i++) b.insert(b.end(), {2, 0});
  return b;
}

TEST_F(Skin, AnIncompleteTitleFileKeepsWhatItGaveTheScratchStyle) {
  put("s/dialog/background.ss", style_file("back", 5, "ssf_wrap_text\n\t1\nunderline_colour\n\t#FF445566\n"));
  put("s/dialog/title.ss", "name\n\tcaption\nimage_filename\n\tbar\nimage_path\n\t$APP\n");  // no shading_type
  DATABASE d;
  d.load_skin("$SKINTEST/s");
  DATA_FILE* file = open_data_file(&scratch, "title.skin", FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(d.write_skin(file));
  ASSERT_TRUE(close_data_file(&file));
  std::vector<INT_U8> bytes = read_whole_file(root + "title.skin");
  // The window style is the scratch style as "background.ss" left it; the title style takes the name,
  // image file name and folder of "title.ss", its flag words cleared, the rest of "background.ss".
  std::vector<INT_U8> expected = dialog_style_record("", "back", ssf_wrap_text);
  std::vector<INT_U8> title = dialog_style_record("caption", "bar", 0);
  expected.insert(expected.end(), title.begin(), title.end());
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), expected.begin(), expected.end()), bytes.end());
}

TEST_F(Skin, EverySubFolderFillsItsMember) {
  struct CASE {
    const char* file;
    int member;
  } cases[] = {{"button/menu_button.ss", DATABASE::MENU_BUTTON_STYLE},
               {"menu/menu_dropdown.ss", DATABASE::MENU_DROPDOWN_STYLE},
               {"menu/menu_item.ss", DATABASE::MENU_ITEM_STYLE},
               {"menu/menu_alt_item.ss", DATABASE::MENU_ALT_ITEM_STYLE},
               {"check_box/check_box.ss", DATABASE::CHECK_BOX_STYLE},
               {"progress_bar/progress_bar.ss", DATABASE::PROGRESS_BAR_STYLE},
               {"progress_bar/progress_bar_script.ss", DATABASE::PROGRESS_BAR_SCRIPT_STYLE},
               {"dialog/text.ss", DATABASE::DIALOG_TEXT_STYLE},
               {"options/options.ss", DATABASE::OPTIONS_STYLE},
               {"text_win/scrollbar.ss", DATABASE::SCROLLBAR_STYLE},
               {"text_win/text_title.ss", DATABASE::TEXT_TITLE_STYLE},
               {"text_win/text.ss", DATABASE::TEXT_STYLE},
               {"title/title.ss", DATABASE::TITLE_STYLE}};
  for (const CASE& c : cases) put(std::string("s/") + c.file, style_file("look", 10 + c.member));
  DATABASE d;
  d.options_alt_style.shading_type = 99;  // no file fills it
  d.load_skin("$SKINTEST/s");
  for (const CASE& c : cases) EXPECT_EQ(d.style_set(c.member)->shading_type, 10u + c.member) << c.file;
  EXPECT_EQ(d.options_alt_style.shading_type, 99u);
  EXPECT_STREQ(d.SKIN.path, "$SKINTEST/s");
}

TEST_F(Skin, IconsComeFromIconsThenDisk) {
  put_image("s/icons", "forw_icon", 3, 2);
  put_image("s/icons", "disk", 4, 4);
  put_image("s/disk", "disk", 5, 5);        // "icons" has it: not taken
  put_image("s/disk", "folder", 6, 6);      // "icons" lacks it: taken
  put_image("s/disk", "prev_icon", 7, 7);   // not one of the file selector's icons
  DATABASE d;
  d.skin_icons[DATABASE::file_icon].set_size(1, 1);
  d.load_skin("$SKINTEST/s");
  EXPECT_EQ(d.skin_icons[DATABASE::forw_icon].width, 3);
  EXPECT_EQ(d.skin_icons[DATABASE::forw_icon].height, 2);
  EXPECT_EQ(d.skin_icons[DATABASE::disk_icon].width, 4);
  EXPECT_EQ(d.skin_icons[DATABASE::folder_icon].width, 6);
  EXPECT_EQ(d.skin_icons[DATABASE::prev_icon].width, 0);
  EXPECT_EQ(d.skin_icons[DATABASE::file_icon].width, 1);  // missing everywhere: as it was

  // Without an "icons" folder, "disk" still gives the file selector's icons.
  std::filesystem::remove_all(root + "s" + PATH_SEPARATOR + "icons");
  DATABASE e;
  e.load_skin("$SKINTEST/s");
  EXPECT_EQ(e.skin_icons[DATABASE::disk_icon].width, 5);
  EXPECT_EQ(e.skin_icons[DATABASE::forw_icon].width, 0);
}

TEST_F(Skin, DialogEffectsFileValues) {
  struct CASE {
    const char* text;
    std::vector<INT_U32> effects;
    std::vector<INT_U16> rates;
  } cases[] = {
      {"flags\n\t1148\n", {0x47C, 1, 2, 3}, {0, 0, 0}},
      {"flags\n\t65537\n", {1, 1, 2, 3}, {0, 0, 0}},
      {"open_delay\n\t250\ndisplay_delay\n\t-5\ndragging_alpha\n\t300\n", {9, 250, 0xFFFFFFFB, 44}, {0, 0, 0}},
      {"progress_bar_animation_x_rate\n\t70000\nprogress_bar_animation_y_rate\n\t12 px\n"
       "progress_bar_animation_update_rate\n\t-1\n",
       {9, 1, 2, 3},
       {4464, 12, 65535}},
      // Values that are not numbers count as absent: the effects keep theirs, the rates become 0.
      {"flags\n\tfast\nopen_delay\n\t\ndisplay_delay\n\t-\ndragging_alpha\n\tx1\nprogress_bar_animation_x_rate\n\tabc\n",
       {9, 1, 2, 3},
       {0, 0, 0}},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.text);
    put("s/dialog_effects.cfg", c.text);
    DATABASE d;
    d.progress_bar_animation_x_rate = d.progress_bar_animation_y_rate = d.progress_bar_animation_update_rate = 8;
    default_dialog_effects = {9, 1, 2, 3};
    d.load_skin("$SKINTEST/s");
    EXPECT_EQ(std::vector<INT_U32>({default_dialog_effects.flags, default_dialog_effects.open_delay,
                                    default_dialog_effects.display_delay, default_dialog_effects.dragging_alpha}),
              c.effects);
    EXPECT_EQ(std::vector<INT_U16>({d.progress_bar_animation_x_rate, d.progress_bar_animation_y_rate,
                                    d.progress_bar_animation_update_rate}),
              c.rates);
  }
}

// ---------------------------------------------------------------------------------------------------
// The skin stream

TEST_F(Skin, EmptySkinFileBytes) {
  make_folder("empty");
  DATABASE d;
  d.load_skin("$SKINTEST/empty");
  DATA_FILE* file = open_data_file(&scratch, "empty.skin", FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(d.write_skin(file));
  ASSERT_TRUE(close_data_file(&file));
  std::vector<INT_U8> bytes = read_whole_file(root + "empty.skin");
  ASSERT_EQ(bytes.size(), EMPTY_SKIN_FILE_SIZE);

  // The byte-order byte, the empty image cache (version 2, no entry), the 14 member style sets in
  // stream order, 24 empty icons, the three default dialog styles as adjusted once, the hint style,
  // the default effects and three rates of 0.
  std::vector<INT_U8> expected = {0, 2, 0, 0, 0, 0};
  const int order[14] = {DATABASE::CHECK_BOX_STYLE,   DATABASE::PROGRESS_BAR_STYLE, DATABASE::PROGRESS_BAR_SCRIPT_STYLE,
                         DATABASE::MENU_DROPDOWN_STYLE, DATABASE::MENU_BUTTON_STYLE, DATABASE::MENU_ITEM_STYLE,
                         DATABASE::MENU_ALT_ITEM_STYLE, DATABASE::DIALOG_TEXT_STYLE, DATABASE::SCROLLBAR_STYLE,
                         DATABASE::TEXT_TITLE_STYLE,    DATABASE::TEXT_STYLE,        DATABASE::TITLE_STYLE,
                         DATABASE::OPTIONS_STYLE,       DATABASE::OPTIONS_ALT_STYLE};
  for (int member : order) {
    std::vector<INT_U8> record = style_record(d.style_set(member));
    expected.insert(expected.end(), record.begin(), record.end());
  }
  for (int i = 0; i < DATABASE::ICON_COUNT; i++) expected.insert(expected.end(), EMPTY_IMAGE.begin(), EMPTY_IMAGE.end());
  WM_STYLE_SET adjusted[3];
  WM_STYLE_SET::copy(&adjusted[0], default_dialog_window_style);
  WM_STYLE_SET::copy(&adjusted[1], default_dialog_title_style);
  WM_STYLE_SET::copy(&adjusted[2], default_dialog_button_style);
  EXPECT_EQ(adjusted[0].shading_type, 4u);  // the one-time adjustment did run
  for (WM_STYLE_SET* style : {&adjusted[0], &adjusted[1], &adjusted[2], (WM_STYLE_SET*)button_hint_style}) {
    std::vector<INT_U8> record = style_record(style);
    expected.insert(expected.end(), record.begin(), record.end());
  }
  expected.insert(expected.end(), EMPTY_SKIN_END.begin(), EMPTY_SKIN_END.end());
  EXPECT_EQ(bytes, expected);
}

TEST_F(Skin, StreamRoundTripInBothByteOrders) {
  for (INT_U8 swap = 0; swap < 2; swap++) {
    SCOPED_TRACE(swap ? "swapped" : "plain");
    reset_skin_globals();
    DATABASE written;
    make_distinct_skin(&written);
    MEMORY_DEVICE device;
    device.swap_bytes = swap;
    ASSERT_TRUE(written.write_skin(&device));
    // The rates close the stream in the device's byte order.
    std::vector<INT_U8> end(device.bytes.end() - 6, device.bytes.end());
    EXPECT_EQ(end, swap ? std::vector<INT_U8>({0, 1, 0, 2, 0, 3}) : std::vector<INT_U8>({1, 0, 2, 0, 3, 0}));

    reset_skin_globals();
    DATABASE read;
    device.position = 0;
    ASSERT_TRUE(read.read_skin(&device));
    EXPECT_EQ(device.position, device.bytes.size());
    expect_distinct_skin(&read);
  }
}

TEST_F(Skin, WritingStopsAtTheFirstFailure) {
  DATABASE d;
  make_distinct_skin(&d);
  MEMORY_DEVICE whole;
  ASSERT_TRUE(d.write_skin(&whole));
  size_t cache_and_styles = 5;
  for (int i = 0; i < DATABASE::STYLE_COUNT; i++) cache_and_styles += style_record(d.style_set(i)).size();
  // A device that fails at the first icon: the image cache and the 14 style sets are written.
  LIMITED_DEVICE device(cache_and_styles);
  EXPECT_FALSE(d.write_skin(&device));
  EXPECT_EQ(device.failed, 1);
  EXPECT_EQ(device.bytes, std::vector<INT_U8>(whole.bytes.begin(), whole.bytes.begin() + (long)cache_and_styles));
  // Failing at the first byte, and at the very last one.
  for (size_t limit : {(size_t)0, whole.bytes.size() - 1}) {
    LIMITED_DEVICE short_device(limit);
    EXPECT_FALSE(d.write_skin(&short_device)) << limit;
    EXPECT_EQ(short_device.failed, 1) << limit;
  }
  EXPECT_FALSE(d.write_skin(nullptr));
}

TEST_F(Skin, DamagedStreamsChangeNothing) {
  DATABASE source;
  make_distinct_skin(&source);
  put_image("pictures", "cached", 3, 3);
  FOLDER pictures = scratch;
  ASSERT_TRUE(pictures.enter("pictures"));
  // The stream carries one cached picture.
  IMAGE* cached = image_cache->get_in_folder(&pictures, "cached.raw", -1, -1, 0);
  ASSERT_NE(cached, nullptr);
  MEMORY_DEVICE valid;
  ASSERT_TRUE(source.write_skin(&valid));
  image_cache->release(cached->owner);
  const std::vector<INT_U8> bytes = valid.bytes;
  size_t style_size = style_record(&source.check_box_style).size();
  size_t cache_size = bytes.size() - 18 * style_size - 11 - 6;
  for (int i = 0; i < DATABASE::ICON_COUNT; i++) cache_size -= 15 + 4 * (size_t)(i + 1) * 2;

  std::vector<std::pair<std::string, std::vector<INT_U8>>> damaged;
  for (size_t cut : {(size_t)0, (size_t)1, (size_t)5, cache_size, cache_size + 100, cache_size + style_size,
                     bytes.size() - 17, bytes.size() - 7, bytes.size() - 1})
    damaged.push_back({"cut at " + std::to_string(cut), std::vector<INT_U8>(bytes.begin(), bytes.begin() + (long)cut)});
  std::vector<INT_U8> version = bytes;
  version[0] = 99;  // an image-cache stream of a later version
  damaged.push_back({"cache version", version});
  std::vector<INT_U8> icon = bytes;
  icon[cache_size + 14 * style_size] = 'x';  // the first icon's magic
  damaged.push_back({"icon magic", icon});

  for (const auto& c : damaged) {
    SCOPED_TRACE(c.first);
    reset_skin_globals();
    DATABASE d;
    d.style_set(0)->shading_type = 7;
    d.skin_icons[5].set_size(9, 9);
    IMAGE* held = image_cache->get_in_folder(&pictures, "cached.raw", -1, -1, 0);
    ASSERT_NE(held, nullptr);
    default_dialog_title_style->shading_type = 8;
    default_dialog_effects = {5, 6, 7, 8};
    d.progress_bar_animation_update_rate = 4;
    SKIN_STATE before(&d);
    MEMORY_DEVICE device(c.second);
    set_error(0, nullptr);
    EXPECT_FALSE(d.read_skin(&device));
    EXPECT_EQ(device.failed, 1);
    EXPECT_EQ(get_error_code(), DATA_ERROR_READ);
    EXPECT_TRUE(SKIN_STATE(&d) == before);
    EXPECT_EQ(file_select_folder_icon()->width, 0);
    image_cache->release(held->owner);
  }
}

// ---------------------------------------------------------------------------------------------------
// A skin attached to the program's file

TEST_F(Skin, SkinAttachedToTheProgramFile) {
  const std::vector<INT_U8> program = read_whole_file(get_module_path());
  ASSERT_GT(program.size(), 1000u);
  DATABASE source;
  make_distinct_skin(&source);
  // A skin file in each byte order: its byte-order byte, then the stream.
  std::vector<INT_U8> skin_files[2];
  for (INT_U8 swap = 0; swap < 2; swap++) {
    MEMORY_DEVICE device;
    device.swap_bytes = swap;
    ASSERT_TRUE(source.write_skin(&device));
    skin_files[swap] = {swap};
    skin_files[swap].insert(skin_files[swap].end(), device.bytes.begin(), device.bytes.end());
  }
  auto block = [](const std::vector<INT_U8>& skin, INT_U32 length) {
    std::vector<INT_U8> b(ATTACHED_SKIN_TAG, ATTACHED_SKIN_TAG + 8);
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back((INT_U8)(length >> shift));
    b.insert(b.end(), skin.begin(), skin.end());
    return b;
  };
  std::vector<INT_U8> package_data = {0, 0, 0, 4, 0, 1};  // what follows is not looked at here
  std::vector<INT_U8> truncated(skin_files[0].begin(), skin_files[0].end() - 20);
  // Any non-zero byte-order byte means swapped values, 0xFF included.
  std::vector<INT_U8> marked = skin_files[1];
  marked[0] = 0xFF;

  struct CASE {
    std::string what;
    std::vector<INT_U8> attached;
    bool skin;     // the locating step finds a skin
    bool package;  // and package data after it
    bool read;     // load_skin_file succeeds
  } cases[] = {
      {"plain skin", block(skin_files[0], (INT_U32)skin_files[0].size()), true, false, true},
      {"swapped skin", block(skin_files[1], (INT_U32)skin_files[1].size()), true, false, true},
      {"swapped skin marked 0xFF", block(marked, (INT_U32)marked.size()), true, false, true},
      {"skin and package", [&] {
         std::vector<INT_U8> b = block(skin_files[0], (INT_U32)skin_files[0].size());
         b.insert(b.end(), package_data.begin(), package_data.end());
         return b;
       }(),
       true, true, true},
      {"package only", package_data, false, true, false},
      {"damaged skin", block(truncated, (INT_U32)truncated.size()), true, false, false},
      {"length past the end", block(skin_files[0], (INT_U32)skin_files[0].size() + 1), false, true, false},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<INT_U8> file = program;
    file.insert(file.end(), c.attached.begin(), c.attached.end());
    ASSERT_TRUE(write_whole_file(root + "setup.exe", file));
    ATTACHED_DATA record;
    EXPECT_TRUE(locate_attached_data(&scratch, "setup.exe", &record));
    EXPECT_EQ(record.skin_attached, c.skin ? 1 : 0);
    EXPECT_EQ(record.skin_position, c.skin ? program.size() + 12 : 0);
    EXPECT_EQ(record.package_attached, c.package ? 1 : 0);
    if (c.package) {
      EXPECT_EQ(record.package_position, c.skin ? file.size() - package_data.size() : program.size());
    }

    reset_skin_globals();
    DATABASE d;
    SKIN_STATE before(&d);
    std::strcpy(d.program_file_text, "$SKINTEST/setup.exe");
    EXPECT_EQ(d.load_skin_file(), c.read);
    if (c.read)
      expect_distinct_skin(&d);
    else
      EXPECT_TRUE(SKIN_STATE(&d) == before);
  }

  // No text, or a folder that does not exist (the program's folder then, which holds no such file).
  DATABASE d;
  EXPECT_FALSE(d.load_skin_file());
  std::strcpy(d.program_file_text, "$SKINTEST/missing/setup.exe");
  EXPECT_FALSE(d.load_skin_file());
  std::strcpy(d.program_file_text, "$SKINTEST/");
  EXPECT_FALSE(d.load_skin_file());
}

// ---------------------------------------------------------------------------------------------------
// "-s" on the installer program

#ifndef _WIN32
TEST_F(Skin, GenerateSkinOptionOfTheProgram) {
  const char* binary_dir = std::getenv("VELK_BINARY_DIR");
  if (!binary_dir) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  ASSERT_TRUE(std::filesystem::exists(installer));
  std::string environment = "env -u DISPLAY VELK_UNATTENDED=1 HOME='" + root + "home' XDG_DATA_HOME='" + root +
                            "home/data' XDG_CONFIG_HOME='" + root + "home/config' TMPDIR='" + root + "' ";
  std::string output = root + "output.txt";
  auto run = [&](const std::string& arguments, const std::string& limits = "") {
    return run_command("(" + limits + "exec " + environment + "'" + installer + "' " + arguments + ") >'" + output +
                       "' 2>&1");
  };
  std::string out = "'$ROOT0" + root + "out/";
  make_folder("out");

  // No skin folder at all: the empty skin, byte for byte as laid out.
  EXPECT_EQ(run("-s " + out + "empty.skin'"), 0) << read_whole_text(output);
  std::vector<INT_U8> bytes = read_whole_file(root + "out/empty.skin");
  ASSERT_EQ(bytes.size(), EMPTY_SKIN_FILE_SIZE);
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin(), bytes.begin() + 6), std::vector<INT_U8>({0, 2, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector<INT_U8>(bytes.end() - 17, bytes.end()), EMPTY_SKIN_END);
  // An empty skin folder gives the same file; "-s" ends the run, so the "-h" after it is not read.
  make_folder("home/data/installer/qon");
  EXPECT_EQ(run("-s " + out + "folder.skin' -h"), 0);
  EXPECT_EQ(read_whole_file(root + "out/folder.skin"), bytes);
  EXPECT_EQ(read_whole_text(output).find("Usage"), std::string::npos);

  // A skin folder with effects and a button style: read back, the file gives them.
  put("home/data/installer/qon/dialog_effects.cfg", "flags\n\t1148\nopen_delay\n\t40\nprogress_bar_animation_x_rate\n\t6\n");
  put("home/data/installer/qon/button/button.ss", style_file("knob", 3, "name\n\tround\n"));
  EXPECT_EQ(run("-s " + out + "look.skin'"), 0) << read_whole_text(output);
  reset_skin_globals();
  DATABASE d;
  DATA_FILE* file = open_data_file(&scratch, "out/look.skin", FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(d.read_skin(file));
  close_data_file(&file);
  EXPECT_EQ(default_dialog_effects.flags, 0x47Cu);
  EXPECT_EQ(default_dialog_effects.open_delay, 40u);
  EXPECT_EQ(d.progress_bar_animation_x_rate, 6);
  EXPECT_EQ(default_dialog_button_style->shading_type, 3u);
  EXPECT_STREQ(default_dialog_button_style->name, "round");

  // The folder part must exist: no fall-back to a parent folder.
  EXPECT_EQ(run("-s '$ROOT0" + root + "missing/x.skin'"), 2);
  EXPECT_NE(read_whole_text(output).find("ERROR: the folder \"" + root + "missing\" of \"$ROOT0" + root +
                                         "missing/x.skin\" does not exist\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(root + "x.skin"));
  // A name that cannot be created (it is a folder): reported, the folder left alone.
  make_folder("out/taken");
  EXPECT_EQ(run("-s " + out + "taken'"), 1);
  EXPECT_NE(read_whole_text(output).find("ERROR: the skin file \"$ROOT0" + root + "out/taken\" cannot be created\n"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(root + "out/taken"));
  // A write that fails (the file size limit) is reported and the partial file removed, also when it
  // replaced an earlier skin.
  for (const char* name : {"limited.skin", "folder.skin"}) {
    EXPECT_EQ(run("-s " + out + name + "'", "ulimit -f 8; trap '' XFSZ; "), 1) << name;
    EXPECT_NE(read_whole_text(output).find("ERROR: the skin file \"$ROOT0" + root + "out/" + name + "\" cannot be written\n"),
              std::string::npos)
        << read_whole_text(output);
    EXPECT_FALSE(std::filesystem::exists(root + "out/" + name)) << name;
  }
}
#endif

#ifdef _WIN32
// installer.exe writes the empty skin with the same bytes, and reports a folder that does not exist.
TEST_F(Skin, GenerateSkinOptionOfTheWindowsProgram) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(binary_dir + "/installer.exe").string();
  ASSERT_TRUE(std::filesystem::exists(installer));
  std::string output = root + "output.txt";
  auto run = [&](const std::string& name) {
    std::string command = "\"\"" + installer + "\" -s \"" + name + "\" >\"" + output + "\" 2>&1\"";
    return run_command(command);
  };
  // The prefix holds no skin folder: the empty skin.
  EXPECT_EQ(run(root_text(root) + "/empty.skin"), 0) << read_whole_text(output);
  std::vector<INT_U8> bytes = read_whole_file(root + "empty.skin");
  ASSERT_EQ(bytes.size(), EMPTY_SKIN_FILE_SIZE);
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin(), bytes.begin() + 6), std::vector<INT_U8>({0, 2, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector<INT_U8>(bytes.end() - 17, bytes.end()), EMPTY_SKIN_END);
  EXPECT_EQ(run(root_text(root) + "/missing/x.skin"), 2);
  EXPECT_NE(read_whole_text(output).find("does not exist"), std::string::npos);
}
#endif
