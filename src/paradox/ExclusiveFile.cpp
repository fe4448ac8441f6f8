#include "ExclusiveFile.h"

#include "OwnFile.h"
#include "ParadoxError.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void throwWriteError(const QString& path, int error) {
    ExclusiveFile::throwWriteError(path, error);
}

// The largest file a Paradox table can be: a header and 65535 blocks of 32 KiB.
constexpr off_t kLargestTable = off_t{65536} * 32 * 1024;

// A file being written beside its final path, created exclusively under a name no one can guess
// and held locked while written; deleted again unless moved into place.
class TemporaryFile {
public:
    TemporaryFile(const QString& directory, const QString& finalName, const QString& finalPath,
                  ExclusiveFile::Copy copy) {
        const OwnFile::Created created =
            OwnFile::createExclusive(QFile::encodeName(directory).toStdString(),
                                     '.' + QFile::encodeName(finalName).toStdString() + '.',
                                     copy == ExclusiveFile::Copy::Export ? ".export.tmp" : ".tmp");
        if (created.fd < 0)
            throwWriteError(finalPath, created.error);
        m_fd = created.fd;
        m_name = QByteArray::fromStdString(created.path);
    }

    ~TemporaryFile() {
        if (m_fd < 0)
            return;
        ::close(m_fd);
        ::unlink(m_name.constData());
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] const char* name() const { return m_name.constData(); }

    // The file now lives under its final name; the caller owns the descriptor.
    int release() { return std::exchange(m_fd, -1); }

private:
    QByteArray m_name;
    int m_fd = -1;
};

// Returns 0 or the error number of the failed write.
int writeAll(int fd, std::span<const char> bytes, off_t offset = -1) {
    while (!bytes.empty()) {
        const ssize_t written = offset < 0 ? ::write(fd, bytes.data(), bytes.size())
                                           : ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        if (offset >= 0)
            offset += written;
    }
    return 0;
}

// Makes the rename itself durable. The new contents are already in place once the rename has
// returned, so a failure here is not reported as a failed write.
void syncDirectory(const QString& directory) {
    const int fd =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Gives the temporary file its final name unless a file of that name exists (someone else
// created it meanwhile); link() refuses to replace. Returns false when the name was taken.
bool linkWithoutReplacing(const char* temp, const QByteArray& target, const QString& path) {
    if (::link(temp, target.constData()) == 0) {
        ::unlink(temp);
        return true;
    }
    if (errno == EEXIST)
        return false;
    // File systems without hard links: fall back to a rename, which only loses the race against
    // a second instance creating the same table in the same instant.
    struct stat st {};
    if (::stat(target.constData(), &st) == 0)
        return false;
    if (::rename(temp, target.constData()) != 0)
        throwWriteError(path, errno);
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

ExclusiveFile::~ExclusiveFile() {
    close();
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_writable(std::exchange(other.m_writable, false)),
      m_writeRefusal(std::exchange(other.m_writeRefusal, {})) {}

ExclusiveFile& ExclusiveFile::operator=(ExclusiveFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_writable = std::exchange(other.m_writable, false);
        m_writeRefusal = std::exchange(other.m_writeRefusal, {});
    }
    return *this;
}

void ExclusiveFile::close() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    m_writable = false;
    m_writeRefusal.clear();
}

namespace {

struct Opened {
    int fd = -1;
    int writeError = 0; // why it was opened for reading only; 0 when writable or no write bits
    bool writable = false;
};

// Read and write when the file's permission bits let anyone write (root ignores them, the
// program does not), read only otherwise.
Opened openForTable(const QByteArray& name) {
    // The path has been resolved by the rule for links; a link planted since is not followed,
    // and a FIFO does not block the open (it is refused as no regular file afterwards).
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    struct stat st {};
    const bool writeBits = ::lstat(name.constData(), &st) == 0 && (st.st_mode & 0222) != 0;
    if (writeBits) {
        const int fd = ::open(name.constData(), O_RDWR | kFlags);
        if (fd >= 0)
            return {fd, 0, true};
        if (errno != EACCES && errno != EPERM && errno != EROFS && errno != ETXTBSY)
            return {-1, errno, false};
        const int refusal = errno;
        return {::open(name.constData(), O_RDONLY | kFlags), refusal, false};
    }
    return {::open(name.constData(), O_RDONLY | kFlags), 0, false};
}

} // namespace

ExclusiveFile ExclusiveFile::open(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // A save elsewhere may rename a new file over the path between our open and our lock; the
    // lock would then guard a file no one opens any more, so check and try again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const Opened opened = openForTable(name);
        const int fd = opened.fd;
        if (fd < 0 && errno == ENOENT)
            throw ParadoxError(QStringLiteral("The table file '%1' does not exist.").arg(path));
        if (fd < 0) {
            throw ParadoxError(QStringLiteral("Could not open the table file '%1': %2")
                                   .arg(path, systemError(errno)));
        }
        ExclusiveFile file(fd, opened.writable);
        if (opened.writeError != 0)
            file.m_writeRefusal = systemError(opened.writeError);
        struct stat openedStat {};
        if (::fstat(fd, &openedStat) != 0 || !S_ISREG(openedStat.st_mode))
            throw ParadoxError(QStringLiteral("'%1' is not a table file.").arg(path));
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) {
                throw ParadoxError(
                    QStringLiteral("The table '%1' is already in use by another program.")
                        .arg(path));
            }
            throw ParadoxError(QStringLiteral("Could not lock the table file '%1': %2")
                                   .arg(path, systemError(errno)));
        }
        struct stat current {};
        if (::stat(name.constData(), &current) == 0 && sameFile(openedStat, current))
            return file;
    }
    throw ParadoxError(
        QStringLiteral("The table '%1' is already in use by another program.").arg(path));
}

