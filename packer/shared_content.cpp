// The packer's sharing of identical content: a file with the bytes of a file packed before takes that
// file's entry, so that what two installations (or two folders of one) hold alike is stored once.
#include <cstring>
#include <zlib.h>

#include "packer_private.h"

namespace package_builder {

namespace {

const size_t READ_SIZE = 1 << 16;
// The bytes taken from each end of a file for its sample.
const std::uintmax_t SAMPLE_PIECE = 4096;

// Whether the host file has the size and modification time given.
bool unchanged(const fs::path& host, std::uintmax_t size, fs::file_time_type time) {
  std::error_code code, time_code;
  return fs::file_size(host, code) == size && fs::last_write_time(host, time_code) == time && !code && !time_code;
}

}  // namespace

// The host file opened for reading through the library, which takes every name the host can hold.
FILE* CONTENT_INDEX::open(const fs::path& host) {
  fs::path folder = host.parent_path();
  if (folder != opened_folder_path) {
    opened_folder_path.clear();
    if (!host_folder(&opened_folder, folder.u8string())) return nullptr;
    opened_folder_path = folder;
  }
  FILE* file = open_file(&opened_folder, system_name(host.filename().u8string()).c_str(), "rb");
  // Read in large pieces, through no buffer of the stream's own.
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

// Reads up to count bytes of the stream into the checksum; false when it gives fewer.
static bool add_to_sum(FILE* file, std::vector<unsigned char>& bytes, std::uintmax_t count, unsigned long* sum) {
  while (count > 0) {
    size_t got = std::fread(bytes.data(), 1, count < READ_SIZE ? (size_t)count : READ_SIZE, file);
    if (got == 0) return false;
    *sum = crc32(*sum, bytes.data(), (uInt)got);
    count -= got;
  }
  return true;
}

void CONTENT_INDEX::take_sum(const fs::path& host, std::uintmax_t size, bool sample, SUM* sum) {
  if (sum->taken) return;
  sum->taken = true;
  FILE* file = open(host);
  if (!file) return;
  first_bytes.resize(READ_SIZE);
  sum->value = crc32(0L, Z_NULL, 0);
  // A sample is the first and the last piece; a file of up to two pieces is its own sample.
  bool whole = !sample || size <= 2 * SAMPLE_PIECE;
  sum->read = add_to_sum(file, first_bytes, whole ? size : SAMPLE_PIECE, &sum->value) &&
              (whole || (std::fseek(file, -(long)SAMPLE_PIECE, SEEK_END) == 0 &&
                         add_to_sum(file, first_bytes, SAMPLE_PIECE, &sum->value)));
  close_file(file);
}

// Whether the two host files hold the same size bytes.
bool CONTENT_INDEX::same_bytes(const fs::path& first, const fs::path& second, std::uintmax_t size) {
  FILE* a = open(first);
  FILE* b = a ? open(second) : nullptr;
  bool same = b != nullptr;
  first_bytes.resize(READ_SIZE);
  second_bytes.resize(READ_SIZE);
  for (std::uintmax_t left = size; same && left > 0;) {
    size_t count = left < READ_SIZE ? (size_t)left : READ_SIZE;
    same = std::fread(first_bytes.data(), 1, count, a) == count && std::fread(second_bytes.data(), 1, count, b) == count &&
           std::memcmp(first_bytes.data(), second_bytes.data(), count) == 0;
    left -= count;
  }
  if (a) close_file(a);
  if (b) close_file(b);
  return same;
}

bool CONTENT_INDEX::find(const fs::path& host, std::uintmax_t size, fs::file_time_type time, std::string* entry,
                         FILE_DIGEST* digest) {
  last_host = nullptr;
  auto sized = by_size.find(size);
  if (sized == by_size.end()) return false;
  // Empty files have nothing to compare.
  if (size == 0) {
    *entry = stored[sized->second.front()].entry;
    if (digest) *digest = stored[sized->second.front()].digest;
    return true;
  }
  last_host = &host;
  last_sample = SUM();
  last_whole = SUM();
  take_sum(host, size, true, &last_sample);
  if (!last_sample.read) return false;
  // A sample that is the whole file is its whole sum too.
  bool sample_is_whole = size <= 2 * SAMPLE_PIECE;
  if (sample_is_whole) last_whole = last_sample;
  for (size_t index : sized->second) {
    STORED& earlier = stored[index];
    // The files of this size packed before are sampled when another of their size comes (one that has
    // changed since is found out when its bytes match).
    take_sum(*earlier.host, size, true, &earlier.sample);
    if (!earlier.sample.read || earlier.sample.value != last_sample.value) continue;
    if (sample_is_whole) earlier.whole = earlier.sample;
    take_sum(host, size, false, &last_whole);
    if (!last_whole.read) return false;
    take_sum(*earlier.host, size, false, &earlier.whole);
    if (!earlier.whole.read || earlier.whole.value != last_whole.value || !same_bytes(host, *earlier.host, size)) continue;
    // Both still as they were: what was compared is what the entry holds and what this file holds.
    if (!unchanged(host, size, time)) return false;
    if (!unchanged(*earlier.host, earlier.size, earlier.time)) continue;
    *entry = earlier.entry;
    if (digest) *digest = earlier.digest;
    return true;
  }
  return false;
}

void CONTENT_INDEX::add(const fs::path& host, std::uintmax_t size, fs::file_time_type time, const std::string& entry,
                        const FILE_DIGEST& digest) {
  by_size[size].push_back(stored.size());
  stored.push_back({&host, size, time, entry, digest, SUM(), SUM()});
  if (&host == last_host) {
    stored.back().sample = last_sample;
    stored.back().whole = last_whole;
  }
  last_host = nullptr;
}

}  // namespace package_builder
