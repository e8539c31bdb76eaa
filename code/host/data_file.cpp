// Buffered data files: one cache buffer serves the many small transfers of the serialisers, the optional
// byte-order byte tells a reader to swap every value, and a compressed file goes through a gzip stream.
#include "data_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "files.h"
#include "gzip_stream.h"
#include "host.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define POISON_LENT_BYTES(bytes, size) ASAN_POISON_MEMORY_REGION(bytes, size)
#define UNPOISON_LENT_BYTES(bytes, size) ASAN_UNPOISON_MEMORY_REGION(bytes, size)
#else
#define POISON_LENT_BYTES(bytes, size) ((void)(bytes), (void)(size))
#define UNPOISON_LENT_BYTES(bytes, size) ((void)(bytes), (void)(size))
#endif

INT_U32 default_file_cache_size = 0x80000;

// One slot of the shared buffer pool. A slot that is lent out when the pool is dropped is orphaned:
// the file holding it frees it when it is deleted.
struct FILE_BUFFER_SLOT {
  INT_U8* buffer;
  INT_S32 size;
  INT_U8 in_use;
  INT_U8 orphaned;
};

namespace {

FILE_BUFFER_SLOT** pool_slots = nullptr;
INT_S16 pool_count = 0;

const char* const stream_modes[3] = {"rb", "wb", "r+b"};

}  // namespace

void set_file_buffer_pool(INT_S16 n) {
  for (INT_S16 index = 0; index < pool_count; ++index) {
    FILE_BUFFER_SLOT* slot = pool_slots[index];
    if (!slot) continue;
    if (slot->in_use) {
      slot->orphaned = 1;
    } else {
      std::free(slot->buffer);
      std::free(slot);
    }
  }
  std::free(pool_slots);
  pool_slots = nullptr;
  pool_count = 0;
  if (n <= 0) return;
  pool_slots = static_cast<FILE_BUFFER_SLOT**>(std::calloc(static_cast<size_t>(n), sizeof(FILE_BUFFER_SLOT*)));
  if (!pool_slots) return;
  for (INT_S16 index = 0; index < n; ++index) {
    pool_slots[index] = static_cast<FILE_BUFFER_SLOT*>(std::calloc(1, sizeof(FILE_BUFFER_SLOT)));
    if (!pool_slots[index]) {
      // A table that cannot be made whole is no table.
      for (INT_S16 made = 0; made < index; ++made) std::free(pool_slots[made]);
      std::free(pool_slots);
      pool_slots = nullptr;
      return;
    }
  }
  pool_count = n;
}

// A buffer size asked for (-1: the default file-cache size) within the limits.
static INT_S32 limited_buffer_size(INT_S32 size) {
  INT_S64 wanted = size == -1 ? static_cast<INT_S64>(default_file_cache_size) : size;
  if (wanted > DATA_FILE_LARGEST_BUFFER) wanted = DATA_FILE_LARGEST_BUFFER;
  if (wanted < DATA_FILE_SMALLEST_BUFFER) wanted = DATA_FILE_SMALLEST_BUFFER;
  return static_cast<INT_S32>(wanted);
}

DATA_FILE::DATA_FILE(INT_S32 size) {
  buffer_size = limited_buffer_size(size);

  FILE_BUFFER_SLOT* empty_slot = nullptr;
  INT_S16 empty_index = -1;
  for (INT_S16 index = 0; index < pool_count; ++index) {
    FILE_BUFFER_SLOT* slot = pool_slots[index];
    if (slot->buffer && !slot->in_use && slot->size >= buffer_size) {
      slot->in_use = 1;
      lent_slot = slot;
      pool_slot = index;
      buffer = slot->buffer;
      return;
    }
    if (!slot->buffer && !empty_slot) {
      empty_slot = slot;
      empty_index = index;
    }
  }
  if (empty_slot) {
    empty_slot->buffer = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(buffer_size)));
    if (empty_slot->buffer) {
      empty_slot->size = buffer_size;
      empty_slot->in_use = 1;
      lent_slot = empty_slot;
      pool_slot = empty_index;
      buffer = empty_slot->buffer;
      return;
    }
  }
  buffer = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(buffer_size)));
  if (!buffer) raise_error(0x15);
}

DATA_FILE::~DATA_FILE() {
  release_buffer();
  UNPOISON_LENT_BYTES(lent_copy, lent_copy_capacity);
  std::free(lent_copy);
  name.clear();
}

