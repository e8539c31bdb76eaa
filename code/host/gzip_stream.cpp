// Gzip member stream: the gzip framing (header, CRC-32 and length trailer, concatenated members) around
// zlib's raw deflate, read from or written to a FILE* that the caller may own.
#include "gzip_stream.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

const INT_U8 gz_magic[2] = {0x1F, 0x8B};
const int GZ_HEAD_CRC = 0x02;
const int GZ_EXTRA_FIELD = 0x04;
const int GZ_ORIG_NAME = 0x08;
const int GZ_COMMENT = 0x10;
const int GZ_RESERVED = 0xE0;
const int GZ_PRINTF_SIZE = 4096;

char* copy_text(const char* text) {
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) std::memcpy(copy, text, length + 1);
  return copy;
}

// Ends zlib's state and frees everything the stream holds (the file stream is left alone).
INT_S32 destroy(GZ_FILE_STREAM* s) {
  INT_S32 status = Z_OK;
  if (s->zstream.state) {
    if (s->mode == 'w')
      status = deflateEnd(&s->zstream);
    else if (s->mode == 'r')
      status = inflateEnd(&s->zstream);
  }
  if (s->z_err < 0) status = s->z_err;
  std::free(s->msg);
  std::free(s->inbuf);
  std::free(s->outbuf);
  std::free(s->path);
  std::free(s);
  return status;
}

// The next input byte, refilling the input buffer from the file; -1 at the end of the file.
int get_byte(GZ_FILE_STREAM* s) {
  if (s->z_eof) return -1;
  if (s->zstream.avail_in == 0) {
    size_t got = std::fread(s->inbuf, 1, GZ_BUFFER_SIZE, s->file);
    if (got == 0) {
      s->z_eof = 1;
      if (std::ferror(s->file)) s->z_err = Z_ERRNO;
      return -1;
    }
    s->zstream.avail_in = static_cast<uInt>(got);
    s->zstream.next_in = s->inbuf;
  }
  s->zstream.avail_in--;
  return *s->zstream.next_in++;
}

// A little-endian u32 of the input; sets a data error when the input ends first.
INT_U32 get_long(GZ_FILE_STREAM* s) {
  INT_U32 value = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c = get_byte(s);
    if (c < 0) {
      if (s->z_err != Z_ERRNO) s->z_err = Z_DATA_ERROR;
      return value;
    }
    value |= static_cast<INT_U32>(c) << shift;
  }
  return value;
}

// Checks and skips a member header at the input. At the open, input that is not gzip data makes the
// stream transparent; after a member, anything but another header ends the stream.
void check_header(GZ_FILE_STREAM* s, bool at_open) {
  uInt length = s->zstream.avail_in;
  if (length < 2) {
    if (length) s->inbuf[0] = s->zstream.next_in[0];
    size_t got = std::fread(s->inbuf + length, 1, GZ_BUFFER_SIZE - length, s->file);
    if (got == 0 && std::ferror(s->file)) s->z_err = Z_ERRNO;
    s->zstream.avail_in = length + static_cast<uInt>(got);
    s->zstream.next_in = s->inbuf;
  }
  if (s->z_err == Z_ERRNO) return;
  if (s->zstream.avail_in < 2 || s->zstream.next_in[0] != gz_magic[0] || s->zstream.next_in[1] != gz_magic[1]) {
    if (at_open && s->zstream.avail_in > 0) {
      s->transparent = 1;
      s->z_err = Z_OK;
    } else {
      // Nothing (more) to read: an empty input, or the end of the last member. Bytes after the last
      // member are not data.
      s->z_err = Z_STREAM_END;
      if (!at_open) s->zstream.avail_in = 0;
    }
    return;
  }
  s->zstream.avail_in -= 2;
  s->zstream.next_in += 2;

  int method = get_byte(s);
  int flags = get_byte(s);
  if (method != Z_DEFLATED || flags < 0 || (flags & GZ_RESERVED) != 0) {
    s->z_err = s->z_err == Z_ERRNO ? Z_ERRNO : Z_DATA_ERROR;
    return;
  }
  for (int skip = 0; skip < 6; ++skip) get_byte(s);  // time, extra flags, operating system
  if (flags & GZ_EXTRA_FIELD) {
    int low = get_byte(s);
    int high = get_byte(s);
    if (low >= 0 && high >= 0) {
      for (int rest = low | (high << 8); rest > 0 && get_byte(s) >= 0; --rest) {
      }
    }
  }
  if (flags & GZ_ORIG_NAME) {
    int c;
    do c = get_byte(s); while (c > 0);
  }
  if (flags & GZ_COMMENT) {
    int c;
    do c = get_byte(s); while (c > 0);
  }
  if (flags & GZ_HEAD_CRC) {
    get_byte(s);
    get_byte(s);
  }
  if (s->z_err != Z_ERRNO) s->z_err = s->z_eof ? Z_DATA_ERROR : Z_OK;
}

