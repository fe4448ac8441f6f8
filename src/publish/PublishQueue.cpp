#include "PublishQueue.h"

#include "OwnFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <cstdio>

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry: payload size and CRC-32 (of kind and payload), little-endian, then kind and payload.
// The first entry of a file is its head (its origin), then two position entries, then messages.
constexpr std::size_t kEntryHeader = 9;
// A position entry's payload: its count, then the offset the broker has acknowledged up to.
constexpr std::size_t kPositionSize = 16;
constexpr std::int64_t kPositionEntry = std::int64_t(kEntryHeader + kPositionSize);
// An acknowledged stretch this long behind the position is given back to the disk.
constexpr std::int64_t kFreeEvery = std::int64_t(1) << 20;
// Names moved aside are tried up to this number, then the file is left where it is.
constexpr int kMostAside = 1000;
// No message comes near this; a larger size read back means a damaged entry.
constexpr std::uint32_t kLargestPayload = 1 << 20;

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

void putLe64(char* at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t le64(const char* at) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(at[i])) << (8 * i);
    return value;
}

void putLe32(char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t le32(const char* at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t(static_cast<unsigned char>(at[i])) << (8 * i);
    return value;
}

std::uint32_t entryCrc(QueuedMessage::Kind kind, const QByteArray& payload) {
    const char k = static_cast<char>(kind);
    return PublishQueue::crc32(payload.constData(), std::size_t(payload.size()),
                               PublishQueue::crc32(&k, 1));
}

// Reads exactly size bytes at offset; false on a short read or an error.
bool readAt(int fd, char* out, std::size_t size, std::int64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

std::string entryOf(const QueuedMessage& message) {
    std::string entry(kEntryHeader, '\0');
    putLe32(entry.data(), std::uint32_t(message.payload.size()));
    putLe32(entry.data() + 4, entryCrc(message.kind, message.payload));
    entry[8] = static_cast<char>(message.kind);
    entry.append(message.payload.constData(), std::size_t(message.payload.size()));
    return entry;
}

// The same file: the name still names what fd is.
bool namesFile(const QByteArray& path, int fd) {
    struct stat mine {
    }, named{};
    return ::fstat(fd, &mine) == 0 && ::lstat(path.constData(), &named) == 0 &&
           mine.st_ino == named.st_ino && mine.st_dev == named.st_dev;
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAt(int fd, const char* data, std::size_t size, std::int64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

// The new name of a renamed file is lasting only once its folder is synced.
void syncFolderOf(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

std::uint32_t PublishQueue::crc32(const char* data, std::size_t size, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QString PublishQueue::pathFor(const QString& tableFile) {
    const QFileInfo table(tableFile);
    return table.dir().filePath(QStringLiteral(".%1.mqtt-queue").arg(table.fileName()));
}

PublishQueue::PublishQueue(QString path, std::size_t memoryBound, QByteArray origin)
    : m_path(std::move(path)), m_memoryBound(memoryBound < 2 ? 2 : memoryBound),
      m_origin(std::move(origin)) {}

PublishQueue::~PublishQueue() {
    closeFile();
}

void PublishQueue::push(QueuedMessage message) {
    const std::int64_t end = m_overflow.empty() ? append(message) : -1;
    if (m_spilled == 0 && m_overflow.empty() && m_head.size() < m_memoryBound) {
        if (end >= 0)
            m_readAt = end;
        m_head.push_back({std::move(message), end});
        return;
    }
    if (end >= 0) {
        ++m_spilled;
        m_spilledReadings += message.kind == QueuedMessage::Kind::Reading;
        return;
    }
    m_overflow.push_back(std::move(message));
}

void PublishQueue::pop() {
    if (m_head.empty())
        return;
    const std::int64_t end = m_head.front().end;
    m_head.pop_front();
    if (end >= 0) {
        m_ackedTo = end;
        if (++m_unsaved >= kPositionEvery)
            savePosition();
    }
    if (m_head.size() <= m_memoryBound / 2)
        refill();
    if (empty())
        compact();
}

QStringList PublishQueue::takeNotices() {
    return std::exchange(m_notices, {});
}

std::int64_t PublishQueue::append(const QueuedMessage& message) {
    if (!openFile())
        return -1;
    const std::string entry = entryOf(message);
    if (writeAt(m_fd, entry.data(), entry.size(), m_writeAt)) {
        m_writeAt += std::int64_t(entry.size());
        m_writeFailing = false;
        return m_writeAt;
    }
    const int error = errno;
    // A torn entry would be read back as damage; cut it off. Should the cut fail, the next entry
    // is written over it.
    if (::ftruncate(m_fd, m_writeAt) != 0) {
    }
    if (std::exchange(m_writeFailing, true))
        return -1; // said once until a write succeeds again
    m_notices << QStringLiteral("cannot write the queue file %1: %2; queued readings stay in "
                                "memory until it takes them again, and a crash loses them")
                     .arg(m_path, errorText(error));
    return -1;
}

void PublishQueue::writePosition(std::int64_t at) {
    std::string entry(std::size_t(kPositionEntry), '\0');
    ++m_positionCount;
    char payload[kPositionSize];
    putLe64(payload, m_positionCount);
    putLe64(payload + 8, std::uint64_t(at));
    const QByteArray bytes(payload, qsizetype(kPositionSize));
    putLe32(entry.data(), std::uint32_t(kPositionSize));
    putLe32(entry.data() + 4, entryCrc(QueuedMessage::Kind::Position, bytes));
    entry[8] = static_cast<char>(QueuedMessage::Kind::Position);
    std::memcpy(entry.data() + kEntryHeader, payload, kPositionSize);
    // In turn: a write torn by a power loss leaves the other one whole.
    const std::int64_t slot = m_positionAt + std::int64_t(m_positionCount % 2) * kPositionEntry;
    if (!writeAt(m_fd, entry.data(), entry.size(), slot))
        return; // the older position stands: a repeat more after a crash, nothing lost
    m_formerTo = m_savedTo;
    m_savedTo = at;
    m_unsaved = 0;
}

void PublishQueue::savePosition() {
    if (m_fd < 0 || m_ackedTo == m_savedTo)
        return;
    writePosition(m_ackedTo);
    // Behind both positions in the file nothing is read again, even should the later one be
    // torn: those blocks can go back to the disk.
    if (m_formerTo - m_freedTo >= kFreeEvery) {
        if (::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, m_freedTo,
                        m_formerTo - m_freedTo) == 0) {
        }
        m_freedTo = m_formerTo;
    }
}

void PublishQueue::compact() {
    if (m_fd < 0 || m_writeAt == m_dataAt)
        return;
    // Cut first, then the position: a kill between leaves a position past the end, read as
    // nothing left, and nothing is appended before the position is written.
    if (::ftruncate(m_fd, m_dataAt) != 0)
        return;
    m_ackedTo = m_readAt = m_writeAt = m_freedTo = m_formerTo = m_resumedTo = m_dataAt;
    writePosition(m_dataAt);
}

bool PublishQueue::openFile() {
    if (m_fd >= 0)
        return true;
    if (m_fileRefused || m_path.isEmpty())
        return false;
    const QByteArray path = m_path.toLocal8Bit();
    const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    // A file already there is resumeLeft()'s to judge; whatever it left is not ours to replace.
    m_fd = ::open(path.constData(), flags, 0600);
    const int error = errno;
    struct stat st {};
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
                      ::flock(m_fd, LOCK_EX | LOCK_NB) != 0)) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd >= 0) {
        const std::string head = entryOf({QueuedMessage::Kind::Head, m_origin});
        m_positionAt = std::int64_t(head.size());
        m_dataAt = m_ackedTo = m_savedTo = m_formerTo = m_freedTo = m_readAt = m_writeAt =
            m_positionAt + 2 * kPositionEntry;
        m_positionCount = 0;
        if (writeAt(m_fd, head.data(), head.size(), 0)) {
            writePosition(m_dataAt);
            writePosition(m_dataAt);
            if (m_positionCount == 2 && m_savedTo == m_dataAt)
                return true;
        }
        const int writeError = errno;
        closeFile();
        m_notices << QStringLiteral("cannot write the queue file %1: %2; queued readings stay in "
                                    "memory until it takes them again, and a crash loses them")
                         .arg(m_path, errorText(writeError));
        return false;
    }
    m_fileRefused = true;
    m_notices << (error == EEXIST
                      ? QStringLiteral("cannot make the queue file %1: something that is not ours "
                                       "is there (a link, or another user's file); queued readings "
                                       "stay in memory, and a crash loses them")
                            .arg(m_path)
                      : QStringLiteral("cannot make the queue file %1: %2; queued readings stay in "
                                       "memory, and a crash loses them")
                            .arg(m_path, errorText(error)));
    return false;
}

std::optional<PublishQueue::ReadBack> PublishQueue::readEntry(int fd, std::int64_t at) {
    char header[kEntryHeader];
    if (!readAt(fd, header, kEntryHeader, at))
        return std::nullopt;
    const std::uint32_t size = le32(header);
    const auto kind = static_cast<QueuedMessage::Kind>(header[8]);
    if (size > kLargestPayload || header[8] < 1 || header[8] > 5)
        return std::nullopt;
    ReadBack entry;
    entry.message.kind = kind;
    entry.message.payload.resize(qsizetype(size));
    if (!readAt(fd, entry.message.payload.data(), size, at + std::int64_t(kEntryHeader)) ||
        entryCrc(kind, entry.message.payload) != le32(header + 4))
        return std::nullopt;
    entry.next = at + std::int64_t(kEntryHeader + size);
    return entry;
}

std::optional<PublishQueue::ReadBack> PublishQueue::nextMessage(int fd, std::int64_t at,
                                                                std::int64_t end, Damage& damage) {
    // Byte by byte past damage: each entry carries its own length and check, so the next whole
    // one is found again, and a damaged entry costs only itself.
    for (std::int64_t from = at; from < end; ++from) {
        std::optional<ReadBack> entry = readEntry(fd, from);
        if (!entry || entry->next > end ||
            (entry->message.kind != QueuedMessage::Kind::Reading &&
             entry->message.kind != QueuedMessage::Kind::Discovery))
            continue;
        if (from > at && at >= damage.saidBefore) {
            ++damage.parts;
            damage.bytes += from - at;
        }
        return entry;
    }
    if (end > at && at >= damage.saidBefore) {
        ++damage.parts;
        damage.bytes += end - at;
    }
    return std::nullopt;
}

void PublishQueue::sayDamage(const Damage& damage) {
    if (damage.parts == 0)
        return;
    m_notices << QStringLiteral("the queue file %1 has %2 (%3 bytes), skipped: what %4 is lost to "
                                "the broker (the table has it); the rest is sent")
                     .arg(m_path, damage.parts == 1
                                      ? QStringLiteral("1 damaged entry")
                                      : QStringLiteral("%1 damaged entries").arg(damage.parts))
                     .arg(damage.bytes)
                     .arg(damage.parts == 1 ? QStringLiteral("it held")
                                            : QStringLiteral("they held"));
}

void PublishQueue::removeLeftovers() {
    // An older version's clean end wrote the kept queue under such a name, locked, and renamed it
    // into place: one no process holds is what a kill left of it.
    const QFileInfo info(m_path);
    const QRegularExpression ours(QStringLiteral("^%1\\.[0-9a-f]{16}\\.new$")
                                      .arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList({info.fileName() + QStringLiteral(".*.new")},
                                                QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(name).hasMatch())
            continue;
        const off_t size =
            OwnFile::removeIfUnheld(QFile::encodeName(folder.filePath(name)).toStdString());
        if (size >= 0)
            m_notices << QStringLiteral("removed %1 (%2 bytes), left by a run killed while it "
                                        "ended; the queue file holds what it held")
                             .arg(folder.filePath(name))
                             .arg(qint64(size));
    }
}

void PublishQueue::resumeLeft() {
    if (m_fd >= 0 || m_fileRefused || m_path.isEmpty() || !empty())
        return;
    removeLeftovers();
    const QByteArray path = m_path.toLocal8Bit();
    // Without blocking: a FIFO put there must not hold the start.
    const int fd =
        ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT)
            refuseLeft(errno == ELOOP ? QStringLiteral("it is a link") : errorText(errno));
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1) {
        ::close(fd);
        refuseLeft(QStringLiteral("it is not a plain file of this user"));
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        refuseLeft(QStringLiteral("another running logger uses it"));
        return;
    }
    const std::optional<ReadBack> head = readEntry(fd, 0);
    if (!head ||
        (head->message.kind != QueuedMessage::Kind::Head &&
         head->message.kind != QueuedMessage::Kind::Origin) ||
        head->message.payload != m_origin) {
        if (const std::optional<QString> aside = moveAside(fd, QStringLiteral("foreign")))
            m_notices << QStringLiteral("the queue file %1 that an earlier run left holds no "
                                        "messages for %2: moved aside as %3, nothing of it sent")
                             .arg(m_path, QString::fromUtf8(m_origin), *aside);
        ::close(fd);
        return;
    }
    const std::int64_t size = st.st_size;
    if (head->message.kind == QueuedMessage::Kind::Origin) {
        resumeOlder(fd, head->next, size);
        return;
    }
    // The later of the two positions that are whole; with neither, everything goes again.
    m_positionAt = head->next;
    m_dataAt = m_positionAt + 2 * kPositionEntry;
    std::int64_t position = m_dataAt;
    bool positionKnown = false;
    for (int slot = 0; slot < 2; ++slot) {
        const std::optional<ReadBack> entry = readEntry(fd, m_positionAt + slot * kPositionEntry);
        if (!entry || entry->message.kind != QueuedMessage::Kind::Position ||
            entry->message.payload.size() != qsizetype(kPositionSize))
            continue;
        const std::uint64_t count = le64(entry->message.payload.constData());
        if (positionKnown && count <= m_positionCount)
            continue;
        positionKnown = true;
        m_positionCount = count;
        position = std::int64_t(le64(entry->message.payload.constData() + 8));
    }
    if (!positionKnown)
        m_notices << QStringLiteral("the queue file %1 has no whole record of what the broker "
                                    "acknowledged: all it holds is sent again")
                         .arg(m_path);
    // Past the end: the file was emptied as its last message was acknowledged.
    position = std::clamp(position, m_dataAt, std::max(m_dataAt, size));
    Damage damage;
    std::size_t whole = 0;
    std::size_t readings = 0;
    std::int64_t at = position;
    std::int64_t end = position;
    while (const std::optional<ReadBack> entry = nextMessage(fd, at, size, damage)) {
        ++whole;
        readings += entry->message.kind == QueuedMessage::Kind::Reading;
        at = end = entry->next;
    }
    // A torn last entry is not kept: what comes next is appended after the last whole one.
    if (end < size && ::ftruncate(fd, std::max(end, m_dataAt)) != 0)
        end = size;
    m_fd = fd;
    m_ackedTo = m_savedTo = m_formerTo = m_freedTo = m_readAt = position;
    m_writeAt = m_resumedTo = std::max(end, m_dataAt);
    m_spilled = whole;
    m_spilledReadings = readings;
    sayDamage(damage);
    refill();
    if (readings > 0)
        m_notices << QStringLiteral("the queue file %1: %2 queued by an earlier run and not "
                                    "acknowledged go to the broker first")
                         .arg(m_path, readings == 1 ? QStringLiteral("1 reading")
                                                    : QStringLiteral("%1 readings").arg(readings));
    if (empty())
        compact();
}

