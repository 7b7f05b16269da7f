// The progress of a run on the terminal: a bar on standard error while the
// engine values members, drawn only when standard error is a terminal.
#pragma once

#include <cstdint>

struct ProgressBar {
    bool shown;       // standard error is a terminal
    bool drawn;       // a bar stands on the current terminal line
    int lastPercent;  // the percentage last drawn
};

void startProgressBar(ProgressBar &bar, int64_t memberLines);
void drawProgressBar(ProgressBar &bar, int64_t membersDone, int64_t memberTotal);
// Ends the bar's line; a run that read its whole file shows it complete.
void endProgressBar(ProgressBar &bar, bool complete);
