// Fuzz target of text measuring and drawing with DejaVu Sans: any bytes as text (hex runs included),
// drawn with every effect and alignment, at odd sizes and positions, wrapped into small boxes and
// formatted, and names shortened to a room, into a small image whose edges and clip the text keeps crossing.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "colour.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "text_draw.h"

namespace {

const INT_S8 SANS = 10;

// Starts the font system once with DejaVu Sans as the default font; false when it is not installed.
bool fonts_ready() {
  static int state = -1;
  if (state < 0) {
    const char* folder_text = "/usr/share/fonts/truetype/dejavu";
    static FOLDER fonts;
    state = 0;
    if (std::filesystem::exists(std::string(folder_text) + "/DejaVuSans.ttf") && fonts.set_if_folder(folder_text)) {
      set_named_path("$FONTDATA", &fonts);
      disable_font_preload();
      start_font_system();
      state = load_font("DejaVuSans.ttf", nullptr, SANS, &fonts) == SANS ? 1 : 0;
    }
  }
  return state == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  if (size < 5 || !fonts_ready()) return 0;
  // Four bytes of settings, then the text (cut at 2048 bytes and at its first NUL).
  const INT_S16 box_width = data[0];
  const TEXT_FLAGS flags = (TEXT_FLAGS)(data[1] & 0x7F);
  const INT_S16 text_size = (INT_S16)(data[2] % 48 + 1);
  const INT_S16 x = (INT_S16)((INT_S8)data[3]);
  const bool hex = (data[1] & 0x80) != 0;
  std::string text(reinterpret_cast<const char*>(data + 4), std::min<size_t>(size - 4, 2048));
  text = text.c_str();

  const COLOUR ink = 0xC0102030, background = 0x80FFFFFF, underline = 0xFF0000FF;
  IMAGE image(96, 64);
  COLOUR paper = 0xFFEEEEEE;
  image.clear(&paper, 1);
  image.set_clip(2, 3, 90, 60);

  text_width(&image, SANS, text_size, text_size, text.c_str(), -1, hex);
  text_width(&image, SANS, text_size, (INT_S16)(text_size / 2 + 1), text.c_str(), data[0] % 9, !hex);
  render_text(&image, x, (INT_S16)(x / 2), &ink, &background, &underline, 0, SANS, text_size, text_size,
              text.c_str(), -1, hex);
  render_text(&image, (INT_S16)-x, 40, &ink, nullptr, nullptr, (data[0] & 1) ? 0.3 : -0.3, SANS, text_size,
              text_size, text.c_str(), -1, hex);
  draw_text(&image, x, 10, &ink, (data[0] & 2) ? &background : nullptr, (data[0] & 4) ? &underline : nullptr, SANS,
            text_size, text_size, text.c_str(), flags, -1, hex);

  draw_text_in_box(&image, x, 5, (INT_S16)(x + box_width), 55, &ink, nullptr, &underline, SANS, text_size, text_size,
                   text.c_str(), flags);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(&image, box_width, data[0] % 7, SANS, text_size, text_size, text.c_str(), lines);
  if (count < 0 || count > TEXT_MAX_LINES) abort();
  for (INT_S32 i = 0; i < count; ++i)
    if (lines[i].start < 0 || (size_t)lines[i].start > text.size()) abort();

  // A name shortened in its middle fits its room, or is "..." alone.
  std::string name = name_in_room(&image, SANS, text_size, text_size, text.c_str(), box_width);
  if (name != "..." && text_width(&image, SANS, text_size, text_size, name.c_str(), -1, false) > box_width) abort();

  draw_text_printf(&image, x, 20, &ink, nullptr, SANS, text_size, text_size, "%s|%d", text.c_str(), (int)size);
  if (!text.empty()) draw_char(&image, x, 30, &ink, nullptr, &underline, SANS, text_size, text_size,
                               (INT_U16)((unsigned char)text[0] | (data[0] << 8)), flags);
  return 0;
}