const INT_U8* DATA_FILE::lend(const INT_U8* bytes, INT_S32 count) {
#ifdef NDEBUG
  (void)count;
  return bytes;
#else
  if (count > lent_copy_capacity) {
    UNPOISON_LENT_BYTES(lent_copy, lent_copy_capacity);
    std::free(lent_copy);
    lent_copy = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(count)));
    lent_copy_capacity = lent_copy ? count : 0;
    if (!lent_copy) return bytes;
  }
  UNPOISON_LENT_BYTES(lent_copy, count);
  std::memcpy(lent_copy, bytes, static_cast<size_t>(count));
  lent_count = count;
  return lent_copy;
#endif
}

void DATA_FILE::end_loan() {
  if (lent_count == 0) return;
  std::memset(lent_copy, 0xDD, static_cast<size_t>(lent_count));
  POISON_LENT_BYTES(lent_copy, lent_count);
  lent_count = 0;
}

void DATA_FILE::release_buffer() {
  if (lent_slot) {
    if (lent_slot->orphaned) {
      std::free(lent_slot->buffer);
      std::free(lent_slot);
    } else {
      lent_slot->in_use = 0;
    }
  } else {
    std::free(buffer);
  }
  lent_slot = nullptr;
  pool_slot = -1;
  buffer = nullptr;
}

bool DATA_FILE::set_buffer_size(INT_S32 size) {
  end_loan();
  INT_S32 wanted = limited_buffer_size(size);
  if (wanted == buffer_size) return true;
  INT_U8* fresh = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(wanted)));
  if (!fresh) return false;
  flush();
  release_buffer();
  buffer = fresh;
  buffer_size = wanted;
  return true;
}

bool DATA_FILE::stream_seek(INT_U32 physical) {
  if (gzip_stream) return gzfile_seek(gzip_stream, static_cast<INT_S32>(physical), 0) >= 0;
  return std::fseek(file, static_cast<long>(physical), SEEK_SET) == 0;
}

INT_S32 DATA_FILE::stream_read(void* data, INT_S32 count) {
  if (gzip_stream) {
    INT_S32 got = gzfile_read(gzip_stream, data, static_cast<INT_U32>(count));
    return got > 0 ? got : 0;  // an error ends the data here
  }
  if (mode == FILE_MODE_UPDATE && !stream_seek(buffer_start)) return 0;
  return static_cast<INT_S32>(std::fread(data, 1, static_cast<size_t>(count), file));
}

INT_S32 DATA_FILE::stream_write(const void* data, INT_S32 count) {
  INT_S32 written;
  if (gzip_stream) {
    written = gzfile_write(gzip_stream, data, static_cast<INT_U32>(count));
    if (written < 0) written = 0;
  } else {
    if (mode == FILE_MODE_UPDATE && !stream_seek(buffer_start)) {
      write_failed = 1;
      return 0;
    }
    written = static_cast<INT_S32>(std::fwrite(data, 1, static_cast<size_t>(count), file));
  }
  if (written != count) write_failed = 1;
  return written;
}

