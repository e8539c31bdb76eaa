// Starts a program for a real-window scenario under Wine and reports on it: Wine's explorer runs this
// launcher on the scenario's own desktop, display and Wine server, and the launcher starts the program
// there with its standard output and error in files, reports the visible windows of the desktop while
// the program runs, and writes the program's exit status at its end. The test runs on another Wine
// server and sees none of these windows itself: it reads the files.
// Arguments: status file, output file, error file, program, the program's arguments.
#include <windows.h>

#include <cstdio>
#include <string>

static const DWORD REPORT_EVERY_MS = 20;

static HANDLE inheritable_file(const char* path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes the text to a new file in one go (written as .part, then renamed, so a reader never sees half).
static void report(const std::string& path, const std::string& text) {
  std::string part = path + ".part";
  FILE* file = std::fopen(part.c_str(), "wb");
  if (!file) return;
  std::fputs(text.c_str(), file);
  std::fclose(file);
  MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// One line per visible top-level window: "window", its client area on the screen (x y width height),
// the centre of its caption's close button, and its title. The virtual desktop covers the display's
// screen from its corner, so desktop and screen points are one.
static BOOL CALLBACK describe_window(HWND window, LPARAM data) {
  if (!(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  char title[512] = "";
  GetWindowTextA(window, title, sizeof title);
  for (char* c = title; *c; c++)
    if (*c == '\n' || *c == '\r') *c = ' ';
  RECT client, outer;
  if (!GetClientRect(window, &client) || !GetWindowRect(window, &outer)) return TRUE;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  // Wine draws the close button at the right of the caption.
  int close_x = outer.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1;
  int close_y = outer.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  char line[640];
  std::snprintf(line, sizeof line, "window %ld %ld %ld %ld %d %d %s\n", origin.x, origin.y, client.right - client.left,
                client.bottom - client.top, close_x, close_y, title);
  *(std::string*)data += line;
  return TRUE;
}

// The argument as the program's command line holds it, for the program to read it back as it was: in
// quotes when it is empty or holds a blank or a quote, a quote then after a backslash and the
// backslashes before a quote (the closing one included) doubled.
static std::string quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string text = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      backslashes++;
      continue;
    }
    text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    text += c;
    backslashes = 0;
  }
  text.append(2 * backslashes, '\\');
  return text + "\"";
}

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  // The windows' places and sizes in the display's own pixels, as the programs on the library see them
  // and the X tools take them, whatever the display's scale.
  typedef BOOL(WINAPI * SET_CONTEXT)(HANDLE);
  SET_CONTEXT set_context =
      (SET_CONTEXT)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext");
  if (!set_context || !(set_context((HANDLE)(INT_PTR)-4) || set_context((HANDLE)(INT_PTR)-3))) SetProcessDPIAware();
  std::string command;
  for (int i = 4; i < argc; i++) command += (i > 4 ? " " : "") + quoted(argv[i]);
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
  std::string status = argv[1], windows = status + ".windows";
  // Wine now and then fails a start before the program runs (ERROR_INTERNAL_ERROR) on a loaded machine:
  // the program is started again then, twice at the most.
  for (int tries = 1; !CreateProcessA(argv[4], &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                      &started);
       tries++) {
    if (GetLastError() != ERROR_INTERNAL_ERROR || tries == 3) {
      report(status, "failed (error " + std::to_string(GetLastError()) + ")\n");
      return 2;
    }
  }
  CloseHandle(out);
  CloseHandle(err);
  report(status + ".pid", std::to_string(started.dwProcessId) + "\n");
  // The windows as they are now, rewritten whenever they change, until the program ends.
  std::string reported = "-";
  do {
    std::string now;
    EnumWindows(describe_window, (LPARAM)&now);
    if (now != reported) report(windows, now);
    reported = now;
  } while (WaitForSingleObject(started.hProcess, REPORT_EVERY_MS) == WAIT_TIMEOUT);
  report(windows, "");
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  report(status, "exit " + std::to_string(code) + "\n");
  return 0;
}
