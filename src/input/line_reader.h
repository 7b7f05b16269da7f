// Reading the member file line by line, the same way on every platform: the
// file is read as bytes, each "\r\n" becomes "\n" before any length limit
// applies, and every other byte (NUL and 0x1A included) is data.
#pragma once

#include <cstdint>
#include <cstdio>

struct LineReader {
    std::FILE *file;
    unsigned char buffer[1 << 16]; // bytes read ahead of the line reader
    int32_t start;                 // next unread byte in buffer
    int32_t end;                   // one past the last byte read into buffer
    bool endOfFile;
    int64_t remaining;             // bytes of the file still to read; negative: to its end
};

// False when the file cannot be opened.
bool openLineReader(LineReader &reader, const char *path);

// Reads only byteCount bytes from firstByte on (a negative count: to the end).
// A range that starts right after a line feed reads the same lines as a
// reader of the whole file does from there.
bool openLineReaderRange(LineReader &reader, const char *path, int64_t firstByte,
                         int64_t byteCount);

// Reads at most capacity - 1 bytes, stopping after a line feed, and puts a NUL
// after them; the bytes of line beyond the NUL are left as they were. Returns
// the number of bytes read, 0 at the end of the file.
int32_t readLine(LineReader &reader, char *line, int32_t capacity);

// Closes the file; returns the result of closing it (0 on success).
int closeLineReader(LineReader &reader);

// Number of line reads of at most 199 bytes that the file takes. Returns 0, or
// the result of closing the file; a file that cannot be opened counts 0.
int32_t countLineReads(const char *path, int32_t *count);
