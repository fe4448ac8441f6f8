#pragma once

#include "UserMessages.h"

#include <QString>

#include <optional>

// The dialog seam for benchmarks: nothing is shown and nothing waits for an answer; errors go to
// the log so that a benchmark that meets one says so.
class SilentMessages final : public UserMessages {
public:
    void error(const QString& text) override { qWarning("%s", qPrintable(text)); }
    void information(const QString&) override {}
    bool askYesNo(const QString&) override { return false; }
    Answer askYesNoCancel(const QString&) override { return Answer::Cancel; }
    std::optional<QString> chooseFileToOpen(const FileChoice&) override { return std::nullopt; }
    std::optional<QString> chooseFileToSave(const FileChoice&) override { return std::nullopt; }
    void showReportPreview(QWidget*) override {}
    void beep() override {}
};
