// What the packer's sources share: the host-text helpers, the records of a description as it is read,
// the files of an installation's tree, and the one packing run (PACKER) whose parts are read in
// description.cpp, listed in tree.cpp and written in package_writer.cpp.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "colour.h"
#include "database.h"
#include "files.h"
#include "folder.h"
#include "package_builder.h"
#include "style_set.h"

class PACKAGE;

namespace package_builder {

namespace fs = std::filesystem;

// The longest text of the installation database.
const size_t TEXT_LIMIT = DATABASE_TEXT_SIZE - 1;

std::vector<std::string> split(const std::string& text, char separator);
std::string trim(const std::string& text);

// A name, path or text of the host (UTF-8, as the description holds it and u8string gives it) in the
// system's 8-bit text: Latin-1 bytes, characters above 0xFF in wide-character runs, and bytes that are
// no UTF-8 kept as velk_string.h says. The packer keeps host texts and converts them where they reach
// the package, the database or the library's file calls.
std::string system_name(const std::string& host);
// Texts are checked against TEXT_LIMIT (in the system's form) before they are copied.
void copy_text(char* field, const std::string& text);
// A folder set from a path of the host (it must exist).
bool host_folder(FOLDER* folder, const std::string& path);
// The first byte of text that is not part of well-formed UTF-8 (overlong forms, surrogates and
// characters past U+10FFFF included), or npos when all of it is.
size_t utf8_error_at(const std::string& text);
// Why Windows or Linux cannot hold a file or folder of that name ("" when both can): no UTF-8, longer
// than a Linux name, a control character or one of "*:<>?|\, a dot or space at its end, a device name
// (CON, aux.txt, NUL.txt ...).
std::string name_problem(const std::string& name);
// The form under which Windows compares names: every letter as its capital, so that "README" and
// "readme" have one key.
std::string windows_name_key(const std::string& name);
// Whether Windows takes the name for that of the installer's hold on the install location
// (FOLDER_HOLD_NAME): in any capitals, and with final dots and spaces, which it drops.
bool is_hold_name(const std::string& name);
// A temporary of the packer's that a second request to end it removes on the process's way out, from
// note (made while end requests are held back, with the file) to forget or the note's end (the first
// request stops the packer, which removes its temporaries itself).
struct TEMPORARY_NOTE {
  const FOLDER* folder = nullptr;
  std::string name;
  TEMPORARY_NOTE() {}
  void note(const FOLDER* in_folder, const char* in_name) {
    folder = in_folder;
    name = in_name;
    remove_at_immediate_end(folder, in_name);
  }
  void forget() {
    if (folder) keep_at_immediate_end(folder, name.c_str());
    folder = nullptr;
  }
  ~TEMPORARY_NOTE() { forget(); }
  TEMPORARY_NOTE(const TEMPORARY_NOTE&) = delete;
  TEMPORARY_NOTE& operator=(const TEMPORARY_NOTE&) = delete;
};
// Why a write into the folder failed: a full disk says so; else the system's reason, when it gave one.
std::string write_cause(const fs::path& folder, int error_number);
// A file's digest: the hash of its bytes and their count (8 bytes, least significant first); none
// while not taken.
struct FILE_DIGEST {
  unsigned char bytes[24] = {};
  bool taken = false;
};

// A 128-bit hash of a stream of bytes (version.cpp), quick enough to take in every byte as the packer
// reads it: four lanes of 64 bits take the stream's words two at a time, through a 128-bit product,
// and their 256 bits are folded into two halves at the end. It tells apart the versions a packager
// makes (a chance collision is about one in 2^64 at worst); it is no defence against a collision made
// on purpose, which only the packager who makes both versions could make. The bytes may come in pieces
// of any size: the hash is the same.
class CONTENT_HASH {
public:
  void add(const void* data, size_t size);
  // The hash of every byte added, in 16 bytes; nothing is added after.
  void finish(unsigned char out[16]);
  // The digest of the bytes added, as the version's identity takes a file's bytes.
  FILE_DIGEST file_digest();

private:
  void stripe(const unsigned char* bytes);
  INT_U64 lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
  static const size_t STRIPE = 64;  // the bytes that the four lanes take at a time
  unsigned char pending[STRIPE] = {};
  size_t used = 0;
  INT_U64 total = 0;
};

// ---------------------------------------------------------------------------------------------------
// The tree of an installation

// One file of an installation: its path below the files folder (the host's names joined with '/'),
// the file of the host it holds (through the links on the way, and its real path), and whether a
// missing_file line left it out of the package.
struct TREE_FILE {
  std::string relative;
  fs::path host;
  bool missing = false;
  int line = 0;  // the missing_file line
  fs::path real;  // the file itself: its path with every link followed
  INT_U8 overwrite = 0;   // its overwrite rule: 2 only where absent, 1 only over an older file, 0 always
  int overwrite_line = 0;  // the overwrite line that gave it
  // The digest of its bytes (CONTENT_HASH::file_digest) once they were read whole, as it was packed or
  // compared with the earlier version's; not taken before.
  FILE_DIGEST digest{};
};

// A link of an installation's tree, packed as a copy of what it leads to: its path below the files
// folder, and where it leads (the real path), a folder or a file.
struct PACKED_LINK {
  std::string relative;
  fs::path target;
  bool folder = false;
};

// The folder below the install location that a folder text names ("" for the install location) in
// relative, judged as the installer on any host judges it: 1. A text of another path variable: 0. A text
// that leads out of its variable's folder: -1, with that folder in out_of.
int install_folder_part(const std::string& text, std::string* relative, std::string* out_of = nullptr);

// Why a folder text cannot be the install log's folder (key "log") or the earlier log's ("patch_check"),
// as the description's line would give it (empty: the install location): it begins with no path
// variable that the installer knows, lies in "$TEMP", separates folders with '\' or leads out of its
// variable's folder. Empty when it can be.
std::string log_folder_problem(const std::string& key, const std::string& value);

// ---------------------------------------------------------------------------------------------------
// Identical content

// The files packed so far by their content, so that a file with the bytes of one packed before can take
// that file's entry instead of one of its own (the installer installs each file whole from whichever
// entry its database names). Sizes are compared first, then the checksum of a sample (the first and the
// last bytes), then the checksum of the whole, then every byte: a file of a size packed before costs a
// sample's read unless its sample matches, so that files of one size but other bytes are read no more
// than others. A file that changed since it was packed, or that changes while it is compared, is never
// taken for another.
class CONTENT_INDEX {
public:
  // The entry of a file packed before with the bytes of the host file (of that size and modification
  // time), and the digest of its bytes when digest is given; false when there is none.
  bool find(const fs::path& host, std::uintmax_t size, fs::file_time_type time, std::string* entry,
            FILE_DIGEST* digest = nullptr);
  // The host file as it was packed into entry: its size and modification time then, and the digest of
  // its bytes. The index keeps the path given, which lives as long as it.
  void add(const fs::path& host, std::uintmax_t size, fs::file_time_type time, const std::string& entry,
           const FILE_DIGEST& digest = FILE_DIGEST());

private:
  // A checksum, taken when it is first needed.
  struct SUM {
    bool taken = false;
    bool read = false;  // the file could be read for it
    unsigned long value = 0;
  };
  struct STORED {
    const fs::path* host;
    std::uintmax_t size;
    fs::file_time_type time;
    std::string entry;
    FILE_DIGEST digest;
    SUM sample, whole;
  };
  std::vector<STORED> stored;
  // Indexes into stored by size.
  std::map<std::uintmax_t, std::vector<size_t>> by_size;
  // The last file that find looked at, whose sums add takes without reading it again.
  const fs::path* last_host = nullptr;
  SUM last_sample, last_whole;
  std::vector<unsigned char> first_bytes, second_bytes;  // what is read, kept from file to file
  // The folder of the file opened last: a tree's files are packed folder by folder.
  fs::path opened_folder_path;
  FOLDER opened_folder;

