// The window connected to a meter played on a pseudo-terminal, while the disk's syncs are slow
// (run under slow_sync_gaps.sh, which preloads the sync shim): the meter's side notes when each
// request arrives, and the program prints the longest gap between requests during a stretch of
// journal syncs, during a Record/Save and during an export (each until the user is told it is
// done). A request is due every 100 ms, with a pause step every fifth tick, so the longest gap on a
// quick disk is 200 ms; a gap beyond 300 ms is a request delayed by more than 100 ms.
#include "PlayedMeter.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace {

// Answers the save dialog with the export's path and tells when the user is told something.
class BenchMessages final : public UserMessages {
public:
    void error(const QString& text) override { qWarning("%s", qPrintable(text)); }
    // Each wish to be told is answered once.
    void information(const QString&) override {
        if (const std::function<void()> told = std::exchange(onTold, nullptr))
            told();
    }
    bool askYesNo(const QString&) override { return false; }
    Answer askYesNoCancel(const QString&) override { return Answer::No; }
    std::optional<QString> chooseFileToOpen(const FileChoice&) override { return std::nullopt; }
    std::optional<QString> chooseFileToSave(const FileChoice&) override { return exportPath; }
    void showReportPreview(QWidget*) override {}
    void beep() override {}

    QString exportPath;
    std::function<void()> onTold;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir::setCurrent(folder.path()))
        return 2;
    PlayedMeter meter;
    if (meter.slavePath().isEmpty())
        return 2;

    auto messages = std::make_shared<BenchMessages>();
    messages->exportPath = folder.filePath(QStringLiteral("export.txt"));
    auto setup = MeterSession::Setup::forProcess();
    const QString device = meter.slavePath();
    setup.environment = [device](const QString& variable) {
        return variable == QLatin1String("VELMAR_COM1") ? device : QString();
    };
    TFCOMM window(messages, nullptr, std::move(setup));
    window.show();

    std::vector<Stretch> stretches;
    const auto then = [](int ms, std::function<void()> step) {
        QTimer::singleShot(ms, qApp, std::move(step));
    };
    const auto finish = [&] { then(1000, [] { QCoreApplication::quit(); }); };
    const auto exportStep = [&] {
        stretches.push_back({"export", steadyMs(), 0});
        messages->onTold = [&] {
            stretches.back().to = steadyMs();
            finish();
        };
        window.saveasClick();
    };
    const auto saveStep = [&] {
        stretches.back().to = steadyMs();
        stretches.push_back({"Record/Save", steadyMs(), 0});
        messages->onTold = [&] {
            stretches.back().to = steadyMs();
            then(1500, exportStep);
        };
        window.RecordSaveClick();
    };
    then(300, [&] { window.BTCon1Click(); });
    // Readings come in and the journal is synced once a second.
    then(1500, [&] { stretches.push_back({"journal syncs", steadyMs(), 0}); });
    then(6500, saveStep);
    QApplication::exec();

    printGaps(meter.requests(), stretches);
    return 0;
}
