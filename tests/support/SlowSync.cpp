#include "SlowSync.h"

#include "HeldCalls.h"

#include <dlfcn.h>

namespace {

using SyncFunction = int (*)(int);

HeldCalls g_syncs;

// Returns false when the main thread asked while syncs are held: it is not made to wait.
bool beforeSync() {
    static const long delay = HeldCalls::delayMsFrom("VELMAR_SYNC_DELAY_MS");
    if (delay > 0)
        HeldCalls::sleepMs(delay);
    return g_syncs.pass();
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
    g_syncs.hold();
}
void release() {
    g_syncs.release();
}
int mainThreadSyncs() {
    return g_syncs.mainThread();
}
int otherThreadSyncs() {
    return g_syncs.otherThread();
}
int waiting() {
    return g_syncs.waiting();
}
bool waitForWaiting(int count) {
    return g_syncs.waitForWaiting(count);
}
void reset() {
    g_syncs.reset();
}

} // namespace SlowSync