  FILE* open(const fs::path& host);

  // The sum of the host file of size bytes (of its sample, or of all of it), taken now unless it is.
  void take_sum(const fs::path& host, std::uintmax_t size, bool sample, SUM* sum);
  bool same_bytes(const fs::path& first, const fs::path& second, std::uintmax_t size);
};

// ---------------------------------------------------------------------------------------------------
// The description

struct SHORTCUT_LINE {
  bool menu;
  std::vector<std::string> parts;
  int line;
};

// An overwrite line: its rule (2 never, 1 older) and the paths or patterns below the files folder that it
// gives it to, each as its names.
struct OVERWRITE_LINE {
  INT_U8 rule;
  std::vector<std::vector<std::string>> patterns;
  int line;
};

// What the description says of one installation, with the lines that said it.
struct INSTALLATION_LINES {
  std::string name, default_path, files_folder = "files";
  int line = 0, default_path_line = 0, files_line = 0, uninstaller_line = 0;
  std::vector<std::string> uninstaller;
  std::vector<std::pair<std::string, int>> missing_files;
  std::vector<SHORTCUT_LINE> shortcuts;
  std::vector<OVERWRITE_LINE> overwrites;
};

// One colour, or one size, of a member style set.
struct STYLE_COLOUR_LINE {
  int member;
  COLOUR WM_STYLE_SET::*field;
  COLOUR colour;
  INT_S16 WM_STYLE_SET::*size_field;  // set instead of field for a size
  INT_S16 size;
};

// The keys that give sizes and places, with their count of numbers and the packer's defaults (the
// sample's wizard: a 640 x 480 window, its page, its questions and dialogs at readable sizes).
struct GEOMETRY_KEY {
  const char* key;
  size_t count;
  const char* standard;  // the default's numbers; null: the database's own default
};
extern const GEOMETRY_KEY geometry_keys[];
extern const size_t geometry_key_count;

// Numbers separated by ';' into out, each from low to high; false with the cause otherwise.
bool numbers(const std::string& key, const std::string& value, size_t count, long low, long high,
             std::vector<INT_S32>* out, std::string* cause);

// ---------------------------------------------------------------------------------------------------
// One packing run: the description read, its checks, and the package written.

class PACKER {
public:
  PACKER(const std::string& description_path, std::vector<std::string>* notes, PACK_SUMMARY* summary)
      : description(description_path), notes(notes), summary(summary) {}

