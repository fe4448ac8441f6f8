#include "MeterModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr long long kFourDigitFullScale = 8000;
constexpr long long kFiveDigitFullScale = 80000;
constexpr long long kFrequencyFullScale = 100000;
constexpr long long kDutyFullScale = 10000;
constexpr double kDutyResolution = 0.01;
constexpr std::uint8_t kBlankDigit = 0x0F;

// Frequency is always shown with five digits; range 0 has no point and reads whole hertz,
// ranges 1..5 run from 999.99 Hz to 9.9999 MHz and are the ones autorange uses.
constexpr std::array<double, 6> kFrequencyResolutions{1.0, 0.01, 0.1, 1.0, 10.0, 100.0};
constexpr int kFirstAutoFrequencyRange = 1;

constexpr std::uint8_t kModeBitsFrequency = 0b100;
constexpr std::uint8_t kModeBitsDuty = 0b101;

// Keys: even codes are long presses, the next odd code the short press of the same key.
constexpr std::uint8_t kRangeLong = 0xA0;
constexpr std::uint8_t kRangeShort = 0xA1;
constexpr std::uint8_t kHzLong = 0xA2;
constexpr std::uint8_t kHzShort = 0xA3;
constexpr std::uint8_t kHoldLong = 0xA4;
constexpr std::uint8_t kHoldShort = 0xA5;
constexpr std::uint8_t kRelLong = 0xA6;
constexpr std::uint8_t kRelShort = 0xA7;
constexpr std::uint8_t kRecordLong = 0xA8;
constexpr std::uint8_t kRecordShort = 0xA9;
constexpr std::uint8_t kPeakLong = 0xAA;
constexpr std::uint8_t kPeakShort = 0xAB;
constexpr std::uint8_t kSelectLong = 0xAC;
constexpr std::uint8_t kSelectShort = 0xAD;

constexpr std::array<const char*, 14> kKeyNames{
    "RANGE long",       "RANGE short",       "Hz-% long",      "Hz-% short",     "Hold long",
    "Hold short",       "REL long",          "REL short",      "MAX-MIN long",   "MAX-MIN short",
    "Peak-Buzzer long", "Peak-Buzzer short", "AC-DC-Cap long", "AC-DC-Cap short"};

// The count a value shows with the given resolution, or overload when it does not fit.
struct Encoded {
    bool overload = false;
    bool negative = false;
    long long count = 0;
};

Encoded encode(double value, double resolution, long long fullScale) {
    const double scaled = std::abs(value / resolution);
    Encoded result;
    result.negative = value < 0;
    if (!std::isfinite(scaled) || scaled >= static_cast<double>(fullScale)) {
        result.overload = true;
        return result;
    }
    result.count = std::llround(scaled);
    result.overload = result.count >= fullScale;
    // A reading that rounds to zero shows no minus sign.
    result.negative = result.negative && (result.overload || result.count > 0);
    return result;
}

bool fits(double value, double resolution, long long fullScale) {
    return !encode(value, resolution, fullScale).overload;
}

} // namespace

MeterModel::MeterModel(const MeterSettings& settings)
    : m_settings(settings), m_function(settings.function), m_mode(settings.mode) {
    const FunctionInfo& info = functionInfo(m_function);
    if (m_mode != MeasureMode::Function && !info.frequencyAllowed)
        m_mode = MeasureMode::Function;
    if (settings.manualRange && *settings.manualRange >= 0 &&
        *settings.manualRange < static_cast<int>(info.ranges.size())) {
        m_autorange = false;
        m_manualRange = *settings.manualRange;
    }
    sample();
    if (settings.recording)
        startRecording();
    m_hold = settings.hold;
}

void MeterModel::advance(double seconds) {
    if (!(seconds > 0))
        return;
    m_time += seconds;
    sample();
}

MeterModel::Frame MeterModel::receive(std::uint8_t byte) {
    if (byte == kMainRequest)
        return mainFrame();
    if (byte == kBarRequest)
        return barFrame();
    pressKey(byte);
    return {};
}