bool DATA_FILE::open(FOLDER* in_folder, const char* file_name, FILE_MODE file_mode, INT_U8 order,
                     DATA_FILE* target, bool compressed) {
  if (!file_name || !file_name[0] || !target) return false;
  if (file_mode < FILE_MODE_READ || file_mode > FILE_MODE_WRITE_NEW) return false;
  bool order_byte = order == BYTE_ORDER_HEADER;
  // A gzip stream reads or writes, never both: a compressed file cannot be updated.
  if (order_byte && compressed && file_mode == FILE_MODE_UPDATE) return false;
  if (!in_folder) in_folder = &target->folder;

  FILE* stream = nullptr;
  if (file_mode == FILE_MODE_WRITE_NEW) {
    stream = create_temporary_file(in_folder, file_name);
    file_mode = FILE_MODE_WRITE;
  } else {
    stream = open_file(in_folder, file_name, stream_modes[file_mode]);
  }
  if (!stream) return false;
  // A plain file's own buffer is the one buffer: a stream buffer beneath it would only split its
  // transfers, and make every seek read ahead. (The gzip stream reads and writes in chunks of its own.)
  if (!compressed) std::setvbuf(stream, nullptr, _IONBF, 0);

  GZ_FILE_STREAM* gzip = nullptr;
  INT_U8 swap = 0;
  INT_U64 size = 0;
  INT_U32 start = 0;
  INT_U32 packed = 0;
  // The file's size on disk, in 64 bits; a file opened for writing has just been emptied or made.
  INT_U64 stored = file_mode == FILE_MODE_WRITE ? 0 : stream_size(stream);
  // Positions of a data file are 32-bit: a file it could not address to its end is refused.
  if (stored > 0xFFFFFFFFull) {
    close_file(stream);
    return false;
  }
  bool ok = true;
  if (order_byte) {
    INT_U8 byte = 0;
    if (file_mode == FILE_MODE_WRITE) {
      if (compressed) {
        gzip = gzopen_file(stream, "w");
        ok = gzip && gzfile_write(gzip, &byte, 1) == 1;
      } else {
        ok = std::fwrite(&byte, 1, 1, stream) == 1;
      }
      size = 1;
      start = 1;
    } else if (file_mode == FILE_MODE_READ) {
      std::fseek(stream, 0, SEEK_SET);
      if (compressed) {
        packed = static_cast<INT_U32>(stored);
        gzip = gzopen_file(stream, "r");
        if (gzip) {
          // The gzip stream cannot seek to its end: the size known is its position, 0.
          gzfile_seek(gzip, 0, 2);
          INT_S32 position = gzfile_tell(gzip);
          size = position > 0 ? static_cast<INT_U32>(position) : 0;
          gzfile_seek(gzip, 0, 0);
          if (gzfile_read(gzip, &byte, 1) != 1) byte = 0;
        } else {
          ok = false;
        }
      } else {
        size = stored;
        if (std::fread(&byte, 1, 1, stream) != 1) byte = 0;  // an empty file reads as empty
      }
      swap = byte;
      start = 1;
    } else {
      std::fseek(stream, 0, SEEK_SET);
      if (std::fread(&byte, 1, 1, stream) == 1) {
        swap = byte;
        std::fseek(stream, 0, SEEK_END);
        size = stored;
        start = static_cast<INT_U32>(stored);
      } else {
        // An empty file receives its byte-order byte; the stream must be positioned before writing.
        byte = 0;
        std::fseek(stream, 0, SEEK_SET);
        ok = std::fwrite(&byte, 1, 1, stream) == 1;
        swap = 0;
        size = start = 1;
      }
    }
  } else {
    if (file_mode == FILE_MODE_READ) {
      size = stored;
    } else if (file_mode == FILE_MODE_UPDATE) {
      std::fseek(stream, 0, SEEK_END);
      size = stored;
      start = static_cast<INT_U32>(stored);
    }
    swap = order;
  }
  if (!ok) {
    if (gzip) gzclose_keep_file(gzip);
    close_file(stream);
    return false;
  }

  target->file = stream;
  target->gzip_stream = gzip;
  target->mode = file_mode;
  target->has_order_byte = order_byte ? 1 : 0;
  target->swap_bytes = swap;
  target->known_size = size;
  target->packed_size = packed;
  target->buffer_start = start;
  target->cursor = 0;
  target->valid = 0;
  target->dirty = 0;
  target->write_failed = 0;
  if (&target->folder != in_folder) target->folder = *in_folder;
  target->name.assign(file_name);
  return true;
}

INT_U32 DATA_FILE::tell() { return buffer_start + static_cast<INT_U32>(cursor) - has_order_byte; }

INT_U64 DATA_FILE::whole_size() {
  if (!file) return 0;
  INT_U64 end = static_cast<INT_U64>(buffer_start) + static_cast<INT_U64>(valid);
  if (known_size > end) end = known_size;
  return end > has_order_byte ? end - has_order_byte : 0;
}

INT_S32 DATA_FILE::get_size() {
  INT_U64 size = whole_size();
  return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<INT_S32>(size);
}

INT_U32 DATA_FILE::bytes_left() {
  if (!file) return 0;
  INT_U64 end = static_cast<INT_U64>(get_size());
  // Deflate expands at most about 1032 to 1.
  if (gzip_stream) end = static_cast<INT_U64>(packed_size > end ? packed_size : end) * 1032;
  if (end > 0x7FFFFFFF) end = 0x7FFFFFFF;
  INT_U64 here = tell();
  return end > here ? static_cast<INT_U32>(end - here) : 0;
}

