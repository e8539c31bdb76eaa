// Typed parameters: every operation switches on the runtime type code; numbers are clamped into
// [minimum, maximum] in the type's own width and signedness after every change.
#include "parameter.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"

namespace {

char* copy_text(const char* text) {
  if (!text) text = "";
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) std::memcpy(copy, text, length + 1);
  return copy;
}

// A fresh 50-byte text for a number written into a text slot; null when it cannot be allocated.
char* number_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* number_text(const char* format, ...) {
  char* text = static_cast<char*>(std::malloc(50));
  if (!text) return nullptr;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, 50, format, arguments);
  va_end(arguments);
  return text;
}

// Truncation toward zero with the out-of-range and NaN cases made definite (saturated, NaN = 0).
INT_S64 truncate_double(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 9223372036854775807.0) return INT64_MAX;
  if (number <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<INT_S64>(number);
}

template <typename T>
void clamp_number(T* value, T minimum, T maximum) {
  if (*value < minimum) *value = minimum;
  if (*value > maximum) *value = maximum;
}

// Stores an integer's low bytes in the slot's form (types 0-5 and 9) or the number itself (6, 7).
void store_integer(INT_U32 type, PARAMETER_SLOT* slot, INT_S64 number) {
  switch (type) {
    case INT_S8_TYPE: slot->s8 = static_cast<INT_S8>(number); break;
    case INT_U8_TYPE: slot->u8 = static_cast<INT_U8>(number); break;
    case INT_S16_TYPE: slot->s16 = static_cast<INT_S16>(number); break;
    case INT_U16_TYPE: slot->u16 = static_cast<INT_U16>(number); break;
    case INT_S32_TYPE: slot->s32 = static_cast<INT_S32>(number); break;
    case INT_U32_TYPE: slot->u32 = static_cast<INT_U32>(number); break;
    case FLOAT_TYPE: slot->f32 = static_cast<float>(number); break;
    case DOUBLE_TYPE: slot->f64 = static_cast<double>(number); break;
    case POINTER_TYPE: slot->pointer = static_cast<intptr_t>(number); break;
    default: break;
  }
}

// Reads an integer slot widened with its own signedness; float slots truncated.
INT_S64 load_integer(INT_U32 type, const PARAMETER_SLOT* slot) {
  switch (type) {
    case INT_S8_TYPE: return slot->s8;
    case INT_U8_TYPE: return slot->u8;
    case INT_S16_TYPE: return slot->s16;
    case INT_U16_TYPE: return slot->u16;
    case INT_S32_TYPE: return slot->s32;
    case INT_U32_TYPE: return slot->u32;
    case FLOAT_TYPE: return truncate_double(slot->f32);
    case DOUBLE_TYPE: return truncate_double(slot->f64);
    case POINTER_TYPE: return static_cast<INT_S64>(slot->pointer);
    default: return 0;
  }
}

bool read_text_slot(DATA_DEVICE* device, PARAMETER_SLOT* slot) {
  INT_U32 length = 0;
  if (device->bytes_left() < 4) {
    device->failed = 1;
    return false;
  }
  if (!device->read_u32(&length)) return false;
  // A damaged length must not allocate more than the device still holds.
  if (length > device->bytes_left()) {
    device->failed = 1;
    set_error(DATA_ERROR_READ, "stored parameter");
    return false;
  }
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (!text) {
    device->failed = 1;
    return false;
  }
  if (length > 0) {
    INT_S32 got = device->read(text, static_cast<INT_S32>(length));
    device->failed = got != static_cast<INT_S32>(length);
    if (device->failed) {
      std::free(text);
      return false;
    }
  }
  text[length] = 0;
  slot->text = text;
  return true;
}

bool write_text_slot(DATA_DEVICE* device, const PARAMETER_SLOT* slot) {
  INT_U32 length = slot->text ? static_cast<INT_U32>(std::strlen(slot->text)) : 0;
  if (!device->write_u32(length)) return false;
  if (length == 0) return true;
  INT_S32 put = device->write(slot->text, static_cast<INT_S32>(length));
  device->failed = put != static_cast<INT_S32>(length);
  return !device->failed;
}

