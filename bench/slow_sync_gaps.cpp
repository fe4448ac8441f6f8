// The window connected to a meter played on a pseudo-terminal, while the disk's syncs are slow
// (run under slow_sync_gaps.sh, which preloads the sync shim): the meter's side notes when each
// request arrives, and the program prints the longest gap between requests during a stretch of
// journal syncs, during a Record/Save and during an export (each until the user is told it is
// done). A request is due every 100 ms, with a pause step every fifth tick, so the longest gap on a
// quick disk is 200 ms; a gap beyond 300 ms is a request delayed by more than 100 ms.
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Answers every request with a main-display frame whose last digit changes, and notes when each
// request came.
class PlayedMeter {
public:
    PlayedMeter() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
        // Kept open so the master never reads a hang-up; raw, so no byte is changed.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
        m_thread = std::thread([this] { run(); });
    }
    ~PlayedMeter() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }

    [[nodiscard]] QString slavePath() const { return m_slavePath; }
    [[nodiscard]] std::vector<qint64> requests() {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void run() {
        std::uint8_t digit = 0;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            std::uint8_t buffer[64];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                continue;
            const qint64 at = steadyMs();
            {
                const std::lock_guard lock(m_mutex);
                for (ssize_t i = 0; i < got; ++i)
                    m_requests.push_back(at);
            }
            digit = static_cast<std::uint8_t>((digit + 1) % 10);
            const std::uint8_t frame[] = {0x89, 0x70, 0x08, 0x00,  0x00, 0x0F,
                                          0x01, 0x02, 0x03, digit, 0x0A};
            (void)::write(m_master, frame, sizeof frame);
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<qint64> m_requests;
    std::thread m_thread;
};

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

struct Stretch {
    const char* what;
    qint64 from = 0;
    qint64 to = 0;
};

// The longest wait for a request that came during the stretch or within a second after it (a
// request the stretch's work held back comes after it).
qint64 longestGap(const std::vector<qint64>& requests, const Stretch& stretch) {
    qint64 longest = 0;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        if (requests[i] < stretch.from || requests[i] > stretch.to + 1000)
            continue;
        longest = std::max(longest, requests[i] - requests[i - 1]);
    }
    return longest;
}

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
    MeterSession::Setup setup;
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

    const std::vector<qint64> requests = meter.requests();
    std::printf("%zu requests seen\n", requests.size());
    for (const Stretch& stretch : stretches) {
        std::printf("%-14s %6lld ms: longest gap between requests %5lld ms\n", stretch.what,
                    static_cast<long long>(stretch.to - stretch.from),
                    static_cast<long long>(longestGap(requests, stretch)));
    }
    return 0;
}
