// Tests of settings files: the text format as read and written, cached and uncached lookups and
// changes, errors and warnings, rewrites that never lose the file, and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config_file.h"
#include "debug_stream.h"
#include "errors.h"
#include "files.h"
#include "test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

typedef std::vector<INT_U8> BYTES;

#ifdef _WIN32
const std::string NL = "\r\n";
#else
const std::string NL = "\n";
#endif

BYTES bytes_of(const std::string& text) { return BYTES(text.begin(), text.end()); }

// Converts "\n" to the host's line end, as files written in text mode have them.
std::string host_text(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? NL : std::string(1, c);
  return out;
}

INT_S32 collect(const char* id, const char* value, void* user) {
  static_cast<std::vector<std::pair<std::string, std::string>>*>(user)->push_back({id, value});
  return 0;
}

class Settings : public ::testing::Test {
protected:
  FOLDER folder;
  std::string path;
  void SetUp() override {
    folder = scratch_folder("config", &path);
  }
  void put(const std::string& text, const char* name = "settings") {
    ASSERT_TRUE(write_whole_file(path + name, bytes_of(text)));
  }
  std::string file_text(const char* name = "settings") {
    return read_whole_text(path + name);
  }
  std::vector<std::pair<std::string, std::string>> all(bool cached) {
    CONFIG_FILE config;
    config.init(nullptr, cached);
    std::vector<std::pair<std::string, std::string>> entries;
    config.read_all(&folder, collect, &entries);
    return entries;
  }
};

typedef std::vector<std::pair<std::string, std::string>> ENTRIES;

}  // namespace

TEST_F(Settings, ReadsTheFormat) {
  put("# comment\n\nwidth\n\t640\nname\n\n");
  EXPECT_EQ((ENTRIES{{"width", "640"}, {"name", ""}}), all(false));
  EXPECT_EQ((ENTRIES{{"name", ""}, {"width", "640"}}), all(true));  // identifier order
  // Leading blanks of an identifier are dropped, trailing ones kept; a "#" value is a value.
  put("  key  \n \t #v  \n\tk2\n  \n");
  EXPECT_EQ((ENTRIES{{"key  ", "#v  "}, {"k2", ""}}), all(false));
  // CR LF files read the same.
  put("a\r\n\t1\r\nb\r\n\t2\r\n");
  EXPECT_EQ((ENTRIES{{"a", "1"}, {"b", "2"}}), all(false));
}

TEST_F(Settings, IdentifierWithoutValueAtTheEnd) {
  put("a\n\t1\nlast\n");
  CONFIG_FILE config;
  config.init(nullptr, false);
  char value[256];
  EXPECT_FALSE(config.get_string(&folder, "last", value));
  EXPECT_EQ(DATA_ERROR_CONFIG_EARLY_END, get_error_code());
  EXPECT_EQ((ENTRIES{{"a", "1"}}), all(false));
  put("a\n\t1\nlast");
  EXPECT_FALSE(config.get_string(&folder, "last", value));
  EXPECT_EQ(DATA_ERROR_CONFIG_EARLY_END, get_error_code());
  // A change keeps that identifier, with an empty value, ahead of a new entry.
  EXPECT_TRUE(config.set_string(&folder, "new", "n"));
  EXPECT_EQ(host_text("a\n\t1\nlast\n\t\nnew\n\tn\n"), file_text());
  put("a\n\t1\nlast\n");
  EXPECT_TRUE(config.set_string(&folder, "last", "set"));
  EXPECT_EQ(host_text("a\n\t1\nlast\n\tset\n"), file_text());
}

