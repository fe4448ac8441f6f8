#pragma once

#include <QString>

#include <optional>

// The meter models one build can be made for, and what each sets at start-up.
enum class MeterModel { VelmarC, VelmarD, Tessik };

// One build serves one model; this build is the VelmarD one.
inline constexpr MeterModel kBuildModel = MeterModel::VelmarD;

struct ModelRow {
    QString windowTitle;
    QString acCaption;                // LcdAC
    std::optional<QString> d0Caption; // LCDD0; unset keeps the designed caption
    std::optional<QString> daCaption; // LcdDa
    QString maxLimitText;             // Setmax
    QString minLimitText;             // SetMin
};

[[nodiscard]] ModelRow modelRow(MeterModel model);
