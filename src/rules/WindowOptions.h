#pragma once

#include "PublishConfig.h"

#include <QString>
#include <QStringList>

#include <optional>

// The program's command line, read before the window system starts, so that --help and a bad
// option are answered on a machine without a display. The window system's own options
// (-platform, -display, -style, ...) are let through for it to take.
struct WindowOptions {
    enum ExitCode { kDone = 0, kCannotCapture = 1, kBadArguments = 2 };

    QString capturePath; // empty: no capture
    QString model;       // as given to --model; empty: the default model
    // Publishing what the window stores, as velmar-log does; url empty: no publishing.
    PublishRequest mqtt;
    bool help = false;
};

// Parses the arguments after the program name; models are the names --model takes (any case).
// On a bad argument returns nothing and says why in error, naming the argument.
[[nodiscard]] std::optional<WindowOptions>
parseWindowOptions(const QStringList& args, QString& error, const QStringList& models);

[[nodiscard]] QString windowUsage(const QStringList& models, const QString& standard);
