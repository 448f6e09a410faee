#include "HeadlessPlay.h"

#include "Render.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace vellox {

namespace {

    volatile std::sig_atomic_t g_interrupted = 0;

    extern "C" void onInterrupt(int)
    {
        g_interrupted = 1;
    }

    // SIGINT and SIGTERM end the play instead of the process, for the time of one.
    class InterruptWatch {
    public:
        InterruptWatch()
        {
            g_interrupted = 0;
            struct sigaction action { };
            action.sa_handler = &onInterrupt;
            sigemptyset(&action.sa_mask);
            sigaction(SIGINT, &action, &m_oldInt);
            sigaction(SIGTERM, &action, &m_oldTerm);
        }
        ~InterruptWatch()
        {
            sigaction(SIGINT, &m_oldInt, nullptr);
            sigaction(SIGTERM, &m_oldTerm, nullptr);
        }
        InterruptWatch(const InterruptWatch&) = delete;
        InterruptWatch& operator=(const InterruptWatch&) = delete;
        bool interrupted() const { return g_interrupted != 0; }

    private:
        struct sigaction m_oldInt { };
        struct sigaction m_oldTerm { };
    };

    constexpr auto SweepTick = std::chrono::milliseconds(10);

} // namespace

std::string playWithoutWindow(HeadlessSettings settings, audio::SdlSoundBackend& backend,
    const std::string& deviceId, std::optional<double> seconds)
{
    using Clock = std::chrono::steady_clock;
    const InterruptWatch watch;
    audio::SoundObjects objects(backend);
    objects.setDeviceId(deviceId);
    UniformSource random;
    GeneratorState& s = settings.state;

    // As the window's Start: the old sound (if any) cross-fades into the new buffer.
    auto restart = [&] {
        const std::vector<int16_t> loop = loopFrames(settings, random);
        objects.beginRestart();
        try {
            objects.ReleaseSound();
            objects.InitSound(s.SampleRate, settings.module1.RepetitiveTime);
            objects.SetSignalPhase(signalPhaseOf(s));
            objects.WriteBuffer(0, int32_t(loop.size() * 2), loop.data(), 0);
            objects.Play(1);
        } catch (...) {
            objects.endRestart();
            throw;
        }
        objects.endRestart();
    };

    const Clock::time_point begin = Clock::now();
    const Clock::time_point end = seconds ? begin
            + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds))
                                          : Clock::time_point::max();
    try {
        restart();
        Clock::time_point tick = begin + SweepTick;
        while (!watch.interrupted() && Clock::now() < end) {
            std::this_thread::sleep_until(std::min(tick, end));
            if (const auto lost = backend.lostDevice())
                return *lost;
            if (Clock::now() >= tick) {
                tick += SweepTick;
                const int16_t next = nextSweepFrequency(s.SweepMode, s.Frequency1);
                if (next != s.Frequency1) {
                    s.Frequency1 = next;
                    restart();
                }
            }
        }
        objects.Stop();
    } catch (const std::exception& e) {
        return e.what();
    }
    // The device fades out and closes with the backend; the objects go first.
    objects.ReleaseSound();
    return {};
}

} // namespace vellox
