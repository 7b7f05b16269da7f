#include <cstdio>
#include <new>

#include "progress/cancel_signal.h"
#include "progress/progress_display.h"

namespace {

constexpr int kBarWidth = 40;

struct TerminalState {
    char title[kProgressLineChars];       // shown once, at start
    char cancelMessage[kProgressLineChars];
    char line[kProgressLineChars];        // the progress text
    int32_t completed;
    int32_t total;
    bool haltShown;  // the cancel message has been printed
    bool drawn;      // a bar stands on the current terminal line
};

// The display's texts are plain ASCII; anything else shows as '?'.
void narrow(const wchar_t *text, char (&out)[kProgressLineChars]) {
    size_t i = 0;
    for (; text != nullptr && text[i] != L'\0' && i + 1 < kProgressLineChars; ++i) {
        // wchar_t is signed on some platforms and unsigned on others
        const uint32_t code = static_cast<uint32_t>(text[i]);
        out[i] = code < 128 ? static_cast<char>(code) : '?';
    }
    out[i] = '\0';
}

// Share of completed/total in whole percent, clamped to 0..100.
int percentDone(int32_t completed, int32_t total) {
    if (total <= 0) return completed > 0 ? 100 : 0;
    const double share = 100.0 * static_cast<double>(completed) / static_cast<double>(total);
    if (!(share > 0.0)) return 0;
    if (share >= 100.0) return 100;
    return static_cast<int>(share);
}

void drawBar(TerminalState &state) {
    const int percent = percentDone(state.completed, state.total);
    const int filled = percent * kBarWidth / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", state.line, bar, percent);
    std::fflush(stderr);
    state.drawn = true;
}

TerminalState &stateOf(void *state) { return *static_cast<TerminalState *>(state); }

void setTitle(void *state, const wchar_t *title) { narrow(title, stateOf(state).title); }
void setCancelMessage(void *state, const wchar_t *message) {
    narrow(message, stateOf(state).cancelMessage);
}
void start(void *state) {
    std::fprintf(stderr, "%s\n", stateOf(state).title);
    std::fflush(stderr);
}
void setLine(void *state, const wchar_t *text) {
    narrow(text, stateOf(state).line);
    drawBar(stateOf(state));
}
void setProgress(void *state, int32_t completed, int32_t total) {
    TerminalState &terminal = stateOf(state);
    terminal.completed = completed;
    terminal.total = total;
    drawBar(terminal);
}
bool hasUserCancelled(void *state) {
    TerminalState &terminal = stateOf(state);
    if (!cancelRequested()) return false;
    if (!terminal.haltShown) {
        std::fprintf(stderr, "%s%s\n", terminal.drawn ? "\n" : "", terminal.cancelMessage);
        std::fflush(stderr);
        terminal.haltShown = true;
        terminal.drawn = false;
    }
    return true;
}
void stop(void *state) {
    TerminalState &terminal = stateOf(state);
    // A run that was not halted has read its whole file: the last drawing
    // shows it complete, not the count of the last check.
    if (!terminal.haltShown && terminal.total > terminal.completed) terminal.completed = terminal.total;
    drawBar(terminal);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
void release(void *state) { delete static_cast<TerminalState *>(state); }

} // namespace

bool openTerminalDisplay(ProgressDisplay &display) {
    TerminalState *state = new (std::nothrow) TerminalState{};
    if (state == nullptr) return false;
    display = ProgressDisplay{state,       setTitle,         setCancelMessage, start, setLine,
                              setProgress, hasUserCancelled, stop,             release};
    return true;
}
