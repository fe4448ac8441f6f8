#pragma once

#include <QString>

class QWidget;

// How the window talks to the user in boxes: the standard error box, information boxes and a
// yes/no question. Tests put a recorder in its place so that no modal box blocks them.
class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual void error(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    [[nodiscard]] virtual bool askYesNo(const QString& text) = 0;
};

// The real boxes, parented to the main window.
class DialogMessages final : public UserMessages {
public:
    explicit DialogMessages(QWidget* parent) : m_parent(parent) {}
    void error(const QString& text) override;
    void information(const QString& text) override;
    bool askYesNo(const QString& text) override;

private:
    QWidget* m_parent;
};
