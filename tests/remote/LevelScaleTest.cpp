// The level arithmetic: each waveform's rms against a numerical integration of its shape
// over one period, and the nearest step of a level in each unit.

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

TEST(LevelScale, NearestStepInEachUnit)
{
    const double sine = 1.0 / std::sqrt(2.0);
    const struct {
        double value;
        VoltageUnit unit;
        double fullScale;
        std::optional<int> step;
    } cases[] = {
        { 2.0, VoltageUnit::Vpp, 2.0, 0 },
        { 1.0, VoltageUnit::Vpp, 2.0, 2 },
        { 1.0, VoltageUnit::Vpp, 1.0, 0 },
        { 0.5, VoltageUnit::Vrms, 2.0, 1 },
        { -45.0, VoltageUnit::Dbfs, 2.0, 15 },
        { -46.4, VoltageUnit::Dbfs, 2.0, 15 },
        { -46.6, VoltageUnit::Dbfs, 2.0, std::nullopt },
        { 1.4, VoltageUnit::Dbfs, 2.0, 0 },
        { 1.6, VoltageUnit::Dbfs, 2.0, std::nullopt },
        { -4.5, VoltageUnit::Dbfs, 2.0, 2 }, // 1.5 steps: halves to even
        { -7.5, VoltageUnit::Dbfs, 2.0, 2 },
        { 0.0, VoltageUnit::Vpp, 2.0, std::nullopt },
        { -1.0, VoltageUnit::Vrms, 2.0, std::nullopt },
        { INFINITY, VoltageUnit::Vpp, 2.0, std::nullopt },
        { NAN, VoltageUnit::Dbfs, 2.0, std::nullopt },
        { 1e-320, VoltageUnit::Vpp, 2.0, std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(nearestLevelStep(c.value, c.unit, c.fullScale, sine), c.step) << c.value;
}

TEST(LevelScale, EachStepsLevelLeadsBackToItsStep)
{
    for (const double rms : { 1.0 / std::sqrt(2.0), 1.0, 1.0 / std::sqrt(3.0) })
        for (const VoltageUnit unit : { VoltageUnit::Vpp, VoltageUnit::Vrms, VoltageUnit::Dbfs })
            for (int step = MinLevelStep; step <= MaxLevelStep; ++step) {
                const double v = levelInUnit(levelFactor(step), unit, 3.3, rms);
                EXPECT_EQ(nearestLevelStep(v, unit, 3.3, rms), step) << step;
            }
}
