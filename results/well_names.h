// Wells by the names people use: "A1" .. "H12", row letter then column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/shared_state.h"

// What a spreadsheet cell of a well read above the range says.
inline constexpr char kOverRangeCell[] = "over range";

// "D7" for well 3 * 12 + 6.
std::string PlateWellName(int well);
// The well of "D7" (0..95), or -1 for anything else.
int PlateWellOfName(std::string_view name);

// The names of the wells marked over range, in plate order.
std::vector<std::string> OverRangeWellNames(const uint8_t (&overRange)[kWells]);
// The wells without a value that are not over range, in plate order.
std::vector<std::string> NoValueWellNames(const TPlateResult& plate);
