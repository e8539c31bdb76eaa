// Settings files: text files of identifier lines each followed by a value line, read and written entry
// by entry, or through a cache of all entries sorted by identifier. Failures set the data layer's last
// error (and are reported to the "VELK Platform" debug stream when it has an output on).
#pragma once
#include "types.h"
#include "folder.h"
#include "ptrarray.h"

class TEXT_FILE;

// One entry of a settings file.
struct CONFIG_ENTRY {
  INT_U16 sequence;  // position in the file, counted from 0 in reading order
  char id[80];       // identifier, at most 79 bytes
  char value[256];   // value, at most 255 bytes
};

// Called for every entry by read_all; the result is not used.
typedef INT_S32 (*CONFIG_CALLBACK)(const char* id, const char* value, void* user);

class CONFIG_FILE {
public:
  char file_name[256];  // the file's name in the folder given to each operation; "settings" by default
  PTRARRAY cache;       // CONFIG_ENTRY records, owned (freed with free_config_entry)
  INT_U8 cached = 0;    // lookups and changes go through the cache

  CONFIG_FILE();
  ~CONFIG_FILE();
  CONFIG_FILE(const CONFIG_FILE&) = delete;
  CONFIG_FILE& operator=(const CONFIG_FILE&) = delete;

  // Sets the name (null: "settings") and the cached flag, and empties the cache.
  void init(const char* name, bool cached);
  // The file opens for reading in the folder.
  bool can_open(FOLDER* folder);
  // Reads the next entry; comments and empty lines met on the way go to copy when given. False at the
  // end (no error) or on an error (warning 0x101).
  bool read_entry(TEXT_FILE* file, CONFIG_ENTRY* entry, TEXT_FILE* copy);
  // Reads every entry into the cache; a missing file is an empty one unless report_missing.
  bool load_cache(FOLDER* folder, bool report_missing);
  // Rewrites the file from the cache, in file order; comments are not kept.
  bool write_cache(FOLDER* folder);
  // value (256 bytes) = the entry's value; false with warning 0x100 when it is absent.
  bool get_string(FOLDER* folder, const char* id, char* value);
  // get_string, then the value read as "%X" (hex) or "%d"; value untouched when the entry is absent.
  bool get_int(FOLDER* folder, const char* id, INT_S32* value, bool hex);
  // Sets the entry (every entry of that identifier), adding it when absent; null value = empty.
  bool set_string(FOLDER* folder, const char* id, const char* value);
  bool set_int(FOLDER* folder, const char* id, INT_S32 value, bool hex);
  // Calls callback(id, value, user) for every entry (identifier order when cached, file order else).
  void read_all(FOLDER* folder, CONFIG_CALLBACK callback, void* user);
};

void free_config_entry(void* entry);
// Byte-wise order of the identifiers, cut to a signed 16-bit number.
INT_S32 compare_config_entry_ids(const void* a, const void* b, void* user);
// -1, 0 or 1 on the sequence numbers.
INT_S32 compare_config_entry_order(const void* a, const void* b, void* user);
