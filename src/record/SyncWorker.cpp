#include "SyncWorker.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <utility>

SyncWorker::SyncWorker(QObject* parent) : QObject(parent) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher)
        return;
    m_wakesShared = true;
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, &SyncWorker::collectOnWake);
    m_latest.setInterval(kLongestWaitMs);
    connect(&m_latest, &QTimer::timeout, this, &SyncWorker::handBack);
}

SyncWorker::~SyncWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SyncWorker::run(std::function<void()> work, std::function<void()> done) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back({std::move(work), std::move(done)});
        ++m_running;
        // Started on first use: most runs of the program never give it work.
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_changed.notify_all();
    if (m_wakesShared && QThread::currentThread() == thread() && !m_latest.isActive())
        m_latest.start();
}

bool SyncWorker::busy() const {
    const std::lock_guard lock(m_mutex);
    return m_running > 0 || !m_done.empty();
}

void SyncWorker::finish() {
    // An outcome may give more work (a save that waited for the journal begins): that is
    // finished too.
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_running == 0; });
            if (m_done.empty())
                return;
        }
        handBack();
    }
}

// Work still queued at destruction runs to its end: a piece may be half of a save whose other
// half must not be left undone.
void SyncWorker::loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        Piece piece = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        piece.work();
        lock.lock();
        m_done.push_back(std::move(piece.done));
        --m_running;
        m_changed.notify_all();
        if (m_wakesShared)
            m_outcomesWaiting.store(true, std::memory_order_release);
        else
            QMetaObject::invokeMethod(this, &SyncWorker::handBack, Qt::QueuedConnection);
    }
}

// Outcomes run as an event of their own rather than inside the dispatcher's signal; posted from a
// thread that is awake, the event is delivered before that thread sleeps again.
void SyncWorker::collectOnWake() {
    if (m_handBackPosted || !m_outcomesWaiting.load(std::memory_order_acquire))
        return;
    m_handBackPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_handBackPosted = false;
            handBack();
        },
        Qt::QueuedConnection);
}

void SyncWorker::handBack() {
    std::vector<std::function<void()>> done;
    bool idle = false;
    {
        const std::lock_guard lock(m_mutex);
        done.swap(m_done);
        m_outcomesWaiting.store(false, std::memory_order_relaxed);
        idle = m_running == 0;
    }
    if (idle)
        m_latest.stop();
    if (done.empty())
        return;
    for (std::function<void()>& outcome : done) {
        if (outcome)
            outcome();
    }
    if (m_afterHandBack)
        m_afterHandBack();
}

void SyncWorker::setAfterHandBack(std::function<void()> after) {
    m_afterHandBack = std::move(after);
}
