#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellox {

// Reads the leading number of a text. Blanks, tabs and line feeds are skipped
// wherever they stand (so "1 2" reads 12); then an optional sign, digits with at most
// one period (always the period, whatever the locale) and an optional exponent
// (E or D, optional sign, digits). Reading stops at the first character that cannot
// continue the number. "&H" and "&O" read a hexadecimal or octal integer.
// A text without a leading number gives nothing.
std::optional<double> readLeadingNumber(std::string_view text);
// The same, with 0 for a text without a leading number.
inline double readNumber(std::string_view text)
{
    return readLeadingNumber(text).value_or(0.0);
}

// Significant digits kept when writing a value stored in single or double precision.
inline constexpr int SingleDigits = 7;
inline constexpr int DoubleDigits = 15;

// Writes a number in its shortest decimal form: "." as the decimal point, no
// thousands separator, no trailing zeros, no zero before the point for a magnitude
// below 1 (".5"), a minus sign for negatives, at most the given significant digits.
// Very large or very small magnitudes use the exponent form ("1E+15", "1E-05").
std::string plainNumber(double value, int significantDigits);
inline std::string plainNumber(double value)
{
    return plainNumber(value, DoubleDigits);
}
inline std::string plainNumber(float value)
{
    return plainNumber(double(value), SingleDigits);
}
inline std::string plainNumber(long long value)
{
    return plainNumber(double(value), DoubleDigits);
}
inline std::string plainNumber(int value)
{
    return plainNumber(double(value), DoubleDigits);
}

// The same, preceded by one blank when the number is not negative.
std::string paddedNumber(double value, int significantDigits);
inline std::string paddedNumber(double value)
{
    return paddedNumber(value, DoubleDigits);
}
inline std::string paddedNumber(float value)
{
    return paddedNumber(double(value), SingleDigits);
}
inline std::string paddedNumber(long long value)
{
    return paddedNumber(double(value), DoubleDigits);
}
inline std::string paddedNumber(int value)
{
    return paddedNumber(double(value), DoubleDigits);
}

} // namespace vellox
