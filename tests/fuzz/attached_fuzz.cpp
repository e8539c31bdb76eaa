// Fuzz target of the attached-package copy-out: the bytes are taken as a program file (the locating
// step parses them as an executable) and as attached data from its first byte (splash block, chunk
// size, compressed flag and records), copied out into a work folder.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "data_file.h"
#include "database.h"
#include "engine.h"
#include "host.h"

namespace {

FOLDER* work_folder() {
  static FOLDER* folder = nullptr;
  if (!folder) {
    static char pattern[] = "/tmp/velk-attached-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    folder = new FOLDER;
    strcpy(folder->path, pattern);
    setenv(UNATTENDED_VARIABLE, "1", 1);
    unsetenv("DISPLAY");
  }
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = work_folder();
  char path[FOLDER_PATH_SIZE + 16];
  snprintf(path, sizeof path, "%s/program.bin", folder->path);
  FILE* file = fopen(path, "wb");
  if (!file) abort();
  if (size) fwrite(data, 1, size, file);
  fclose(file);

  INT_U32 position = 0;
  locate_attached_data(folder, "program.bin", &position);
  bool splash = false;
  char message[256];
  copy_attached_package(folder, "program.bin", 0, folder, &splash, message);
  close_main_window(-1);
  // Keep the default buffer small for the next input, whatever chunk size this one set.
  default_file_cache_size = 4096;
  snprintf(path, sizeof path, "%s/installer.pkg", folder->path);
  remove(path);
  return 0;
}
