// The packer's files of an installation: the tree below its files folder walked (links followed to
// what they lead to), the database's limits checked, and the files that the uninstaller and the
// shortcuts name found among them.
#include <algorithm>

#include "packer_private.h"

namespace package_builder {

// The system's form of a path of the tree (the host's names below the files folder, joined with '/'):
// the entry name of the file and the text of its installed folder and name, whose lengths the
// database limits. False, with the cause, for a name the installer could not write as given.
static bool system_path(const std::string& host_relative, std::string* path, std::string* cause) {
  if (host_relative.find('\\') != std::string::npos) {
    *cause = "the name holds '\\', which separates folders on Windows";
    return false;
  }
  *path = system_name(host_relative);
  return true;
}

// Adds the regular files below folder (relative: its path below the files folder, empty or ending in
// '/') to files; ancestors: the folders on the way there, by their real paths, so that a link back to
// one of them is not followed. False, with the error, for a dangling link, an entry that is neither a
// file nor a folder, a folder that cannot be listed, or more files than an installation holds.
static bool walk_tree(const fs::path& folder, const std::string& relative, std::vector<fs::path>* ancestors,
                      std::vector<TREE_FILE>* files, std::vector<std::string>* notes, std::string* error) {
  std::error_code code;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
    entries.push_back(it->path());
  if (code) {
    *error = folder.string() + ": cannot be listed: " + code.message();
    return false;
  }
  for (const fs::path& entry : entries) {
    std::string name = entry.filename().u8string();
    std::error_code link_code;
    bool link = fs::is_symlink(fs::symlink_status(entry, link_code));
    fs::file_status status = fs::status(entry, code);
    if (status.type() == fs::file_type::not_found || (code && link)) {
      fs::path target = fs::read_symlink(entry, link_code);
      *error = entry.string() + ": " +
               (!link ? std::string("has gone while the folder was read")
                : status.type() == fs::file_type::not_found
                    ? "a link to " + target.string() + ", which does not exist"
                    : "a link to " + target.string() + ", which cannot be followed (" + code.message() + ")");
      return false;
    }
    if (code) {
      *error = entry.string() + ": cannot be read: " + code.message();
      return false;
    }
    if (fs::is_regular_file(status)) {
      if (files->size() > 32767) {
        *error = "an installation holds at most 32767 files: " + folder.string() + " and the folders before it hold more";
        return false;
      }
      files->push_back({relative + name, entry, false});
      continue;
    }
    if (!fs::is_directory(status)) {
      *error = entry.string() + ": neither a file nor a folder (a pipe, socket or device): it cannot be packed";
      return false;
    }
    fs::path real = fs::canonical(entry, code);
    if (code) {
      *error = entry.string() + ": cannot be read: " + code.message();
      return false;
    }
    if (std::find(ancestors->begin(), ancestors->end(), real) != ancestors->end()) {
      notes->push_back(entry.string() + ": a link to " + real.string() + ", a folder that holds it: not followed");
      continue;
    }
    ancestors->push_back(real);
    bool walked = walk_tree(entry, relative + name + "/", ancestors, files, notes, error);
    ancestors->pop_back();
    if (!walked) return false;
  }
  return true;
}

// The folder below the install location that a "$HERE" text names ("" for the install location) in
// relative: 1. A text of another path variable: 0. A ".." step out of the install location: -1.
int install_folder_part(const std::string& text, std::string* relative) {
  if (text.compare(0, 5, "$HERE") != 0 || (text.size() > 5 && text[5] != '/')) return 0;
  std::vector<std::string> kept;
  for (const std::string& part : split(text.substr(5), '/')) {
    if (part.empty() || part == ".") continue;
    if (part != "..") kept.push_back(part);
    else if (kept.empty()) return -1;
    else kept.pop_back();
  }
  relative->clear();
  for (const std::string& part : kept) *relative += (relative->empty() ? "" : "/") + part;
  return 1;
}

// The files of every installation in name order, with the limits of the database checked.
bool PACKER::list_files() {
  files.resize(installation_lines.size());
  for (size_t i = 0; i < installation_lines.size(); i++) {
    const INSTALLATION_LINES& lines = installation_lines[i];
    fs::path root = base / fs::u8path(lines.files_folder);
    int line = lines.files_line ? lines.files_line : lines.line;
    std::error_code code;
    if (!fs::is_directory(root, code)) return fail_at(line, "the files folder " + root.string() + " is not a folder");
    std::vector<fs::path> ancestors = {fs::canonical(root, code)};
    if (!walk_tree(root, "", &ancestors, &files[i], notes, &error)) return false;
    std::set<std::string> present;
    for (const TREE_FILE& file : files[i]) present.insert(file.relative);
    for (const auto& missing : lines.missing_files) {
      std::string relative;
      if (install_folder_part("$HERE/" + missing.first, &relative) != 1 || relative != missing.first)
        return fail_at(missing.second, "missing_file is a plain path below the files folder: " + missing.first);
      if (present.count(missing.first))
        return fail_at(missing.second, "missing_file names a file that is in the files folder: " + missing.first);
      files[i].push_back({missing.first, fs::path(), true, missing.second});
    }
    if (files[i].size() > 32767)
      return fail_at(line, "an installation holds at most 32767 files; " + root.string() + " holds " +
                               std::to_string(files[i].size()));
    std::sort(files[i].begin(), files[i].end(),
              [](const TREE_FILE& a, const TREE_FILE& b) { return a.relative < b.relative; });
    for (TREE_FILE& file : files[i]) {
      std::string place = file.missing ? description + ":" + std::to_string(file.line) : file.host.string();
      std::string cause, path;
      if (!system_path(file.relative, &path, &cause)) return fail(place + ": " + cause);
      size_t slash = path.find_last_of('/');
      size_t folder = slash == std::string::npos ? 0 : slash;
      size_t name = path.size() - (slash == std::string::npos ? 0 : slash + 1);
      // The installed folder is "$HERE/" and the folder; the entry name can be the path.
      if (name > TEXT_LIMIT || folder + 6 > TEXT_LIMIT || path.size() > TEXT_LIMIT)
        return fail(place + ": its path below the files folder is " + std::to_string(path.size()) +
                    " bytes long; the installation database holds " + std::to_string(TEXT_LIMIT) +
                    " for a name and for the entry, and " + std::to_string(TEXT_LIMIT - 6) + " for a folder");
    }
  }
  return true;
}

// The uninstaller and the shortcuts' programs that lie in the install location are files of the
// installation.
bool PACKER::check_references() {
  for (size_t i = 0; i < installation_lines.size(); i++) {
    const INSTALLATION_LINES& lines = installation_lines[i];
    std::set<std::string> present;
    for (const TREE_FILE& file : files[i]) present.insert(file.relative);
    auto check = [&](int line, const std::string& what, const std::string& folder, const std::string& name) {
      std::string relative;
      int part = install_folder_part(folder, &relative);
      if (part < 0) return fail_at(line, what + "'s folder leads out of the install location: " + folder);
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

}  // namespace package_builder
