// Package files: one file of named entries stored in chains of fixed-size blocks, with a free list of
// released blocks (PACKAGE), and package entries opened as data or text files through temporary copies
// in "$TEMP" (PACKAGE_DATA_FILE, PACKAGE_TEXT_FILE).
#pragma once
#include <functional>

#include "types.h"
#include "data_file.h"
#include "files.h"
#include "folder.h"
#include "ptrarray.h"
#include "text_file.h"

// Body layout: the magic "VELKPKG" and a NUL at 0, the u16 version at 8, the header record (block size,
// root position, first free, last free) at 10, the root record at 26; entry records and blocks follow.
#define PACKAGE_MAGIC "VELKPKG"
const INT_U16 PACKAGE_VERSION = 1;
const INT_U32 PACKAGE_HEADER_POSITION = 10;
const INT_U32 PACKAGE_ROOT_POSITION = 26;
// A stored block size above this is damage; a larger size asked for at creation is cut to it.
const INT_U32 PACKAGE_LARGEST_BLOCK_SIZE = 0x3200000;
// The largest package: positions are reached through the data file's signed 32-bit positions, so a
// larger file is refused when it opens, and a package never grows past it.
const INT_U64 PACKAGE_LARGEST_SIZE = 0x7FFFFFFF;

class PACKAGE;

// The in-memory form of an entry record. It owns its name; clear() frees it and zeroes the fields.
struct PACKAGE_ENTRY {
  INT_U32 position = 0;      // body position of the record
  char* name = nullptr;      // NUL-terminated copy; null stands for the empty name
  INT_U32 first_block = 0;   // first block of the entry's chain, 0 for none
  INT_U32 last_block = 0;    // last block of the chain, 0 for none
  INT_U32 next_entry = 0;    // next entry record, 0 for the last
  INT_U32 size = 0;          // length of the entry's data
  PACKAGE_ENTRY* next_loaded = nullptr;  // loaded entries: the next in chain order
  PACKAGE_ENTRY* loaded = nullptr;       // the loaded entry this is (or was copied from); null when not loaded

  PACKAGE_ENTRY() {}
  ~PACKAGE_ENTRY() { clear(); }
  PACKAGE_ENTRY(const PACKAGE_ENTRY&) = delete;
  PACKAGE_ENTRY& operator=(const PACKAGE_ENTRY&) = delete;
  void clear();
};

// One block being read or written; its data (block size bytes) are allocated on first use and owned.
struct PACKAGE_BLOCK {
  INT_U32 position = 0;
  INT_U32 next = 0;
  INT_U8* data = nullptr;
  INT_U32 used = 0;

  PACKAGE_BLOCK() {}
  ~PACKAGE_BLOCK();
  PACKAGE_BLOCK(const PACKAGE_BLOCK&) = delete;
  PACKAGE_BLOCK& operator=(const PACKAGE_BLOCK&) = delete;
};

// The root record: the head of the entry chain, in the form of an entry record with one more u32.
struct PACKAGE_ROOT {
  INT_U32 position = 0;
  char* name = nullptr;  // "root"
  INT_U32 first_entry = 0;
  INT_U32 last_entry = 0;
  INT_U32 next = 0;
  INT_U32 size = 0;
  INT_U32 reserved = 0;
  PACKAGE_ENTRY* first_loaded = nullptr;
  PACKAGE_ENTRY* last_loaded = nullptr;
};

// The loaded entries by name: for each name, the first loaded entry of the chain that has it, so that
// finding the last entry costs what finding the first does. Open addressing over a power-of-two table.
struct PACKAGE_NAME_INDEX {
  struct SLOT {
    INT_U32 hash;
    PACKAGE_ENTRY* entry;  // null: an empty slot
  };
  SLOT* slots = nullptr;
  INT_U32 capacity = 0;  // 0 or a power of two, at least twice the count
  INT_U32 count = 0;
  INT_U32 shadowed = 0;  // entries not added since an earlier one has their name; 0: every name is unique

  PACKAGE_NAME_INDEX() {}
  ~PACKAGE_NAME_INDEX() { clear(); }
  PACKAGE_NAME_INDEX(const PACKAGE_NAME_INDEX&) = delete;
  PACKAGE_NAME_INDEX& operator=(const PACKAGE_NAME_INDEX&) = delete;

  // The entry under the name (null stands for the empty name); null when there is none.
  PACKAGE_ENTRY* find(const char* name) const;
  // Adds the entry under its name unless an entry of that name is there already: entries are added in
  // chain order, so the one there is the earlier. False when the table cannot grow.
  bool add(PACKAGE_ENTRY* entry);
  void clear();
};