// Writes the full output buffer (or its used part) to the file; false on a short write.
bool put_output(GZ_FILE_STREAM* s, uInt length) {
  if (length == 0) return true;
  if (std::fwrite(s->outbuf, 1, length, s->file) != length) {
    s->z_err = Z_ERRNO;
    return false;
  }
  s->zstream.next_out = s->outbuf;
  s->zstream.avail_out = GZ_BUFFER_SIZE;
  return true;
}

// Deflates with the flush mode until zlib has nothing more to give.
INT_S32 do_flush(GZ_FILE_STREAM* s, int flush) {
  if (s->mode != 'w') return Z_STREAM_ERROR;
  s->zstream.avail_in = 0;
  bool done = false;
  for (;;) {
    uInt pending = GZ_BUFFER_SIZE - s->zstream.avail_out;
    if (!put_output(s, pending)) return Z_ERRNO;
    if (done) break;
    s->z_err = deflate(&s->zstream, flush);
    if (s->z_err == Z_BUF_ERROR) s->z_err = Z_OK;  // no progress possible: nothing left to do
    // Done when zlib left room in the buffer, or the stream has ended.
    done = s->zstream.avail_out != 0 || s->z_err == Z_STREAM_END;
    if (s->z_err != Z_OK && s->z_err != Z_STREAM_END) break;
  }
  return s->z_err == Z_STREAM_END ? Z_OK : s->z_err;
}

void put_long(GZ_FILE_STREAM* s, INT_U32 value) {
  INT_U8 bytes[4] = {static_cast<INT_U8>(value), static_cast<INT_U8>(value >> 8), static_cast<INT_U8>(value >> 16),
                     static_cast<INT_U8>(value >> 24)};
  if (std::fwrite(bytes, 1, 4, s->file) != 4) s->z_err = Z_ERRNO;
}

GZ_FILE_STREAM* open_stream(const char* path, const char* mode, FILE* file) {
  if (!mode || (!file && !path)) return nullptr;
  GZ_FILE_STREAM* s = static_cast<GZ_FILE_STREAM*>(std::calloc(1, sizeof(GZ_FILE_STREAM)));
  if (!s) return nullptr;
  s->path = copy_text(path ? path : "");
  s->crc = crc32(0L, Z_NULL, 0);
  if (!s->path) {
    destroy(s);
    return nullptr;
  }

  int level = Z_DEFAULT_COMPRESSION;
  int strategy = Z_DEFAULT_STRATEGY;
  char file_mode[80];
  int file_mode_length = 0;
  for (const char* p = mode; *p; ++p) {
    if (*p == 'r') s->mode = 'r';
    if (*p == 'w' || *p == 'a') s->mode = 'w';
    if (*p >= '0' && *p <= '9') {
      level = *p - '0';
    } else if (*p == 'f') {
      strategy = Z_FILTERED;
    } else if (*p == 'h') {
      strategy = Z_HUFFMAN_ONLY;
    } else if (file_mode_length < 79) {
      file_mode[file_mode_length++] = *p;
    }
  }
  // Gzip data are bytes: a stream opened by path never goes through a host's text translation.
  file_mode[file_mode_length] = 0;
  if (!std::strchr(file_mode, 'b') && file_mode_length < 79) {
    file_mode[file_mode_length++] = 'b';
    file_mode[file_mode_length] = 0;
  }
  if (s->mode == 0) {
    destroy(s);
    return nullptr;
  }

  int status;
  if (s->mode == 'w') {
    status = deflateInit2(&s->zstream, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
    s->outbuf = static_cast<INT_U8*>(std::malloc(GZ_BUFFER_SIZE));
    s->zstream.next_out = s->outbuf;
    s->zstream.avail_out = GZ_BUFFER_SIZE;
  } else {
    s->inbuf = static_cast<INT_U8*>(std::malloc(GZ_BUFFER_SIZE));
    s->zstream.next_in = s->inbuf;
    s->zstream.avail_in = 0;
    status = inflateInit2(&s->zstream, -MAX_WBITS);
  }
  if (status != Z_OK || (s->mode == 'w' ? !s->outbuf : !s->inbuf)) {
    if (status != Z_OK) s->mode = 0;  // zlib's state was not made: nothing to end
    destroy(s);
    return nullptr;
  }

  if (file) {
    s->file = file;
  } else {
    s->file = std::fopen(path, file_mode);
    s->owns_file = true;
  }
  if (!s->file) {
    destroy(s);
    return nullptr;
  }

  if (s->mode == 'w') {
    const INT_U8 header[10] = {gz_magic[0], gz_magic[1], Z_DEFLATED, 0, 0, 0, 0, 0, 0, 0x0B};
    if (std::fwrite(header, 1, sizeof header, s->file) != sizeof header) {
      if (s->owns_file) std::fclose(s->file);
      destroy(s);
      return nullptr;
    }
    s->startpos = 10;
  } else {
    check_header(s, true);
    s->startpos = static_cast<INT_S32>(std::ftell(s->file) - static_cast<long>(s->zstream.avail_in));
  }
  return s;
}

bool reading_stopped(const GZ_FILE_STREAM* s) { return s->z_err < 0 || s->z_err == Z_NEED_DICT; }

}  // namespace

