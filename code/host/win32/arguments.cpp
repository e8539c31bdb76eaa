// Windows host layer: the program's arguments and its instance. The command line is read in UTF-16 (the
// ANSI one holds only the code page's characters) and split as the system's 8-bit text.
#include "win32_host.h"

#include <cstdlib>
#include <cwchar>

#include "velk_string.h"

// The command line after the program's name: the name ends at its closing quote, or unquoted at the
// first blank; the blanks behind it are skipped.
template <typename UNIT>
static const UNIT* after_program_name(const UNIT* line) {
  if (*line == '"') {
    line++;
    while (*line && *line != '"') line++;
    if (*line) line++;
  } else {
    while (*line && *line != ' ' && *line != '\t') line++;
  }
  while (*line == ' ' || *line == '\t') line++;
  return line;
}

// The command line after the program's name, as the system's text (allocated); null when it cannot be had.
static char* system_command_line() {
  const WCHAR* line = GetCommandLineW();
  if (!line) return nullptr;
  line = after_program_name(line);
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
  const char* ansi_line = GetCommandLineA();
  char** vector = split_command_line(line ? line : ansi_line ? after_program_name(ansi_line) : nullptr,
                                     get_module_path(), count);
  std::free(line);
  return vector;
}