ExclusiveFile ExclusiveFile::write(const QString& path, std::span<const char> bytes,
                                   const SaveHook& saveHook, Existing existing, const mode_t* mode,
                                   Copy copy) {
    const QFileInfo info(path);
    TemporaryFile temp(info.absolutePath(), info.fileName(), path, copy);
    if (mode && ::fchmod(temp.fd(), *mode) != 0)
        throwWriteError(path, errno);
    if (const int error = writeAll(temp.fd(), bytes))
        throwWriteError(path, error);
    saveHook.at("copy-written");
    if (::fsync(temp.fd()) != 0)
        throwWriteError(path, errno);
    saveHook.at("copy-synced");

    const QByteArray target = QFile::encodeName(path);
    if (existing == Existing::Keep && !linkWithoutReplacing(temp.name(), target, path))
        return {};
    if (existing == Existing::Replace && ::rename(temp.name(), target.constData()) != 0)
        throwWriteError(path, errno);
    saveHook.at("copy-renamed");
    ExclusiveFile written(temp.release());
    syncDirectory(info.absolutePath());
    return written;
}

bool ExclusiveFile::exists(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

std::vector<char> ExclusiveFile::readAll(const QString& path) const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        throw ParadoxError(
            QStringLiteral("Could not read the table file '%1': %2").arg(path, systemError(errno)));
    }
    if (st.st_size > kLargestTable)
        throw ParadoxError(QStringLiteral("'%1' is too large to be a Paradox table.").arg(path));
    std::vector<char> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            throw ParadoxError(QStringLiteral("Could not read the table file '%1': %2")
                                   .arg(path, systemError(errno)));
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

mode_t ExclusiveFile::permissions() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return 0666;
    return st.st_mode & 07777;
}

int ExclusiveFile::writeAt(off_t offset, std::span<const char> bytes) const {
    if (!m_writable)
        return EBADF;
    return writeAll(m_fd, bytes, offset);
}

int ExclusiveFile::syncData() const {
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
}

int ExclusiveFile::truncate(off_t size) const {
    return ::ftruncate(m_fd, size) == 0 ? 0 : errno;
}

off_t ExclusiveFile::size() const {
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 ? st.st_size : -1;
}

bool ExclusiveFile::isStillAt(const QString& path) const {
    struct stat opened {};
    struct stat named {};
    return ::fstat(m_fd, &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 && sameFile(opened, named);
}

void ExclusiveFile::throwWriteError(const QString& path, int error) {
    const bool full = error == ENOSPC || error == EDQUOT || error == EFBIG;
    throw ParadoxError(QStringLiteral("Could not write the table file '%1': %2")
                           .arg(QFileInfo(path).absoluteFilePath(), systemError(error)),
                       full ? ParadoxCause::DiskFull : ParadoxCause::WriteFailed);
}
