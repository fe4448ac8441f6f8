#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

// One message waiting for the broker's acknowledgement.
struct QueuedMessage {
    // Origin heads every spill file: whose messages the file holds, never queued itself.
    enum class Kind : std::uint8_t { Reading = 1, Discovery = 2, Origin = 3 };
    Kind kind = Kind::Reading;
    QByteArray payload;
};

// The messages the broker has not acknowledged, oldest first, so that a broker away for hours
// costs a bounded amount of memory and loses nothing: up to memoryBound messages are kept in
// memory, the rest go to a spill file beside the table and come back in order as the front is
// sent. The spill file is ours alone: created exclusively, never through a link, locked while in
// use, headed by the origin of its messages (the topic they go to), each entry checked by its
// length and CRC-32 when read back. It is removed when the queue ends, unless keepForNextStart()
// kept what was not acknowledged in it. One that a killed or ended run left is taken back by
// resumeLeft(), its messages first; one that is damaged or of another origin is moved aside and
// said, never overwritten; one another running queue holds, or that is not a plain file of this
// user, is left alone. When the spill file cannot be made or written, the messages stay in memory
// and a notice says so.
class PublishQueue {
public:
    static constexpr std::size_t kMemoryBound = 2048;

    explicit PublishQueue(QString spillPath, std::size_t memoryBound = kMemoryBound,
                          QByteArray origin = {});
    ~PublishQueue();
    PublishQueue(const PublishQueue&) = delete;
    PublishQueue& operator=(const PublishQueue&) = delete;

    // Takes the messages a run that ended without emptying its queue left in the spill file, in
    // their order, ahead of everything pushed after; before the first push.
    void resumeLeft();

    // What keepForNextStart() did.
    struct Kept {
        std::size_t messages = 0;
        std::size_t readings = 0;
        bool ok = true; // false: a notice says why; what the spill file held is still there
    };
    // At a clean end: every message not acknowledged, in order, goes into a spill file that
    // replaces the old one whole (a new file beside it, synced, then renamed over it) for
    // resumeLeft() at the next start; with nothing unacknowledged no file stays. The queue is
    // empty afterwards and spills no more.
    Kept keepForNextStart();

    void push(QueuedMessage message);
    // The oldest message goes; the next ones come back from the spill file as room allows.
    void pop();

    [[nodiscard]] std::size_t size() const { return m_head.size() + m_spilled + m_overflow.size(); }
    [[nodiscard]] bool empty() const { return size() == 0; }
    // The oldest messages, held in memory: at(i) for i < inMemory().
    [[nodiscard]] std::size_t inMemory() const { return m_head.size(); }
    [[nodiscard]] const QueuedMessage& at(std::size_t i) const { return m_head[i]; }
    [[nodiscard]] std::size_t spilled() const { return m_spilled; }
    [[nodiscard]] const QString& spillPath() const { return m_spillPath; }

    // What went wrong with the spill file since the last call, one line each.
    [[nodiscard]] QStringList takeNotices();

    // ".<table file>.mqtt-queue" beside the table.
    [[nodiscard]] static QString spillPathFor(const QString& tableFile);

    [[nodiscard]] static std::uint32_t crc32(const char* data, std::size_t size,
                                             std::uint32_t crc = 0);

private:
    // An entry of the spill file as read back: its message, and where the next one begins.
    struct ReadBack {
        QueuedMessage message;
        std::int64_t next = 0;
    };
    [[nodiscard]] static std::optional<ReadBack> readEntry(int fd, std::int64_t at);
    [[nodiscard]] bool spill(const QueuedMessage& message);
    // Renames the file at the spill path, which fd is, to "<spill path>.<why>-N" with the first
    // N free; the new name, or nothing after a notice.
    [[nodiscard]] std::optional<QString> moveAside(int fd, const QString& why);
    void refuseLeft(const QString& why);
    [[nodiscard]] bool openSpill();
    // Writes the origin and every queued message to fd, oldest first; 0 or the error number.
    [[nodiscard]] int writeKept(int fd, Kept& kept);
    void refill();
    void dropSpill(); // empties the spill file
    void closeSpill();

    QString m_spillPath;
    std::size_t m_memoryBound;
    QByteArray m_origin;
    std::deque<QueuedMessage> m_head;     // oldest
    std::size_t m_spilled = 0;            // then these, in the spill file
    std::deque<QueuedMessage> m_overflow; // then these, when the spill file failed
    int m_fd = -1;
    bool m_spillRefused = false; // the spill file could not be made: not tried again
    std::int64_t m_dataAt = 0;   // where the entries begin, after the origin
    std::int64_t m_readAt = 0;
    std::int64_t m_writeAt = 0;
    QStringList m_notices;
};
