// File selector: the thirteen icons that every file selector shares, built empty on first use.
#include "file_select.h"

#include "image.h"

static const char* const drive_icon_names[FILE_SELECT_DRIVE_ICON_COUNT] = {
    "disk", "disk-cdrom", "disk-floppy", "disk-network", "disk-linux",
    "disk-unix", "disk-mac", "disk-os2", "disk-dos", "disk-windows"};

// Ten drive icons, then the parent folder, the file and the folder.
static IMAGE* icons[FILE_SELECT_DRIVE_ICON_COUNT + 3];

static IMAGE* icon(int index) {
  if (!icons[index]) icons[index] = new IMAGE();
  return icons[index];
}

const char* file_select_drive_icon_name(int kind) {
  return kind >= 0 && kind < FILE_SELECT_DRIVE_ICON_COUNT ? drive_icon_names[kind] : nullptr;
}

IMAGE* file_select_drive_icon(int kind) {
  return icon(kind >= 0 && kind < FILE_SELECT_DRIVE_ICON_COUNT ? kind : 0);
}

IMAGE* file_select_parent_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT);
}

IMAGE* file_select_file_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT + 1);
}

IMAGE* file_select_folder_icon() {
  return icon(FILE_SELECT_DRIVE_ICON_COUNT + 2);
}

void stop_file_select_icons() {
  for (int i = FILE_SELECT_DRIVE_ICON_COUNT + 2; i >= 0; i--) {
    delete icons[i];
    icons[i] = nullptr;
  }
}
