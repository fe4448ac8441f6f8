#pragma once

#include <QString>

#include <optional>

// The rules a table name typed by a user must meet before anything is opened or created under
// it: it names a table file, so neither a folder (which would get "<folder>.DB" beside it), nor
// a device or a FIFO (whose open may block, and which no table could be written into).
namespace TableFileName {

// A bare name such as "Velmarbdb" means the Paradox file "Velmarbdb.DB".
[[nodiscard]] QString withExtension(const QString& name);

// Why the name cannot be a table file, as the end of a sentence that starts with the name;
// nothing when it can (it need not exist yet). Links are followed, as an open would.
[[nodiscard]] std::optional<QString> problem(const QString& name);

} // namespace TableFileName
