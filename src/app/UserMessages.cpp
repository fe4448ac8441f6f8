#include "app/UserMessages.h"

#include <QApplication>
#include <QMessageBox>

void DialogMessages::error(const QString& text) {
    QMessageBox::critical(m_parent, QApplication::applicationName(), text);
}

void DialogMessages::information(const QString& text) {
    QMessageBox::information(m_parent, QApplication::applicationName(), text);
}

bool DialogMessages::askYesNo(const QString& text) {
    return QMessageBox::question(m_parent, QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
