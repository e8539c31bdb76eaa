// The program's entry on Linux: the arguments with the program's full path first, handed to the
// program's run with the application's entries.
#include "program.h"

#include <cstdlib>

int main(int argc, char** argv) {
  char** vector = (char**)std::malloc(((size_t)argc + 2) * sizeof(char*));
  if (!vector) return 2;
  vector[0] = (char*)get_module_path();
  for (int i = 1; i < argc; i++) vector[i] = argv[i];
  vector[argc > 0 ? argc : 1] = nullptr;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(argc > 0 ? argc : 1, vector, &entries);
}
