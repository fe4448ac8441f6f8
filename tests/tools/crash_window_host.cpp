// The window as a crash test runs it, in the current folder: connected at once to COM1
// (VELMAR_COM1), each reading the grid has shown printed on standard output as its number, a
// Record/Save every VELMAR_SAVE_EVERY_MS and an Exit that saves at VELMAR_EXIT_AT_MS. The test
// kills it at a moment of its choosing.
#include "MeterSession.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

// Nothing waits for the user: boxes are passed, and Exit saves.
class AnsweringMessages final : public UserMessages {
public:
    void error(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void information(const QString&) override {}
    bool askYesNo(const QString&) override { return true; }
    Answer askYesNoCancel(const QString&) override { return Answer::Yes; }
    std::optional<QString> chooseFileToOpen(const FileChoice&) override { return std::nullopt; }
    std::optional<QString> chooseFileToSave(const FileChoice&) override { return std::nullopt; }
    void showReportPreview(QWidget*) override {}
    void beep() override {}
};

int msFrom(const char* variable) {
    return qEnvironmentVariableIntValue(variable);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto setup = MeterSession::Setup::forProcess();
    setup.environment = [](const QString& variable) {
        return qEnvironmentVariable(variable.toLatin1().constData());
    };
    TFCOMM window(std::make_shared<AnsweringMessages>(), nullptr, std::move(setup));
    // Connected after the window's own handler: a number printed is a row the grid holds.
    QObject::connect(&window.session(), &MeterSession::readingStored,
                     [](const StoredReading& stored) {
                         std::printf("%lld\n", static_cast<long long>(stored.no));
                         std::fflush(stdout);
                     });
    window.show();
    window.BTCon1Click();
    QTimer saves;
    if (const int every = msFrom("VELMAR_SAVE_EVERY_MS"); every > 0) {
        QObject::connect(&saves, &QTimer::timeout, &window,
                         [&window] { window.RecordSaveClick(); });
        saves.start(every);
    }
    if (const int at = msFrom("VELMAR_EXIT_AT_MS"); at > 0)
        QTimer::singleShot(at, &window, [&window] { window.close(); });
    return QApplication::exec();
}
