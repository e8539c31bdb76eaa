// The font system: FreeType faces in slots indexed by font id, the built-in font table, and the
// per-slot glyph cache that text measuring and drawing render from.
#include "font.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include "data_file.h"
#include "errors.h"
#include "files.h"
#include "folder.h"

// The built-in fonts, row n = font id n: file name and display name. Packages store their built-in
// fonts under these file names, so the table is fixed. All are DejaVu faces; the six of the core
// set (ids 8, 9, 10, 11, 0 and 1) are the ones every installation is expected to carry.
static const char* const BUILTIN_FONTS[BUILTIN_FONT_COUNT][2] = {
    {"DejaVuSerif.ttf", "DejaVu Serif"},
    {"DejaVuSerif-Bold.ttf", "DejaVu Serif Bold"},
    {"DejaVuSerif-Italic.ttf", "DejaVu Serif Italic"},
    {"DejaVuSerif-BoldItalic.ttf", "DejaVu Serif Bold Italic"},
    {"DejaVuSerifCondensed.ttf", "DejaVu Serif Condensed"},
    {"DejaVuSerifCondensed-Bold.ttf", "DejaVu Serif Condensed Bold"},
    {"DejaVuSerifCondensed-Italic.ttf", "DejaVu Serif Condensed Italic"},
    {"DejaVuSerifCondensed-BoldItalic.ttf", "DejaVu Serif Condensed Bold Italic"},
    {"DejaVuSansMono.ttf", "DejaVu Sans Mono"},
    {"DejaVuSansMono-Bold.ttf", "DejaVu Sans Mono Bold"},
    {"DejaVuSans.ttf", "DejaVu Sans"},
    {"DejaVuSans-Bold.ttf", "DejaVu Sans Bold"},
    {"DejaVuSans-Oblique.ttf", "DejaVu Sans Oblique"},
    {"DejaVuSans-BoldOblique.ttf", "DejaVu Sans Bold Oblique"},
    {"DejaVuSansCondensed.ttf", "DejaVu Sans Condensed"},
    {"DejaVuSansCondensed-Bold.ttf", "DejaVu Sans Condensed Bold"},
    {"DejaVuSansCondensed-Oblique.ttf", "DejaVu Sans Condensed Oblique"},
    {"DejaVuSansCondensed-BoldOblique.ttf", "DejaVu Sans Condensed Bold Oblique"},
    {"DejaVuSans-ExtraLight.ttf", "DejaVu Sans ExtraLight"},
    {"DejaVuSansMono-Oblique.ttf", "DejaVu Sans Mono Oblique"},
    {"DejaVuSansMono-BoldOblique.ttf", "DejaVu Sans Mono Bold Oblique"},
    {"DejaVuMathTeXGyre.ttf", "DejaVu Math TeX Gyre"},
    {"DejaVuSans.ttf", "DejaVu Sans UI"},
};

// Module state.
static FT_Library font_library = nullptr;
static INT_U8 fonts_started = 0;
static INT_U8 font_preload = 1;
static FONT_SLOT* font_slots = nullptr;
static INT_S16 font_slot_count = 0;

struct DEFAULT_FONT_FOLDERS;
static void load_pending_font(INT_S16 id);

const char* font_file_name(INT_U8 font_id) {
  return font_id < BUILTIN_FONT_COUNT ? BUILTIN_FONTS[font_id][0] : nullptr;
}

const char* font_display_name(INT_U8 font_id) {
  return font_id < BUILTIN_FONT_COUNT ? BUILTIN_FONTS[font_id][1] : nullptr;
}

void disable_font_preload() { font_preload = 0; }

INT_U8 font_system_started() { return fonts_started; }

static void forget_pending_fonts();

void stop_font_system() {
  if (!fonts_started) return;
  forget_pending_fonts();
  free_font(-1);
  std::free(font_slots);
  font_slots = nullptr;
  font_slot_count = 0;
  FT_Done_FreeType(font_library);
  font_library = nullptr;
  fonts_started = 0;
}

void free_glyph_bitmap(GLYPH* glyph) {
  if (!glyph) return;
  std::free(glyph->coverage);
  glyph->coverage = nullptr;
  glyph->coverage_size = 0;
}

static void empty_slot(FONT_SLOT* slot) {
  if (slot->face) FT_Done_Face(slot->face);
  slot->face = nullptr;
  for (int c = 0; c < 256; c++) {
    if (slot->glyphs[c]) {
      free_glyph_bitmap(slot->glyphs[c]);
      std::free(slot->glyphs[c]);
      slot->glyphs[c] = nullptr;
    }
  }
}

