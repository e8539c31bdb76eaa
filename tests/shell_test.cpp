// Tests of the process, shell and clipboard services: clipboard round trips and limits, the running
// program's location, and programs that cannot be started.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "folder.h"
#include "shell.h"

#ifndef _WIN32
#include <unistd.h>
#endif

// Declared first: on Linux the clipboard is the process's own and starts without text.
TEST(Clipboard, StartsWithoutTextOnLinux) {
#ifdef _WIN32
  GTEST_SKIP() << "the system clipboard may hold anything";
#else
  char buffer[8] = "keep";
  EXPECT_FALSE(clipboard_has_text());
  EXPECT_EQ(get_clipboard_text(buffer, sizeof(buffer)), 0u);
  EXPECT_STREQ(buffer, "keep");
#endif
}

TEST(Clipboard, TextRoundTripsAndIsCutToTheBuffer) {
  set_clipboard_text("hello clipboard");
  EXPECT_TRUE(clipboard_has_text());
  char buffer[1024];
  memset(buffer, 'x', sizeof(buffer));
  ASSERT_EQ(get_clipboard_text(buffer, sizeof(buffer)), 1u);
  EXPECT_STREQ(buffer, "hello clipboard");

  // Null changes nothing.
  set_clipboard_text(nullptr);
  ASSERT_EQ(get_clipboard_text(buffer, sizeof(buffer)), 1u);
  EXPECT_STREQ(buffer, "hello clipboard");

  // 2000 characters into 1024 bytes: the first 1023 and a NUL.
  std::string long_text;
  for (int i = 0; i < 2000; i++)
    long_text += (char)('a' + i % 26);
  set_clipboard_text(long_text.c_str());
  memset(buffer, 'x', sizeof(buffer));
  ASSERT_EQ(get_clipboard_text(buffer, sizeof(buffer)), 1u);
  EXPECT_EQ(strlen(buffer), 1023u);
  EXPECT_EQ(std::string(buffer), long_text.substr(0, 1023));

  // A one-byte buffer takes only the NUL; an empty text is still text.
  char one[1] = {'x'};
  EXPECT_EQ(get_clipboard_text(one, 1), 1u);
  EXPECT_EQ(one[0], 0);
  set_clipboard_text("");
  EXPECT_TRUE(clipboard_has_text());
  EXPECT_EQ(get_clipboard_text(buffer, sizeof(buffer)), 1u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(get_clipboard_text(nullptr, 10), 0u);
  EXPECT_EQ(get_clipboard_text(buffer, 0), 0u);
}

TEST(ProgramLocation, FolderAndNameOfTheRunningProgram) {
  FOLDER folder;
  char name[2048];
  get_program_location(&folder, name);
  std::string program = name;
#ifdef _WIN32
  EXPECT_EQ(program, "shell_test.exe");
  EXPECT_NE(std::string(folder.path).find(':'), std::string::npos);
  EXPECT_NE(folder.path[strlen(folder.path) - 1], '\\');
#else
  EXPECT_EQ(program, "shell_test");
  char self[2048];
  ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(length, 0);
  self[length] = 0;
  EXPECT_EQ(std::string(folder.path) + "/" + program, std::string(self));
#endif
}

TEST(ExecProgram, ProgramsThatCannotStartReturnMinusOne) {
  FOLDER folder;
  char name[2048];
  get_program_location(&folder, name);
  EXPECT_EQ(exec_program(&folder, "no-such-program-here"), -1);
  EXPECT_EQ(exec_program(&folder, nullptr), -1);
  EXPECT_EQ(exec_program(nullptr, "x"), -1);
  std::string too_long(3000, 'a');
  EXPECT_EQ(exec_program(&folder, too_long.c_str()), -1);
  // Without a main window the shell is not asked (nothing to observe but a clean return).
  shell_open("https://example.invalid/");
  shell_open_file(&folder, nullptr);
  shell_open_file(nullptr, too_long.c_str());
}
