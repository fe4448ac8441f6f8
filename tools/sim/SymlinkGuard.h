#pragma once

#include <memory>
#include <string>

// A symbolic link that names the simulator's terminal for as long as the simulator runs. It
// replaces an older link of the same name, but never a file that is not a link, and on its way
// out removes the link only if it still points where this one was made to point.
class SymlinkGuard {
public:
    // Returns nothing, saying why in error, when the link cannot be made.
    [[nodiscard]] static std::unique_ptr<SymlinkGuard>
    create(const std::string& path, const std::string& target, std::string& error);
    SymlinkGuard(const SymlinkGuard&) = delete;
    SymlinkGuard& operator=(const SymlinkGuard&) = delete;
    ~SymlinkGuard();

private:
    SymlinkGuard(std::string path, std::string target);

    std::string m_path;
    std::string m_target;
};
