// The member file read as bytes, with "\r\n" folded into "\n" as the bytes are
// handed out, so that a line limit counts the line feed as one byte whatever
// line ends the file was written with.
#include "input/line_reader.h"

#include <cstring>

#include <sys/types.h>

namespace {

constexpr int32_t kReaderBufferSize = static_cast<int32_t>(sizeof(LineReader::buffer));
constexpr int32_t kCountLineCapacity = 200; // the counting reads at most 199 bytes at a time

// Moves the unread bytes to the front of the buffer and reads behind them.
// False when no unread byte is left afterwards.
bool refillLineReader(LineReader &reader) {
    const int32_t kept = reader.end - reader.start;
    if (kept > 0 && reader.start > 0) {
        std::memmove(reader.buffer, reader.buffer + reader.start, static_cast<size_t>(kept));
    }
    reader.start = 0;
    reader.end = kept;
    if (!reader.endOfFile) {
        size_t wanted = static_cast<size_t>(kReaderBufferSize - kept);
        if (reader.remaining >= 0 && static_cast<uint64_t>(reader.remaining) < wanted) {
            wanted = static_cast<size_t>(reader.remaining);
        }
        size_t got = 0;
        if (reader.file != nullptr) {
            got = std::fread(reader.buffer + kept, 1, wanted, reader.file);
            // A short read on a file means its end (or a read error): nothing more comes.
            if (got < wanted) {
                reader.endOfFile = true;
                if (std::ferror(reader.file)) reader.readFailed = true;
            }
        } else {
            // memory is read with a count always: the range says how much
            got = wanted;
            std::memcpy(reader.buffer + kept, reader.memory, got);
            reader.memory += got;
        }
        if (reader.remaining >= 0) {
            reader.remaining -= static_cast<int64_t>(got);
            if (reader.remaining == 0) reader.endOfFile = true;
        }
        reader.end = kept + static_cast<int32_t>(got);
    }
    return reader.end > reader.start;
}

int seekTo(std::FILE *file, int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

} // namespace

bool openLineReader(LineReader &reader, const char *path) {
    reader.file = std::fopen(path, "rb");
    reader.memory = nullptr;
    reader.start = 0;
    reader.end = 0;
    reader.endOfFile = false;
    reader.readFailed = false;
    reader.remaining = -1;
    return reader.file != nullptr;
}

bool openSourceRange(LineReader &reader, const MemberSource &source, int64_t firstByte,
                     int64_t byteCount) {
    if (source.bytes == nullptr) return openLineReaderRange(reader, source.path, firstByte, byteCount);
    reader.file = nullptr;
    reader.start = 0;
    reader.end = 0;
    reader.readFailed = false;
    // a range is kept inside the block whatever it asks for
    const int64_t first = firstByte < 0 ? 0 : (firstByte > source.byteCount ? source.byteCount : firstByte);
    const int64_t left = source.byteCount - first;
    reader.memory = source.bytes + first;
    reader.remaining = byteCount < 0 || byteCount > left ? left : byteCount;
    reader.endOfFile = reader.remaining == 0;
    return true;
}

int64_t sourceSize(const MemberSource &source) {
    if (source.bytes != nullptr) return source.byteCount;
    std::FILE *file = std::fopen(source.path, "rb");
    if (file == nullptr) return -1;
#if defined(_WIN32)
    const int64_t size = _fseeki64(file, 0, SEEK_END) == 0 ? _ftelli64(file) : -1;
#else
    const int64_t size = fseeko(file, 0, SEEK_END) == 0 ? static_cast<int64_t>(ftello(file)) : -1;
#endif
    std::fclose(file);
    return size;
}

bool readSourceBytes(const MemberSource &source, int64_t first, int64_t count, unsigned char *out) {
    if (count <= 0) return true;
    if (source.bytes != nullptr) {
        if (first < 0 || first + count > source.byteCount) return false;
        std::memcpy(out, source.bytes + first, static_cast<size_t>(count));
        return true;
    }
    std::FILE *file = std::fopen(source.path, "rb");
    if (file == nullptr) return false;
    const bool read = seekTo(file, first) == 0 &&
                      std::fread(out, 1, static_cast<size_t>(count), file) == static_cast<size_t>(count);
    std::fclose(file);
    return read;
}

bool openLineReaderRange(LineReader &reader, const char *path, int64_t firstByte,
                         int64_t byteCount) {
    if (!openLineReader(reader, path)) return false;
    if (firstByte > 0 && seekTo(reader.file, firstByte) != 0) {
        closeLineReader(reader);
        return false;
    }
    reader.remaining = byteCount;
    return true;
}

int32_t readLine(LineReader &reader, char *line, int32_t capacity) {
    if (capacity <= 0) return 0;
    const int32_t limit = capacity - 1;
    int32_t length = 0;
    while (length < limit) {
        if (reader.start == reader.end && !refillLineReader(reader)) break;
        unsigned char byte = reader.buffer[reader.start];
        if (byte == '\r') {
            // A carriage return that ends the bytes read so far may be the first
            // half of a "\r\n" split between two reads: look at the next byte.
            if (reader.start + 1 == reader.end) refillLineReader(reader);
            if (reader.start + 1 < reader.end && reader.buffer[reader.start + 1] == '\n') {
                ++reader.start;
                byte = '\n';
            }
            // Otherwise a lone carriage return is an ordinary data byte.
        }
        ++reader.start;
        line[length++] = static_cast<char>(byte);
        if (byte == '\n') break;
    }
    line[length] = '\0';
    return length;
}

int closeLineReader(LineReader &reader) {
    if (reader.file == nullptr) return 0; // memory: nothing to close
    const int result = std::fclose(reader.file);
    reader.file = nullptr;
    return result;
}

namespace {

constexpr int64_t kCountReadBytes = kCountLineCapacity - 1;
static_assert(kCountLineCapacity - 1 == 199);

// What reads of at most 199 bytes give, fed a chunk at a time without
// copying: a line of L bytes with its line feed ("\r\n" counting as the one
// byte it becomes) takes ceil(L / 199) reads, a last line without a line
// feed ceil(L / 199) as well, an empty file none.
struct ReadCounter {
    uint32_t reads = 0;         // wraps rather than overflows past 2^32 reads
    uint64_t wideReads = 0;     // the same count in 64 bits
    int64_t lineBytes = 0;      // bytes of the current line so far, after folding
    bool pendingReturn = false; // the last byte seen was a carriage return
};

void addLineReads(ReadCounter &counter) {
    const int64_t reads = (counter.lineBytes + kCountReadBytes - 1) / kCountReadBytes;
    counter.reads += static_cast<uint32_t>(reads);
    counter.wideReads += static_cast<uint64_t>(reads);
}

void countChunk(ReadCounter &counter, const unsigned char *at, const unsigned char *end) {
    while (at < end) {
        const unsigned char *feed =
            static_cast<const unsigned char *>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        const unsigned char *stop = feed != nullptr ? feed : end;
        if (stop > at) {
            // a carriage return held back from before is data after all
            counter.lineBytes += (counter.pendingReturn ? 1 : 0) + (stop - at);
            counter.pendingReturn = stop[-1] == '\r';
            if (counter.pendingReturn) --counter.lineBytes; // it may be the first half of "\r\n"
        }
        if (feed == nullptr) break;
        // "\r\n" folds into the line feed: the held-back return is dropped
        counter.pendingReturn = false;
        counter.lineBytes += 1;
        addLineReads(counter);
        counter.lineBytes = 0;
        at = feed + 1;
    }
}

void finishCount(ReadCounter &counter) {
    if (counter.pendingReturn) counter.lineBytes += 1;
    if (counter.lineBytes > 0) addLineReads(counter);
}

} // namespace

int32_t countLineReads(const char *path, int32_t *count) {
    *count = 0;
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    ReadCounter counter;
    unsigned char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) countChunk(counter, chunk, chunk + got);
    finishCount(counter);
    *count = static_cast<int32_t>(counter.reads);
    return std::fclose(file);
}

bool countSourceLineReads(const MemberSource &source, int64_t &count) {
    count = 0;
    ReadCounter counter;
    if (source.bytes != nullptr) {
        countChunk(counter, source.bytes, source.bytes + source.byteCount);
    } else {
        std::FILE *file = std::fopen(source.path, "rb");
        if (file == nullptr) return false;
        unsigned char chunk[1 << 16];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) countChunk(counter, chunk, chunk + got);
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed) return false;
    }
    finishCount(counter);
    count = static_cast<int64_t>(counter.wideReads);
    return true;
}
