// Tests of the library's "--velk" options, get_option, the banner and the logos.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "host.h"
#include "image.h"
#include "options.h"
#include "test_support.h"

#ifdef _WIN32
#include <io.h>
#define duplicate_descriptor _dup2
#else
#include <unistd.h>
#define duplicate_descriptor dup2
#endif

namespace {

// Argument vectors as the entry hands them over (modifiable texts).
struct ARGUMENTS {
  std::vector<std::string> texts;
  std::vector<char*> pointers;
  explicit ARGUMENTS(std::initializer_list<const char*> list) {
    for (const char* text : list) texts.push_back(text);
    for (std::string& text : texts) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
  }
  INT_S32 count() const { return static_cast<INT_S32>(texts.size()); }
  char** vector() { return pointers.data(); }
};

// In a death test's child: console output goes to a file that the parent reads afterwards (the
// descriptor itself is replaced, which on Windows also replaces the standard output handle).
void run_options_into(const std::string& path, ARGUMENTS& arguments) {
  FILE* output = std::fopen(path.c_str(), "wb");
  if (!output) return;
  std::fflush(stdout);
  if (duplicate_descriptor(fileno(output), 1) < 0) return;
  INT_S32 argc = 0;
  char** argv = nullptr;
  process_platform_options(arguments.count(), arguments.vector(), &argc, &argv);
  std::fflush(stdout);
}

const char usage[] =
    "usage: prog [--velk | --velk-listdebug | --velk-showdebug=x]\n\n"
    "  --velk             - show usage and exit\n"
    "  --velk-listdebug   - list debug channels\n"
    "  --velk-showdebug=x - show debug channel x (where x is channel number or \"all\")\n\n";

std::string expected_box;
void check_box(const char* caption, const char* text) {
  if (std::string(caption) == "Error" && expected_box == text)
    std::fputs("[box as expected]\n", stderr);
  else
    std::fprintf(stderr, "[unexpected box %s: %s]\n", caption, text);
}

}  // namespace

TEST(PlatformOptions, RemovesTheLibraryOptionsAndEnablesAStream) {
  DEBUG_STREAM* first = debug_stream_at(0);
  ASSERT_NE(first, nullptr);
  INT_U16 kept = first->flags;
  first->flags = 0;
  ARGUMENTS arguments{"prog", "-a", "--velk-showdebug=0", "-x", "dir"};
  INT_S32 argc = 0;
  char** argv = nullptr;
  testing::internal::CaptureStdout();
  process_platform_options(arguments.count(), arguments.vector(), &argc, &argv);
  EXPECT_EQ(captured_stdout(), "Enabling debug channel 0\n");
  ASSERT_EQ(argc, 4);
  EXPECT_STREQ(argv[0], "prog");
  EXPECT_STREQ(argv[1], "-a");
  EXPECT_STREQ(argv[2], "-x");
  EXPECT_STREQ(argv[3], "dir");
  EXPECT_EQ(first->flags, DEBUG_WRITE_TO_CONSOLE);
  first->flags = kept;
  process_platform_options(0, nullptr, nullptr, nullptr);
}

TEST(PlatformOptions, ShowAllEnablesEveryRegisteredStream) {
  DEBUG_STREAM extra("Options test stream", 0, false);
  INT_S16 count = debug_stream_count();
  std::vector<INT_U16> kept;
  for (INT_S16 i = 0; i < count; ++i) kept.push_back(debug_stream_at(i)->flags);
  ARGUMENTS arguments{"prog", "--velk-showdebug=all"};
  INT_S32 argc = 0;
  char** argv = nullptr;
  testing::internal::CaptureStdout();
  process_platform_options(arguments.count(), arguments.vector(), &argc, &argv);
  EXPECT_EQ(captured_stdout(),
            "Enabling all " + std::to_string(count) + " debug channels\n");
  EXPECT_EQ(argc, 1);
  for (INT_S16 i = 0; i < count; ++i) {
    EXPECT_TRUE(debug_stream_at(i)->flags & DEBUG_WRITE_TO_CONSOLE);
    debug_stream_at(i)->flags = kept[i];
  }
  process_platform_options(0, nullptr, nullptr, nullptr);
}

// The test's scratch folder, which its death-test children (on Windows new processes that run the
// test from its start) share.
std::string death_test_folder() { return make_scratch_folder("options-death"); }

TEST(PlatformOptionsDeathTest, OneShotEndsExitWithTheirStatus) {
  std::string folder = death_test_folder();
  for (const char* name : {"usage.txt", "list.txt", "unknown.txt", "missing.txt", "nan.txt"})
    std::remove((folder + name).c_str());

  ARGUMENTS usage_only{"prog", "--velk"};
  EXPECT_EXIT(run_options_into(folder + "usage.txt", usage_only), testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_whole_text(folder + "usage.txt"), usage);

  ARGUMENTS listing{"prog", "--velk-listdebug"};
  EXPECT_EXIT(run_options_into(folder + "list.txt", listing), testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_whole_text(folder + "list.txt"),
            "ID   Name\n--------------------\n\n"
            " 0   VELK Platform\n 1   VELK Modules\n 2   Default Path Trace\n 3   WAV file loading debug\n\n");

  ARGUMENTS unknown{"prog", "-a", "--velkfoo"};
  EXPECT_EXIT(run_options_into(folder + "unknown.txt", unknown), testing::ExitedWithCode(2), "");
  EXPECT_EQ(read_whole_text(folder + "unknown.txt"),
            std::string("ERROR: Command line option \"--velkfoo\" is not known\n\n") + usage);

  ARGUMENTS missing_stream{"prog", "--velk-showdebug=99"};
  EXPECT_EXIT(run_options_into(folder + "missing.txt", missing_stream), testing::ExitedWithCode(2), "");
  EXPECT_EQ(read_whole_text(folder + "missing.txt"), "Enabling debug channel 99\nERROR: Stream 99 was not found\n\n");

  ARGUMENTS not_a_number{"prog", "--velk-showdebug=abc"};
  EXPECT_EXIT(run_options_into(folder + "nan.txt", not_a_number), testing::ExitedWithCode(2), "");
  EXPECT_NE(read_whole_text(folder + "nan.txt").find("was not found"), std::string::npos);
}

