// The image cache: shared, counted pictures by folder, file and size; copies on write; scaling from the
// natural-size copy; the image-cache stream (version 2 written, 0 to 2 read).
#include "image_cache.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "folder.h"
#include "scale.h"

// ---------------------------------------------------------------------------------------------------
// Entries

// Copies at most size - 1 characters of text into a zero-filled field of size bytes.
static void copy_folder_text(char* field, size_t size, const char* text) {
  std::memset(field, 0, size);
  for (size_t n = 0; text && n + 1 < size && text[n]; n++) field[n] = text[n];
}

IMAGE_CACHE_ENTRY::IMAGE_CACHE_ENTRY(const char* folder_text, const char* name)
    : file_name(nullptr),
      requested_width(-1),
      requested_height(-1),
      natural_width(-1),
      natural_height(-1),
      reference_count(0),
      modified(0),
      release_pending(0) {
  copy_folder_text(folder_path, sizeof(folder_path), folder_text);
  if (name) {
    size_t length = std::strlen(name);
    file_name = (char*)std::malloc(length + 1);
    if (file_name) std::memcpy(file_name, name, length + 1);
  }
  image.owner = this;
}

IMAGE_CACHE_ENTRY::~IMAGE_CACHE_ENTRY() {
  image.owner = nullptr;
  std::free(file_name);
}

bool IMAGE_CACHE_ENTRY::unscaled() const {
  return (natural_width == requested_width && natural_height == requested_height) ||
         (requested_width == -1 && requested_height == -1);
}

static bool same_file(const IMAGE_CACHE_ENTRY* entry, const char* folder_text, const char* name) {
  const char* entry_name = entry->file_name ? entry->file_name : "";
  return std::strcmp(entry_name, name ? name : "") == 0 &&
         std::strncmp(entry->folder_path, folder_text ? folder_text : "", IMAGE_CACHE_FOLDER_SIZE) == 0;
}

// Copies the whole picture of source into target (target takes source's size).
static void copy_picture(IMAGE* target, IMAGE* source) {
  target->set_size(source->width, source->height);
  target->blit(source, 0, 0, 0, 0, source->width, source->height, BLIT_COPY);
}

// Loads the entry's file at (width, height), -1 = natural size.
static bool load_entry(IMAGE_CACHE_ENTRY* entry, INT_S16 width, INT_S16 height) {
  FOLDER folder;
  if (!folder.set(entry->folder_path, false, nullptr, false, false, false)) return false;
  return entry->image.load(&folder, entry->file_name, width, height);
}

// ---------------------------------------------------------------------------------------------------
// The cache

IMAGE_CACHE::IMAGE_CACHE() : free_at_zero(0) {}

IMAGE_CACHE::~IMAGE_CACHE() { clear(); }

void IMAGE_CACHE::free_entry(IMAGE_CACHE_ENTRY* entry) {
  entries.remove(entry);
  delete entry;
}

// Adds the entry at the end; when the list cannot take it, the entry is freed and false returned.
bool IMAGE_CACHE::append(IMAGE_CACHE_ENTRY* entry) {
  entries.cursor = nullptr;
  if (entries.add(entry)) return true;
  delete entry;
  return false;
}

