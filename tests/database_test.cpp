// Tests of the installation database: defaults and reset, stage rules, names, the stored form written
// as version 14 (golden bytes against an independent builder), every older version read, and damaged,
// truncated and unusable streams refused with the data error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "button.h"
#include "data_file.h"
#include "database.h"
#include "dialog.h"
#include "errors.h"
#include "folder.h"
#include "image_cache.h"
#include "package.h"
#include "style_set.h"
#include "test_support.h"

namespace {

// Little-endian builder of expected streams, independent of the database's writer.
struct BYTES {
  std::vector<INT_U8> b;
  void u8(INT_U8 v) { b.push_back(v); }
  void u16(INT_U16 v) { u8(v & 0xFF); u8(v >> 8); }
  void s16(INT_S16 v) { u16((INT_U16)v); }
  void u32(INT_U32 v) { u16(v & 0xFFFF); u16(v >> 16); }
  void text(const std::string& s) { u32((INT_U32)s.size()); b.insert(b.end(), s.begin(), s.end()); }
  void add(const std::vector<INT_U8>& v) { b.insert(b.end(), v.begin(), v.end()); }
};

std::vector<INT_U8> empty_image() {
  std::vector<INT_U8> v = {'v', 'e', 'l', 'k', 'r', 'a', 'w', 'i', 'm', 'g', 1, 0, 0, 0, 0};
  return v;
}

std::vector<INT_U8> style_record(INT_U32 shading_type) {
  WM_STYLE_SET s;
  s.shading_type = shading_type;
  MEMORY_DEVICE d;
  s.put_to_data_device(&d);
  return d.bytes;
}

// What a test stream holds besides its version.
struct CONTENT {
  std::string default_language = "Deutsch";
  int installations = 2;
  std::vector<std::pair<std::string, std::string>> languages = {{"English", "English"}, {"Deutsch", "Deutsch"}};
  int clients = 1;
  std::string installation_name = "Full";
  std::string default_path_variable = "$ROOT0";
};

// Member style sets carry shading type 100 + member number, global ones 200 + their number, so that
// the order is visible.
std::vector<INT_U8> build_stream(INT_U8 v, const CONTENT& c = CONTENT()) {
  static const int order[14] = {7, 8, 9, 10, 11, 12, 13, 1, 6, 4, 5, 0, 2, 3};
  BYTES e;
  e.u8(v);
  e.u8(2);
  e.u32(0);  // empty image cache
  e.add(empty_image());
  if (v >= 10) e.u32(77);
  e.u8(1);
  if (v >= 2) e.u8(0);
  if (v >= 3) e.u8(0);
  e.u32(0x20000);
  e.text(c.default_language);
  e.s16(640);
  e.s16(480);
  e.u8(1);
  e.u8(1);
  for (INT_S16 x : {10, 20, 300, 250, 7}) e.s16(x);
  if (v >= 4) {
    e.u8(0);
    for (INT_S16 x : {1, 2, 3, 4}) e.s16(x);
    e.u8(0);
    for (INT_S16 x : {5, 6, 7, 8}) e.s16(x);
    e.u8(0);
    for (INT_S16 x : {9, 10, 11, 12}) e.s16(x);
    e.u8(1);
    e.u8(0);
    for (INT_S16 x : {13, 14, 15, 16}) e.s16(x);
    e.u8(0);
  } else {
    for (INT_S16 x : {33, 34, 35, 36}) e.s16(x);
  }
  e.text("bgpath");
  e.text("bg.png");
  e.u32(900);
  e.s16(800);
  e.s16(600);
  e.s16(50);
  e.text("log");
  e.text("syslog");
  if (v >= 13) {
    e.text("patch");
    e.text("syspatch");
    e.u8(1);
  }
  for (int i = 0; i < 14; i++) e.add(style_record(100 + order[i]));
  for (int i = 0; i < 24; i++) e.add(empty_image());
  for (int i = 0; i < 4; i++) e.add(style_record(200 + i));
  if (v >= 4) {
    e.u16(0x0003);
    e.u32(111);
    e.u32(222);
    e.u8(99);
  }
  if (v >= 5) {
    e.u16(1);
    e.u16(2);
    e.u16(3);
  }
  e.text("1.2");
  e.u32(42);
  e.text("app");
  if (v >= 8) e.u32(123456);
  if (v >= 9) {
    e.s16(1024);
    e.s16(768);
  }
  e.s16((INT_S16)c.installations);
  for (int i = 0; i < c.installations; i++) {
    e.text(c.installation_name + std::to_string(i));
    e.u8(1);
    if (v >= 7) e.text(c.default_path_variable + "/prog" + std::to_string(i));
    e.s16(1);  // one file
    e.text("a.txt");
    e.text("src");
    e.text("dest");
    e.u8(33);
    e.text("");
    e.text("sysdest");
    e.u8(1);
    if (v >= 8) e.u8(2);
    e.text("packed" + std::to_string(i));
    e.s16(1);  // one item
    e.u8(1);
    e.text("prog");
    e.text("link");
    e.text("");
    e.u8(0);
    for (const char* t : {"args", "extra", "sysextra", "xname", "ppath", "sysppath"}) e.text(t);
    if (v >= 9)
      for (const char* t : {"uname", "ufile", "upath", "usys"}) e.text(t);
  }
  e.s16((INT_S16)c.languages.size());
  for (const auto& language : c.languages) {
    e.text(language.first);  // LANGUAGE_TITLE
    if (v >= 6) e.text(language.second);
    for (int t = 0; t < LANGUAGE_TEXT_COUNT; t++) {
      int from = (t == 37 || t == 38) ? 3 : (t == 53 || t == 54) ? 9 : t == 55 ? 14 : 1;
      if (v >= from) e.text(language.first + ":" + language_text_name(t));
    }
    for (int i = 0; i < c.installations; i++) e.text(language.first + " inst " + std::to_string(i));
    for (const char* t : {"lpath", "lfile", "rpath", "rfile"}) e.text(t);
    e.s16(12);
  }
  if (v >= 11) e.text("$APP/skin");
  if (v >= 12) {
    e.s16((INT_S16)c.clients);
    for (int i = 0; i < c.clients; i++) {
      e.u8(33);
      e.u8(0xFF);
      std::vector<INT_U8> path(2048, 0);
      std::memcpy(path.data(), "$APP", 4);
      e.add(path);
      e.text("client.exe");
      e.text("dest.exe");
      e.u8(1);
    }
  }
  if (v >= 15) {
    e.text("0123456789abcdef0123456789abcdef");
    e.text("fedcba9876543210fedcba9876543210");
  }
  return e.b;
}

// The version-15 content of build_stream, filled in by hand.
void fill_database(DATABASE* d) {
  d->settings_number = 77;
  d->show_frame_rate = 1;
  d->show_filenames = 0;
  d->show_filepaths = 0;
  d->file_cache_sz = 0x20000;
  std::strcpy(d->default_language_name, "Deutsch");
  d->WINDOW.width = 640;
  d->WINDOW.height = 480;
  d->WINDOW.fullscreen = 1;
  d->WINDOW.show_bg_title = 1;
  d->DIALOG.x = 10;
  d->DIALOG.y = 20;
  d->DIALOG.width = 300;
  d->DIALOG.height = 250;
  d->DIALOG.button_gap = 7;
  d->DIALOG.can_drag = 0;
  d->EXIT = {1, 2, 3, 4, 0};
  d->ERROR = {5, 6, 7, 8, 0};
  d->FILE_SELECT = {9, 10, 11, 12, 1, 0};
  d->ABOUT = {13, 14, 15, 16, 0};
  std::strcpy(d->BACKGROUND.path, "bgpath");
  std::strcpy(d->BACKGROUND.filename, "bg.png");
  d->BACKGROUND.speed = 900;
  d->BACKGROUND.width = 800;
  d->BACKGROUND.height = 600;
  d->BACKGROUND.start_offset_ms = 50;
  std::strcpy(d->LOG.dest_path_from_inst_loc, "log");
  std::strcpy(d->LOG.system_dest_path_from_inst_loc, "syslog");
  std::strcpy(d->PATCH.dest_path_from_inst_loc, "patch");
  std::strcpy(d->PATCH.system_dest_path_from_inst_loc, "syspatch");
  d->PATCH.do_check = 1;
  for (int i = 0; i < DATABASE::STYLE_COUNT; i++) {
    d->style_set(i)->set_defaults();
    d->style_set(i)->shading_type = 100 + i;
  }
  adjust_default_styles();
  WM_STYLE_SET* globals[4] = {default_dialog_window_style, default_dialog_title_style, default_dialog_button_style,
                              button_hint_style};
  for (int i = 0; i < 4; i++) {
    globals[i]->set_defaults();
    globals[i]->shading_type = 200 + i;
  }
  default_dialog_effects = {3, 111, 222, 99};
  d->progress_bar_animation_x_rate = 1;
  d->progress_bar_animation_y_rate = 2;
  d->progress_bar_animation_update_rate = 3;
  std::strcpy(d->APPLICATION.version, "1.2");
  d->APPLICATION.build_number = 42;
  std::strcpy(d->APPLICATION.app_string, "app");
  d->time_stamp = 123456;
  d->CHECK_DESKTOP_SIZE.width = 1024;
  d->CHECK_DESKTOP_SIZE.height = 768;

  d->installations = new INSTALLATION[2]();
  d->installation_count = 2;
  for (int i = 0; i < 2; i++) {
    INSTALLATION& n = d->installations[i];
    std::snprintf(n.name, sizeof n.name, "Full%d", i);
    std::snprintf(n.default_path, sizeof n.default_path, "$ROOT0/prog%d", i);
    n.allow_system_paths = 1;
    n.files = new INSTALLATION_FILE[1]();
    n.file_count = 1;
    INSTALLATION_FILE& f = n.files[0];
    std::strcpy(f.src_name, "a.txt");
    std::strcpy(f.src_path_from_xml, "src");
    std::strcpy(f.dest_path_from_inst_loc, "dest");
    f.platform = 33;
    std::strcpy(f.system_dest_path_from_inst_loc, "sysdest");
    f.stamp = 1;
    f.overwrite = 2;
    std::snprintf(f.packed_name, sizeof f.packed_name, "packed%d", i);
    n.items = new INSTALLATION_ITEM[1]();
    n.item_count = 1;
    INSTALLATION_ITEM& t = n.items[0];
    t.type = 1;
    std::strcpy(t.program_name, "prog");
    std::strcpy(t.link_name, "link");
    std::strcpy(t.arguments, "args");
    std::strcpy(t.extra_path_from_inst_loc, "extra");
    std::strcpy(t.system_extra_path_from_inst_loc, "sysextra");
    std::strcpy(t.extra_name, "xname");
    std::strcpy(t.program_path_from_inst_loc, "ppath");
    std::strcpy(t.system_program_path_from_inst_loc, "sysppath");
    std::strcpy(n.uninstaller_name, "uname");
    std::strcpy(n.uninstaller_filename, "ufile");
    std::strcpy(n.uninstaller_path, "upath");
    std::strcpy(n.uninstaller_syspath, "usys");
  }
  const char* names[2] = {"English", "Deutsch"};
  d->languages = new LANGUAGE[2]();
  d->language_count = 2;
  for (int l = 0; l < 2; l++) {
    LANGUAGE& g = d->languages[l];
    std::strcpy(g.name, names[l]);
    std::strcpy(g.LANGUAGE_TITLE, names[l]);
    for (int t = 0; t < LANGUAGE_TEXT_COUNT; t++)
      std::snprintf(language_text(&g, t), DATABASE_TEXT_SIZE, "%s:%s", names[l], language_text_name(t));
    g.installation_strings = new DATABASE_TEXT[2]();
    g.installation_string_count = 2;
    for (int i = 0; i < 2; i++)
      std::snprintf(g.installation_strings[i], DATABASE_TEXT_SIZE, "%s inst %d", names[l], i);
    std::strcpy(g.LICENCE.path, "lpath");
    std::strcpy(g.LICENCE.filename, "lfile");
    std::strcpy(g.README.path, "rpath");
    std::strcpy(g.README.filename, "rfile");
    g.README.lines = 12;
  }
  std::strcpy(d->SKIN.path, "$APP/skin");
  d->installer_clients = new INSTALLER_CLIENT*[1];
  d->installer_clients[0] = new INSTALLER_CLIENT();
  d->installer_client_count = 1;
  INSTALLER_CLIENT* client = d->installer_clients[0];
  client->platform = 33;
  client->path.set("$APP");
  client->filename.assign("client.exe");
  client->destname.assign("dest.exe");
  client->compress_data = 1;
  std::strcpy(d->version_identity, "0123456789abcdef0123456789abcdef");
  std::strcpy(d->updated_version, "fedcba9876543210fedcba9876543210");
}

class Database : public ::testing::Test {
protected:
  std::string scratch;
  void SetUp() override {
    scratch = make_scratch_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
#ifndef _WIN32
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "HOME"})
      setenv(name, (scratch + name).c_str(), 1);
    setenv("TMPDIR", scratch.c_str(), 1);
#endif
    reset_skin_globals();
  }
  void TearDown() override { stop_global_style_sets(); }

  // Reads bytes into d; the device is checked to have been read to its end on success.
  bool read(DATABASE* d, const std::vector<INT_U8>& bytes) {
    MEMORY_DEVICE device(bytes);
    bool ok = d->get_from_data_device(&device);
    if (ok) {
      EXPECT_EQ(device.position, bytes.size());
    }
    return ok;
  }
};

