#include "CrashJournal.h"

#include "OwnFile.h"
#include "TableError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

constexpr char kMagic[8] = {'V', 'E', 'L', 'M', 'P', 'E', 'N', 'D'};
// Version 1 had no identity; it is still read, and written no more.
constexpr quint32 kVersion1 = 1;
constexpr std::size_t kHeader1Size = 32; // magic, version, record size, base count, spare, CRC
constexpr quint32 kVersion = 2;
constexpr std::size_t kNameSpace = 256; // a file name of up to 255 bytes
// magic, version, record size, base count, fields hash, name length, name, CRC
constexpr std::size_t kHeaderSize = 8 + 4 + 4 + 8 + 8 + 4 + kNameSpace + 4;
constexpr std::size_t kEntryOverhead = 8 + 4; // moment and CRC around the record

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

std::vector<char> headerBytes(const CrashJournal::Identity& identity, qint64 baseCount) {
    std::vector<char> out(kMagic, kMagic + sizeof(kMagic));
    putLe<quint32>(out, kVersion);
    putLe<quint32>(out, static_cast<quint32>(identity.recordSize));
    putLe<qint64>(out, baseCount);
    putLe<quint64>(out, identity.fieldsHash);
    QByteArray name = QFile::encodeName(identity.tableName).left(kNameSpace);
    putLe<quint32>(out, static_cast<quint32>(name.size()));
    name.resize(kNameSpace, '\0');
    out.insert(out.end(), name.begin(), name.end());
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

// A descriptor closed when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads up to size bytes at offset; the count read, or -1.
qint64 readAt(int fd, char* into, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<qint64>(done);
}

struct Scan {
    std::vector<CrashJournal::Entry> entries;
    qint64 damaged = 0;     // whole-sized entries whose check fails
    qint64 wholeLength = 0; // end of the last whole-sized entry
    int error = 0;
};

// Walks the entries from offset one by one through a small buffer: a bad entry is counted and
// skipped, and reading goes on with the next, so one bad sector costs one reading.
Scan scanEntries(int fd, qint64 offset, int recordSize, qint64 fileSize) {
    Scan scan;
    const qint64 entrySize = recordSize + static_cast<qint64>(kEntryOverhead);
    const qint64 perChunk = std::max<qint64>(1, (qint64{64} * 1024) / entrySize);
    std::vector<char> buffer(static_cast<std::size_t>(perChunk * entrySize));
    qint64 at = offset;
    scan.wholeLength = offset;
    while (at + entrySize <= fileSize) {
        const qint64 want = std::min<qint64>(perChunk, (fileSize - at) / entrySize) * entrySize;
        const qint64 got = readAt(fd, buffer.data(), static_cast<std::size_t>(want), at);
        if (got < 0) {
            scan.error = errno;
            return scan;
        }
        const qint64 whole = got / entrySize;
        for (qint64 i = 0; i < whole; ++i) {
            const char* entry = buffer.data() + i * entrySize;
            const auto checked = static_cast<std::size_t>(entrySize - 4);
            if (getLe<quint32>(entry + checked) != crc32(entry, checked)) {
                ++scan.damaged;
                continue;
            }
            scan.entries.push_back(
                {getLe<qint64>(entry), std::vector<char>(entry + 8, entry + 8 + recordSize)});
        }
        at += whole * entrySize;
        scan.wholeLength = at;
        if (got < want)
            break; // the file shrank under us
    }
    return scan;
}

struct Header {
    bool whole = false;
    quint32 version = 0;
    std::size_t size = 0;
    int recordSize = 0;
    qint64 baseCount = -1;
    quint64 fieldsHash = 0;
    QString tableName;
};

Header parseHeader(const char* bytes, std::size_t available) {
    Header header;
    if (available < kHeader1Size || std::memcmp(bytes, kMagic, sizeof(kMagic)) != 0)
        return header;
    header.version = getLe<quint32>(bytes + 8);
    if (header.version == kVersion1) {
        header.size = kHeader1Size;
    } else if (header.version == kVersion && available >= kHeaderSize) {
        header.size = kHeaderSize;
    } else {
        return header;
    }
    if (getLe<quint32>(bytes + header.size - 4) != crc32(bytes, header.size - 4))
        return header;
    header.recordSize = static_cast<int>(getLe<quint32>(bytes + 12));
    header.baseCount = getLe<qint64>(bytes + 16);
    if (header.version == kVersion) {
        header.fieldsHash = getLe<quint64>(bytes + 24);
        const std::size_t length = std::min<std::size_t>(getLe<quint32>(bytes + 32), kNameSpace);
        header.tableName =
            QFile::decodeName(QByteArray(bytes + 36, static_cast<qsizetype>(length)));
    }
    header.whole = true;
    return header;
}

} // namespace

