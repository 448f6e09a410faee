// ui-probe: the window in a real event loop, offscreen over SDL's dummy driver, for the
// figures a handler benchmark cannot give.
//
//   ui-probe sweep [seconds] [noise]
//                              linear sweep of F1 at every sample rate: steps per
//                              second (the ceiling is 100, one step per 10 ms tick) and the
//                              median and worst period between steps; `noise` sets the
//                              noise spinner first (0..10), whose buffers are never reused
//   ui-probe drag              800 left-button moves across the F1 scale, one per pixel:
//                              (a) all posted at once, events handled per second;
//                              (b) fed at a mouse's rate of one per millisecond, the lag
//                              between an event's feed time and its handling
//   ui-probe rss               resident memory (VmRSS) after start-up and after a Start at
//                              the highest rate, with the sound playing
//
// The platform and the sound driver default to offscreen and dummy; set QT_QPA_PLATFORM or
// SDL_AUDIODRIVER to measure another.

#include "FormGen.h"
#include "PictureBox.h"
#include "SdlSoundBackend.h"
#include "UpDown.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace vellox;

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void selectRate(FormGen& window, int32_t rate)
{
    window.RateOption[sampleRateIndex(rate)]->setChecked(true);
}

int sweep(FormGen& window, double seconds, int noise)
{
    window.UpDown5->setValue(noise);
    std::printf("rate    steps  seconds  steps/s  median-period-ms  worst-period-ms\n");
    for (const int32_t rate : SampleRates) {
        window.Option4->setChecked(true); // manual: the sweep stands still while we set up
        selectRate(window, rate);
        window.UpDown1->setValue(1000);
        window.Play_Click(); // opens the device at this rate
        runFor(200);

        std::vector<double> stamps;
        stamps.reserve(4096);
        QElapsedTimer clock;
        const auto connection = QObject::connect(window.UpDown1, &UpDown::Change, &window,
            [&](int) { stamps.push_back(double(clock.nsecsElapsed()) / 1e6); });
        window.Option5->setChecked(true); // linear
        clock.start();
        window.Play_Click(); // arms Timer1: the first step comes 10 ms later
        runFor(int(seconds * 1000));
        const double elapsed = double(clock.nsecsElapsed()) / 1e9;
        QObject::disconnect(connection);
        window.Option4->setChecked(true);
        runFor(50);

        std::vector<double> periods;
        for (size_t i = 1; i < stamps.size(); ++i)
            periods.push_back(stamps[i] - stamps[i - 1]);
        const double worst
            = periods.empty() ? 0 : *std::max_element(periods.begin(), periods.end());
        const double rateSteps = stamps.size() > 1
            ? double(stamps.size() - 1) / ((stamps.back() - stamps.front()) / 1000.0)
            : 0;
        std::printf("%-6d  %5zu  %7.2f  %7.2f  %16.3f  %15.3f\n", rate, stamps.size(), elapsed,
            rateSteps, median(periods), worst);
    }
    return 0;
}

QMouseEvent* moveEvent(QWidget* picture, int x)
{
    const QPointF at(x + PictureBox::BorderWidth, 12 + PictureBox::BorderWidth);
    return new QMouseEvent(QEvent::MouseMove, at, picture->mapToGlobal(at), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
}

int drag(FormGen& window)
{
    constexpr int Events = 800;
    for (std::size_t i = 1; i < SampleRateCount; ++i) { // the rates above the lowest
        const int32_t rate = SampleRates[i];
        window.Option4->setChecked(true);
        selectRate(window, rate);
        window.UpDown1->setValue(1000);
        window.Play_Click();
        runFor(200);
        QWidget* picture = window.Picture1;

        // (a) The whole drag queued at once: how fast the queue drains.
        int handled = 0;
        const auto counter
            = QObject::connect(window.UpDown1, &UpDown::Change, &window, [&](int) { ++handled; });
        QElapsedTimer clock;
        clock.start();
        for (int x = 0; x < Events; ++x)
            QCoreApplication::postEvent(picture, moveEvent(picture, x));
        QCoreApplication::sendPostedEvents(picture, QEvent::MouseMove);
        const double drain = double(clock.nsecsElapsed()) / 1e9;
        QObject::disconnect(counter);
        std::printf("%d Hz, posted at once: %d events in %.1f ms, %.0f events/s, %d restarts\n",
            rate, Events, drain * 1000, Events / drain, handled);
        runFor(100);

        // (b) One event per millisecond, as a fast mouse delivers them; the lag of each
        // event is the time from its due feed time to the end of its handling.
        window.UpDown1->setValue(1000);
        runFor(100);
        std::vector<double> lags;
        lags.reserve(Events);
        int next = 0;
        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        feeder.setInterval(1);
        clock.restart();
        QEventLoop loop;
        QObject::connect(&feeder, &QTimer::timeout, &loop, [&] {
            // Every event whose time has come is fed, even when the loop came late.
            const double now = double(clock.nsecsElapsed()) / 1e6;
            while (next < Events && double(next) <= now) {
                std::unique_ptr<QMouseEvent> event(moveEvent(picture, next));
                QCoreApplication::sendEvent(picture, event.get());
                lags.push_back(double(clock.nsecsElapsed()) / 1e6 - double(next));
                ++next;
            }
            if (next == Events)
                loop.quit();
        });
        feeder.start();
        loop.exec();
        feeder.stop();
        const double total = double(clock.nsecsElapsed()) / 1e6;
        std::printf("%d Hz, one per ms: %d events over %.1f ms (ideal %d), lag median %.3f ms, "
                    "worst %.3f ms\n",
            rate, Events, total, Events, median(lags), *std::max_element(lags.begin(), lags.end()));
        runFor(100);
    }
    window.Timer1->stop();
    return 0;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int rss(FormGen& window)
{
    runFor(1000);
    std::printf("VmRSS at rest after start-up: %.1f MB\n", double(residentKiB()) / 1024);
    window.RateOption.back()->setChecked(true);
    window.Play_Click();
    runFor(1000);
    std::printf("VmRSS after a Start at %d Hz (playing): %.1f MB\n", int(SampleRates.back()),
        double(residentKiB()) / 1024);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "sweep" && mode != "drag" && mode != "rss") {
        std::fprintf(stderr, "usage: ui-probe sweep [seconds] [noise] | drag | rss\n");
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    audio::SdlSoundBackend backend;
    int result = 0;
    {
        FormGen window(backend);
        window.setEndProgram([] {});
        window.show();
        if (mode == "sweep")
            result = sweep(
                window, argc > 2 ? std::atof(argv[2]) : 3.0, argc > 3 ? std::atoi(argv[3]) : 0);
        else if (mode == "drag")
            result = drag(window);
        else
            result = rss(window);
    }
    return result;
}