TEST_F(Database, FreshAndCleared) {
  DATABASE d;
  EXPECT_EQ(d.installation_count, 0);
  EXPECT_EQ(d.language_count, 0);
  EXPECT_EQ(d.installer_client_count, 0);
  EXPECT_EQ(d.installations, nullptr);
  EXPECT_EQ(d.stage, 2);
  EXPECT_STREQ(d.install_path, "$ROOT0");
  EXPECT_EQ(d.use_system_paths, 1);
  EXPECT_EQ(d.desktop_shortcut, 1);
  EXPECT_EQ(d.menu_shortcut, 1);
  EXPECT_STREQ(d.xml_name.text, "installer.xml");
  EXPECT_EQ(d.DIALOG.x, 0);
  EXPECT_EQ(d.DIALOG.y, 0);
  EXPECT_EQ(d.file_cache_sz, 0x100000u);
  EXPECT_EQ(d.ERROR.width, 400);
  EXPECT_EQ(d.FILE_SELECT.can_drag, 1);
  EXPECT_EQ(d.BACKGROUND.speed, 600);
  EXPECT_EQ(d.CHECK_DESKTOP_SIZE.width, -1);
  EXPECT_EQ(d.package, nullptr);
  EXPECT_EQ(d.options_alt_style.fg_colour, 0u);
  EXPECT_EQ(d.options_alt_style.flags, 0u);
  EXPECT_EQ(d.options_alt_style.shading_flags, 0);
  EXPECT_EQ(d.title_style.flags, 5u);
  EXPECT_EQ(d.get_current_language(), nullptr);
  EXPECT_GT(d.time_stamp, 1500000000u);
  EXPECT_STREQ(DATABASE::icon_name(DATABASE::disk_cdrom_icon), "disk-cdrom");
  EXPECT_STREQ(DATABASE::icon_name(DATABASE::folder_icon), "folder");
  EXPECT_EQ(DATABASE::icon_name(24), nullptr);

  fill_database(&d);
  d.attached_package = 1;
  d.platform_filter = 33;
  d.stage = 7;
  d.clear();
  EXPECT_EQ(d.installations, nullptr);
  EXPECT_EQ(d.languages, nullptr);
  EXPECT_EQ(d.installer_clients, nullptr);
  EXPECT_EQ(d.DIALOG.x, 10);  // kept
  EXPECT_EQ(d.DIALOG.can_drag, 1);
  EXPECT_EQ(d.attached_package, 1);
  EXPECT_EQ(d.platform_filter, 33);
  EXPECT_EQ(d.progress_bar_animation_x_rate, 1);
  EXPECT_EQ(d.stage, 2);
  EXPECT_EQ(d.title_style.shading_type, 1u);
  EXPECT_STREQ(d.SKIN.path, "");

  // The host's description is the host's after every clear, its capability flags as the whole record
  // has them; a change made to it holds until then.
  EXPECT_EQ(d.system_capabilities().has_system_paths, 1);
  EXPECT_EQ(d.system_info().has_system_paths, 1);
  d.system_info().has_system_paths = 0;
  EXPECT_EQ(d.system_capabilities().has_system_paths, 0);
  d.clear();
  EXPECT_EQ(d.system_capabilities().has_system_paths, 1);
  EXPECT_EQ(d.system_capabilities().has_desktop_shortcuts, 1);
  EXPECT_EQ(d.system_capabilities().has_menu_shortcuts, 1);
  EXPECT_EQ(d.system_capabilities().platform, 0x21);
  EXPECT_EQ(d.system_info().os_code, d.system_capabilities().os_code);
}

