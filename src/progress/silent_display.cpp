#include "progress/cancel_signal.h"
#include "progress/progress_display.h"

namespace {

void ignoreText(void *, const wchar_t *) {}
void ignoreState(void *) {}
void ignoreProgress(void *, int32_t, int32_t) {}
bool interrupted(void *) { return cancelRequested(); }

} // namespace

bool openSilentDisplay(ProgressDisplay &display) {
    display = ProgressDisplay{nullptr,      ignoreText,  ignoreText,  ignoreState, ignoreText,
                              ignoreProgress, interrupted, ignoreState, ignoreState};
    return true;
}
