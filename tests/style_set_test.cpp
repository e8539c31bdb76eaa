// Tests of style sets: defaults, copying, scaling and text flags; the binary record (golden bytes, byte
// order, every older version, damaged data) and the key=value text form (round trip, flag keys, missing
// keys, "$HERE" image folders).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config_file.h"
#include "data_file.h"
#include "image.h"
#include "image_file.h"
#include "errors.h"
#include "folder.h"
#include "frame.h"
#include "image_cache.h"
#include "style_set.h"
#include "test_support.h"

namespace {

// Little-endian stream builder for expected bytes.
struct BYTES {
  std::vector<INT_U8> b;
  void u8(INT_U8 v) { b.push_back(v); }
  void u16(INT_U16 v) { u8(v & 0xFF); u8(v >> 8); }
  void u32(INT_U32 v) { u16(v & 0xFFFF); u16(v >> 16); }
  void text(const std::string& s) { u32((INT_U32)s.size()); b.insert(b.end(), s.begin(), s.end()); }
  void zeros(size_t n) { b.insert(b.end(), n, 0); }
};

// The record of a default style set, version 9, built field by field.
std::vector<INT_U8> default_record() {
  BYTES e;
  e.u32(9);
  e.u32(0);
  e.u32(0);
  e.zeros(2048);
  e.u32(1);  // shading_type
  e.u32(0xFFFFFFFF);
  e.u32(0xFF000000);
  for (int i = 0; i < 13; i++) e.u32(0);
  e.u8(1);       // visible
  e.u32(5);      // flags
  e.u32(0);      // extended flags
  e.u8(0xEE);    // size flags
  e.u16(0x00FF); // shading flags
  e.u8(0xFF);    // font id
  for (int i = 0; i < 10; i++) e.u16(0xFFFF);  // font sizes and gaps
  e.u16(1);
  e.u16(1);
  e.u16(15);
  e.u16(10);
  e.u16(15);
  e.u16(20);
  return e.b;
}

void expect_same_fields(const WM_STYLE_SET& a, const WM_STYLE_SET& b) {
  EXPECT_STREQ(a.image_path, b.image_path);
  EXPECT_EQ(a.shading_type, b.shading_type);
  EXPECT_EQ(a.fg_colour, b.fg_colour);
  EXPECT_EQ(a.bg_colour, b.bg_colour);
  EXPECT_EQ(a.fading_colour, b.fading_colour);
  EXPECT_EQ(a.highlight_colour, b.highlight_colour);
  EXPECT_EQ(a.highlight_text_colour, b.highlight_text_colour);
  EXPECT_EQ(a.active_colour, b.active_colour);
  EXPECT_EQ(a.active_text_colour, b.active_text_colour);
  EXPECT_EQ(a.mouse_over_colour, b.mouse_over_colour);
  EXPECT_EQ(a.mouse_over_text_colour, b.mouse_over_text_colour);
  EXPECT_EQ(a.flashing_colour, b.flashing_colour);
  EXPECT_EQ(a.flashing_text_colour, b.flashing_text_colour);
  EXPECT_EQ(a.disabled_colour, b.disabled_colour);
  EXPECT_EQ(a.disabled_text_colour, b.disabled_text_colour);
  EXPECT_EQ(a.underline_colour, b.underline_colour);
  EXPECT_EQ(a.visible, b.visible);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.extended_flags, b.extended_flags);
  EXPECT_EQ(a.size_flags, b.size_flags);
  EXPECT_EQ(a.shading_flags, b.shading_flags);
  EXPECT_EQ(a.font_id, b.font_id);
  EXPECT_EQ(a.font_x_sz, b.font_x_sz);
  EXPECT_EQ(a.font_y_sz, b.font_y_sz);
  EXPECT_EQ(a.border_left_gap, b.border_left_gap);
  EXPECT_EQ(a.border_right_gap, b.border_right_gap);
  EXPECT_EQ(a.border_top_gap, b.border_top_gap);
  EXPECT_EQ(a.border_bottom_gap, b.border_bottom_gap);
  EXPECT_EQ(a.cell_left_gap, b.cell_left_gap);
  EXPECT_EQ(a.cell_right_gap, b.cell_right_gap);
  EXPECT_EQ(a.cell_top_gap, b.cell_top_gap);
  EXPECT_EQ(a.cell_bottom_gap, b.cell_bottom_gap);
  EXPECT_EQ(a.x_spacing, b.x_spacing);
  EXPECT_EQ(a.y_spacing, b.y_spacing);
  EXPECT_EQ(a.scrollbar_button_width, b.scrollbar_button_width);
  EXPECT_EQ(a.scrollbar_slider_width, b.scrollbar_slider_width);
  EXPECT_EQ(a.grid_scrollbar_width, b.grid_scrollbar_width);
  EXPECT_EQ(a.grid_two_tone_value, b.grid_two_tone_value);
  EXPECT_STREQ(a.name ? a.name : "", b.name ? b.name : "");
  EXPECT_STREQ(a.image_filename ? a.image_filename : "", b.image_filename ? b.image_filename : "");
}

