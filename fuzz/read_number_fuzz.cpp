// libFuzzer target for the number reader and writer of the frequency boxes, the scale
// labels and the bit-code dialog. Any text must read without a crash to a finite value,
// and the reader must keep the promises its callers lean on:
// - blanks, tabs and line feeds are dropped wherever they stand, so inserting one
//   anywhere reads the same;
// - reading stops at the first character that cannot continue a number, so appending
//   such a character reads the same;
// - a leading minus negates a text that starts with a digit or a point;
// - a plain run of digits with at most one point reads as the C library reads it;
// - what plainNumber writes reads back within its 15 significant digits, and writing that
//   again gives the same text (a 15-digit decimal survives the trip through a double).

#include "NumberText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void broken(const char* what, const std::string& text, double a, double b)
{
    std::fprintf(stderr, "property broken: %s\ntext: \"%s\"\nvalues: %.17g %.17g\n", what,
        text.c_str(), a, b);
    std::abort();
}

bool same(double a, double b)
{
    return a == b; // -0 and +0 are the same number to every caller
}

// Within the 15 significant digits plainNumber keeps (half a unit in the 15th digit,
// with room for the double's own rounding).
bool within15Digits(double value, double readBack)
{
    if (value == 0.0)
        return readBack == 0.0;
    return std::fabs(readBack - value) <= std::fabs(value) * 6e-15;
}

void checkWritten(double v, const std::string& origin)
{
    const std::string text = vellox::plainNumber(v);
    const double back = vellox::readNumber(text);
    if (!std::isfinite(back))
        broken("written number reads back as non-finite", text, v, back);
    // The largest doubles round up to 15 digits past DBL_MAX and read back saturated.
    if (!within15Digits(v, back) && !(std::fabs(v) > 1.79769313486231e308))
        broken(
            "written number does not read back within 15 digits", origin + " -> " + text, v, back);
    const std::string again = vellox::plainNumber(back);
    if (again != text && !(std::fabs(v) > 1.79769313486231e308))
        broken("writing the read-back value changes the text", text + " -> " + again, v, back);
    // The padded form is the same text with one blank before a non-negative number.
    const std::string padded = vellox::paddedNumber(v);
    if (padded != (text.front() == '-' ? text : " " + text))
        broken("paddedNumber is not plainNumber with its blank", padded, v, back);
    if (!same(vellox::readNumber(padded), back))
        broken("the padded text reads differently", padded, v, back);
}

bool startsWithDigitOrPoint(const std::string& s)
{
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        return (c >= '0' && c <= '9') || c == '.';
    }
    return false;
}

// digits, at most one point, then optionally E or D, a sign and digits; nothing else.
bool plainWithExponent(const std::string& s)
{
    size_t i = 0, digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.')
        ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (digits == 0)
        return false;
    if (i == s.size())
        return true;
    if (s[i] != 'E' && s[i] != 'e' && s[i] != 'D' && s[i] != 'd')
        return false;
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++expDigits;
    return expDigits > 0 && i == s.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const size_t at = in.ConsumeIntegral<size_t>();
    const uint8_t blankPick = in.ConsumeIntegral<uint8_t>();
    const std::string text = in.ConsumeRemainingBytesAsString();

    const double value = vellox::readNumber(text);
    if (!std::isfinite(value))
        broken("read a non-finite value", text, value, value);

    // Blanks wherever they stand.
    const char blanks[] = { ' ', '\t', '\n' };
    std::string spaced = text;
    spaced.insert(text.empty() ? 0 : at % (text.size() + 1), 1, blanks[blankPick % 3]);
    if (!same(vellox::readNumber(spaced), value))
        broken("an inserted blank changed the value", spaced, vellox::readNumber(spaced), value);

    // A character that cannot continue any number ends it.
    if (!same(vellox::readNumber(text + ";"), value))
        broken("an appended ';' changed the value", text, vellox::readNumber(text + ";"), value);

    // The sign.
    if (startsWithDigitOrPoint(text) && !same(vellox::readNumber("-" + text), -value))
        broken("a leading minus did not negate", text, vellox::readNumber("-" + text), value);

    // Digits with at most one point, no exponent: the C library reads these the same way
    // in the "C" locale (the fuzzer's), to the nearest double.
    if (!text.empty() && text.size() < 400
        && text.find_first_not_of("0123456789.") == std::string::npos
        && std::count(text.begin(), text.end(), '.') <= 1 && text != ".") {
        const double reference = std::strtod(text.c_str(), nullptr);
        if (std::isfinite(reference) && reference <= DBL_MAX && !same(reference, value))
            broken("a plain decimal reads unlike strtod", text, value, reference);
    }

    // With an exponent too (E or D), at any length: the same reading as strtod, whose
    // exponent has no digit limit. A long run of zeros in the mantissa shifts the exponent
    // that a huge written exponent then makes up for.
    if (plainWithExponent(text)) {
        std::string reference = text;
        for (char& c : reference)
            if (c == 'D' || c == 'd')
                c = 'E';
        const double r = std::strtod(reference.c_str(), nullptr);
        const double want = std::isinf(r) ? std::copysign(DBL_MAX, r) : r;
        if (!same(want, value))
            broken(
                "a number with an exponent reads unlike strtod", text.substr(0, 200), value, want);
    }

    checkWritten(value, text);
    // The raw bytes as a double too: every finite double must survive writing and reading.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        if (std::isfinite(raw))
            checkWritten(raw, "raw bytes");
        float f;
        std::memcpy(&f, data, sizeof f);
        if (std::isfinite(f)) {
            // The 7-digit form of a float32 field reads back within 7 digits.
            const std::string t = vellox::plainNumber(f);
            const double back = vellox::readNumber(t);
            if (f != 0.0f && std::fabs(back - double(f)) > std::fabs(double(f)) * 6e-7)
                broken("a float's 7-digit text does not read back within 7 digits", t, double(f),
                    back);
        }
    }
    return 0;
}
