// Attached package copy-out: an installer can carry its package (and a splash screen) after its own
// executable image. The locating step finds where the image ends; the copy-out reads the splash block,
// then the length-prefixed records (plain or zlib streams), and writes "installer.pkg" into "$temp".
#include "database.h"

#include <cstring>
#include <new>
#include <string>
#include <zlib.h>

#include "data_file.h"
#include "engine.h"
#include "files.h"
#include "host.h"
#include "image_cache.h"
#include "page_manager.h"
#include "redraw.h"
#include "progress_bar.h"
#include "shell.h"

static const char* const PACKAGE_FILE_NAME = "installer.pkg";

// ---------------------------------------------------------------------------------------------------
// The locating step: the attached data begins where the executable image ends.

static INT_U64 read_number(const INT_U8* bytes, int size, bool big_endian) {
  INT_U64 value = 0;
  for (int i = 0; i < size; i++) value |= (INT_U64)bytes[big_endian ? size - 1 - i : i] << (8 * i);
  return value;
}

// Reads count bytes at offset of the stream; false when they are not all there.
static bool read_at(DATA_FILE* file, INT_U64 offset, void* buffer, INT_S32 count, INT_U64 size) {
  if (offset > size || (INT_U64)count > size - offset) return false;
  file->seek((INT_S32)offset, false);
  return file->read(buffer, count) == count;
}

// End of an ELF image: the furthest of the headers, the header tables, the program segments and the
// sections that occupy file space.
static bool elf_image_end(DATA_FILE* file, INT_U64 size, INT_U64* end) {
  INT_U8 header[64];
  if (!read_at(file, 0, header, 52, size)) return false;
  bool wide = header[4] == 2;
  bool big = header[5] == 2;
  if ((header[4] != 1 && header[4] != 2) || (header[5] != 1 && header[5] != 2)) return false;
  if (wide && !read_at(file, 0, header, 64, size)) return false;
  INT_U64 ph_offset = read_number(header + (wide ? 0x20 : 0x1C), wide ? 8 : 4, big);
  INT_U64 sh_offset = read_number(header + (wide ? 0x28 : 0x20), wide ? 8 : 4, big);
  INT_U64 header_size = read_number(header + (wide ? 0x34 : 0x28), 2, big);
  INT_U64 ph_size = read_number(header + (wide ? 0x36 : 0x2A), 2, big);
  INT_U64 ph_count = read_number(header + (wide ? 0x38 : 0x2C), 2, big);
  INT_U64 sh_size = read_number(header + (wide ? 0x3A : 0x2E), 2, big);
  INT_U64 sh_count = read_number(header + (wide ? 0x3C : 0x30), 2, big);
  INT_U64 last = header_size;
  if (ph_count && ph_offset + ph_count * ph_size > last) last = ph_offset + ph_count * ph_size;
  if (sh_count && sh_offset + sh_count * sh_size > last) last = sh_offset + sh_count * sh_size;
  if (last > size) return false;
  for (INT_U64 i = 0; i < ph_count; i++) {
    INT_U8 entry[56];
    if (ph_size < (wide ? 0x28u : 0x14u) || ph_size > sizeof entry) return false;
    if (!read_at(file, ph_offset + i * ph_size, entry, (INT_S32)ph_size, size)) return false;
    INT_U64 offset = read_number(entry + (wide ? 8 : 4), wide ? 8 : 4, big);
    INT_U64 bytes = read_number(entry + (wide ? 0x20 : 0x10), wide ? 8 : 4, big);
    if (offset + bytes > last) last = offset + bytes;
  }
  for (INT_U64 i = 0; i < sh_count; i++) {
    INT_U8 entry[64];
    if (sh_size < (wide ? 0x28u : 0x18u) || sh_size > sizeof entry) return false;
    if (!read_at(file, sh_offset + i * sh_size, entry, (INT_S32)sh_size, size)) return false;
    INT_U64 type = read_number(entry + 4, 4, big);
    if (type == 8) continue;  // no file space
    INT_U64 offset = read_number(entry + (wide ? 0x18 : 0x10), wide ? 8 : 4, big);
    INT_U64 bytes = read_number(entry + (wide ? 0x20 : 0x14), wide ? 8 : 4, big);
    if (offset + bytes > last) last = offset + bytes;
  }
  *end = last;
  return true;
}

