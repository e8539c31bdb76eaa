// Windows host layer: what its source files share among themselves (not part of the host interface).
#pragma once
#include "host.h"
#include <windows.h>

extern INT_U8 console_allocated;
void release_console();