// A 4 x 4 opaque PNG picture.
void write_png(FOLDER* folder, const char* name) {
  IMAGE picture(4, 4);
  COLOUR red = 0xFFFF0000;
  picture.clear(&red, 1);
  DATA_FILE* file = open_data_file(folder, name, FILE_MODE_WRITE, 0, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(save_png(&picture, file));
  close_data_file(&file);
}

// A style with every field away from its default.
void fill_style(WM_STYLE_SET* s) {
  std::strcpy(s->image_path, "$APP/skin");
  s->shading_type = 7;
  COLOUR* colours[15] = {&s->fg_colour, &s->bg_colour, &s->fading_colour, &s->highlight_colour,
                         &s->highlight_text_colour, &s->active_colour, &s->active_text_colour,
                         &s->object_colour, &s->mouse_over_colour, &s->mouse_over_text_colour,
                         &s->flashing_colour, &s->flashing_text_colour, &s->disabled_colour,
                         &s->disabled_text_colour, &s->underline_colour};
  for (int i = 0; i < 15; i++) *colours[i] = 0x11223300u + (COLOUR)i;
  s->visible = 0;
  s->flags = 0x3FFFFF;
  s->extended_flags = 0x3FFFFFF;
  s->size_flags = 0x5A;
  s->shading_flags = 0x1234;
  s->font_id = 3;
  s->font_x_sz = 8;
  s->font_y_sz = 12;
  s->border_left_gap = 1;
  s->border_right_gap = 2;
  s->border_top_gap = 3;
  s->border_bottom_gap = 4;
  s->cell_left_gap = 5;
  s->cell_right_gap = 6;
  s->cell_top_gap = 7;
  s->cell_bottom_gap = 8;
  s->x_spacing = 9;
  s->y_spacing = 10;
  s->scrollbar_button_width = 11;
  s->scrollbar_slider_width = 12;
  s->grid_scrollbar_width = 13;
  s->grid_two_tone_value = -2;
  s->set_name("plain");
  s->set_image_filename("nothing_by_this_name");
}

TEST(StyleSet, DefaultsCopyAndHelpers) {
  WM_STYLE_SET s;
  EXPECT_EQ(s.fg_colour, 0xFFFFFFFFu);
  EXPECT_EQ(s.bg_colour, 0xFF000000u);
  EXPECT_EQ(s.flags, 5u);
  EXPECT_EQ(s.size_flags, 0xEE);
  EXPECT_EQ(s.shading_flags, 255);
  EXPECT_EQ(s.font_id, -1);
  EXPECT_EQ(s.grid_two_tone_value, 20);
  EXPECT_FALSE(s.has_frames());
  EXPECT_EQ(s.name, nullptr);

  s.set_name("n");
  s.set_image_filename("i");
  s.flags = 0;
  s.set_defaults();
  EXPECT_STREQ(s.name, "n");
  EXPECT_STREQ(s.image_filename, "i");
  EXPECT_EQ(s.flags, 5u);
  s.set_name("");
  EXPECT_EQ(s.name, nullptr);

  WM_STYLE_SET filled, copy;
  fill_style(&filled);
  EXPECT_EQ(WM_STYLE_SET::copy(&copy, &filled), &copy);
  expect_same_fields(copy, filled);
  EXPECT_EQ(copy.object_colour, filled.object_colour);
  EXPECT_NE(copy.name, filled.name);

  WM_STYLE_SET t;
  t.flags = ssf_left_justify_text | ssf_shadow_text | ssf_chiseled_text | ssf_top_align_text | ssf_bottom_align_text;
  EXPECT_EQ(t.text_flags(), 0x3D);

  t.size_flags = 0;
  t.border_left_gap = 10;
  t.border_right_gap = 6;
  t.border_top_gap = 4;
  t.border_bottom_gap = 2;
  t.font_x_sz = 8;
  t.font_y_sz = 12;
  t.scale(100, 50, 200, 50);
  EXPECT_EQ(t.border_left_gap, 20);
  EXPECT_EQ(t.border_right_gap, 12);
  EXPECT_EQ(t.border_top_gap, 4);
  EXPECT_EQ(t.border_bottom_gap, 2);
  EXPECT_EQ(t.font_x_sz, 16);
  EXPECT_EQ(t.font_y_sz, 12);
  t.size_flags = sssf_retain_width | sssf_retain_right_border;
  t.border_left_gap = 10;
  t.border_right_gap = 6;
  t.scale(100, 50, 120, 50);
  EXPECT_EQ(t.border_left_gap, 30);
  EXPECT_EQ(t.border_right_gap, 6);
  EXPECT_EQ(t.font_x_sz, 19);
  t.border_left_gap = 0;
  t.scale(100, 50, 120, 50);
  EXPECT_EQ(t.border_left_gap, 0);
  t.size_flags = 0xEE;
  t.border_left_gap = 30;
  t.scale(100, 50, 10, 5);
  EXPECT_EQ(t.border_left_gap, 30);
  EXPECT_EQ(t.font_x_sz, 22);
  EXPECT_EQ(t.font_y_sz, 12);
}

TEST(StyleSet, StateFramesComeFromTheCache) {
  // A skin folder with two single-image frames, "knob_up" and "knob_alt", cached before the frames
  // are looked for with find-only flags.
  FOLDER skin = scratch_folder("StateFrames");
  write_png(&skin, "knob_up.png");
  write_png(&skin, "knob_alt.png");
  char skin_text[FOLDER_PATH_SIZE];
  skin.get_portable_text(skin_text, nullptr);
  image_cache->clear();
  IMAGE* up = image_cache->get(skin_text, "knob_up", -1, -1, CACHE_DROP_ON_FAILURE);
  IMAGE* alt = image_cache->get(skin_text, "knob_alt", -1, -1, CACHE_DROP_ON_FAILURE);
  ASSERT_NE(up, nullptr);
  ASSERT_NE(alt, nullptr);
  INT_U8 old_flags = style_frame_cache_flags;
  style_frame_cache_flags = CACHE_FIND_ONLY;
  WM_STYLE_SET s;
  std::strcpy(s.image_path, skin_text);
  s.set_image_filename("knob");
  s.load_state_frames();
  EXPECT_TRUE(s.has_frames());
  ASSERT_NE(s.state_frames[1], nullptr);
  EXPECT_EQ(s.state_frames[1]->mid_mid, up);
  ASSERT_NE(s.state_frames[10], nullptr);
  EXPECT_EQ(s.state_frames[10]->mid_mid, alt);
  EXPECT_EQ(s.state_frames[0], nullptr);
  EXPECT_EQ(s.state_frames[2], nullptr);
  {
    WM_STYLE_SET copy;
    WM_STYLE_SET::copy(&copy, &s);
    ASSERT_NE(copy.state_frames[1], nullptr);
    EXPECT_NE(copy.state_frames[1], s.state_frames[1]);
    EXPECT_EQ(copy.state_frames[1]->mid_mid, up);
    EXPECT_EQ(image_cache->find_entry(up)->reference_count, 3);
  }
  EXPECT_EQ(image_cache->find_entry(up)->reference_count, 2);
  s.free_frames();
  EXPECT_EQ(image_cache->find_entry(up)->reference_count, 1);
  style_frame_cache_flags = old_flags;
  image_cache->release(image_cache->find_entry(up));
  image_cache->release(image_cache->find_entry(alt));
  image_cache->clear();
}

TEST(StyleSet, ScaleKeepsWhatItCannotDivide) {
  // {flags, old w, old h, new w, new h, gaps L R T B before, after, font x y before, after}
  struct CASE {
    INT_U8 flags;
    INT_S16 w, h, nw, nh;
    INT_S16 before[6], after[6];
  } cases[] = {
      // No flags, zero old sizes: the ratios would divide by 0, gaps and fonts stay.
      {0, 0, 0, 50, 50, {10, 6, 4, 2, 8, 12}, {10, 6, 4, 2, 8, 12}},
      // Retaining one border: W - R and H - B are 0.
      {sssf_retain_right_border | sssf_retain_bottom_border, 6, 2, 40, 40, {10, 6, 4, 2, 8, 12}, {10, 6, 4, 2, 53, 240}},
      {sssf_retain_left_border | sssf_retain_top_border, 10, 4, 40, 40, {10, 6, 4, 2, 8, 12}, {10, 6, 4, 2, 32, 120}},
      // Retaining the width (height) only with both gaps 0: L + R is 0.
      {sssf_retain_width | sssf_retain_height, 100, 50, 200, 80, {0, 0, 0, 0, 8, 12}, {0, 0, 0, 0, 16, 19}},
      // Results beyond 16 bits are held at the ends of the range instead of wrapping.
      {0, 1, 1, 32767, -32768, {32767, -32768, 1000, -1000, 32767, 2}, {32767, -32768, -32768, 32767, 32767, -32768}},
      {sssf_retain_width, 1, 50, 32767, 50, {-32768, 32767, 1, 1, -1, -1}, {32767, -32768, 1, 1, -32767, -1}},
      // The worked example: a bigger width, with and without the default flags.
      {0, 100, 50, 200, 50, {10, 6, 4, 2, 8, 12}, {20, 12, 4, 2, 16, 12}},
      {0xEE, 100, 50, 200, 50, {10, 6, 4, 2, 8, 12}, {10, 6, 4, 2, 8, 12}},
  };
  for (const CASE& c : cases) {
    WM_STYLE_SET t;
    t.size_flags = c.flags;
    INT_S16* fields[6] = {&t.border_left_gap, &t.border_right_gap, &t.border_top_gap, &t.border_bottom_gap,
                          &t.font_x_sz, &t.font_y_sz};
    for (int i = 0; i < 6; i++) *fields[i] = c.before[i];
    t.scale(c.w, c.h, c.nw, c.nh);
    for (int i = 0; i < 6; i++) EXPECT_EQ(*fields[i], c.after[i]) << "case " << (&c - cases) << " field " << i;
  }
}

TEST(StyleSet, StateFramesBySuffix) {
  FOLDER skin = scratch_folder("StateFramesBySuffix");
  char skin_text[FOLDER_PATH_SIZE];
  skin.get_portable_text(skin_text, nullptr);
  struct SLOT {
    int slot;
    const char* file;
  } present[] = {{0, "k"},        {1, "k_up"},       {10, "k_alternate"}, {11, "k_flashing"}, {13, "k_bg"},
                 {14, "k_empty"}, {15, "k_full"},    {16, "k_bar"},       {22, "k_slider_over"},
                 {30, "k_more_over"}};
  for (const SLOT& p : present) write_png(&skin, (std::string(p.file) + ".png").c_str());
  write_png(&skin, "k_alt.png");
  image_cache->clear();
  WM_STYLE_SET s;
  std::strcpy(s.image_path, skin_text);
  s.set_image_filename("k");
  s.load_state_frames();
  int filled = 0;
  for (int slot = 0; slot < STYLE_SET_FRAME_COUNT; slot++) filled += s.state_frames[slot] != nullptr;
  EXPECT_EQ(filled, 10);
  for (const SLOT& p : present) {
    ASSERT_NE(s.state_frames[p.slot], nullptr) << p.file;
    IMAGE_CACHE_ENTRY* entry = image_cache->find_entry(s.state_frames[p.slot]->mid_mid);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->file_name, p.file);  // "%s_alternate" wins over "%s_alt"
  }

  // An image name too long for a frame name loads nothing (no cut name is tried), yet counts as loaded.
  std::string overlong(300, 'k');
  s.set_image_filename(overlong.c_str());
  s.load_state_frames();
  EXPECT_TRUE(s.has_frames());
  for (int slot = 0; slot < STYLE_SET_FRAME_COUNT; slot++) EXPECT_EQ(s.state_frames[slot], nullptr) << slot;
  // A null image name leaves the frames alone.
  s.set_image_filename("k");
  s.load_state_frames();
  s.set_image_filename(nullptr);
  s.load_state_frames();
  EXPECT_NE(s.state_frames[1], nullptr);
  s.free_frames();
  EXPECT_FALSE(s.has_frames());
  image_cache->clear();
}

