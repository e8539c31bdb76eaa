// Benchmark of the packer (not a test): make_package on a tree without identical files (20,000 files of
// 1-8 KiB, whose sizes repeat, and 20 of 5 MiB) against "tar -cf" of the same files on the same disk, in
// paired runs (one of each right after the other, the order alternating, after one untimed pair that
// warms the cache). With a second make_package (another build) its runs join every pair in turn: its
// ratio to tar is printed beside, and the ratio of this build's times to its times. Then a tree of two
// installations, the second repeating two thirds of the first's files in a folder of its own: each
// build's package size and time (paired with the other's runs). Last, a tree of files of one size (ten of 30 MiB, 2,000 of 16 KiB), all
// of other bytes, against the same tree with every size its own, in paired runs (target: within 1.1).
// Then an update (--update-of) of a version of 10,000 files against packing that whole version, in paired
// runs (target: no slower), with the other make_package's update in each pair when named.
// Usage: bench_make_package [work folder] [pairs, 5] [make_package to compare]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace fs = std::filesystem;
using bench_support::PAIRED_TIMES;
using bench_support::seconds_since;
using bench_support::shell_quoted;

namespace {

// count files of min_size to max_size bytes (in folders of 100) below folder, each of its own bytes;
// their relative paths in files.
bool write_tree(const fs::path& folder, int count, size_t min_size, size_t max_size, unsigned salt,
                std::vector<std::string>* files) {
  std::vector<char> bytes;
  for (int i = 0; i < count; i++) {
    unsigned seed = (unsigned)i * 2654435761u + salt;
    bytes.resize(min_size + (max_size > min_size ? (seed >> 8) % (max_size - min_size + 1) : 0));
    bench_support::fill(bytes, seed);
    std::string relative = "d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin";
    fs::create_directories((folder / relative).parent_path());
    if (!bench_support::write_file(folder / relative, bytes)) return false;
    files->push_back(relative);
  }
  return true;
}

// count files of size + step * i bytes (i from 0) in folder, each of its own bytes.
bool write_sized(const fs::path& folder, int count, size_t size, size_t step, unsigned salt) {
  std::vector<char> bytes;
  fs::create_directories(folder);
  for (int i = 0; i < count; i++) {
    bytes.resize(size + step * (size_t)i);
    bench_support::fill(bytes, (unsigned)i * 2654435761u + salt);
    if (!bench_support::write_file(folder / ("f" + std::to_string(i) + ".bin"), bytes)) return false;
  }
  return true;
}

bool write_text(const fs::path& path, const std::string& text) {
  return bench_support::write_file(path, std::vector<char>(text.begin(), text.end()));
}

// Seconds the command took; -1 when it failed.
double timed(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "bench_make_package: failed: %s\n", command.c_str());
    return -1;
  }
  return seconds_since(start);
}

std::string pack_command(const std::string& packer, const fs::path& description, const fs::path& package) {
  return shell_quoted(packer) + " " + shell_quoted(description) + " " + shell_quoted(package) + " >/dev/null";
}

// The package's path in a folder of its own under out: the packer notes any name but "installer.pkg".
fs::path package_in(const fs::path& out, const std::string& name) {
  fs::create_directories(out / name);
  return out / name / "installer.pkg";
}

}  // namespace

