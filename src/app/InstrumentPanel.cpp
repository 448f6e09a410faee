#include "InstrumentPanel.h"

#include "ProgramLook.h"
#include "StepEdit.h"
#include "ToneStream.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>

namespace vellox {

using remote::VoltageUnit;

namespace {

    int indexOf(Tone tone)
    {
        return tone == Tone::F1 ? 0 : 1;
    }

    QString nameOf(Tone tone)
    {
        return tone == Tone::F1 ? QStringLiteral("F1") : QStringLiteral("F2");
    }

    struct UnitName {
        VoltageUnit unit;
        const char* name;
    };
    constexpr UnitName Units[] = {
        { VoltageUnit::Dbfs, "dBFS" },
        { VoltageUnit::Vrms, "Vrms" },
        { VoltageUnit::Vpp, "Vpp" },
        { VoltageUnit::Dbu, "dBu" },
        { VoltageUnit::Dbv, "dBV" },
    };

    QString unitName(VoltageUnit unit)
    {
        for (const UnitName& u : Units)
            if (u.unit == unit)
                return QString::fromLatin1(u.name);
        return {};
    }

    // Levels and volts to ten significant digits, in plain decimals (the digits can be
    // stepped): what a level was set to reads back as it was typed.
    constexpr int FieldDigits = 10;
    constexpr int MostDecimals = 15;

    QString fieldNumber(double value)
    {
        const int magnitude = value == 0.0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
        const int decimals = std::clamp(FieldDigits - 1 - magnitude, 0, MostDecimals);
        QString text = QString::number(value, 'f', decimals);
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
        return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
    }

