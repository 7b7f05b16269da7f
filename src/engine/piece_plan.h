// The member file's pieces: fixed runs of bytes, each moved to start right
// after a line feed, so that the plan depends on the file alone (never on the
// number of jobs or the machine) and a piece reads the same lines as a reader
// of the whole file does from there.
#pragma once

#include <cstdint>

#include "input/line_reader.h"
#include "input/member_parser.h"

// The member number and status a line carries over to the next, byte for
// byte as the record holds them.
struct MemberIdentity {
    char memberNumber[11];
    char statusCode[6];
};

struct PieceBounds {
    int64_t firstByte; // right after a line feed, or 0
    int64_t endByte;   // the next piece's first byte, or the file's size
};

// Pieces of `pieceBytes` bytes for a file of `size` bytes: piece k holds the
// lines that start in bytes [k * pieceBytes, (k + 1) * pieceBytes). None for
// an empty file; a piece may be empty (a line longer than a piece).
int64_t pieceCount(int64_t size, int64_t pieceBytes);

// The first byte of the first line that starts at or after `position`.
// False when the source cannot be read there.
bool lineStartAtOrAfter(const MemberSource &source, int64_t size, int64_t position, int64_t &start);

// Bounds of piece `index`. False when the source cannot be read.
bool pieceBounds(const MemberSource &source, int64_t size, int64_t pieceBytes, int64_t index,
                 PieceBounds &bounds);

// The member number and status that the lines of `window` (whole lines that
// end right before the piece) leave behind, found from the end: a line whose
// reading gives the same field whatever it carried in sets that field
// itself. False when the window's lines do not settle both; `identity` then
// holds nothing of use.
bool identityFromWindow(const unsigned char *window, int64_t windowBytes, const LineLayout &layout,
                        MemberIdentity &identity);

// The identity the lines of [0, length) at `bytes` leave behind when their
// first line starts from `carried`, read as a run reads them.
MemberIdentity identityAfterLines(const unsigned char *bytes, int64_t length, const LineLayout &layout,
                                  const MemberIdentity &carried);

// The member number and status piece `index` starts from, found without the
// pieces before it being valued: from the lines of the last piece before it
// whose lines settle them, read on through the pieces after that one (from
// nothing at the file's start). False when the source cannot be read.
bool identityBeforePiece(const MemberSource &source, int64_t size, int64_t pieceBytes, int64_t index,
                         const LineLayout &layout, MemberIdentity &identity);
