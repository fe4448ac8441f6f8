#pragma once

#include <sys/types.h>

#include <string>

// Our own files beside the user's files (journals, copies being written, temporaries of a save),
// created and found so that nothing another user planted at their names is followed, blocked on
// or taken for ours: created exclusively under names no one can guess and held under an advisory
// lock while being written; opened without following a link and without blocking, and checked
// to be a regular file that belongs to us.
class OwnFile {
public:
    struct Opened {
        int fd = -1;
        int error = 0;       // the system's error number when the open failed (ENOENT: none)
        std::string refusal; // the file exists but is not ours to use, in words for the user
        [[nodiscard]] bool ok() const { return fd >= 0; }
    };

    // Sixteen hexadecimal digits from the system's random source.
    [[nodiscard]] static std::string randomTag();

    // Creates "<folder>/<prefix><tag><suffix>" exclusively, locked (flock) for as long as the
    // descriptor stays open. On failure fd is -1 and error holds the system's error number.
    struct Created {
        int fd = -1;
        int error = 0;
        std::string path;
    };
    [[nodiscard]] static Created createExclusive(const std::string& folder,
                                                 const std::string& prefix,
                                                 const std::string& suffix, mode_t mode = 0666);

    // Opens an existing file of ours with flags (O_RDONLY, O_WRONLY...), refusing a symbolic
    // link, anything but a regular file, and a file of another user.
    [[nodiscard]] static Opened openExisting(const std::string& path, int flags);

    // Removes path if it is a regular file of ours that no process holds locked; returns its size
    // when it was removed, -1 when it was left.
    [[nodiscard]] static off_t removeIfUnheld(const std::string& path);

    // Whether path still names the file open at fd.
    [[nodiscard]] static bool stillNames(const std::string& path, int fd);
};
