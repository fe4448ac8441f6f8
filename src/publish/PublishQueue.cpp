#include "PublishQueue.h"

#include "OwnFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry: payload size and CRC-32 (of kind and payload), little-endian, then kind and payload.
// The first entry of a file is its origin.
constexpr std::size_t kEntryHeader = 9;
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

QString PublishQueue::spillPathFor(const QString& tableFile) {
    const QFileInfo table(tableFile);
    return table.dir().filePath(QStringLiteral(".%1.mqtt-queue").arg(table.fileName()));
}

PublishQueue::PublishQueue(QString spillPath, std::size_t memoryBound, QByteArray origin)
    : m_spillPath(std::move(spillPath)), m_memoryBound(memoryBound < 2 ? 2 : memoryBound),
      m_origin(std::move(origin)) {}

PublishQueue::~PublishQueue() {
    closeSpill();
}

void PublishQueue::push(QueuedMessage message) {
    if (m_spilled == 0 && m_overflow.empty() && m_head.size() < m_memoryBound) {
        m_head.push_back(std::move(message));
        return;
    }
    if (m_overflow.empty() && spill(message))
        return;
    m_overflow.push_back(std::move(message));
}

void PublishQueue::pop() {
    if (m_head.empty())
        return;
    m_head.pop_front();
    if (m_head.size() <= m_memoryBound / 2)
        refill();
}

QStringList PublishQueue::takeNotices() {
    return std::exchange(m_notices, {});
}

bool PublishQueue::openSpill() {
    if (m_fd >= 0)
        return true;
    if (m_spillRefused || m_spillPath.isEmpty())
        return false;
    const QByteArray path = m_spillPath.toLocal8Bit();
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
        const std::string origin = entryOf({QueuedMessage::Kind::Origin, m_origin});
        if (writeAt(m_fd, origin.data(), origin.size(), 0)) {
            m_dataAt = m_readAt = m_writeAt = std::int64_t(origin.size());
            return true;
        }
        const int writeError = errno;
        closeSpill();
        m_notices << QStringLiteral("cannot write the spill file %1: %2; queued readings stay in "
                                    "memory until it takes them again")
                         .arg(m_spillPath, errorText(writeError));
        return false;
    }
    m_spillRefused = true;
    m_notices << (error == EEXIST
                      ? QStringLiteral("cannot make the spill file %1: something that is not ours "
                                       "is there (a link, or another user's file); queued readings "
                                       "stay in memory")
                            .arg(m_spillPath)
                      : QStringLiteral("cannot make the spill file %1: %2; queued readings stay in "
                                       "memory")
                            .arg(m_spillPath, errorText(error)));
    return false;
}

