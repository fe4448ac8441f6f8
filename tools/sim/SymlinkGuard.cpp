#include "SymlinkGuard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace {

std::string errnoText() {
    return std::system_category().message(errno);
}

// The link's target, or empty when path is no readable link.
std::string linkTarget(const std::string& path) {
    std::array<char, 4096> target{};
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (size <= 0)
        return {};
    return std::string(target.data(), static_cast<std::size_t>(size));
}

} // namespace

std::unique_ptr<SymlinkGuard> SymlinkGuard::create(const std::string& path,
                                                   const std::string& target, std::string& error) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = "'" + path + "' exists and is not a symbolic link; it is left as it is";
        return nullptr;
    }
    // Made under a temporary name and renamed over the old link, so that the name never
    // points nowhere and a program opening it meanwhile finds either the old or the new one.
    const std::string temporary = path + ".velmar-sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = "cannot make the link '" + path + "': " + errnoText();
        return nullptr;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot make the link '" + path + "': " + errnoText();
        ::unlink(temporary.c_str());
        return nullptr;
    }
    return std::unique_ptr<SymlinkGuard>(new SymlinkGuard(path, target));
}

SymlinkGuard::SymlinkGuard(std::string path, std::string target)
    : m_path(std::move(path)), m_target(std::move(target)) {}

SymlinkGuard::~SymlinkGuard() {
    if (linkTarget(m_path) == m_target)
        ::unlink(m_path.c_str());
}
