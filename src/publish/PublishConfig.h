#pragma once

#include <QString>

#include <optional>

// Where and as whom readings are published, checked before anything is opened: the broker's
// address from an mqtt:// or mqtts:// URL, the TLS and login settings, the topics, and the
// meter's name in them. The window and the logger take the same options through
// PublishRequest, so that both check them here alone.
struct PublishConfig {
    bool tls = false;
    QString host;
    int port = 1883;
    QString caFile;   // mqtts only; empty: the system's certificate authorities
    QString certFile; // the client's own certificate and key, mqtts only; empty: none
    QString keyFile;
    QString user;     // empty: no login
    QString password; // from the environment or a file, never from the command line
    QString clientId;
    QString topicPrefix = QStringLiteral("velmar");
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString meterId; // one topic level of safe characters only
    bool discovery = false;
    bool retainReadings = false; // the last reading stays on the broker for a new subscriber

    // "<prefix>/<meter>/reading" and its neighbours.
    [[nodiscard]] QString topic(const char* leaf) const;
    // The broker as a user wrote it, without a password: "mqtt://host:1883".
    [[nodiscard]] QString brokerText() const;
};

// What the command line and the environment said, before it is checked.
struct PublishRequest {
    QString url;
    QString caFile;
    QString certFile;
    QString keyFile;
    QString user;
    std::optional<QString> password; // from the environment
    QString passwordFile;
    QString clientId;    // empty: "velmar-<meter id>"
    QString topicPrefix; // empty: "velmar"
    QString discoveryPrefix;
    QString meterId;  // empty: made from the host's and the port's names
    QString port;     // the meter's port, "COM1" or a device path
    QString hostName; // this computer's name, for the default meter id
    bool discovery = false;
    bool retainReadings = false;
};

// The checked settings, or nothing with one line in error that names what is wrong. Reads the
// password file and looks into the CA file.
[[nodiscard]] std::optional<PublishConfig> publishConfigOf(const PublishRequest& request,
                                                           QString& error);

// As publishConfigOf, for a program about to publish the meter on port: the password from the
// environment variable VELMAR_MQTT_PASSWORD when it is set, and this computer's name.
[[nodiscard]] std::optional<PublishConfig>
publishConfigOfProcess(PublishRequest request, const QString& port, QString& error);

// A meter id as given by --meter-id: empty when it is fit, otherwise why not. Only letters A to
// Z, digits, "-" and "_" are taken, so that an id is its own topic level and Home Assistant id
// unchanged, and two ids never share one.
[[nodiscard]] QString meterIdProblem(const QString& id);

// The default meter id, "<host>-<port>": "lab1-ttyUSB0", "lab1-COM1"; other characters become
// "_".
[[nodiscard]] QString defaultMeterId(const QString& hostName, const QString& port);

// A topic prefix (one or more levels): empty when fit, otherwise why not.
[[nodiscard]] QString topicPrefixProblem(const QString& prefix);

// A CA file that cannot be read or holds no certificate, said in one line; empty when there is
// none or it can be used.
[[nodiscard]] QString caFileProblem(const PublishConfig& config);
