#pragma once

#include "MosquittoBroker.h"

// A listening loopback socket that takes connections and never reads or answers: a broker that
// hangs. The kernel completes the connection from its backlog, so the client believes it is
// connected and waits for an answer that never comes.
class SilentBroker {
public:
    SilentBroker() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = MosquittoBroker::loopback(0);
        socklen_t size = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~SilentBroker() { ::close(m_fd); }

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
};