void PublishQueue::resumeOlder(int fd, std::int64_t at, std::int64_t size) {
    // An older version's file holds no position: its messages go into a queue file of today's
    // kind, and it goes once they are there.
    std::vector<QueuedMessage> messages;
    Damage damage;
    while (std::optional<ReadBack> entry = nextMessage(fd, at, size, damage)) {
        at = entry->next;
        messages.push_back(std::move(entry->message));
    }
    const std::optional<QString> aside = moveAside(fd, QStringLiteral("older"));
    ::close(fd);
    if (!aside)
        return;
    sayDamage(damage);
    std::size_t readings = 0;
    for (QueuedMessage& message : messages) {
        readings += message.kind == QueuedMessage::Kind::Reading;
        push(std::move(message));
    }
    if (m_fd >= 0 || messages.empty())
        (void)::unlink(QFile::encodeName(*aside).constData());
    if (readings > 0)
        m_notices << QStringLiteral("the queue file %1: %2 queued by an earlier run and not "
                                    "acknowledged go to the broker first")
                         .arg(m_path, readings == 1 ? QStringLiteral("1 reading")
                                                    : QStringLiteral("%1 readings").arg(readings));
}

std::optional<QString> PublishQueue::moveAside(int fd, const QString& why) {
    const QByteArray path = m_path.toLocal8Bit();
    int error = 0;
    for (int n = 1; n <= kMostAside; ++n) {
        const QString aside = QStringLiteral("%1.%2-%3").arg(m_path, why).arg(n);
        const QByteArray to = aside.toLocal8Bit();
        if (!namesFile(path, fd)) {
            error = ENOENT;
            break;
        }
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return aside;
        error = errno;
        if (error == EINVAL) {
            // A file system without the flag: a new link fails just the same when the name is
            // taken.
            if (::link(path.constData(), to.constData()) == 0) {
                (void)::unlink(path.constData());
                return aside;
            }
            error = errno;
        }
        if (error != EEXIST)
            break;
    }
    refuseLeft(QStringLiteral("it is %1 and cannot be moved aside: %2")
                   .arg(why == QLatin1String("foreign") ? QStringLiteral("not of these messages")
                                                        : QStringLiteral("of an older version"),
                        errorText(error)));
    return std::nullopt;
}

