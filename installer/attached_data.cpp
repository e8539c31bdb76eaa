// The attached-data format (see attached_data.h): finding it after a program's executable image,
// reading its splash block, head and records, and writing the head and records of a single-file
// installer.
#include "attached_data.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <zlib.h>

#include "data_file.h"
#include "image.h"
#include "image_cache.h"
#include "style_set.h"
#include "velk_string.h"

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

const char INSTALLER_MARK_BACKWARDS[] = "ti ot dehcatta egakcap eht tuo seipoc :margorp rellatsni klev";

bool carries_installer_mark(const std::vector<INT_U8>& program) {
  std::string mark(INSTALLER_MARK_BACKWARDS);
  std::reverse(mark.begin(), mark.end());
  mark += '\0';  // the whole text, as the program stores it
  return std::search(program.begin(), program.end(), mark.begin(), mark.end()) != program.end();
}

// ---------------------------------------------------------------------------------------------------
// Reading

INT_U8 attached_data_byte_order() {
  const INT_U16 probe = 1;
  INT_U8 first;
  std::memcpy(&first, &probe, 1);
  return first == 1 ? 1 : 0;
}

bool read_attached_splash(DATA_FILE* file, IMAGE* splash, INT_S16 bar_place[4], VELK_STRING* title,
                          WM_STYLE_SET* bar_style) {
  if (!image_cache->get_from_data_device(file) || !splash->get_from_data_device(file)) return false;
  INT_U16 place[4];
  for (int i = 0; i < 4; i++)
    if (!file->read_u16(&place[i])) return false;
  if (!title->get_from_data_device(file) || !bar_style->get_from_data_device(file)) return false;
  for (int i = 0; i < 4; i++) bar_place[i] = (INT_S16)place[i];
  return true;
}

bool read_attached_head(DATA_FILE* file, INT_U32* chunk, INT_U8* compressed, std::string* failure) {
  if (!file->read_u32(chunk) || file->read(compressed, 1) != 1) {
    *failure = "it ends before its first record";
    return false;
  }
  if (*chunk < 1 || *chunk > (INT_U32)DATA_FILE_LARGEST_BUFFER) {
    *failure = "its chunk size " + std::to_string(*chunk) + " is out of range";
    return false;
  }
  return true;
}

ATTACHED_RECORDS::ATTACHED_RECORDS(DATA_FILE* file, INT_U64 first_record, INT_U64 size, INT_U32 chunk,
                                   bool compressed)
    : file(file), first(first_record), at(first_record), size(size), compressed(compressed),
      input_size(chunk), output_size(chunk + chunk / 5) {}

ATTACHED_RECORDS::~ATTACHED_RECORDS() {
  delete[] output;
  delete[] input;
}

bool ATTACHED_RECORDS::allocate() {
  input = new (std::nothrow) INT_U8[input_size];
  if (compressed) output = new (std::nothrow) INT_U8[output_size];
  return input && (!compressed || output);
}

bool ATTACHED_RECORDS::copy_next(DATA_DEVICE* out, std::string* failure) {
  record++;
  std::string which = "record " + std::to_string(record);
  INT_U32 stored_length = 0;
  if (size - at < 4 || !file->read_u32(&stored_length)) {
    *failure = which + " is cut off";
    return false;
  }
  at += 4;
  // A length with its top bit set is no count of bytes a file holds: the record is damaged, and what
  // follows it is not read as the next record.
  if (stored_length > 0x7FFFFFFFu) {
    *failure = which + " is damaged (its length " + std::to_string(stored_length) + " is out of range)";
    return false;
  }
  INT_S32 length = (INT_S32)stored_length;
  if (length == 0) return true;
  if ((INT_U64)length > size - at) {
    *failure = which + " runs past the end of the file";
    return false;
  }
  total += (INT_U64)length;
  at += (INT_U64)length;
  if (!compressed) {
    // Plain bytes are moved in pieces of the buffer's size, so a record longer than the chunk is copied
    // all the same.
    INT_U32 left = (INT_U32)length;
    while (left > 0) {
      INT_S32 piece = (INT_S32)(left < input_size ? left : input_size);
      if (file->read(input, piece) != piece) {
        *failure = which + " cannot be read";
        return false;
      }
      if (out->write(input, piece) != piece) {
        *failure = "the copy cannot be written";
        return false;
      }
      left -= (INT_U32)piece;
    }
    return true;
  }
  // A compressed record may be a little longer than the chunk (data that does not shrink).
  if ((INT_U32)length > input_size) {
    delete[] input;
    input_size = (INT_U32)length;
    input = new (std::nothrow) INT_U8[input_size];
    if (!input) {
      *failure = "there is not enough memory for " + which;
      return false;
    }
  }
  uLongf inflated = output_size;
  if (file->read(input, length) != length) {
    *failure = which + " cannot be read";
    return false;
  }
  if (uncompress(output, &inflated, input, (uLong)length) != Z_OK) {
    *failure = which + " does not inflate";
    return false;
  }
  if (out->write(output, (INT_S32)inflated) != (INT_S32)inflated) {
    *failure = "the copy cannot be written";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Writing

void put_attached_u32(std::vector<INT_U8>* out, INT_U32 value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((INT_U8)(value >> shift));
}

void put_attached_head(std::vector<INT_U8>* out, INT_U32 chunk, bool compressed) {
  out->push_back(0);
  put_attached_u32(out, chunk);
  out->push_back(compressed ? 1 : 0);
}

bool put_attached_record(std::vector<INT_U8>* out, const INT_U8* bytes, size_t count, bool compressed) {
  if (!compressed) {
    put_attached_u32(out, (INT_U32)count);
    out->insert(out->end(), bytes, bytes + count);
    return true;
  }
  uLongf size = compressBound((uLong)count);
  std::vector<INT_U8> packed(size);
  if (compress2(packed.data(), &size, bytes, (uLong)count, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
  put_attached_u32(out, (INT_U32)size);
  out->insert(out->end(), packed.begin(), packed.begin() + (long)size);
  return true;
}
