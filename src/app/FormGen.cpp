#include "FormGen.h"

#include "ControlCaptions.h"
#include "FormCode.h"
#include "Help.h"
#include "InputBits.h"
#include "Messages.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "Rounding.h"
#include "SignalPhase.h"
#include "SoundBackend.h"
#include "SoundObjects.h"
#include "TimeView.h"
#include "UpDown.h"
#include "frmAboutGen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTimer>

#include <cmath>
#include <stdexcept>

namespace vellox {

namespace {

    constexpr int VirtualKeyEnter = 13;
    constexpr int SweepTickMs = 10; // Timer1 after a restart
    constexpr int RateSettleMs = 1000; // Timer2 after a sample-rate change
    constexpr int DeviceWatchMs = 250; // a lost device is told within this, and once

    constexpr const char* DeviceHint
        = "Is a sound server running (PulseAudio or PipeWire), and is the output device there?";

    QString qs(const std::string& text)
    {
        return QString::fromStdString(text);
    }

} // namespace

FormGen::FormGen(audio::SoundBackend& backend, QWidget* parent, const std::string& deviceId)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_generator(backend)
    , m_endProgram([] { QCoreApplication::exit(0); })
    , m_backend(backend)
{
    setupUi(this);
    startOnDevice(deviceId);
    Form_Load();
    connectHandlers();
    m_deviceWatch = new QTimer(this);
    m_deviceWatch->setObjectName(QStringLiteral("DeviceWatch"));
    connect(m_deviceWatch, &QTimer::timeout, this, [this] { watchDevice(); });
    m_deviceWatch->start(DeviceWatchMs);
}

FormGen::~FormGen()
{
    Form_Terminate();
}

void FormGen::connectHandlers()
{
    connect(Play, &QPushButton::clicked, this, [this] { Play_Click(); });
    connect(Stop, &QPushButton::clicked, this, [this] { Stop_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });

    connect(Timer1, &QTimer::timeout, this, [this] {
        const bool outer = m_inTimer1Tick; // a failure message's event loop nests ticks
        m_inTimer1Tick = true;
        const auto restore = qScopeGuard([this, outer] { m_inTimer1Tick = outer; });
        Timer1_Timer();
    });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });

    connect(Picture1, &PictureBox::MouseDown, this, &FormGen::Picture1_MouseDown);
    connect(Picture1, &PictureBox::MouseMove, this, &FormGen::Picture1_MouseMove);
    connect(Picture2, &PictureBox::MouseDown, this, &FormGen::Picture2_MouseDown);
    connect(Picture2, &PictureBox::MouseMove, this, &FormGen::Picture2_MouseMove);

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);

    connect(UpDown1, &UpDown::Change, this, [this] { UpDown1_Change(); });
    connect(UpDown2, &UpDown::Change, this, [this] { UpDown2_Change(); });
    connect(UpDown3, &UpDown::Change, this, [this] { UpDown3_Change(); });
    connect(UpDown4, &UpDown::Change, this, [this] { UpDown4_Change(); });
    connect(UpDown5, &UpDown::Change, this, [this] { UpDown5_Change(); });
    connect(UpDown7, &UpDown::Change, this, [this] { UpDown7_Change(); });
    // Only the user's movements scroll the view: actionTriggered is not raised by setValue.
    connect(Slider1, &QSlider::actionTriggered, this, [this](int) { Slider1_Scroll(); });

    // An option's click is its becoming selected.
    auto onSelect = [this](QRadioButton* option, auto handler) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    for (int index = 0; index < int(Option1.size()); ++index)
        connect(Option1[size_t(index)], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked)
                Option1_Click(index);
        });
    onSelect(Option2, &FormGen::Option2_Click);
    onSelect(Option3, &FormGen::Option3_Click);
    onSelect(Option7, &FormGen::Option7_Click);
    onSelect(Option8, &FormGen::Option8_Click);
    onSelect(Option9, &FormGen::Option9_Click);
    onSelect(Option10, &FormGen::Option10_Click);
    onSelect(Option4, &FormGen::Option4_Click);
    onSelect(Option5, &FormGen::Option5_Click);
    onSelect(Option6, &FormGen::Option6_Click);
    for (std::size_t index = 0; index < SampleRateCount; ++index)
        connect(RateOption[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked)
                RateOption_Click(index);
        });
}

// ---- start-up and shut-down -------------------------------------------------------------

void FormGen::Form_Load()
{
    m_generator.loadStartValues();
    Text1->setText(qs(plainNumber(int(StartFrequency1))));
    Text2->setText(qs(plainNumber(int(StartFrequency2))));
    DrawMarcajeFrecventa1();
    DrawMarcajeFrecventa2();
    try {
        m_generator.openSound();
    } catch (const std::exception&) {
        // Without a usable device the window still starts, silent; "Start" opens the
        // device from scratch and reports again if it still fails.
        reportFailure();
    }
}

