// Tests of the numbered errors and warnings, the data layer's last error and the debugging aids.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "host.h"
#include "test_support.h"

namespace {

std::vector<std::string> box_captions;
std::vector<std::string> box_texts;

void record_box(const char* caption, const char* text) {
  box_captions.push_back(caption);
  box_texts.push_back(text);
}

// In a death test's child: reports on standard error whether the box showed exactly the expected text.
std::string expected_box;
void check_box(const char* caption, const char* text) {
  if (std::string(caption) == "Error" && expected_box == text)
    std::fputs("[box as expected]\n", stderr);
  else
    std::fprintf(stderr, "[unexpected box %s]\n", caption);
}

struct BoxRecorder {
  BoxRecorder() {
    box_captions.clear();
    box_texts.clear();
    set_message_box_hook(record_box);
  }
  ~BoxRecorder() { set_message_box_hook(nullptr); }
};

// Text written through the C library's text mode: CR LF line ends on Windows.
std::string text_lines(std::string text) {
#ifdef _WIN32
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
#else
  return text;
#endif
}

size_t table_rows(const ERROR_TABLE_ROW* table) {
  size_t rows = 0;
  while (table[rows].code != ERROR_TABLE_END) ++rows;
  return rows;
}

}  // namespace

TEST(ErrorTables, HoldEveryRowInAscendingOrder) {
  EXPECT_EQ(table_rows(error_table), 76u);
  EXPECT_EQ(table_rows(warning_table), 7u);
  for (const ERROR_TABLE_ROW* table : {error_table, warning_table})
    for (size_t i = 1; i < table_rows(table); ++i) EXPECT_LT(table[i - 1].code, table[i].code);
  EXPECT_EQ(error_table[0].code, 0x0000u);
  EXPECT_STREQ(error_table[0].detail, "Unable to create main window");
  EXPECT_EQ(error_table[75].code, 0x1025u);
  EXPECT_STREQ(error_table[75].message, "Unable to open competition file");
  EXPECT_STREQ(error_table[3].detail, "Transparent colour was used in an inavlid situation");
  EXPECT_EQ(error_table[61].code, 0x0090u);
  EXPECT_EQ(warning_table[6].code, 0x0021u);
  EXPECT_EQ(warning_table[3].append, 1u);
  EXPECT_STREQ(warning_table[4].detail,
               "There were more that 256 colours when tring to save an image, all unsaved colours have been "
               "defaulted to palette entry 0");
}

TEST(RaiseWarning, ShowsTheRowWithItsArgumentAndReturns) {
  BoxRecorder recorder;
  raise_warning(0x03, "abc");
  raise_warning(0x10, "ignored");
  raise_warning(0x77, nullptr);
  ASSERT_EQ(box_texts.size(), 3u);
  EXPECT_EQ(box_captions[0], "Warning");
  EXPECT_EQ(box_texts[0], "WARNING: 0003:\nSound layer was unable to start abc");
  EXPECT_EQ(box_texts[1],
            "WARNING: 0010:\nToo many colour for a 256 Palette \n\nThere were more that 256 colours when tring to "
            "save an image, all unsaved colours have been defaulted to palette entry 0");
  EXPECT_EQ(box_texts[2], "WARNING: Undefined warning encountered");
}

// A box offers OK alone: it asks no question, and says the detail after the text.
TEST(ShowMessageWithDetail, SaysTheDetailAfterTheText) {
  BoxRecorder recorder;
  show_message_with_detail("Cap", "text", "detail");
  show_message_with_detail("Cap", "text", nullptr);
  ASSERT_EQ(box_texts.size(), 2u);
  EXPECT_EQ(box_captions[0], "Cap");
  EXPECT_EQ(box_texts[0], "text\n\ndetail");
  EXPECT_EQ(box_texts[1], "text");
}

// A wrong command line (0x40 to 0x42) ends the run as a start that could not begin; any other error as a
// fatal one.
TEST(RaiseErrorDeathTest, ShowsTheRowThenEndsTheProgram) {
  EXPECT_EXIT(
      {
        expected_box = "ERROR: 0042:\nUnrecognised command line option: -q\n\nCheck command line options specified";
        set_message_box_hook(check_box);
        raise_error(0x42, "-q");
      },
      testing::ExitedWithCode(COMMAND_LINE_EXIT_STATUS), "\\[box as expected\\]");
  EXPECT_EXIT(
      {
        expected_box = "ERROR: 0009:\nUnable to open keyboard configuration file k.cfg\n\nCheck that path and filename "
                       "are correct";
        set_message_box_hook(check_box);
        raise_error(0x09, "k.cfg");
      },
      testing::ExitedWithCode(FATAL_EXIT_STATUS), "\\[box as expected\\]");
  EXPECT_EXIT(
      {
        expected_box = "ERROR: 000C:\nPath type constant passed to function FOLDER::set() was invalid ";
        set_message_box_hook(check_box);
        raise_error(0x0C, "x");
      },
      testing::ExitedWithCode(FATAL_EXIT_STATUS), "\\[box as expected\\]");
  EXPECT_EXIT(
      {
        expected_box = "ERROR: Undefined error encountered";
        set_message_box_hook(check_box);
        raise_error(0x9999, "x");
      },
      testing::ExitedWithCode(FATAL_EXIT_STATUS), "Application was unable to continue");
}

