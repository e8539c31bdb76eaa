// The packer's program: makes an installation package from a description and the folders of files it
// names (see package_builder.h and the README), or, with --installer, a single-file installer:
// the installer program with that package attached. Status 0 made, 1 a mistake or a failure (said on
// standard error), 2 the command line is wrong.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "package_builder.h"

static const char* const USAGE =
    "usage: make_package [--installer <installer program>] <description file> <output file>\n"
    "  Makes the installation package <output file> (\"installer.pkg\") from the description and the\n"
    "  folders of files it names. With --installer, <output file> is a copy of the installer program\n"
    "  (installer.exe, or the Linux installer) with the package attached: a single-file installer.\n";

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  std::string program;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--installer") == 0 && i + 1 < argc && program.empty())
      program = argv[++i];
    else
      arguments.push_back(argv[i]);
  }
  if (arguments.size() != 2 || (!arguments.empty() && arguments[0].compare(0, 1, "-") == 0)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::string error;
  std::vector<std::string> notes;
  bool made = program.empty()
                  ? package_builder::build_package(arguments[0], arguments[1], &error, 4096, &notes)
                  : package_builder::build_installer(arguments[0], program, arguments[1], &error, 4096, &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "make_package: note: %s\n", note.c_str());
  if (!made) {
    std::fprintf(stderr, "make_package: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