void FormGen::watchDevice()
{
    // While a message is open (this one or another), the watch waits: the loss is told once
    // the user has read it, never as a second box over the first.
    if (m_reporting || m_ended)
        return;
    const std::optional<std::string> lost = m_generator.watchDevice();
    if (!lost)
        return;
    // The window no longer plays: no buffer, no sweep restarting into nothing. Start opens
    // the device afresh, on the default one if the chosen device is gone.
    setTimerInterval(Timer1, 0);
    setTimerInterval(Timer2, 0);
    const std::string note = deviceGoneNote();
    m_reporting = true;
    showMessage(this,
        QStringLiteral("The sound stopped: %1. Press Start to play again.")
            .arg(QString::fromStdString(*lost)),
        QString::fromStdString(note.empty() ? std::string(DeviceHint) : note.substr(1)));
    m_reporting = false;
}

std::string FormGen::deviceGoneNote()
{
    // A device that went away (unplugged): the next Start plays on the default device.
    const std::string device = outputDevice();
    if (device.empty() || deviceListed(device))
        return {};
    m_sound->setDeviceId({});
    showOutputDevice();
    return "\nThe output device \"" + device
        + "\" is gone; the next Start plays on the default device.";
}

void FormGen::releaseAndEnd()
{
    Timer1->stop();
    Timer2->stop();
    if (m_deviceWatch != nullptr)
        m_deviceWatch->stop();
    m_sound->ReleaseSound();
    if (m_ended)
        return;
    m_ended = true;
    if (m_endProgram)
        m_endProgram();
}

void FormGen::Command2_Click()
{
    releaseAndEnd();
}

void FormGen::Form_QueryUnload()
{
    releaseAndEnd();
}

void FormGen::Form_Terminate()
{
    releaseAndEnd();
}

void FormGen::closeEvent(QCloseEvent* event)
{
    // Closing is never refused.
    Form_QueryUnload();
    event->accept();
}

// ---- buttons ---------------------------------------------------------------------------

void FormGen::Command1_Click()
{
    openHelp(this);
}

void FormGen::Command6_Click()
{
    frmAboutGen about(this);
    about.exec();
}

void FormGen::showFormCode()
{
    // One dialog serves every call, loaded afresh at each showing: it reads the shared
    // bit-code settings when it is built, so a Cancel never leaves stale edits behind.
    FormCode dialog(m_module1, this);
    dialog.exec();
}

void FormGen::Command3_Click()
{
    showFormCode();
    Play_Click();
}

FormGen::RemoteChange::RemoteChange(FormGen& window, bool holdSound)
    : m_window(window)
{
    if (m_window.m_remoteChanges++ == 0) {
        m_window.m_remoteFailure.clear();
        m_window.m_soundHeld = holdSound && !m_window.m_generator.playing();
    }
}

FormGen::RemoteChange::~RemoteChange()
{
    if (--m_window.m_remoteChanges == 0)
        m_window.m_soundHeld = false;
}

void FormGen::reportFailure(const std::string& reason)
{
    if (m_remoteChanges > 0) {
        // The command answers for it; a box would wait for a user who may not be there.
        if (m_remoteFailure.empty())
            m_remoteFailure = reason.empty() ? std::string("the sound device failed") : reason;
        return;
    }
    // The message keeps its text; what the sound layer said, and what to look at, go into
    // its details.
    QString detail = QString::fromStdString(reason);
    if (!reason.empty())
        detail += QStringLiteral("\n\n") + QLatin1String(DeviceHint);
    m_reporting = true;
    showMessage(this, QString::fromLatin1(PlayFailureMessage), detail);
    m_reporting = false;
}

void FormGen::setTimerInterval(QTimer* timer, int milliseconds)
{
    // An interval of 0 means idle; any other value (re)starts the countdown.
    if (milliseconds == 0) {
        timer->stop();
        timer->setInterval(0);
    } else if (timer == Timer1 && m_inTimer1Tick && timer->isActive()
        && timer->interval() == milliseconds) {
        // Re-armed with its own interval by its own tick (every sweep step restarts the
        // sound): the countdown that began when the tick was due runs on, so a step comes
        // every 10 ms instead of 10 ms after the step's work. A step that outlasts the
        // interval is followed by one tick at once, never by a pile of them.
    } else {
        timer->start(milliseconds);
    }
}

