#pragma once

#include "CaptureWriter.h"
#include "SerialBackend.h"

#include <memory>

// Puts a capture between the serial component and the platform: every byte read from or
// written to the line goes to the capture as it passes, each read or write one event, and the
// port's opening and closing become comment lines. The component itself is unchanged:
//
//   auto capture = CaptureWriter::open(path, error);
//   TCommPortDriver port(std::make_unique<CapturingSerialBackend>(
//       std::make_unique<PosixSerialBackend>(), std::move(capture)));
//
// The host keeps a share of the writer to learn when writing the capture fails.
class CapturingSerialBackend final : public SerialBackend {
public:
    CapturingSerialBackend(std::unique_ptr<SerialBackend> line,
                           std::shared_ptr<CaptureWriter> capture);

    [[nodiscard]] bool open(const QString& device, PortOpenError& whyNot) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_line->isOpen(); }

    LineSettingsResult applyLineSettings(const SerialLineSettings& settings) override;
    bool purge(bool input, bool output) override;
    [[nodiscard]] qint32 outputQueued() override { return m_line->outputQueued(); }

    [[nodiscard]] qint32 read(std::uint8_t* buffer, qint32 capacity) override;
    [[nodiscard]] WriteResult write(const std::uint8_t* data, qint32 count) override;
    void waitWritable(int timeoutMs) override { m_line->waitWritable(timeoutMs); }
    [[nodiscard]] bool isGone() override { return m_line->isGone(); }
    [[nodiscard]] qint64 nowMs() override { return m_line->nowMs(); }
    void pause(int milliseconds) override { m_line->pause(milliseconds); }

private:
    std::unique_ptr<SerialBackend> m_line;
    std::shared_ptr<CaptureWriter> m_capture;
};
