// Tests of the debug streams: registry order, line building, console and box outputs, settings files
// and the rolling output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "folder.h"
#include "host.h"
#include "test_support.h"

namespace {

std::string file_text(const std::string& path) {
  std::string text = read_whole_text(path);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

void put_file(const std::string& path, const std::string& text) {
  ASSERT_TRUE(write_whole_file(path, std::vector<INT_U8>(text.begin(), text.end())));
}

// "$USERPREFS" named to a scratch folder for one test; debug_folder is its "debug" sub-folder.
struct PREFERENCES {
  std::string folder;
  std::string debug_folder;
  explicit PREFERENCES(const char* name, bool make_debug_folder = true) {
    folder = make_scratch_folder(name);
    debug_folder = folder + "debug" + folder.back();
    if (make_debug_folder) {
      FOLDER debug;
      EXPECT_TRUE(debug.set_if_folder(folder.substr(0, folder.size() - 1).c_str()));
      EXPECT_TRUE(debug.enter("debug", true));
    }
    FOLDER preferences;
    EXPECT_TRUE(preferences.set_if_folder(folder.substr(0, folder.size() - 1).c_str()));
    set_named_path("$USERPREFS", &preferences);
  }
  ~PREFERENCES() { remove_named_path("$USERPREFS"); }
};

std::vector<std::string> box_captions, box_texts;
void record_box(const char* caption, const char* text) {
  box_captions.push_back(caption);
  box_texts.push_back(text);
}

}  // namespace

TEST(DebugStreamRegistry, BuiltInStreamsComeFirstInTheirOrder) {
  ASSERT_GE(debug_stream_count(), 4);
  EXPECT_STREQ(debug_stream_at(0)->name, "VELK Platform");
  EXPECT_STREQ(debug_stream_at(1)->name, "VELK Modules");
  EXPECT_STREQ(debug_stream_at(2)->name, "Default Path Trace");
  EXPECT_STREQ(debug_stream_at(3)->name, "WAV file loading debug");
  EXPECT_EQ(platform_debug_stream(), debug_stream_at(0));
  EXPECT_EQ(wav_debug_stream(), find_debug_stream("WAV file loading debug"));
  EXPECT_EQ(debug_stream_at(-1), nullptr);
  EXPECT_EQ(find_debug_stream(nullptr), nullptr);

  INT_S16 before = debug_stream_count();
  DEBUG_STREAM* first = new DEBUG_STREAM("Shared name", 0, false);
  DEBUG_STREAM* second = new DEBUG_STREAM("Shared name", 0, false);
  DEBUG_STREAM* third = new DEBUG_STREAM(nullptr, 0, false);
  EXPECT_EQ(debug_stream_count(), before + 3);
  EXPECT_EQ(find_debug_stream("Shared name"), first);
  EXPECT_EQ(std::string(third->name).rfind("Debug Stream ", 0), 0u);
  EXPECT_GT(std::strlen(third->name), std::strlen("Debug Stream "));
  EXPECT_EQ(find_debug_stream("Missing"), nullptr);

  delete first;
  EXPECT_EQ(find_debug_stream("Shared name"), second);
  EXPECT_EQ(debug_stream_at(before), second);
  EXPECT_EQ(debug_stream_at(before + 1), third);
  delete second;
  delete third;
  EXPECT_EQ(debug_stream_count(), before);
}

TEST(DebugStreamWrite, BuildsTheLineFromItsPrefixes) {
  DEBUG_STREAM stream("Test console", DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_STREAM_NAME, false);
  testing::internal::CaptureStdout();
  debug_stream_write(&stream, "a", 12, "hello", true);
  stream.flags |= DEBUG_WRITE_CODE_LOCATION;
  debug_stream_write(&stream, nullptr, 12, "no location", true);
  debug_stream_write(&stream, "a", 12, "located", false);
  debug_stream_printf(&stream, " and %d more\n", 3);
  debug_stream_printf(&stream, nullptr);
  EXPECT_EQ(captured_stdout(),
            "<Test console>: hello\n<Test console>: no location\n<Test console>: (a,12) located"
            "<Test console>:  and 3 more\n");

  stream.flags = DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_TIME_STAMP;
  testing::internal::CaptureStdout();
  debug_stream_write(&stream, nullptr, 0, "stamped", false);
  std::string stamped = captured_stdout();
  // "Thu, 01 Jan 1970 00:00:00 GMT " is 30 characters.
  ASSERT_EQ(stamped.size(), 30u + 7u);
  EXPECT_EQ(stamped.substr(25, 5), " GMT ");
  EXPECT_EQ(stamped.substr(30), "stamped");

  // A long text is cut so that the whole line is 2047 characters.
  stream.flags = DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_STREAM_NAME;
  std::string long_text(5000, 'x');
  testing::internal::CaptureStdout();
  debug_stream_write(&stream, nullptr, 0, long_text.c_str(), false);
  std::string cut = captured_stdout();
  EXPECT_EQ(cut.size(), 2047u);
  EXPECT_EQ(cut.rfind("<Test console>: xxx", 0), 0u);

  stream.flags = 0;
  testing::internal::CaptureStdout();
  debug_stream_write(&stream, nullptr, 0, "silent", true);
  debug_stream_write(nullptr, nullptr, 0, "no stream", true);
  EXPECT_EQ(captured_stdout(), "");
}

TEST(DebugStreamWrite, BoxesShowTheLineWithoutTheNamePrefix) {
  box_captions.clear();
  box_texts.clear();
  set_message_box_hook(record_box);
  DEBUG_STREAM stream("Boxed", DEBUG_WRITE_TO_POPUP_DIALOG | DEBUG_WRITE_STREAM_NAME | DEBUG_WRITE_CODE_LOCATION,
                      false);
  debug_stream_write(&stream, "b.cpp", 3, "look", true);
  set_message_box_hook(nullptr);
  ASSERT_EQ(box_texts.size(), 1u);
  EXPECT_EQ(box_captions[0], "Boxed");
  EXPECT_EQ(box_texts[0], "(b.cpp,3) look");
}

TEST(DebugStreamSettings, SettingsChooseTheOutputs) {
  PREFERENCES preferences("debug_settings");
  put_file(preferences.debug_folder + "Test_release.cfg", "# outputs\nwrite_to_file\n\t1\nwrite_stream_name\n\t1\n");
  DEBUG_STREAM stream("Test", DEBUG_WRITE_TO_CONSOLE, true);
  EXPECT_EQ(stream.flags, DEBUG_WRITE_TO_FILE | DEBUG_WRITE_STREAM_NAME);
  EXPECT_STREQ(stream.file_name, "Test.txt");
  EXPECT_EQ(stream.rolling_limit, 100);
  testing::internal::CaptureStdout();
  debug_stream_write(&stream, nullptr, 0, "hello", true);
  EXPECT_EQ(captured_stdout(), "");
  EXPECT_EQ(file_text(preferences.debug_folder + "Test.txt"), "<Test>: hello\n");
  debug_stream_write(&stream, nullptr, 0, "again", true);
  EXPECT_EQ(file_text(preferences.debug_folder + "Test.txt"), "<Test>: hello\n<Test>: again\n");

  put_file(preferences.debug_folder + "Off_release.cfg",
           "write_to_console\n\t1\ndisabled\n\t1\nwrite_to_file\n\t1\nfilename\n\tother.log\n");
  DEBUG_STREAM disabled("Off", DEBUG_WRITE_TO_CONSOLE, true);
  EXPECT_EQ(disabled.flags, 0);
  EXPECT_STREQ(disabled.file_name, "other.log");

  // No settings file, or no debug folder at all: the stream is silent.
  DEBUG_STREAM unset("Unset", DEBUG_WRITE_TO_CONSOLE, true);
  EXPECT_EQ(unset.flags, 0);
}

TEST(DebugStreamSettings, MissingFolderLeavesTheStreamSilent) {
  PREFERENCES preferences("debug_no_folder", false);
  DEBUG_STREAM stream("Nowhere", DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_TO_FILE, true);
  EXPECT_EQ(stream.flags, 0);
}

TEST(DebugStreamSettings, WrittenSettingsReadBack) {
  PREFERENCES preferences("debug_write_settings", false);
  {
    DEBUG_STREAM stream("Saved", 0, false);
    stream.flags = DEBUG_WRITE_TO_CONSOLE | DEBUG_KEEP_FILE_OPEN | DEBUG_TRIGGER_BREAKPOINT | DEBUG_FILE_ROLLING_BACKUP |
                   DEBUG_WRITE_SETTINGS_ON_EXIT;
    stream.rolling_limit = 250;
    std::snprintf(stream.file_name, sizeof stream.file_name, "saved.log");
  }  // written when destroyed, the folder made on the way
  EXPECT_EQ(file_text(preferences.debug_folder + "Saved_release.cfg"),
            "filename\n\tsaved.log\ndisabled\n\t0\nwrite_to_console\n\t1\nwrite_to_popup_dialog\n\t0\n"
            "write_to_file\n\t0\ntruncate_file_on_first_write\n\t0\nkeep_file_open\n\t1\nwrite_file_header\n\t0\n"
            "write_stream_name\n\t0\nwrite_code_location\n\t0\ntrigger_breakpoint\n\t1\nfile_rolling_backup\n\t1\n"
            "file_rolling_limit\n\t250\n");
  DEBUG_STREAM reader("Saved", 0, true);
  EXPECT_EQ(reader.flags, DEBUG_WRITE_TO_CONSOLE | DEBUG_KEEP_FILE_OPEN | DEBUG_FILE_ROLLING_BACKUP);
  EXPECT_EQ(reader.rolling_limit, 250);
  EXPECT_STREQ(reader.file_name, "saved.log");
}

TEST(DebugStreamFile, RollsToOneBackup) {
  PREFERENCES preferences("debug_rolling");
  put_file(preferences.debug_folder + "Roll_release.cfg",
           "write_to_file\n\t1\nfile_rolling_backup\n\t1\nfile_rolling_limit\n\t3\n");
  DEBUG_STREAM stream("Roll", 0, true);
  ASSERT_EQ(stream.rolling_limit, 3);
  for (int line = 1; line <= 4; ++line) debug_stream_write(&stream, nullptr, 0, std::to_string(line).c_str(), true);
  EXPECT_EQ(file_text(preferences.debug_folder + "Roll.txt.bak"), "1\n2\n3\n");
  EXPECT_EQ(file_text(preferences.debug_folder + "Roll.txt"), "4\n");
  for (int line = 5; line <= 7; ++line) debug_stream_write(&stream, nullptr, 0, std::to_string(line).c_str(), true);
  EXPECT_EQ(file_text(preferences.debug_folder + "Roll.txt.bak"), "4\n5\n6\n");
  EXPECT_EQ(file_text(preferences.debug_folder + "Roll.txt"), "7\n");
}

TEST(DebugStreamFile, TruncatesAndWritesTheHeaderOnce) {
  PREFERENCES preferences("debug_header");
  put_file(preferences.debug_folder + "Head.txt", "from an earlier run\n");
  put_file(preferences.debug_folder + "Head_release.cfg",
           "write_to_file\n\t1\ntruncate_file_on_first_write\n\t1\nwrite_file_header\n\t1\nkeep_file_open\n\t1\n");
  DEBUG_STREAM stream("Head", 0, true);
  debug_stream_write(&stream, nullptr, 0, "one", true);
  EXPECT_NE(stream.file, nullptr);  // kept open
  debug_stream_write(&stream, nullptr, 0, "two", false);
  stream.flags &= static_cast<INT_U16>(~DEBUG_KEEP_FILE_OPEN);
  debug_stream_write(&stream, nullptr, 0, "three", true);
  EXPECT_EQ(stream.file, nullptr);
  std::string text = file_text(preferences.debug_folder + "Head.txt");
  const std::string header = "======================================\n> Debug stream: Head\n> Written: ";
  ASSERT_EQ(text.rfind(header, 0), 0u) << text;
  size_t body = text.find("\n\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(text.substr(header.size(), body - header.size()).size(), 29u);  // the date
  EXPECT_EQ(text.substr(body + 2), "one\ntwothree\n");
}

TEST(DebugStreamFile, WritingKeepsTheDataError) {
  PREFERENCES preferences("debug_keeps_error");
  DEBUG_STREAM stream("Keeper", DEBUG_WRITE_TO_FILE, false);
  set_error(0x1009, "x.pkg");
  debug_stream_write(&stream, nullptr, 0, get_error_text(), true);
  EXPECT_EQ(get_error_code(), 0x1009);
  EXPECT_STREQ(data_error.argument, "x.pkg");
  EXPECT_EQ(file_text(preferences.debug_folder + "Keeper.txt"),
            "Error: x.pkg does not appear to be a package file.\n");
}
