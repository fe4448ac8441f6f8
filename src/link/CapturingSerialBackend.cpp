#include "CapturingSerialBackend.h"

CapturingSerialBackend::CapturingSerialBackend(std::unique_ptr<SerialBackend> line,
                                               std::shared_ptr<CaptureWriter> capture)
    : m_line(std::move(line)), m_capture(std::move(capture)) {}

bool CapturingSerialBackend::open(const QString& device, PortOpenError& whyNot) {
    const bool opened = m_line->open(device, whyNot);
    if (m_capture) {
        const QString note = opened ? QStringLiteral("opened %1").arg(device)
                                    : QStringLiteral("cannot open %1: %2").arg(device, whyNot.text);
        m_capture->note(note.toStdString());
    }
    return opened;
}

void CapturingSerialBackend::close() {
    if (m_capture && m_line->isOpen())
        m_capture->note("closed");
    m_line->close();
}

// Purges and line settings change what later reads see, so a capture that explains a fault
// must show where they happened.
SerialBackend::LineSettingsResult
CapturingSerialBackend::applyLineSettings(const SerialLineSettings& settings) {
    LineSettingsResult result = m_line->applyLineSettings(settings);
    if (m_capture && m_line->isOpen()) {
        m_capture->note("line " + std::to_string(settings.baudRate) + " baud, " +
                        std::to_string(settings.dataBits) + " data bits" +
                        (result.applied ? "" : " (refused: " + result.refused.toStdString() + ")"));
    }
    return result;
}

bool CapturingSerialBackend::purge(bool input, bool output) {
    if (m_capture && m_line->isOpen())
        m_capture->note(std::string("purged") + (input ? " input" : "") +
                        (output ? " output" : ""));
    return m_line->purge(input, output);
}

qint32 CapturingSerialBackend::read(std::uint8_t* buffer, qint32 capacity) {
    const qint32 got = m_line->read(buffer, capacity);
    if (m_capture && got > 0)
        m_capture->record(CaptureDirection::Received, buffer, static_cast<std::size_t>(got));
    return got;
}

SerialBackend::WriteResult CapturingSerialBackend::write(const std::uint8_t* data, qint32 count) {
    const WriteResult result = m_line->write(data, count);
    if (m_capture && result.taken > 0)
        m_capture->record(CaptureDirection::Sent, data, static_cast<std::size_t>(result.taken));
    return result;
}
