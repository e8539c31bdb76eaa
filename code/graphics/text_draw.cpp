// Text measuring and drawing: reads 8-bit text with hex runs, takes glyphs from the font system's cache
// and writes them into images with the blending rule, the clip and the dirty rectangle; lays out
// wrapped text in boxes.
#include "text_draw.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "errors.h"
#include "font.h"
#include "image.h"
#include "velk_string.h"

// ---------------------------------------------------------------------------------------------------
// Glyphs

// The glyph of a character at the text size. Codes below 256 come from the slot's cache; others are
// rendered into *temporary, which the caller frees with free_glyph_bitmap.
static GLYPH* fetch_glyph(FONT_SLOT* slot, INT_S8 font_id, INT_U32 code, INT_S16 x_size, INT_S16 y_size,
                          GLYPH* temporary) {
  GLYPH* glyph;
  if (code < 256) {
    glyph = slot->glyphs[code];
    if (!glyph) {
      glyph = (GLYPH*)std::calloc(1, sizeof(GLYPH));
      if (!glyph) raise_error(0x23, nullptr);
      slot->glyphs[code] = glyph;
    }
  } else {
    glyph = temporary;
  }
  cache_glyph(glyph, font_id, code, (INT_S16)(x_size - 1), (INT_S16)(y_size - 1));
  return glyph;
}

static INT_S32 glyph_advance(FONT_SLOT* slot, INT_S8 font_id, INT_U32 code, INT_S16 x_size, INT_S16 y_size) {
  GLYPH temporary;
  std::memset(&temporary, 0, sizeof(temporary));
  GLYPH* glyph = fetch_glyph(slot, font_id, code, x_size, y_size, &temporary);
  INT_S32 advance = glyph->advance;
  if (glyph == &temporary) free_glyph_bitmap(&temporary);
  return advance;
}

INT_S32 tab_advance(INT_S32 offset, INT_S32 space_width) {
  INT_S32 stop = TEXT_TAB_SPACES * space_width;
  if (stop <= 0) return 0;
  if (offset < 0) offset = 0;
  return stop - offset % stop;
}

// The advance of a character at offset pixels from its line's start.
static INT_S32 char_advance(FONT_SLOT* slot, INT_S8 font_id, INT_U32 code, INT_S16 x_size, INT_S16 y_size,
                            INT_S32 offset) {
  if (code != '\t') return glyph_advance(slot, font_id, code, x_size, y_size);
  return tab_advance(offset, glyph_advance(slot, font_id, ' ', x_size, y_size));
}

// The width of length characters read from text, the first at offset pixels from its line's start.
static INT_S32 advances(FONT_SLOT* slot, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* text,
                        INT_S32 length, bool hex_mode, INT_S32 offset) {
  WIDE_RUN_READER reader(text, hex_mode);
  INT_S32 width = 0;
  INT_U32 code;
  for (INT_S32 taken = 0; (length < 0 || taken < length) && reader.next_character(&code); taken++)
    width += char_advance(slot, font_id, code, x_size, y_size, offset + width);
  return width;
}

void choose_widget_font(INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_S8* font_id_out, INT_S16* x_size_out,
                        INT_S16* y_size_out) {
  IMAGE* target = draw_target;
  *font_id_out = font_id == -1 && target ? target->default_font_id : font_id;
  *x_size_out = x_size == -1 && target ? target->default_font_x_size : x_size;
  *y_size_out = y_size == -1 && target ? target->default_font_y_size : y_size;
}

// The font slot that text_width measures with (-1 font and sizes the image's defaults); null when it
// measures bytes instead.
static FONT_SLOT* measuring_font(IMAGE* image, INT_S8* font_id, INT_S16* x_size, INT_S16* y_size) {
  if (*font_id == -1) *font_id = image ? image->default_font_id : DEFAULT_FONT_ID;
  if (*x_size == -1) *x_size = image ? image->default_font_x_size : 22;
  if (*y_size == -1) *y_size = image ? image->default_font_y_size : 22;
  FONT_SLOT* slot = get_font(*font_id);
  return slot && *x_size >= 1 && *y_size >= 1 ? slot : nullptr;
}

