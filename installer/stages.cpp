// Installer state kept beside the package: the index file "installer.idx" that holds a whole database
// in the data folder, and the command line's file names split into an existing folder and a name.
#include "database.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "data_file.h"
#include "engine.h"

static const char* const INDEX_FILE_NAME = "installer.idx";

bool DATABASE::load_index() {
  DATA_FILE* file = open_data_file(&data_folder, INDEX_FILE_NAME, FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  if (!file) return false;
  bool read = get_from_data_device(file);
  if (!read) file->failed = 1;
  close_data_file(&file);
  return read;
}

bool DATABASE::save_index() {
  DATA_FILE* file = open_data_file(&data_folder, INDEX_FILE_NAME, FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  if (!file) return false;
  bool written = put_to_data_device(file);
  if (!written) file->failed = 1;
  bool closed = close_data_file(&file);
  return written && closed;
}

bool set_known_folder(FOLDER* folder, const char* text, bool create, FOLDER* here) {
  return is_known_path_text(text) && folder->set(text, create, here);
}

bool set_folder_and_name(const char* argument, FOLDER* folder, char* name, FOLDER* here) {
  if (!argument || !folder || !name) return false;
  std::string text = argument[0] == '$' ? std::string(argument) : std::string("$HERE/") + argument;
  size_t slash = text.find_last_of('/');
  std::string folder_text = slash == std::string::npos ? std::string("$HERE") : text.substr(0, slash);
  std::string file_name = slash == std::string::npos ? text : text.substr(slash + 1);
  // A bare variable ("$TEMP") names a folder and no file.
  if (file_name.empty() || file_name[0] == '$' || file_name.size() > 255) return false;
  FOLDER candidate(*folder);
  if (!set_known_folder(&candidate, folder_text.c_str(), false, here)) return false;
  *folder = candidate;
  std::strcpy(name, file_name.c_str());
  return true;
}

std::string format_text(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize((size_t)length + 1);
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize((size_t)length);
  }
  va_end(arguments);
  return text;
}
