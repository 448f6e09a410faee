#include "DigitStep.h"

#include <algorithm>
#include <cstddef>

namespace vellox {

namespace {

    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t';
    }

    // Where the parts of a plain decimal number stand in its text.
    struct NumberSpan {
        int begin = 0; // the sign, or the first digit or point
        int end = 0; // one past the last digit or point
        int digits = 0; // the first digit or point, after the sign
        int point = 0; // the point, or `end` without one
        bool hasPoint = false;
        char sign = 0; // '+', '-' or none
    };

    std::optional<NumberSpan> findNumber(const std::string& text)
    {
        const int size = int(text.size());
        NumberSpan n;
        n.begin = 0;
        while (n.begin < size && isBlank(text[size_t(n.begin)]))
            ++n.begin;
        n.end = size;
        while (n.end > n.begin && isBlank(text[size_t(n.end - 1)]))
            --n.end;
        int i = n.begin;
        if (i < n.end && (text[size_t(i)] == '+' || text[size_t(i)] == '-'))
            n.sign = text[size_t(i++)];
        n.digits = i;
        int count = 0;
        for (; i < n.end && isDigit(text[size_t(i)]); ++i)
            ++count;
        n.point = i;
        if (i < n.end && text[size_t(i)] == '.') {
            n.hasPoint = true;
            for (++i; i < n.end && isDigit(text[size_t(i)]); ++i)
                ++count;
        }
        if (count == 0 || i != n.end)
            return std::nullopt;
        return n;
    }

    // The digits of `magnitude` (most significant first) plus one unit at `place`; one digit
    // longer when the carry runs off the top.
    std::string addUnit(std::string magnitude, size_t place)
    {
        for (size_t i = place + 1; i-- > 0;) {
            if (magnitude[i] != '9') {
                ++magnitude[i];
                return magnitude;
            }
            magnitude[i] = '0';
        }
        return '1' + magnitude;
    }

    // a - b for digit strings of the same length with a >= b.
    std::string subtract(std::string a, const std::string& b)
    {
        int borrow = 0;
        for (size_t i = a.size(); i-- > 0;) {
            int d = (a[i] - '0') - (b[i] - '0') - borrow;
            borrow = d < 0 ? 1 : 0;
            a[i] = char('0' + (d + 10 * borrow));
        }
        return a;
    }

    bool allZeros(const std::string& digits, size_t count)
    {
        return std::all_of(digits.begin(), digits.begin() + std::ptrdiff_t(count),
            [](char c) { return c == '0'; });
    }

} // namespace

std::optional<SteppedText> stepDigit(const std::string& text, int cursor, int direction)
{
    const std::optional<NumberSpan> found = findNumber(text);
    if (!found || direction == 0)
        return std::nullopt;
    const NumberSpan& n = *found;
    auto digitAt = [&](int i) { return i >= n.digits && i < n.end && isDigit(text[size_t(i)]); };
    int at = -1;
    for (const int candidate : { cursor, cursor - 1, cursor + 1 })
        if (digitAt(candidate)) {
            at = candidate;
            break;
        }
    if (at < 0)
        return std::nullopt;

    const std::string whole = text.substr(size_t(n.digits), size_t(n.point - n.digits));
    const std::string fraction = n.hasPoint
        ? text.substr(size_t(n.point + 1), size_t(n.end - n.point - 1))
        : std::string();
    const std::string magnitude = whole + fraction;
    const size_t place = size_t(at < n.point ? at - n.digits : at - n.digits - 1);
    const bool zero = allZeros(magnitude, magnitude.size());
    const bool negative = n.sign == '-' && !zero;
    const bool up = direction > 0;

    std::string result;
    bool resultNegative = negative;
    if (zero || negative != up) {
        // Away from zero (or from zero itself, to the direction's side).
        result = addUnit(magnitude, place);
        if (zero)
            resultNegative = !up;
    } else if (!allZeros(magnitude, place + 1)) {
        std::string unit(magnitude.size(), '0');
        unit[place] = '1';
        result = subtract(magnitude, unit);
    } else {
        // Less than one unit of the place from zero: through it to the other side.
        std::string unit(magnitude.size(), '0');
        unit[place] = '1';
        result = subtract(unit, magnitude);
        resultNegative = !negative;
    }
    if (allZeros(result, result.size()))
        resultNegative = false;

    std::string newWhole = result.substr(0, result.size() - fraction.size());
    const std::string newFraction = result.substr(result.size() - fraction.size());
    const size_t significant = newWhole.find_first_not_of('0');
    newWhole = significant == std::string::npos ? std::string() : newWhole.substr(significant);
    if (newWhole.empty() && !whole.empty())
        newWhole = "0";
    const std::string sign = resultNegative ? "-" : (n.sign == '+' ? "+" : "");

    SteppedText stepped;
    const std::string before = text.substr(0, size_t(n.begin));
    stepped.text = before + sign + newWhole + (n.hasPoint ? "." + newFraction : std::string())
        + text.substr(size_t(n.end));
    stepped.cursor = cursorAtSamePlace(text, cursor, stepped.text);
    return stepped;
}

int cursorAtSamePlace(const std::string& before, int cursor, const std::string& after)
{
    const std::optional<NumberSpan> was = findNumber(before);
    const std::optional<NumberSpan> now = findNumber(after);
    if (!was || !now)
        return std::clamp(cursor, 0, int(after.size()));
    return std::clamp(now->point + (cursor - was->point), now->begin, now->end);
}

} // namespace vellox
