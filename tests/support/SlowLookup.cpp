#include "SlowLookup.h"

#include <dlfcn.h>
#include <netdb.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using LookupFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_held = false;
int g_waiting = 0;
int g_finished = 0;
int g_mainThreadLookups = 0;

bool onMainThread() {
    return ::syscall(SYS_gettid) == ::getpid();
}

long delayMs() {
    static const long delay = [] {
        const char* text = std::getenv("VELMAR_LOOKUP_DELAY_MS");
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }();
    return delay;
}

void sleepMs(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1'000'000L};
    while (::nanosleep(&left, &left) != 0) {
    }
}

int passOn(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
    static_assert(sizeof(void*) == sizeof(LookupFunction));
    const auto next = reinterpret_cast<LookupFunction>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return next ? next(node, service, hints, res) : EAI_FAIL;
}

} // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** res) {
    if (const long delay = delayMs(); delay > 0)
        sleepMs(delay);
    if (!node || std::strcmp(node, SlowLookup::kHeldName) != 0)
        return passOn(node, service, hints, res);
    {
        std::unique_lock lock(g_mutex);
        if (onMainThread()) {
            ++g_mainThreadLookups;
        } else {
            ++g_waiting;
            g_changed.notify_all();
            g_changed.wait(lock, [] { return !g_held; });
            --g_waiting;
        }
    }
    const int result = passOn("127.0.0.1", service, hints, res);
    if (!onMainThread()) {
        const std::lock_guard lock(g_mutex);
        ++g_finished;
        g_changed.notify_all();
    }
    return result;
}

namespace SlowLookup {

void hold() {
    const std::lock_guard lock(g_mutex);
    g_held = true;
}

void release() {
    const std::lock_guard lock(g_mutex);
    g_held = false;
    g_changed.notify_all();
}

int mainThreadLookups() {
    const std::lock_guard lock(g_mutex);
    return g_mainThreadLookups;
}

int waiting() {
    const std::lock_guard lock(g_mutex);
    return g_waiting;
}

int finished() {
    const std::lock_guard lock(g_mutex);
    return g_finished;
}

bool waitForWaiting(int count) {
    std::unique_lock lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30),
                              [count] { return g_waiting >= count; });
}

bool waitForFinished(int count) {
    std::unique_lock lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30),
                              [count] { return g_finished >= count; });
}

void reset() {
    const std::lock_guard lock(g_mutex);
    g_mainThreadLookups = 0;
    g_finished = 0;
}

} // namespace SlowLookup