TEST(StyleSetRecord, GoldenBytesAndRoundTrip) {
  WM_STYLE_SET s;
  MEMORY_DEVICE device;
  ASSERT_TRUE(s.put_to_data_device(&device));
  EXPECT_EQ(device.bytes.size(), 2169u);
  EXPECT_EQ(device.bytes, default_record());

  WM_STYLE_SET filled;
  fill_style(&filled);
  MEMORY_DEVICE out;
  ASSERT_TRUE(filled.put_to_data_device(&out));
  // Texts: lengths and bytes without terminators, then the whole 2048-byte path field.
  EXPECT_EQ(out.bytes.size(), 2169u + 20 + 5);
  EXPECT_EQ(std::string(out.bytes.begin() + 8, out.bytes.begin() + 28), "nothing_by_this_name");
  EXPECT_EQ(out.bytes[28], 5);
  EXPECT_EQ(std::string(out.bytes.begin() + 32, out.bytes.begin() + 37), "plain");
  EXPECT_EQ(std::string((const char*)&out.bytes[37]), "$APP/skin");

  out.position = 0;
  WM_STYLE_SET back;
  ASSERT_TRUE(back.get_from_data_device(&out));
  expect_same_fields(back, filled);
  EXPECT_EQ(back.object_colour, filled.object_colour);
  EXPECT_TRUE(back.has_frames());  // loading ran (nothing found)
  EXPECT_EQ(out.position, out.bytes.size());
}

