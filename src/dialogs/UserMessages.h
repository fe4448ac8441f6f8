#pragma once

#include "LongWork.h"

#include <QString>

#include <optional>

class QPrinter;
class QWidget;

// Every way the window talks to the user through a box or a sound: the standard error box,
// information boxes, questions, file choice, the report's print preview and the system beep. The
// window holds one and never opens a modal window itself, so tests put a recorder in its place
// that answers at once and remembers what was said.
class UserMessages {
public:
    enum class Answer { Yes, No, Cancel };

    // What a file dialog offers. `filter` is in the dialog's own notation, for example
    // "Text files (*.txt);;All files (*)"; `defaultSuffix` (without the dot) is added to a typed
    // name that has none. Saving asks before it replaces an existing file when `confirmOverwrite`.
    struct FileChoice {
        QString caption;
        QString directory;
        QString filter;
        QString defaultSuffix;
        bool confirmOverwrite = true;
    };

    virtual ~UserMessages() = default;
    virtual void error(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    [[nodiscard]] virtual bool askYesNo(const QString& text) = 0;
    [[nodiscard]] virtual Answer askYesNoCancel(const QString& text) = 0;

    // The chosen path, or nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QString> chooseFileToOpen(const FileChoice& choice) = 0;
    [[nodiscard]] virtual std::optional<QString> chooseFileToSave(const FileChoice& choice) = 0;

    // Shows a report's print preview and returns when the user closes it. The preview widget is
    // built by the caller, who keeps it.
    virtual void showReportPreview(QWidget* preview) = 0;

    // The system's default beep.
    virtual void beep() = 0;

    // Lets the user choose and set up the printer; false when cancelled. Without a printer
    // dialog nothing is set up.
    [[nodiscard]] virtual bool setUpPrinter(QPrinter& printer) {
        (void)printer;
        return false;
    }
    // Asks whether to print now, in the print dialog, which opens with the printer as set up;
    // false when cancelled. Without a print dialog nothing prints.
    [[nodiscard]] virtual bool askToPrint(QPrinter& printer) {
        (void)printer;
        return false;
    }
    // A progress bar with a Cancel button for long work, modal to the window so that no other
    // command of the window runs meanwhile; it lasts as long as the callback does. Without one
    // the work runs to its end.
    [[nodiscard]] virtual ProgressCallback startProgress(const QString& label) {
        (void)label;
        return {};
    }
};

// The real boxes and dialogs, parented to the main window.
class DialogMessages final : public UserMessages {
public:
    explicit DialogMessages(QWidget* parent) : m_parent(parent) {}
    void error(const QString& text) override;
    void information(const QString& text) override;
    bool askYesNo(const QString& text) override;
    Answer askYesNoCancel(const QString& text) override;
    std::optional<QString> chooseFileToOpen(const FileChoice& choice) override;
    std::optional<QString> chooseFileToSave(const FileChoice& choice) override;
    void showReportPreview(QWidget* preview) override;
    void beep() override;
    bool setUpPrinter(QPrinter& printer) override;
    bool askToPrint(QPrinter& printer) override;
    ProgressCallback startProgress(const QString& label) override;

private:
    // Boxes go over the modal window on top (the report preview), else over the main window.
    [[nodiscard]] QWidget* parentNow() const;

    QWidget* m_parent;
};
