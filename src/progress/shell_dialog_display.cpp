// The Windows shell's own progress dialog, reached through COM: the title,
// the cancel message, one line of text, a bar of completed/total and the
// Cancel button the user stops the run with. The waits around it give the
// shell's dialog thread time to draw and to show the cancel message.
#if defined(_WIN32)

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <new>

#include "progress/progress_display.h"

namespace {

// {F8383852-FCD3-11D1-A6B9-006097DF5BD4}: the shell's progress dialog.
const CLSID kProgressDialogClass = {
    0xF8383852, 0xFCD3, 0x11D1, {0xA6, 0xB9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
// {EBBC7C04-315E-11D2-B62F-006097DF5BD4}: IProgressDialog.
const IID kProgressDialogInterface = {
    0xEBBC7C04, 0x315E, 0x11D2, {0xB6, 0x2F, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

constexpr DWORD kStartWaitMs = 100;   // after the dialog is started
constexpr DWORD kCheckWaitMs = 100;   // at a progress check that goes on
constexpr DWORD kCancelWaitMs = 1000; // when the user has cancelled
constexpr DWORD kTextLine = 1;        // the dialog's first text line

struct ShellDialogState {
    IProgressDialog *dialog; // the shell's object, released at the end
    int32_t completed;       // members done at the last progress update
    int32_t lastWaited;      // members done at the last check that waited
    bool hasWaited;          // some check has waited during this run
};

ShellDialogState &stateOf(void *state) { return *static_cast<ShellDialogState *>(state); }

void setTitle(void *state, const wchar_t *title) { stateOf(state).dialog->SetTitle(title); }

void setCancelMessage(void *state, const wchar_t *message) {
    stateOf(state).dialog->SetCancelMsg(message, nullptr);
}

void start(void *state) {
    stateOf(state).dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_NORMAL, nullptr);
    Sleep(kStartWaitMs);
}

void setLine(void *state, const wchar_t *text) {
    // long texts are shortened by the shell, as it shortens paths
    stateOf(state).dialog->SetLine(kTextLine, text, TRUE, nullptr);
}

void setProgress(void *state, int32_t completed, int32_t total) {
    ShellDialogState &shell = stateOf(state);
    shell.completed = completed;
    // the counters are the host's 32-bit integers, passed on bit for bit
    shell.dialog->SetProgress(static_cast<DWORD>(completed), static_cast<DWORD>(total));
}

bool hasUserCancelled(void *state) {
    ShellDialogState &shell = stateOf(state);
    if (shell.dialog->HasUserCancelled()) {
        // leave the cancel message up long enough to be read
        Sleep(kCancelWaitMs);
        return true;
    }
    // Rejected lines do not move the members done, so the checks of a run of
    // them all fall on one count: only the first of them waits, and a file of
    // bad lines does not stall the run for 100 ms a line.
    if (!shell.hasWaited || shell.completed != shell.lastWaited) {
        Sleep(kCheckWaitMs);
        shell.lastWaited = shell.completed;
        shell.hasWaited = true;
    }
    return false;
}

void stop(void *state) { stateOf(state).dialog->StopProgressDialog(); }

void release(void *state) {
    ShellDialogState *shell = static_cast<ShellDialogState *>(state);
    shell->dialog->Release();
    delete shell;
}

} // namespace

bool openShellDialogDisplay(ProgressDisplay &display) {
    IProgressDialog *dialog = nullptr;
    const HRESULT created = CoCreateInstance(kProgressDialogClass, nullptr, CLSCTX_INPROC_SERVER,
                                             kProgressDialogInterface,
                                             reinterpret_cast<void **>(&dialog));
    // no shell dialog on this machine (or COM unusable on this thread)
    if (FAILED(created) || dialog == nullptr) return false;
    ShellDialogState *state = new (std::nothrow) ShellDialogState{dialog, 0, 0, false};
    if (state == nullptr) {
        dialog->Release();
        return false;
    }
    display = ProgressDisplay{state,       setTitle,         setCancelMessage, start, setLine,
                              setProgress, hasUserCancelled, stop,             release};
    return true;
}

#endif
