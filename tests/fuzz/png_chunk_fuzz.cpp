// Fuzz target of the PNG reader past its checksums: the input is a PNG's chunk stream without the
// signature; the target puts the signature in front and recomputes every chunk's CRC, so that changed
// headers, palettes, transparency and image data reach the reader instead of failing the checksum.
#include <cstddef>
#include <cstdlib>
#include <vector>

#include <zlib.h>

#include "data_file.h"
#include "fuzz_support.h"
#include "image.h"
#include "image_file.h"

namespace {

const INT_U8 PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Signature + chunks, each complete chunk's CRC set to that of its type and data; a cut last chunk
// stays as it is.
std::vector<INT_U8> with_checksums(const INT_U8* data, size_t size) {
  std::vector<INT_U8> file(PNG_SIGNATURE, PNG_SIGNATURE + 8);
  file.insert(file.end(), data, data + size);
  size_t at = 8;
  while (file.size() - at >= 12) {
    size_t length = ((size_t)file[at] << 24) | ((size_t)file[at + 1] << 16) | ((size_t)file[at + 2] << 8) | file[at + 3];
    if (length > file.size() - at - 12) break;
    uLong crc = crc32(0L, file.data() + at + 4, (uInt)(length + 4));
    INT_U8* stored = file.data() + at + 8 + length;
    stored[0] = (INT_U8)(crc >> 24);
    stored[1] = (INT_U8)(crc >> 16);
    stored[2] = (INT_U8)(crc >> 8);
    stored[3] = (INT_U8)crc;
    at += length + 12;
  }
  return file;
}

}  // namespace

// Pictures up to the reader's pixel cap are allocated and freed again and again; a smaller quarantine
// keeps the sanitizer's memory within the fuzz run's limit.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  default_file_cache_size = 0x1000;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("png-chunk");
  std::vector<INT_U8> bytes = with_checksums(data, size);
  fuzz_write_file(folder, "in.png", bytes.data(), bytes.size());

  DATA_FILE* file = open_data_file(folder, "in.png", FILE_MODE_READ, 0, false);
  if (!file) abort();
  IMAGE image(3, 2);
  bool loaded = load_png(&image, file);
  close_data_file(&file);
  if (loaded && image.pixels) {
    // Every row of what was read must be addressable in full.
    volatile INT_U32 sum = 0;
    for (INT_S32 y = 0; y < image.height; ++y) sum += *image.pixel_at(image.width - 1, y);
    (void)sum;
  }
  return 0;
}
