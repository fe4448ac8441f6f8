#include "WindowReportDialogs.h"

#include "UserMessages.h"

#include <QDir>

namespace {

UserMessages::FileChoice choice(const QString& caption, const QString& filter) {
    return {caption, QDir::currentPath(), filter, QString(), true};
}

} // namespace

QString WindowReportDialogs::saveFileName(QWidget*, const QString& caption, const QString& filter) {
    return m_messages.chooseFileToSave(choice(caption, filter)).value_or(QString());
}

QString WindowReportDialogs::openFileName(QWidget*, const QString& caption, const QString& filter) {
    return m_messages.chooseFileToOpen(choice(caption, filter)).value_or(QString());
}

bool WindowReportDialogs::setUpPrinter(QWidget*, QPrinter& printer) {
    return m_messages.setUpPrinter(printer);
}

bool WindowReportDialogs::askToPrint(QWidget*, QPrinter& printer) {
    return m_messages.askToPrint(printer);
}

void WindowReportDialogs::showMessage(QWidget*, const QString& text) {
    m_messages.information(text);
}

ProgressCallback WindowReportDialogs::progress(QWidget*, const QString& label) {
    return m_messages.startProgress(label);
}
