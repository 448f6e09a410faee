#pragma once

// Measures the frequency of a recorded tone, for the real sound server test.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vellox::audio::testing {

struct FrequencyEstimate {
    double hz = 0; // estimated frequency
    size_t periods = 0; // periods that went into it
};

// Frequency of a periodic signal sampled at rate (Hz) from its rising zero crossings,
// placed between samples by linear interpolation; the estimate is rate over the mean
// period. Periods more than 10% away from the median period are left out, so a dropout
// or a glitch in a recording spoils a few periods, not the estimate. A hysteresis of a
// tenth of the peak level keeps noise from adding crossings. Empty without at least 10
// usable periods.
std::optional<FrequencyEstimate> estimateFrequency(const std::vector<double>& signal, double rate);

// One channel (0 left, 1 right) of interleaved 16-bit stereo, frames [first, first + count).
std::vector<double> channel(
    const std::vector<int16_t>& interleaved, size_t channelIndex, size_t first, size_t count);

// Index of the first frame whose left or right value exceeds threshold in magnitude, or
// the frame count when there is none.
size_t firstLoudFrame(const std::vector<int16_t>& interleaved, int threshold);

} // namespace vellox::audio::testing
