// libFuzzer target for the OK rules of the bit-code dialog: any three texts and any
// current settings. Whatever the user typed, what OK stores must stay within the limits
// the rest of the program relies on: a repetition time in (0, 1] s (it sizes the sound
// buffer, which must not outgrow the samples), a bit length in [20 us, 1 s], both finite,
// and a pattern that fits into the repetition time or a repetition time of one bit.

#include "BitCodeRules.h"
#include "NumberText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace vellox;

namespace {

[[noreturn]] void broken(const char* what, const BitCodeTexts& t)
{
    std::fprintf(stderr,
        "property broken: %s\npattern: \"%s\"\nrepetition: \"%s\"\nbit length: \"%s\"\n", what,
        t.Text1.c_str(), t.Text2.c_str(), t.Text3.c_str());
    std::abort();
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameSettings(const Module1& a, const Module1& b)
{
    return a.BitCode == b.BitCode && sameBits(a.RepetitiveTime, b.RepetitiveTime)
        && sameBits(a.BitLength, b.BitLength);
}

// The kind of text a user puts into a number box: mostly number-like, sometimes anything.
std::string numberText(FuzzedDataProvider& in)
{
    if (in.ConsumeBool())
        return in.ConsumeRandomLengthString(64);
    static const char alphabet[] = "0123456789.+-eEdD&hHoO \t\nx";
    std::string s;
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 24);
    for (size_t i = 0; i < n; ++i)
        s += alphabet[in.ConsumeIntegralInRange<size_t>(0, sizeof alphabet - 2)];
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);

    // The current settings: any floats at all (NaN and infinities included) or ones the
    // program can hold, and any pattern.
    Module1 current;
    if (in.ConsumeBool()) {
        current.RepetitiveTime = in.ConsumeFloatingPoint<float>();
        current.BitLength = in.ConsumeFloatingPoint<float>();
    } else {
        uint32_t bits = in.ConsumeIntegral<uint32_t>();
        std::memcpy(&current.RepetitiveTime, &bits, sizeof bits);
        bits = in.ConsumeIntegral<uint32_t>();
        std::memcpy(&current.BitLength, &bits, sizeof bits);
    }
    current.BitCode = in.ConsumeRandomLengthString(128);

    BitCodeTexts entered;
    entered.Text2 = numberText(in);
    entered.Text3 = numberText(in);
    if (in.ConsumeBool()) {
        // A pattern as the key filter lets it through: zeros and ones only, of any length.
        const size_t n = in.ConsumeIntegralInRange<size_t>(0, 5000);
        const uint8_t seed = in.ConsumeIntegral<uint8_t>();
        for (size_t i = 0; i < n; ++i)
            entered.Text1 += ((i * 7 + seed + (i >> 3)) & 1) ? '1' : '0';
    } else {
        entered.Text1 = in.ConsumeRemainingBytesAsString();
    }

    const BitCodeOutcome out = checkBitCodeEntries(entered, current);

    if (entered.Text1.empty()) {
        if (out.close)
            broken("an empty pattern closed the dialog", entered);
        if (!sameSettings(out.stored, current))
            broken("an empty pattern changed the settings", entered);
        if (out.messages.size() != 1 || out.messages[0] != BitSymbolMessage)
            broken("an empty pattern did not give the one key message", entered);
        return 0;
    }
    if (!out.close)
        broken("a non-empty pattern kept the dialog open", entered);

    const Module1& s = out.stored;
    if (!std::isfinite(s.RepetitiveTime) || s.RepetitiveTime < MinRepetitiveTime
        || s.RepetitiveTime > MaxRepetitiveTime)
        broken("RepetitiveTime outside [1 ms, 1 s]", entered);
    if (!std::isfinite(s.BitLength) || s.BitLength < float(20e-6) || s.BitLength > 1.0f)
        broken("BitLength outside [20 us, 1 s]", entered);
    if (s.BitCode != entered.Text1)
        broken("the pattern stored is not the one entered", entered);
    const float patternSeconds = float(double(s.BitLength) * double(characterCount(s.BitCode)));
    if (patternSeconds > s.RepetitiveTime && !sameBits(s.RepetitiveTime, MaxRepetitiveTime))
        broken("the pattern does not fit a repetition time below 1 s", entered);

