// Package files: opening and creating them, finding entries, copying files in as entries, block chains
// and the free list (package_extract.cpp copies entries out to files). Every record and block read is
// checked against the file, so that a damaged package gives a read error instead of a wrong read.
#include "package.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "errors.h"
#include "files.h"
#include "host.h"
#include "package_records.h"

using package_records::BLOCK_OVERHEAD;
using package_records::names_equal;
using package_records::stored_u32;

namespace {

// Smallest stored sizes: an entry record without its name, the root record without its name.
const INT_U32 ENTRY_RECORD_BASE = 20;
const INT_U32 ROOT_RECORD_BASE = 24;
// Bytes read at first for an entry record: the record with a name of up to 108 bytes.
const INT_S32 RECORD_FIRST_READ = 128;

char* copy_name(const char* name) {
  if (!name) name = "";
  size_t length = std::strlen(name);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) std::memcpy(copy, name, length + 1);
  return copy;
}

INT_U32 name_length(const char* name) { return name ? static_cast<INT_U32>(std::strlen(name)) : 0; }

// Copies every field of source into target, with a new copy of the name; false when it cannot be had.
bool copy_entry(PACKAGE_ENTRY* target, const PACKAGE_ENTRY* source) {
  target->clear();
  if (source->name) {
    target->name = copy_name(source->name);
    if (!target->name) return false;
  }
  target->position = source->position;
  target->first_block = source->first_block;
  target->last_block = source->last_block;
  target->next_entry = source->next_entry;
  target->size = source->size;
  target->next_loaded = source->next_loaded;
  target->loaded = source->loaded;
  return true;
}

