// Ctrl-C during a run asks the run to stop at its next progress check. For
// the length of one call the library handles SIGINT itself, and hands the
// interruption back to the host when the call returns.
#pragma once

struct CancelSignalScope {
    bool installed;     // the library's handler is in place
    bool hostHandler;   // the host had a handler function of its own
    void *previous;     // the host's disposition, restored at the end
};

// Installs the handler unless the host ignores SIGINT.
void beginCancelSignal(CancelSignalScope &scope);
// Restores the host's disposition; if a SIGINT arrived and the host had a
// handler function, raises SIGINT once more so that the host learns of it.
void endCancelSignal(CancelSignalScope &scope);

// True once the user pressed Ctrl-C during the current call.
bool cancelRequested();
