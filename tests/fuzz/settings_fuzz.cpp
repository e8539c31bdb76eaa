// Fuzz target of settings files: the bytes become a settings file that is read whole (cached and
// uncached), looked up, and changed uncached and cached (which rewrites it through its ".tmp" copy).
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "config_file.h"
#include "fuzz_support.h"

namespace {

INT_S32 count_entry(const char*, const char* value, void* user) {
  *static_cast<size_t*>(user) += strlen(value);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("settings");
  fuzz_write_file(folder, "settings", data, size);
  std::remove(folder->get_path_text("settings.tmp"));

  size_t total = 0;
  CONFIG_FILE config;
  static const bool modes[] = {false, true};
  for (bool cached : modes) {
    config.init(nullptr, cached);
    config.read_all(folder, count_entry, &total);
    char value[256];
    config.get_string(folder, "key", value);
    INT_S32 number = 0;
    config.get_int(folder, "number", &number, true);
    config.set_string(folder, "key", "value");
    config.set_int(folder, "number", 42, false);
  }
  return 0;
}
