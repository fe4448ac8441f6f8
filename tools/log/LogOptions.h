#pragma once

#include "PublishConfig.h"

#include <QString>
#include <QStringList>

#include <optional>

// velmar-log's command line: where to read, where to record, which readings to keep and when
// to stop.
struct LogOptions {
    enum class Format { Text, Jsonl };

    QString model = QStringLiteral("VelmarD"); // the meter, as MeterProfile names it
    QString port;                              // "COM1" to "COM4", or a device path
    QString table;                             // the Paradox table file; created when missing
    qint32 intervalSeconds = 0;  // the sampling interval; 0 keeps every reading the others let in
    bool skipRepeats = true;     // the repeat filter: a reading equal to the last stored is skipped
    std::optional<qint32> limit; // the record limit; none by default
    std::optional<qint64> count; // main-display readings after which the run ends
    std::optional<qint64> durationMs; // time after which the run ends
    int saveEverySeconds = 10;
    Format format = Format::Text;
    QString capturePath; // empty: no capture
    // Publishing to an MQTT broker, checked by publishConfigOf when the run starts, since a
    // wrong setting there is said with the other settings the run cannot use. url empty: no
    // publishing.
    PublishRequest mqtt;
    bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns nothing and says why
// in error, naming the argument.
[[nodiscard]] std::optional<LogOptions> parseLogOptions(const QStringList& args, QString& error);

[[nodiscard]] QString logUsage();
