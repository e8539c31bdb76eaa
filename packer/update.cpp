// The packer's updates: one made from the whole new version against the earlier version's package (what
// it carries, found as "-d" compares two packages, and what it may not change), and the notes on the
// log folders of an update made by hand.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "data_file.h"
#include "engine.h"
#include "package.h"
#include "packer_private.h"

namespace package_builder {

// A text of the installation database (the system's 8-bit text) as the host's UTF-8, control
// characters as '?'.
static std::string host_text(const char* text) {
  std::string printable = printable_text(text);
  std::vector<char> out(4 * printable.size() + 8);
  return text_to_utf8(printable.c_str(), out.data(), out.size()) ? out.data() : printable;
}

// A folder text's variable ("$HERE" for every spelling of the install location) and the names below it,
// as the installer takes the text.
static std::vector<std::string> folder_parts(const std::string& text) {
  FOLDER_TEXT_PLACE place = place_of_folder_text(text.c_str(), true);
  std::vector<std::string> parts = {place.install_location ? std::string("$HERE") : place.variable};
  for (const std::string& part : split(place.below, '/'))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// A file's path below the files folder, as the database's texts give it.
static std::string file_path(const INSTALLATION_FILE& file) {
  return (file.src_path_from_xml[0] ? host_text(file.src_path_from_xml) + "/" : "") + host_text(file.src_name);
}

static std::string joined(const std::vector<std::string>& parts, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && i < parts.size(); i++) text += (i ? "/" : "") + parts[i];
  return text;
}

// An update made by hand keeps its log apart from the log it checks, below that log's folder as
// "patch.xml" has it; a log in a "patch" folder belongs to an update, which checks what it installs over.
void PACKER::note_update_logs() {
  std::string log = log_path.empty() ? "$HERE" : log_path;
  std::vector<std::string> logged = folder_parts(log);
  if (!patch_path.empty()) {
    std::vector<std::string> checked = folder_parts(patch_path);
    if (logged.size() > checked.size() && std::equal(checked.begin(), checked.end(), logged.begin())) return;
    std::string beside = "log = " + joined(checked, checked.size()) + "/patch, as \"patch.xml\" has it, ";
    notes->push_back(description + ":" + std::to_string(key_lines["patch_check"]) + ": this update (patch_check = " +
                     patch_path + ") " +
                     (logged == checked ? "logs where the log it checks lies: its log takes that log's place, which "
                                          "is kept only as \"install_log-1.txt\", where readers of the "
                                          "installation's logs do not look; " + beside + "keeps the two apart"
                                        : "logs into " + log + ", not below the folder of the log it checks, where "
                                          "readers of the installation's logs do not look; " + beside +
                                          "puts its log beside that one"));
  } else if (logged.size() > 1 && logged.back() == "patch") {
    notes->push_back(description + ":" + std::to_string(key_lines["log"]) + ": log = " + log_path +
                     " is an update's log folder, but the package has no patch_check: where nothing is installed it "
                     "installs part of a version and says it completed without errors; patch_check = " +
                     joined(logged, logged.size() - 1) + " makes it an update of the installation whose log lies there");
  }
}

// The text of an installation's setting that changed_installation_setting names.
static std::string setting_text(const INSTALLATION& installation, const std::string& setting) {
  if (setting == "allow_system_paths") return installation.allow_system_paths ? "yes" : "no";
  const char* text = setting == "name"                   ? installation.name
                     : setting == "default_path"         ? installation.default_path
                     : setting == "uninstaller_name"     ? installation.uninstaller_name
                     : setting == "uninstaller_filename" ? installation.uninstaller_filename
                     : setting == "uninstaller_path"     ? installation.uninstaller_path
                                                         : installation.uninstaller_syspath;
  return host_text(text);
}

// Reads the earlier version's package and checks what an update of it cannot change: its application,
// its installations and their settings. The update checks the earlier version's log and logs into a
// "patch" folder below it; the description's own lines for them are noted where they name another
// folder.
bool PACKER::read_earlier() {
  earlier_database.reset(new DATABASE());
  DATABASE* old = earlier_database.get();
  old->records_only = true;
  fs::path path(earlier);
  std::string folder = path.parent_path().empty() ? std::string(".") : path.parent_path().string();
  if (!host_folder(&old->data_folder, folder)) return fail(earlier + ": the folder " + folder + " does not exist");
  if (!old->load_package(system_name(path.filename().u8string()).c_str()))
    return fail(earlier + ": cannot be read as an installation package: " + host_text(old->load_failure.c_str()));
  if (old->PATCH.do_check)
    return fail(earlier + ": is an update itself (it installs only over an earlier installation): an update is made "
                          "against the package of the whole earlier version");
  if (system_name(application) != old->APPLICATION.app_string) {
    std::string what = "the application is \"" + application + "\" here and \"" +
                       host_text(old->APPLICATION.app_string) + "\" in " + earlier +
                       ": the installed version knows an update by the names of its application and installation";
    auto line = key_lines.find("application");
    return line == key_lines.end() ? fail(description + ": " + what) : fail_at(line->second, what);
  }
  if ((size_t)old->installation_count != installation_lines.size())
    return fail(description + ": " + std::to_string(installation_lines.size()) + " installations here and " +
                std::to_string(old->installation_count) + " in " + earlier +
                ": differences are too big to patch (an update holds the installations of the version it updates, "
                "in its order)");
  for (size_t n = 0; n < installation_lines.size(); n++) {
    INSTALLATION now = {};
    describe_installation(n, &now);
    const char* changed = changed_installation_setting(old->installations[n], now);
    if (!changed) continue;
    const INSTALLATION_LINES& lines = installation_lines[n];
    std::string setting = changed;
    int line = setting == "default_path" ? lines.default_path_line
               : setting.compare(0, 11, "uninstaller") == 0 && lines.uninstaller_line ? lines.uninstaller_line
                                                                                       : lines.line;
    return fail_at(line, "installation " + setting + " changed - not supported by patching system: \"" +
                             setting_text(now, setting) + "\" here, \"" + setting_text(old->installations[n], setting) +
                             "\" in " + earlier +
                             (setting == "name" ? " (the installed version knows an update by the names of its "
                                                  "application and installation)"
                                                : ""));
  }
  // The earlier version's log folder: the install location when it names none.
  auto log_folder = [](const char* text, bool location) {
    std::string folder = host_text(text);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder.empty() && location ? std::string("$HERE") : folder;
  };
  std::string checked = log_folder(old->LOG.dest_path_from_inst_loc, true);
  std::string checked_system = log_folder(old->LOG.system_dest_path_from_inst_loc, false);
  std::string log = checked + "/patch";
  // The update takes the earlier log's folder for its patch_check and one below it for its log: each as
  // a description's line would give them, so that a package made otherwise gives no update a folder that
  // the packer refuses in any description (and the installer may refuse at load).
  const std::pair<std::string, std::string> folders[] = {
      {"patch_check", checked}, {"log", log}, {"patch_check", checked_system},
      {"log", checked_system.empty() ? std::string() : checked_system + "/patch"}};
  for (size_t i = 0; i < 4; i++) {
    std::string problem = log_folder_problem(folders[i].first, folders[i].second);
    if (!problem.empty())
      return fail(earlier + ": its log folder" + (i < 2 ? "" : " with the system folders") +
                  " is one the packer refuses (an update checks the log there and logs below it): " + problem);
  }
  if (system_name(log).size() > TEXT_LIMIT || system_name(checked_system + "/patch").size() > TEXT_LIMIT)
    return fail(earlier + ": its log folder is too long for an update's log folder below it");
  // The description's own log is the whole version's: one where the earlier version logged, or the
  // update's own, is as meant.
  auto own_line = [this, &checked](const char* key, const std::string& value, const std::string& meant,
                                   const std::string& why) {
    auto line = key_lines.find(key);
    std::vector<std::string> parts = folder_parts(value.empty() ? "$HERE" : value);
    if (line != key_lines.end() && parts != folder_parts(meant) && parts != folder_parts(checked))
      notes->push_back(description + ":" + std::to_string(line->second) + ": " + key + " = " + value +
                       " is not the update's: " + why);
  };
  own_line("log", log_path, log, "an update logs into a \"patch\" folder below the earlier version's log, here " + log);
  own_line("patch_check", patch_path, checked, "an update checks the earlier version's log, here in " + checked);
  // The version it was made from, over which alone it installs (none in a package made before
  // packages named their version).
  updated_version = host_text(old->version_identity);
  log_path = log;
  patch_path = checked;
  log_system_path = checked_system.empty() ? std::string() : checked_system + "/patch";
  patch_system_path = checked_system;
  return true;
}

namespace {

// The comparison of an installation of the whole new version (its files in the tree, now) with the
// earlier version's: the stored bytes of each pair against the file of the tree.
class UPDATE_COMPARISON : public FILE_COMPARISON {
public:
  enum STATE : INT_U8 { UNPAIRED, SAME, CHANGED, ADDED };
  UPDATE_COMPARISON(PACKAGE* earlier, const INSTALLATION& now, std::vector<TREE_FILE>& tree)
      : earlier(earlier), now(now), tree(tree), state(tree.size(), UNPAIRED) {}

