#include "sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t kInitialHash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr size_t kFileChunkBytes = 1 << 20;

uint32_t rotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// One 64-byte block into the hash (FIPS 180-4, section 6.2.2).
void compressBlock(uint32_t hash[8], const unsigned char *block) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t)
        w[t] = uint32_t{block[4 * t]} << 24 | uint32_t{block[4 * t + 1]} << 16 |
               uint32_t{block[4 * t + 2]} << 8 | uint32_t{block[4 * t + 3]};
    for (int t = 16; t < 64; ++t) {
        const uint32_t s0 = rotateRight(w[t - 15], 7) ^ rotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const uint32_t s1 = rotateRight(w[t - 2], 17) ^ rotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t v[8];
    std::memcpy(v, hash, sizeof v);
    for (int t = 0; t < 64; ++t) {
        const uint32_t e = v[4], a = v[0];
        const uint32_t t1 = v[7] + (rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25)) +
                            ((e & v[5]) ^ (~e & v[6])) + kRoundConstants[t] + w[t];
        const uint32_t t2 = (rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22)) +
                            ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        v[7] = v[6];
        v[6] = v[5];
        v[5] = v[4];
        v[4] = v[3] + t1;
        v[3] = v[2];
        v[2] = v[1];
        v[1] = v[0];
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) hash[i] += v[i];
}

} // namespace

void sha256Start(Sha256State &state) {
    std::memcpy(state.hash, kInitialHash, sizeof state.hash);
    state.totalBytes = 0;
    state.blockUsed = 0;
}

void sha256Add(Sha256State &state, const unsigned char *bytes, size_t length) {
    state.totalBytes += length;
    while (length > 0) {
        const size_t take = length < 64 - state.blockUsed ? length : 64 - state.blockUsed;
        std::memcpy(state.block + state.blockUsed, bytes, take);
        state.blockUsed += take;
        bytes += take;
        length -= take;
        if (state.blockUsed == 64) {
            compressBlock(state.hash, state.block);
            state.blockUsed = 0;
        }
    }
}

std::string sha256Finish(Sha256State &state) {
    // padding: a 1 bit, zeros up to 56 bytes of the last block, then the
    // message length in bits as a big-endian 64-bit number
    const uint64_t bits = state.totalBytes * 8;
    const unsigned char one = 0x80;
    const unsigned char zero = 0;
    sha256Add(state, &one, 1);
    while (state.blockUsed != 56) sha256Add(state, &zero, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    sha256Add(state, length, 8);
    char hex[65];
    for (int i = 0; i < 8; ++i) std::snprintf(hex + 8 * i, 9, "%08x", static_cast<unsigned>(state.hash[i]));
    return std::string(hex, 64);
}

std::string sha256OfText(const std::string &text) {
    Sha256State state;
    sha256Start(state);
    sha256Add(state, reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return sha256Finish(state);
}

bool sha256OfFile(const std::filesystem::path &path, std::string &digest, uint64_t &bytes,
                  std::string &problem) {
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        problem = "cannot read " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    Sha256State state;
    sha256Start(state);
    std::vector<unsigned char> chunk(kFileChunkBytes);
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) sha256Add(state, chunk.data(), got);
    const bool failed = std::ferror(in) != 0;
    const int reason = errno;
    std::fclose(in);
    if (failed) {
        problem = "reading " + path.string() + " failed: " + std::strerror(reason);
        return false;
    }
    bytes = state.totalBytes;
    digest = sha256Finish(state);
    return true;
}
