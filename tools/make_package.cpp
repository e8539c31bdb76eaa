// The packer's program: makes an installation package from a description and the folders of files it
// names (see tools/package_builder.h and the README). Status 0 made, 1 a mistake or a failure (said on
// standard error), 2 the command line is wrong.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "package_builder.h"

static const char* const USAGE =
    "usage: make_package <description file> <output file>\n"
    "  Makes the installation package <output file> (\"installer.pkg\") from the description and the\n"
    "  folders of files it names.\n";

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    arguments.push_back(argv[i]);
  }
  if (arguments.size() != 2 || (!arguments.empty() && arguments[0].compare(0, 1, "-") == 0)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::string error;
  std::vector<std::string> notes;
  bool made = package_builder::build_package(arguments[0], arguments[1], &error, 4096, &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "make_package: note: %s\n", note.c_str());
  if (!made) {
    std::fprintf(stderr, "make_package: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
