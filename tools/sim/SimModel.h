#pragma once

#include <array>
#include <string>
#include <string_view>

// The meters the simulator plays: how many counts each displays and the speed of its line.
struct SimModel {
    std::string_view name; // as --model takes it, any case
    bool fiveDigit;        // 80000 counts rather than 8000
    int baud;
    bool talksByItself; // an FS9721 meter: sends its LCD frame unasked
};

inline constexpr std::array<SimModel, 4> kSimModels{{
    {"VelmarC", false, 9600, false},
    {"VelmarD", true, 9600, false},
    {"Tessik", false, 9600, false},
    {"fs9721", false, 2400, true},
}};

// By name, ignoring case; none for a name no model has.
[[nodiscard]] const SimModel* simModelNamed(std::string_view name);
// "VelmarC, VelmarD, Tessik or fs9721".
[[nodiscard]] std::string simModelNameList();
