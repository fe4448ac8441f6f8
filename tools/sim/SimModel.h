#pragma once

#include <array>
#include <string>
#include <string_view>

// The meters the simulator plays: how many counts each displays and the speed of its line.
struct SimModel {
    std::string_view name; // as --model takes it, any case
    bool fiveDigit;        // 80000 counts rather than 8000
    int baud;
};

inline constexpr std::array<SimModel, 3> kSimModels{{
    {"VelmarC", false, 9600},
    {"VelmarD", true, 9600},
    {"Tessik", false, 9600},
}};

// By name, ignoring case; none for a name no model has.
[[nodiscard]] const SimModel* simModelNamed(std::string_view name);
// "VelmarC, VelmarD or Tessik".
[[nodiscard]] std::string simModelNameList();
