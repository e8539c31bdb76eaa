// Shared pieces of the benchmark tools (not tests): a stopwatch, bytes that neither deflate nor the
// disk can shortcut, writing a host file whole, comparing installed files with their sources, the
// statistics of paired runs (median ratio with its spread), and the installation sets of the
// installer's benchmarks.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "package_builder.h"

namespace bench_support {

inline double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A cheap generator, fresh per seed.
inline void fill(std::vector<char>& bytes, unsigned seed) {
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
}

inline bool write_file(const std::filesystem::path& path, const std::vector<char>& bytes) {
  FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// Same size and the same bytes.
inline bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code code_a, code_b;
  if (std::filesystem::file_size(a, code_a) != std::filesystem::file_size(b, code_b) || code_a || code_b) return false;
  FILE* first = std::fopen(a.string().c_str(), "rb");
  FILE* second = std::fopen(b.string().c_str(), "rb");
  bool same = first && second;
  std::vector<char> x(1 << 16), y(1 << 16);
  while (same) {
    size_t got_x = std::fread(x.data(), 1, x.size(), first);
    size_t got_y = std::fread(y.data(), 1, y.size(), second);
    same = got_x == got_y && std::memcmp(x.data(), y.data(), got_x) == 0;
    if (got_x == 0) break;
  }
  if (first) std::fclose(first);
  if (second) std::fclose(second);
  return same;
}

// Every file (relative paths) of the source folder is in the copy with its size and content; the first
// that is not is named in wrong.
inline bool same_files(const std::filesystem::path& source, const std::filesystem::path& copy,
                       const std::vector<std::string>& files, std::string* wrong) {
  for (const std::string& file : files)
    if (!same_file(source / file, copy / file)) {
      *wrong = (copy / file).string();
      return false;
    }
  return true;
}

inline double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The times of paired runs: in each pair the library's side and its baseline ran right after each
// other, so that both met the same state of the machine. Ratios are taken pair by pair.
struct PAIRED_TIMES {
  std::vector<double> ours;
  std::vector<double> baseline;

  void add(double our_seconds, double baseline_seconds) {
    ours.push_back(our_seconds);
    baseline.push_back(baseline_seconds > 0 ? baseline_seconds : 1e-9);
  }
  std::vector<double> ratios() const {
    std::vector<double> out;
    for (size_t index = 0; index < ours.size(); ++index) out.push_back(ours[index] / baseline[index]);
    return out;
  }
  double median_ratio() const { return median(ratios()); }
  double min_ratio() const {
    std::vector<double> all = ratios();
    return all.empty() ? 0 : *std::min_element(all.begin(), all.end());
  }
  double max_ratio() const {
    std::vector<double> all = ratios();
    return all.empty() ? 0 : *std::max_element(all.begin(), all.end());
  }
  double median_ours() const { return median(ours); }
  double median_baseline() const { return median(baseline); }
  // "1.12 (min 1.05, max 1.30, 5 pairs)"
  std::string spread() const {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f (min %.2f, max %.2f, %zu pairs)", median_ratio(), min_ratio(), max_ratio(),
                  ours.size());
    return text;
  }
};

inline std::string shell_quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// The installer program beside the benchmark's own (argv0); empty, and said under the tool's name, when
// there is none.
inline std::string installer_beside(const char* argv0, const char* tool) {
  std::filesystem::path installer = std::filesystem::absolute(std::filesystem::path(argv0)).parent_path() / "installer";
  if (std::filesystem::exists(installer)) return installer.string();
  std::fprintf(stderr, "%s: no installer beside this program (%s)\n", tool, installer.string().c_str());
  return std::string();
}