TEST_F(Database, Names) {
  EXPECT_EQ(platform_from_name("WIN32"), 33);
  EXPECT_EQ(platform_from_name("Linux_i86"), 1);
  EXPECT_EQ(platform_from_name("nds"), 132);
  EXPECT_EQ(platform_from_name("amiga"), 0);
  EXPECT_EQ(platform_from_name(nullptr), 0);
  EXPECT_STREQ(platform_name(17), "macosx");
  EXPECT_STREQ(platform_name(0), "");
  EXPECT_STREQ(platform_name(200), "");
  EXPECT_EQ(item_type_from_name("WebLink"), 2);
  EXPECT_EQ(item_type_from_name("TEXTFILE"), 3);
  EXPECT_EQ(item_type_from_name("app"), 0);
  EXPECT_STREQ(language_text_name(0), "INSTALLER_TITLE");
  EXPECT_STREQ(language_text_name(55), "PATCH_MSG");
  EXPECT_EQ(language_text_name(56), nullptr);
  LANGUAGE language = {};
  EXPECT_EQ(language_text(&language, 36), language.INSTALLING_TITLE);
  EXPECT_EQ(language_text(&language, 45), language.CANCEL_BUTTON);
}

TEST_F(Database, StageRules) {
  DATABASE d;
  // One language, one installation, no package.
  d.languages = new LANGUAGE[1]();
  d.language_count = 1;
  d.installations = new INSTALLATION[1]();
  d.installation_count = 1;
  INT_S32 next[10] = {1, 9, 6, 6, 6, 6, 7, 9, 9, 9};
  INT_S32 previous[10] = {0, 1, 2, 2, 2, 2, 2, 6, 7, 7};
  for (int s = 0; s < 10; s++) {
    d.stage = s;
    EXPECT_EQ(d.next_stage(), next[s]) << s;
    EXPECT_EQ(d.previous_stage(), previous[s]) << s;
  }
  d.stage = 12;
  EXPECT_EQ(d.next_stage(), 2);
  EXPECT_EQ(d.previous_stage(), 2);
  d.stage = -1;
  EXPECT_EQ(d.next_stage(), 2);

  // A package with a licence for language 1 and a readme for language 0.
  FOLDER folder;
  std::strcpy(folder.path, scratch.substr(0, scratch.size() - 1).c_str());
  write_whole_file(scratch + "text.txt", {'h', 'i'});
  {
    PACKAGE package(&folder, "test.pkg", true, 256, true, false);
    ASSERT_NE(package.file, nullptr);
    ASSERT_TRUE(package.add_file(&folder, "text.txt", "licence-1", false));
    ASSERT_TRUE(package.add_file(&folder, "text.txt", "readme-0", false));
  }
  d.package = new PACKAGE(&folder, "test.pkg", false, 256, true, true);
  ASSERT_NE(d.package->file, nullptr);
  d.stage = 2;
  EXPECT_EQ(d.next_stage(), 6);  // the licence is another language's
  d.stage = 7;
  EXPECT_EQ(d.next_stage(), 8);
  d.stage = 9;
  EXPECT_EQ(d.previous_stage(), 8);
  d.current_language = 1;
  d.stage = 2;
  EXPECT_EQ(d.next_stage(), 4);
  d.stage = 6;
  EXPECT_EQ(d.previous_stage(), 4);
  d.stage = 9;
  EXPECT_EQ(d.previous_stage(), 7);
  d.current_language = 0;
  // Two languages and two installations.
  delete[] d.languages;
  d.languages = new LANGUAGE[2]();
  d.language_count = 2;
  delete[] d.installations;
  d.installations = new INSTALLATION[2]();
  d.installation_count = 2;
  d.stage = 2;
  EXPECT_EQ(d.next_stage(), 3);
  d.stage = 3;
  EXPECT_EQ(d.next_stage(), 5);
  d.stage = 6;
  EXPECT_EQ(d.previous_stage(), 5);
  d.stage = 5;
  EXPECT_EQ(d.previous_stage(), 3);
  d.stage = 4;
  EXPECT_EQ(d.previous_stage(), 3);
  // The destructor deletes the package once (the sanitizer build would report a second delete).
}

