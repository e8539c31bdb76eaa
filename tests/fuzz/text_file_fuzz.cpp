// Fuzz target of text files: the bytes become a text file that is read line by line at several line
// sizes and character by character, and the lines are written back as UTF-8 and as UTF-16.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "text_file.h"
#include "velk_string.h"

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("text");
  fuzz_write_file(folder, "in.txt", data, size);

  static const INT_S16 line_sizes[] = {2, 7, 256};
  for (INT_S16 line_size : line_sizes) {
    TEXT_FILE* input = open_text_file(folder, "in.txt", TEXT_FILE_READ, false);
    if (!input) abort();
    TEXT_FILE* output = open_text_file(folder, "out.txt", TEXT_FILE_WRITE, line_size == 7);
    if (!output) abort();
    input->line_size = line_size;
    std::vector<char> line(static_cast<size_t>(line_size));
    while (input->read_line(line.data())) {
      if (strlen(line.data()) >= static_cast<size_t>(line_size)) abort();
      INT_U16 units[256];
      if (!text_to_utf16(line.data(), units, 256)) abort();  // each line spelled as the conversions take it
      output->write_text(line.data());
      output->put_char('\n');
    }
    close_text_file(&input);
    close_text_file(&output);
  }
  TEXT_FILE* input = open_text_file(folder, "in.txt", TEXT_FILE_READ, false);
  char c;
  while (input->get_char(&c)) {
  }
  close_text_file(&input);
  TEXT_FILE* append = open_text_file(folder, "in.txt", TEXT_FILE_APPEND, size & 1);
  if (append) append->printf("%s\n", "tail");
  close_text_file(&append);
  return 0;
}
