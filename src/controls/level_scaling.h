// Decibels to whole percent of amplitude and back.
#pragma once

#include <cstdint>

namespace velto {

// 100 * 10^((level - maximum) / 20), truncated toward zero; the most negative
// int for a result that is not a number or does not fit.
std::int32_t LevelToPercent(float levelDb, float maxDb);

// The level whose amplitude is `percent` of the maximum's; the minimum for 0.
// Not clamped: 1 is always maximum - 40 dB, over 100 is above the maximum, and
// a negative percentage gives NaN.
float PercentToLevel(std::int32_t percent, float minDb, float maxDb);

}  // namespace velto
