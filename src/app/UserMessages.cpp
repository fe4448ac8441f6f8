#include "app/UserMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// Boxes carry the program's window title, as the window they belong to.
QString title(const QWidget* parent) {
    return parent ? parent->window()->windowTitle() : QApplication::applicationName();
}

} // namespace

void DialogMessages::error(const QString& text) {
    QMessageBox::critical(m_parent, title(m_parent), text);
}

void DialogMessages::information(const QString& text) {
    QMessageBox::information(m_parent, title(m_parent), text);
}

bool DialogMessages::askYesNo(const QString& text) {
    return QMessageBox::question(m_parent, title(m_parent), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
