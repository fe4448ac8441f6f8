#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Debian's mosquitto broker on a free loopback port, with a configuration of its own and
// persistence on in a temporary folder, started and stopped by the test. Stopping it with SIGTERM
// lets it save its sessions, so a start on the same port continues them. With TLS files it
// listens with TLS only.
class MosquittoBroker {
public:
    struct Login {
        QString user;
        QString password;
    };

    // A TLS listener's certificate and key, PEM.
    struct Tls {
        QString certFile;
        QString keyFile;
    };

    explicit MosquittoBroker(std::optional<Login> login = std::nullopt,
                             std::optional<Tls> tls = std::nullopt)
        : m_port(freePort()), m_tls(tls.has_value()) {
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (!m_dir.isValid() || !conf.open(QIODevice::WriteOnly))
            return;
        QByteArray text = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n" +
                          "persistence true\n" + "persistence_location " +
                          QFile::encodeName(m_dir.path()) + "/\n" + "log_dest stderr\n" +
                          // A subscriber of a queue drained at full speed is sent everything.
                          "max_queued_messages 0\n";
        if (tls)
            text += "certfile " + QFile::encodeName(tls->certFile) + "\nkeyfile " +
                    QFile::encodeName(tls->keyFile) + "\n";
        // As root the broker would become the user "mosquitto", who cannot write our folder.
        if (::geteuid() == 0)
            text += "user root\n";
        if (login) {
            const QString passwords = m_dir.filePath(QStringLiteral("passwords"));
            QProcess::execute(QStringLiteral("mosquitto_passwd"),
                              {QStringLiteral("-c"), QStringLiteral("-b"), passwords, login->user,
                               login->password});
            text += "allow_anonymous false\npassword_file " + QFile::encodeName(passwords) + "\n";
        } else {
            text += "allow_anonymous true\n";
        }
        conf.write(text);
    }
    ~MosquittoBroker() { stop(); }

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString url() const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? "mqtts" : "mqtt").arg(m_port);
    }
    [[nodiscard]] QString log() const { return QString::fromUtf8(m_log); }

    // Starts the broker and waits until it takes connections.
    [[nodiscard]] bool start() {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program(),
                        {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        if (!m_process.waitForStarted(20'000))
            return false;
        return QTest::qWaitFor(
                   [this] {
                       if (m_process.state() == QProcess::NotRunning)
                           return true;
                       return accepts(m_port);
                   },
                   20'000) &&
               m_process.state() == QProcess::Running;
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(20'000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
        m_log += m_process.readAll();
    }

    // Debian installs the broker in /usr/sbin, which a user's PATH may lack.
    [[nodiscard]] static QString program() {
        QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(
                QStringLiteral("mosquitto"),
                {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        return found.isEmpty() ? QStringLiteral("mosquitto") : found;
    }

    // Whether something takes connections on the loopback port.
    [[nodiscard]] static bool accepts(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(port);
        const bool taken =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return taken;
    }

    [[nodiscard]] static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(port));
        return address;
    }

private:
    // A port the system chose as free a moment ago.
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    QTemporaryDir m_dir;
    int m_port;
    bool m_tls;
    QProcess m_process;
    QByteArray m_log;
};
