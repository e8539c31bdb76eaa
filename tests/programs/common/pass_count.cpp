// Built only into the programs that real-window scenarios start (the test programs and the scenario
// build of the installer): when the environment names a pass-count file, the program writes there how
// many passes of its frame loop it has completed, so that the scenario sends each input only once the
// program has taken the one before. When it names a hold file, the program holds still at the end of the
// first pass after which the file that the hold names has the lines asked for, so that a scenario takes
// its next step at that point of the program's work however fast or slowly the program runs. The
// shipped installer has none of this.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host.h"
#include "host_test_seam.h"
#include "pass_count.h"

namespace {

FILE* pass_file = nullptr;
unsigned long passes = 0;
std::string hold_name;

// The lines of the file so far (0 when it cannot be read).
unsigned long lines_of(const char* name) {
  FILE* file = std::fopen(name, "rb");
  if (!file) return 0;
  unsigned long lines = 0;
  char buffer[65536];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    for (size_t i = 0; i < got; i++) lines += buffer[i] == '\n';
  std::fclose(file);
  return lines;
}

// A hold asked ("LINES NAME" in the hold file) whose file has its lines: the program says so in the
// file "<hold file>.held" (the lines it saw) and takes the hold back, then stands still until the
// scenario removes that file.
void hold_when_asked() {
  FILE* asked = std::fopen(hold_name.c_str(), "rb");
  if (!asked) return;
  char text[4096] = "";
  size_t got = std::fread(text, 1, sizeof text - 1, asked);
  std::fclose(asked);
  text[got] = 0;
  char* name = nullptr;
  unsigned long wanted = std::strtoul(text, &name, 10);
  if (name == text || *name != ' ') return;
  name++;
  name[std::strcspn(name, "\n")] = 0;
  unsigned long lines = lines_of(name);
  if (lines < wanted) return;
  std::string held = hold_name + ".held", part = held + ".part";
  FILE* said = std::fopen(part.c_str(), "wb");
  if (!said) return;
  std::fprintf(said, "%lu\n", lines);
  std::fclose(said);
  std::remove(hold_name.c_str());
  std::remove(held.c_str());
  if (std::rename(part.c_str(), held.c_str()) != 0) return;
  for (FILE* still; (still = std::fopen(held.c_str(), "rb")) != nullptr;) {
    std::fclose(still);
    sleep_milliseconds(5);
  }
}

void after_pass() {
  if (pass_file) {
    // The count only grows, so writing it over the last one never leaves a shorter number behind.
    std::rewind(pass_file);
    std::fprintf(pass_file, "%lu\n", ++passes);
    std::fflush(pass_file);
  }
  if (!hold_name.empty()) hold_when_asked();
}

// Set up before the program's entry runs; the file is closed when the process ends.
struct PASS_COUNT_FILE {
  PASS_COUNT_FILE() {
    const char* name = std::getenv(PASS_COUNT_VARIABLE);
    if (name && name[0]) pass_file = std::fopen(name, "wb");
    const char* hold = std::getenv(HOLD_VARIABLE);
    if (hold && hold[0]) hold_name = hold;
    if (pass_file || !hold_name.empty()) test_seam_on_pass(after_pass);
  }
  ~PASS_COUNT_FILE() {
    if (pass_file) std::fclose(pass_file);
  }
} pass_count_file;

}  // namespace
