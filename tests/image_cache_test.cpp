// Tests of the image cache: shared references, sizes made from the natural-size copy, copy on write,
// flushing, failed loads, and the image-cache stream's bytes, versions and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_cache.h"
#include "image_file.h"
#include "test_support.h"

namespace {

class ImageCacheTest : public ::testing::Test {
protected:
  std::string path;
  FOLDER folder;
  IMAGE_CACHE cache;
  char place[2048];  // the folder's portable text

  void SetUp() override {
    path = make_scratch_folder("image_cache");
    ASSERT_TRUE(folder.set_if_folder(path.c_str()));
    folder.get_portable_text(place, nullptr);
    ASSERT_EQ(place[0], '$');
    write_picture("a.png", 8, 6, 0xFF204080);
    write_picture("b.png", 5, 5, 0xFF00FF00);
  }

  void write_picture(const char* name, INT_S16 width, INT_S16 height, COLOUR colour) {
    IMAGE image(width, height);
    image.clear(&colour, 1);
    *image.pixel_at(0, 0) = 0xFFFFFFFF;
    DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(save_png(&image, file));
    close_data_file(&file);
  }
  IMAGE_CACHE_ENTRY* entry_at(int index) {
    LLIST_NODE* node = cache.entries.head;
    for (int n = 0; node && n < index; n++) node = node->next;
    return node ? static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(node)) : nullptr;
  }
};

}  // namespace

TEST_F(ImageCacheTest, LookupsShareOneCountedImage) {
  IMAGE* first = cache.get(place, "a.png", -1, -1, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->width, 8);
  IMAGE* second = cache.get(place, "a.png", -1, -1, 0);
  EXPECT_EQ(second, first);
  IMAGE_CACHE_ENTRY* entry = cache.find_entry(first);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->reference_count, 2);
  EXPECT_EQ(entry->requested_width, 8);  // asked at natural size: the loaded size
  EXPECT_STREQ(entry->file_name, "a.png");
  EXPECT_STREQ(entry->folder_path, place);
  cache.release(entry);
  cache.release(entry);
  EXPECT_EQ(cache.entries.count, 1);
  EXPECT_EQ(entry->reference_count, 0);
  EXPECT_EQ(cache.get(place, "a.png", -1, -1, 0), first);
  EXPECT_EQ(cache.add_reference(first), first);
  EXPECT_EQ(entry->reference_count, 2);
  IMAGE outside(2, 2);
  EXPECT_EQ(cache.add_reference(&outside), nullptr);
  EXPECT_EQ(cache.natural_width(first), 8);
  EXPECT_EQ(cache.natural_height(&outside), 2);
  EXPECT_EQ(cache.natural_width(nullptr), 0);
}

