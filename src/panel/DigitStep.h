#pragma once

// The digit stepping of a number field, as a bench generator's knob steps the digit under
// its cursor: Up on the tens digit of 1000.123 gives 1010.123. Pure functions, no Qt; the
// field that uses them is StepEdit.

#include <optional>
#include <string>

namespace vellox {

struct SteppedText {
    std::string text;
    int cursor = 0;
    bool operator==(const SteppedText&) const = default;
};

// `text` (a plain decimal number, "[+|-]digits[.digits]", blanks around it kept) with the
// digit the cursor stands on moved one unit of its place up (direction > 0) or down
// (direction < 0), carrying into and borrowing from the places above, through zero to the
// other sign. The cursor (0..size, a position between characters) stands on the digit after
// it, or on the one before it where no digit follows (at the end, before the point), or on
// the first digit from before a sign. The decimals keep their number, leading zeros go, and
// the cursor keeps its place (the same distance from the point), so the next step moves the
// same digit. Nothing for a text that is no such number, a cursor on no digit, or direction 0.
std::optional<SteppedText> stepDigit(const std::string& text, int cursor, int direction);

// The cursor in `after` at the place it had in `before` (the same distance from the point,
// or from the end of the digits without one), within after's number; where `after` holds no
// number, the cursor within its length. A field that the program rewrites keeps the user's
// place so.
int cursorAtSamePlace(const std::string& before, int cursor, const std::string& after);

} // namespace vellox
