#pragma once

// Waits for what the window does on its timers, counted rather than timed: a busy machine
// runs the same turns later, never fewer of them.

#include <QTest>
#include <QTimer>
#include <QWidget>

namespace vellox::testing {

// Waits (at most deadlineMs) until the window's device watch ("DeviceWatch") has looked
// `looks` more times; false when it never did.
inline bool waitForDeviceWatch(QWidget* window, int looks, int deadlineMs = 30000)
{
    auto* watch = window->findChild<QTimer*>(QStringLiteral("DeviceWatch"));
    if (watch == nullptr || !watch->isActive())
        return false;
    int seen = 0;
    const auto counting = QObject::connect(watch, &QTimer::timeout, [&seen] { ++seen; });
    const bool done = QTest::qWaitFor([&] { return seen >= looks; }, deadlineMs);
    QObject::disconnect(counting);
    return done;
}

// Waits (at most deadlineMs) until the event loop has served `periods` periods of a timer of
// `intervalMs`: as many chances as a repeating timer of that interval had to fire, however
// long the machine took for them.
inline bool waitForTimerPeriods(int periods, int intervalMs, int deadlineMs = 30000)
{
    QTimer clock;
    int seen = 0;
    QObject::connect(&clock, &QTimer::timeout, [&seen] { ++seen; });
    clock.start(intervalMs);
    return QTest::qWaitFor([&] { return seen >= periods; }, deadlineMs);
}

} // namespace vellox::testing