TEST_F(ImageCacheTest, NewSizesAreScaledFromTheNaturalCopy) {
  IMAGE* natural = cache.get(place, "a.png", -1, -1, 0);
  ASSERT_NE(natural, nullptr);
  std::filesystem::remove(path + "a.png");  // the file is not read again
  IMAGE* scaled = cache.get(place, "a.png", 64, 48, 0);
  ASSERT_NE(scaled, nullptr);
  EXPECT_NE(scaled, natural);
  EXPECT_EQ(scaled->width, 64);
  EXPECT_EQ(scaled->height, 48);
  EXPECT_EQ(*scaled->pixel_at(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(*scaled->pixel_at(63, 47), 0xFF204080u);
  EXPECT_EQ(cache.natural_width(scaled), 8);
  // Any size asks for the first entry of the file; with the natural-size flag an unscaled one serves.
  EXPECT_EQ(cache.get(place, "a.png", -1, -1, 0), natural);
  EXPECT_EQ(cache.get(place, "a.png", 10, 10, CACHE_NATURAL_SIZE), natural);
  EXPECT_EQ(cache.get(place, "a.png", 64, 48, 0), scaled);
  EXPECT_EQ(cache.find_entry(scaled)->reference_count, 2);
  EXPECT_EQ(cache.get(place, "zzz.png", -1, -1, CACHE_FIND_ONLY), nullptr);
  EXPECT_EQ(cache.entries.count, 2);
}

TEST_F(ImageCacheTest, AFirstLookupAtASizeLoadsThatSize) {
  IMAGE* small = cache.get(place, "b.png", 10, 4, 0);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->width, 10);
  EXPECT_EQ(small->height, 4);
  IMAGE_CACHE_ENTRY* entry = cache.find_entry(small);
  EXPECT_EQ(entry->natural_width, 5);
  EXPECT_EQ(entry->requested_width, 10);
  EXPECT_EQ(cache.get(place, "b.png", -1, -1, 0), small);  // the first entry of the file
}

TEST_F(ImageCacheTest, ReloadsReadTheFileAgainAtTheEntrysOwnSize) {
  IMAGE* small = cache.get(place, "b.png", 10, 4, 0);
  ASSERT_NE(small, nullptr);
  write_picture("b.png", 5, 5, 0xFFFF0000);
  // A lookup of any size with the reload flag finds the scaled entry; it is read again at the size it
  // answers to, not at the natural size.
  EXPECT_EQ(cache.get(place, "b.png", -1, -1, CACHE_RELOAD), small);
  EXPECT_EQ(small->width, 10);
  EXPECT_EQ(small->height, 4);
  EXPECT_EQ(*small->pixel_at(9, 3), 0xFFFF0000u);
  EXPECT_EQ(cache.find_entry(small)->reference_count, 2);

  write_picture("b.png", 5, 5, 0xFF0000FF);
  cache.reload(small);
  EXPECT_EQ(small->width, 10);
  EXPECT_EQ(*small->pixel_at(9, 3), 0xFF0000FFu);
  write_picture("b.png", 5, 5, 0xFF00FF00);
  cache.reload_all();
  EXPECT_EQ(small->height, 4);
  EXPECT_EQ(*small->pixel_at(9, 3), 0xFF00FF00u);

  // A file gone by the time of the reload leaves the entry empty: the lookup gives null.
  std::filesystem::remove(path + "b.png");
  EXPECT_EQ(cache.get(place, "b.png", 10, 4, CACHE_RELOAD), nullptr);
  EXPECT_EQ(cache.find_entry(small)->reference_count, 2);
}

TEST_F(ImageCacheTest, FailedLoadsKeepAnEmptyEntryWithoutAReference) {
  EXPECT_EQ(cache.get(place, "missing.png", -1, -1, 0), nullptr);
  ASSERT_EQ(cache.entries.count, 1);
  EXPECT_EQ(entry_at(0)->reference_count, 0);
  write_picture("missing.png", 3, 3, 0xFF000000);  // not looked at again until flushed
  EXPECT_EQ(cache.get(place, "missing.png", -1, -1, 0), nullptr);
  EXPECT_EQ(entry_at(0)->reference_count, 0);
  cache.flush();
  EXPECT_EQ(cache.entries.count, 0);
  EXPECT_NE(cache.get(place, "missing.png", -1, -1, 0), nullptr);

  EXPECT_EQ(cache.get(place, "other.png", -1, -1, CACHE_DROP_ON_FAILURE), nullptr);
  EXPECT_EQ(cache.entries.count, 1);
  EXPECT_EQ(cache.get("nowhere/x", "a.png", -1, -1, CACHE_DROP_ON_FAILURE), nullptr);
  cache.free_at_zero = 1;
  EXPECT_EQ(cache.get(place, "other.png", -1, -1, 0), nullptr);
  EXPECT_EQ(cache.entries.count, 1);
}

TEST_F(ImageCacheTest, ChangesGoToPrivateCopies) {
  IMAGE* shared = cache.get(place, "a.png", -1, -1, 0);
  ASSERT_NE(shared, nullptr);
  cache.add_reference(shared);
  IMAGE* mine = shared;
  cache.greyscale(&mine);
  ASSERT_NE(mine, shared);
  IMAGE_CACHE_ENTRY* old_entry = cache.find_entry(shared);
  IMAGE_CACHE_ENTRY* new_entry = cache.find_entry(mine);
  EXPECT_EQ(old_entry->reference_count, 1);
  EXPECT_EQ(old_entry->modified, 0);
  EXPECT_EQ(new_entry->modified, 1);
  EXPECT_EQ(new_entry->reference_count, 1);
  EXPECT_EQ(*shared->pixel_at(1, 1), 0xFF204080u);
  INT_U32 grey = *mine->pixel_at(1, 1) & 0xFF;
  EXPECT_EQ(*mine->pixel_at(1, 1), 0xFF000000u | grey << 16 | grey << 8 | grey);
  EXPECT_EQ(cache.get(place, "a.png", -1, -1, 0), shared);  // the modified copy is never found

  // A scaled entry held once is changed in place.
  IMAGE* scaled = cache.get(place, "a.png", 16, 12, 0);
  IMAGE* same = scaled;
  COLOUR red = 0xFFFF0000;
  cache.tint(&same, &red);
  EXPECT_EQ(same, scaled);
  EXPECT_EQ(cache.find_entry(same)->modified, 1);
  EXPECT_NE(cache.get(place, "a.png", 16, 12, 0), scaled);
}

TEST_F(ImageCacheTest, ResizeSharesOrScales) {
  IMAGE* a = cache.get(place, "a.png", -1, -1, 0);
  IMAGE* b = cache.get(place, "a.png", 4, 3, 0);
  ASSERT_NE(b, nullptr);
  IMAGE* mine = cache.get(place, "a.png", -1, -1, 0);
  cache.resize(&mine, 4, 3);
  EXPECT_EQ(mine, b);  // an entry of that size exists
  EXPECT_EQ(cache.find_entry(b)->reference_count, 2);
  EXPECT_EQ(cache.find_entry(a)->reference_count, 1);
  cache.resize(&mine, 7, 7);
  ASSERT_NE(mine, b);
  EXPECT_EQ(mine->width, 7);
  EXPECT_EQ(cache.find_entry(mine)->requested_width, 7);
  EXPECT_EQ(cache.find_entry(b)->reference_count, 1);
  IMAGE* before = mine;
  cache.resize(&mine, -1, 5);  // negative sizes do nothing
  EXPECT_EQ(mine, before);
  EXPECT_EQ(mine->width, 7);
}

TEST_F(ImageCacheTest, FlushKeepsReferencedEntriesUntilTheirLastRelease) {
  IMAGE* held = cache.get(place, "a.png", -1, -1, 0);
  IMAGE* loose = cache.get(place, "b.png", -1, -1, 0);
  cache.release(cache.find_entry(loose));
  cache.flush();
  EXPECT_EQ(cache.entries.count, 1);
  IMAGE_CACHE_ENTRY* entry = cache.find_entry(held);
  EXPECT_EQ(entry->release_pending, 1);
  IMAGE* again = cache.get(place, "a.png", -1, -1, 0);
  EXPECT_NE(again, held);
  EXPECT_EQ(cache.entries.count, 2);
  cache.release(entry);
  EXPECT_EQ(cache.entries.count, 1);
  cache.clear();
  EXPECT_EQ(cache.entries.count, 0);
}

TEST_F(ImageCacheTest, StreamStoredBytes) {
  IMAGE* a = cache.get(place, "a.png", -1, -1, 0);
  IMAGE* b = cache.get(place, "b.png", 2, 1, 0);
  IMAGE* changed = cache.get(place, "b.png", -1, -1, 0);
  cache.add_reference(changed);
  cache.replace_colour(&changed, &COLOUR_INVISIBLE, &COLOUR_INVISIBLE);
  ASSERT_TRUE(a && b && changed);
  ASSERT_EQ(cache.entries.count, 3);

  MEMORY_DEVICE device;
  ASSERT_TRUE(cache.put_to_data_device(&device));
  const std::vector<INT_U8>& bytes = device.bytes;
  ASSERT_GT(bytes.size(), 5u);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + 1, bytes.begin() + 5), (std::vector<INT_U8>{2, 0, 0, 0}));
  size_t at = 5;
  EXPECT_EQ(std::string((const char*)&bytes[at]), place);
  for (size_t n = at + std::strlen(place); n < at + 2048; n++) ASSERT_EQ(bytes[n], 0) << n;
  at += 2048;
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + at, bytes.begin() + at + 4), (std::vector<INT_U8>{5, 0, 0, 0}));
  at += 4;
  EXPECT_EQ(std::string((const char*)&bytes[at], 5), "a.png");
  at += 5;
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + at, bytes.begin() + at + 8),
            (std::vector<INT_U8>{8, 0, 6, 0, 8, 0, 6, 0}));
  at += 8;
  EXPECT_EQ(std::string((const char*)&bytes[at], 10), "velkrawimg");
  at += 15 + 8 * 6 * 4;
  at += 2048 + 4 + 5;
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + at, bytes.begin() + at + 8),
            (std::vector<INT_U8>{2, 0, 1, 0, 5, 0, 5, 0}));
  at += 8 + 15 + 2 * 1 * 4;
  EXPECT_EQ(at, bytes.size());

  // Read back into another cache: the two entries, unreferenced, with their pictures.
  IMAGE_CACHE other;
  device.position = 0;
  ASSERT_TRUE(other.get_from_data_device(&device));
  ASSERT_EQ(other.entries.count, 2);
  IMAGE* read_a = other.get(place, "a.png", 8, 6, CACHE_FIND_ONLY);
  ASSERT_NE(read_a, nullptr);
  EXPECT_EQ(0, std::memcmp(read_a->pixels, a->pixels, 8 * 6 * 4));
  EXPECT_EQ(other.find_entry(read_a)->reference_count, 1);
  EXPECT_EQ(other.find_entry(read_a)->natural_width, 8);

  // Swapped byte order on both sides reads back too.
  MEMORY_DEVICE swapped;
  swapped.swap_bytes = 1;
  ASSERT_TRUE(cache.put_to_data_device(&swapped));
  EXPECT_EQ(std::vector<INT_U8>(swapped.bytes.begin() + 1, swapped.bytes.begin() + 5), (std::vector<INT_U8>{0, 0, 0, 2}));
  IMAGE_CACHE third;
  swapped.position = 0;
  ASSERT_TRUE(third.get_from_data_device(&swapped));
  EXPECT_EQ(third.entries.count, 2);
}

