// Package files: copying entries out to files, each under a temporary name beside its place that takes
// the name only when all of it was written, block by block with every block checked against the file;
// and handing an entry's data over where they lie, with the same checks.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "files.h"
#include "host.h"
#include "package.h"
#include "package_records.h"

using package_records::BLOCK_OVERHEAD;
using package_records::names_equal;
using package_records::stored_u32;

// The first block and the size of the entry to extract. With the directory loaded they are read from
// the loaded entry, without a copy: entries are mostly extracted in their order, so the one after the
// last one found is tried first (it is the index's answer to its name whenever no two entries share a
// name). False, with the data error set, when there is no such entry or the chain is damaged.
bool PACKAGE::find_extracted_entry(const char* entry_name, const char* file_name, INT_U32* first_block,
                                   INT_U32* size) {
  if (directory_loaded && root.first_entry != 0) {
    const PACKAGE_ENTRY* next = last_extracted ? last_extracted->next_loaded : nullptr;
    const PACKAGE_ENTRY* loaded = next && name_index.shadowed == 0 && names_equal(next->name, entry_name)
                                      ? next
                                      : name_index.find(entry_name);
    if (loaded) {
      last_extracted = loaded;
      *first_block = loaded->first_block;
      *size = loaded->size;
      return true;
    }
  }
  PACKAGE_ENTRY entry;
  INT_S32 found = directory_loaded ? 0 : locate(entry_name, &entry);
  if (found < 0) return false;
  if (found == 0) {
    fail(0x1010, file_name, __LINE__);
    return false;
  }
  *first_block = entry.first_block;
  *size = entry.size;
  return true;
}

// The data of the block at position: where it lies in the package file's buffer (in_place; valid only
// until the next transfer of the package file), else read into the block's own buffer. The block's
// next and used fields are filled. Null, with the data error set, when the block cannot be read.
const INT_U8* PACKAGE::read_chain_block(INT_U32 position, bool in_place, PACKAGE_BLOCK* block) {
  file->seek(static_cast<INT_S32>(position), false);
  if (file->tell() != position) {
    fail(0x1007, package_name, __LINE__);
    return nullptr;
  }
  if (in_place) {
    const INT_U8* bytes = file->read_in_place(static_cast<INT_S32>(block_size + BLOCK_OVERHEAD));
    if (!bytes) {
      fail(0x1007, package_name, __LINE__);
      return nullptr;
    }
    block->next = stored_u32(bytes, file->swap_bytes != 0);
    block->used = stored_u32(bytes + 4 + block_size, file->swap_bytes != 0);
    return bytes + 4;
  }
  if (!block->data) {
    block->data = static_cast<INT_U8*>(std::malloc(block_size));
    if (!block->data) {
      fail(0x100B, nullptr, __LINE__);
      return nullptr;
    }
  }
  if (!read_block(block, file, block_size)) {
    fail(0x1007, package_name, __LINE__);
    return nullptr;
  }
  return block->data;
}

namespace {

// An entry's data on their way to the file written: gathered here and written straight to the file,
// without a buffer of the stream's own. An entry of up to the gathering size goes out in one write, a
// larger one in writes of that size; a block of at least that size is written from where it lies.
struct GATHERED_WRITER {
  FILE* target;
  INT_U8* bytes = nullptr;
  INT_U32 size = 1;
  INT_U32 used = 0;
  bool failed = false;

  // Gathering for an entry of entry_size bytes, in a buffer of at most the default file-cache size.
  GATHERED_WRITER(FILE* file, INT_U32 entry_size) : target(file) {
    std::setvbuf(target, nullptr, _IONBF, 0);
    size = entry_size < default_file_cache_size ? entry_size : default_file_cache_size;
    if (size > static_cast<INT_U32>(DATA_FILE_LARGEST_BUFFER)) size = DATA_FILE_LARGEST_BUFFER;
    if (size < 1) size = 1;
    bytes = static_cast<INT_U8*>(std::malloc(size));
  }
  ~GATHERED_WRITER() { std::free(bytes); }
  GATHERED_WRITER(const GATHERED_WRITER&) = delete;
  GATHERED_WRITER& operator=(const GATHERED_WRITER&) = delete;

  void write_out(const INT_U8* data, INT_U32 count) {
    // Through the host, which makes a write that fills the disk say so.
    if (!failed && count > 0 && !write_stream_whole(target, data, count)) failed = true;
  }
  // False once a write has failed.
  bool add(const INT_U8* data, INT_U32 count) {
    if (used + count > size) {
      write_out(bytes, used);
      used = 0;
    }
    if (count >= size) {
      write_out(data, count);
    } else {
      std::memcpy(bytes + used, data, count);
      used += count;
    }
    return !failed;
  }
  bool finish() {
    write_out(bytes, used);
    used = 0;
    return !failed;
  }
};

}  // namespace

// Hands take the data of the chain of blocks from first_block, block by block: each block must lie inside
// the package and hold at most a block of data, and the chain must end with exactly the entry's size (a
// chain that loops runs past it). In a package open for reading, a block is handed where it lies in the
// file's buffer when it fits there. False, with the data error set, at the first failure; false also when
// take returns false (take sets the error then).
bool PACKAGE::walk_chain(INT_U32 first_block, INT_U32 entry_size, const CHAIN_TAKER& take) {
  bool in_place = file->mode == FILE_MODE_READ &&
                  static_cast<INT_U64>(block_size) + BLOCK_OVERHEAD <= static_cast<INT_U64>(file->buffer_size);
  PACKAGE_BLOCK block;
  INT_U64 steps_left = file->whole_size() / (block_size + BLOCK_OVERHEAD) + 1;
  INT_U32 done = 0;
  for (INT_U32 position = first_block; position != 0; position = block.next) {
    if (steps_left-- == 0 || !block_fits(position)) {
      fail(0x1007, package_name, __LINE__);
      return false;
    }
    const INT_U8* data = read_chain_block(position, in_place, &block);
    if (!data) return false;
    if (block.used > block_size || block.used > entry_size - done) {
      fail(0x1007, package_name, __LINE__);
      return false;
    }
    if (block.used < 1) continue;
    done += block.used;
    if (!take(data, block.used, done)) return false;
  }
  if (done != entry_size) {
    fail(0x1007, package_name, __LINE__);
    return false;
  }
  return true;
}

