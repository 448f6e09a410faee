#include "LevelScale.h"

#include "InstrumentModel.h"

#include <algorithm>
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

namespace {
    // 0 dBu: 1 mW in 600 ohms.
    const double DbuVolts = std::sqrt(0.6);

    // The rms in volts of `factor`.
    double rmsVolts(double factor, double fullScaleVpp, double rms)
    {
        return fullScaleVpp / 2.0 * factor * rms;
    }
} // namespace

double levelInUnit(double factor, VoltageUnit unit, double fullScaleVpp, double rms)
{
    switch (unit) {
    case VoltageUnit::Vpp:
        return fullScaleVpp * factor;
    case VoltageUnit::Vrms:
        return rmsVolts(factor, fullScaleVpp, rms);
    case VoltageUnit::Dbfs:
        return 20.0 * std::log10(factor * rms * std::numbers::sqrt2 / FullScaleLevel);
    case VoltageUnit::Dbv:
        return 20.0 * std::log10(rmsVolts(factor, fullScaleVpp, rms));
    case VoltageUnit::Dbu:
        return 20.0 * std::log10(rmsVolts(factor, fullScaleVpp, rms) / DbuVolts);
    }
    return 0.0;
}

std::optional<double> factorOfLevel(double value, VoltageUnit unit, double fullScaleVpp, double rms)
{
    if (!std::isfinite(value) || !(fullScaleVpp > 0.0) || !(rms > 0.0))
        return std::nullopt;
    double factor = 0.0;
    switch (unit) {
    case VoltageUnit::Vpp:
        factor = value / fullScaleVpp;
        break;
    case VoltageUnit::Vrms:
        factor = value / (fullScaleVpp / 2.0 * rms);
        break;
    case VoltageUnit::Dbfs:
        factor = FullScaleLevel / (rms * std::numbers::sqrt2) * std::pow(10.0, value / 20.0);
        break;
    case VoltageUnit::Dbv:
        factor = std::pow(10.0, value / 20.0) / (fullScaleVpp / 2.0 * rms);
        break;
    case VoltageUnit::Dbu:
        factor = DbuVolts * std::pow(10.0, value / 20.0) / (fullScaleVpp / 2.0 * rms);
        break;
    }
    if (!(factor > 0.0) || !std::isfinite(factor))
        return std::nullopt;
    // The ends, as the user writes them (0 dBFS, -120 dBFS), may come out a few units in the
    // last place beyond them.
    constexpr double Slack = 1e-9;
    if (factor > FullScaleLevel * (1.0 + Slack) || factor < MinLevelFactor * (1.0 - Slack))
        return std::nullopt;
    return std::clamp(factor, MinLevelFactor, FullScaleLevel);
}

} // namespace vellox::remote
