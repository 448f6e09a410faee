// The window over the real SDL backend with SDL's disk driver: "Start" must put the
// buffer the window computed into the device's output stream, looping, and a typed
// frequency must come out as that one spectral line, loop after loop.

#include "FormGen.h"
#include "FrequencyEstimator.h"
#include "MessageCapture.h"
#include "Messages.h"
#include "PictureBox.h"
#include "SdlSoundBackend.h"
#include "SignalAnalysis.h"
#include "SoundObjects.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cmath>
#include <cstring>

using namespace vellox;

namespace {

// The disk driver's stream so far as interleaved 16-bit stereo.
std::vector<int16_t> readStream(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<int16_t> values(size_t(bytes.size()) / 2);
    if (!values.empty()) // an empty vector's data() may be null, which memcpy must not see
        std::memcpy(values.data(), bytes.constData(), values.size() * 2);
    return values;
}

} // namespace

class FormGenSdlDiskTest : public QObject {
    Q_OBJECT

private slots:
    void startWritesTheLoopToTheDevice()
    {
        const QByteArray path = qgetenv("SDL_DISKAUDIOFILE");
        QVERIFY(!path.isEmpty());
        QFile::remove(QString::fromLocal8Bit(path));
        QStringList messages;
        vellox::testing::captureMessages(messages);

        audio::SdlSoundBackend backend;
        FormGen window(backend);
        window.setEndProgram([] {});
        QVERIFY(messages.isEmpty());
        window.Play_Click();
        QVERIFY(messages.isEmpty());
        QVERIFY(window.sound().hasSoundBuffer());

        // The looped buffer: RepetitiveTime x 4 x SampleRate bytes from the start of Samples.
        const int32_t bytes = 392000;
        const QByteArray loop(reinterpret_cast<const char*>(window.state().Samples.data()), bytes);
        // Start fades in from the buffer's first frame over the transition's frames, whose
        // first ones round to silence; from the end of the fade on, the device's stream is
        // the buffer exactly, for a whole pass and on into the next.
        const qsizetype fadeBytes = 4
            * qsizetype(
                std::lround(audio::SdlSoundBackend::DefaultFadeMilliseconds * 98000 / 1000.0));

        QFile file(QString::fromLocal8Bit(path));
        QByteArray written;
        qsizetype sound = -1; // the first frame that is not silent
        // The disk driver writes in real time: wait until a whole pass and part of the
        // next have come out, without depending on how fast that happens.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
                    return false;
                file.seek(0);
                written = file.readAll();
                sound = -1;
                for (qsizetype at = 0; at + 4 <= written.size(); at += 4) {
                    if (written.mid(at, 4) != QByteArray(4, '\0')) {
                        sound = at;
                        break;
                    }
                }
                return sound >= 0 && written.size() >= sound + bytes + 4096;
            }(),
            20000);
        // The buffer's frame 0 came out at most a fade before the first sound.
        qsizetype start = -1;
        for (qsizetype s0 = std::max<qsizetype>(0, sound - fadeBytes); s0 <= sound; s0 += 4) {
            if (written.mid(s0 + fadeBytes, bytes - fadeBytes) == loop.mid(fadeBytes)) {
                start = s0;
                break;
            }
        }
        QVERIFY2(start >= 0, "no whole pass of the buffer after the fade-in");
        QCOMPARE(written.mid(start + bytes, 4096), loop.left(4096));
        // Within the fade every value lies between silence and the buffer's.
        for (qsizetype at = start; at < start + fadeBytes; at += 2) {
            int16_t got, want;
            std::memcpy(&got, written.constData() + at, 2);
            std::memcpy(&want, loop.constData() + (at - start), 2);
            QVERIFY(want >= 0 ? (got >= 0 && got <= want) : (got <= 0 && got >= want));
        }

        window.Command2_Click();
        QVERIFY(!window.sound().hasSoundBuffer());
        setMessageHandler(nullptr);
    }

    // Start, a click on the F1 scale that starts a linear sweep, over two seconds of it,
    // "Man", Stop: the stream the device got has no step anywhere, and while the sweep runs
    // its level over every millisecond stays within 3 dB of the tone's. With the abrupt
    // hand-over the same run is full of clicks, which shows that the count can see them.
    void changesAreClickFree_data()
    {
        QTest::addColumn<int>("fadeMs");
        QTest::newRow("cross-faded") << int(audio::SdlSoundBackend::DefaultFadeMilliseconds);
        QTest::newRow("abrupt") << 0;
    }

    void changesAreClickFree()
    {
        QFETCH(int, fadeMs);
        const QString path = QString::fromLocal8Bit(qgetenv("SDL_DISKAUDIOFILE"));
        QStringList messages;
        setMessageHandler([&](QWidget*, const QString& text) { messages << text; });
        audio::SdlSoundBackend backend;
        backend.setFadeMilliseconds(fadeMs);
        // Periods of 10 ms, as long as a sweep step: each step is its own transition, so
        // that the abrupt hand-over shows a click for nearly every one.
        backend.setLatencyMilliseconds(20);
        QFile::remove(path);
        size_t sweepFrom = 0, sweepTo = 0;
        {
            FormGen window(backend);
            window.setEndProgram([] {});
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            auto framesNow = [&] { return size_t(QFileInfo(path).size() / 4); };
            // Each step waits for a stretch of the stream itself (0.3 s at 98000 Hz).
            const auto streamGoesOn = [&] {
                const size_t from = framesNow();
                return QTest::qWaitFor([&] { return framesNow() >= from + 29400; }, 30000);
            };
            QTest::mouseClick(window.Play, Qt::LeftButton);
            QVERIFY(streamGoesOn());
            window.Option5->setChecked(true); // "Lin"
            // A press at x = 80 on the F1 scale: 2000 Hz, and the sweep starts from there.
            const QPoint at(80 + PictureBox::BorderWidth, 12 + PictureBox::BorderWidth);
            QTest::mousePress(window.Picture1, Qt::LeftButton, {}, at);
            QTest::mouseRelease(window.Picture1, Qt::LeftButton, {}, at);
            sweepFrom = framesNow();
            // A hundred steps and more, and over a second of the stream: however long the
            // machine takes for them.
            QTRY_VERIFY_WITH_TIMEOUT(
                window.state().Frequency1 > 3000 && framesNow() > sweepFrom + 9800 + 98000, 60000);
            sweepTo = framesNow();
            window.Option4->setChecked(true); // "Man"
            QVERIFY(streamGoesOn());
            QVERIFY(window.state().Frequency1 < 6000);
            QTest::mouseClick(window.Stop, Qt::LeftButton);
            QVERIFY(streamGoesOn());
            window.Command2_Click();
        }
        QVERIFY(messages.isEmpty());
        setMessageHandler(nullptr);

        const std::vector<int16_t> stream = readStream(path);
        const auto left = audio::testing::channel(stream, 0, 0, stream.size() / 2);
        const size_t clicks = audio::testing::countClicks(left, 3000);
        // The sweep, from 0.1 s after its start (the file lags the callbacks) to its end.
        const size_t from = sweepFrom + 9800;
        QVERIFY(sweepTo > from + 98000);
        const std::vector<double> sweep(left.begin() + long(from), left.begin() + long(sweepTo));
        const auto [low, high] = audio::testing::levelRangeDb(sweep, 98, 14142 / std::sqrt(2.0));
        qInfo("fade %d ms: %zu clicks in %.2f s; sweep level over every 1 ms %.2f .. %.2f dB",
            fadeMs, clicks, double(left.size()) / 98000, low, high);
        if (fadeMs > 0) {
            QCOMPARE(clicks, size_t(0));
            QVERIFY2(low >= -3 && high <= 3, "the level left the 3 dB band during the sweep");
        } else {
            QVERIFY2(clicks > 50, "the abrupt hand-over should have clicked at every step");
        }
    }

    void typedFrequencyIsTheOnlyLine_data()
    {
        QTest::addColumn<QString>("rateOption");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("hz");
        QTest::addColumn<double>("cleanDb"); // every other line at least this far down
        // Odd frequencies: a loop that held half a second would start them half a cycle
        // off at every pass, leaving two lines at hz - 1 and hz + 1 and nothing at hz.
        QTest::newRow("1001 Hz at 98000") << "Option12" << 98000 << 1001 << 80.0;
        QTest::newRow("19999 Hz at 44100") << "Option11" << 44100 << 19999 << 65.0;
        QTest::newRow("441 Hz at 192000") << "Option13" << 192000 << 441 << 65.0;
    }

    void typedFrequencyIsTheOnlyLine()
    {
        QFETCH(QString, rateOption);
        QFETCH(int, rate);
        QFETCH(int, hz);
        QFETCH(double, cleanDb);
        const QString path = QString::fromLocal8Bit(qgetenv("SDL_DISKAUDIOFILE"));
        QVERIFY(!path.isEmpty());
        QStringList messages;
        vellox::testing::captureMessages(messages);

        audio::SdlSoundBackend backend;
        FormGen window(backend);
        window.setEndProgram([] {});
        // Opening the device at another rate starts the file afresh.
        window.findChild<QRadioButton*>(rateOption)->setChecked(true);
        window.Text1->setText(QString::number(hz));
        window.Command4_Click(); // takes F1 and restarts: F1 on both channels
        QCOMPARE(window.state().Frequency1, int16_t(hz));
        QCOMPARE(window.state().SampleRate, rate);

        // Four seconds of output after the first sound, past a short settling time: four
        // passes of the one-second loop, so its seams are inside what is analysed.
        const size_t settle = size_t(rate) / 5;
        const size_t frames = 4 * size_t(rate);
        std::vector<int16_t> stream;
        size_t first = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                stream = readStream(path);
                first = audio::testing::firstLoudFrame(stream, 100);
                return first + settle + frames <= stream.size() / 2;
            }(),
            30000);
        for (size_t side : { 0, 1 }) {
            const auto signal = audio::testing::channel(stream, side, first + settle, frames);
            const auto spectrum = audio::testing::amplitudeSpectrum(signal, rate);
            const auto [peakHz, peak] = spectrum.strongest(0, rate / 2.0);
            QVERIFY2(std::abs(peakHz - hz) <= spectrum.binHz,
                qPrintable(QStringLiteral("strongest line at %1 Hz").arg(peakHz)));
            // The window's main lobe reaches 1 Hz either side of the line over 4 s.
            const double lobe = 1.0 + 2 * spectrum.binHz;
            const auto below = spectrum.strongest(0, hz - lobe);
            const auto above = spectrum.strongest(hz + lobe, rate / 2.0);
            const double other = std::max(below.second, above.second);
            const double db = 20 * std::log10(other / peak);
            qInfo("%d Hz at %d Hz, channel %zu: next line %.1f dB down at %.1f Hz", hz, rate, side,
                -db, below.second > above.second ? below.first : above.first);
            QVERIFY2(db <= -cleanDb, qPrintable(QStringLiteral("a line %1 dB down").arg(-db)));
        }
        QVERIFY(messages.isEmpty());
        window.Command2_Click();
        setMessageHandler(nullptr);
    }
};

QTEST_MAIN(FormGenSdlDiskTest)
#include "FormGenSdlDiskTest.moc"
