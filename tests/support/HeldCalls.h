#pragma once

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

// Calls a test holds, for the stand-ins of slow system calls: a call made off the main thread
// waits while held; a call made on the main thread is counted and never waits, so that a main
// thread that would wait is caught rather than left hanging.
class HeldCalls {
public:
    static bool onMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

    // The delay an environment variable asks of every call when the stand-in is preloaded.
    static long delayMsFrom(const char* variable) {
        const char* text = std::getenv(variable);
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }

    static void sleepMs(long ms) {
        timespec left{ms / 1000, (ms % 1000) * 1'000'000L};
        while (::nanosleep(&left, &left) != 0) {
        }
    }

    // Returns false for a call on the main thread while held: it was not made to wait.
    [[nodiscard]] bool pass() {
        std::unique_lock lock(m_mutex);
        if (onMainThread()) {
            ++m_mainThread;
            return !m_held;
        }
        ++m_otherThread;
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_held; });
        --m_waiting;
        return true;
    }

    // A call made off the main thread has returned.
    void returned() {
        const std::lock_guard lock(m_mutex);
        ++m_returned;
        m_changed.notify_all();
    }

    void hold() {
        const std::lock_guard lock(m_mutex);
        m_held = true;
    }

    void release() {
        const std::lock_guard lock(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }

    int mainThread() { return read(m_mainThread); }
    int otherThread() { return read(m_otherThread); }
    int waiting() { return read(m_waiting); }
    int returnedCount() { return read(m_returned); }

    // Waits until at least count calls wait in hold (or have returned), up to a bound that only a
    // hung program meets; false when the bound passed.
    bool waitForWaiting(int count) { return waitFor(m_waiting, count); }
    bool waitForReturned(int count) { return waitFor(m_returned, count); }

    void reset() {
        const std::lock_guard lock(m_mutex);
        m_mainThread = 0;
        m_otherThread = 0;
        m_returned = 0;
    }

private:
    int read(const int& counter) {
        const std::lock_guard lock(m_mutex);
        return counter;
    }

    bool waitFor(const int& counter, int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [&counter, count] { return counter >= count; });
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    int m_waiting = 0;
    int m_returned = 0;
    int m_mainThread = 0;
    int m_otherThread = 0;
};
