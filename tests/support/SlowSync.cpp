#include "SlowSync.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

using SyncFunction = int (*)(int);

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_held = false;
int g_waiting = 0;
int g_mainThreadSyncs = 0;
int g_otherThreadSyncs = 0;

bool onMainThread() {
    return ::syscall(SYS_gettid) == ::getpid();
}

void sleepMs(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1'000'000L};
    while (::nanosleep(&left, &left) != 0) {
    }
}

long delayMs() {
    static const long delay = [] {
        const char* text = std::getenv("VELMAR_SYNC_DELAY_MS");
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }();
    return delay;
}

// Returns false when the main thread asked while syncs are held: it is not made to wait.
bool beforeSync() {
    if (const long delay = delayMs(); delay > 0)
        sleepMs(delay);
    std::unique_lock lock(g_mutex);
    if (onMainThread()) {
        ++g_mainThreadSyncs;
        return !g_held;
    }
    ++g_otherThreadSyncs;
    ++g_waiting;
    g_changed.notify_all();
    g_changed.wait(lock, [] { return !g_held; });
    --g_waiting;
    return true;
}

int passOn(const char* name, int fd) {
    static_assert(sizeof(void*) == sizeof(SyncFunction));
    const auto next = reinterpret_cast<SyncFunction>(::dlsym(RTLD_NEXT, name));
    return next ? next(fd) : 0;
}

} // namespace

extern "C" int fsync(int fd) {
    if (!beforeSync())
        return 0;
    return passOn("fsync", fd);
}

extern "C" int fdatasync(int fd) {
    if (!beforeSync())
        return 0;
    return passOn("fdatasync", fd);
}

namespace SlowSync {

void hold() {
    const std::lock_guard lock(g_mutex);
    g_held = true;
}

void release() {
    const std::lock_guard lock(g_mutex);
    g_held = false;
    g_changed.notify_all();
}

int mainThreadSyncs() {
    const std::lock_guard lock(g_mutex);
    return g_mainThreadSyncs;
}

int otherThreadSyncs() {
    const std::lock_guard lock(g_mutex);
    return g_otherThreadSyncs;
}

int waiting() {
    const std::lock_guard lock(g_mutex);
    return g_waiting;
}

bool waitForWaiting(int count) {
    std::unique_lock lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30),
                              [count] { return g_waiting >= count; });
}

void reset() {
    const std::lock_guard lock(g_mutex);
    g_mainThreadSyncs = 0;
    g_otherThreadSyncs = 0;
}

} // namespace SlowSync
