#pragma once

#include <string>

// Where a path leads when symbolic links are followed only as the kernel's protected_symlinks
// rule follows them in a shared folder, applied in every folder: a link is followed when it
// belongs to us or to the owner of the folder that holds it. A link that another user planted
// (in /tmp, or in any folder others may write) could otherwise make us write, or open as ours,
// a file that user could not touch; such a link is refused, with the reason. Every path the
// program writes or opens beside the user's files goes through this rule.
class FollowRule {
public:
    struct Resolved {
        std::string path;    // absolute, free of links, "." and ".."; empty when refused
        std::string refusal; // why not, in words for the user; empty when followed
        [[nodiscard]] bool ok() const { return refusal.empty(); }
    };

    // A path relative to the current directory counts from there. A missing last part (a file
    // about to be created) is fine; the rest of a missing path is kept as given.
    [[nodiscard]] static Resolved resolve(const std::string& path);
};
