// The packer's sharing of identical content: a file with the bytes of a file packed before takes that
// file's entry, so that what two installations (or two folders of one) hold alike is stored once.
#include <cstring>
#include <zlib.h>

#include "packer_private.h"

namespace package_builder {

namespace {

const size_t READ_SIZE = 1 << 16;

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

// The CRC-32 of the host file's size bytes; false when it cannot be read whole.
bool CONTENT_INDEX::checksum(const fs::path& host, std::uintmax_t size, unsigned long* sum) {
  FILE* file = open(host);
  if (!file) return false;
  first_bytes.resize(READ_SIZE);
  *sum = crc32(0L, Z_NULL, 0);
  std::uintmax_t left = size;
  while (left > 0) {
    size_t count = std::fread(first_bytes.data(), 1, left < READ_SIZE ? (size_t)left : READ_SIZE, file);
    if (count == 0) break;
    *sum = crc32(*sum, first_bytes.data(), (uInt)count);
    left -= count;
  }
  close_file(file);
  return left == 0;
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

bool CONTENT_INDEX::find(const fs::path& host, std::uintmax_t size, fs::file_time_type time, std::string* entry) {
  last_host = nullptr;
  auto waiting = unsummed.find(size);
  auto any_summed = summed.lower_bound({size, 0});
  bool sized = any_summed != summed.end() && any_summed->first.first == size;
  if (waiting == unsummed.end() && !sized) return false;
  // Empty files have nothing to compare (and are never summed).
  if (size == 0) {
    *entry = stored[waiting->second.front()].entry;
    return true;
  }
  unsigned long sum = 0;
  if (!checksum(host, size, &sum)) return false;
  last_host = &host;
  last_sum = sum;
  // The files of this size packed before are summed now (one that has changed since is found out
  // when its bytes match).
  if (waiting != unsummed.end()) {
    for (size_t index : waiting->second) {
      unsigned long earlier_sum = 0;
      if (checksum(*stored[index].host, size, &earlier_sum)) summed.insert({{size, earlier_sum}, index});
    }
    unsummed.erase(waiting);
  }
  auto alike = summed.equal_range({size, sum});
  for (auto candidate = alike.first; candidate != alike.second; ++candidate) {
    const STORED& earlier = stored[candidate->second];
    if (!same_bytes(host, *earlier.host, size)) continue;
    // Both still as they were: what was compared is what the entry holds and what this file holds.
    if (!unchanged(host, size, time)) return false;
    if (!unchanged(*earlier.host, earlier.size, earlier.time)) continue;
    *entry = earlier.entry;
    return true;
  }
  return false;
}

void CONTENT_INDEX::add(const fs::path& host, std::uintmax_t size, fs::file_time_type time, const std::string& entry) {
  size_t index = stored.size();
  stored.push_back({&host, size, time, entry});
  if (size > 0 && &host == last_host) summed.insert({{size, last_sum}, index});
  else unsummed[size].push_back(index);
  last_host = nullptr;
}

}  // namespace package_builder
