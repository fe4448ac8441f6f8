#pragma once

#include "CaptureEvent.h"
#include "LinePeer.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Plays a capture back as the meter: each main-display request (0x89) is answered with the
// capture's next main-display frame and each bar-graph request (0x8A) with its next bar-graph
// frame, whatever the frames say, so that a program sees the captured readings again in their
// order. Key codes are not acted on: the captured frames cannot know of them. When the frames of
// a kind run out, requests of that kind go unanswered, as from a meter that stopped, or, with
// loop, the frames of that kind start again from the first. Either is said once.
class CaptureReplay final : public LinePeer {
public:
    using Notice = std::function<void(const std::string& line)>;

    // The frames the meter sent in a capture, cut at line feeds across its receive events.
    struct Frames {
        std::vector<Frame> main;
        std::vector<Frame> bar;
        std::size_t others = 0;          // frames of neither kind, left out
        std::size_t unfinishedBytes = 0; // bytes after the last line feed, left out
    };

    // A run of bytes this long without a line feed is no frame; the frame cutter of the
    // program gives up at the same length.
    static constexpr std::size_t kMaxFrameBytes = 4096;

    [[nodiscard]] static Frames cutFrames(const std::vector<CaptureEvent>& events);

    CaptureReplay(Frames frames, bool loop, Notice notice);

    void advance(double) override {}
    [[nodiscard]] Frame receive(std::uint8_t byte) override;
    [[nodiscard]] std::string describe(std::uint8_t byte) const override;

private:
    // One kind of frame and how far its replay has come.
    struct Queue {
        std::vector<Frame> frames;
        std::string name; // "main-display", "bar-graph"
        std::uint8_t request = 0;
        std::size_t next = 0;
        bool toldEnd = false;
    };

    [[nodiscard]] Frame nextOf(Queue& queue);
    void tell(const std::string& line) const;

    Queue m_main;
    Queue m_bar;
    bool m_loop;
    Notice m_notice;
};
