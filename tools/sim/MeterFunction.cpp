#include "MeterFunction.h"

#include <array>

namespace {

// Four-digit resolutions follow the decimal point the display shows for each range code
// (8000 counts full scale): 8.000 V, 80.00 V, 800.0 V, 8000 V and so on.
constexpr std::array<MeterRange, 4> kDcVoltRanges{{{0.001}, {0.01}, {0.1}, {1.0}}};
constexpr std::array<MeterRange, 5> kAcVoltRanges{{{0.0001}, {0.001}, {0.01}, {0.1}, {1.0}}};
constexpr std::array<MeterRange, 2> kMillivoltRanges{{{1e-5}, {1e-4}}};
// The last resistance range shows nanosiemens; autorange stays out of it, as on the meter.
constexpr std::array<MeterRange, 7> kOhmRanges{
    {{0.1}, {1.0}, {10.0}, {100.0}, {1e3}, {1e4}, {1e-11, true}}};
constexpr std::array<MeterRange, 6> kCapacitanceRanges{
    {{1e-12}, {1e-11}, {1e-10}, {1e-9}, {1e-8}, {1e-7}}};
constexpr std::array<MeterRange, 1> kDiodeRanges{{{0.001}}};
constexpr std::array<MeterRange, 2> kMilliampRanges{{{1e-5}, {1e-4}}};
constexpr std::array<MeterRange, 2> kAmpRanges{{{0.001}, {0.01}}};

const std::array<FunctionInfo, kFunctionCount> kFunctions{{
    {"dcv", "DC volts", 14, false, false, kDcVoltRanges, 4, true, 12.34},
    {"acv", "AC volts", 15, true, true, kAcVoltRanges, 5, true, 230.0},
    {"dcmv", "DC millivolts", 13, false, false, kMillivoltRanges, 2, true, 0.04321},
    {"acmv", "AC millivolts", 13, true, true, kMillivoltRanges, 2, true, 0.1234},
    {"ohm", "resistance", 12, false, false, kOhmRanges, 6, false, 4700.0},
    {"cap", "capacitance", 12, true, false, kCapacitanceRanges, 6, false, 47e-9},
    {"diode", "diode test", 11, false, false, kDiodeRanges, 1, false, 0.612},
    {"dcma", "DC milliamps", 6, false, false, kMilliampRanges, 2, true, 0.02468},
    {"acma", "AC milliamps", 6, true, true, kMilliampRanges, 2, true, 0.1357},
    {"dca", "DC amps", 5, false, false, kAmpRanges, 2, true, 1.5},
    {"aca", "AC amps", 5, true, true, kAmpRanges, 2, true, 2.345},
}};

} // namespace

const FunctionInfo& functionInfo(MeterFunction function) {
    return kFunctions[static_cast<std::size_t>(function)];
}

std::optional<MeterFunction> functionByName(std::string_view name) {
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        if (kFunctions[i].name == name)
            return static_cast<MeterFunction>(i);
    }
    return std::nullopt;
}

MeterFunction nextFunction(MeterFunction function) {
    return static_cast<MeterFunction>((static_cast<int>(function) + 1) % kFunctionCount);
}

MeterFunction previousFunction(MeterFunction function) {
    return static_cast<MeterFunction>((static_cast<int>(function) + kFunctionCount - 1) %
                                      kFunctionCount);
}

std::string functionNameList() {
    std::string list;
    for (const FunctionInfo& info : kFunctions) {
        if (!list.empty())
            list += ", ";
        list += info.name;
    }
    return list;
}