TEST_F(Database, Version15GoldenBytes) {
  DATABASE d;
  fill_database(&d);
  MEMORY_DEVICE device;
  ASSERT_TRUE(d.put_to_data_device(&device));
  std::vector<INT_U8> expected = build_stream(15);
  ASSERT_EQ(device.bytes.size(), expected.size());
  EXPECT_EQ(device.bytes, expected);
  // The version's identity and the one an update was made from end the stream, after the clients.
  std::vector<INT_U8> tail = {32, 0, 0, 0};
  for (char c : std::string("0123456789abcdef0123456789abcdef")) tail.push_back((INT_U8)c);
  tail.insert(tail.end(), {32, 0, 0, 0});
  for (char c : std::string("fedcba9876543210fedcba9876543210")) tail.push_back((INT_U8)c);
  ASSERT_GT(device.bytes.size(), tail.size());
  EXPECT_EQ(std::vector<INT_U8>(device.bytes.end() - (long)tail.size(), device.bytes.end()), tail);
  std::vector<INT_U8> version_14 = build_stream(14);
  EXPECT_EQ(std::vector<INT_U8>(device.bytes.begin() + 1, device.bytes.end() - (long)tail.size()),
            std::vector<INT_U8>(version_14.begin() + 1, version_14.end()));
  // The stream begins with the version, then the image-cache stream.
  EXPECT_EQ(device.bytes[0], 0x0F);
  EXPECT_EQ(device.bytes[1], 0x02);
  // Texts are a u32 count and the bytes: "abc" is 03 00 00 00 61 62 63, an empty text 00 00 00 00.
  BYTES abc;
  abc.text("abc");
  EXPECT_EQ(abc.b, (std::vector<INT_U8>{3, 0, 0, 0, 'a', 'b', 'c'}));
}