INT_S32 text_width(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* text,
                   INT_S32 length, bool hex_mode) {
  if (!text) return 0;
  FONT_SLOT* slot = measuring_font(image, &font_id, &x_size, &y_size);
  if (!slot) return (INT_S32)std::strlen(text);
  return advances(slot, font_id, x_size, y_size, text, length, hex_mode, 0);
}

INT_S32 char_width(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_U32 code) {
  FONT_SLOT* slot = measuring_font(image, &font_id, &x_size, &y_size);
  if (!slot) return 1;
  return char_advance(slot, font_id, code, x_size, y_size, 0);
}

// ---------------------------------------------------------------------------------------------------
// Painting

static bool font_ready(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size) {
  return image && image->pixels && image->can_draw() && font_loaded(font_id) && x_size >= 1 && y_size >= 1;
}

// A pen position as an image coordinate. Beyond the 16-bit range it is pinned to the range's end, so
// that a box starting far outside the image stays outside instead of wrapping round across it.
static INT_S16 pinned(INT_S32 value) { return (INT_S16)(value < -32768 ? -32768 : value > 32767 ? 32767 : value); }

// Where a line of width (and extra after it: an ellipsis or a dash) starts between x1 and x2 by the
// flags' justification; centred unless left or right is asked.
static INT_S32 justified_left(TEXT_FLAGS flags, INT_S32 x1, INT_S32 x2, INT_S32 width, INT_S32 extra) {
  if (flags & TEXT_LEFT_JUSTIFY) return x1;
  if (flags & TEXT_RIGHT_JUSTIFY) return x2 - width - extra;
  return x1 + (x2 - x1 - width + 1) / 2 - extra / 2;
}

static void adjust_pixel_lightness(INT_U32* pixel, double shift) {
  double a, h, s, l;
  colour_to_ahsl(pixel, &a, &h, &s, &l);
  l += shift;
  if (l < 0) l = 0;
  if (l > 1) l = 1;
  COLOUR result;
  colour_from_ahsl(&result, a, h, s, l);
  // The pixel keeps its alpha byte exactly.
  *pixel = (*pixel & 0xFF000000u) | (result & 0x00FFFFFFu);
}

