// The window's own restart path against the real SDL backend on SDL's dummy driver, whose
// audio thread runs the real callback: thousands of restarts through the front panel's
// handlers (new objects over the old, write, the hand-over of a new buffer), some a few
// hundred microseconds apart, with stops, rate changes and the sweep's real timer among them.
// Built and run under ThreadSanitizer by scripts/test, which sees any buffer that the UI
// thread writes or frees while the audio thread can still read it.

#include "FormGen.h"
#include "MessageCapture.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"
#include "UpDown.h"

#include <QElapsedTimer>
#include <QRadioButton>
#include <QTest>

#include <chrono>
#include <thread>

using namespace vellox;

class FormGenRestartStressTest : public QObject {
    Q_OBJECT

private slots:
    void restartsWhileTheAudioThreadPlays()
    {
        QStringList messages;
        testing::captureMessages(messages);
        qputenv("SDL_AUDIODRIVER", "dummy");
        audio::SdlSoundBackend backend;
        // Short periods: the audio thread takes requests up often, so that it meets the
        // restarts mid-way rather than a whole batch at a time.
        backend.setLatencyMilliseconds(audio::MinLatencyMs);
        FormGen window(backend);
        window.setEndProgram([] {});
        window.RateOption_Click(0); // the smallest buffers: the most restarts for the time
        window.Play_Click();

        QElapsedTimer clock;
        clock.start();
        // Enough to meet every rate (a change each 500) and forty stops.
        constexpr int Restarts = 2000;
        const uint64_t transitionsBefore = backend.transitions();
        for (int i = 0; i < Restarts; ++i) {
            // Two frequencies in turn: after the first two, the sample cache hands the
            // buffers back, so each restart is the sound layer's work alone.
            window.UpDown1->setValue(i % 2 == 0 ? 1001 : 1000);
            if (i % 50 == 25)
                window.Stop_Click();
            if (i % 500 == 250) {
                // A rate change silences; Start opens the device at the new rate.
                window.RateOption_Click(size_t(i / 500 + 1) % SampleRateCount);
                window.Play_Click();
            }
            if (i % 3 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (i % 10 == 0)
                QCoreApplication::processEvents(); // the device watch, Timer1's tick
        }
        qInfo("%d restarts in %lld ms", Restarts, clock.elapsed());
        QCOMPARE(messages, QStringList {});
        // The audio thread did take the restarts up as they came, not after the loop.
        QTRY_VERIFY_WITH_TIMEOUT(backend.transitions() >= transitionsBefore + 100, 20000);

        // The sweep on its real timer, restarting every 10 ms, for a hundred steps.
        window.Option5->setChecked(true);
        window.Play_Click();
        const int16_t from = window.state().Frequency1;
        QTRY_VERIFY_WITH_TIMEOUT(window.state().Frequency1 >= from + 1000, 60000);
        window.Option4->setChecked(true);
        qInfo("and the sweep by %lld ms", clock.elapsed());

        window.Command2_Click();
        QVERIFY(!window.sound().hasSoundBuffer());
        // Everything the audio thread had comes back as the last sound fades out.
        QTRY_COMPARE_WITH_TIMEOUT(backend.liveBuffers(), size_t(0), 20000);
        QCOMPARE(messages, QStringList {});
    }
};

QTEST_MAIN(FormGenRestartStressTest)
#include "FormGenRestartStressTest.moc"
