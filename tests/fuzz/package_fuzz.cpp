// Fuzz target of packages: the bytes become a package file that is opened in every mode (directory
// loaded or not, read only or writable), every entry found is extracted, and a file is added to it.
#include <cstddef>
#include <cstring>

#include "fuzz_support.h"
#include "package.h"

namespace {

FOLDER* work_folder() { return fuzz_work_folder("package"); }

// Extracts at most a few dozen entries: a long chain of tiny records would otherwise make one input
// quadratic without the directory.
void extract_all(PACKAGE* package, PACKAGE* names) {
  int extracted = 0;
  for (PACKAGE_ENTRY* entry = names->root.first_loaded; entry && extracted < 40; entry = entry->next_loaded, ++extracted)
    package->extract_entry(work_folder(), "out.bin", entry->name ? entry->name : "");
}

}  // namespace

// Small buffers keep each run quick; packages read any block size all the same. small.txt is the file
// added to every package.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  default_file_cache_size = 4096;
  const char small[] = "a few bytes to add\n";
  fuzz_write_file(work_folder(), "small.txt", small, std::strlen(small));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = work_folder();
  fuzz_write_file(folder, "in.pkg", data, size);

  {
    PACKAGE loaded(folder, "in.pkg", false, -1, true, true);
    if (loaded.file) {
      extract_all(&loaded, &loaded);
      PACKAGE on_disk(folder, "in.pkg", false, -1, false, true);
      if (on_disk.file) extract_all(&on_disk, &loaded);
      PACKAGE_ENTRY entry;
      on_disk.find_entry("no such entry", &entry);
    }
  }
  for (int loaded = 0; loaded < 2; ++loaded) {
    PACKAGE writable(folder, "in.pkg", false, -1, loaded != 0, false);
    if (!writable.file) continue;
    writable.add_file(folder, "small.txt", "added", true);
    writable.add_file(folder, "small.txt", "added", true);
    writable.extract_entry(folder, "out.bin", "added");
  }
  return 0;
}
