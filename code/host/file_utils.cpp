// File and folder utilities over the host layer's scans and file operations: folder listings, emptying a
// folder, free names for temporary files, scan name matching and the display form of file times.
#include "file_utils.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "files_host.h"
#include "host.h"
#include "velk_string.h"

// Case-folding helpers for the scan's match modes.
static bool same_no_case(const char* a, const char* b, size_t count) {
  for (size_t i = 0; i < count; i++)
    if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool scan_name_matches(const char* name, const char* pattern, INT_U32 match_mode) {
  size_t name_length = strlen(name), pattern_length = strlen(pattern);
  switch (match_mode) {
    case SCAN_BEGINS_WITH:
      return strncmp(name, pattern, pattern_length) == 0;
    case SCAN_BEGINS_WITH_NO_CASE:
      return pattern_length <= name_length && same_no_case(name, pattern, pattern_length);
    case SCAN_CONTAINS:
      return strstr(name, pattern) != nullptr;
    case SCAN_CONTAINS_NO_CASE:
      return pattern_length == 0 || string_find_no_case(name, pattern) != nullptr;
    case SCAN_EQUALS:
      return strcmp(name, pattern) == 0;
    case SCAN_EQUALS_NO_CASE:
      return name_length == pattern_length && same_no_case(name, pattern, name_length);
    case SCAN_ENDS_WITH_NO_CASE:
      return pattern_length <= name_length && same_no_case(name + name_length - pattern_length, pattern, pattern_length);
    default:
      return pattern_length <= name_length && strcmp(name + name_length - pattern_length, pattern) == 0;
  }
}

void list_directory(FOLDER* folder, bool folders, bool include_hidden, bool append,
                    DIRECTORY_ENTRY** entries, INT_S32* count, const char* pattern, INT_S32 match_mode,
                    INT_S32 first_allocation, INT_S32 grow_step) {
  if (!entries || !count) return;
  if (!append) {
    *entries = nullptr;
    *count = 0;
  }
  if (!*entries) *count = 0;
  INT_S32 capacity = *count;  // an appended listing grows at its first new entry
  if (first_allocation < 1) first_allocation = 1;
  if (grow_step < 1) grow_step = 1;
  if (!folder) return;
  DIRECTORY_SCAN* scan = open_directory_scan(folder, pattern, include_hidden ? 1 : 0,
                                             static_cast<INT_U32>(match_mode), 0);
  if (!scan) return;
  SCAN_ENTRY found;
  while (read_directory_scan(scan, &found)) {
    if ((found.is_folder != 0) != folders) continue;
    if (*count >= capacity) {
      // The array grows by at least as much as it holds, so that a large listing costs linear time.
      INT_S32 step = grow_step > *count ? grow_step : *count;
      if (step > 0x7FFFFFFF - *count) step = 0x7FFFFFFF - *count;
      if (step < 1) break;
      INT_S32 wanted = *count == 0 ? first_allocation : *count + step;
      // The records are plain data apart from the folder's table pointer, which is the same for every
      // FOLDER, so moving them bytewise is sound.
      void* grown = realloc(static_cast<void*>(*entries), static_cast<size_t>(wanted) * sizeof(DIRECTORY_ENTRY));
      if (!grown) break;
      *entries = static_cast<DIRECTORY_ENTRY*>(grown);
      capacity = wanted;
    }
    DIRECTORY_ENTRY* entry = *entries + *count;
    new (&entry->folder) FOLDER(*folder);
    strncpy(entry->name, found.name, 255);
    entry->name[255] = 0;
    entry->is_folder = folders ? 1 : 0;
    entry->hidden_or_system = found.hidden_or_system;
    entry->read_only = (found.mode & FILE_INFO_WRITABLE) ? 0 : 1;
    entry->size = found.size;
    entry->modified = found.time;
    (*count)++;
  }
  close_directory_scan(scan);
}

void free_directory_list(DIRECTORY_ENTRY** entries) {
  if (!entries || !*entries) return;
  free(static_cast<void*>(*entries));
  *entries = nullptr;
}

bool empty_folder(FOLDER* folder, const char* inner_name) {
  if (!folder) return false;
  FOLDER work(*folder);
  // Emptying never follows a link: what a link points to is not this folder's to empty.
  if (inner_name && (is_link(folder, inner_name) || !work.enter(inner_name, false))) return false;
  // The names are kept whole: a listing's entries cut them to 255 bytes, which the system's text of a
  // name beyond Latin-1 passes long before the file system's limit.
  std::vector<std::string> folders, files;
  DIRECTORY_SCAN* scan = open_directory_scan(&work, nullptr, 1, 0, 0);
  SCAN_ENTRY entry;
  while (scan && read_directory_scan(scan, &entry)) (entry.is_folder ? folders : files).push_back(entry.name);
  close_directory_scan(scan);
  for (const std::string& name : folders) remove_folder(&work, name.c_str(), 1);
  for (const std::string& name : files) delete_file(&work, name.c_str());
  return true;
}

bool FOLDER::make_unique_name(char* out, INT_S16 size, const char* suffix) {
  if (!out || !suffix || static_cast<INT_S32>(strlen(suffix)) + 9 > size) return false;
  INT_U32 n = get_tick_count();
  for (;;) {
    snprintf(out, static_cast<size_t>(size), "%08X%s", static_cast<unsigned>(n), suffix);
    // A name is free when nothing of that name exists: no file (readable or not) and no sub-folder.
    if (!file_exists(this, out)) return true;
    n++;
  }
}

const char* format_file_time(const FILE_INFO* info) {
  static char text[64];
  text[0] = 0;
  if (info && !host_local_time_text(info->time, text, sizeof text)) text[0] = 0;
  return text;
}
