#include "engine/worker_threads.h"

#include <new>

#if defined(_WIN32)

#include <windows.h>

namespace {

struct PlatformLock {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
};

struct ThreadStart {
    void (*work)(void *);
    void *argument;
};

DWORD WINAPI threadMain(LPVOID parameter) {
    ThreadStart *start = static_cast<ThreadStart *>(parameter);
    start->work(start->argument);
    delete start;
    return 0;
}

PlatformLock &platformOf(PoolLock &lock) { return *static_cast<PlatformLock *>(lock.platform); }

} // namespace

bool makePoolLock(PoolLock &lock) {
    PlatformLock *made = new (std::nothrow) PlatformLock;
    if (made == nullptr) return false;
    InitializeSRWLock(&made->lock);
    InitializeConditionVariable(&made->changed);
    lock.platform = made;
    return true;
}
void freePoolLock(PoolLock &lock) { delete static_cast<PlatformLock *>(lock.platform); }
void lockPool(PoolLock &lock) { AcquireSRWLockExclusive(&platformOf(lock).lock); }
void unlockPool(PoolLock &lock) { ReleaseSRWLockExclusive(&platformOf(lock).lock); }
void waitPool(PoolLock &lock, int32_t milliseconds) {
    SleepConditionVariableSRW(&platformOf(lock).changed, &platformOf(lock).lock,
                              static_cast<DWORD>(milliseconds), 0);
}
void wakePool(PoolLock &lock) { WakeAllConditionVariable(&platformOf(lock).changed); }

int32_t startWorkers(WorkerGroup &group, int32_t count, void (*work)(void *), void *argument) {
    group.started = 0;
    for (int32_t i = 0; i < count && i < kMostThreads; ++i) {
        ThreadStart *start = new (std::nothrow) ThreadStart{work, argument};
        if (start == nullptr) break;
        HANDLE thread = CreateThread(nullptr, 0, threadMain, start, 0, nullptr);
        if (thread == nullptr) {
            delete start;
            break;
        }
        group.handles[group.started++] = thread;
    }
    return group.started;
}

void joinWorkers(WorkerGroup &group) {
    for (int32_t i = 0; i < group.started; ++i) {
        WaitForSingleObject(static_cast<HANDLE>(group.handles[i]), INFINITE);
        CloseHandle(static_cast<HANDLE>(group.handles[i]));
    }
    group.started = 0;
}

int32_t machineCores() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
}

#else

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct PlatformLock {
    std::mutex lock;
    std::condition_variable changed;
};

PlatformLock &platformOf(PoolLock &lock) { return *static_cast<PlatformLock *>(lock.platform); }

} // namespace

bool makePoolLock(PoolLock &lock) {
    lock.platform = new (std::nothrow) PlatformLock;
    return lock.platform != nullptr;
}
void freePoolLock(PoolLock &lock) { delete static_cast<PlatformLock *>(lock.platform); }
void lockPool(PoolLock &lock) { platformOf(lock).lock.lock(); }
void unlockPool(PoolLock &lock) { platformOf(lock).lock.unlock(); }
void waitPool(PoolLock &lock, int32_t milliseconds) {
    PlatformLock &platform = platformOf(lock);
    std::unique_lock<std::mutex> held(platform.lock, std::adopt_lock);
    platform.changed.wait_for(held, std::chrono::milliseconds(milliseconds));
    held.release(); // the caller goes on holding it
}
void wakePool(PoolLock &lock) { platformOf(lock).changed.notify_all(); }

int32_t startWorkers(WorkerGroup &group, int32_t count, void (*work)(void *), void *argument) {
    group.started = 0;
    for (int32_t i = 0; i < count && i < kMostThreads; ++i) {
        try {
            group.handles[group.started] = new std::thread(work, argument);
        } catch (const std::exception &) {
            break; // the system gives no more threads: the run goes on with those it has
        }
        ++group.started;
    }
    return group.started;
}

void joinWorkers(WorkerGroup &group) {
    for (int32_t i = 0; i < group.started; ++i) {
        std::thread *thread = static_cast<std::thread *>(group.handles[i]);
        thread->join();
        delete thread;
    }
    group.started = 0;
}

int32_t machineCores() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int32_t>(cores) : 1;
}

#endif