TEST_F(Database, FileBeginsWithByteOrderByte) {
  DATABASE d;
  fill_database(&d);
  FOLDER folder;
  std::strcpy(folder.path, scratch.substr(0, scratch.size() - 1).c_str());
  DATA_FILE* file = open_data_file(&folder, "installer.idx", FILE_MODE_WRITE, 0xFF, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(d.put_to_data_device(file));
  close_data_file(&file);
  std::vector<INT_U8> bytes = read_whole_file(scratch + "installer.idx");
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x0F);
  EXPECT_EQ(bytes[2], 0x02);

  DATABASE back;
  file = open_data_file(&folder, "installer.idx", FILE_MODE_READ, 0xFF, false);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(back.get_from_data_device(file));
  close_data_file(&file);
  EXPECT_EQ(back.language_count, 2);
  EXPECT_STREQ(back.languages[1].PATCH_MSG, "Deutsch:PATCH_MSG");
}

TEST_F(Database, ReadBackVersion15) {
  DATABASE d;
  ASSERT_TRUE(read(&d, build_stream(15)));
  EXPECT_STREQ(d.version_identity, "0123456789abcdef0123456789abcdef");
  EXPECT_STREQ(d.updated_version, "fedcba9876543210fedcba9876543210");
  EXPECT_EQ(d.settings_number, 77u);
  EXPECT_EQ(d.show_filenames, 0);
  EXPECT_EQ(d.file_cache_sz, 0x20000u);
  EXPECT_EQ(d.WINDOW.width, 640);
  EXPECT_EQ(d.DIALOG.button_gap, 7);
  EXPECT_EQ(d.DIALOG.can_drag, 0);
  EXPECT_EQ(d.EXIT.x, 1);
  EXPECT_EQ(d.ERROR.height, 8);
  EXPECT_EQ(d.FILE_SELECT.new_folder_too, 1);
  EXPECT_EQ(d.ABOUT.width, 15);
  EXPECT_STREQ(d.BACKGROUND.filename, "bg.png");
  EXPECT_EQ(d.BACKGROUND.start_offset_ms, 50);
  EXPECT_STREQ(d.PATCH.system_dest_path_from_inst_loc, "syspatch");
  EXPECT_EQ(d.PATCH.do_check, 1);
  for (int i = 0; i < DATABASE::STYLE_COUNT; i++) EXPECT_EQ(d.style_set(i)->shading_type, 100u + i) << i;
  EXPECT_EQ(default_dialog_window_style->shading_type, 200u);
  EXPECT_EQ(default_dialog_button_style->shading_type, 202u);
  EXPECT_EQ(default_dialog_button_style->border_left_gap, -1);  // read values are not adjusted afterwards
  EXPECT_EQ(button_hint_style->shading_type, 203u);
  EXPECT_EQ(button_hint_style_ready, 1);
  EXPECT_EQ(default_styles_adjusted, 1);
  EXPECT_EQ(default_dialog_effects.flags, 3u);
  EXPECT_EQ(default_dialog_effects.open_delay, 111u);
  EXPECT_EQ(default_dialog_effects.dragging_alpha, 99u);
  EXPECT_EQ(d.progress_bar_animation_update_rate, 3);
  EXPECT_STREQ(d.APPLICATION.app_string, "app");
  EXPECT_EQ(d.APPLICATION.build_number, 42);
  EXPECT_EQ(d.time_stamp, 123456u);
  EXPECT_EQ(d.CHECK_DESKTOP_SIZE.height, 768);
  ASSERT_EQ(d.installation_count, 2);
  EXPECT_STREQ(d.installations[1].name, "Full1");
  EXPECT_STREQ(d.installations[1].default_path, "$ROOT0/prog1");
  ASSERT_EQ(d.installations[1].file_count, 1);
  EXPECT_EQ(d.installations[1].files[0].overwrite, 2);
  EXPECT_EQ(d.installations[1].files[0].platform, 33);
  EXPECT_STREQ(d.installations[1].files[0].packed_name, "packed1");
  ASSERT_EQ(d.installations[0].item_count, 1);
  EXPECT_STREQ(d.installations[0].items[0].system_program_path_from_inst_loc, "sysppath");
  EXPECT_STREQ(d.installations[0].uninstaller_syspath, "usys");
  ASSERT_EQ(d.language_count, 2);
  EXPECT_EQ(d.current_language, 1);
  EXPECT_STREQ(d.get_current_language()->QUIT_MSG, "Deutsch:QUIT_MSG");
  EXPECT_STREQ(d.languages[0].CHECK_DESKTOP_FAILED, "English:CHECK_DESKTOP_FAILED");
  ASSERT_EQ(d.languages[0].installation_string_count, 2);
  EXPECT_STREQ(d.languages[0].installation_strings[1], "English inst 1");
  EXPECT_EQ(d.languages[1].README.lines, 12);
  EXPECT_STREQ(d.SKIN.path, "$APP/skin");
  ASSERT_EQ(d.installer_client_count, 1);
  EXPECT_EQ(d.installer_clients[0]->platform, 33);
  EXPECT_STREQ(d.installer_clients[0]->destname.text, "dest.exe");
  EXPECT_EQ(d.installer_clients[0]->compress_data, 1);
  EXPECT_EQ(d.stage, 3);  // two languages: the language page follows the start
  EXPECT_EQ(style_frame_cache_flags, CACHE_FIND_ONLY);

  // Written again, the same bytes.
  MEMORY_DEVICE again;
  ASSERT_TRUE(d.put_to_data_device(&again));
  EXPECT_EQ(again.bytes, build_stream(15));
}