static INT_U8 preload_pending[BUILTIN_FONT_COUNT];

void free_font(INT_S8 font_id) {
  if (font_id == -1) {
    std::memset(preload_pending, 0, sizeof preload_pending);
    for (INT_S16 id = 0; id < font_slot_count; id++) empty_slot(&font_slots[id]);
    return;
  }
  if (font_id >= 0 && font_id < BUILTIN_FONT_COUNT) preload_pending[font_id] = 0;
  if (font_id >= 0 && font_id < font_slot_count) empty_slot(&font_slots[font_id]);
}

FONT_SLOT* get_font(INT_S8 font_id) {
  load_pending_font(font_id);
  if (font_id < 0 || font_id >= font_slot_count) return nullptr;
  return font_slots[font_id].face ? &font_slots[font_id] : nullptr;
}

bool font_loaded(INT_S8 font_id) { return get_font(font_id) != nullptr; }

bool font_has_character(INT_S8 font_id, INT_U32 character) {
  FONT_SLOT* slot = get_font(font_id);
  return slot && FT_Get_Char_Index(slot->face, (FT_ULong)character) != 0;
}

// Folders searched for a built-in font that "$FONTDATA" does not hold: where Debian's fonts-dejavu
// packages put the DejaVu faces. Folders that do not exist on a host are skipped.
static const char* const SYSTEM_FONT_FOLDERS[] = {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu"};

// The folders that a font named without a folder is looked for in, each found on first need: "$FONTDATA"
// and, for the built-in fonts, the system's font folders that exist.
struct DEFAULT_FONT_FOLDERS {
  bool font_data_known = false, font_data_found = false;
  FOLDER font_data;
  bool system_known = false;
  INT_S16 system_count = 0;
  FOLDER system[sizeof SYSTEM_FONT_FOLDERS / sizeof SYSTEM_FONT_FOLDERS[0]];
};

static void find_font_data_folder(DEFAULT_FONT_FOLDERS* folders) {
  if (folders->font_data_known) return;
  folders->font_data_found = folders->font_data.set("$FONTDATA", false, nullptr, false, false, false);
  folders->font_data_known = true;
}

static void find_system_font_folders(DEFAULT_FONT_FOLDERS* folders) {
  if (folders->system_known) return;
  for (const char* path : SYSTEM_FONT_FOLDERS)
    if (folders->system[folders->system_count].set_if_folder(path)) folders->system_count++;
  folders->system_known = true;
}

// The folder in which the file opens for reading, else null. A null folder means "$FONTDATA", and for
// the built-in fonts then the system's font folders.
static const FOLDER* readable_font_folder(const char* file_name, FOLDER* folder, bool built_in,
                                          DEFAULT_FONT_FOLDERS* folders) {
  if (folder) return data_file_opens(folder, file_name) ? folder : nullptr;
  find_font_data_folder(folders);
  if (folders->font_data_found && data_file_opens(&folders->font_data, file_name)) return &folders->font_data;
  if (!built_in) return nullptr;
  find_system_font_folders(folders);
  for (INT_S16 n = 0; n < folders->system_count; n++)
    if (data_file_opens(&folders->system[n], file_name)) return &folders->system[n];
  return nullptr;
}

// FreeType reads a font from memory that holds the file as the host opens it by folder and name, as
// every file of the library is opened (a path of its own would bypass the host's names). The memory
// goes with the face.
static void free_font_memory(void* face) { std::free(static_cast<FT_Face>(face)->generic.data); }

static bool open_font_face(const FOLDER* folder, const char* file_name, FT_Face* face) {
  FILE* file = open_file(folder, file_name, "rb");
  if (!file) return false;
  INT_U64 size = stream_size(file);
  FT_Byte* data = size > 0 && size < 0x7FFFFFFFu ? (FT_Byte*)std::malloc((size_t)size) : nullptr;
  bool read = data && std::fread(data, 1, (size_t)size, file) == (size_t)size;
  close_file(file);
  if (!read || FT_New_Memory_Face(font_library, data, (FT_Long)size, 0, face) != 0) {
    std::free(data);
    return false;
  }
  (*face)->generic.data = data;
  (*face)->generic.finalizer = free_font_memory;
  return true;
}

// load_font with the default folders as far as they are known already.
static INT_S8 load_font_from(const char* file_name, const char* display_name, INT_S8 font_id, FOLDER* folder,
                             DEFAULT_FONT_FOLDERS* folders) {
  if (!file_name || !font_library) return -1;
  if (font_id < -1) return -1;
  INT_S16 id = font_id;
  if (font_id >= 0 && font_id < BUILTIN_FONT_COUNT) {
    if (std::strcmp(file_name, BUILTIN_FONTS[font_id][0]) != 0) return -1;
  } else if (font_id == -1) {
    id = font_slot_count > BUILTIN_FONT_COUNT ? font_slot_count : BUILTIN_FONT_COUNT;
  }

  const FOLDER* found = readable_font_folder(file_name, folder, font_id >= 0 && font_id < BUILTIN_FONT_COUNT, folders);
  if (!found) return -1;

  if (font_id >= 0) {
    if (id < font_slot_count && font_slots[id].face) return -1;
  } else if (font_slot_count > BUILTIN_FONT_COUNT) {
    for (INT_S16 n = BUILTIN_FONT_COUNT; n < font_slot_count; n++) {
      if (!font_slots[n].face) {
        id = n;
        break;
      }
    }
  }
  // Font ids are 8-bit: no slot beyond 127.
  if (id > 127) return -1;

  if (id >= font_slot_count) {
    FONT_SLOT* grown = (FONT_SLOT*)std::realloc(font_slots, sizeof(FONT_SLOT) * (size_t)(id + 1));
    if (!grown) {
      raise_error(0x23, nullptr);
      return -1;
    }
    std::memset(grown + font_slot_count, 0, sizeof(FONT_SLOT) * (size_t)(id + 1 - font_slot_count));
    font_slots = grown;
    font_slot_count = id + 1;
  }

  FONT_SLOT* slot = &font_slots[id];
  if (!open_font_face(found, file_name, &slot->face)) {
    slot->face = nullptr;
    raise_error(0x22, nullptr);
    return -1;
  }
  slot->coverage_maximum = 255;
  const char* name = display_name ? display_name : file_name;
  size_t length = 0;
  while (length + 1 < sizeof(slot->display_name) && name[length]) length++;
  std::memcpy(slot->display_name, name, length);
  slot->display_name[length] = 0;
  return (INT_S8)id;
}

// The built-in fonts that the start preloads are each loaded with their first use (get_font, or
// load_font of their id, which then finds the slot taken as it would after an eager preload), from the
// folders the start looked up: a run that draws no text (the one-shot jobs) opens no font file.
static DEFAULT_FONT_FOLDERS* preload_folders = nullptr;

static void load_pending_font(INT_S16 id) {
  if (id < 0 || id >= BUILTIN_FONT_COUNT || !preload_pending[id]) return;
  preload_pending[id] = 0;
  load_font_from(BUILTIN_FONTS[id][0], BUILTIN_FONTS[id][1], (INT_S8)id, nullptr, preload_folders);
}

static void forget_pending_fonts() {
  std::memset(preload_pending, 0, sizeof preload_pending);
  delete preload_folders;
  preload_folders = nullptr;
}

INT_S8 load_font(const char* file_name, const char* display_name, INT_S8 font_id, FOLDER* folder) {
  load_pending_font(font_id);
  DEFAULT_FONT_FOLDERS folders;
  return load_font_from(file_name, display_name, font_id, folder, &folders);
}

void check_preloaded_fonts() {
  if (!font_library || !preload_folders) return;
  for (INT_S16 id = 0; id < BUILTIN_FONT_COUNT; id++) {
    if (!preload_pending[id]) continue;
    const FOLDER* found = readable_font_folder(BUILTIN_FONTS[id][0], nullptr, true, preload_folders);
    if (!found) continue;  // a missing font is no error
    FT_Face face = nullptr;
    if (!open_font_face(found, BUILTIN_FONTS[id][0], &face)) {
      raise_error(0x22, nullptr);
      return;
    }
    FT_Done_Face(face);
  }
}

void start_font_system() {
  if (fonts_started) return;
  if (FT_Init_FreeType(&font_library) != 0) {
    font_library = nullptr;
    raise_error(0x21, nullptr);
    return;
  }
  if (font_preload) {
    // The folders are looked up now, once for all the built-in fonts; the files when each is used.
    preload_folders = new DEFAULT_FONT_FOLDERS();
    find_font_data_folder(preload_folders);
    find_system_font_folders(preload_folders);
    std::memset(preload_pending, 1, sizeof preload_pending);
  }
  fonts_started = 1;
}

void cache_glyph(GLYPH* glyph, INT_S8 font_id, INT_U32 character, INT_S16 x_pixels, INT_S16 y_pixels) {
  FONT_SLOT* slot = get_font(font_id);
  if (!glyph || !slot) return;
  if (glyph->coverage && glyph->x_size == x_pixels && glyph->y_size == y_pixels) return;
  free_glyph_bitmap(glyph);

  // The pixel size is the face's full height, ascender to descender, not its em: a text's y size is
  // its line height, and every glyph of the face (capitals with marks, descenders) must fit in the
  // line. Unhinted outlines stay within that height; hinting may push a top or a bottom a pixel past
  // it. A face of bitmaps only has its fixed sizes, and a size too small or too large for the request
  // (no whole pixel per em) is taken as an em, as before.
  FT_Face face = slot->face;
  FT_UInt width_pixels = (FT_UInt)(x_pixels > 0 ? x_pixels : 0), height_pixels = (FT_UInt)(y_pixels > 0 ? y_pixels : 0);
  FT_Error sized = 1;
  if (FT_IS_SCALABLE(face) && (width_pixels > 0 || height_pixels > 0)) {
    FT_Size_RequestRec request;
    request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.width = (FT_Long)width_pixels * 64;
    request.height = (FT_Long)height_pixels * 64;
    request.horiResolution = request.vertResolution = 0;
    sized = FT_Request_Size(face, &request);
  }
  if (sized != 0) sized = FT_Set_Pixel_Sizes(face, width_pixels, height_pixels);
  if (sized != 0) {
    raise_error(0x24, nullptr);
    return;
  }
  if (FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) {
    raise_error(0x25, nullptr);
    return;
  }
  FT_GlyphSlot rendered = face->glyph;
  // Coverage is kept as 8-bit grey; other bitmap kinds (embedded mono strikes, for one) are converted
  // and their levels stretched to 0 .. 255.
  FT_Bitmap converted;
  FT_Bitmap_Init(&converted);
  const FT_Bitmap* bitmap = &rendered->bitmap;
  unsigned levels = 256;
  if (bitmap->pixel_mode != FT_PIXEL_MODE_GRAY && bitmap->rows && bitmap->width) {
    if (FT_Bitmap_Convert(font_library, bitmap, &converted, 1) == 0) {
      bitmap = &converted;
      levels = converted.num_grays > 1 ? converted.num_grays : 2;
    } else {
      bitmap = nullptr;
    }
  }
  INT_S32 pitch = 0;
  unsigned rows = 0;
  unsigned width = 0;
  if (bitmap) {
    pitch = bitmap->pitch < 0 ? -bitmap->pitch : bitmap->pitch;
    rows = bitmap->rows;
    width = bitmap->width;
  }

  glyph->x_size = x_pixels;
  glyph->y_size = y_pixels;
  glyph->advance = (INT_S16)(rendered->advance.x >> 6);
  glyph->bitmap_left = (INT_S16)rendered->bitmap_left;
  glyph->bitmap_top = (INT_S16)rendered->bitmap_top;
  glyph->bitmap_width = (INT_S16)((INT_S32)width <= pitch ? width : (unsigned)pitch);
  glyph->bitmap_rows = (INT_S16)rows;
  glyph->bitmap_pitch = (INT_S16)pitch;

  // The coverage buffer is sized for this glyph, whatever its size (at least one byte).
  size_t size = (size_t)pitch * (size_t)rows;
  if (size == 0) size = 1;
  glyph->coverage = (INT_U8*)std::calloc(size, 1);
  if (!glyph->coverage) {
    FT_Bitmap_Done(font_library, &converted);
    raise_error(0x23, nullptr);
    return;
  }
  glyph->coverage_size = (INT_U32)size;
  if (bitmap && rows && pitch && bitmap->buffer) {
    if (bitmap->pitch > 0) {
      std::memcpy(glyph->coverage, bitmap->buffer, (size_t)pitch * rows);
    } else {
      // A negative pitch stores the rows bottom-up: the top row is the last one in memory.
      const unsigned char* top = bitmap->buffer + (size_t)pitch * (rows - 1);
      for (unsigned row = 0; row < rows; row++)
        std::memcpy(glyph->coverage + (size_t)row * pitch, top + (ptrdiff_t)row * bitmap->pitch, pitch);
    }
    if (levels != 256) {
      for (size_t n = 0; n < size; n++) {
        unsigned level = glyph->coverage[n];
        glyph->coverage[n] = (INT_U8)(level >= levels - 1 ? 255 : level * 255 / (levels - 1));
      }
    }
  }
  FT_Bitmap_Done(font_library, &converted);
  glyph->face_height = (INT_S16)face->height;
  glyph->face_descender = (INT_S16)face->descender;
  // The ascender at this size, rounded up to whole pixels (26.6 fixed point).
  FT_Long ascender = FT_IS_SCALABLE(face) ? FT_MulFix(face->ascender, face->size->metrics.y_scale)
                                          : face->size->metrics.ascender;
  glyph->ascent = (INT_S16)((ascender + 63) >> 6);
}