TEST(StyleSetRecord, SwappedByteOrder) {
  WM_STYLE_SET filled;
  fill_style(&filled);
  MEMORY_DEVICE device;
  device.swap_bytes = 1;
  ASSERT_TRUE(filled.put_to_data_device(&device));
  ASSERT_GE(device.bytes.size(), 4u);
  EXPECT_EQ(device.bytes[0], 0);
  EXPECT_EQ(device.bytes[3], 9);
  device.position = 0;
  WM_STYLE_SET back;
  ASSERT_TRUE(back.get_from_data_device(&device));
  expect_same_fields(back, filled);
}

TEST(StyleSetRecord, OlderVersions) {
  // Version 1: the path as a folder record, eight colours and the size flags absent.
  BYTES e;
  e.u32(1);
  e.text("img");
  e.u32(0);
  e.u8(0xFF);  // portable folder text
  std::vector<INT_U8> path(2048, 0);
  std::memcpy(path.data(), "$APP", 4);
  e.b.insert(e.b.end(), path.begin(), path.end());
  e.u32(3);  // shading type
  for (int i = 0; i < 7; i++) e.u32(0xA0000000u + i);  // fg, bg, fading, highlight, highlight text, active, object
  e.u8(1);
  e.u32(0x41);
  e.u32(0x2);
  e.u16(0x0F);
  e.u8(2);
  for (int i = 0; i < 16; i++) e.u16((INT_U16)(100 + i));
  WM_STYLE_SET s;
  s.mouse_over_colour = s.underline_colour = s.disabled_colour = 0x12345678;
  s.size_flags = 0;
  MEMORY_DEVICE device(e.b);
  ASSERT_TRUE(s.get_from_data_device(&device));
  EXPECT_EQ(device.position, e.b.size());
  EXPECT_STREQ(s.image_filename, "img");
  EXPECT_STREQ(s.image_path, "$APP");
  EXPECT_EQ(s.shading_type, 3u);
  EXPECT_EQ(s.active_colour, 0xA0000005u);
  EXPECT_EQ(s.object_colour, 0xA0000006u);
  EXPECT_EQ(s.active_text_colour, 0u);
  EXPECT_EQ(s.mouse_over_colour, 0u);
  EXPECT_EQ(s.mouse_over_text_colour, 0u);
  EXPECT_EQ(s.flashing_colour, 0u);
  EXPECT_EQ(s.flashing_text_colour, 0u);
  EXPECT_EQ(s.underline_colour, 0u);
  EXPECT_EQ(s.disabled_colour, 0u);
  EXPECT_EQ(s.size_flags, 0xEE);
  EXPECT_EQ(s.flags, 0x41u);
  EXPECT_EQ(s.font_id, 2);
  EXPECT_EQ(s.grid_two_tone_value, 115);

  // A version above 9 reads as 9.
  std::vector<INT_U8> v12 = default_record();
  v12[0] = 12;
  MEMORY_DEVICE d12(v12);
  WM_STYLE_SET t;
  ASSERT_TRUE(t.get_from_data_device(&d12));
  EXPECT_EQ(d12.position, v12.size());
}

