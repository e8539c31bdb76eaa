// Test fixture tool: makes an installation package from a folder of files and a short description
// (see tools/package_builder.h), e.g. the sample package that the build makes from tools/sample.
#include <cstdio>
#include <string>

#include "package_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_package <description file> <package file>\n");
    return 2;
  }
  std::string error;
  if (!package_builder::build_package(argv[1], argv[2], &error)) {
    std::fprintf(stderr, "make_package: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
