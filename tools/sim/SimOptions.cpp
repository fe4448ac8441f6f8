#include "SimOptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 10> kValueOptions{
    "--link", "--replay", "--model", "--function", "--range",
    "--mode", "--value",  "--drift", "--hz",       "--period-ms"};
// Options that say how to serve rather than what the meter shows; all others set the meter's
// state, which a replay and an FS9721 meter do not have.
constexpr std::array<std::string_view, 9> kServingOptions{"--link",  "--replay",    "--loop",
                                                          "--trace", "--help",      "-h",
                                                          "--model", "--period-ms", "--faults"};
constexpr std::string_view kDutyCycleOption = "--duty-cycle";

template <typename Number> std::optional<Number> parseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    return value;
}

bool takesValue(std::string_view name) {
    if (name == kDutyCycleOption)
        return true;
    for (std::string_view option : kValueOptions) {
        if (option == name)
            return true;
    }
    return false;
}

// Sets a switch; false when name is no switch.
bool applySwitch(std::string_view name, SimOptions& options) {
    MeterSettings& meter = options.meter;
    if (name == "--help" || name == "-h")
        options.help = true;
    else if (name == "--trace")
        options.trace = true;
    else if (name == "--loop")
        options.loop = true;
    else if (name == "--faults")
        options.faults = true;
    else if (name == "--frequency")
        meter.mode = MeasureMode::Frequency;
    else if (name == "--duty")
        meter.mode = MeasureMode::Duty;
    else if (name == "--five-digit")
        meter.fiveDigit = true;
    else if (name == "--overload")
        meter.overload = true;
    else if (name == "--low-battery")
        meter.lowBattery = true;
    else if (name == "--hold")
        meter.hold = true;
    else if (name == "--rec")
        meter.recording = true;
    else
        return false;
    return true;
}

std::optional<MeasureMode> modeByName(std::string_view name) {
    if (name == "function")
        return MeasureMode::Function;
    if (name == "frequency")
        return MeasureMode::Frequency;
    if (name == "duty")
        return MeasureMode::Duty;
    return std::nullopt;
}

std::string badValue(std::string_view name, std::string_view value, std::string_view expected) {
    return "invalid value '" + std::string(value) + "' for " + std::string(name) + ": expected " +
           std::string(expected);
}

// Sets an option that takes a value; an empty result means success, otherwise the message.
std::string applyValue(std::string_view name, std::string_view value, SimOptions& options) {
    MeterSettings& meter = options.meter;
    if (name == "--link") {
        if (value.empty())
            return badValue(name, value, "a path");
        options.linkPath = value;
        return {};
    }
    if (name == "--replay") {
        if (value.empty())
            return badValue(name, value, "a capture file");
        options.replayPath = value;
        return {};
    }
    if (name == "--model") {
        options.model = simModelNamed(value);
        if (!options.model)
            return badValue(name, value, "one of " + simModelNameList());
        options.baud = options.model->baud;
        options.fs9721 = options.model->talksByItself;
        return {};
    }
    if (name == "--period-ms") {
        const auto period = parseNumber<int>(value);
        if (!period || *period < 60 || *period > 60'000)
            return badValue(name, value, "milliseconds from 60 (one frame's time) to 60000");
        options.periodMs = *period;
        return {};
    }
    if (name == "--function") {
        const auto function = functionByName(value);
        if (!function)
            return badValue(name, value, "one of " + functionNameList());
        meter.function = *function;
        return {};
    }
    if (name == "--mode") {
        const auto mode = modeByName(value);
        if (!mode)
            return badValue(name, value, "function, frequency or duty");
        meter.mode = *mode;
        return {};
    }
    if (name == "--range") {
        const auto range = parseNumber<int>(value);
        if (!range || *range < 0)
            return badValue(name, value, "a range number from 0");
        meter.manualRange = *range;
        return {};
    }
    const auto number = parseNumber<double>(value);
    if (!number)
        return badValue(name, value, "a number");
    if (name == "--value")
        meter.fixedInput = *number;
    else if (name == "--drift")
        meter.driftPercent = *number;
    else if (name == "--hz")
        meter.frequencyHz = *number;
    else
        meter.dutyPercent = *number;
    return {};
}

bool setsMeterState(std::string_view name) {
    for (std::string_view option : kServingOptions) {
        if (option == name)
            return false;
    }
    return true;
}

// Checks the options against each other once all are known; firstStateOption is the first
// option given that sets the meter's state, or empty.
std::string validate(const SimOptions& options, std::string_view firstStateOption) {
    if (options.loop && options.replayPath.empty())
        return "--loop needs --replay FILE";
    if (options.fs9721 && !options.replayPath.empty())
        return "--replay plays the frames of a capture, not an FS9721 meter";
    if (options.fs9721 && !firstStateOption.empty())
        return std::string(firstStateOption) +
               " sets the state of a VelmarD meter; an FS9721 meter steps through its own";
    if (!options.fs9721 && options.faults)
        return "--faults needs --model fs9721";
    if (!options.replayPath.empty() && !firstStateOption.empty())
        return std::string(firstStateOption) +
               " sets the meter's state, which --replay takes from the capture";
    const MeterSettings& meter = options.meter;
    if (options.model && meter.fiveDigit && !options.model->fiveDigit)
        return "--five-digit: a " + std::string(options.model->name) + " shows 8000 counts";
    const FunctionInfo& info = functionInfo(meter.function);
    const int ranges = static_cast<int>(info.ranges.size());
    if (meter.manualRange && *meter.manualRange >= ranges) {
        return "--range " + std::to_string(*meter.manualRange) + " does not exist for " +
               std::string(info.name) + ": its ranges are 0 to " + std::to_string(ranges - 1);
    }
    if (meter.mode != MeasureMode::Function && !info.frequencyAllowed)
        return "frequency and duty modes need a voltage or current function, not " +
               std::string(info.name);
    if (meter.driftPercent < 0 || meter.driftPercent > 50)
        return "--drift must lie between 0 and 50 percent";
    if (meter.frequencyHz <= 0)
        return "--hz must be greater than 0";
    if (meter.dutyPercent < 0 || meter.dutyPercent >= 100)
        return "--duty-cycle must lie between 0 and 99.99 percent";
    return {};
}

} // namespace

