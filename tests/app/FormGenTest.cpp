// The main window with the recording sound backend: start-up, the road of one event,
// playback, the sweeps, the option groups, the spinners, the entry and the scales.
// Timers are driven by calling their handlers, except in the two sweep tests that prove
// what only the real tick does (they wait for ticks, never for a duration to be short).

#include "FormGen.h"
#include "CaptionLook.h"
#include "ControlCaptions.h"
#include "DialogAnswers.h"
#include "EventWaits.h"
#include "FakeOps.h"
#include "FakeSoundBackend.h"
#include "FormCode.h"
#include "FrequencyScale.h"
#include "InstrumentPanel.h"
#include "MessageCapture.h"
#include "Messages.h"
#include "PictureBox.h"
#include "ProgramLook.h"
#include "Rounding.h"
#include "SoundObjects.h"
#include "StepEdit.h"
#include "TimeView.h"
#include "UpDown.h"
#include "frmAboutGen.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <memory>

using namespace vellox;
using audio::FakeSoundBackend;
using audio::SoundOp;
using Kind = audio::SoundOp::Kind;
using vellox::testing::captureMessages;
using vellox::testing::countKind;
using vellox::testing::lastOp;
using vellox::testing::rejectNext;

namespace {

const QColor Green(0, 255, 0);

bool isColour(const QImage& image, int x, int y, QColor colour)
{
    return QColor(image.pixel(x, y)).rgb() == colour.rgb();
}

// Where the window's pictures go: this build folder, or VELLOX_GRAB_DIR (the pristine
// system's test collects them from there).
QString grabFolder()
{
    return qEnvironmentVariable("VELLOX_GRAB_DIR", QStringLiteral(VELLOX_TEST_OUTPUT_DIR));
}

} // namespace

class FormGenTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeSoundBackend> fake;
    std::unique_ptr<FormGen> window;
    QStringList messages;
    int endCalls = 0;

    void makeWindow()
    {
        window = std::make_unique<FormGen>(*fake);
        window->setEndProgram([this] { ++endCalls; });
    }

    // The restart handed the player a looping buffer that holds the first bytes of Samples.
    void verifyPlaying(int32_t expectedBytes)
    {
        QVERIFY(fake->playing());
        QVERIFY(fake->playingLooped());
        const SoundOp* handed = fake->lastHandover();
        QVERIFY(handed);
        QCOMPARE(int(handed->data.size()), expectedBytes);
        QCOMPARE(handed->sampleRate, window->state().SampleRate);
        const auto& samples = window->state().Samples;
        QVERIFY(samples.size() * 2 >= size_t(expectedBytes));
        QVERIFY(std::memcmp(handed->data.data(), samples.data(), size_t(expectedBytes)) == 0);
        QCOMPARE(window->Timer1->isActive(), true);
        QCOMPARE(window->Timer1->interval(), 10);
    }

