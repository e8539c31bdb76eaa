// Buffered disk files as data devices: DATA_FILE, opened on a folder and a name for reading, writing or
// update, optionally with a byte-order byte at its start and optionally stored as a gzip member, with
// the shared buffer pool and the library's default file-cache size.
#pragma once
#include <cstdio>

#include "types.h"
#include "data_device.h"
#include "folder.h"
#include "velk_string.h"

struct GZ_FILE_STREAM;

// How a data file is opened: read ("rb"), write ("wb", created or truncated) or update ("r+b", a
// missing file is created; positioned at the end). Write-new writes like write, but only to a file it
// creates itself: the open fails when anything of that name exists (create_temporary_file).
typedef INT_S32 FILE_MODE;
const FILE_MODE FILE_MODE_READ = 0;
const FILE_MODE FILE_MODE_WRITE = 1;
const FILE_MODE FILE_MODE_UPDATE = 2;
const FILE_MODE FILE_MODE_WRITE_NEW = 3;

// Order argument: the file begins with a byte-order byte (0 written; non-zero read = swap every value).
// Any other value means no such byte, and the value itself is the swap setting.
const INT_U8 BYTE_ORDER_HEADER = 0xFF;

// Limits of a data file's buffer.
const INT_S32 DATA_FILE_SMALLEST_BUFFER = 0x400;
const INT_S32 DATA_FILE_LARGEST_BUFFER = 0x3200000;

// The library's default file-cache size: the buffer size of a data file made with -1 and the block size
// of a new package made with less than 1. 512 KiB at start; the application may change it.
extern INT_U32 default_file_cache_size;

struct FILE_BUFFER_SLOT;

class DATA_FILE : public DATA_DEVICE {
public:
  INT_U8* buffer = nullptr;              // the cache, buffer_size bytes
  INT_S32 cursor = 0;                    // next transfer inside the buffer
  INT_S32 valid = 0;                     // buffer bytes that hold file data
  INT_S32 buffer_size = 0;               // capacity of the buffer
  INT_S32 mode = 0;                      // the FILE_MODE of the open
  FILE* file = nullptr;                  // the open stream (usable directly after flush)
  INT_U8 has_order_byte = 0;             // the file begins with the byte-order byte
  INT_U8 dirty = 0;                      // the buffer holds bytes not yet written
  GZ_FILE_STREAM* gzip_stream = nullptr;  // non-null when the file is compressed
  FOLDER folder;                         // the folder the file was opened in
  VELK_STRING name;                      // the name given to the open
  INT_U64 known_size = 0;                // physical size as far as known: at the open, raised by writes
  INT_U32 packed_size = 0;               // a compressed file read: its size on disk at the open
  INT_U32 buffer_start = 0;              // physical offset of the first buffer byte
  INT_S16 pool_slot = -1;                // the pool slot lending the buffer; -1 for an own buffer
  INT_U8 write_failed = 0;               // a write to the stream moved fewer bytes than asked (sticky)

  // -1 asks for the default file-cache size; the size is kept within 1 KiB and 50 MiB. A buffer that
  // cannot be had is a fatal error (0x15).
  explicit DATA_FILE(INT_S32 size = -1);
  // Returns the buffer (to its pool slot or the heap); neither flushes nor closes the file.
  ~DATA_FILE() override;
  DATA_FILE(const DATA_FILE&) = delete;
  DATA_FILE& operator=(const DATA_FILE&) = delete;

  // Opens into target (normally this object). False for a null or empty name, a null target, a bad mode,
  // a stream or gzip stream that cannot be opened, a folder opened for reading, and a compressed file
  // asked for update.
  bool open(FOLDER* folder, const char* name, FILE_MODE mode, INT_U8 order, DATA_FILE* target, bool compressed);

