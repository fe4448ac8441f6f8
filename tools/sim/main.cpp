#include "MeterModel.h"
#include "PtyServer.h"
#include "SimOptions.h"
#include "SymlinkGuard.h"

#include <csignal>
#include <iostream>

namespace {

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

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "velmar-sim: " << error << "\nTry 'velmar-sim --help'.\n";
        return 2;
    }
    if (options->help) {
        std::cout << simUsage();
        return 0;
    }

    installStopHandlers();
    const auto server = PtyServer::open(error);
    if (!server) {
        std::cerr << "velmar-sim: " << error << '\n';
        return 1;
    }
    // The path goes out before the link exists, so whoever waits for the link can read it.
    std::cout << server->slavePath() << std::endl;
    std::unique_ptr<SymlinkGuard> link;
    if (!options->linkPath.empty()) {
        link = SymlinkGuard::create(options->linkPath, server->slavePath(), error);
        if (!link) {
            std::cerr << "velmar-sim: " << error << '\n';
            return 1;
        }
    }

    MeterModel meter(options->meter);
    PtyServer::Options serving;
    serving.warning = printToStderr;
    if (options->trace)
        serving.trace = [](const std::string& line) { std::cerr << line << std::endl; };
    if (!server->run(meter, g_stopRequested, serving)) {
        std::cerr << "velmar-sim: " << server->lastError() << '\n';
        return 1;
    }
    return 0;
}
