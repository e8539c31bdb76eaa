// Gzip member stream: reads or writes gzip members (the gzip file format) through an already open FILE*,
// starting at its current position, with zlib doing the compression. Closing with gzclose_keep_file leaves
// the FILE* open for its owner (the compressed DATA_FILE).
#pragma once
#include <cstdio>
#include <zlib.h>

#include "types.h"

// Size of the stream's input and output buffers.
#define GZ_BUFFER_SIZE 0x4000

// Statuses kept in z_err (zlib's): 0 ok, 1 end of stream, -1 file error, -3 data error.
struct GZ_FILE_STREAM {
  z_stream zstream;     // zlib's inflate or deflate state
  INT_S32 z_err;        // the last status of this stream
  INT_S32 z_eof;        // 1 when the file stream has no more input
  FILE* file;           // the file stream; not owned when opened by gzopen_file
  INT_U8* inbuf;        // input buffer (reading); zero-filled source when a writing stream seeks forward
  INT_U8* outbuf;       // output buffer (writing); scratch when a reading stream seeks forward
  INT_U32 crc;          // CRC-32 of the uncompressed bytes of the current member so far
  char* msg;            // error text made by gzfile_error, freed by the close
  char* path;           // a copy of the path given to the open; empty for gzopen_file
  INT_S32 transparent;  // 1 when the input is not gzip data and passes through unchanged
  char mode;            // 'r' reading, 'w' writing
  INT_S32 startpos;     // reading: file offset of the first compressed byte; writing: 10
  INT_U32 position;     // uncompressed bytes given to or taken from the caller so far
  bool owns_file;       // the close also closes the file stream
};

// Opens a gzip stream on the file stream at its current position. The mode holds 'r' (reading) or 'w'
// / 'a' (writing; 'a' does not append), optionally a compression level digit and 'f' (filtered) or 'h'
// (Huffman only). Null when the mode is unusable or memory runs out.
GZ_FILE_STREAM* gzopen_file(FILE* file, const char* mode);
// The same on a file opened by path with the mode's letters (other than digits, 'f' and 'h'), always in
// binary mode.
GZ_FILE_STREAM* gzfile_open(const char* path, const char* mode);

// Uncompressed bytes read; 0 at the end; -1 after a file or data error; -2 when not reading.
INT_S32 gzfile_read(GZ_FILE_STREAM* stream, void* buffer, INT_U32 count);
// Uncompressed bytes taken (less on a write failure); -2 when not writing.
INT_S32 gzfile_write(GZ_FILE_STREAM* stream, const void* buffer, INT_U32 count);
// whence 0 from the start, 1 from the current position; 2 (from the end) is always refused. Writing
// streams only move forward (by writing zero bytes). The new uncompressed position, or -1.
INT_S32 gzfile_seek(GZ_FILE_STREAM* stream, INT_S32 offset, INT_S32 whence);
INT_S32 gzfile_tell(GZ_FILE_STREAM* stream);
// Reading: 1 when the stream has no more data to give (its end, or an error); writing or null: 0.
INT_S32 gzfile_eof(GZ_FILE_STREAM* stream);
// Finishes a writing stream (pending output and the trailer) and frees the stream; the file stream
// stays open. zlib's status, or -2 for null.
INT_S32 gzclose_keep_file(GZ_FILE_STREAM* stream);
// As gzclose_keep_file, then closes the file stream too.
INT_S32 gzfile_close(GZ_FILE_STREAM* stream);

// One byte, or -1.
INT_S32 gzfile_getc(GZ_FILE_STREAM* stream);
// Reads up to size - 1 bytes, stopping after a line feed, and terminates them; null when nothing was read.
char* gzfile_gets(GZ_FILE_STREAM* stream, char* buffer, INT_S32 size);
// Writes one byte; the byte, or -1.
INT_S32 gzfile_putc(GZ_FILE_STREAM* stream, INT_S32 c);
// Writes the text without its terminator; the bytes taken.
INT_S32 gzfile_puts(GZ_FILE_STREAM* stream, const char* text);
// Formats into a 4096-byte buffer and writes the result; the bytes taken.
INT_S32 gzfile_printf(GZ_FILE_STREAM* stream, const char* format, ...);
// Writes all pending compressed output with zlib's flush mode and flushes the file stream; the status.
INT_S32 gzfile_flush(GZ_FILE_STREAM* stream, INT_S32 flush);
// Back to the start of a reading stream; 0, or -1.
INT_S32 gzfile_rewind(GZ_FILE_STREAM* stream);
// Level and strategy of a writing stream; zlib's status.
INT_S32 gzfile_setparams(GZ_FILE_STREAM* stream, INT_S32 level, INT_S32 strategy);
// The last status (into status when given) and its text.
const char* gzfile_error(GZ_FILE_STREAM* stream, INT_S32* status);
