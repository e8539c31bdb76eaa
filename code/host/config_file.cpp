// Settings files: reading identifier/value entries through TEXT_FILE, the sorted cache, and rewriting
// the file without ever losing it: the new file is written beside it and only then takes its place,
// the old one set aside as "<name>.tmp" meanwhile and put back when anything fails.
#include "config_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "errors.h"
#include "files.h"
#include "text_file.h"

static const char* const SOURCE_NAME = "code/config_file";

// Sets the data error and reports it to the "VELK Platform" stream when that has an output on.
static void report(INT_U16 code, const char* argument, INT_S32 line) {
  set_error(code, argument);
  log_data_error(nullptr, SOURCE_NAME, line);
}
#define REPORT(code, argument) report((code), (argument), __LINE__)

void free_config_entry(void* entry) { free(entry); }

INT_S32 compare_config_entry_ids(const void* a, const void* b, void*) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(static_cast<const CONFIG_ENTRY*>(a)->id);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(static_cast<const CONFIG_ENTRY*>(b)->id);
  while (*x && *x == *y) x++, y++;
  return static_cast<INT_S16>(*x - *y);
}

INT_S32 compare_config_entry_order(const void* a, const void* b, void*) {
  INT_U16 x = static_cast<const CONFIG_ENTRY*>(a)->sequence, y = static_cast<const CONFIG_ENTRY*>(b)->sequence;
  return x < y ? -1 : x > y ? 1 : 0;
}

// Sorts the cache by identifier; entries of one identifier keep their order among themselves (file
// order once loaded, sequence order once written), so that a lookup can take the first of them, as an
// uncached lookup does.
static void sort_by_id(PTRARRAY* cache) {
  if (cache->count < 2) return;
  std::stable_sort(cache->items, cache->items + cache->count,
                   [](void* a, void* b) { return compare_config_entry_ids(a, b, nullptr) < 0; });
}

CONFIG_FILE::CONFIG_FILE() { init(nullptr, false); }

CONFIG_FILE::~CONFIG_FILE() { cache.clear(); }

void CONFIG_FILE::init(const char* name, bool cache_entries) {
  snprintf(file_name, sizeof file_name, "%s", name ? name : "settings");
  cached = cache_entries ? 1 : 0;
  cache.delete_callback = free_config_entry;
  cache.remove_all();
}

bool CONFIG_FILE::can_open(FOLDER* folder) {
  TEXT_FILE* file = open_text_file(folder, file_name, TEXT_FILE_READ, false);
  if (!file) return false;
  close_text_file(&file);
  return true;
}

static bool is_blank(INT_S32 c) { return c == ' ' || c == '\t'; }

// Drops the rest of a physical line that was longer than the line buffer.
static void skip_rest_of_line(TEXT_FILE* file) {
  while (!file->line_whole) {
    std::vector<char> rest(static_cast<size_t>(file->line_size));
    if (!file->read_line(rest.data())) break;
  }
}

bool CONFIG_FILE::read_entry(TEXT_FILE* file, CONFIG_ENTRY* entry, TEXT_FILE* copy) {
  if (!file || !entry || !file->stream) return false;
  INT_S16 size = file->line_size > 1 ? file->line_size : 256;
  file->line_size = size;
  std::vector<char> line(static_cast<size_t>(size));
  for (;;) {
    if (!file->read_line(line.data())) return false;
    if (line[0] && line[0] != '#') break;
    // A comment (or empty line), every piece of it when it is longer than the buffer.
    for (;;) {
      if (copy) copy->write_text(line.data());
      if (file->line_whole || !file->read_line(line.data())) break;
    }
    if (copy) copy->write_text("\n");
  }
  const char* id = line.data();
  while (is_blank(*id)) id++;
  snprintf(entry->id, sizeof entry->id, "%s", id);
  skip_rest_of_line(file);
  entry->value[0] = 0;

  // The value line: blanks skipped; a line end so reached ends the entry with an empty value.
  INT_S32 c;
  do c = file->read_folded();
  while (is_blank(c));
  if (c < 0) {
    REPORT(DATA_ERROR_CONFIG_EARLY_END, nullptr);
    return false;
  }
  if (c == 10) return true;
  // The first character goes back to the reader, so that a character above 0xFF keeps its run form.
  file->pending = c;
  if (!file->read_line(line.data())) return true;
  snprintf(entry->value, sizeof entry->value, "%s", line.data());
  skip_rest_of_line(file);
  return true;
}