void PublishQueue::refuseLeft(const QString& why) {
    m_fileRefused = true;
    m_notices << QStringLiteral("the queue file %1 that is there is left alone (%2); queued "
                                "readings stay in memory, and a crash loses them")
                     .arg(m_path, why);
}

void PublishQueue::refill() {
    Damage damage;
    damage.saidBefore = m_resumedTo;
    while (m_spilled > 0 && m_head.size() < m_memoryBound) {
        std::optional<ReadBack> entry = nextMessage(m_fd, m_readAt, m_writeAt, damage);
        if (!entry) {
            m_spilled = 0; // damaged since written: what was counted is not there
            break;
        }
        m_readAt = entry->next;
        --m_spilled;
        m_spilledReadings -= std::min<std::size_t>(
            m_spilledReadings, entry->message.kind == QueuedMessage::Kind::Reading);
        m_head.push_back({std::move(entry->message), entry->next});
    }
    sayDamage(damage);
    if (m_spilled == 0) {
        m_spilledReadings = 0;
        m_readAt = m_writeAt;
        // What could not be written came after everything that was.
        while (!m_overflow.empty()) {
            m_head.push_back({std::move(m_overflow.front()), -1});
            m_overflow.pop_front();
        }
    }
}

void PublishQueue::closeFile() {
    if (m_fd < 0)
        return;
    // Remove the name only while it still names our file.
    const QByteArray path = m_path.toLocal8Bit();
    if (namesFile(path, m_fd))
        (void)::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

PublishQueue::Kept PublishQueue::keepForNextStart() {
    Kept kept;
    if (empty() || m_path.isEmpty()) {
        closeFile();
        return kept;
    }
    // Messages the queue file refused while running are appended now if it takes them: after
    // those it holds, where a disk that was full may have put them out of order.
    std::size_t lost = 0;
    const qsizetype noticesBefore = m_notices.size();
    const auto keep = [&](const QueuedMessage& message) {
        if (append(message) < 0)
            ++lost;
    };
    for (const Held& held : m_head)
        if (held.end < 0)
            keep(held.message);
    for (const QueuedMessage& message : m_overflow)
        keep(message);
    for (const Held& held : m_head)
        kept.readings += held.message.kind == QueuedMessage::Kind::Reading;
    for (const QueuedMessage& message : m_overflow)
        kept.readings += message.kind == QueuedMessage::Kind::Reading;
    kept.readings += m_spilledReadings;
    kept.messages = size();
    int error = 0;
    if (m_fd < 0) {
        error = EEXIST;
    } else {
        writePosition(m_ackedTo);
        if (m_savedTo != m_ackedTo || ::fdatasync(m_fd) != 0)
            error = errno != 0 ? errno : EIO;
        else
            syncFolderOf(m_path);
    }
    if (error != 0 || lost > 0) {
        kept.ok = false;
        m_notices.resize(noticesBefore); // the appends' notices: the line below says it all
        m_notices << QStringLiteral("cannot keep the queued readings for the next start in %1: "
                                    "%2; %3")
                         .arg(m_path,
                              m_fd < 0 ? QStringLiteral("something that is not ours is there, or "
                                                        "it cannot be made")
                                       : errorText(error != 0 ? error : ENOSPC),
                              m_fd >= 0 ? QStringLiteral("the queue file keeps those it held")
                                        : QStringLiteral("they are lost to the broker (the "
                                                         "table has them)"));
    }
    // Let go without removing it: it holds what the next start sends first.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_head.clear();
    m_overflow.clear();
    m_spilled = 0;
    m_spilledReadings = 0;
    m_fileRefused = true;
    return kept;
}