GZ_FILE_STREAM* gzopen_file(FILE* file, const char* mode) {
  if (!file) return nullptr;
  return open_stream(nullptr, mode, file);
}

GZ_FILE_STREAM* gzfile_open(const char* path, const char* mode) { return open_stream(path, mode, nullptr); }

INT_S32 gzfile_read(GZ_FILE_STREAM* s, void* buffer, INT_U32 count) {
  if (!s || s->mode != 'r') return -2;
  if (reading_stopped(s)) return -1;
  if (s->z_err == Z_STREAM_END || count == 0) return 0;
  if (count > 0x7FFFFFFF) count = 0x7FFFFFFF;

  INT_U8* out = static_cast<INT_U8*>(buffer);
  if (s->transparent) {
    INT_U32 taken = s->zstream.avail_in < count ? s->zstream.avail_in : count;
    if (taken) {
      std::memcpy(out, s->zstream.next_in, taken);
      s->zstream.next_in += taken;
      s->zstream.avail_in -= taken;
    }
    if (taken < count && !s->z_eof) {
      size_t got = std::fread(out + taken, 1, count - taken, s->file);
      if (got < count - taken) {
        s->z_eof = 1;
        if (std::ferror(s->file)) s->z_err = Z_ERRNO;
      }
      taken += static_cast<INT_U32>(got);
    }
    s->position += taken;
    return static_cast<INT_S32>(taken);
  }

  s->zstream.next_out = out;
  s->zstream.avail_out = count;
  while (s->zstream.avail_out != 0) {
    if (s->zstream.avail_in == 0 && !s->z_eof) {
      size_t got = std::fread(s->inbuf, 1, GZ_BUFFER_SIZE, s->file);
      if (got == 0) {
        s->z_eof = 1;
        if (std::ferror(s->file)) {
          s->z_err = Z_ERRNO;
          break;
        }
      }
      s->zstream.avail_in = static_cast<uInt>(got);
      s->zstream.next_in = s->inbuf;
    }
    Bytef* start = s->zstream.next_out;
    s->z_err = inflate(&s->zstream, Z_NO_FLUSH);
    s->crc = crc32(s->crc, start, static_cast<uInt>(s->zstream.next_out - start));
    if (s->z_err == Z_NEED_DICT || (s->z_err == Z_BUF_ERROR && s->z_eof)) s->z_err = Z_DATA_ERROR;
    if (s->z_err == Z_STREAM_END) {
      // The trailer: CRC-32 of the member, then its length (not needed: the CRC covers the data).
      if (get_long(s) != s->crc) {
        s->z_err = Z_DATA_ERROR;
      } else {
        get_long(s);
        if (s->z_err == Z_STREAM_END) {
          check_header(s, false);
          if (s->z_err == Z_OK) {
            inflateReset(&s->zstream);
            s->crc = crc32(0L, Z_NULL, 0);
          }
        }
      }
    }
    if (s->z_err != Z_OK && s->z_err != Z_BUF_ERROR) break;
    if (s->z_err == Z_BUF_ERROR) s->z_err = Z_OK;  // needed more input: the loop supplies it
  }
  INT_U32 produced = count - s->zstream.avail_out;
  s->position += produced;
  if (produced == 0 && reading_stopped(s)) return -1;
  return static_cast<INT_S32>(produced);
}

