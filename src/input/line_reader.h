// Reading the member file line by line, the same way on every platform: the
// file is read as bytes, each "\r\n" becomes "\n" before any length limit
// applies, and every other byte (NUL and 0x1A included) is data.
#pragma once

#include <cstdint>
#include <cstdio>

// A member file: a path, or a block of bytes in memory.
struct MemberSource {
    const char *path;           // read from this file when bytes is null
    const unsigned char *bytes; // the file's bytes in memory, read in place
    int64_t byteCount;          // how many bytes there are
};

struct LineReader {
    std::FILE *file;               // the file, or null when reading memory
    const unsigned char *memory;   // the next bytes in memory, when file is null
    unsigned char buffer[1 << 16]; // bytes read ahead of the line reader
    int32_t start;                 // next unread byte in buffer
    int32_t end;                   // one past the last byte read into buffer
    bool endOfFile;
    bool readFailed;               // the file reported an error before its end
    int64_t remaining;             // bytes still to read; negative: to the file's end
};

// False when the file cannot be opened.
bool openLineReader(LineReader &reader, const char *path);

// Reads only byteCount bytes from firstByte on (a negative count: to the end).
// A range that starts right after a line feed reads the same lines as a
// reader of the whole file does from there.
bool openLineReaderRange(LineReader &reader, const char *path, int64_t firstByte,
                         int64_t byteCount);
bool openSourceRange(LineReader &reader, const MemberSource &source, int64_t firstByte,
                     int64_t byteCount);

// The size of the source in bytes; -1 when its file cannot be opened.
int64_t sourceSize(const MemberSource &source);

// Copies `count` bytes from `first` on into `out`; false when they cannot
// all be read.
bool readSourceBytes(const MemberSource &source, int64_t first, int64_t count, unsigned char *out);

// Reads at most capacity - 1 bytes, stopping after a line feed, and puts a NUL
// after them; the bytes of line beyond the NUL are left as they were. Returns
// the number of bytes read, 0 at the end of the file.
int32_t readLine(LineReader &reader, char *line, int32_t capacity);

// Closes the file; returns the result of closing it (0 on success).
int closeLineReader(LineReader &reader);

// Number of line reads of at most 199 bytes that the file takes. Returns 0, or
// the result of closing the file; a file that cannot be opened counts 0.
int32_t countLineReads(const char *path, int32_t *count);

// The same count for a source, in 64 bits. False when its file cannot be
// opened or read (count 0).
bool countSourceLineReads(const MemberSource &source, int64_t &count);
