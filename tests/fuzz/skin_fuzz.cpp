// Fuzz target of the skin stream reader, plain and byte-swapped. A first byte of 0 hands the rest over
// as the stream itself; any other first byte patches a valid skin stream written at start-up (named
// style sets, icons of several sizes, the default dialog styles, effects and rates).
#include <cstddef>
#include <cstring>
#include <vector>

#include "database.h"
#include "file_select.h"
#include "fuzz_support.h"
#include "image.h"

namespace {

std::vector<INT_U8> make_template() {
  DATABASE d;
  for (int i = 0; i < DATABASE::STYLE_COUNT; i++) {
    d.style_set(i)->set_name("style");
    d.style_set(i)->shading_type = (INT_U32)i;
  }
  for (int i = 0; i < DATABASE::ICON_COUNT; i++) d.skin_icons[i].set_size((INT_S16)(i % 4 + 1), 2);
  d.progress_bar_animation_x_rate = 3;
  VECTOR_DEVICE device;
  d.write_skin(&device);
  return device.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  static const std::vector<INT_U8> valid = make_template();
  if (size < 1) return 0;
  std::vector<INT_U8> bytes = fuzz_patched_stream(valid, data, size);
  for (INT_U8 swap = 0; swap < 2; ++swap) {
    BYTES_DEVICE input(bytes.data(), bytes.size());
    input.swap_bytes = swap;
    DATABASE d;
    if (d.read_skin(&input)) {
      // What was read must be whole: every icon and its copy in the file selector.
      for (IMAGE& icon : d.skin_icons)
        if (icon.pixels) (void)icon.pixels[icon.row_pitch * icon.height - 1];
      IMAGE* folder = file_select_folder_icon();
      if (folder->pixels) (void)folder->pixels[folder->row_pitch * folder->height - 1];
    }
  }
  return 0;
}
