#pragma once

#include "SerialBackend.h"

#include <QString>

#include <memory>

// The line a session talks through: the platform's own serial port or, when a capture file is
// named, one that also writes every byte received and sent to that file. Null, with the reason,
// when the file cannot be written.
[[nodiscard]] std::unique_ptr<SerialBackend> sessionLine(const QString& capturePath,
                                                         QString& error);
