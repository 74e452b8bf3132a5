#include "controls/level_scaling.h"

#include <cmath>
#include <limits>

namespace velto {

// Every step keeps its own width (float or double): the final truncation makes
// a single ulp of difference visible as one percent.
std::int32_t LevelToPercent(float levelDb, float maxDb) {
  float difference = maxDb - levelDb;
  difference = -difference;
  const float exponent = difference / 20.0f;
  double ratio = std::pow(10.0, static_cast<double>(exponent));
  ratio = ratio * 100.0;
  if (!(ratio > -2147483649.0 && ratio < 2147483648.0)) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(ratio);
}

float PercentToLevel(std::int32_t percent, float minDb, float maxDb) {
  if (percent == 0) return minDb;
  const float fraction = static_cast<float>(percent) / 100.0f;
  double decibels = std::log(static_cast<double>(fraction)) / std::log(10.0);
  decibels = decibels * 20.0;
  return static_cast<float>(decibels) + maxDb;
}

}  // namespace velto