IMAGE* IMAGE_CACHE::get(const char* folder_text, const char* file_name, INT_S16 width, INT_S16 height,
                        INT_U8 flags) {
  IMAGE_CACHE_ENTRY* found = nullptr;
  IMAGE_CACHE_ENTRY* source = nullptr;
  entries.cursor = entries.head;
  while (IMAGE_CACHE_ENTRY* entry = (IMAGE_CACHE_ENTRY*)entries.next()) {
    if (entry->modified || entry->release_pending || !same_file(entry, folder_text, file_name)) continue;
    bool matches = (entry->requested_width == width || width == -1) &&
                   (entry->requested_height == height || height == -1);
    if (matches) {
      if (flags & CACHE_RELOAD) {
        // Read again at the size the entry answers to: a lookup of any size (-1) must not leave a
        // scaled entry holding the natural-size picture.
        if (!load_entry(entry, entry->requested_width, entry->requested_height)) entry->image.set_size(0, 0);
      }
      found = entry;
      break;
    }
    if (entry->unscaled()) {
      if (flags & CACHE_NATURAL_SIZE) {
        found = entry;
        break;
      }
      source = entry;
    }
  }
  entries.cursor = nullptr;

  if (!found) {
    if (flags & CACHE_FIND_ONLY) return nullptr;
    IMAGE_CACHE_ENTRY* entry = new (std::nothrow) IMAGE_CACHE_ENTRY(folder_text, file_name);
    if (!entry) return nullptr;
    entry->requested_width = entry->natural_width = width;
    entry->requested_height = entry->natural_height = height;
    if (source) {
      copy_picture(&entry->image, &source->image);
      entry->natural_width = source->requested_width >= 0 ? source->requested_width : source->natural_width;
      entry->natural_height = source->requested_height >= 0 ? source->requested_height : source->natural_height;
      if ((width != -1 || height != -1) && (entry->image.width != width || entry->image.height != height))
        entry->image.scale((INT_U16)width, (INT_U16)height, smooth_scaling_off == 0);
    } else if (load_entry(entry, -1, -1)) {
      entry->natural_width = entry->image.width;
      entry->natural_height = entry->image.height;
      if ((flags & CACHE_NATURAL_SIZE) || width == -1 || height == -1) {
        entry->requested_width = entry->image.width;
        entry->requested_height = entry->image.height;
      }
      if ((width != -1 || height != -1) &&
          (entry->image.width != entry->requested_width || entry->image.height != entry->requested_height))
        load_entry(entry, entry->requested_width, entry->requested_height);
    } else if (free_at_zero || (flags & CACHE_DROP_ON_FAILURE)) {
      delete entry;
      return nullptr;
    } else {
      entry->image.set_size(0, 0);
    }
    entry->image.owner = entry;
    if (!append(entry)) return nullptr;
    found = entry;
  }

  found->reference_count++;
  if (found->image.width < 1) {
    // Nothing to show: the caller gets no image and so holds no reference.
    release(found);
    return nullptr;
  }
  return &found->image;
}

IMAGE* IMAGE_CACHE::get_in_folder(FOLDER* folder, const char* file_name, INT_S16 width, INT_S16 height,
                                  INT_U8 flags) {
  if (!folder) return nullptr;
  char text[IMAGE_CACHE_FOLDER_SIZE];
  std::memset(text, 0, sizeof(text));
  folder->get_portable_text(text, nullptr);
  text[sizeof(text) - 1] = 0;
  return get(text, file_name, width, height, flags);
}

IMAGE_CACHE_ENTRY* IMAGE_CACHE::find_entry(IMAGE* image) {
  if (!image || entries.count == 0) return nullptr;
  return image->owner;
}

IMAGE* IMAGE_CACHE::add_reference(IMAGE* image) {
  IMAGE_CACHE_ENTRY* entry = find_entry(image);
  if (!entry) return nullptr;
  entry->reference_count++;
  return image;
}

void IMAGE_CACHE::release(IMAGE_CACHE_ENTRY* entry) {
  if (!entry) return;
  if (entry->reference_count > 0) entry->reference_count--;
  if (entry->reference_count == 0 && (free_at_zero || entry->release_pending)) free_entry(entry);
}

INT_S16 IMAGE_CACHE::natural_width(IMAGE* image) {
  if (!image) return 0;
  IMAGE_CACHE_ENTRY* entry = find_entry(image);
  return entry ? entry->natural_width : image->width;
}

INT_S16 IMAGE_CACHE::natural_height(IMAGE* image) {
  if (!image) return 0;
  IMAGE_CACHE_ENTRY* entry = find_entry(image);
  return entry ? entry->natural_height : image->height;
}

void IMAGE_CACHE::flush() {
  LLIST_NODE* node = entries.head;
  while (node) {
    LLIST_NODE* following = node->next;
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    if (entry->reference_count <= 0)
      free_entry(entry);
    else
      entry->release_pending = 1;
    node = following;
  }
}

