// What the host can tell about the machine: platform and operating-system codes, computer and host
// names, processors, memory, free space per drive, input devices and the capability flags that gate
// shortcuts and system paths. Gathered once per run; every fill copies that record.
#pragma once
#include "types.h"

struct SYSTEM_INFORMATION {
  INT_U8 platform;              // 0x21, the "win32" platform code (the Linux stand-in answers the same)
  INT_U32 os_code;              // 0x2100 to 0x2109
  INT_U32* reserved_array;      // owned; not filled (null)
  INT_U8 has_desktop_shortcuts;
  INT_U8 has_menu_shortcuts;
  char computer_name[256];      // the short host name (cut at its first '.'), else the computer name
  INT_U32 processor_count;      // at least 1
  INT_U32 architecture;         // 2 Intel x86 (x86-64 too), 3 PowerPC, 0 any other
  INT_U32* processor_mhz;       // owned, processor_count entries; 0 when unknown
  INT_U8 processor_flag;
  INT_U32 total_physical_mb;
  INT_U32 total_virtual_mb;
  INT_U32 available_physical_mb;
  INT_U32 available_virtual_mb;
  INT_U8 has_system_paths;
  INT_S16 drive_count;          // logical drives in get_drive_count order
  INT_U32* drive_free_mb;       // owned, drive_count entries; free space for the user, 0 when unknown
  INT_U8 drive_flag;
  INT_U8 drive_flag_2;
  char host_name[100];          // the socket layer's host name; empty when none
  char host_address[20];        // that name's address from local sources only; empty when unknown
  INT_U8 has_keyboard;
  INT_U8 keyboard_flag_2;
  INT_U16 mouse_buttons;
  INT_U8 mouse_flag;
  INT_U8 has_joystick;
  INT_U8 last_flag;

  SYSTEM_INFORMATION() : reserved_array(nullptr), processor_mhz(nullptr), drive_free_mb(nullptr) {}
  ~SYSTEM_INFORMATION() {
    delete[] reserved_array;
    delete[] processor_mhz;
    delete[] drive_free_mb;
    reserved_array = nullptr;
    processor_mhz = nullptr;
    drive_free_mb = nullptr;
  }
  SYSTEM_INFORMATION(const SYSTEM_INFORMATION&) = delete;
  SYSTEM_INFORMATION& operator=(const SYSTEM_INFORMATION&) = delete;
};

// Fills the record (freeing the arrays it holds first). The machine is asked on the first call of
// the run only; later calls copy what was gathered then.
void get_system_information(SYSTEM_INFORMATION* out);
// Fills only the platform, os_code, has_desktop_shortcuts, has_menu_shortcuts and has_system_paths, as
// get_system_information does, without its lookups (no socket library, no joystick query): for code
// that decides by the capability flags alone. The other fields stay as they are.
void get_system_capabilities(SYSTEM_INFORMATION* out);