TEST(GetOption, ReadsLettersAndTheirArguments) {
  ARGUMENTS arguments{"prog", "file", "-v", "-x", "folder"};
  option_index = 1;
  EXPECT_EQ(get_option(5, arguments.vector(), "havs:x:p:d:"), 'v');
  EXPECT_EQ(get_option(5, arguments.vector(), "havs:x:p:d:"), 'x');
  EXPECT_STREQ(option_argument, "folder");
  EXPECT_EQ(get_option(5, arguments.vector(), "havs:x:p:d:"), -1);
  EXPECT_EQ(get_option(5, arguments.vector(), "havs:x:p:d:"), -1);

  ARGUMENTS dashes{"prog", "--", "-v"};
  option_index = 1;
  EXPECT_EQ(get_option(3, dashes.vector(), "v"), -1);
  EXPECT_EQ(get_option(3, dashes.vector(), "v"), -1);

  EXPECT_EQ(get_option(3, nullptr, "v"), '?');
  EXPECT_EQ(get_option(3, dashes.vector(), nullptr), '?');
}

TEST(GetOptionDeathTest, BadOptionsAreFatalErrors) {
  const char* letters = "havs:x:p:d:";
  // Each bad command line and the error box it ends the program with.
  struct BAD_OPTION {
    ARGUMENTS arguments;
    const char* box;
  } cases[] = {
      {ARGUMENTS{"prog", "-x"}, "ERROR: 0041:\nNo argument for command line option: -x\n\nCheck command line options specified"},
      {ARGUMENTS{"prog", "-x", "-v"},
       "ERROR: 0041:\nNo argument for command line option: -x\n\nCheck command line options specified"},
      {ARGUMENTS{"prog", "-q"}, "ERROR: 0042:\nUnrecognised command line option: -q\n\nCheck command line options specified"},
      {ARGUMENTS{"prog", "-vh"},
       "ERROR: 0040:\nInvalid argument format for command line option: -vh\n\nCheck command line options specified"},
  };
  for (BAD_OPTION& bad : cases) {
    SCOPED_TRACE(bad.box);
    EXPECT_EXIT(
        {
          expected_box = bad.box;
          set_message_box_hook(check_box);
          option_index = 1;
          get_option(bad.arguments.count(), bad.arguments.vector(), letters);
        },
        testing::ExitedWithCode(COMMAND_LINE_EXIT_STATUS), "\\[box as expected\\]");
  }
  ARGUMENTS lone_dash{"prog", "-"};
  EXPECT_EXIT(
      {
        option_index = 1;
        get_option(2, lone_dash.vector(), letters);
      },
      testing::ExitedWithCode(COMMAND_LINE_EXIT_STATUS), "Invalid argument format");
}

TEST(LibraryBanner, StartsWithTheTitleAndTheBuildDate) {
  const char* kept = app_descriptor.title;
  app_descriptor.title = "Installer 1.11";
  std::string plain = build_library_banner(false);
  std::string by_maker = build_library_banner(true);
  app_descriptor.title = kept;

  EXPECT_EQ(plain.rfind("Installer 1.11\nBuilt on ", 0), 0u);
  // Month abbreviation, day padded with a space, four-digit year, " at ", hh:mm:ss, two line feeds.
  std::string date = plain.substr(std::strlen("Installer 1.11\nBuilt on "), 25);
  EXPECT_EQ(date[3], ' ');
  EXPECT_EQ(date.substr(11, 4), " at ");
  EXPECT_EQ(date[17], ':');
  EXPECT_EQ(date.substr(23, 2), "\n\n");
  EXPECT_NE(plain.find("\n\nThis program was developed."), std::string::npos);
  EXPECT_NE(by_maker.find("\n\nThis program was developed by "), std::string::npos);
}

TEST(Logos, HaveTheirSizes) {
  IMAGE small_logo;
  make_small_logo_image(&small_logo);
  EXPECT_EQ(small_logo.width, 80);
  EXPECT_EQ(small_logo.height, 75);
  ASSERT_NE(small_logo.pixels, nullptr);
  EXPECT_EQ(small_logo.pixels[0] >> 24, 0xFFu);

  IMAGE large_logo;
  make_large_logo_image(&large_logo);
  EXPECT_EQ(large_logo.width, 195);
  EXPECT_EQ(large_logo.height, 80);
  make_large_logo_image(nullptr);
  // The blocks hold exactly their header and pixels.
  INT_S32 size = 0;
  EXPECT_NE(small_logo_block(&size), nullptr);
  EXPECT_EQ(size, 5 + 80 * 75 * 4);
  EXPECT_NE(large_logo_block(&size), nullptr);
  EXPECT_EQ(size, 5 + 195 * 80 * 4);
}
