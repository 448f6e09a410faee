// vellox-soak: long runs of the real window (offscreen unless a display platform is chosen).
//
//   vellox-soak [sweep] [MINUTES]
//       the linear sweep on SDL's dummy driver; the sweep's steps per second and the resident
//       memory at the start, every minute and at the end: for leaks and slow-downs that only
//       show over long runs (default 10 minutes; fractions allowed, e.g. 0.5).
//   vellox-soak gaps [MINUTES] [RATE] [LATENCY_MS]
//       a steady 1000 Hz sine through the sound server, whose default output's monitor is
//       recorded with parec (PulseAudio or PipeWire's pipewire-pulse): every minute and at the
//       end, the gaps in the sound (runs of digital silence, which a server plays when the
//       stream runs dry) and the longest one. For a user who wants to know whether this machine
//       keeps the sound going (default 5 minutes at 98000 Hz, the program's latency).

#include "FormGen.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"
#include "UpDown.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int usage()
{
    std::fprintf(stderr,
        "usage: vellox-soak [sweep] [MINUTES]\n"
        "       vellox-soak gaps [MINUTES] [RATE] [LATENCY_MS]\n");
    return 2;
}

int sweep(QApplication& app, double minutes)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    vellox::audio::SdlSoundBackend backend;
    vellox::FormGen window(backend);
    window.setEndProgram([] {});
    window.show();

    long steps = 0;
    QObject::connect(window.UpDown1, &vellox::UpDown::Change, [&steps] { ++steps; });

    const long startKiB = residentKiB();
    std::printf("start: resident %ld KiB, rate %d Hz\n", startKiB, window.state().SampleRate);
    std::fflush(stdout);

    window.Option5->click(); // "Lin"
    window.Play_Click();

    QElapsedTimer clock;
    clock.start();
    long stepsAtLastReport = 0;
    qint64 msAtLastReport = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const qint64 ms = clock.elapsed();
        std::printf("%6.1f min: %7.1f steps/s, F1 %5d Hz, resident %ld KiB\n", ms / 60000.0,
            double(steps - stepsAtLastReport) * 1000.0 / double(ms - msAtLastReport),
            int(window.state().Frequency1), residentKiB());
        std::fflush(stdout);
        stepsAtLastReport = steps;
        msAtLastReport = ms;
    });
    report.start(60000);
    QTimer::singleShot(int(minutes * 60000.0), &app, &QCoreApplication::quit);
    app.exec();

    const double seconds = double(clock.elapsed()) / 1000.0;
    const long endKiB = residentKiB();
    std::printf("end: %ld steps in %.1f s = %.1f steps/s; resident %ld KiB at start, %ld KiB at "
                "end (%+ld KiB)\n",
        steps, seconds, double(steps) / seconds, startKiB, endKiB, endKiB - startKiB);
    return 0;
}

// Runs of digital silence on both channels inside a tone, from a stream of s16 frames.
class GapCounter {
public:
    explicit GapCounter(int rate)
        : m_rate(rate)
    {
    }
    void add(const int16_t* frames, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const int16_t l = frames[2 * i], r = frames[2 * i + 1];
            if (!m_toneSeen) {
                m_toneSeen = std::abs(l) > 1000;
                continue;
            }
            ++m_frames;
            if (l == 0 && r == 0) {
                ++m_run;
                continue;
            }
            endRun();
        }
    }
    void endRun()
    {
        // A tone at a useful level is never 0 on both channels for 8 frames running.
        if (m_run >= 8) {
            ++m_gaps;
            m_silent += m_run;
            m_longest = std::max(m_longest, m_run);
        }
        m_run = 0;
    }
    bool toneSeen() const { return m_toneSeen; }
    std::string summary() const
    {
        char line[200];
        std::snprintf(line, sizeof line,
            "%.1f s of sound, %ld gaps, %.1f ms silent, longest %.1f ms", double(m_frames) / m_rate,
            m_gaps, 1000.0 * double(m_silent) / m_rate, 1000.0 * double(m_longest) / m_rate);
        return line;
    }

