// Plays a 1000 Hz sine on both channels at 98000 Hz through the SDL backend for the given
// number of seconds, the way the generator plays its start values. Run by with_pulse.sh
// against a real PulseAudio server (SDL_AUDIODRIVER=pulseaudio).

#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace vellox::audio;

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    constexpr int32_t rate = 98000;
    constexpr float repetitiveTime = 1.0f;
    try {
        SdlSoundBackend backend;
        SoundObjects objects(backend);
        objects.InitSound(rate, repetitiveTime);
        const int32_t bytes = bufferByteCount(repetitiveTime, rate);
        // 98000 frames: exactly 1000 periods of 1000 Hz, so the loop is seamless.
        std::vector<int16_t> samples(size_t(bytes) / 2);
        for (size_t f = 0; f < samples.size() / 2; ++f) {
            const double v = 20000.0 * std::sin(2.0 * M_PI * 1000.0 * double(f) / rate);
            samples[2 * f] = int16_t(std::lrint(v));
            samples[2 * f + 1] = int16_t(std::lrint(0.5 * v));
        }
        objects.WriteBuffer(0, bytes, samples.data(), 0);
        objects.Play(1);
        std::printf("pulse_tone: driver %s, device %d Hz, format 0x%x, %d channels, %d frames\n",
            backend.driverName().c_str(), backend.obtained().freq, backend.obtained().format,
            backend.obtained().channels, backend.obtained().samples);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        objects.ReleaseSound();
    } catch (const SoundError& e) {
        std::fprintf(stderr, "pulse_tone: %s\n", e.what());
        return 1;
    }
    return 0;
}
