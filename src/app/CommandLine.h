#pragma once

// The program's command line: what to do (open the window, render a file, play without a
// window, list the devices, print help or the version) and the settings to start with.
// Parsing is separate from acting on it, so that every good and bad command line can be
// checked with a table, and a bad one ends before any window or device opens.

#include "LaunchOptions.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace vellox {

struct ParsedCommandLine {
    LaunchOptions options;
    // One line naming the option and what it accepts; empty when the line is good.
    std::string error;
};

// arguments[0] is the program's own name, as QCoreApplication::arguments() gives it.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// What --help prints, and what --version prints ("vellox 2.29.1411").
QString commandLineHelp();
QString versionLine();

// The flag names of the waveforms, by index: "sine", "pwsine", ..., "stairs-up".
const char* waveformFlagName(int waveform);

} // namespace vellox