// An installation set of the installer's benchmarks under root: a file of min_size to max_size bytes at
// each of the relative paths in root/source/files, their paths in files, and the package of them in
// root/package (blocks of block_size bytes) that installs into root/installed; extra: more description
// lines; destination: the install location's path-variable text when the installer resolves root other
// than this program does (under Wine), else "$ROOT0" and root/installed.
inline bool write_installation_set(const std::filesystem::path& root, const std::vector<std::string>& paths,
                                   size_t min_size, size_t max_size, INT_S32 block_size,
                                   std::vector<std::string>* files, std::string* error, const std::string& extra = "",
                                   const std::string& destination = "") {
  namespace fs = std::filesystem;
  fs::path source = root / "source" / "files";
  fs::create_directories(source);
  std::vector<char> bytes;
  for (size_t i = 0; i < paths.size(); i++) {
    unsigned seed = (unsigned)i * 2654435761u + 1u;
    bytes.resize(min_size + (max_size > min_size ? (seed >> 8) % (max_size - min_size + 1) : 0));
    fill(bytes, seed);
    fs::create_directories((source / paths[i]).parent_path());
    if (!write_file(source / paths[i], bytes)) {
      *error = "cannot write " + (source / paths[i]).string();
      return false;
    }
    files->push_back(paths[i]);
  }
  std::string description = "installation = Benchmark\ndefault_path = " +
                            (destination.empty() ? "$ROOT0" + (root / "installed").string() : destination) + "\n" + extra;
  if (!write_file(root / "source" / "description.txt", std::vector<char>(description.begin(), description.end()))) {
    *error = "cannot write the description";
    return false;
  }
  fs::create_directories(root / "package");
  return package_builder::build_package((root / "source" / "description.txt").string(),
                                        (root / "package" / "installer.pkg").string(), error, block_size);
}

// The relative paths of count files in folders of 100 ("d<i / 100>/f<i>.bin").
inline std::vector<std::string> paths_in_hundreds(int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; i++) paths.push_back("d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin");
  return paths;
}

// write_installation_set of count files in folders of 100.
inline bool make_installation_set(const std::filesystem::path& root, int count, size_t min_size, size_t max_size,
                                  INT_S32 block_size, std::vector<std::string>* files, std::string* error,
                                  const std::string& extra = "", const std::string& destination = "") {
  return write_installation_set(root, paths_in_hundreds(count), min_size, max_size, block_size, files, error, extra,
                                destination);
}

// The relative paths of a tree like a package manager's folder of modules: count files in folders
// folders (the top one among them) nested up to depth levels, each folder's names taken from the same
// few ("package.json", "index.js", ...; ".npmignore" hidden), then numbered ones. Always the same tree.
inline std::vector<std::string> nested_tree_paths(int count, int folders, int depth) {
  unsigned seed = 12345;
  auto next = [&seed](unsigned range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % range;
  };
  struct NODE {
    std::string path;  // with a closing '/', empty for the top
    int depth;
    bool modules;      // a "node_modules" folder, whose folders are packages
    int children = 0, files = 0;
  };
  std::vector<NODE> nodes = {{"", 0, false}};
  static const char* const folder_names[] = {"node_modules", "lib", "src", "dist", "test"};
  while ((int)nodes.size() < folders) {
    size_t parent = next((unsigned)nodes.size());
    if (nodes[parent].depth >= depth) continue;
    NODE& at = nodes[parent];
    std::string name = at.modules ? "pkg-" + std::to_string(nodes.size())
                                   : std::string(folder_names[next(5)]) + (at.children ? "-" + std::to_string(at.children) : "");
    at.children++;
    nodes.push_back({at.path + name + "/", at.depth + 1, name == "node_modules"});
  }
  static const char* const file_names[] = {"package.json", "index.js", "README.md", "LICENSE",
                                           "index.d.ts",   ".npmignore", "CHANGELOG.md", "util.js"};
  std::vector<std::string> paths;
  for (int i = 0; i < count; i++) {
    // Every folder holds a file; the others go anywhere.
    NODE& node = nodes[i < folders ? i : next((unsigned)nodes.size())];
    paths.push_back(node.path + (node.files < 8 ? file_names[node.files] : "file" + std::to_string(node.files) + ".js"));
    node.files++;
  }
  return paths;
}

// The command that installs the set's package with "installer -a", in a home of the set's own and
// with its output discarded.
inline std::string automatic_install_command(const std::string& installer, const std::filesystem::path& root) {
  std::filesystem::path home = root / "home";
  return "HOME=" + shell_quoted(home) + " XDG_CONFIG_HOME=" + shell_quoted(home / "config") +
         " XDG_DATA_HOME=" + shell_quoted(home / "data") + " TMPDIR=" + shell_quoted(root) +
         " VELK_UNATTENDED=1 " + shell_quoted(installer) + " -x '$ROOT0" + (root / "package").string() +
         "/installer.xml' -a >/dev/null";
}

}  // namespace bench_support
