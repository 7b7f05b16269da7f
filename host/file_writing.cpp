#include "file_writing.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

std::FILE *openForWriting(const std::filesystem::path &path, std::string &problem) {
    std::FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) problem = "cannot write " + path.string() + ": " + std::strerror(errno);
    return out;
}

bool finishWriting(std::FILE *out, bool written, const std::filesystem::path &path, std::string &problem) {
    // the reason of the first failure: a write's, else the flush's
    const int writeReason = errno;
    const bool flushed = written && std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    const int flushReason = errno;
    const bool closed = std::fclose(out) == 0;
    if (flushed && closed) return true;
    const int reason = !written ? writeReason : !flushed ? flushReason : errno;
    problem = "cannot write " + path.string() + ": " + std::strerror(reason);
    return false;
}

bool writeWholeFile(const std::filesystem::path &path, const std::string &text, std::string &problem) {
    std::FILE *out = openForWriting(path, problem);
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return finishWriting(out, written, path, problem);
}