bool MeterModel::pressKey(std::uint8_t code) {
    switch (code) {
    case kRangeLong:
        autorangeKey();
        return true;
    case kRangeShort:
        rangeKey();
        return true;
    case kHzLong:
        if (m_mode != MeasureMode::Function)
            changeMode(MeasureMode::Function);
        return true;
    case kHzShort:
        frequencyKey();
        return true;
    case kHoldLong:
        return true; // the meter gives the long press of Hold no meaning
    case kHoldShort:
        holdKey();
        return true;
    case kRelLong:
        m_relative = false;
        m_relativeOffset = 0.0;
        return true;
    case kRelShort:
        relativeKey();
        return true;
    case kRecordLong:
        m_recording = false;
        m_peak = false;
        return true;
    case kRecordShort:
        recordKey();
        return true;
    case kPeakLong:
        m_peak = false;
        m_buzzer = false;
        return true;
    case kPeakShort:
        peakKey();
        return true;
    case kSelectLong:
        changeFunction(previousFunction(m_function));
        return true;
    case kSelectShort:
        changeFunction(nextFunction(m_function));
        return true;
    default:
        return false;
    }
}

MeterModel::Frame MeterModel::mainFrame() const {
    const Display shown = display();
    const FunctionInfo& info = functionInfo(m_function);
    std::uint8_t modeBits = 0;
    if (m_mode == MeasureMode::Frequency)
        modeBits = kModeBitsFrequency;
    if (m_mode == MeasureMode::Duty)
        modeBits = kModeBitsDuty;

    Frame frame;
    frame.reserve(11);
    frame.push_back(kMainRequest);
    frame.push_back(static_cast<std::uint8_t>(info.functionCode << 3 | (info.variantBit ? 1 : 0)));
    frame.push_back(
        static_cast<std::uint8_t>((shown.manual ? 0x40 : 0) | shown.rangeCode << 3 | modeBits));
    frame.push_back(recordingByte());
    frame.push_back(statusByte(shown));
    frame.insert(frame.end(), shown.digits.begin(), shown.digits.end());
    frame.push_back(kLineFeed);
    return frame;
}

MeterModel::Frame MeterModel::barFrame() const {
    const Display shown = display();
    long long length = kBarSegments;
    if (!shown.overload)
        length = std::min<long long>(kBarSegments, shown.count * kBarSegments / shown.fullScale);
    // Bytes 1..4 repeat the main frame's; bit 6 of the length byte is unused and kept set so
    // that a bar of ten segments can never read as the line feed that ends the frame.
    const Frame main = mainFrame();
    Frame frame(main.begin(), main.begin() + 5);
    frame[0] = kBarRequest;
    frame.push_back(static_cast<std::uint8_t>(0x40 | length));
    frame.push_back(kLineFeed);
    return frame;
}

std::string MeterModel::describeByte(std::uint8_t byte) {
    if (byte == kMainRequest)
        return "main-display request";
    if (byte == kBarRequest)
        return "bar-graph request";
    if (byte >= kRangeLong && byte <= kSelectShort)
        return kKeyNames[byte - kRangeLong];
    return "ignored";
}

MeterModel::Display MeterModel::display() const {
    if (m_mode == MeasureMode::Function)
        return functionDisplay();
    Display shown;
    double resolution = kDutyResolution;
    if (m_mode == MeasureMode::Frequency) {
        shown.fiveDigit = true;
        shown.fullScale = kFrequencyFullScale;
        shown.rangeCode = static_cast<int>(kFrequencyResolutions.size()) - 1;
        for (int r = kFirstAutoFrequencyRange; r < shown.rangeCode; ++r) {
            if (fits(shownReading(), kFrequencyResolutions[r], shown.fullScale)) {
                shown.rangeCode = r;
                break;
            }
        }
        resolution = kFrequencyResolutions[shown.rangeCode];
    } else {
        shown.fullScale = kDutyFullScale;
    }

    fillReading(shown, resolution);
    return shown;
}

MeterModel::Display MeterModel::functionDisplay() const {
    const FunctionInfo& info = functionInfo(m_function);
    Display shown;
    shown.rangeCode = functionRange();
    shown.manual = !m_autorange;
    shown.fiveDigit = m_settings.fiveDigit;
    shown.fullScale = shown.fiveDigit ? kFiveDigitFullScale : kFourDigitFullScale;
    const double resolution =
        info.ranges[shown.rangeCode].resolution / (shown.fiveDigit ? 10.0 : 1.0);

    fillReading(shown, resolution);
    return shown;
}

