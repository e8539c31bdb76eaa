// The image cache: pictures loaded once per folder, file name and size, shared with a reference count,
// copied on write, and stored as a whole in the image-cache stream. The library has one instance,
// image_cache, built on first use (or at start-up by start_image_cache).
#pragma once
#include "colour.h"
#include "data_device.h"
#include "image.h"
#include "llist.h"
#include "types.h"

class FOLDER;

// Lookup flags of IMAGE_CACHE::get.
enum : INT_U8 {
  CACHE_DROP_ON_FAILURE = 0x01,  // a new entry whose file fails to load is destroyed (else kept, empty)
  CACHE_RELOAD = 0x02,           // a found entry is loaded again from its file
  CACHE_NATURAL_SIZE = 0x04,     // an unscaled entry satisfies any size; a new one takes the loaded size
  CACHE_FIND_ONLY = 0x08         // only look up, never create
};

// Version of the image-cache stream that put_to_data_device writes (versions 0 to 2 are read).
const INT_U8 IMAGE_CACHE_STREAM_VERSION = 2;
// Size of an entry's folder path text (and of its stored form).
const INT_S32 IMAGE_CACHE_FOLDER_SIZE = 2048;
// Longest file name an image-cache stream may hold.
const INT_U32 IMAGE_CACHE_NAME_LIMIT = 4096;

// One cached picture at one requested size. Its image's owner points back to it.
class IMAGE_CACHE_ENTRY {
public:
  char folder_path[IMAGE_CACHE_FOLDER_SIZE];  // the folder as FOLDER::set reads it; zero-filled after the text
  char* file_name;                            // heap text, null = none
  INT_S16 requested_width;                    // the size this entry answers to, -1 = natural
  INT_S16 requested_height;
  INT_S16 natural_width;                      // the size of the picture in its file
  INT_S16 natural_height;
  IMAGE image;
  INT_S16 reference_count;
  INT_U8 modified;         // changed by a caller: private, never found or stored
  INT_U8 release_pending;  // freed when its last reference goes; never found

  IMAGE_CACHE_ENTRY(const char* folder_text, const char* name);
  ~IMAGE_CACHE_ENTRY();
  IMAGE_CACHE_ENTRY(const IMAGE_CACHE_ENTRY&) = delete;
  IMAGE_CACHE_ENTRY& operator=(const IMAGE_CACHE_ENTRY&) = delete;

  // Natural size equals requested size, or both requested values are -1.
  bool unscaled() const;
};

// The entries of a cache hidden by IMAGE_CACHE::hide_entries, with their release states.
struct IMAGE_CACHE_SNAPSHOT {
  IMAGE_CACHE_ENTRY** entries = nullptr;  // malloc block of count pointers
  INT_U8* release_pending = nullptr;      // malloc block of count flags
  INT_S32 count = 0;
  IMAGE_CACHE_SNAPSHOT() {}
  ~IMAGE_CACHE_SNAPSHOT();
  IMAGE_CACHE_SNAPSHOT(const IMAGE_CACHE_SNAPSHOT&) = delete;
  IMAGE_CACHE_SNAPSHOT& operator=(const IMAGE_CACHE_SNAPSHOT&) = delete;
};

class IMAGE_CACHE : public DATA_DEVICE_CLIENT {
public:
  PTRLLIST entries;       // IMAGE_CACHE_ENTRY pointers in insertion order
  INT_U8 free_at_zero;    // free an entry as soon as its count reaches 0

  IMAGE_CACHE();
  ~IMAGE_CACHE() override;
  IMAGE_CACHE(const IMAGE_CACHE&) = delete;
  IMAGE_CACHE& operator=(const IMAGE_CACHE&) = delete;

  // The picture of that folder text, file and size (-1 = any / natural), with a reference taken for the
  // caller; null when nothing usable is found or loaded (no reference is then held).
  IMAGE* get(const char* folder_text, const char* file_name, INT_S16 width, INT_S16 height, INT_U8 flags);
  IMAGE* get_in_folder(FOLDER* folder, const char* file_name, INT_S16 width, INT_S16 height, INT_U8 flags);
  // Count + 1; null when the image belongs to no entry.
  IMAGE* add_reference(IMAGE* image);
  // Count - 1; at 0 the entry is freed when free_at_zero or its release is pending.
  void release(IMAGE_CACHE_ENTRY* entry);
  // The entry holding the image; null for null or when the cache is empty.
  IMAGE_CACHE_ENTRY* find_entry(IMAGE* image);
  // The entry's natural size; an image outside the cache gives its own size, null gives 0.
  INT_S16 natural_width(IMAGE* image);
  INT_S16 natural_height(IMAGE* image);
  // Frees unreferenced entries now and marks the others to go with their last reference.
  void flush();
  // Frees every entry whatever its count.
  void clear();
  // Loads the image's entry again from its file at its requested size.
  void reload(IMAGE* image);
  void reload_all();
  // Gives the caller the picture at (width, height); *image may be replaced.
  void resize(IMAGE** image, INT_S16 width, INT_S16 height);
  // Copy on write: afterwards *image is private to the caller (marked modified); *image may be replaced.
  void make_unique(IMAGE** image);

  // make_unique, then the image's own operation.
  void greyscale(IMAGE** image);
  void tint(IMAGE** image, const COLOUR* tint_colour);
  void map_channels(IMAGE** image, const COLOUR* red, const COLOUR* green, const COLOUR* blue);
  void replace_colour(IMAGE** image, const COLOUR* from, const COLOUR* to);

  // The image-cache stream. Reading replaces the cache's contents (as flush does) only when the whole
  // stream was read; a damaged stream changes nothing.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;
  // Reads a stream's entries and adds them after the present ones, all of them or none.
  bool add_from_data_device(DATA_DEVICE* device);

  // A change of the whole contents that may still be taken back (reading an installation database):
  // hide_entries keeps the present entries in the snapshot and hides them from every lookup (false,
  // nothing hidden, when there is no memory for the snapshot); then keep_replacement lets them go as
  // flush would, or take_back flushes whatever came since and shows them again exactly as they were.
  bool hide_entries(IMAGE_CACHE_SNAPSHOT* snapshot);
  void keep_replacement(IMAGE_CACHE_SNAPSHOT* snapshot);
  void take_back(IMAGE_CACHE_SNAPSHOT* snapshot);

private:
  bool read_entries(DATA_DEVICE* device, PTRLLIST* fresh);
  bool append(IMAGE_CACHE_ENTRY* entry);
  IMAGE_CACHE_ENTRY* copy_entry(IMAGE_CACHE_ENTRY* entry);
  void free_entry(IMAGE_CACHE_ENTRY* entry);
};

// The library's one cache, reached as image_cache->get(...). It is built on first use; the program's
// entry may build it explicitly in its start-up order and free it at exit.
struct IMAGE_CACHE_INSTANCE {
  IMAGE_CACHE* operator->() const;
  IMAGE_CACHE& operator*() const;
};
extern const IMAGE_CACHE_INSTANCE image_cache;
void start_image_cache();
// Frees the cache and every entry; a later use builds a new one.
void stop_image_cache();
