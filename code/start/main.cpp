// The program's entry, one for both hosts: the host hands over the program's arguments (its full path
// first, then the command line's arguments as the system's text), which go to the program's run with
// the application's entries.
#include "program.h"

int main(int argc, char** argv) {
  INT_S32 count = 0;
  char** vector = get_program_arguments(argc, argv, &count);
  if (!vector) return 2;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(count, vector, &entries);
}
