// Built only into the programs that real-window scenarios start (the test programs and the scenario
// build of the installer): when the environment names a pass-count file, the program writes there how
// many passes of its frame loop it has completed, so that the scenario sends each input only once the
// program has taken the one before. The shipped installer has none of this.
#include <cstdio>
#include <cstdlib>

#include "host_test_seam.h"
#include "pass_count.h"

namespace {

FILE* pass_file = nullptr;
unsigned long passes = 0;

void count_pass() {
  // The count only grows, so writing it over the last one never leaves a shorter number behind.
  std::rewind(pass_file);
  std::fprintf(pass_file, "%lu\n", ++passes);
  std::fflush(pass_file);
}

// Set up before the program's entry runs; the file is closed when the process ends.
struct PASS_COUNT_FILE {
  PASS_COUNT_FILE() {
    const char* name = std::getenv(PASS_COUNT_VARIABLE);
    if (!name || !name[0]) return;
    pass_file = std::fopen(name, "wb");
    if (pass_file) test_seam_on_pass(count_pass);
  }
  ~PASS_COUNT_FILE() {
    if (pass_file) std::fclose(pass_file);
  }
} pass_count_file;

}  // namespace
