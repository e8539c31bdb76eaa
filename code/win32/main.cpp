// The program's entry on Windows: keeps the instance, splits the command line and hands the run to
// the program's run with the application's entries.
#include "win32_host.h"
#include "program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show_mode) {
  (void)previous;
  (void)show_mode;
  instance_handle = instance;
  INT_S32 argc = 0;
  char** argv = split_command_line(command_line, get_module_path(), &argc);
  if (!argv) return 0;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(argc, argv, &entries);
}
