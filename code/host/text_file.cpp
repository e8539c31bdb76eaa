// Text files: opening with encoding detection (UTF-16 marks, UTF-8 with or without its mark, 8-bit
// fallback), line reading with line-end folding and wide-character runs, and writing 8-bit strings back
// as UTF-8 (host text mode, so CR LF on Windows) or UTF-16 little-endian.
#include "text_file.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "files.h"

bool TEXT_FILE::open(FOLDER* folder, const char* name, INT_S32 mode, bool unicode, TEXT_FILE* target) {
  if (!name || !*name || !target || !folder) return false;
  const char* open_mode;
  switch (mode) {
    case TEXT_FILE_WRITE: open_mode = unicode ? "wb" : "w"; break;
    case TEXT_FILE_READ: open_mode = "rb"; break;
    case TEXT_FILE_APPEND: open_mode = "r+b"; break;
    case TEXT_FILE_WRITE_NEW: open_mode = nullptr; break;
    default: return false;
  }
  FILE* stream = open_mode ? open_file(folder, name, open_mode) : create_new_file(folder, name, !unicode);
  if (!stream) return false;
  if (mode == TEXT_FILE_WRITE_NEW) mode = TEXT_FILE_WRITE;
  target->stream = stream;
  target->mode = mode;
  target->folder = *folder;
  target->name.assign(name);
  target->read_ahead_count = 0;
  target->pending = -1;
  target->at_start = 0;
  target->read_limit = -1;
  target->limit_reached = 0;

  auto fail = [&]() {
    if (target->stream) close_file(target->stream);
    target->stream = nullptr;
    return false;
  };
  auto reopen = [&](const char* text_mode) {
    close_file(target->stream);
    target->stream = open_file(folder, name, text_mode);
    return target->stream != nullptr;
  };

  if (mode == TEXT_FILE_WRITE) {
    target->utf16 = unicode ? 1 : 0;
    target->swap = 0;
    if (unicode && (fputc(0xFF, stream) == EOF || fputc(0xFE, stream) == EOF)) return fail();
    return true;
  }

  int first = fgetc(stream);
  int second = first == EOF ? EOF : fgetc(stream);
  if (mode == TEXT_FILE_READ) {
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
      target->utf16 = 1;
      target->swap = first == 0xFE ? 1 : 0;
      return true;
    }
    target->utf16 = target->swap = 0;
    if (!reopen("r")) return false;
    target->at_start = 1;
    return true;
  }

  // Appending.
  if (first == 0xFF && second == 0xFE) {
    target->utf16 = 1;
    target->swap = 0;
    if (fseek(stream, 0, SEEK_END) != 0) return fail();
    return true;
  }
  if (first == 0xFE && second == 0xFF) return fail();  // big-endian UTF-16 is never appended to
  if (fseek(stream, 0, SEEK_END) != 0) return fail();
  if (first == EOF && unicode) {
    target->utf16 = 1;
    target->swap = 0;
    if (fputc(0xFF, stream) == EOF || fputc(0xFE, stream) == EOF) return fail();
    return true;
  }
  target->utf16 = target->swap = 0;
  return reopen("a+");
}

TEXT_FILE* open_text_file(FOLDER* folder, const char* name, INT_S32 mode, bool unicode) {
  TEXT_FILE* file = new (std::nothrow) TEXT_FILE;
  if (!file) return nullptr;
  if (!TEXT_FILE::open(folder, name, mode, unicode, file)) {
    delete file;
    return nullptr;
  }
  return file;
}

bool close_text_file(TEXT_FILE** file) {
  if (!file || !*file) return true;
  bool ok = close_file((*file)->stream);
  delete *file;
  *file = nullptr;
  return ok;
}

// ---------------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------------

// The next byte of the stream within read_limit; -1 at the end or at the limit.
INT_S32 TEXT_FILE::stream_byte() {
  if (read_limit == 0) {
    limit_reached = 1;
    return -1;
  }
  int byte = fgetc(stream);
  if (byte == EOF) return -1;
  if (read_limit > 0) read_limit--;
  return byte;
}

// The next raw byte: given-back bytes first, then the stream; -1 at the end.
INT_S32 TEXT_FILE::read_byte() {
  if (read_ahead_count) {
    INT_S32 byte = read_ahead[0];
    read_ahead[0] = read_ahead[1];
    read_ahead[1] = read_ahead[2];
    read_ahead_count--;
    return byte;
  }
  return stream_byte();
}

