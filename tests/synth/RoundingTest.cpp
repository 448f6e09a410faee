#include "Rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using vellox::roundToInt16;
using vellox::roundToInt32;

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    const struct {
        double in;
        int32_t out;
    } cases[] = {
        { 0.5, 0 },
        { 1.5, 2 },
        { 2.5, 2 },
        { -0.5, 0 },
        { -1.5, -2 },
        { -2.5, -2 },
        { 1234.5, 1234 },
        { 1235.5, 1236 },
        { 98.2, 98 },
        { 1.082, 1 },
        { 0.49999999999999994, 0 },
        { 14142.135, 14142 },
        { -32767.5, -32768 },
        { 2147483647.4, 2147483647 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundToInt32(c.in), c.out) << c.in;
}

TEST(Rounding, OutOfRangeIsAnErrorNotAWrap)
{
    EXPECT_THROW(roundToInt32(2147483647.5), std::range_error);
    EXPECT_THROW(roundToInt32(-2147483649.0), std::range_error);
    EXPECT_THROW(roundToInt32(std::nan("")), std::range_error);
    EXPECT_THROW(roundToInt32(std::numeric_limits<double>::infinity()), std::range_error);
    EXPECT_EQ(roundToInt16(32766.5), 32766);
    EXPECT_EQ(roundToInt16(-32768.4), -32768);
    EXPECT_THROW(roundToInt16(32767.5), std::range_error);
    EXPECT_THROW(roundToInt16(20470.0 * 2), std::range_error);
}
