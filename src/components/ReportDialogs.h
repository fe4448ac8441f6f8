#pragma once

#include "LongWork.h"

#include <QString>

class QPrinter;
class QWidget;

// The dialogs the report preview needs, behind one interface, so that tests drive the preview
// without a modal dialog and the window can hand in its own.
class ReportDialogs {
public:
    virtual ~ReportDialogs() = default;

    // Empty when the user cancels. filter is in Qt's "Description (*.ext);;..." form.
    [[nodiscard]] virtual QString saveFileName(QWidget* parent, const QString& caption,
                                               const QString& filter) = 0;
    [[nodiscard]] virtual QString openFileName(QWidget* parent, const QString& caption,
                                               const QString& filter) = 0;
    // Lets the user choose and set up the printer; false when cancelled.
    [[nodiscard]] virtual bool setUpPrinter(QWidget* parent, QPrinter& printer) = 0;
    // Asks whether to print now, in the print dialog, which opens with the printer as set up;
    // false when cancelled. Without a print dialog nothing prints.
    [[nodiscard]] virtual bool askToPrint(QWidget* parent, QPrinter& printer) {
        (void)parent;
        (void)printer;
        return false;
    }
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // A progress bar with a Cancel button for long work; it lasts as long as the callback.
    [[nodiscard]] virtual ProgressCallback progress(QWidget* parent, const QString& label) = 0;
};

// The same through Qt's standard dialogs.
class QtReportDialogs : public ReportDialogs {
public:
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    bool setUpPrinter(QWidget* parent, QPrinter& printer) override;
    bool askToPrint(QWidget* parent, QPrinter& printer) override;
    void showMessage(QWidget* parent, const QString& text) override;
    ProgressCallback progress(QWidget* parent, const QString& label) override;
};