// FNV-1a over the name's bytes; null hashes as the empty name.
INT_U32 name_hash(const char* name) {
  INT_U32 hash = 2166136261u;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name ? name : ""); *c; ++c) {
    hash ^= *c;
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

PACKAGE_ENTRY* PACKAGE_NAME_INDEX::find(const char* name) const {
  if (count == 0) return nullptr;
  INT_U32 hash = name_hash(name);
  for (INT_U32 index = hash & (capacity - 1);; index = (index + 1) & (capacity - 1)) {
    const SLOT& slot = slots[index];
    if (!slot.entry) return nullptr;
    if (slot.hash == hash && names_equal(slot.entry->name, name)) return slot.entry;
  }
}

bool PACKAGE_NAME_INDEX::add(PACKAGE_ENTRY* entry) {
  if (find(entry->name)) {
    shadowed++;
    return true;
  }
  if ((static_cast<INT_U64>(count) + 1) * 2 > capacity) {
    // Double the table (at least 64 slots) and place every entry again.
    if (capacity >= 0x80000000u) return false;
    INT_U32 grown = capacity ? capacity * 2 : 64;
    SLOT* table = static_cast<SLOT*>(std::calloc(grown, sizeof(SLOT)));
    if (!table) return false;
    for (INT_U32 index = 0; index < capacity; ++index) {
      if (!slots[index].entry) continue;
      INT_U32 to = slots[index].hash & (grown - 1);
      while (table[to].entry) to = (to + 1) & (grown - 1);
      table[to] = slots[index];
    }
    std::free(slots);
    slots = table;
    capacity = grown;
  }
  INT_U32 hash = name_hash(entry->name);
  INT_U32 index = hash & (capacity - 1);
  while (slots[index].entry) index = (index + 1) & (capacity - 1);
  slots[index].hash = hash;
  slots[index].entry = entry;
  count++;
  return true;
}

void PACKAGE_NAME_INDEX::clear() {
  std::free(slots);
  slots = nullptr;
  capacity = count = shadowed = 0;
}

void PACKAGE_ENTRY::clear() {
  std::free(name);
  name = nullptr;
  position = first_block = last_block = next_entry = size = 0;
  next_loaded = nullptr;
  loaded = nullptr;
}

PACKAGE_BLOCK::~PACKAGE_BLOCK() { std::free(data); }

void PACKAGE::fail(INT_U16 code, const char* argument, INT_S32 line) {
  // Writing to the error stream may change the system's record of the failure, which is reported later.
  INT_U32 cause = file_failure_code();
  set_error(code, argument);
  log_data_error(nullptr, "code/package", line);
  restore_file_failure(cause);
}

void PACKAGE::close_file_after_failure() {
  free_directory();
  close_data_file(&file);
}

PACKAGE::PACKAGE(FOLDER* folder, const char* name, bool create, INT_S32 size, bool load, bool only_read) {
  directory_loaded = load ? 1 : 0;
  read_only = only_read ? 1 : 0;
  // A directory of thousands of entries grows the array in the largest steps.
  entries.grow_step = PTRARRAY_MAX_STEP;
  FOLDER program_folder;
  if (!folder) folder = &program_folder;
  package_name = copy_name(name);
  if (!package_name) {
    fail(0x100B, nullptr, __LINE__);
    return;
  }

  file = open_data_file(folder, name, FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  if (!file) {
    if (!create) {
      fail(0x100C, name, __LINE__);
      return;
    }
    if (!name || !name[0]) {
      fail(0x1006, name, __LINE__);
      return;
    }
    // Only a missing file is created: an existing one that cannot be read is left as it is.
    if (file_exists(folder, name)) {
      fail(0x1007, name, __LINE__);
      return;
    }
    if (!create_package(folder, name, size)) return;
  } else {
    // Check the package before it is opened for writing, so that nothing is written to a file that is
    // no package (or a damaged one).
    if (!read_header()) {
      close_file_after_failure();
      return;
    }
    if (!read_only) {
      close_data_file(&file);
      file = open_data_file(folder, name, FILE_MODE_UPDATE, BYTE_ORDER_HEADER, false);
      if (!file) {
        fail(0x1005, name, __LINE__);
        return;
      }
      if (!read_header()) {
        close_file_after_failure();
        return;
      }
      // Blocks are taken from the free list in turn: a list that loops or runs out of the file would
      // hand out blocks still in use.
      if (first_free_block != 0 && !chain_sound(first_free_block, last_free_block)) {
        fail(0x1007, package_name, __LINE__);
        close_file_after_failure();
        return;
      }
    }
  }

  if (directory_loaded && !load_directory()) {
    close_file_after_failure();
    return;
  }
  set_error(0, nullptr);
}

bool PACKAGE::create_package(FOLDER* folder, const char* name, INT_S32 size) {
  read_only = 0;
  file = open_data_file(folder, name, FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  if (!file) {
    fail(0x1006, name, __LINE__);
    return false;
  }
  bool ok = file->write(PACKAGE_MAGIC, 8) == 8 && file->write_u16(PACKAGE_VERSION);
  header_position = file->tell();
  INT_U32 blocks = size < 1 ? default_file_cache_size : static_cast<INT_U32>(size);
  if (blocks < 1) blocks = 1;
  if (blocks > PACKAGE_LARGEST_BLOCK_SIZE) blocks = PACKAGE_LARGEST_BLOCK_SIZE;
  block_size = blocks;
  root_position = first_free_block = last_free_block = 0;
  ok = ok && write_record(file);
  root_position = file->tell();
  ok = ok && write_record(file);
  std::free(root.name);
  root = PACKAGE_ROOT();
  root.position = root_position;
  root.name = copy_name("root");
  if (!root.name) {
    fail(0x100B, nullptr, __LINE__);
    close_data_file(&file);
    return false;
  }
  ok = ok && write_root_record(file);
  if (!close_data_file(&file)) ok = false;
  if (!ok) {
    fail(0x1008, name, __LINE__);
    return false;
  }
  file = open_data_file(folder, name, FILE_MODE_UPDATE, BYTE_ORDER_HEADER, false);
  if (!file) {
    fail(0x1005, name, __LINE__);
    return false;
  }
  return true;
}

bool PACKAGE::read_header() {
  char magic[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  file->seek(0, false);
  if (file->read(magic, 8) == 0) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  if (std::memcmp(magic, PACKAGE_MAGIC, 7) != 0) {
    fail(0x1009, package_name, __LINE__);
    return false;
  }
  INT_U16 version = 0;
  if (!file->read_u16(&version)) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  if (static_cast<INT_S16>(version) > 1) {
    fail(0x100A, package_name, __LINE__);
    return false;
  }
  header_position = file->tell();
  if (!file->read_u32(&block_size) || !file->read_u32(&root_position) || !file->read_u32(&first_free_block) ||
      !file->read_u32(&last_free_block)) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  INT_U64 body = file->whole_size();
  if (body > PACKAGE_LARGEST_SIZE) {
    fail(0x1007, package_name, __LINE__);  // its 32-bit positions could not reach all of it
    return false;
  }
  // The block size is fixed at creation; a size of 0 or beyond any buffer is damage. Free-list ends
  // and the root must lie inside the file.
  bool sound = block_size >= 1 && block_size <= PACKAGE_LARGEST_BLOCK_SIZE && root_position >= PACKAGE_ROOT_POSITION &&
               static_cast<INT_U64>(root_position) + ROOT_RECORD_BASE <= body &&
               (first_free_block == 0) == (last_free_block == 0) &&
               (first_free_block == 0 || (block_fits(first_free_block) && block_fits(last_free_block)));
  if (!sound) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }

  std::free(root.name);
  root = PACKAGE_ROOT();
  file->seek(static_cast<INT_S32>(root_position), false);
  root.position = file->tell();
  INT_U32 length = 0;
  bool ok = file->read_u32(&length) && static_cast<INT_U64>(root_position) + ROOT_RECORD_BASE + length <= body;
  if (ok && length > 0) {
    root.name = static_cast<char*>(std::malloc(length + 1));
    if (!root.name) {
      fail(0x100B, nullptr, __LINE__);
      return false;
    }
    ok = file->read(root.name, static_cast<INT_S32>(length)) == static_cast<INT_S32>(length);
    root.name[length] = 0;
    // Names are written from texts: a NUL inside one is damage (and could not be written back alike).
    ok = ok && std::strlen(root.name) == length;
  }
  ok = ok && file->read_u32(&root.first_entry) && file->read_u32(&root.last_entry) && file->read_u32(&root.next) &&
       file->read_u32(&root.size) && file->read_u32(&root.reserved);
  // Both ends of the entry chain are set or neither, and each names a record inside the file.
  ok = ok && (root.first_entry == 0) == (root.last_entry == 0);
  ok = ok && (root.first_entry == 0 ||
              (root.first_entry >= PACKAGE_ROOT_POSITION && root.last_entry >= PACKAGE_ROOT_POSITION &&
               static_cast<INT_U64>(root.first_entry) + ENTRY_RECORD_BASE <= body &&
               static_cast<INT_U64>(root.last_entry) + ENTRY_RECORD_BASE <= body));
  if (!ok) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  return true;
}

PACKAGE::~PACKAGE() {
  if (file) {
    bool ok = true;
    if (directory_loaded && !read_only) ok = flush();
    free_directory();
    if (!close_data_file(&file)) ok = false;
    if (!ok) fail(0x1008, package_name, __LINE__);
  }
  std::free(root.name);
  root = PACKAGE_ROOT();
  std::free(package_name);
  package_name = nullptr;
}

bool PACKAGE::block_fits(INT_U32 position) {
  return position >= PACKAGE_ROOT_POSITION &&
         static_cast<INT_U64>(position) + block_size + BLOCK_OVERHEAD <= file->whole_size();
}

bool PACKAGE::chain_sound(INT_U32 first, INT_U32 last) {
  // Blocks written here never overlap: a longer chain than the file can hold loops.
  INT_U64 steps_left = file->whole_size() / (block_size + BLOCK_OVERHEAD) + 1;
  for (INT_U32 position = first; steps_left > 0; --steps_left) {
    INT_U32 next = 0;
    if (!block_fits(position)) return false;
    file->seek(static_cast<INT_S32>(position), false);
    if (file->tell() != position || !file->read_u32(&next)) return false;
    if (next == 0) return position == last;
    position = next;
  }
  return false;
}

bool PACKAGE::read_entry_at(INT_U32 position, PACKAGE_ENTRY* out) {
  out->clear();
  INT_U64 body = file->whole_size();
  if (position < PACKAGE_ROOT_POSITION || static_cast<INT_U64>(position) + ENTRY_RECORD_BASE > body) return false;
  file->seek(static_cast<INT_S32>(position), false);
  out->position = file->tell();
  if (out->position != position) return false;
  // Records lie scattered between the blocks: each is read in one transfer of the size of a record with
  // a short name (no further than the file's end); what a longer name leaves follows in a second.
  INT_U8 head[RECORD_FIRST_READ];
  INT_U64 left = body - position;
  INT_S32 got = file->read_unbuffered(head, left < sizeof head ? static_cast<INT_S32>(left) : RECORD_FIRST_READ);
  if (got < static_cast<INT_S32>(ENTRY_RECORD_BASE)) return false;
  INT_S32 used = 0;
  // The record's next count bytes: from the first transfer, then from the file, which stands after it.
  auto take = [&](void* to, INT_S32 count) {
    INT_S32 here = count < got - used ? count : got - used;
    std::memcpy(to, head + used, static_cast<size_t>(here));
    used += here;
    return here == count || file->read_unbuffered(static_cast<INT_U8*>(to) + here, count - here) == count - here;
  };
  INT_U8 bytes[16];
  take(bytes, 4);  // the first transfer holds at least a record without its name
  INT_U32 length = stored_u32(bytes, file->swap_bytes != 0);
  if (static_cast<INT_U64>(position) + ENTRY_RECORD_BASE + length > body) return false;
  if (length > 0) {
    out->name = static_cast<char*>(std::malloc(length + 1));
    if (!out->name) return false;
    bool whole = take(out->name, static_cast<INT_S32>(length));
    out->name[length] = 0;
    if (!whole || std::strlen(out->name) != length) return false;
  }
  if (!take(bytes, 16)) return false;
  out->first_block = stored_u32(bytes, file->swap_bytes != 0);
  out->last_block = stored_u32(bytes + 4, file->swap_bytes != 0);
  out->next_entry = stored_u32(bytes + 8, file->swap_bytes != 0);
  out->size = stored_u32(bytes + 12, file->swap_bytes != 0);
  return true;
}

bool PACKAGE::load_directory() {
  if (root.first_entry == 0) return true;
  // Records are at least 20 bytes: a longer chain than the file can hold loops.
  INT_U64 steps_left = file->whole_size() / ENTRY_RECORD_BASE + 1;
  INT_U32 position = root.first_entry;
  PACKAGE_ENTRY record;
  PACKAGE_ENTRY* previous = nullptr;
  while (position != 0) {
    if (steps_left-- == 0 || !read_entry_at(position, &record)) {
      fail(0x1007, package_name, __LINE__);
      return false;
    }
    PACKAGE_ENTRY* entry = new (std::nothrow) PACKAGE_ENTRY;
    if (!entry || !entries.add(entry)) {
      delete entry;
      fail(0x100B, nullptr, __LINE__);
      return false;
    }
    // The record read goes into the entry as it is: its name is taken over, not copied.
    entry->position = record.position;
    entry->name = record.name;
    record.name = nullptr;
    entry->first_block = record.first_block;
    entry->last_block = record.last_block;
    entry->next_entry = record.next_entry;
    entry->size = record.size;
    entry->loaded = entry;
    entry->next_loaded = nullptr;
    if (!name_index.add(entry)) {
      fail(0x100B, nullptr, __LINE__);
      return false;
    }
    if (!root.first_loaded) root.first_loaded = entry;
    if (previous) previous->next_loaded = entry;
    previous = entry;
    position = record.next_entry;
  }
  root.last_loaded = previous;
  return true;
}

void PACKAGE::free_directory() {
  for (INT_S32 index = 0; index < entries.count; ++index) delete static_cast<PACKAGE_ENTRY*>(entries.items[index]);
  entries.remove_all();
  name_index.clear();
  last_extracted = nullptr;
  root.first_loaded = root.last_loaded = nullptr;
}

bool PACKAGE::flush() {
  if (read_only || !file) return true;
  bool ok = write_record(file) && write_root_record(file);
  for (INT_S32 index = 0; ok && index < entries.count; ++index)
    ok = write_entry_record(static_cast<PACKAGE_ENTRY*>(entries.items[index]), file);
  return ok;
}

INT_S32 PACKAGE::locate(const char* name, PACKAGE_ENTRY* out) {
  if (!file || root.first_entry == 0) return 0;
  if (directory_loaded) {
    // The index holds the first entry of each name along the chain, as a walk would find it.
    PACKAGE_ENTRY* entry = name_index.find(name);
    if (!entry) return 0;
    if (!copy_entry(out, entry)) {
      fail(0x100B, nullptr, __LINE__);
      return -1;
    }
    return 1;
  }
  INT_U64 steps_left = file->whole_size() / ENTRY_RECORD_BASE + 1;
  INT_U32 position = root.first_entry;
  while (position != 0) {
    if (steps_left-- == 0 || !read_entry_at(position, out)) {
      out->clear();
      fail(0x1007, package_name, __LINE__);
      return -1;
    }
    if (names_equal(out->name, name)) return 1;
    position = out->next_entry;
  }
  out->clear();
  return 0;
}

bool PACKAGE::find_entry(const char* name, PACKAGE_ENTRY* out) { return out && locate(name, out) == 1; }

bool PACKAGE::read_block(PACKAGE_BLOCK* block, DATA_DEVICE* device, INT_U32 size) {
  block->position = device->tell();
  if (!block->data) {
    block->data = static_cast<INT_U8*>(std::malloc(size));
    if (!block->data) return false;
  }
  if (!device->read_u32(&block->next)) return false;
  if (device->read(block->data, static_cast<INT_S32>(size)) != static_cast<INT_S32>(size)) return false;
  return device->read_u32(&block->used);
}

bool PACKAGE::write_block(PACKAGE_BLOCK* block, DATA_DEVICE* device, INT_U32 size) {
  device->seek(static_cast<INT_S32>(block->position), false);
  if (device->tell() != block->position || !device->write_u32(block->next)) return false;
  if (device->write(block->data, static_cast<INT_S32>(size)) != static_cast<INT_S32>(size)) return false;
  return device->write_u32(block->used);
}

bool PACKAGE::write_record(DATA_DEVICE* device) {
  device->seek(static_cast<INT_S32>(header_position), false);
  return device->tell() == header_position && device->write_u32(block_size) && device->write_u32(root_position) &&
         device->write_u32(first_free_block) && device->write_u32(last_free_block);
}

bool PACKAGE::write_root_record(DATA_DEVICE* device) {
  device->seek(static_cast<INT_S32>(root.position), false);
  INT_U32 length = name_length(root.name);
  if (device->tell() != root.position || !device->write_u32(length)) return false;
  if (length && device->write(root.name, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length)) return false;
  return device->write_u32(root.first_entry) && device->write_u32(root.last_entry) && device->write_u32(root.next) &&
         device->write_u32(root.size) && device->write_u32(root.reserved);
}

bool PACKAGE::write_entry_record(PACKAGE_ENTRY* entry, DATA_DEVICE* device) {
  device->seek(static_cast<INT_S32>(entry->position), false);
  INT_U32 length = name_length(entry->name);
  if (device->tell() != entry->position || !device->write_u32(length)) return false;
  if (length && device->write(entry->name, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length)) return false;
  return device->write_u32(entry->first_block) && device->write_u32(entry->last_block) &&
         device->write_u32(entry->next_entry) && device->write_u32(entry->size);
}

// Writes the entry's record at once, or, with the directory loaded, brings its loaded entry up to date
// (written by flush).
bool PACKAGE::store_entry(PACKAGE_ENTRY* entry) {
  if (!directory_loaded) return write_entry_record(entry, file);
  PACKAGE_ENTRY* loaded = entry->loaded;
  if (loaded && loaded != entry) {
    loaded->first_block = entry->first_block;
    loaded->last_block = entry->last_block;
    loaded->next_entry = entry->next_entry;
    loaded->size = entry->size;
  }
  return true;
}

// Sets the next field of the block at position.
bool PACKAGE::link_block(INT_U32 position, INT_U32 next) {
  if (!block_fits(position)) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  file->seek(static_cast<INT_S32>(position), false);
  if (file->tell() != position || !file->write_u32(next)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  return true;
}

bool PACKAGE::create_entry(const char* name, PACKAGE_ENTRY* out) {
  if (read_only || !file || !out) return false;
  // The new record is linked after the end of the chain. Should the root's last entry not end it (a
  // damaged root, or a change cut short), the chain is followed on to its end, so that linking cuts
  // no entry off. Done before anything is written.
  PACKAGE_ENTRY last;
  if (!directory_loaded && root.last_entry != 0) {
    INT_U64 steps_left = file->whole_size() / ENTRY_RECORD_BASE + 1;
    for (INT_U32 position = root.last_entry;; position = last.next_entry) {
      if (steps_left-- == 0 || !read_entry_at(position, &last)) {
        fail(0x1007, package_name, __LINE__);
        return false;
      }
      if (last.next_entry == 0) break;
    }
  }
  out->clear();
  if (file->whole_size() + ENTRY_RECORD_BASE + name_length(name) > PACKAGE_LARGEST_SIZE) {
    fail(0x1008, package_name, __LINE__);  // the package cannot grow past its largest size
    return false;
  }
  out->position = static_cast<INT_U32>(file->whole_size());
  out->name = copy_name(name);
  if (!out->name) {
    fail(0x100B, nullptr, __LINE__);
    return false;
  }
  if (!write_entry_record(out, file)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }

  if (!directory_loaded) {
    if (root.last_entry != 0) {
      last.next_entry = out->position;
      if (!write_entry_record(&last, file)) {
        fail(0x1008, package_name, __LINE__);
        return false;
      }
    }
    root.last_entry = out->position;
    if (root.first_entry == 0) root.first_entry = out->position;
    if (!write_root_record(file)) {
      fail(0x1008, package_name, __LINE__);
      return false;
    }
    return true;
  }

  PACKAGE_ENTRY* entry = new (std::nothrow) PACKAGE_ENTRY;
  if (!entry || !copy_entry(entry, out) || !entries.add(entry)) {
    delete entry;
    fail(0x100B, nullptr, __LINE__);
    return false;
  }
  entry->loaded = entry;
  entry->next_loaded = nullptr;
  if (!name_index.add(entry)) {
    entries.remove_at(entries.count - 1);
    delete entry;
    fail(0x100B, nullptr, __LINE__);
    return false;
  }
  out->loaded = entry;
  if (root.last_loaded) {
    root.last_loaded->next_loaded = entry;
    root.last_loaded->next_entry = out->position;
  }
  root.last_entry = out->position;
  root.last_loaded = entry;
  if (root.first_entry == 0) {
    root.first_entry = out->position;
    root.first_loaded = entry;
  }
  return true;
}

bool PACKAGE::allocate_block(PACKAGE_ENTRY* entry, PACKAGE_BLOCK* block) {
  if (!block->data) {
    block->data = static_cast<INT_U8*>(std::malloc(block_size));
    if (!block->data) {
      fail(0x100B, nullptr, __LINE__);
      return false;
    }
  }
  if (first_free_block == 0) {
    if (file->whole_size() + block_size + BLOCK_OVERHEAD > PACKAGE_LARGEST_SIZE) {
      fail(0x1008, package_name, __LINE__);  // the package cannot grow past its largest size
      return false;
    }
    block->position = static_cast<INT_U32>(file->whole_size());
  } else {
    // Only the next field of a free block means anything: take it and move the head along.
    if (!block_fits(first_free_block)) {
      fail(0x1007, package_name, __LINE__);
      return false;
    }
    block->position = first_free_block;
    file->seek(static_cast<INT_S32>(block->position), false);
    INT_U32 next = 0;
    if (!file->read_u32(&next) || (next != 0 && !block_fits(next))) {
      fail(0x1007, package_name, __LINE__);
      return false;
    }
    first_free_block = next;
    if (next == 0) last_free_block = 0;
    if (!directory_loaded && !write_record(file)) {
      fail(0x1008, package_name, __LINE__);
      return false;
    }
  }
  // A taken block holds nothing until its data are written; its bytes are zero meanwhile.
  block->next = 0;
  block->used = 0;
  std::memset(block->data, 0, block_size);
  if (!write_block(block, file, block_size)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }

  INT_U32 previous = entry->last_block;
  entry->last_block = block->position;
  if (entry->first_block == 0) entry->first_block = block->position;
  if (!store_entry(entry)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  return previous == 0 || link_block(previous, block->position);
}

bool PACKAGE::release_blocks(PACKAGE_ENTRY* entry) {
  if (read_only || !file || entry->first_block == 0) return true;
  // The chain joins the free list whole: one that loops or leaves the file would make the list hand
  // out the same block twice.
  if (!chain_sound(entry->first_block, entry->last_block)) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  if (last_free_block == 0) {
    first_free_block = entry->first_block;
  } else if (!link_block(last_free_block, entry->first_block)) {
    return false;
  }
  last_free_block = entry->last_block;
  if (!directory_loaded && !write_record(file)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  entry->first_block = entry->last_block = 0;
  if (!store_entry(entry)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  return true;
}

bool PACKAGE::add_file(FOLDER* folder, const char* file_name, const char* entry_name, bool replace,
                       PACKAGE_PROGRESS_CALLBACK progress, void* user,
                       const std::function<void(const INT_U8* data, INT_U32 size)>& seen) {
  if (read_only) return false;
  if (!file) {
    fail(0x100D, nullptr, __LINE__);
    return false;
  }
  DATA_FILE* source = open_data_file(folder, file_name, FILE_MODE_READ, 0, false);
  if (!source) {
    fail(0x100E, file_name, __LINE__);
    return false;
  }
  // An entry's size is a 32-bit field and the package stays within its largest size.
  if (source->whole_size() > PACKAGE_LARGEST_SIZE) {
    close_data_file(&source);
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  if (!entry_name) entry_name = file_name;

  PACKAGE_ENTRY entry;
  INT_S32 found = locate(entry_name, &entry);
  bool ok = found >= 0;
  if (ok && found == 0) {
    ok = create_entry(entry_name, &entry);
  } else if (ok && !replace) {
    close_data_file(&source);
    return false;
  } else if (ok) {
    ok = release_blocks(&entry);
  }
  if (!ok) {
    close_data_file(&source);
    return false;
  }

  entry.size = static_cast<INT_U32>(source->get_size());
  if (!store_entry(&entry)) {
    close_data_file(&source);
    fail(0x1008, package_name, __LINE__);
    return false;
  }

  PACKAGE_BLOCK block;
  INT_U32 done = 0;
  while (!source->at_end()) {
    if (!allocate_block(&entry, &block)) {
      close_data_file(&source);
      return false;
    }
    INT_S32 got = source->read(block.data, static_cast<INT_S32>(block_size));
    if (got < 0) got = 0;
    if (got > 0) {
      if (seen) seen(block.data, static_cast<INT_U32>(got));
      done += static_cast<INT_U32>(got);
      if (progress) progress(this, static_cast<INT_S32>(done), static_cast<INT_S32>(entry.size), user);
    }
    // The unused tail of the block is zero (allocate_block cleared it; the read left it alone).
    block.used = static_cast<INT_U32>(got);
    if (got > 0 && !write_block(&block, file, block_size)) {
      close_data_file(&source);
      fail(0x1008, package_name, __LINE__);
      return false;
    }
    // A read that gives nothing ends the copy even when the source cannot tell its end.
    if (got == 0) break;
    // A request to end the program stops a large file's copy between two blocks.
    if (end_requested()) {
      close_data_file(&source);
      fail(0x1008, package_name, __LINE__);
      return false;
    }
  }
  // A source that fails to read part-way is not stored as if it had ended there.
  bool source_failed = source->file && std::ferror(source->file);
  close_data_file(&source);
  if (source_failed) {
    fail(0x1007, file_name, __LINE__);
    return false;
  }

  // Everything written so far must reach the disk: a buffered write that fails shows only here.
  file->flush();
  if (file->write_failed || (file->file && std::fflush(file->file) != 0)) {
    fail(0x1008, package_name, __LINE__);
    return false;
  }
  set_error(0, nullptr);
  return true;
}
