#pragma once

#include "LimitBand.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

// Everything the dial's face depends on, and its drawing: black background, a dot per scale
// division with a label at every tenth, and the limit band. Two equal faces draw the same pixels,
// so a drawn face can be kept and reused while its inputs stay the same.
struct DialFace {
    QSize panel;   // the dial's panel, bevels included: the geometry follows it
    QSize surface; // the picture drawn on
    int dialScale = 80;
    bool wideScale = false; // labels -99..99 instead of -80..80
    LimitBand band{AlarmLimits{}, false};

    bool operator==(const DialFace&) const = default;

    struct Label {
        QString text;
        QPoint topLeft; // where it is written: moved in from its place where the edge would cut it
    };
    struct Division {
        QPoint dot; // top left of the dot's box
        std::optional<Label> label;
    };
    struct BandDot {
        QPoint at; // top left of the dot's box
        bool red = false;
    };

    // What the face holds, in drawing order; empty when the panel is too low for an arc.
    [[nodiscard]] std::vector<Division> divisions() const;
    [[nodiscard]] std::vector<BandDot> bandDots() const;

    // The font the labels are written in.
    [[nodiscard]] static QFont labelFont();

    // Wipes the surface and draws the whole face.
    void draw(QPainter& painter) const;
};
