#include "NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <optional>
#include <string>

using vellox::paddedNumber;
using vellox::plainNumber;
using vellox::readNumber;

TEST(ReadNumber, LeadingNumberOfAText)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        { "1000", 1000 },
        { "  440 Hz", 440 },
        { "1 2 3", 123 }, // blanks inside a number are skipped too
        { "1\t0\n0", 100 },
        { "\n\t 7", 7 },
        { "-12.5", -12.5 },
        { "+3", 3 },
        { "- 4", -4 },
        { ".5", 0.5 },
        { "5.", 5 },
        { "1.2.3", 1.2 }, // a second period ends the number
        { "1E3", 1000 },
        { "1e3", 1000 },
        { "2D2", 200 },
        { "1.5E-3", 0.0015 },
        { "1E+2x", 100 },
        { "1E", 1 }, // an exponent letter without digits is not part of the number
        { "1E-", 1 },
        { "3 E 2", 300 },
        { "&H1F", 31 },
        { "&hff", 255 },
        { "&O17", 15 },
        { "&o78", 7 }, // 8 is not an octal digit
        { "&HZ", 0 },
        { "&", 0 },
        { "&X12", 0 },
        { "abc", 0 },
        { "", 0 },
        { "   ", 0 },
        { "-", 0 },
        { ".", 0 },
        { "-.", 0 },
        { "x12", 0 },
        { "12,5", 12 }, // the comma is never a decimal separator
        { "1234.5", 1234.5 },
        { "\r5", 0 }, // a carriage return is not skipped
        { "0001000", 1000 },
        { "1E-400", 0 },
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(readNumber(c.text), c.value) << '"' << c.text << '"';
}

// The window ignores an entry without a number instead of reading it as 0 Hz: a text that
// reads as 0 must still be told from one that has no number at all.
TEST(ReadNumber, LeadingNumberOrNothing)
{
    const struct {
        const char* text;
        bool hasNumber;
    } cases[] = {
        { "0", true },
        { "-0", true },
        { ".0", true },
        { " 0 Hz", true },
        { "&H0", true },
        { "&o0", true },
        { "1E-400", true },
        { "", false },
        { "   ", false },
        { "abc", false },
        { "-", false },
        { "+.", false },
        { "&", false },
        { "&H", false },
        { "&HZ", false },
        { "&O8", false },
        { "&X12", false },
        { "\r5", false },
        { "e5", false },
    };
    for (const auto& c : cases) {
        const std::optional<double> number = vellox::readLeadingNumber(c.text);
        EXPECT_EQ(number.has_value(), c.hasNumber) << '"' << c.text << '"';
        EXPECT_EQ(number.value_or(0.0), readNumber(c.text)) << '"' << c.text << '"';
    }
}

TEST(ReadNumber, HugeValuesSaturateInsteadOfBecomingInfinite)
{
    EXPECT_EQ(readNumber("1E400"), DBL_MAX);
    EXPECT_EQ(readNumber("-1E99999999999"), -DBL_MAX);
    EXPECT_EQ(
        readNumber("&HFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                   "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                   "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                   "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"),
        DBL_MAX);
    EXPECT_DOUBLE_EQ(readNumber("1" + std::string(400, '0') + "E-399"), 10.0);
}

TEST(WriteNumber, ShortestFormsAndSignificantDigits)
{
    const struct {
        double value;
        int digits;
        const char* plain;
    } cases[] = {
        { 0, 15, "0" },
        { -0.0, 15, "0" },
        { 1000, 15, "1000" },
        { -25, 15, "-25" },
        { 0.5, 15, ".5" }, // no zero before the point
        { -0.25, 15, "-.25" },
        { 12.5, 15, "12.5" },
        { 1234567, 7, "1234567" },
        { 12345678, 7, "1.234568E+07" },
        { 1e15, 15, "1E+15" },
        { 123456789012345, 15, "123456789012345" },
        { 0.0001, 15, ".0001" },
        { 0.00001, 15, "1E-05" },
        { 0.000015, 15, "1.5E-05" },
        { 1000000, 15, "1000000" },
        { 20.3, 15, "20.3" },
        { double(0.1f), 7, ".1" }, // float storage noise disappears at 7 digits
        { double(0.1f), 15, ".100000001490116" },
        { double(1000.0f * 0.001f), 7, "1" },
        { 999.99, 15, "999.99" },
        { 9999999.5, 7, "1E+07" },
        { 2.0 / 3.0, 7, ".6666667" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plainNumber(c.value, c.digits), c.plain) << c.value;
        const std::string padded = c.plain[0] == '-' ? c.plain : std::string(" ") + c.plain;
        EXPECT_EQ(paddedNumber(c.value, c.digits), padded) << c.value;
    }
}

TEST(WriteNumber, TypeChoosesTheDigits)
{
    EXPECT_EQ(plainNumber(1000), "1000");
    EXPECT_EQ(paddedNumber(1000), " 1000");
    EXPECT_EQ(paddedNumber(-6), "-6");
    EXPECT_EQ(plainNumber(0.001f * 1000.0f), "1");
    EXPECT_EQ(paddedNumber(1.0f / 3.0f), " .3333333");
    EXPECT_EQ(paddedNumber(1.0 / 3.0), " .333333333333333");
}

TEST(NumberText, IgnoresTheProcessLocale)
{
    // A Qt program runs with the user's locale; a comma locale must not change either way.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_EQ(plainNumber(12.5), "12.5");
    EXPECT_DOUBLE_EQ(readNumber("12.5"), 12.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}
