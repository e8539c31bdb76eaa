// Starts a program for a real-window scenario under Wine and reports on it: Wine's explorer runs this
// launcher on the scenario's own desktop and display, and the launcher starts the program there with
// its standard output and error in files, writes the program's process id, waits for its end and writes
// its exit status. The test, in another process, reads both files.
// Arguments: status file, output file, error file, program, the program's arguments.
#include <windows.h>

#include <cstdio>
#include <string>

static HANDLE inheritable_file(const char* path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes the line to a new file in one go (written as .part, then renamed, so a reader never sees half).
static void report(const std::string& path, const std::string& line) {
  std::string part = path + ".part";
  FILE* file = std::fopen(part.c_str(), "wb");
  if (!file) return;
  std::fputs(line.c_str(), file);
  std::fclose(file);
  MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  std::string command;
  for (int i = 4; i < argc; i++) {
    std::string argument = argv[i];
    bool quote = argument.empty() || argument.find_first_of(" \t\"") != std::string::npos;
    command += (i > 4 ? " " : "") + (quote ? "\"" + argument + "\"" : argument);
  }
  HANDLE in = inheritable_file("NUL", false), out = inheritable_file(argv[2], true), err = inheritable_file(argv[3], true);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION started;
  ZeroMemory(&started, sizeof(started));
  if (!CreateProcessA(argv[4], &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
    report(argv[1], "failed\n");
    return 2;
  }
  CloseHandle(out);
  CloseHandle(err);
  report(std::string(argv[1]) + ".pid", std::to_string(started.dwProcessId) + "\n");
  WaitForSingleObject(started.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  report(argv[1], "exit " + std::to_string(code) + "\n");
  return 0;
}
