#include "HeadlessPlay.h"

#include "Generator.h"
#include "GeneratorInstrument.h"
#include "RemoteServer.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <csignal>

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

    constexpr int SweepTickMs = 10;
    constexpr int WatchMs = 50; // the signals and the device

} // namespace

std::string playWithoutWindow(const HeadlessSettings& settings, audio::SdlSoundBackend& backend,
    const std::string& deviceId, std::optional<double> seconds, const std::string& remoteAddress)
{
    const InterruptWatch watch;
    Generator generator(backend);
    generator.sound().setDeviceId(deviceId);
    generator.adopt(settings.state, settings.module1, settings.steps, settings.signal);

    GeneratorInstrument instrument(generator);
    RemoteServer server(instrument);
    if (!remoteAddress.empty()) {
        if (const std::string trouble = server.listen(remoteAddress); !trouble.empty())
            return "the remote control cannot listen on " + remoteAddress + ": " + trouble;
    }

    std::string failure;
    QEventLoop loop;
    auto fail = [&](const std::string& reason) {
        if (failure.empty())
            failure = reason;
        loop.quit();
    };
    try {
        generator.restart();
    } catch (const std::exception& e) {
        return e.what();
    }

    // The sweep steps while the sound plays, as the window's Timer1 does.
    QTimer sweep;
    sweep.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sweep, &QTimer::timeout, [&] {
        if (!generator.playing())
            return;
        const int16_t next = generator.nextSweepFrequency();
        if (next == generator.state().Frequency1)
            return;
        generator.state().Frequency1 = next;
        try {
            generator.restart();
        } catch (const std::exception& e) {
            fail(e.what());
        }
    });
    sweep.start(SweepTickMs);
    QTimer watchTimer;
    QObject::connect(&watchTimer, &QTimer::timeout, [&] {
        if (watch.interrupted())
            loop.quit();
        else if (const auto lost = generator.watchDevice())
            fail(*lost);
    });
    watchTimer.start(WatchMs);
    if (seconds)
        QTimer::singleShot(int(*seconds * 1000.0), &loop, &QEventLoop::quit);
    loop.exec();

    server.close();
    try {
        if (generator.playing())
            generator.stop();
    } catch (const std::exception& e) {
        if (failure.empty())
            failure = e.what();
    }
    // The device fades out and closes with the backend; the objects go first.
    generator.sound().ReleaseSound();
    return failure;
}

} // namespace vellox
