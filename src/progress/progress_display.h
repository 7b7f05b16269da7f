// A progress display: what a run shows while it reads members, and how the
// user asks it to stop. A plain table of operations over a display's state,
// so that a terminal, a silent run and a platform dialog can stand in for
// each other.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProgressDisplay {
    void *state;
    void (*setTitle)(void *state, const wchar_t *title);
    void (*setCancelMessage)(void *state, const wchar_t *message);
    void (*start)(void *state);
    void (*setLine)(void *state, const wchar_t *text);
    void (*setProgress)(void *state, int32_t completed, int32_t total);
    bool (*hasUserCancelled)(void *state);
    void (*stop)(void *state);
    void (*release)(void *state);
};

constexpr size_t kProgressLineChars = 260;
extern const wchar_t kProgressTitle[];
extern const wchar_t kCancelMessage[];

// The progress text for a member total, as the display shows it.
void formatProgressText(int32_t memberTotal, wchar_t (&text)[kProgressLineChars]);

// A display for this run: on Windows the shell's progress dialog; elsewhere
// the terminal's when standard error is a terminal, otherwise a silent one.
// Returns false when none could be made.
bool openProgressDisplay(ProgressDisplay &display);

// Draws on standard error: the title, the progress text and a bar.
bool openTerminalDisplay(ProgressDisplay &display);
// Shows nothing; still answers the cancel query.
bool openSilentDisplay(ProgressDisplay &display);
// The Windows shell's progress dialog (Windows only). False when the shell's
// component cannot be created.
bool openShellDialogDisplay(ProgressDisplay &display);
