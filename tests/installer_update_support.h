// Runs of the installer program for the tests of updates: "-a" on a package, "-d" and any other
// arguments, with what the program said kept in a file.
#pragma once
#include <string>

#include "installer_test_support.h"
#include "package_builder.h"
#include "wizard_test_support.h"

// Runs of the installer program for updates, on a scratch whose destination is named from the drive
// root (the program knows none of the test's named paths): "-a" on the package of its package folder.
struct UPDATE_RUNS {
  INSTALLER_SCRATCH& scratch;
  std::string location;  // the destination as the description names it
  std::string output;
  std::string installer = WINDOW_SCENARIO::built_program("installer");

  explicit UPDATE_RUNS(INSTALLER_SCRATCH& scratch) : scratch(scratch), output(scratch.root + "output.txt") {
    std::string description = read_whole_text(scratch.source + "description.txt");
    location = program_path_text(scratch.root) + "/dest";
    description.replace(description.find("$SCRATCH/dest"), 13, location);
    write_whole_file(scratch.source + "description.txt", text_bytes(description));
  }
  // The program's status; what it said is in output.
  int run(const std::string& program, const std::string& arguments) {
#ifdef _WIN32
    return run_command("\"\"" + program + "\" " + arguments + " >\"" + output + "\" 2>&1\"");
#else
    std::string environment;
    for (const std::string& variable : program_environment(scratch.root)) environment += variable + " ";
    return run_command("env " + environment + "'" + program + "' " + arguments + " >'" + output + "' 2>&1");
#endif
  }
  // "-a" on "installer.pkg" of the package folder, or of another folder.
  int install(const std::string& folder = "") {
    std::string xml = program_path_text(folder.empty() ? scratch.package : folder) + "/installer.xml";
#ifdef _WIN32
    return run(installer, "-x \"" + xml + "\" -a");
#else
    return run(installer, "-x '" + xml + "' -a");
#endif
  }
  // Packs the description with more lines as "installer.pkg".
  bool pack(const std::string& more) {
    std::string description = read_whole_text(scratch.source + "description.txt");
    std::string error;
    return write_whole_file(scratch.source + "packed.txt", text_bytes(description + more)) &&
           package_builder::build_package(scratch.source + "packed.txt", scratch.package + "installer.pkg", &error);
  }
};