bool DATA_FILE::at_end() {
  if (!file) return true;
  if (cursor < valid) return false;
  if (gzip_stream) return gzfile_eof(gzip_stream) != 0;
  return std::feof(file) != 0;
}

FILE* DATA_FILE::get_stream() {
  end_loan();
  if (!file || gzip_stream) return nullptr;
  flush();
  // Update mode positions the stream lazily: place it now for the outside reader or writer.
  stream_seek(buffer_start);
  return file;
}

void DATA_FILE::flush() {
  end_loan();
  if (!file) return;
  if (dirty && valid > 0) {
    if (buffer_start < known_size && mode != FILE_MODE_UPDATE) stream_seek(buffer_start);
    stream_write(buffer, valid);
  }
  buffer_start += static_cast<INT_U32>(valid);
  if (buffer_start > known_size) known_size = buffer_start;
  if (cursor < valid) {
    buffer_start -= static_cast<INT_U32>(valid - cursor);
    stream_seek(buffer_start);
  }
  valid = 0;
  cursor = 0;
  dirty = 0;
}

void DATA_FILE::seek(INT_S32 offset, bool from_end) {
  end_loan();
  INT_S64 target = offset;
  if (from_end) target += file ? static_cast<INT_S64>(whole_size()) : 0;
  INT_S64 physical = target + has_order_byte;
  if (target < 0 || physical > 0x7FFFFFFF) {
    failed = 1;  // a position the file's 32-bit positions cannot reach: nothing moves
    return;
  }
  INT_U32 wanted = static_cast<INT_U32>(physical);
  if (wanted == buffer_start + static_cast<INT_U32>(cursor)) return;
  // A gzip stream being written cannot go back over what it has taken: it only moves on from its end.
  if (gzip_stream && mode == FILE_MODE_WRITE && wanted < buffer_start + static_cast<INT_U32>(valid)) return;
  if (wanted >= buffer_start && wanted <= buffer_start + static_cast<INT_U32>(valid)) {
    cursor = static_cast<INT_S32>(wanted - buffer_start);
    return;
  }
  if (!file) return;
  if (dirty) {
    flush();
  } else {
    // Nothing to write back: the buffer is dropped without moving the stream twice (a compressed
    // stream would have to decompress from its start to go back).
    buffer_start += static_cast<INT_U32>(cursor);
    valid = 0;
    cursor = 0;
  }
  if (gzip_stream) {
    INT_S32 reached = gzfile_seek(gzip_stream, static_cast<INT_S32>(wanted), 0);
    if (reached < 0) reached = gzfile_tell(gzip_stream);
    if (reached >= 0) buffer_start = static_cast<INT_U32>(reached);
  } else if (stream_seek(wanted)) {
    buffer_start = wanted;
  } else {
    failed = 1;
    long here = std::ftell(file);
    if (here >= 0) buffer_start = static_cast<INT_U32>(here);
  }
}

INT_S32 DATA_FILE::read(void* out, INT_S32 count) {
  end_loan();
  if (!file) return 0;
  if (mode == FILE_MODE_WRITE) raise_error(0x0E);
  INT_U8* to = static_cast<INT_U8*>(out);
  INT_S32 total = 0;
  // Served buffer by buffer: what is buffered first, then refills.
  while (count > 0) {
    INT_S32 available = valid - cursor;
    if (count <= available) {
      std::memcpy(to, buffer + cursor, static_cast<size_t>(count));
      cursor += count;
      return total + count;
    }
    if (available > 0) {
      std::memcpy(to, buffer + cursor, static_cast<size_t>(available));
      cursor += available;
      to += available;
      count -= available;
      total += available;
    }
    if (dirty) {
      flush();
    } else {
      buffer_start += static_cast<INT_U32>(valid);
    }
    cursor = 0;
    valid = 0;
    INT_S32 got = stream_read(buffer, buffer_size);
    if (got <= 0) return total;
    valid = got;
  }
  return total;
}

