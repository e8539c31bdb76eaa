// Text measuring and drawing: widths of 8-bit text (with 0x01 hex runs for characters above 0xFF),
// painting glyphs from the font system's cache into an IMAGE, the shadow, inset and chiseled
// effects, and wrapped, aligned text in a box.
#pragma once
#include <string>

#include "colour.h"
#include "types.h"

class IMAGE;

// Effects and alignment of text drawing. Only one effect applies: shadow over inset over chiseled.
// Neither top nor bottom centres vertically; neither left nor right centres horizontally.
typedef INT_U16 TEXT_FLAGS;
enum : TEXT_FLAGS {
  TEXT_SHADOW = 0x01,
  TEXT_INSET = 0x02,
  TEXT_CHISELED = 0x04,
  TEXT_TOP_ALIGN = 0x08,
  TEXT_BOTTOM_ALIGN = 0x10,
  TEXT_LEFT_JUSTIFY = 0x20,
  TEXT_RIGHT_JUSTIFY = 0x40
};

// One laid-out line of draw_text_in_box.
struct TEXT_LINE {
  INT_S32 start;  // byte index of the line's first character
  INT_S32 count;  // characters in the line, -1 = up to the end of the text
  INT_S32 width;  // pixels
  INT_U8 flags;   // TEXT_LINE_HEX, TEXT_LINE_DASH, TEXT_LINE_ELLIPSIS
};
enum : INT_U8 {
  TEXT_LINE_HEX = 0x01,      // the line starts inside a hex run
  TEXT_LINE_DASH = 0x02,     // a "-" is drawn after the line
  TEXT_LINE_ELLIPSIS = 0x04  // "..." is drawn after the line
};
const INT_S32 TEXT_MAX_LINES = 256;
// Bytes of the buffer that draw_text_printf formats into (the NUL included); longer text is cut.
const INT_S32 TEXT_PRINTF_BUFFER = 5120;

// The font a widget is built with: an id or size of -1 takes draw_target's default (and stays -1 while
// there is no draw target).
void choose_widget_font(INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_S8* font_id_out, INT_S16* x_size_out,
                        INT_S16* y_size_out);

// A tab is blank space up to the next tab stop, never a glyph. The stops stand every TEXT_TAB_SPACES
// widths of the font's space from the start of the text measured or drawn (a line's start).
const INT_S32 TEXT_TAB_SPACES = 8;
// The advance of a tab at offset pixels from the line's start, the font's space space_width wide: up to
// the next stop beyond offset.
INT_S32 tab_advance(INT_S32 offset, INT_S32 space_width);

// Width in pixels (sum of advances, a tab's up to its stop) of length characters (-1 = to the NUL).
// Font id -1 and sizes -1 take the image's defaults. An unloaded font or a size below 1 gives the
// text's byte length.
INT_S32 text_width(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* text,
                   INT_S32 length, bool hex_mode);

// The advance of one character (a code above 0xFF too) as text_width measures it in a text; 1 where
// text_width gives byte lengths (an unloaded font, a size below 1), as one byte is one there.
INT_S32 char_width(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_U32 code);

// Paints one run of glyphs with its top edge at y. A lightness shift other than 0 moves the lightness
// of the covered pixels instead of painting the text colour.
void render_text(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
                 const COLOUR* underline, double lightness_shift, INT_S8 font_id, INT_S16 x_size,
                 INT_S16 y_size, const char* text, INT_S32 length, bool hex_mode);

// The effect passes selected by flags, then the text.
void draw_text(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
               const COLOUR* underline, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* text,
               TEXT_FLAGS flags, INT_S32 length, bool hex_mode);

// Wraps the text into the inclusive box (at most TEXT_MAX_LINES lines) and aligns it by flags.
void draw_text_in_box(IMAGE* image, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* text_colour,
                      const COLOUR* background, const COLOUR* underline, INT_S8 font_id, INT_S16 x_size,
                      INT_S16 y_size, const char* text, TEXT_FLAGS flags);

// draw_text of one line that stays within the room from room_x1 to room_x2 (inclusive): a text that fits
// is drawn at x as given; a wider one as the characters that fit followed by "...", placed in the room by
// the justification flags, so that a text too long for its place is seen to be shortened.
void draw_text_in_room(IMAGE* image, INT_S16 x, INT_S16 y, INT_S16 room_x1, INT_S16 room_x2, const COLOUR* text_colour,
                       const COLOUR* background, const COLOUR* underline, INT_S8 font_id, INT_S16 x_size,
                       INT_S16 y_size, const char* text, TEXT_FLAGS flags);

// The ellipsis "…" (U+2026, a character above Latin-1: a wide-character run) with which a path is
// shortened, or "..." where the font has no such character (font -1: the image's default font).
#define PATH_ELLIPSIS "\x01,2026\x01"
const char* path_shortening_mark(IMAGE* image, INT_S8 font_id);
// A path (folders parted by slashes or backslashes) as it is shown in a room of room pixels: whole when
// it fits; otherwise whole folders out of its middle make way for the ellipsis of path_shortening_mark,
// keeping its drive ("C:", the root's separator, or a network share) with as many of its last folders as
// fit, then as many of its first. When not even the drive and the last folder fit, the ellipsis and the
// last folder, else the last folder alone (a folder's path keeps its closing separator), shortened in its
// middle as name_in_room does with that ellipsis. The first kept bytes of the text (words before the
// path) stay whole, the path after them shortened in the room they leave.
std::string path_in_room(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* path,
                         INT_S32 room, size_t kept = 0);
// A name as it is shown in a room of room pixels: whole when it fits; otherwise characters out of its
// middle make way for the mark ("..."), its end keeping at least half of the room, so that names which
// share a long beginning stay apart. Nothing but the mark when even that has no room left beside it.
std::string name_in_room(IMAGE* image, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* name,
                         INT_S32 room, const char* mark = "...");

// The line breaking of draw_text_in_box: fills lines (room for TEXT_MAX_LINES) for a box of that width
// and at most lines_allowed lines (kept within 1 .. TEXT_MAX_LINES) and returns the number to draw.
INT_S32 layout_text_in_box(IMAGE* image, INT_S32 box_width, INT_S32 lines_allowed, INT_S8 font_id, INT_S16 x_size,
                           INT_S16 y_size, const char* text, TEXT_LINE* lines);

// draw_text of the character's low byte.
void draw_char(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
               const COLOUR* underline, INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, INT_U16 character,
               TEXT_FLAGS flags);

// Formats (at most TEXT_PRINTF_BUFFER - 1 bytes) and draws without underline or flags.
void draw_text_printf(IMAGE* image, INT_S16 x, INT_S16 y, const COLOUR* text_colour, const COLOUR* background,
                      INT_S8 font_id, INT_S16 x_size, INT_S16 y_size, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 9, 10)))
#endif
    ;