// End of a PE image: the furthest of the section data, the symbol table with its string table and the
// certificate table.
static bool pe_image_end(DATA_FILE* file, INT_U64 size, INT_U64* end) {
  INT_U8 dos[64];
  if (!read_at(file, 0, dos, 64, size)) return false;
  INT_U64 pe = read_number(dos + 0x3C, 4, false);
  INT_U8 coff[24];
  if (!read_at(file, pe, coff, 24, size) || std::memcmp(coff, "PE\0\0", 4) != 0) return false;
  INT_U64 sections = read_number(coff + 6, 2, false);
  INT_U64 symbols_at = read_number(coff + 12, 4, false);
  INT_U64 symbol_count = read_number(coff + 16, 4, false);
  INT_U64 optional_size = read_number(coff + 20, 2, false);
  INT_U64 optional_at = pe + 24;
  INT_U64 last = optional_at + optional_size + sections * 40;
  if (last > size) return false;
  for (INT_U64 i = 0; i < sections; i++) {
    INT_U8 section[40];
    if (!read_at(file, optional_at + optional_size + i * 40, section, 40, size)) return false;
    INT_U64 bytes = read_number(section + 16, 4, false);
    INT_U64 offset = read_number(section + 20, 4, false);
    if (bytes && offset + bytes > last) last = offset + bytes;
  }
  if (symbols_at) {
    INT_U8 strings[4];
    INT_U64 strings_at = symbols_at + symbol_count * 18;
    if (!read_at(file, strings_at, strings, 4, size)) return false;
    INT_U64 table_end = strings_at + read_number(strings, 4, false);
    if (table_end > last) last = table_end;
  }
  INT_U8 magic[2];
  if (optional_size >= 2 && read_at(file, optional_at, magic, 2, size)) {
    INT_U64 directories = read_number(magic, 2, false) == 0x20B ? 112 : 96;
    INT_U8 certificate[8];
    if (optional_size >= directories + 5 * 8 &&
        read_at(file, optional_at + directories + 4 * 8, certificate, 8, size)) {
      INT_U64 offset = read_number(certificate, 4, false), bytes = read_number(certificate + 4, 4, false);
      if (bytes && offset + bytes > last) last = offset + bytes;
    }
  }
  *end = last;
  return true;
}

const char ATTACHED_SKIN_TAG[8] = {'V', 'E', 'L', 'K', 'S', 'K', 'I', 'N'};

bool locate_attached_data(FOLDER* folder, const char* name, ATTACHED_DATA* record) {
  ATTACHED_DATA found = {0, 0, 0, 0};
  if (record) *record = found;
  DATA_FILE* file = open_data_file(folder, name, FILE_MODE_READ, 0, false);
  if (!file) return false;
  INT_U64 size = file->whole_size();
  INT_U8 magic[4] = {0, 0, 0, 0};
  INT_U64 end = 0;
  bool known = false;
  if (read_at(file, 0, magic, 4, size)) {
    if (std::memcmp(magic, "\x7F" "ELF", 4) == 0) known = elf_image_end(file, size, &end);
    else if (magic[0] == 'M' && magic[1] == 'Z') known = pe_image_end(file, size, &end);
  }
  // A skin block that fits in the file comes first; the package data follows it.
  INT_U8 block[12];
  if (known && end < size && read_at(file, end, block, 12, size) &&
      std::memcmp(block, ATTACHED_SKIN_TAG, 8) == 0) {
    INT_U64 length = read_number(block + 8, 4, true);
    if (length <= size - end - 12) {
      found.skin_attached = length > 0 ? 1 : 0;
      found.skin_position = length > 0 ? (INT_U32)(end + 12) : 0;
      end += 12 + length;
    }
  }
  close_data_file(&file);
  if (!known || end > 0x7FFFFFFF) return false;
  if (end < size) {
    found.package_attached = 1;
    found.package_position = (INT_U32)end;
  }
  if (!found.skin_attached && !found.package_attached) return false;
  if (record) *record = found;
  return true;
}

// ---------------------------------------------------------------------------------------------------
// The copy-out

// The attached data's numbers are most significant byte first: the device swaps on a little-endian host.
static INT_U8 big_endian_swap_setting() {
  const INT_U16 probe = 1;
  INT_U8 first;
  std::memcpy(&first, &probe, 1);
  return first == 1 ? 1 : 0;
}

// The progress bar, drawn and presented at once, then allowed to tick.
static void show_bar(WM_PROGRESS_BAR* bar) {
  WM_SCREEN_OBJECT::draw_now(bar);
  present_frame(-1);
  bar->tick();
}

static void set_message(char* message, const std::string& text) {
  if (!message) return;
  std::strncpy(message, text.c_str(), 255);
  message[255] = 0;
}