INT_S32 TEXT_FILE::read_char() {
  if (!stream) return -1;
  if (read_ahead_count) return read_byte();
  for (;;) {
    INT_S32 lead = read_byte();
    if (lead < 0) return -1;
    bool first_of_file = at_start != 0;
    at_start = 0;
    if (!utf8 || lead < 0x80) return lead;
    INT_S32 given_back[3];
    int given_back_count = 0;
    if (lead == 0xEF && first_of_file) {
      INT_S32 b1 = read_byte();
      INT_S32 b2 = b1 < 0 ? -1 : read_byte();
      if (b1 == 0xBB && b2 == 0xBF) continue;  // the UTF-8 mark is never part of the text
      // Not a mark: the bytes are read again as the sequence of the lead EF.
      if (b1 >= 0) read_ahead[read_ahead_count++] = b1;
      if (b2 >= 0) read_ahead[read_ahead_count++] = b2;
    }
    int continuation;
    INT_S32 character;
    if ((lead & 0xE0) == 0xC0) {
      continuation = 1;
      character = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      continuation = 2;
      character = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      continuation = 3;
      character = lead & 0x07;
    } else {
      utf8 = 0;  // 0x80 to 0xBF or 0xF8 to 0xFF as a lead: the file is 8-bit text
      return lead;
    }
    for (int i = 0; i < continuation; i++) {
      INT_S32 byte = read_byte();
      if (byte < 0 || (byte & 0xC0) != 0x80) {
        // A broken sequence: the file is 8-bit text from here on; the bytes after the lead come again.
        if (byte >= 0) given_back[given_back_count++] = byte;
        utf8 = 0;
        for (int j = 0; j < given_back_count && read_ahead_count < 3; j++) {
          // Bytes still waiting in the slots come after the ones given back now.
          for (int k = read_ahead_count; k > j; k--) read_ahead[k] = read_ahead[k - 1];
          read_ahead[j] = given_back[j];
          read_ahead_count++;
        }
        return lead;
      }
      given_back[given_back_count++] = byte;
      character = (character << 6) | (byte & 0x3F);
    }
    return character;
  }
}

// One unit: a 16-bit unit of a UTF-16 file, else one decoded character; -1 at the end.
INT_S32 TEXT_FILE::read_unit() {
  if (!utf16) return read_char();
  INT_S32 low = stream_byte();
  if (low < 0) return -1;
  INT_S32 high = stream_byte();
  if (high < 0) return -1;
  INT_S32 unit = low | (high << 8);
  if (swap) unit = ((unit & 0xFF) << 8) | (unit >> 8);
  return unit;
}

// One unit with line ends folded: the file's first CR or LF reads as LF, the other one is dropped.
INT_S32 TEXT_FILE::read_folded() {
  if (pending >= 0) {
    INT_S32 character = pending;
    pending = -1;
    return character;
  }
  for (;;) {
    INT_S32 unit = read_unit();
    if (unit == 13 || unit == 10) {
      if (!line_end) line_end = unit;
      if (unit != line_end) continue;
      return 10;
    }
    return unit;
  }
}

bool TEXT_FILE::get_char(char* out) {
  if (!stream || mode != TEXT_FILE_READ || !out) return false;
  INT_S32 character = read_folded();
  if (character < 0) return false;
  *out = static_cast<char>(character & 0xFF);
  return true;
}

