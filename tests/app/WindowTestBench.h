#pragma once

// What the window tests stand on: a window only the test drives, the readings it is handed, and
// a folder of its own for its table.

#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <memory>

// A main window that only the test drives: its timers are stopped and their handlers called by
// hand.
inline std::unique_ptr<TFCOMM> quietWindow(std::shared_ptr<UserMessages> messages) {
    auto window = std::make_unique<TFCOMM>(std::move(messages));
    window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window->findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    window->findChild<QTimer*>(QStringLiteral("Trecord"))->stop();
    return window;
}

// Hands the window one main-display frame whose last digit is `last`; different digits make
// different readings, which recording stores.
inline void sendReadingFrame(TFCOMM& window, std::uint8_t last) {
    const std::uint8_t f[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, last, 0x0A};
    window.session().receive(f, sizeof f);
}

// A folder of the test's own, the current one while it lives: the window keeps its table of
// readings in the current folder.
class CurrentTempFolder {
public:
    CurrentTempFolder() : m_current(m_dir.isValid() && QDir::setCurrent(m_dir.path())) {}
    ~CurrentTempFolder() { QDir::setCurrent(m_before); }
    CurrentTempFolder(const CurrentTempFolder&) = delete;
    CurrentTempFolder& operator=(const CurrentTempFolder&) = delete;

    [[nodiscard]] bool isCurrent() const { return m_current; }
    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QString m_before = QDir::currentPath();
    QTemporaryDir m_dir;
    bool m_current = false;
};
