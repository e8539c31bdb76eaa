// Package entries opened as data or text files: the entry is copied out to a temporary file in "$TEMP",
// worked on there, and stored back into the package when the file is closed (unless opened for reading).
#include "package.h"

#include <cstdio>
#include <cstring>

#include "errors.h"
#include "files.h"

namespace {

// The common opening steps: the temporary folder and name, and the copy of the entry when it exists.
// False (nothing left in "$TEMP") when any of them fails.
bool make_copy(PACKAGE* package, const char* entry_name, FOLDER* folder, char* temporary_name, char* stored_name,
               bool reading) {
  if (!package || !entry_name || std::strlen(entry_name) > 255) return false;
  std::strcpy(stored_name, entry_name);
  if (!folder->set("$TEMP")) return false;
  // The copy's name is one this open creates (empty for now), never one that someone else made.
  DATA_FILE* created = create_unique_data_file(folder, temporary_name, 256, ".tmp", 0);
  if (!created) return false;
  if (!close_data_file(&created)) {
    delete_file(folder, temporary_name);
    return false;
  }
  // A damaged package must not look like a missing entry: that would store an empty entry back.
  set_error(0, nullptr);
  PACKAGE_ENTRY entry;
  if (!package->find_entry(entry_name, &entry)) {
    // A missing entry has no copy: reading it fails, writing starts from the empty file.
    if (get_error_code() == 0 && !reading) return true;
    delete_file(folder, temporary_name);
    return false;
  }
  if (!package->extract_entry(folder, temporary_name, entry_name)) {
    delete_file(folder, temporary_name);
    return false;
  }
  return true;
}

// Stores the closed copy back into the package and deletes it; a copy that cannot be stored back stays
// where it is, with the data error saying why.
void store_copy(PACKAGE* package, FOLDER* folder, const char* temporary_name, const char* entry_name, bool read_only,
                bool copy_complete) {
  if (package && !read_only) {
    if (!copy_complete) {
      set_error(0x1008, temporary_name);
      return;
    }
    if (!package->add_file(folder, temporary_name, entry_name, true)) {
      if (package->read_only) set_error(0x1005, package->package_name);
      return;
    }
  }
  delete_file(folder, temporary_name);
}

}  // namespace

PACKAGE_DATA_FILE::PACKAGE_DATA_FILE() : DATA_FILE(-1) {
  temporary_name[0] = 0;
  entry_name[0] = 0;
}

PACKAGE_DATA_FILE::~PACKAGE_DATA_FILE() {
  if (store_back) store_copy(package, &temporary_folder, temporary_name, entry_name, read_only != 0, write_failed == 0);
}

PACKAGE_DATA_FILE* open_package_file(PACKAGE* package, const char* entry_name, FILE_MODE mode, INT_U8 order) {
  PACKAGE_DATA_FILE* file = new PACKAGE_DATA_FILE;
  file->package = package;
  file->read_only = mode == FILE_MODE_READ ? 1 : 0;
  if (!make_copy(package, entry_name, &file->temporary_folder, file->temporary_name, file->entry_name,
                 mode == FILE_MODE_READ)) {
    delete file;
    return nullptr;
  }
  if (!file->open(&file->temporary_folder, file->temporary_name, mode, order, file, false)) {
    delete_file(&file->temporary_folder, file->temporary_name);
    delete file;
    return nullptr;
  }
  file->store_back = 1;
  return file;
}

void close_package_file(PACKAGE_DATA_FILE** file) {
  if (!file || !*file) return;
  DATA_FILE* data = *file;
  close_data_file(&data);
  *file = nullptr;
}

PACKAGE_TEXT_FILE::PACKAGE_TEXT_FILE() {
  temporary_name[0] = 0;
  entry_name[0] = 0;
}

PACKAGE_TEXT_FILE* open_package_text_file(PACKAGE* package, const char* entry_name, FILE_MODE mode, bool unicode) {
  PACKAGE_TEXT_FILE* file = new PACKAGE_TEXT_FILE;
  file->package = package;
  file->read_only = mode == FILE_MODE_READ ? 1 : 0;
  if (!make_copy(package, entry_name, &file->temporary_folder, file->temporary_name, file->entry_name,
                 mode == FILE_MODE_READ)) {
    delete file;
    return nullptr;
  }
  if (!TEXT_FILE::open(&file->temporary_folder, file->temporary_name, mode, unicode, file)) {
    delete_file(&file->temporary_folder, file->temporary_name);
    delete file;
    return nullptr;
  }
  return file;
}

void close_package_text_file(PACKAGE_TEXT_FILE** file) {
  if (!file || !*file) return;
  PACKAGE_TEXT_FILE* text = *file;
  bool complete = true;
  if (text->stream) {
    complete = close_file(text->stream);
    text->stream = nullptr;
  }
  store_copy(text->package, &text->temporary_folder, text->temporary_name, text->entry_name, text->read_only != 0,
             complete);
  delete text;
  *file = nullptr;
}
