// The host side of the system information: asks the machine once (code/<host>/system_info.cpp); the
// cache and the copies are system_info.cpp's.
#pragma once
#include "system_info.h"

// Fills an empty record (its arrays null) from the machine.
void gather_system_information(SYSTEM_INFORMATION* out);
