// SHA-256 of a file or of bytes in memory, as 64 lower-case hex digits: the
// run record names the exact basis and member file it valued.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

struct Sha256State {
    uint32_t hash[8];
    uint64_t totalBytes;
    unsigned char block[64];
    size_t blockUsed;
};

void sha256Start(Sha256State &state);
void sha256Add(Sha256State &state, const unsigned char *bytes, size_t length);
std::string sha256Finish(Sha256State &state);

std::string sha256OfText(const std::string &text);

// The digest and the number of bytes read; false with the file and the
// system's reason in problem when it cannot be read to its end.
bool sha256OfFile(const std::filesystem::path &path, std::string &digest, uint64_t &bytes,
                  std::string &problem);