TEST_F(Settings, LookupsAndErrors) {
  CONFIG_FILE config;
  config.init("missing.cfg", false);
  char value[256] = "untouched";
  EXPECT_FALSE(config.get_string(&folder, "a", value));
  EXPECT_EQ(DATA_ERROR_CONFIG_OPEN, get_error_code());
  EXPECT_STREQ("missing.cfg", data_error.argument);
  EXPECT_FALSE(config.can_open(&folder));
  config.init(nullptr, true);
  EXPECT_FALSE(config.get_string(&folder, "a", value));
  EXPECT_EQ(DATA_ERROR_CONFIG_OPEN, get_error_code());
  EXPECT_STREQ("settings", data_error.argument);

  put("hex\n\t1F\nnumber\n\t-12\nword\n\tabc\n");
  for (bool cached : {false, true}) {
    config.init(nullptr, cached);
    EXPECT_TRUE(config.can_open(&folder));
    EXPECT_FALSE(config.get_string(&folder, "absent", value));
    EXPECT_EQ(DATA_ERROR_CONFIG_ENTRY_NOT_FOUND, get_error_code());
    EXPECT_STREQ("absent", data_error.argument);
    EXPECT_FALSE(config.get_string(&folder, "", value));
    EXPECT_EQ(DATA_ERROR_CONFIG_BAD_ID, get_error_code());
    EXPECT_FALSE(config.set_string(&folder, nullptr, "x"));
    EXPECT_EQ(DATA_ERROR_CONFIG_BAD_ID, get_error_code());
    INT_S32 number = 5;
    EXPECT_TRUE(config.get_int(&folder, "hex", &number, true));
    EXPECT_EQ(31, number);
    EXPECT_EQ(DATA_ERROR_NONE, get_error_code());  // cleared by a lookup that succeeds
    EXPECT_TRUE(config.get_int(&folder, "number", &number, false));
    EXPECT_EQ(-12, number);
    EXPECT_TRUE(config.get_int(&folder, "word", &number, false));  // no number: output untouched
    EXPECT_EQ(-12, number);
    EXPECT_FALSE(config.get_int(&folder, "absent", &number, false));
    EXPECT_EQ(-12, number);
    config.read_all(&folder, nullptr, nullptr);
    EXPECT_EQ(DATA_ERROR_CONFIG_NO_CALLBACK, get_error_code());
  }

  // Of several entries with one identifier, a lookup gives the first in the file, cached or not.
  std::string many;
  for (int i = 0; i < 40; i++) many += "k" + std::to_string(i % 7) + "\n\t" + std::to_string(i) + "\n";
  put(many);
  for (bool cached : {false, true}) {
    config.init(nullptr, cached);
    for (int k = 0; k < 7; k++) {
      ASSERT_TRUE(config.get_string(&folder, ("k" + std::to_string(k)).c_str(), value));
      EXPECT_EQ(std::to_string(k), value) << (cached ? "cached" : "uncached");
    }
  }
}

TEST_F(Settings, UncachedSetKeepsCommentsAndChangesEveryOccurrence) {
  put("# c\na\n\t1\n");
  CONFIG_FILE config;
  config.init(nullptr, false);
  EXPECT_TRUE(config.set_string(&folder, "b", "2"));
  EXPECT_EQ(host_text("# c\na\n\t1\nb\n\t2\n"), file_text());
  put("a\n\t1\n\n# mid\nb\n\t2\na\n\t3\n");
  EXPECT_TRUE(config.set_int(&folder, "a", 255, true));
  EXPECT_EQ(host_text("a\n\tFF\n\n# mid\nb\n\t2\na\n\tFF\n"), file_text());
  EXPECT_TRUE(config.set_string(&folder, "b", nullptr));
  EXPECT_EQ(host_text("a\n\tFF\n\n# mid\nb\n\t\na\n\tFF\n"), file_text());
  EXPECT_FALSE(file_exists(&folder, "settings.tmp"));
  // A missing file is created with the entry alone.
  config.init("new.cfg", false);
  EXPECT_TRUE(config.set_int(&folder, "n", -7, false));
  EXPECT_EQ(host_text("n\n\t-7\n"), file_text("new.cfg"));
}

