// The program where SDL can open no output at all (run with SDL_AUDIODRIVER naming a
// driver that does not exist, or pulseaudio with no server to reach): the window starts
// with the failure message once, stays usable, and every restart reports the failure
// exactly once, without a crash or a hang.

#include "FormGen.h"
#include "MessageCapture.h"
#include "Messages.h"
#include "PictureBox.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace vellox;

namespace {

void clickOption(QRadioButton* option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

} // namespace

class FormGenNoDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void everyRestartReportsOnce()
    {
        QVERIFY2(!qEnvironmentVariable("SDL_AUDIODRIVER").isEmpty(),
            "the test names the driver SDL must fail with");
        QStringList messages;
        vellox::testing::captureMessages(messages);
        const QString failure = QString::fromLatin1(PlayFailureMessage);

        audio::SdlSoundBackend backend;
        FormGen window(backend);
        window.setEndProgram([] {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Once at start; the window is up, silent, with no sound objects.
        QCOMPARE(messages, QStringList { failure });
        QVERIFY(!window.sound().hasSoundDevice());
        QCOMPARE(backend.deviceRate(), 0);

        // "Start", again and again: one message each, nothing left running.
        for (int press = 1; press <= 3; ++press) {
            QTest::mouseClick(window.Play, Qt::LeftButton);
            QCOMPARE(messages.size(), 1 + press);
            QVERIFY(!window.sound().hasSoundBuffer());
            QVERIFY(!window.Timer1->isActive());
        }

        // Every other restart as well, and the settings still take effect.
        clickOption(window.Option10);
        QCOMPARE(messages.size(), 5);
        QCOMPARE(window.state().ChannelMode, int16_t(6));

        QTest::mousePress(window.Picture1, Qt::LeftButton, {},
            QPoint(80 + PictureBox::BorderWidth, 12 + PictureBox::BorderWidth));
        QCOMPARE(messages.size(), 6);
        QCOMPARE(window.state().Frequency1, int16_t(2000));
        QCOMPARE(window.Text1->text(), QStringLiteral("2000"));

        window.Text1->setFocus();
        QTest::keyClick(window.Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(window.Text1, QStringLiteral("440"));
        QTest::keyClick(window.Text1, Qt::Key_Return);
        QCOMPARE(messages.size(), 7);
        QCOMPARE(window.state().Frequency1, int16_t(440));

        // "Stop" and a rate change without a device report nothing; the rate is kept for
        // the next start, whose failure is reported once.
        QTest::mouseClick(window.Stop, Qt::LeftButton);
        clickOption(window.Option11);
        QCOMPARE(messages.size(), 7);
        QCOMPARE(window.state().SampleRate, 44100);
        // The delayed recomputation after a rate change runs quietly.
        QVERIFY(window.Timer2->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Timer2->isActive(), 30000);
        QCOMPARE(messages.size(), 7);
        QTest::mouseClick(window.Play, Qt::LeftButton);
        QCOMPARE(messages.size(), 8);
        QVERIFY(!window.state().Samples.empty());

        for (const QString& m : messages)
            QCOMPARE(m, failure);

        QTest::mouseClick(window.Command2, Qt::LeftButton);
        QCOMPARE(messages.size(), 8);
        setMessageHandler(nullptr);
    }
};

QTEST_MAIN(FormGenNoDeviceTest)
#include "FormGenNoDeviceTest.moc"
