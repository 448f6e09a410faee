#include "HeadlessPlay.h"

#include "Generator.h"
#include "GeneratorInstrument.h"
#include "RemoteServer.h"
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

    constexpr int WatchMs = 50; // the signals and the device

} // namespace

std::string playWithoutWindow(Generator& generator, std::optional<double> seconds,
    const std::string& remoteAddress, const std::string& remoteAllow)
{
    const InterruptWatch watch;
    GeneratorInstrument instrument(generator);
    RemoteServer server(instrument);
    if (const std::string trouble = server.setAllowed(remoteAllow); !trouble.empty())
        return "--remote-allow: " + trouble;
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
    if (const SetResult started = generator.start(); !started.ok())
        return started.error().detail();

    // The sweep steps while the sound plays, as the window's Timer1 does; a step that fails
    // ends the play with its reason.
    QTimer sweep;
    sweep.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sweep, &QTimer::timeout, [&] {
        if (const SetResult stepped = generator.sweepStep(ChangeFrom::Script); !stepped.ok())
            fail(stepped.error().detail());
    });
    sweep.start(SweepStepMs);
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
    if (generator.playing()) {
        if (const SetResult stopped = generator.stop(); !stopped.ok() && failure.empty())
            failure = stopped.error().detail();
    }
    // The device fades out and closes with the backend; the objects go first.
    generator.releaseSound();
    return failure;
}

} // namespace vellox