TEST_F(Database, SwappedByteOrderRoundTrip) {
  DATABASE d;
  fill_database(&d);
  MEMORY_DEVICE device;
  device.swap_bytes = 1;
  ASSERT_TRUE(d.put_to_data_device(&device));
  EXPECT_NE(device.bytes, build_stream(15));
  device.position = 0;
  DATABASE back;
  ASSERT_TRUE(back.get_from_data_device(&device));
  EXPECT_EQ(back.settings_number, 77u);
  EXPECT_EQ(back.time_stamp, 123456u);
  EXPECT_EQ(back.DIALOG.height, 250);
  ASSERT_EQ(back.installation_count, 2);
  EXPECT_STREQ(back.installations[0].files[0].src_name, "a.txt");
  EXPECT_EQ(back.style_set(DATABASE::MENU_ITEM_STYLE)->shading_type, 112u);
}

TEST_F(Database, OlderVersions) {
  {
    // Version 3: the settings block holds only the exit and error sizes.
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(3)));
    EXPECT_EQ(d.DIALOG.can_drag, 1);
    EXPECT_EQ(d.EXIT.x, -1);
    EXPECT_EQ(d.EXIT.y, -1);
    EXPECT_EQ(d.EXIT.width, 33);
    EXPECT_EQ(d.ERROR.height, 36);
    EXPECT_EQ(d.FILE_SELECT.x, -1);
    EXPECT_EQ(d.FILE_SELECT.height, -1);
    EXPECT_EQ(d.ABOUT.width, -1);
    EXPECT_EQ(d.settings_number, 0u);
    EXPECT_EQ(d.show_filenames, 0);
    EXPECT_EQ(d.show_filepaths, 0);
    // No effects stored: the defaults stay in force.
    EXPECT_EQ(default_dialog_effects.flags, DEFAULT_DIALOG_EFFECT_FLAGS);
    EXPECT_STREQ(d.languages[0].INSTALLING_STRING, "English:INSTALLING_STRING");
    EXPECT_STREQ(d.languages[0].CHECK_DESKTOP_FAILED, "");
    EXPECT_STREQ(d.installations[0].default_path, "");
    EXPECT_EQ(d.installations[0].files[0].overwrite, 0);
  }
  {
    // Version 5: a language's name is its title, and the default name is matched against it.
    CONTENT c;
    c.languages = {{"English", "x"}, {"Deutsch", "y"}};
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(5, c)));
    EXPECT_STREQ(d.languages[1].name, "Deutsch");
    EXPECT_EQ(d.current_language, 1);
    EXPECT_EQ(default_dialog_effects.open_delay, 111u);
    EXPECT_EQ(d.progress_bar_animation_y_rate, 2);
    EXPECT_STREQ(d.languages[0].INSTALLING_STRING, "English:INSTALLING_STRING");
  }
  {
    // Version 10: no skin path and no clients.
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(10)));
    EXPECT_STREQ(d.SKIN.path, "");
    EXPECT_EQ(d.installer_client_count, 0);
    EXPECT_EQ(d.settings_number, 77u);
    EXPECT_STREQ(d.PATCH.dest_path_from_inst_loc, "");
    EXPECT_STREQ(d.languages[0].PATCH_MSG, "");
    EXPECT_STREQ(d.installations[0].uninstaller_name, "uname");
  }
  {
    // Versions above 15 read as 15; version 0 as 1.
    std::vector<INT_U8> v20 = build_stream(15);
    v20[0] = 20;
    DATABASE d;
    ASSERT_TRUE(read(&d, v20));
    EXPECT_STREQ(d.languages[1].PATCH_MSG, "Deutsch:PATCH_MSG");
    EXPECT_STREQ(d.updated_version, "fedcba9876543210fedcba9876543210");
    // A reader of version 14 reads a version-15 stream as 14 and stops before its identities: it reads
    // the rest alike, and the package installs as a package without them does.
    std::vector<INT_U8> v15_as_14 = build_stream(15);
    v15_as_14[0] = 14;
    MEMORY_DEVICE old_reader(v15_as_14);
    DATABASE f;
    ASSERT_TRUE(f.get_from_data_device(&old_reader));
    EXPECT_EQ(old_reader.position, build_stream(14).size());
    EXPECT_EQ(f.installer_client_count, 1);
    EXPECT_STREQ(f.version_identity, "");
    // A version-15 stream cut inside its identities is damaged.
    std::vector<INT_U8> cut = build_stream(15);
    cut.resize(cut.size() - 20);
    DATABASE g;
    EXPECT_FALSE(read(&g, cut));
    std::vector<INT_U8> v0 = build_stream(1);
    v0[0] = 0;
    DATABASE e;
    ASSERT_TRUE(read(&e, v0));
    EXPECT_EQ(e.show_filenames, 1);
    EXPECT_EQ(e.show_filepaths, 1);
    EXPECT_EQ(e.EXIT.width, 33);
  }
  for (INT_U8 v = 1; v <= 15; v++) {
    DATABASE d;
    EXPECT_TRUE(read(&d, build_stream(v))) << (int)v;
    EXPECT_EQ(d.installation_count, 2) << (int)v;
    EXPECT_STREQ(d.APPLICATION.version, "1.2") << (int)v;
    EXPECT_STREQ(d.version_identity, v >= 15 ? "0123456789abcdef0123456789abcdef" : "") << (int)v;
  }
}

