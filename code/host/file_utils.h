// File and folder utilities shared by the library: folder listings into arrays of records, emptying a
// folder, the name matching of directory scans and the display form of a file's time.
#pragma once
#include "types.h"
#include "files.h"

// One record of a folder listing. Arrays of them are one block of raw memory, grown by reallocation.
struct DIRECTORY_ENTRY {
  FOLDER folder;           // the listed folder
  char name[256];          // the entry's name, cut to 255 characters
  INT_U8 is_folder;        // 1 for a sub-folder (always the kind that was asked for)
  INT_U8 hidden_or_system; // non-zero for a hidden or system entry
  INT_U8 read_only;        // 1 when the entry is not writable
  INT_U32 size;            // size in bytes (low 32 bits)
  INT_S64 modified;        // modification time, seconds since 1970-01-01 00:00 UTC (negative before)
};

// Lists the folder's files (folders false) or sub-folders (folders true) into the caller's array.
// Without append the array starts empty (pointer null, count 0). The array first takes
// first_allocation records, then grows by grow_step; a failed growth keeps what was gathered.
void list_directory(FOLDER* folder, bool folders, bool include_hidden, bool append,
                    DIRECTORY_ENTRY** entries, INT_S32* count, const char* pattern, INT_S32 match_mode,
                    INT_S32 first_allocation, INT_S32 grow_step);
// Frees the array and clears the caller's pointer.
void free_directory_list(DIRECTORY_ENTRY** entries);

// Removes everything inside the folder, or inside its sub-folder inner_name; false when that sub-folder
// does not exist. Entries that cannot be removed are passed over; the folder itself stays.
bool empty_folder(FOLDER* folder, const char* inner_name);

// The time of info as ctime gives it without the final line feed (static buffer); empty when the time
// cannot be converted.
const char* format_file_time(const FILE_INFO* info);

// Whether a scanned name matches the pattern by the match mode (SCAN_MATCH_MODE; other values act as
// ends-with).
bool scan_name_matches(const char* name, const char* pattern, INT_U32 match_mode);
