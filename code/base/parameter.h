// Typed parameters: a value of a runtime-chosen type with a minimum and a maximum, kept in range on
// every change; widgets bind their adjustable values to them, and they save to data devices.
#pragma once
#include <cstdint>

#include "data_device.h"
#include "types.h"

// PARAMETER_TYPE codes.
enum PARAMETER_TYPE : INT_U32 {
  INT_S8_TYPE = 0,
  INT_U8_TYPE = 1,
  INT_S16_TYPE = 2,
  INT_U16_TYPE = 3,
  INT_S32_TYPE = 4,
  INT_U32_TYPE = 5,
  FLOAT_TYPE = 6,
  DOUBLE_TYPE = 7,
  STRING_TYPE = 8,   // heap text owned by the parameter; a u32 length and the bytes when stored
  POINTER_TYPE = 9   // pointer-sized integer; stored as 8 bytes
};

// One 8-byte slot (value, minimum or maximum) holding the type's form at its start.
union PARAMETER_SLOT {
  INT_S8 s8;
  INT_U8 u8;
  INT_S16 s16;
  INT_U16 u16;
  INT_S32 s32;
  INT_U32 u32;
  float f32;
  double f64;
  char* text;
  intptr_t pointer;
  INT_U8 bytes[8];
};

class PARAMETER : public DATA_DEVICE_CLIENT {
public:
  INT_U32 type;
  PARAMETER_SLOT value;
  PARAMETER_SLOT minimum;
  PARAMETER_SLOT maximum;

  // A signed 32-bit parameter with value, minimum and maximum 0 (users fill it in directly).
  PARAMETER();
  // A text parameter holding a copy of text ("" when null); minimum and maximum null.
  explicit PARAMETER(const char* text);
  ~PARAMETER() override;
  PARAMETER(const PARAMETER&) = delete;
  PARAMETER& operator=(const PARAMETER&) = delete;

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  // Setters store the number in slot in the type's form, then keep the value in range.
  void set_int(PARAMETER_SLOT* slot, INT_S32 number);
  void set_unsigned(PARAMETER_SLOT* slot, INT_U32 number);
  void set_double(PARAMETER_SLOT* slot, double number);
  void set_pointer(PARAMETER_SLOT* slot, intptr_t number);

  // Getters read slot converted (texts are parsed; 0 when they do not parse).
  INT_S32 get_int(const PARAMETER_SLOT* slot) const;
  INT_U32 get_unsigned(const PARAMETER_SLOT* slot) const;
  double get_double(const PARAMETER_SLOT* slot) const;
  intptr_t get_pointer(const PARAMETER_SLOT* slot) const;

  // Sets slot from text in the type's form (unchanged when it does not parse), then the range rule.
  void parse(PARAMETER_SLOT* slot, const char* text);
  // Changes the type; value, minimum and maximum become 0 (or "" for the text type).
  void set_type(INT_U32 new_type);
  // The range rule: below the minimum gives the minimum, then above the maximum gives the maximum.
  void clamp();
  // Length of the value's text; 0 when the type is not text or the text is null.
  INT_U32 get_string_length() const;
};

// Writes slot (of parameter's type) as text into out, at most size - 1 characters.
void format_typed_value(const PARAMETER* parameter, const void* slot, char* out, INT_S32 size);