// Before the program installs the host's reporting (or for an entry left null), a box is its text on
// standard error and a fatal error still ends the process with its status; the entries given are used.
TEST(ErrorReportingDeathTest, DefaultsStandInForEntriesNotGiven) {
  EXPECT_EXIT(
      {
        set_error_reporting(nullptr);
        raise_error(0x01);
      },
      testing::ExitedWithCode(FATAL_EXIT_STATUS), "Error: ERROR: 0001:");
  EXPECT_EXIT(
      {
        set_error_reporting(nullptr);
        raise_error(0x01);
      },
      testing::ExitedWithCode(FATAL_EXIT_STATUS), "Fatal error: Application was unable to continue");

  ERROR_REPORTING boxes_only = {record_box, nullptr, nullptr, nullptr};
  box_texts.clear();
  set_error_reporting(&boxes_only);
  raise_warning(0x03, "abc");
  log_data_error(nullptr, "here", 1);  // the default log: nothing, and nothing breaks
  report_errors_through_host();
  ASSERT_EQ(box_texts.size(), 1u);
  EXPECT_EQ(box_texts[0], "WARNING: 0003:\nSound layer was unable to start abc");
}

TEST(DataError, KeepsTheCodeAndACutArgument) {
  set_error(0x1010, "a.bin");
  EXPECT_EQ(get_error_code(), 0x1010);
  EXPECT_STREQ(get_error_text(), "Error: File a.bin not found in package.");
  set_error(0x1234, nullptr);
  EXPECT_STREQ(get_error_text(), "Unknown Error Code");
  EXPECT_STREQ(data_error.argument, "");

  std::string long_argument(2000, 'z');
  set_error(0x1007, long_argument.c_str());
  EXPECT_EQ(std::strlen(data_error.argument), 1023u);
  EXPECT_EQ(std::string(get_error_text()), "Error: Unable to read from file " + std::string(1023, 'z') + ".");
}

TEST(DataError, TextsIgnoreArgumentsWithoutPlaceholder) {
  EXPECT_STREQ(data_error_text(0x0000, "x"), "No Error");
  EXPECT_STREQ(data_error_text(0x1000, "%s%d"),
               "Error: Colour darkening percentage was over 100% or less than -100% which makes no sense.");
  EXPECT_STREQ(data_error_text(0x1006, "p.pkg"), "Error: Unable to open the package file p.pkg in write mode");
  EXPECT_STREQ(data_error_text(0x0100, nullptr),
               "Warning: The requested entry was not found in the config file ().");
  // An argument that looks like a format is copied as it is.
  EXPECT_STREQ(data_error_text(0x100F, "%s%n"), "Error: Unable to create file %s%n.");
}

TEST(LogDataError, WritesToThePlatformStreamOnlyWhenItHasOutputs) {
  DEBUG_STREAM* platform = platform_debug_stream();
  ASSERT_NE(platform, nullptr);
  INT_U16 kept = platform->flags;
  set_error(0x100C, "gone.txt");

  platform->flags = 0;
  testing::internal::CaptureStdout();
  log_data_error(nullptr, "code/package", 12);
  EXPECT_EQ(captured_stdout(), "");

  platform->flags = DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_CODE_LOCATION | DEBUG_WRITE_STREAM_NAME;
  testing::internal::CaptureStdout();
  log_data_error(nullptr, "code/package", 12);
  EXPECT_EQ(captured_stdout(),
            "<VELK Platform>: (code/package,12) Error: Can not open file gone.txt as it was not found.\n");
  platform->flags = kept;
}

TEST(DebugConsolePrint, WritesTheLocationWhenGiven) {
  testing::internal::CaptureStdout();
  debug_console_print("main.cpp", 7, "hello");
  debug_console_print(nullptr, 7, "plain");
  EXPECT_EQ(captured_stdout(), "Debug - File: main.cpp Line 7: = hello\nplain\n");
}

