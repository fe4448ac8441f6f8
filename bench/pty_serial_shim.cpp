// LD_PRELOAD into a program whose serial library refuses a pseudo-terminal, so that it can read
// the simulated meter through the meter's link: the library looks the device up under
// /sys/class/tty, where a pts has no entry, and sets the modem lines, which a pts does not have.
// The lookup finds the ptmx entry (a virtual tty, read as a native port) instead, and the
// modem-line calls on a pts succeed with DTR and RTS reported as set. Nothing else is changed.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char kPtsEntry[] = "/sys/class/tty/pts/";
constexpr const char kPtmxEntry[] = "/sys/class/tty/ptmx";
constexpr unsigned kPtsMajorFirst = 136; // Unix 98 pseudo-terminal slaves
constexpr unsigned kPtsMajorLast = 143;

bool isPts(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= kPtsMajorFirst && m <= kPtsMajorLast;
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// A path under a pts's missing entry, as the same path under ptmx's.
const char* redirected(const char* path) {
    thread_local char buffer[4096];
    if (path == nullptr || std::strncmp(path, kPtsEntry, sizeof kPtsEntry - 1) != 0)
        return path;
    const char* rest = std::strchr(path + sizeof kPtsEntry - 1, '/');
    std::snprintf(buffer, sizeof buffer, "%s%s", kPtmxEntry, rest != nullptr ? rest : "");
    return buffer;
}

} // namespace

extern "C" {

// The library looks a port up under /sys/class/tty by its device's name, where a pts has no
// entry; it finds the entry of ptmx, a virtual tty it takes for a native port, instead.
int __lxstat(int version, const char* path, struct stat* st) {
    static const auto real = next<int (*)(int, const char*, struct stat*)>("__lxstat");
    return real(version, redirected(path), st);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    static const auto real = next<ssize_t (*)(const char*, char*, size_t)>("readlink");
    return real(redirected(path), buffer, size);
}

FILE* fopen(const char* path, const char* mode) {
    static const auto real = next<FILE* (*)(const char*, const char*)>("fopen");
    return real(redirected(path), mode);
}

int ioctl(int fd, unsigned long request, ...) {
    static const auto real = next<int (*)(int, unsigned long, void*)>("ioctl");
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (isPts(fd)) {
        switch (request) {
        case TIOCMGET:
            *static_cast<int*>(argument) = TIOCM_DTR | TIOCM_RTS;
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return 0;
        default:
            break;
        }
    }
    return real(fd, request, argument);
}
}
