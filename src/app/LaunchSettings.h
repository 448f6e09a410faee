#pragma once

// The generator's settings for a run without a window (--render, --play): the start
// values, changed as the command line's settings would change the controls, through the
// same arithmetic as their handlers, and the bit-code dialog's rules for its three boxes.

#include "CommandLine.h"
#include "GeneratorState.h"
#include "SignalOptions.h"
#include "SynthTypes.h"

#include <string>
#include <vector>

namespace vellox {

struct HeadlessSettings {
    GeneratorState state;
    Module1 module1;
    int32_t dutyPercent = 50;
    PanelSteps steps; // the spinners' steps the settings came from (the duty among them)
    SignalOptions signal; // synthesis, dither, sample format, phase
};

// `messages` receives what the bit-code dialog would show for the boxes given, in order.
HeadlessSettings headlessSettings(const LaunchOptions& options, std::vector<std::string>& messages);

// The bit-code dialog's OK on the boxes the command line gives (the others as the dialog
// would show them for `current`): the settings stored and the messages shown.
Module1 bitCodeFromCommandLine(
    const LaunchOptions& options, const Module1& current, std::vector<std::string>& messages);

} // namespace vellox
