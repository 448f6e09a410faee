// vellox-soak: runs the real window's linear sweep for a given number of minutes on SDL's
// dummy driver (offscreen unless a display platform is chosen), and prints the sweep's
// steps per second and the resident memory at the start, every minute and at the end.
// A developer tool for finding leaks and slow-downs that only show over long runs.
//
// usage: vellox-soak [MINUTES]   (default 10; fractions allowed, e.g. 0.5)

#include "FormGen.h"
#include "SdlSoundBackend.h"
#include "UpDown.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char* argv[])
{
    double minutes = 10.0;
    if (argc > 2 || (argc == 2 && (minutes = std::strtod(argv[1], nullptr)) <= 0.0)) {
        std::fprintf(stderr, "usage: vellox-soak [MINUTES]\n");
        return 2;
    }
    // Unattended by design: no window on screen and no sound unless asked for.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    QApplication app(argc, argv);
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
