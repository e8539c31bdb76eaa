// Process and shell services on Windows: replacing the running program (_wspawnlp in overlay mode),
// opening documents, folders and web addresses through ShellExecuteW while the main window is open,
// and the running program's own folder and file name. Texts go to Windows in UTF-16.
#include "win32_host.h"
#include <process.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>

#include "files_host.h"
#include "folder.h"
#include "shell.h"

// The path that shell_open_file hands to the shell; valid until the next call.
static char shell_path[FOLDER_PATH_SIZE];

INT_S32 exec_program(FOLDER* folder, const char* name) {
  WCHAR path[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, path))
    return -1;
  fflush(stdout);
  if (_wspawnlp(_P_OVERLAY, path, path, NULL) == -1)
    return -1;
  return -1;
}

// Opens the text (the system's 8-bit text) with the shell.
static void open_with_shell(const char* text) {
  WCHAR wide[FOLDER_PATH_SIZE];
  if (wide_path(text, wide))
    ShellExecuteW(main_window, L"open", wide, NULL, NULL, SW_SHOWNORMAL);
}

void shell_open(const char* text) {
  if (!text || !main_window)
    return;
  open_with_shell(text);
}

void shell_open_file(FOLDER* folder, const char* name) {
  if (!main_window)
    return;
  int written;
  if (folder) {
    char base[FOLDER_PATH_SIZE];
    snprintf(base, sizeof(base), "%s", folder->path);
    size_t length = strlen(base);
    // A drive root keeps its backslash: "C:" alone would name the drive's current folder.
    bool drive_root = length == 3 && base[1] == ':' && base[2] == '\\';
    if (length > 0 && base[length - 1] == '\\' && !drive_root)
      base[length - 1] = 0;
    if (name)
      written = snprintf(shell_path, sizeof(shell_path), "%s%s%s", base, drive_root ? "" : "\\", name);
    else
      written = snprintf(shell_path, sizeof(shell_path), "%s", base);
  } else {
    if (!name)
      return;
    written = snprintf(shell_path, sizeof(shell_path), "%s", name);
  }
  if (written < 0 || written >= (int)sizeof(shell_path))
    return;  // an over-long path opens nothing
  open_with_shell(shell_path);
}

