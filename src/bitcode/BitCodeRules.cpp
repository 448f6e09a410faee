#include "BitCodeRules.h"

#include "NumberText.h"

#include <algorithm>
#include <cmath>

namespace vellox {

BitCodeTexts bitCodeTexts(const Module1& module1)
{
    BitCodeTexts texts;
    texts.Text1 = module1.BitCode;
    // Kept in single precision so that a stored 0.001 s shows as 1, not 1.0000000475.
    const float repetitiveMs = module1.RepetitiveTime * 1000.0f;
    texts.Text2 = paddedNumber(repetitiveMs);
    // The float's error shows at the 8th digit in double; two decimals hide it.
    const double bitLengthUs = double(module1.BitLength) * 1000000.0;
    texts.Text3 = paddedNumber(std::nearbyint(bitLengthUs * 100.0) / 100.0);
    return texts;
}

size_t characterCount(const std::string& utf8)
{
    size_t count = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

BitCodeOutcome checkBitCodeEntries(const BitCodeTexts& entered, const Module1& current)
{
    BitCodeOutcome outcome;
    outcome.stored = current;

    if (entered.Text1.empty()) {
        outcome.messages.emplace_back(BitSymbolMessage);
        outcome.close = false;
        return outcome;
    }

    Module1 next = current;
    const double repetitiveMs = readNumber(entered.Text2);
    if (repetitiveMs < MinRepetitiveMs || repetitiveMs > MaxRepetitiveMs) {
        outcome.messages.emplace_back(RepetitiveTimeMessage);
        next.RepetitiveTime = FallbackRepetitiveTime;
    } else {
        next.RepetitiveTime = float(repetitiveMs / 1000.0);
    }

    const double bitLengthUs = readNumber(entered.Text3);
    if (bitLengthUs < MinBitLengthUs || bitLengthUs > MaxBitLengthUs) {
        outcome.messages.emplace_back(BitLengthMessage);
        next.BitLength = FallbackBitLength;
    } else {
        next.BitLength = float(bitLengthUs / 1000000.0);
    }

    next.BitCode = entered.Text1;

    // Compared in single precision: 32 bits of 1 ms fit exactly into 32 ms although the
    // double product of the stored floats is a hair larger.
    const double patternSeconds = double(next.BitLength) * double(characterCount(next.BitCode));
    if (float(patternSeconds) > next.RepetitiveTime) {
        outcome.messages.emplace_back(LengthCheckMessage);
        // The period grows to the pattern so that every bit is sent; one bit length would
        // cut it to its first bit, and below 1 ms give a buffer the device may refuse.
        next.RepetitiveTime
            = std::clamp(float(patternSeconds), MinRepetitiveTime, MaxRepetitiveTime);
    }

    outcome.stored = next;
    outcome.close = true;
    return outcome;
}

} // namespace vellox
