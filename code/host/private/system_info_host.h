// The host side of the system information: asks the machine once (code/host/<host>/system_info.cpp); the
// cache and the copies are system_info.cpp's.
#pragma once
#include "system_info.h"

// Fills an empty record (its arrays null) from the machine.
void gather_system_information(SYSTEM_INFORMATION* out);
// Fills the platform, the operating-system code and the three capability flags alone, as the whole
// gathering does, without starting the socket library or asking the joysticks.
void gather_system_capabilities(SYSTEM_INFORMATION* out);

// The parts every host fills alike (code/host/system_info.cpp): the drive count with its (uncleared)
// drive_free_mb array, none when it cannot be had; and the keyboard, mouse and joystick fields.
void gather_drive_list(SYSTEM_INFORMATION* out);
void gather_input_devices(SYSTEM_INFORMATION* out);
