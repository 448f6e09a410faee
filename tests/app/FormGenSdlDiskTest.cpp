// The window over the real SDL backend with SDL's disk driver: "Start" must put the
// buffer the window computed into the device's output stream, looping, and a typed
// frequency must come out as that one spectral line, loop after loop.

#include "FormGen.h"
#include "FrequencyEstimator.h"
#include "MessageCapture.h"
#include "Messages.h"
#include "SdlSoundBackend.h"
#include "SignalAnalysis.h"
#include "SoundObjects.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

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
        // The sine's first frame is 0 on both channels and its second is not: the loop
        // starts one frame before the first frame of sound after the device's silence.
        QCOMPARE(loop.left(4), QByteArray(4, '\0'));
        QVERIFY(loop.mid(4, 4) != QByteArray(4, '\0'));

        QFile file(QString::fromLocal8Bit(path));
        QByteArray written;
        qsizetype start = -1;
        // The disk driver writes in real time: wait until a whole pass and part of the
        // next have come out, without depending on how fast that happens.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
                    return false;
                file.seek(0);
                written = file.readAll();
                start = -1;
                for (qsizetype at = 0; at + 4 <= written.size(); at += 4) {
                    if (written.mid(at, 4) != QByteArray(4, '\0')) {
                        start = at - 4;
                        break;
                    }
                }
                return start >= 0 && written.size() >= start + bytes + 4096;
            }(),
            20000);
        // One whole pass, then the loop starts again from the buffer's first bytes.
        QCOMPARE(written.mid(start, bytes), loop);
        QCOMPARE(written.mid(start + bytes, 4096), loop.left(4096));

        window.Command2_Click();
        QVERIFY(!window.sound().hasSoundBuffer());
        setMessageHandler(nullptr);
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
