#pragma once

#include "LinePeer.h"
#include "MeterFunction.h"
#include "MeterSettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The simulated meter without any I/O: its front-panel state, a slowly drifting input, the
// effect of each key code and the frames it answers the two requests with. Time passes only
// through advance(), so every frame is reproducible.
class MeterModel final : public LinePeer {
public:
    static constexpr std::uint8_t kMainRequest = 0x89;
    static constexpr std::uint8_t kBarRequest = 0x8A;
    static constexpr std::uint8_t kLineFeed = 0x0A;

    explicit MeterModel(const MeterSettings& settings = {});

    // Lets simulated time pass; the input is sampled again unless the reading is held.
    void advance(double seconds) override;

    // Acts on one received byte: a request gives its frame, a key code changes the state and
    // gives an empty frame, any other byte is ignored.
    [[nodiscard]] Frame receive(std::uint8_t byte) override;

    // Returns false for a byte that is no key code.
    bool pressKey(std::uint8_t code);

    [[nodiscard]] Frame mainFrame() const;
    [[nodiscard]] Frame barFrame() const;

    [[nodiscard]] MeterFunction function() const { return m_function; }
    [[nodiscard]] MeasureMode mode() const { return m_mode; }

    // "RANGE short", "main-display request", "ignored" ...: for the trace.
    [[nodiscard]] static std::string describeByte(std::uint8_t byte);
    [[nodiscard]] std::string describe(std::uint8_t byte) const override {
        return describeByte(byte);
    }

    // Segments of the bar graph at full scale; the frame's field could carry up to 63.
    static constexpr int kBarSegments = 40;

private:
    enum class Statistic { Max, Min, Avg };

    // The reading as the display shows it.
    struct Display {
        int rangeCode = 0;
        bool manual = false;
        bool fiveDigit = false;
        bool overload = false;
        bool negative = false;
        long long count = 0;     // magnitude, in steps of the last digit
        long long fullScale = 1; // counts that no longer fit
        std::array<std::uint8_t, 5> digits{};
    };

    [[nodiscard]] Display display() const;
    [[nodiscard]] Display functionDisplay() const;
    void fillReading(Display& shown, double resolution) const;
    [[nodiscard]] int functionRange() const;
    [[nodiscard]] double inputAt(double time) const;
    [[nodiscard]] double quantity(double input, int range) const;
    [[nodiscard]] double liveReading() const;
    [[nodiscard]] double shownReading() const;
    [[nodiscard]] std::uint8_t recordingByte() const;
    [[nodiscard]] std::uint8_t statusByte(const Display& shown) const;

    void changeFunction(MeterFunction function);
    void changeMode(MeasureMode mode);
    void resetReadingModes();
    void startRecording();
    void sample();

    void rangeKey();
    void autorangeKey();
    void frequencyKey();
    void holdKey();
    void relativeKey();
    void recordKey();
    void peakKey();

    MeterSettings m_settings;
    MeterFunction m_function;
    MeasureMode m_mode;
    bool m_autorange = true;
    int m_manualRange = 0;
    bool m_hold = false;
    bool m_relative = false;
    double m_relativeOffset = 0.0;
    bool m_recording = false;
    Statistic m_statistic = Statistic::Max;
    bool m_peak = false;
    bool m_buzzer = false;
    double m_recMax = 0.0;
    double m_recMin = 0.0;
    double m_recSum = 0.0;
    long long m_recCount = 0;

    double m_time = 0.0;
    double m_input = 0.0; // the latest sample, frozen while held
};
