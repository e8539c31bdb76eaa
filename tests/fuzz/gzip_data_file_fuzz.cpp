// Fuzz target of compressed data files: the bytes become a gzip data file (byte-order byte first) that
// is read in uneven pieces, sought back and forth and read again, and read through the gzip stream alone.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "data_file.h"
#include "fuzz_support.h"
#include "gzip_stream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  default_file_cache_size = 4096;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("gzip");
  fuzz_write_file(folder, "in.gz", data, size);

  static INT_U8 buffer[70000];
  DATA_FILE* input = open_data_file(folder, "in.gz", FILE_MODE_READ, BYTE_ORDER_HEADER, true);
  if (!input) abort();
  INT_S32 total = 0;
  INT_S32 piece = 1;
  // Inflated data may be far larger than the input: stop after a bounded amount.
  while (total < 4000000) {
    INT_S32 got = input->read(buffer, piece);
    if (got < 0 || got > piece) abort();
    if (got == 0) break;
    total += got;
    piece = piece * 7 % 65521 + 1;
  }
  if (!input->at_end() && total < 4000000) abort();
  input->seek(total / 2, false);
  INT_U32 value;
  input->read_u32(&value);
  input->seek(0, false);
  input->read(buffer, sizeof buffer);
  input->seek(-3, true);
  input->read(buffer, 3);
  close_data_file(&input);

  FILE* file = fopen(folder->get_path_text("in.gz"), "rb");
  if (!file) abort();
  GZ_FILE_STREAM* stream = gzopen_file(file, "r");
  if (stream) {
    char line[100];
    for (int lines = 0; lines < 1000 && gzfile_gets(stream, line, sizeof line); ++lines) {
    }
    gzfile_seek(stream, 10, 0);
    gzfile_getc(stream);
    gzclose_keep_file(stream);
  }
  fclose(file);
  return 0;
}