void render_text(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
                 const COLOUR* underline, double lightness_shift, INT_S8 font_id, INT_S16 x_size,
                 INT_S16 y_size, const char* text, INT_S32 length, bool hex_mode) {
  if (!text || !font_ready(image, font_id, x_size, y_size)) return;
  FONT_SLOT* slot = get_font(font_id);
  const COLOUR colour = text_colour ? *text_colour : 0;
  const INT_U32 text_alpha = colour >> 24;
  const bool with_background = background && (*background >> 24) != 0;
  const bool with_underline = underline && (*underline >> 24) != 0;
  const INT_U32 maximum = slot->coverage_maximum ? slot->coverage_maximum : 255;
  const INT_U8 threshold = OPAQUE_ALPHA_THRESHOLD;
  const IMAGE_AREA& clip = image->clip;

  INT_S32 pen = x;
  INT_S32 underline_offset = 0;
  WIDE_RUN_READER reader(text, hex_mode);
  INT_U32 code;
  for (INT_S32 taken = 0; (length < 0 || taken < length) && reader.next_character(&code); taken++) {
    GLYPH temporary;
    std::memset(&temporary, 0, sizeof(temporary));
    // A tab is the space's blank glyph, as wide as the way to its stop.
    const bool tab = code == '\t';
    GLYPH* glyph = fetch_glyph(slot, font_id, tab ? ' ' : code, x_size, y_size, &temporary);

    // The baseline lies the face's ascender below the line's top. Glyphs are sized so that the face's
    // ascender and descender, each rounded up, share the line's height, so a capital with a mark and a
    // descender both stay inside the line. The underline runs one pixel below the baseline.
    if (underline_offset == 0) {
      INT_S32 ascent = glyph->ascent < 0 ? 0 : glyph->ascent > y_size - 1 ? y_size - 1 : glyph->ascent;
      underline_offset = ascent + 1 - y_size;
    }

    INT_S32 advance = tab ? tab_advance(pen - x, glyph->advance) : glyph->advance;
    if (with_background)
      image->fill_rectangle(pinned(pen), y, pinned(pen + advance), pinned(y + y_size), background, 1);
    if (with_underline && advance > 0) {
      INT_S32 uy = y + y_size + underline_offset;
      if (uy >= -32768 && uy <= 32767)
        image->draw_line(pinned(pen), (INT_S16)uy, pinned(pen + advance - 1), (INT_S16)uy, underline, 1, 1);
    }

    // The glyph's box, never reaching the image's last column or row.
    INT_S32 gx = pen + glyph->bitmap_left;
    INT_S32 gy = y + y_size + underline_offset - glyph->bitmap_top - 1;
    INT_S32 box_width = glyph->bitmap_width;
    INT_S32 box_rows = glyph->bitmap_rows;
    if (box_width > image->width - gx - 1) box_width = image->width - gx - 1;
    if (box_rows > image->height - gy - 1) box_rows = image->height - gy - 1;
    INT_S32 bx1 = gx > clip.x1 ? gx : clip.x1;
    INT_S32 by1 = gy > clip.y1 ? gy : clip.y1;
    INT_S32 bx2 = gx + box_width - 1 < clip.x2 ? gx + box_width - 1 : clip.x2;
    INT_S32 by2 = gy + box_rows - 1 < clip.y2 ? gy + box_rows - 1 : clip.y2;
    if (!tab && box_width > 0 && box_rows > 0 && bx1 <= bx2 && by1 <= by2 && glyph->coverage) {
      // The changed area covers the pen box and whatever of the glyph overhangs it.
      image->extend_dirty_in_clip(pen, y, pen + advance, (INT_S32)y + y_size);
      image->extend_dirty_area((INT_S16)bx1, (INT_S16)by1, (INT_S16)bx2, (INT_S16)by2);
      for (INT_S32 py = by1; py <= by2; py++) {
        const INT_U8* coverage_row = glyph->coverage + (size_t)(py - gy) * glyph->bitmap_pitch;
        INT_U32* target = image->pixel_at(bx1, py);
        for (INT_S32 px = bx1; px <= bx2; px++, target++) {
          INT_U32 c = coverage_row[px - gx];
          if (c == 0) continue;
          if (lightness_shift != 0) {
            adjust_pixel_lightness(target, lightness_shift * (double)c / (double)maximum);
            continue;
          }
          INT_U32 a = (maximum == text_alpha) ? c : c * text_alpha / maximum;
          if (a == 0) continue;
          if (a < threshold)
            blend_pixel(target, (colour & 0x00FFFFFFu) | (a << 24), threshold);
          else
            *target = colour;
        }
      }
    }
    if (glyph == &temporary) free_glyph_bitmap(&temporary);
    pen += advance;
    if (pen >= image->width) break;
  }
}

void draw_text(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
               const COLOUR* underline, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* text,
               TEXT_FLAGS flags, INT_S32 length, bool hex_mode) {
  if (!font_ready(image, font_id, x_size, y_size)) return;
  const COLOUR* none = &COLOUR_INVISIBLE;
  if (flags & TEXT_SHADOW) {
    COLOUR shadow = (50u << 24) | 0x000000u;
    render_text(image, pinned(x + 2), pinned(y + 2), &shadow, background, underline, 0, font_id, x_size,
                y_size, text, length, hex_mode);
    render_text(image, x, y, text_colour, none, none, 0, font_id, x_size, y_size, text, length, hex_mode);
  } else if (flags & TEXT_INSET) {
    double a, h, s, l;
    COLOUR colour = text_colour ? *text_colour : 0;
    colour_to_ahsl(&colour, &a, &h, &s, &l);
    if (l <= 0.5) {
      COLOUR white = (100u << 24) | 0xFFFFFFu;
      render_text(image, pinned(x + 1), pinned(y + 1), &white, none, none, 0, font_id, x_size, y_size, text,
                  length, hex_mode);
    } else {
      COLOUR black = (100u << 24) | 0x000000u;
      render_text(image, pinned(x - 1), pinned(y - 1), &black, none, none, 0, font_id, x_size, y_size, text,
                  length, hex_mode);
    }
    render_text(image, x, y, text_colour, none, underline, 0, font_id, x_size, y_size, text, length, hex_mode);
  } else if (flags & TEXT_CHISELED) {
    render_text(image, pinned(x + 1), pinned(y + 1), text_colour, none, none, 0.15, font_id, x_size,
                y_size, text, length, hex_mode);
    render_text(image, x, y, text_colour, none, underline, -0.1, font_id, x_size, y_size, text, length,
                hex_mode);
  } else {
    render_text(image, x, y, text_colour, background, underline, 0, font_id, x_size, y_size, text, length,
                hex_mode);
  }
}

