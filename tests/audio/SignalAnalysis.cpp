#include "SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vellox::audio::testing {

double toneAmplitude(const std::vector<double>& signal, double hz, double rate)
{
    const size_t n = signal.size();
    if (n < 2 || rate <= 0)
        return 0;
    // Goertzel at a frequency that need not be a whole bin: the recurrence gives the DFT
    // term at omega up to a phase factor, which the magnitude does not see.
    const double omega = 2 * std::numbers::pi * hz / rate;
    const double coeff = 2 * std::cos(omega);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n - 1));
        windowSum += w;
        const double s0 = w * signal[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double re = s1 - s2 * std::cos(omega);
    const double im = s2 * std::sin(omega);
    // A sine of amplitude A sums to A/2 times the window's sum at its own frequency.
    return 2 * std::hypot(re, im) / windowSum;
}

double peakMagnitude(const std::vector<double>& signal)
{
    double peak = 0;
    for (double x : signal)
        peak = std::max(peak, std::abs(x));
    return peak;
}

std::vector<size_t> burstStarts(const std::vector<double>& signal, double threshold, size_t minGap)
{
    std::vector<size_t> starts;
    size_t quiet = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        if (std::abs(signal[i]) > threshold) {
            if (quiet >= minGap)
                starts.push_back(i);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return starts;
}

std::string readBits(const std::vector<double>& signal, size_t start, double bitSamples,
    size_t bitCount, double threshold)
{
    std::string bits;
    for (size_t k = 0; k < bitCount; ++k) {
        const size_t at = start + size_t(std::lround((double(k) + 0.5) * bitSamples));
        if (at >= signal.size())
            break;
        const double v = signal[at];
        bits += v < -threshold ? '1' : v > threshold ? '0' : '?';
    }
    return bits;
}

} // namespace vellox::audio::testing