const SimModel* simModelNamed(std::string_view name) {
    const auto sameIgnoringCase = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) !=
                std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    };
    for (const SimModel& model : kSimModels) {
        if (sameIgnoringCase(model.name, name))
            return &model;
    }
    return nullptr;
}

std::string simModelNameList() {
    std::string list;
    for (std::size_t i = 0; i < kSimModels.size(); ++i) {
        if (i > 0)
            list += i + 1 == kSimModels.size() ? " or " : ", ";
        list += kSimModels[i].name;
    }
    return list;
}

std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    SimOptions options;
    std::string_view firstStateOption;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const bool inlineValue = equals != std::string_view::npos;
        if (firstStateOption.empty() && setsMeterState(name))
            firstStateOption = name;
        if (!inlineValue && applySwitch(name, options))
            continue;
        if (!takesValue(name)) {
            error = applySwitch(name, options) ? "option " + std::string(name) + " takes no value"
                                               : "unknown argument '" + std::string(arg) + "'";
            return std::nullopt;
        }
        if (!inlineValue && i + 1 >= args.size()) {
            error = "option " + std::string(name) + " needs a value";
            return std::nullopt;
        }
        const std::string_view value = inlineValue ? arg.substr(equals + 1) : args[++i];
        error = applyValue(name, value, options);
        if (!error.empty())
            return std::nullopt;
    }
    if (options.model)
        options.meter.fiveDigit = options.meter.fiveDigit || options.model->fiveDigit;
    error = validate(options, firstStateOption);
    if (!error.empty())
        return std::nullopt;
    return options;
}

std::string simUsage() {
    return "Usage: velmar-sim [options]\n"
           "Plays a meter of the VelmarD family on a pseudo-terminal. The first line of\n"
           "output is the terminal's device path; open it at 9600 baud. Each 0x89 gets a\n"
           "main-display frame, each 0x8A a bar-graph frame; key codes 0xA0..0xAD work the\n"
           "keys.\n"
           "\n"
           "Serving:\n"
           "  --link PATH          make PATH a symbolic link to the terminal (a stale link is\n"
           "                       replaced; the link is removed on exit)\n"
           "  --trace              print received requests and keys to standard error\n"
           "  --replay FILE        answer each request with the next frame of its kind from\n"
           "                       a capture file instead of simulating; key codes are\n"
           "                       ignored; when a kind runs out its requests go unanswered\n"
           "  --loop               with --replay: start a kind again from its first frame\n"
           "                       when it runs out\n"
           "  --period-ms N        with fs9721: a frame every N ms (default 500)\n"
           "  --faults             with fs9721: lose a byte of about one frame in eight\n"
           "  -h, --help           show this text\n"
           "\n"
           "Starting state:\n"
           "  --model NAME         the meter to play: " +
           simModelNameList() +
           "\n"
           "                       (VelmarC and Tessik show 8000 counts, VelmarD 80000);\n"
           "                       without it, 8000 counts unless --five-digit; fs9721 is\n"
           "                       a meter on the FS9721_LP3 chip, at 2400 baud, that sends\n"
           "                       its 14-byte display frame by itself, stepping through\n"
           "                       its functions and ranges (overload, HOLD, REL, MIN, MAX\n"
           "                       and low battery among them), three frames each\n"
           "  --function NAME      one of " +
           functionNameList() +
           "\n"
           "                       (default dcv); AC-DC-Cap steps through them in this order\n"
           "  --range N            manual range N instead of autorange\n"
           "  --mode MODE          function (default), frequency or duty\n"
           "  --frequency          same as --mode frequency\n"
           "  --duty               same as --mode duty\n"
           "  --five-digit         80000-count display in function mode\n"
           "  --overload           always over range (0L)\n"
           "  --low-battery        light the low-battery sign\n"
           "  --hold               start with the reading held\n"
           "  --rec                start recording (MAX shown)\n"
           "\n"
           "Input signal:\n"
           "  --value X            fixed input of the starting function in V, A, ohm or F\n"
           "                       (default 12.34 V DC); stops the drift\n"
           "  --drift PERCENT      amplitude of the slow drift, 0 to 50 (default 0.5)\n"
           "  --hz X               frequency shown in frequency mode (default 50)\n"
           "  --duty-cycle PERCENT duty cycle shown in duty mode (default 50)\n"
           "\n"
           "Keys: RANGE short steps to manual range and through the ranges, long returns to\n"
           "autorange; Hz-% short cycles function, frequency and duty, long returns to the\n"
           "function; Hold short freezes the reading; REL short zeroes at the present reading,\n"
           "long leaves it; MAX-MIN short starts recording and cycles MAX, MIN and AVG, long\n"
           "stops; Peak-Buzzer short toggles the buzzer (resistance) or peak capture (volts and\n"
           "amps), long clears both; AC-DC-Cap short selects the next function, long the\n"
           "previous one. Other bytes are ignored.\n"
           "\n"
           "Exit codes: 0 stopped by SIGINT, SIGTERM or SIGHUP, 1 the terminal, the link or\n"
           "the capture to replay cannot be made or read, 2 bad arguments.\n";
}