// Copies the chain of blocks from first_block into the file (walk_chain). False, with the data error set,
// at the first failure, and when the program is asked to end (end_requested): the file is then abandoned.
bool PACKAGE::copy_chain(FILE* target, INT_U32 first_block, INT_U32 entry_size, const char* file_name,
                         PACKAGE_PROGRESS_CALLBACK progress, void* user) {
  GATHERED_WRITER writer(target, entry_size);
  if (!writer.bytes) {
    fail(0x100B, nullptr, __LINE__);
    return false;
  }
  extracted_head_size = 0;
  bool walked = walk_chain(first_block, entry_size, [&](const INT_U8* data, INT_U32 count, INT_U32 done) {
    if (end_requested()) {
      fail(0x1008, file_name, __LINE__);
      return false;
    }
    if (extracted_head_size < sizeof extracted_head) {
      INT_U32 taken = sizeof extracted_head - extracted_head_size;
      if (taken > count) taken = count;
      std::memcpy(extracted_head + extracted_head_size, data, taken);
      extracted_head_size += taken;
    }
    if (progress) progress(this, static_cast<INT_S32>(done), static_cast<INT_S32>(entry_size), user);
    if (!writer.add(data, count)) {
      fail(0x1008, file_name, __LINE__);
      return false;
    }
    return true;
  });
  if (walked && !writer.finish()) {
    fail(0x1008, file_name, __LINE__);
    return false;
  }
  return walked;
}

bool PACKAGE::read_entry(const char* entry_name, const std::function<bool(const INT_U8* data, INT_U32 size)>& take) {
  if (!file) {
    fail(0x100D, nullptr, __LINE__);
    return false;
  }
  INT_U32 first_block = 0, entry_size = 0;
  return find_extracted_entry(entry_name, entry_name, &first_block, &entry_size) &&
         walk_chain(first_block, entry_size, [&take](const INT_U8* data, INT_U32 count, INT_U32) {
           return take(data, count);
         });
}

bool PACKAGE::extract_entry(FOLDER* folder, const char* file_name, const char* entry_name,
                            PACKAGE_PROGRESS_CALLBACK progress, void* user, bool if_free, INT_S64 older_than) {
  extracted_name_kept = false;
  extracted_left[0] = extracted_left_cause[0] = 0;
  if (!file) {
    fail(0x100D, nullptr, __LINE__);
    return false;
  }
  INT_U32 first_block = 0, entry_size = 0;
  if (!find_extracted_entry(entry_name ? entry_name : file_name, file_name, &first_block, &entry_size)) return false;
  // The data go to a new file of a temporary name beside the destination, which takes the destination's
  // place only once the whole entry is there: a failure leaves no part of a file, and whatever was at
  // the destination stays as it was.
  if (!folder || !file_name || !file_name[0]) {
    fail(0x100F, file_name, __LINE__);
    return false;
  }
  // Its name tells a later run that a killed one left it (remove_stale_temporaries).
  char temporary[TEMPORARY_NAME_SIZE];
  FILE* target = create_next_temporary_file(folder, temporary);
  if (!target) {
    fail(0x100F, file_name, __LINE__);
    return false;
  }
  bool copied = copy_chain(target, first_block, entry_size, file_name, progress, user);
  // A request to end the program that came meanwhile abandons the file, whole or not.
  if (copied && end_requested()) {
    fail(0x1008, file_name, __LINE__);
    copied = false;
  }
  // The file keeps its number under the new name.
  extracted_number = copied ? stream_file_number(target) : 0;
  // Closed first: a close can still report a lost write, and a file that lost one never takes the name.
  // The system's record of a failure is the failure's, not the clean-up's.
  INT_U32 cause = 0;
  if (!copied) {
    cause = file_failure_code();
    close_file(target);
  } else {
    CLOSE_AS_RESULT closed = CLOSE_AS_PLACED;
    if (if_free) closed = close_file_as_if_free(target, folder, temporary, file_name, older_than);
    else if (!close_file_as(target, folder, temporary, file_name)) closed = CLOSE_AS_FAILED;
    if (closed != CLOSE_AS_PLACED) {
      fail(0x100F, file_name, __LINE__);
      cause = file_failure_code();
      copied = false;
    }
    // What has the name stays, and the temporary is gone already.
    extracted_name_kept = closed == CLOSE_AS_NAME_KEPT;
  }
  if (!copied) {
    // A temporary that cannot go (its folder turned read-only while it was written) is named, with why.
    if (!extracted_name_kept && !delete_file(folder, temporary)) {
      char why[sizeof extracted_left_cause];
      describe_file_failure(why, sizeof why);
      if (file_exists(folder, temporary)) {
        std::strcpy(extracted_left, temporary);
        std::strcpy(extracted_left_cause, why);
        note_temporary_taken(temporary);
      }
    }
    extracted_number = 0;
    restore_file_failure(cause);
    return false;
  }
  set_error(0, nullptr);
  return true;
}
