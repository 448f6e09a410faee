#include "FrequencyEstimator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vellox::audio::testing {

std::optional<FrequencyEstimate> estimateFrequency(const std::vector<double>& signal, double rate)
{
    double peak = 0;
    for (double x : signal)
        peak = std::max(peak, std::abs(x));
    if (peak == 0 || rate <= 0)
        return std::nullopt;
    const double hysteresis = peak / 10;

    // Rising crossings, in fractional sample positions; armed once the signal has been
    // clearly negative since the last one.
    std::vector<double> crossings;
    bool armed = false;
    for (size_t i = 1; i < signal.size(); ++i) {
        if (signal[i - 1] < -hysteresis)
            armed = true;
        if (armed && signal[i - 1] < 0 && signal[i] >= 0) {
            const double frac = -signal[i - 1] / (signal[i] - signal[i - 1]);
            crossings.push_back(double(i - 1) + frac);
            armed = false;
        }
    }
    if (crossings.size() < 11)
        return std::nullopt;

    std::vector<double> periods;
    periods.reserve(crossings.size() - 1);
    for (size_t i = 1; i < crossings.size(); ++i)
        periods.push_back(crossings[i] - crossings[i - 1]);
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];

    double sum = 0;
    size_t used = 0;
    for (double p : periods) {
        if (std::abs(p - median) <= 0.1 * median) {
            sum += p;
            ++used;
        }
    }
    if (used < 10)
        return std::nullopt;
    return FrequencyEstimate { rate * double(used) / sum, used };
}

std::vector<double> channel(
    const std::vector<int16_t>& interleaved, size_t channelIndex, size_t first, size_t count)
{
    std::vector<double> out;
    const size_t frames = interleaved.size() / 2;
    for (size_t f = first; f < frames && f < first + count; ++f)
        out.push_back(double(interleaved[2 * f + channelIndex]));
    return out;
}

size_t firstLoudFrame(const std::vector<int16_t>& interleaved, int threshold)
{
    const size_t frames = interleaved.size() / 2;
    for (size_t f = 0; f < frames; ++f)
        if (std::abs(int(interleaved[2 * f])) > threshold
            || std::abs(int(interleaved[2 * f + 1])) > threshold)
            return f;
    return frames;
}

} // namespace vellox::audio::testing