int main(int argc, char** argv) {
  fs::path work = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::current_path() / "bench_make_package_work");
  int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string other = argc > 3 ? fs::absolute(argv[3]).string() : std::string();
  std::string packer = (fs::absolute(fs::path(argv[0])).parent_path() / "make_package").string();
  if (pairs < 1 || !fs::exists(packer) || (!other.empty() && !fs::exists(other))) {
    std::fprintf(stderr, "usage: bench_make_package [work folder] [pairs] [make_package to compare]\n"
                         "(make_package is taken from beside this program)\n");
    return 2;
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  fs::path source = work / "source", out = work / "out";
  fs::create_directories(out);
  std::printf("preparing 20,000 files of 1-8 KiB and 20 of 5 MiB in %s\n", source.string().c_str());
  std::vector<std::string> small, large;
  if (!write_tree(source / "files" / "small", 20000, 1024, 8192, 1, &small) ||
      !write_tree(source / "files" / "large", 20, 5 << 20, 5 << 20, 2, &large))
    return 1;
  const std::string head = "installation = Benchmark\ndefault_path = $ROOT0" + (work / "installed").string() + "\n";
  if (!write_text(source / "description.txt", head)) return 1;

  // Each run replaces the output of the one before, as a packager's next run does.
  std::string ours = pack_command(packer, source / "description.txt", package_in(out, "ours"));
  std::string theirs = other.empty() ? "" : pack_command(other, source / "description.txt", package_in(out, "theirs"));
  std::string tar = "tar -cf " + shell_quoted(out / "files.tar") + " -C " + shell_quoted(source / "files") + " .";
  PAIRED_TIMES against_tar, other_against_tar, against_other;
  for (int pair = 0; pair <= pairs; pair++) {
    double our_time, tar_time, their_time = 0;
    if (pair % 2 == 0) {
      our_time = timed(ours);
      if (!other.empty()) their_time = timed(theirs);
      tar_time = timed(tar);
    } else {
      tar_time = timed(tar);
      if (!other.empty()) their_time = timed(theirs);
      our_time = timed(ours);
    }
    if (our_time < 0 || tar_time < 0 || their_time < 0) return 1;
    // Pair 0 warms the cache and is not counted.
    if (pair == 0) continue;
    against_tar.add(our_time, tar_time);
    if (!other.empty()) {
      other_against_tar.add(their_time, tar_time);
      against_other.add(our_time, their_time);
    }
  }
  std::printf("no identical files: make_package %.3f s, tar -cf %.3f s (medians); ratio %s\n",
              against_tar.median_ours(), against_tar.median_baseline(), against_tar.spread().c_str());
  if (!other.empty()) {
    std::printf("  the other make_package: %.3f s, ratio to tar %s\n", other_against_tar.median_ours(),
                other_against_tar.spread().c_str());
    std::printf("  this build against the other: %s (target 1.0 or less)\n", against_other.spread().c_str());
  }

  // The second installation repeats two of every three of the first's files, and has its own fourth.
  std::printf("preparing a second installation that repeats two thirds of the files\n");
  std::vector<std::string> own;
  for (const std::vector<std::string>* files : {&small, &large})
    for (size_t i = 0; i < files->size(); i++) {
      if (i % 3 == 2) continue;
      const std::string kind = files == &small ? "small" : "large";
      fs::create_directories((source / "files-b" / kind / (*files)[i]).parent_path());
      fs::copy_file(source / "files" / kind / (*files)[i], source / "files-b" / kind / (*files)[i]);
    }
  if (!write_tree(source / "files-b" / "own", 5000, 1024, 8192, 3, &own)) return 1;
  if (!write_text(source / "shared.txt", head + "installation = Part\ndefault_path = $ROOT0" +
                                             (work / "installed-b").string() + "\nfiles = files-b\n"))
    return 1;
  // Paired with the other make_package's runs, when named (its order alternating, after an untimed pair
  // that warms the cache: the copies were just written).
  std::string shared_commands[2] = {pack_command(packer, source / "shared.txt", package_in(out, "ours-shared")),
                                    other.empty() ? std::string()
                                                  : pack_command(other, source / "shared.txt", package_in(out, "theirs-shared"))};
  PAIRED_TIMES shared;
  double shared_times[2] = {0, 0};
  for (int pair = 0; pair <= pairs; pair++) {
    for (int step = 0; step < 2; step++) {
      int side = (step + pair) % 2;
      if (side == 1 && other.empty()) continue;
      shared_times[side] = timed(shared_commands[side]);
      if (shared_times[side] < 0) return 1;
    }
    if (pair > 0) shared.add(shared_times[0], other.empty() ? shared_times[0] : shared_times[1]);
  }
  std::printf("two installations sharing files, this make_package: %.3f s (median), package %.1f MiB\n",
              shared.median_ours(), (double)fs::file_size(out / "ours-shared" / "installer.pkg") / (1 << 20));
  if (!other.empty())
    std::printf("  the other make_package: %.3f s, package %.1f MiB; this build against it: %s\n", shared.median_baseline(),
                (double)fs::file_size(out / "theirs-shared" / "installer.pkg") / (1 << 20), shared.spread().c_str());

  // Files of one size but other bytes against files of sizes of their own: the same reads are needed.
  std::printf("preparing trees of ten files of 30 MiB and 2,000 of 16 KiB: one size, and sizes of their own\n");
  const char* kinds[2] = {"same", "unique"};
  std::string commands[2];
  for (int kind = 0; kind < 2; kind++) {
    fs::path files = source / (std::string("files-") + kinds[kind]);
    size_t step = kind == 1 ? 1 : 0;
    if (!write_sized(files / "large", 10, 30 << 20, step, 5) || !write_sized(files / "small", 2000, 16 << 10, step, 6) ||
        !write_text(source / (std::string(kinds[kind]) + ".txt"),
                    head + "files = files-" + kinds[kind] + "\n"))
      return 1;
    commands[kind] = pack_command(packer, source / (std::string(kinds[kind]) + ".txt"), package_in(out, "sized"));
  }
  PAIRED_TIMES one_size;
  for (int pair = 0; pair <= pairs; pair++) {
    double times[2];
    for (int step = 0; step < 2; step++) {
      int kind = (step + pair) % 2;
      times[kind] = timed(commands[kind]);
      if (times[kind] < 0) return 1;
    }
    if (pair > 0) one_size.add(times[0], times[1]);
  }
  std::printf("files of one size: make_package %.3f s, sizes of their own %.3f s (medians); ratio %s; target 1.1 %s\n",
              one_size.median_ours(), one_size.median_baseline(), one_size.spread().c_str(),
              one_size.median_ratio() <= 1.1 ? "met" : "NOT met");

  // An update of a version of 10,000 files, a tenth of them changed and 100 added, against packing the
  // whole new version: the update reads every file as the whole version does, and writes a tenth.
  std::printf("preparing two versions of 10,000 files of 1-8 KiB, a tenth changed and 100 added\n");
  std::vector<std::string> first, changed, added;
  fs::path earlier = package_in(out, "earlier");
  if (!write_tree(source / "files-v1", 10000, 1024, 8192, 7, &first) ||
      !write_text(source / "v1.txt", head + "files = files-v1\n") ||
      timed(pack_command(packer, source / "v1.txt", earlier)) < 0)
    return 1;
  fs::copy(source / "files-v1", source / "files-v2", fs::copy_options::recursive);
  if (!write_tree(source / "files-v2-changed", 1000, 1024, 8192, 8, &changed) ||
      !write_tree(source / "files-v2" / "added", 100, 1024, 8192, 9, &added) ||
      !write_text(source / "v2.txt", head + "files = files-v2\n"))
    return 1;
  for (size_t i = 0; i < changed.size(); i++)
    fs::copy_file(source / "files-v2-changed" / changed[i], source / "files-v2" / first[i * 10],
                  fs::copy_options::overwrite_existing);
  auto update_command = [&](const std::string& which, const std::string& name) {
    return shell_quoted(which) + " --update-of " + shell_quoted(earlier) + " " + shell_quoted(source / "v2.txt") + " " +
           shell_quoted(package_in(out, name)) + " >/dev/null";
  };
  std::string whole = pack_command(packer, source / "v2.txt", package_in(out, "whole"));
  std::string update = update_command(packer, "update");
  std::string their_update = other.empty() ? "" : update_command(other, "theirs-update");
  PAIRED_TIMES against_whole, update_against_other;
  for (int pair = 0; pair <= pairs; pair++) {
    double update_time, whole_time, their_time = 0;
    if (pair % 2 == 0) {
      update_time = timed(update);
      if (!other.empty()) their_time = timed(their_update);
      whole_time = timed(whole);
    } else {
      whole_time = timed(whole);
      if (!other.empty()) their_time = timed(their_update);
      update_time = timed(update);
    }
    if (update_time < 0 || whole_time < 0 || their_time < 0) return 1;
    if (pair == 0) continue;
    against_whole.add(update_time, whole_time);
    if (!other.empty()) update_against_other.add(update_time, their_time);
  }
  std::printf("an update of 10,000 files: make_package --update-of %.3f s, the whole version %.3f s (medians); "
              "ratio %s; target 1.0 %s\n",
              against_whole.median_ours(), against_whole.median_baseline(), against_whole.spread().c_str(),
              against_whole.median_ratio() <= 1.0 ? "met" : "NOT met");
  if (!other.empty())
    std::printf("  the other make_package's update: %.3f s; this build against it: %s\n",
                update_against_other.median_baseline(), update_against_other.spread().c_str());
  fs::remove_all(work, ignored);
  return 0;
}
