// Fuzz target of the image readers that take stored sizes straight from their input: the raw image
// stream (plain and byte-swapped) and embedded bytes with their block size.
#include <cstddef>

#include "fuzz_support.h"
#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  for (INT_U8 swap = 0; swap < 2; ++swap) {
    BYTES_DEVICE device(data, size);
    device.swap_bytes = swap;
    IMAGE image(3, 2);
    if (image.get_from_data_device(&device) && image.pixels) {
      // Whatever was read must be addressable in full.
      volatile INT_U32 last = *image.pixel_at(image.width - 1, image.height - 1);
      (void)last;
    }
  }
  IMAGE embedded;
  embedded.from_bytes(data, (INT_S32)size);
  return 0;
}
