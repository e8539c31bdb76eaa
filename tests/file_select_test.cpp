// Tests of the file selector's shared icons: names by disk kind, built empty on first use, one per slot.
#include <gtest/gtest.h>

#include "file_select.h"
#include "image.h"

namespace {

TEST(FileSelectIcons, NamesAndSlots) {
  EXPECT_STREQ(file_select_drive_icon_name(0), "disk");
  EXPECT_STREQ(file_select_drive_icon_name(9), "disk-windows");
  EXPECT_EQ(file_select_drive_icon_name(10), nullptr);
  IMAGE* floppy = file_select_drive_icon(2);
  ASSERT_NE(floppy, nullptr);
  EXPECT_EQ(floppy->pixels, nullptr);
  EXPECT_EQ(file_select_drive_icon(2), floppy);
  EXPECT_EQ(file_select_drive_icon(42), file_select_drive_icon(0));
  EXPECT_NE(file_select_parent_icon(), file_select_file_icon());
  EXPECT_NE(file_select_file_icon(), file_select_folder_icon());
  floppy->set_size(3, 2);
  EXPECT_EQ(file_select_drive_icon(2)->width, 3);
  stop_file_select_icons();
  EXPECT_EQ(file_select_drive_icon(2)->pixels, nullptr);
  stop_file_select_icons();
}

}  // namespace
