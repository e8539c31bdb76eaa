// Linux host layer: the program's arguments, with the program's full path first. Arguments come in
// UTF-8 and go on as the system's 8-bit text, as every name does.
#include "host.h"

#include <cstdlib>
#include <cstring>

#include "velk_string.h"

char** get_program_arguments(int argc, char** argv, INT_S32* count) {
  // One block, which run_program frees: the vector, then the texts of the arguments after the first,
  // each with room for a run per byte.
  size_t total = argc > 0 ? (size_t)argc : 1, size = (total + 1) * sizeof(char*);
  for (int i = 1; i < argc; i++) size += 8 * std::strlen(argv[i]) + 8;
  char** vector = (char**)std::malloc(size);
  if (!vector) return nullptr;
  char* text = (char*)(vector + total + 1);
  vector[0] = (char*)get_module_path();
  for (int i = 1; i < argc; i++) {
    size_t room = 8 * std::strlen(argv[i]) + 8;
    if (!utf8_to_text(argv[i], text, room)) {
      std::free(vector);
      return nullptr;
    }
    vector[i] = text;
    text += room;
  }
  vector[total] = nullptr;
  *count = (INT_S32)total;
  return vector;
}
