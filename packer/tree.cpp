// The packer's files of an installation: the tree below its files folder walked (links followed to
// what they lead to), the database's limits checked, and the files that the uninstaller and the
// shortcuts name found among them.
#include <algorithm>
#include <system_error>

#include "packer_private.h"

namespace package_builder {

// Whether outer is inner or a folder above it (both real paths).
static bool holds(const fs::path& outer, const fs::path& inner) {
  auto o = outer.begin(), i = inner.begin();
  for (; o != outer.end(); ++o, ++i)
    if (i == inner.end() || *o != *i) return false;
  return true;
}

// Adds the regular files below folder (relative: its path below the files folder, empty or ending in
// '/') to files, and each link followed to links. chain: the real paths of the folders on the way there
// from the files folder, so that no link leads back to one of them or to a folder above them; walked
// gets the real path of every folder walked. Each entry that cannot be packed (a link that leads
// nowhere, an entry that is neither a file nor a folder, a folder that cannot be listed) adds a problem
// and the walk goes on; false only when there are more files than an installation holds.
static bool walk_tree(const fs::path& folder, const std::string& relative, std::vector<fs::path>* chain,
                      std::set<fs::path>* walked, std::vector<TREE_FILE>* files, std::vector<PACKED_LINK>* links,
                      std::vector<std::string>* notes, std::vector<std::string>* problems, std::string* error) {
  std::error_code code;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
    entries.push_back(it->path());
  if (code) {
    problems->push_back(folder.string() + ": cannot be listed: " + code.message());
    return true;
  }
  for (const fs::path& entry : entries) {
    std::string name = entry.filename().u8string();
    std::error_code link_code;
    bool link = fs::is_symlink(fs::symlink_status(entry, link_code));
    fs::file_status status = fs::status(entry, code);
    if (status.type() == fs::file_type::not_found || (code && link)) {
      fs::path target = fs::read_symlink(entry, link_code);
      std::string cause = !link ? std::string("has gone while the folder was read")
                          : status.type() == fs::file_type::not_found
                              ? "a link to " + target.string() + ", which does not exist"
                              : "a link to " + target.string() + ", which cannot be followed (" + code.message() + ")";
      problems->push_back(entry.string() + ": " + cause);
      continue;
    }
    if (code) {
      problems->push_back(entry.string() + ": cannot be read: " + code.message());
      continue;
    }
    if (fs::is_regular_file(status)) {
      if (files->size() > 32767) {
        *error = "an installation holds at most 32767 files: " + folder.string() + " and the folders before it hold more";
        return false;
      }
      // Its real path: that of its folder (the last on the chain) and its name, or where a link leads.
      fs::path real = link ? fs::canonical(entry, code) : chain->back() / entry.filename();
      if (code) {
        problems->push_back(entry.string() + ": cannot be read: " + code.message());
        continue;
      }
      files->push_back({relative + name, entry, false, 0, real});
      if (link) links->push_back({relative + name, real, false});
      continue;
    }
    if (!fs::is_directory(status)) {
      problems->push_back(entry.string() +
                          ": neither a file nor a folder (a pipe, socket or device): it cannot be packed");
      continue;
    }
    fs::path real = fs::canonical(entry, code);
    if (code) {
      problems->push_back(entry.string() + ": cannot be read: " + code.message());
      continue;
    }
    bool back = false;
    for (const fs::path& on_the_way : *chain) back = back || holds(real, on_the_way);
    if (back) {
      notes->push_back(entry.string() + ": a link to " + real.string() + ", a folder that holds it: not followed");
      continue;
    }
    if (link) links->push_back({relative + name, real, true});
    chain->push_back(real);
    walked->insert(real);
    bool walked_all = walk_tree(entry, relative + name + "/", chain, walked, files, links, notes, problems, error);
    chain->pop_back();
    if (!walked_all) return false;
  }
  return true;
}

// The folder below the install location that a folder text names ("" for the install location) in
// relative, judged as the installer on any host judges it: 1. A text of another path variable: 0. A text
// that leads out of its variable's folder: -1, with that folder in out_of.
int install_folder_part(const std::string& text, std::string* relative, std::string* out_of) {
  FOLDER_TEXT_PLACE place = place_of_folder_text(text.c_str(), true);
  if (place.leads_out) {
    if (out_of) *out_of = folder_text_origin(place);
    return -1;
  }
  if (!place.install_location) return 0;
  *relative = place.below;
  return 1;
}

// Problems of the tree named at most: the first of them, and how many more there are.
static const size_t PROBLEM_LIMIT = 50;

// The files of every installation in name order, with the limits of the database and the names checked:
// each problem of every tree is named (up to PROBLEM_LIMIT) before the packer stops.
bool PACKER::list_files() {
  files.resize(installation_lines.size());
  links.resize(installation_lines.size());
  std::vector<std::string> problems;
  for (size_t i = 0; i < installation_lines.size(); i++) {
    const INSTALLATION_LINES& lines = installation_lines[i];
    fs::path root = base / fs::u8path(lines.files_folder);
    int line = lines.files_line ? lines.files_line : lines.line;
    std::error_code code;
    if (!fs::is_directory(root, code)) return fail_at(line, "the files folder " + root.string() + " is not a folder");
    std::vector<fs::path> chain = {fs::canonical(root, code)};
    walked_folders.insert(chain[0]);
    if (!walk_tree(root, "", &chain, &walked_folders, &files[i], &links[i], notes, &problems, &error)) return false;
    std::sort(links[i].begin(), links[i].end(),
              [](const PACKED_LINK& a, const PACKED_LINK& b) { return a.relative < b.relative; });
    std::set<std::string> present;
    for (const TREE_FILE& file : files[i]) present.insert(file.relative);
    for (const auto& missing : lines.missing_files) {
      std::string relative;
      if (install_folder_part("$HERE/" + missing.first, &relative) != 1 || relative != missing.first)
        return fail_at(missing.second, "missing_file is a plain path below the files folder: " + missing.first);
      if (!present.insert(missing.first).second)
        return fail_at(missing.second, "missing_file names a file that is in the files folder: " + missing.first);
      files[i].push_back({missing.first, fs::path(), true, missing.second, fs::path()});
    }
    if (files[i].size() > 32767)
      return fail_at(line, "an installation holds at most 32767 files; " + root.string() + " holds " +
                               std::to_string(files[i].size()));
    if (files[i].empty())
      notes->push_back(description + ":" + std::to_string(line) + ": the installation \"" + lines.name +
                       "\" has no files: " + root.string() + " holds none (empty folders are not packed)");
    std::sort(files[i].begin(), files[i].end(),
              [](const TREE_FILE& a, const TREE_FILE& b) { return a.relative < b.relative; });
    if (!give_overwrite_rules(i)) return false;
    // Every folder and file is named once, by its path below the files folder; two names of one folder
    // must differ for Windows too.
    std::set<std::string> named;
    std::map<std::string, std::string> by_key;
    // The installer writes its log in the log's folder: a file there under the log's name (for Windows
    // in any case) would take its place.
    std::string log_folder;
    std::string log_key = install_folder_part(log_path.empty() ? "$HERE" : log_path, &log_folder) == 1
                              ? windows_name_key((log_folder.empty() ? "" : log_folder + "/") + "install_log.txt")
                              : std::string();
    for (TREE_FILE& file : files[i]) {
      std::string at_line = file.missing ? description + ":" + std::to_string(file.line) + ": missing_file " : "";
      std::string path;
      for (const std::string& part : split(file.relative, '/')) {
        std::string parent = path;
        path += (path.empty() ? "" : "/") + part;
        if (!named.insert(path).second) continue;
        std::string place = at_line + (root / fs::u8path(path)).string();
        std::string problem = name_problem(part);
        if (!problem.empty()) problems.push_back(place + ": " + problem);
        // The installer holds the install location by its own file there (for Windows in any case).
        if (parent.empty() && is_hold_name(part))
          problems.push_back(place + ": the installer holds the install location by a file of that name (" +
                             FOLDER_HOLD_NAME + ", in any capitals): the " + (path == file.relative ? "file" : "folder") +
                             " would take its place");
        auto first = by_key.emplace(parent + "/" + windows_name_key(part), path);
        if (!first.second)
          problems.push_back(place + ": Windows takes it for " + (root / fs::u8path(first.first->second)).string() +
                             ", as it does not tell capital letters from small ones in names");
      }
      if (!log_key.empty() && windows_name_key(file.relative) == log_key) {
        auto log_line = key_lines.find("log");
        problems.push_back((file.missing ? at_line : std::string()) + (root / fs::u8path(file.relative)).string() +
                           ": the installer writes its install log there (" +
                           (!earlier.empty() ? "an update's log folder: " + log_path
                            : log_line == key_lines.end() ? std::string("the install location, as no log line says otherwise")
                                                        : description + ":" + std::to_string(log_line->second) +
                                                              ": log = " + log_path) +
                           "): the file would take its place");
      }
      std::string system = system_name(file.relative);
      size_t slash = system.find_last_of('/');
      size_t folder = slash == std::string::npos ? 0 : slash;
      size_t name = system.size() - (slash == std::string::npos ? 0 : slash + 1);
      // The installed folder is "$HERE/" and the folder; the entry name can be the path.
      if (name > TEXT_LIMIT || folder + 6 > TEXT_LIMIT || system.size() > TEXT_LIMIT)
        problems.push_back((file.missing ? description + ":" + std::to_string(file.line) : file.host.string()) +
                           ": its path below the files folder is " + std::to_string(system.size()) +
                           " bytes long; the installation database holds " + std::to_string(TEXT_LIMIT) +
                           " for a name and for the entry, and " + std::to_string(TEXT_LIMIT - 6) + " for a folder");
    }
    note_long_paths(i);
  }
  if (problems.empty()) return true;
  std::string text;
  for (size_t p = 0; p < problems.size() && p < PROBLEM_LIMIT; p++) text += (p ? "\n" : "") + problems[p];
  if (problems.size() > PROBLEM_LIMIT) text += "\n... and " + std::to_string(problems.size() - PROBLEM_LIMIT) + " more";
  return fail(text);
}

// Whether a name matches a pattern's name: '*' any run of characters, '?' one character (a UTF-8
// character whole), anything else itself.
static bool name_matches(const std::string& pattern, const std::string& name) {
  auto next = [&name](size_t at) {
    for (at++; at < name.size() && ((unsigned char)name[at] & 0xC0) == 0x80;) at++;
    return at;
  };
  size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      p++;
      n = next(n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      p++;
      n++;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = resume = next(resume);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') p++;
  return p == pattern.size();
}

// Gives the files of installation i the rules of its overwrite lines: a pattern matches a file by its
// path below the files folder, or by a folder above it. A pattern that matches no file is a mistake,
// but in an update made by hand, whose files folder holds only the files it changes, a rule of the
// description may concern files that it does not carry: there it is noted (an update made from the whole
// new version sees every file). No file takes two rules.
bool PACKER::give_overwrite_rules(size_t i) {
  const INSTALLATION_LINES& lines = installation_lines[i];
  for (const OVERWRITE_LINE& overwrite : lines.overwrites) {
    const char* rule = overwrite_name(overwrite.rule);
    for (const std::vector<std::string>& pattern : overwrite.patterns) {
      std::string shown;
      for (const std::string& name : pattern) shown += (shown.empty() ? "" : "/") + name;
      size_t matched = 0;
      for (TREE_FILE& file : files[i]) {
        std::vector<std::string> names = split(file.relative, '/');
        bool matches = names.size() >= pattern.size();
        for (size_t k = 0; matches && k < pattern.size(); k++) matches = name_matches(pattern[k], names[k]);
        if (!matches) continue;
        matched++;
        if (file.overwrite && file.overwrite != overwrite.rule)
          return fail_at(overwrite.line, "overwrite " + std::string(rule) + " gives " + file.relative +
                                             " another rule than line " + std::to_string(file.overwrite_line) +
                                             " does (" + overwrite_name(file.overwrite) + ")");
        file.overwrite = overwrite.rule;
        file.overwrite_line = overwrite.line;
      }
      if (matched) continue;
      std::string none = "overwrite " + std::string(rule) + ";" + shown + " matches no file of the installation \"" +
                         lines.name + "\" (" + (base / fs::u8path(lines.files_folder)).string() + ")";
      if (patch_path.empty() || !earlier.empty()) return fail_at(overwrite.line, none);
      notes->push_back(description + ":" + std::to_string(overwrite.line) + ": " + none +
                       ": this package is an update (patch_check), which carries only the files it changes; the "
                       "rule holds for those it carries");
    }
  }
  return true;
}

// The characters of a path as Windows counts them: UTF-16 units, two for a character past U+FFFF.
static size_t windows_path_units(const std::string& text) {
  size_t units = 0;
  for (unsigned char c : text) units += (c & 0xC0) == 0x80 ? 0 : c >= 0xF0 ? 2 : 1;
  return units;
}

// Windows opens no path of more than 259 characters: the files of installation i that would lie
// deeper under its default location are noted, the longest named. "$ROOT" and its number count as a
// drive root ("C:\"), and another path variable at least as that.
void PACKER::note_long_paths(size_t i) {
  const INSTALLATION_LINES& lines = installation_lines[i];
  FOLDER_TEXT read = read_folder_text(lines.default_path.c_str(), true);
  std::string variable = read.variable, location = variable;
  for (const std::string& part : read.parts) location += "/" + part;
  // "C:\", the folders below it and their separators, and the one before the file's path.
  size_t base = 3 + windows_path_units(location) - windows_path_units(variable);
  size_t count = 0, longest = 0;
  const TREE_FILE* deepest = nullptr;
  for (const TREE_FILE& file : files[i]) {
    size_t length = base + windows_path_units(file.relative);
    if (length <= 259) continue;
    count++;
    if (length > longest) {
      longest = length;
      deepest = &file;
    }
  }
  if (!count) return;
  bool root = windows_name_key(variable).compare(0, 5, "$ROOT") == 0;
  notes->push_back(description + ":" + std::to_string(lines.default_path_line) + ": " + std::to_string(count) +
                   (count == 1 ? " file" : " files") + " of the installation \"" + lines.name +
                   "\" would have a path of more than the 259 characters that Windows opens, installed in its "
                   "default location: the longest, " + location + "/" + deepest->relative + ", has " +
                   (root ? "" : "at least ") + std::to_string(longest) + " (" + variable + " counted as C:\\)");
}

// The uninstaller and the shortcuts' programs that lie in the install location are files of the
// installation.
bool PACKER::check_references() {
  for (size_t i = 0; i < installation_lines.size(); i++) {
    const INSTALLATION_LINES& lines = installation_lines[i];
    std::set<std::string> present;
    for (const TREE_FILE& file : files[i]) present.insert(file.relative);
    auto check = [&](int line, const std::string& what, const std::string& folder, const std::string& name) {
      std::string relative, out_of;
      int part = install_folder_part(folder, &relative, &out_of);
      if (part < 0) return fail_at(line, what + "'s folder leads out of " + out_of + ": " + folder);
      std::string path = relative.empty() ? name : relative + "/" + name;
      if (part > 0 && !present.count(path))
        return fail_at(line, what + " " + path + " is not among the files of the installation \"" + lines.name +
                                 "\" (" + (base / fs::u8path(lines.files_folder)).string() + ")");
      return true;
    };
    if (!lines.uninstaller.empty() &&
        !check(lines.uninstaller_line, "the uninstaller", lines.uninstaller[2], lines.uninstaller[1]))
      return false;
    for (const SHORTCUT_LINE& shortcut : lines.shortcuts)
      if (!shortcut.parts.back().empty() &&
          !check(shortcut.line, "the shortcut's program", shortcut.parts.back(), shortcut.parts[1]))
        return false;
  }
  return true;
}

// The output is none of the inputs and lies in none of the folders that are packed: written there, it
// would replace what the package is made from, or be packed into the next package.
bool PACKER::check_output() {
  fs::path path(output), folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::error_code code;
  std::vector<std::pair<fs::path, std::string>> inputs = {{fs::path(description), "the description"}};
  if (!program.empty()) inputs.push_back({fs::path(program), "the installer program"});
  if (!earlier.empty()) inputs.push_back({fs::path(earlier), "the earlier version's package"});
  for (const std::vector<std::string>& language : languages)
    for (int k = 1; k < 3; k++)
      if (!language[k].empty())
        inputs.push_back({base / fs::u8path(language[k]), std::string(k == 1 ? "the licence " : "the readme ") +
                                                              (base / fs::u8path(language[k])).string()});
  for (size_t i = 0; i < files.size(); i++)
    for (const TREE_FILE& file : files[i])
      if (!file.missing)
        inputs.push_back({file.host, file.host.string() + ", a file of the installation \"" +
                                         installation_lines[i].name + "\""});
  if (fs::exists(path, code))
    for (const auto& input : inputs)
      if (fs::equivalent(path, input.first, code))
        return fail(output + ": is " + input.second + ", which the package is made from: it would be replaced");
  for (const fs::path& packed : walked_folders)
    if (fs::equivalent(folder, packed, code))
      return fail(output + ": lies in " + packed.string() + ", which is packed: the next package would hold it");
  // A package (not a single-file installer) is read under one name only.
  if (program.empty() && path.filename().u8string() != PACKAGE_FILE_NAME)
    notes->push_back(output + ": the installer reads its package only under the name \"" + PACKAGE_FILE_NAME +
                     "\" (in the folder that \"-x\" names): under this name it is not found");
  return true;
}

}  // namespace package_builder
