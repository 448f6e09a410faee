#include "LevelScale.h"

#include "InstrumentModel.h"

#include <cmath>
#include <numbers>

namespace vellox::remote {

namespace {

    // 3·sin clipped to ±1: the ramps are where |sin| < 1/3. Its mean square over a quarter
    // period, in closed form.
    double trapezeRms()
    {
        const double a = std::asin(1.0 / 3.0);
        const double ramps = 9.0 * (a / 2.0 - std::sin(2.0 * a) / 4.0);
        const double tops = std::numbers::pi / 2.0 - a;
        return std::sqrt((ramps + tops) / (std::numbers::pi / 2.0));
    }

} // namespace

double rmsAtUnitPeak(WaveformIndex waveform)
{
    const double sine = 1.0 / std::numbers::sqrt2;
    const double ramp = 1.0 / std::numbers::sqrt3;
    switch (waveform) {
    case WaveSine:
    case WaveNoise:
    case WaveBitTwoTone:
        return sine;
    case WavePwSine:
        // The mean of sin^14 is C(14,7)/2^14.
        return std::sqrt(3432.0 / 16384.0);
    case WaveSquare:
    case WavePwm:
    case WaveBitCode:
        return 1.0;
    case WaveTrapeze:
        return trapezeRms();
    case WaveTriangle:
    case WaveStairsFalling:
    case WaveStairsRising:
        return ramp;
    case WaveformCount:
        break;
    }
    return sine;
}

double levelInUnit(float factor, VoltageUnit unit, double fullScaleVpp, double rms)
{
    switch (unit) {
    case VoltageUnit::Vpp:
        return fullScaleVpp * double(factor);
    case VoltageUnit::Vrms:
        return fullScaleVpp / 2.0 * double(factor) * rms;
    case VoltageUnit::Dbfs:
        break;
    }
    return 20.0 * std::log10(double(factor));
}

std::optional<int> nearestLevelStep(double value, VoltageUnit unit, double fullScaleVpp, double rms)
{
    double db = value;
    if (unit != VoltageUnit::Dbfs) {
        const double atFull = unit == VoltageUnit::Vpp ? fullScaleVpp : fullScaleVpp / 2.0 * rms;
        if (!(value > 0.0) || !(atFull > 0.0))
            return std::nullopt;
        db = 20.0 * std::log10(value / atFull);
    }
    if (!std::isfinite(db))
        return std::nullopt;
    const double step = std::nearbyint(-db / LevelStepDb);
    if (!(step >= MinLevelStep && step <= MaxLevelStep))
        return std::nullopt;
    return int(step);
}

} // namespace vellox::remote
