#pragma once

#include "UserMessages.h"

#include <QList>
#include <QPrinter>
#include <QStringList>

#include <functional>
#include <optional>

// Stands in for every box and dialog: remembers what the window said and asked, answers questions
// and file dialogs as told, and never blocks.
class RecordingMessages final : public UserMessages {
public:
    void error(const QString& text) override { errors << text; }
    void information(const QString& text) override {
        informations << text;
        if (whenInformed)
            whenInformed(text);
    }
    bool askYesNo(const QString& text) override {
        questions << text;
        return answerYes;
    }
    Answer askYesNoCancel(const QString& text) override {
        questions << text;
        return threeWayAnswer;
    }
    std::optional<QString> chooseFileToOpen(const FileChoice& choice) override {
        openChoices << choice;
        return nextPath();
    }
    std::optional<QString> chooseFileToSave(const FileChoice& choice) override {
        saveChoices << choice;
        return nextPath();
    }
    void showReportPreview(QWidget* preview) override {
        previews << preview;
        if (onPreview)
            onPreview(preview);
    }
    void beep() override { ++beeps; }
    bool setUpPrinter(QPrinter& printer) override {
        ++printerSetUps;
        if (printerFile.isEmpty())
            return printerAnswer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printerFile);
        return true;
    }
    bool askToPrint(QPrinter& printer) override {
        ++printAsks;
        askedOnFile = printer.outputFileName();
        return printNow;
    }
    ProgressCallback startProgress(const QString& label) override {
        progressLabels << label;
        return [this](qsizetype done, qsizetype total) {
            ++progressSteps;
            return onProgress ? onProgress(done, total) : true;
        };
    }

    QStringList errors;
    QStringList informations;
    QStringList questions;
    bool answerYes = false;
    Answer threeWayAnswer = Answer::Cancel;
    // The paths the file dialogs return, in order; an empty path, or none left, is a cancel.
    QStringList chosenPaths;
    QList<FileChoice> openChoices;
    QList<FileChoice> saveChoices;
    // The preview lives only while it is shown: look at it here.
    QList<QWidget*> previews;
    std::function<void(QWidget*)> onPreview;
    int beeps = 0;
    // Runs while an information box would be open, to see what the window did before it.
    std::function<void(const QString&)> whenInformed;
    int printerSetUps = 0;
    bool printerAnswer = false;
    QString printerFile; // set: the set-up prints into this PDF file
    QString askedOnFile; // the file the printer wrote to when the print dialog opened
    int printAsks = 0;
    bool printNow = false; // the print dialog's Print, or its Cancel
    QStringList progressLabels;
    int progressSteps = 0;
    // Answers each progress step; false cancels the work.
    std::function<bool(qsizetype, qsizetype)> onProgress;

private:
    std::optional<QString> nextPath() {
        const QString path = chosenPaths.isEmpty() ? QString() : chosenPaths.takeFirst();
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }
};
