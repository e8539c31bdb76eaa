// The packer's writing of a package: the database filled from the description, the files, licences
// and readmes added as entries, and the package written under a temporary name that it leaves only
// when whole.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_set>

#include "data_file.h"
#include "errors.h"
#include "files.h"
#include "font.h"
#include "host.h"
#include "package.h"
#include "packer_private.h"
#include "wizard.h"

namespace package_builder {

// A name, path or text of the host (UTF-8, as the description holds it and u8string gives it) in the
// system's 8-bit text: Latin-1 bytes, characters above 0xFF in wide-character runs, and bytes that are
// no UTF-8 kept as velk_string.h says. The packer keeps host texts and converts them where they reach
// the package, the database or the library's file calls.
std::string system_name(const std::string& host) {
  std::vector<char> text(8 * host.size() + 8);
  return utf8_to_text(host.c_str(), text.data(), text.size()) ? text.data() : std::string();
}

// Texts are checked against TEXT_LIMIT (in the system's form) before they are copied.
void copy_text(char* field, const std::string& text) {
  std::snprintf(field, DATABASE_TEXT_SIZE, "%s", system_name(text).c_str());
}

// A folder set from a path of the host (it must exist).
bool host_folder(FOLDER* folder, const std::string& path) {
  std::string text = system_name(path);
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return folder->set_if_folder(text.c_str());
}

// Why a write into the folder failed: a full disk says so; else the system's reason, when it gave one.
std::string write_cause(const fs::path& folder, int error_number) {
  std::error_code code;
  fs::space_info space = fs::space(folder, code);
  if (error_number == ENOSPC || (!code && space.available < 65536)) return "the disk is full (No space left on device)";
  if (error_number) return std::generic_category().message(error_number);
  return "a write failed";
}

// Names the packer never gives a file of the tree: the installer reads these entries for itself.
static bool reserved_entry_name(const std::string& name) {
  if (name == "database.bin") return true;
  for (const char* kind : {"licence-", "readme-"}) {
    size_t length = std::strlen(kind);
    if (name.compare(0, length, kind) == 0 && name.size() > length &&
        name.find_first_not_of("0123456789", length) == std::string::npos)
      return true;
  }
  for (INT_U8 id = 0; id <= 22; id++)
    if (font_file_name(id) && name == font_file_name(id)) return true;
  return false;
}

// Reports each block copied into the package: the bytes copied so far.
static void count_copied(PACKAGE*, INT_S32 done, INT_S32, void* user) { *static_cast<INT_S64*>(user) = done; }

// A file's size and modification time, to see whether it changed while it was packed.
struct FILE_STAMP {
  std::uintmax_t size = 0;
  fs::file_time_type time;
  bool operator==(const FILE_STAMP& other) const { return size == other.size && time == other.time; }
};
static bool stamp_of(const fs::path& file, FILE_STAMP* stamp) {
  std::error_code code;
  stamp->size = fs::file_size(file, code);
  if (code) return false;
  stamp->time = fs::last_write_time(file, code);
  return !code;
}

bool PACKER::build(const std::string& package_path, INT_S32 block_size, std::string* error_out) {
  if (output.empty()) output = package_path;
  // An update is checked against the whole new version before it keeps only what it carries.
  // A whole package, and an update made from the whole new version, know the version they install:
  // its identity is taken from all of the version's files, also those an update does not carry.
  bool ok = read_description() && (earlier.empty() ? (note_update_logs(), true) : read_earlier()) && list_files();
  identified = !earlier.empty() || patch_path.empty();
  ok = ok && check_references() && check_output() && (earlier.empty() || compare_with_earlier()) &&
       write(package_path, block_size);
  if (!ok) *error_out = error;
  if (ok && !earlier.empty()) {
    for (size_t n = 0; n < update_counts.size(); n++) {
      PACK_SUMMARY::INSTALLATION_FILES& counts = summary->installations[n];
      counts.changed = update_counts[n].changed;
      counts.added = update_counts[n].added;
      counts.unchanged = update_counts[n].unchanged;
      counts.dropped = update_counts[n].dropped;
      counts.first_dropped = update_counts[n].first_dropped;
    }
    summary->update_of = earlier;
    summary->checked_log = patch_path;
    summary->log = log_path;
  }
  return ok;
}

bool PACKER::fail_at(int line, const std::string& cause) {
  error = description + ":" + std::to_string(line) + ": " + cause;
  return false;
}

bool PACKER::fail(const std::string& text) {
  error = text;
  return false;
}

// The package cannot pass its largest size: the files' blocks and records are counted before anything
// is written.
bool PACKER::check_size(INT_S32 block_size) {
  auto stored_size = [block_size](INT_U64 size) {
    return 20 + 2 * TEXT_LIMIT + (size / (INT_U64)block_size + 1) * ((INT_U64)block_size + 8);
  };
  INT_U64 total = 55 + 1024 * 1024;
  std::unordered_set<fs::path::string_type> counted;
  std::vector<const fs::path*> stored;
  for (const auto& installation : files)
    for (const TREE_FILE& file : installation) {
      if (file.missing || !counted.insert(file.real.native()).second) continue;
      stored.push_back(&file.host);
      std::error_code code;
      total += stored_size(fs::file_size(file.host, code));
    }
  if (total <= PACKAGE_LARGEST_SIZE) return true;
  // Files of one content are stored once: before the package is refused, they are counted once.
  CONTENT_INDEX alike;
  total = 55 + 1024 * 1024;
  for (const fs::path* host : stored) {
    std::string entry;
    FILE_STAMP stamp;
    if (stamp_of(*host, &stamp) && alike.find(*host, stamp.size, stamp.time, &entry)) continue;
    alike.add(*host, stamp.size, stamp.time, entry);
    total += stored_size(stamp.size);
  }
  if (total <= PACKAGE_LARGEST_SIZE) return true;
  return fail(output + ": the files come to about " + std::to_string(total >> 20) +
              " MiB in the package, which holds less than 2 GiB");
}

// Why the package could not be written, with the system's error number right after the failure.
bool PACKER::fail_writing(const std::string& what, int error_number) {
  return fail(output + ": " + what + ": " + write_cause(package_folder_path, error_number));
}

// Adds the host file as an entry: a file of the tree (whatever links lead to it: real_path, when known,
// is its real path) is stored once, under the name wanted, else the fallback, else a numbered one, and
// a file with the bytes of one stored before takes that one's entry; digest, when given, gets the digest
// of the entry's bytes. With exact (the installer's own names), the entry is made under the name wanted.
bool PACKER::add_entry(const fs::path& host, const std::string& wanted, const std::string& fallback, std::string* name,
                       bool exact, const fs::path* real_path, FILE_DIGEST* digest) {
  FILE_DIGEST unused;
  if (!digest) digest = &unused;
  std::error_code code;
  fs::path real = real_path ? *real_path : fs::canonical(host, code);
  if (code) return fail(host.string() + ": cannot be read: " + code.message());
  auto known = entry_of_file.find(real.native());
  if (known != entry_of_file.end() && !exact) {
    *name = known->second.entry;
    *digest = known->second.digest;
    return true;
  }
  FILE_STAMP before, after;
  if (!stamp_of(host, &before)) return fail(host.string() + ": cannot be read");
  // So is every file with the bytes of one packed before.
  if (!exact && content.find(host, before.size, before.time, name, digest)) {
    entry_of_file[real.native()] = {*name, *digest};
    return true;
  }
  *name = wanted;
  for (int n = 1; !exact && (entry_names.count(*name) || reserved_entry_name(*name) || system_name(*name).size() > TEXT_LIMIT);
       n++)
    *name = n == 1 && system_name(fallback).size() <= TEXT_LIMIT ? fallback : "entry-" + std::to_string(entry_names.size() + n);
  FOLDER folder;
  if (!host_folder(&folder, host.parent_path().u8string())) return fail(host.string() + ": its folder cannot be read");
  INT_S64 copied = 0;
  errno = 0;
  std::string host_name = system_name(host.filename().u8string()), entry_name = system_name(*name);
  // The bytes packed are the file's digest too, taken as they are read.
  CONTENT_HASH hash;
  bool added = package->add_file(&folder, host_name.c_str(), entry_name.c_str(), false, count_copied, &copied,
                                 [&hash](const INT_U8* data, INT_U32 size) { hash.add(data, size); });
  int error_number = errno;
  if (!added && end_requested()) return fail(output + ": not made: the packer was asked to end");
  if (!added) {
    INT_U16 code_number = get_error_code();
    if (code_number == 0x1008) return fail_writing("cannot be written", error_number);
    if (code_number == 0x100B) return fail(host.string() + ": there is not enough memory to pack it");
    return fail(host.string() + ": cannot be read" +
                (error_number ? ": " + std::generic_category().message(error_number) : std::string()));
  }
  PACKAGE_ENTRY entry;
  if (!stamp_of(host, &after) || !(before == after) || !package->find_entry(entry_name.c_str(), &entry) ||
      entry.size != before.size || copied != (INT_S64)before.size)
    return fail(host.string() + ": changed while it was packed (" + std::to_string(before.size) + " bytes before, " +
                std::to_string(copied) + " packed): pack it again once it no longer changes");
  *digest = hash.file_digest();
  if (!exact) {
    entry_of_file[real.native()] = {*name, *digest};
    content.add(host, before.size, before.time, *name, *digest);
  }
  entry_names.insert(*name);
  return true;
}

void PACKER::describe_installation(size_t n, INSTALLATION* installation) {
  const INSTALLATION_LINES& lines = installation_lines[n];
  copy_text(installation->name, lines.name);
  copy_text(installation->default_path, lines.default_path);
  installation->allow_system_paths = 1;
  if (lines.uninstaller.size() == 3) {
    copy_text(installation->uninstaller_name, lines.uninstaller[0]);
    copy_text(installation->uninstaller_filename, lines.uninstaller[1]);
    copy_text(installation->uninstaller_path, lines.uninstaller[2]);
  }
}

void PACKER::describe_file(const TREE_FILE& tree_file, INSTALLATION_FILE* file) {
  const std::string& relative = tree_file.relative;
  size_t slash = relative.find_last_of('/');
  std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
  copy_text(file->src_name, slash == std::string::npos ? relative : relative.substr(slash + 1));
  copy_text(file->src_path_from_xml, folder);
  copy_text(file->dest_path_from_inst_loc, folder.empty() ? "$HERE" : "$HERE/" + folder);
  file->overwrite = tree_file.overwrite;
}

// The database of the description, its texts checked before.
void PACKER::fill_database(DATABASE* database) {
  copy_text(database->APPLICATION.app_string, application);
  copy_text(database->APPLICATION.version, "1.0");
  copy_text(database->default_language_name, languages[0][0]);
  copy_text(database->LOG.dest_path_from_inst_loc, log_path);
  copy_text(database->LOG.system_dest_path_from_inst_loc, log_system_path);
  if (!patch_path.empty()) {
    copy_text(database->PATCH.dest_path_from_inst_loc, patch_path);
    copy_text(database->PATCH.system_dest_path_from_inst_loc, patch_system_path);
    database->PATCH.do_check = 1;
  }
  copy_text(database->updated_version, updated_version);
  std::vector<std::pair<const GEOMETRY_KEY*, std::vector<INT_S32>>> places;
  for (size_t k = 0; k < geometry_key_count; k++) {
    const GEOMETRY_KEY& entry = geometry_keys[k];
    if (!entry.standard) continue;
    std::vector<INT_S32> values;
    std::string unused;
    numbers(entry.key, entry.standard, entry.count, -32768, 32767, &values, &unused);
    places.push_back({&entry, values});
  }
  places.insert(places.end(), geometry.begin(), geometry.end());
  for (const auto& entry : places) {
    const std::string key = entry.first->key;
    const std::vector<INT_S32>& v = entry.second;
    auto place = [&](INT_S16* x, INT_S16* y, INT_S16* width, INT_S16* height) {
      *x = (INT_S16)v[0];
      *y = (INT_S16)v[1];
      *width = (INT_S16)v[2];
      *height = (INT_S16)v[3];
    };
    if (key == "minimum_size") {
      database->DIALOG.width = (INT_S16)v[0];
      database->DIALOG.height = (INT_S16)v[1];
    } else if (key == "window") {
      database->WINDOW.width = (INT_S16)v[0];
      database->WINDOW.height = (INT_S16)v[1];
    } else if (key == "dialog") {
      place(&database->DIALOG.x, &database->DIALOG.y, &database->DIALOG.width, &database->DIALOG.height);
    } else if (key == "exit") {
      place(&database->EXIT.x, &database->EXIT.y, &database->EXIT.width, &database->EXIT.height);
    } else if (key == "about") {
      place(&database->ABOUT.x, &database->ABOUT.y, &database->ABOUT.width, &database->ABOUT.height);
    } else if (key == "file_select") {
      place(&database->FILE_SELECT.x, &database->FILE_SELECT.y, &database->FILE_SELECT.width,
            &database->FILE_SELECT.height);
      database->FILE_SELECT.new_folder_too = v[4] ? 1 : 0;
    } else if (key == "required_desktop") {
      database->CHECK_DESKTOP_SIZE.width = (INT_S16)v[0];
      database->CHECK_DESKTOP_SIZE.height = (INT_S16)v[1];
    } else if (key == "background_speed") {
      database->BACKGROUND.speed = v[0];
    }
  }
  // Without a gap of its own the options page's rows are spaced so that every option shows unscrolled
  // (the grid is lower than the page, so they fit it too).
  database->options_style.y_spacing = option_row_gap(database->DIALOG.height, database->PATCH.do_check);
  for (const STYLE_COLOUR_LINE& entry : style_colours) {
    if (entry.size_field) database->style_set(entry.member)->*entry.size_field = entry.size;
    else database->style_set(entry.member)->*entry.field = entry.colour;
  }

  database->installation_count = (INT_S16)installation_lines.size();
  database->installations = new INSTALLATION[installation_lines.size()]();
  for (size_t n = 0; n < installation_lines.size(); n++) {
    const INSTALLATION_LINES& lines = installation_lines[n];
    INSTALLATION& installation = database->installations[n];
    describe_installation(n, &installation);
    installation.file_count = (INT_S16)files[n].size();
    installation.files = files[n].empty() ? nullptr : new INSTALLATION_FILE[files[n].size()]();
    installation.item_count = (INT_S16)lines.shortcuts.size();
    installation.items = lines.shortcuts.empty() ? nullptr : new INSTALLATION_ITEM[lines.shortcuts.size()]();
    for (size_t i = 0; i < lines.shortcuts.size(); i++) {
      INSTALLATION_ITEM& item = installation.items[i];
      const std::vector<std::string>& parts = lines.shortcuts[i].parts;
      item.type = (INT_U8)std::atoi(parts[0].c_str());
      copy_text(item.program_name, parts[1]);
      copy_text(item.link_name, parts[2]);
      if (lines.shortcuts[i].menu) copy_text(item.menu_folder, parts[3]);
      copy_text(item.program_path_from_inst_loc, parts.back());
    }
  }

  database->language_count = (INT_S16)languages.size();
  database->languages = new LANGUAGE[languages.size()]();
  for (size_t i = 0; i < languages.size(); i++) {
    LANGUAGE& language = database->languages[i];
    const std::vector<std::string>& parts = languages[i];
    copy_text(language.name, parts[0]);
    copy_text(language.LANGUAGE_TITLE, parts[0]);
    // Every text has words: the built-in ones, which the description's texts replace.
    copy_text(language.INSTALLER_TITLE, title);
    for (int slot = 1; slot < LANGUAGE_TEXT_COUNT; slot++)
      copy_text(language_text(&language, slot), default_wizard_text(slot));
    language.installation_string_count = database->installation_count;
    language.installation_strings = new DATABASE_TEXT[installation_lines.size()]();
    for (size_t n = 0; n < installation_lines.size(); n++)
      copy_text(language.installation_strings[n], installation_lines[n].name);
    for (const TEXT_LINE& text : texts)
      if (text.language == -1 || text.language == (int)i) copy_text(language_text(&language, text.slot), text.value);
  }
}

// The first links of installation n, each with where it leads: below the files folder by its path
// there, elsewhere by its real path.
void PACKER::note_links(size_t n, std::vector<std::string>* out) {
  std::error_code code;
  fs::path root = fs::canonical(base / fs::u8path(installation_lines[n].files_folder), code);
  for (size_t i = 0; i < links[n].size() && i < SUMMARY_LINKS; i++) {
    const PACKED_LINK& link = links[n][i];
    fs::path inside = link.target.lexically_relative(root);
    bool outside = code || inside.empty() || *inside.begin() == "..";
    out->push_back(link.relative + " (to " + (link.folder ? "the folder " : "") +
                   (outside ? link.target.u8string() + ", outside the files folder" : inside.generic_u8string()) + ")");
  }
}

// The files, the licences and readmes, then the database, into the open package.
bool PACKER::fill_package(DATABASE* database) {
  summary->installations.clear();
  for (size_t n = 0; n < installation_lines.size(); n++) {
    const INSTALLATION_LINES& lines = installation_lines[n];
    summary->installations.emplace_back();
    summary->installations[n].name = lines.name;
    summary->installations[n].links = (INT_U32)links[n].size();
    note_links(n, &summary->installations[n].first_links);
    for (size_t i = 0; i < files[n].size(); i++) {
      TREE_FILE& tree_file = files[n][i];
      INSTALLATION_FILE& file = database->installations[n].files[i];
      const std::string& relative = tree_file.relative;
      describe_file(tree_file, &file);
      if (tree_file.overwrite == 2) summary->installations[n].never++;
      if (tree_file.overwrite == 1) summary->installations[n].older++;
      std::string packed = relative;
      // A request to end the program stops the packer between two files; the temporaries go.
      if (end_requested()) return fail(output + ": not made: the packer was asked to end");
      if (!tree_file.missing &&
          !add_entry(tree_file.host, relative, lines.files_folder + "/" + relative, &packed, false, &tree_file.real,
                     &tree_file.digest))
        return false;
      copy_text(file.packed_name, packed);
      summary->installations[n].files++;
      std::error_code code;
      if (!tree_file.missing) summary->installations[n].bytes += fs::file_size(tree_file.host, code);
    }
  }
  for (size_t i = 0; i < languages.size(); i++) {
    LANGUAGE& language = database->languages[i];
    const char* kinds[2] = {"licence", "readme"};
    for (int k = 0; k < 2; k++) {
      const std::string& source = languages[i][1 + k];
      if (source.empty()) continue;
      // The installer reads these names, which no file of the tree is given.
      std::string entry = std::string(kinds[k]) + "-" + std::to_string(i), added;
      if (!add_entry(base / fs::u8path(source), entry, entry, &added, true)) return false;
      copy_text(k == 0 ? language.LICENCE.path : language.README.path, "$HERE");
      copy_text(k == 0 ? language.LICENCE.filename : language.README.filename, entry);
      // The readme window keeps as many lines as the readme shows: its window counts wrapped lines, so
      // a long line counts once per 40 characters. A page holds at most 32767 of them, the first.
      std::ifstream text(base / fs::u8path(source));
      INT_S64 lines = 0;
      for (std::string text_line; std::getline(text, text_line);) lines += 1 + (INT_S64)text_line.size() / 40;
      if (k == 1) language.README.lines = (INT_S16)(lines < 32767 ? lines : 32767);
      if (lines > 32767)
        notes->push_back(description + ":" + std::to_string(language_lines[i]) + ": the " + kinds[k] + " " +
                         (base / fs::u8path(source)).string() + " takes about " + std::to_string(lines) +
                         " lines on its page (a long line once per 40 characters), which holds 32767: the "
                         "wizard shows it only up to there");
    }
  }
  if (identified) {
    if (!identify_version()) return false;
    copy_text(database->version_identity, version_identity);
  }
  // The database goes through a file of its own beside the package, which is added as its entry.
  char name[TEMPORARY_NAME_SIZE];
  next_temporary_name(name);
  errno = 0;
  TEMPORARY_NOTE stored_note;
  hold_end_requests();
  DATA_FILE* stored = open_data_file(&package_folder, name, FILE_MODE_WRITE_NEW, BYTE_ORDER_HEADER, false);
  int error_number = errno;
  if (stored) stored_note.note(&package_folder, name);
  release_end_requests();
  if (!stored) return fail_writing("database.bin cannot be made", error_number);
  bool written = database->put_to_data_device(stored) && !stored->failed;
  error_number = errno;
  if (!close_data_file(&stored)) written = false;
  if (written) {
    errno = 0;
    written = package->add_file(&package_folder, name, "database.bin", false);
    error_number = errno;
  }
  if (!written) {
    std::string cause = write_cause(package_folder_path, error_number ? error_number : errno);
    delete_file(&package_folder, name);
    return fail(output + ": database.bin cannot be written: " + cause);
  }
  delete_file(&package_folder, name);
  return true;
}

bool PACKER::write(const std::string& path, INT_S32 block_size) {
  package_path = path;
  package_folder_path = fs::path(path).parent_path();
  if (package_folder_path.empty()) package_folder_path = ".";
  std::error_code code;
  if (!host_folder(&package_folder, package_folder_path.string()))
    return fail(path + ": the folder " + package_folder_path.string() + " does not exist");
  if (fs::is_directory(path, code) || fs::path(path).filename().empty()) return fail(path + ": is a folder");
  if (!check_size(block_size)) return false;
  // What a killed run of this packer left beside the package goes first.
  remove_stale_temporaries(&package_folder);
  char temporary[TEMPORARY_NAME_SIZE];
  next_temporary_name(temporary);
  errno = 0;
  // Requests to end the packer wait while its temporary is made and noted: a second one at any moment
  // takes it with it.
  TEMPORARY_NOTE temporary_note;
  hold_end_requests();
  package = new PACKAGE(&package_folder, temporary, true, block_size, true, false);
  int error_number = errno;
  if (package->file) temporary_note.note(&package_folder, temporary);
  release_end_requests();
  bool ok = package->file != nullptr || fail_writing("cannot be created", error_number);
  DATABASE* database = new DATABASE();
  if (ok) {
    fill_database(database);
    ok = fill_package(database);
  }
  delete database;
  if (ok) {
    // The directory and the last blocks reach the disk, and the file closes, before it takes its name.
    // A package that takes the place of another is written out first, before the last look at requests
    // to end the packer: taking the name is then quick, where the file system would write it out as it
    // renames it over the other (seconds for a large package, which a request would wait out).
    errno = 0;
    ok = package->flush();
    package->free_directory();
    if (ok && fs::exists(fs::symlink_status(path, code))) ok = write_out_file(package->file->get_stream());
    error_number = errno;
    if (!close_data_file(&package->file) || !ok) ok = fail_writing("cannot be written", error_number ? error_number : errno);
  }
  delete package;
  package = nullptr;
  // A request to end the packer that came at any time before keeps the package from its name; the
  // look and the name (and the notes that follow the file) with requests held back. One that comes
  // while it takes the name finds it made (the packer's end says so).
  std::string name = system_name(fs::path(path).filename().u8string());
  hold_end_requests();
  if (ok && end_requested()) ok = fail(output + ": not made: the packer was asked to end");
  if (ok && !replace_file(&package_folder, temporary, name.c_str())) ok = fail_writing("cannot take its name", errno);
  if (!ok) delete_file(&package_folder, temporary);
  temporary_note.forget();
  if (ok && !program.empty()) package_note.note(&package_folder, name.c_str());
  release_end_requests();
  if (!ok) return false;
  summary->path = path;
  summary->size = fs::file_size(path, code);
  return true;
}

bool build_package(const std::string& description_path, const std::string& package_path, std::string* error,
                   INT_S32 block_size, std::vector<std::string>* notes, PACK_SUMMARY* summary,
                   const std::string& earlier_package) {
  std::vector<std::string> ignored;
  PACK_SUMMARY unused;
  PACKER packer(description_path, notes ? notes : &ignored, summary ? summary : &unused);
  packer.earlier = earlier_package;
  return packer.build(package_path, block_size, error);
}

}  // namespace package_builder