CrashJournal::~CrashJournal() {
    close();
}

CrashJournal::CrashJournal(CrashJournal&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_recordSize(other.m_recordSize),
      m_path(std::move(other.m_path)), m_dirty(other.m_dirty), m_folderDirty(other.m_folderDirty),
      m_syncsElsewhere(other.m_syncsElsewhere), m_lastSyncMs(other.m_lastSyncMs),
      m_saveHook(std::move(other.m_saveHook)) {}

CrashJournal& CrashJournal::operator=(CrashJournal&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_recordSize = other.m_recordSize;
        m_path = std::move(other.m_path);
        m_dirty = other.m_dirty;
        m_folderDirty = other.m_folderDirty;
        m_syncsElsewhere = other.m_syncsElsewhere;
        m_lastSyncMs = other.m_lastSyncMs;
        m_saveHook = std::move(other.m_saveHook);
    }
    return *this;
}

QString CrashJournal::pathFor(const QString& tablePath) {
    const QFileInfo table(tablePath);
    return table.absolutePath() + QStringLiteral("/.") + table.fileName() +
           QStringLiteral(".pending");
}

QString CrashJournal::nextPathFor(const QString& tablePath) {
    return pathFor(tablePath) + QStringLiteral(".next");
}

int CrashJournal::syncFolderOf(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

QString CrashJournal::asidePattern(const QString& path, const QString& what) {
    return path + QLatin1Char('.') + what + QStringLiteral("-%1");
}

CrashJournal::Found CrashJournal::read(const QString& path, const Identity& identity) {
    Found found;
    const QByteArray name = QFile::encodeName(path);
    const OwnFile::Opened opened = OwnFile::openExisting(name.toStdString(), O_RDONLY);
    if (!opened.ok() && opened.refusal.empty() && opened.error == ENOENT)
        return found;
    if (!opened.ok()) {
        found.kind = Found::Kind::Refused;
        found.damage = opened.refusal.empty()
                           ? QStringLiteral("'%1' could not be read: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(opened.error)))
                           : QString::fromStdString(opened.refusal);
        return found;
    }
    const Fd file{opened.fd};
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        found.kind = Found::Kind::Refused;
        found.damage = QStringLiteral("'%1' could not be read: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return found;
    }
    std::array<char, kHeaderSize> head{};
    const qint64 got = readAt(file.fd, head.data(), head.size(), 0);
    const Header header = parseHeader(head.data(), got < 0 ? 0 : static_cast<std::size_t>(got));
    found.contents.recordSize = identity.recordSize;

    if (header.whole &&
        (header.recordSize != identity.recordSize ||
         (header.version == kVersion &&
          (header.tableName != identity.tableName || header.fieldsHash != identity.fieldsHash)))) {
        found.kind = Found::Kind::Foreign;
        found.damage =
            header.version == kVersion
                ? QStringLiteral("the table '%1'").arg(header.tableName)
                : QStringLiteral("a table of records of %1 bytes").arg(header.recordSize);
        return found;
    }
    const qint64 entrySize = identity.recordSize + static_cast<qint64>(kEntryOverhead);
    if (st.st_size > static_cast<qint64>(kHeaderSize) + kMostEntries * entrySize) {
        found.kind = Found::Kind::Damaged;
        found.damage = QStringLiteral("it is far too large (%1 bytes) to be read").arg(st.st_size);
        return found;
    }

    Scan scan;
    if (header.whole) {
        scan =
            scanEntries(file.fd, static_cast<qint64>(header.size), identity.recordSize, st.st_size);
        found.contents.baseCount = header.baseCount;
    } else {
        // Without a header to trust, the entries are looked for where either version puts
        // them, with the table's own record size; the better reading is taken.
        scan = scanEntries(file.fd, kHeaderSize, identity.recordSize, st.st_size);
        Scan old = scanEntries(file.fd, kHeader1Size, identity.recordSize, st.st_size);
        if (old.entries.size() > scan.entries.size())
            scan = std::move(old);
    }
    found.damagedEntries = scan.damaged;
    found.contents.entries = std::move(scan.entries);
    found.contents.wholeLength = scan.wholeLength;
    QStringList what;
    if (!header.whole)
        what << QStringLiteral("its header is damaged or of an unknown version");
    if (scan.damaged > 0)
        what << QStringLiteral("%1 damaged entries were skipped").arg(scan.damaged);
    if (scan.error != 0)
        what << QStringLiteral("reading it failed (%1)")
                    .arg(QString::fromLocal8Bit(std::strerror(scan.error)));
    found.kind = what.isEmpty() ? Found::Kind::Ours : Found::Kind::Damaged;
    found.damage = what.join(QStringLiteral(", "));
    return found;
}

QString CrashJournal::moveAside(const QString& path, const QString& what, int& error) {
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1; n < 10000; ++n) {
        QString aside = asidePattern(path, what).arg(n);
        const QByteArray to = QFile::encodeName(aside);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS) {
            error = errno;
            return {};
        }
        // A file system without the no-replace rename: a hard link refuses to replace as well.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return aside;
        }
        if (errno == EEXIST)
            continue;
        error = errno;
        return {};
    }
    error = EEXIST;
    return {};
}

