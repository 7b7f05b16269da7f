// The library's entry point on Windows: the loader calls it when a process or
// thread attaches or detaches. Every notification initialises COM on the
// thread that receives it, so that the progress dialog can be created on
// whichever thread the host calls from; each run ends with one
// CoUninitialize, and nothing else balances them.
#if defined(_WIN32)

#include <windows.h>
#include <objbase.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD /*reason*/, LPVOID /*reserved*/) {
    // the result is of no use here: a thread already in another apartment
    // keeps it, and the run goes on without a dialog if creation then fails
    CoInitialize(nullptr);
    return TRUE;
}

#endif