void MeterModel::fillReading(Display& shown, double resolution) const {
    const Encoded value = encode(shownReading(), resolution, shown.fullScale);
    shown.overload = value.overload || m_settings.overload;
    shown.negative = value.negative;
    shown.count = shown.overload ? 0 : value.count;
    long long rest = shown.count;
    for (int i = 4; i >= 0; --i) {
        shown.digits[i] = static_cast<std::uint8_t>(rest % 10);
        rest /= 10;
    }
    // Four-digit readings leave the leading position blank; so does overload, whose digits the
    // display replaces anyway.
    if (!shown.fiveDigit || shown.overload)
        shown.digits[0] = kBlankDigit;
}

// The range the function shows: the manual one, or the lowest autorange range that holds the
// reading (the highest when none does, which then shows overload).
int MeterModel::functionRange() const {
    if (!m_autorange)
        return m_manualRange;
    const FunctionInfo& info = functionInfo(m_function);
    const double divisor = m_settings.fiveDigit ? 10.0 : 1.0;
    const long long fullScale = m_settings.fiveDigit ? kFiveDigitFullScale : kFourDigitFullScale;
    const double reading = shownReading();
    for (int r = 0; r < info.autoRanges; ++r) {
        if (fits(reading, info.ranges[r].resolution / divisor, fullScale))
            return r;
    }
    return info.autoRanges - 1;
}

double MeterModel::inputAt(double time) const {
    if (m_mode == MeasureMode::Frequency)
        return m_settings.frequencyHz;
    if (m_mode == MeasureMode::Duty)
        return m_settings.dutyPercent;
    const FunctionInfo& info = functionInfo(m_function);
    const bool fixed = m_settings.fixedInput.has_value();
    double value = info.nominalInput;
    if (fixed && m_function == m_settings.function)
        value = *m_settings.fixedInput;
    if (!fixed && m_settings.driftPeriodSeconds > 0) {
        const double phase = 2 * std::numbers::pi * time / m_settings.driftPeriodSeconds;
        value *= 1.0 + m_settings.driftPercent / 100.0 * std::sin(phase);
    }
    return info.ac ? std::abs(value) : value;
}

double MeterModel::quantity(double input, int range) const {
    if (m_mode != MeasureMode::Function)
        return input;
    if (!functionInfo(m_function).ranges[range].reciprocal)
        return input;
    return 1.0 / input;
}

double MeterModel::liveReading() const {
    // Autorange never picks a reciprocal range, so the raw input serves it.
    double reading = m_autorange ? m_input : quantity(m_input, m_manualRange);
    if (m_relative)
        reading -= m_relativeOffset;
    return reading;
}

double MeterModel::shownReading() const {
    if (!m_recording)
        return liveReading();
    switch (m_statistic) {
    case Statistic::Max:
        return m_recMax;
    case Statistic::Min:
        return m_recMin;
    case Statistic::Avg:
        break;
    }
    return m_recSum / static_cast<double>(m_recCount);
}

std::uint8_t MeterModel::recordingByte() const {
    const std::uint8_t buzzer = m_buzzer ? 0x04 : 0x00;
    if (!m_recording)
        return buzzer;
    // With the fast peak rate bit 3 alone tells MIN from MAX.
    if (m_peak)
        return static_cast<std::uint8_t>(0x40 | 0x04 | (m_statistic == Statistic::Min ? 0x08 : 0));
    switch (m_statistic) {
    case Statistic::Max:
        return 0x40 | 0x08;
    case Statistic::Min:
        return 0x40 | 0x10;
    case Statistic::Avg:
        break;
    }
    return 0x40 | 0x18;
}

std::uint8_t MeterModel::statusByte(const Display& shown) const {
    std::uint8_t status = 0;
    if (m_settings.lowBattery)
        status |= 0x20;
    if (shown.negative)
        status |= 0x10;
    if (shown.overload)
        status |= 0x08;
    if (shown.fiveDigit)
        status |= 0x04;
    if (m_hold)
        status |= 0x01;
    return status;
}