INT_S32 gzfile_write(GZ_FILE_STREAM* s, const void* buffer, INT_U32 count) {
  if (!s || s->mode != 'w') return -2;
  if (count > 0x7FFFFFFF) count = 0x7FFFFFFF;
  s->zstream.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  s->zstream.avail_in = count;
  while (s->zstream.avail_in != 0) {
    if (s->zstream.avail_out == 0 && !put_output(s, GZ_BUFFER_SIZE)) break;
    s->z_err = deflate(&s->zstream, Z_NO_FLUSH);
    if (s->z_err != Z_OK) break;
  }
  INT_U32 taken = count - s->zstream.avail_in;
  s->crc = crc32(s->crc, static_cast<const Bytef*>(buffer), taken);
  s->position += taken;
  return static_cast<INT_S32>(taken);
}

INT_S32 gzfile_seek(GZ_FILE_STREAM* s, INT_S32 offset, INT_S32 whence) {
  if (!s || (whence != 0 && whence != 1)) return -1;
  if (s->z_err == Z_ERRNO || s->z_err == Z_DATA_ERROR) return -1;

  if (s->mode == 'w') {
    INT_S64 ahead = offset;
    if (whence == 0) ahead -= s->position;
    if (ahead < 0) return -1;
    if (!s->inbuf && ahead > 0) {
      s->inbuf = static_cast<INT_U8*>(std::calloc(1, GZ_BUFFER_SIZE));
      if (!s->inbuf) return -1;
    }
    while (ahead > 0) {
      INT_U32 piece = ahead < GZ_BUFFER_SIZE ? static_cast<INT_U32>(ahead) : GZ_BUFFER_SIZE;
      INT_S32 taken = gzfile_write(s, s->inbuf, piece);
      if (taken <= 0) return -1;
      ahead -= taken;
    }
    return static_cast<INT_S32>(s->position);
  }
  if (s->mode != 'r') return -1;

  INT_S64 target = offset;
  if (whence == 1) target += s->position;
  if (target < 0 || target > 0x7FFFFFFF) return -1;

  if (s->transparent) {
    // Transparent data begin at startpos: the target counts from there.
    if (std::fseek(s->file, static_cast<long>(s->startpos + target), SEEK_SET) != 0) return -1;
    s->zstream.avail_in = 0;
    s->z_eof = 0;
    s->z_err = Z_OK;
    s->position = static_cast<INT_U32>(target);
    return static_cast<INT_S32>(target);
  }

  if (target < s->position) {
    s->z_err = Z_OK;
    s->z_eof = 0;
    s->zstream.avail_in = 0;
    s->zstream.next_in = s->inbuf;
    s->crc = crc32(0L, Z_NULL, 0);
    inflateReset(&s->zstream);
    s->position = 0;
    if (std::fseek(s->file, s->startpos, SEEK_SET) != 0) return -1;
  }
  INT_S64 ahead = target - s->position;
  if (ahead > 0 && !s->outbuf) {
    s->outbuf = static_cast<INT_U8*>(std::malloc(GZ_BUFFER_SIZE));
    if (!s->outbuf) return -1;
  }
  while (ahead > 0) {
    INT_U32 piece = ahead < GZ_BUFFER_SIZE ? static_cast<INT_U32>(ahead) : GZ_BUFFER_SIZE;
    INT_S32 got = gzfile_read(s, s->outbuf, piece);
    if (got <= 0) return -1;
    ahead -= got;
  }
  return static_cast<INT_S32>(s->position);
}

