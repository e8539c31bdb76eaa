// Typed accessors and strings of DATA_DEVICE over memory: byte order, swapping, cut texts, damage.
#include <gtest/gtest.h>

#include "test_support.h"

TEST(DataDevice, WritesInOwnOrderAndSwapsWhenAsked) {
  MEMORY_DEVICE plain;
  plain.write_u16(0x1122);
  plain.write_u32(0x11223344);
  EXPECT_EQ(plain.bytes, (std::vector<INT_U8>{0x22, 0x11, 0x44, 0x33, 0x22, 0x11}));

  MEMORY_DEVICE swapped;
  swapped.swap_bytes = 1;
  swapped.write_u16(0x1122);
  swapped.write_u32(0x11223344);
  swapped.write_double(1.0);
  EXPECT_EQ(std::vector<INT_U8>(swapped.bytes.begin(), swapped.bytes.begin() + 6),
            (std::vector<INT_U8>{0x11, 0x22, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(swapped.bytes[6], 0x3F);  // the double's most significant byte first

  swapped.seek(0, false);
  INT_U16 small = 0;
  INT_U32 large = 0;
  double real = 0;
  EXPECT_TRUE(swapped.read_u16(&small) && swapped.read_u32(&large) && swapped.read_double(&real));
  EXPECT_EQ(small, 0x1122);
  EXPECT_EQ(large, 0x11223344u);
  EXPECT_EQ(real, 1.0);
}

TEST(DataDevice, StringsAreCutToTheBufferAndSkipTheRest) {
  MEMORY_DEVICE device;
  device.write_string("abcdefghijklmnopqrst");
  device.write_u8(0x5A);
  device.write_string(nullptr);
  EXPECT_EQ(device.bytes.size(), 4u + 20u + 1u + 4u);

  device.seek(0, false);
  char buffer[8];
  EXPECT_TRUE(device.read_string(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "abcdefg");
  INT_U8 marker = 0;
  EXPECT_TRUE(device.read_u8(&marker));
  EXPECT_EQ(marker, 0x5A);
  EXPECT_TRUE(device.read_string(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST(DataDevice, DamagedStringsFail) {
  // Length with the high bit set.
  MEMORY_DEVICE negative({0x00, 0x00, 0x00, 0x80, 'a'});
  char buffer[16] = "unchanged";
  EXPECT_FALSE(negative.read_string(buffer, sizeof buffer));
  EXPECT_TRUE(negative.failed);

  // Length larger than what is stored: the read fails rather than inventing bytes.
  MEMORY_DEVICE truncated({0x0A, 0x00, 0x00, 0x00, 'a', 'b'});
  EXPECT_FALSE(truncated.read_string(buffer, sizeof buffer));

  MEMORY_DEVICE longer({0x40, 0x00, 0x00, 0x00, 'a', 'b'});
  EXPECT_FALSE(longer.read_string(buffer, 4));

  MEMORY_DEVICE empty;
  INT_U32 value = 7;
  EXPECT_FALSE(empty.read_u32(&value));
  EXPECT_TRUE(empty.failed);
}

// A value cut off by the end of the data, or only partly written, fails instead of arriving with
// invented bytes.
class SHORT_DEVICE : public MEMORY_DEVICE {
public:
  INT_S32 room;
  explicit SHORT_DEVICE(INT_S32 room_left) : room(room_left) {}
  INT_S32 write(const void* buffer, INT_S32 count) override {
    INT_S32 taken = count < room ? count : room;
    room -= taken;
    return taken > 0 ? MEMORY_DEVICE::write(buffer, taken) : 0;
  }
};

TEST(DataDevice, CutValuesFail) {
  MEMORY_DEVICE cut_u32({0x01, 0x02});
  INT_U32 value = 7;
  EXPECT_FALSE(cut_u32.read_u32(&value));
  EXPECT_TRUE(cut_u32.failed);

  MEMORY_DEVICE cut_u16({0x01});
  INT_U16 small = 7;
  EXPECT_FALSE(cut_u16.read_u16(&small));

  MEMORY_DEVICE cut_double({0, 0, 0, 0, 0, 0, 0xF0});
  double real = 0;
  EXPECT_FALSE(cut_double.read_double(&real));

  SHORT_DEVICE full_soon(3);
  EXPECT_FALSE(full_soon.write_u32(0x11223344));
  EXPECT_TRUE(full_soon.failed);

  SHORT_DEVICE text_room(6);
  EXPECT_FALSE(text_room.write_string("abcdef"));
  EXPECT_TRUE(text_room.failed);
}
