#pragma once

#include "ReportDialogs.h"

class UserMessages;

// The report preview's dialogs taken from the window's own: a test's recorder answers for the
// preview as it answers for the window, and the real boxes open over the preview.
class WindowReportDialogs final : public ReportDialogs {
public:
    // messages must outlive this object.
    explicit WindowReportDialogs(UserMessages& messages) : m_messages(messages) {}

    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    bool setUpPrinter(QWidget* parent, QPrinter& printer) override;
    bool askToPrint(QWidget* parent, QPrinter& printer) override;
    void showMessage(QWidget* parent, const QString& text) override;
    ProgressCallback progress(QWidget* parent, const QString& label) override;

private:
    UserMessages& m_messages;
};
