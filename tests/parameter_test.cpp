// Tests of typed parameters: the range rule per type, conversions, text slots and the stored form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "errors.h"
#include "parameter.h"
#include "test_support.h"

namespace {

void make_number(PARAMETER* parameter, INT_U32 type, INT_S32 minimum, INT_S32 maximum) {
  parameter->set_type(type);
  parameter->set_int(&parameter->minimum, minimum);
  parameter->set_int(&parameter->maximum, maximum);
}

std::string formatted(const PARAMETER& parameter, const PARAMETER_SLOT* slot) {
  char text[64] = "untouched";
  format_typed_value(&parameter, slot, text, sizeof text);
  return text;
}

}  // namespace

TEST(Parameter, IntegerTypesTakeTheLowBytesThenClamp) {
  PARAMETER small;
  make_number(&small, INT_S8_TYPE, -10, 10);
  small.set_int(&small.value, 300);  // low byte 44
  EXPECT_EQ(small.value.s8, 10);
  small.set_int(&small.value, -200);  // low byte 56
  EXPECT_EQ(small.value.s8, 10);
  small.set_int(&small.value, -7);
  EXPECT_EQ(small.get_int(&small.value), -7);

  PARAMETER unsigned_byte;
  make_number(&unsigned_byte, INT_U8_TYPE, 0, 100);
  unsigned_byte.set_int(&unsigned_byte.value, 200);
  EXPECT_EQ(unsigned_byte.value.u8, 100);

  PARAMETER word;
  make_number(&word, INT_U16_TYPE, 5, 1000);
  word.parse(&word.value, "3");
  EXPECT_EQ(word.value.u16, 5);
  word.parse(&word.value, "700");
  EXPECT_EQ(word.get_unsigned(&word.value), 700u);
  word.parse(&word.value, "not a number");
  EXPECT_EQ(word.value.u16, 700);

  // Lowering the maximum lowers the value with it; a minimum above the maximum leaves the maximum.
  word.set_int(&word.maximum, 600);
  EXPECT_EQ(word.value.u16, 600);
  word.set_int(&word.minimum, 800);
  EXPECT_EQ(word.value.u16, 600);

  PARAMETER wide;
  make_number(&wide, INT_U32_TYPE, 0, 0);
  wide.set_unsigned(&wide.maximum, 0xFFFFFFFFu);
  wide.set_unsigned(&wide.value, 3000000000u);
  EXPECT_EQ(wide.get_unsigned(&wide.value), 3000000000u);
  EXPECT_EQ(formatted(wide, &wide.value), "3000000000");
}

TEST(Parameter, FloatTypesClampAndFormatWithTwoPlaces) {
  PARAMETER fraction;
  fraction.set_type(DOUBLE_TYPE);
  fraction.set_double(&fraction.maximum, 1.0);
  fraction.set_double(&fraction.value, 2.5);
  EXPECT_EQ(fraction.value.f64, 1.0);
  EXPECT_EQ(formatted(fraction, &fraction.value), "1.00");
  fraction.set_double(&fraction.value, NAN);
  EXPECT_TRUE(std::isnan(fraction.value.f64));  // comparisons with NaN change nothing

  PARAMETER single;
  single.set_type(FLOAT_TYPE);
  single.set_int(&single.minimum, -100);
  single.set_int(&single.maximum, 100);
  single.set_double(&single.value, -2.75);
  EXPECT_EQ(single.get_int(&single.value), -2);  // truncated toward zero
  EXPECT_EQ(formatted(single, &single.value), "-2.75");
  single.parse(&single.value, "1e9");
  EXPECT_EQ(single.value.f32, 100.0f);

  // Out-of-range doubles stored into integers are definite, not undefined.
  PARAMETER integer;
  make_number(&integer, INT_S32_TYPE, -5, 5);
  integer.set_double(&integer.value, 1e300);
  integer.set_double(&integer.value, NAN);
  EXPECT_EQ(integer.value.s32, 0);
}

TEST(Parameter, TextParametersHoldNumbersAsText) {
  PARAMETER text("hello");
  EXPECT_EQ(text.type, static_cast<INT_U32>(STRING_TYPE));
  EXPECT_STREQ(text.value.text, "hello");
  EXPECT_EQ(text.get_string_length(), 5u);
  text.set_int(&text.value, 42);
  EXPECT_STREQ(text.value.text, "42");
  EXPECT_EQ(text.get_int(&text.value), 42);
  text.set_double(&text.value, 0.5);
  EXPECT_STREQ(text.value.text, "0.50");
  EXPECT_EQ(text.get_double(&text.value), 0.5);
  text.parse(&text.value, nullptr);
  EXPECT_STREQ(text.value.text, "");
  EXPECT_EQ(text.get_int(&text.value), 0);

  char out[4];
  text.parse(&text.value, "abcdef");
  format_typed_value(&text, &text.value, out, sizeof out);
  EXPECT_STREQ(out, "abc");

  PARAMETER empty(nullptr);
  EXPECT_STREQ(empty.value.text, "");

  // Changing the type frees the texts and zeroes every slot.
  text.set_type(INT_U32_TYPE);
  EXPECT_EQ(text.value.u32, 0u);
  EXPECT_EQ(text.minimum.u32, 0u);
  EXPECT_EQ(text.maximum.u32, 0u);
  EXPECT_EQ(text.get_string_length(), 0u);
  text.set_type(STRING_TYPE);
  EXPECT_STREQ(text.minimum.text, "");
  EXPECT_STREQ(text.value.text, "");
}

