// Real-window scenarios: the private display, the program under test, real input and read-back. The X
// side is reached through short shell scripts on both builds (under Wine a Windows process starts Unix
// programs with CreateProcess); starting the program and finding its window are the host's own.
#include "window_scenario.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "host.h"
#include "pass_count.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

static const int STEP_WAIT_MS = 30000;   // the longest wait of one step
static const int SHELL_WAIT_MS = 2 * STEP_WAIT_MS;  // a shell's own bound, beyond the waits inside it
static const int POLL_MS = 50;
static const int DISPLAY_LIFETIME_S = 600;  // a display ends by itself after the longest test program
static const int STILL_GAP_MS = 200;  // between two captures that must match for a window to stand still

static void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The end of one step's wait in real time, however long each look takes on a loaded machine.
class STEP_DEADLINE {
public:
  bool passed() const { return std::chrono::steady_clock::now() >= end; }

private:
  std::chrono::steady_clock::time_point end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(STEP_WAIT_MS);
};

// Text in single quotes for the shell.
static std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A title as an anchored extended regular expression for xdotool's search.
static std::string title_pattern(const std::string& title) {
  std::string pattern = "^";
  for (char c : title) {
    if (std::strchr("\\^$.|?*+()[]{}", c)) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

// A binary PPM ("P6", 8 bits, comments allowed in its header) read into 0xRRGGBB values.
static bool read_ppm(const std::vector<INT_U8>& bytes, WINDOW_CAPTURE* image) {
  size_t at = 0;
  long fields[4] = {0, 0, 0, 0};  // magic number, width, height, largest value
  for (int field = 0; field < 4; field++) {
    while (at < bytes.size() && (std::isspace(bytes[at]) || bytes[at] == '#')) {
      if (bytes[at] == '#')
        while (at < bytes.size() && bytes[at] != '\n') at++;
      else
        at++;
    }
    if (field == 0) {
      if (at + 2 > bytes.size() || bytes[at] != 'P' || bytes[at + 1] != '6') return false;
      at += 2;
      continue;
    }
    while (at < bytes.size() && std::isdigit(bytes[at]) && fields[field] < 100000)
      fields[field] = fields[field] * 10 + (bytes[at++] - '0');
  }
  at++;  // the one white-space byte before the samples
  if (fields[3] != 255 || fields[1] < 1 || fields[2] < 1) return false;
  size_t count = (size_t)fields[1] * (size_t)fields[2];
  if (bytes.size() < at || (bytes.size() - at) / 3 < count) return false;
  image->width = (int)fields[1];
  image->height = (int)fields[2];
  image->pixels.resize(count);
  for (size_t i = 0; i < count; i++, at += 3)
    image->pixels[i] = ((INT_U32)bytes[at] << 16) | ((INT_U32)bytes[at + 1] << 8) | bytes[at + 2];
  return true;
}

WINDOW_SCENARIO::WINDOW_SCENARIO(const std::string& name, int width, int height)
    : scratch_folder(make_scratch_folder(name)), screen_width(width), screen_height(height) {}

WINDOW_SCENARIO::~WINDOW_SCENARIO() {
  stop_program();
  std::string stop = server_pids.empty() ? "" : "kill " + server_pids + " 2>/dev/null\n";
#ifdef _WIN32
  // The scenario's Wine server ends with the display; its prefix holds links to the whole file system
  // and is removed by the shell, which never follows them.
  if (!wine_prefix.empty())
    stop = "export WINEPREFIX=" + shell_quote(wine_prefix) + "\nwineserver -k 2>/dev/null; wineserver -w\n" + stop +
           "rm -rf \"$WINEPREFIX\"\n";
#endif
  std::string answer;
  if (!stop.empty()) run_shell("stop", stop + "echo ok", &answer);
  // The scratch folder goes with the test's others: removed when it passed, kept when it failed.
}

// Writes the body as a script whose output lands in a result file, runs it with /bin/sh on the
// scenario's display, and waits (bounded) for the result.
bool WINDOW_SCENARIO::run_shell(const std::string& name, const std::string& body, std::string* answer) {
  std::string script = scratch_folder + name + ".sh", result = scratch_folder + name + ".out";
  std::remove(result.c_str());
  std::string text = "OUT=" + shell_quote(unix_path(result)) + "\n";
  if (!display.empty()) text += "export DISPLAY=" + display + "\n";
  text += "(\n" + body + "\n) >\"$OUT.part\" 2>&1 </dev/null\nmv \"$OUT.part\" \"$OUT\"\n";
  if (!write_whole_file(script, std::vector<INT_U8>(text.begin(), text.end()))) return false;
#ifdef _WIN32
  std::string command = "/bin/sh " + unix_path(script);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started;
  ZeroMemory(&started, sizeof(started));
  if (!start_process(command, false, 0, &startup, &started)) return false;
  // Wine starts /bin/sh as a Unix process: it gives no process handle then, and the thread handle it
  // leaves is none of ours; closing it would close whichever handle of this process it happens to name.
  if (started.hProcess) {
    CloseHandle(started.hProcess);
    if (started.hThread) CloseHandle(started.hThread);
  }
  for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(SHELL_WAIT_MS);
       std::chrono::steady_clock::now() < end;) {
    if (GetFileAttributesA(result.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    pause_ms(10);
  }
#else
  run_command("timeout " + std::to_string(SHELL_WAIT_MS / 1000) + " /bin/sh " + shell_quote(script));
#endif
  if (!std::filesystem::exists(result)) return false;
  *answer = read_whole_text(result);
  return true;
}

std::string WINDOW_SCENARIO::missing_tools() {
  if (unix_path("/").empty()) return "not running under Wine, so there is no X display to use";
  std::string tools = "Xvfb xdotool xwd xwininfo /usr/bin/convert";
#ifdef _WIN32
  tools += " wine wineserver";
#else
  tools += " twm";
#endif
  std::string answer;
  if (!run_shell("tools", "for t in " + tools + "; do command -v $t >/dev/null || printf '%s ' $t; done", &answer))
    return "the shell did not run";
  return answer.empty() ? "" : "missing " + answer;
}

bool WINDOW_SCENARIO::start_display() {
  std::string screen = std::to_string(screen_width) + "x" + std::to_string(screen_height) + "x24";
  std::string wait = std::to_string(STEP_WAIT_MS / 50);  // a step's wait in rounds of 0.05 s
  // No reset when the last client leaves: a server resetting drops every client that connects meanwhile,
  // and between the scripts' X tools (and under Wine before the program's desktop comes) the display
  // often has no client at all. No key repeats by itself (-r): on a loaded machine a key's release may
  // come later than the repeat's delay, and the program would take the key again. The server writes its
  // number once it takes clients.
  std::string body =
      "Xvfb -displayfd 5 -screen 0 " + screen + " -nolisten tcp -noreset -r 5>\"$OUT.number\" >\"$OUT.server\" 2>&1 &\n"
      "pids=$!\n"
      "i=0; while [ ! -s \"$OUT.number\" ] && kill -0 $pids 2>/dev/null && [ $i -lt " + wait + " ]; do\n"
      "  sleep 0.05; i=$((i+1)); done\n"
      "export DISPLAY=:$(head -n 1 \"$OUT.number\")\n"
      "xwininfo -root >/dev/null 2>&1 ||\n"
      "  { kill $pids; echo Xvfb did not start; tail -n 5 \"$OUT.server\"; exit; }\n";
#ifndef _WIN32
  // twm frames the window with a title bar whose one button closes it (WM_DELETE_WINDOW); fixed fonts
  // only (the server has no others), windows where the program puts them, nothing else shown. It is
  // ready once it redirects the root's children.
  std::string settings = scratch_folder + "twmrc";
  std::string rc =
      "NoGrabServer\nUsePPosition \"on\"\nRandomPlacement\nNoDefaults\nBorderWidth 1\n"
      "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\nIconFont \"fixed\"\n"
      "IconManagerFont \"fixed\"\nRightTitleButton \":delete\" = f.delete\n";
  write_whole_file(settings, std::vector<INT_U8>(rc.begin(), rc.end()));
  body += "twm -f " + shell_quote(settings) + " >\"$OUT.manager\" 2>&1 &\n"
          "manager=$!\n"
          "i=0; until xwininfo -root -events 2>/dev/null | grep -q SubstructureRedirect; do\n"
          "  kill -0 $manager 2>/dev/null && [ $i -lt " + wait + " ] ||\n"
          "    { kill $pids $manager 2>/dev/null; echo twm did not start; tail -n 5 \"$OUT.manager\"; exit; }\n"
          "  sleep 0.05; i=$((i+1)); done\n"
          "pids=\"$pids $manager\"\n";
  std::string stop = "kill $pids";
#else
  // A Wine prefix of the scenario's own, so that its programs run under a Wine server of their own: the
  // settings of the test's prefix, its C: drive (linked) and its drive letters. A prefix takes its
  // server from its folder. Its temporary folder (TEMP and TMP) is one of its own below the user's: the
  // servers of scenarios that run at once share the drive but not their processes' ids or their open
  // files, and a program's start sweeps the private folders that ended runs of the same program left
  // in its temporary folder, which it tells by their open lock files.
  body += "main=${WINEPREFIX:-$HOME/.wine}\n"
          "prefix=$(mktemp -d /tmp/velk-scenario.XXXXXX) || { kill $pids; echo no folder for a Wine prefix; exit; }\n"
          "cp -p \"$main\"/*.reg \"$main/.update-timestamp\" \"$prefix/\" && cp -a \"$main/dosdevices\" \"$prefix/\" &&\n"
          "  ln -s \"$main/drive_c\" \"$prefix/drive_c\" ||\n"
          "  { kill $pids; rm -rf \"$prefix\"; echo the Wine prefix $main was not copied; exit; }\n"
          R"(grep -q '^"TEMP"=' "$prefix/user.reg" && sed -i "s/^\(\"TE*MP\"=\".*\)\"\$/\1\\\\\\\\${prefix##*/}\"/" "$prefix/user.reg" ||)" "\n"
          "  { kill $pids; rm -rf \"$prefix\"; echo no temporary folder of its own in $prefix; exit; }\n";
  std::string stop = "kill $pids; WINEPREFIX=\"$prefix\" wineserver -k; rm -rf \"$prefix\"";
#endif
  // The display (and under Wine the scenario's Wine server and prefix) ends by itself when a test
  // program dies without its destructor. The destructor ends this watch with the display, so that it
  // never signals process numbers the system may have given to others since.
  body += "( i=0; while kill -0 ${pids%% *} && [ $i -lt " + std::to_string(DISPLAY_LIFETIME_S) +
          " ]; do sleep 1; i=$((i+1)); done; [ $i -lt " + std::to_string(DISPLAY_LIFETIME_S) + " ] || { " + stop +
          "; } ) >/dev/null 2>&1 </dev/null &\n"
          "pids=\"$pids $!\"\n"
          "echo \"display $DISPLAY ${prefix:--} $pids\"\n";
  std::string answer;
  char number[64] = "", prefix[1024] = "";
  int used = 0;
  // The result is the last line; a tool's complaint on the way (a busy server refusing one client) may
  // stand before it.
  bool ran = run_shell("display", body, &answer);
  size_t line = answer.rfind("display ");
  if (!ran || line == std::string::npos || (line > 0 && answer[line - 1] != '\n') ||
      std::sscanf(answer.c_str() + line, "display %63s %1023s %n", number, prefix, &used) != 2 || !used) {
    ADD_FAILURE() << "the display did not start: " << answer;
    return false;
  }
  display = number;
  server_pids = answer.substr(line + used);
  while (!server_pids.empty() && std::isspace((unsigned char)server_pids.back())) server_pids.pop_back();
#ifdef _WIN32
  wine_prefix = prefix;
#endif
  return true;
}

std::string WINDOW_SCENARIO::built_program(const std::string& name) {
#ifdef _WIN32
  std::string file = name + ".exe";
#else
  std::string file = name;
#endif
  std::filesystem::path beside = std::filesystem::path(get_module_path()).parent_path() / file;
  if (std::filesystem::exists(beside)) return beside.string();
  std::filesystem::path scenario_build = std::filesystem::path(get_module_path()).parent_path() / "scenario" / file;
  if (std::filesystem::exists(scenario_build)) return scenario_build.string();
  const char* binary_dir = std::getenv("VELK_BINARY_DIR");
  if (binary_dir) return std::filesystem::absolute(std::filesystem::path(binary_dir) / file).string();
  return beside.string();
}

std::string WINDOW_SCENARIO::output() const { return read_whole_text(scratch_folder + "program.out"); }
std::string WINDOW_SCENARIO::errors() const { return read_whole_text(scratch_folder + "program.err"); }

// How the program stands, for a failure's message.
static std::string program_state(bool running, int status) {
  if (running) return "the program still runs";
  return status < 0 ? "the program was killed or crashed" : "the program ended with " + std::to_string(status);
}

bool WINDOW_SCENARIO::wait_for_output(const std::string& text) {
  for (STEP_DEADLINE deadline; !deadline.passed();) {
    if (output().find(text) != std::string::npos) return true;
    if (!program_running()) break;
    pause_ms(POLL_MS);
  }
  if (output().find(text) != std::string::npos) return true;
  ADD_FAILURE() << "the program did not print \"" << text << "\" (" << program_state(program_running(), exit_status)
                << "); it printed:\n"
                << output() << errors();
  return false;
}

bool WINDOW_SCENARIO::wait_for_window(const std::string& title, int width, int height) {
  for (STEP_DEADLINE deadline; !deadline.passed();) {
    int x, y, w, h;
    if (find_window(title, &x, &y, &w, &h) && (width < 0 || w == width) && (height < 0 || h == height)) {
      client_x = x, client_y = y, client_width = w, client_height = h;
      window_title = title;
      return true;
    }
    if (!program_running()) break;
    pause_ms(POLL_MS);
  }
  std::string size = width < 0 && height < 0 ? "" : " of " + std::to_string(width) + " x " + std::to_string(height);
  ADD_FAILURE() << "no window \"" << title << "\"" << size << " was shown (" << program_state(program_running(), exit_status)
                << "); the windows shown:\n"
                << windows_seen() << "the program printed:\n"
                << output() << errors();
  return false;
}

// Sends the events (xdotool commands) one by one and after each waits until the program has taken it:
// two more passes of its frame loop, as the first may have read its input just before the event came.
// Input paced by the program's own passes lands in a pass of its own however slowly the program runs.
// The wait ends early when the program has ended or holds still as asked (hold_once_lines: it takes
// what is left when it goes on); a program that makes no pass for a step's wait fails the step. With focus, the window takes the keyboard focus first. Input to the window's frame rather
// than to the program goes unpaced: the frame may hold the program's loop until the button comes up.
bool WINDOW_SCENARIO::send_input(const std::vector<std::string>& events, bool focus, bool paced) {
  std::string body = "P=" + shell_quote(unix_path(scratch_folder + "program.passes")) + "\n" +
                     "H=" + shell_quote(unix_path(scratch_folder + "program.hold.held")) + "\n" + program_ended_shell() +
                     "taken() {\n"
                     "  n=; { read n <\"$P\"; } 2>/dev/null; want=$((${n:-0} + 2)); i=0\n"
                     "  while :; do\n"
                     "    m=; { read m <\"$P\"; } 2>/dev/null\n"
                     "    [ \"${m:-0}\" -ge $want ] && return\n"
                     "    ended && return\n"
                     "    [ -e \"$H\" ] && return\n"
                     "    [ $i -ge " + std::to_string(STEP_WAIT_MS / 20) + " ] && {\n"
                     "      echo \"the program made no pass for " + std::to_string(STEP_WAIT_MS / 1000) +
                     " s after xdotool $1 (it stands at pass ${m:-0})\"; exit; }\n"
                     "    sleep 0.02; i=$((i+1))\n"
                     "  done\n"
                     "}\n";
  if (focus)
    body += "id=$(xdotool search --onlyvisible --name " + shell_quote(title_pattern(window_title)) +
            " | head -n 1)\n[ -n \"$id\" ] || { echo no window to focus; exit; }\nxdotool windowfocus $id || exit\n";
  std::string all;
  for (const std::string& event : events) {
    body += "xdotool " + event + " || exit\n";
    if (paced) body += "taken " + shell_quote(event) + "\n";
    all += (all.empty() ? "" : ", ") + event;
  }
  std::string answer;
  if (run_shell("input", body + "echo ok", &answer) && answer.find("ok") != std::string::npos) return true;
  ADD_FAILURE() << "the input (" << all << ") to \"" << window_title << "\" failed: " << answer;
  return false;
}

// Client coordinates on the screen, for xdotool's absolute moves.
std::string WINDOW_SCENARIO::move_event(int x, int y) const {
  return "mousemove " + std::to_string(client_x + x) + " " + std::to_string(client_y + y);
}

bool WINDOW_SCENARIO::move(int x, int y) { return send_input({move_event(x, y)}); }
bool WINDOW_SCENARIO::move_now(int x, int y) { return send_input({move_event(x, y)}, false, false); }
// Longer than any double-click time (the hosts': 400 ms on Linux, Windows' 500 ms by default).
static const int DOUBLE_CLICK_WAIT_MS = 700;

void WINDOW_SCENARIO::keep_clicks_apart(int x, int y) {
  auto since = std::chrono::steady_clock::now() - last_click_time;
  int waited = (int)std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  if (std::abs(x - last_click_x) <= 4 && std::abs(y - last_click_y) <= 4 && waited < DOUBLE_CLICK_WAIT_MS)
    pause_ms(DOUBLE_CLICK_WAIT_MS - waited);
  last_click_x = x, last_click_y = y;
  last_click_time = std::chrono::steady_clock::now();
}

bool WINDOW_SCENARIO::click_now(int x, int y, int button) {
  keep_clicks_apart(x, y);
  return send_input({move_event(x, y), "click " + std::to_string(button)}, false, false);
}
bool WINDOW_SCENARIO::two_clicks_now(int x1, int y1, int x2, int y2, int gap_ms) {
  keep_clicks_apart(x1, y1);
  keep_clicks_apart(x2, y2);
  std::string gap = std::to_string(gap_ms / 1000) + "." + std::to_string(1000 + gap_ms % 1000).substr(1);
  return send_input({move_event(x1, y1) + " click 1 sleep " + gap + " " + move_event(x2, y2) + " click 1"}, false,
                    false);
}
bool WINDOW_SCENARIO::two_clicks_leaving_now(int x, int y, int gap_ms) {
  keep_clicks_apart(x, y);
  // Out beside the client area, on whichever side the screen has room for it.
  int out_x = client_x + client_width + 40 < screen_width ? client_x + client_width + 40 : client_x - 40;
  std::string half = std::to_string(gap_ms / 2000) + "." + std::to_string(1000 + gap_ms / 2 % 1000).substr(1);
  return send_input({move_event(x, y) + " click 1 sleep " + half + " mousemove " + std::to_string(out_x) + " " +
                     std::to_string(client_y + y) + " sleep " + half + " " + move_event(x, y) + " click 1"},
                    false, false);
}
bool WINDOW_SCENARIO::press_leaving_now(int x, int y) {
  keep_clicks_apart(x, y);
  int out_x = client_x + client_width + 40 < screen_width ? client_x + client_width + 40 : client_x - 40;
  return send_input({move_event(x, y) + " mousedown 1 sleep 0.05 mousemove " + std::to_string(out_x) + " " +
                     std::to_string(client_y + y) + " sleep 0.05 " + move_event(x, y) + " sleep 0.05 mouseup 1"},
                    false, false);
}
bool WINDOW_SCENARIO::key_now(const std::string& keys) {
  return send_input({"key --delay 0 " + shell_quote(keys)}, true, false);
}
bool WINDOW_SCENARIO::press(int button) { return send_input({"mousedown " + std::to_string(button)}); }
bool WINDOW_SCENARIO::release(int button) { return send_input({"mouseup " + std::to_string(button)}); }
bool WINDOW_SCENARIO::click(int x, int y, int button) {
  // As a person clicks: the press and the release at once, which the program sees in two passes.
  keep_clicks_apart(x, y);
  return send_input({move_event(x, y), "click " + std::to_string(button)});
}
bool WINDOW_SCENARIO::double_click(int x, int y) {
  keep_clicks_apart(x, y);
  return send_input({move_event(x, y), "click --repeat 2 --delay 50 1"});
}
// The pointer goes down, moves half-way and on to the end, then comes up.
static std::vector<std::string> drag_events(const std::string& from, const std::string& half_way, const std::string& to,
                                            int button) {
  std::string b = std::to_string(button);
  return {from, "mousedown " + b, half_way, to, "mouseup " + b};
}
bool WINDOW_SCENARIO::drag(int from_x, int from_y, int to_x, int to_y, int button) {
  return send_input(drag_events(move_event(from_x, from_y), move_event((from_x + to_x) / 2, (from_y + to_y) / 2),
                                move_event(to_x, to_y), button));
}
// One xdotool run chains the events, so that they reach the display within a moment.
bool WINDOW_SCENARIO::drag_now(int from_x, int from_y, int to_x, int to_y, int button) {
  std::string chained;
  for (const std::string& event : drag_events(move_event(from_x, from_y),
                                              move_event((from_x + to_x) / 2, (from_y + to_y) / 2),
                                              move_event(to_x, to_y), button))
    chained += (chained.empty() ? "" : " ") + event;
  return send_input({chained}, false, false);
}
bool WINDOW_SCENARIO::wheel(int notches) {
  std::vector<std::string> events(notches > 0 ? notches : -notches, notches > 0 ? "click 4" : "click 5");
  return send_input(events);
}

// A person holds the modifiers around the key, and the key itself for its own passes: a program that
// reads whether a key is held (Enter on a button, Escape on a menu) sees it down.
bool WINDOW_SCENARIO::key(const std::string& keys) {
  std::string modifiers, last = keys;
  for (size_t plus; (plus = last.find('+')) != std::string::npos && plus + 1 < last.size(); last = last.substr(plus + 1))
    modifiers += (modifiers.empty() ? "" : "+") + last.substr(0, plus);
  std::vector<std::string> events;
  if (!modifiers.empty()) events.push_back("keydown " + shell_quote(modifiers));
  events.push_back("keydown " + shell_quote(last));
  events.push_back("keyup " + shell_quote(last));
  if (!modifiers.empty()) events.push_back("keyup " + shell_quote(modifiers));
  return send_input(events, true);
}

bool WINDOW_SCENARIO::keyboard_layout(const std::string& layout) {
  std::string answer;
  bool set = run_shell("layout", "setxkbmap " + shell_quote(layout) + " && echo ok", &answer) &&
             answer.find("ok") != std::string::npos;
  if (!set) ADD_FAILURE() << "the keyboard layout " << layout << " was not set: " << answer;
  return set;
}

// One character at a time (a UTF-8 sequence stays whole), shifted ones included.
bool WINDOW_SCENARIO::type(const std::string& text) {
  std::vector<std::string> events;
  for (size_t at = 0; at < text.size();) {
    size_t end = at + 1;
    while (end < text.size() && ((unsigned char)text[end] & 0xC0) == 0x80) end++;
    events.push_back("type -- " + shell_quote(text.substr(at, end - at)));
    at = end;
  }
  return send_input(events, true);
}

bool WINDOW_SCENARIO::close_window() {
  int x = 0, y = 0;
  if (!close_button(&x, &y)) {
    ADD_FAILURE() << "the close button of \"" << window_title << "\" was not found";
    return false;
  }
  return send_input({move_event(x - client_x, y - client_y), "mousedown 1", "mouseup 1"}, false, false);
}

bool WINDOW_SCENARIO::capture(WINDOW_CAPTURE* image, const std::string& png_path) {
  std::string crop = std::to_string(client_width) + "x" + std::to_string(client_height) + "+" +
                     std::to_string(client_x) + "+" + std::to_string(client_y);
  std::string body = "xwd -root -silent | /usr/bin/convert xwd:- -crop " + crop +
                     " +repage -depth 8 ppm:\"$OUT.ppm\" || exit\n";
  if (!png_path.empty()) body += "/usr/bin/convert \"$OUT.ppm\" png:" + shell_quote(unix_path(png_path)) + " || exit\n";
  // xwd may meet an X error when windows change at that moment (seen under Wine as a window reopens):
  // it is tried again.
  std::string answer;
  for (int attempt = 0; attempt < 3; attempt++) {
    if (attempt) pause_ms(STILL_GAP_MS);
    answer.clear();
    if (run_shell("capture", body + "echo ok", &answer) && answer.find("ok") != std::string::npos) break;
  }
  if (answer.find("ok") == std::string::npos) {
    ADD_FAILURE() << "the window was not captured: " << answer;
    return false;
  }
  if (!read_ppm(read_whole_file(scratch_folder + "capture.out.ppm"), image)) {
    ADD_FAILURE() << "the capture is not a readable image";
    return false;
  }
  return true;
}

static std::string colour_text(INT_U32 colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", (unsigned)colour);
  return text;
}

bool WINDOW_SCENARIO::wait_for_pixel(int x, int y, INT_U32 colour, WINDOW_CAPTURE* image) {
  WINDOW_CAPTURE seen;
  for (STEP_DEADLINE deadline; !deadline.passed();) {
    if (!capture(&seen)) return false;
    if (seen.at(x, y) == colour) {
      if (image) *image = seen;
      return true;
    }
    pause_ms(POLL_MS);
  }
  ADD_FAILURE() << "the pixel at (" << x << ", " << y << ") of \"" << window_title << "\" stayed "
                << colour_text(seen.at(x, y)) << ", not " << colour_text(colour) << " ("
                << program_state(program_running(), exit_status) << "); the last capture is " << scratch_folder
                << "capture.out.ppm";
  return false;
}

bool WINDOW_SCENARIO::wait_until_still(WINDOW_CAPTURE* image) {
  // The window is looked up before each capture: as it opens it may still take another size or place
  // (a message that needs more room), and a capture of the place it had would stand still beside it.
  auto look_again = [this]() {
    int x, y, w, h;
    if (!window_title.empty() && find_window(window_title, &x, &y, &w, &h))
      client_x = x, client_y = y, client_width = w, client_height = h;
  };
  WINDOW_CAPTURE last, now;
  look_again();
  if (!capture(&last)) return false;
  size_t changed = 0;
  for (STEP_DEADLINE deadline; !deadline.passed();) {
    pause_ms(STILL_GAP_MS);
    look_again();
    if (!capture(&now)) return false;
    if (now.width == last.width && now.height == last.height && now.pixels == last.pixels) {
      if (image) *image = now;
      return true;
    }
    changed = 0;
    for (size_t i = 0; i < now.pixels.size() && i < last.pixels.size(); i++) changed += now.pixels[i] != last.pixels[i];
    last = now;
  }
  ADD_FAILURE() << "\"" << window_title << "\" never stood still: " << changed
                << " pixels changed between the last two captures ("
                << program_state(program_running(), exit_status) << ")";
  return false;
}

int WINDOW_SCENARIO::wait_for_exit() {
  for (STEP_DEADLINE deadline; !deadline.passed() && program_running();) pause_ms(POLL_MS);
  if (program_running()) {
    stop_program();
    ADD_FAILURE() << "the program did not end and was killed; it printed:\n" << output() << errors();
    return -1;
  }
  if (exit_status < 0) {
    ADD_FAILURE() << "the program ended by a signal, or its end was not reported; it printed:\n" << output() << errors();
    return -1;
  }
  // A crash may end a program with status 0 under Wine; its report on standard error tells.
  if (errors().find("Unhandled") != std::string::npos) {
    ADD_FAILURE() << "the program crashed:\n" << errors();
    return -1;
  }
  return exit_status;
}

// The program reads the hold file after each pass; it is written whole, so that a pass never reads
// half of it.
bool WINDOW_SCENARIO::hold_once_lines(const std::string& file, size_t lines) {
  std::string hold = scratch_folder + "program.hold", text = std::to_string(lines) + " " + file + "\n";
  std::remove((hold + ".held").c_str());
  std::remove(hold.c_str());  // a rename replaces nothing on Windows
  return write_whole_file(hold + ".part", std::vector<INT_U8>(text.begin(), text.end())) &&
         std::rename((hold + ".part").c_str(), hold.c_str()) == 0;
}

bool WINDOW_SCENARIO::wait_until_held(size_t* lines) {
  std::string held = scratch_folder + "program.hold.held";
  for (STEP_DEADLINE deadline; !deadline.passed() && !std::filesystem::exists(held) && program_running();)
    pause_ms(5);
  if (std::filesystem::exists(held)) {
    *lines = (size_t)std::strtoul(read_whole_text(held).c_str(), nullptr, 10);
    return true;
  }
  ADD_FAILURE() << "the program did not hold (" << program_state(program_running(), exit_status)
                << "); it printed:\n" << output() << errors();
  return false;
}

bool WINDOW_SCENARIO::resume_program() {
  if (!program_running()) return false;
  std::remove((scratch_folder + "program.hold.held").c_str());
  if (!paused) return true;
  paused = false;
  return signal_resume();
}

#ifndef _WIN32
// ---- Linux: the program is a child process; its window is found through the X tools. ----

std::string WINDOW_SCENARIO::unix_path(const std::string& path) const { return path; }

bool WINDOW_SCENARIO::start(const std::string& program, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
  std::string out = scratch_folder + "program.out", err = scratch_folder + "program.err";
  std::string passes = scratch_folder + "program.passes";
  std::remove(passes.c_str());
  for (const char* hold : {"program.hold", "program.hold.held"}) std::remove((scratch_folder + hold).c_str());
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv(HEADLESS_VARIABLE);  // the test's own main windows have none; the program's is on the display
    setenv(PASS_COUNT_VARIABLE, passes.c_str(), 1);
    setenv(HOLD_VARIABLE, (scratch_folder + "program.hold").c_str(), 1);
    for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
    int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null_fd = open("/dev/null", O_RDONLY);
    if (out_fd < 0 || err_fd < 0 || null_fd < 0) _exit(127);
    dup2(null_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  process_id = child;
  exited = false;
  return true;
}

bool WINDOW_SCENARIO::program_running() {
  if (process_id < 0 || exited) return false;
  int status = 0;
  if (waitpid(process_id, &status, WNOHANG) != process_id) return true;
  exited = true;
  exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

// The program's process is gone or a zombie (state Z in /proc/PID/stat) once it has ended.
std::string WINDOW_SCENARIO::program_ended_shell() const {
  return "ended() { s=; { read s </proc/" + std::to_string(process_id) +
         "/stat; } 2>/dev/null; case \"$s\" in \"\"|*\") Z \"*) return 0;; esac; return 1; }\n";
}

void WINDOW_SCENARIO::stop_program() {
  if (!program_running()) return;
  kill(process_id, SIGKILL);
  waitpid(process_id, nullptr, 0);
  exited = true;
  exit_status = -1;
}

bool WINDOW_SCENARIO::pause_program() { return program_running() && (paused = kill(process_id, SIGSTOP) == 0); }
bool WINDOW_SCENARIO::signal_resume() { return kill(process_id, SIGCONT) == 0; }

// The window by its title (viewable), and its client area on the screen.
bool WINDOW_SCENARIO::find_window(const std::string& title, int* x, int* y, int* width, int* height) {
  std::string answer;
  std::string body = "id=$(xdotool search --onlyvisible --name " + shell_quote(title_pattern(title)) +
                     " | head -n 1)\n[ -n \"$id\" ] || exit\n"
                     "xwininfo -id $id | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} "
                     "/Width:/ {w=$2} /Height:/ {h=$2} END {print \"window\", x, y, w, h}'";
  if (!run_shell("find", body, &answer)) return false;
  return std::sscanf(answer.c_str(), "window %d %d %d %d", x, y, width, height) == 4;
}

std::string WINDOW_SCENARIO::windows_seen() {
  std::string answer;
  run_shell("seen",
            "for id in $(xdotool search --onlyvisible --name .); do\n"
            "  xwininfo -id $id | awk '/Window id:/ {$1 = $2 = $3 = \"\"; n = $0} /Width:/ {w = $2} /Height:/ {h = $2} "
            "END {print w \" x \" h n}'\n"
            "done",
            &answer);
  return answer.empty() ? "none\n" : answer;
}

// twm's close button: the right-most child of the title bar, the frame's child beside the window.
bool WINDOW_SCENARIO::close_button(int* x, int* y) {
  std::string body =
      "id=$(xdotool search --onlyvisible --name " + shell_quote(title_pattern(window_title)) +
      " | head -n 1)\n[ -n \"$id\" ] || exit\n"
      "client=$(printf '0x%x' $id)\n"
      "frame=$(xwininfo -children -id $id | sed -n 's/.*Parent window id: \\(0x[0-9a-f]*\\).*/\\1/p')\n"
      "for bar in $(xwininfo -children -id $frame | awk '$1 ~ /^0x/ {print $1}'); do\n"
      "  [ \"$bar\" = \"$client\" ] && continue\n"
      "  xwininfo -children -id $bar | awk '$1 ~ /^0x/ { split($(NF-1), g, /[x+]/); split($NF, a, /\\+/);"
      " if (a[2] + 0 >= best) { best = a[2] + 0; print \"button\", a[2] + int(g[1] / 2), a[3] + int(g[2] / 2) } }' "
      "| tail -n 1\n"
      "done";
  std::string answer;
  if (!run_shell("close", body, &answer)) return false;
  size_t at = answer.rfind("button ");
  return at != std::string::npos && std::sscanf(answer.c_str() + at, "button %d %d", x, y) == 2;
}

#else
// ---- Windows under Wine: the program runs on a Wine desktop of its own, a virtual desktop as large as
// the private display's screen, under a Wine server of its own, so that its windows, keyboard focus,
// foreground, clipboard and display settings are its alone. This process sees none of its windows: the
// launcher beside the program reports them. ----

std::string WINDOW_SCENARIO::unix_path(const std::string& path) const {
  typedef char*(CDECL * TO_UNIX)(LPCWSTR);
  TO_UNIX to_unix = (TO_UNIX)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  if (!to_unix) return std::string();
  WCHAR wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
  char* name = to_unix(wide);
  if (!name) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Windows processes take the X display from the Unix environment they start with, which a Windows
// process cannot give its children: the program is started from the shell, in the scenario's prefix,
// as Wine's explorer drawing a desktop of its own (as large as the screen) and running the scenario
// launcher on it, which starts the program, writes its process id, reports its windows and, at its end,
// writes its exit status.
bool WINDOW_SCENARIO::start(const std::string& program, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
  static int serial = 0;
  program_name = program.substr(program.find_last_of("/\\") + 1);
  desktop = "velk-scenario-" + std::to_string(serial++) + "," + std::to_string(screen_width) + "x" +
            std::to_string(screen_height);
  std::string passes = scratch_folder + "program.passes";
  std::remove(passes.c_str());
  for (const char* hold : {"program.hold", "program.hold.held"}) std::remove((scratch_folder + hold).c_str());
  std::string body = "export WINEPREFIX=" + shell_quote(wine_prefix) + "\n";
  body += "export " + shell_quote(std::string(PASS_COUNT_VARIABLE) + "=" + passes) + "\n";
  body += "export " + shell_quote(std::string(HOLD_VARIABLE) + "=" + scratch_folder + "program.hold") + "\n";
  for (const std::string& entry : environment) body += "export " + shell_quote(entry) + "\n";
  body += "wine explorer /desktop=" + desktop + " " + shell_quote(built_program("scenario_launcher")) + " " +
          shell_quote(scratch_folder + "program.status") + " " + shell_quote(scratch_folder + "program.out") + " " +
          shell_quote(scratch_folder + "program.err") + " " + shell_quote(program);
  for (const std::string& argument : arguments) body += " " + shell_quote(argument);
  body += " >/dev/null 2>&1 </dev/null &\necho ok";
  std::string answer, pid_file = scratch_folder + "program.status.pid";
  if (!run_shell("start", body, &answer) || answer.find("ok") == std::string::npos) {
    ADD_FAILURE() << "the program could not be started: " << answer;
    return false;
  }
  exited = false;
  for (STEP_DEADLINE deadline; !deadline.passed() && !std::filesystem::exists(pid_file);) {
    if (!program_running()) break;  // the launcher could not start it
    pause_ms(POLL_MS);
  }
  if (std::filesystem::exists(pid_file)) return true;
  ADD_FAILURE() << "the program did not start on its Wine desktop: "
                << (exited ? read_whole_text(scratch_folder + "program.status") : "no launcher reported in time");
  return false;
}

bool WINDOW_SCENARIO::program_running() {
  if (exited) return false;
  std::string status = read_whole_text(scratch_folder + "program.status");
  if (status.empty()) return true;  // the launcher writes it once the program has ended
  exited = true;
  exit_status = status.compare(0, 5, "exit ") == 0 ? (int)std::strtol(status.c_str() + 5, nullptr, 10) : -1;
  return false;
}

// The launcher writes the status file once the program has ended.
std::string WINDOW_SCENARIO::program_ended_shell() const {
  return "ended() { [ -s " + shell_quote(unix_path(scratch_folder + "program.status")) + " ]; }\n";
}

// Everything of the scenario's Wine server ends: the program, its launcher and the desktop.
void WINDOW_SCENARIO::stop_program() {
  if (wine_prefix.empty() || !program_running()) return;
  std::string answer;
  run_shell("kill", "WINEPREFIX=" + shell_quote(wine_prefix) + " wineserver -k; echo ok", &answer);
  exited = true;
  exit_status = -1;
}

// The program is the Unix process of the scenario's prefix whose command line begins with its file.
// Only the processes whose command line names the file at all are looked at more closely: a loaded
// machine runs hundreds, and a look at each takes long enough for the program to finish the work it
// was to be stopped in.
bool WINDOW_SCENARIO::signal_program(const char* signal) {
  std::string answer;
  run_shell("signal",
            "for p in $(grep -lsaF " + shell_quote(program_name) + " /proc/[0-9]*/cmdline | sed 's,/cmdline$,,'); do\n"
            "  tr '\\0' '\\n' <\"$p/environ\" 2>/dev/null | grep -qxF " + shell_quote("WINEPREFIX=" + wine_prefix) +
                " || continue\n"
            "  first=$(tr '\\0' '\\n' <\"$p/cmdline\" 2>/dev/null | head -n 1)\n"
            "  case \"$first\" in *[/\\\\]" + shell_quote(program_name) + "|" + shell_quote(program_name) +
                ") kill -" + signal + " ${p#/proc/} && echo ok;; esac\n"
            "done",
            &answer);
  return answer.find("ok") != std::string::npos;
}

bool WINDOW_SCENARIO::pause_program() { return program_running() && (paused = signal_program("STOP")); }
bool WINDOW_SCENARIO::signal_resume() { return signal_program("CONT"); }

// A line of the launcher's report: "window X Y WIDTH HEIGHT CLOSE_X CLOSE_Y TITLE".
struct REPORTED_WINDOW {
  int x, y, width, height, close_x, close_y;
};

static bool reported_window(const std::string& report, const std::string& title, REPORTED_WINDOW* window) {
  size_t at = 0;
  while (at < report.size()) {
    size_t end = report.find('\n', at);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(at, end - at);
    at = end + 1;
    int used = 0;
    if (std::sscanf(line.c_str(), "window %d %d %d %d %d %d %n", &window->x, &window->y, &window->width,
                    &window->height, &window->close_x, &window->close_y, &used) == 6 &&
        used && line.substr(used) == title)
      return true;
  }
  return false;
}

bool WINDOW_SCENARIO::find_window(const std::string& title, int* x, int* y, int* width, int* height) {
  REPORTED_WINDOW window;
  if (!reported_window(read_whole_text(scratch_folder + "program.status.windows"), title, &window)) return false;
  *x = window.x;
  *y = window.y;
  *width = window.width;
  *height = window.height;
  return true;
}

std::string WINDOW_SCENARIO::windows_seen() {
  std::string report = read_whole_text(scratch_folder + "program.status.windows");
  return report.empty() ? "none\n" : report;
}

// "reg query" answers with a line "    NAME    TYPE    VALUE" for the value.
std::string WINDOW_SCENARIO::registry_value(const std::string& key, const std::string& name) {
  std::string answer;
  if (!run_shell("registry",
                 "WINEPREFIX=" + shell_quote(wine_prefix) + " wine reg query " + shell_quote(key) + " /v " +
                     shell_quote(name) + (sizeof(void*) == 8 ? " /reg:64" : " /reg:32") + " 2>/dev/null",
                 &answer))
    return "";
  std::string start = "    " + name + "    REG_";
  size_t at = answer.find(start);
  if (at == std::string::npos) return "";
  size_t value = answer.find("    ", at + start.size());
  size_t end = answer.find_first_of("\r\n", at);
  if (value == std::string::npos || value > end) return "";
  return answer.substr(value + 4, end - value - 4);
}

bool WINDOW_SCENARIO::set_registry_number(const std::string& key, const std::string& name, unsigned long value) {
  std::string answer;
  return run_shell("registry-set",
                   "WINEPREFIX=" + shell_quote(wine_prefix) + " wine reg add " + shell_quote(key) + " /v " +
                       shell_quote(name) + " /t REG_DWORD /d " + std::to_string(value) +
                       " /f >/dev/null 2>&1 </dev/null && echo ok",
                   &answer) &&
         answer.find("ok") != std::string::npos;
}

// Windows of another desktop are out of wineboot's reach: it runs on the program's, started by explorer,
// which leaves it running in the background.
bool WINDOW_SCENARIO::end_session() {
  std::string answer;
  return run_shell("end-session",
                   "WINEPREFIX=" + shell_quote(wine_prefix) + " wine explorer /desktop=" + desktop +
                       " wineboot --end-session >/dev/null 2>&1 </dev/null &\necho ok",
                   &answer) &&
         answer.find("ok") != std::string::npos;
}

bool WINDOW_SCENARIO::close_button(int* x, int* y) {
  REPORTED_WINDOW window;
  if (!reported_window(read_whole_text(scratch_folder + "program.status.windows"), window_title, &window))
    return false;
  *x = window.close_x;
  *y = window.close_y;
  return true;
}

#endif
