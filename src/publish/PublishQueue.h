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
    // Head begins every queue file: whose messages it holds, never queued itself; two Position
    // entries follow it. Origin began the files of older versions, whose messages followed it.
    enum class Kind : std::uint8_t {
        Reading = 1,
        Discovery = 2,
        Origin = 3,
        Position = 4,
        Head = 5
    };
    Kind kind = Kind::Reading;
    QByteArray payload;
};

// The messages the broker has not acknowledged, oldest first, kept so that no kill of the process
// loses one: each is written (write(2), into the kernel, no sync) to the queue file beside the
// table as it is pushed, and up to memoryBound of the oldest are also held in memory for sending,
// so that a broker away for hours costs a bounded amount of memory. The file records how far the
// broker has acknowledged in one of two position entries at its start, written in turn (the one
// with the higher count wins, so a torn write costs one step) every kPositionEvery
// acknowledgements, at savePosition() (once a second, from the publisher) and at a clean end: a
// start after a kill sends again only what was acknowledged since. A queue fully acknowledged
// empties its file; one that stays long is given back to the disk behind its position. The file
// is ours alone: created exclusively, never through a link, locked while in use, headed by the
// origin of its messages (the topic they go to), each entry checked by its length and CRC-32 when
// read back; a damaged entry is skipped up to the next whole one and said, and costs only
// itself. The file is removed when the queue ends empty; keepForNextStart() keeps it with what
// was not acknowledged. One that a killed or ended run left is taken back by resumeLeft(), its
// messages first; one of another origin is moved aside and said, never overwritten; one another
// running queue holds, or that is not a plain file of this user, is left alone. When the queue
// file cannot be made or written, the messages stay in memory (lost with the process) and a
// notice says so.
class PublishQueue {
public:
    static constexpr std::size_t kMemoryBound = 2048;
    // Acknowledgements between two writes of the position, at most.
    static constexpr std::size_t kPositionEvery = 256;

    explicit PublishQueue(QString path, std::size_t memoryBound = kMemoryBound,
                          QByteArray origin = {});
    ~PublishQueue();
    PublishQueue(const PublishQueue&) = delete;
    PublishQueue& operator=(const PublishQueue&) = delete;

    // Takes the messages a run that ended without emptying its queue left in the queue file, in
    // their order, ahead of everything pushed after; before the first push. Removes what a kill
    // left of an older version's clean end (".<queue file>.<16 hex digits>.new").
    void resumeLeft();

    // What keepForNextStart() did.
    struct Kept {
        std::size_t messages = 0;
        std::size_t readings = 0;
        bool ok = true; // false: a notice says why; what the queue file held is still there
    };
    // At a clean end: every message not acknowledged stays in the queue file, its position
    // written and synced, for resumeLeft() at the next start; with nothing unacknowledged no file
    // stays. The queue is empty afterwards and writes no more.
    Kept keepForNextStart();

    void push(QueuedMessage message);
    // The oldest message was acknowledged: it goes, and the next ones come back from the queue
    // file as room allows.
    void pop();
    // Writes how far the broker has acknowledged into the queue file, when that moved.
    void savePosition();

    [[nodiscard]] std::size_t size() const { return m_head.size() + m_spilled + m_overflow.size(); }
    [[nodiscard]] bool empty() const { return size() == 0; }
    // The oldest messages, held in memory: at(i) for i < inMemory().
    [[nodiscard]] std::size_t inMemory() const { return m_head.size(); }
    [[nodiscard]] const QueuedMessage& at(std::size_t i) const { return m_head[i].message; }
    // Messages only in the queue file, not yet in memory.
    [[nodiscard]] std::size_t spilled() const { return m_spilled; }
    [[nodiscard]] const QString& path() const { return m_path; }

    // What went wrong with the queue file since the last call, one line each.
    [[nodiscard]] QStringList takeNotices();

    // ".<table file>.mqtt-queue" beside the table.
    [[nodiscard]] static QString pathFor(const QString& tableFile);

    [[nodiscard]] static std::uint32_t crc32(const char* data, std::size_t size,
                                             std::uint32_t crc = 0);

private:
    // An entry of the queue file as read back: its message, and where the next one begins.
    struct ReadBack {
        QueuedMessage message;
        std::int64_t next = 0;
    };
    // A message in memory, and where its entry in the queue file ends (-1: not in the file).
    struct Held {
        QueuedMessage message;
        std::int64_t end = -1;
    };
    // Damage skipped while reading: stretches of the file that held no whole entry.
    struct Damage {
        std::int64_t saidBefore = 0; // stretches that begin before were said already
        std::size_t parts = 0;
        std::int64_t bytes = 0;
    };
    [[nodiscard]] static std::optional<ReadBack> readEntry(int fd, std::int64_t at);
    // The first whole message entry from at on, before end; what was skipped on the way is
    // counted in damage.
    [[nodiscard]] static std::optional<ReadBack> nextMessage(int fd, std::int64_t at,
                                                             std::int64_t end, Damage& damage);
    // Appends message to the queue file; where its entry ends, or -1.
    [[nodiscard]] std::int64_t append(const QueuedMessage& message);
    void writePosition(std::int64_t at);
    // Renames the file at the queue file's path, which fd is, to "<path>.<why>-N" with the first
    // N free; the new name, or nothing after a notice.
    [[nodiscard]] std::optional<QString> moveAside(int fd, const QString& why);
    void refuseLeft(const QString& why);
    void removeLeftovers();
    void resumeOlder(int fd, std::int64_t at, std::int64_t size);
    [[nodiscard]] bool openFile();
    void refill();
    void compact(); // empties a queue file whose messages are all acknowledged
    void sayDamage(const Damage& damage);
    void closeFile();

    QString m_path;
    std::size_t m_memoryBound;
    QByteArray m_origin;
    std::deque<Held> m_head;              // oldest
    std::size_t m_spilled = 0;            // then these, only in the queue file
    std::size_t m_spilledReadings = 0;    // of which readings
    std::deque<QueuedMessage> m_overflow; // then these, when the queue file failed
    int m_fd = -1;
    bool m_writeFailing = false;   // said once until a write succeeds again
    bool m_fileRefused = false;    // the queue file could not be made: not tried again
    std::int64_t m_positionAt = 0; // where the two position entries begin
    std::int64_t m_dataAt = 0;     // where the messages begin, after them
    std::int64_t m_ackedTo = 0;    // the entries before are acknowledged
    std::int64_t m_savedTo = 0;    // what the position in the file says
    std::int64_t m_formerTo = 0;   // and the other one
    std::int64_t m_freedTo = 0;    // given back to the disk up to here
    std::uint64_t m_positionCount = 0;
    std::size_t m_unsaved = 0; // acknowledgements since the position was written
    std::int64_t m_readAt = 0;
    std::int64_t m_writeAt = 0;
    std::int64_t m_resumedTo = 0; // damage before was said when the file was taken back
    QStringList m_notices;
};
