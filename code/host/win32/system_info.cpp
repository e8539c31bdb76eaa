// System information on Windows: version, processors and their clock rates from the registry,
// memory, free space per drive (floppy drives never asked), host name and address through the socket
// layer, mouse buttons and joysticks.
#include "win32_host.h"
#include <cstdio>
#include <cstring>
#include <new>

#include "sockets_host.h"
#include "system_info_host.h"
#include "files.h"
#include "tcpip.h"

static INT_U32 operating_system_code(const OSVERSIONINFOA& version) {
  DWORD major = version.dwMajorVersion, minor = version.dwMinorVersion;
  if (major == 3 && minor == 3)
    return 0x2100;
  if (major == 4 && minor == 0) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT)
      return 0x2101;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
      return 0x2102;
    return 0x2109;
  }
  if (major == 4 && minor == 10)
    return 0x2103;
  if (major == 4 && minor == 90)
    return 0x2104;
  if (major == 5 && minor == 0)
    return 0x2105;
  if (major == 5 && minor == 1)
    return 0x2106;
  if (major == 5 && minor == 2)
    return 0x2107;
  if (major == 6 && minor == 0)
    return 0x2108;
  return 0x2109;
}

static INT_U32 processor_clock(INT_U32 index) {
  char key_name[128];
  snprintf(key_name, sizeof(key_name), "Hardware\\Description\\System\\CentralProcessor\\%hd", (short)index);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return 0;
  DWORD value = 0, type = 0, size = sizeof(value);
  LONG result = RegQueryValueExA(key, "~MHz", NULL, &type, (BYTE*)&value, &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
}

void gather_system_capabilities(SYSTEM_INFORMATION* out) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  out->platform = 0x21;
  out->os_code = operating_system_code(version);
  out->has_desktop_shortcuts = 1;
  out->has_menu_shortcuts = 1;
  out->has_system_paths = 1;
}

void gather_system_information(SYSTEM_INFORMATION* out) {
  TCPIP tcpip(1, 1, 1, 2048);

  gather_system_capabilities(out);
  SYSTEM_INFO system;
  memset(&system, 0, sizeof(system));
  GetSystemInfo(&system);
  MEMORYSTATUS memory;
  memset(&memory, 0, sizeof(memory));
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);

  out->reserved_array = nullptr;

  memset(out->computer_name, 0, sizeof(out->computer_name));
  DWORD name_size = sizeof(out->computer_name);
  GetComputerNameA(out->computer_name, &name_size);
  char host[256];
  if (tcpip.startup() && host_socket_host_name(host, sizeof(host))) {
    host[sizeof(host) - 1] = 0;
    char* point = strchr(host, '.');
    if (point)
      *point = 0;
    snprintf(out->computer_name, sizeof(out->computer_name), "%s", host);
  }

  out->processor_count = system.dwNumberOfProcessors > 0 ? system.dwNumberOfProcessors : 1;
  // A 64-bit program is told the x86-64 architecture of the processor that a 32-bit one is told is x86:
  // both are the x86 family, as on the other host.
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
    case PROCESSOR_ARCHITECTURE_AMD64: out->architecture = 2; break;
    case 3: out->architecture = 3; break;  // PowerPC
    default: out->architecture = 0; break;
  }
  out->processor_mhz = new (std::nothrow) INT_U32[out->processor_count];
  for (INT_U32 i = 0; out->processor_mhz && i < out->processor_count; i++)
    out->processor_mhz[i] = processor_clock(i);
  out->processor_flag = 0;
  out->total_physical_mb = (INT_U32)(memory.dwTotalPhys >> 20);
  out->total_virtual_mb = (INT_U32)(memory.dwTotalVirtual >> 20);
  out->available_physical_mb = (INT_U32)(memory.dwAvailPhys >> 20);
  out->available_virtual_mb = (INT_U32)(memory.dwAvailVirtual >> 20);

  gather_drive_list(out);
  // No "insert a disk" box for empty drives.
  UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  for (INT_S16 i = 0; i < out->drive_count; i++) {
    out->drive_free_mb[i] = 0;
    const char* root = get_drive_root_text(i);
    if (!root || !root[0])
      continue;
    char letter = root[0];
    if (letter == 'A' || letter == 'a' || letter == 'B' || letter == 'b')
      continue;
    char drive[3] = {root[0], ':', 0};
    ULARGE_INTEGER available, total, free_total;
    if (GetDiskFreeSpaceExA(drive, &available, &total, &free_total))
      out->drive_free_mb[i] = (INT_U32)(available.QuadPart >> 20);
  }
  SetErrorMode(old_mode);
  out->drive_flag = 1;
  out->drive_flag_2 = 1;

  // The machine's own name resolves from the machine itself, never from a name server.
  out->host_name[0] = 0;
  out->host_address[0] = 0;
  const char* name = tcpip.get_host_name();
  if (name && name[0]) {
    snprintf(out->host_name, sizeof(out->host_name), "%s", name);
    snprintf(out->host_address, sizeof(out->host_address), "%s", tcpip.resolve_host(out->host_name));
  }

  gather_input_devices(out);
}
