// Fuzz target of the readers that work on a data device: PCX files and the image-cache stream (plain
// and byte-swapped).
#include <cstddef>
#include <cstring>

#include "data_device.h"
#include "image.h"
#include "image_cache.h"
#include "image_file.h"

namespace {

// A read-only device over the fuzzer's bytes.
class BYTES_DEVICE : public DATA_DEVICE {
public:
  const INT_U8* data;
  INT_U32 size;
  INT_U32 position = 0;
  BYTES_DEVICE(const INT_U8* bytes, size_t count) : data(bytes), size((INT_U32)count) {}
  INT_U32 tell() override { return position; }
  void seek(INT_S32 offset, bool from_end) override {
    INT_S64 target = from_end ? (INT_S64)size + offset : offset;
    position = target < 0 ? 0 : (target > size ? size : (INT_U32)target);
  }
  INT_S32 read(void* buffer, INT_S32 count) override {
    if (count <= 0 || position >= size) return 0;
    INT_U32 taken = (INT_U32)count < size - position ? (INT_U32)count : size - position;
    std::memcpy(buffer, data + position, taken);
    position += taken;
    return (INT_S32)taken;
  }
  INT_S32 write(const void*, INT_S32) override { return 0; }
};

}  // namespace

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
      IMAGE_CACHE_ENTRY* entry = *(IMAGE_CACHE_ENTRY**)node->data;
      if (entry->image.pixels) {
        volatile INT_U32 last = *entry->image.pixel_at(entry->image.width - 1, entry->image.height - 1);
        (void)last;
      }
    }
  }
  return 0;
}
