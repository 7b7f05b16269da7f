// A valued piece of the member file as bytes, for a run whose pieces are
// valued by several processes: its arrays, a valuation's sums and rows, its
// counters, what its last line carries over, and its listing and error
// lines. The joining process reads it back into the piece's results and
// joins it where it would have joined a piece of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/piece_valuation.h"

// What an image says about the run and the piece it belongs to.
struct PieceImageLabel {
    int32_t run;       // 0 the definition's run, k the k-th rerun
    int64_t piece;     // from 0, in the member file
    bool withValuation; // the run sums a valuation beside the arrays
};

// Writes the image of a valued piece into `image` (replacing what it held).
// False when there is not the memory for it.
bool writePieceImage(const PieceImageLabel &label, const PieceResults &piece, const std::string &listing,
                     const std::string &errors, std::vector<char> &image);

// Reads an image back into `piece` (arrays allocated), `listing` and
// `errors`. False, with the reason in `message`, when the bytes are not the
// image of that piece of that run by a build of this layout and byte order,
// or the memory is lacking.
bool readPieceImage(const void *bytes, int64_t size, const PieceImageLabel &label, PieceResults &piece,
                    std::string &listing, std::string &errors, char *message, size_t messageSize);
