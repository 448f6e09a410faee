// The window beyond its front panel: settings from the command line set through the
// controls, the output device menu, a device that is missing or goes away, the reason
// behind a failure, the device remembered between runs, the menu bar and the instrument
// panel. Recording sound backend, offscreen.

#include "DialogAnswers.h"
#include "FakeOps.h"
#include "FakeSoundBackend.h"
#include "FormGen.h"
#include "GeneratorInstrument.h"
#include "InstrumentPanel.h"
#include "LevelScale.h"
#include "Messages.h"
#include "Preferences.h"
#include "RemoteServer.h"
#include "ScpiInterpreter.h"
#include "SoundObjects.h"
#include "StepEdit.h"
#include "UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace vellox;
using namespace vellox::testing;
using audio::FakeSoundBackend;
using Kind = audio::SoundOp::Kind;

namespace {

LaunchOptions launch(const QStringList& arguments)
{
    const ParsedCommandLine parsed
        = parseCommandLine(QStringList { QStringLiteral("vellox") } + arguments);
    if (!parsed.error.empty())
        qFatal("bad test command line: %s", parsed.error.c_str());
    return parsed.options;
}

// Types `text` over what the field holds and presses Enter, as the user does.
void typeAndEnter(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

QStringList actionTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
    return texts;
}

} // namespace

class FormGenLaunchTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeSoundBackend> fake;
    std::unique_ptr<FormGen> window;
    QStringList messages;
    QStringList details;

    void makeWindow(const std::string& device = {})
    {
        window = std::make_unique<FormGen>(*fake, nullptr, device);
        window->setEndProgram([] {});
    }

