// Reads a raw s16le stereo recording and checks that both channels carry 1000 Hz within
// 0.5 Hz, measured over about two seconds after the tone begins.

#include "FrequencyEstimator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

using namespace vellox::audio::testing;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: pulse_measure recording.raw rate [expected-hz]\n");
        return 2;
    }
    const double rate = std::atof(argv[2]);
    const double expected = argc > 3 ? std::atof(argv[3]) : 1000.0;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> frames(raw.size() / 4 * 2);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = int16_t(uint16_t(uint8_t(raw[2 * i])) | uint16_t(uint8_t(raw[2 * i + 1]) << 8));
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
