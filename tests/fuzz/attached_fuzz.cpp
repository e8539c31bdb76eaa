// Fuzz target of the attached-package copy-out: the bytes are taken as a program file (the locating
// step parses them as an executable) and as attached data from its first byte (splash block, chunk
// size, compressed flag and records), copied out into a work folder.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "data_file.h"
#include "database.h"
#include "engine.h"
#include "fuzz_support.h"
#include "host.h"
#include "screen_image.h"

// Message boxes print instead of waiting, and no window is opened.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv(UNATTENDED_VARIABLE, "1", 1);
  setenv(HEADLESS_VARIABLE, "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER* folder = fuzz_work_folder("attached");
  fuzz_write_file(folder, "program.bin", data, size);

  ATTACHED_DATA record;
  locate_attached_data(folder, "program.bin", &record);
  bool splash = false;
  char message[256];
  copy_attached_package(folder, "program.bin", 0, folder, &splash, message);
  close_main_window(-1);
  // Keep the default buffer small for the next input, whatever chunk size this one set.
  default_file_cache_size = 4096;
  std::remove(folder->get_path_text("installer.pkg"));
  return 0;
}
