#pragma once

// The generator's main window: the front panel, its handlers, playback and the F1 sweep.
// Everything runs on the UI thread; handlers nest exactly as Qt's synchronous signals
// nest them (setting a spinner's value runs its change handler inside the assignment).

#include "CommandLine.h"
#include "FormGenUi.h"
#include "FrequencyFrame.h"
#include "Generator.h"
#include "GeneratorState.h"
#include "OutputSettings.h"
#include "SynthTypes.h"

#include <QPointF>
#include <QRgb>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QTimer;

namespace vellox {

class InstrumentPanel;

namespace audio {
    class SoundBackend;
    class SoundObjects;
}

// The one failure text of the restart sequence (leading blank included).
inline constexpr const char* PlayFailureMessage = " DirectX error, set data to properly value";

// The controls are FormGenUi's, public members of the window under their names in the
// window (window->UpDown1, window->Option1[8]); their layout is FormGenUi.cpp's.
class FormGen : public QWidget, public FormGenUi, private GeneratorListener {
    Q_OBJECT

public:
    // `backend` is the sound device boundary: SDL in the program, the recording fake in
    // tests. It must outlive the window. The constructor runs Form_Load, on the playback
    // device `deviceId` ("" the default); a device the backend does not list is reported
    // once, and the default device plays.
    explicit FormGen(
        audio::SoundBackend& backend, QWidget* parent = nullptr, const std::string& deviceId = {});
    // Form_Terminate: the sound is released and the program asked to end.
    ~FormGen() override;

    // How "the program ends" is carried out: QCoreApplication::exit(0) by default. Tests
    // replace it so that ending the program does not stop their own event loops.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // The output device (FormGenDevices.cpp). The menu of the "Settings" frame, opened by a
    // right-click: "Default" first, then the backend's devices, the one in use checked;
    // built afresh at each opening, owned by the caller.
    QMenu* outputDeviceMenu();
    // Plays on deviceId ("" the default) from now on: the sound restarts there, and
    // rememberDevice (if set) keeps the choice for the next run.
    void chooseOutputDevice(const std::string& deviceId);
    const std::string& outputDevice() const;
    void setRememberDevice(std::function<void(const std::string&)> remember)
    {
        m_rememberDevice = std::move(remember);
    }

    // The output settings (FormGenOutput.cpp): the dialog the "Settings" frame's menu opens,
    // and the settings in force. applyOutputSettings takes them as one change of the
    // generator (a sound that played restarts with them, one that was off stays off), shows
    // a new rate in the frame (no option checked for a rate the frame does not offer) and
    // switches the remote control. rememberOutput (if set) keeps them. The dialog's OK
    // applies only what its user changed: a remote change made while it was open stays.
    OutputSettings outputSettings() const;
    void applyOutputSettings(const OutputSettings& settings, bool remember = true);
    void showOutputSettings();
    void setRememberOutput(std::function<void(const OutputSettings&)> remember)
    {
        m_rememberOutput = std::move(remember);
    }
    // The instrument panel (FormGenMenus.cpp), opened from the menu bar's "Instrument" menu
    // (Ctrl+I): every setting to its last digit, beside the front panel and always agreeing
    // with it. Non-modal, one for the window, made at its first opening (null before).
    void showInstrumentPanel();
    // "Calibrate from a meter reading": the panel, with the cursor in the reading's field.
    void showMeterCalibration();
    InstrumentPanel* instrumentPanel() const { return m_instrumentPanel; }

    // Switches the remote control on (at an address "[ADDRESS:]PORT") or off; returns "" or
    // the reason it cannot listen. Without it the dialog's remote control does nothing.
    using RemoteSwitch = std::function<std::string(bool on, const std::string& address)>;
    void setRemoteSwitch(RemoteSwitch remoteSwitch) { m_remoteSwitch = std::move(remoteSwitch); }
    // While the remote control listens where other machines reach it (`where`, "" when it
    // does not), the title says so: anyone on the network can play through the sound card.
    void showRemoteExposure(const std::string& where);

    // Sets the generator from the command line, through the setters every face uses; the
    // controls show the result. No sound starts (but with `start`) and the bit-code dialog
    // does not open: its rules apply to the command line's boxes, and their messages are
    // returned.
    std::vector<std::string> applyLaunchOptions(const LaunchOptions& options);

    // Start-up and shut-down.
    void Form_Load();
    void Command2_Click(); // "Exit"
    void Form_QueryUnload(); // the window is closing; never refused
    void Form_Terminate(); // the window object goes away

    // Buttons.
    void Command1_Click(); // "Help"
    void Command3_Click(); // "Set Bit"
    void Command6_Click(); // "About"
    void Play_Click(); // "Start": the one path to sound
    void Stop_Click();

    // Timers.
    void Timer1_Timer();
    void Timer2_Timer();

    // Sample-rate options: the option of SampleRates[index], and the first three by name.
    void RateOption_Click(std::size_t index);
    void Option11_Click();
    void Option12_Click();
    void Option13_Click();

    // Frequency scales. `button`: 1 left, 2 right, 4 middle; x, y in canvas pixels.
    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture1_MouseMove(int button, int shift, float x, float y);
    void Picture2_MouseDown(int button, int shift, float x, float y);
    void Picture2_MouseMove(int button, int shift, float x, float y);
    void DrawMarcajeFrecventa1();
    void DrawMarcajeFrecventa2();

