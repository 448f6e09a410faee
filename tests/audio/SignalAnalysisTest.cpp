// The level and bit measurements the real sound server tests rely on, on synthetic
// signals whose answers are known.

#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace vellox::audio::testing;

namespace {

constexpr double Rate = 44100;

std::vector<double> sine(double hz, double amplitude, double seconds, double phase = 0.7)
{
    std::vector<double> out(size_t(seconds * Rate));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / Rate + phase);
    return out;
}

TEST(ToneAmplitude, PureSineAtItsFrequency)
{
    for (double hz : { 100.0, 440.0, 1000.0, 2017.3 })
        EXPECT_NEAR(toneAmplitude(sine(hz, 10000, 0.75), hz, Rate), 10000, 10) << hz;
}

TEST(AmplitudeSpectrum, FindsALineAndAFaintOneBesideIt)
{
    // Two seconds: the main lobe spans 2 Hz either side; a line 90 dB down 20 Hz away shows.
    auto s = sine(1001, 14142, 2.0);
    const auto faint = sine(1021, 14142 * std::pow(10.0, -90.0 / 20.0), 2.0, 0.1);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] += faint[i];
    const Spectrum spectrum = amplitudeSpectrum(s, Rate);
    const auto [hz, amplitude] = spectrum.strongest(0, Rate / 2);
    EXPECT_NEAR(hz, 1001, spectrum.binHz);
    EXPECT_NEAR(amplitude, 14142, 14142 * 0.05); // within the window's scalloping
    const auto [otherHz, other] = spectrum.strongest(1003.5, Rate / 2);
    EXPECT_NEAR(otherHz, 1021, spectrum.binHz);
    EXPECT_NEAR(20 * std::log10(other / amplitude), -90, 1.5);
}

TEST(Clicks, AStepIsOneClickAndASmoothSineNone)
{
    auto s = sine(1000, 14142, 0.5); // second differences up to 287 at 44100 Hz
    EXPECT_EQ(countClicks(s, 3000), 0u);
    for (size_t i = s.size() / 2; i < s.size(); ++i)
        s[i] = -s[i]; // half a cycle's jump at one sample
    EXPECT_EQ(countClicks(s, 3000), 1u);
    const auto [low, high] = levelRangeDb(sine(1000, 14142, 0.5), 44, 10000);
    EXPECT_NEAR(low, 0, 0.3); // 1 ms windows hold about one period: its RMS
    EXPECT_NEAR(high, 0, 0.3);
}

TEST(Dropouts, DigitalSilenceOnBothChannelsOnly)
{
    struct Row {
        const char* what;
        size_t at, length; // zeroed stretch of the left channel (length 0: none)
        bool rightToo; // the right channel zeroed over the same stretch
        std::vector<size_t> expected;
    };
    const std::vector<Row> rows = {
        { "a steady tone", 0, 0, true, {} },
        { "a 512-frame gap", 1000, 512, true, { 1000 } },
        { "one frame short of the minimum", 1000, 63, true, {} },
        { "exactly the minimum", 1000, 64, true, { 1000 } },
        { "a gap at the very end", 22050 - 100, 100, true, { 22050 - 100 } },
        { "a silent left beside a playing right", 1000, 5000, false, {} },
    };
    for (const Row& row : rows) {
        auto left = sine(1000, 14142, 0.5);
        auto right = sine(100, 14142, 0.5);
        for (size_t i = row.at; i < row.at + row.length; ++i) {
            left[i] = 0;
            if (row.rightToo)
                right[i] = 0;
        }
        EXPECT_EQ(dropouts(left, right, 64), row.expected) << row.what;
    }
}

TEST(SineSkips, ALostStretchWithoutSilenceShowsWhereItWas)
{
    struct Row {
        const char* what;
        size_t lostFrames; // taken out of the stream at frame 10000
        std::vector<size_t> expected;
    };
    const std::vector<Row> rows = {
        { "a steady tone, rounded to whole samples", 0, {} },
        { "one frame lost", 1, { 9999 } },
        { "a server period of 1024 frames lost", 1024, { 9999 } },
    };
    for (const Row& row : rows) {
        auto s = sine(100, 14142, 0.5);
        for (double& x : s)
            x = std::round(x);
        s.erase(s.begin() + 10000, s.begin() + 10000 + long(row.lostFrames));
        EXPECT_EQ(sineSkips(s, 100, Rate, 16), row.expected) << row.what;
    }
}