    // Messages: each at most once, in the order repetition, bit length, length check, and
    // each exactly when its condition holds.
    const double r = readNumber(entered.Text2);
    const double b = readNumber(entered.Text3);
    const bool badR = !(r >= MinRepetitiveMs && r <= MaxRepetitiveMs);
    const bool badB = !(b >= MinBitLengthUs && b <= MaxBitLengthUs);
    std::vector<std::string> expected;
    if (badR)
        expected.emplace_back(RepetitiveTimeMessage);
    if (badB)
        expected.emplace_back(BitLengthMessage);
    const bool lengthMessage
        = out.messages.size() == expected.size() + 1 && out.messages.back() == LengthCheckMessage;
    if (lengthMessage)
        expected.emplace_back(LengthCheckMessage);
    if (out.messages != expected)
        broken("unexpected messages", entered);

    // Entries in range are stored as typed; out of range, the start values.
    const float wantB = badB ? FallbackBitLength : float(b / 1000000.0);
    if (!sameBits(s.BitLength, wantB))
        broken("the bit length stored is not the one entered", entered);
    const float wantR = badR ? FallbackRepetitiveTime : float(r / 1000.0);
    // A pattern that does not fit makes the period its own length, up to 1 s.
    const float grown = std::min(patternSeconds, MaxRepetitiveTime);
    if (lengthMessage ? !sameBits(s.RepetitiveTime, grown) : !sameBits(s.RepetitiveTime, wantR))
        broken("the repetition time stored is not the one entered", entered);
    if (!lengthMessage && float(double(wantB) * double(characterCount(s.BitCode))) > wantR)
        broken("no length message for a pattern that does not fit", entered);

    // Reopening shows the stored values; OK on them without touching anything brings no
    // range message (the texts read back within the ranges).
    const BitCodeTexts shown = bitCodeTexts(s);
    if (shown.Text1 != s.BitCode)
        broken("reopening shows another pattern", entered);
    if (!lengthMessage) {
        const BitCodeOutcome again = checkBitCodeEntries(shown, s);
        for (const std::string& m : again.messages)
            if (m == RepetitiveTimeMessage || m == BitLengthMessage)
                broken("the shown values of stored settings are out of range", entered);
        // The texts show 7 digits of the period and two decimals of a microsecond of the
        // bit length, so a pattern that fitted with hardly a hair to spare may no longer fit
        // the texts: then, and only then, OK grows the period to the shown pattern.
        if (!again.messages.empty()) {
            const float shownPattern
                = float(double(again.stored.BitLength) * double(characterCount(s.BitCode)));
            if (shownPattern <= float(readNumber(shown.Text2) / 1000.0))
                broken("a length message on reopening for a pattern that fits", entered);
            if (!sameBits(again.stored.RepetitiveTime, std::min(shownPattern, MaxRepetitiveTime)))
                broken("the period did not grow to the shown pattern", entered);
        } else if (std::fabs(double(again.stored.RepetitiveTime) - double(s.RepetitiveTime))
            > 1e-6 * double(s.RepetitiveTime)) {
            broken("the shown repetition time does not read back", entered);
        }
        // The box shows two decimals of a microsecond; the float read back from them
        // may lie one of its own steps further off.
        const double step = double(std::nextafter(s.BitLength, 2.0f) - s.BitLength);
        if (std::fabs(double(again.stored.BitLength) - double(s.BitLength)) > 0.005e-6 + step)
            broken("the shown bit length does not read back", entered);
    }
    return 0;
}
