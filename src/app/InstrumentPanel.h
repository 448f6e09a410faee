#pragma once

// The instrument panel: the settings the front panel shows only to the whole hertz and the
// 3 dB step, to their last digit. F1 and F2 to 1 uHz, each tone's level in dBFS, volts or
// decibels of a volt, the output's calibration (typed, or worked out from a meter's
// reading), the synthesis, the signals of a measurement (pink noise, the two-tone sets of
// intermodulation), and what only the precise synthesis plays: a sweep of F1 of a set length
// and tone bursts of F1. A non-modal dialog of the main window over its one generator: its
// changes are a script's (a sound that plays restarts, one that is off stays off), the front
// panel follows them as it follows any change, and the window tells the panel of every
// change while it is shown (showSettings). A setting the generator refuses is said in the
// panel, with the generator's reason; nothing is rounded to make it fit. UI thread only.
//
// The keyboard: Tab walks the fields in the order they are read, down the left column and
// then the right; in a number field Enter applies it, Up and Down step the digit at the
// cursor and apply at once, Escape takes back typing not yet applied (a second Escape closes
// the panel). A switch, a list or a button applies as it changes; the sweep's and the
// bursts' numbers are set whether or not they are on, so that they are ready when switched
// on.

#include "Generator.h"
#include "LevelScale.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vellox {

class StepEdit;

class InstrumentPanel : public QDialog {
    Q_OBJECT

public:
    InstrumentPanel(Generator& generator, QWidget* parent);

    // The fields of the settings named by `what` (Changed bits) as the generator holds them
    // now. A field with typing not yet applied keeps it, and one that says the same number
    // in other digits (1000.0 for 1000) keeps the user's digits.
    void showSettings(uint32_t what);
    // "Calibrate from a meter reading": the cursor in the reading's field.
    void askForMeterReading();

    // The fields, by tone (index 0 F1, 1 F2) where there is one of each.
    std::array<StepEdit*, 2> frequency {};
    std::array<StepEdit*, 2> level {};
    std::array<QComboBox*, 2> levelUnit {};
    StepEdit* calibration = nullptr; // Vpp of a sine at the front panel's 0 dB step
    StepEdit* meterReading = nullptr; // Vrms of F1 as a meter reads it
    QPushButton* calibrate = nullptr;
    QComboBox* synthesis = nullptr;
    // The signals of a measurement, set as one change each; inForce names the one the
    // settings are, whoever set them, or says nothing.
    QPushButton* pinkNoise = nullptr;
    QPushButton* smpte = nullptr;
    QPushButton* ccif = nullptr;
    QLabel* inForce = nullptr;
    // The sweep of F1 of a set length: from F1 to the stop frequency, held, and back.
    QCheckBox* sweepOn = nullptr;
    QComboBox* sweepLaw = nullptr; // Linear, Logarithmic
    StepEdit* sweepStop = nullptr; // Hz, to 1 uHz
    StepEdit* sweepTime = nullptr; // seconds
    StepEdit* sweepHold = nullptr;
    StepEdit* sweepReturn = nullptr;
    // Tone bursts of F1.
    QCheckBox* burstOn = nullptr;
    StepEdit* burstCycles = nullptr;
    StepEdit* burstPeriod = nullptr; // seconds
    StepEdit* burstPhase = nullptr; // degrees
    // What the last change did not take, and why; or what it found (the calibration).
    QLabel* status = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFrequency(Tone tone, bool force = false);
    void showLevel(Tone tone, bool force = false);
    void showCalibration(bool force = false);
    void showSynthesis();
    void showSignal();
    void showSweep(bool force = false);
    void showBurst(bool force = false);
    void applyFrequency(Tone tone, bool stepped);
    void applyLevel(Tone tone, bool stepped);
    void applyCalibration(bool stepped);
    void calibrateFromMeter();
    void applySynthesis();
    void applySignal(const std::function<SetResult()>& change);
    // The switch and the law as the panel shows them, the numbers as they are set.
    void applySweepSwitch();
    void applySweepStop(bool stepped);
    void applySweepSeconds(StepEdit* field, double TimedSweep::*seconds, bool stepped);
    void applyBurstSwitch();
    void applyBurstCycles(bool stepped);
    void applyBurstNumber(StepEdit* field, double ToneBurst::*number, bool stepped);
    SetResult changeSweep(const std::function<void(TimedSweep&)>& edit);
    SetResult changeBurst(const std::function<void(ToneBurst&)>& edit);
    // Applies `field` through `change`: a refusal is said, and the field shows the setting in
    // force again after a step, or keeps the user's typing to mend.
    void apply(StepEdit* field, bool stepped, const std::function<SetResult()>& change,
        const std::function<void()>& showAgain);
    void refuse(
        StepEdit* field, bool stepped, const QString& why, const std::function<void()>& showAgain);
    // Says what a change did, taken or taken without the sound starting again; returns the
    // generator's reason when it was refused, for the caller to say and show what holds.
    std::optional<QString> refusal(const SetResult& result);
    void say(const QString& text, bool trouble);
    remote::VoltageUnit unitOf(Tone tone) const;
    double rmsOf(Tone tone) const;

    Generator& m_generator;
};

} // namespace vellox
