// File selector: the icons shared by every file selector, ten drive icons by disk kind, the parent
// folder, a file and a folder. The installer fills them from the skin's disk icons.
#pragma once
#include "types.h"

class IMAGE;

const int FILE_SELECT_DRIVE_ICON_COUNT = 10;

// Image names of the drive icons by disk kind: "disk", "disk-cdrom", "disk-floppy", "disk-network",
// "disk-linux", "disk-unix", "disk-mac", "disk-os2", "disk-dos", "disk-windows"; null out of range.
const char* file_select_drive_icon_name(int kind);

// The shared icons, built empty on first use. A kind out of range gives icon 0.
IMAGE* file_select_drive_icon(int kind);
IMAGE* file_select_parent_icon();
IMAGE* file_select_file_icon();
IMAGE* file_select_folder_icon();
// Frees the icons (at exit); a later use builds them again, empty.
void stop_file_select_icons();