TEST(DebugLog, CreatesDebugTxtAfreshThenAppends) {
  namespace fs = std::filesystem;
  std::string folder = make_scratch_folder("debug_log");
  fs::path kept = fs::current_path();
  fs::current_path(folder);
  write_whole_file(folder + "debug.txt", {'o', 'l', 'd', '\n'});
  debug_log(nullptr, 0, "first", nullptr);
  debug_log("a.cpp", 3, "second", nullptr);
  debug_log(nullptr, 0, "other", "other.log");
  fs::current_path(kept);

  EXPECT_EQ(read_whole_text(folder + "debug.txt"), text_lines("first\nDebug - File: a.cpp Line 3: = second\n"));
  EXPECT_EQ(read_whole_text(folder + "other.log"), text_lines("other\n"));
}

TEST(DebugLog, ReportsAFileThatCannotBeOpened) {
  BoxRecorder recorder;
  std::string name = make_scratch_folder("debug_log_missing") + "no-such-folder/x.log";
  debug_log(nullptr, 0, "text", name.c_str());
  ASSERT_EQ(box_texts.size(), 1u);
  EXPECT_EQ(box_captions[0], "Warning");
  EXPECT_EQ(box_texts[0], "WARNING: 0002:\nUnable to open debug file " + name);
}

// The texts are the system's own, misspellings included: the rows that carry one stay as they are.
TEST(ErrorTables, KeepTheirTextsLetterForLetter) {
  auto row = [](const ERROR_TABLE_ROW* table, INT_U32 code) -> const ERROR_TABLE_ROW* {
    for (const ERROR_TABLE_ROW* r = table; r->code != ERROR_TABLE_END; ++r)
      if (r->code == code) return r;
    return nullptr;
  };
  struct EXPECTED {
    INT_U32 code;
    INT_U32 append;
    const char* message;
    const char* detail;
  };
  const EXPECTED errors[] = {
      {0x000A, 0, "Receive buffer ssize supplied to TCPIP::TCPIP() was invalid", nullptr},
      {0x0012, 0, "The desktop colour depth is not supported",
       "The current destop or display is in an unsupported colour mode, change the number of colours and try "
       "again"},
      {0x0013, 1, "Unable to open the window",
       "Check that your graphics card supports the requested mode and if you have changed your disply setting "
       "return them back to defaults"},
      {0x002A, 1, "No PCX palatte found in file", nullptr},
      {0x0030, 0, "Invalid number of stars specified for starfeild", nullptr},
      {0x0031, 0, "Invalid starfield dimentions specifed", nullptr},
      {0x0040, 1, "Invalid argument format for command line option:", "Check command line options specified"},
      {0x0070, 0, "Srollbar slew values are invalid", nullptr},
      {0x0073, 0, "Scrollbar slew variable is of the wrong type",
       "Scrollbar slew varible in not an integer based parameter, must be a INT_S8_TYPE, INT_TYPE, INT_S16_TYPE "
       "or INT_S32_TYPE"},
      {0x1010, 0, "Unable to open dungeon amp config file", "Check filename and path are correct"},
      {0x1020, 1, "Unable to allocate dynamic memory for table ",
       "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
      {0x1023, 1, "Invalid race entry found in ", nullptr},
  };
  for (const EXPECTED& expected : errors) {
    const ERROR_TABLE_ROW* found = row(error_table, expected.code);
    ASSERT_NE(found, nullptr) << expected.code;
    EXPECT_EQ(found->append, expected.append) << expected.code;
    EXPECT_STREQ(found->message, expected.message);
    EXPECT_STREQ(found->detail, expected.detail);
  }
  const ERROR_TABLE_ROW* colours = row(warning_table, 0x0010);
  ASSERT_NE(colours, nullptr);
  EXPECT_STREQ(colours->message, "Too many colour for a 256 Palette");
  EXPECT_STREQ(colours->detail,
               "There were more that 256 colours when tring to save an image, all unsaved colours have been "
               "defaulted to palette entry 0");
  EXPECT_STREQ(row(warning_table, 0x0020)->message, "Scrollbar dimentions are invalid");

  EXPECT_STREQ(data_error_text(0x1006, "p.pkg"), "Error: Unable to open the package file p.pkg in write mode");
  EXPECT_STREQ(data_error_text(0x1000, "ignored"),
               "Error: Colour darkening percentage was over 100% or less than -100% which makes no sense.");
  EXPECT_STREQ(data_error_text(0x0100, "key"),
               "Warning: The requested entry was not found in the config file (key).");
}
