#pragma once

// The command line's settings, set through the generator's own setters: the window, --play
// and --render start from the same settings the same way. The bit-code dialog's rules
// apply to its three boxes.

#include "Generator.h"
#include "GeneratorState.h"
#include "LaunchOptions.h"
#include "SignalOptions.h"
#include "SynthTypes.h"

#include <string>
#include <vector>

namespace vellox {

// Sets what the command line names on `generator`, as a change `from` (the window and
// --play: ChangeFrom::Settings, nothing starts). The mode goes before the waveform:
// "Modulation FM" is offered at start, and a waveform chosen after it keeps it, as for a
// user who picks them in this order. Returns what the bit-code dialog would show for the
// boxes given, in order, and the reason of any setting refused.
std::vector<std::string> applyLaunchOptions(
    Generator& generator, const LaunchOptions& options, ChangeFrom from);

// The settings a generator holds after applyLaunchOptions from the start values, for a run
// that computes without playing (--render).
struct HeadlessSettings {
    GeneratorState state;
    Module1 module1;
    int32_t dutyPercent = 50;
    PanelSteps steps; // the spinners' steps the settings came from (the duty among them)
    SignalOptions signal; // synthesis, dither, sample format, phase
};
// `messages` receives what applyLaunchOptions returns.
HeadlessSettings headlessSettings(const LaunchOptions& options, std::vector<std::string>& messages);

// The bit-code dialog's OK on the boxes the command line gives (the others as the dialog
// would show them for `current`): the settings stored and the messages shown.
Module1 bitCodeFromCommandLine(
    const LaunchOptions& options, const Module1& current, std::vector<std::string>& messages);

} // namespace vellox
