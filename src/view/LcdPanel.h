#pragma once

#include "Annunciator.h"

#include <QFrame>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstdint>

// Every control of the display mirror: the five digits, named as in the window's layout, then
// the symbols in the order of Annunciator (mirrorControl), so that one numbering and one list of
// names serve the decoder and the mirror.
enum class LcdControl : std::uint8_t {
    LCDD0,
    LcdDa,
    LcdDb,
    LcdDc,
    LcdDd,
};

inline constexpr int kLcdDigitCount = 5;
inline constexpr int kLcdControlCount = kLcdDigitCount + kAnnunciatorCount;

// The mirror's control that shows a decoded symbol.
[[nodiscard]] constexpr LcdControl mirrorControl(Annunciator a) {
    return static_cast<LcdControl>(kLcdDigitCount + static_cast<int>(a));
}

// The on-screen copy of the meter's display (`Panel1`): a black panel on which every digit, point
// and annunciator is a child widget at the meter's place for it, shown while the meter shows it.
// It only shows what it is told; setters skip work when nothing changes, so a full update per
// frame costs a few microseconds and repaints only the controls that changed.
class LcdPanel : public QFrame {
    Q_OBJECT

public:
    explicit LcdPanel(QWidget* parent = nullptr);

    void setControlVisible(LcdControl control, bool visible);
    [[nodiscard]] bool isControlVisible(LcdControl control) const;

    // Digits and labels change their caption; a point draws the same whatever it is given.
    void setCaption(LcdControl control, const QString& caption);
    [[nodiscard]] QString caption(LcdControl control) const;

    [[nodiscard]] QWidget* control(LcdControl control) const;

    // The layout's name of a control, which is also its widget's object name.
    [[nodiscard]] static QLatin1StringView controlName(LcdControl control);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QWidget*, kLcdControlCount> m_controls{};
};
