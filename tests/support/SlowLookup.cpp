#include "SlowLookup.h"

#include "HeldCalls.h"

#include <dlfcn.h>
#include <netdb.h>

#include <cstring>

namespace {

using LookupFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

HeldCalls g_lookups;

int passOn(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
    static_assert(sizeof(void*) == sizeof(LookupFunction));
    const auto next = reinterpret_cast<LookupFunction>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return next ? next(node, service, hints, res) : EAI_FAIL;
}

} // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** res) {
    static const long delay = HeldCalls::delayMsFrom("VELMAR_LOOKUP_DELAY_MS");
    if (delay > 0)
        HeldCalls::sleepMs(delay);
    if (!node || std::strcmp(node, SlowLookup::kHeldName) != 0)
        return passOn(node, service, hints, res);
    // The main thread is answered at once, held or not.
    (void)g_lookups.pass();
    const int result = passOn("127.0.0.1", service, hints, res);
    if (!HeldCalls::onMainThread())
        g_lookups.returned();
    return result;
}

namespace SlowLookup {

void hold() {
    g_lookups.hold();
}
void release() {
    g_lookups.release();
}
int mainThreadLookups() {
    return g_lookups.mainThread();
}
int waiting() {
    return g_lookups.waiting();
}
int finished() {
    return g_lookups.returnedCount();
}
bool waitForWaiting(int count) {
    return g_lookups.waitForWaiting(count);
}
bool waitForFinished(int count) {
    return g_lookups.waitForReturned(count);
}
void reset() {
    g_lookups.reset();
}

} // namespace SlowLookup