void draw_char(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
               const COLOUR* underline, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_U16 character,
               TEXT_FLAGS flags) {
  static char buffer[2];
  buffer[0] = (char)(character & 0xFF);
  buffer[1] = 0;
  draw_text(image, x, y, text_colour, background, underline, font_id, x_size, y_size, buffer, flags, -1, false);
}

void draw_text_printf(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
                      INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* format, ...) {
  static char buffer[TEXT_PRINTF_BUFFER];
  if (!format) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof(buffer), format, arguments);
  va_end(arguments);
  draw_text(image, x, y, text_colour, background, &COLOUR_INVISIBLE, font_id, x_size, y_size, buffer, 0, -1,
            false);
}

// ---------------------------------------------------------------------------------------------------
// Text in a box

namespace {
// One character of the line being laid out.
struct LAYOUT_CHAR {
  INT_S32 start;  // byte index of the character
  bool hex;       // hex state at that index
  INT_U32 code;
  INT_S32 width;
};
}  // namespace

static bool is_blank(INT_U32 code) { return code == ' ' || code == '\t'; }

INT_S32 layout_text_in_box(IMAGE* image, INT_S32 box_width, INT_S32 lines_allowed, INT_S8 font_id, INT_S16 x_size,
                           INT_S16 y_size, const char* text, TEXT_LINE* lines) {
  if (!text || !text[0] || !lines) return 0;
  FONT_SLOT* slot = get_font(font_id);
  if (!slot || x_size < 1 || y_size < 1) return 0;
  if (lines_allowed < 1) lines_allowed = 1;
  if (lines_allowed > TEXT_MAX_LINES) lines_allowed = TEXT_MAX_LINES;
  const INT_S32 ellipsis_width = text_width(image, font_id, x_size, y_size, "...", -1, false);
  const INT_S32 dash_width = text_width(image, font_id, x_size, y_size, "-", -1, false);

  INT_S32 begun = 1;
  lines[0].start = 0;
  lines[0].count = 0;
  lines[0].width = 0;
  lines[0].flags = 0;
  std::vector<LAYOUT_CHAR> chars;  // the characters of the current line

  // Starts the next line at a byte index with its hex state.
  auto begin_line = [&](INT_S32 start, bool hex) {
    TEXT_LINE& line = lines[begun++];
    line.start = start;
    line.count = 0;
    line.width = 0;
    line.flags = hex ? TEXT_LINE_HEX : 0;
    chars.clear();
  };

  WIDE_RUN_READER reader(text, false);
  INT_U32 code;
  while (reader.next_character(&code)) {
    INT_S32 char_start = reader.start_position();
    bool char_hex = reader.unit_in_run;
    TEXT_LINE& line = lines[begun - 1];
    if (code == 10) {
      if (begun >= lines_allowed) break;
      begin_line(reader.position(), reader.run);
      continue;
    }
    if (is_blank(code) && line.count == 0) {
      line.start = reader.position();
      line.flags = (INT_U8)((line.flags & ~TEXT_LINE_HEX) | (reader.run ? TEXT_LINE_HEX : 0));
      continue;
    }
    INT_S32 w = char_advance(slot, font_id, code, x_size, y_size, line.width);
    if (begun == lines_allowed && line.width + w + ellipsis_width > box_width) {
      INT_S32 rest = advances(slot, font_id, x_size, y_size, text + char_start, -1, char_hex, line.width);
      if (line.width + rest <= box_width) {
        line.count = -1;
        line.width += rest;
      } else {
        line.flags |= TEXT_LINE_ELLIPSIS;
      }
      break;
    }
    // A character joins the line while it fits; an empty line takes it anyway so that a character
    // wider than the box cannot hold up the layout.
    if (line.width + w < box_width || line.count == 0) {
      line.count++;
      line.width += w;
      chars.push_back({char_start, char_hex, code, w});
      continue;
    }
    if (begun >= lines_allowed) break;
    // A blank that does not fit is the break itself: it leads the next line, which drops it.
    if (is_blank(code)) {
      begin_line(char_start, char_hex);
      reader.seek(char_start, char_hex);
      continue;
    }

    // Break the line: look back for a blank, tab or "-", remembering where a cut with "-" would fit,
    // the whole line first.
    INT_S32 remaining = line.width;
    INT_S32 remembered = -1;
    INT_S32 remembered_width = 0;
    if (remaining + dash_width < box_width) {
      remembered = (INT_S32)chars.size();
      remembered_width = remaining;
    }
    INT_S32 next_start = char_start;
    bool next_hex = char_hex;
    bool found = false;
    for (INT_S32 i = (INT_S32)chars.size() - 1; i >= 0; i--) {
      const LAYOUT_CHAR& back = chars[i];
      if (is_blank(back.code)) {
        line.count = i;
        line.width = remaining - back.width;
        next_start = back.start;
        next_hex = back.hex;
        found = true;
        break;
      }
      if (back.code == '-') {
        line.count = i + 1;
        line.width = remaining;
        if (i + 1 < (INT_S32)chars.size()) {
          next_start = chars[i + 1].start;
          next_hex = chars[i + 1].hex;
        }
        found = true;
        break;
      }
      remaining -= back.width;
      if (remembered < 0 && i > 0 && remaining + dash_width < box_width) {
        remembered = i;
        remembered_width = remaining;
      }
    }
    if (!found && remembered >= 0) {
      line.count = remembered;
      line.width = remembered_width;
      line.flags |= TEXT_LINE_DASH;
      if (remembered < (INT_S32)chars.size()) {
        next_start = chars[remembered].start;
        next_hex = chars[remembered].hex;
      }
    }
    begin_line(next_start, next_hex);
    reader.seek(next_start, next_hex);
  }

  INT_S32 count = begun;
  if (count > 1 && count < lines_allowed && lines[count - 1].count == 0) count--;
  return count;
}

