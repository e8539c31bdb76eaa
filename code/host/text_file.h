// Line-oriented text files: reads UTF-16 (either byte order, by its mark), UTF-8 and plain 8-bit text
// into 8-bit strings, and writes 8-bit strings as UTF-8 or UTF-16 little-endian. Characters above 0xFF
// travel inside 8-bit strings as runs: 0x01, ",%04X" per character, 0x01.
#pragma once
#include <cstdio>
#include <string>
#include "types.h"
#include "folder.h"
#include "velk_string.h"

// Open modes of text files (the same numbers as data files' FILE_MODE; 2 appends). Write-new writes
// like write, but only to a file it creates: nothing of that name may exist (create_new_file).
#define TEXT_FILE_READ 0
#define TEXT_FILE_WRITE 1
#define TEXT_FILE_APPEND 2
#define TEXT_FILE_WRITE_NEW 3

class TEXT_FILE {
public:
  INT_S16 line_size = 256;  // capacity of the caller's buffer for read_line, terminator included
  INT_S32 mode = 0;         // TEXT_FILE_READ, TEXT_FILE_WRITE or TEXT_FILE_APPEND
  FILE* stream = nullptr;   // the open stream; callers may test feof on it
  INT_S32 line_end = 0;     // the first CR (13) or LF (10) the file gave; 0 until then
  INT_S32 read_ahead[3] = {0, 0, 0};  // bytes given back by the UTF-8 decoder, oldest first
  INT_U8 read_ahead_count = 0;        // filled slots of read_ahead
  INT_U8 at_start = 0;                // the next byte read is the file's first (a UTF-8 mark may follow)
  INT_S32 pending = -1;               // a character that did not fit in the last line, read first
  INT_U8 line_whole = 1;              // the last read_line reached its line end (or the file's end)
  // Bytes that reading may still take from the stream, every byte counted (line ends dropped by the
  // folding too); -1 for no bound. Reading ends there as at the file's end, and limit_reached is set.
  INT_S64 read_limit = -1;
  INT_U8 limit_reached = 0;
  INT_U8 utf16 = 0;         // the file holds 16-bit units
  INT_U8 swap = 0;          // the units are big-endian
  INT_U8 utf8 = 1;          // 8-bit text is UTF-8; cleared for good at the first invalid sequence read
  FOLDER folder;            // the folder the file was opened in
  VELK_STRING name;         // the file name

  TEXT_FILE() {}
  // Releases the name only: the stream is closed by close_text_file.
  ~TEXT_FILE() {}
  TEXT_FILE(const TEXT_FILE&) = delete;
  TEXT_FILE& operator=(const TEXT_FILE&) = delete;

  // Opens the named file of the folder into target (the object is the last argument).
  static bool open(FOLDER* folder, const char* name, INT_S32 mode, bool unicode, TEXT_FILE* target);

  // Next character of 8-bit or UTF-8 input, -1 at the end.
  INT_S32 read_char();
  // Next character as one byte, line ends folded to LF; false at the end or when not open for reading.
  bool get_char(char* out);
  // Next line into line (line_size bytes), without its line end; false when nothing more can be read.
  bool read_line(char* line);
  // One character as UTF-8 (utf8 set) or as one byte.
  bool write_char(INT_S32 character);
  // One 8-bit character in the file's encoding.
  bool put_char(char c);
  // An 8-bit string, runs turned back into characters.
  bool write_text(const char* text);
  // write_text, with the whole text handed to the system in one write (write_stream_whole) after what
  // the stream holds: a process killed at any moment leaves all of it in the file or none of it.
  bool write_text_whole(const char* text);
  // Formats at most 1023 characters and writes them with write_text; a null format writes nothing.
  bool printf(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  // Private steps.
  INT_S32 read_unit();
  INT_S32 read_byte();
  INT_S32 stream_byte();
  INT_S32 read_folded();
  bool write_unit(INT_S32 unit);
  bool write_character(INT_S32 character);
  // Bytes of the file's encoding: to the stream, or into gathered while write_text_whole makes them.
  bool put_bytes(const void* bytes, size_t count);
  std::string* gathered = nullptr;
};

// Makes and opens a text file; null when the name is null or empty, the mode is not 0 to 2, the file
// cannot be opened, or it is big-endian UTF-16 opened for appending.
TEXT_FILE* open_text_file(FOLDER* folder, const char* name, INT_S32 mode, bool unicode);
// Closes the stream, frees the object and clears the caller's pointer; null does nothing. False when a
// read or write of the stream failed or closing could not write back what it held.
bool close_text_file(TEXT_FILE** file);