// Called once per non-empty block copied: done counts the data bytes so far, total is the entry's size.
typedef void (*PACKAGE_PROGRESS_CALLBACK)(PACKAGE* package, INT_S32 done, INT_S32 total, void* user);

class PACKAGE {
public:
  DATA_FILE* file = nullptr;          // the open package; null when the open failed
  INT_U32 header_position = 0;        // body position of the header record (10)
  INT_U32 block_size = 0;             // data bytes in every block
  INT_U32 root_position = 0;
  INT_U32 first_free_block = 0;       // head of the free list, 0 when empty
  INT_U32 last_free_block = 0;        // tail of the free list, 0 when empty
  PACKAGE_ROOT root;
  INT_U8 directory_loaded = 0;        // the entry records are held in memory (entries)
  INT_U8 read_only = 0;               // nothing may be written
  PTRARRAY entries;                   // loaded entries in chain order, then those created since; owned
  PACKAGE_NAME_INDEX name_index;      // the loaded entries by name
  char* package_name = nullptr;       // the file name given to the constructor (error texts)

  // Opens the package, or creates it when create is set and no file of that name exists (an existing
  // file is never truncated). A new package is always writable; block_size < 1 takes the default
  // file-cache size. Success clears the data error; failure leaves file null and sets it.
  PACKAGE(FOLDER* folder, const char* name, bool create, INT_S32 block_size, bool load_directory, bool read_only);
  // Writes back a loaded directory unless read only, frees everything and closes the file.
  virtual ~PACKAGE();
  PACKAGE(const PACKAGE&) = delete;
  PACKAGE& operator=(const PACKAGE&) = delete;

  // A copy of the first entry whose name equals name byte for byte; false when there is none (or the
  // chain is damaged: then the data error says so).
  bool find_entry(const char* name, PACKAGE_ENTRY* out);
  // Writes the entry's data (entry_name, or file_name when null) into the file of the folder: into a
  // temporary beside it that takes its name once whole. A request to end the program (end_requested)
  // abandons the file, and its temporary goes (where it cannot, extracted_left names it). The entry's
  // first bytes stay in extracted_head. With
  // if_free the file takes the name as close_file_as_if_free gives it (older_than as there): where what
  // has the name by then stays, the result is false with extracted_name_kept set, and nothing of the
  // entry is left.
  bool extract_entry(FOLDER* folder, const char* file_name, const char* entry_name,
                     PACKAGE_PROGRESS_CALLBACK progress = nullptr, void* user = nullptr, bool if_free = false,
                     INT_S64 older_than = EARLIEST_FILE_TIME);
  // Hands the data of the entry to take block by block, in order, without writing them anywhere: where
  // a block fits the package file's buffer its bytes are handed from there (valid during the call
  // alone). take returns false to stop. False when there is no such entry or its chain is damaged (the
  // data error says so), and when take stopped.
  bool read_entry(const char* entry_name, const std::function<bool(const INT_U8* data, INT_U32 size)>& take);
  // Stores the file's contents as the entry (entry_name, or file_name when null); an existing entry is
  // replaced only with replace set. False with the data error set when any write fails, and when a
  // request to end the program (end_requested) comes while the file is copied: the entry is then cut
  // short, and the package is to be abandoned. seen, when given, is handed each piece of the file's
  // bytes as it is read, in order (valid during the call alone), so that a caller may take them in
  // without reading the file again.
  bool add_file(FOLDER* folder, const char* file_name, const char* entry_name, bool replace,
                PACKAGE_PROGRESS_CALLBACK progress = nullptr, void* user = nullptr,
                const std::function<void(const INT_U8* data, INT_U32 size)>& seen = nullptr);

  // Appends a new empty entry record and links it at the end of the chain.
  bool create_entry(const char* name, PACKAGE_ENTRY* out);
  // Takes a block (from the head of the free list, else at the end of the file), written empty, and
  // links it at the end of the entry's chain.
  bool allocate_block(PACKAGE_ENTRY* entry, PACKAGE_BLOCK* block);
  // Moves the entry's chain to the tail of the free list.
  bool release_blocks(PACKAGE_ENTRY* entry);
  // Reads every entry record into loaded entries; false (data error set) when the chain is damaged.
  bool load_directory();
  // Unless read only: writes the header record, the root record and every loaded entry's record.
  bool flush();
  // Frees every loaded entry and empties the array and the index.
  void free_directory();

  // Block transfers at the block's position: u32 next, block_size data bytes, u32 used.
  bool read_block(PACKAGE_BLOCK* block, DATA_DEVICE* device, INT_U32 size);
  bool write_block(PACKAGE_BLOCK* block, DATA_DEVICE* device, INT_U32 size);
  // The header record at the header position.
  bool write_record(DATA_DEVICE* device);
  // The root record at the root position.
  bool write_root_record(DATA_DEVICE* device);
  // An entry record at the entry's position.
  bool write_entry_record(PACKAGE_ENTRY* entry, DATA_DEVICE* device);