// Widths of the fixed-size stored forms (0 for the text type).
INT_U32 stored_width(INT_U32 type) {
  static const INT_U32 widths[] = {1, 1, 2, 2, 4, 4, 4, 8, 0, 8};
  return type <= POINTER_TYPE ? widths[type] : 0;
}

bool read_slot(DATA_DEVICE* device, INT_U32 type, PARAMETER_SLOT* slot) {
  // A value cut off by the end of the data is a damaged record, not a shorter number.
  if (stored_width(type) > device->bytes_left()) {
    device->failed = 1;
    return false;
  }
  switch (type) {
    case INT_S8_TYPE:
    case INT_U8_TYPE: return device->read_u8(&slot->u8);
    case INT_S16_TYPE:
    case INT_U16_TYPE: return device->read_u16(&slot->u16);
    case INT_S32_TYPE:
    case INT_U32_TYPE: return device->read_u32(&slot->u32);
    case FLOAT_TYPE: return device->read_float(&slot->f32);
    case DOUBLE_TYPE: return device->read_double(&slot->f64);
    case STRING_TYPE: return read_text_slot(device, slot);
    case POINTER_TYPE: {
      INT_U64 stored = 0;
      if (!device->read_u64(&stored)) return false;
      slot->pointer = static_cast<intptr_t>(static_cast<INT_S64>(stored));
      return true;
    }
    default: return false;
  }
}

bool write_slot(DATA_DEVICE* device, INT_U32 type, const PARAMETER_SLOT* slot) {
  switch (type) {
    case INT_S8_TYPE:
    case INT_U8_TYPE: return device->write_u8(slot->u8);
    case INT_S16_TYPE:
    case INT_U16_TYPE: return device->write_u16(slot->u16);
    case INT_S32_TYPE:
    case INT_U32_TYPE: return device->write_u32(slot->u32);
    case FLOAT_TYPE: return device->write_float(slot->f32);
    case DOUBLE_TYPE: return device->write_double(slot->f64);
    case STRING_TYPE: return write_text_slot(device, slot);
    case POINTER_TYPE: return device->write_u64(static_cast<INT_U64>(static_cast<INT_S64>(slot->pointer)));
    default: return false;
  }
}

}  // namespace

PARAMETER::PARAMETER() : type(INT_S32_TYPE) {
  std::memset(&value, 0, sizeof value);
  std::memset(&minimum, 0, sizeof minimum);
  std::memset(&maximum, 0, sizeof maximum);
}

PARAMETER::PARAMETER(const char* text) : PARAMETER() {
  type = STRING_TYPE;
  value.text = copy_text(text);
  minimum.text = nullptr;
  maximum.text = nullptr;
}

PARAMETER::~PARAMETER() {
  // The parameter owns all three texts of a text parameter.
  if (type == STRING_TYPE) {
    std::free(value.text);
    std::free(minimum.text);
    std::free(maximum.text);
  }
}

void PARAMETER::clamp() {
  switch (type) {
    case INT_S8_TYPE: clamp_number(&value.s8, minimum.s8, maximum.s8); break;
    case INT_U8_TYPE: clamp_number(&value.u8, minimum.u8, maximum.u8); break;
    case INT_S16_TYPE: clamp_number(&value.s16, minimum.s16, maximum.s16); break;
    case INT_U16_TYPE: clamp_number(&value.u16, minimum.u16, maximum.u16); break;
    case INT_S32_TYPE: clamp_number(&value.s32, minimum.s32, maximum.s32); break;
    case INT_U32_TYPE: clamp_number(&value.u32, minimum.u32, maximum.u32); break;
    case FLOAT_TYPE: clamp_number(&value.f32, minimum.f32, maximum.f32); break;
    case DOUBLE_TYPE: clamp_number(&value.f64, minimum.f64, maximum.f64); break;
    default: break;
  }
}

void PARAMETER::set_int(PARAMETER_SLOT* slot, INT_S32 number) {
  if (!slot) return;
  if (type == STRING_TYPE) {
    std::free(slot->text);
    slot->text = number_text("%d", static_cast<int>(number));
  } else {
    store_integer(type, slot, number);
  }
  clamp();
}

