// Built only into the scenario build of the installer: when the environment names a pause file, the
// installation stops once it holds its install folder, writes its process number into that file and
// goes on when a test has removed it, so that a test can act while the folder is held. The shipped
// installer has none of this.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const char* pause_file = nullptr;

void pause_while_held(DATABASE*, bool held) {
  if (!held) return;
  FILE* file = std::fopen(pause_file, "wb");
  if (!file) return;
#ifdef _WIN32
  std::fprintf(file, "%lu\n", (unsigned long)GetCurrentProcessId());
#else
  std::fprintf(file, "%ld\n", (long)getpid());
#endif
  std::fclose(file);
  // At most a minute: a test that failed to go on does not leave the run behind.
  for (int wait = 0; wait < 6000 && std::filesystem::exists(pause_file); wait++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

struct HOLD_PAUSE {
  HOLD_PAUSE() {
    pause_file = std::getenv("VELK_HOLD_PAUSE_FILE");
    if (pause_file && pause_file[0]) set_hold_seam(pause_while_held);
  }
} hold_pause;

}  // namespace