std::vector<INT_U8> record_of(WM_STYLE_SET* style) {
  MEMORY_DEVICE device;
  style->put_to_data_device(&device);
  return device.bytes;
}

TEST(StyleSetRecord, DamagedRecordsKeepWhatWasRead) {
  // The record of a default style named "look" with the image "knob"; the style read into has every
  // field elsewhere, a name, an image name and its frames loaded.
  WM_STYLE_SET stored;
  stored.set_name("look");
  stored.set_image_filename("knob");
  std::vector<INT_U8> named = record_of(&stored);
  ASSERT_EQ(named.size(), 2169u + 8u);
  WM_STYLE_SET before;
  fill_style(&before);
  before.load_state_frames();
  std::vector<INT_U8> old_record = record_of(&before);
  auto read_cut = [&](size_t n, WM_STYLE_SET* t) {
    std::vector<INT_U8> part(named.begin(), named.begin() + (long)n);
    MEMORY_DEVICE p(part);
    WM_STYLE_SET::copy(t, &before);
    set_error(DATA_ERROR_NONE, "");
    EXPECT_FALSE(t->get_from_data_device(&p)) << n;
    EXPECT_EQ(get_error_code(), DATA_ERROR_READ) << n;
    EXPECT_TRUE(p.failed) << n;
    EXPECT_TRUE(t->has_frames()) << n;  // frames are loaded only by a whole record
  };
  // Without a whole version nothing changes; once it is read both texts go, and each comes back when
  // its bytes are read.
  WM_STYLE_SET t;
  read_cut(3, &t);
  EXPECT_EQ(record_of(&t), old_record);
  read_cut(10, &t);
  EXPECT_EQ(t.image_filename, nullptr);
  EXPECT_EQ(t.name, nullptr);
  read_cut(16, &t);
  EXPECT_STREQ(t.image_filename, "knob");
  EXPECT_EQ(t.name, nullptr);
  // Cut after the name, or anywhere later: the fields read until the cut are the record's, the field
  // it cuts and the ones after it are as they were.
  std::vector<size_t> ends = {20, 20 + 2048};
  for (int i = 0; i < 16; i++) ends.push_back(ends.back() + 4);  // shading type, fifteen colours
  for (size_t size : {1, 4, 4, 1, 2, 1}) ends.push_back(ends.back() + size);
  for (int i = 0; i < 16; i++) ends.push_back(ends.back() + 2);
  ASSERT_EQ(ends.back(), named.size());
  std::vector<INT_U8> expected(named.begin(), named.begin() + 20);  // "before" named as read
  expected.insert(expected.end(), old_record.begin() + 12 + (long)std::strlen("nothing_by_this_name") + 5,
                  old_record.end());
  ASSERT_EQ(expected.size(), named.size());
  size_t whole = 0;
  for (size_t n = 20; n < named.size(); n++) {
    while (whole + 1 < ends.size() && ends[whole + 1] <= n) whole++;
    read_cut(n, &t);
    std::vector<INT_U8> want(named.begin(), named.begin() + (long)ends[whole]);
    want.insert(want.end(), expected.begin() + (long)ends[whole], expected.end());
    ASSERT_EQ(record_of(&t), want) << "cut at " << n;
  }
  // A text length beyond the data is refused before anything is allocated; the text is left null.
  std::vector<INT_U8> record = default_record();
  std::vector<INT_U8> huge = record;
  huge[4] = 0xF0;
  huge[5] = 0xFF;
  huge[6] = 0xFF;
  huge[7] = 0x7F;
  MEMORY_DEVICE h(huge);
  WM_STYLE_SET u;
  u.set_image_filename("gone");
  EXPECT_FALSE(u.get_from_data_device(&h));
  EXPECT_EQ(u.image_filename, nullptr);
  EXPECT_EQ(h.position, 8u);
  // The same for the name's length, and for a length just one byte beyond what is left.
  std::vector<INT_U8> over = record;
  INT_U32 left = (INT_U32)record.size() - 12 + 1;
  std::memcpy(&over[8], &left, 4);
  MEMORY_DEVICE o(over);
  u.set_name("gone");
  EXPECT_FALSE(u.get_from_data_device(&o));
  EXPECT_EQ(u.name, nullptr);
  EXPECT_EQ(o.position, 12u);

  // A path field without a zero is ended by one: the text is the first 2047 bytes.
  std::vector<INT_U8> full = record;
  std::memcpy(&full[12], "$APP/", 5);
  std::fill(full.begin() + 17, full.begin() + 12 + 2048, 'p');
  MEMORY_DEVICE f(full);
  WM_STYLE_SET w;
  ASSERT_TRUE(w.get_from_data_device(&f));
  EXPECT_EQ(std::strlen(w.image_path), 2047u);
  EXPECT_EQ(f.position, full.size());

  // An image folder naming a path variable unknown here is dropped, not resolved (which would end the
  // program); the frames are then looked for without a folder.
  std::vector<INT_U8> unknown = record;
  unknown[4] = 1;
  unknown.insert(unknown.begin() + 8, 'k');
  std::memcpy(&unknown[12 + 1], "$NOSUCH/skin", 12);
  MEMORY_DEVICE n(unknown);
  WM_STYLE_SET v;
  ASSERT_TRUE(v.get_from_data_device(&n));
  EXPECT_STREQ(v.image_path, "");
  EXPECT_STREQ(v.image_filename, "k");
}