    std::optional<double> fieldValue(const QString& text)
    {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // A frequency typed in hertz, to the micro-hertz exactly: "1000.123", "1000.123 Hz".
    // Digits beyond the sixth decimal that are not zeros are refused, never rounded away.
    struct TypedFrequency {
        std::optional<int64_t> microhertz;
        QString why;
    };

    QString sentence(const QString& text)
    {
        return text.left(1).toUpper() + text.mid(1);
    }

    // `name` as a sentence reads it inside: "F1", "the stop frequency".
    TypedFrequency typedFrequency(const QString& typed, const QString& name)
    {
        static const QRegularExpression number(
            QStringLiteral("^\\s*([+-]?)([0-9]*)(?:\\.([0-9]*))?\\s*(?:[Hh][Zz])?\\s*$"));
        const QRegularExpressionMatch m = number.match(typed);
        const QString whole = m.captured(2);
        QString fraction = m.captured(3);
        if (!m.hasMatch() || (whole.isEmpty() && fraction.isEmpty()))
            return { std::nullopt,
                QStringLiteral("Type %1 in hertz, such as 1000.123.").arg(name) };
        while (fraction.size() > 6 && fraction.endsWith(u'0'))
            fraction.chop(1);
        if (fraction.size() > 6)
            return { std::nullopt,
                QStringLiteral("%1 is set to 1 uHz (six decimals): %2 Hz has more.")
                    .arg(sentence(name), typed.trimmed()) };
        // More digits are beyond any rate's range: the generator refuses them with the range
        // that holds.
        constexpr qsizetype MostWholeDigits = 12;
        const int64_t hertz = whole.size() > MostWholeDigits ? int64_t(1e12) : whole.toLongLong();
        int64_t microhertz
            = hertz * MicrohertzPerHertz + fraction.leftJustified(6, u'0').toLongLong();
        if (m.captured(1) == QStringLiteral("-"))
            microhertz = -microhertz;
        return { microhertz, {} };
    }

    // A text that holds a number to step: the fixed-width digits read best.
    StepEdit* numberField(QWidget* parent, const QString& name, const QString& tip)
    {
        auto* field = new StepEdit(parent);
        field->setObjectName(name);
        field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setMinimumWidth(150);
        field->setToolTip(tip
            + QStringLiteral("\nEnter applies; Up and Down step the digit at the cursor; "
                             "Escape takes back what was typed."));
        return field;
    }

    QLabel* fieldLabel(QWidget* parent, const QString& text, QWidget* buddy = nullptr)
    {
        auto* label = new QLabel(text, parent);
        if (buddy != nullptr)
            label->setBuddy(buddy);
        return label;
    }

    // A field on its own row of `grid`: the label, the field, the unit.
    StepEdit* addNumberRow(QGridLayout* grid, QWidget* box, const QString& name,
        const QString& label, const QString& unit, const QString& tip)
    {
        StepEdit* field = numberField(box, name, tip);
        const int row = grid->rowCount();
        grid->addWidget(fieldLabel(box, label, field), row, 0);
        grid->addWidget(field, row, 1);
        grid->addWidget(fieldLabel(box, unit), row, 2);
        return field;
    }

    // Boxes one above the other with their fields in line: the labels' and the units'
    // columns as wide in each.
    void alignColumns(std::initializer_list<QGridLayout*> grids)
    {
        for (const int column : { 0, 2 }) {
            int widest = 0;
            for (QGridLayout* grid : grids)
                for (int row = 0; row < grid->rowCount(); ++row)
                    if (QLayoutItem* item = grid->itemAtPosition(row, column))
                        widest = std::max(widest, item->sizeHint().width());
            for (QGridLayout* grid : grids)
                grid->setColumnMinimumWidth(column, widest);
        }
    }

    // The setting in force over the user's digits only when forced, or when they say another
    // number: "2.50" stays for 2.5.
    void showHertz(StepEdit* field, int64_t microhertz, bool force)
    {
        if (force)
            field->setModified(false);
        else if (typedFrequency(field->text(), {}).microhertz == microhertz
            && !field->text().contains(QStringLiteral("hz"), Qt::CaseInsensitive))
            return;
        field->showText(QString::fromStdString(hertzText(microhertz)));
    }

    void showNumber(StepEdit* field, double value, bool force)
    {
        const QString text = fieldNumber(value);
        if (force)
            field->setModified(false);
        else if (const std::optional<double> shown = fieldValue(field->text());
                 shown && fieldNumber(*shown) == text)
            return;
        field->showText(text);
    }

} // namespace

InstrumentPanel::InstrumentPanel(Generator& generator, QWidget* parent)
    : QDialog(parent)
    , m_generator(generator)
{
    setObjectName(QStringLiteral("InstrumentPanel"));
    setWindowTitle(QStringLiteral("Instrument panel"));
    setPalette(programPalette());
    setModal(false);

    // Built in the order Tab walks them.
    auto* frequencies = new QGroupBox(QStringLiteral("Frequency"), this);
    auto* frequencyGrid = new QGridLayout(frequencies);
    for (const Tone tone : { Tone::F1, Tone::F2 }) {
        const int i = indexOf(tone);
        frequency[size_t(i)] = numberField(frequencies, QStringLiteral("frequency%1").arg(i + 1),
            QStringLiteral("%1 in hertz, to 1 uHz in the precise synthesis").arg(nameOf(tone)));
        frequencyGrid->addWidget(
            fieldLabel(frequencies, QStringLiteral("&%1").arg(nameOf(tone)), frequency[size_t(i)]),
            i, 0);
        frequencyGrid->addWidget(frequency[size_t(i)], i, 1);
        frequencyGrid->addWidget(fieldLabel(frequencies, QStringLiteral("Hz")), i, 2);
    }
    frequencyGrid->setColumnStretch(1, 1);

    auto* levels = new QGroupBox(QStringLiteral("Level"), this);
    auto* levelGrid = new QGridLayout(levels);
    for (const Tone tone : { Tone::F1, Tone::F2 }) {
        const int i = indexOf(tone);
        level[size_t(i)] = numberField(levels, QStringLiteral("level%1").arg(i + 1),
            QStringLiteral("The level of %1 in the unit beside it: dBFS against a full-scale "
                           "sine, volts through the calibration")
                .arg(nameOf(tone)));
        levelUnit[size_t(i)] = new QComboBox(levels);
        levelUnit[size_t(i)]->setObjectName(QStringLiteral("levelUnit%1").arg(i + 1));
        for (const UnitName& u : Units)
            levelUnit[size_t(i)]->addItem(QString::fromLatin1(u.name), int(u.unit));
        levelGrid->addWidget(
            fieldLabel(levels, QStringLiteral("Level of F&%1").arg(i + 1), level[size_t(i)]), i, 0);
        levelGrid->addWidget(level[size_t(i)], i, 1);
        levelGrid->addWidget(levelUnit[size_t(i)], i, 2);
    }
    levelGrid->setColumnStretch(1, 1);

    auto* calibrationBox = new QGroupBox(QStringLiteral("Calibration of the output"), this);
    auto* calibrationGrid = new QGridLayout(calibrationBox);
    calibration = numberField(calibrationBox, QStringLiteral("calibration"),
        QStringLiteral("The volts peak to peak of a sine at the front panel's 0 dB step, "
                       "measured at the output; kept for each output device"));
    calibrationGrid->addWidget(
        fieldLabel(calibrationBox, QStringLiteral("A sine at the 0 dB step is"), calibration), 0,
        0);
    calibrationGrid->addWidget(calibration, 0, 1);
    calibrationGrid->addWidget(fieldLabel(calibrationBox, QStringLiteral("Vpp")), 0, 2);
    meterReading = numberField(calibrationBox, QStringLiteral("meterReading"),
        QStringLiteral("The volts rms a meter reads of F1 at the output"));
    calibrationGrid->addWidget(
        fieldLabel(calibrationBox, QStringLiteral("&Meter reading of F1"), meterReading), 1, 0);
    calibrationGrid->addWidget(meterReading, 1, 1);
    calibrationGrid->addWidget(fieldLabel(calibrationBox, QStringLiteral("Vrms")), 1, 2);
    calibrate = new QPushButton(QStringLiteral("&Calibrate"), calibrationBox);
    calibrate->setObjectName(QStringLiteral("calibrate"));
    calibrate->setAutoDefault(false);
    calibrationGrid->addWidget(calibrate, 1, 3);
    auto* how = fieldLabel(calibrationBox,
        QStringLiteral("Play F1 alone (\"F1 Left<->F1 Right\", no noise), read the output's volts "
                       "rms on a meter and type them: the calibration follows from F1's level "
                       "and waveform as they are set."));
    how->setWordWrap(true);
    calibrationGrid->addWidget(how, 2, 0, 1, 4);
    calibrationGrid->setColumnStretch(1, 1);

    auto* synthesisBox = new QGroupBox(QStringLiteral("Synthesis"), this);
    auto* synthesisLayout = new QVBoxLayout(synthesisBox);
    synthesis = new QComboBox(synthesisBox);
    synthesis->setObjectName(QStringLiteral("synthesis"));
    // As the output settings call them.
    synthesis->addItem(QStringLiteral("Exact: the formulas as written"));
    synthesis->addItem(QStringLiteral("Precise: double precision, the cleanest tone"));
    synthesis->setToolTip(QStringLiteral("The exact synthesis loops whole hertz; the precise one "
                                         "takes any frequency to 1 uHz"));
    synthesisLayout->addWidget(synthesis);

    auto* signalBox = new QGroupBox(QStringLiteral("Signal"), this);
    auto* signalGrid = new QGridLayout(signalBox);
    const auto signalButton
        = [signalBox](const char* name, const QString& text, const QString& tip) {
              auto* button = new QPushButton(text, signalBox);
              button->setObjectName(QString::fromLatin1(name));
              button->setAutoDefault(false);
              button->setToolTip(tip);
              return button;
          };
    pinkNoise = signalButton("pinkNoise", QStringLiteral("Pi&nk noise"),
        QStringLiteral("Pink noise in F1's place, the same power in every octave, its rms that "
                       "of a sine at F1's level: in the precise synthesis, not in FM, not with "
                       "a sweep or bursts. A waveform chosen on the front panel ends it."));
    smpte = signalButton("smpte", QStringLiteral("SMPT&E (60 Hz + 7 kHz, 4:1)"),
        QStringLiteral("Intermodulation: sines of 60 Hz and 7 kHz in \"F1+ F2\" at 4:1 in "
                       "amplitude, their peaks adding up to F1's level"));
    ccif = signalButton("ccif", QStringLiteral("CC&IF (19 + 20 kHz, 1:1)"),
        QStringLiteral("Intermodulation: sines of 19 kHz and 20 kHz in \"F1+ F2\" at 1:1, "
                       "their peaks adding up to F1's level"));
    inForce = new QLabel(signalBox);
    inForce->setObjectName(QStringLiteral("inForce"));
    // The same height with nothing to say: the dialog's size is fixed by its layout.
    inForce->setMinimumHeight(inForce->fontMetrics().height());
    signalGrid->addWidget(pinkNoise, 0, 0);
    signalGrid->addWidget(smpte, 1, 0);
    signalGrid->addWidget(ccif, 1, 1);
    signalGrid->addWidget(inForce, 2, 0, 1, 2);
    signalGrid->setColumnStretch(1, 1);

    auto* sweepBox = new QGroupBox(QStringLiteral("Sweep of F1 of a set length"), this);
    auto* sweepGrid = new QGridLayout(sweepBox);
    sweepOn = new QCheckBox(QStringLiteral("&Sweep"), sweepBox);
    sweepOn->setObjectName(QStringLiteral("sweepOn"));
    sweepOn->setToolTip(QStringLiteral("F1 sweeps to the stop frequency, holds it, returns and "
                                       "sweeps again: in the precise synthesis, not with bursts"));
    sweepLaw = new QComboBox(sweepBox);
    sweepLaw->setObjectName(QStringLiteral("sweepLaw"));
    sweepLaw->addItem(QStringLiteral("Linear"));
    sweepLaw->addItem(QStringLiteral("Logarithmic"));
    sweepLaw->setToolTip(QStringLiteral("The sweep's law: the same hertz each second, or the same "
                                        "ratio (octaves) each second"));
    sweepLaw->setAccessibleName(QStringLiteral("Law of the sweep"));
    sweepGrid->addWidget(sweepOn, 0, 0);
    sweepGrid->addWidget(sweepLaw, 0, 1);
    sweepStop = addNumberRow(sweepGrid, sweepBox, QStringLiteral("sweepStop"),
        QStringLiteral("Sto&p frequency"), QStringLiteral("Hz"),
        QStringLiteral("The frequency F1 sweeps to, in hertz, to 1 uHz"));
    sweepTime = addNumberRow(sweepGrid, sweepBox, QStringLiteral("sweepTime"),
        QStringLiteral("Sweep &time"), QStringLiteral("s"),
        QStringLiteral("The seconds from F1 to the stop frequency, 0.01 to 1000"));
    sweepHold = addNumberRow(sweepGrid, sweepBox, QStringLiteral("sweepHold"),
        QStringLiteral("&Hold time"), QStringLiteral("s"),
        QStringLiteral("The seconds at the stop frequency, 0 to 1000"));
    sweepReturn = addNumberRow(sweepGrid, sweepBox, QStringLiteral("sweepReturn"),
        QStringLiteral("&Return time"), QStringLiteral("s"),
        QStringLiteral("The seconds back to F1 by the same law, 0 to 1000 (0: it jumps back)"));
    sweepGrid->setColumnStretch(1, 1);

    auto* burstBox = new QGroupBox(QStringLiteral("Tone bursts of F1"), this);
    auto* burstGrid = new QGridLayout(burstBox);
    burstOn = new QCheckBox(QStringLiteral("&Bursts"), burstBox);
    burstOn->setObjectName(QStringLiteral("burstOn"));
    burstOn->setToolTip(QStringLiteral("F1 plays whole cycles from the start phase once a period, "
                                       "silent between: in the precise synthesis, not with a "
                                       "sweep"));
    burstGrid->addWidget(burstOn, 0, 0);
    burstCycles = addNumberRow(burstGrid, burstBox, QStringLiteral("burstCycles"),
        QStringLiteral("C&ycles"), QString(),
        QStringLiteral("The cycles of F1 in a burst, 1 to 1000000"));
    burstPeriod = addNumberRow(burstGrid, burstBox, QStringLiteral("burstPeriod"),
        QStringLiteral("Peri&od"), QStringLiteral("s"),
        QStringLiteral("The seconds from the start of a burst to the next, 0.001 to 1000"));
    burstPhase = addNumberRow(burstGrid, burstBox, QStringLiteral("burstPhase"),
        QStringLiteral("Start ph&ase"), QStringLiteral("degrees"),
        QStringLiteral("F1's phase where each burst starts, 0 to below 360 degrees"));
    burstGrid->setColumnStretch(1, 1);
    alignColumns({ sweepGrid, burstGrid });

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("status"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setMinimumHeight(status->fontMetrics().height() * 2);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    for (QAbstractButton* b : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(b))
            push->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Two columns: one would be taller than a 768-pixel screen. The precise synthesis's own
    // settings stand beside the choice of synthesis they need.
    auto* left = new QVBoxLayout;
    left->addWidget(frequencies);
    left->addWidget(levels);
    left->addWidget(calibrationBox);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(synthesisBox);
    right->addWidget(signalBox);
    right->addWidget(sweepBox);
    right->addWidget(burstBox);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(status);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = { frequency[0], frequency[1], level[0], levelUnit[0], level[1],
        levelUnit[1], calibration, meterReading, calibrate, synthesis, pinkNoise, smpte, ccif,
        sweepOn, sweepLaw, sweepStop, sweepTime, sweepHold, sweepReturn, burstOn, burstCycles,
        burstPeriod, burstPhase, buttons };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (const Tone tone : { Tone::F1, Tone::F2 }) {
        StepEdit* f = frequency[size_t(indexOf(tone))];
        connect(f, &StepEdit::applied, this, [this, tone] { applyFrequency(tone, false); });
        connect(f, &StepEdit::stepped, this, [this, tone] { applyFrequency(tone, true); });
        connect(f, &StepEdit::reverted, this, [this, tone] { showFrequency(tone, true); });
        StepEdit* l = level[size_t(indexOf(tone))];
        connect(l, &StepEdit::applied, this, [this, tone] { applyLevel(tone, false); });
        connect(l, &StepEdit::stepped, this, [this, tone] { applyLevel(tone, true); });
        connect(l, &StepEdit::reverted, this, [this, tone] { showLevel(tone, true); });
        connect(levelUnit[size_t(indexOf(tone))], &QComboBox::currentIndexChanged, this,
            [this, tone] { showLevel(tone, true); });
    }
    connect(calibration, &StepEdit::applied, this, [this] { applyCalibration(false); });
    connect(calibration, &StepEdit::stepped, this, [this] { applyCalibration(true); });
    connect(calibration, &StepEdit::reverted, this, [this] { showCalibration(true); });
    connect(meterReading, &StepEdit::applied, this, [this] { calibrateFromMeter(); });
    connect(calibrate, &QPushButton::clicked, this, [this] { calibrateFromMeter(); });
    connect(synthesis, &QComboBox::currentIndexChanged, this, [this] { applySynthesis(); });
    connect(pinkNoise, &QPushButton::clicked, this,
        [this] { applySignal([this] { return m_generator.setPinkNoise(ChangeFrom::Script); }); });
    for (const auto& [button, set] : { std::pair { smpte, remote::TwoToneSet::Smpte },
             std::pair { ccif, remote::TwoToneSet::Ccif } })
        connect(button, &QPushButton::clicked, this, [this, set] {
            applySignal([this, set] { return m_generator.setTwoTone(set, ChangeFrom::Script); });
        });

    const auto wire = [this](StepEdit* field, const std::function<void(bool stepped)>& apply,
                          const std::function<void()>& showAgain) {
        connect(field, &StepEdit::applied, this, [apply] { apply(false); });
        connect(field, &StepEdit::stepped, this, [apply] { apply(true); });
        connect(field, &StepEdit::reverted, this, showAgain);
    };
    connect(sweepOn, &QCheckBox::toggled, this, [this] { applySweepSwitch(); });
    connect(sweepLaw, &QComboBox::currentIndexChanged, this, [this] { applySweepSwitch(); });
    wire(
        sweepStop, [this](bool stepped) { applySweepStop(stepped); },
        [this] { showHertz(sweepStop, m_generator.state().Sweep.Stop, true); });
    for (const auto& [field, seconds] : { std::pair { sweepTime, &TimedSweep::Seconds },
             std::pair { sweepHold, &TimedSweep::HoldSeconds },
             std::pair { sweepReturn, &TimedSweep::ReturnSeconds } })
        wire(
            field,
            [this, field, seconds](bool stepped) { applySweepSeconds(field, seconds, stepped); },
            [this, field, seconds] {
                showNumber(field, m_generator.state().Sweep.*seconds, true);
            });
    connect(burstOn, &QCheckBox::toggled, this, [this] { applyBurstSwitch(); });
    wire(
        burstCycles, [this](bool stepped) { applyBurstCycles(stepped); },
        [this] { showNumber(burstCycles, double(m_generator.state().Burst.Cycles), true); });
    for (const auto& [field, number] : { std::pair { burstPeriod, &ToneBurst::PeriodSeconds },
             std::pair { burstPhase, &ToneBurst::PhaseDegrees } })
        wire(
            field,
            [this, field, number](bool stepped) { applyBurstNumber(field, number, stepped); },
            [this, field, number] { showNumber(field, m_generator.state().Burst.*number, true); });

    showSettings(Changed::All);
}

void InstrumentPanel::showEvent(QShowEvent* event)
{
    // Whatever was typed when it was closed is gone: it opens on the settings in force.
    for (Tone tone : { Tone::F1, Tone::F2 }) {
        showFrequency(tone, true);
        showLevel(tone, true);
    }
    showCalibration(true);
    showSynthesis();
    showSignal();
    showSweep(true);
    showBurst(true);
    QDialog::showEvent(event);
}

void InstrumentPanel::askForMeterReading()
{
    meterReading->setFocus(Qt::ShortcutFocusReason);
    meterReading->selectAll();
}

// ---- what the generator holds -------------------------------------------------------------

void InstrumentPanel::showSettings(uint32_t what)
{
    if (what & Changed::Frequency1)
        showFrequency(Tone::F1);
    if (what & Changed::Frequency2)
        showFrequency(Tone::F2);
    // F1's level in decibels of full scale and in volts depends on its waveform's shape.
    if (what & (Changed::Level1 | Changed::Waveform | Changed::Calibration))
        showLevel(Tone::F1);
    if (what & (Changed::Level2 | Changed::Calibration))
        showLevel(Tone::F2);
    if (what & Changed::Calibration)
        showCalibration();
    if (what & Changed::Options)
        showSynthesis();
    if (what
        & (Changed::Waveform | Changed::ChannelMode | Changed::Frequency1 | Changed::Frequency2
            | Changed::Level1 | Changed::Level2))
        showSignal();
    if (what & Changed::TimedSweep)
        showSweep();
    if (what & Changed::Burst)
        showBurst();
}

remote::VoltageUnit InstrumentPanel::unitOf(Tone tone) const
{
    return VoltageUnit(levelUnit[size_t(indexOf(tone))]->currentData().toInt());
}

double InstrumentPanel::rmsOf(Tone tone) const
{
    // F2 is always a sine.
    return remote::rmsAtUnitPeak(
        tone == Tone::F1 ? WaveformIndex(m_generator.state().Waveform) : WaveSine);
}

void InstrumentPanel::showFrequency(Tone tone, bool force)
{
    showHertz(frequency[size_t(indexOf(tone))], m_generator.frequencyMicrohertz(tone), force);
}

void InstrumentPanel::showLevel(Tone tone, bool force)
{
    showNumber(level[size_t(indexOf(tone))],
        remote::levelInUnit(m_generator.levelFactorOf(tone), unitOf(tone),
            m_generator.calibrationVpp(), rmsOf(tone)),
        force);
}

void InstrumentPanel::showCalibration(bool force)
{
    showNumber(calibration, m_generator.calibrationVpp(), force);
}

void InstrumentPanel::showSynthesis()
{
    const QSignalBlocker quiet(synthesis);
    synthesis->setCurrentIndex(int(m_generator.signalOptions().synthesis));
}

void InstrumentPanel::showSignal()
{
    const std::optional<remote::TwoToneSet> set = m_generator.twoTone();
    inForce->setText(m_generator.state().Pink   ? QStringLiteral("In force: pink noise")
            : !set                              ? QString()
            : *set == remote::TwoToneSet::Smpte ? QStringLiteral("In force: SMPTE")
                                                : QStringLiteral("In force: CCIF"));
}

void InstrumentPanel::showSweep(bool force)
{
    const TimedSweep& sweep = m_generator.state().Sweep;
    {
        const QSignalBlocker quietSwitch(sweepOn);
        const QSignalBlocker quietLaw(sweepLaw);
        sweepOn->setChecked(sweep.On);
        sweepLaw->setCurrentIndex(sweep.Logarithmic ? 1 : 0);
    }
    showHertz(sweepStop, sweep.Stop, force);
    showNumber(sweepTime, sweep.Seconds, force);
    showNumber(sweepHold, sweep.HoldSeconds, force);
    showNumber(sweepReturn, sweep.ReturnSeconds, force);
}

void InstrumentPanel::showBurst(bool force)
{
    const ToneBurst& burst = m_generator.state().Burst;
    {
        const QSignalBlocker quiet(burstOn);
        burstOn->setChecked(burst.On);
    }
    showNumber(burstCycles, double(burst.Cycles), force);
    showNumber(burstPeriod, burst.PeriodSeconds, force);
    showNumber(burstPhase, burst.PhaseDegrees, force);
}

// ---- changes --------------------------------------------------------------------------

void InstrumentPanel::say(const QString& text, bool trouble)
{
    status->setText(text);
    // Dark red on the light face: a refusal stands out and still reads.
    status->setStyleSheet(trouble ? QStringLiteral("QLabel { color: rgb(160,0,0); }") : QString());
}

void InstrumentPanel::refuse(
    StepEdit* field, bool stepped, const QString& why, const std::function<void()>& showAgain)
{
    say(why, true);
    if (stepped)
        showAgain();
    else
        field->setModified(true);
}

std::optional<QString> InstrumentPanel::refusal(const SetResult& result)
{
    if (result.ok()) {
        say({}, false);
        return std::nullopt;
    }
    const std::string detail = result.error().detail();
    const QString why = QString::fromStdString(detail.empty() ? result.error().text : detail);
    if (result.error().code == remote::ErrorCode::Execution) {
        // Taken, but the sound did not restart: the setting shows, the reason too.
        say(QStringLiteral("The sound did not start again: %1").arg(why), true);
        return std::nullopt;
    }
    return why;
}

void InstrumentPanel::apply(StepEdit* field, bool stepped, const std::function<SetResult()>& change,
    const std::function<void()>& showAgain)
{
    // The change's notification shows the setting in the field: no typing is pending then.
    field->setModified(false);
    if (const std::optional<QString> why = refusal(change()))
        refuse(field, stepped, *why, showAgain);
}

void InstrumentPanel::applyFrequency(Tone tone, bool stepped)
{
    StepEdit* field = frequency[size_t(indexOf(tone))];
    const auto again = [this, tone] { showFrequency(tone, true); };
    const TypedFrequency typed = typedFrequency(field->text(), nameOf(tone));
    if (!typed.microhertz) {
        refuse(field, stepped, typed.why, again);
        return;
    }
    apply(
        field, stepped,
        [&] {
            return m_generator.setFrequencyMicrohertz(tone, *typed.microhertz, ChangeFrom::Script);
        },
        again);
}

void InstrumentPanel::applyLevel(Tone tone, bool stepped)
{
    StepEdit* field = level[size_t(indexOf(tone))];
    const auto again = [this, tone] { showLevel(tone, true); };
    const VoltageUnit unit = unitOf(tone);
    const QString unitText = unitName(unit);
    const std::optional<double> value = fieldValue(field->text());
    if (!value) {
        refuse(field, stepped,
            QStringLiteral("Type the level of %1 in %2, such as %3.")
                .arg(nameOf(tone), unitText,
                    fieldNumber(remote::levelInUnit(levelFactor(StartLevelStep), unit,
                        m_generator.calibrationVpp(), rmsOf(tone)))),
            again);
        return;
    }
    const double vpp = m_generator.calibrationVpp();
    const std::optional<double> factor = remote::factorOfLevel(*value, unit, vpp, rmsOf(tone));
    if (!factor) {
        // Beyond full scale, or below what the generator makes: said, never brought within.
        const auto end = [&](double f) {
            return QString::number(remote::levelInUnit(f, unit, vpp, rmsOf(tone)), 'g', 4);
        };
        refuse(field, stepped,
            QStringLiteral("%1 at %2 %3 is refused: %1 takes %4 %3 (full scale) down to %5 %3.")
                .arg(nameOf(tone), field->text().trimmed(), unitText, end(FullScaleLevel),
                    end(MinLevelFactor)),
            again);
        return;
    }
    apply(
        field, stepped,
        [&] { return m_generator.setLevelFactor(tone, *factor, ChangeFrom::Script); }, again);
}

void InstrumentPanel::applyCalibration(bool stepped)
{
    const auto again = [this] { showCalibration(true); };
    const std::optional<double> vpp = fieldValue(calibration->text());
    if (!vpp) {
        refuse(calibration, stepped,
            QStringLiteral("Type the volts peak to peak of a sine at the 0 dB step, such as 2."),
            again);
        return;
    }
    apply(
        calibration, stepped,
        [&] { return m_generator.setCalibrationVpp(*vpp, ChangeFrom::Script); }, again);
}

void InstrumentPanel::calibrateFromMeter()
{
    const std::optional<double> reading = fieldValue(meterReading->text());
    if (!reading || !(*reading > 0.0)) {
        say(QStringLiteral("Type the volts rms the meter reads of F1, such as 0.775."), true);
        return;
    }
    // The meter reads F1's rms: vpp / 2 * factor * rms of its shape at a peak of 1.
    const double vpp = *reading / (m_generator.levelFactorOf(Tone::F1) * rmsOf(Tone::F1) / 2.0);
    const SetResult result = m_generator.setCalibrationVpp(vpp, ChangeFrom::Script);
    if (!result.ok()) {
        say(QStringLiteral("A reading of %1 Vrms gives %2 Vpp at the 0 dB step: %3")
                .arg(meterReading->text().trimmed(), fieldNumber(vpp),
                    QString::fromStdString(result.error().detail())),
            true);
        return;
    }
    meterReading->setModified(false);
    say(QStringLiteral("Calibrated: a sine at the 0 dB step is %1 Vpp.").arg(fieldNumber(vpp)),
        false);
}

void InstrumentPanel::applySynthesis()
{
    SignalOptions options = m_generator.signalOptions();
    options.synthesis = Synthesis(synthesis->currentIndex());
    if (const std::optional<QString> why
        = refusal(m_generator.setSignalOptions(options, ChangeFrom::Script))) {
        say(*why, true);
        showSynthesis();
    }
}

void InstrumentPanel::applySignal(const std::function<SetResult()>& change)
{
    if (const std::optional<QString> why = refusal(change()))
        say(*why, true);
}

SetResult InstrumentPanel::changeSweep(const std::function<void(TimedSweep&)>& edit)
{
    // The rest of the sweep as it is set: a field's unapplied typing is not taken with it.
    TimedSweep sweep = m_generator.state().Sweep;
    edit(sweep);
    return m_generator.setTimedSweep(sweep, ChangeFrom::Script);
}

SetResult InstrumentPanel::changeBurst(const std::function<void(ToneBurst&)>& edit)
{
    ToneBurst burst = m_generator.state().Burst;
    edit(burst);
    return m_generator.setBurst(burst, ChangeFrom::Script);
}

void InstrumentPanel::applySweepSwitch()
{
    const bool on = sweepOn->isChecked();
    const bool logarithmic = sweepLaw->currentIndex() == 1;
    if (const std::optional<QString> why = refusal(changeSweep([&](TimedSweep& sweep) {
            sweep.On = on;
            sweep.Logarithmic = logarithmic;
        }))) {
        say(*why, true);
        // The switch and the law show what holds; the numbers keep any typing.
        showSweep();
    }
}

void InstrumentPanel::applySweepStop(bool stepped)
{
    const auto again = [this] { showHertz(sweepStop, m_generator.state().Sweep.Stop, true); };
    const TypedFrequency typed
        = typedFrequency(sweepStop->text(), QStringLiteral("the stop frequency"));
    if (!typed.microhertz) {
        refuse(sweepStop, stepped, typed.why, again);
        return;
    }
    apply(
        sweepStop, stepped,
        [&] { return changeSweep([&](TimedSweep& sweep) { sweep.Stop = *typed.microhertz; }); },
        again);
}

void InstrumentPanel::applySweepSeconds(StepEdit* field, double TimedSweep::*seconds, bool stepped)
{
    const auto again
        = [this, field, seconds] { showNumber(field, m_generator.state().Sweep.*seconds, true); };
    const std::optional<double> typed = fieldValue(field->text());
    if (!typed) {
        refuse(field, stepped, QStringLiteral("Type the seconds, such as 2.5."), again);
        return;
    }
    apply(
        field, stepped,
        [&] { return changeSweep([&](TimedSweep& sweep) { sweep.*seconds = *typed; }); }, again);
}

void InstrumentPanel::applyBurstSwitch()
{
    const bool on = burstOn->isChecked();
    if (const std::optional<QString> why
        = refusal(changeBurst([&](ToneBurst& burst) { burst.On = on; }))) {
        say(*why, true);
        showBurst();
    }
}

void InstrumentPanel::applyBurstCycles(bool stepped)
{
    const auto again
        = [this] { showNumber(burstCycles, double(m_generator.state().Burst.Cycles), true); };
    const std::optional<double> typed = fieldValue(burstCycles->text());
    if (!typed || *typed != std::floor(*typed)) {
        refuse(burstCycles, stepped,
            QStringLiteral("A burst is whole cycles: type how many, such as 10."), again);
        return;
    }
    // Past any count the generator takes: it refuses it with the range that holds.
    const auto cycles = int64_t(std::clamp(*typed, -1.0, double(MaxBurstCycles + 1)));
    apply(
        burstCycles, stepped,
        [&] { return changeBurst([&](ToneBurst& burst) { burst.Cycles = cycles; }); }, again);
}

void InstrumentPanel::applyBurstNumber(StepEdit* field, double ToneBurst::*number, bool stepped)
{
    const auto again
        = [this, field, number] { showNumber(field, m_generator.state().Burst.*number, true); };
    const std::optional<double> typed = fieldValue(field->text());
    if (!typed) {
        refuse(field, stepped,
            number == &ToneBurst::PhaseDegrees
                ? QStringLiteral("Type the start phase in degrees, such as 90.")
                : QStringLiteral("Type the period in seconds, such as 0.1."),
            again);
        return;
    }
    apply(
        field, stepped,
        [&] { return changeBurst([&](ToneBurst& burst) { burst.*number = *typed; }); }, again);
}

} // namespace vellox
