#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs the file work that waits on the disk (a sync takes seconds on a slow or busy disk) on a
// thread of its own, so that the thread that owns this object goes on serving the meter. Work
// runs one piece after another in the order given, so a later piece never overtakes an earlier
// one; each piece's outcome is handed back on the owner's thread, in the same order.
//
// An outcome does not wake the owner's thread: it is handed back when that thread next wakes for
// anything else (a program connected to a meter wakes many times a second), or, should it sleep on,
// after a short while at the latest.
class SyncWorker : public QObject {
public:
    explicit SyncWorker(QObject* parent = nullptr);
    // Finishes the work given; outcomes not yet handed back are dropped with it.
    ~SyncWorker() override;
    SyncWorker(const SyncWorker&) = delete;
    SyncWorker& operator=(const SyncWorker&) = delete;

    // work runs on the worker's thread; then done runs on the owner's thread, from its event
    // loop or from finish().
    void run(std::function<void()> work, std::function<void()> done);
    // True while work is queued or running, or an outcome waits to be handed back.
    [[nodiscard]] bool busy() const;
    // Waits until all the work given has run, then hands back every outcome at once, until no
    // work is left: for exit, and for callers that cannot go on without them.
    void finish();
    // Runs after each batch of outcomes is handed back: what the outcomes found (a journal that
    // could not be written) is said then, not whenever the owner next looks.
    void setAfterHandBack(std::function<void()> after);

    // The longest an outcome waits for the owner's thread to wake on its own.
    static constexpr int kLongestWaitMs = 250;

private:
    struct Piece {
        std::function<void()> work;
        std::function<void()> done;
    };

    void loop();
    void handBack();
    // On each wake of the owner's thread: outcomes that wait are handed back.
    void collectOnWake();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_queue;
    std::vector<std::function<void()>> m_done;
    std::function<void()> m_afterHandBack;
    int m_running = 0; // queued or running
    bool m_stop = false;
    std::thread m_thread;
    // Set by the worker when outcomes wait, read on every wake of the owner's thread.
    std::atomic<bool> m_outcomesWaiting{false};
    bool m_wakesShared = false;    // the owner's wakes are heard: outcomes wait for one
    bool m_handBackPosted = false; // owner's thread only
    QTimer m_latest;               // the owner's thread, should it not wake on its own
};