TEST_F(Settings, CachedSetRewritesInFileOrder) {
  put("# gone\nz\n\t1\na\n\t2\n");
  CONFIG_FILE config;
  config.init(nullptr, true);
  EXPECT_TRUE(config.set_string(&folder, "m", "3"));
  EXPECT_TRUE(config.set_string(&folder, "z", "9"));
  EXPECT_EQ(host_text("z\n\t9\na\n\t2\nm\n\t3\n"), file_text());
  // A cached set on a missing file creates it.
  config.init("fresh.cfg", true);
  EXPECT_TRUE(config.set_string(&folder, "k", "v"));
  EXPECT_EQ(host_text("k\n\tv\n"), file_text("fresh.cfg"));
  char value[256];
  EXPECT_TRUE(config.get_string(&folder, "k", value));
  EXPECT_STREQ("v", value);
}

TEST_F(Settings, LongLinesAreCutAndTheirRestDropped) {
  std::string id(300, 'i'), value(300, 'v');
  put(id + "\n\t" + value + "\n# " + std::string(600, 'c') + "\nnext\n\tok\n");
  ENTRIES entries = all(false);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(std::string(79, 'i'), entries[0].first);
  EXPECT_EQ(std::string(255, 'v'), entries[0].second);
  EXPECT_EQ((std::pair<std::string, std::string>{"next", "ok"}), entries[1]);
  // Set uncached, long values are stored cut and the long comment is kept whole.
  CONFIG_FILE config;
  config.init(nullptr, false);
  EXPECT_TRUE(config.set_string(&folder, "next", value.c_str()));
  EXPECT_EQ(host_text(std::string(79, 'i') + "\n\t" + std::string(255, 'v') + "\n# " + std::string(600, 'c') +
                      "\nnext\n\t" + std::string(255, 'v') + "\n"),
            file_text());
}

TEST_F(Settings, WideCharactersInUtf16Files) {
  // A UTF-16 settings file whose value begins with a character above 0xFF keeps it as a run.
  BYTES bytes = {0xFF, 0xFE};
  for (INT_U32 unit : std::vector<INT_U32>{'k', '\n', '\t', 0x20AC, 'x', '\n'}) {
    bytes.push_back(static_cast<INT_U8>(unit & 0xFF));
    bytes.push_back(static_cast<INT_U8>(unit >> 8));
  }
  ASSERT_TRUE(write_whole_file(path + "settings", bytes));
  EXPECT_EQ((ENTRIES{{"k", "\x01,20AC\x01x"}}), all(false));
  // Rewritten as UTF-8.
  CONFIG_FILE config;
  config.init(nullptr, false);
  EXPECT_TRUE(config.set_string(&folder, "other", "1"));
  EXPECT_EQ(host_text("k\n\t\xE2\x82\xACx\nother\n\t1\n"), file_text());
}

TEST_F(Settings, RewritesNeverLoseTheFile) {
  CONFIG_FILE config;
  config.init(nullptr, false);
  // A stale copy found while the file is missing is the only copy: it is put back, then changed.
  put("a\n\t1\n", "settings.tmp");
  EXPECT_TRUE(config.set_string(&folder, "b", "2"));
  EXPECT_EQ(host_text("a\n\t1\nb\n\t2\n"), file_text());
  EXPECT_FALSE(file_exists(&folder, "settings.tmp"));
  // A stale copy beside the file is dropped: the file holds the settings.
  put("old\n\t0\n", "settings.tmp");
  EXPECT_TRUE(config.set_string(&folder, "b", "3"));
  EXPECT_EQ(host_text("a\n\t1\nb\n\t3\n"), file_text());
  EXPECT_FALSE(file_exists(&folder, "settings.tmp"));

  // A new file left half-written beside the file is dropped.
  put("half", "settings.new");
  EXPECT_TRUE(config.set_string(&folder, "c", "4"));
  EXPECT_EQ(host_text("a\n\t1\nb\n\t3\nc\n\t4\n"), file_text());
  EXPECT_FALSE(file_exists(&folder, "settings.new"));
  put(host_text("a\n\t1\nb\n\t3\n"));

  // When the file cannot be set aside the change fails and the file is untouched.
  FOLDER blocker = folder;
  ASSERT_TRUE(blocker.enter("settings.tmp", true));
  ASSERT_TRUE(blocker.enter("inside", true));
  for (bool cached : {false, true}) {
    config.init(nullptr, cached);
    EXPECT_FALSE(config.set_string(&folder, "b", "4"));
    EXPECT_EQ(DATA_ERROR_CONFIG_OPEN, get_error_code());
    EXPECT_EQ(host_text("a\n\t1\nb\n\t3\n"), file_text());
  }

  // A new entry whose write failed stays in the cache without hiding the others from lookups.
  put(host_text("b\n\t2\nc\n\t3\nd\n\t4\ne\n\t5\n"));
  config.init(nullptr, true);
  EXPECT_FALSE(config.set_string(&folder, "a", "1"));
  char value[256];
  for (const char* id : {"a", "b", "c", "d", "e"}) EXPECT_TRUE(config.get_string(&folder, id, value)) << id;
  EXPECT_STREQ("5", value);
}

