// A program that says which arguments it was given: "argc" and their count, then one line per argument
// after the program's own name, its bytes in hexadecimal (the system's text as the host handed it over,
// runs included), and ends with status 0. Tests start it with a command line of their own.
#include <cstdio>
#include <string>

#include "program.h"
#include "host.h"

void application_main(INT_S16 argc, char** argv) {
  std::string text = "argc " + std::to_string(argc) + "\n";
  for (INT_S16 i = 1; i < argc; i++) {
    text += "argument ";
    for (const char* c = argv[i]; *c; c++) {
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02X", (unsigned)(INT_U8)*c);
      text += digits;
    }
    text += "\n";
  }
  console_print(text.c_str());
  console_flush();
  exit_process(0);
}

INT_U8 application_update() { return 0; }

void application_exit() {}

void application_statics(bool) {}