private slots:
    void init()
    {
        messages.clear();
        details.clear();
        setDetailedMessageHandler([this](QWidget*, const QString& text, const QString& detail) {
            messages << text;
            details << detail;
        });
        fake = std::make_unique<FakeSoundBackend>();
        fake->setPlaybackDevices({ "USB Audio", "HDMI" });
    }

    void cleanup()
    {
        window.reset();
        fake.reset();
        setDetailedMessageHandler(nullptr);
    }

    // Each command line sets the window as the user would: the controls, their labels and
    // the state agree, and nothing plays unless --start asks for it.
    void settingsThroughTheControls_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("check");
        QTest::newRow("frequencies") << QStringList { "--f1", "1001", "--f2", "20000" } << "f";
        QTest::newRow("levels, noise, duty") << QStringList { "--level1", "0", "--level2", "15",
            "--noise", "7", "--duty", "20" } << "levels";
        QTest::newRow("waveform and mode")
            << QStringList { "--waveform", "triangle", "--mode", "5" } << "wave";
        QTest::newRow("bit code without its dialog") << QStringList { "--waveform", "bitcode",
            "--bitcode", "1100", "--reptime", "40", "--bitlength", "2000" }
                                                     << "bits";
        QTest::newRow("rate and sweep")
            << QStringList { "--rate", "192000", "--sweep", "log" } << "rate";
        QTest::newRow("start") << QStringList { "--f1", "440", "--start" } << "start";
    }

    void settingsThroughTheControls()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, check);
        makeWindow();
        const std::vector<std::string> dialog = window->applyLaunchOptions(launch(arguments));
        QVERIFY(dialog.empty());
        QVERIFY(messages.isEmpty());
        const GeneratorState& s = window->state();
        if (check == QLatin1String("f")) {
            QCOMPARE(s.Frequency1, int16_t(1001));
            QCOMPARE(window->UpDown1->value(), 1001);
            QCOMPARE(window->Text1->text(), QStringLiteral("1001"));
            QCOMPARE(s.Frequency2, int16_t(20000));
            QCOMPARE(window->UpDown3->value(), 20000);
            QCOMPARE(window->Text2->text(), QStringLiteral("20000"));
        } else if (check == QLatin1String("levels")) {
            QCOMPARE(window->Label5->text(), QStringLiteral("Level =  0 dB"));
            QCOMPARE(s.Level1, 1.0f);
            QCOMPARE(window->Label4->text(), QStringLiteral("Level = - 45 dB"));
            QCOMPARE(s.Level2, float(std::pow(10.0, -45.0 / 20.0)));
            QCOMPARE(s.NoiseLevel, 0.7f);
            QCOMPARE(window->Label2->text(), QStringLiteral("70 % "));
            QCOMPARE(window->UpDown7->value(), 20);
            QCOMPARE(window->Label3->text(), QStringLiteral("rap=20"));
        } else if (check == QLatin1String("wave")) {
            QCOMPARE(s.Waveform, int16_t(WaveTriangle));
            QVERIFY(window->Option1[WaveTriangle]->isChecked());
            QCOMPARE(s.ChannelMode, int16_t(ModeFm));
            QVERIFY(window->Option9->isChecked()); // kept, greyed, as for a user
        } else if (check == QLatin1String("bits")) {
            QCOMPARE(s.Waveform, int16_t(WaveBitCode));
            QCOMPARE(window->module1().BitCode, std::string("1100"));
            QCOMPARE(window->module1().RepetitiveTime, 0.04f);
            QCOMPARE(window->module1().BitLength, 0.002f);
            QVERIFY(window->Command3->isEnabled());
        } else if (check == QLatin1String("rate")) {
            QCOMPARE(s.SampleRate, 192000);
            QVERIFY(window->Option13->isChecked());
            QCOMPARE(s.SweepMode, std::string(SweepLogaritmic));
            QVERIFY(window->Option6->isChecked());
        }
        if (check == QLatin1String("start")) {
            QCOMPARE(s.Frequency1, int16_t(440));
            QVERIFY(fake->playing());
        } else {
            QVERIFY(!fake->playing());
            QCOMPARE(countKind(*fake, Kind::Play), 0);
        }
    }

    // The dialog's rules apply to its boxes on the command line, with its messages.
    void bitCodeBoxesFollowTheDialogsRules()
    {
        makeWindow();
        const auto dialog = window->applyLaunchOptions(launch({ "--bitlength", "5" }));
        QCOMPARE(dialog, std::vector<std::string> { "Value Bit Lenght is 20uS to 1000000uS " });
        QCOMPARE(window->module1().BitLength, 0.001f);
    }

    // Right-click menu: "Default" first, the devices after, the one in use checked;
    // choosing one restarts the sound there and remembers it.
    void outputDeviceMenu()
    {
        makeWindow();
        std::string remembered = "nothing";
        window->setRememberDevice([&](const std::string& d) { remembered = d; });
        QVERIFY(window->Frame7->toolTip().contains(QStringLiteral("Default")));
        std::unique_ptr<QMenu> menu(window->outputDeviceMenu());
        QCOMPARE(actionTexts(menu.get()),
            (QStringList { QStringLiteral("Default *"), QStringLiteral("USB Audio"),
                QStringLiteral("HDMI"), QString(), QStringLiteral("Output settings...") }));
        fake->clearOps();
        menu->actions()[2]->trigger();
        QCOMPARE(window->outputDevice(), std::string("HDMI"));
        QCOMPARE(remembered, std::string("HDMI"));
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->deviceId, std::string("HDMI"));
        QVERIFY(fake->playing());
        QVERIFY(window->Frame7->toolTip().contains(QStringLiteral("HDMI")));
        menu.reset(window->outputDeviceMenu());
        QCOMPARE(actionTexts(menu.get()).at(2), QStringLiteral("HDMI *"));
        menu->actions()[0]->trigger();
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->deviceId, std::string());
        QCOMPARE(remembered, std::string());
        QVERIFY(messages.isEmpty());
    }

    // A remembered device that is not there: one message, then the default device.
    void missingDeviceFallsBackOnce()
    {
        makeWindow("Bluetooth");
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(QStringLiteral("\"Bluetooth\"")));
        QCOMPARE(window->outputDevice(), std::string());
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->deviceId, std::string());
        window->Play_Click();
        QCOMPARE(messages.size(), 1);
    }

    // A device unplugged while it plays: the failure message once, with the reason in its
    // details; the next Start plays on the default device.
    void unpluggedDeviceGivesOneMessageThenTheDefault()
    {
        makeWindow("USB Audio");
        QVERIFY(messages.isEmpty());
        window->Play_Click();
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->deviceId, std::string("USB Audio"));
        fake->setPlaybackDevices({ "HDMI" });
        fake->failOn(Kind::OpenDevice, "device \"USB Audio\" not found");
        window->Play_Click();
        QCOMPARE(messages, QStringList { QString::fromLatin1(PlayFailureMessage) });
        QVERIFY(details[0].contains(QStringLiteral("device \"USB Audio\" not found")));
        QVERIFY(details[0].contains(QStringLiteral("is gone")));
        QVERIFY(details[0].contains(QStringLiteral("sound server")));
        window->Play_Click();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->deviceId, std::string());
        QVERIFY(fake->playing());
    }

    // The choice is kept where the platform keeps settings, for the next run.
    // The "Output settings" of the menu: the precise synthesis in 24 bits at 48000 Hz with a
    // phase; OK restarts the sound with them (32-bit frames at the new rate, no rate option
    // checked, the tooltip naming the rate) and remembers them; Cancel changes nothing.
    void outputSettingsDialog()
    {
        makeWindow();
        std::vector<OutputSettings> remembered;
        window->setRememberOutput([&](const OutputSettings& o) { remembered.push_back(o); });
        window->Play_Click();
        std::unique_ptr<QMenu> menu(window->outputDeviceMenu());
        QAction* open = menu->findChild<QAction*>(QStringLiteral("OutputSettingsAction"));
        QVERIFY(open);
        QTimer::singleShot(0, [] {
            auto* d = visibleTopLevel<OutputSettingsDialog>();
            QVERIFY(d);
            d->reject();
        });
        open->trigger();
        QVERIFY(remembered.empty());
        QCOMPARE(window->outputSettings(), OutputSettings {});

        fake->clearOps();
        QTimer::singleShot(0, [] {
            auto* d = visibleTopLevel<OutputSettingsDialog>();
            QVERIFY(d);
            d->synthesis->setCurrentIndex(int(Synthesis::Precise));
            d->sampleFormat->setCurrentIndex(int(SampleFormat::S24));
            d->sampleRate->setCurrentIndex(d->sampleRate->findData(48000));
            d->phase->setValue(90);
            d->accept();
        });
        open->trigger();
        QCOMPARE(remembered.size(), size_t(1));
        QCOMPARE(remembered[0].signal.synthesis, Synthesis::Precise);
        QCOMPARE(remembered[0].signal.format, SampleFormat::S24);
        QCOMPARE(remembered[0].signal.phaseDegrees, 90);
        QCOMPARE(remembered[0].sampleRate, 48000);
        QCOMPARE(window->state().SampleRate, 48000);
        for (QRadioButton* option : window->RateOption)
            QVERIFY(!option->isChecked());
        QVERIFY2(window->Frame7->toolTip().contains(QStringLiteral("48000 Hz")),
            qPrintable(window->Frame7->toolTip()));
        const audio::BufferDesc& created = window->sound().bufferDesc();
        QCOMPARE(created.Format.SamplesPerSec, 48000);
        QCOMPARE(int(created.Format.BitsPerSample), 32);
        QCOMPARE(created.BufferBytes, 48000 * 8);
        const audio::SoundOp* handed = fake->lastHandover();
        QVERIFY(handed);
        QCOMPARE(handed->sampleRate, 48000);
        QCOMPARE(int(handed->data.size()), 48000 * 8);
        QVERIFY(fake->playing());
        // A remote change while the dialog is open stays: OK applies what its user changed.
        QTimer::singleShot(0, [this] {
            auto* d = visibleTopLevel<OutputSettingsDialog>();
            QVERIFY(d);
            GeneratorInstrument remote(window->generator());
            QVERIFY(remote.setDither(Dither::Tpdf).ok());
            d->phase->setValue(45);
            d->accept();
        });
        open->trigger();
        QCOMPARE(window->outputSettings().signal.dither, Dither::Tpdf);
        QCOMPARE(window->outputSettings().signal.phaseDegrees, 45);
        QCOMPARE(window->outputSettings().signal.format, SampleFormat::S24);
        // The front panel's option takes the rate back to one it offers.
        window->RateOption[0]->setChecked(true);
        QCOMPARE(window->state().SampleRate, 44100);
        QVERIFY(messages.isEmpty());
    }

    // The remote control over TCP, driving the window: FREQ moves F1's box, spinner and
    // scale cursor; a click on the scale shows in FREQ?; with the output off a change keeps
    // it off, and OUTP ON starts the sound at what was set.
    void remoteChangesTakeTheFrontPanelsPath()
    {
        makeWindow();
        GeneratorInstrument instrument(window->generator());
        RemoteServer server(instrument);
        QCOMPARE(QString::fromStdString(server.listen("127.0.0.1:0")), QString());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(5000));
        auto ask = [&](const QByteArray& line) -> QByteArray {
            client.write(line + '\n');
            if (!line.contains('?'))
                return {};
            QElapsedTimer wait;
            wait.start();
            while (!client.canReadLine() && wait.elapsed() < 10000)
                QTest::qWait(5);
            return client.readLine().trimmed();
        };

        QCOMPARE(ask("OUTP?"), QByteArray("0"));
        ask("FREQ 1234");
        QCOMPARE(ask("FREQ?"), QByteArray("1234"));
        QCOMPARE(window->UpDown1->value(), 1234);
        QCOMPARE(window->Text1->text(), QStringLiteral("1234"));
        QCOMPARE(window->state().Marker1X, 1234 / 25.0f); // the scale cursor moved there
        QVERIFY(!fake->playing()); // still off
        // The front panel's own change shows in the query.
        window->Picture1_MouseDown(1, 0, 80, 10);
        QCOMPARE(ask("FREQ?"), QByteArray("2000"));
        ask("OUTP ON");
        QCOMPARE(ask("OUTP?;:SYST:ERR?"), QByteArray("1;0,\"No error\""));
        QVERIFY(fake->playing());
        ask("SOUR2:FREQ 440;:FUNC SQU;:VOLT:UNIT DBFS;:VOLT -9");
        QCOMPARE(ask("SOUR2:FREQ?;:FUNC?;:VOLT?"), QByteArray("440;SQU;-9"));
        QVERIFY(window->Option1[WaveSquare]->isChecked());
        // -9 dBFS of a square's rms is a peak 7.72 dB below the panel's 0 dB: the label shows
        // that level, the spinner the nearest step.
        QCOMPARE(window->UpDown2->value(), 3);
        QCOMPARE(window->Label5->text(), QStringLiteral("Level = - 7.72 dB"));
        // A rate the front panel does not offer: no option checked, the sound goes on.
        ask("SRAT 48000");
        QCOMPARE(ask("SRAT?;:OUTP?"), QByteArray("48000;1"));
        for (QRadioButton* option : window->RateOption)
            QVERIFY(!option->isChecked());
        QCOMPARE(lastOp(*fake, Kind::OpenDevice)->sampleRate, 48000);
        // The bit code goes through the dialog's rules, without the dialog.
        ask("FUNC BITC");
        QCOMPARE(ask("SYST:ERR?"), QByteArray("0,\"No error\""));
        ask("BITC:PER 0.0001");
        QVERIFY(ask("SYST:ERR?").startsWith("-222,"));
        QCOMPARE(window->module1().RepetitiveTime, 1.0f);
        QVERIFY(messages.isEmpty());
    }

    // Many clients flooding the server while the window's sweep runs on its real timer:
    // the sweep goes on, a fresh client is answered, and nothing breaks.
    void floodingClientsDoNotHoldTheWindow()
    {
        makeWindow();
        GeneratorInstrument instrument(window->generator());
        RemoteServer server(instrument);
        QCOMPARE(QString::fromStdString(server.listen("127.0.0.1:0")), QString());
        window->Option5->setChecked(true); // "Lin"
        window->Play_Click();
        std::vector<std::unique_ptr<QTcpSocket>> flooders;
        for (int i = 0; i < RemoteServer::MaxClients - 1; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, server.port());
            QVERIFY(socket->waitForConnected(5000));
            flooders.push_back(std::move(socket));
        }
        // Garbage, endless lines, queries never read, half lines, lines of 1200 rate changes.
        const QByteArray garbage(64 * 1024, '\x01');
        const QByteArray endless(200 * 1024, 'F');
        QByteArray queries;
        for (int i = 0; i < 20000; ++i)
            queries += "*IDN?\n";
        QByteArray rates = "SRAT 44100";
        for (int i = 0; i < 1199; ++i)
            rates += i % 2 == 0 ? ";SRAT 48000" : ";SRAT 44100";
        rates += '\n';
        // The event loop's worst stall while they flood, for the record: what a user of the
        // window would feel.
        QElapsedTimer sinceTick;
        qint64 worstStall = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
            [&] { worstStall = std::max(worstStall, sinceTick.restart()); });
        tick.start(5);
        sinceTick.start();
        const int16_t from = window->state().Frequency1;
        for (int round = 0; round < 5; ++round) {
            for (size_t i = 0; i < flooders.size(); ++i) {
                QTcpSocket& s = *flooders[i];
                s.write(i % 4 == 0 ? garbage : i % 4 == 1 ? endless : i % 4 == 2 ? queries : rates);
            }
            QTest::qWait(20);
        }
        // The sweep has gone on: the event loop was never held up for long.
        QTRY_VERIFY_WITH_TIMEOUT(window->state().Frequency1 >= from + 200, 60000);
        qInfo("worst event-loop stall while flooded: %lld ms", worstStall);
        QCOMPARE(window->state().SampleRate, 48000); // every rate line ends on 48000
        QTcpSocket fresh;
        fresh.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(fresh.waitForConnected(5000));
        fresh.write("*IDN?\n");
        QTRY_VERIFY_WITH_TIMEOUT(fresh.canReadLine(), 30000);
        QVERIFY(fresh.readLine().startsWith("Korvane,Vellox,"));
        flooders[1]->write("FREQ 12"); // half a line, then gone
        flooders[1]->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(server.clients(), int(flooders.size()), 30000);
        window->Option4->setChecked(true);
        QVERIFY(messages.isEmpty());
    }

    // *RST while the window plays: the output stops before anything is reset, so the start
    // signal is never heard, and the controls show the start values.
    void resetStopsTheOutputFirst()
    {
        makeWindow();
        GeneratorInstrument instrument(window->generator());
        remote::ScpiInterpreter scpi(instrument);
        QCOMPARE(scpi.execute("FREQ 3000;:FUNC SQU;:OUTP ON;:OUTP?"), std::string("1\n"));
        QVERIFY(fake->playing());
        fake->clearOps();
        QCOMPARE(
            scpi.execute("*RST;:OUTP?;:FREQ?;:SYST:ERR?"), std::string("0;1000;0,\"No error\"\n"));
        QVERIFY(!fake->playing());
        QVERIFY(!fake->ops().empty());
        QCOMPARE(fake->ops().front().kind, Kind::Silence);
        for (const audio::SoundOp& op : fake->ops())
            QVERIFY(op.kind != Kind::Play);
        QCOMPARE(window->UpDown1->value(), 1000);
        QVERIFY(window->Option1[WaveSine]->isChecked());
        QVERIFY(messages.isEmpty());
    }

    // The menu bar: every entry opens what it names; the device list is read at each opening.
    void menuBarOpensEverySetting()
    {
        makeWindow();
        QCOMPARE(actionTexts(window->InstrumentMenu),
            (QStringList { QStringLiteral("Instrument &panel..."),
                QStringLiteral("&Calibrate from a meter reading..."), QString(),
                QStringLiteral("&Output settings..."), QStringLiteral("Output &device") }));
        QCOMPARE(window->InstrumentPanelAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
        emit window->OutputDeviceMenu->aboutToShow();
        QCOMPARE(actionTexts(window->OutputDeviceMenu),
            (QStringList { QStringLiteral("Default *"), QStringLiteral("USB Audio"),
                QStringLiteral("HDMI") }));
        fake->setPlaybackDevices({ "HDMI" });
        emit window->OutputDeviceMenu->aboutToShow();
        QCOMPARE(actionTexts(window->OutputDeviceMenu),
            (QStringList { QStringLiteral("Default *"), QStringLiteral("HDMI") }));
        window->OutputDeviceMenu->actions()[1]->trigger();
        QCOMPARE(window->outputDevice(), std::string("HDMI"));

        int seen = 0;
        rejectNext<OutputSettingsDialog>(&seen);
        window->OutputSettingsAction->trigger();
        QCOMPARE(seen, 1);

        // Ctrl+I from the front panel opens the instrument panel.
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QVERIFY(window->instrumentPanel() == nullptr);
        QTest::keyClick(window->Client, Qt::Key_I, Qt::ControlModifier);
        QTRY_VERIFY(window->instrumentPanel() != nullptr && window->instrumentPanel()->isVisible());
        window->instrumentPanel()->hide();
        window->CalibrateAction->trigger();
        QVERIFY(window->instrumentPanel()->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(),
            static_cast<QWidget*>(window->instrumentPanel()->meterReading));
        QVERIFY(messages.isEmpty());
    }

    // What is typed in the instrument panel and Enter: the generator takes it exactly or
    // refuses it, the panel says why, and the front panel shows what holds.
    void instrumentPanelEntries_data()
    {
        QTest::addColumn<bool>("precise");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("unit"); // index in the unit's list, for a level
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // the field afterwards
        QTest::addColumn<QString>("label"); // a front-panel control, and its text
        QTest::addColumn<QString>("labelText");
        QTest::addColumn<QString>("status"); // a part of the panel's message; "" none
        QTest::newRow("F1 to the micro-hertz") << true << "frequency1" << 0 << "1000.123"
                                               << "1000.123"
                                               << "Text1"
                                               << "1000"
                                               << "";
        QTest::newRow("F2 to the micro-hertz, rounded on the front panel")
            << true << "frequency2" << 0 << "440.75 Hz"
            << "440.75"
            << "Text2"
            << "441"
            << "";
        QTest::newRow("F1 with a fraction in the exact synthesis")
            << false << "frequency1" << 0 << "1000.5"
            << "1000.5"
            << "Text1"
            << "1000"
            << "F1 1000.5 Hz has a fraction: the exact synthesis loops whole hertz";
        QTest::newRow("F1 whole in the exact synthesis") << false << "frequency1" << 0 << "1234"
                                                         << "1234"
                                                         << "Text1"
                                                         << "1234"
                                                         << "";
        QTest::newRow("F1 below 1 uHz") << true << "frequency1" << 0 << "1000.1234567"
                                        << "1000.1234567"
                                        << "Text1"
                                        << "1000"
                                        << "F1 is set to 1 uHz (six decimals)";
        QTest::newRow("F1 not a number") << true << "frequency1" << 0 << "1k"
                                         << "1k"
                                         << "Text1"
                                         << "1000"
                                         << "Type F1 in hertz";
        QTest::newRow("F1 level in dBFS") << false << "level1" << 0 << "-12.34"
                                          << "-12.34"
                                          << "Label5"
                                          << "Level = - 8.05 dB"
                                          << "";
        QTest::newRow("F1 level beyond full scale")
            << false << "level1" << 0 << "0.5"
            << "0.5"
            << "Label5"
            << "Level = - 3 dB"
            << "F1 at 0.5 dBFS is refused: F1 takes 0 dBFS (full scale) down to -120 dBFS";
        QTest::newRow("F2 level in Vrms") << false << "level2" << 1 << "0.5"
                                          << "0.5"
                                          << "Label4"
                                          << "Level = - 3.01 dB"
                                          << "";
        QTest::newRow("F2 level in dBu") << false << "level2" << 3 << "-10"
                                         << "-10"
                                         << "Label4"
                                         << "Level = - 9.21 dB"
                                         << "";
        QTest::newRow("calibration beyond its range") << false << "calibration" << 0 << "1000.5"
                                                      << "1000.5"
                                                      << "Label5"
                                                      << "Level = - 3 dB"
                                                      << "the calibration is 0.001 to 1000 Vpp";
        // The sweep's and the bursts' numbers are taken off in either synthesis; switched on,
        // they play only in the precise one.
        QTest::newRow("sweep's stop to the micro-hertz")
            << true << "sweepStop" << 0 << "20000.000001"
            << "20000.000001"
            << "Text1"
            << "1000"
            << "";
        QTest::newRow("sweep's stop below 1 uHz")
            << true << "sweepStop" << 0 << "2000.0000001"
            << "2000.0000001"
            << "Text1"
            << "1000"
            << "The stop frequency is set to 1 uHz (six decimals)";
        QTest::newRow("sweep's stop above 0.45 of the rate")
            << true << "sweepStop" << 0 << "50000"
            << "50000"
            << "Text1"
            << "1000"
            << "the sweep's stop frequency is 1 to 44100 Hz at 98000 Hz";
        QTest::newRow("sweep time in the exact synthesis") << false << "sweepTime" << 0 << "2.5"
                                                           << "2.5"
                                                           << "Text1"
                                                           << "1000"
                                                           << "";
        QTest::newRow("sweep time too short") << true << "sweepTime" << 0 << "0.001"
                                              << "0.001"
                                              << "Text1"
                                              << "1000"
                                              << "the sweep time is 10 ms to 1000 s";
        QTest::newRow("sweep's hold time") << true << "sweepHold" << 0 << "0.125"
                                           << "0.125"
                                           << "Text1"
                                           << "1000"
                                           << "";
        QTest::newRow("sweep's return time") << true << "sweepReturn" << 0 << "7.75"
                                             << "7.75"
                                             << "Text1"
                                             << "1000"
                                             << "";
        QTest::newRow("burst cycles") << true << "burstCycles" << 0 << "250"
                                      << "250"
                                      << "Text1"
                                      << "1000"
                                      << "";
        QTest::newRow("burst cycles not whole") << true << "burstCycles" << 0 << "2.5"
                                                << "2.5"
                                                << "Text1"
                                                << "1000"
                                                << "A burst is whole cycles";
        QTest::newRow("burst cycles beyond a million") << true << "burstCycles" << 0 << "1e12"
                                                       << "1e12"
                                                       << "Text1"
                                                       << "1000"
                                                       << "a burst is 1 to 1000000 cycles";
        QTest::newRow("burst period in the exact synthesis")
            << false << "burstPeriod" << 0 << "0.25"
            << "0.25"
            << "Text1"
            << "1000"
            << "";
        QTest::newRow("burst phase") << true << "burstPhase" << 0 << "90.5"
                                     << "90.5"
                                     << "Text1"
                                     << "1000"
                                     << "";
        QTest::newRow("burst phase of a whole turn") << true << "burstPhase" << 0 << "360"
                                                     << "360"
                                                     << "Text1"
                                                     << "1000"
                                                     << "the burst phase is 0 to 360 degrees";
    }

    void instrumentPanelEntries()
    {
        QFETCH(bool, precise);
        QFETCH(QString, field);
        QFETCH(int, unit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, label);
        QFETCH(QString, labelText);
        QFETCH(QString, status);
        makeWindow();
        window->showInstrumentPanel();
        InstrumentPanel* panel = window->instrumentPanel();
        QVERIFY(panel && panel->isVisible());
        panel->synthesis->setCurrentIndex(int(precise ? Synthesis::Precise : Synthesis::Exact));
        QCOMPARE(window->generator().signalOptions().synthesis,
            precise ? Synthesis::Precise : Synthesis::Exact);
        for (QComboBox* units : panel->levelUnit)
            units->setCurrentIndex(unit);
        auto* edit = panel->findChild<StepEdit*>(field);
        QVERIFY(edit);
        typeAndEnter(edit, typed);
        QCOMPARE(edit->text(), shown);
        // The panel's changes are a script's: the output that was off stays off.
        QVERIFY(!fake->playing());
        QCOMPARE(panel->status->text().contains(status), true);
        QCOMPARE(panel->status->text().isEmpty(), status.isEmpty());
        QObject* control = window->findChild<QObject*>(label);
        QVERIFY(control);
        if (auto* text = qobject_cast<QLineEdit*>(control))
            QCOMPARE(text->text(), labelText);
        else
            QCOMPARE(qobject_cast<QLabel*>(control)->text(), labelText);
        // What the generator holds is what the field says, or it stayed as it was.
        Generator& g = window->generator();
        if (field == QLatin1String("frequency1"))
            QCOMPARE(g.frequencyMicrohertz(Tone::F1),
                status.isEmpty() ? qint64(std::llround(typed.toDouble() * 1e6))
                                 : qint64(1000000000));
        if (field == QLatin1String("level1") && status.isEmpty())
            QCOMPARE(g.levelFactorOf(Tone::F1),
                *remote::factorOfLevel(-12.34, remote::VoltageUnit::Dbfs, g.calibrationVpp(),
                    remote::rmsAtUnitPeak(WaveSine)));
        if (field == QLatin1String("calibration"))
            QCOMPARE(g.calibrationVpp(), remote::StartFullScaleVpp);
        // A refused entry stays to be mended: a change elsewhere does not write over it.
        if (!status.isEmpty()) {
            QVERIFY(edit->isModified());
            window->UpDown1->setValue(1500);
            window->UpDown2->setValue(4);
            QCOMPARE(edit->text(), shown);
        }
        // The typing reads back as typed once applied, and the unit changes the number.
        if (field == QLatin1String("level1") && status.isEmpty()) {
            panel->levelUnit[0]->setCurrentIndex(2); // Vpp: 2 Vpp at 0 dB, 8.05 dB below
            QCOMPARE(edit->text(), QStringLiteral("0.7914982062"));
            panel->levelUnit[0]->setCurrentIndex(0);
            QCOMPARE(edit->text(), QStringLiteral("-12.34"));
        }
        // The sweep and the bursts hold exactly what was typed, the rest as it was; switched
        // on, they play in the precise synthesis, and the exact one refuses them and says why.
        const bool sweeps = field.startsWith(QLatin1String("sweep"));
        if (sweeps || field.startsWith(QLatin1String("burst"))) {
            TimedSweep sweep;
            ToneBurst burst;
            if (status.isEmpty()) {
                const double number = typed.toDouble();
                if (field == QLatin1String("sweepStop"))
                    sweep.Stop = std::llround(number * 1e6);
                else if (field == QLatin1String("sweepTime"))
                    sweep.Seconds = number;
                else if (field == QLatin1String("sweepHold"))
                    sweep.HoldSeconds = number;
                else if (field == QLatin1String("sweepReturn"))
                    sweep.ReturnSeconds = number;
                else if (field == QLatin1String("burstCycles"))
                    burst.Cycles = std::llround(number);
                else if (field == QLatin1String("burstPeriod"))
                    burst.PeriodSeconds = number;
                else
                    burst.PhaseDegrees = number;
            }
            QVERIFY(g.state().Sweep == sweep);
            QVERIFY(g.state().Burst == burst);
            QCheckBox* on = sweeps ? panel->sweepOn : panel->burstOn;
            QVERIFY(!on->isChecked());
            on->click();
            (sweeps ? sweep.On : burst.On) = precise;
            QVERIFY(g.state().Sweep == sweep);
            QVERIFY(g.state().Burst == burst);
            QCOMPARE(on->isChecked(), precise);
            QVERIFY2(
                panel->status->text().contains(QStringLiteral("the precise synthesis")) == !precise,
                qPrintable(panel->status->text()));
            // A refused entry is still there to mend.
            QCOMPARE(edit->text(), shown);
        }
        QVERIFY(messages.isEmpty());
    }

    // The panel follows every change, whatever face made it, and its own changes show on
    // the front panel.
    void instrumentPanelFollowsTheFrontPanel()
    {
        makeWindow();
        window->showInstrumentPanel();
        InstrumentPanel* panel = window->instrumentPanel();
        QCOMPARE(panel->frequency[0]->text(), QStringLiteral("1000"));
        QCOMPARE(panel->frequency[1]->text(), QStringLiteral("100"));
        QCOMPARE(panel->level[0]->text(), QStringLiteral("-7.298698891")); // 1/sqrt(2) of a sine
        QCOMPARE(panel->calibration->text(), QStringLiteral("2"));
        // Pink noise is computed as it plays: the exact synthesis refuses it, and says why.
        panel->pinkNoise->click();
        QVERIFY(!window->generator().state().Pink);
        QVERIFY(window->Option1[WaveSine]->isChecked());
        QVERIFY2(panel->status->text().contains(QStringLiteral(
                     "pink noise is computed as it plays: it needs the precise synthesis")),
            qPrintable(panel->status->text()));
        QCOMPARE(panel->inForce->text(), QString());
        window->UpDown1->setValue(1234);
        QCOMPARE(panel->frequency[0]->text(), QStringLiteral("1234"));
        window->UpDown4->setValue(5);
        QCOMPARE(panel->level[1]->text(), QStringLiteral("-19.28839886"));
        // F1's level in dBFS is the rms of its shape: a square's is 3.01 dB above a sine's.
        window->Option1[WaveSquare]->setChecked(true);
        QCOMPARE(panel->level[0]->text(), QStringLiteral("-4.288398935"));
        // A script's change.
        GeneratorInstrument instrument(window->generator());
        remote::ScpiInterpreter scpi(instrument);
        QCOMPARE(scpi.execute("SYNT PREC;:FREQ 2000.5;:SOUR2:FREQ 300;:SYST:ERR?"),
            std::string("0,\"No error\"\n"));
        QCOMPARE(panel->frequency[0]->text(), QStringLiteral("2000.5"));
        QCOMPARE(panel->frequency[1]->text(), QStringLiteral("300"));
        QCOMPARE(panel->synthesis->currentIndex(), int(Synthesis::Precise));
        // Back to the exact synthesis with 2000.5 Hz set: refused, the reason said.
        panel->synthesis->setCurrentIndex(int(Synthesis::Exact));
        QCOMPARE(panel->synthesis->currentIndex(), int(Synthesis::Precise));
        QVERIFY2(panel->status->text().contains(QStringLiteral("2000.5 Hz is not whole")),
            qPrintable(panel->status->text()));
        // Typing not yet applied stays over a change; Escape shows the setting again.
        panel->frequency[1]->selectAll();
        QTest::keyClicks(panel->frequency[1], QStringLiteral("55"));
        window->UpDown3->setValue(400);
        QCOMPARE(panel->frequency[1]->text(), QStringLiteral("55"));
        QTest::keyClick(panel->frequency[1], Qt::Key_Escape);
        QCOMPARE(panel->frequency[1]->text(), QStringLiteral("400"));
        QVERIFY(panel->isVisible());
        // The calibration belongs to the output device.
        window->generator().setCalibrationVpp(3.5, ChangeFrom::Script);
        QCOMPARE(panel->calibration->text(), QStringLiteral("3.5"));
        window->chooseOutputDevice("HDMI");
        QCOMPARE(panel->calibration->text(), QStringLiteral("2"));

        // A sweep set by a script shows whole; typing not yet applied stays over it.
        panel->sweepHold->selectAll();
        QTest::keyClicks(panel->sweepHold, QStringLiteral("9"));
        QCOMPARE(scpi.execute("FREQ:STOP 5000.25;:SWE:SPAC LOG;:SWE:TIME 0.5;:SWE:HTIM 2;"
                              ":SWE:RTIM 0.75;:SWE:STAT ON;:SYST:ERR?"),
            std::string("0,\"No error\"\n"));
        QVERIFY(panel->sweepOn->isChecked());
        QCOMPARE(panel->sweepLaw->currentIndex(), 1);
        QCOMPARE(panel->sweepStop->text(), QStringLiteral("5000.25"));
        QCOMPARE(panel->sweepTime->text(), QStringLiteral("0.5"));
        QCOMPARE(panel->sweepHold->text(), QStringLiteral("9"));
        QCOMPARE(panel->sweepReturn->text(), QStringLiteral("0.75"));
        QTest::keyClick(panel->sweepHold, Qt::Key_Escape);
        QCOMPARE(panel->sweepHold->text(), QStringLiteral("2"));
        // The law from the panel changes the law alone.
        panel->sweepLaw->setCurrentIndex(0);
        TimedSweep sweep { .On = true,
            .Logarithmic = false,
            .Stop = 5000250000,
            .Seconds = 0.5,
            .HoldSeconds = 2.0,
            .ReturnSeconds = 0.75 };
        QVERIFY(window->generator().state().Sweep == sweep);
        // Bursts while it sweeps: refused, the reason said, the switch back off.
        panel->burstOn->click();
        QVERIFY(!panel->burstOn->isChecked());
        QVERIFY(!window->generator().state().Burst.On);
        QVERIFY2(panel->status->text().contains(QStringLiteral("a sweep and bursts at once")),
            qPrintable(panel->status->text()));
        // Bursts set by a script.
        QVERIFY(window->generator().setTimedSweep(TimedSweep {}, ChangeFrom::Script).ok());
        QVERIFY(!panel->sweepOn->isChecked());
        QCOMPARE(panel->sweepStop->text(), QStringLiteral("1000"));
        QVERIFY(
            window->generator()
                .setBurst(
                    ToneBurst {
                        .On = true, .Cycles = 20, .PeriodSeconds = 0.05, .PhaseDegrees = 270.0 },
                    ChangeFrom::Script)
                .ok());
        QVERIFY(panel->burstOn->isChecked());
        QCOMPARE(panel->burstCycles->text(), QStringLiteral("20"));
        QCOMPARE(panel->burstPeriod->text(), QStringLiteral("0.05"));
        QCOMPARE(panel->burstPhase->text(), QStringLiteral("270"));

        // Pink noise does not burst; without the bursts it plays at F1's level as a sine's rms,
        // and no waveform option says it is white.
        Generator& g = window->generator();
        panel->pinkNoise->click();
        QVERIFY(!g.state().Pink);
        QVERIFY2(panel->status->text().contains(QStringLiteral("neither sweeps nor bursts")),
            qPrintable(panel->status->text()));
        panel->burstOn->click();
        QVERIFY(!g.state().Burst.On);
        const double f1Level = g.levelFactorOf(Tone::F1);
        panel->pinkNoise->click();
        QVERIFY(g.state().Pink);
        QVERIFY2(panel->status->text().isEmpty(), qPrintable(panel->status->text()));
        for (QRadioButton* option : window->Option1)
            QVERIFY2(!option->isChecked(), qPrintable(option->text()));
        QCOMPARE(panel->inForce->text(), QStringLiteral("In force: pink noise"));
        // The square's level, read as the rms of a sine, as the noise plays it.
        QCOMPARE(g.levelFactorOf(Tone::F1), f1Level);
        QCOMPARE(panel->level[0]->text(), QStringLiteral("-7.298698891"));
        // "W Noise" on the front panel ends it.
        window->Option1[WaveNoise]->click();
        QVERIFY(!g.state().Pink);
        QCOMPARE(g.state().Waveform, int16_t(WaveNoise));
        QVERIFY(window->Option1[WaveNoise]->isChecked());
        QCOMPARE(panel->inForce->text(), QString());

        // The two-tone sets: sines in "F1+ F2" at their frequencies and ratio, named while the
        // settings are the set, whoever changes them after.
        panel->smpte->click();
        QVERIFY2(panel->status->text().isEmpty(), qPrintable(panel->status->text()));
        QCOMPARE(window->Text1->text(), QStringLiteral("60"));
        QCOMPARE(window->Text2->text(), QStringLiteral("7000"));
        QVERIFY(window->Option1[WaveSine]->isChecked());
        QVERIFY(window->Option3->isChecked());
        QCOMPARE(g.levelFactorOf(Tone::F1) / g.levelFactorOf(Tone::F2), 4.0);
        QCOMPARE(panel->inForce->text(), QStringLiteral("In force: SMPTE"));
        window->UpDown3->setValue(7001);
        QCOMPARE(panel->inForce->text(), QString());
        panel->ccif->click();
        QCOMPARE(window->Text1->text(), QStringLiteral("19000"));
        QCOMPARE(window->Text2->text(), QStringLiteral("20000"));
        QCOMPARE(g.levelFactorOf(Tone::F1), g.levelFactorOf(Tone::F2));
        QCOMPARE(panel->inForce->text(), QStringLiteral("In force: CCIF"));
        QVERIFY(messages.isEmpty());
    }

    // Up and Down step the digit at the cursor and apply at once, as a bench generator's knob.
    void instrumentPanelArrowKeysStepTheDigit()
    {
        makeWindow();
        window->showInstrumentPanel();
        InstrumentPanel* panel = window->instrumentPanel();
        panel->synthesis->setCurrentIndex(int(Synthesis::Precise));
        StepEdit* f1 = panel->frequency[0];
        typeAndEnter(f1, QStringLiteral("1000.123"));
        f1->setFocus();
        f1->setCursorPosition(2); // before the tens digit
        QTest::keyClick(f1, Qt::Key_Up);
        QCOMPARE(f1->text(), QStringLiteral("1010.123"));
        QCOMPARE(window->generator().frequencyMicrohertz(Tone::F1), qint64(1010123000));
        QCOMPARE(window->Text1->text(), QStringLiteral("1010"));
        QCOMPARE(window->UpDown1->value(), 1010);
        QTest::keyClick(f1, Qt::Key_Down);
        QTest::keyClick(f1, Qt::Key_Down);
        QCOMPARE(f1->text(), QStringLiteral("990.123"));
        QCOMPARE(f1->cursorPosition(), 1); // still on the tens digit
        QCOMPARE(window->generator().frequencyMicrohertz(Tone::F1), qint64(990123000));
        // The last decimal, with the digits the user stepped kept ("0.120" reads 0.12).
        f1->setCursorPosition(7);
        QTest::keyClick(f1, Qt::Key_Down);
        QTest::keyClick(f1, Qt::Key_Down);
        QTest::keyClick(f1, Qt::Key_Down);
        QCOMPARE(f1->text(), QStringLiteral("990.120"));
        QCOMPARE(window->generator().frequencyMicrohertz(Tone::F1), qint64(990120000));

        // The level's hundredths up to full scale, and one step past it refused.
        StepEdit* l1 = panel->level[0];
        typeAndEnter(l1, QStringLiteral("-0.02"));
        l1->setCursorPosition(5);
        QTest::keyClick(l1, Qt::Key_Up);
        QCOMPARE(l1->text(), QStringLiteral("-0.01"));
        QCOMPARE(window->Label5->text(), QStringLiteral("Level = + 4.28 dB"));
        QTest::keyClick(l1, Qt::Key_Up);
        QCOMPARE(l1->text(), QStringLiteral("0.00"));
        QCOMPARE(window->Label5->text(), QStringLiteral("Level = + 4.29 dB"));
        QVERIFY(panel->status->text().isEmpty());
        QTest::keyClick(l1, Qt::Key_Up);
        QVERIFY2(panel->status->text().contains(QStringLiteral("0.01 dBFS is refused")),
            qPrintable(panel->status->text()));
        QCOMPARE(l1->text(), QStringLiteral("0"));
        QCOMPARE(window->generator().levelFactorOf(Tone::F1), FullScaleLevel);

        // The sweep's and the bursts' numbers step alike.
        StepEdit* time = panel->sweepTime;
        typeAndEnter(time, QStringLiteral("1.5"));
        time->setCursorPosition(0);
        QTest::keyClick(time, Qt::Key_Up);
        QCOMPARE(time->text(), QStringLiteral("2.5"));
        QCOMPARE(window->generator().state().Sweep.Seconds, 2.5);

        // Tab walks the fields in the order they are read.
        window->show();
        panel->raise();
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        panel->frequency[0]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(panel->frequency[0]));
        QWidget* const order[] = { panel->frequency[1], panel->level[0], panel->levelUnit[0],
            panel->level[1], panel->levelUnit[1], panel->calibration, panel->meterReading,
            panel->calibrate, panel->synthesis, panel->pinkNoise, panel->smpte, panel->ccif,
            panel->sweepOn, panel->sweepLaw, panel->sweepStop, panel->sweepTime, panel->sweepHold,
            panel->sweepReturn, panel->burstOn, panel->burstCycles, panel->burstPeriod,
            panel->burstPhase };
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QVERIFY(messages.isEmpty());
    }

    // "Calibrate from a meter reading": the meter's volts rms of F1 as it is set give the
    // volts of the 0 dB step; the levels in volts then read what the meter reads.
    void instrumentPanelCalibratesFromAMeterReading()
    {
        makeWindow();
        window->showMeterCalibration();
        InstrumentPanel* panel = window->instrumentPanel();
        QVERIFY(panel->isVisible());
        panel->levelUnit[0]->setCurrentIndex(1); // Vrms
        // The start level (1/sqrt(2) in single precision) of a sine at 2 Vpp.
        QCOMPARE(panel->level[0]->text(), QStringLiteral("0.4999999914"));
        typeAndEnter(panel->meterReading, QStringLiteral("1.0"));
        const double vpp = 1.0
            / (window->generator().levelFactorOf(Tone::F1) * remote::rmsAtUnitPeak(WaveSine) / 2.0);
        QCOMPARE(window->generator().calibrationVpp(), vpp);
        QCOMPARE(panel->calibration->text(), QStringLiteral("4.000000068"));
        QCOMPARE(panel->level[0]->text(), QStringLiteral("1"));
        QVERIFY2(panel->status->text().contains(QStringLiteral("4.000000068 Vpp")),
            qPrintable(panel->status->text()));
        // The calibration typed, and a reading that gives none.
        typeAndEnter(panel->calibration, QStringLiteral("2.5"));
        QCOMPARE(window->generator().calibrationVpp(), 2.5);
        typeAndEnter(panel->meterReading, QStringLiteral("0"));
        QVERIFY(panel->status->text().contains(QStringLiteral("Type the volts rms")));
        typeAndEnter(panel->meterReading, QStringLiteral("100000"));
        QVERIFY2(panel->status->text().contains(QStringLiteral("0.001 to 1000 Vpp")),
            qPrintable(panel->status->text()));
        QCOMPARE(window->generator().calibrationVpp(), 2.5);
        QVERIFY(messages.isEmpty());
    }

    void deviceIsRememberedBetweenRuns()
    {
        QStandardPaths::setTestModeEnabled(true);
        rememberOutputDevice("HDMI");
        QCOMPARE(rememberedOutputDevice(), std::string("HDMI"));
        rememberOutputDevice("");
        QCOMPARE(rememberedOutputDevice(), std::string());
        OutputSettings output;
        output.signal.dither = Dither::Tpdf;
        output.sampleRate = 96000;
        output.latencyMs = 120;
        output.remoteOn = true;
        for (const char* loopback : { "6000", "127.0.0.1:6000", "::1:6000" }) {
            output.remoteAddress = loopback;
            rememberOutputSettings(output);
            QCOMPARE(rememberedOutputSettings(), std::optional<OutputSettings>(output));
        }
        // Open to the network is not opened again at the next start without being asked:
        // the address is kept, the switch is off.
        output.remoteAddress = "0.0.0.0:6000";
        rememberOutputSettings(output);
        OutputSettings withheld = output;
        withheld.remoteOn = false;
        QCOMPARE(rememberedOutputSettings(), std::optional<OutputSettings>(withheld));
        QStandardPaths::setTestModeEnabled(false);
    }
};

QTEST_MAIN(FormGenLaunchTest)
#include "FormGenLaunchTest.moc"
