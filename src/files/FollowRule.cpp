#include "FollowRule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <string_view>
#include <vector>

namespace {

constexpr int kMostLinks = 40; // as the kernel's own limit

std::deque<std::string> partsOf(std::string_view path) {
    std::deque<std::string> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end > at)
            parts.emplace_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string currentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    return ::getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string("/");
}

} // namespace

FollowRule::Resolved FollowRule::resolve(const std::string& path) {
    if (path.empty())
        return {{}, "No file name was given."};
    std::deque<std::string> todo = partsOf(path);
    if (path.front() != '/') {
        std::deque<std::string> base = partsOf(currentDirectory());
        todo.insert(todo.begin(), base.begin(), base.end());
    }
    std::string done; // "" is the root folder
    int links = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            done = parentOf(done);
            continue;
        }
        std::string candidate = done;
        candidate += '/';
        candidate += part;
        struct stat link {};
        if (::lstat(candidate.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            done = candidate; // missing parts, or an error the caller's open will report
            continue;
        }
        if (++links > kMostLinks)
            return {{}, "'" + path + "' leads through too many symbolic links."};
        struct stat folder {};
        const std::string folderPath = done.empty() ? std::string("/") : done;
        const bool folderKnown = ::stat(folderPath.c_str(), &folder) == 0;
        if (link.st_uid != ::geteuid() && (!folderKnown || link.st_uid != folder.st_uid)) {
            return {{},
                    "'" + candidate + "' is a symbolic link that belongs to another user (uid " +
                        std::to_string(link.st_uid) + "), not to you or the folder's owner; " +
                        "it was not followed."};
        }
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t size = ::readlink(candidate.c_str(), target.data(), PATH_MAX);
        if (size <= 0) {
            done = candidate;
            continue;
        }
        const std::string_view to(target.data(), static_cast<std::size_t>(size));
        std::deque<std::string> more = partsOf(to);
        todo.insert(todo.begin(), more.begin(), more.end());
        if (to.front() == '/')
            done.clear();
    }
    return {done.empty() ? std::string("/") : done, {}};
}