void draw_text_in_box(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* text_colour,
                      const COLOUR* background, const COLOUR* underline, INT_S8 font_id, INT_S16 x_size,
                      INT_S16 y_size, const char* text, TEXT_FLAGS flags) {
  if (!image || !text || !text[0] || !font_loaded(font_id) || x_size < 1 || y_size < 1) return;
  // The corners may come in either order.
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  image->extend_dirty_in_clip(x1, y1, x2, y2);
  const INT_S32 ellipsis_width = text_width(image, font_id, x_size, y_size, "...", -1, false);
  const INT_S32 dash_width = text_width(image, font_id, x_size, y_size, "-", -1, false);
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(image, (INT_S32)x2 - x1 + 1, ((INT_S32)y2 - y1 + 1) / y_size, font_id, x_size,
                                     y_size, text, lines);

  for (INT_S32 k = 0; k < count; k++) {
    const TEXT_LINE& line = lines[k];
    INT_S32 extra = (line.flags & TEXT_LINE_ELLIPSIS) ? ellipsis_width : (line.flags & TEXT_LINE_DASH) ? dash_width : 0;
    INT_S32 x = justified_left(flags, x1, x2, line.width, extra);
    INT_S32 y;
    if (flags & TEXT_TOP_ALIGN)
      y = y1 + k * y_size;
    else if (flags & TEXT_BOTTOM_ALIGN)
      y = y2 - (count - k) * y_size;
    else
      y = y1 + (((INT_S32)y2 - y1) - count * y_size + 1) / 2 + k * y_size;
    if (line.count != 0)
      draw_text(image, (INT_S16)x, (INT_S16)y, text_colour, background, underline, font_id, x_size, y_size,
                text + line.start, flags, line.count, (line.flags & TEXT_LINE_HEX) != 0);
    if (line.flags & TEXT_LINE_ELLIPSIS)
      draw_text(image, pinned(x + line.width), (INT_S16)y, text_colour, background, underline, font_id, x_size,
                y_size, "...", flags, -1, false);
    else if (line.flags & TEXT_LINE_DASH)
      draw_text(image, pinned(x + line.width), (INT_S16)y, text_colour, background, underline, font_id, x_size,
                y_size, "-", flags, -1, false);
  }
}

