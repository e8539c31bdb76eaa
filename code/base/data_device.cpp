// Typed accessors of DATA_DEVICE: fixed-width values in the writer's byte order, reversed when the
// device swaps, and length-prefixed strings.
#include "data_device.h"

#include <cstring>

void swap_value_bytes(void* value, int size) {
  INT_U8* bytes = static_cast<INT_U8*>(value);
  for (int low = 0, high = size - 1; low < high; ++low, --high) {
    INT_U8 held = bytes[low];
    bytes[low] = bytes[high];
    bytes[high] = held;
  }
}

namespace {

// A value cut off by the end of the data fails like a missing one: its bytes would be partly invented.
template <typename T>
bool read_value(DATA_DEVICE* device, T* out) {
  T value = 0;
  device->failed = device->read(&value, sizeof(T)) != static_cast<INT_S32>(sizeof(T));
  if (device->swap_bytes && sizeof(T) > 1) swap_value_bytes(&value, sizeof(T));
  *out = value;
  return !device->failed;
}

template <typename T>
bool write_value(DATA_DEVICE* device, T value) {
  if (device->swap_bytes && sizeof(T) > 1) swap_value_bytes(&value, sizeof(T));
  device->failed = device->write(&value, sizeof(T)) != static_cast<INT_S32>(sizeof(T));
  return !device->failed;
}

}  // namespace

bool DATA_DEVICE::read_u8(INT_U8* out) { return read_value(this, out); }
bool DATA_DEVICE::write_u8(INT_U8 value) { return write_value(this, value); }
bool DATA_DEVICE::read_s8(INT_S8* out) { return read_value(this, out); }
bool DATA_DEVICE::write_s8(INT_S8 value) { return write_value(this, value); }
bool DATA_DEVICE::read_u16(INT_U16* out) { return read_value(this, out); }
bool DATA_DEVICE::write_u16(INT_U16 value) { return write_value(this, value); }
bool DATA_DEVICE::read_s16(INT_S16* out) { return read_value(this, out); }
bool DATA_DEVICE::write_s16(INT_S16 value) { return write_value(this, value); }
bool DATA_DEVICE::read_u32(INT_U32* out) { return read_value(this, out); }
bool DATA_DEVICE::write_u32(INT_U32 value) { return write_value(this, value); }
bool DATA_DEVICE::read_s32(INT_S32* out) { return read_value(this, out); }
bool DATA_DEVICE::write_s32(INT_S32 value) { return write_value(this, value); }
bool DATA_DEVICE::read_u64(INT_U64* out) { return read_value(this, out); }
bool DATA_DEVICE::write_u64(INT_U64 value) { return write_value(this, value); }

bool DATA_DEVICE::read_float(float* out) {
  INT_U32 bits = 0;
  if (!read_u32(&bits)) return false;
  std::memcpy(out, &bits, sizeof bits);
  return true;
}

bool DATA_DEVICE::write_float(float value) {
  INT_U32 bits;
  std::memcpy(&bits, &value, sizeof bits);
  return write_u32(bits);
}

bool DATA_DEVICE::read_double(double* out) {
  INT_U64 bits = 0;
  if (!read_u64(&bits)) return false;
  std::memcpy(out, &bits, sizeof bits);
  return true;
}

bool DATA_DEVICE::write_double(double value) {
  INT_U64 bits;
  std::memcpy(&bits, &value, sizeof bits);
  return write_u64(bits);
}

bool DATA_DEVICE::read_string(char* buffer, INT_S32 size) {
  INT_U32 length = 0;
  if (!read_u32(&length)) return false;
  if (size < 1) size = 1;
  // A length with its high bit set cannot be a real text: fail without touching the buffer.
  if (static_cast<INT_S32>(length) < 0) {
    failed = 1;
    buffer[0] = 0;
    return false;
  }
  if (length == 0) {
    buffer[0] = 0;
    return true;
  }
  INT_S32 taken = static_cast<INT_S32>(length) > size - 1 ? size - 1 : static_cast<INT_S32>(length);
  if (taken > 0) {
    INT_S32 got = read(buffer, taken);
    failed = got == 0;
    buffer[got > 0 ? got : 0] = 0;
    if (got != taken) {
      failed = 1;
      return false;
    }
  } else {
    buffer[0] = 0;
  }
  // Skip the rest of an over-long text so that the device ends after it; stop at the end of the data.
  for (INT_U32 rest = length - static_cast<INT_U32>(taken); rest > 0; --rest) {
    INT_U8 skipped;
    failed = read(&skipped, 1) == 0;
    if (failed) return false;
  }
  return !failed;
}

bool DATA_DEVICE::write_string(const char* text) {
  INT_U32 length = text ? static_cast<INT_U32>(std::strlen(text)) : 0;
  if (!write_u32(length)) return false;
  if (length == 0) return true;
  // A text written only in part is not stored.
  failed = write(text, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length);
  return !failed;
}

INT_U32 DATA_DEVICE::bytes_left() {
  INT_U32 here = tell();
  seek(0, true);
  INT_U32 end = tell();
  seek(static_cast<INT_S32>(here), false);
  return end > here ? end - here : 0;
}