bool TEXT_FILE::read_line(char* line) {
  if (!line || !stream || mode != TEXT_FILE_READ || line_size < 2) return false;
  INT_S32 limit = line_size - 1;
  line_whole = 0;
  WIDE_RUN_WRITER writer(line, (size_t)line_size);
  while ((INT_S32)writer.length < limit) {
    INT_S32 character = read_folded();
    if (character < 0 || character == 10) {
      line_whole = 1;
      if (character < 0 && writer.length == 0) return false;
      break;
    }
    // A character above 0xFFFF is two groups, its UTF-16 surrogate pair (as names hold it); one past
    // Unicode's last has none and reads as '?'.
    if (character > 0x10FFFF) character = '?';
    INT_S32 groups = character > 0xFFFF ? 2 : 1;
    INT_S32 stored = (INT_S32)writer.length;
    // The run mark and a ',' right after a group are groups too, as the name conversions write them:
    // as plain bytes they would open a run, or be skipped with the mark before them.
    if (!writer.in_run((INT_U32)character)) {
      if (writer.run && stored + 1 >= limit) {
        pending = character;  // kept for the next call
        break;
      }
    } else if (stored == 0 && 1 + 5 * groups >= limit) {
      character = '?';  // a buffer too small for the groups
    } else if (stored + 1 + 5 * groups >= limit) {
      pending = character;
      break;
    }
    writer.add((INT_U32)character);
  }
  // A piece of a longer line ends its run too (the checks above keep room for the mark).
  writer.finish();
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------------

bool TEXT_FILE::write_char(INT_S32 character) {
  read_ahead_count = 0;
  unsigned char bytes[4];
  int count;
  if (utf8 && character >= 0x80 && character <= 0x7FF) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (character >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (character & 0x3F));
    count = 2;
  } else if (utf8 && character >= 0x800 && character <= 0xFFFF) {
    bytes[0] = static_cast<unsigned char>(0xE0 | (character >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((character >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (character & 0x3F));
    count = 3;
  } else if (utf8 && character >= 0x10000 && character <= 0x10FFFF) {
    bytes[0] = static_cast<unsigned char>(0xF0 | (character >> 18));
    bytes[1] = static_cast<unsigned char>(0x80 | ((character >> 12) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | ((character >> 6) & 0x3F));
    bytes[3] = static_cast<unsigned char>(0x80 | (character & 0x3F));
    count = 4;
  } else {
    bytes[0] = static_cast<unsigned char>(utf8 ? (character & 0x7F) : (character & 0xFF));
    count = 1;
  }
  return put_bytes(bytes, static_cast<size_t>(count));
}

bool TEXT_FILE::write_unit(INT_S32 unit) {
  unsigned char bytes[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>((unit >> 8) & 0xFF)};
  return put_bytes(bytes, 2);
}

bool TEXT_FILE::put_bytes(const void* bytes, size_t count) {
  if (gathered) {
    gathered->append(static_cast<const char*>(bytes), count);
    return true;
  }
  return fwrite(bytes, 1, count, stream) == count;
}

// One character in the file's encoding: UTF-16 units (a line feed as CR LF) or write_char.
bool TEXT_FILE::write_character(INT_S32 character) {
  if (!utf16) return write_char(character);
  if (character == 10) return write_unit(13) && write_unit(10);
  return write_unit(character);
}

bool TEXT_FILE::put_char(char c) {
  if (!stream || (mode != TEXT_FILE_WRITE && mode != TEXT_FILE_APPEND)) return false;
  return write_character(static_cast<unsigned char>(c));
}

bool TEXT_FILE::write_text(const char* text) {
  if (!stream || !text || (mode != TEXT_FILE_WRITE && mode != TEXT_FILE_APPEND)) return false;
  WIDE_RUN_READER reader(text);
  INT_U32 character;
  for (;;) {
    // 8-bit text writes a stretch of plain ASCII as it is, in one transfer.
    if (!reader.run && !utf16) {
      const unsigned char* end = reader.at;
      while (*end > WIDE_RUN_MARK && *end < 0x80) end++;
      if (end - reader.at > 1) {
        read_ahead_count = 0;
        if (!put_bytes(reader.at, static_cast<size_t>(end - reader.at))) return false;
        reader.at = end;
        continue;
      }
    }
    // A surrogate pair of 8-bit UTF-8 text is the one character it stands for.
    if (!(!utf16 && utf8 ? reader.next_character(&character) : reader.next(&character))) break;
    if (!write_character(static_cast<INT_S32>(character))) return false;
  }
  return true;
}

bool TEXT_FILE::write_text_whole(const char* text) {
  if (!stream || !text || (mode != TEXT_FILE_WRITE && mode != TEXT_FILE_APPEND)) return false;
  std::string bytes;
  gathered = &bytes;
  bool made = write_text(text);
  gathered = nullptr;
  return made && write_stream_whole(stream, bytes.data(), bytes.size());
}

bool TEXT_FILE::printf(const char* format, ...) {
  if (!format) return true;
  if (!stream || (mode != TEXT_FILE_WRITE && mode != TEXT_FILE_APPEND)) return false;
  char buffer[1024];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  buffer[sizeof buffer - 1] = 0;
  return write_text(buffer);
}