TEST(Parameter, PointerValuesKeepWholePointers) {
  int target = 0;
  PARAMETER pointer;
  pointer.set_type(POINTER_TYPE);
  pointer.set_pointer(&pointer.value, reinterpret_cast<intptr_t>(&target));
  EXPECT_EQ(pointer.get_pointer(&pointer.value), reinterpret_cast<intptr_t>(&target));
  pointer.parse(&pointer.value, "text");
  EXPECT_NE(pointer.get_pointer(&pointer.value), 0);
  pointer.set_int(&pointer.value, -16);
  EXPECT_EQ(pointer.get_int(&pointer.value), -16);
}

TEST(ParameterStore, WritesTheTypeAndThreeSlots) {
  PARAMETER word;
  make_number(&word, INT_S16_TYPE, -5, 1000);
  word.set_int(&word.value, 300);
  MEMORY_DEVICE device;
  ASSERT_TRUE(word.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, (std::vector<INT_U8>{2, 0x2C, 0x01, 0xFB, 0xFF, 0xE8, 0x03}));

  PARAMETER text("hi");
  MEMORY_DEVICE text_device;
  ASSERT_TRUE(text.put_to_data_device(&text_device));
  EXPECT_EQ(text_device.bytes, (std::vector<INT_U8>{8, 2, 0, 0, 0, 'h', 'i', 0, 0, 0, 0, 0, 0, 0, 0}));

  PARAMETER pointer;
  pointer.set_type(POINTER_TYPE);
  pointer.set_int(&pointer.value, -16);
  MEMORY_DEVICE pointer_device;
  ASSERT_TRUE(pointer.put_to_data_device(&pointer_device));
  ASSERT_EQ(pointer_device.bytes.size(), 25u);
  EXPECT_EQ(std::vector<INT_U8>(pointer_device.bytes.begin(), pointer_device.bytes.begin() + 9),
            (std::vector<INT_U8>{9, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

  PARAMETER swapped;
  make_number(&swapped, INT_U32_TYPE, 0, 0);
  swapped.set_unsigned(&swapped.maximum, 0xFFFFFFFFu);
  swapped.set_unsigned(&swapped.value, 0x01020304u);
  MEMORY_DEVICE swapped_device;
  swapped_device.swap_bytes = 1;
  ASSERT_TRUE(swapped.put_to_data_device(&swapped_device));
  EXPECT_EQ(std::vector<INT_U8>(swapped_device.bytes.begin(), swapped_device.bytes.begin() + 5),
            (std::vector<INT_U8>{5, 1, 2, 3, 4}));
}

TEST(ParameterStore, ReadsBackEveryType) {
  PARAMETER source("some text");
  MEMORY_DEVICE device;
  ASSERT_TRUE(source.put_to_data_device(&device));
  PARAMETER numbers;
  make_number(&numbers, DOUBLE_TYPE, -3, 3);
  numbers.set_double(&numbers.value, 1.25);
  ASSERT_TRUE(numbers.put_to_data_device(&device));
  int target = 0;
  PARAMETER pointer;
  pointer.set_type(POINTER_TYPE);
  pointer.set_pointer(&pointer.value, reinterpret_cast<intptr_t>(&target));
  ASSERT_TRUE(pointer.put_to_data_device(&device));

  device.seek(0, false);
  PARAMETER reader("old text that is freed");
  ASSERT_TRUE(reader.get_from_data_device(&device));
  EXPECT_EQ(reader.type, static_cast<INT_U32>(STRING_TYPE));
  EXPECT_STREQ(reader.value.text, "some text");
  EXPECT_STREQ(reader.minimum.text, "");
  ASSERT_TRUE(reader.get_from_data_device(&device));
  EXPECT_EQ(reader.type, static_cast<INT_U32>(DOUBLE_TYPE));
  EXPECT_EQ(reader.value.f64, 1.25);
  EXPECT_EQ(reader.minimum.f64, -3.0);
  ASSERT_TRUE(reader.get_from_data_device(&device));
  EXPECT_EQ(reader.get_pointer(&reader.value), reinterpret_cast<intptr_t>(&target));
}

TEST(ParameterStore, RejectsDamagedStreams) {
  // Truncated in every place: each prefix of a good record fails and frees what it took.
  PARAMETER source("abc");
  MEMORY_DEVICE good;
  ASSERT_TRUE(source.put_to_data_device(&good));
  for (size_t cut = 0; cut < good.bytes.size(); ++cut) {
    MEMORY_DEVICE truncated(std::vector<INT_U8>(good.bytes.begin(), good.bytes.begin() + cut));
    PARAMETER reader("x");
    EXPECT_FALSE(reader.get_from_data_device(&truncated)) << "cut at " << cut;
  }

  // A text length beyond the end fails with a data error and allocates nothing large.
  MEMORY_DEVICE huge(std::vector<INT_U8>{8, 0xF0, 0xFF, 0xFF, 0xFF, 'a'});
  PARAMETER reader;
  set_error(0, nullptr);
  EXPECT_FALSE(reader.get_from_data_device(&huge));
  EXPECT_EQ(get_error_code(), 0x1007);
  EXPECT_EQ(reader.value.text, nullptr);

  // An unknown type byte fails the read; a text parameter's texts were freed and are null.
  MEMORY_DEVICE unknown(std::vector<INT_U8>{10, 0, 0, 0, 0});
  PARAMETER text_reader("freed before reading");
  EXPECT_FALSE(text_reader.get_from_data_device(&unknown));
  EXPECT_EQ(text_reader.value.text, nullptr);
  EXPECT_EQ(text_reader.get_string_length(), 0u);

  // A parameter of a type without a stored form writes nothing.
  PARAMETER odd;
  odd.set_type(12);
  MEMORY_DEVICE nothing;
  EXPECT_FALSE(odd.put_to_data_device(&nothing));
  EXPECT_TRUE(nothing.bytes.empty());
}
