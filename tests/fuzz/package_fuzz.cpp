// Fuzz target of packages: the bytes become a package file that is opened in every mode (directory
// loaded or not, read only or writable), every entry found is extracted, and a file is added to it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "package.h"

namespace {

FOLDER* work_folder() {
  static FOLDER* folder = nullptr;
  if (!folder) {
    static char pattern[] = "/tmp/velk-package-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    folder = new FOLDER;
    strcpy(folder->path, pattern);
    // Small buffers keep each run quick; packages read any block size all the same.
    default_file_cache_size = 4096;
    char path[FOLDER_PATH_SIZE + 16];
    snprintf(path, sizeof path, "%s/small.txt", folder->path);
    FILE* file = fopen(path, "wb");
    if (!file) abort();
    fputs("a few bytes to add\n", file);
    fclose(file);
  }
  return folder;
}

// Extracts at most a few dozen entries: a long chain of tiny records would otherwise make one input
// quadratic without the directory.
void extract_all(PACKAGE* package, PACKAGE* names) {
  int extracted = 0;
  for (PACKAGE_ENTRY* entry = names->root.first_loaded; entry && extracted < 40; entry = entry->next_loaded, ++extracted)
    package->extract_entry(work_folder(), "out.bin", entry->name ? entry->name : "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = work_folder();
  char path[FOLDER_PATH_SIZE + 16];
  snprintf(path, sizeof path, "%s/in.pkg", folder->path);
  FILE* file = fopen(path, "wb");
  if (!file) abort();
  if (size) fwrite(data, 1, size, file);
  fclose(file);

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
