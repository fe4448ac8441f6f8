#include "UserMessages.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

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

QWidget* DialogMessages::parentNow() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : m_parent;
}

void DialogMessages::error(const QString& text) {
    QMessageBox::critical(parentNow(), title(m_parent), text);
}

void DialogMessages::information(const QString& text) {
    QMessageBox::information(parentNow(), title(m_parent), text);
}

bool DialogMessages::askYesNo(const QString& text) {
    return QMessageBox::question(parentNow(), title(m_parent), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

UserMessages::Answer DialogMessages::askYesNoCancel(const QString& text) {
    switch (QMessageBox::question(parentNow(), title(m_parent), text,
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
    return runFileDialog(parentNow(), choice, QFileDialog::AcceptOpen);
}

std::optional<QString> DialogMessages::chooseFileToSave(const FileChoice& choice) {
    return runFileDialog(parentNow(), choice, QFileDialog::AcceptSave);
}

// A preview that is a dialog runs as one, so that its own Close ends it; any other widget sits in
// a modal window of its own and is handed back to its owner when that closes.
void DialogMessages::showReportPreview(QWidget* preview) {
    if (!preview)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(preview)) {
        dialog->setWindowTitle(title(m_parent));
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->resize(dialog->sizeHint().expandedTo(QSize(800, 900)));
        dialog->exec();
        return;
    }
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

namespace {

// The report prints all its pages: neither dialog offers a range of pages to choose.
void offerWholeReport(QPrintDialog& dialog) {
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
}

} // namespace

// The set-up only keeps the choices for the preview's Print, and its button says so.
bool DialogMessages::setUpPrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, parentNow());
    dialog.setWindowTitle(QStringLiteral("Printer setup"));
    offerWholeReport(dialog);
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    return dialog.exec() == QDialog::Accepted;
}

bool DialogMessages::askToPrint(QPrinter& printer) {
    QPrintDialog dialog(&printer, parentNow());
    offerWholeReport(dialog);
    return dialog.exec() == QDialog::Accepted;
}

namespace {

// The progress dialog, deleted with the last copy of its callback unless its parent went first.
struct ProgressBox {
    QPointer<QProgressDialog> dialog;
    ~ProgressBox() { delete dialog.data(); }
};

} // namespace

ProgressCallback DialogMessages::startProgress(const QString& label) {
    auto box = std::make_shared<ProgressBox>();
    box->dialog = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 100, parentNow());
    box->dialog->setWindowTitle(title(m_parent));
    box->dialog->setWindowModality(Qt::WindowModal);
    box->dialog->setMinimumDuration(0);
    box->dialog->setAutoClose(false);
    box->dialog->setValue(0);
    return [box](qsizetype done, qsizetype total) {
        if (!box->dialog)
            return false;
        box->dialog->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 100);
        QApplication::processEvents();
        return box->dialog && !box->dialog->wasCanceled();
    };
}
