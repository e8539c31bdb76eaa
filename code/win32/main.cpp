// The program's entry on Windows: keeps the instance, splits the command line and hands the run to
// the program's run with the application's entries. The command line is read in UTF-16 (the ANSI one
// holds only the code page's characters) and split as the system's 8-bit text.
#include "win32_host.h"
#include "program.h"

#include <cstdlib>
#include <cwchar>

#include "velk_string.h"

// The command line after the program's name, as the system's text (allocated); null when it cannot be had.
static char* system_command_line() {
  const WCHAR* line = GetCommandLineW();
  if (!line) return nullptr;
  // The program's name ends at its closing quote, or unquoted at the first blank.
  if (*line == L'"') {
    line++;
    while (*line && *line != L'"') line++;
    if (*line) line++;
  } else {
    while (*line && *line != L' ' && *line != L'\t') line++;
  }
  while (*line == L' ' || *line == L'\t') line++;
  size_t size = 8 * std::wcslen(line) + 8;  // room for a run per unit
  char* text = (char*)std::malloc(size);
  if (text && !utf16_to_text(reinterpret_cast<const INT_U16*>(line), text, size)) {
    std::free(text);
    text = nullptr;
  }
  return text;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show_mode) {
  (void)previous;
  (void)show_mode;
  instance_handle = instance;
  INT_S32 argc = 0;
  char* line = system_command_line();
  char** argv = split_command_line(line ? line : command_line, get_module_path(), &argc);
  std::free(line);
  if (!argv) return 0;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(argc, argv, &entries);
}
