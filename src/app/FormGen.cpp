#include "FormGen.h"

#include "ControlCaptions.h"
#include "FormCode.h"
#include "Help.h"
#include "InputBits.h"
#include "InstrumentPanel.h"
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
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <cmath>
#include <stdexcept>

namespace vellox {

namespace {

    constexpr int VirtualKeyEnter = 13;
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
    m_generator.setListener(this);
    startOnDevice(deviceId);
    Form_Load();
    connectHandlers();
    connectMenus();
    m_deviceWatch = new QTimer(this);
    m_deviceWatch->setObjectName(QStringLiteral("DeviceWatch"));
    connect(m_deviceWatch, &QTimer::timeout, this, [this] { watchDevice(); });
    m_deviceWatch->start(DeviceWatchMs);
}

FormGen::~FormGen()
{
    // Qt would delete the panel only after the generator it holds is gone.
    delete m_instrumentPanel;
    m_instrumentPanel = nullptr;
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
    // The generator holds the start values from its making.
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
    m_generator.releaseSound();
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
    // bit-code settings when it is built, so a Cancel never leaves stale edits behind. Its OK
    // stores only the boxes its user changed: a remote change made while it was open stays.
    Module1 edited = m_module1;
    FormCode dialog(edited, this);
    dialog.setStore([this, opened = edited](const Module1& chosen) {
        Module1 stored = m_module1;
        if (chosen.BitCode != opened.BitCode)
            stored.BitCode = chosen.BitCode;
        if (chosen.BitLength != opened.BitLength)
            stored.BitLength = chosen.BitLength;
        if (chosen.RepetitiveTime != opened.RepetitiveTime)
            stored.RepetitiveTime = chosen.RepetitiveTime;
        // The restart that follows the dialog plays them.
        if (const SetResult result = m_generator.setBitCode(stored, ChangeFrom::Settings);
            !result.ok())
            reportFailure(result.error().detail());
    });
    dialog.exec();
}

void FormGen::Command3_Click()
{
    showFormCode();
    Play_Click();
}

void FormGen::reportFailure(const std::string& reason)
{
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
    if (const SetResult result = m_generator.start(); !result.ok())
        playFailed(result);
}

void FormGen::playFailed(const SetResult& result)
{
    // The F1 scale was cleared first; a failure before it was drawn again would leave the
    // strip blank while F1 still holds its frequency.
    if (m_scaleCleared) {
        m_scaleCleared = false;
        DrawMarcajeFrecventa1();
    }
    reportFailure(result.error().detail() + deviceGoneNote());
}

void FormGen::panelChange(const SetResult& result)
{
    if (result.ok())
        return;
    if (result.error().code == remote::ErrorCode::Execution) {
        playFailed(result);
        return;
    }
    // A control the generator refused (the front panel greys what it refuses): the
    // controls show what holds.
    showSettings(Changed::All);
}

void FormGen::Stop_Click()
{
    // A device that refuses to stop is reported like a failed start.
    if (!m_generator.stop().ok())
        reportFailure();
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
    // A failed step pauses the sweep until the next restart: the device stays as broken
    // for the next step, which would bring the same message again 10 ms after this one.
    if (const SetResult result = m_generator.sweepStep(ChangeFrom::Panel); !result.ok()) {
        setTimerInterval(Timer1, 0);
        panelChange(result);
    }
}

void FormGen::Timer2_Timer()
{
    setTimerInterval(Timer1, SweepStepMs);
    setTimerInterval(Timer2, 0);
}

// ---- sample rate -----------------------------------------------------------------------

void FormGen::changeSampleRate(int32_t rate)
{
    setTimerInterval(Timer1, 0);
    // A failure is reported like Play's; the next Play opens everything afresh.
    if (!m_generator.setSampleRate(rate, ChangeFrom::Panel).ok())
        reportFailure();
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

void FormGen::UpDown1_Change()
{
    panelChange(m_generator.setFrequency(Tone::F1, UpDown1->value(), ChangeFrom::Panel));
}
void FormGen::UpDown3_Change()
{
    panelChange(m_generator.setFrequency(Tone::F2, UpDown3->value(), ChangeFrom::Panel));
}
void FormGen::UpDown2_Change()
{
    panelChange(m_generator.setLevelStep(Tone::F1, UpDown2->value(), ChangeFrom::Panel));
}
void FormGen::UpDown4_Change()
{
    panelChange(m_generator.setLevelStep(Tone::F2, UpDown4->value(), ChangeFrom::Panel));
}

void FormGen::UpDown5_Change()
{
    panelChange(m_generator.setNoiseStep(UpDown5->value(), ChangeFrom::Panel));
}

void FormGen::UpDown7_Change()
{
    panelChange(m_generator.setDutyPercent(UpDown7->value(), ChangeFrom::Panel));
}

void FormGen::Slider1_Scroll()
{
    // During a user action the position is already moved while value() still lags.
    m_generator.setTimeViewSpan(timeViewSpan(Slider1->sliderPosition()));
    DrawTimeView();
}

// ---- option groups ---------------------------------------------------------------------

void FormGen::Option1_Click(int Index)
{
    // The bit-code dialog's settings first; the waveform's restart then plays them.
    if (Index == WaveBitCode)
        showFormCode();
    panelChange(m_generator.setWaveform(WaveformIndex(Index), ChangeFrom::Panel));
}

void FormGen::setChannelMode(ChannelModeValue mode)
{
    panelChange(m_generator.setChannelMode(mode, ChangeFrom::Panel));
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
    m_generator.setSweepMode(remote::SweepMode::Manual, ChangeFrom::Panel);
}
void FormGen::Option5_Click()
{
    m_generator.setSweepMode(remote::SweepMode::Linear, ChangeFrom::Panel);
}
void FormGen::Option6_Click()
{
    m_generator.setSweepMode(remote::SweepMode::Logarithmic, ChangeFrom::Panel);
}

// ---- the generator's listener ----------------------------------------------------------

namespace {

    void checkQuietly(QRadioButton* option)
    {
        if (option->isChecked())
            return;
        const QSignalBlocker quiet(option);
        option->setChecked(true);
    }

} // namespace

void FormGen::showSettings(uint32_t what)
{
    if (what & Changed::Frequency1)
        m_frame1.showFrequency();
    if (what & Changed::Frequency2)
        m_frame2.showFrequency();
    if (what & Changed::Level1)
        m_frame1.showLevel();
    if (what & Changed::Level2)
        m_frame2.showLevel();
    if (what & Changed::Waveform) {
        const int waveform = m_state.Waveform;
        if (m_state.Pink) {
            // No option says pink noise, and "W Noise" checked would say white: none is
            // checked, as the rate options for a rate they do not offer, so that a click on
            // "W Noise" checks it and ends the pink noise as any waveform chosen does.
            for (QRadioButton* option : Option1) {
                const QSignalBlocker quiet(option);
                option->setAutoExclusive(false);
                option->setChecked(false);
                option->setAutoExclusive(true);
            }
        } else {
            checkQuietly(Option1[std::size_t(waveform)]);
        }
        Option9->setEnabled(m_generator.fmOffered());
        Command3->setEnabled(enablesFmAndSetBit(waveform));
    }
    if (what & Changed::ChannelMode) {
        QRadioButton* const modes[] = { Option2, Option3, Option7, Option8, Option9, Option10 };
        checkQuietly(modes[m_state.ChannelMode - ModeF1Both]);
    }
    if (what & Changed::Noise) {
        UpDown5->showValue(m_generator.steps().noise);
        Label2->setText(qs(noiseCaption(m_generator.steps().noise)));
    }
    if (what & Changed::Duty) {
        UpDown7->showValue(m_generator.steps().dutyPercent);
        Label3->setText(qs(dutyCaption(m_generator.steps().dutyPercent)));
    }
    if (what & Changed::Sweep) {
        const remote::SweepMode mode = m_generator.sweepMode();
        checkQuietly(mode == remote::SweepMode::Linear   ? Option5
                : mode == remote::SweepMode::Logarithmic ? Option6
                                                         : Option4);
    }
    if (what & Changed::SampleRate)
        showSampleRate();
}

void FormGen::settingsChanged(uint32_t what)
{
    showSettings(what);
    showInInstrumentPanel(what);
    if (what & (Changed::Frequency1 | Changed::Frequency2)) {
        // The time view shows the new frequency even when the restart below fails; the
        // restart takes the same samples again from the cache.
        try {
            SynthesizeSignal();
        } catch (const std::exception&) {
        }
    }
}

void FormGen::restartBegins()
{
    Picture1->Cls();
    m_scaleCleared = true;
}

void FormGen::soundOpened()
{
    DrawMarcajeFrecventa1();
    m_scaleCleared = false;
}

void FormGen::samplesReady()
{
    DrawTimeView();
}

void FormGen::soundStarted()
{
    setTimerInterval(Timer1, SweepStepMs);
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
