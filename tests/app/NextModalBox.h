#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Acts on the next modal box the program opens, from inside the box's own event loop, so that a
// test meets a real box the way a user does: with its keys, its buttons and its title bar. A box
// left open past the deadline is rejected, so a test never blocks on one.
class NextModalBox {
public:
    struct Seen {
        bool seen = false;
        QString title;
        bool ownerVisible = false; // whether the program's window was on screen when it opened
    };

    // `owner` names the program's window; it may not exist yet.
    explicit NextModalBox(std::function<void(QWidget*)> act,
                          const QString& owner = QStringLiteral("FCOMM"), int deadlineMs = 10000)
        : m_act(std::move(act)), m_owner(owner), m_deadlineMs(deadlineMs) {
        m_clock.start();
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { look(); });
        m_poll.start();
    }

    [[nodiscard]] const Seen& seen() const { return m_seen; }

private:
    void look() {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible()) {
            if (m_clock.elapsed() > m_deadlineMs)
                m_poll.stop();
            return;
        }
        if (m_seen.seen) {
            // Still open long after it was answered: give up on it rather than block.
            if (m_clock.elapsed() > m_deadlineMs)
                box->close();
            return;
        }
        m_seen = {true, box->windowTitle(), ownerVisible()};
        m_act(box);
    }

    [[nodiscard]] bool ownerVisible() const {
        for (const QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == m_owner && top->isVisible())
                return true;
        return false;
    }

    std::function<void(QWidget*)> m_act;
    QString m_owner;
    int m_deadlineMs;
    QElapsedTimer m_clock;
    QTimer m_poll;
    Seen m_seen;
};
