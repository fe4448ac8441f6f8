#pragma once

#include "Annunciator.h"

#include <QFrame>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstdint>

// Every control of the display mirror, named as in the window's layout: the five digits, then the
// symbols in the order of Annunciator, so that one numbering serves the decoder and the mirror.
enum class LcdControl : std::uint8_t {
    LCDD0,
    LcdDa,
    LcdDb,
    LcdDc,
    LcdDd,
    LcdP0,
    LcdP1,
    LcdP2,
    LcdP3,
    LcdFH,
    LcdAuto,
    LCDRel,
    LCDBF,
    LCDHold,
    LCDBATT,
    LCDFm,
    LCDDI,
    LCDk,
    LCDM1,
    LCDHz,
    LCDohm,
    LCDu,
    Lcdm,
    LCDn,
    LCDA,
    LCDF,
    LcdS,
    LcdV,
    LcdAC,
    LcdDc1,
    Lcd100ms,
    Lcd1ms,
    LCD1S,
    LcdREC,
    LcdMin,
    LcdAvg,
    LcdMax,
};

inline constexpr int kLcdControlCount = static_cast<int>(LcdControl::LcdMax) + 1;
inline constexpr int kLcdDigitCount = 5;

// The mirror's control that shows a decoded symbol.
[[nodiscard]] constexpr LcdControl mirrorControl(Annunciator a) {
    return static_cast<LcdControl>(kLcdDigitCount + static_cast<int>(a));
}

static_assert(kLcdControlCount == kLcdDigitCount + kAnnunciatorCount);
static_assert(mirrorControl(Annunciator::LcdP0) == LcdControl::LcdP0);
static_assert(mirrorControl(Annunciator::LcdFH) == LcdControl::LcdFH);
static_assert(mirrorControl(Annunciator::LcdMax) == LcdControl::LcdMax);

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
