#include "PublishQueue.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry: payload size and CRC-32 (of kind and payload), little-endian, then kind and payload.
constexpr std::size_t kEntryHeader = 9;
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

PublishQueue::PublishQueue(QString spillPath, std::size_t memoryBound)
    : m_spillPath(std::move(spillPath)), m_memoryBound(memoryBound < 2 ? 2 : memoryBound) {}

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
    m_fd = ::open(path.constData(), flags, 0600);
    if (m_fd < 0 && errno == EEXIST) {
        // A killed run's file is ours to clear; anything else there is not ours to touch.
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && st.st_nlink == 1 && ::unlink(path.constData()) == 0)
            m_fd = ::open(path.constData(), flags, 0600);
        else
            errno = EEXIST;
    }
    const int error = errno;
    struct stat st {};
    if (m_fd >= 0 &&
        (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd >= 0)
        return true;
    m_spillRefused = true;
    m_notices << (error == EEXIST
                      ? QStringLiteral("cannot make the spill file %1: something that is not ours "
                                       "is there (a link, or another user's file); queued readings "
                                       "stay in memory")
                            .arg(m_spillPath)
                      : QStringLiteral("cannot make the spill file %1: %2; queued readings stay in "
                                       "memory")
                            .arg(m_spillPath, QString::fromLocal8Bit(std::strerror(error))));
    return false;
}

bool PublishQueue::spill(const QueuedMessage& message) {
    if (!openSpill())
        return false;
    std::string entry(kEntryHeader, '\0');
    putLe32(entry.data(), std::uint32_t(message.payload.size()));
    putLe32(entry.data() + 4, entryCrc(message.kind, message.payload));
    entry[8] = static_cast<char>(message.kind);
    entry.append(message.payload.constData(), std::size_t(message.payload.size()));
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
                     .arg(m_spillPath, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

void PublishQueue::refill() {
    while (m_spilled > 0 && m_head.size() < m_memoryBound) {
        char header[kEntryHeader];
        QueuedMessage message;
        bool whole = readAt(m_fd, header, kEntryHeader, m_readAt);
        const std::uint32_t size = whole ? le32(header) : 0;
        const auto kind = static_cast<QueuedMessage::Kind>(whole ? header[8] : 0);
        whole = whole && size <= kLargestPayload &&
                (kind == QueuedMessage::Kind::Reading || kind == QueuedMessage::Kind::Discovery);
        if (whole) {
            message.kind = kind;
            message.payload.resize(qsizetype(size));
            whole =
                readAt(m_fd, message.payload.data(), size, m_readAt + std::int64_t(kEntryHeader)) &&
                entryCrc(kind, message.payload) == le32(header + 4);
        }
        if (!whole) {
            m_notices << QStringLiteral("the spill file %1 is damaged: %2 queued readings in it "
                                        "are lost to the broker (the table has them)")
                             .arg(m_spillPath)
                             .arg(m_spilled);
            dropSpill();
            break;
        }
        m_readAt += std::int64_t(kEntryHeader + size);
        --m_spilled;
        m_head.push_back(std::move(message));
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
    m_readAt = 0;
    m_writeAt = 0;
    // Only to give the disk back: entries are written from the start again and read by count.
    if (m_fd >= 0 && ::ftruncate(m_fd, 0) != 0) {
    }
}

void PublishQueue::closeSpill() {
    if (m_fd < 0)
        return;
    // Remove the name only while it still names our file.
    const QByteArray path = m_spillPath.toLocal8Bit();
    struct stat mine {
    }, named{};
    if (::fstat(m_fd, &mine) == 0 && ::lstat(path.constData(), &named) == 0 &&
        mine.st_ino == named.st_ino && mine.st_dev == named.st_dev)
        (void)::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}
