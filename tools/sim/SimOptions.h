#pragma once

#include "MeterSettings.h"
#include "SimModel.h"

#include <optional>
#include <string>
#include <vector>

// The simulator's command line: the meter's starting state plus how to serve it.
struct SimOptions {
    // Which meter: the VelmarD family, answering requests, or an FS9721 meter, which talks by
    // itself every periodMs and, with faults, loses a byte now and then.
    bool fs9721 = false;
    int periodMs = 500;
    bool faults = false;
    MeterSettings meter;
    const SimModel* model = nullptr; // none: the family's frames at 9600 baud, as --five-digit says
    int baud = 9600;                 // the pace at which answers go out
    std::string linkPath;            // empty: no symbolic link
    std::string replayPath;          // a capture to play back instead of the meter; empty: none
    bool loop = false;               // a replay starts again when a kind of frame runs out
    bool trace = false;
    bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns nothing and says why
// in error, naming the argument.
[[nodiscard]] std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args,
                                                        std::string& error);

[[nodiscard]] std::string simUsage();
