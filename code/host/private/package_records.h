// What the package's modules share of its records: the block's overhead, names compared as stored, and
// u32 values read as the file orders them.
#pragma once
#include <cstring>

#include "data_device.h"

namespace package_records {

const INT_U32 BLOCK_OVERHEAD = 8;

inline bool names_equal(const char* stored, const char* wanted) {
  return std::strcmp(stored ? stored : "", wanted ? wanted : "") == 0;
}

// A u32 of the file's bytes, swapped as the file says.
inline INT_U32 stored_u32(const INT_U8* bytes, bool swap) {
  INT_U32 value;
  std::memcpy(&value, bytes, sizeof value);
  if (swap) swap_value_bytes(&value, sizeof value);
  return value;
}

}  // namespace package_records
