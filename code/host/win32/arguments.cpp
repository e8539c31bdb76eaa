// Windows host layer: the program's arguments and its instance. The command line is read in UTF-16 (the
// ANSI one holds only the code page's characters) and split as the system's 8-bit text, by the rules
// Windows programs split it by.
#include "win32_host.h"

#include <cstdlib>
#include <cwchar>

#include "velk_string.h"

// The whole command line as the system's text (allocated); null when it cannot be had. Runs hold no
// blank, quote or backslash, so the split reads the text as it would the UTF-16 line.
static char* system_command_line() {
  const WCHAR* line = GetCommandLineW();
  if (!line) return nullptr;
  size_t size = 8 * std::wcslen(line) + 8;  // room for a run per unit
  char* text = (char*)std::malloc(size);
  if (text && !utf16_to_text(reinterpret_cast<const INT_U16*>(line), text, size)) {
    std::free(text);
    text = nullptr;
  }
  return text;
}

char** get_program_arguments(int argc, char** argv, INT_S32* count) {
  // The C runtime's arguments are split from the ANSI command line: they are not used.
  (void)argc;
  (void)argv;
  instance_handle = GetModuleHandleW(nullptr);
  char* line = system_command_line();
  char** vector = split_command_line(skip_program_name(line ? line : GetCommandLineA()), get_module_path(), count);
  std::free(line);
  return vector;
}
