// Fuzz target of pictures loaded by name and kept in an image cache: the bytes become a file without
// extension, so every reader is tried in turn; what loads is scaled to sizes taken from the input
// (nearest and smooth, keep-aspect and maxima), shared, resized, copied on write, changed, and the
// cache is written to its stream and read back.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data_device.h"
#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_cache.h"
#include "scale.h"

namespace {

// The process's own scratch folder, made once and removed at exit.
FOLDER* work_folder() {
  static FOLDER* folder = nullptr;
  if (!folder) {
    static char pattern[] = "/tmp/velk-image-cache-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    folder = new FOLDER;
    if (!folder->set_if_folder(pattern)) abort();
    // Small file buffers: every reader tried opens the file again.
    default_file_cache_size = 0x1000;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(work_folder()->path, ignored);
    });
  }
  return folder;
}

// A device over a growing byte vector (the cache stream's round trip).
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
    INT_U32 taken = std::min<INT_U32>((INT_U32)count, (INT_U32)bytes.size() - position);
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

// A requested side from one byte: -1 (natural) or 1 .. 191, kept small so scaling stays quick.
INT_S16 side(INT_U8 byte) { return byte == 0 || byte >= 192 ? (INT_S16)-1 : (INT_S16)byte; }

void touch(const IMAGE* image) {
  if (image && image->pixels && image->width > 0 && image->height > 0) {
    volatile INT_U32 corner = *image->pixel_at(image->width - 1, image->height - 1);
    (void)corner;
  }
}

}  // namespace

// Pictures up to the readers' pixel cap are allocated and freed again and again; a smaller quarantine
// keeps the sanitizer's memory within the fuzz run's limit.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  if (size < 6) return 0;
  FOLDER* folder = work_folder();
  // Six bytes of settings, then the picture file.
  const INT_S16 width = side(data[0]), height = side(data[1]);
  const INT_S16 other_width = side(data[2]), other_height = side(data[3]);
  const INT_U8 switches = data[4];
  const INT_U8 flags = data[5] & (CACHE_DROP_ON_FAILURE | CACHE_NATURAL_SIZE);
  std::string path = std::string(folder->path) + "/picture";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) abort();
  std::fwrite(data + 6, 1, size - 6, out);
  std::fclose(out);

  smooth_scaling_off = (switches & 1) ? 1 : 0;
  {
    IMAGE image;
    image.keep_aspect = (switches & 2) ? 1 : 0;
    if (switches & 4) {
      image.maximum_width = (INT_S16)(switches & 0x38);
      image.maximum_height = (INT_S16)((switches & 0xC0) >> 2);
    }
    if (image.load(folder, "picture", width, height)) {
      touch(&image);
      image.scale((INT_U16)other_width, (INT_U16)other_height, (switches & 8) != 0);
      touch(&image);
    }
  }

  IMAGE_CACHE cache;
  cache.free_at_zero = (switches & 0x10) ? 1 : 0;
  IMAGE* first = cache.get_in_folder(folder, "picture", width, height, flags);
  IMAGE* second = cache.get_in_folder(folder, "picture", other_width, other_height, flags);
  touch(first);
  touch(second);
  if (first) {
    cache.resize(&first, other_width, height);
    touch(first);
    IMAGE* shared = cache.add_reference(first);
    COLOUR tint = 0x80FF8000;
    cache.tint(&shared, &tint);
    touch(shared);
    if (shared) cache.release(cache.find_entry(shared));
  }
  VECTOR_DEVICE stream;
  if (cache.put_to_data_device(&stream)) {
    stream.seek(0, false);
    IMAGE_CACHE copy;
    copy.get_from_data_device(&stream);
  }
  if (first) cache.release(cache.find_entry(first));
  if (second) cache.release(cache.find_entry(second));
  cache.flush();
  smooth_scaling_off = 0;
  return 0;
}