  // The stored bytes are read where they lie in the earlier package, block by block against the file of
  // the tree: no copy of them is written.
  int compare_bytes(const INSTALLATION_FILE& first, const INSTALLATION_FILE& second) override {
    TREE_FILE& file = tree[&second - now.files];
    PACKAGE_ENTRY entry;
    if (!earlier->find_entry(first.packed_name, &entry)) return -1;
    std::error_code code;
    std::uintmax_t size = fs::file_size(file.host, code);
    if (code) return -2;
    if (size != entry.size) return 1;
    fs::path folder = file.host.parent_path();
    if (folder != opened_folder_path) {
      opened_folder_path.clear();
      if (!host_folder(&opened_folder, folder.u8string())) return -2;
      opened_folder_path = folder;
    }
    FILE* host = open_file(&opened_folder, system_name(file.host.filename().u8string()).c_str(), "rb");
    if (!host) return -2;
    bool differ = false;
    // A file read whole and found the same has its digest for the version's identity: it is not packed.
    CONTENT_HASH hash;
    bool read = earlier->read_entry(first.packed_name, [&](const INT_U8* data, INT_U32 count) {
      if (bytes.size() < count) bytes.resize(count);
      differ = std::fread(bytes.data(), 1, count, host) != count || std::memcmp(bytes.data(), data, count) != 0;
      if (!differ) hash.add(data, count);
      return !differ;
    });
    // A file that grew since its size was taken differs too.
    if (read && !differ) differ = std::fgetc(host) != EOF;
    close_file(host);
    if (read && !differ) file.digest = hash.file_digest();
    return !read && !differ ? -1 : differ ? 1 : 0;
  }
  void paired(const INSTALLATION_FILE&, const INSTALLATION_FILE& second, bool changed) override {
    state[&second - now.files] = changed ? CHANGED : SAME;
  }
  void deleted(const INSTALLATION_FILE& first) override { dropped.push_back(&first); }
  void added(const INSTALLATION_FILE& second) override { state[&second - now.files] = ADDED; }

