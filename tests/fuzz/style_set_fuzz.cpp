// Fuzz target of the binary style-set record reader (every version, plain and byte-swapped), reading
// records one after another as a stream of them is read.
#include <cstddef>
#include <cstring>

#include "data_device.h"
#include "style_set.h"

namespace {

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