#ifndef _WIN32
TEST_F(Settings, FailedWritesPutTheOldFileBack) {
  std::string old_text = host_text("a\n\t1\n# " + std::string(400, 'c') + "\n");
  put(old_text);
  // Limit the size of written files so that the new file cannot be written whole.
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  struct rlimit limited = saved;
  limited.rlim_cur = 64;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
  CONFIG_FILE config;
  config.init(nullptr, false);
  bool uncached = config.set_string(&folder, "b", "2");
  INT_U16 uncached_error = get_error_code();
  config.init(nullptr, true);
  bool cached = config.set_string(&folder, "b", std::string(200, 'x').c_str());
  INT_U16 cached_error = get_error_code();
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &saved));
  EXPECT_FALSE(uncached);
  EXPECT_EQ(DATA_ERROR_WRITE, uncached_error);
  EXPECT_FALSE(cached);
  EXPECT_EQ(DATA_ERROR_WRITE, cached_error);
  EXPECT_EQ(old_text, file_text());
  EXPECT_FALSE(file_exists(&folder, "settings.tmp"));
  EXPECT_FALSE(file_exists(&folder, "settings.new"));
}
#endif

TEST_F(Settings, DamagedFilesReadSafely) {
  BYTES garbage;
  for (int i = 0; i < 4000; i++) garbage.push_back(static_cast<INT_U8>((i * 7919) ^ (i >> 3)));
  ASSERT_TRUE(write_whole_file(path + "settings", garbage));
  ENTRIES entries = all(false);
  for (const auto& entry : entries) {
    EXPECT_LE(entry.first.size(), 79u);
    EXPECT_LE(entry.second.size(), 255u);
  }
  EXPECT_EQ(entries.size(), all(true).size());
  // Changing a damaged file keeps what could be read and adds the entry.
  CONFIG_FILE config;
  config.init(nullptr, false);
  EXPECT_TRUE(config.set_string(&folder, "added", "1"));
  char value[256];
  EXPECT_TRUE(config.get_string(&folder, "added", value)) << get_error_text();
  EXPECT_STREQ("1", value);
}

TEST_F(Settings, ErrorsGoToThePlatformStream) {
  DEBUG_STREAM* platform = platform_debug_stream();
  ASSERT_NE(nullptr, platform);
  INT_U16 flags = platform->flags;
  platform->flags = DEBUG_WRITE_TO_CONSOLE | DEBUG_WRITE_CODE_LOCATION;
  CONFIG_FILE config;
  config.init("nothing.cfg", false);
  char value[256];
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(config.get_string(&folder, "a", value));
  std::string output = captured_stdout();
  platform->flags = flags;
  EXPECT_NE(std::string::npos, output.find("(code/config_file,")) << output;
  EXPECT_NE(std::string::npos, output.find(data_error_text(DATA_ERROR_CONFIG_OPEN, "nothing.cfg"))) << output;
}