private slots:
    // As the program starts: its style, font substitutes and palette.
    void initTestCase() { applyProgramLook(); }

    void init()
    {
        messages.clear();
        endCalls = 0;
        captureMessages(messages);
        fake = std::make_unique<FakeSoundBackend>();
        makeWindow();
    }

    void cleanup()
    {
        window.reset();
        fake.reset();
        setMessageHandler(nullptr);
        QApplication::setPalette(programPalette());
    }

    void startUpWindow()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral(" Korvane  Vellox"));
        // The front panel keeps its client area; the menu bar stands above it, outside it.
        QCOMPARE(window->Client->size(), QSize(803, 237));
        QCOMPARE(window->Client->pos(), QPoint(0, window->MenuBar->height()));
        QVERIFY(window->MenuBar->height() > 0);
        QCOMPARE(window->MenuBar->geometry(), QRect(0, 0, 803, window->MenuBar->height()));
        QCOMPARE(window->size(), QSize(803, 237 + window->MenuBar->height()));
        QCOMPARE(window->MenuBar->actions().size(), 1);
        QCOMPARE(window->MenuBar->actions()[0]->menu(), window->InstrumentMenu);
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void startUpState()
    {
        const GeneratorState& s = window->state();
        QCOMPARE(s.SampleRate, 98000);
        QCOMPARE(s.Frequency1, int16_t(1000));
        QCOMPARE(s.Frequency2, int16_t(100));
        QCOMPARE(s.Samples.size(), size_t(98001));
        QVERIFY(std::all_of(s.Samples.begin(), s.Samples.end(), [](int16_t v) { return v == 0; }));
        QCOMPARE(s.SweepMode, std::string("manual"));
        QCOMPARE(s.TimeViewSpan, 12700);
        QCOMPARE(window->Text1->text(), QStringLiteral("1000"));
        QCOMPARE(window->Text2->text(), QStringLiteral("100"));
        QCOMPARE(window->module1().BitCode, std::string("10011101010001101010111000101011"));
    }

    // Controls at their start values: a property of the control with that name.
    void startUpControls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        auto row = [](const char* name, const char* property, QVariant value) {
            QTest::addRow("%s.%s", name, property)
                << QString::fromLatin1(name) << QByteArray(property) << value;
        };
        row("UpDown1", "value", 1000);
        row("UpDown3", "value", 100);
        row("UpDown2", "value", 1);
        row("UpDown4", "value", 1);
        row("UpDown5", "value", 0);
        row("UpDown6", "value", 1000);
        row("UpDown7", "value", 50);
        row("UpDown7", "minimum", 1);
        row("UpDown7", "maximum", 100);
        row("Slider1", "value", 127);
        row("Slider1", "pageStep", 5);
        row("Option1_0", "checked", true);
        row("Option2", "checked", true);
        row("Option4", "checked", true);
        row("Option12", "checked", true);
        row("Command3", "enabled", false);
        row("Option9", "enabled", true);
        row("Timer1", "active", false);
        row("Timer2", "active", false);
        row("Label5", "text", QStringLiteral("Level = - 3 dB"));
        row("Label4", "text", QStringLiteral("Level = - 3 dB"));
        row("Label2", "text", QStringLiteral("0 %"));
        row("Label3", "text", QStringLiteral("rap=50%"));
    }

    void startUpControls()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        const QObject* control = window->findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->property(property.constData()), value);
    }

    void startUpDevice()
    {
        // The device is open with an empty, stopped buffer for 98000 Hz.
        QStringList ops;
        for (const std::string& op : fake->describedOps())
            ops << QString::fromStdString(op);
        QCOMPARE(ops, QStringList { QStringLiteral("OpenDevice(\"\" rate=98000 s16)") });
        QVERIFY(window->sound().hasSoundBuffer());
        const audio::BufferDesc& desc = window->sound().bufferDesc();
        QCOMPARE(desc.BufferBytes, 392000);
        QCOMPARE(desc.Format.SamplesPerSec, 98000);
        QCOMPARE(desc.Format.AvgBytesPerSec, 392000);
        QCOMPARE(int(desc.Format.BlockAlign), 4);
        QVERIFY(!fake->playing());
        QVERIFY(messages.isEmpty());
    }

    void startUpDrawing()
    {
        // Both scales drawn with their cursors; the time view is empty.
        QVERIFY(isColour(window->Picture1->canvas(), 40, 16, Green));
        QVERIFY(isColour(window->Picture1->canvas(), 39, 16, Green));
        QVERIFY(isColour(window->Picture2->canvas(), 4, 16, Green));
        const QImage view = window->Picture3->canvas();
        bool empty = true;
        for (int y = 0; y < view.height() && empty; ++y)
            for (int x = 0; x < view.width() && empty; ++x)
                empty = QColor(view.pixel(x, y)).rgb() == QColor(Qt::black).rgb();
        QVERIFY(empty);
    }

    void captionsAndNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Play") << "Play"
                              << "Start";
        QTest::newRow("Stop") << "Stop"
                              << "Stop";
        QTest::newRow("Command1") << "Command1"
                                  << "Help";
        QTest::newRow("Command2") << "Command2"
                                  << "Exit";
        QTest::newRow("Command3") << "Command3"
                                  << "Set Bit";
        QTest::newRow("Command4") << "Command4"
                                  << "Enter Frq1";
        QTest::newRow("Command5") << "Command5"
                                  << "Enter Frq2";
        QTest::newRow("Command6") << "Command6"
                                  << "About";
        QTest::newRow("Frame2") << "Frame2"
                                << "Frequency1  ";
        QTest::newRow("Frame4") << "Frame4"
                                << "Frequency2   ";
        QTest::newRow("Frame3") << "Frame3"
                                << "Noise";
        QTest::newRow("Frame7") << "Frame7"
                                << "Settings";
        QTest::newRow("Frame5") << "Frame5"
                                << "Sweep F1";
        QTest::newRow("Frame6") << "Frame6"
                                << "";
        QTest::newRow("Frame1") << "Frame1"
                                << "";
        QTest::newRow("Option11") << "Option11"
                                  << "44100 Hz";
        QTest::newRow("Option12") << "Option12"
                                  << "98000Hz";
        QTest::newRow("Option13") << "Option13"
                                  << "192000 Hz";
        QTest::newRow("Option2") << "Option2"
                                 << "F1 Left<->F1 Right";
        QTest::newRow("Option3") << "Option3"
                                 << "F1+ F2";
        QTest::newRow("Option7") << "Option7"
                                 << "Modulation AM ";
        QTest::newRow("Option8") << "Option8"
                                 << "Modulation  AM-SP";
        QTest::newRow("Option9") << "Option9"
                                 << "Modulation FM";
        QTest::newRow("Option10") << "Option10"
                                  << "Stereo: F1-L,  F2-R";
        QTest::newRow("Option4") << "Option4"
                                 << "Man";
        QTest::newRow("Option5") << "Option5"
                                 << "Lin";
        QTest::newRow("Option6") << "Option6"
                                 << "Log";
        const char* waves[] = { "Sine", "Pw Sine", "Square", "Trapeze", "W Noise", "Triangle",
            "PWM", "Stairs", "Bit Code", "Bit Two-Tone Code", "Stairs" };
        static_assert(std::size(waves) == WaveformCount, "a caption for every waveform");
        for (int i = 0; i < WaveformCount; ++i) {
            const QString name = QStringLiteral("Option1_%1").arg(i);
            QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(waves[i]);
        }
        QTest::newRow("Label1") << "Label1"
                                << "Time. Only View";
        QTest::newRow("Label6") << "Label6"
                                << "Hz";
        QTest::newRow("Label7") << "Label7"
                                << "Hz";
        QTest::newRow("Label8") << "Label8"
                                << "defazaj ";
    }

    void captionsAndNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QObject* control = window->findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            text = button->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            text = frame->title();
        else if (auto* label = qobject_cast<QLabel*>(control))
            text = label->text();
        QCOMPARE(text, caption);
    }

    void everyControlIsNamed()
    {
        QStringList names { "Picture1", "Picture2", "Picture3", "Picture4", "Picture5", "Text1",
            "Text2", "Slider1", "Timer1", "Timer2" };
        for (int i = 1; i <= 7; ++i)
            names << QStringLiteral("UpDown%1").arg(i);
        for (int i = 1; i <= 8; ++i)
            names << QStringLiteral("Label%1").arg(i);
        for (const QString& name : names)
            QVERIFY2(window->findChild<QObject*>(name), qPrintable(name));
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("Timer1")));
        // The frequency boxes keep the design's Arial 14.25 pt.
        QCOMPARE(window->Text1->font().pointSizeF(), 14.25);
        QCOMPARE(window->Label7->font().pointSizeF(), 14.25);
    }

    void roadOfOneEvent()
    {
        // F1 set elsewhere first, then a press at x = 40 on the F1 scale.
        window->UpDown1->setValue(440);
        QCOMPARE(window->state().Frequency1, int16_t(440));
        QCOMPARE(window->Text1->text(), QStringLiteral("440"));
        fake->clearOps();

        window->Picture1_MouseDown(1, 0, 40.0f, 12.0f);

        QCOMPARE(window->state().Frequency1, int16_t(1000));
        QCOMPARE(window->UpDown1->value(), 1000);
        QCOMPARE(window->Text1->text(), QStringLiteral("1000"));
        QCOMPARE(window->state().Marker1X, 40.0f);
        const QImage scale = window->Picture1->canvas();
        QVERIFY(isColour(scale, 39, 16, Green));
        QVERIFY(isColour(scale, 40, 16, Green));
        QVERIFY(isColour(scale, 17, 16, Qt::black)); // the 440 Hz cursor is gone
        QVERIFY(isColour(scale, 18, 16, Qt::black));

        // New objects were made over the old ones and a new buffer written and handed over,
        // looping.
        QCOMPARE(countKind(*fake, Kind::OpenDevice), 1);
        QCOMPARE(countKind(*fake, Kind::Play), 1);
        QVERIFY(window->sound().hasSoundBuffer());
        QVERIFY(fake->deviceOpen());
        QCOMPARE(int(lastOp(*fake, Kind::Play)->data.size()), 392000);
        QVERIFY(lastOp(*fake, Kind::Play)->looping);
        verifyPlaying(392000);
        QCOMPARE(window->state().Samples.size(), size_t(2 * 98000 + 1));

        // 10 ms later: one recomputation, then the timer goes idle.
        window->Timer1_Timer();
        QVERIFY(!window->Timer1->isActive());
        QVERIFY(fake->playing());
        QVERIFY(messages.isEmpty());
    }

    void realPointerPressOnScale()
    {
        // The same road through a real press: canvas x = widget x - the 2-pixel border.
        QTest::mousePress(window->Picture1, Qt::LeftButton, {},
            QPoint(80 + PictureBox::BorderWidth, 12 + PictureBox::BorderWidth));
        QCOMPARE(window->state().Frequency1, int16_t(2000));
        QCOMPARE(window->Text1->text(), QStringLiteral("2000"));
        QVERIFY(fake->playing());
    }

    void startTwice()
    {
        window->Play_Click();
        QVERIFY(fake->playing());
        fake->clearOps();
        window->Play_Click();
        // A new buffer takes over from the one that plays: no silence in between.
        QCOMPARE(countKind(*fake, Kind::Play), 1);
        QCOMPARE(countKind(*fake, Kind::Silence), 0);
        QCOMPARE(countKind(*fake, Kind::CloseDevice), 0);
        QVERIFY(window->sound().hasSoundBuffer());
        QVERIFY(window->sound().hasDxObject());
        verifyPlaying(392000);
        QVERIFY(messages.isEmpty());
    }

    void stopThenStart()
    {
        window->Play_Click();
        window->Stop_Click();
        QVERIFY(!fake->playing());
        // Device and buffer stay open.
        QVERIFY(window->sound().hasSoundBuffer());
        QVERIFY(fake->deviceOpen());
        QVERIFY(window->Timer1->isActive()); // Stop leaves the timer alone
        window->Play_Click();
        verifyPlaying(392000);
        // Stop without any buffer is harmless too.
        window->Stop_Click();
        window->Stop_Click();
        QVERIFY(messages.isEmpty());
    }

    void modeOptionsRestart_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("mode");
        QTest::newRow("F1 both") << "Option2" << 1;
        QTest::newRow("F1+F2") << "Option3" << 2;
        QTest::newRow("AM") << "Option7" << 3;
        QTest::newRow("AM-SP") << "Option8" << 4;
        QTest::newRow("FM") << "Option9" << 5;
        QTest::newRow("Stereo") << "Option10" << 6;
    }

    void modeOptionsRestart()
    {
        QFETCH(QString, option);
        QFETCH(int, mode);
        if (option == QLatin1String("Option2"))
            window->Option3->setChecked(true); // Option2 is selected at start
        fake->clearOps();
        auto* button = window->findChild<QRadioButton*>(option);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        QVERIFY(button->isChecked());
        QCOMPARE(int(window->state().ChannelMode), mode);
        QCOMPARE(countKind(*fake, Kind::Play), 1);
        verifyPlaying(392000);
    }

    void waveformOptionsRestart_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("bitFamily");
        // "Bit Code" and every option after it in index order enable FM and "Set Bit".
        for (int i = 0; i < WaveformCount; ++i)
            QTest::newRow(qPrintable(QStringLiteral("index %1").arg(i)))
                << i << (i == WaveBitCode || i == WaveBitTwoTone || i == WaveStairsRising);
    }

    void waveformOptionsRestart()
    {
        QFETCH(int, index);
        QFETCH(bool, bitFamily);
        if (index == 0)
            window->Option1[1]->setChecked(true);
        fake->clearOps();
        int dialogs = 0;
        if (index == 8)
            rejectNext<FormCode>(&dialogs);
        window->Option1[size_t(index)]->setChecked(true);
        QCOMPARE(int(window->state().Waveform), index);
        QCOMPARE(window->Option9->isEnabled(), bitFamily);
        QCOMPARE(window->Command3->isEnabled(), bitFamily);
        QCOMPARE(dialogs, index == 8 ? 1 : 0);
        QCOMPARE(countKind(*fake, Kind::Play), 1);
        verifyPlaying(392000);
        QVERIFY(messages.isEmpty());
    }

    void setBitOpensDialogAndCancelRestarts()
    {
        int dialogs = 0;
        rejectNext<FormCode>(&dialogs);
        window->Option1[8]->setChecked(true);
        QCOMPARE(dialogs, 1);
        QVERIFY(window->Command3->isEnabled());
        const Module1 before = window->module1();
        fake->clearOps();
        rejectNext<FormCode>(&dialogs);
        QTest::mouseClick(window->Command3, Qt::LeftButton);
        QCOMPARE(dialogs, 2);
        QCOMPARE(window->module1().BitCode, before.BitCode);
        QCOMPARE(window->module1().RepetitiveTime, before.RepetitiveTime);
        QCOMPARE(window->module1().BitLength, before.BitLength);
        QCOMPARE(countKind(*fake, Kind::Play), 1);
        verifyPlaying(392000);
    }

    // A change from another face while the dialog is open stays: OK stores only the boxes its
    // user changed.
    void bitCodeDialogKeepsAChangeMadeWhileOpen()
    {
        int dialogs = 0;
        rejectNext<FormCode>(&dialogs);
        window->Option1[8]->setChecked(true);
        QTimer::singleShot(0, [this] {
            auto* d = testing::visibleTopLevel<FormCode>();
            QVERIFY(d);
            Module1 elsewhere = window->module1();
            elsewhere.RepetitiveTime = 0.5f;
            QVERIFY(window->generator().setBitCode(elsewhere, ChangeFrom::Script).ok());
            d->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))
                ->setPlainText(QStringLiteral("1100"));
            d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        });
        QTest::mouseClick(window->Command3, Qt::LeftButton);
        QCOMPARE(window->module1().BitCode, std::string("1100"));
        QCOMPARE(window->module1().RepetitiveTime, 0.5f);
        QVERIFY(messages.isEmpty());
    }

    void fmGreyedRules()
    {
        // At start FM is available with "Sine".
        QVERIFY(window->Option9->isEnabled());
        window->Option9->setChecked(true);
        QCOMPARE(int(window->state().ChannelMode), 5);
        // A waveform below 8 greys FM out but leaves it selected and the mode at 5.
        window->Option1[1]->setChecked(true);
        QVERIFY(!window->Option9->isEnabled());
        QVERIFY(window->Option9->isChecked());
        QCOMPARE(int(window->state().ChannelMode), 5);
        QVERIFY(!window->Command3->isEnabled());
        // Two-tone code: enabled, no dialog.
        int dialogs = 0;
        window->Option1[9]->setChecked(true);
        QVERIFY(window->Option9->isEnabled());
        QVERIFY(window->Command3->isEnabled());
        QCOMPARE(dialogs, 0);
        // The lower "Stairs" behaves as the bit-code waveforms.
        window->Option1[7]->setChecked(true);
        QVERIFY(!window->Option9->isEnabled());
        window->Option1[10]->setChecked(true);
        QVERIFY(window->Option9->isEnabled());
        QVERIFY(window->Command3->isEnabled());
    }

    void sweepOptionsOnlyRecord()
    {
        fake->clearOps();
        window->Option5->setChecked(true);
        QCOMPARE(window->state().SweepMode, std::string("linear"));
        window->Option6->setChecked(true);
        QCOMPARE(window->state().SweepMode, std::string("logaritmic"));
        window->Option4->setChecked(true);
        QCOMPARE(window->state().SweepMode, std::string("manual"));
        QVERIFY(fake->ops().empty());
        QVERIFY(!window->Timer1->isActive());
    }

    void linearSweep()
    {
        window->Option5->setChecked(true);
        window->UpDown1->setValue(19970);
        QVERIFY(window->Timer1->isActive());
        const int16_t expected[] = { 19980, 19990, 20, 30, 40 };
        for (int16_t f : expected) {
            window->Timer1_Timer();
            QCOMPARE(window->state().Frequency1, f);
            QCOMPARE(window->UpDown1->value(), int(f));
            QCOMPARE(window->Text1->text(), QString::number(f));
            verifyPlaying(392000);
        }
        // "Man" ends the sweep at the next tick, F1 where the sweep left it.
        window->Option4->setChecked(true);
        window->Timer1_Timer();
        QCOMPARE(window->state().Frequency1, int16_t(40));
        QVERIFY(!window->Timer1->isActive());
        QVERIFY(fake->playing());
    }

    void logSweepSteps_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("from 20") << 20 << QList<int> { 21, 22, 23, 24, 25 };
        QTest::newRow("from 1000") << 1000 << QList<int> { 1024, 1048, 1073, 1098, 1124 };
        QTest::newRow("near 43") << 42 << QList<int> { 43, 45, 47 };
        QTest::newRow("wrap") << 19838 << QList<int> { 20, 21 };
    }

    void logSweepSteps()
    {
        QFETCH(int, from);
        QFETCH(QList<int>, steps);
        window->Option6->setChecked(true);
        window->UpDown1->setValue(from);
        for (int f : steps) {
            window->Timer1_Timer();
            QCOMPARE(int(window->state().Frequency1), f);
            QCOMPARE(window->UpDown1->value(), f);
        }
    }

    void logSweepCycleHas272Values()
    {
        window->Option6->setChecked(true);
        window->UpDown1->setValue(20);
        int values = 1;
        int last = 20;
        for (;;) {
            window->Timer1_Timer();
            const int f = window->state().Frequency1;
            if (f == 20)
                break;
            QVERIFY(f > last);
            last = f;
            ++values;
            QVERIFY(values < 400);
        }
        QCOMPARE(values, 272);
        QCOMPARE(last, 19838);
    }

    void rateChangeSilencesAndRearms_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bytes");
        QTest::newRow("44100") << "Option11" << 44100 << 176400;
        QTest::newRow("192000") << "Option13" << 192000 << 768000;
    }

    void rateChangeSilencesAndRearms()
    {
        QFETCH(QString, option);
        QFETCH(int, rate);
        QFETCH(int, bytes);
        window->Play_Click();
        QVERIFY(fake->playing());
        fake->clearOps();
        window->findChild<QRadioButton*>(option)->setChecked(true);
        QCOMPARE(window->state().SampleRate, rate);
        QVERIFY(!fake->playing());
        QCOMPARE(window->sound().bufferDesc().BufferBytes, bytes);
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->sampleRate, rate);
        QCOMPARE(countKind(*fake, Kind::Play), 0);
        QCOMPARE(window->state().Samples.size(), size_t(2 * rate + 1));
        QVERIFY(!window->Timer1->isActive());
        QVERIFY(window->Timer2->isActive());
        QCOMPARE(window->Timer2->interval(), 1000);

        window->Timer2_Timer();
        QVERIFY(window->Timer1->isActive());
        QCOMPARE(window->Timer1->interval(), 10);
        QVERIFY(!window->Timer2->isActive());

        window->Timer1_Timer(); // "manual": recompute once, still silent
        QVERIFY(!window->Timer1->isActive());
        QCOMPARE(window->state().Samples.size(), size_t(2 * rate + 1));
        QVERIFY(!fake->playing());

        window->Play_Click();
        verifyPlaying(bytes);
    }

    void rateChangeDuringLinearSweepResumes()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        window->Option11->setChecked(true);
        QVERIFY(!window->Timer1->isActive());
        window->Timer2_Timer();
        window->Timer1_Timer();
        QCOMPARE(window->state().Frequency1, int16_t(1010));
        verifyPlaying(176400);
    }

    void rateChangeWithoutDeviceOnlyRecords()
    {
        fake->failOn(Kind::OpenDevice, "no device");
        window->Play_Click();
        QCOMPARE(messages, QStringList { QString::fromLatin1(PlayFailureMessage) });
        QVERIFY(!window->sound().hasSoundDevice());
        fake->clearOps();
        window->Option13->setChecked(true);
        QCOMPARE(window->state().SampleRate, 192000);
        QCOMPARE(countKind(*fake, Kind::OpenDevice), 0);
        QCOMPARE(messages.size(), 1);
        window->Play_Click();
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->sampleRate, 192000);
        verifyPlaying(768000);
    }

    void levelCaptions_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<float>("factor");
        QTest::newRow("0") << 0 << "Level =  0 dB" << 1.0f;
        QTest::newRow("2") << 2 << "Level = - 6 dB" << float(std::pow(10.0, -6.0 / 20.0));
        QTest::newRow("3") << 3 << "Level = - 9 dB" << float(std::pow(10.0, -9.0 / 20.0));
        QTest::newRow("15") << 15 << "Level = - 45 dB" << float(std::pow(10.0, -45.0 / 20.0));
    }

    void levelCaptions()
    {
        QFETCH(int, value);
        QFETCH(QString, caption);
        QFETCH(float, factor);
        fake->clearOps();
        window->UpDown2->setValue(value);
        QCOMPARE(window->Label5->text(), caption);
        QCOMPARE(window->state().Level1, factor);
        QCOMPARE(window->Label4->text(), QStringLiteral("Level = - 3 dB"));
        QCOMPARE(window->state().Level2, float(1.0 / std::sqrt(2.0)));
        verifyPlaying(392000);
        window->UpDown4->setValue(value);
        QCOMPARE(window->Label4->text(), caption);
        QCOMPARE(window->state().Level2, factor);
    }

    void noiseAndDutyCaptions_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<float>("noise");
        QTest::newRow("10") << 10 << "100 % " << 1.0f;
        QTest::newRow("3") << 3 << "30 % " << float(3 / 10.0);
    }

    void noiseAndDutyCaptions()
    {
        QFETCH(int, value);
        QFETCH(QString, caption);
        QFETCH(float, noise);
        window->UpDown5->setValue(value);
        QCOMPARE(window->Label2->text(), caption);
        QCOMPARE(window->state().NoiseLevel, noise);
        window->UpDown5->setValue(0);
        QCOMPARE(window->Label2->text(), QStringLiteral("0 % "));
        QCOMPARE(window->state().NoiseLevel, 0.0f);
        fake->clearOps();
        window->UpDown7->setValue(1); // restarts even with a sine
        QCOMPARE(window->Label3->text(), QStringLiteral("rap=1"));
        verifyPlaying(392000);
    }

    void spinnerSixChangesNothing()
    {
        fake->clearOps();
        const auto before = window->state().Samples;
        window->UpDown6->setValue(5000);
        QVERIFY(fake->ops().empty());
        QVERIFY(window->state().Samples == before);
    }

    void entry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("440") << "440" << 440 << true;
        QTest::newRow("with unit") << "440 Hz" << 440 << true;
        QTest::newRow("half down to even") << "1234.5" << 1234 << true;
        QTest::newRow("half up to even") << "1235.5" << 1236 << true;
        QTest::newRow("lowest") << "20" << 20 << true;
        QTest::newRow("highest") << "20000" << 20000 << true;
        QTest::newRow("below range") << "5" << 20 << true;
        QTest::newRow("zero") << "0" << 20 << true;
        QTest::newRow("negative") << "-300" << 20 << true;
        QTest::newRow("above range") << "99999" << 20000 << true;
        QTest::newRow("beyond int16") << "1E9" << 20000 << true;
        QTest::newRow("hexadecimal") << "&H1F4" << 500 << true;
        QTest::newRow("blanks inside") << " 1 5 0 0" << 1500 << true;
        QTest::newRow("no number") << "abc" << 1000 << false;
        QTest::newRow("empty") << "" << 1000 << false;
        QTest::newRow("same value") << "1000" << 1000 << false;
    }

    void entry()
    {
        QFETCH(QString, typed);
        QFETCH(int, frequency);
        QFETCH(bool, restarts);
        fake->clearOps();
        window->Text1->setText(typed);
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QCOMPARE(int(window->state().Frequency1), frequency);
        QCOMPARE(window->UpDown1->value(), frequency);
        QCOMPARE(window->Text1->text(), QString::number(frequency));
        QCOMPARE(countKind(*fake, Kind::Play), restarts ? 1 : 0);
        QCOMPARE(window->Picture1->drawMode(), PictureBox::PenMode::Xor);
        // The cursor stands at frequency / 25 (left of x = 10 it meets the label "0").
        QCOMPARE(window->state().Marker1X, cursorX(int16_t(frequency)));
        const int column = int(std::floor(cursorX(int16_t(frequency))));
        if (column >= 10)
            QVERIFY(isColour(window->Picture1->canvas(), std::min(column, 799), 16, Green));
        QCOMPARE(window->state().Frequency2, int16_t(100));
        QVERIFY(messages.isEmpty());
    }

    void entryOfF2ActsOnF2Only()
    {
        window->Text2->setText(QStringLiteral("250"));
        QTest::mouseClick(window->Command5, Qt::LeftButton);
        QCOMPARE(window->state().Frequency2, int16_t(250));
        QCOMPARE(window->UpDown3->value(), 250);
        QCOMPARE(window->Text2->text(), QStringLiteral("250"));
        QCOMPARE(window->state().Frequency1, int16_t(1000));
        QVERIFY(isColour(window->Picture2->canvas(), 10, 16, Green));
        QCOMPARE(window->state().Marker2X, 10.0f);
        // Other keys do nothing but type.
        QTest::keyClick(window->Text2, Qt::Key_5);
        QCOMPARE(window->Text2->text(), QStringLiteral("2505"));
        QCOMPARE(window->state().Frequency2, int16_t(250));
    }

    void scalePointerRules()
    {
        // Right button, moves without the left button alone: nothing.
        fake->clearOps();
        const QImage before = window->Picture2->canvas();
        window->Picture2_MouseDown(2, 0, 100.0f, 10.0f);
        window->Picture2_MouseMove(0, 0, 100.0f, 10.0f);
        window->Picture2_MouseMove(3, 0, 100.0f, 10.0f);
        QVERIFY(fake->ops().empty());
        QVERIFY(window->Picture2->canvas() == before);
        QCOMPARE(window->state().Frequency2, int16_t(100));

        // A press on F2 sets F2 and restarts; the F2 cursor moves.
        window->Picture2_MouseDown(1, 0, 100.0f, 10.0f);
        QCOMPARE(window->state().Frequency2, int16_t(2500));
        QCOMPARE(window->UpDown3->value(), 2500);
        QCOMPARE(window->Text2->text(), QStringLiteral("2500"));
        QVERIFY(isColour(window->Picture2->canvas(), 100, 16, Green));
        QVERIFY(isColour(window->Picture2->canvas(), 99, 16, Green));
        QVERIFY(isColour(window->Picture2->canvas(), 102, 16, Qt::black));
        verifyPlaying(392000);

        // A vertical drag changes nothing.
        fake->clearOps();
        const QImage still = window->Picture2->canvas();
        window->Picture2_MouseMove(1, 0, 100.0f, 30.0f);
        QVERIFY(fake->ops().empty());
        QVERIFY(window->Picture2->canvas() == still);

        // A drag moves the cursor; the drag ends the XOR mode.
        window->Picture2_MouseMove(1, 0, 120.0f, 10.0f);
        QCOMPARE(window->state().Frequency2, int16_t(3000));
        QVERIFY(isColour(window->Picture2->canvas(), 120, 16, Green));
        QVERIFY(isColour(window->Picture2->canvas(), 100, 16, Qt::black));

        // The last column and the first.
        window->Picture2_MouseDown(1, 0, 799.0f, 10.0f);
        QCOMPARE(window->state().Frequency2, int16_t(19975));
        window->Picture2_MouseDown(1, 0, 0.0f, 10.0f);
        QCOMPARE(window->state().Frequency2, int16_t(25));
    }

    void dragPastTheEndsClamps()
    {
        window->Picture1_MouseMove(1, 0, 900.0f, 10.0f);
        QCOMPARE(window->state().Frequency1, int16_t(20000));
        QCOMPARE(window->UpDown1->value(), 20000);
        QCOMPARE(window->Text1->text(), QStringLiteral("20000"));
        // Further out with the spinner already at the end: the cursor stays drawn.
        const QImage atEnd = window->Picture1->canvas();
        window->Picture1_MouseMove(1, 0, 950.0f, 10.0f);
        QVERIFY(window->Picture1->canvas() == atEnd);
        QVERIFY(isColour(atEnd, 799, 16, Green));

        window->Picture1_MouseMove(1, 0, -40.0f, 10.0f);
        QCOMPARE(window->state().Frequency1, int16_t(20));
        QCOMPARE(window->Text1->text(), QStringLiteral("20"));
        const QImage atStart = window->Picture1->canvas();
        window->Picture1_MouseMove(1, 0, -80.0f, 10.0f);
        QVERIFY(window->Picture1->canvas() == atStart);
        QVERIFY(messages.isEmpty());
    }

    void markerFollowsRedrawnCursor()
    {
        // F1 changed by the spinner, then a press at the same frequency: the XOR pair must
        // cancel instead of erasing a stale line and leaving the cursor doubled.
        window->UpDown1->setValue(2000);
        QCOMPARE(window->state().Marker1X, 80.0f);
        const QImage before = window->Picture1->canvas();
        window->Picture1_MouseDown(1, 0, 80.0f, 10.0f);
        QVERIFY(window->Picture1->canvas() == before);
        QVERIFY(isColour(before, 80, 16, Green));
        QVERIFY(isColour(before, 40, 16, Qt::black));
    }

    void timeViewAndSlider()
    {
        window->Play_Click();
        const QImage view = window->Picture3->canvas();
        // Cyan upper trace around y = 25, red lower trace around y = 75.
        int cyan = 0, red = 0;
        for (int x = 0; x < view.width(); ++x) {
            for (int y = 5; y < 45; ++y)
                cyan += isColour(view, x, y, QColor(0, 255, 255)) ? 1 : 0;
            for (int y = 55; y < 94; ++y)
                red += isColour(view, x, y, QColor(255, 0, 0)) ? 1 : 0;
        }
        QVERIFY(cyan > 100);
        QVERIFY(red > 100);
        QCOMPARE(QString::fromStdString(upperTimeViewLabel(window->state().Waveform,
                     window->state().Frequency1, window->module1().BitLength)),
            QStringLiteral(" 1000 Hz"));
        QCOMPARE(QString::fromStdString(lowerTimeViewLabel(window->state().ChannelMode,
                     window->state().Frequency1, window->state().Frequency2)),
            QStringLiteral(" 1000 Hz"));

        // A programmatic value does not scroll; a user step does, without any restart.
        fake->clearOps();
        const auto samples = window->state().Samples;
        window->Slider1->setValue(100);
        QCOMPARE(window->state().TimeViewSpan, 12700);
        window->Slider1->setValue(127);
        window->Slider1->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(window->state().TimeViewSpan, 12600);
        QTest::keyClick(window->Slider1, Qt::Key_PageDown);
        QCOMPARE(window->Slider1->value(), 121);
        QCOMPARE(window->state().TimeViewSpan, 12100);
        QVERIFY(window->Picture3->canvas() != view);
        window->Slider1->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(window->state().TimeViewSpan, 0);
        QVERIFY(fake->ops().empty());
        QVERIFY(window->state().Samples == samples);
        QVERIFY(messages.isEmpty());
    }

    void sliderAfterRateChangeReadsShortBuffer()
    {
        // A short buffer (1 ms) after a rate change: the view draws what there is.
        Module1 shortLoop = window->module1();
        shortLoop.RepetitiveTime = 0.001f;
        QVERIFY(window->generator().setBitCode(shortLoop, ChangeFrom::Settings).ok());
        window->Option11->setChecked(true);
        QCOMPARE(window->state().Samples.size(), size_t(89));
        window->Slider1->triggerAction(QAbstractSlider::SliderToMinimum);
        window->Slider1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(window->state().TimeViewSpan, 100);
        QVERIFY(messages.isEmpty());
    }

    void playFailureShowsOneMessage_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("device") << int(Kind::OpenDevice);
        QTest::newRow("play") << int(Kind::Play);
    }

    void playFailureShowsOneMessage()
    {
        QFETCH(int, kind);
        fake->failOn(Kind(kind), "injected");
        QTest::mouseClick(window->Play, Qt::LeftButton);
        QCOMPARE(
            messages, QStringList { QStringLiteral(" DirectX error, set data to properly value") });
        QVERIFY(!fake->playing());
        // The program goes on: the next Start plays.
        window->Play_Click();
        QCOMPARE(messages.size(), 1);
        verifyPlaying(392000);
    }

    void failureInsideASpinnerRestartKeepsTheField()
    {
        fake->failOn(Kind::Play, "injected");
        window->UpDown2->setValue(0);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(window->state().Level1, 1.0f);
        QCOMPARE(window->Label5->text(), QStringLiteral("Level =  0 dB"));
    }

    void sweepFailurePausesAndReportsOnce()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        fake->failOn(Kind::OpenDevice, "gone", 0, true);
        window->Timer1_Timer();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(window->state().Frequency1, int16_t(1010));
        QCOMPARE(window->UpDown1->value(), 1010);
        QVERIFY(!window->Timer1->isActive());
        fake->clearFailures();
        window->Play_Click();
        verifyPlaying(392000);
    }

    // A device that goes away while the sweep plays: one message naming the reason, the sound
    // released and the sweep paused; Start plays again, and nothing more is said.
    void lostDeviceWhilePlayingIsToldOnce()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        fake->loseDevice("its sound server ended");
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 10000);
        QVERIFY2(
            messages[0].contains(QLatin1String("its sound server ended")), qPrintable(messages[0]));
        QVERIFY(!window->sound().hasSoundBuffer());
        QVERIFY(!window->Timer1->isActive());
        window->Play_Click();
        verifyPlaying(392000);
        QVERIFY(
            vellox::testing::waitForDeviceWatch(window.get(), 3)); // a few more looks of the watch
        QCOMPARE(messages.size(), 1);
    }

    void failingSweepThroughTheRealTimerReportsOnce()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        fake->failOn(Kind::OpenDevice, "server gone", 0, true);
        // Over a hundred of the sweep's 10 ms periods after the first failure, each message
        // answered at once: without the pause every tick would bring another one.
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 20000);
        QVERIFY(vellox::testing::waitForTimerPeriods(100, 10));
        QCOMPARE(messages.size(), 1);
        QVERIFY(!window->Timer1->isActive());
        QCOMPARE(window->state().Frequency1, int16_t(1010));
        QCOMPARE(window->UpDown1->value(), 1010);
        // The next Start resumes the sweep.
        fake->clearFailures();
        window->Play_Click();
        QTRY_VERIFY_WITH_TIMEOUT(window->state().Frequency1 >= 1040, 10000);
        QCOMPARE(messages.size(), 1);
    }

    void slowSweepStepKeepsTheTickCadence()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        // A device that needs longer than a tick to create a buffer: the step's own re-arm
        // must not restart the countdown, or every step would take 10 ms more than its work.
        fake->setOnOperation([](Kind kind) {
            if (kind == Kind::OpenDevice)
                QThread::msleep(15);
        });
        int ticks = 0;
        int restarted = 0;
        const auto watch = connect(window->Timer1, &QTimer::timeout, window.get(), [&] {
            // Runs after the step: an overdue countdown reads 0, a restarted one about 10.
            ++ticks;
            if (window->Timer1->remainingTime() > 5)
                ++restarted;
        });
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, 20000);
        disconnect(watch);
        fake->setOnOperation(nullptr);
        QCOMPARE(restarted, 0);
        QCOMPARE(int(window->state().Frequency1), 1000 + 10 * ticks); // one step per tick
        QVERIFY(messages.isEmpty());
    }

    void tickDuringFailureMessageWaits()
    {
        window->Option5->setChecked(true);
        window->Play_Click();
        fake->failOn(Kind::OpenDevice, "gone", 0, true);
        // The message box's own event loop still delivers timer ticks: simulate one.
        setMessageHandler([this](QWidget*, const QString& text) {
            messages << text;
            window->Timer1_Timer();
        });
        window->Timer1_Timer();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(window->state().Frequency1, int16_t(1010));
    }

    void failedPlayLeavesTheScaleDrawn()
    {
        fake->failOn(Kind::OpenDevice, "no device");
        window->Play_Click();
        QCOMPARE(messages.size(), 1);
        QVERIFY(isColour(window->Picture1->canvas(), 40, 16, Green));
        QCOMPARE(window->Text1->text(), QStringLiteral("1000"));
    }

    void aboutBoxLeavesThePlayAlone()
    {
        window->Play_Click();
        fake->clearOps();
        int dialogs = 0;
        rejectNext<frmAboutGen>(&dialogs);
        QTest::mouseClick(window->Command6, Qt::LeftButton);
        QCOMPARE(dialogs, 1);
        QVERIFY(fake->ops().empty());
        QVERIFY(fake->playing());
    }

    void startUpWithoutDevice()
    {
        window.reset();
        fake = std::make_unique<FakeSoundBackend>();
        fake->failOn(Kind::OpenDevice, "no device");
        makeWindow();
        QCOMPARE(messages, QStringList { QString::fromLatin1(PlayFailureMessage) });
        QVERIFY(!window->sound().hasSoundDevice());
        QCOMPARE(window->Text1->text(), QStringLiteral("1000"));
        window->Stop_Click();
        window->Play_Click();
        verifyPlaying(392000);
        QCOMPARE(messages.size(), 1);
    }

    void exitReleasesAndEnds()
    {
        window->Play_Click();
        QTest::mouseClick(window->Command2, Qt::LeftButton);
        QCOMPARE(endCalls, 1);
        QVERIFY(!window->sound().hasDxObject());
        QVERIFY(!fake->deviceOpen());
        QVERIFY(!fake->playing());
        QVERIFY(!window->Timer1->isActive());
        window.reset(); // the destructor's path after Exit is harmless
        QCOMPARE(endCalls, 1);
    }

    void closeBoxDoesWhatExitDoes()
    {
        window->show();
        window->Play_Click();
        QVERIFY(window->close());
        QCOMPARE(endCalls, 1);
        QVERIFY(!fake->deviceOpen());
        QVERIFY(!fake->playing());
    }

    void destructionReleases()
    {
        window->Play_Click();
        window.reset();
        QCOMPARE(endCalls, 1);
        QVERIFY(!fake->deviceOpen());
        QVERIFY(!fake->playing());
    }

    void exitBeforeAnyPlay()
    {
        window->Command2_Click();
        QCOMPARE(endCalls, 1);
        // The never-started buffer is released and the device closed.
        QVERIFY(!fake->deviceOpen());
        QCOMPARE(countKind(*fake, Kind::CloseDevice), 1);
    }

    // Every caption fits its control in the font really in use, also the widest text each
    // changing caption takes. Prints the tightest caption of each control.
    void captionsFit()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QMap<QString, QStringList> more;
        for (int v = 0; v <= 15; ++v)
            for (const char* label : { "Label4", "Label5" })
                more[QString::fromLatin1(label)] << QString::fromStdString(levelCaption(v));
        for (int v = 0; v <= 10; ++v)
            more[QStringLiteral("Label2")] << QString::fromStdString(noiseCaption(v));
        for (int v = 1; v <= 100; ++v)
            more[QStringLiteral("Label3")] << QString::fromStdString(dutyCaption(v));
        const QString widestFrequency = QString::number(MaxFrequency);
        more[QStringLiteral("Text1")] << widestFrequency;
        more[QStringLiteral("Text2")] << widestFrequency;

        QMap<QString, testing::CaptionFit> tightest;
        QStringList cut;
        for (const testing::CaptionFit& f : testing::measureCaptions(window.get(), more)) {
            auto it = tightest.find(f.control);
            if (it == tightest.end() || f.needed - f.available > it->needed - it->available)
                tightest[f.control] = f;
            if (!f.fits())
                cut << testing::describe(f);
        }
        QVERIFY(tightest.size() > 40);
        for (const testing::CaptionFit& f : tightest)
            qInfo().noquote() << (f.fits() ? "fits:" : "CUT: ") << testing::describe(f);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }

    // A dark desktop scheme set on the application before the window opens: every caption
    // still reads on the face it stands on.
    void captionsReadUnderADarkPalette()
    {
        window.reset();
        QApplication::setPalette(testing::darkDesktopPalette());
        makeWindow();
        // Measured enabled too: greyed, it is exempt from the bar.
        window->Command3->setEnabled(true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const std::vector<testing::CaptionLook> looks = testing::captionLooks(window.get());
        for (const testing::CaptionLook& c : looks)
            qInfo().noquote() << c.line;
        QVERIFY(looks.size() > 40);
        QVERIFY(window->grab().save(grabFolder() + QStringLiteral("/formgen-dark-palette.png")));
        const QStringList unreadable = testing::unreadableCaptions(looks);
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(u'\n')));
    }

    void grabs()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QString dir = grabFolder();
        QVERIFY(window->grab().save(dir + QStringLiteral("/formgen-startup.png")));
        window->Option7->setChecked(true);
        window->Option1[5]->setChecked(true);
        QVERIFY(window->grab().save(dir + QStringLiteral("/formgen-am-triangle.png")));
    }

    // The window with its menu bar open and the instrument panel beside it, in one picture,
    // at F1 = 1000.123 Hz and -12.34 dBFS in the precise synthesis, sweeping to 20 kHz.
    void instrumentPanelGrab()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->showInstrumentPanel();
        InstrumentPanel* panel = window->instrumentPanel();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        panel->synthesis->setCurrentIndex(int(Synthesis::Precise));
        auto type = [](QLineEdit* field, const QString& text) {
            field->selectAll();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
        };
        type(panel->frequency[0], QStringLiteral("1000.123"));
        type(panel->level[0], QStringLiteral("-12.34"));
        panel->levelUnit[1]->setCurrentIndex(1); // Vrms
        type(panel->level[1], QStringLiteral("0.25"));
        type(panel->sweepStop, QStringLiteral("20000"));
        type(panel->sweepTime, QStringLiteral("10"));
        type(panel->sweepHold, QStringLiteral("0.5"));
        type(panel->sweepReturn, QStringLiteral("1"));
        panel->sweepLaw->setCurrentIndex(1); // logarithmic
        panel->sweepOn->click();
        QVERIFY(window->generator().state().Sweep.On);
        QCOMPARE(window->Text1->text(), QStringLiteral("1000"));
        QCOMPARE(window->Label5->text(), QStringLiteral("Level = - 8.05 dB"));
        QVERIFY(panel->status->text().isEmpty());

        const QRect item = window->MenuBar->actionGeometry(window->MenuBar->actions()[0]);
        window->InstrumentMenu->popup(window->MenuBar->mapToGlobal(item.bottomLeft()));
        QVERIFY(QTest::qWaitForWindowExposed(window->InstrumentMenu));
        const QPixmap front = window->grab();
        const QPixmap menu = window->InstrumentMenu->grab();
        window->InstrumentMenu->close();
        const QPixmap dialog = panel->grab();
        QVERIFY(!front.isNull() && !menu.isNull() && !dialog.isNull());
        QVERIFY(dialog.width() > 300 && dialog.height() > 300);
        // On a 1366 x 768 screen with room for the title bar and a desktop's panel.
        QVERIFY2(panel->frameGeometry().width() <= 1366 && panel->frameGeometry().height() <= 700,
            qPrintable(QStringLiteral("%1 x %2").arg(panel->width()).arg(panel->height())));

        const int gap = 12;
        QImage both(front.width() + gap + dialog.width(), std::max(front.height(), dialog.height()),
            QImage::Format_RGB32);
        both.fill(QColor(255, 255, 255));
        QPainter painter(&both);
        painter.drawPixmap(0, 0, front);
        painter.drawPixmap(item.bottomLeft() + QPoint(0, 1), menu);
        painter.drawPixmap(front.width() + gap, 0, dialog);
        // A thin edge round each window, where the desktop would draw its frame.
        painter.setPen(QColor(128, 128, 128));
        painter.drawRect(QRect(QPoint(0, 0), front.size()).adjusted(0, 0, -1, -1));
        painter.drawRect(
            QRect(QPoint(front.width() + gap, 0), dialog.size()).adjusted(0, 0, -1, -1));
        painter.end();
        const QString dir = grabFolder();
        QVERIFY(both.save(dir + QStringLiteral("/instrument-panel.png")));
        QVERIFY(dialog.save(dir + QStringLiteral("/instrument-panel-dialog.png")));
    }
};

QTEST_MAIN(FormGenTest)
#include "FormGenTest.moc"
