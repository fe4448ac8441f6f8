#pragma once

#include "PosixSerialBackend.h"
#include "SerialBackend.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

// A real serial line on a clock the test drives: every wait the component asks for returns at
// once and moves the clock on instead, and the test may act (drain the line, hang it up) when the
// clock passes a time of its choosing. It counts the waits, so a test can show that a caller
// never waits at all.
class SteppedClockBackend final : public SerialBackend {
public:
    // Called with the clock after each wait; the test acts on the line there.
    using OnWait = std::function<void(qint64 nowMs)>;

    explicit SteppedClockBackend(
        std::unique_ptr<SerialBackend> line = std::make_unique<PosixSerialBackend>())
        : m_line(std::move(line)) {}

    void setOnWait(OnWait onWait) { m_onWait = std::move(onWait); }
    // The clock moves by at most this much per wait, so that the test's actions fall due.
    void setStepMs(int stepMs) { m_stepMs = stepMs; }
    [[nodiscard]] int waits() const { return m_waits; }

    [[nodiscard]] bool open(const QString& device, PortOpenError& whyNot) override {
        return m_line->open(device, whyNot);
    }
    void close() override { m_line->close(); }
    [[nodiscard]] bool isOpen() const override { return m_line->isOpen(); }
    LineSettingsResult applyLineSettings(const SerialLineSettings& settings) override {
        return m_line->applyLineSettings(settings);
    }
    bool purge(bool input, bool output) override { return m_line->purge(input, output); }
    [[nodiscard]] qint32 outputQueued() override { return m_line->outputQueued(); }
    [[nodiscard]] qint32 read(std::uint8_t* buffer, qint32 capacity) override {
        return m_line->read(buffer, capacity);
    }
    [[nodiscard]] WriteResult write(const std::uint8_t* data, qint32 count) override {
        return m_line->write(data, count);
    }
    [[nodiscard]] bool isGone() override { return m_line->isGone(); }

    [[nodiscard]] qint64 nowMs() override { return m_nowMs; }
    void waitWritable(int timeoutMs) override { pause(timeoutMs); }
    void pause(int milliseconds) override {
        ++m_waits;
        m_nowMs += std::max(1, std::min(milliseconds, m_stepMs));
        if (m_onWait)
            m_onWait(m_nowMs);
    }

private:
    std::unique_ptr<SerialBackend> m_line;
    OnWait m_onWait;
    qint64 m_nowMs = 1'000'000;
    int m_stepMs = 10;
    int m_waits = 0;
};
