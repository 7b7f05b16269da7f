#include "progress/cancel_signal.h"

#include <csignal>

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace {

volatile std::sig_atomic_t interruptReceived = 0;

extern "C" void onInterrupt(int) { interruptReceived = 1; }

} // namespace

bool cancelRequested() { return interruptReceived != 0; }

#if defined(_WIN32)

void beginCancelSignal(CancelSignalScope &scope) {
    scope = CancelSignalScope{};
    interruptReceived = 0;
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);
    if (previous == SIG_IGN) {
        // the host ignores Ctrl-C: leave it so
        std::signal(SIGINT, SIG_IGN);
        return;
    }
    scope.installed = true;
    scope.hostHandler = previous != SIG_DFL && previous != SIG_ERR;
    scope.previous = reinterpret_cast<void *>(previous);
}

void endCancelSignal(CancelSignalScope &scope) {
    if (!scope.installed) return;
    std::signal(SIGINT, reinterpret_cast<void (*)(int)>(scope.previous));
    if (interruptReceived && scope.hostHandler) std::raise(SIGINT);
    scope.installed = false;
}

#else

namespace {
struct sigaction savedAction;
}

void beginCancelSignal(CancelSignalScope &scope) {
    scope = CancelSignalScope{};
    interruptReceived = 0;
    struct sigaction previous {};
    if (sigaction(SIGINT, nullptr, &previous) != 0) return;
    // the host ignores Ctrl-C: leave it so
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) return;
    struct sigaction ours {};
    ours.sa_handler = onInterrupt;
    sigemptyset(&ours.sa_mask);
    if (sigaction(SIGINT, &ours, &savedAction) != 0) return;
    scope.installed = true;
    scope.hostHandler = (savedAction.sa_flags & SA_SIGINFO) || savedAction.sa_handler != SIG_DFL;
    scope.previous = &savedAction;
}

void endCancelSignal(CancelSignalScope &scope) {
    if (!scope.installed) return;
    sigaction(SIGINT, static_cast<struct sigaction *>(scope.previous), nullptr);
    // with the default disposition a re-raised SIGINT would kill the host
    if (interruptReceived && scope.hostHandler) raise(SIGINT);
    scope.installed = false;
}

#endif