void FormGen::Play_Click()
{
    // Settings from the command line go through the handlers, which restart; the sound
    // starts once they are all set, and only when asked for.
    if (m_launching)
        return;
    bool scaleDrawn = false;
    Picture1->Cls();
    if (m_soundHeld) {
        // A remote change while the sound is off: everything but the sound.
        DrawMarcajeFrecventa1();
        try {
            SynthesizeSignal();
        } catch (const std::exception& e) {
            reportFailure(e.what());
        }
        return;
    }
    try {
        m_generator.restart({ [&] {
                                 DrawMarcajeFrecventa1();
                                 scaleDrawn = true;
                             },
            [&] {
                DrawTimeView();
                setTimerInterval(Timer1, SweepTickMs);
            } });
    } catch (const std::exception& e) {
        // The F1 scale was cleared first; a failure before it was drawn again would leave
        // the strip blank while F1 still holds its frequency.
        if (!scaleDrawn)
            DrawMarcajeFrecventa1();
        ++m_playFailures;
        reportFailure(e.what() + deviceGoneNote());
    }
}

void FormGen::Stop_Click()
{
    // A device that refuses to stop is reported like a failed start; an exception must
    // not leave the click handler, where it would end the program.
    try {
        m_generator.stop();
    } catch (const std::exception&) {
        reportFailure();
    }
}

// ---- timers ----------------------------------------------------------------------------

void FormGen::Timer1_Timer()
{
    // While a failure message is open its own event loop still delivers ticks; they wait
    // until the user has read it, so failures never pile up one box on another.
    if (m_reporting)
        return;
    if (m_state.SweepMode == SweepManual) {
        setTimerInterval(Timer1, 0);
        try {
            SynthesizeSignal();
        } catch (const std::exception&) {
            reportFailure();
        }
        return;
    }
    const int16_t previous = m_state.Frequency1;
    if (m_state.SweepMode != SweepLinear && m_state.SweepMode != SweepLogaritmic)
        return;
    try {
        m_state.Frequency1 = nextSweepFrequency(m_state.SweepMode, m_state.Frequency1);
        SynthesizeSignal();
    } catch (const std::exception&) {
        // A failed step leaves F1 where the spinner shows it and pauses the sweep until the
        // next restart, instead of repeating the failure every 10 ms.
        m_state.Frequency1 = previous;
        setTimerInterval(Timer1, 0);
        reportFailure();
        return;
    }
    // The spinner's change handler restarts the sound. When that restart fails, the sweep
    // pauses like a failed synthesis does: the device stays as broken for the next step,
    // which would bring the same message again 10 ms after this one is dismissed.
    const quint64 failuresBefore = m_playFailures;
    UpDown1->setValue(m_state.Frequency1);
    if (m_playFailures != failuresBefore)
        setTimerInterval(Timer1, 0);
}

void FormGen::Timer2_Timer()
{
    setTimerInterval(Timer1, SweepTickMs);
    setTimerInterval(Timer2, 0);
}

// ---- sample rate -----------------------------------------------------------------------

void FormGen::changeSampleRate(int32_t rate)
{
    setTimerInterval(Timer1, 0);
    try {
        m_generator.setSampleRate(rate);
    } catch (const std::exception&) {
        // Reported like Play's failure; the next Play opens everything afresh.
        reportFailure();
    }
    setTimerInterval(Timer2, RateSettleMs);
}

void FormGen::RateOption_Click(std::size_t index)
{
    changeSampleRate(SampleRates[index]);
}

void FormGen::Option11_Click()
{
    RateOption_Click(0);
}
void FormGen::Option12_Click()
{
    RateOption_Click(1);
}
void FormGen::Option13_Click()
{
    RateOption_Click(2);
}

// ---- frequency scales ------------------------------------------------------------------

void FormGen::DrawMarcajeFrecventa1()
{
    m_frame1.drawMarker();
}

void FormGen::DrawMarcajeFrecventa2()
{
    m_frame2.drawMarker();
}

void FormGen::Picture1_MouseDown(int button, int, float x, float)
{
    m_frame1.pointer(button, x, false);
}
void FormGen::Picture1_MouseMove(int button, int, float x, float)
{
    m_frame1.pointer(button, x, true);
}
void FormGen::Picture2_MouseDown(int button, int, float x, float)
{
    m_frame2.pointer(button, x, false);
}
void FormGen::Picture2_MouseMove(int button, int, float x, float)
{
    m_frame2.pointer(button, x, true);
}

// ---- frequency entry -------------------------------------------------------------------

void FormGen::Command4_Click()
{
    m_frame1.enter();
}
void FormGen::Command5_Click()
{
    m_frame2.enter();
}

void FormGen::Text1_KeyDown(int keyCode, int)
{
    if (keyCode == VirtualKeyEnter)
        Command4_Click();
}

void FormGen::Text2_KeyDown(int keyCode, int)
{
    if (keyCode == VirtualKeyEnter)
        Command5_Click();
}

