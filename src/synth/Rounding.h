#pragma once

#include <cstdint>

namespace vellox {

// Every conversion of a real number to an integer rounds to the nearest integer,
// halves to the even neighbour (the default IEEE rounding mode of std::nearbyint).
// A value outside the target range, or NaN, is an arithmetic error of the running
// operation: these throw std::range_error and never wrap.
int32_t roundToInt32(double value);
int16_t roundToInt16(double value);

} // namespace vellox
