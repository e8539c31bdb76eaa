// The packer: makes an installation package ("installer.pkg": the package file with the files of the
// description's folders and "database.bin") from a short description, or a single-file installer (the
// installer program with that package attached). make_package is its program; the installer's tests
// and benchmarks build their packages through it too. Building packages is not part of the installer
// itself.
//
// Description lines ("key = value", '#' starts a comment; lists separated by ';'), UTF-8 text (a
// byte-order mark before it is skipped). Texts hold at most 255 bytes. Required: at least one
// installation, each with its default_path; no two installations of one name. A key that takes one
// value and is given twice is noted, and the later one holds.
//   title = <installer title>                (default "Installer")
//   application = <application sub-folder (app_string)>   (default none)
//   installation = <name>                (each one adds an installation; the keys below up to the
//                                         next one are its own)
//     default_path = <install location: a path variable, '/' and at least one folder, such as
//                     $ROOT0/opt/app; no "." or ".." part>   (required)
//     files = <folder of the files, relative to the description>   (default "files")
//     missing_file = <relative path of a file whose package entry is left out>   (for trying failures)
//     overwrite = <never|older>;<path or pattern below the files folder>[;...]   (the files' rule where
//                                         a file has their name: never replaced, or replaced only when
//                                         last written before the package was made; '*' and '?' match
//                                         within a name, a folder's path stands for the files below it;
//                                         a pattern that matches no file is refused, in an update made
//                                         by hand only noted)
//     uninstaller = <name>;<file name>;<folder>   (the file must be one of the installation's files
//                                         when the folder is "$HERE" or below it)
//     desktop_shortcut = <type>;<program name>;<link name>;<program folder>
//     menu_shortcut = <type>;<program name>;<link name>;<menu folder>;<program folder>
//                                        (type 1 program, 2 web link, 3 document; a program folder
//                                         "$HERE" or below it must hold the program among the files)
//   log = <install log folder from a path variable, e.g. $HERE/logs>   (default: the install location)
//   patch_check = <folder of an earlier install log that must match, from a path variable: $HERE>
//   language = <name>;<licence file or empty>;<readme file or empty>   (default "English" alone)
//   minimum_size = <smallest window width>;<smallest window height>
//   window = <width>;<height>            (default 640;480)
//   dialog = <x>;<y>;<width>;<height>    (the wizard's page; default 40;30;560;420)
//   exit = <x>;<y>;<width>;<height>      (the quit and desktop-size questions; -1 centres; default
//                                         -1;-1;320;170)
//   about = <x>;<y>;<width>;<height>     (default -1;-1;360;240)
//   file_select = <x>;<y>;<width>;<height>;<new folder over it 0/1>   (default -1;-1;520;380;0)
//   required_desktop = <width>;<height>  (the smallest desktop the options page accepts without asking)
//   background_speed = <ms of one drift of the background; 0 = still>
//   text = <text identifier, e.g. FORWARD>;<value>   (for the language line before it; before any
//          language line, for every language; a text none is given for has built-in English words)
//   style = <member style set, e.g. progress_bar>;<colour key of a style-set file, e.g.
//           highlight_colour>;<#RRGGBB or #AARRGGBB>   (the package's own colours, no skin needed)
//   style = <member style set>;<size key of a style-set file, e.g. y_spacing>;<number, -1 default>
// Every file below an installation's files folder becomes one of its files: destination "$HERE" plus
// its sub-folder, packed under its relative path (under the folder's name too when another file has
// that entry name). A link is packed as what it leads to, under its own name: a link to a file as that
// file, a link to a folder as that folder's files; a link back to a folder that holds it, or to the
// files folder or above it, is not followed, and one that leads nowhere is an error. Every name must be
// one that Windows and Linux can hold, no two names of one folder may differ only in capitals, and no
// file may lie at the install log's place ("install_log.txt", in any capitals, in the log folder). Each
// language names every installation by its name. No two shortcuts of an installation make one link file
// (by its name as Windows compares names) with two targets, no language is named twice, and a web
// link's program is an address ("https://...").
//
// Every mistake of the description is reported as "<description>:<line>: <cause>", every other failure
// with the file it concerns and its cause. The output is none of the inputs and lies in no folder that
// is packed. The package is written under a temporary name beside it and takes its name only when
// whole: a failed run leaves nothing at the package's name.
#pragma once
#include <string>
#include <vector>

#include "types.h"

namespace package_builder {

// What a run made, for its report.
struct PACK_SUMMARY {
  struct INSTALLATION_FILES {
    std::string name;
    INT_U32 files = 0;  // its files (those of missing_file lines included)
    INT_U64 bytes = 0;  // the bytes they install
    // Those of an overwrite rule: installed only where no file has the name (never), only over a file
    // last written before the package was made (older).
    INT_U32 never = 0, older = 0;
    INT_U32 links = 0;  // the links of its tree, each packed as a copy of what it leads to
    // The first few of them by path, each with where it leads: "bin/tool (to lib/tool.js)".
    std::vector<std::string> first_links;
    // An update's (made from the whole new version against the earlier version's package): of the new
    // version's files, those changed and those added (the files it carries), those left as they are;
    // and the earlier version's files that the new one dropped, which an update cannot remove, the
    // first few of them by path.
    INT_U32 changed = 0, added = 0, unchanged = 0, dropped = 0;
    std::vector<std::string> first_dropped;
  };
  std::vector<INSTALLATION_FILES> installations;
  std::string path;  // the package, or the single-file installer
  INT_U64 size = 0;  // its size in bytes
  // An update's: the earlier version's package, the folder of that version's install log that it
  // checks, and the folder of its own log.
  std::string update_of, checked_log, log;
};

// Builds the package at package_path (an existing file there is replaced when the new one is whole);
// error says what failed (one line per problem), notes (when given) gets what was left out on purpose
// and what the description says twice, summary (when given) what was made. block_size: the data bytes
// per package block. A request to end the program (end_requested) stops it before its next file and
// leaves nothing behind.
// With earlier_package (the package of the version installed, as a path of the host), the package is an
// update of that version, made from the new version's whole description and files: it carries only the
// files that the new version added or whose bytes changed (compared as "-d" compares two packages), no
// uninstaller and only the shortcuts whose programs it carries; it installs only over that version's
// installation (the folder of its install log) and logs into a "patch" folder below it. The new version
// must be one that an update can bring: the same application and installations, with the same
// locations and uninstallers.
bool build_package(const std::string& description_path, const std::string& package_path, std::string* error,
                   INT_S32 block_size = 4096, std::vector<std::string>* notes = nullptr,
                   PACK_SUMMARY* summary = nullptr, const std::string& earlier_package = std::string());

// Writes output_path as a copy of the installer program (program_path) with the package of the
// description attached, compressed; it takes its name when whole, and is marked as a program where the
// host keeps such a mark. Only the installer program is taken (it carries the mark of
// carries_installer_mark). error, notes, summary, block_size and earlier_package as for build_package.
bool build_installer(const std::string& description_path, const std::string& program_path,
                     const std::string& output_path, std::string* error, INT_S32 block_size = 4096,
                     std::vector<std::string>* notes = nullptr, PACK_SUMMARY* summary = nullptr,
                     const std::string& earlier_package = std::string());

// The wizard's built-in English wording of page text number slot (0 = INSTALLER_TITLE, which the
// description's title gives: null there); a description's text lines replace it.
const char* default_wizard_text(int slot);

}  // namespace package_builder
