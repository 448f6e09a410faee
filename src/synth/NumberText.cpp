#include "NumberText.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace vellox {

namespace {
    // Significant exponent digits read; more saturate (see readNumber).
    constexpr size_t MaxExponentDigits = 15;

    bool isSkipped(char c)
    {
        return c == ' ' || c == '\t' || c == '\n';
    }
    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    int digitValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return 99;
    }

    double finite(double v)
    {
        if (v > DBL_MAX)
            return DBL_MAX;
        if (v < -DBL_MAX)
            return -DBL_MAX;
        return v;
    }

    // The power of ten of the first significant digit of a clean number text
    // ([-]digits[.digits][e[-]digits], at least one non-zero digit, exponent of at most
    // MaxExponentDigits digits): 2 for "123.4", -3 for "0.0012", 1 for "0.5e2".
    long long decimalMagnitude(const std::string& clean)
    {
        const size_t ePos = clean.find('e');
        const std::string mantissa = clean.substr(0, ePos);
        long long exponent = 0;
        if (ePos != std::string::npos)
            exponent = std::stoll(clean.substr(ePos + 1));
        size_t point = mantissa.find('.');
        if (point == std::string::npos)
            point = mantissa.size();
        const size_t first = mantissa.find_first_of("123456789");
        if (first == std::string::npos)
            return 0;
        const long long position
            = first < point ? (long long)(point - first) - 1 : (long long)point - (long long)first;
        return position + exponent;
    }

    // The integer of the radix's digits from pos on; nothing when there is not one.
    std::optional<double> readRadixInteger(const std::string& s, size_t pos, int radix)
    {
        const size_t first = pos;
        double value = 0.0;
        for (; pos < s.size(); ++pos) {
            const int d = digitValue(s[pos]);
            if (d >= radix)
                break;
            value = value * radix + d;
        }
        if (pos == first)
            return std::nullopt;
        return finite(value);
    }
}

std::optional<double> readLeadingNumber(std::string_view text)
{
    // Blanks, tabs and line feeds do not end a number; they are dropped wherever they stand.
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!isSkipped(c))
            s.push_back(c);

    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return readRadixInteger(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return readRadixInteger(s, 2, 8);
        return std::nullopt;
    }

    // Copy the longest leading number into a clean form for from_chars, which
    // ignores the locale: [-]digits[.digits][e[-]digits].
    std::string clean;
    size_t pos = 0;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        if (s[pos] == '-')
            clean.push_back('-');
        ++pos;
    }
    size_t mantissaDigits = 0;
    std::string mantissa;
    while (pos < s.size() && isDigit(s[pos])) {
        mantissa.push_back(s[pos++]);
        ++mantissaDigits;
    }
    if (pos < s.size() && s[pos] == '.') {
        mantissa.push_back('.');
        ++pos;
        while (pos < s.size() && isDigit(s[pos])) {
            mantissa.push_back(s[pos++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (mantissa.front() == '.')
        mantissa.insert(mantissa.begin(), '0');
    if (mantissa.back() == '.')
        mantissa.pop_back();
    clean += mantissa;

    if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
        size_t p = pos + 1;
        std::string exponent = "e";
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
            if (s[p] == '-')
                exponent.push_back('-');
            ++p;
        }
        size_t expDigits = 0;
        while (p < s.size() && isDigit(s[p])) {
            // Leading zeros carry nothing. The exponent is kept whole up to far beyond any
            // text's length: a long mantissa can make up for a large exponent ("1" and a
            // hundred thousand zeros, then E-100001, is 0.1), so cutting it short changes
            // the value. Beyond 15 digits it saturates, where the result is 0 or the
            // largest value whatever the mantissa.
            if (!(expDigits == 0 && s[p] == '0')) {
                if (expDigits < MaxExponentDigits)
                    exponent.push_back(s[p]);
                ++expDigits;
            }
            ++p;
        }
        if (expDigits > MaxExponentDigits)
            exponent.replace(exponent.size() - MaxExponentDigits, MaxExponentDigits,
                std::string(MaxExponentDigits, '9'));
        if (p > pos + 1 && isDigit(s[p - 1]))
            clean += expDigits == 0 ? std::string("e0") : exponent;
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large saturates; too small is zero. Which one it is follows from the
        // decimal exponent of the first significant digit, not from the sign of the
        // written exponent alone: 400 zeros after the point and no exponent is tiny.
        const bool negative = clean.front() == '-';
        const bool tiny = decimalMagnitude(clean) < 0;
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -DBL_MAX : DBL_MAX;
    }
    return finite(value);
}

std::string plainNumber(double value, int significantDigits)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0.0)
        return "0";

    // Round to the significant digits in scientific form; to_chars ignores the locale
    // (a Qt program runs with the user's locale set).
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
        std::chars_format::scientific, significantDigits - 1);
    const std::string sci(buffer, result.ptr);
    const size_t ePos = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < ePos; ++i)
        if (isDigit(sci[i]))
            digits.push_back(sci[i]);
    const int exponent = std::atoi(sci.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = value < 0 ? "-" : "";
    if (exponent >= significantDigits || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            out += '0';
        out += std::to_string(magnitude);
        return out;
    }
    if (exponent >= 0) {
        const size_t intDigits = size_t(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits + std::string(intDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
        return out;
    }
    out += "." + std::string(size_t(-exponent - 1), '0') + digits;
    return out;
}

std::string paddedNumber(double value, int significantDigits)
{
    const std::string text = plainNumber(value, significantDigits);
    return text.front() == '-' ? text : " " + text;
}

} // namespace vellox
