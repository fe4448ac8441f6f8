#pragma once

#include "FrameCutter.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>

// velmar-decode's reading of capture files, line by line beside the trace's hex lines. The
// received bytes of all events of one input go through one frame cutter, so a frame whose bytes
// arrived in several receive events comes out whole; sent bytes (requests and key codes) are
// not frames and are passed over.
class CaptureInput {
public:
    using FrameHandler = std::function<void(const QString& frameHex)>;

    CaptureInput(std::string inputName, FrameHandler onFrame);
    // The cutter calls back into this object.
    CaptureInput(const CaptureInput&) = delete;
    CaptureInput& operator=(const CaptureInput&) = delete;

    // Takes the line when it belongs to a capture: an event, a "#" comment, or a line with a
    // time's point or a direction that is no good event (reported with its number). False
    // leaves the line to be read as a trace line: a trace line is hex alone and holds none of
    // '.', '<' or '>'.
    [[nodiscard]] bool takeLine(std::string_view line, long long number);

    // Decodes what follows the last line feed as one more frame, as --cut does, and says so:
    // a capture stopped in the middle of a frame.
    void finish();

    // The paragraph velmar-decode's --help gives capture files.
    [[nodiscard]] static QString help();

private:
    std::string m_name;
    FrameHandler m_onFrame;
    FrameCutter m_cutter;
};
