// Fuzz target of the style-set text form: the input is written as a settings file into a private
// folder, read with WM_STYLE_SET::read_text (with a font callback) and, when it reads, written back.
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "config_file.h"
#include "folder.h"
#include "style_set.h"

namespace {

int font_for(const char* name, void*) {
  return (int)std::strlen(name) - 3;
}

const char* name_for(int id, void*) {
  return id >= 0 ? "DejaVu Sans" : nullptr;
}

std::string path;

void remove_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  if (path.empty()) {
    path = (std::filesystem::temp_directory_path() / ("style_set_text_fuzz-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(path);
    std::atexit(remove_folder);
  }
  FILE* file = std::fopen((path + "/style.ss").c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  FOLDER folder;
  std::strcpy(folder.path, path.c_str());
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