bool CONFIG_FILE::load_cache(FOLDER* folder, bool report_missing) {
  cache.remove_all();
  TEXT_FILE* file = open_text_file(folder, file_name, TEXT_FILE_READ, false);
  if (!file) {
    if (!report_missing) return true;
    REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
    return false;
  }
  for (;;) {
    CONFIG_ENTRY* entry = static_cast<CONFIG_ENTRY*>(calloc(1, sizeof(CONFIG_ENTRY)));
    if (!entry) {
      close_text_file(&file);
      REPORT(DATA_ERROR_CONFIG_MEMORY, nullptr);
      return false;
    }
    if (!read_entry(file, entry, nullptr)) {
      free(entry);
      break;
    }
    entry->sequence = static_cast<INT_U16>(cache.count);
    if (!cache.add(entry)) {
      free(entry);
      close_text_file(&file);
      REPORT(DATA_ERROR_CONFIG_MEMORY, nullptr);
      return false;
    }
  }
  close_text_file(&file);
  sort_by_id(&cache);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Rewriting without losing the file
// ---------------------------------------------------------------------------------------------------

// A rewrite writes "<name>.new" beside the file, then sets the file aside as "<name>.tmp", puts the new
// file in its place and drops the old one. Whatever step is interrupted, the settings survive: a
// ".tmp" found beside the file is an old copy (the new file was complete), and one found while the
// file is missing is the only copy.
struct REWRITE {
  char name[256];
  char temporary[260];
  char fresh[260];
};

// Tidies what an interrupted rewrite left; false (data error) when that cannot be done.
static bool begin_rewrite(FOLDER* folder, const char* name, REWRITE* rewrite) {
  snprintf(rewrite->name, sizeof rewrite->name, "%s", name);
  snprintf(rewrite->temporary, sizeof rewrite->temporary, "%s%s", name, ".tmp");
  snprintf(rewrite->fresh, sizeof rewrite->fresh, "%s%s", name, ".new");
  if (file_exists(folder, rewrite->temporary)) {
    bool tidied = file_exists(folder, name) ? delete_file(folder, rewrite->temporary)
                                            : rename_file(folder, rewrite->temporary, folder, name);
    if (!tidied) {
      REPORT(DATA_ERROR_CONFIG_OPEN, name);
      return false;
    }
  }
  if (file_exists(folder, rewrite->fresh) && !delete_file(folder, rewrite->fresh)) {
    REPORT(DATA_ERROR_CONFIG_OPEN, name);
    return false;
  }
  return true;
}

// Closes a file that was written; false when any write or the final flush failed.
static bool close_written(TEXT_FILE** file) {
  bool open = *file && (*file)->stream;
  return close_text_file(file) && open;
}

// Puts the written file in place of the old one. On any failure the new file is removed, the old one
// stays (or is put back) and the result is false with a data error.
static bool commit_rewrite(FOLDER* folder, REWRITE* rewrite, bool written) {
  if (!written) {
    delete_file(folder, rewrite->fresh);
    REPORT(DATA_ERROR_WRITE, rewrite->name);
    return false;
  }
  bool had_old = file_exists(folder, rewrite->name);
  if (had_old && !rename_file(folder, rewrite->name, folder, rewrite->temporary)) {
    delete_file(folder, rewrite->fresh);
    REPORT(DATA_ERROR_CONFIG_OPEN, rewrite->name);
    return false;
  }
  if (!rename_file(folder, rewrite->fresh, folder, rewrite->name)) {
    if (had_old) rename_file(folder, rewrite->temporary, folder, rewrite->name);
    delete_file(folder, rewrite->fresh);
    REPORT(DATA_ERROR_WRITE, rewrite->name);
    return false;
  }
  if (had_old) delete_file(folder, rewrite->temporary);
  return true;
}

static bool write_entry(TEXT_FILE* file, const char* id, const char* value) {
  return file->write_text(id) && file->write_text("\n\t") && file->write_text(value) && file->write_text("\n");
}

bool CONFIG_FILE::write_cache(FOLDER* folder) {
  REWRITE rewrite;
  if (!begin_rewrite(folder, file_name, &rewrite)) return false;
  TEXT_FILE* file = open_text_file(folder, rewrite.fresh, TEXT_FILE_WRITE, false);
  if (!file) {
    REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
    return false;
  }
  cache.sort(compare_config_entry_order, nullptr);
  bool ok = true;
  for (INT_S32 i = 0; i < cache.count && ok; i++) {
    CONFIG_ENTRY* entry = static_cast<CONFIG_ENTRY*>(cache.items[i]);
    ok = write_entry(file, entry->id, entry->value);
  }
  sort_by_id(&cache);
  ok = close_written(&file) && ok;
  return commit_rewrite(folder, &rewrite, ok);
}

// ---------------------------------------------------------------------------------------------------
// Lookups and changes
// ---------------------------------------------------------------------------------------------------

// The cache stays sorted by identifier (loading, writing and adding an entry sort it), so a lookup is
// one binary search; of several entries with the identifier it finds the first.
static CONFIG_ENTRY* find_cached(PTRARRAY* cache, const char* id) {
  CONFIG_ENTRY key;
  snprintf(key.id, sizeof key.id, "%s", id);
  void** end = cache->items + cache->count;
  void** found = std::lower_bound(cache->items, end, static_cast<void*>(&key), [](void* item, void* wanted) {
    return compare_config_entry_ids(item, wanted, nullptr) < 0;
  });
  if (found == end || compare_config_entry_ids(*found, &key, nullptr) != 0) return nullptr;
  return static_cast<CONFIG_ENTRY*>(*found);
}

bool CONFIG_FILE::get_string(FOLDER* folder, const char* id, char* value) {
  if (!id || !*id || !value) {
    REPORT(DATA_ERROR_CONFIG_BAD_ID, nullptr);
    return false;
  }
  set_error(DATA_ERROR_NONE, "");
  if (cached) {
    if (cache.count == 0 && !load_cache(folder, true)) return false;
    CONFIG_ENTRY* entry = find_cached(&cache, id);
    if (!entry) {
      REPORT(DATA_ERROR_CONFIG_ENTRY_NOT_FOUND, id);
      return false;
    }
    memcpy(value, entry->value, sizeof entry->value);
    return true;
  }
  TEXT_FILE* file = open_text_file(folder, file_name, TEXT_FILE_READ, false);
  if (!file) {
    REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
    return false;
  }
  CONFIG_ENTRY entry;
  CONFIG_ENTRY key;
  snprintf(key.id, sizeof key.id, "%s", id);
  bool found = false;
  while (read_entry(file, &entry, nullptr)) {
    if (strcmp(entry.id, key.id) == 0) {
      memcpy(value, entry.value, sizeof entry.value);
      found = true;
      break;
    }
  }
  close_text_file(&file);
  if (found) return true;
  if (get_error_code() != DATA_ERROR_NONE) return false;
  REPORT(DATA_ERROR_CONFIG_ENTRY_NOT_FOUND, id);
  return false;
}

bool CONFIG_FILE::get_int(FOLDER* folder, const char* id, INT_S32* value, bool hex) {
  char text[256];
  if (!get_string(folder, id, text)) return false;
  if (!value) return true;
  if (hex) {
    unsigned int number;
    if (sscanf(text, "%X", &number) == 1) *value = static_cast<INT_S32>(number);
  } else {
    int number;
    if (sscanf(text, "%d", &number) == 1) *value = number;
  }
  return true;
}

bool CONFIG_FILE::set_string(FOLDER* folder, const char* id, const char* value) {
  if (!id || !*id) {
    REPORT(DATA_ERROR_CONFIG_BAD_ID, nullptr);
    return false;
  }
  set_error(DATA_ERROR_NONE, "");
  if (!value) value = "";
  CONFIG_ENTRY wanted;
  snprintf(wanted.id, sizeof wanted.id, "%s", id);
  snprintf(wanted.value, sizeof wanted.value, "%s", value);

  if (cached) {
    if (cache.count == 0 && !load_cache(folder, false)) return false;
    CONFIG_ENTRY* entry = find_cached(&cache, wanted.id);
    if (entry) {
      memcpy(entry->value, wanted.value, sizeof wanted.value);
    } else {
      entry = static_cast<CONFIG_ENTRY*>(calloc(1, sizeof(CONFIG_ENTRY)));
      if (!entry) {
        REPORT(DATA_ERROR_CONFIG_MEMORY, nullptr);
        return false;
      }
      memcpy(entry->id, wanted.id, sizeof wanted.id);
      memcpy(entry->value, wanted.value, sizeof wanted.value);
      entry->sequence = static_cast<INT_U16>(cache.count);
      if (!cache.add(entry)) {
        free(entry);
        REPORT(DATA_ERROR_CONFIG_MEMORY, nullptr);
        return false;
      }
      // In its place at once: a write that fails must not leave it hiding others from lookups.
      sort_by_id(&cache);
    }
    return write_cache(folder);
  }

  // Uncached: the file is copied into the new one entry by entry, comments in place.
  REWRITE rewrite;
  if (!begin_rewrite(folder, file_name, &rewrite)) return false;
  TEXT_FILE* input = nullptr;
  if (file_exists(folder, file_name)) {
    input = open_text_file(folder, file_name, TEXT_FILE_READ, false);
    if (!input) {
      REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
      return false;
    }
  }
  TEXT_FILE* output = open_text_file(folder, rewrite.fresh, TEXT_FILE_WRITE, false);
  if (!output) {
    close_text_file(&input);
    REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
    return false;
  }
  bool ok = true;
  bool found = false;
  if (input) {
    CONFIG_ENTRY entry;
    for (;;) {
      entry.id[0] = 0;
      set_error(DATA_ERROR_NONE, "");
      if (!read_entry(input, &entry, output)) {
        // An identifier at the very end without its value line is kept, with an empty value, so that
        // what follows it cannot be taken for its value.
        if (get_error_code() == DATA_ERROR_CONFIG_EARLY_END && entry.id[0]) {
          bool match = strcmp(entry.id, wanted.id) == 0;
          found = found || match;
          ok = write_entry(output, entry.id, match ? wanted.value : "") && ok;
        }
        break;
      }
      bool match = strcmp(entry.id, wanted.id) == 0;
      found = found || match;
      ok = write_entry(output, entry.id, match ? wanted.value : entry.value) && ok;
    }
    close_text_file(&input);
  }
  if (!found) ok = write_entry(output, wanted.id, wanted.value) && ok;
  ok = close_written(&output) && ok;
  return commit_rewrite(folder, &rewrite, ok);
}

bool CONFIG_FILE::set_int(FOLDER* folder, const char* id, INT_S32 value, bool hex) {
  char text[256];
  if (hex)
    snprintf(text, sizeof text, "%X", static_cast<unsigned int>(value));
  else
    snprintf(text, sizeof text, "%d", static_cast<int>(value));
  return set_string(folder, id, text);
}

void CONFIG_FILE::read_all(FOLDER* folder, CONFIG_CALLBACK callback, void* user) {
  if (!callback) {
    REPORT(DATA_ERROR_CONFIG_NO_CALLBACK, nullptr);
    return;
  }
  set_error(DATA_ERROR_NONE, "");
  if (cached) {
    if (cache.count == 0 && !load_cache(folder, true)) return;
    for (INT_S32 i = 0; i < cache.count; i++) {
      CONFIG_ENTRY* entry = static_cast<CONFIG_ENTRY*>(cache.items[i]);
      callback(entry->id, entry->value, user);
    }
    return;
  }
  TEXT_FILE* file = open_text_file(folder, file_name, TEXT_FILE_READ, false);
  if (!file) {
    REPORT(DATA_ERROR_CONFIG_OPEN, file_name);
    return;
  }
  CONFIG_ENTRY entry;
  while (read_entry(file, &entry, nullptr)) callback(entry.id, entry.value, user);
  close_text_file(&file);
}
