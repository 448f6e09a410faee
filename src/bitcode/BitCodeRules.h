#pragma once

// The entry rules of the bit-code dialog, kept free of widgets so that every case can be
// checked with a table: what the three boxes show when the dialog loads, and what OK
// reports and stores for the three texts the user left in them.

#include "SynthTypes.h"

#include <string>
#include <vector>

namespace vellox {

// The texts of the dialog's messages, exactly as the user sees them. The key message has
// two lines.
inline constexpr const char* BitSymbolMessage
    = "Enter bit simbol Low=0 or High=1 Or \nDelete, Back Space and Arrow Shift";
inline constexpr const char* RepetitiveTimeMessage = "Value Repetitive Time is 1mS to 1000 mS ";
inline constexpr const char* BitLengthMessage = "Value Bit Lenght is 20uS to 1000000uS ";
inline constexpr const char* LengthCheckMessage
    = "Set value Repetitive Time > (Bit Lenght)*(nBitCode)";

// Accepted ranges as the user types them, both bounds included.
inline constexpr double MinRepetitiveMs = 1.0;
inline constexpr double MaxRepetitiveMs = 1000.0;
inline constexpr double MinBitLengthUs = 20.0;
inline constexpr double MaxBitLengthUs = 1000000.0;
// The stored repetition time's range in seconds: a period grown to fit the pattern stays in it.
inline constexpr float MinRepetitiveTime = float(MinRepetitiveMs / 1000.0);
inline constexpr float MaxRepetitiveTime = float(MaxRepetitiveMs / 1000.0);
// What an entry out of range is replaced by: the start values, 1000 ms and 1000 us.
inline constexpr float FallbackRepetitiveTime = 1.0f; // seconds
inline constexpr float FallbackBitLength = 0.001f; // seconds

// The three boxes: Text1 the pattern, Text2 the repetition time in ms, Text3 the bit
// length in us. UTF-8.
struct BitCodeTexts {
    std::string Text1;
    std::string Text2;
    std::string Text3;
};

// What the boxes show for the stored settings: the repetition time in ms computed in
// single precision, the bit length in us computed in double and rounded to 2 decimals,
// both with the blank that precedes a non-negative number.
BitCodeTexts bitCodeTexts(const Module1& module1);

struct BitCodeOutcome {
    std::vector<std::string> messages; // shown one after the other, in this order
    bool close = false; // false only for an empty pattern: the dialog stays open
    Module1 stored; // Module1 afterwards; equal to the current settings when !close
};

// The checks of OK, in their order: empty pattern, repetition time, bit length, pattern,
// and whether the pattern fits into the repetition time (if not, the time becomes the
// pattern's length, within 1 ms .. 1 s).
BitCodeOutcome checkBitCodeEntries(const BitCodeTexts& entered, const Module1& current);

// The number of characters (not bytes) of a UTF-8 text.
size_t characterCount(const std::string& utf8);

} // namespace vellox
