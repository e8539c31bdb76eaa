// Shared test helpers: memory device, scratch folders, outside tools.
#include "test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ctime>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

void MEMORY_DEVICE::seek(INT_S32 offset, bool from_end) {
  INT_S64 target = from_end ? static_cast<INT_S64>(bytes.size()) + offset : offset;
  if (target < 0) target = 0;
  position = static_cast<INT_U32>(target);
}

INT_S32 MEMORY_DEVICE::read(void* buffer, INT_S32 count) {
  if (count <= 0 || position >= bytes.size()) return 0;
  INT_U32 available = static_cast<INT_U32>(bytes.size()) - position;
  INT_U32 taken = static_cast<INT_U32>(count) < available ? static_cast<INT_U32>(count) : available;
  std::memcpy(buffer, bytes.data() + position, taken);
  position += taken;
  return static_cast<INT_S32>(taken);
}

INT_S32 MEMORY_DEVICE::write(const void* buffer, INT_S32 count) {
  if (count <= 0) return 0;
  if (position + static_cast<INT_U32>(count) > bytes.size()) bytes.resize(position + count);
  std::memcpy(bytes.data() + position, buffer, count);
  position += count;
  return count;
}

std::string make_scratch_folder(const std::string& name) {
  namespace fs = std::filesystem;
  static std::atomic<int> serial{0};
  const char* base = std::getenv("VELK_TEST_SCRATCH");
  fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path() / "velk-tests";
  std::string leaf = name + "-" + std::to_string(static_cast<long>(std::time(nullptr) % 100000)) + "-" +
                     std::to_string(serial++);
#ifdef _WIN32
  leaf += "-" + std::to_string(static_cast<unsigned long>(_getpid()));
#else
  leaf += "-" + std::to_string(static_cast<unsigned long>(getpid()));
#endif
  fs::path folder = root / leaf;
#ifdef _WIN32
  // Under Wine a Unix scratch path has no drive letter: make it absolute so that it carries one.
  folder = fs::absolute(folder);
#endif
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder, ignored);
  std::string text = folder.string();
#ifdef _WIN32
  for (char& c : text)
    if (c == '/') c = '\\';
  text += '\\';
#else
  text += '/';
#endif
  return text;
}

FOLDER scratch_folder(const std::string& name, std::string* path) {
  std::string text = make_scratch_folder(name);
  char separator = text.back();
  text.pop_back();
#ifdef _WIN32
  // Under Wine the scratch folder may be named without its drive.
  char full[4096];
  if (_fullpath(full, text.c_str(), sizeof full)) text = full;
#endif
  FOLDER folder;
  std::strcpy(folder.path, text.c_str());
  if (path) *path = text + separator;
  return folder;
}

void set_environment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv((std::string(name) + "=" + value).c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::vector<INT_U8> pseudo_random_bytes(size_t count, INT_U32 seed) {
  std::vector<INT_U8> bytes(count);
  for (size_t index = 0; index < count; ++index) {
    seed = seed * 1664525u + 1013904223u;
    bytes[index] = static_cast<INT_U8>(seed >> 24);
  }
  return bytes;
}

std::string system_font_folder() {
#ifdef _WIN32
  return "Z:\\usr\\share\\fonts\\truetype\\dejavu";
#else
  return "/usr/share/fonts/truetype/dejavu";
#endif
}

std::vector<INT_U8> read_whole_file(const std::string& path) {
  std::vector<INT_U8> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  INT_U8 chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

std::string read_whole_text(const std::string& path) {
  std::vector<INT_U8> bytes = read_whole_file(path);
  return std::string(bytes.begin(), bytes.end());
}

bool write_whole_file(const std::string& path, const std::vector<INT_U8>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

int run_command(const std::string& command) {
#ifdef _WIN32
  (void)command;
  return -1;
#else
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

bool tool_available(const std::string& tool) {
#ifdef _WIN32
  (void)tool;
  return false;
#else
  return run_command("command -v " + tool + " >/dev/null 2>&1") == 0;
#endif
}
