// The window over the real SDL backend with SDL's disk driver: "Start" must put the
// buffer the window computed into the device's output stream, looping.

#include "FormGen.h"
#include "Messages.h"
#include "SdlSoundBackend.h"

#include <QFile>
#include <QtTest>

#include <cstring>

using namespace vellox;

class FormGenSdlDiskTest : public QObject {
    Q_OBJECT

private slots:
    void startWritesTheLoopToTheDevice()
    {
        const QByteArray path = qgetenv("SDL_DISKAUDIOFILE");
        QVERIFY(!path.isEmpty());
        QFile::remove(QString::fromLocal8Bit(path));
        QStringList messages;
        setMessageHandler([&](QWidget*, const QString& text) { messages << text; });

        audio::SdlSoundBackend backend;
        FormGen window(backend);
        window.setEndProgram([] {});
        QVERIFY(messages.isEmpty());
        window.Play_Click();
        QVERIFY(messages.isEmpty());
        QVERIFY(window.sound().hasSoundBuffer());

        // The looped buffer: RepetitiveTime x 2 x SampleRate bytes from the start of Samples.
        const int32_t bytes = 196000;
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
};

QTEST_MAIN(FormGenSdlDiskTest)
#include "FormGenSdlDiskTest.moc"