  // The first bytes of the entry that extract_entry wrote last (what a file begins with tells whether it
  // is a program), and how many there are (fewer for a shorter entry).
  INT_U8 extracted_head[4] = {};
  INT_U32 extracted_head_size = 0;
  // The number of the file that extract_entry wrote last (stream_file_number): the installer knows its
  // files by it. 0 when it cannot be had.
  INT_U64 extracted_number = 0;
  // The last extract_entry with if_free left the name to what had it.
  bool extracted_name_kept = false;
  // The temporary that the last extract_entry that failed could not remove (its folder no longer lets it
  // go): its name in the folder and the system's cause; empty when none stayed. It is no longer this
  // run's own (note_temporary_taken): a later look for leftovers takes it.
  char extracted_left[TEMPORARY_NAME_SIZE] = "";
  char extracted_left_cause[256] = "";

private:
  // The loaded entry that extract_entry found last, null after the directory is freed.
  const PACKAGE_ENTRY* last_extracted = nullptr;

  bool read_header();
  bool create_package(FOLDER* folder, const char* name, INT_S32 size);
  // The parts of extract_entry: the entry's first block and size, one block of its chain, the chain
  // copied into the file written.
  bool find_extracted_entry(const char* entry_name, const char* file_name, INT_U32* first_block, INT_U32* size);
  const INT_U8* read_chain_block(INT_U32 position, bool in_place, PACKAGE_BLOCK* block);
  bool copy_chain(FILE* target, INT_U32 first_block, INT_U32 entry_size, const char* file_name,
                  PACKAGE_PROGRESS_CALLBACK progress, void* user);
  // Takes each block's data, its size and the entry's bytes so far; false stops the walk.
  typedef std::function<bool(const INT_U8* data, INT_U32 size, INT_U32 done)> CHAIN_TAKER;
  bool walk_chain(INT_U32 first_block, INT_U32 entry_size, const CHAIN_TAKER& take);
  // 1 found, 0 not found, -1 damaged (data error set).
  INT_S32 locate(const char* name, PACKAGE_ENTRY* out);
  // Reads the record at position into out after checking that it lies inside the file.
  bool read_entry_at(INT_U32 position, PACKAGE_ENTRY* out);
  bool block_fits(INT_U32 position);
  // A chain of blocks from first that stays inside the file, ends, and ends at last.
  bool chain_sound(INT_U32 first, INT_U32 last);
  bool store_entry(PACKAGE_ENTRY* entry);
  bool link_block(INT_U32 position, INT_U32 next);
  void fail(INT_U16 code, const char* argument, INT_S32 line);
  void close_file_after_failure();
};

// A package entry opened as a data file: a temporary copy in "$TEMP" (eight upper-case hexadecimal digits
// and ".tmp") that closing stores back into the package unless it was opened for reading.
class PACKAGE_DATA_FILE : public DATA_FILE {
public:
  PACKAGE* package = nullptr;  // not owned
  FOLDER temporary_folder;     // "$TEMP"
  char temporary_name[256];
  char entry_name[256];
  INT_U8 read_only = 1;
  INT_U8 store_back = 0;       // set once the copy is open: the destructor then stores it back

  PACKAGE_DATA_FILE();
  // Stores the copy back (unless read only) and deletes it; a copy that cannot be stored back stays in
  // "$TEMP" and the data error says why.
  ~PACKAGE_DATA_FILE() override;
};

// Copies the entry to a temporary file and opens it as a plain data file with the mode and order; a
// missing entry is an empty copy (mode 0 then fails). Null on failure, with no temporary file left.
PACKAGE_DATA_FILE* open_package_file(PACKAGE* package, const char* entry_name, FILE_MODE mode, INT_U8 order);
// As close_data_file: flushes, closes, deletes the object (storing the copy back) and nulls the pointer.
void close_package_file(PACKAGE_DATA_FILE** file);

// The same scheme over a text file.
class PACKAGE_TEXT_FILE : public TEXT_FILE {
public:
  PACKAGE* package = nullptr;
  FOLDER temporary_folder;
  char temporary_name[256];
  char entry_name[256];
  INT_U8 read_only = 1;

  PACKAGE_TEXT_FILE();
};

PACKAGE_TEXT_FILE* open_package_text_file(PACKAGE* package, const char* entry_name, FILE_MODE mode, bool unicode);
// Closes the text file's stream, stores the copy back unless read only, deletes it and frees the object.
void close_package_text_file(PACKAGE_TEXT_FILE** file);
