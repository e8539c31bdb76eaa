// Shared pieces of the fuzz targets: data devices over the fuzzer's bytes or a growing vector, and the
// process's own scratch folder with a way to write an input into it as a file.
// Header-only, since each target is built from its one source file.
#pragma once
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "data_device.h"
#include "folder.h"

// A read-only device over bytes it does not own (the fuzzer's input or a vector that outlives it).
class BYTES_DEVICE : public DATA_DEVICE {
public:
  const INT_U8* data;
  INT_U32 size;
  INT_U32 position = 0;
  BYTES_DEVICE(const INT_U8* bytes, size_t count) : data(bytes), size((INT_U32)count) {}
  INT_U32 tell() override { return position; }
  void seek(INT_S32 offset, bool from_end) override {
    INT_S64 target = from_end ? (INT_S64)size + offset : offset;
    position = target < 0 ? 0 : (target > size ? size : (INT_U32)target);
  }
  INT_S32 read(void* buffer, INT_S32 count) override {
    if (count <= 0 || position >= size) return 0;
    INT_U32 taken = (INT_U32)count < size - position ? (INT_U32)count : size - position;
    std::memcpy(buffer, data + position, taken);
    position += taken;
    return (INT_S32)taken;
  }
  INT_S32 write(const void*, INT_S32) override { return 0; }
};

// A device over a byte vector it owns, which writes grow (stored forms written and read back).
class VECTOR_DEVICE : public DATA_DEVICE {
public:
  std::vector<INT_U8> bytes;
  INT_U32 position = 0;
  INT_U32 tell() override { return position; }
  void seek(INT_S32 offset, bool from_end) override {
    INT_S64 target = from_end ? (INT_S64)bytes.size() + offset : offset;
    position = target < 0 ? 0 : (target > (INT_S64)bytes.size() ? (INT_U32)bytes.size() : (INT_U32)target);
  }
  INT_S32 read(void* buffer, INT_S32 count) override {
    if (count <= 0 || position >= bytes.size()) return 0;
    INT_U32 left = (INT_U32)bytes.size() - position;
    INT_U32 taken = (INT_U32)count < left ? (INT_U32)count : left;
    std::memcpy(buffer, bytes.data() + position, taken);
    position += taken;
    return (INT_S32)taken;
  }
  INT_S32 write(const void* buffer, INT_S32 count) override {
    if (count <= 0) return 0;
    if (position + (size_t)count > bytes.size()) bytes.resize(position + (size_t)count);
    std::memcpy(bytes.data() + position, buffer, (size_t)count);
    position += (INT_U32)count;
    return count;
  }
};

// The process's scratch folder "/tmp/velk-<tag>-fuzz-XXXXXX": made by the first call (whose tag names
// it; later calls return the same folder) and removed with everything in it when the process exits.
inline FOLDER* fuzz_work_folder(const char* tag) {
  static FOLDER* folder = nullptr;
  if (!folder) {
    static char pattern[FOLDER_PATH_SIZE];
    std::snprintf(pattern, sizeof pattern, "/tmp/velk-%s-fuzz-XXXXXX", tag);
    folder = new FOLDER;
    if (!mkdtemp(pattern) || !folder->set_if_folder(pattern)) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(pattern, ignored);
    });
  }
  return folder;
}

// Writes count bytes as the file name in folder, replacing it; a file that cannot be written ends the
// run, as the input would not reach the code under test.
inline void fuzz_write_file(const FOLDER* folder, const char* name, const void* bytes, size_t count) {
  std::string path = std::string(folder->path) + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (count && std::fwrite(bytes, 1, count, file) != count) std::abort();
  std::fclose(file);
}

// The bytes a target reads: after a first byte of 0 the rest of the input itself; after any other first
// byte the valid stream with patches from the input (u16 offset little-endian, u8 length, then the
// bytes; an offset of 0xFFFF cuts the stream at 64 times the next u16), so that small inputs reach
// deep into a long stream.
inline std::vector<INT_U8> fuzz_patched_stream(const std::vector<INT_U8>& valid, const INT_U8* data, size_t size) {
  std::vector<INT_U8> bytes;
  if (size < 1) return bytes;
  if (data[0] == 0) {
    bytes.assign(data + 1, data + size);
    return bytes;
  }
  bytes = valid;
  size_t at = 1;
  while (at + 3 <= size) {
    size_t offset = data[at] | (data[at + 1] << 8);
    size_t length = data[at + 2];
    at += 3;
    if (offset == 0xFFFF) {
      size_t cut = length | (at < size ? data[at] << 8 : 0);
      if (cut * 64 < bytes.size()) bytes.resize(cut * 64);
      at++;
      continue;
    }
    for (size_t i = 0; i < length && at < size; i++, at++)
      if (offset + i < bytes.size()) bytes[offset + i] = data[at];
  }
  return bytes;
}
