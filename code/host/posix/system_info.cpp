// System information on Linux: the stand-in answers with the Windows host's platform code and its
// "other version" operating-system code, and reads the machine from /proc, sysinfo and statvfs. The
// host address comes from /etc/hosts or the network interfaces, never from a name server.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <new>
#include <strings.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "sockets_host.h"
#include "system_info_host.h"
#include "files.h"
#include "host.h"
#include "tcpip.h"

// Clock rates from /proc/cpuinfo: "processor : n" then "cpu MHz : f" for that processor.
static void read_processor_mhz(INT_U32* mhz, INT_U32 count) {
  FILE* file = fopen("/proc/cpuinfo", "r");
  if (!file)
    return;
  char line[512];
  long processor = -1;
  while (fgets(line, sizeof(line), file)) {
    char* colon = strchr(line, ':');
    if (!colon)
      continue;
    if (strncmp(line, "processor", 9) == 0) {
      processor = strtol(colon + 1, nullptr, 10);
    } else if (strncmp(line, "cpu MHz", 7) == 0 && processor >= 0 && (INT_U32)processor < count) {
      double value = strtod(colon + 1, nullptr);
      if (value > 0 && value < 4.0e9)
        mhz[processor] = (INT_U32)(value + 0.5);
    }
  }
  fclose(file);
}

// "MemAvailable" of /proc/meminfo in MiB, or -1.
static INT_S64 available_memory_mb() {
  FILE* file = fopen("/proc/meminfo", "r");
  if (!file)
    return -1;
  char line[256];
  INT_S64 result = -1;
  while (fgets(line, sizeof(line), file)) {
    if (strncmp(line, "MemAvailable:", 13) == 0) {
      result = (INT_S64)(strtoll(line + 13, nullptr, 10) >> 10);
      break;
    }
  }
  fclose(file);
  return result;
}

static INT_U32 clamp_mb(INT_U64 mb) {
  return mb > 0xFFFFFFFFull ? 0xFFFFFFFFu : (INT_U32)mb;
}

// The first IPv4 address that /etc/hosts gives the name (names and aliases compared ignoring case).
static bool address_from_hosts_file(const char* name, char* out, size_t size) {
  FILE* file = fopen("/etc/hosts", "r");
  if (!file)
    return false;
  char line[1024];
  bool found = false;
  while (!found && fgets(line, sizeof(line), file)) {
    char* hash = strchr(line, '#');
    if (hash)
      *hash = 0;
    char* save = nullptr;
    char* address = strtok_r(line, " \t\r\n", &save);
    in_addr parsed;
    if (!address || inet_pton(AF_INET, address, &parsed) != 1)
      continue;
    for (char* word = strtok_r(nullptr, " \t\r\n", &save); word; word = strtok_r(nullptr, " \t\r\n", &save)) {
      if (strcasecmp(word, name) == 0) {
        snprintf(out, size, "%s", address);
        found = true;
        break;
      }
    }
  }
  fclose(file);
  return found;
}

// The machine's own address from its interfaces: the first one that is not loopback, else loopback.
static bool address_from_interfaces(char* out, size_t size) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0)
    return false;
  in_addr chosen = {};
  bool have = false, have_loopback = false;
  in_addr loopback = {};
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
      continue;
    in_addr address = ((sockaddr_in*)entry->ifa_addr)->sin_addr;
    if (entry->ifa_flags & IFF_LOOPBACK) {
      if (!have_loopback) {
        loopback = address;
        have_loopback = true;
      }
    } else if (!have) {
      chosen = address;
      have = true;
    }
  }
  freeifaddrs(list);
  if (!have && have_loopback) {
    chosen = loopback;
    have = true;
  }
  if (have)
    inet_ntop(AF_INET, &chosen, out, (socklen_t)size);
  return have;
}

void gather_system_capabilities(SYSTEM_INFORMATION* out) {
  out->platform = 0x21;
  out->os_code = 0x2109;
  out->has_desktop_shortcuts = 1;
  out->has_menu_shortcuts = 1;
  out->has_system_paths = 1;
}

void gather_system_information(SYSTEM_INFORMATION* out) {
  TCPIP tcpip(1, 1, 1, 2048);

  gather_system_capabilities(out);
  out->reserved_array = nullptr;

  memset(out->computer_name, 0, sizeof(out->computer_name));
  if (host_socket_host_name(out->computer_name, sizeof(out->computer_name))) {
    char* point = strchr(out->computer_name, '.');
    if (point)
      *point = 0;
  }

  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  out->processor_count = processors > 0 ? (INT_U32)processors : 1;
#if defined(__i386__) || defined(__x86_64__)
  out->architecture = 2;
#elif defined(__powerpc__) || defined(__powerpc64__)
  out->architecture = 3;
#else
  out->architecture = 0;
#endif
  out->processor_mhz = new (std::nothrow) INT_U32[out->processor_count];
  if (out->processor_mhz) {
    memset(out->processor_mhz, 0, sizeof(INT_U32) * out->processor_count);
    read_processor_mhz(out->processor_mhz, out->processor_count);
  }
  out->processor_flag = 0;

  struct sysinfo memory;
  memset(&memory, 0, sizeof(memory));
  if (sysinfo(&memory) == 0) {
    INT_U64 unit = memory.mem_unit ? memory.mem_unit : 1;
    out->total_physical_mb = clamp_mb(((INT_U64)memory.totalram * unit) >> 20);
    INT_S64 available = available_memory_mb();
    out->available_physical_mb = available >= 0 ? clamp_mb((INT_U64)available)
                                                 : clamp_mb(((INT_U64)memory.freeram * unit) >> 20);
  }
  // The process's address space: its limit when it has one, else the user half of the machine's.
  INT_U64 address_space = sizeof(void*) == 8 ? (1ull << 47) : (3ull << 30);
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < address_space)
    address_space = limit.rlim_cur;
  out->total_virtual_mb = clamp_mb(address_space >> 20);
  INT_U64 used = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm) {
    unsigned long pages = 0;
    if (fscanf(statm, "%lu", &pages) == 1)
      used = (INT_U64)pages * (INT_U64)sysconf(_SC_PAGESIZE);
    fclose(statm);
  }
  out->available_virtual_mb = clamp_mb((used < address_space ? address_space - used : 0) >> 20);

  gather_drive_list(out);
  for (INT_S16 i = 0; i < out->drive_count; i++) {
    out->drive_free_mb[i] = 0;
    const char* root = get_drive_root_text(i);
    struct statvfs space;
    if (root && statvfs(root, &space) == 0)
      out->drive_free_mb[i] = clamp_mb(((INT_U64)space.f_bavail * space.f_frsize) >> 20);
  }
  out->drive_flag = 1;
  out->drive_flag_2 = 1;

  out->host_name[0] = 0;
  out->host_address[0] = 0;
  const char* name = tcpip.get_host_name();
  if (name && name[0]) {
    snprintf(out->host_name, sizeof(out->host_name), "%s", name);
    if (!address_from_hosts_file(name, out->host_address, sizeof(out->host_address)) &&
        !address_from_interfaces(out->host_address, sizeof(out->host_address)))
      out->host_address[0] = 0;
  }

  gather_input_devices(out);
}