void PARAMETER::set_unsigned(PARAMETER_SLOT* slot, INT_U32 number) {
  if (!slot) return;
  if (type == STRING_TYPE) {
    std::free(slot->text);
    slot->text = number_text("%u", static_cast<unsigned>(number));
  } else {
    store_integer(type, slot, number);
  }
  clamp();
}

void PARAMETER::set_double(PARAMETER_SLOT* slot, double number) {
  if (!slot) return;
  if (type == STRING_TYPE) {
    std::free(slot->text);
    slot->text = number_text("%.2lf", number);
  } else if (type == FLOAT_TYPE) {
    slot->f32 = static_cast<float>(number);
  } else if (type == DOUBLE_TYPE) {
    slot->f64 = number;
  } else if (type == POINTER_TYPE) {
    slot->pointer = static_cast<intptr_t>(static_cast<INT_S32>(truncate_double(number)));
  } else {
    store_integer(type, slot, truncate_double(number));
  }
  clamp();
}

void PARAMETER::set_pointer(PARAMETER_SLOT* slot, intptr_t number) {
  if (!slot) return;
  if (type == STRING_TYPE) {
    std::free(slot->text);
    slot->text = number_text("%p", reinterpret_cast<void*>(number));
  } else {
    store_integer(type, slot, static_cast<INT_S64>(number));
  }
  clamp();
}

INT_S32 PARAMETER::get_int(const PARAMETER_SLOT* slot) const {
  if (!slot) return 0;
  if (type == STRING_TYPE) {
    int number = 0;
    if (!slot->text || std::sscanf(slot->text, "%d", &number) != 1) return 0;
    return number;
  }
  return static_cast<INT_S32>(load_integer(type, slot));
}

INT_U32 PARAMETER::get_unsigned(const PARAMETER_SLOT* slot) const {
  if (!slot) return 0;
  if (type == STRING_TYPE) {
    unsigned number = 0;
    if (!slot->text || std::sscanf(slot->text, "%u", &number) != 1) return 0;
    return number;
  }
  return static_cast<INT_U32>(load_integer(type, slot));
}

double PARAMETER::get_double(const PARAMETER_SLOT* slot) const {
  if (!slot) return 0;
  switch (type) {
    case FLOAT_TYPE: return slot->f32;
    case DOUBLE_TYPE: return slot->f64;
    case STRING_TYPE: {
      double number = 0;
      if (!slot->text || std::sscanf(slot->text, "%lf", &number) != 1) return 0;
      return number;
    }
    default: return static_cast<double>(load_integer(type, slot));
  }
}

intptr_t PARAMETER::get_pointer(const PARAMETER_SLOT* slot) const {
  if (!slot) return 0;
  if (type == STRING_TYPE) {
    void* number = nullptr;
    if (!slot->text || std::sscanf(slot->text, "%p", &number) != 1) return 0;
    return reinterpret_cast<intptr_t>(number);
  }
  if (type == POINTER_TYPE) return slot->pointer;
  return static_cast<intptr_t>(load_integer(type, slot));
}

void PARAMETER::parse(PARAMETER_SLOT* slot, const char* text) {
  if (!slot) return;
  switch (type) {
    case INT_S8_TYPE:
    case INT_S16_TYPE: {
      short number = 0;
      if (text && std::sscanf(text, "%hd", &number) == 1) store_integer(type, slot, number);
      break;
    }
    case INT_U8_TYPE:
    case INT_U16_TYPE: {
      unsigned short number = 0;
      if (text && std::sscanf(text, "%hu", &number) == 1) store_integer(type, slot, number);
      break;
    }
    case INT_S32_TYPE: {
      int number = 0;
      if (text && std::sscanf(text, "%d", &number) == 1) slot->s32 = number;
      break;
    }
    case INT_U32_TYPE: {
      unsigned number = 0;
      if (text && std::sscanf(text, "%u", &number) == 1) slot->u32 = number;
      break;
    }
    case FLOAT_TYPE: {
      float number = 0;
      if (text && std::sscanf(text, "%f", &number) == 1) slot->f32 = number;
      break;
    }
    case DOUBLE_TYPE: {
      double number = 0;
      if (text && std::sscanf(text, "%lf", &number) == 1) slot->f64 = number;
      break;
    }
    case STRING_TYPE: {
      char* copy = copy_text(text);
      std::free(slot->text);
      slot->text = copy;
      break;
    }
    case POINTER_TYPE: slot->pointer = reinterpret_cast<intptr_t>(text); break;
    default: break;
  }
  clamp();
}

