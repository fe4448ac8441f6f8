#pragma once

#include <QObject>

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

private:
    struct Piece {
        std::function<void()> work;
        std::function<void()> done;
    };

    void loop();
    void handBack();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_queue;
    std::vector<std::function<void()>> m_done;
    std::function<void()> m_afterHandBack;
    int m_running = 0; // queued or running
    bool m_stop = false;
    std::thread m_thread;
};
