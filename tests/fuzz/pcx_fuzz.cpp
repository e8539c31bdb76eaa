// Fuzz target of the readers that work on a data device: PCX files and the image-cache stream (plain
// and byte-swapped).
#include <cstddef>

#include "fuzz_support.h"
#include "image.h"
#include "image_cache.h"
#include "image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  BYTES_DEVICE pcx(data, size);
  IMAGE image(3, 2);
  if (load_pcx(&image, &pcx) && image.pixels) {
    volatile INT_U32 last = *image.pixel_at(image.width - 1, image.height - 1);
    (void)last;
  }
  for (INT_U8 swap = 0; swap < 2; ++swap) {
    BYTES_DEVICE stream(data, size);
    stream.swap_bytes = swap;
    IMAGE_CACHE cache;
    cache.get_from_data_device(&stream);
    // Every entry read is whole: walk them and look at each picture's last pixel.
    for (LLIST_NODE* node = cache.entries.head; node; node = node->next) {
      IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
      if (entry->image.pixels) {
        volatile INT_U32 last = *entry->image.pixel_at(entry->image.width - 1, entry->image.height - 1);
        (void)last;
      }
    }
  }
  return 0;
}
