// The estimator the real sound server test relies on, on synthetic signals.

#include "FrequencyEstimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>

using namespace vellox::audio::testing;

namespace {

std::vector<double> tone(
    double hz, double rate, double seconds, double phase = 0.3, double noise = 0, unsigned seed = 1)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-noise, noise);
    std::vector<double> out(size_t(seconds * rate));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = 20000 * std::sin(2 * M_PI * hz * double(i) / rate + phase) + 20000 * u(gen);
    return out;
}

struct ToneCase {
    double hz;
    double rate;
    double noise; // relative to the amplitude
    double tolerance; // Hz
};

void PrintTo(const ToneCase& c, std::ostream* os)
{
    *os << c.hz << " Hz at " << c.rate << " Hz, noise " << c.noise;
}

class EstimatorTest : public ::testing::TestWithParam<ToneCase> { };

TEST_P(EstimatorTest, FindsTheFrequency)
{
    const ToneCase c = GetParam();
    const auto est = estimateFrequency(tone(c.hz, c.rate, 2.0, 0.3, c.noise), c.rate);
    ASSERT_TRUE(est.has_value());
    EXPECT_NEAR(est->hz, c.hz, c.tolerance);
    EXPECT_GT(est->periods, size_t(c.hz * 1.9));
}

INSTANTIATE_TEST_SUITE_P(Tones, EstimatorTest,
    ::testing::Values(ToneCase { 1000, 98000, 0, 0.001 }, ToneCase { 1000, 44100, 0, 0.001 },
        ToneCase { 1000.4, 98000, 0, 0.01 }, ToneCase { 999.5, 192000, 0, 0.01 },
        ToneCase { 997.3, 44100, 0, 0.01 }, ToneCase { 1000, 98000, 0.05, 0.05 },
        ToneCase { 440, 48000, 0.02, 0.05 }));

TEST(Estimator, TellsHalfAHertzApart)
{
    const auto a = estimateFrequency(tone(1000.0, 98000, 2.0), 98000);
    const auto b = estimateFrequency(tone(1000.5, 98000, 2.0), 98000);
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(b->hz - a->hz, 0.5, 0.01);
}

TEST(Estimator, DropoutsDoNotShiftTheEstimate)
{
    // Silent gaps of 5 ms every 300 ms, as an underrun would leave them.
    std::vector<double> s = tone(1000, 98000, 2.0);
    for (size_t start = 10000; start + 490 < s.size(); start += 29400)
        for (size_t i = start; i < start + 490; ++i)
            s[i] = 0;
    const auto est = estimateFrequency(s, 98000);
    ASSERT_TRUE(est.has_value());
    EXPECT_NEAR(est->hz, 1000, 0.05);
}

TEST(Estimator, NoToneNoEstimate)
{
    EXPECT_FALSE(estimateFrequency(std::vector<double>(98000, 0.0), 98000).has_value());
    EXPECT_FALSE(estimateFrequency(tone(1000, 98000, 0.001), 98000).has_value());
}

TEST(Estimator, ChannelsAndFirstLoudFrame)
{
    const std::vector<int16_t> v { 0, 0, 3, -2, 0, 500, 7, 8 };
    EXPECT_EQ(firstLoudFrame(v, 100), 2u);
    EXPECT_EQ(firstLoudFrame(v, 1000), 4u);
    EXPECT_EQ(channel(v, 1, 1, 2), (std::vector<double> { -2, 500 }));
    EXPECT_EQ(channel(v, 0, 3, 10), (std::vector<double> { 7 }));
}

} // namespace
