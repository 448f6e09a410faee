#pragma once

// A plain scalar evaluation of the synthesis formulas, one sample at a time with a switch,
// written for clarity only. The engine must equal it to the last bit.

#include "Rounding.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace reference {

using vellox::Module1;
using vellox::roundToInt32;
using vellox::SynthSettings;
using vellox::UniformSource;

inline int16_t clip(int32_t v)
{
    if (v >= 32767)
        return 32767;
    if (v <= -32767)
        return -32767;
    return int16_t(v);
}

inline int sgn(double x)
{
    return x > 0.0 ? 1 : (x < 0.0 ? -1 : 0);
}

inline int bitValue(const std::string& symbol)
{
    if (symbol.size() == 1 && symbol[0] >= '0' && symbol[0] <= '9')
        return symbol[0] - '0';
    return 0;
}

struct Result {
    std::vector<int16_t> Samples;
    float PhaseStep1 = 0.0f;
    float PhaseStep2 = 0.0f;
};

inline Result synthesize(const SynthSettings& s, const Module1& mod, UniformSource& random)
{
    const double K = 20000.0;
    const int32_t SampleRate = s.SampleRate;
    const double Level1 = double(s.Level1);
    const double Level2 = double(s.Level2);
    const double NoiseLevel = double(s.NoiseLevel);
    const double Pi = double(s.Pi);

    // Bit table, every call: n + 1 texts, element 0 empty.
    const int n = int(mod.BitCode.size());
    std::vector<std::string> BitSymbols(std::size_t(n) + 1);
    int32_t BitCounter = 0;

    Result out;
    out.PhaseStep1 = float(double(float(s.Frequency1)) * Pi / double(SampleRate));
    out.PhaseStep2 = float(double(float(s.Frequency2)) * Pi / double(SampleRate));
    const double PhaseStep1 = double(out.PhaseStep1);
    const double PhaseStep2 = double(out.PhaseStep2);
    float F1Period = float(double(2 * SampleRate) / double(s.Frequency1));

    std::vector<int16_t>& Samples = out.Samples;
    Samples.assign(std::size_t(2 * SampleRate + 1), 0);

    for (int32_t i = 0; i <= 2 * SampleRate - 2; i += 2) { // one second: frames 0..SampleRate-1
        int32_t left = 0;
        const double x_i = double(i);
        const double s1 = std::sin(PhaseStep1 * x_i);
        const double s2 = std::sin(PhaseStep2 * x_i);
        // The two draws of one left sample, u1 first.
        double u1 = 0.0, u2 = 0.0;
        auto draw = [&] {
            u1 = double(random.next());
            u2 = double(random.next());
        };
        auto N = [&] {
            draw();
            return (u1 - u2) * NoiseLevel;
        };
        auto fmSine = [&] {
            return roundToInt32(K * (N() + Level1 * std::sin(PhaseStep1 * x_i + Level2 * s2)));
        };
        const int mode = s.ChannelMode;
        const bool modeOk = mode >= 1 && mode <= 6;

        switch (s.Waveform) {
        case 0:
            switch (mode) {
            case 1:
            case 6:
                left = roundToInt32(K * (N() + Level1 * s1));
                break;
            case 2:
                left = roundToInt32(K * (N() + Level1 * s1 + Level2 * s2));
                break;
            case 3:
                left = roundToInt32(K * (Level1 * s1 * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(K * (Level1 * s1 * Level2 * s2 + N()));
                break;
            case 5:
                left = fmSine();
                break;
            }
            break;
        case 1: {
            const double p = std::pow(s1, 7.0);
            switch (mode) {
            case 1:
            case 6:
                left = roundToInt32(K * (Level1 * p + N()));
                break;
            case 2:
                left = roundToInt32(K * (Level1 * p + Level2 * s2 + N()));
                break;
            case 3:
                left = roundToInt32(K * (Level1 * p * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(K * (Level1 * p * Level2 * s2 + N()));
                break;
            case 5:
                left = roundToInt32(
                    K * (N() + Level1 * std::sin(PhaseStep1 * x_i + Level2 * std::pow(s2, 7.0))));
                break;
            }
            break;
        }
        case 2: {
            const int sq = sgn(s1);
            switch (mode) {
            case 1:
            case 6:
                left = roundToInt32(K * (sq * Level1 + N()));
                break;
            case 2:
                left = roundToInt32(K * (sq * Level1 + N() + Level2 * s2));
                break;
            case 3:
                left = roundToInt32(K * (sq * Level1 * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(K * (sq * Level1 * Level2 * s2 + N()));
                break;
            case 5:
                left = 20000 * sgn(Level1 * std::sin(PhaseStep1 * x_i + Level2 * s2) + N());
                break;
            }
            break;
        }
        case 3: {
            float t = float(3 * s1);
            if (t > 1)
                t = 1;
            else if (t < -1)
                t = -1;
            switch (mode) {
            case 1:
            case 6:
                left = roundToInt32(K * (N() + t * Level1));
                break;
            case 2:
                left = roundToInt32(K * (N() + t * Level1 + Level2 * s2));
                break;
            case 3:
                left = roundToInt32(K * (t * Level1 * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(K * (t * Level1 * Level2 * s2 + N()));
                break;
            case 5:
                left = fmSine();
                break;
            }
            break;
        }
        case 4:
            draw();
            left = roundToInt32((u1 - u2) * 20000 * NoiseLevel + 1);
            break;
        case 5: {
            const float f = float(PhaseStep1 / (Pi + Pi));
            const double x = f * x_i - 25.0 / 100.0;
            const double r = std::nearbyint(x);
            const float tri = float(4 * std::fabs(x - r) - 1);
            switch (mode) {
            case 1:
            case 6:
                left = roundToInt32(K * (N() + tri * Level1));
                break;
            case 2:
                left = roundToInt32(K * (N() + tri * Level1 + Level2 * s2));
                break;
            case 3:
                left = roundToInt32(K * (tri * Level1 * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(K * (tri * Level1 * Level2 * s2 + N()));
                break;
            case 5:
                left = fmSine();
                break;
            }
            break;
        }
        case 6: {
            if (!modeOk)
                break;
            if (mode == 5)
                F1Period = float(F1Period + Level2 * s2);
            const int32_t P = roundToInt32(F1Period);
            const int32_t m = i % P;
            const int32_t D = s.DutyPercent;
            const int sigma = (double(F1Period) * D / 100.0 > m) ? -1 : 1;
            switch (mode) {
            case 1:
            case 6:
            case 5:
                left = roundToInt32(sigma * K * (N() + Level1));
                break;
            case 2:
                left = roundToInt32(sigma * K * (N() + Level1 + Level2 * s2));
                break;
            case 3:
                left = roundToInt32(sigma * K * (Level1 * (1 + Level2 * s2) + N()));
                break;
            case 4:
                left = roundToInt32(sigma * K * (N() + Level1 * Level2 * s2));
                break;
            }
            break;
        }
        case 7:
        case 10: {
            if (!modeOk)
                break;
            const int32_t P = roundToInt32(F1Period);
            const int32_t m = i % P;
            const int32_t m40000 = 40000 * m;
            if (s.Waveform == 7) {
                const double ramp7 = 20000 - m40000 / double(F1Period);
                switch (mode) {
                case 1:
                case 6:
                    left = roundToInt32(Level1 * ramp7 + K * N());
                    break;
                case 2:
                    left = roundToInt32(Level1 * ramp7 + K * N() + K * Level2 * s2);
                    break;
                case 3:
                    left = roundToInt32(
                        20000 - Level1 * (m40000 / double(F1Period)) * (1 + Level2 * s2) + K * N());
                    break;
                case 4:
                    left = roundToInt32(-40000 * (Level1 * Level2 * s2 * m / F1Period + N()));
                    break;
                case 5:
                    left = fmSine();
                    break;
                }
            } else {
                const double ramp10 = m40000 / double(F1Period) - 20000;
                switch (mode) {
                case 1:
                case 6:
                    left = roundToInt32(Level1 * ramp10 + K * N());
                    break;
                case 2:
                    left = roundToInt32(Level1 * ramp10 + K * N() + K * Level2 * s2);
                    break;
                case 3:
                    left = roundToInt32(-20000
                        + Level1 * (m40000 / double(F1Period)) * (1 + Level2 * s2) + K * N());
                    break;
                case 4:
                    left = roundToInt32(-40000 * (N() - Level1 * Level2 * s2 * m / F1Period));
                    break;
                case 5:
                    left = roundToInt32(
                        K * (N() + Level1 * std::sin(PhaseStep1 * (F1Period - x_i) + Level2 * s2)));
                    break;
                }
            }
            break;
        }
        case 8:
        case 9: {
            if (i == 0) {
                for (int k = 1; k <= n; ++k)
                    BitSymbols[std::size_t(k)] = std::string(1, mod.BitCode[std::size_t(k - 1)]);
                BitCounter = 0;
            }
            const int32_t BitFrames
                = roundToInt32(mod.BitLength * (2.0 * SampleRate) / 2 + 2.0 / 10);
            if (int64_t(i) % (2 * int64_t(BitFrames)) == 0)
                BitCounter = BitCounter + 1;
            if (BitCounter > n)
                break; // true silence
            const int v = bitValue(BitSymbols[std::size_t(BitCounter)]);
            if (s.Waveform == 8) {
                draw();
                left = roundToInt32((u1 - u2) * 20000 * NoiseLevel + (20000 - 40000 * v) * Level1);
            } else if (v == 0) {
                left = roundToInt32(K * (N() + Level1 * s1));
            } else {
                left = roundToInt32(K * (N() + Level2 * s2));
            }
            break;
        }
        default:
            break;
        }
        Samples[std::size_t(i)] = clip(left);

        const int32_t right
            = mode == 1 ? roundToInt32(s1 * 20000 * Level1) : roundToInt32(s2 * 20000 * Level2);
        Samples[std::size_t(i) + 1] = clip(right);
    }
    return out;
}

} // namespace reference
