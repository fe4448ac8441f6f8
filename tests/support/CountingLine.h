#pragma once

#include "SerialBackend.h"

#include <cstdint>

// A line with nothing behind it that counts the requests written to it.
class CountingLine final : public SerialBackend {
public:
    explicit CountingLine(int& writes) : m_writes(writes) {}
    bool open(const QString&, PortOpenError&) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    LineSettingsResult applyLineSettings(const SerialLineSettings&) override { return {true, {}}; }
    bool purge(bool, bool) override { return true; }
    qint32 outputQueued() override { return 0; }
    qint32 read(std::uint8_t*, qint32) override { return 0; }
    WriteResult write(const std::uint8_t*, qint32 count) override {
        m_writes += count;
        return {count, false};
    }
    void waitWritable(int) override {}

private:
    int& m_writes;
    bool m_open = false;
};