void PARAMETER::set_type(INT_U32 new_type) {
  if (type == STRING_TYPE) {
    std::free(value.text);
    std::free(minimum.text);
    std::free(maximum.text);
    std::memset(&value, 0, sizeof value);
    std::memset(&minimum, 0, sizeof minimum);
    std::memset(&maximum, 0, sizeof maximum);
  }
  type = new_type;
  if (type == STRING_TYPE) {
    minimum.text = copy_text("");
    maximum.text = copy_text("");
    value.text = copy_text("");
  } else if (type <= POINTER_TYPE) {
    std::memset(&minimum, 0, sizeof minimum);
    std::memset(&maximum, 0, sizeof maximum);
    std::memset(&value, 0, sizeof value);
    set_int(&minimum, 0);
    set_int(&maximum, 0);
    set_int(&value, 0);
  }
}

INT_U32 PARAMETER::get_string_length() const {
  if (type != STRING_TYPE || !value.text) return 0;
  return static_cast<INT_U32>(std::strlen(value.text));
}

bool PARAMETER::put_to_data_device(DATA_DEVICE* device) {
  // A type without a stored form would write a record that no reader accepts.
  if (!device || type > POINTER_TYPE) return false;
  if (!device->write_u8(static_cast<INT_U8>(type))) return false;
  return write_slot(device, type, &value) && write_slot(device, type, &minimum) &&
         write_slot(device, type, &maximum);
}

bool PARAMETER::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  if (type == STRING_TYPE) {
    std::free(value.text);
    std::free(minimum.text);
    std::free(maximum.text);
    value.text = minimum.text = maximum.text = nullptr;
  }
  INT_U8 stored_type = 0;
  if (!device->read_u8(&stored_type)) return false;
  if (stored_type > POINTER_TYPE) {
    device->failed = 1;
    return false;
  }
  type = stored_type;
  // Slots not reached by a failed read must hold nothing that looks like an owned text.
  std::memset(&value, 0, sizeof value);
  std::memset(&minimum, 0, sizeof minimum);
  std::memset(&maximum, 0, sizeof maximum);
  if (!read_slot(device, type, &value) || !read_slot(device, type, &minimum) ||
      !read_slot(device, type, &maximum))
    return false;
  clamp();
  return true;
}

void format_typed_value(const PARAMETER* parameter, const void* slot_pointer, char* out, INT_S32 size) {
  if (!parameter || !slot_pointer || !out || size < 1) return;
  const PARAMETER_SLOT* slot = static_cast<const PARAMETER_SLOT*>(slot_pointer);
  size_t room = static_cast<size_t>(size);
  switch (parameter->type) {
    case INT_S8_TYPE: std::snprintf(out, room, "%hd", static_cast<short>(slot->s8)); break;
    case INT_S16_TYPE: std::snprintf(out, room, "%hd", static_cast<short>(slot->s16)); break;
    case INT_U8_TYPE: std::snprintf(out, room, "%hu", static_cast<unsigned short>(slot->u8)); break;
    case INT_U16_TYPE: std::snprintf(out, room, "%hu", static_cast<unsigned short>(slot->u16)); break;
    case INT_S32_TYPE: std::snprintf(out, room, "%d", static_cast<int>(slot->s32)); break;
    case INT_U32_TYPE: std::snprintf(out, room, "%u", static_cast<unsigned>(slot->u32)); break;
    case FLOAT_TYPE: std::snprintf(out, room, "%.2f", static_cast<double>(slot->f32)); break;
    case DOUBLE_TYPE: std::snprintf(out, room, "%.2lf", slot->f64); break;
    case STRING_TYPE: {
      const char* text = slot->text ? slot->text : "";
      size_t length = std::strlen(text);
      if (length > room - 1) length = room - 1;
      std::memcpy(out, text, length);
      out[length] = 0;
      out[room - 1] = 0;
      break;
    }
    case POINTER_TYPE: std::snprintf(out, room, "%p", reinterpret_cast<void*>(slot->pointer)); break;
    default: break;
  }
}
