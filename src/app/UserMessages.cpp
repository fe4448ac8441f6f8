#include "UserMessages.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

// Boxes carry the program's window title, as the window they belong to.
QString title(const QWidget* parent) {
    return parent ? parent->window()->windowTitle() : QApplication::applicationName();
}

std::optional<QString> runFileDialog(QWidget* parent, const UserMessages::FileChoice& choice,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, choice.caption, choice.directory, choice.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(choice.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !choice.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
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

UserMessages::Answer DialogMessages::askYesNoCancel(const QString& text) {
    switch (QMessageBox::question(m_parent, title(m_parent), text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

std::optional<QString> DialogMessages::chooseFileToOpen(const FileChoice& choice) {
    return runFileDialog(m_parent, choice, QFileDialog::AcceptOpen);
}

std::optional<QString> DialogMessages::chooseFileToSave(const FileChoice& choice) {
    return runFileDialog(m_parent, choice, QFileDialog::AcceptSave);
}

// The preview sits in a modal window of its own; it is handed back to its owner when it closes.
void DialogMessages::showReportPreview(QWidget* preview) {
    if (!preview)
        return;
    QWidget* owner = preview->parentWidget();
    QDialog dialog(m_parent);
    dialog.setWindowTitle(title(m_parent));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(preview);
    preview->show();
    dialog.resize(preview->sizeHint().expandedTo(QSize(640, 480)));
    dialog.exec();
    layout->removeWidget(preview);
    preview->hide();
    preview->setParent(owner);
}

void DialogMessages::beep() {
    QApplication::beep();
}