std::optional<PublishQueue::ReadBack> PublishQueue::readEntry(int fd, std::int64_t at) {
    char header[kEntryHeader];
    if (!readAt(fd, header, kEntryHeader, at))
        return std::nullopt;
    const std::uint32_t size = le32(header);
    const auto kind = static_cast<QueuedMessage::Kind>(header[8]);
    if (size > kLargestPayload ||
        (kind != QueuedMessage::Kind::Reading && kind != QueuedMessage::Kind::Discovery &&
         kind != QueuedMessage::Kind::Origin))
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

void PublishQueue::resumeLeft() {
    if (m_fd >= 0 || m_spillRefused || m_spillPath.isEmpty() || !empty())
        return;
    const QByteArray path = m_spillPath.toLocal8Bit();
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
    const std::optional<ReadBack> origin = readEntry(fd, 0);
    if (!origin || origin->message.kind != QueuedMessage::Kind::Origin ||
        origin->message.payload != m_origin) {
        if (const std::optional<QString> aside = moveAside(fd, QStringLiteral("foreign")))
            m_notices << QStringLiteral("the spill file %1 that an earlier run left holds no "
                                        "messages for %2: moved aside as %3, nothing of it sent")
                             .arg(m_spillPath, QString::fromUtf8(m_origin), *aside);
        ::close(fd);
        return;
    }
    // Counted first: a file read whole is taken as it stands, a damaged one is not kept.
    std::size_t whole = 0;
    std::size_t readings = 0;
    std::int64_t at = origin->next;
    while (const std::optional<ReadBack> entry = readEntry(fd, at)) {
        if (entry->message.kind == QueuedMessage::Kind::Origin)
            break;
        ++whole;
        readings += entry->message.kind == QueuedMessage::Kind::Reading;
        at = entry->next;
    }
    const QString said =
        QStringLiteral("%1 queued by an earlier run and not acknowledged go to the "
                       "broker first")
            .arg(readings == 1 ? QStringLiteral("1 reading")
                               : QStringLiteral("%1 readings").arg(readings));
    if (at == std::int64_t(st.st_size)) {
        m_fd = fd;
        m_dataAt = m_readAt = origin->next;
        m_writeAt = at;
        m_spilled = whole;
        refill();
        if (readings > 0)
            m_notices << QStringLiteral("the spill file %1: %2").arg(m_spillPath, said);
        return;
    }
    const std::optional<QString> aside = moveAside(fd, QStringLiteral("damaged"));
    if (!aside) {
        ::close(fd);
        return;
    }
    m_notices << QStringLiteral("the spill file %1 that an earlier run left is damaged after %2 "
                                "whole entries: moved aside as %3; %4")
                     .arg(m_spillPath)
                     .arg(whole)
                     .arg(*aside, said);
    // Its whole entries go through the queue as if pushed now: memory, then a new spill file.
    at = origin->next;
    for (std::size_t i = 0; i < whole; ++i) {
        std::optional<ReadBack> entry = readEntry(fd, at);
        if (!entry)
            break; // changed under us since it was counted: what was read stays in order
        at = entry->next;
        push(std::move(entry->message));
    }
    ::close(fd);
}

std::optional<QString> PublishQueue::moveAside(int fd, const QString& why) {
    const QByteArray path = m_spillPath.toLocal8Bit();
    int error = 0;
    for (int n = 1; n <= kMostAside; ++n) {
        const QString aside = QStringLiteral("%1.%2-%3").arg(m_spillPath, why).arg(n);
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
                   .arg(why == QLatin1String("damaged") ? QStringLiteral("damaged")
                                                        : QStringLiteral("not of these messages"),
                        errorText(error)));
    return std::nullopt;
}

void PublishQueue::refuseLeft(const QString& why) {
    m_spillRefused = true;
    m_notices << QStringLiteral("the spill file %1 that is there is left alone (%2); queued "
                                "readings stay in memory")
                     .arg(m_spillPath, why);
}

bool PublishQueue::spill(const QueuedMessage& message) {
    if (!openSpill())
        return false;
    const std::string entry = entryOf(message);
    if (writeAt(m_fd, entry.data(), entry.size(), m_writeAt)) {
        m_writeAt += std::int64_t(entry.size());
        ++m_spilled;
        return true;
    }
    const int error = errno;
    // A torn entry would be read back as damage; cut it off. Should the cut fail, the next entry
    // is written over it, and reading stops at the count of whole entries anyway.
    if (::ftruncate(m_fd, m_writeAt) != 0) {
    }
    m_notices << QStringLiteral("cannot write the spill file %1: %2; queued readings stay in "
                                "memory until it takes them again")
                     .arg(m_spillPath, errorText(error));
    return false;
}

void PublishQueue::refill() {
    while (m_spilled > 0 && m_head.size() < m_memoryBound) {
        std::optional<ReadBack> entry = readEntry(m_fd, m_readAt);
        if (!entry || entry->message.kind == QueuedMessage::Kind::Origin) {
            m_notices << QStringLiteral("the spill file %1 is damaged: %2 queued readings in it "
                                        "are lost to the broker (the table has them)")
                             .arg(m_spillPath)
                             .arg(m_spilled);
            dropSpill();
            break;
        }
        m_readAt = entry->next;
        --m_spilled;
        m_head.push_back(std::move(entry->message));
    }
    if (m_spilled == 0) {
        dropSpill();
        // What could not be spilled came after everything that was.
        while (!m_overflow.empty()) {
            m_head.push_back(std::move(m_overflow.front()));
            m_overflow.pop_front();
        }
    }
}

void PublishQueue::dropSpill() {
    m_spilled = 0;
    m_readAt = m_dataAt;
    m_writeAt = m_dataAt;
    // Only to give the disk back: entries are written after the origin again and read by count.
    if (m_fd >= 0 && ::ftruncate(m_fd, m_dataAt) != 0) {
    }
}

void PublishQueue::closeSpill() {
    if (m_fd < 0)
        return;
    // Remove the name only while it still names our file.
    const QByteArray path = m_spillPath.toLocal8Bit();
    if (namesFile(path, m_fd))
        (void)::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

int PublishQueue::writeKept(int fd, Kept& kept) {
    std::string chunk;
    std::int64_t at = 0;
    int error = 0;
    const auto flush = [&] {
        if (error == 0 && !writeAt(fd, chunk.data(), chunk.size(), at))
            error = errno != 0 ? errno : EIO;
        at += std::int64_t(chunk.size());
        chunk.clear();
    };
    const auto put = [&](const QueuedMessage& message) {
        chunk += entryOf(message);
        if (message.kind != QueuedMessage::Kind::Origin) {
            ++kept.messages;
            kept.readings += message.kind == QueuedMessage::Kind::Reading;
        }
        if (chunk.size() >= 64 * 1024)
            flush();
    };
    put({QueuedMessage::Kind::Origin, m_origin});
    // The order the queue hands them out: memory, then the spill file, then what it refused.
    for (const QueuedMessage& message : m_head)
        put(message);
    std::int64_t readAt = m_readAt;
    for (std::size_t i = 0; i < m_spilled && error == 0; ++i) {
        const std::optional<ReadBack> entry = readEntry(m_fd, readAt);
        if (!entry || entry->message.kind == QueuedMessage::Kind::Origin) {
            m_notices << QStringLiteral("the spill file %1 is damaged: %2 queued readings in it "
                                        "are lost to the broker (the table has them)")
                             .arg(m_spillPath)
                             .arg(m_spilled - i);
            break;
        }
        readAt = entry->next;
        put(entry->message);
    }
    for (const QueuedMessage& message : m_overflow)
        put(message);
    flush();
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    return error;
}

PublishQueue::Kept PublishQueue::keepForNextStart() {
    Kept kept;
    if (empty() || m_spillPath.isEmpty()) {
        closeSpill();
        return kept;
    }
    const QFileInfo info(m_spillPath);
    const QByteArray path = QFile::encodeName(m_spillPath);
    const OwnFile::Created fresh = OwnFile::createExclusive(
        QFile::encodeName(info.absolutePath()).toStdString(),
        QFile::encodeName(info.fileName()).toStdString() + '.', ".new", 0600);
    int error = fresh.fd < 0 ? fresh.error : writeKept(fresh.fd, kept);
    if (error == 0) {
        if (m_fd >= 0 && namesFile(path, m_fd)) {
            if (::rename(fresh.path.c_str(), path.constData()) != 0)
                error = errno;
        } else if (::renameat2(AT_FDCWD, fresh.path.c_str(), AT_FDCWD, path.constData(),
                               RENAME_NOREPLACE) != 0) {
            // Not our file at the name (or none): whatever is there now is not replaced.
            error = errno;
            if (error == EINVAL) {
                error = ::link(fresh.path.c_str(), path.constData()) == 0 ? 0 : errno;
                if (error == 0)
                    (void)::unlink(fresh.path.c_str());
            }
        }
    }
    if (fresh.fd >= 0) {
        if (error != 0)
            (void)::unlink(fresh.path.c_str());
        ::close(fresh.fd);
    }
    if (error == 0) {
        syncFolderOf(m_spillPath);
    } else {
        kept = {};
        kept.ok = false;
        m_notices << QStringLiteral("cannot keep the queued readings for the next start in %1: "
                                    "%2; %3")
                         .arg(m_spillPath,
                              error == EEXIST ? QStringLiteral("something that is not ours is "
                                                               "there")
                                              : errorText(error),
                              m_fd >= 0 ? QStringLiteral("the spill file keeps those it held")
                                        : QStringLiteral("they are lost to the broker (the "
                                                         "table has them)"));
    }
    // Let go without removing it: it is the kept file now, or what is left of the old one.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_head.clear();
    m_overflow.clear();
    m_spilled = 0;
    m_spillRefused = true;
    return kept;
}
