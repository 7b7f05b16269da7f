// Which display a run gets on this platform.
#include "progress/progress_display.h"

#if defined(_WIN32)

// The shell's dialog; where it cannot be created the run goes on without a
// display, with no progress shown and no way to cancel.
bool openProgressDisplay(ProgressDisplay &display) { return openShellDialogDisplay(display); }

#else

#include <unistd.h>

// A terminal gets a bar; a run whose standard error goes elsewhere (a file, a
// pipe, a test) shows nothing but still stops on Ctrl-C.
bool openProgressDisplay(ProgressDisplay &display) {
    if (isatty(STDERR_FILENO) && openTerminalDisplay(display)) return true;
    return openSilentDisplay(display);
}

#endif