void draw_text_in_room(IMAGE* image, INT_S16 x, INT_S16 y, INT_S16 room_x1, INT_S16 room_x2, const COLOUR* text_colour,
                       const COLOUR* background, const COLOUR* underline, INT_S8 font_id, INT_S16 x_size,
                       INT_S16 y_size, const char* text, TEXT_FLAGS flags) {
  if (!image || !text) return;
  if (font_id == -1) font_id = image->default_font_id;
  if (x_size == -1) x_size = image->default_font_x_size;
  if (y_size == -1) y_size = image->default_font_y_size;
  INT_S32 room = (INT_S32)room_x2 - room_x1 + 1;
  if (text_width(image, font_id, x_size, y_size, text, -1, false) <= room) {
    draw_text(image, x, y, text_colour, background, underline, font_id, x_size, y_size, text, flags, -1, false);
    return;
  }
  TEXT_LINE lines[TEXT_MAX_LINES];
  if (layout_text_in_box(image, room, 1, font_id, x_size, y_size, text, lines) < 1) return;
  const TEXT_LINE& line = lines[0];
  INT_S32 extra = (line.flags & TEXT_LINE_ELLIPSIS) ? text_width(image, font_id, x_size, y_size, "...", -1, false) : 0;
  INT_S32 left = justified_left(flags, room_x1, room_x2, line.width, extra);
  if (line.count != 0)
    draw_text(image, pinned(left), y, text_colour, background, underline, font_id, x_size, y_size, text + line.start,
              flags, line.count, (line.flags & TEXT_LINE_HEX) != 0);
  if (extra)
    draw_text(image, pinned(left + line.width), y, text_colour, background, underline, font_id, x_size, y_size, "...",
              flags, -1, false);
}

// ---------------------------------------------------------------------------------------------------
// Paths in a room

static bool is_path_separator(char c) { return c == '/' || c == '\\'; }

const char* path_shortening_mark(IMAGE* image, INT_S8 font_id) {
  if (font_id == -1) font_id = image ? image->default_font_id : DEFAULT_FONT_ID;
  return font_has_character(font_id, 0x2026) ? PATH_ELLIPSIS : "...";
}