INT_S32 gzfile_tell(GZ_FILE_STREAM* s) { return gzfile_seek(s, 0, 1); }

INT_S32 gzfile_eof(GZ_FILE_STREAM* s) {
  if (!s || s->mode != 'r') return 0;
  if (reading_stopped(s) || s->z_err == Z_STREAM_END) return 1;
  return s->transparent && s->z_eof && s->zstream.avail_in == 0 ? 1 : 0;
}

INT_S32 gzclose_keep_file(GZ_FILE_STREAM* s) {
  if (!s) return Z_STREAM_ERROR;
  if (s->mode == 'w') {
    if (do_flush(s, Z_FINISH) == Z_OK) {
      put_long(s, s->crc);
      put_long(s, s->position);
    }
  }
  return destroy(s);
}

INT_S32 gzfile_close(GZ_FILE_STREAM* s) {
  if (!s) return Z_STREAM_ERROR;
  FILE* file = s->file;
  INT_S32 status = gzclose_keep_file(s);
  if (file && std::fclose(file) != 0 && status == Z_OK) status = Z_ERRNO;
  return status;
}

INT_S32 gzfile_getc(GZ_FILE_STREAM* s) {
  unsigned char c;
  return gzfile_read(s, &c, 1) == 1 ? c : -1;
}

char* gzfile_gets(GZ_FILE_STREAM* s, char* buffer, INT_S32 size) {
  if (!buffer || size < 1) return nullptr;
  INT_S32 length = 0;
  while (length < size - 1) {
    char c;
    if (gzfile_read(s, &c, 1) != 1) break;
    buffer[length++] = c;
    if (c == '\n') break;
  }
  buffer[length] = 0;
  return length > 0 ? buffer : nullptr;
}

INT_S32 gzfile_putc(GZ_FILE_STREAM* s, INT_S32 c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return gzfile_write(s, &byte, 1) == 1 ? byte : -1;
}

INT_S32 gzfile_puts(GZ_FILE_STREAM* s, const char* text) {
  if (!text) return 0;
  return gzfile_write(s, text, static_cast<INT_U32>(std::strlen(text)));
}

INT_S32 gzfile_printf(GZ_FILE_STREAM* s, const char* format, ...) {
  char buffer[GZ_PRINTF_SIZE];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (length <= 0) return 0;
  if (length >= GZ_PRINTF_SIZE) length = GZ_PRINTF_SIZE - 1;
  return gzfile_write(s, buffer, static_cast<INT_U32>(length));
}

INT_S32 gzfile_flush(GZ_FILE_STREAM* s, INT_S32 flush) {
  if (!s || s->mode != 'w') return Z_STREAM_ERROR;
  INT_S32 status = do_flush(s, flush);
  std::fflush(s->file);
  return status;
}

INT_S32 gzfile_rewind(GZ_FILE_STREAM* s) {
  if (!s || s->mode != 'r') return -1;
  return gzfile_seek(s, 0, 0) == 0 ? 0 : -1;
}

INT_S32 gzfile_setparams(GZ_FILE_STREAM* s, INT_S32 level, INT_S32 strategy) {
  if (!s || s->mode != 'w') return Z_STREAM_ERROR;
  // deflateParams may emit output: make room first.
  if (s->zstream.avail_out == 0 && !put_output(s, GZ_BUFFER_SIZE)) return Z_ERRNO;
  s->z_err = deflateParams(&s->zstream, level, strategy);
  if (s->z_err == Z_BUF_ERROR) s->z_err = Z_OK;
  return s->z_err;
}

const char* gzfile_error(GZ_FILE_STREAM* s, INT_S32* status) {
  if (!s) {
    if (status) *status = Z_STREAM_ERROR;
    return zError(Z_STREAM_ERROR);
  }
  if (status) *status = s->z_err;
  if (s->z_err == Z_OK) return "";
  const char* text = s->z_err == Z_ERRNO ? "file error" : s->zstream.msg ? s->zstream.msg : zError(s->z_err);
  std::free(s->msg);
  size_t length = std::strlen(s->path) + std::strlen(text) + 3;
  s->msg = static_cast<char*>(std::malloc(length));
  if (!s->msg) return text;
  std::snprintf(s->msg, length, "%s: %s", s->path, text);
  return s->msg;
}
