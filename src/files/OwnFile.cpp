#include "OwnFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

std::string OwnFile::randomTag() {
    std::array<unsigned char, 8> bytes{};
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < bytes.size()) {
        // No random source: the clock still makes a name no one can prepare in advance.
        auto t = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(t ^ static_cast<unsigned long long>(::getpid()));
            t >>= 8;
        }
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string tag;
    for (const unsigned char b : bytes) {
        tag += kDigits[b >> 4];
        tag += kDigits[b & 0xF];
    }
    return tag;
}

OwnFile::Created OwnFile::createExclusive(const std::string& folder, const std::string& prefix,
                                          const std::string& suffix, mode_t mode) {
    Created created;
    for (int attempt = 0; attempt < 16; ++attempt) {
        created.path = folder;
        created.path.append(1, '/').append(prefix).append(randomTag()).append(suffix);
        created.fd = ::open(created.path.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
        if (created.fd >= 0)
            break;
        created.error = errno;
        if (errno != EEXIST)
            return created;
    }
    if (created.fd < 0)
        return created;
    // Held while it is written, so that a cleanup elsewhere tells it from one a kill left.
    if (::flock(created.fd, LOCK_EX | LOCK_NB) != 0) {
        created.error = errno;
        ::close(created.fd);
        ::unlink(created.path.c_str());
        created.fd = -1;
        return created;
    }
    created.error = 0;
    return created;
}

OwnFile::Opened OwnFile::openExisting(const std::string& path, int flags) {
    Opened opened;
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        opened.error = errno;
        if (errno == ELOOP)
            opened.refusal = "'" + path +
                             "' is a symbolic link, not a file of this program; it "
                             "was not followed.";
        return opened;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        opened.refusal = "'" + path + "' is not a regular file; it was not opened.";
        return opened;
    }
    if (st.st_uid != ::geteuid()) {
        ::close(fd);
        opened.refusal = "'" + path + "' belongs to another user (uid " +
                         std::to_string(st.st_uid) + "); it was not used.";
        return opened;
    }
    opened.fd = fd;
    return opened;
}

off_t OwnFile::removeIfUnheld(const std::string& path) {
    const Opened opened = openExisting(path, O_RDONLY);
    if (!opened.ok())
        return -1;
    off_t size = -1;
    struct stat st {};
    if (::flock(opened.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(opened.fd, &st) == 0 &&
        stillNames(path, opened.fd) && ::unlink(path.c_str()) == 0)
        size = st.st_size;
    ::close(opened.fd);
    return size;
}

bool OwnFile::stillNames(const std::string& path, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}
