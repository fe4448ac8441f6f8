#include "CaptureReplay.h"

#include "MeterModel.h"

#include <array>
#include <cstdio>
#include <utility>

namespace {

std::string hexByte(std::uint8_t byte) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "0x%02X", byte);
    return text.data();
}

void sortFrame(LinePeer::Frame&& frame, CaptureReplay::Frames& frames) {
    if (frame.front() == MeterModel::kMainRequest)
        frames.main.push_back(std::move(frame));
    else if (frame.front() == MeterModel::kBarRequest)
        frames.bar.push_back(std::move(frame));
    else
        ++frames.others;
}

} // namespace

CaptureReplay::Frames CaptureReplay::cutFrames(const std::vector<CaptureEvent>& events) {
    Frames frames;
    Frame current;
    for (const CaptureEvent& event : events) {
        if (event.direction != CaptureDirection::Received)
            continue;
        for (const std::uint8_t byte : event.bytes) {
            current.push_back(byte);
            if (byte == MeterModel::kLineFeed || current.size() >= kMaxFrameBytes)
                sortFrame(std::exchange(current, {}), frames);
        }
    }
    frames.unfinishedBytes = current.size();
    return frames;
}

CaptureReplay::CaptureReplay(Frames frames, bool loop, Notice notice)
    : m_main{std::move(frames.main), "main-display", MeterModel::kMainRequest},
      m_bar{std::move(frames.bar), "bar-graph", MeterModel::kBarRequest}, m_loop(loop),
      m_notice(std::move(notice)) {}

LinePeer::Frame CaptureReplay::receive(std::uint8_t byte) {
    if (byte == MeterModel::kMainRequest)
        return nextOf(m_main);
    if (byte == MeterModel::kBarRequest)
        return nextOf(m_bar);
    const std::string meaning = MeterModel::describeByte(byte);
    if (meaning != "ignored")
        tell("key code " + hexByte(byte) + " (" + meaning +
             ") ignored: a replay cannot change the captured readings");
    return {};
}

std::string CaptureReplay::describe(std::uint8_t byte) const {
    std::string meaning = MeterModel::describeByte(byte);
    if (byte == MeterModel::kMainRequest || byte == MeterModel::kBarRequest)
        return meaning;
    return meaning == "ignored" ? meaning : meaning + ", ignored in a replay";
}

LinePeer::Frame CaptureReplay::nextOf(Queue& queue) {
    if (queue.frames.empty()) {
        if (!std::exchange(queue.toldEnd, true))
            tell("the capture holds no " + queue.name + " frames; " + hexByte(queue.request) +
                 " requests go unanswered");
        return {};
    }
    if (queue.next == queue.frames.size()) {
        const std::string count = std::to_string(queue.frames.size());
        if (!m_loop) {
            if (!std::exchange(queue.toldEnd, true))
                tell("all " + count + " " + queue.name + " frames of the capture replayed; " +
                     hexByte(queue.request) + " requests go unanswered from now on");
            return {};
        }
        if (!std::exchange(queue.toldEnd, true))
            tell("all " + count + " " + queue.name +
                 " frames of the capture replayed; starting again from the first, and so on");
        queue.next = 0;
    }
    return queue.frames[queue.next++];
}

void CaptureReplay::tell(const std::string& line) const {
    if (m_notice)
        m_notice(line);
}
