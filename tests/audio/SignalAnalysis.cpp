#include "SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
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

Spectrum amplitudeSpectrum(const std::vector<double>& signal, double rate)
{
    Spectrum out;
    const size_t n = signal.size();
    if (n < 2 || rate <= 0)
        return out;
    size_t size = 1;
    while (size < n)
        size *= 2;
    std::vector<std::complex<double>> x(size);
    const double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
    const double step = 2 * std::numbers::pi / double(n - 1);
    double windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = step * double(i);
        const double w = a0 - a1 * std::cos(t) + a2 * std::cos(2 * t) - a3 * std::cos(3 * t);
        windowSum += w;
        x[i] = w * signal[i];
    }
    // Iterative radix-2 FFT: bit-reversed order, then butterflies of growing span.
    for (size_t i = 1, j = 0; i < size; ++i) {
        size_t bit = size >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t span = 2; span <= size; span *= 2) {
        const std::complex<double> unit = std::polar(1.0, -2 * std::numbers::pi / double(span));
        for (size_t start = 0; start < size; start += span) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < span / 2; ++k) {
                const std::complex<double> odd = w * x[start + k + span / 2];
                x[start + k + span / 2] = x[start + k] - odd;
                x[start + k] += odd;
                w *= unit;
            }
        }
    }
    out.binHz = rate / double(size);
    out.magnitude.resize(size / 2 + 1);
    for (size_t k = 0; k <= size / 2; ++k)
        out.magnitude[k] = 2 * std::abs(x[k]) / windowSum;
    return out;
}

std::pair<double, double> Spectrum::strongest(double fromHz, double toHz) const
{
    std::pair<double, double> best { 0, -1 };
    if (binHz <= 0)
        return best;
    const size_t first = size_t(std::max(0.0, std::ceil(fromHz / binHz)));
    const size_t last = std::min(magnitude.size() - 1, size_t(std::max(0.0, toHz / binHz)));
    for (size_t k = first; k <= last; ++k)
        if (magnitude[k] > best.second)
            best = { double(k) * binHz, magnitude[k] };
    return best;
}

std::vector<size_t> clickPositions(const std::vector<double>& signal, double threshold)
{
    std::vector<size_t> at;
    bool inClick = false;
    for (size_t n = 1; n + 1 < signal.size(); ++n) {
        const bool jump = std::abs(signal[n + 1] - 2 * signal[n] + signal[n - 1]) > threshold;
        if (jump && !inClick)
            at.push_back(n);
        inClick = jump;
    }
    return at;
}

size_t countClicks(const std::vector<double>& signal, double threshold)
{
    return clickPositions(signal, threshold).size();
}

std::vector<size_t> dropouts(
    const std::vector<double>& left, const std::vector<double>& right, size_t minFrames)
{
    std::vector<size_t> starts;
    const size_t n = std::min(left.size(), right.size());
    size_t run = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && left[i] == 0 && right[i] == 0) {
            ++run;
            continue;
        }
        if (run >= minFrames && minFrames > 0)
            starts.push_back(i - run);
        run = 0;
    }
    return starts;
}

std::vector<size_t> sineSkips(
    const std::vector<double>& signal, double hz, double rate, double threshold)
{
    std::vector<size_t> at;
    const double twoCos = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    bool inRun = false;
    for (size_t n = 1; n + 1 < signal.size(); ++n) {
        const bool off = std::abs(signal[n + 1] + signal[n - 1] - twoCos * signal[n]) > threshold;
        if (off && !inRun)
            at.push_back(n);
        inRun = off;
    }
    return at;
}

std::pair<double, double> levelRangeDb(
    const std::vector<double>& signal, size_t window, double reference)
{
    double low = INFINITY, high = -INFINITY;
    for (size_t at = 0; window > 0 && at + window <= signal.size(); at += window) {
        double sum = 0;
        for (size_t n = at; n < at + window; ++n)
            sum += signal[n] * signal[n];
        const double db = 10 * std::log10(sum / double(window) / (reference * reference));
        low = std::min(low, db);
        high = std::max(high, db);
    }
    return { low, high };
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
