// The attached-data format: what a program file carries after its executable image. The installer's
// start reads it (the copy-out, attached.cpp) and the packer writes it (a single-file installer); both
// go through this module. Every number of the package data is stored most significant byte first.
//
// After the image: optionally a skin block - the 8 bytes "VELKSKIN", a big-endian u32 length, then that
// many bytes of a skin file (its byte-order byte and skin stream) - and then the package data up to the
// end of the file: u8 splash flag; when it is not 0 the splash block (the image cache, the splash image,
// u16 x, y, width and height of the progress bar, the window title, the bar's style set); u32 chunk
// size; u8 compressed flag; then records up to the end of the file, each a u32 length and that many
// bytes: plain package bytes, or one zlib stream of at most one chunk of them. The records together are
// the package file without its byte-order byte.
#pragma once
#include <string>
#include <vector>

#include "types.h"

class DATA_DEVICE;
class DATA_FILE;
class FOLDER;
class IMAGE;
class VELK_STRING;
class WM_STYLE_SET;

// Where the attached data of a program file lies.
struct ATTACHED_DATA {
  INT_U8 skin_attached;
  INT_U32 skin_position;     // the skin file's byte-order byte
  INT_U8 package_attached;
  INT_U32 package_position;  // the package data's first byte (its splash flag)
};
// Locates the attached data of the named file; false when the file cannot be read, is no executable,
// or holds nothing after its image (record then says nothing is attached).
bool locate_attached_data(FOLDER* folder, const char* name, ATTACHED_DATA* record);
// The tag that opens an attached skin block.
extern const char ATTACHED_SKIN_TAG[8];

// The installer program carries a mark that no other program does (its entry, installer.cpp, holds
// it): the packer attaches a package only to a program with it, the one that copies its attached
// package out. Kept here backwards, so that the programs that look for it do not carry it.
extern const char INSTALLER_MARK_BACKWARDS[];
// Whether the bytes of a program file hold the installer's mark.
bool carries_installer_mark(const std::vector<INT_U8>& program);

// The byte-order setting (open_data_file's order) with which a data file reads the package data's
// most-significant-first numbers on this machine.
INT_U8 attached_data_byte_order();

// ---------------------------------------------------------------------------------------------------
// Reading, from a data file opened with attached_data_byte_order and placed after the splash flag

// The splash block: the image cache (read into the library's image_cache), the splash image, the
// progress bar's place (x, y, width, height) and style set, and the title. False when it is damaged.
bool read_attached_splash(DATA_FILE* file, IMAGE* splash, INT_S16 bar_place[4], VELK_STRING* title,
                          WM_STYLE_SET* bar_style);
// The chunk size and the compressed flag; false, with the failure's words, when the data ends before
// them or the chunk size is out of range.
bool read_attached_head(DATA_FILE* file, INT_U32* chunk, INT_U8* compressed, std::string* failure);

// The records from the first one to the end of the file, copied one at a time.
class ATTACHED_RECORDS {
public:
  ATTACHED_RECORDS(DATA_FILE* file, INT_U64 first_record, INT_U64 size, INT_U32 chunk, bool compressed);
  ~ATTACHED_RECORDS();
  ATTACHED_RECORDS(const ATTACHED_RECORDS&) = delete;
  ATTACHED_RECORDS& operator=(const ATTACHED_RECORDS&) = delete;

  // The buffers: chunk bytes in, and chunk + chunk / 5 out when compressed. False when out of memory.
  bool allocate();
  bool at_end() const { return at >= size; }
  // Writes the next record's package bytes to out (a record of length 0 has none). False, with the
  // failure's words naming the record, for a record cut off, running past the end or of a length of
  // 2^31 or more, one that does not read or inflate, or a write that fails.
  bool copy_next(DATA_DEVICE* out, std::string* failure);
  // The record bytes read so far, and the span they come from (first record to the end of the file).
  INT_U64 total = 0;
  INT_U64 span() const { return size - first; }

private:
  DATA_FILE* file;
  INT_U64 first, at, size;
  bool compressed;
  INT_U32 record = 0;
  INT_U8* input = nullptr;
  INT_U32 input_size;
  INT_U8* output = nullptr;
  INT_U32 output_size;
};

// ---------------------------------------------------------------------------------------------------
// Writing

// The package bytes a record of the packer's single-file installers holds.
const INT_U32 ATTACHED_CHUNK = 1048576;

void put_attached_u32(std::vector<INT_U8>* out, INT_U32 value);
// The package data's head without a splash block: the splash flag 0, the chunk size (the most package
// bytes a record holds) and whether the records are compressed.
void put_attached_head(std::vector<INT_U8>* out, INT_U32 chunk, bool compressed);
// A record holding the bytes, plain or as one zlib stream; false when they cannot be compressed.
bool put_attached_record(std::vector<INT_U8>* out, const INT_U8* bytes, size_t count, bool compressed);