  PACKAGE* earlier;
  const INSTALLATION& now;
  std::vector<TREE_FILE>& tree;
  std::vector<STATE> state;  // per file of the tree
  std::vector<const INSTALLATION_FILE*> dropped;

private:
  // The folder of the file compared last (a tree's files come folder by folder), and what is read of it.
  fs::path opened_folder_path;
  FOLDER opened_folder;
  std::vector<INT_U8> bytes;
};

// Where a file is installed: the parts of its folder, with the system folders (system) or without them,
// as the installer takes the folder's text, and its name; each as Windows compares names (the stricter
// host).
std::vector<std::string> place_of(const INSTALLATION_FILE& file, bool system) {
  const char* folder =
      system && file.system_dest_path_from_inst_loc[0] ? file.system_dest_path_from_inst_loc : file.dest_path_from_inst_loc;
  std::vector<std::string> parts = folder_parts(host_text(folder));
  parts.push_back(host_text(file.dest_name[0] ? file.dest_name : file.src_name));
  for (std::string& part : parts) part = windows_name_key(part);
  return parts;
}

// Where a file is installed, its folder and name as the database gives them (with the system folders
// too), as one text.
std::string place_text(const INSTALLATION_FILE& file) {
  return std::string(file.dest_path_from_inst_loc) + '\n' + file.system_dest_path_from_inst_loc + '\n' +
         (file.dest_name[0] ? file.dest_name : file.src_name);
}

// An overwrite rule by how much it keeps of what is installed: 2 never, 1 older, 0 always (any other
// value installs as always does).
int rule_strength(INT_U8 rule) { return rule == 2 || rule == 1 ? rule : 0; }
const char* rule_name(INT_U8 rule) { return rule == 2 ? "never" : rule == 1 ? "older" : "always"; }

}  // namespace

// Compares each installation of the whole new version with the earlier version's and keeps the files
// that changed or were added; counts them, those left as they are and those dropped for the summary.
bool PACKER::compare_with_earlier() {
  update_counts.assign(installation_lines.size(), PACK_SUMMARY::INSTALLATION_FILES());
  for (size_t n = 0; n < installation_lines.size(); n++) {
    const INSTALLATION& then = earlier_database->installations[n];
    std::vector<INSTALLATION_FILE> records(files[n].size(), INSTALLATION_FILE());
    for (size_t i = 0; i < files[n].size(); i++) {
      describe_file(files[n][i], &records[i]);
      if (!files[n][i].missing) copy_text(records[i].packed_name, files[n][i].relative);
    }
    INSTALLATION now = {};
    now.files = records.data();
    now.file_count = (INT_S16)records.size();
    UPDATE_COMPARISON comparison(earlier_database->package, now, files[n]);
    const INSTALLATION_FILE* culprit = nullptr;
    std::string in = " of the installation \"" + installation_lines[n].name + "\"";
    switch (compare_installation_files(then, now, &comparison, &culprit)) {
      case FILES_COMPARED: break;
      case FILES_PAIRED_TWICE:
        return fail(earlier + ": found same file twice - not supported by patching system: " + file_path(*culprit) +
                    in + " is listed twice");
      case FIRST_FILE_UNREADABLE:
        return fail(earlier + ": the stored file " + host_text(culprit->packed_name) + in + " cannot be read");
      case SECOND_FILE_UNREADABLE:
        return fail(files[n][culprit - now.files].host.string() + ": cannot be read");
      case MATCH_TABLE_NOT_MADE:
        return fail(earlier + ": there is not enough memory to compare the files" + in);
    }
    // A file whose overwrite rule changed is another file to the comparison (dropped and added): at
    // its place it is one that changed. Where the new rule keeps less of what is installed, the update
    // replaces what the earlier rule kept (a configuration the user edited): noted with the line that
    // gives the new rule, or the installation's where none does.
    PACK_SUMMARY::INSTALLATION_FILES& counts = update_counts[n];
    std::unordered_map<std::string, size_t> added_at;
    for (size_t i = 0; i < records.size(); i++)
      if (comparison.state[i] == UPDATE_COMPARISON::ADDED) added_at.emplace(place_text(records[i]), i);
    for (const INSTALLATION_FILE* gone : comparison.dropped) {
      auto at = added_at.find(place_text(*gone));
      if (at == added_at.end()) {
        if (counts.first_dropped.size() < SUMMARY_LINKS) counts.first_dropped.push_back(file_path(*gone));
        counts.dropped++;
        continue;
      }
      size_t i = at->second;
      added_at.erase(at);
      comparison.state[i] = UPDATE_COMPARISON::CHANGED;
      if (rule_strength(records[i].overwrite) >= rule_strength(gone->overwrite)) continue;
      const TREE_FILE& file = files[n][i];
      std::string path = file_path(records[i]);
      notes->push_back(
          description + ":" + std::to_string(file.overwrite_line ? file.overwrite_line : installation_lines[n].line) +
          ": " + path + in + " is overwrite " + rule_name(gone->overwrite) + " in " + earlier + " and " +
          rule_name(records[i].overwrite) + " here" + (file.overwrite_line ? "" : " (no overwrite line names it)") +
          ": the update carries it and replaces the installed file" +
          (records[i].overwrite == 1 ? " where it was last written before the update was made" : "") +
          ", the user's edits too; overwrite = " + rule_name(gone->overwrite) + ";" + path + " keeps them");
    }
    std::vector<bool> carried(records.size());
    for (size_t i = 0; i < records.size(); i++) {
      UPDATE_COMPARISON::STATE state = comparison.state[i];
      carried[i] = state == UPDATE_COMPARISON::CHANGED || state == UPDATE_COMPARISON::ADDED;
      counts.changed += state == UPDATE_COMPARISON::CHANGED;
      counts.added += state == UPDATE_COMPARISON::ADDED;
      counts.unchanged += state == UPDATE_COMPARISON::SAME;
    }
    if (!check_kinds(n, then, records, carried)) return false;
    keep_carried(n, carried);
  }
  return true;
}

// A carried file whose place is a folder of the earlier version's files, or that lies below the place
// of one of them, cannot be installed there: an update removes nothing, so the earlier file or folder
// stays in its way. Refused with both paths. Places are compared as Windows compares names, also with
// the system folders where the earlier version has such a place.
bool PACKER::check_kinds(size_t n, const INSTALLATION& then, const std::vector<INSTALLATION_FILE>& records,
                         const std::vector<bool>& carried) {
  bool system_places = false;
  for (INT_S16 f = 0; f < then.file_count; f++)
    system_places = system_places || then.files[f].system_dest_path_from_inst_loc[0];
  std::string in = " of the installation \"" + installation_lines[n].name + "\"";
  for (bool system : {false, true}) {
    if (system && !system_places) break;
    // The earlier version's files by place, and its folders with a file below each.
    std::unordered_map<std::string, const INSTALLATION_FILE*> earlier_files, earlier_folders;
    for (INT_S16 f = 0; f < then.file_count; f++) {
      const INSTALLATION_FILE& file = then.files[f];
      if (!file.packed_name[0]) continue;
      std::vector<std::string> place = place_of(file, system);
      earlier_files.emplace(joined(place, place.size()), &file);
      for (size_t k = place.size() - 1; k > 1; k--)
        if (!earlier_folders.emplace(joined(place, k), &file).second) break;
    }
    for (size_t i = 0; i < records.size(); i++) {
      if (!carried[i]) continue;
      std::vector<std::string> place = place_of(records[i], system);
      auto folder = earlier_folders.find(joined(place, place.size()));
      if (folder != earlier_folders.end())
        return fail(earlier + ": " + file_path(records[i]) + in + " is a folder there (of " +
                    file_path(*folder->second) + ") and a file in the new version: an update cannot remove the folder, "
                    "and so cannot install the file over it");
      for (size_t k = place.size() - 1; k > 1; k--) {
        auto file = earlier_files.find(joined(place, k));
        if (file != earlier_files.end())
          return fail(earlier + ": " + file_path(*file->second) + in + " is a file there and a folder in the new "
                      "version (of " + file_path(records[i]) + "): an update cannot remove the file, and so cannot "
                      "install the folder's files over it");
      }
    }
  }
  return true;
}

// Installation n keeps the files it carries, the links among them, and the shortcuts whose programs
// it carries; the uninstall entry is the installed version's. The whole version's files (with the
// digests of those found the same) go to version_files, for its identity.
void PACKER::keep_carried(size_t n, const std::vector<bool>& carried) {
  std::vector<TREE_FILE> kept;
  std::set<std::string> paths;
  for (size_t i = 0; i < files[n].size(); i++)
    if (carried[i]) {
      kept.push_back(files[n][i]);
      paths.insert(files[n][i].relative);
    }
  files[n].swap(kept);
  version_files.push_back(std::move(kept));
  auto carries = [&paths](const std::string& path) {
    auto below = paths.lower_bound(path + "/");
    return paths.count(path) || (below != paths.end() && below->compare(0, path.size() + 1, path + "/") == 0);
  };
  links[n].erase(std::remove_if(links[n].begin(), links[n].end(),
                                [&](const PACKED_LINK& link) { return !carries(link.relative); }),
                 links[n].end());
  INSTALLATION_LINES& lines = installation_lines[n];
  lines.uninstaller.clear();
  lines.shortcuts.erase(std::remove_if(lines.shortcuts.begin(), lines.shortcuts.end(),
                                       [&](const SHORTCUT_LINE& shortcut) {
                                         std::string folder;
                                         if (install_folder_part(shortcut.parts.back(), &folder) != 1) return true;
                                         return !paths.count(folder.empty() ? shortcut.parts[1]
                                                                            : folder + "/" + shortcut.parts[1]);
                                       }),
                        lines.shortcuts.end());
}

}  // namespace package_builder
