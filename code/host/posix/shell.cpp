// Process and shell services on Linux: replacing the running program, opening documents, folders and
// web addresses with the desktop's opener (xdg-open) while the main window is open, and the running
// program's own folder and file name.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files_host.h"
#include "folder.h"
#include "host.h"
#include "host_names.h"
#include "shell.h"

// The path that shell_open_file hands to the opener; valid until the next call.
static char shell_path[FOLDER_PATH_SIZE];

INT_S32 exec_program(FOLDER* folder, const char* name) {
  char path[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, path))
    return -1;
  fflush(stdout);
  execl(path, path, (char*)nullptr);
  return -1;
}

// Starts the opener detached (its child is adopted by init, so no zombie is left) and returns at once.
// The text goes to it in UTF-8.
static void open_with_desktop(const char* given) {
  char text[HOST_PATH_SIZE];
  if (!host_path(given, text))
    return;
  pid_t child = fork();
  if (child < 0)
    return;
  if (child == 0) {
    if (fork() == 0) {
      setsid();
      int null_device = open("/dev/null", O_RDWR);
      if (null_device >= 0) {
        dup2(null_device, 0);
        dup2(null_device, 1);
        dup2(null_device, 2);
      }
      execlp("xdg-open", "xdg-open", text, (char*)nullptr);
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

void shell_open(const char* text) {
  if (!text || !has_main_window())
    return;
  open_with_desktop(text);
}

void shell_open_file(FOLDER* folder, const char* name) {
  if (!has_main_window())
    return;
  int written;
  if (folder) {
    char base[FOLDER_PATH_SIZE];
    snprintf(base, sizeof(base), "%s", folder->path);
    size_t length = strlen(base);
    if (length > 1 && base[length - 1] == '/')
      base[length - 1] = 0;
    if (name)
      written = snprintf(shell_path, sizeof(shell_path), "%s%s%s", base,
                         strcmp(base, "/") == 0 ? "" : "/", name);
    else
      written = snprintf(shell_path, sizeof(shell_path), "%s", base);
  } else {
    if (!name)
      return;
    written = snprintf(shell_path, sizeof(shell_path), "%s", name);
  }
  if (written < 0 || written >= (int)sizeof(shell_path))
    return;  // an over-long path opens nothing
  open_with_desktop(shell_path);
}

