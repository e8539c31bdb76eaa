// The identity of a version: a hash of what its installations install, each file's path below its
// files folder, its overwrite rule and its bytes. The same files give the same identity whatever else
// the description says and whenever they are packed; an update names the identity of the whole version
// it brings, taken from all of that version's files, carried or not.
#include <cstring>
#include <fstream>

#include "packer_private.h"

namespace package_builder {

namespace {

const INT_U64 PRIME_1 = 0x9E3779B185EBCA87ull, PRIME_2 = 0xC2B2AE3D27D4EB4Full, PRIME_3 = 0x165667B19E3779F9ull,
              PRIME_4 = 0x85EBCA77C2B2AE63ull, PRIME_5 = 0x27D4EB2F165667C5ull;

INT_U64 rotate(INT_U64 x, int n) { return (x << n) | (x >> (64 - n)); }

// The word at bytes, least significant byte first on every host.
INT_U64 word_at(const unsigned char* bytes) {
  INT_U64 word = 0;
  for (int i = 7; i >= 0; i--) word = word << 8 | bytes[i];
  return word;
}

// The 128-bit product of a and b, its two halves folded into one by exclusive or.
INT_U64 folded_product(INT_U64 a, INT_U64 b) {
#ifdef __SIZEOF_INT128__
  unsigned __int128 product = (unsigned __int128)a * b;
  return (INT_U64)product ^ (INT_U64)(product >> 64);
#else
  INT_U64 a_low = a & 0xFFFFFFFFu, a_high = a >> 32, b_low = b & 0xFFFFFFFFu, b_high = b >> 32;
  INT_U64 low = a_low * b_low, middle_1 = a_high * b_low, middle_2 = a_low * b_high, high = a_high * b_high;
  INT_U64 carry = ((low >> 32) + (middle_1 & 0xFFFFFFFFu) + (middle_2 & 0xFFFFFFFFu)) >> 32;
  return (low + (middle_1 << 32) + (middle_2 << 32)) ^ (high + (middle_1 >> 32) + (middle_2 >> 32) + carry);
#endif
}

// A lane after it takes two words: one multiplied by the other (each with a constant of the lane's
// own, the first with the lane too), added to the lane, so that a word that makes a factor zero loses
// that step's words alone, never what the lane held.
INT_U64 step(INT_U64 lane, const unsigned char* bytes, INT_U64 first_key, INT_U64 second_key) {
  return lane + folded_product(word_at(bytes) ^ lane ^ first_key, word_at(bytes + 8) ^ second_key);
}

// Every bit of the result depends on every bit of x.
INT_U64 avalanche(INT_U64 x) {
  x ^= x >> 33;
  x *= PRIME_2;
  x ^= x >> 29;
  x *= PRIME_3;
  return x ^ (x >> 32);
}

// The four lanes folded into 64 bits, with a multiplier of the half's own for each lane.
INT_U64 fold(const INT_U64 lanes[4], const INT_U64 multipliers[4], INT_U64 total, int turn) {
  INT_U64 folded = total * PRIME_5 + multipliers[0];
  for (int i = 0; i < 4; i++) {
    folded ^= avalanche(lanes[i] * multipliers[i]);
    folded = rotate(folded, turn) * PRIME_1 + PRIME_4;
  }
  return avalanche(folded);
}

}  // namespace

// The lanes' constants: each lane takes two words of every 64 bytes.
static const INT_U64 KEYS[8] = {PRIME_1, PRIME_2, PRIME_3, PRIME_4, PRIME_5, PRIME_1 ^ PRIME_3, PRIME_2 ^ PRIME_4,
                                PRIME_3 ^ PRIME_5};

void CONTENT_HASH::stripe(const unsigned char* bytes) {
  for (int i = 0; i < 4; i++) lanes[i] = step(lanes[i], bytes + 16 * i, KEYS[2 * i], KEYS[2 * i + 1]);
}

void CONTENT_HASH::add(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  total += size;
  if (used > 0) {
    size_t take = size < STRIPE - used ? size : STRIPE - used;
    std::memcpy(pending + used, bytes, take);
    used += take;
    bytes += take;
    size -= take;
    if (used < STRIPE) return;
    stripe(pending);
    used = 0;
  }
  // The lanes stay in registers through the stripes (the bytes might be the hash's own, to the compiler).
  INT_U64 lane[4] = {lanes[0], lanes[1], lanes[2], lanes[3]};
  for (; size >= STRIPE; bytes += STRIPE, size -= STRIPE)
    for (int i = 0; i < 4; i++) lane[i] = step(lane[i], bytes + 16 * i, KEYS[2 * i], KEYS[2 * i + 1]);
  std::memcpy(lanes, lane, sizeof lanes);
  std::memcpy(pending, bytes, size);
  used = size;
}

// The last bytes are one more stripe, marked where they end (0x80, then zeros), so that no two streams
// leave the same stripe; the count of bytes goes into both halves.
void CONTENT_HASH::finish(unsigned char out[16]) {
  std::memset(pending + used, 0, STRIPE - used);
  pending[used] = 0x80;
  stripe(pending);
  static const INT_U64 low[4] = {PRIME_1, PRIME_2, PRIME_3, PRIME_4};
  static const INT_U64 high[4] = {PRIME_3 ^ PRIME_5, PRIME_4 ^ PRIME_1, PRIME_5 ^ PRIME_2, PRIME_2 ^ PRIME_3};
  INT_U64 halves[2] = {fold(lanes, low, total, 27), fold(lanes, high, ~total, 23)};
  for (int k = 0; k < 2; k++)
    for (int i = 0; i < 8; i++) out[8 * k + i] = (unsigned char)(halves[k] >> (8 * i));
}

FILE_DIGEST CONTENT_HASH::file_digest() {
  FILE_DIGEST digest;
  INT_U64 size = total;
  finish(digest.bytes);
  for (int i = 0; i < 8; i++) digest.bytes[16 + i] = (unsigned char)(size >> (8 * i));
  digest.taken = true;
  return digest;
}

// The identity of the whole version: every file of every installation (files before an update keeps
// only what it carries), in order, by its path, its rule and the digest of its bytes; a missing_file
// by its path alone. A file's digest is the one taken as it was packed (an update's carried files are
// among its files, in the same order) or compared; only a file that neither read whole is read here.
// The identity is the hash in hexadecimal.
bool PACKER::identify_version() {
  CONTENT_HASH version;
  version.add("velk-version 2", 15);
  std::vector<char> bytes(1 << 16);
  const std::vector<std::vector<TREE_FILE>>& whole = earlier.empty() ? files : version_files;
  for (size_t n = 0; n < whole.size(); n++) {
    std::string head = "installation " + std::to_string(n);
    version.add(head.c_str(), head.size() + 1);
    size_t packed = 0;  // the next of the files packed that may be this one
    for (const TREE_FILE& file : whole[n]) {
      version.add(file.relative.c_str(), file.relative.size() + 1);
      version.add(&file.overwrite, 1);
      if (file.missing) {
        version.add("missing", 8);
        continue;
      }
      FILE_DIGEST digest = file.digest;
      if (&whole != &files) {
        while (packed < files[n].size() && files[n][packed].relative < file.relative) packed++;
        if (packed < files[n].size() && files[n][packed].relative == file.relative && files[n][packed].digest.taken)
          digest = files[n][packed].digest;
      }
      if (!digest.taken) {
        std::ifstream stream(file.host, std::ios::binary);
        if (!stream) return fail(file.host.string() + ": cannot be read");
        CONTENT_HASH sum;
        while (stream) {
          stream.read(bytes.data(), (std::streamsize)bytes.size());
          sum.add(bytes.data(), (size_t)stream.gcount());
        }
        if (!stream.eof()) return fail(file.host.string() + ": cannot be read");
        digest = sum.file_digest();
      }
      version.add(digest.bytes, sizeof digest.bytes);
    }
  }
  unsigned char out[16];
  version.finish(out);
  version_identity.clear();
  for (int i = 0; i < 16; i++)
    version_identity += "0123456789abcdef"[out[i] >> 4], version_identity += "0123456789abcdef"[out[i] & 15];
  return true;
}

}  // namespace package_builder