TEST(ToneAmplitude, NeighboursAFewBinsAwayAreNotSeen)
{
    const auto s = sine(440, 10000, 0.75);
    // 0.75 s: a bin is 1.33 Hz; 10 Hz away is more than seven bins.
    EXPECT_LT(toneAmplitude(s, 450, Rate), 10);
    EXPECT_LT(toneAmplitude(s, 390, Rate), 10);
    EXPECT_LT(toneAmplitude(s, 880, Rate), 10);
}

TEST(ToneAmplitude, AmplitudeModulationHasItsSidebands)
{
    // Carrier 440 Hz, modulator 100 Hz, depth 0.5: sidebands of a quarter of the carrier
    // at 340 and 540 Hz, nothing at the modulator itself.
    std::vector<double> s(size_t(0.75 * Rate));
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / Rate;
        s[i] = 8000 * std::sin(2 * std::numbers::pi * 440 * t)
            * (1 + 0.5 * std::sin(2 * std::numbers::pi * 100 * t));
    }
    EXPECT_NEAR(toneAmplitude(s, 440, Rate), 8000, 10);
    EXPECT_NEAR(toneAmplitude(s, 340, Rate), 2000, 10);
    EXPECT_NEAR(toneAmplitude(s, 540, Rate), 2000, 10);
    EXPECT_LT(toneAmplitude(s, 100, Rate), 10);
    EXPECT_LT(toneAmplitude(s, 240, Rate), 10);
    EXPECT_LT(toneAmplitude(s, 640, Rate), 10);
}

TEST(ToneAmplitude, EmptyOrTooShort)
{
    EXPECT_EQ(toneAmplitude({}, 440, Rate), 0);
    EXPECT_EQ(toneAmplitude({ 1.0 }, 440, Rate), 0);
}

TEST(PeakMagnitude, LargestOfEitherSign)
{
    EXPECT_EQ(peakMagnitude({}), 0);
    EXPECT_EQ(peakMagnitude({ 1, -7, 3 }), 7);
}

// A burst of bit levels every `period` samples: bit 1 at -level, bit 0 at +level, then
// silence, with a little noise everywhere.
std::vector<double> bitTrain(const std::string& bits, double bitSamples, size_t period,
    size_t offset, size_t total, double level)
{
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> noise(-30, 30);
    std::vector<double> out(total);
    for (size_t i = 0; i < total; ++i) {
        double v = noise(gen);
        if (i >= offset) {
            const size_t inPeriod = (i - offset) % period;
            const size_t bit = size_t(double(inPeriod) / bitSamples);
            if (bit < bits.size())
                v += bits[bit] == '1' ? -level : level;
        }
        out[i] = v;
    }
    return out;
}

TEST(BitBursts, StartsAndBitsOfARepeatingPattern)
{
    const std::string pattern = "10011101010001101010111000101011";
    const auto s = bitTrain(pattern, 44.1, 22050, 1234, 60000, 14000);
    const auto starts = burstStarts(s, 7000, 1000);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0], 1234u);
    EXPECT_EQ(starts[1], 1234u + 22050);
    EXPECT_EQ(starts[2], 1234u + 44100);
    for (size_t start : starts)
        EXPECT_EQ(readBits(s, start, 44.1, pattern.size(), 7000), pattern);
}

TEST(BitBursts, ABurstUnderWayAtTheFirstSampleIsNotCounted)
{
    const auto s = bitTrain("0000", 100, 1000, 0, 2500, 14000);
    const auto starts = burstStarts(s, 7000, 300);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0], 1000u);
}

TEST(BitBursts, ReadBitsMarksLevelsNearZeroAndStopsAtTheEnd)
{
    std::vector<double> s = { -9000, -9000, 100, 100, 9000, 9000 };
    EXPECT_EQ(readBits(s, 0, 2, 5, 5000), "1?0");
}

} // namespace