void IMAGE_CACHE::clear() {
  while (entries.head) free_entry(static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(entries.head)));
}

void IMAGE_CACHE::reload(IMAGE* image) {
  IMAGE_CACHE_ENTRY* entry = find_entry(image);
  if (entry) load_entry(entry, entry->requested_width, entry->requested_height);
}

void IMAGE_CACHE::reload_all() {
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    if (!entry->release_pending) load_entry(entry, entry->requested_width, entry->requested_height);
  }
}

// A new entry holding a copy of the entry's picture, sizes and release state, count 1, at the end; null
// when it cannot be had.
IMAGE_CACHE_ENTRY* IMAGE_CACHE::copy_entry(IMAGE_CACHE_ENTRY* entry) {
  IMAGE_CACHE_ENTRY* copy = new (std::nothrow) IMAGE_CACHE_ENTRY(entry->folder_path, entry->file_name);
  if (!copy) return nullptr;
  copy_picture(&copy->image, &entry->image);
  if (copy->image.width != entry->image.width || copy->image.height != entry->image.height) {
    delete copy;
    return nullptr;
  }
  copy->requested_width = entry->requested_width;
  copy->requested_height = entry->requested_height;
  copy->natural_width = entry->natural_width;
  copy->natural_height = entry->natural_height;
  copy->release_pending = entry->release_pending;
  copy->reference_count = 1;
  return append(copy) ? copy : nullptr;
}

void IMAGE_CACHE::make_unique(IMAGE** image) {
  if (!image) return;
  IMAGE_CACHE_ENTRY* entry = find_entry(*image);
  if (!entry) return;
  if (!(entry->reference_count < 2 && !entry->unscaled())) {
    // Without memory for a private copy the caller gives up its picture rather than change a shared one.
    IMAGE_CACHE_ENTRY* copy = copy_entry(entry);
    release(entry);
    if (!copy) {
      *image = nullptr;
      return;
    }
    entry = copy;
    *image = &copy->image;
  }
  entry->modified = 1;
}

void IMAGE_CACHE::resize(IMAGE** image, INT_S16 width, INT_S16 height) {
  if (!image || width < 0 || height < 0) return;
  IMAGE_CACHE_ENTRY* entry = find_entry(*image);
  if (!entry || (entry->requested_width == width && entry->requested_height == height)) return;

  if (!entry->modified) {
    for (LLIST_NODE* node = entries.head; node; node = node->next) {
      IMAGE_CACHE_ENTRY* other = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
      if (other == entry || other->modified || other->release_pending) continue;
      if (!same_file(other, entry->folder_path, entry->file_name)) continue;
      if (other->requested_width != width || other->requested_height != height) continue;
      other->reference_count++;
      *image = &other->image;
      release(entry);
      return;
    }
  }
  if (!(entry->reference_count < 2 && !entry->unscaled())) {
    IMAGE_CACHE_ENTRY* copy = copy_entry(entry);
    if (copy) copy->modified = entry->modified;
    release(entry);
    if (!copy) {
      *image = nullptr;
      return;
    }
    entry = copy;
    *image = &copy->image;
  }
  entry->image.scale((INT_U16)width, (INT_U16)height, smooth_scaling_off == 0);
  entry->requested_width = width;
  entry->requested_height = height;
}

void IMAGE_CACHE::greyscale(IMAGE** image) {
  make_unique(image);
  if (image && *image) (*image)->greyscale();
}

void IMAGE_CACHE::tint(IMAGE** image, const COLOUR* tint_colour) {
  make_unique(image);
  if (image && *image) (*image)->tint(tint_colour);
}

void IMAGE_CACHE::map_channels(IMAGE** image, const COLOUR* red, const COLOUR* green, const COLOUR* blue) {
  make_unique(image);
  if (image && *image) (*image)->map_channels(red, green, blue, 0);
}

void IMAGE_CACHE::replace_colour(IMAGE** image, const COLOUR* from, const COLOUR* to) {
  make_unique(image);
  if (image && *image) (*image)->replace_colour(from, to, 0);
}

