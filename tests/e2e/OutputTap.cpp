#include "OutputTap.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace {

// A minute of 48000 Hz stereo: longer than any run of a test with the tap.
constexpr size_t Capacity = 60 * 48000 * 2;

struct Tap {
    std::unique_ptr<int16_t[]> samples { new int16_t[Capacity] };
    std::atomic<size_t> count { 0 }; // published by the audio thread
    std::atomic<bool> full { false };
};

Tap& tap()
{
    static Tap t;
    return t;
}

// The program's callback, behind the one SDL calls. One device is open at a time.
struct Wrapped {
    SDL_AudioCallback callback = nullptr;
    void* userdata = nullptr;
    bool s16 = false;
};
Wrapped g_wrapped;

void SDLCALL tappedCallback(void* userdata, Uint8* stream, int len)
{
    const auto* w = static_cast<const Wrapped*>(userdata);
    w->callback(w->userdata, stream, len);
    if (!w->s16 || len <= 0)
        return;
    Tap& t = tap();
    const size_t at = t.count.load(std::memory_order_relaxed);
    const size_t want = size_t(len) / sizeof(int16_t);
    const size_t n = std::min(want, Capacity - at);
    std::memcpy(t.samples.get() + at, stream, n * sizeof(int16_t));
    t.count.store(at + n, std::memory_order_release);
    if (n < want)
        t.full.store(true, std::memory_order_relaxed);
}

} // namespace

namespace vellox::e2e {

void OutputTap::reset()
{
    tap().count.store(0, std::memory_order_relaxed);
    tap().full.store(false, std::memory_order_relaxed);
}

std::vector<double> OutputTap::channel(int c)
{
    const Tap& t = tap();
    const size_t frames = t.count.load(std::memory_order_acquire) / 2;
    std::vector<double> out(frames);
    for (size_t k = 0; k < frames; ++k)
        out[k] = t.samples[2 * k + size_t(c)];
    return out;
}

bool OutputTap::full()
{
    return tap().full.load(std::memory_order_relaxed);
}

} // namespace vellox::e2e

// In front of SDL's own: the program's calls resolve here, and this calls SDL's.
extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture,
    const SDL_AudioSpec* desired, SDL_AudioSpec* obtained, int allowed_changes)
{
    using Open = SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "SDL_OpenAudioDevice"));
    if (real == nullptr)
        return 0;
    if (desired == nullptr || desired->callback == nullptr || iscapture != 0)
        return real(device, iscapture, desired, obtained, allowed_changes);
    SDL_AudioSpec wanted = *desired;
    g_wrapped = { desired->callback, desired->userdata, desired->format == AUDIO_S16SYS };
    wanted.callback = &tappedCallback;
    wanted.userdata = &g_wrapped;
    return real(device, iscapture, &wanted, obtained, allowed_changes);
}
