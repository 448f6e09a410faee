// Reads a raw s16le stereo recording and checks that both channels carry 1000 Hz within
// 0.5 Hz, measured over about two seconds after the tone begins; or, with --gaps, that the
// tone holds no gap from its first to its last loud frame: no run of digital silence on
// both channels, which is what a sound server plays when a stream runs dry.

#include "FrequencyEstimator.h"
#include "SignalAnalysis.h"

#include <cstring>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

using namespace vellox::audio::testing;

namespace {

std::vector<int16_t> readRecording(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> frames(raw.size() / 4 * 2);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = int16_t(uint16_t(uint8_t(raw[2 * i])) | uint16_t(uint8_t(raw[2 * i + 1]) << 8));
    return frames;
}

int gaps(const char* path, double rate, double seconds)
{
    const std::vector<int16_t> frames = readRecording(path);
    const size_t total = frames.size() / 2;
    const size_t onset = firstLoudFrame(frames, 1000);
    size_t end = total;
    while (end > onset && std::abs(frames[2 * (end - 1)]) < 1000)
        --end;
    if (onset >= total || double(end - onset) < seconds * rate) {
        std::fprintf(stderr, "pulse_measure: %.2f s of tone recorded, %.2f s expected\n",
            double(end > onset ? end - onset : 0) / rate, seconds);
        return 1;
    }
    const auto left = channel(frames, 0, onset, end - onset);
    const auto right = channel(frames, 1, onset, end - onset);
    // A tone at a useful level is never 0 on both channels for 8 frames running.
    const std::vector<size_t> starts = dropouts(left, right, 8);
    size_t longest = 0;
    for (const size_t at : starts) {
        size_t run = 0;
        while (at + run < left.size() && left[at + run] == 0 && right[at + run] == 0)
            ++run;
        longest = std::max(longest, run);
    }
    std::printf("pulse_measure: %.2f s of tone, %zu gaps, longest %.1f ms\n",
        double(end - onset) / rate, starts.size(), 1000.0 * double(longest) / rate);
    return starts.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--gaps") == 0)
        return gaps(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (argc < 3) {
        std::fprintf(stderr,
            "usage: pulse_measure recording.raw rate [expected-hz]\n"
            "       pulse_measure --gaps recording.raw rate min-seconds\n");
        return 2;
    }
    const double rate = std::atof(argv[2]);
    const double expected = argc > 3 ? std::atof(argv[3]) : 1000.0;
    const std::vector<int16_t> frames = readRecording(argv[1]);
    const size_t total = frames.size() / 2;
    const size_t onset = firstLoudFrame(frames, 1000);
    std::printf("pulse_measure: %zu frames recorded (%.2f s), tone from %.2f s\n", total,
        double(total) / rate, double(onset) / rate);
    if (onset >= total) {
        std::fprintf(stderr, "pulse_measure: the recording is silent\n");
        return 1;
    }
    // Skip the first 0.2 s (stream start), then take up to two seconds.
    const size_t first = onset + size_t(0.2 * rate);
    const size_t count = size_t(2.0 * rate);
    bool ok = true;
    const char* names[2] = { "left", "right" };
    for (size_t ch = 0; ch < 2; ++ch) {
        const auto est = estimateFrequency(channel(frames, ch, first, count), rate);
        if (!est) {
            std::fprintf(stderr, "pulse_measure: no tone on the %s channel\n", names[ch]);
            ok = false;
            continue;
        }
        const bool good = std::abs(est->hz - expected) <= 0.5;
        std::printf("pulse_measure: %s %.5f Hz over %zu periods (%s)\n", names[ch], est->hz,
            est->periods, good ? "ok" : "WRONG");
        ok = ok && good && est->periods >= size_t(expected);
    }
    return ok ? 0 : 1;
}
