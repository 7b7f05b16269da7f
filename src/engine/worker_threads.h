// The few thread operations the engine needs, on the platform's own
// primitives: a lock with one condition, and a group of threads started on
// one function and joined at the end.
#pragma once

#include <cstdint>

struct PoolLock {
    void *platform; // the lock and its condition, made by makePoolLock
};

bool makePoolLock(PoolLock &lock);
void freePoolLock(PoolLock &lock);
void lockPool(PoolLock &lock);
void unlockPool(PoolLock &lock);
// With the lock held: lets it go until woken or `milliseconds` have passed,
// then holds it again.
void waitPool(PoolLock &lock, int32_t milliseconds);
// Wakes every thread waiting on the lock.
void wakePool(PoolLock &lock);

constexpr int32_t kMostThreads = 256;

struct WorkerGroup {
    void *handles[kMostThreads]; // the platform's threads
    int32_t started;             // how many are running
};

// Starts `count` threads each calling work(argument). Returns how many could
// be started.
int32_t startWorkers(WorkerGroup &group, int32_t count, void (*work)(void *), void *argument);
void joinWorkers(WorkerGroup &group);

// The machine's cores, at least 1.
int32_t machineCores();
