// The program's entry on Linux: the arguments with the program's full path first, handed to the
// program's run with the application's entries. Arguments come in UTF-8 and go on as the system's
// 8-bit text, as every name does.
#include "program.h"

#include <cstdlib>
#include <cstring>

#include "velk_string.h"

int main(int argc, char** argv) {
  // One block, which run_program frees: the vector, then the texts of the arguments after the first,
  // each with room for a run per byte.
  size_t count = argc > 0 ? (size_t)argc : 1, size = (count + 1) * sizeof(char*);
  for (int i = 1; i < argc; i++) size += 8 * std::strlen(argv[i]) + 8;
  char** vector = (char**)std::malloc(size);
  if (!vector) return 2;
  char* text = (char*)(vector + count + 1);
  vector[0] = (char*)get_module_path();
  for (int i = 1; i < argc; i++) {
    size_t room = 8 * std::strlen(argv[i]) + 8;
    if (!utf8_to_text(argv[i], text, room)) return 2;
    vector[i] = text;
    text += room;
  }
  vector[count] = nullptr;
  APPLICATION_ENTRIES entries = {application_main, application_update, application_exit, application_statics};
  return run_program(argc > 0 ? argc : 1, vector, &entries);
}