// --- text form ---

struct STYLE_TEXT_FILE : ::testing::Test {
  std::string path;
  FOLDER folder;
  CONFIG_FILE file;
  void SetUp() override {
    folder = scratch_folder(::testing::UnitTest::GetInstance()->current_test_info()->name(), &path);
    file.init("style.ss", false);
  }
  void write(const std::string& text) { write_whole_file(path + "style.ss", std::vector<INT_U8>(text.begin(), text.end())); }
  // The file's text with the host's line ends (CR LF on Windows) read as LF.
  std::string read() {
    std::vector<INT_U8> b = read_whole_file(path + "style.ss");
    std::string text;
    for (INT_U8 c : b)
      if (c != '\r') text += (char)c;
    return text;
  }
};

// The required keys of a minimal text file.
std::string required_keys(const std::string& extra) {
  std::string t = "name\nplain\nimage_filename\n\nimage_path\n$APP\nshading_type\n3\n";
  const char* colours[6] = {"fg_colour", "bg_colour", "fading_colour", "highlight_colour", "highlight_text_colour",
                            "active_colour"};
  for (const char* c : colours) t += std::string(c) + "\n#FF102030\n";
  t += "visible\n1\nshading_flags\n15\nfont_id\n-1\nfont_x_sz\n-1\nfont_y_sz\n-1\n";
  const char* sizes[14] = {"border_left_gap", "border_right_gap", "border_top_gap", "border_bottom_gap",
                           "cell_left_gap", "cell_right_gap", "cell_top_gap", "cell_bottom_gap", "x_spacing",
                           "y_spacing", "scrollbar_button_width", "scrollbar_slider_width",
                           "grid_scrollbar_width", "grid_two_tone_value"};
  for (const char* s : sizes) t += std::string(s) + "\n2\n";
  return t + extra;
}