// ---------------------------------------------------------------------------------------------------
// The image-cache stream

bool IMAGE_CACHE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  INT_U32 count = 0;
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    if (!entry->modified && !entry->release_pending) count++;
  }
  if (!device->write_u8(IMAGE_CACHE_STREAM_VERSION) || !device->write_u32(count)) return false;
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    if (entry->modified || entry->release_pending) continue;
    // The folder text with every byte after it zero.
    char folder_bytes[IMAGE_CACHE_FOLDER_SIZE];
    copy_folder_text(folder_bytes, sizeof(folder_bytes), entry->folder_path);
    if (device->write(folder_bytes, IMAGE_CACHE_FOLDER_SIZE) != IMAGE_CACHE_FOLDER_SIZE) {
      device->failed = 1;
      return false;
    }
    INT_U32 name_length = entry->file_name ? (INT_U32)std::strlen(entry->file_name) : 0;
    if (!device->write_u32(name_length)) return false;
    if (name_length && device->write(entry->file_name, (INT_S32)name_length) != (INT_S32)name_length) {
      device->failed = 1;
      return false;
    }
    if (!device->write_s16(entry->requested_width) || !device->write_s16(entry->requested_height) ||
        !device->write_s16(entry->natural_width) || !device->write_s16(entry->natural_height))
      return false;
    if (!entry->image.put_to_data_device(device)) {
      device->failed = 1;
      return false;
    }
  }
  return true;
}

// Reads the stream's entries into fresh, in stream order; false (fresh emptied, its entries freed)
// when the stream is damaged or memory runs out.
bool IMAGE_CACHE::read_entries(DATA_DEVICE* device, PTRLLIST* fresh) {
  auto fail = [&]() {
    fresh->cursor = fresh->head;
    while (IMAGE_CACHE_ENTRY* entry = (IMAGE_CACHE_ENTRY*)fresh->next()) delete entry;
    fresh->clear();
    device->failed = 1;
    return false;
  };
  INT_U8 version;
  INT_U32 count;
  if (!device->read_u8(&version) || !device->read_u32(&count)) return false;
  if (version > IMAGE_CACHE_STREAM_VERSION) return fail();
  for (INT_U32 n = 0; n < count; n++) {
    char folder_text[IMAGE_CACHE_FOLDER_SIZE];
    std::memset(folder_text, 0, sizeof(folder_text));
    if (version < 2) {
      FOLDER folder;
      if (!folder.get_from_data_device(device)) return fail();
      folder.get_portable_text(folder_text, nullptr);
    } else if (device->read(folder_text, IMAGE_CACHE_FOLDER_SIZE) != IMAGE_CACHE_FOLDER_SIZE) {
      return fail();
    }
    folder_text[IMAGE_CACHE_FOLDER_SIZE - 1] = 0;
    // A text this program could not resolve is dropped: the entry keeps its picture but is never
    // loaded from a folder.
    if (!is_builtin_path_text(folder_text)) std::memset(folder_text, 0, sizeof(folder_text));

    INT_U32 name_length;
    if (!device->read_u32(&name_length)) return fail();
    if (name_length > IMAGE_CACHE_NAME_LIMIT || name_length > device->bytes_left()) return fail();
    char name[IMAGE_CACHE_NAME_LIMIT + 1];
    if (name_length && device->read(name, (INT_S32)name_length) != (INT_S32)name_length) return fail();
    name[name_length] = 0;

    IMAGE_CACHE_ENTRY* entry = new (std::nothrow) IMAGE_CACHE_ENTRY(folder_text, name_length ? name : nullptr);
    if (!entry) return fail();
    bool ok = (!name_length || entry->file_name) && device->read_s16(&entry->requested_width) &&
              device->read_s16(&entry->requested_height) && device->read_s16(&entry->natural_width) &&
              device->read_s16(&entry->natural_height) && entry->image.get_from_data_device(device);
    entry->image.owner = entry;
    fresh->cursor = nullptr;
    if (!ok || !fresh->add(entry)) {
      delete entry;
      return fail();
    }
  }
  return true;
}