  INT_U32 tell() override;
  // A target below 0 or beyond the data file's signed 32-bit positions is refused: nothing moves and
  // the failed flag is set, as it is when the stream cannot be moved. A compressed file that is being
  // written only moves forward from the end of what was written.
  void seek(INT_S32 offset, bool from_end) override;
  // Reading a file opened for writing is a fatal error (0x0E).
  INT_S32 read(void* buffer, INT_S32 count) override;
  // As read, but what the buffer does not hold comes straight from the stream, no more than asked, and
  // leaves the buffer empty: scattered small records of a large file are read at their own size
  // instead of refilling the whole buffer for each.
  INT_S32 read_unbuffered(void* buffer, INT_S32 count);
  // The next count bytes of a file opened for reading, where they lie in the buffer, and the position
  // moves past them; null, with nothing moved, when fewer are left, the buffer is smaller, or the file is
  // not open for reading. The bytes are lent until the next operation on the file (a read, seek, write,
  // flush, buffer change or close), which may refill the buffer or move it: use them before that and
  // never keep the pointer. Builds with assertions (debug and sanitizer builds) lend a copy instead,
  // which the next operation overwrites and, under AddressSanitizer, poisons: a late use reads wrong
  // bytes, or stops the program with the place of the use.
  const INT_U8* read_in_place(INT_S32 count);
  // Writing a file opened for reading is a fatal error (0x0F).
  INT_S32 write(const void* buffer, INT_S32 count) override;
  // Writes a dirty buffer and empties it, leaving the stream at the logical position.
  void flush();
  // Flushes and takes a buffer of the new size (kept within the same limits as at construction) for
  // the rest of the file's life; false, with the old buffer kept, when it cannot be had.
  bool set_buffer_size(INT_S32 size);
  // Logical size (without the byte-order byte); 0 with no file open. A file larger than 2 GiB answers
  // 0x7FFFFFFF here: whole_size gives its size in 64 bits.
  INT_S32 get_size();
  INT_U64 whole_size();
  // Bytes left to read, from the known size without moving the stream. A compressed file's own size is
  // not known before it is read: its bound is what deflate can make of the compressed bytes.
  INT_U32 bytes_left() override;
  // True with no file open, or when the buffer is used up and the stream has met its end.
  bool at_end();
  // Flushes and hands out the stdio stream, standing at the logical position, for a library that reads
  // or writes it directly; null with no file open or for a compressed file.
  FILE* get_stream();

private:
  FILE_BUFFER_SLOT* lent_slot = nullptr;
  // Builds with assertions: the copy that read_in_place lends, its capacity and the bytes on loan.
  INT_U8* lent_copy = nullptr;
  INT_S32 lent_copy_capacity = 0;
  INT_S32 lent_count = 0;
  const INT_U8* lend(const INT_U8* bytes, INT_S32 count);
  // The bytes that read_in_place lent are taken back (an operation that may move the buffer begins).
  void end_loan();
  // Gives the buffer back to its pool slot or the heap.
  void release_buffer();
  // Plain stream transfers at the buffer's start; update mode always positions the stream first, since
  // a stream may not switch between reading and writing without a seek.
  INT_S32 stream_read(void* data, INT_S32 count);
  INT_S32 stream_write(const void* data, INT_S32 count);
  bool stream_seek(INT_U32 physical);
};

// Allocates a data file with the default buffer and opens it; null (nothing left open) on failure.
DATA_FILE* open_data_file(FOLDER* folder, const char* name, FILE_MODE mode, INT_U8 order, bool compressed);
// Whether the file opens for reading as a plain data file (no byte-order byte, not compressed): it is
// opened and closed again at once, with the smallest buffer, as nothing is read.
bool data_file_opens(FOLDER* folder, const char* name);
// Creates a data file for writing (FILE_MODE_WRITE_NEW) under a new name in the folder: eight
// upper-case hexadecimal digits of the tick count and the suffix, counted up past every name that is
// taken in any form. The name goes into out (size bytes, at least 9 + the suffix's length). The file's
// buffer is buffer_size bytes (-1: the default). Null when no file can be made.
DATA_FILE* create_unique_data_file(FOLDER* folder, char* out, INT_S16 size, const char* suffix, INT_U8 order,
                                   INT_S32 buffer_size = -1);
// Flushes, finishes a gzip stream (leaving the file stream to close here), closes the stream, deletes the
// object and nulls the caller's pointer; nothing for null. False when pending bytes could not all be
// written (the file is closed and deleted all the same).
bool close_data_file(DATA_FILE** file);

// The shared buffer pool: frees every buffer not in use and the table; n > 0 then makes n empty slots.
// Buffers still lent out stay with their files until those are deleted.
void set_file_buffer_pool(INT_S16 n);
