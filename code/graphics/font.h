// The font system: every loaded font of the program in one growable array of slots indexed by font id,
// opened through FreeType, with a per-slot cache of rendered 8-bit glyphs. Ids 0 to 22 are the
// built-in fonts of BUILTIN_FONTS; ids from 23 on are fonts loaded by name.
#pragma once
#include "types.h"

class FOLDER;
typedef struct FT_FaceRec_* FT_Face;

// Number of built-in fonts (ids 0 .. BUILTIN_FONT_COUNT - 1).
const INT_S16 BUILTIN_FONT_COUNT = 23;
// The id of the default font of every new IMAGE.
const INT_S8 DEFAULT_FONT_ID = 10;

// One character rendered at one pixel size; owned by its slot.
struct GLYPH {
  INT_S16 x_size;          // pixel size at which it was rendered
  INT_S16 y_size;
  INT_S16 advance;         // horizontal advance in whole pixels
  INT_S16 bitmap_left;     // offset of the bitmap from the pen position
  INT_S16 bitmap_top;      // offset from the baseline, positive = up
  INT_S16 bitmap_width;    // bitmap size in pixels
  INT_S16 bitmap_rows;
  INT_S16 bitmap_pitch;    // bytes per coverage row (absolute value)
  INT_U8* coverage;        // rows x pitch bytes of 8-bit coverage, at least 1 byte
  INT_U32 coverage_size;   // bytes held by coverage
  INT_S16 face_height;     // the face's line height and descender in font units
  INT_S16 face_descender;  // (negative below the baseline)
  INT_S16 ascent;          // the face's ascender at this size in whole pixels, rounded up: the
                           // baseline's distance from the top of a line
};

// One loaded font. An empty slot (face null) keeps its place in the array.
struct FONT_SLOT {
  char display_name[128];
  FT_Face face;
  INT_U8 coverage_maximum;  // 255 once a face is loaded
  GLYPH* glyphs[256];       // one per 8-bit character code, null until first used
};

// Starts FreeType once and, unless preloading was disabled, preloads the built-in fonts from "$FONTDATA"
// (else the system's font folders): the folders are looked up now, and each font is loaded with its
// first use (get_font, font_loaded, load_font of its id), so that every call answers as after loading
// them all at once. A second call does nothing. FreeType failing to start raises error 0x21.
void start_font_system();
// Opens and closes again, through FreeType, the file of every built-in font that waits for its first use:
// a file that FreeType refuses raises error 0x22 now, as loading it would at its first use. A program
// calls it before its first window, so that a damaged font ends the start and not a later page.
void check_preloaded_fonts();
// Clears the preload switch; only effective before start_font_system.
void disable_font_preload();
// Non-zero between start_font_system and stop_font_system.
INT_U8 font_system_started();
// Frees every slot and stops FreeType; the system may be started again afterwards.
void stop_font_system();

// Loads a font file from the folder (null = "$FONTDATA") into a slot: an explicit built-in id only
// with that row's file name, an id from 23 up with any file, -1 for the first free id from 23 on.
// Returns the id, or -1 when the file does not open, the name does not fit the id or the slot is taken.
INT_S8 load_font(const char* file_name, const char* display_name, INT_S8 font_id, FOLDER* folder);
// Empties one slot (-1 = every slot): the face and cached glyphs are freed, name and place stay.
void free_font(INT_S8 font_id);
// The slot of a loaded font, or null when the id is out of range or the slot is empty.
FONT_SLOT* get_font(INT_S8 font_id);
bool font_loaded(INT_S8 font_id);
// Whether the loaded font draws the character (a glyph of its own, not the face's missing-glyph box).
bool font_has_character(INT_S8 font_id, INT_U32 character);
// The built-in table's texts for ids 0 to 22, null for any other id.
const char* font_file_name(INT_U8 font_id);
const char* font_display_name(INT_U8 font_id);

// Makes the glyph hold the character rendered at (x pixels, y pixels); a glyph already at that size
// is left as it is.
void cache_glyph(GLYPH* glyph, INT_S8 font_id, INT_U32 character, INT_S16 x_pixels, INT_S16 y_pixels);
// Frees a glyph's coverage bitmap (not the record).
void free_glyph_bitmap(GLYPH* glyph);
