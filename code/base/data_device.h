// Byte streams that objects save themselves to and load themselves from: DATA_DEVICE is the stream,
// DATA_DEVICE_CLIENT the base of every object with a stored form.
#pragma once
#include "types.h"

class DATA_DEVICE {
public:
  INT_U8 failed = 0;      // the last typed transfer moved nothing
  INT_U8 swap_bytes = 0;  // multi-byte values are byte-reversed on the way in and out

  DATA_DEVICE() {}
  virtual ~DATA_DEVICE() {}
  virtual INT_U32 tell() = 0;
  virtual void seek(INT_S32 offset, bool from_end) = 0;
  virtual INT_S32 read(void* buffer, INT_S32 count) = 0;
  virtual INT_S32 write(const void* buffer, INT_S32 count) = 0;

  // Typed accessors: each sets failed from its own transfer (a short one counts as failed) and
  // returns !failed.
  bool read_u8(INT_U8* out);
  bool write_u8(INT_U8 value);
  bool read_s8(INT_S8* out);
  bool write_s8(INT_S8 value);
  bool read_u16(INT_U16* out);
  bool write_u16(INT_U16 value);
  bool read_s16(INT_S16* out);
  bool write_s16(INT_S16 value);
  bool read_u32(INT_U32* out);
  bool write_u32(INT_U32 value);
  bool read_s32(INT_S32* out);
  bool write_s32(INT_S32 value);
  bool read_u64(INT_U64* out);
  bool write_u64(INT_U64 value);
  bool read_float(float* out);
  bool write_float(float value);
  bool read_double(double* out);
  bool write_double(double value);

  // A u32 length and the bytes, cut to size - 1 on reading; the device ends after the whole text.
  bool read_string(char* buffer, INT_S32 size);
  bool write_string(const char* text);

  // Bytes left from the current position to the end; readers of stored lengths check against it
  // before allocating. The default seeks to the end and back; devices that know their size override it.
  virtual INT_U32 bytes_left();
};

class DATA_DEVICE_CLIENT {
public:
  DATA_DEVICE_CLIENT() {}
  virtual ~DATA_DEVICE_CLIENT() {}
  virtual bool get_from_data_device(DATA_DEVICE* device) = 0;
  virtual bool put_to_data_device(DATA_DEVICE* device) = 0;
};

// Reverses the bytes of a value in place (2, 4 or 8 bytes).
void swap_value_bytes(void* value, int size);
