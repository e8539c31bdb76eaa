// The system information cache: the machine is asked once per run, since asking means starting the
// socket library, querying every drive and looking up the host's address; every fill copies the
// record gathered then, arrays included.
#include "system_info.h"

#include <cstring>
#include <new>

#include "files.h"
#include "host.h"
#include "host_private.h"
#include "system_info_host.h"

static SYSTEM_INFORMATION gathered;
static bool gathered_once = false;

static INT_U32* copy_array(const INT_U32* source, INT_S64 count) {
  if (!source || count <= 0)
    return nullptr;
  INT_U32* copy = new (std::nothrow) INT_U32[count];
  if (copy)
    memcpy(copy, source, sizeof(INT_U32) * count);
  return copy;
}

void gather_drive_list(SYSTEM_INFORMATION* out) {
  INT_S32 drives = get_drive_count();
  out->drive_count = (INT_S16)(drives > 0 && drives < 0x7FFF ? drives : 0);
  out->drive_free_mb = out->drive_count > 0 ? new (std::nothrow) INT_U32[out->drive_count] : nullptr;
  if (!out->drive_free_mb)
    out->drive_count = 0;
}

void gather_input_devices(SYSTEM_INFORMATION* out) {
  out->has_keyboard = 1;
  out->keyboard_flag_2 = 1;
  INT_S32 buttons = MOUSE_HANDLER::button_count ? MOUSE_HANDLER::button_count : query_mouse_button_count();
  out->mouse_buttons = (INT_U16)(buttons > 0 ? buttons : 0);
  out->mouse_flag = 1;
  JOYSTICK_CAPS caps;
  out->has_joystick = (get_joystick_caps(1, &caps) || get_joystick_caps(2, &caps)) ? 1 : 0;
  out->last_flag = 0;
}

void get_system_capabilities(SYSTEM_INFORMATION* out) {
  if (!out)
    return;
  if (!gathered_once) {
    gather_system_capabilities(out);
    return;
  }
  out->platform = gathered.platform;
  out->os_code = gathered.os_code;
  out->has_desktop_shortcuts = gathered.has_desktop_shortcuts;
  out->has_menu_shortcuts = gathered.has_menu_shortcuts;
  out->has_system_paths = gathered.has_system_paths;
}

void get_system_information(SYSTEM_INFORMATION* out) {
  if (!out)
    return;
  if (!gathered_once) {
    gathered_once = true;
    gather_system_information(&gathered);
  }
  delete[] out->reserved_array;
  delete[] out->processor_mhz;
  delete[] out->drive_free_mb;
  out->reserved_array = nullptr;
  out->processor_mhz = nullptr;
  out->drive_free_mb = nullptr;

  out->platform = gathered.platform;
  out->os_code = gathered.os_code;
  out->has_desktop_shortcuts = gathered.has_desktop_shortcuts;
  out->has_menu_shortcuts = gathered.has_menu_shortcuts;
  memcpy(out->computer_name, gathered.computer_name, sizeof(out->computer_name));
  out->architecture = gathered.architecture;
  out->processor_count = gathered.processor_count;
  out->processor_mhz = copy_array(gathered.processor_mhz, gathered.processor_count);
  out->processor_flag = gathered.processor_flag;
  out->total_physical_mb = gathered.total_physical_mb;
  out->total_virtual_mb = gathered.total_virtual_mb;
  out->available_physical_mb = gathered.available_physical_mb;
  out->available_virtual_mb = gathered.available_virtual_mb;
  out->has_system_paths = gathered.has_system_paths;
  out->drive_count = gathered.drive_count;
  out->drive_free_mb = copy_array(gathered.drive_free_mb, gathered.drive_count);
  out->drive_flag = gathered.drive_flag;
  out->drive_flag_2 = gathered.drive_flag_2;
  memcpy(out->host_name, gathered.host_name, sizeof(out->host_name));
  memcpy(out->host_address, gathered.host_address, sizeof(out->host_address));
  out->has_keyboard = test_seam_keyboard >= 0 ? (INT_U8)test_seam_keyboard : gathered.has_keyboard;
  out->keyboard_flag_2 = gathered.keyboard_flag_2;
  out->mouse_buttons = gathered.mouse_buttons;
  out->mouse_flag = gathered.mouse_flag;
  out->has_joystick = gathered.has_joystick;
  out->last_flag = gathered.last_flag;
}
