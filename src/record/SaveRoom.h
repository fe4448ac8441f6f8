#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Whether a save that found the disk full (or the file-size limit reached) may succeed now. It
// is tried again only when the file system could hold what it writes and the limit the file it
// leaves: each try that cannot succeed would write onto a disk that is already full.
class SaveRoom {
public:
    struct Needs {
        std::uint64_t bytes = 0;    // written by the save
        std::uint64_t fileSize = 0; // of the table once saved
    };
    // What the system allows now; unknown where it cannot tell, unlimited as no value.
    struct Allows {
        std::optional<std::uint64_t> freeBytes;
        std::optional<std::uint64_t> fileSizeLimit;
    };
    enum class Verdict { Try, Wait };

    // Unknown room is tried: only the save itself can tell then.
    [[nodiscard]] static Verdict verdict(const Allows& allows, const Needs& needs) {
        if (allows.freeBytes && *allows.freeBytes < needs.bytes)
            return Verdict::Wait;
        if (allows.fileSizeLimit && *allows.fileSizeLimit < needs.fileSize)
            return Verdict::Wait;
        return Verdict::Try;
    }

    // The free bytes of the file system that holds folder (for an unprivileged writer) and this
    // process's file-size limit.
    [[nodiscard]] static Allows allowsNow(const QString& folder);
};
