#pragma once

// Level and shape measurements of recorded signals for the tests that go through a real
// sound server: tone amplitude at a chosen frequency, silence, and the levels of a
// bit-coded burst.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellox::audio::testing {

// Amplitude (in the signal's units, peak) of the component at hz, from a Goertzel filter
// over the whole signal under a Hann window. A pure sine of amplitude A at hz gives A; a
// component more than two bins (2 x rate / size) away contributes almost nothing, so the
// filter can tell a tone from its neighbours a few hertz apart over a second of signal.
double toneAmplitude(const std::vector<double>& signal, double hz, double rate);

// The amplitude spectrum (peak, in the signal's units) under a 4-term Blackman-Harris
// window, zero-padded to a power of two: magnitude[k] is the component at k * binHz.
// The window's side lobes stay 92 dB down, so lines 90 dB apart can be told apart; its
// main lobe spans 4 x rate / size either side of a line.
struct Spectrum {
    std::vector<double> magnitude; // bins 0 .. size/2
    double binHz = 0;
    // The strongest bin within [fromHz, toHz], as its frequency and magnitude.
    std::pair<double, double> strongest(double fromHz, double toHz) const;
};
Spectrum amplitudeSpectrum(const std::vector<double>& signal, double rate);

// Clicks: the samples where the second difference x[n+1] - 2 x[n] + x[n-1] exceeds
// `threshold` in magnitude, counted once per run of such samples. A sine of amplitude A
// at f Hz has second differences up to A (2 sin(pi f / rate))^2: 14142 below 6 kHz at
// 98000 Hz stays under 1000, while a step in the signal shows as a jump of its height.
size_t countClicks(const std::vector<double>& signal, double threshold);
// The same clicks, as the index of each one's first sample.
std::vector<size_t> clickPositions(const std::vector<double>& signal, double threshold);

// The lowest and the highest RMS level over consecutive windows of `window` samples, in
// dB relative to `reference` (an RMS level).
std::pair<double, double> levelRangeDb(
    const std::vector<double>& signal, size_t window, double reference);

// Where a sound server dropped sound: runs of at least minFrames samples in which both
// channels are exactly 0, as their start indices. A server that misses a period of a
// playing stream (a stalled player, an overloaded machine) fills it with digital
// silence; a tone of any useful level never holds 0 on both channels for long.
std::vector<size_t> dropouts(
    const std::vector<double>& left, const std::vector<double>& right, size_t minFrames);

// Where a steady sine at hz skips: a stretch of the stream lost or repeated without
// silence (a recorder that overran, a server that dropped a period). A sine obeys
// x[n+1] + x[n-1] = 2 cos(2 pi hz / rate) x[n] to within its rounding; the sample
// indices where the difference exceeds `threshold` are returned, once per run. A rounded
// sine stays within 2; a lost whole number of periods cannot be seen.
std::vector<size_t> sineSkips(
    const std::vector<double>& signal, double hz, double rate, double threshold);

// The largest magnitude in the signal (0 for an empty one).
double peakMagnitude(const std::vector<double>& signal);

// Sample indices where bursts of a bit-coded signal start: the magnitude rises above
// threshold after at least minGap samples at or below it. A burst already under way at
// the first sample is not counted, since its start is not in the signal.
std::vector<size_t> burstStarts(const std::vector<double>& signal, double threshold, size_t minGap);

// Reads the bits of a burst that starts at sample `start`, each bit lasting bitSamples
// samples: the level at the middle of each bit, '1' for a level below -threshold, '0' for
// one above +threshold, '?' for anything between. Stops at the end of the signal.
std::string readBits(const std::vector<double>& signal, size_t start, double bitSamples,
    size_t bitCount, double threshold);

} // namespace vellox::audio::testing