// The splash block: read, then shown in the "Please Wait" window (no title) or its own window; a copy
// without windows (splash_window null) only reads it.
static bool read_splash(DATA_FILE* file, INT_S16 bar_place[4], WM_STYLE_SET* bar_style, bool* splash_window) {
  IMAGE splash;
  VELK_STRING title;
  if (!image_cache->get_from_data_device(file) || !splash.get_from_data_device(file)) return false;
  INT_U16 place[4];
  for (int i = 0; i < 4; i++)
    if (!file->read_u16(&place[i])) return false;
  if (!title.get_from_data_device(file) || !bar_style->get_from_data_device(file)) return false;
  for (int i = 0; i < 4; i++) bar_place[i] = (INT_S16)place[i];
  if (!splash_window) return true;
  if (!title.text || !title.text[0]) {
    show_please_wait(&splash);
    return true;
  }
  GRAPHICS_MODE mode = {title.text, splash.width, splash.height, 0, -1, -1, -1, -1, 0};
  if (!OpenGraphics(&mode, 0)) return true;
  set_close_callback(allow_close);
  if (page_manager) {
    invalidate_display(page_manager->get_root());
    IMAGE& layer = page_manager->display_layers[0];
    bool had_size = layer.width > 0 && layer.height > 0;
    layer.set_size(screen_image.width, screen_image.height);
    if (!had_size && layer.pixels) {
      COLOUR black = 0xFF000000;
      layer.clear(&black, 1);
    }
    if (layer.pixels) splash.blit_to(0, 0, &layer, BLIT_COPY);
  }
  screen_image.set_clip(0, 0, (INT_S16)(screen_image.width - 1), (INT_S16)(screen_image.height - 1));
  splash.blit_to(0, 0, &screen_image, BLIT_COPY);
  present_frame(-1);
  *splash_window = true;
  return true;
}