bool IMAGE_CACHE::add_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  PTRLLIST fresh;
  if (!read_entries(device, &fresh)) return false;
  // The list may fail to take an entry: those added so far go again, so that all or none are added.
  INT_S32 added = 0;
  fresh.cursor = fresh.head;
  while (IMAGE_CACHE_ENTRY* entry = (IMAGE_CACHE_ENTRY*)fresh.next()) {
    if (append(entry)) {
      added++;
      continue;
    }
    fresh.cursor = fresh.head;
    for (INT_S32 i = 0; i < added; i++) free_entry((IMAGE_CACHE_ENTRY*)fresh.next());
    fresh.next();  // the one that append freed
    while (IMAGE_CACHE_ENTRY* rest = (IMAGE_CACHE_ENTRY*)fresh.next()) delete rest;
    device->failed = 1;
    return false;
  }
  return true;
}

bool IMAGE_CACHE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  IMAGE_CACHE_SNAPSHOT snapshot;
  if (!hide_entries(&snapshot)) {
    device->failed = 1;
    return false;
  }
  if (!add_from_data_device(device)) {
    take_back(&snapshot);
    return false;
  }
  keep_replacement(&snapshot);
  return true;
}

IMAGE_CACHE_SNAPSHOT::~IMAGE_CACHE_SNAPSHOT() {
  std::free(entries);
  std::free(release_pending);
}

bool IMAGE_CACHE::hide_entries(IMAGE_CACHE_SNAPSHOT* snapshot) {
  std::free(snapshot->entries);
  std::free(snapshot->release_pending);
  snapshot->count = 0;
  size_t count = entries.count > 0 ? (size_t)entries.count : 1;
  snapshot->entries = (IMAGE_CACHE_ENTRY**)std::malloc(count * sizeof(IMAGE_CACHE_ENTRY*));
  snapshot->release_pending = (INT_U8*)std::malloc(count);
  if (!snapshot->entries || !snapshot->release_pending) return false;
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    snapshot->entries[snapshot->count] = entry;
    snapshot->release_pending[snapshot->count++] = entry->release_pending;
    // Lookups pass over an entry whose release is pending; its references stay good.
    entry->release_pending = 1;
  }
  return true;
}

void IMAGE_CACHE::keep_replacement(IMAGE_CACHE_SNAPSHOT* snapshot) {
  for (INT_S32 i = 0; i < snapshot->count; i++)
    if (snapshot->entries[i]->reference_count <= 0) free_entry(snapshot->entries[i]);
  snapshot->count = 0;
}

void IMAGE_CACHE::take_back(IMAGE_CACHE_SNAPSHOT* snapshot) {
  // What came since goes as flush lets it: at once, or with its last reference.
  LLIST_NODE* node = entries.head;
  while (node) {
    LLIST_NODE* following = node->next;
    IMAGE_CACHE_ENTRY* entry = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node));
    bool hidden = false;
    for (INT_S32 i = 0; i < snapshot->count && !hidden; i++) hidden = snapshot->entries[i] == entry;
    if (!hidden) {
      if (entry->reference_count <= 0)
        free_entry(entry);
      else
        entry->release_pending = 1;
    }
    node = following;
  }
  for (INT_S32 i = 0; i < snapshot->count; i++) snapshot->entries[i]->release_pending = snapshot->release_pending[i];
  snapshot->count = 0;
}

// ---------------------------------------------------------------------------------------------------
// The library's instance

static IMAGE_CACHE* the_image_cache = nullptr;
const IMAGE_CACHE_INSTANCE image_cache = {};

void start_image_cache() {
  if (!the_image_cache) the_image_cache = new IMAGE_CACHE();
}

void stop_image_cache() {
  delete the_image_cache;
  the_image_cache = nullptr;
}

IMAGE_CACHE* IMAGE_CACHE_INSTANCE::operator->() const {
  start_image_cache();
  return the_image_cache;
}

IMAGE_CACHE& IMAGE_CACHE_INSTANCE::operator*() const {
  start_image_cache();
  return *the_image_cache;
}
