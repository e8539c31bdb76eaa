// Tests of the system information: sane values on this machine, the same record on every fill, and
// refills that replace (not leak or share) the owned arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "system_info.h"
#include "tcpip.h"

TEST(SystemInformation, ValuesAreSaneAndEveryFillIsTheSame) {
  SYSTEM_INFORMATION first;
  get_system_information(&first);
  EXPECT_EQ(first.platform, 0x21);
  EXPECT_GE(first.os_code, 0x2100u);
  EXPECT_LE(first.os_code, 0x2109u);
  EXPECT_EQ(first.reserved_array, nullptr);
  EXPECT_EQ(first.has_desktop_shortcuts, 1);
  EXPECT_EQ(first.has_menu_shortcuts, 1);
  EXPECT_EQ(first.has_system_paths, 1);
  EXPECT_EQ(strchr(first.computer_name, '.'), nullptr);
  EXPECT_LT(strlen(first.computer_name), sizeof(first.computer_name));
  EXPECT_GE(first.processor_count, 1u);
  ASSERT_NE(first.processor_mhz, nullptr);
  EXPECT_EQ(first.architecture, 2u);  // both builds run on x86 here
  EXPECT_GT(first.total_physical_mb, 0u);
  EXPECT_LE(first.available_physical_mb, first.total_physical_mb);
  EXPECT_GT(first.total_virtual_mb, 0u);
  EXPECT_LE(first.available_virtual_mb, first.total_virtual_mb);
  EXPECT_GE(first.drive_count, 1);
  ASSERT_NE(first.drive_free_mb, nullptr);
  EXPECT_EQ(first.drive_flag, 1);
  EXPECT_EQ(first.has_keyboard, 1);
  EXPECT_LE(first.has_joystick, 1);

  // The host name is the socket layer's; its address, when known, is a dotted address.
  TCPIP tcpip(1, 1, 1, 2048);
  EXPECT_STREQ(first.host_name, tcpip.get_host_name());
  if (first.host_name[0] == 0) {
    EXPECT_STREQ(first.host_address, "");
  }
  if (first.host_address[0]) {
    EXPECT_NE(tcpip.parse_address(first.host_address), 0u) << first.host_address;
  }
  // The computer name is the host name up to its first point.
  std::string short_name = first.host_name;
  if (short_name.find('.') != std::string::npos)
    short_name.erase(short_name.find('.'));
  if (!short_name.empty()) {
    EXPECT_EQ(std::string(first.computer_name), short_name);
  }

  // A second record holds the same values in arrays of its own.
  SYSTEM_INFORMATION second;
  get_system_information(&second);
  EXPECT_EQ(second.processor_count, first.processor_count);
  EXPECT_NE(second.processor_mhz, first.processor_mhz);
  EXPECT_EQ(memcmp(second.processor_mhz, first.processor_mhz, sizeof(INT_U32) * first.processor_count), 0);
  EXPECT_EQ(second.drive_count, first.drive_count);
  EXPECT_NE(second.drive_free_mb, first.drive_free_mb);
  EXPECT_EQ(second.total_physical_mb, first.total_physical_mb);
  EXPECT_STREQ(second.host_address, first.host_address);
  EXPECT_STREQ(second.computer_name, first.computer_name);

  // Filling a record again replaces its arrays (the sanitizer build catches a leak or a double free).
  INT_U32* old_array = second.processor_mhz;
  get_system_information(&second);
  EXPECT_NE(second.processor_mhz, nullptr);
  (void)old_array;
  EXPECT_EQ(second.mouse_buttons, first.mouse_buttons);
}

// The capability flags alone, asked before and after the machine was asked, are those of the whole
// record, and nothing else of the record is filled.
TEST(SystemInformation, CapabilitiesAloneAreThoseOfTheWholeRecord) {
  SYSTEM_INFORMATION flags;
  flags.host_name[0] = 'x';
  flags.drive_count = -7;
  get_system_capabilities(&flags);
  SYSTEM_INFORMATION whole, again;
  get_system_information(&whole);
  get_system_capabilities(&again);
  for (const SYSTEM_INFORMATION* record : {&flags, &again}) {
    EXPECT_EQ(record->platform, whole.platform);
    EXPECT_EQ(record->os_code, whole.os_code);
    EXPECT_EQ(record->has_desktop_shortcuts, whole.has_desktop_shortcuts);
    EXPECT_EQ(record->has_menu_shortcuts, whole.has_menu_shortcuts);
    EXPECT_EQ(record->has_system_paths, whole.has_system_paths);
    EXPECT_EQ(record->processor_mhz, nullptr);
  }
  EXPECT_EQ(flags.host_name[0], 'x');
  EXPECT_EQ(flags.drive_count, -7);
}