std::string path_in_room(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* path,
                         INT_S32 room, size_t kept) {
  std::string whole = path ? path : "";
  if (kept > 0) {
    // The beginning kept whole, the path after it in the room left.
    if (kept > whole.size()) kept = whole.size();
    std::string beginning = whole.substr(0, kept);
    INT_S32 used = text_width(image, font_id, x_size, y_size, beginning.c_str(), -1, false);
    return beginning + path_in_room(image, font_id, x_size, y_size, whole.c_str() + kept, room - used);
  }
  const std::string& text = whole;
  const std::string mark = path_shortening_mark(image, font_id);
  auto fits = [&](const std::string& shown) {
    return text_width(image, font_id, x_size, y_size, shown.c_str(), -1, false) <= room;
  };
  if (fits(text)) return text;
  // The drive and its separator: "C:\", the root's "/", "\\server\share\", or nothing (a relative path).
  size_t end = text.size();
  if (end > 0 && is_path_separator(text[end - 1])) end--;  // a folder's path keeps its closing separator
  size_t first = 0;
  if (end >= 2 && is_path_separator(text[0]) && is_path_separator(text[1])) {
    first = 2;
    for (int part = 0; part < 2 && first < end; part++) {
      while (first < end && !is_path_separator(text[first])) first++;
      if (first < end) first++;
    }
  } else if (end > 0 && is_path_separator(text[0])) {
    first = 1;
  } else {
    size_t separator = 0;
    while (separator < end && !is_path_separator(text[separator])) separator++;
    if (separator > 0 && separator < end && text[separator - 1] == ':') first = separator + 1;
  }
  // The folders after it (start and end of each name).
  std::vector<std::pair<size_t, size_t>> folders;
  for (size_t at = first; at < end;) {
    size_t stop = at;
    while (stop < end && !is_path_separator(text[stop])) stop++;
    if (stop > at) folders.push_back({at, stop});
    at = stop + 1;
  }
  if (folders.empty()) return text;
  size_t n = folders.size();
  // The first h folders, the mark, and the last t folders; at least one folder gives way.
  auto shortened = [&](size_t h, size_t t) {
    size_t head_end = h ? folders[h - 1].second + 1 : first;
    size_t tail = folders[n - t].first;
    return text.substr(0, head_end) + mark + text[tail - 1] + text.substr(tail);
  };
  size_t tail_count = 0;
  while (tail_count + 1 < n && fits(shortened(0, tail_count + 1))) tail_count++;
  if (tail_count > 0) {
    size_t head_count = 0;
    while (head_count + tail_count + 1 < n && fits(shortened(head_count + 1, tail_count))) head_count++;
    return shortened(head_count, tail_count);
  }
  std::string last = text.substr(folders[n - 1].first);
  size_t last_start = folders[n - 1].first;
  if (last_start > 0) {
    std::string marked = mark + text[last_start - 1] + last;
    if (fits(marked)) return marked;
  }
  return name_in_room(image, font_id, x_size, y_size, last.c_str(), room, mark.c_str());
}

std::string name_in_room(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* name,
                         INT_S32 room, const char* mark) {
  std::string text = name ? name : "";
  if (text_width(image, font_id, x_size, y_size, text.c_str(), -1, false) <= room) return text;
  // The characters, each as a text of its own (one inside a run of its own above 0xFF, a surrogate pair
  // both its groups) with its width.
  struct PIECE {
    std::string text;
    INT_S32 width;
  };
  std::vector<PIECE> pieces;
  WIDE_RUN_READER reader(text.c_str(), false);
  INT_U32 code;
  while (reader.next_character(&code)) {
    INT_S32 start = reader.start_position();
    std::string piece = text.substr((size_t)start, (size_t)(reader.position() - start));
    if (reader.unit_in_run) piece = "\x01" + piece + "\x01";
    pieces.push_back({piece, text_width(image, font_id, x_size, y_size, piece.c_str(), -1, false)});
  }
  INT_S32 left = room - text_width(image, font_id, x_size, y_size, mark, -1, false);
  // The end takes what fits in half the room, the beginning what fits beside it, the end the rest.
  size_t head = 0, tail = 0, count = pieces.size();
  INT_S32 used = 0;
  while (tail < count && used + pieces[count - 1 - tail].width <= left / 2) used += pieces[count - 1 - tail++].width;
  while (head + tail < count && used + pieces[head].width <= left) used += pieces[head++].width;
  while (head + tail < count && used + pieces[count - 1 - tail].width <= left) used += pieces[count - 1 - tail++].width;
  // Characters' widths need not add up to their text's (each is rounded, pairs are kerned): the longer
  // side gives up characters until the whole fits.
  for (;;) {
    std::string shown;
    for (size_t i = 0; i < head; i++) shown += pieces[i].text;
    shown += mark;
    for (size_t i = count - tail; i < count; i++) shown += pieces[i].text;
    if (head + tail == 0 || text_width(image, font_id, x_size, y_size, shown.c_str(), -1, false) <= room) return shown;
    if (head > tail) head--;
    else tail--;
  }
}