TEST_F(STYLE_TEXT_FILE, RoundTripWritesEveryKey) {
  WM_STYLE_SET s;
  fill_style(&s);
  FOLDER skin_folder = folder;
  ASSERT_TRUE(skin_folder.enter("skin", true));
  skin_folder.get_portable_text(s.image_path, nullptr);
  ASSERT_TRUE(s.write_text(&file, nullptr, nullptr, &folder));
  std::string text = read();
  // 94 entries of two lines each.
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 188u);
  // Values stand on their own lines after a tab.
  EXPECT_NE(text.find("image_path\n\t$HERE/skin"), std::string::npos);
  EXPECT_NE(text.find("fg_colour\n\t#11223300\n"), std::string::npos);
  EXPECT_NE(text.find("font_id\n\t3\n"), std::string::npos);
  EXPECT_NE(text.find("ssef_auto_actiavte\n\t1\n"), std::string::npos);
  EXPECT_NE(text.find("ssf_right_justify_text\n\t1\nssf_top_align_text\n\t1\nssf_bottom_align_text\n\t1\n"
                      "ssf_use_text"),
            std::string::npos);
  EXPECT_NE(text.find("ssef_grid_only_draw_used_lines\n\t1\nssef_grid_dont_shorten_scrollbar\n\t1\nssef_pb_only"),
            std::string::npos);
  EXPECT_EQ(text.find("object_colour"), std::string::npos);
  EXPECT_EQ(text.find("drawing_flags"), std::string::npos);

  WM_STYLE_SET back;
  ASSERT_TRUE(back.read_text(&file, nullptr, nullptr, &folder));
  COLOUR object = back.object_colour;
  expect_same_fields(back, s);
  EXPECT_EQ(object, 0u);  // no key: left as it was

  // Written again with the same folder, the image folder is again "$HERE/skin".
  CONFIG_FILE again;
  again.init("again.ss", false);
  ASSERT_TRUE(back.write_text(&again, nullptr, nullptr, &folder));
  std::vector<INT_U8> b = read_whole_file(path + "again.ss");
  EXPECT_EQ(b, read_whole_file(path + "style.ss"));
}

TEST_F(STYLE_TEXT_FILE, FlagKeysAndOptionalKeys) {
  write(required_keys("drawing_flags\n65537\n"));
  WM_STYLE_SET s;
  s.underline_colour = 0xFFFFFFFF;
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.flags, 1u);
  EXPECT_EQ(s.extended_flags, 1u);
  EXPECT_EQ(s.underline_colour, 0u);
  EXPECT_EQ(s.fg_colour, 0xFF102030u);
  EXPECT_EQ(s.shading_flags, 15);
  EXPECT_EQ(s.image_filename, nullptr);

  write(required_keys("drawing_flags\n65537\nssef_invert_vfading_on_press\n0\n"));
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.extended_flags, 0u);

  write(required_keys("ssf_grid_two_tone\n1\n"));
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.extended_flags, (INT_U32)ssef_grid_two_tone);
  write(required_keys("ssf_grid_two_tone\n1\nssef_grid_two_tone\n0\n"));
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.extended_flags, 0u);

  write(required_keys("ssf_wrap_text\n256\nssf_hfading\n-1\nsssf_retain_width\n1\n"));
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.flags, (INT_U32)ssf_hfading);
  EXPECT_EQ(s.size_flags, 0xEF);

  write(required_keys("font_name\nDejaVu\n"));
  auto font_for = [](const char* name, void*) -> int { return std::strcmp(name, "DejaVu") == 0 ? 7 : -1; };
  ASSERT_TRUE(s.read_text(&file, font_for, nullptr, &folder));
  EXPECT_EQ(s.font_id, 7);
}

