// Shared pieces of the benchmark tools (not tests): a stopwatch, bytes that neither deflate nor the
// disk can shortcut, and writing a host file whole.
#pragma once
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

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

}  // namespace bench_support
