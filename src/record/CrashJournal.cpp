#include "CrashJournal.h"

#include "SaveHook.h"
#include "TableError.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

constexpr char kMagic[8] = {'V', 'E', 'L', 'M', 'P', 'E', 'N', 'D'};
constexpr quint32 kVersion = 1;
constexpr std::size_t kHeaderSize = 32; // magic, version, record size, base count, spare, CRC

quint32 crc32(const char* data, std::size_t size) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

template <typename T> void putLe(std::vector<char>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((static_cast<quint64>(value) >> (8 * i)) & 0xFF));
}

template <typename T> T getLe(const char* at) {
    quint64 value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<quint64>(static_cast<unsigned char>(at[i])) << (8 * i);
    return static_cast<T>(value);
}

std::vector<char> headerBytes(int recordSize, qint64 baseCount) {
    std::vector<char> out(kMagic, kMagic + sizeof(kMagic));
    putLe<quint32>(out, kVersion);
    putLe<quint32>(out, static_cast<quint32>(recordSize));
    putLe<qint64>(out, baseCount);
    putLe<quint32>(out, 0);
    putLe<quint32>(out, crc32(out.data(), out.size()));
    return out;
}

std::vector<char> entryBytes(qint64 recordedMs, const char* record, int recordSize) {
    std::vector<char> out;
    out.reserve(8 + static_cast<std::size_t>(recordSize) + 4);
    putLe<qint64>(out, recordedMs);
    out.insert(out.end(), record, record + recordSize);
    putLe<quint32>(out, crc32(out.data(), out.size()));
    return out;
}

int writeAll(int fd, const std::vector<char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

void syncFolder(const QString& file) {
    const int fd = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

CrashJournal::~CrashJournal() {
    close();
}

CrashJournal::CrashJournal(CrashJournal&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_recordSize(other.m_recordSize),
      m_path(std::move(other.m_path)), m_dirty(other.m_dirty), m_lastSyncMs(other.m_lastSyncMs) {}

CrashJournal& CrashJournal::operator=(CrashJournal&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_recordSize = other.m_recordSize;
        m_path = std::move(other.m_path);
        m_dirty = other.m_dirty;
        m_lastSyncMs = other.m_lastSyncMs;
    }
    return *this;
}

QString CrashJournal::pathFor(const QString& tablePath) {
    const QFileInfo table(tablePath);
    return table.absolutePath() + QStringLiteral("/.") + table.fileName() +
           QStringLiteral(".pending");
}

std::optional<CrashJournal::Contents> CrashJournal::read(const QString& path, int recordSize) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        throw TableError(QStringLiteral("Could not read the pending readings in '%1': %2")
                             .arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    const bool headerWhole = bytes.size() >= static_cast<qsizetype>(kHeaderSize) &&
                             std::memcmp(bytes.constData(), kMagic, sizeof(kMagic)) == 0 &&
                             getLe<quint32>(bytes.constData() + 28) == crc32(bytes.constData(), 28);
    if (!headerWhole || getLe<quint32>(bytes.constData() + 8) != kVersion ||
        getLe<quint32>(bytes.constData() + 12) != static_cast<quint32>(recordSize)) {
        throw TableError(
            QStringLiteral("'%1' does not hold pending readings of this table.").arg(path));
    }
    Contents contents;
    contents.recordSize = recordSize;
    contents.baseCount = getLe<qint64>(bytes.constData() + 16);
    const auto entrySize = static_cast<qsizetype>(8 + recordSize + 4);
    qsizetype at = kHeaderSize;
    for (; at + entrySize <= bytes.size(); at += entrySize) {
        const char* entry = bytes.constData() + at;
        if (getLe<quint32>(entry + entrySize - 4) != crc32(entry, entrySize - 4))
            break; // a write cut short by a crash, and anything after it
        contents.entries.push_back(
            {getLe<qint64>(entry), std::vector<char>(entry + 8, entry + 8 + recordSize)});
    }
    contents.wholeLength = at;
    return contents;
}

int CrashJournal::create(const QString& path, int recordSize, qint64 baseCount,
                         const std::vector<Entry>& entries) {
    close();
    const QString fresh = path + QStringLiteral(".new");
    const QByteArray freshName = QFile::encodeName(fresh);
    const int fd = ::open(freshName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    std::vector<char> bytes = headerBytes(recordSize, baseCount);
    for (const Entry& entry : entries) {
        const std::vector<char> e = entryBytes(entry.recordedMs, entry.record.data(), recordSize);
        bytes.insert(bytes.end(), e.begin(), e.end());
    }
    int error = writeAll(fd, bytes);
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (error == 0 && ::rename(freshName.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        ::unlink(freshName.constData());
        return error;
    }
    syncFolder(path);
    m_fd = fd;
    m_recordSize = recordSize;
    m_path = path;
    m_dirty = false;
    return 0;
}

int CrashJournal::reopen(const QString& path, const Contents& contents) {
    close();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (::ftruncate(fd, contents.wholeLength) != 0 ||
        ::lseek(fd, contents.wholeLength, SEEK_SET) < 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    m_fd = fd;
    m_recordSize = contents.recordSize;
    m_path = path;
    m_dirty = true;
    return 0;
}

int CrashJournal::append(qint64 recordedMs, const char* record, qint64 nowMs) {
    if (m_fd < 0)
        return EBADF;
    if (const int error = writeAll(m_fd, entryBytes(recordedMs, record, m_recordSize)))
        return error;
    m_dirty = true;
    SaveHook::at("journal-written");
    if (nowMs - m_lastSyncMs < kSyncIntervalMs)
        return 0;
    m_lastSyncMs = nowMs;
    return sync();
}

int CrashJournal::sync() {
    if (m_fd < 0 || !m_dirty)
        return 0;
    if (::fdatasync(m_fd) != 0)
        return errno;
    m_dirty = false;
    return 0;
}

void CrashJournal::remove() {
    if (m_path.isEmpty())
        return;
    close();
    ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}

void CrashJournal::close() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}