TEST_F(Database, LanguagesAndInstallations) {
  {
    // Two languages of the same name: the later one is current.
    CONTENT c;
    c.languages = {{"A", "Deutsch"}, {"B", "Deutsch"}, {"C", "English"}};
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(14, c)));
    EXPECT_EQ(d.current_language, 1);
  }
  {
    // No name matches: language 0.
    CONTENT c;
    c.default_language = "Suomi";
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(14, c)));
    EXPECT_EQ(d.current_language, 0);
  }
  {
    // No installations: the languages hold no display names, and the database loads.
    CONTENT c;
    c.installations = 0;
    c.languages = {{"English", "English"}};
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(14, c)));
    EXPECT_EQ(d.installation_count, 0);
    EXPECT_EQ(d.languages[0].installation_strings, nullptr);
    EXPECT_EQ(d.stage, 6);
    EXPECT_EQ(d.get_current_installation(), nullptr);
  }
  {
    // Three installations: three display names per language.
    CONTENT c;
    c.installations = 3;
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(14, c)));
    EXPECT_EQ(d.languages[1].installation_string_count, 3);
    EXPECT_STREQ(d.languages[1].installation_strings[2], "Deutsch inst 2");
  }
  {
    // A text of 300 bytes keeps its first 255, and the next field is read in step.
    CONTENT c;
    c.installation_name = std::string(300, 'n');
    DATABASE d;
    ASSERT_TRUE(read(&d, build_stream(14, c)));
    EXPECT_EQ(std::strlen(d.installations[0].name), 255u);
    EXPECT_EQ(d.installations[0].name[0], 'n');
    EXPECT_EQ(d.installations[0].allow_system_paths, 1);
    EXPECT_STREQ(d.installations[0].default_path, "$ROOT0/prog0");
  }
}

TEST_F(Database, UnusableStreamsAreRefused) {
  std::vector<INT_U8> good = build_stream(14);
  {
    // No languages: a load error, not a read past the list.
    CONTENT c;
    c.languages.clear();
    DATABASE d;
    EXPECT_FALSE(read(&d, build_stream(14, c)));
    EXPECT_EQ(get_error_code(), DATA_ERROR_READ);
    EXPECT_EQ(d.stage, 2);
    EXPECT_EQ(d.installation_count, 2);  // read so far; clear frees them
    EXPECT_EQ(style_frame_cache_flags, CACHE_DROP_ON_FAILURE);
  }
  {
    // A path text whose variable this program does not know is a load error (setting a folder from it
    // would end the program).
    CONTENT c;
    c.default_path_variable = "$NOSUCHVARIABLE";
    DATABASE d;
    EXPECT_FALSE(read(&d, build_stream(14, c)));
    EXPECT_EQ(get_error_code(), DATA_ERROR_READ);
    EXPECT_NE(std::string(get_error_text()).find("unknown path variable in \"$NOSUCHVARIABLE/prog0\""),
              std::string::npos);
  }
  {
    // A stream that ends inside the language list keeps the installations read before.
    std::vector<INT_U8> cut(good.begin(), good.end() - 3000);
    DATABASE d;
    EXPECT_FALSE(read(&d, cut));
    EXPECT_EQ(d.installation_count, 2);
    EXPECT_STREQ(d.installations[1].files[0].packed_name, "packed1");
    d.clear();
    EXPECT_EQ(d.installations, nullptr);
  }
  // Every truncation fails with the data error, never a crash or an overrun.
  for (size_t n = 0; n < good.size(); n += (n < 200 ? 1 : 211)) {
    std::vector<INT_U8> cut(good.begin(), good.begin() + n);
    DATABASE d;
    set_error(0, nullptr);
    EXPECT_FALSE(read(&d, cut)) << n;
    EXPECT_EQ(get_error_code(), DATA_ERROR_READ) << n;
    EXPECT_EQ(d.stage, 2) << n;
  }
  // Counts that are negative or larger than the data could hold are refused before allocating.
  CONTENT one;
  one.installations = 1;
  std::vector<INT_U8> base = build_stream(14, one);
  DATABASE reference;
  ASSERT_TRUE(read(&reference, base));
  // Locate the installation count: it follows CHECK_DESKTOP_SIZE (1024, 768), i.e. bytes 00 04 00 03.
  size_t at = 0;
  for (size_t i = 0; i + 4 < base.size(); i++)
    if (base[i] == 0x00 && base[i + 1] == 0x04 && base[i + 2] == 0x00 && base[i + 3] == 0x03) at = i + 4;
  ASSERT_GT(at, 0u);
  ASSERT_EQ(base[at], 1);
  for (INT_U16 count : {0xFFFF, 0x8000, 0x7FFF, 0x0400}) {
    std::vector<INT_U8> bad = base;
    bad[at] = count & 0xFF;
    bad[at + 1] = count >> 8;
    DATABASE d;
    EXPECT_FALSE(read(&d, bad)) << count;
    EXPECT_EQ(d.installation_count, 0) << count;
  }
  // A text length that runs past the end.
  std::vector<INT_U8> long_text = base;
  long_text[at + 2] = 0xFF;
  long_text[at + 3] = 0xFF;
  long_text[at + 4] = 0xFF;
  long_text[at + 5] = 0x7F;
  DATABASE d;
  EXPECT_FALSE(read(&d, long_text));
}

