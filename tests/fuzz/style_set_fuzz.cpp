// Fuzz target of the binary style-set record reader (every version, plain and byte-swapped), reading
// records one after another as a stream of them is read.
#include <cstddef>
#include <cstring>

#include "fuzz_support.h"
#include "style_set.h"

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  for (INT_U8 swap = 0; swap < 2; ++swap) {
    BYTES_DEVICE device(data, size);
    device.swap_bytes = swap;
    WM_STYLE_SET style;
    for (int record = 0; record < 4 && style.get_from_data_device(&device); record++) {
      if (style.image_filename) (void)std::strlen(style.image_filename);
      if (style.name) (void)std::strlen(style.name);
      (void)std::strlen(style.image_path);
      WM_STYLE_SET copy;
      WM_STYLE_SET::copy(&copy, &style);
    }
  }
  return 0;
}
