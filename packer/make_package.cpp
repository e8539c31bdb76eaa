// The packer's program: makes an installation package from a description and the folders of files it
// names (see package_builder.h and the README), or, with --installer, a single-file installer:
// the installer program with that package attached. It says what it made on standard output; status 0
// made, 1 a mistake or a failure (said on standard error), 2 the command line is wrong.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "database.h"
#include "engine.h"
#include "host.h"
#include "package.h"
#include "package_builder.h"

static const char* const USAGE =
    "usage: make_package [--installer <installer program>] <description file> <output file>\n"
    "       make_package --update-of <earlier installer.pkg> [--installer <installer program>]\n"
    "                    <description file> <output file>\n"
    "       make_package --version\n"
    "  Makes the installation package <output file> (\"installer.pkg\") from the description and the\n"
    "  folders of files it names. With --installer, <output file> is a copy of the installer program\n"
    "  (installer.exe, or the Linux installer) with the package attached: a single-file installer.\n"
    "  With --update-of, the package is an update of the version that the earlier package installed,\n"
    "  made from the new version's own description and whole files folders: it carries the files that\n"
    "  changed or were added, installs only over that version and logs beside its log.\n";

// The first few names of a list, and how many more there are.
static std::string first_names(const std::vector<std::string>& names, INT_U32 count) {
  std::string text;
  for (size_t i = 0; i < names.size(); i++) text += (i ? ", " : "") + names[i];
  if (count > names.size()) text += " and " + std::to_string(count - names.size()) + " more";
  return text;
}

// Each line of a text on standard error, after the program's name.
static void print_lines(const char* kind, const std::string& text) {
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::fprintf(stderr, "make_package: %s%s\n", kind, text.substr(start, end - start).c_str());
    if (end == std::string::npos) return;
    start = end + 1;
  }
}

int main(int argc, char** argv) {
  report_errors_through_host();
  std::vector<std::string> arguments;
  std::string program, earlier;
  bool program_given = false, earlier_given = false;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("make_package %s (installation database version %d, package format %d)\n", INSTALLER_VERSION,
                  (int)DATABASE_VERSION, (int)PACKAGE_VERSION);
      return 0;
    }
    bool installer = std::strcmp(argv[i], "--installer") == 0, update = std::strcmp(argv[i], "--update-of") == 0;
    bool& given = installer ? program_given : earlier_given;
    if (!(installer || update) || i + 1 == argc || given) {
      arguments.push_back(argv[i]);
      continue;
    }
    given = true;
    (installer ? program : earlier) = argv[++i];
    // An empty name (a shell variable that is not set) would make a plain package, or a whole version
    // where an update was asked for.
    if (!argv[i][0]) {
      std::fprintf(stderr, "make_package: %s is given an empty name: it names %s; nothing was made\n", argv[i - 1],
                   installer ? "the installer program that the package is attached to"
                             : "the earlier version's package (its installer.pkg) that the package is an update of");
      return 2;
    }
  }
  if (arguments.size() != 2 || (!arguments.empty() && arguments[0].compare(0, 1, "-") == 0)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  // Ctrl+C and SIGTERM stop the packer after the block it copies, and what it wrote goes; a closed
  // terminal (SIGHUP) does not.
  watch_end_requests();
  std::string error;
  std::vector<std::string> notes;
  package_builder::PACK_SUMMARY made;
  bool single = !program.empty();
  bool done = single ? package_builder::build_installer(arguments[0], program, arguments[1], &error, 4096, &notes,
                                                       &made, earlier)
                     : package_builder::build_package(arguments[0], arguments[1], &error, 4096, &notes, &made, earlier);
  for (const std::string& note : notes) print_lines("note: ", note);
  if (!done) {
    print_lines("", error);
    return 1;
  }
  for (const auto& installation : made.installations) {
    // The files that an overwrite rule keeps from replacing what is there.
    std::string rules;
    if (installation.never)
      rules = std::to_string(installation.never) + " installed only where absent (overwrite never)";
    if (installation.older)
      rules += (rules.empty() ? "" : " and ") + std::to_string(installation.older) +
               " only over files older than the package (overwrite older)";
    std::printf("make_package: installation \"%s\": %u file%s, %llu bytes%s%s\n", installation.name.c_str(),
                (unsigned)installation.files, installation.files == 1 ? "" : "s",
                (unsigned long long)installation.bytes, rules.empty() ? "" : ", of them ", rules.c_str());
    // An update carries what changed; what the new version dropped stays on the installed computer.
    if (!made.update_of.empty())
      std::printf("make_package: installation \"%s\": %u file%s carried (%u changed, %u added), %u left as they are, "
                  "%s\n",
                  installation.name.c_str(), (unsigned)installation.files, installation.files == 1 ? "" : "s",
                  (unsigned)installation.changed, (unsigned)installation.added, (unsigned)installation.unchanged,
                  installation.dropped ? (std::to_string(installation.dropped) + " dropped by the new version, which "
                                          "an update cannot remove: " +
                                          first_names(installation.first_dropped, installation.dropped))
                                             .c_str()
                                       : "none dropped by the new version");
    // Links are installed as copies of what they lead to: a program that finds its files through the
    // path of its link finds them no more.
    if (!installation.links) continue;
    std::string named = first_names(installation.first_links, installation.links);
    bool one = installation.links == 1;
    std::printf("make_package: installation \"%s\": %u link%s packed as %s of what %s to, installed as %s, not "
                "as %s: %s\n",
                installation.name.c_str(), (unsigned)installation.links, one ? "" : "s", one ? "a copy" : "copies",
                one ? "it leads" : "they lead", one ? "a file or folder of its own" : "files and folders of their own",
                one ? "a link" : "links", named.c_str());
  }
  std::printf("make_package: made %s: %llu bytes, %s\n", made.path.c_str(), (unsigned long long)made.size,
              single ? "the installer program with its package compressed"
                     : "the files uncompressed in blocks of 4096 bytes");
  if (!made.update_of.empty())
    std::printf("make_package: an update of %s: it installs only over the installation whose log lies in %s, and "
                "logs into %s\n",
                made.update_of.c_str(), made.checked_log.c_str(), made.log.c_str());
  // A request that came as the output took its name, and so could stop nothing, still ends the run as
  // one asked to end.
  if (end_requested()) {
    std::fflush(stdout);
    print_lines("", made.path + ": made: the packer was asked to end as it took its name");
    return 1;
  }
  return 0;
}
