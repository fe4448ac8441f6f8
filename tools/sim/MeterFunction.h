#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The measuring functions the simulated meter offers, in the order the AC-DC-Cap key steps
// through them.
enum class MeterFunction {
    DcVolts,
    AcVolts,
    DcMillivolts,
    AcMillivolts,
    Ohms,
    Capacitance,
    Diode,
    DcMilliamps,
    AcMilliamps,
    DcAmps,
    AcAmps,
};

// One range of a function: the value of one count of the four-digit display in the function's
// base unit (V, A, ohm, F). A reciprocal range shows the conductance 1/x in siemens instead.
struct MeterRange {
    double resolution = 1.0;
    bool reciprocal = false;
};

// What the display frame says about a function and how the simulated meter measures it.
struct FunctionInfo {
    std::string_view name;        // command-line name
    std::string_view description; // for --help and the trace
    int functionCode = 0;         // byte 1 bits 6..3
    bool variantBit = false;      // byte 1 bit 0: AC, or capacitance rather than resistance
    bool ac = false;              // readings are magnitudes
    std::span<const MeterRange> ranges;
    int autoRanges = 0; // autorange picks among the first autoRanges ranges
    bool frequencyAllowed = false;
    double nominalInput = 0.0; // simulated input, base unit
};

inline constexpr int kFunctionCount = 11;

[[nodiscard]] const FunctionInfo& functionInfo(MeterFunction function);
[[nodiscard]] std::optional<MeterFunction> functionByName(std::string_view name);
[[nodiscard]] MeterFunction nextFunction(MeterFunction function);
[[nodiscard]] MeterFunction previousFunction(MeterFunction function);
// "dcv, acv, ..." for messages and --help.
[[nodiscard]] std::string functionNameList();