bool FormGen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == Text1 || watched == Text2)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const int keyCode = enter ? VirtualKeyEnter : (key->key() < 256 ? key->key() : 0);
        const int shift = shiftBits(key->modifiers());
        if (watched == Text1)
            Text1_KeyDown(keyCode, shift);
        else
            Text2_KeyDown(keyCode, shift);
        return enter; // Enter is consumed; every other key reaches the box as usual
    }
    return QWidget::eventFilter(watched, event);
}

// ---- spinners and slider ---------------------------------------------------------------

void FormGen::frequencyChanged(FrequencyFrame& frame)
{
    frame.takeFrequency();
    try {
        SynthesizeSignal();
    } catch (const std::exception&) {
        // The restart below computes the same samples again and reports its failure once.
    }
    Play_Click();
}

void FormGen::levelChanged(FrequencyFrame& frame)
{
    frame.takeLevel();
    m_generator.setLevelStep(
        &frame == &m_frame1 ? 1 : 2, (&frame == &m_frame1 ? UpDown2 : UpDown4)->value());
    Play_Click();
}

void FormGen::UpDown1_Change()
{
    frequencyChanged(m_frame1);
}
void FormGen::UpDown3_Change()
{
    frequencyChanged(m_frame2);
}
void FormGen::UpDown2_Change()
{
    levelChanged(m_frame1);
}
void FormGen::UpDown4_Change()
{
    levelChanged(m_frame2);
}

void FormGen::UpDown5_Change()
{
    Label2->setText(qs(noiseCaption(UpDown5->value())));
    m_generator.setNoiseStep(UpDown5->value());
    Play_Click();
}

void FormGen::UpDown7_Change()
{
    Label3->setText(qs(dutyCaption(UpDown7->value())));
    m_generator.setDutyPercent(UpDown7->value());
    Play_Click();
}

void FormGen::Slider1_Scroll()
{
    // During a user action the position is already moved while value() still lags.
    m_state.TimeViewSpan = timeViewSpan(Slider1->sliderPosition());
    DrawTimeView();
}

// ---- option groups ---------------------------------------------------------------------

void FormGen::Option1_Click(int Index)
{
    m_state.Waveform = int16_t(Index);
    Option9->setEnabled(enablesFmAndSetBit(Index));
    Command3->setEnabled(enablesFmAndSetBit(Index));
    // The command line and the remote control give the dialog's boxes themselves.
    if (Index == WaveBitCode && !m_launching && m_remoteChanges == 0)
        showFormCode();
    Play_Click();
}

void FormGen::setChannelMode(int16_t mode)
{
    m_state.ChannelMode = mode;
    Play_Click();
}

void FormGen::Option2_Click()
{
    setChannelMode(ModeF1Both);
}
void FormGen::Option3_Click()
{
    setChannelMode(ModeF1PlusF2);
}
void FormGen::Option7_Click()
{
    setChannelMode(ModeAm);
}
void FormGen::Option8_Click()
{
    setChannelMode(ModeAmSp);
}
void FormGen::Option9_Click()
{
    setChannelMode(ModeFm);
}
void FormGen::Option10_Click()
{
    setChannelMode(ModeStereo);
}

void FormGen::Option4_Click()
{
    m_state.SweepMode = SweepManual;
}
void FormGen::Option5_Click()
{
    m_state.SweepMode = SweepLinear;
}
void FormGen::Option6_Click()
{
    m_state.SweepMode = SweepLogaritmic;
}

// ---- synthesis and time view -----------------------------------------------------------

void FormGen::SynthesizeSignal()
{
    m_generator.synthesize();
    DrawTimeView();
}

FormGen::DrawnTimeView FormGen::timeViewInputs() const
{
    return { m_generator.samplesId(), m_state.TimeViewSpan, m_state.Waveform, m_state.ChannelMode,
        m_state.Frequency1, m_state.Frequency2, m_module1.BitLength, Picture3->generation(),
        Picture3->current(), Picture3->foreColor().rgb(), Picture3->drawWidth(),
        int(Picture3->drawMode()), int(Picture3->drawStyle()) };
}

void FormGen::DrawTimeView()
{
    // The lowest slider position (span 0) has no scale of its own and draws as the
    // smallest span, 100; a buffer shorter than the view draws the points it has.
    if (m_drawnTimeView && *m_drawnTimeView == timeViewInputs())
        return;
    m_drawnTimeView.reset();
    ::vellox::DrawTimeView(*Picture3, m_state.Samples, m_state.TimeViewSpan, m_state.Waveform,
        m_state.ChannelMode, m_state.Frequency1, m_state.Frequency2, m_module1.BitLength);
    m_drawnTimeView = timeViewInputs();
}

} // namespace vellox
