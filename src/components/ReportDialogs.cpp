#include "ReportDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

QString QtReportDialogs::saveFileName(QWidget* parent, const QString& caption,
                                      const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

QString QtReportDialogs::openFileName(QWidget* parent, const QString& caption,
                                      const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

bool QtReportDialogs::setUpPrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtReportDialogs::askToPrint(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void QtReportDialogs::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

ProgressCallback QtReportDialogs::progress(QWidget* parent, const QString& label) {
    auto dialog =
        std::make_shared<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 100, parent);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(0);
    return [dialog](qsizetype done, qsizetype total) {
        dialog->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 100);
        QApplication::processEvents();
        return !dialog->wasCanceled();
    };
}
