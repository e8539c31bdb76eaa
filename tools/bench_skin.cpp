// Benchmark of "installer -s" (not a test): a skin folder of 17 style files of about 1.3 MB each (a long
// block of designers' notes, then the style's own keys) is written as a skin file by the installer, and
// the same 17 files are read once, entry by entry, through the settings-file reader; in paired runs (one
// of each right after each other, the order alternating, after one untimed pair that warms the cache).
// Every skin file written must hold the same bytes. Prints the median ratio of the pairs with its minimum
// and maximum (target 3: "-s" reads each file once, so its time follows the folder's size).
// Usage: bench_skin [work folder] [pairs, 5] [file size in KB, 1300]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "config_file.h"
#include "folder.h"
#include "style_set.h"

namespace fs = std::filesystem;
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::shell_quoted;

namespace {

// The 17 style files of a skin folder.
const char* const STYLE_FILES[] = {
    "button/button.ss",         "button/button_hints.ss",     "button/menu_button.ss",
    "menu/menu_dropdown.ss",    "menu/menu_item.ss",          "menu/menu_alt_item.ss",
    "check_box/check_box.ss",   "progress_bar/progress_bar.ss", "progress_bar/progress_bar_script.ss",
    "dialog/background.ss",     "dialog/text.ss",             "dialog/title.ss",
    "options/options.ss",       "text_win/scrollbar.ss",      "text_win/text_title.ss",
    "text_win/text.ss",         "title/title.ss"};

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The keys of a style as the style writer puts them, made once in a folder of their own.
bool style_keys(const fs::path& work, std::string* text) {
  fs::path folder_path = work / "keys";
  fs::create_directories(folder_path);
  FOLDER folder;
  if (!folder.set_if_folder(folder_path.string().c_str())) return false;
  WM_STYLE_SET style;
  style.set_name("bench");
  style.set_image_filename("bench_frame");
  style.shading_type = 3;
  style.flags = ssf_wrap_text;
  CONFIG_FILE file;
  file.init("keys.ss", false);
  if (!style.write_text(&file, nullptr, nullptr, &folder)) return false;
  FILE* stream = std::fopen((folder_path / "keys.ss").string().c_str(), "rb");
  if (!stream) return false;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text->append(buffer, got);
  std::fclose(stream);
  return !text->empty();
}

// Notes of comment lines and entries the style reader does not know, to size bytes, then the keys.
std::string style_file(size_t size, const std::string& keys, int index) {
  std::string text = "# Style notes of the bench skin, file " + std::to_string(index) + "\n";
  for (int n = 0; text.size() + keys.size() < size; n++) {
    char line[160];
    if (n % 4 == 3)
      std::snprintf(line, sizeof line, "# note %d: spacing and colours follow the house palette, revision %d\n", n,
                    n * 7 % 101);
    else
      std::snprintf(line, sizeof line, "designer_note_%06d\n\tchecked against the reference pictures, round %d\n", n,
                    n % 13);
    text += line;
  }
  return text + keys;
}

// Reads every entry of every style file once, as one reading of the folder's bytes does.
bool read_once(const fs::path& skin, size_t* entries) {
  *entries = 0;
  for (const char* name : STYLE_FILES) {
    fs::path path = skin / name;
    FOLDER folder;
    if (!folder.set_if_folder(path.parent_path().string().c_str())) return false;
    CONFIG_FILE file;
    file.init(path.filename().string().c_str(), false);
    file.read_all(&folder, [](const char*, const char*, void* user) -> INT_S32 {
      ++*static_cast<size_t*>(user);
      return 0;
    }, entries);
  }
  return *entries > 0;
}

std::vector<char> file_bytes(const fs::path& path) {
  std::vector<char> bytes;
  FILE* stream = std::fopen(path.string().c_str(), "rb");
  if (!stream) return bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(stream);
  return bytes;
}

// FNV-1a of the bytes, to compare the skin files of two builds (written from the same work folder: the
// style files' image folder, and so the skin file, names it).
unsigned long long fingerprint(const std::vector<char>& bytes) {
  unsigned long long hash = 14695981039346656037ull;
  for (char byte : bytes) hash = (hash ^ (unsigned char)byte) * 1099511628211ull;
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path work = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velk-bench-skin");
  int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  long kilobytes = argc > 3 ? std::atol(argv[3]) : 1300;
  std::string installer = bench_support::installer_beside(argv[0], "bench_skin");
  if (installer.empty()) return 2;
  if (pairs < 1 || kilobytes < 1) {
    std::fprintf(stderr, "usage: bench_skin [work folder] [pairs] [file size in KB]\n");
    return 2;
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::path home = work / "home";
  fs::path skin = home / "data" / "installer" / "qon";
  fs::create_directories(work / "out");

  std::string keys;
  if (!style_keys(work, &keys)) {
    std::fprintf(stderr, "bench_skin: cannot write the style keys\n");
    return 1;
  }
  size_t folder_bytes = 0;
  int index = 0;
  for (const char* name : STYLE_FILES) {
    std::string text = style_file((size_t)kilobytes * 1000, keys, index++);
    fs::create_directories((skin / name).parent_path());
    if (!bench_support::write_file(skin / name, std::vector<char>(text.begin(), text.end()))) return 1;
    folder_bytes += text.size();
  }
  std::printf("%zu style files, %.1f MB in all, %d timed pairs after one warm-up pair; work folder %s\n",
              sizeof STYLE_FILES / sizeof STYLE_FILES[0], folder_bytes / 1e6, pairs, work.string().c_str());
  std::fflush(stdout);

  std::string command = "env -u DISPLAY VELK_UNATTENDED=1 HOME=" + shell_quoted(home) +
                        " XDG_DATA_HOME=" + shell_quoted(home / "data") + " XDG_CONFIG_HOME=" +
                        shell_quoted(home / "config") + " TMPDIR=" + shell_quoted(work) + " " +
                        shell_quoted(installer) + " -s '$ROOT0" + (work / "out" / "bench.skin").string() +
                        "' >/dev/null 2>&1";
  PAIRED_TIMES times;
  std::vector<char> first_skin;
  size_t entries = 0;
  for (int pair = 0; pair <= pairs; ++pair) {
    double skin_seconds = 0, read_seconds = 0;
    bool ok = true;
    for (int half = 0; half < 2 && ok; ++half) {
      auto start = std::chrono::steady_clock::now();
      if ((half == 0) == (pair % 2 == 0)) {
        ok = run(command);
        skin_seconds = seconds_since(start);
      } else {
        ok = read_once(skin, &entries);
        read_seconds = seconds_since(start);
      }
    }
    std::vector<char> written = file_bytes(work / "out" / "bench.skin");
    if (!ok || written.empty()) {
      std::fprintf(stderr, "bench_skin: a run failed:\n  %s\n", command.c_str());
      return 1;
    }
    if (pair == 0) first_skin = written;
    if (written != first_skin) {
      std::fprintf(stderr, "bench_skin: the skin file of pair %d differs from the first\n", pair);
      return 1;
    }
    if (pair > 0) times.add(skin_seconds, read_seconds);
  }
  double ratio = times.median_ratio();
  std::printf("installer -s %.3f s, one reading of the files' %zu entries %.3f s (medians); skin file %zu bytes, "
              "fingerprint %016llx\n",
              times.median_ours(), entries, times.median_baseline(), first_skin.size(), fingerprint(first_skin));
  std::printf("ratio %s; target 3.0 %s\n", times.spread().c_str(), ratio <= 3.0 ? "met" : "NOT met");
  fs::remove_all(work, ignored);
  return 0;
}
