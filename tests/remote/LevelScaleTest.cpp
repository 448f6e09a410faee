// The level arithmetic: each waveform's rms against a numerical integration of its shape
// over one period, and the factor of a level in each unit and back.

#include "LevelScale.h"
#include "InstrumentModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace vellox;
using namespace vellox::remote;

namespace {

double numericRms(const std::function<double(double)>& shapeOfPhase)
{
    const int n = 1 << 20;
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const double v = shapeOfPhase((k + 0.5) / n);
        sum += v * v;
    }
    return std::sqrt(sum / n);
}

} // namespace

TEST(LevelScale, RmsOfEachShapeAtAPeakOfOne)
{
    const double twoPi = 2.0 * std::numbers::pi;
    const struct {
        WaveformIndex waveform;
        std::function<double(double)> shape; // phase 0..1 of one period
    } cases[] = {
        { WaveSine, [&](double x) { return std::sin(twoPi * x); } },
        { WavePwSine, [&](double x) { return std::pow(std::sin(twoPi * x), 7.0); } },
        { WaveSquare, [&](double x) { return x < 0.5 ? 1.0 : -1.0; } },
        { WaveTrapeze, [&](double x) { return std::clamp(3.0 * std::sin(twoPi * x), -1.0, 1.0); } },
        { WaveTriangle, [](double x) { return 4.0 * std::fabs(x - std::round(x)) - 1.0; } },
        { WavePwm, [](double x) { return x < 0.3 ? -1.0 : 1.0; } }, // any duty
        { WaveStairsFalling, [](double x) { return 1.0 - 2.0 * x; } },
        { WaveStairsRising, [](double x) { return 2.0 * x - 1.0; } },
        { WaveBitCode, [](double x) { return x < 0.5 ? 1.0 : -1.0; } },
        { WaveBitTwoTone, [&](double x) { return std::sin(twoPi * x); } },
        // The level does not scale the noise: what it scales is the right channel's sine.
        { WaveNoise, [&](double x) { return std::sin(twoPi * x); } },
    };
    ASSERT_EQ(std::size(cases), std::size_t(WaveformCount));
    for (const auto& c : cases)
        EXPECT_NEAR(rmsAtUnitPeak(c.waveform), numericRms(c.shape), 1e-6)
            << waveformName(c.waveform);
}

TEST(LevelScale, FactorOfALevelInEachUnit)
{
    const double sine = 1.0 / std::sqrt(2.0);
    const double square = 1.0;
    const double fs = FullScaleLevel; // 32768 / 20000
    const struct {
        double value;
        VoltageUnit unit;
        double fullScale;
        double rms;
        std::optional<double> factor;
    } cases[] = {
        { 2.0, VoltageUnit::Vpp, 2.0, sine, 1.0 },
        { 0.6, VoltageUnit::Vpp, 2.0, sine, 0.3 }, // no step: taken as it is
        { 0.5, VoltageUnit::Vrms, 2.0, sine, 1.0 / std::sqrt(2.0) },
        { 0.5, VoltageUnit::Vrms, 2.0, square, 0.5 },
        // AES17: a sine whose peak reaches full scale is 0 dBFS, so the unit level is -4.29.
        { 0.0, VoltageUnit::Dbfs, 2.0, sine, fs },
        { -4.28843, VoltageUnit::Dbfs, 2.0, sine, 1.0 },
        { -12.34, VoltageUnit::Dbfs, 2.0, sine, fs * std::pow(10.0, -12.34 / 20.0) },
        { -120.0, VoltageUnit::Dbfs, 2.0, sine, MinLevelFactor },
        // dBFS is of the rms: a square at full-scale peak is +3.01 dBFS.
        { 3.0102999, VoltageUnit::Dbfs, 2.0, square, fs },
        { 0.0, VoltageUnit::Dbfs, 2.0, square, fs / std::sqrt(2.0) },
        { 0.0, VoltageUnit::Dbv, 2.0, sine, std::sqrt(2.0) }, // 1 Vrms
        { 0.0, VoltageUnit::Dbu, 2.0, sine, std::sqrt(1.2) }, // 0.7746 Vrms
        { -20.0, VoltageUnit::Dbv, 0.2, sine, std::sqrt(2.0) },
        // Beyond full scale, 120 dB below it, or no level at all.
        { 0.01, VoltageUnit::Dbfs, 2.0, sine, std::nullopt },
        { 3.03, VoltageUnit::Dbfs, 2.0, square, std::nullopt },
        { -120.01, VoltageUnit::Dbfs, 2.0, sine, std::nullopt },
        { 3.3, VoltageUnit::Vpp, 2.0, sine, std::nullopt },
        { 12.0, VoltageUnit::Dbu, 2.0, sine, std::nullopt },
        { 0.0, VoltageUnit::Vpp, 2.0, sine, std::nullopt },
        { -1.0, VoltageUnit::Vrms, 2.0, sine, std::nullopt },
        { INFINITY, VoltageUnit::Vpp, 2.0, sine, std::nullopt },
        { NAN, VoltageUnit::Dbfs, 2.0, sine, std::nullopt },
        { 1e-320, VoltageUnit::Vpp, 2.0, sine, std::nullopt },
    };
    for (const auto& c : cases) {
        const auto factor = factorOfLevel(c.value, c.unit, c.fullScale, c.rms);
        ASSERT_EQ(factor.has_value(), c.factor.has_value()) << c.value;
        if (factor) {
            EXPECT_NEAR(*factor / *c.factor, 1.0, 2e-5) << c.value;
        }
    }
}

TEST(LevelScale, EachLevelReadsBackAsItWasSet)
{
    const VoltageUnit units[] = { VoltageUnit::Vpp, VoltageUnit::Vrms, VoltageUnit::Dbfs,
        VoltageUnit::Dbv, VoltageUnit::Dbu };
    for (const double rms : { 1.0 / std::sqrt(2.0), 1.0, 1.0 / std::sqrt(3.0) })
        for (const VoltageUnit unit : units)
            for (const double factor : { MinLevelFactor, 0.0123, 0.3, 1.0, FullScaleLevel }) {
                const double v = levelInUnit(factor, unit, 3.3, rms);
                const auto back = factorOfLevel(v, unit, 3.3, rms);
                ASSERT_TRUE(back) << factor;
                EXPECT_NEAR(*back / factor, 1.0, 1e-12) << factor;
            }
}