ATTACHED_RESULT copy_attached_package(FOLDER* program_folder, const char* program_name, INT_U32 position,
                                      FOLDER* out_folder, bool* splash_window, char* message) {
  bool splash_opened = false;
  const bool windows = splash_window != nullptr;
  if (splash_window) *splash_window = false;
  const INT_U8 order = big_endian_swap_setting();
  DATA_FILE* program = open_data_file(program_folder, program_name, FILE_MODE_READ, order, false);
  if (!program) return ATTACHED_NONE;
  INT_U64 size = program->whole_size();
  INT_U8 splash_flag = 0;
  if (position >= size) {
    close_data_file(&program);
    return ATTACHED_NONE;
  }
  program->seek((INT_S32)position, false);
  program->read(&splash_flag, 1);

  INT_S16 bar_place[4] = {110, 122, 220, 10};
  WM_STYLE_SET* bar_style = nullptr;
  INT_U32 chunk = 0;
  INT_U8 compressed = 0;
  std::string failure;
  if (splash_flag) {
    bar_style = new WM_STYLE_SET();
    if (!read_splash(program, bar_place, bar_style, windows ? &splash_opened : nullptr))
      failure = "its splash block is damaged";
  }
  if (failure.empty() && (!program->read_u32(&chunk) || program->read(&compressed, 1) != 1))
    failure = "it ends before its first record";
  if (failure.empty() && (chunk < 1 || chunk > (INT_U32)DATA_FILE_LARGEST_BUFFER))
    failure = "its chunk size " + std::to_string(chunk) + " is out of range";
  INT_U64 first_record = position;
  if (failure.empty()) first_record = program->tell();
  close_data_file(&program);

  if (splash_window) *splash_window = splash_opened;
  WM_PROGRESS_BAR* bar = nullptr;
  DATA_FILE* copy = nullptr;
  char copy_name[32] = "";  // the copy's own name until it is whole; only a copy made here is deleted
  INT_U8* input = nullptr;
  INT_U8* output = nullptr;
  INT_U32 input_size = chunk;
  INT_U32 output_size = chunk + chunk / 5;
  FOLDER target;
  if (failure.empty()) {
    // The chunk size is the database's file-cache size and the buffer size of the two files of the
    // copy; data files opened later keep the default.
    database->file_cache_sz = chunk;
    if (windows && splash_flag) {
      bar = new WM_PROGRESS_BAR(bar_place[0], bar_place[1], bar_place[2], bar_place[3], nullptr, 100, bar_style);
    } else if (windows) {
      // The plain look: a blue bar with white text on dark grey.
      const COLOUR background = 0xFF202020, text = 0xFFFFFFFF, fill = 0xFF0000FF;
      bar = new WM_PROGRESS_BAR();
      bar->init(110, 122, 220, 10, nullptr, 100, &background, &text, &fill, 0, -1, -1, -1, -1, -1, -1, -1);
    }
    if (bar) {
      bar->bar_border_type = 4;
      bar->colour = 0xFF0000FF;
      if (bar->maximum >= 0) bar->value = 0;
      show_bar(bar);
    }

    if (out_folder)
      target = *out_folder;
    else if (!target.set("$temp"))
      failure = "the temporary folder cannot be made";
    if (failure.empty()) {
      // The copy is written to a new file of its own name and takes the name "installer.pkg" only when
      // whole: whatever had that name is replaced, never written through.
      copy = create_unique_data_file(&target, copy_name, sizeof copy_name, ".tmp", BYTE_ORDER_HEADER);
      if (copy) copy->set_buffer_size((INT_S32)chunk);
      if (!copy) failure = std::string("\"") + target.path + "/installer.pkg\" cannot be created";
      // A second request to end the program, which ends it at once, takes the copy with it.
      else remove_at_immediate_end(&target, copy_name);
    }
    if (failure.empty()) {
      input = new (std::nothrow) INT_U8[input_size];
      if (compressed) output = new (std::nothrow) INT_U8[output_size];
      if (!input || (compressed && !output)) failure = "there is not enough memory for its records";
    }
    if (failure.empty()) {
      program = open_data_file(program_folder, program_name, FILE_MODE_READ, order, false);
      if (!program) failure = "the program's file cannot be read again";
      else program->set_buffer_size((INT_S32)chunk);
    }
  }

  // The records, one after the other up to the end of the file; a request to end the program stops the
  // copy before the next one.
  INT_U64 at = first_record;
  INT_U64 total = 0;
  INT_U32 record = 0;
  bool interrupted = false;
  if (failure.empty()) program->seek((INT_S32)first_record, false);
  while (failure.empty() && at < size) {
    if (end_requested()) {
      interrupted = true;
      failure = "the program was asked to end";
      break;
    }
    record++;
    INT_U32 stored_length = 0;
    if (size - at < 4 || !program->read_u32(&stored_length)) {
      failure = "record " + std::to_string(record) + " is cut off";
      break;
    }
    at += 4;
    INT_S32 length = (INT_S32)stored_length;
    if (length > 0) {
      if ((INT_U64)length > size - at) {
        failure = "record " + std::to_string(record) + " runs past the end of the file";
        break;
      }
      total += (INT_U64)length;
      if (!compressed) {
        // Plain bytes are moved in pieces of the buffer's size, so a record longer than the chunk is
        // copied all the same.
        INT_U32 left = (INT_U32)length;
        while (left > 0 && failure.empty()) {
          INT_S32 piece = (INT_S32)(left < input_size ? left : input_size);
          if (program->read(input, piece) != piece) failure = "record " + std::to_string(record) + " cannot be read";
          else if (copy->write(input, piece) != piece) failure = "the copy cannot be written";
          left -= (INT_U32)piece;
        }
      } else {
        // A compressed record may be a little longer than the chunk (data that does not shrink).
        if ((INT_U32)length > input_size) {
          delete[] input;
          input_size = (INT_U32)length;
          input = new (std::nothrow) INT_U8[input_size];
          if (!input) {
            failure = "there is not enough memory for record " + std::to_string(record);
            break;
          }
        }
        uLongf inflated = output_size;
        if (program->read(input, length) != length)
          failure = "record " + std::to_string(record) + " cannot be read";
        else if (uncompress(output, &inflated, input, (uLong)length) != Z_OK)
          failure = "record " + std::to_string(record) + " does not inflate";
        else if (copy->write(output, (INT_S32)inflated) != (INT_S32)inflated)
          failure = "the copy cannot be written";
      }
      at += (INT_U64)length;
    }
    if (!failure.empty()) break;
    INT_U64 span = size - first_record;
    INT_S32 value = span ? (INT_S32)((total * 100 + span / 2) / span) : 100;
    if (!bar) continue;
    if (value >= 0 && value <= bar->maximum) bar->value = value;
    show_bar(bar);
  }

  if (copy && !close_data_file(&copy) && failure.empty()) failure = "the copy cannot be written";
  if (failure.empty() && !replace_file(&target, copy_name, PACKAGE_FILE_NAME))
    failure = std::string("\"") + target.path + "/installer.pkg\" cannot be created";
  if (copy_name[0]) keep_at_immediate_end(&target, copy_name);
  if (failure.empty()) {
    database->data_folder = target;
    database->attached_package = 1;
    remove_at_immediate_end(&target, PACKAGE_FILE_NAME);
  } else if (copy_name[0]) {
    delete_file(&target, copy_name);  // never leave a damaged copy behind
  }
  delete[] output;
  delete[] input;
  delete bar;
  if (program) close_data_file(&program);
  delete bar_style;
  if (failure.empty()) return ATTACHED_COPIED;
  if (interrupted) return ATTACHED_INTERRUPTED;
  set_message(message, "The installation data attached to the program cannot be used: " + failure + ".");
  return ATTACHED_FAILED;
}

ATTACHED_RESULT run_attached_package_step(bool* splash_window, char* message) {
  if (splash_window) *splash_window = false;
  FOLDER folder;
  static char name[FOLDER_PATH_SIZE];
  get_program_location(&folder, name);
  ATTACHED_DATA attached;
  if (!locate_attached_data(&folder, name, &attached) || !attached.package_attached) return ATTACHED_NONE;
  return copy_attached_package(&folder, name, attached.package_position, nullptr, splash_window, message);
}
