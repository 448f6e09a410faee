// Settings from the command line, set in the window as a user would set the controls.

#include "FormGen.h"

#include "LaunchSettings.h"
#include "OutputSettings.h"
#include "UpDown.h"

#include <QLineEdit>
#include <QRadioButton>

namespace vellox {

std::vector<std::string> FormGen::applyLaunchOptions(const LaunchOptions& o)
{
    std::vector<std::string> messages;
    m_launching = true;
    const auto select = [](QRadioButton* option) { option->setChecked(true); };
    // The output settings the command line names, over those in force (the remembered ones);
    // the command line's are not remembered.
    if (o.rate && sampleRateIndex(*o.rate) < SampleRateCount)
        select(RateOption[sampleRateIndex(*o.rate)]);
    OutputSettings output = outputSettings();
    if (o.rate)
        output.sampleRate = *o.rate;
    if (o.synthesis)
        output.signal.synthesis = *o.synthesis;
    if (o.dither)
        output.signal.dither = *o.dither;
    if (o.sampleFormat)
        output.signal.format = *o.sampleFormat;
    if (o.phase)
        output.signal.phaseDegrees = *o.phase;
    if (o.latencyMs)
        output.latencyMs = *o.latencyMs;
    if (output != outputSettings())
        applyOutputSettings(output, false);
    // The mode before the waveform: "Modulation FM" is offered at start, and a waveform
    // chosen after it keeps it, as it does for a user who picks them in this order.
    if (o.channelMode) {
        QRadioButton* const modes[] = { Option2, Option3, Option7, Option8, Option9, Option10 };
        select(modes[*o.channelMode - 1]);
    }
    if (o.waveform)
        select(Option1[std::size_t(*o.waveform)]);
    if (o.sweep) {
        QRadioButton* const sweeps[] = { Option4, Option5, Option6 };
        select(sweeps[*o.sweep]);
    }
    if (o.level1)
        UpDown2->setValue(*o.level1);
    if (o.level2)
        UpDown4->setValue(*o.level2);
    if (o.noise)
        UpDown5->setValue(*o.noise);
    if (o.duty)
        UpDown7->setValue(*o.duty);
    // The frequencies as typed into their boxes and entered.
    if (o.f1) {
        Text1->setText(QString::number(*o.f1));
        Command4_Click();
    }
    if (o.f2) {
        Text2->setText(QString::number(*o.f2));
        Command5_Click();
    }
    m_module1 = bitCodeFromCommandLine(o, m_module1, messages);
    m_launching = false;
    if (o.start)
        Play_Click();
    return messages;
}

} // namespace vellox
