#include "Rounding.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace vellox {

namespace {
    template <typename Int> Int roundChecked(double value, const char* what)
    {
        const double r = std::nearbyint(value);
        // NaN fails both comparisons, so it is refused here too.
        if (!(r >= double(std::numeric_limits<Int>::min())
                && r <= double(std::numeric_limits<Int>::max())))
            throw std::range_error(std::string("value out of range for ") + what);
        return static_cast<Int>(r);
    }
}

int32_t roundToInt32(double value)
{
    return roundChecked<int32_t>(value, "int32");
}
int16_t roundToInt16(double value)
{
    return roundChecked<int16_t>(value, "int16");
}

} // namespace vellox