  // Builds the package at package_path (a file there is replaced when the new one is whole). block_size:
  // the data bytes per package block.
  bool build(const std::string& package_path, INT_S32 block_size, std::string* error_out);

  // What the run makes (the package, or the single-file installer that takes it: the package's path
  // when empty) and the installer program it copies (none when empty). The output may be neither an
  // input nor inside a folder that is packed.
  std::string output, program;
  // The earlier version's package that the package is an update of (none when empty).
  std::string earlier;
  // The package made for a single-file installer (program given) is a temporary itself: a second
  // request to end the packer removes it for as long as the packer lives.
  TEMPORARY_NOTE package_note;

private:
  std::string description;
  std::vector<std::string>* notes;
  PACK_SUMMARY* summary;
  std::string error;
  fs::path base;
  int line_count = 0;

  std::string title = "Installer", application, log_path, patch_path;
  // An update's log folder and the earlier log's with the system folders (empty: as without them).
  std::string log_system_path, patch_system_path;
  std::unique_ptr<DATABASE> earlier_database;  // the earlier version's, read for its records alone
  // The identity of the version the package installs (a whole package, or an update made from the
  // whole new version) and, of an update, the identity of the earlier version it was made from; both
  // empty in an update made by hand, which knows no version.
  bool identified = false;
  std::string version_identity, updated_version;
  // Of an update, the files of the whole version that the identity is taken from (it keeps fewer in
  // files); a whole package's are its files.
  std::vector<std::vector<TREE_FILE>> version_files;
  std::vector<PACK_SUMMARY::INSTALLATION_FILES> update_counts;  // per installation, of an update
  std::vector<INSTALLATION_LINES> installation_lines;
  std::vector<std::vector<std::string>> languages;
  std::vector<int> language_lines;  // the line of each language
  std::vector<std::pair<const GEOMETRY_KEY*, std::vector<INT_S32>>> geometry;
  // Page texts by identifier: for every language (index -1) or the language declared before them.
  struct TEXT_LINE {
    int language;
    int slot;
    std::string value;
  };
  std::vector<TEXT_LINE> texts;
  std::vector<STYLE_COLOUR_LINE> style_colours;
  std::vector<std::vector<TREE_FILE>> files;  // per installation, in name order
  std::vector<std::vector<PACKED_LINK>> links;  // per installation, the links packed as copies
  std::set<fs::path> walked_folders;          // the real paths of every folder packed

  PACKAGE* package = nullptr;
  FOLDER package_folder;
  fs::path package_folder_path;
  std::string package_path;
  // Entries written: the entry of each host file (by its real path) with the digest of its bytes, and
  // every name taken.
  struct PACKED_FILE {
    std::string entry;
    FILE_DIGEST digest;
  };
  std::unordered_map<fs::path::string_type, PACKED_FILE> entry_of_file;
  std::set<std::string> entry_names;
  CONTENT_INDEX content;  // the files of the trees packed, by their bytes

  // The line of each key that takes one value, by its scope (e.g. the installation it belongs to).
  std::map<std::string, int> key_lines;

  bool fail_at(int line, const std::string& cause);
  void given_once(int n, const std::string& scope, const std::string& what);
  bool fail(const std::string& text);
  // A text of the database: at most TEXT_LIMIT bytes.
  bool fits(int line, const std::string& what, const std::string& text);

  // description.cpp
  bool read_description();
  bool read_key(int n, const std::string& key, const std::string& value);
  bool read_shortcut(int n, bool menu, const std::string& value);
  bool read_overwrite(int n, const std::string& value);
  bool check_shortcut_links();

  // update.cpp
  void note_update_logs();
  bool read_earlier();
  bool compare_with_earlier();
  bool check_kinds(size_t n, const INSTALLATION& then, const std::vector<INSTALLATION_FILE>& records,
                   const std::vector<bool>& carried);
  void keep_carried(size_t n, const std::vector<bool>& carried);

  // tree.cpp
  bool list_files();
  bool give_overwrite_rules(size_t installation);
  void note_long_paths(size_t installation);
  bool check_references();
  bool check_output();

  // version.cpp
  bool identify_version();

  // package_writer.cpp
  // Installation n's own settings, and a file's fields but its packed name, as the database gets them.
  void describe_installation(size_t n, INSTALLATION* installation);
  static void describe_file(const TREE_FILE& tree_file, INSTALLATION_FILE* file);
  bool check_size(INT_S32 block_size);
  bool fail_writing(const std::string& what, int error_number);
  bool add_entry(const fs::path& host, const std::string& wanted, const std::string& fallback, std::string* name,
                 bool exact = false, const fs::path* real_path = nullptr, FILE_DIGEST* digest = nullptr);
  void fill_database(DATABASE* database);
  bool fill_package(DATABASE* database);
  // The links that the summary names, at most.
  static const size_t SUMMARY_LINKS = 3;
  void note_links(size_t n, std::vector<std::string>* out);
  bool write(const std::string& path, INT_S32 block_size);
};

}  // namespace package_builder