    // Frequency entry. keyCode is the virtual key code (13 = Enter).
    void Command4_Click();
    void Command5_Click();
    void Text1_KeyDown(int keyCode, int shift);
    void Text2_KeyDown(int keyCode, int shift);

    // Spinners and slider.
    void UpDown1_Change();
    void UpDown2_Change();
    void UpDown3_Change();
    void UpDown4_Change();
    void UpDown5_Change();
    void UpDown7_Change();
    void Slider1_Scroll();

    // Option groups.
    void Option1_Click(int Index);
    void Option2_Click();
    void Option3_Click();
    void Option7_Click();
    void Option8_Click();
    void Option9_Click();
    void Option10_Click();
    void Option4_Click();
    void Option5_Click();
    void Option6_Click();

    // Recomputes Samples and the phase steps from the state, then draws the time view.
    void SynthesizeSignal();
    void DrawTimeView();

    const GeneratorState& state() const { return m_state; }
    const Module1& module1() const { return m_module1; }
    const audio::SoundObjects& sound() const { return *m_sound; }
    // The generator the window shows: the remote control and the tests change it directly,
    // and the controls follow.
    Generator& generator() { return m_generator; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    void connectMenus();
    // The device choices of a menu: "Default" first, then the backend's devices, the one in
    // use checked.
    void addDeviceActions(QMenu* menu);
    // Tells the instrument panel, while it is shown, of the settings named by `what`.
    void showInInstrumentPanel(uint32_t what);
    void watchDevice();
    std::string deviceGoneNote();
    void releaseAndEnd();
    void reportFailure(const std::string& reason = {});
    void showOutputDevice();
    void showSampleRate();
    void startOnDevice(const std::string& deviceId);
    bool deviceListed(const std::string& deviceId);
    void setTimerInterval(QTimer* timer, int milliseconds);
    void changeSampleRate(int32_t rate);
    void showFormCode();
    void setChannelMode(ChannelModeValue mode);
    // After a front-panel change: a failed restart is reported (a refusal shows the
    // controls as the generator holds them again).
    void panelChange(const SetResult& result);
    void playFailed(const SetResult& result);
    // The controls of the settings named by `what` (Changed bits) as the generator holds them.
    void showSettings(uint32_t what);

    // The generator's listener: the controls follow every change, whatever face made it, and
    // a restart draws between its steps.
    void settingsChanged(uint32_t what) override;
    void restartBegins() override;
    void soundOpened() override;
    void samplesReady() override;
    void soundStarted() override;

    // The settings, the sound and the buffer: the window's handlers change them through
    // the generator, which the other faces (--play, the remote server) share.
    Generator m_generator;
    const GeneratorState& m_state = m_generator.state();
    const Module1& m_module1 = m_generator.module1();
    audio::SoundObjects* const m_sound = &m_generator.sound();
    // The F1 and F2 frames with their scales, over the generator's tone of each.
    FrequencyFrame m_frame1 { F1Controls, ScaleStyle::f1(), m_generator, Tone::F1 };
    FrequencyFrame m_frame2 { F2Controls, ScaleStyle::f2(), m_generator, Tone::F2 };
    std::function<void()> m_endProgram;
    audio::SoundBackend& m_backend;
    std::function<void(const std::string&)> m_rememberDevice;
    std::function<void(const OutputSettings&)> m_rememberOutput;
    RemoteSwitch m_remoteSwitch;
    bool m_remoteOn = false;
    // The rate the output device runs at, as the sound layer told when the menu last asked.
    std::optional<int32_t> m_deviceRateShown;
    std::string m_remoteAddress = OutputSettings {}.remoteAddress;
    bool m_ended = false; // the sound was released on the way out; later paths do nothing
    bool m_reporting = false; // a failure message is open; timer ticks wait for it
    bool m_scaleCleared = false; // a restart cleared the F1 scale and has not drawn it yet
    bool m_inTimer1Tick = false; // Timer1_Timer runs as Timer1's tick
    // The window's child; deleted before the generator it shows.
    InstrumentPanel* m_instrumentPanel = nullptr;
    // Asks the sound layer every DeviceWatchMs whether the device that plays has gone away.
    QTimer* m_deviceWatch = nullptr;

    // What the time view shows: redrawing the same samples with the same labels and span
    // on an untouched Picture3 would give the same pixels and leave the same pen, so it is
    // skipped.
    struct DrawnTimeView {
        uint64_t samplesId = 0;
        int32_t span = 0;
        int16_t waveform = 0;
        int16_t channelMode = 0;
        int16_t frequency1 = 0;
        int16_t frequency2 = 0;
        float bitLength = 0.0f;
        quint64 pictureGeneration = 0;
        QPointF penAt;
        QRgb penColour = 0;
        int penWidth = 0;
        int penMode = 0;
        int penStyle = 0;
        bool operator==(const DrawnTimeView&) const = default;
    };
    std::optional<DrawnTimeView> m_drawnTimeView;
    DrawnTimeView timeViewInputs() const;
};

} // namespace vellox
