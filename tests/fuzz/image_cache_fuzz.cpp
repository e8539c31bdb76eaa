// Fuzz target of pictures loaded by name and kept in an image cache: the bytes become a file without
// extension, so every reader is tried in turn; what loads is scaled to sizes taken from the input
// (nearest and smooth, keep-aspect and maxima), shared, resized, copied on write, changed, and the
// cache is written to its stream and read back.
#include <cstddef>

#include "data_file.h"
#include "fuzz_support.h"
#include "image.h"
#include "image_cache.h"
#include "scale.h"

namespace {

// A requested side from one byte: -1 (natural) or 1 .. 191, kept small so scaling stays quick.
INT_S16 side(INT_U8 byte) { return byte == 0 || byte >= 192 ? (INT_S16)-1 : (INT_S16)byte; }

void touch(const IMAGE* image) {
  if (image && image->pixels && image->width > 0 && image->height > 0) {
    volatile INT_U32 corner = *image->pixel_at(image->width - 1, image->height - 1);
    (void)corner;
  }
}

}  // namespace

// Pictures up to the readers' pixel cap are allocated and freed again and again; a smaller quarantine
// keeps the sanitizer's memory within the fuzz run's limit.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

// Small file buffers: every reader tried opens the file again.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  default_file_cache_size = 0x1000;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  if (size < 6) return 0;
  FOLDER* folder = fuzz_work_folder("image-cache");
  // Six bytes of settings, then the picture file.
  const INT_S16 width = side(data[0]), height = side(data[1]);
  const INT_S16 other_width = side(data[2]), other_height = side(data[3]);
  const INT_U8 switches = data[4];
  const INT_U8 flags = data[5] & (CACHE_DROP_ON_FAILURE | CACHE_NATURAL_SIZE);
  fuzz_write_file(folder, "picture", data + 6, size - 6);

  smooth_scaling_off = (switches & 1) ? 1 : 0;
  {
    IMAGE image;
    image.keep_aspect = (switches & 2) ? 1 : 0;
    if (switches & 4) {
      image.maximum_width = (INT_S16)(switches & 0x38);
      image.maximum_height = (INT_S16)((switches & 0xC0) >> 2);
    }
    if (image.load(folder, "picture", width, height)) {
      touch(&image);
      image.scale((INT_U16)other_width, (INT_U16)other_height, (switches & 8) != 0);
      touch(&image);
    }
  }

  IMAGE_CACHE cache;
  cache.free_at_zero = (switches & 0x10) ? 1 : 0;
  IMAGE* first = cache.get_in_folder(folder, "picture", width, height, flags);
  IMAGE* second = cache.get_in_folder(folder, "picture", other_width, other_height, flags);
  touch(first);
  touch(second);
  if (first) {
    cache.resize(&first, other_width, height);
    touch(first);
    IMAGE* shared = cache.add_reference(first);
    COLOUR tint = 0x80FF8000;
    cache.tint(&shared, &tint);
    touch(shared);
    if (shared) cache.release(cache.find_entry(shared));
  }
  VECTOR_DEVICE stream;
  if (cache.put_to_data_device(&stream)) {
    stream.seek(0, false);
    IMAGE_CACHE copy;
    copy.get_from_data_device(&stream);
  }
  if (first) cache.release(cache.find_entry(first));
  if (second) cache.release(cache.find_entry(second));
  cache.flush();
  smooth_scaling_off = 0;
  return 0;
}