void MeterModel::changeFunction(MeterFunction function) {
    m_function = function;
    m_mode = MeasureMode::Function;
    m_autorange = true;
    m_manualRange = 0;
    resetReadingModes();
    sample();
}

void MeterModel::changeMode(MeasureMode mode) {
    m_mode = mode;
    resetReadingModes();
    sample();
}

void MeterModel::resetReadingModes() {
    m_hold = false;
    m_relative = false;
    m_relativeOffset = 0.0;
    m_recording = false;
    m_peak = false;
    m_buzzer = false;
}

void MeterModel::startRecording() {
    m_recording = true;
    m_statistic = Statistic::Max;
    m_buzzer = false; // its bit would read as the fast peak rate while recording
    const double reading = liveReading();
    m_recMax = reading;
    m_recMin = reading;
    m_recSum = reading;
    m_recCount = 1;
}

void MeterModel::sample() {
    if (m_hold)
        return;
    m_input = inputAt(m_time);
    if (!m_recording)
        return;
    const double reading = liveReading();
    m_recMax = std::max(m_recMax, reading);
    m_recMin = std::min(m_recMin, reading);
    m_recSum += reading;
    ++m_recCount;
}

void MeterModel::rangeKey() {
    const FunctionInfo& info = functionInfo(m_function);
    if (m_mode != MeasureMode::Function || m_recording || m_hold || info.ranges.size() < 2)
        return;
    const int current = functionRange();
    m_relative = false;
    m_relativeOffset = 0.0;
    // The first press keeps the range autorange had chosen, the next ones step through them.
    m_manualRange = m_autorange ? current : (current + 1) % static_cast<int>(info.ranges.size());
    m_autorange = false;
}

void MeterModel::autorangeKey() {
    if (m_mode != MeasureMode::Function || m_recording || m_hold)
        return;
    m_autorange = true;
    m_relative = false;
    m_relativeOffset = 0.0;
}

void MeterModel::frequencyKey() {
    if (!functionInfo(m_function).frequencyAllowed)
        return;
    switch (m_mode) {
    case MeasureMode::Function:
        changeMode(MeasureMode::Frequency);
        return;
    case MeasureMode::Frequency:
        changeMode(MeasureMode::Duty);
        return;
    case MeasureMode::Duty:
        changeMode(MeasureMode::Function);
        return;
    }
}

void MeterModel::holdKey() {
    m_hold = !m_hold;
    sample();
}

void MeterModel::relativeKey() {
    if (m_mode != MeasureMode::Function || m_hold || m_recording)
        return;
    if (m_relative) {
        m_relative = false;
        m_relativeOffset = 0.0;
        return;
    }
    // Zeroing locks the range, so the offset keeps its meaning.
    m_manualRange = functionRange();
    m_autorange = false;
    m_relativeOffset = liveReading();
    m_relative = true;
}

void MeterModel::recordKey() {
    if (m_hold)
        return;
    if (!m_recording) {
        startRecording();
        return;
    }
    if (m_peak) {
        m_statistic = m_statistic == Statistic::Max ? Statistic::Min : Statistic::Max;
        return;
    }
    switch (m_statistic) {
    case Statistic::Max:
        m_statistic = Statistic::Min;
        return;
    case Statistic::Min:
        m_statistic = Statistic::Avg;
        return;
    case Statistic::Avg:
        m_statistic = Statistic::Max;
        return;
    }
}

// Peak-Buzzer: the continuity buzzer in the resistance function, the fast peak capture of
// recording in the voltage and current functions.
void MeterModel::peakKey() {
    if (m_mode != MeasureMode::Function || m_hold)
        return;
    if (m_function == MeterFunction::Ohms) {
        if (!m_recording)
            m_buzzer = !m_buzzer;
        return;
    }
    if (!functionInfo(m_function).frequencyAllowed)
        return;
    m_peak = !m_peak;
    if (!m_peak)
        return;
    if (!m_recording)
        startRecording();
    if (m_statistic == Statistic::Avg)
        m_statistic = Statistic::Max;
}