TEST_F(ImageCacheTest, DamagedStreamsAreRefused) {
  ASSERT_NE(cache.get(place, "a.png", -1, -1, 0), nullptr);
  ASSERT_NE(cache.get(place, "b.png", -1, -1, 0), nullptr);
  MEMORY_DEVICE device;
  ASSERT_TRUE(cache.put_to_data_device(&device));
  const std::vector<INT_U8> good = device.bytes;

  std::vector<INT_U8> newer = good;
  newer[0] = 3;
  MEMORY_DEVICE newer_device(newer);
  IMAGE_CACHE reader;
  EXPECT_FALSE(reader.get_from_data_device(&newer_device));
  EXPECT_EQ(reader.entries.count, 0);

  std::vector<INT_U8> long_name = good;
  long_name[5 + 2048] = 0xFF;
  long_name[5 + 2048 + 3] = 0x7F;
  MEMORY_DEVICE long_device(long_name);
  EXPECT_FALSE(reader.get_from_data_device(&long_device));
  EXPECT_EQ(reader.entries.count, 0);

  // A folder text without its terminator is cut inside the field.
  std::vector<INT_U8> unterminated = good;
  for (size_t n = 5; n < 5 + 2048; n++) unterminated[n] = 'x';
  MEMORY_DEVICE unterminated_device(unterminated);
  ASSERT_TRUE(reader.get_from_data_device(&unterminated_device));
  IMAGE_CACHE_ENTRY* first = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.head));
  EXPECT_EQ(std::strlen(first->folder_path), 2047u);
  reader.clear();

  // A folder variable unknown here is not taken from a stream (resolving it would be fatal).
  std::vector<INT_U8> unknown = good;
  std::memcpy(&unknown[5], "$NOSUCHVARIABLE/x", 18);
  MEMORY_DEVICE unknown_device(unknown);
  ASSERT_TRUE(reader.get_from_data_device(&unknown_device));
  first = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.head));
  EXPECT_STREQ(first->folder_path, "");
  reader.reload_all();
  reader.clear();
  std::vector<INT_U8> known = good;
  std::memcpy(&known[5], "$temp/x", 8);
  MEMORY_DEVICE known_device(known);
  ASSERT_TRUE(reader.get_from_data_device(&known_device));
  first = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.head));
  EXPECT_STREQ(first->folder_path, "$temp/x");
  reader.clear();

  // A damaged stream changes nothing: the entries from before stay, findable, with their counts and
  // release states, whether the stream is cut inside its second entry or counts more than it holds.
  MEMORY_DEVICE good_device(good);
  ASSERT_TRUE(reader.get_from_data_device(&good_device));
  ASSERT_EQ(reader.entries.count, 2);
  IMAGE_CACHE_ENTRY* held = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.head));
  IMAGE_CACHE_ENTRY* free_one = static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.tail));
  IMAGE* reference = reader.add_reference(&held->image);
  ASSERT_NE(reference, nullptr);
  std::vector<INT_U8> cut(good.begin(), good.end() - 30);
  std::vector<INT_U8> counted = good;
  counted[4] = 0x40;
  for (const std::vector<INT_U8>* damaged : {&cut, &counted}) {
    MEMORY_DEVICE device(*damaged);
    EXPECT_FALSE(reader.get_from_data_device(&device));
    ASSERT_EQ(reader.entries.count, 2);
    EXPECT_EQ(static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.head)), held);
    EXPECT_EQ(static_cast<IMAGE_CACHE_ENTRY*>(stored_pointer(reader.entries.tail)), free_one);
    EXPECT_EQ(held->reference_count, 1);
    EXPECT_EQ(held->release_pending, 0);
    EXPECT_EQ(free_one->release_pending, 0);
    IMAGE* found = reader.get(held->folder_path, held->file_name, held->requested_width, held->requested_height,
                              CACHE_FIND_ONLY);
    EXPECT_EQ(found, &held->image);
    reader.release(held);
  }
  // A whole stream replaces them: the unreferenced one goes, the held one waits for its reference.
  MEMORY_DEVICE again(good);
  ASSERT_TRUE(reader.get_from_data_device(&again));
  EXPECT_EQ(reader.entries.count, 3);
  EXPECT_EQ(held->release_pending, 1);
  reader.release(held);
  EXPECT_EQ(reader.entries.count, 2);
}

TEST_F(ImageCacheTest, TheLibraryInstanceIsBuiltOnFirstUse) {
  IMAGE* image = image_cache->get(place, "a.png", -1, -1, 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image_cache->find_entry(image)->reference_count, 1);
  EXPECT_EQ((*image_cache).free_at_zero, 0);
  stop_image_cache();
  start_image_cache();
  EXPECT_EQ(image_cache->entries.count, 0);
  stop_image_cache();
}
