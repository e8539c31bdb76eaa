// Process and shell services on Windows: replacing the running program (_spawnlp in overlay mode),
// opening documents, folders and web addresses through ShellExecuteA while the main window is open,
// and the running program's own folder and file name.
#include "win32_host.h"
#include <process.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>

#include "../files_host.h"
#include "folder.h"
#include "shell.h"

// The path that shell_open_file hands to the shell; valid until the next call.
static char shell_path[FOLDER_PATH_SIZE];

INT_S32 exec_program(FOLDER* folder, const char* name) {
  char path[FOLDER_PATH_SIZE];
  if (!folder || !join_path(path, folder->path, name))
    return -1;
  fflush(stdout);
  if (_spawnlp(_P_OVERLAY, path, path, NULL) == -1)
    return -1;
  return -1;
}

void shell_open(const char* text) {
  if (!text || !main_window)
    return;
  ShellExecuteA(main_window, "open", text, NULL, NULL, SW_SHOWNORMAL);
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
  ShellExecuteA(main_window, "open", shell_path, NULL, NULL, SW_SHOWNORMAL);
}