INT_S32 DATA_FILE::read_unbuffered(void* out, INT_S32 count) {
  end_loan();
  if (!file || count < 1) return 0;
  INT_S32 available = valid - cursor;
  // A compressed stream is read in order anyway.
  if (count <= available || gzip_stream) return read(out, count);
  if (mode == FILE_MODE_WRITE) raise_error(0x0E);
  INT_U8* to = static_cast<INT_U8*>(out);
  if (available > 0) std::memcpy(to, buffer + cursor, static_cast<size_t>(available));
  cursor = valid;
  // The buffer is used up: empty it; the stream stands at its end, the logical position.
  if (dirty)
    flush();
  else
    buffer_start += static_cast<INT_U32>(valid);
  cursor = 0;
  valid = 0;
  INT_S32 got = stream_read(to + available, count - available);
  if (got <= 0) return available;
  buffer_start += static_cast<INT_U32>(got);
  return available + got;
}

const INT_U8* DATA_FILE::read_in_place(INT_S32 count) {
  end_loan();
  if (!file || count < 1 || count > buffer_size || mode != FILE_MODE_READ) return nullptr;
  if (valid - cursor < count) {
    // What is left moves to the buffer's start, and the buffer fills up from the stream, which stands
    // right after it.
    INT_S32 available = valid - cursor;
    if (available > 0) std::memmove(buffer, buffer + cursor, static_cast<size_t>(available));
    buffer_start += static_cast<INT_U32>(cursor);
    cursor = 0;
    valid = available;
    INT_S32 got = stream_read(buffer + available, buffer_size - available);
    if (got > 0) valid += got;
    if (valid < count) return nullptr;
  }
  const INT_U8* bytes = buffer + cursor;
  cursor += count;
  return lend(bytes, count);
}

INT_S32 DATA_FILE::write(const void* data, INT_S32 count) {
  end_loan();
  if (!file || count < 1 || !data) return 0;
  if (mode == FILE_MODE_READ) raise_error(0x0F);
  if (static_cast<INT_S64>(cursor) + count >= buffer_size) flush();
  if (count >= buffer_size) {
    INT_S32 written = stream_write(data, count);
    if (written > 0) {
      buffer_start += static_cast<INT_U32>(written);
      if (buffer_start > known_size) known_size = buffer_start;
    }
    return written;
  }
  std::memcpy(buffer + cursor, data, static_cast<size_t>(count));
  cursor += count;
  if (cursor > valid) valid = cursor;
  dirty = 1;
  return count;
}

bool data_file_opens(FOLDER* folder, const char* name) {
  DATA_FILE* file = new DATA_FILE(DATA_FILE_SMALLEST_BUFFER);
  if (!file->open(folder, name, FILE_MODE_READ, 0, file, false)) {
    delete file;
    return false;
  }
  close_data_file(&file);
  return true;
}

DATA_FILE* create_unique_data_file(FOLDER* folder, char* out, INT_S16 size, const char* suffix, INT_U8 order,
                                   INT_S32 buffer_size) {
  if (out && size > 0) out[0] = 0;
  if (!folder || !out || !suffix || static_cast<INT_S32>(std::strlen(suffix)) + 9 > size) return nullptr;
  DATA_FILE* file = new DATA_FILE(buffer_size);
  INT_U32 number = get_tick_count();
  // A name that cannot be created is taken, or the folder takes no files: after a few hundred names
  // the folder is given up.
  for (INT_S32 tries = 0; tries < 256; ++tries, ++number) {
    std::snprintf(out, static_cast<size_t>(size), "%08X%s", static_cast<unsigned>(number), suffix);
    if (file->open(folder, out, FILE_MODE_WRITE_NEW, order, file, false)) return file;
  }
  delete file;
  out[0] = 0;
  return nullptr;
}

DATA_FILE* open_data_file(FOLDER* folder, const char* name, FILE_MODE mode, INT_U8 order, bool compressed) {
  DATA_FILE* file = new DATA_FILE(-1);
  if (!file->open(folder, name, mode, order, file, compressed)) {
    delete file;
    return nullptr;
  }
  return file;
}

bool close_data_file(DATA_FILE** file) {
  if (!file || !*file) return true;
  DATA_FILE* data = *file;
  bool ok = true;
  if (data->file) {
    data->flush();
    if (data->gzip_stream) {
      if (gzclose_keep_file(data->gzip_stream) != 0 && data->mode == FILE_MODE_WRITE) data->write_failed = 1;
      data->gzip_stream = nullptr;
    }
    // Closing writes what the stream still holds: a failure there is a lost write too.
    if (!close_file(data->file) && data->mode != FILE_MODE_READ) data->write_failed = 1;
    data->file = nullptr;
  }
  if (data->write_failed) ok = false;
  delete data;
  *file = nullptr;
  return ok;
}