int CrashJournal::create(const QString& path, const Identity& identity, qint64 baseCount,
                         const std::vector<Entry>& entries, Durable durable) {
    close();
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(path);
    struct stat st {};
    // Only a journal of ours is replaced; a link, a FIFO or another user's file stays.
    if (::lstat(target.constData(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()))
        return EEXIST;
    const OwnFile::Created fresh = OwnFile::createExclusive(
        QFile::encodeName(info.absolutePath()).toStdString(),
        QFile::encodeName(info.fileName()).toStdString() + '.', ".new", 0644);
    if (fresh.fd < 0)
        return fresh.error;
    int error = writeAll(fresh.fd, headerBytes(identity, baseCount));
    std::vector<char> chunk;
    for (const Entry& entry : entries) {
        if (error != 0)
            break;
        const std::vector<char> e =
            entryBytes(entry.recordedMs, entry.record.data(), identity.recordSize);
        chunk.insert(chunk.end(), e.begin(), e.end());
        if (chunk.size() >= 64 * 1024) {
            error = writeAll(fresh.fd, chunk);
            chunk.clear();
        }
    }
    if (error == 0)
        error = writeAll(fresh.fd, chunk);
    if (error == 0 && durable == Durable::Now && ::fdatasync(fresh.fd) != 0)
        error = errno;
    m_saveHook.at("journal-replacement-written");
    if (error == 0 && ::rename(fresh.path.c_str(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::close(fresh.fd);
        ::unlink(fresh.path.c_str());
        return error;
    }
    m_fd = fresh.fd;
    m_recordSize = identity.recordSize;
    m_path = path;
    m_dirty = durable == Durable::Later;
    m_folderDirty = m_dirty;
    if (durable == Durable::Now)
        syncFolderOf(path);
    return 0;
}

int CrashJournal::renameTo(const QString& path) {
    if (m_fd < 0)
        return EBADF;
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(path);
    struct stat st {};
    // As create(): only a journal of ours is replaced, and only our own file is moved.
    if (::lstat(to.constData(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()))
        return EEXIST;
    if (!OwnFile::stillNames(from.toStdString(), m_fd))
        return ENOENT;
    if (::rename(from.constData(), to.constData()) != 0)
        return errno;
    m_path = path;
    m_dirty = true;
    m_folderDirty = true;
    return 0;
}

int CrashJournal::reopen(const QString& path, const Contents& contents) {
    close();
    const OwnFile::Opened opened =
        OwnFile::openExisting(QFile::encodeName(path).toStdString(), O_WRONLY);
    if (!opened.ok())
        return opened.error != 0 ? opened.error : EEXIST;
    const int fd = opened.fd;
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
    m_saveHook.at("journal-written");
    if (m_syncsElsewhere || nowMs - m_lastSyncMs < kSyncIntervalMs)
        return 0;
    m_lastSyncMs = nowMs;
    return sync();
}

int CrashJournal::sync() {
    if (m_fd < 0 || !m_dirty)
        return 0;
    if (::fdatasync(m_fd) != 0)
        return errno;
    if (m_folderDirty) {
        if (const int error = syncFolderOf(m_path))
            return error;
    }
    m_dirty = false;
    m_folderDirty = false;
    return 0;
}

int CrashJournal::descriptorToSync(int& error, bool& folder) {
    error = 0;
    folder = false;
    if (m_fd < 0 || !m_dirty)
        return -1;
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    folder = std::exchange(m_folderDirty, false);
    m_dirty = false;
    return fd;
}

void CrashJournal::remove() {
    if (m_path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(m_path);
    // Only the file we wrote: its name may meanwhile lead elsewhere.
    if (m_fd >= 0 && OwnFile::stillNames(name.toStdString(), m_fd))
        ::unlink(name.constData());
    close();
    m_path.clear();
}

void CrashJournal::close() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}
