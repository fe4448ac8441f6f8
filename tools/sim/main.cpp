#include "CaptureReader.h"
#include "CaptureReplay.h"
#include "Fs9721Meter.h"
#include "MeterModel.h"
#include "PtyServer.h"
#include "SimOptions.h"
#include "SymlinkGuard.h"
#include "TerminalText.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace {

// As the help says: 0 stopped by a signal, 1 cannot serve, 2 bad arguments.
constexpr int kCannotServe = 1;
constexpr int kBadArguments = 2;

// Set from the signal handler; the server looks at it after every wake-up.
std::atomic<bool> g_stopRequested{false};

void requestStop(int) {
    g_stopRequested.store(true);
}

// No SA_RESTART: a signal breaks the server's poll at once instead of waiting it out.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void printToStderr(const std::string& line) {
    std::cerr << "velmar-sim: " << line << std::endl;
}

// The capture's frames, with each line it could not read and what it leaves out said on
// standard error; nothing when it cannot be read or holds no frame to answer with.
std::optional<CaptureReplay::Frames> loadCapture(const std::string& givenPath) {
    const std::string path = terminalSafe(givenPath);
    std::ifstream in(givenPath, std::ios::binary);
    if (!in) {
        printToStderr("cannot open the capture '" + path + "': " + std::strerror(errno));
        return std::nullopt;
    }
    std::vector<CaptureEvent> events;
    CaptureReader reader(in, [&path](const CaptureProblem& problem) {
        printToStderr(path + ":" + std::to_string(problem.line) +
                      ": not a capture event: " + problem.text + "; line skipped");
    });
    while (auto event = reader.next())
        events.push_back(std::move(*event));
    if (in.bad()) {
        printToStderr("error while reading the capture '" + path + "'");
        return std::nullopt;
    }
    CaptureReplay::Frames frames = CaptureReplay::cutFrames(events);
    if (frames.main.empty() && frames.bar.empty()) {
        printToStderr("the capture '" + path +
                      "' holds no main-display or bar-graph frame received from the meter");
        return std::nullopt;
    }
    std::string summary = "replaying '" + path + "': " + std::to_string(frames.main.size()) +
                          " main-display and " + std::to_string(frames.bar.size()) +
                          " bar-graph frames";
    if (frames.others > 0)
        summary += "; " + std::to_string(frames.others) + " frames of neither kind left out";
    if (frames.unfinishedBytes > 0)
        summary += "; the capture ends inside a frame, whose " +
                   std::to_string(frames.unfinishedBytes) + " bytes are left out";
    printToStderr(summary);
    return frames;
}

// The meter the options describe, or the capture they name played back.
std::unique_ptr<LinePeer> makePeer(const SimOptions& options) {
    if (options.fs9721)
        return std::make_unique<Fs9721Meter>(options.faults);
    if (options.replayPath.empty())
        return std::make_unique<MeterModel>(options.meter);
    auto frames = loadCapture(options.replayPath);
    if (!frames)
        return nullptr;
    return std::make_unique<CaptureReplay>(std::move(*frames), options.loop, printToStderr);
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "velmar-sim: " << terminalSafe(error) << "\nTry 'velmar-sim --help'.\n";
        return kBadArguments;
    }
    if (options->help) {
        std::cout << simUsage();
        return 0;
    }

    // Before the terminal exists, so that a capture that cannot be replayed ends the run at once.
    const std::unique_ptr<LinePeer> peer = makePeer(*options);
    if (!peer)
        return kCannotServe;

    installStopHandlers();
    const auto server = PtyServer::open(error);
    if (!server) {
        std::cerr << "velmar-sim: " << error << '\n';
        return kCannotServe;
    }
    // The path goes out before the link exists, so whoever waits for the link can read it.
    std::cout << server->slavePath() << std::endl;
    std::unique_ptr<SymlinkGuard> link;
    if (!options->linkPath.empty()) {
        link = SymlinkGuard::create(options->linkPath, server->slavePath(), error);
        if (!link) {
            std::cerr << "velmar-sim: " << error << '\n';
            return kCannotServe;
        }
    }

    PtyServer::Options serving;
    serving.warning = printToStderr;
    // Ten bits a byte: a start bit, eight data bits and a stop bit.
    serving.byteTime =
        std::chrono::nanoseconds((10'000'000'000LL + options->baud / 2) / options->baud);
    if (options->fs9721)
        serving.talkPeriod = std::chrono::milliseconds(options->periodMs);
    if (options->trace)
        serving.trace = [](const std::string& line) { std::cerr << line << std::endl; };
    if (!server->run(*peer, g_stopRequested, serving)) {
        std::cerr << "velmar-sim: " << server->lastError() << '\n';
        return kCannotServe;
    }
    return 0;
}