// Records where every write ended: the boundaries of the stored fields and members.
struct RECORDING_DEVICE : MEMORY_DEVICE {
  std::vector<size_t> ends;
  INT_S32 write(const void* buffer, INT_S32 count) override {
    INT_S32 written = MEMORY_DEVICE::write(buffer, count);
    ends.push_back(position);
    return written;
  }
};

// The process-wide state that a database read replaces, as text: the image cache's entries (identity,
// name, count, release state, size), the three default dialog styles and the hint style in their
// stored form, the hint style's ready flag, the one-time adjustment, the default effects and the frame
// flags of style sets.
std::string global_state() {
  std::string text;
  for (LLIST_NODE* node = image_cache->entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    char line[200];
    std::snprintf(line, sizeof line, "%p %s %d %d %dx%d\n", (void*)entry, entry->file_name ? entry->file_name : "",
                  entry->reference_count, entry->release_pending, entry->image.width, entry->image.height);
    text += line;
  }
  WM_STYLE_SET* globals[4] = {default_dialog_window_style, default_dialog_title_style, default_dialog_button_style,
                              button_hint_style};
  for (WM_STYLE_SET* style : globals) {
    MEMORY_DEVICE stored;
    style->put_to_data_device(&stored);
    text += std::string(stored.bytes.begin(), stored.bytes.end()) + "\n";
  }
  char flags[200];
  std::snprintf(flags, sizeof flags, "%d %d %u %u %u %u %d", button_hint_style_ready, default_styles_adjusted,
                default_dialog_effects.flags, default_dialog_effects.open_delay, default_dialog_effects.display_delay,
                default_dialog_effects.dragging_alpha, style_frame_cache_flags);
  return text + flags;
}

IMAGE_CACHE_ENTRY* add_cache_entry(const char* name, INT_S16 size) {
  IMAGE_CACHE_ENTRY* entry = new IMAGE_CACHE_ENTRY("$APP", name);
  entry->image.set_size(size, size);
  entry->requested_width = entry->natural_width = size;
  entry->requested_height = entry->natural_height = size;
  image_cache->entries.cursor = nullptr;
  image_cache->entries.add(entry);
  return entry;
}

// A database that fails to read, wherever it is cut, leaves the image cache, the global styles, the
// default effects and the flags exactly as they were; a whole one replaces them.
TEST_F(Database, FailedReadLeavesTheProgramAsItWas) {
  // The stream to read: its own cache pictures, styles (200 + n) and effects.
  add_cache_entry("new1.png", 3);
  add_cache_entry("new2.png", 2);
  RECORDING_DEVICE written;
  {
    DATABASE d;
    fill_database(&d);
    ASSERT_TRUE(d.put_to_data_device(&written));
  }
  std::vector<INT_U8> good = written.bytes;

  // The state before: other pictures (one of them held), styles, effects and flags.
  image_cache->clear();
  stop_global_style_sets();
  default_styles_adjusted = 0;
  IMAGE_CACHE_ENTRY* held = add_cache_entry("old1.png", 4);
  add_cache_entry("old2.png", 5);
  IMAGE* reference = image_cache->add_reference(&held->image);
  ASSERT_NE(reference, nullptr);
  WM_STYLE_SET* globals[4] = {default_dialog_window_style, default_dialog_title_style, default_dialog_button_style,
                              button_hint_style};
  for (int i = 0; i < 4; i++) globals[i]->shading_type = 300 + i;
  default_dialog_effects = {5, 6, 7, 8};
  button_hint_style_ready = 0;
  const std::string before = global_state();

  size_t cuts = 0;
  for (size_t end : written.ends) {
    if (end >= good.size()) continue;
    std::vector<INT_U8> cut(good.begin(), good.begin() + (long)end);
    {
      DATABASE d;
      ASSERT_FALSE(read(&d, cut)) << end;
    }
    ASSERT_EQ(global_state(), before) << "cut at " << end;
    cuts++;
  }
  EXPECT_GT(cuts, 100u);

  // The whole stream replaces them: the pictures of the stream, the held one waiting for its reference.
  DATABASE d;
  ASSERT_TRUE(read(&d, good));
  EXPECT_EQ(default_dialog_window_style->shading_type, 200u);
  EXPECT_EQ(button_hint_style->shading_type, 203u);
  EXPECT_EQ(button_hint_style_ready, 1);
  EXPECT_EQ(default_dialog_effects.open_delay, 111u);
  EXPECT_EQ(style_frame_cache_flags, CACHE_FIND_ONLY);
  ASSERT_EQ(image_cache->entries.count, 3);
  EXPECT_EQ(static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(image_cache->entries.head)), held);
  EXPECT_EQ(held->release_pending, 1);
  image_cache->release(held);
  ASSERT_EQ(image_cache->entries.count, 2);
  EXPECT_STREQ(static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(image_cache->entries.head))->file_name, "new1.png");
}

TEST_F(Database, GlobalInstance) {
  stop_database();
  database->stage = 7;
  EXPECT_EQ((*database).stage, 7);
  DATABASE* pointer = database;
  EXPECT_EQ(pointer->stage, 7);
  stop_database();
  EXPECT_EQ(database->stage, 2);
  stop_database();
}

}  // namespace
