// The program's entry on Linux: the arguments with the program's full path first, handed to the
// program's run with the application's entries. Arguments come in UTF-8 and go on as the system's
// 8-bit text, as every name does.
#include "program.h"

#include <cstdlib>
#include <cstring>

#include "velk_string.h"

int main(int argc, char** argv) {
  char** vector = (char**)std::malloc(((size_t)argc + 2) * sizeof(char*));
  if (!vector) return 2;
  vector[0] = (char*)get_module_path();
  for (int i = 1; i < argc; i++) {
    size_t size = 8 * std::strlen(argv[i]) + 8;  // room for a run per byte
    vector[i] = (char*)std::malloc(size);
    if (!vector[i] || !utf8_to_text(argv[i], vector[i], size)) return 2;
  }
  vector[argc > 0 ? argc : 1] = nullptr;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(argc > 0 ? argc : 1, vector, &entries);
}
