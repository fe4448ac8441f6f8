#pragma once

#include <QString>

#include <optional>

// Where and as whom readings are published, checked before anything is opened: the broker's
// address from an mqtt:// or mqtts:// URL, the TLS and login settings, and the meter's name in
// the topics.
struct PublishConfig {
    bool tls = false;
    QString host;
    int port = 1883;
    QString caFile;   // mqtts only; empty: the system's certificate authorities
    QString user;     // empty: no login
    QString password; // from the environment, never from the command line
    QString meterId;  // one topic level
    bool discovery = false;

    // "velmar/<meter>/reading" and its neighbours.
    [[nodiscard]] QString topic(const char* leaf) const;
    // The broker as a user wrote it, without a password: "mqtt://host:1883".
    [[nodiscard]] QString brokerText() const;
};

// What the command line and the environment said, before it is checked.
struct PublishRequest {
    QString url;
    QString caFile;
    QString user;
    std::optional<QString> password;
    QString meterId; // empty: made from the port
    QString port;    // the meter's port, "COM1" or a device path
    bool discovery = false;
};

// The checked settings, or nothing with one line in error that names what is wrong.
[[nodiscard]] std::optional<PublishConfig> publishConfigOf(const PublishRequest& request,
                                                           QString& error);

// A meter id as given by --meter-id: empty when it is fit for one topic level, otherwise why not.
[[nodiscard]] QString meterIdProblem(const QString& id);

// The port's name made fit for one topic level: "COM1", "/dev/ttyUSB0" -> "ttyUSB0".
[[nodiscard]] QString meterIdForPort(const QString& port);

// A CA file that cannot be read, said in one line; empty when there is none or it can be read.
[[nodiscard]] QString caFileProblem(const PublishConfig& config);