TEST_F(STYLE_TEXT_FILE, UnknownPathVariableIsDropped) {
  for (const char* path : {"$NOSUCH/skin", "$HEREX/skin"}) {
    std::string text = required_keys("");
    text.replace(text.find("image_path\n$APP\n"), 16, std::string("image_path\n") + path + "\n");
    write(text);
    WM_STYLE_SET s;
    std::strcpy(s.image_path, "$APP/old");
    ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder)) << path;
    EXPECT_STREQ(s.image_path, "") << path;
  }
}

TEST_F(STYLE_TEXT_FILE, MissingRequiredKeyKeepsWhatWasRead) {
  std::string complete = required_keys("ssf_wrap_text\n1\n");
  complete.replace(complete.find("image_filename\n\n"), 16, "image_filename\nknob\n");
  WM_STYLE_SET before;
  fill_style(&before);
  // Each required key left out in turn, and the file cut short before "visible": false with the missing
  // key's warning; the name was taken and the three flag words cleared first.
  auto without = [&](const std::string& key) {
    std::string text = complete;
    size_t at = text.find(key + "\n");
    text.erase(at, text.find('\n', text.find('\n', at) + 1) + 1 - at);
    return text;
  };
  auto read_damaged = [&](const std::string& text, WM_STYLE_SET* s) {
    write(text);
    WM_STYLE_SET::copy(s, &before);
    EXPECT_FALSE(s->read_text(&file, nullptr, nullptr, &folder)) << text;
    EXPECT_EQ(get_error_code(), DATA_ERROR_CONFIG_ENTRY_NOT_FOUND) << text;
    EXPECT_STREQ(s->name, "plain");
    EXPECT_EQ(s->flags, 0u);
    EXPECT_EQ(s->extended_flags, 0u);
    EXPECT_EQ(s->size_flags, 0xEE);
  };
  for (const char* key : {"image_filename", "image_path", "shading_type", "fg_colour", "active_colour", "visible",
                          "shading_flags", "font_id", "font_x_sz", "font_y_sz", "border_left_gap",
                          "cell_bottom_gap", "grid_two_tone_value"}) {
    WM_STYLE_SET s;
    read_damaged(without(key), &s);
  }
  // Without "image_filename": nothing after the name is taken, no frames loaded.
  WM_STYLE_SET s;
  read_damaged(without("image_filename"), &s);
  EXPECT_STREQ(s.image_filename, "nothing_by_this_name");
  EXPECT_STREQ(s.image_path, "$APP/skin");
  EXPECT_EQ(s.shading_type, 7u);
  EXPECT_FALSE(s.has_frames());
  // Without "shading_type": the image file name and folder are taken and the frames loaded; the
  // shading type and the colours are as they were.
  read_damaged(without("shading_type"), &s);
  EXPECT_STREQ(s.image_filename, "knob");
  EXPECT_STREQ(s.image_path, "$APP");
  EXPECT_TRUE(s.has_frames());
  EXPECT_EQ(s.shading_type, 7u);
  EXPECT_EQ(s.fg_colour, 0x11223300u);
  EXPECT_EQ(s.underline_colour, 0x1122330Eu);
  // Cut before "visible": the colours are taken, the optional ones missing are invisible, and the
  // fields from "visible" on are as they were.
  read_damaged(complete.substr(0, complete.find("visible")), &s);
  EXPECT_EQ(s.shading_type, 3u);
  EXPECT_EQ(s.active_colour, 0xFF102030u);
  EXPECT_EQ(s.underline_colour, 0u);
  EXPECT_EQ(s.object_colour, before.object_colour);  // no key names it
  EXPECT_EQ(s.visible, 0);
  EXPECT_EQ(s.shading_flags, 0x1234);
  EXPECT_EQ(s.font_id, 3);
  EXPECT_EQ(s.grid_two_tone_value, -2);

  // A file that is not there at all is no style file: its open error, nothing changed.
  CONFIG_FILE missing;
  missing.init("missing.ss", false);
  WM_STYLE_SET::copy(&s, &before);
  EXPECT_FALSE(s.read_text(&missing, nullptr, nullptr, &folder));
  EXPECT_EQ(get_error_code(), DATA_ERROR_CONFIG_OPEN);
  expect_same_fields(s, before);

  // The complete file reads, clearing the flags it does not name and loading the frames.
  write(complete);
  ASSERT_TRUE(s.read_text(&file, nullptr, nullptr, &folder));
  EXPECT_EQ(s.flags, (INT_U32)ssf_wrap_text);
  EXPECT_EQ(s.extended_flags, 0u);
  EXPECT_EQ(s.size_flags, 0xEE);
  EXPECT_STREQ(s.image_filename, "knob");
  EXPECT_TRUE(s.has_frames());
}

}  // namespace
