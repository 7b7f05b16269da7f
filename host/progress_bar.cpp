#include "progress_bar.h"

#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kBarWidth = 40;

// Share of done/total in whole percent, clamped to 0..100.
int percentOf(int64_t done, int64_t total) {
    if (total <= 0) return done > 0 ? 100 : 0;
    const double share = 100.0 * static_cast<double>(done) / static_cast<double>(total);
    if (!(share > 0.0)) return 0;
    if (share >= 100.0) return 100;
    return static_cast<int>(share);
}

void draw(ProgressBar &bar, int percent) {
    char line[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) line[i] = i < filled ? '#' : '.';
    line[kBarWidth] = '\0';
    std::fprintf(stderr, "\rValuing members [%s] %3d%%", line, percent);
    std::fflush(stderr);
    bar.drawn = true;
    bar.lastPercent = percent;
}

} // namespace

void startProgressBar(ProgressBar &bar, int64_t memberLines) {
    bar = ProgressBar{isatty(STDERR_FILENO) != 0, false, -1};
    if (!bar.shown) return;
    std::fprintf(stderr, "%lld member lines\n", static_cast<long long>(memberLines));
    draw(bar, 0);
}

void drawProgressBar(ProgressBar &bar, int64_t membersDone, int64_t memberTotal) {
    if (!bar.shown) return;
    const int percent = percentOf(membersDone, memberTotal);
    if (percent != bar.lastPercent) draw(bar, percent);
}

void endProgressBar(ProgressBar &bar, bool complete) {
    if (!bar.shown) return;
    if (complete) draw(bar, 100);
    if (bar.drawn) std::fputc('\n', stderr);
    std::fflush(stderr);
    bar.drawn = false;
}