private:
    int m_rate;
    bool m_toneSeen = false;
    long m_frames = 0;
    long m_run = 0;
    long m_gaps = 0;
    long m_silent = 0;
    long m_longest = 0;
};

int gaps(QApplication& app, double minutes, int rate, int latencyMs)
{
    // The recording at a rate of its own: the server converts it from the sink's, which
    // turns a gap into silence all the same.
    constexpr int RecordRate = 48000;
    QProcess recorder;
    recorder.start(QStringLiteral("parec"),
        { QStringLiteral("-d"), QStringLiteral("@DEFAULT_MONITOR@"),
            QStringLiteral("--format=s16le"), QStringLiteral("--channels=2"),
            QStringLiteral("--rate=%1").arg(RecordRate), QStringLiteral("--raw"),
            QStringLiteral("--latency-msec=50") });
    if (!recorder.waitForStarted(5000)) {
        std::fprintf(stderr,
            "vellox-soak: parec does not start (%s); it comes with PulseAudio's utilities "
            "(Debian: pulseaudio-utils) and works with PipeWire's pipewire-pulse too\n",
            qPrintable(recorder.errorString()));
        return 1;
    }
    GapCounter counter(RecordRate);
    QByteArray pending;
    QObject::connect(&recorder, &QProcess::readyReadStandardOutput, [&] {
        pending += recorder.readAllStandardOutput();
        const size_t frames = size_t(pending.size()) / 4;
        std::vector<int16_t> samples(frames * 2);
        std::memcpy(samples.data(), pending.constData(), frames * 4);
        counter.add(samples.data(), frames);
        pending.remove(0, qsizetype(frames * 4));
    });

    vellox::audio::SdlSoundBackend backend;
    if (latencyMs > 0)
        backend.setLatencyMilliseconds(latencyMs);
    vellox::FormGen window(backend);
    window.setEndProgram([] {});
    const auto index = vellox::sampleRateIndex(rate);
    if (index == vellox::SampleRateCount) {
        std::fprintf(
            stderr, "vellox-soak: the rate is one of %s\n", vellox::sampleRateList().c_str());
        return 2;
    }
    window.RateOption_Click(index);
    QTimer::singleShot(2000, [&] { // an idle sink holds a new stream back
        window.Play_Click();
        std::printf("playing 1000 Hz at %d Hz through SDL's %s driver, %d ms held ahead, "
                    "periods of %d frames; the audio thread: %s\n",
            rate, backend.driverName().c_str(), backend.latencyMilliseconds(),
            int(backend.obtained().samples), backend.audioThreadScheduling().c_str());
        std::fflush(stdout);
    });
    QElapsedTimer clock;
    clock.start();
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf(
            "%6.1f min: %s\n", double(clock.elapsed()) / 60000.0, counter.summary().c_str());
        std::fflush(stdout);
    });
    report.start(60000);
    QTimer::singleShot(2000 + int(minutes * 60000.0), &app, &QCoreApplication::quit);
    app.exec();
    window.Stop_Click();
    recorder.terminate();
    recorder.waitForFinished(3000);
    counter.endRun();
    if (!counter.toneSeen()) {
        std::fprintf(stderr, "vellox-soak: the default output's monitor heard nothing\n");
        return 1;
    }
    std::printf("end: %s\n", counter.summary().c_str());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Unattended by design: no window on screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int next = 1;
    std::string mode = "sweep";
    if (argc > 1 && (std::strcmp(argv[1], "sweep") == 0 || std::strcmp(argv[1], "gaps") == 0))
        mode = argv[next++];
    const double minutes
        = next < argc ? std::strtod(argv[next++], nullptr) : (mode == "gaps" ? 5.0 : 10.0);
    if (!(minutes > 0.0))
        return usage();
    QApplication app(argc, argv);
    if (mode == "sweep")
        return next == argc ? sweep(app, minutes) : usage();
    const int rate = next < argc ? std::atoi(argv[next++]) : vellox::StartSampleRate;
    const int latency = next < argc ? std::atoi(argv[next++]) : 0;
    return next == argc ? gaps(app, minutes, rate, latency) : usage();
}
