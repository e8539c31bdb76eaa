// Fuzz target of the PNG and JPEG readers: the input is written to a file and read back through a data
// file, as IMAGE::load does, with the JPEG reader also scaling while it decodes.
#include <cstddef>

#include "data_file.h"
#include "fuzz_support.h"
#include "image.h"
#include "image_file.h"

namespace {

void touch_last_pixel(const IMAGE& image) {
  if (image.pixels && image.width > 0 && image.height > 0) {
    volatile INT_U32 last = *image.pixel_at(image.width - 1, image.height - 1);
    (void)last;
  }
}

}  // namespace

// Small file buffers: three opens per input would otherwise churn through megabytes.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  default_file_cache_size = 0x1000;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("png");
  fuzz_write_file(folder, "fuzz_input.bin", data, size);
  DATA_FILE* file = open_data_file(folder, "fuzz_input.bin", FILE_MODE_READ, 0, false);
  if (!file) return 0;
  IMAGE image(3, 2);
  if (load_png(&image, file)) touch_last_pixel(image);
  close_data_file(&file);

  file = open_data_file(folder, "fuzz_input.bin", FILE_MODE_READ, 0, false);
  if (!file) return 0;
  IMAGE natural;
  if (load_jpeg(&natural, file, -1, -1)) touch_last_pixel(natural);
  close_data_file(&file);

  file = open_data_file(folder, "fuzz_input.bin", FILE_MODE_READ, 0, false);
  if (!file) return 0;
  IMAGE scaled;
  if (load_jpeg(&scaled, file, 7, 5)) touch_last_pixel(scaled);
  close_data_file(&file);
  return 0;
}
