#pragma once

#include <QString>

#include <sys/types.h>

#include <optional>

// The file an export is about to replace or create, checked before any work is done: the table
// of readings itself, a folder, or a file without write permission is refused rather than
// replaced, and so is a symbolic link that another user planted at the name. The check holds for
// root as well, who could otherwise replace anything.
class ExportTarget {
public:
    // Throws FileError with a text for the user when the export must not write to path.
    // openTablePath is the file of the table of readings (empty when none is open).
    [[nodiscard]] static ExportTarget check(const QString& path, const QString& openTablePath);

    // Where the new file goes: symbolic links are followed, so the file itself is replaced, but
    // only links of the user or of their folder's owner; another user's link is refused.
    [[nodiscard]] const QString& filePath() const { return m_filePath; }
    // The permission bits of the file being replaced; none for a new file.
    [[nodiscard]] const std::optional<mode_t>& keptMode() const { return m_mode; }

private:
    QString m_filePath;
    std::optional<mode_t> m_mode;
};
