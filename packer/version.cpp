// The identity of a version: a digest (SHA-256) of what its installations install, each file's path
// below its files folder, its overwrite rule and its bytes. The same files give the same identity
// whatever else the description says and whenever they are packed; an update names the identity of the
// whole version it brings, taken from all of that version's files, carried or not.
#include <cstring>
#include <fstream>

#include "packer_private.h"

namespace package_builder {

namespace {

// SHA-256 (FIPS 180-4).
class SHA256 {
public:
  void add(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    total += size;
    while (size > 0) {
      size_t take = size < 64 - used ? size : 64 - used;
      std::memcpy(block + used, bytes, take);
      used += take;
      bytes += take;
      size -= take;
      if (used == 64) {
        compress();
        used = 0;
      }
    }
  }
  void finish(unsigned char out[32]) {
    INT_U64 bits = total * 8;
    unsigned char pad = 0x80;
    add(&pad, 1);
    pad = 0;
    while (used != 56) add(&pad, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; i++) length[i] = (unsigned char)(bits >> (56 - 8 * i));
    add(length, 8);
    for (int i = 0; i < 8; i++)
      for (int k = 0; k < 4; k++) out[4 * i + k] = (unsigned char)(state[i] >> (24 - 8 * k));
  }

private:
  INT_U32 state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char block[64];
  size_t used = 0;
  INT_U64 total = 0;

  static INT_U32 rotate(INT_U32 x, int n) { return (x >> n) | (x << (32 - n)); }
  void compress() {
    static const INT_U32 k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    INT_U32 w[64];
    for (int i = 0; i < 16; i++)
      w[i] = (INT_U32)block[4 * i] << 24 | (INT_U32)block[4 * i + 1] << 16 | (INT_U32)block[4 * i + 2] << 8 |
             block[4 * i + 3];
    for (int i = 16; i < 64; i++) {
      INT_U32 s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
      INT_U32 s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    INT_U32 a = state[0], b = state[1], c = state[2], d = state[3], e = state[4], f = state[5], g = state[6],
            h = state[7];
    for (int i = 0; i < 64; i++) {
      INT_U32 t1 = h + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      INT_U32 t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    INT_U32 add[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; i++) state[i] += add[i];
  }
};

}  // namespace

std::string sha256_hex(const std::string& bytes) {
  SHA256 sum;
  sum.add(bytes.data(), bytes.size());
  unsigned char out[32];
  sum.finish(out);
  std::string hex;
  for (unsigned char byte : out) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
  return hex;
}

// The identity of the whole version: every file of every installation (files before an update keeps
// only what it carries), in order, by its path, its rule and the digest of its bytes; a missing_file
// by its path alone. The bytes are read from the files of the tree, each file once. The identity is the
// first 128 bits of the digest, in hexadecimal.
bool PACKER::identify_version() {
  SHA256 version;
  version.add("velk-version 1", 15);
  std::unordered_map<fs::path::string_type, std::string> digests;  // by real path
  std::vector<char> bytes(1 << 16);
  for (size_t n = 0; n < version_files.size(); n++) {
    std::string head = "installation " + std::to_string(n);
    version.add(head.c_str(), head.size() + 1);
    for (const TREE_FILE& file : version_files[n]) {
      std::string name = system_name(file.relative);
      version.add(name.c_str(), name.size() + 1);
      version.add(&file.overwrite, 1);
      if (file.missing) {
        version.add("missing", 8);
        continue;
      }
      std::string& digest = digests[file.real.native()];
      if (digest.empty()) {
        std::ifstream stream(file.host, std::ios::binary);
        if (!stream) return fail(file.host.string() + ": cannot be read");
        SHA256 sum;
        INT_U64 size = 0;
        while (stream) {
          stream.read(bytes.data(), (std::streamsize)bytes.size());
          sum.add(bytes.data(), (size_t)stream.gcount());
          size += (INT_U64)stream.gcount();
        }
        if (!stream.eof()) return fail(file.host.string() + ": cannot be read");
        unsigned char out[32];
        sum.finish(out);
        digest.assign((const char*)out, 32);
        for (int i = 0; i < 8; i++) digest += (char)(size >> (8 * i));
      }
      version.add(digest.data(), digest.size());
    }
  }
  unsigned char out[32];
  version.finish(out);
  version_identity.clear();
  for (int i = 0; i < 16; i++)
    version_identity += "0123456789abcdef"[out[i] >> 4], version_identity += "0123456789abcdef"[out[i] & 15];
  return true;
}

}  // namespace package_builder
