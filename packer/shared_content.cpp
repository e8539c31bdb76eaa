// The packer's sharing of identical content: a file with the bytes of a file packed before takes that
// file's entry, so that what two installations (or two folders of one) hold alike is stored once.
#include <cstring>
#include <zlib.h>

#include "packer_private.h"

namespace package_builder {

namespace {

const size_t READ_SIZE = 1 << 16;

// The host file opened for reading through the library, which takes every name the host can hold.
FILE* open_host_file(const fs::path& host) {
  FOLDER folder;
  if (!host_folder(&folder, host.parent_path().u8string())) return nullptr;
  return open_file(&folder, system_name(host.filename().u8string()).c_str(), "rb");
}

// The CRC-32 of the host file's bytes; false when it cannot be read.
bool checksum(const fs::path& host, unsigned long* sum) {
  FILE* file = open_host_file(host);
  if (!file) return false;
  std::vector<unsigned char> bytes(READ_SIZE);
  *sum = crc32(0L, Z_NULL, 0);
  size_t count;
  while ((count = std::fread(bytes.data(), 1, bytes.size(), file)) > 0) *sum = crc32(*sum, bytes.data(), (uInt)count);
  bool read = !std::ferror(file);
  close_file(file);
  return read;
}

// Whether the two host files hold the same bytes (both of one size).
bool same_bytes(const fs::path& first, const fs::path& second) {
  FILE* a = open_host_file(first);
  FILE* b = a ? open_host_file(second) : nullptr;
  bool same = b != nullptr;
  std::vector<unsigned char> x(READ_SIZE), y(READ_SIZE);
  while (same) {
    size_t count = std::fread(x.data(), 1, x.size(), a);
    same = std::fread(y.data(), 1, y.size(), b) == count && std::memcmp(x.data(), y.data(), count) == 0;
    if (count < x.size()) break;
  }
  same = same && !std::ferror(a) && !std::ferror(b);
  if (a) close_file(a);
  if (b) close_file(b);
  return same;
}

// Whether the host file has the size and modification time given.
bool unchanged(const fs::path& host, std::uintmax_t size, fs::file_time_type time) {
  std::error_code code, time_code;
  return fs::file_size(host, code) == size && fs::last_write_time(host, time_code) == time && !code && !time_code;
}

}  // namespace

bool CONTENT_INDEX::find(const fs::path& host, std::string* entry) {
  last_host.clear();
  std::error_code code, time_code;
  std::uintmax_t size = fs::file_size(host, code);
  fs::file_time_type time = fs::last_write_time(host, time_code);
  if (code || time_code) return false;
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
  if (!checksum(host, &sum)) return false;
  last_host = host;
  last_sum = sum;
  // The files of this size packed before are summed now, those that have not changed since.
  if (waiting != unsummed.end()) {
    for (size_t index : waiting->second) {
      const STORED& earlier = stored[index];
      unsigned long earlier_sum = 0;
      if (unchanged(earlier.host, earlier.size, earlier.time) && checksum(earlier.host, &earlier_sum))
        summed.insert({{size, earlier_sum}, index});
    }
    unsummed.erase(waiting);
  }
  auto alike = summed.equal_range({size, sum});
  for (auto candidate = alike.first; candidate != alike.second; ++candidate) {
    const STORED& earlier = stored[candidate->second];
    if (!same_bytes(host, earlier.host)) continue;
    // Both still as they were: what was compared is what the entry holds and what this file holds.
    if (!unchanged(host, size, time)) return false;
    if (!unchanged(earlier.host, earlier.size, earlier.time)) continue;
    *entry = earlier.entry;
    return true;
  }
  return false;
}

void CONTENT_INDEX::add(const fs::path& host, std::uintmax_t size, fs::file_time_type time, const std::string& entry) {
  size_t index = stored.size();
  stored.push_back({host, size, time, entry});
  if (size > 0 && host == last_host) summed.insert({{size, last_sum}, index});
  else unsummed[size].push_back(index);
  last_host.clear();
}

}  // namespace package_builder
