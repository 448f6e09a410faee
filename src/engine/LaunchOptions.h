#pragma once

// What the command line asks for: what to do (open the window, render a file, play without a
// window, list the devices, print help or the version) and the settings to start with, as
// the controls take them. The parser (CommandLine.h, Qt) fills it; the generator applies
// the settings through its setters (LaunchSettings.h), whichever face then plays them.

#include "SignalOptions.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vellox {

struct LaunchOptions {
    enum class Mode { Window, Help, Version, ListDevices, Render, Play };
    Mode mode = Mode::Window;

    // Settings as the controls take them; empty where the command line leaves the
    // control at its start value.
    std::optional<int> f1; // Hz
    std::optional<int> f2; // Hz
    // The precise synthesis's frequencies that f1 and f2 cannot hold (a fraction, or beyond
    // 20..20000 Hz), in micro-hertz.
    std::optional<int64_t> f1Microhertz;
    std::optional<int64_t> f2Microhertz;
    std::optional<int> waveform; // the waveform option's index
    bool pink = false; // pink noise: waveform is then "W Noise"
    // A two-tone set (remote::TwoToneSet), after the levels: F1's level is the set's.
    std::optional<int> twoTone;
    std::optional<int> channelMode; // 1..6
    std::optional<int> level1; // level spinner steps, 3 dB each
    std::optional<int> level2;
    // Levels in true dBFS (a full-scale sine is 0 dBFS), to 0.01 dB and finer: any level
    // from 0 down to -120 dBFS, beside the steps.
    std::optional<double> level1Dbfs;
    std::optional<double> level2Dbfs;
    std::optional<int> noise; // noise spinner steps, 10 % each
    std::optional<int> duty; // percent
    std::optional<int> rate; // Hz, one of PlayableRates
    std::optional<int> sweep; // 0 "Man", 1 "Lin", 2 "Log"
    // With sweep: a sweep of a set length (the precise synthesis) from F1 to f1Stop in
    // sweepSeconds, then sweepHoldSeconds at the stop and sweepReturnSeconds back; without
    // sweepSeconds the sweep is the front panel's stepped one.
    std::optional<double> sweepSeconds;
    std::optional<int64_t> f1Stop; // micro-hertz
    std::optional<double> sweepHoldSeconds;
    std::optional<double> sweepReturnSeconds;
    bool sweepOnce = false; // one sweep, then F1 silent
    // Tone bursts of F1 (the precise synthesis): cycles every period, from a phase.
    std::optional<int64_t> burstCycles;
    std::optional<double> burstPeriodSeconds;
    std::optional<double> burstPhaseDegrees;
    // The bit-code dialog's three boxes, as typed: its rules and messages apply.
    std::optional<std::string> bitCode;
    std::optional<std::string> bitLengthUs;
    std::optional<std::string> repetitionMs;

    // How the buffer is made and laid out (SignalOptions): empty leaves the default.
    std::optional<Synthesis> synthesis;
    std::optional<Dither> dither;
    std::optional<SampleFormat> sampleFormat;
    std::optional<int> phase; // degrees, 0..MaxPhaseDegrees

    std::optional<int> fadeMs; // the click-free transition; 0 = abrupt
    std::optional<int> latencyMs; // what the sound server holds ahead
    std::optional<std::string> remote; // the remote control's "[ADDRESS:]PORT"
    std::optional<std::string> remoteAllow; // who may connect: "ADDR[/BITS],..."
    bool start = false; // the window starts playing at once
    std::optional<std::string> device; // a playback device's name; "" = the default

    std::string renderFile; // Render: where to write
    std::optional<double> seconds; // Render (required), Play (optional)

    bool hasSettings() const;
};

} // namespace vellox
