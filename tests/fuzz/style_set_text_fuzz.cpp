// Fuzz target of the style-set text form: the input is written as a settings file into a private
// folder, read with WM_STYLE_SET::read_text (with a font callback) and, when it reads, written back.
#include <cstddef>
#include <cstring>

#include "config_file.h"
#include "fuzz_support.h"
#include "style_set.h"

namespace {

int font_for(const char* name, void*) {
  return (int)std::strlen(name) - 3;
}

const char* name_for(int id, void*) {
  return id >= 0 ? "DejaVu Sans" : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  FOLDER folder = *fuzz_work_folder("style-set-text");
  fuzz_write_file(&folder, "style.ss", data, size);

  CONFIG_FILE settings;
  settings.init("style.ss", false);
  WM_STYLE_SET style;
  if (style.read_text(&settings, font_for, nullptr, &folder)) {
    CONFIG_FILE out;
    out.init("back.ss", true);
    style.write_text(&out, name_for, nullptr, &folder);
  }
  return 0;
}
