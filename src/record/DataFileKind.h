#pragma once

#include <QString>

// What a data file is saved as, decided by its name.
enum class DataFileKind { Text, Table };

// A name ending in ".db", in any case, is a Paradox table; any other name, with or without an
// extension, gets tab-separated text.
[[nodiscard]] DataFileKind dataFileKindFor(const QString& path);
