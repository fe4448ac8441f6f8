#pragma once

#include <QAnyStringView>
#include <QFrame>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// Every control of the display mirror, named as in the window's layout.
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

    // The same by the layout's control name; an unknown name is reported and changes nothing.
    bool setControlVisible(QAnyStringView name, bool visible);
    bool setCaption(QAnyStringView name, const QString& caption);
    [[nodiscard]] QWidget* control(QAnyStringView name) const;

    [[nodiscard]] static QLatin1StringView controlName(LcdControl control);
    [[nodiscard]] static std::optional<LcdControl> controlByName(QAnyStringView name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QWidget*, kLcdControlCount> m_controls{};
};
