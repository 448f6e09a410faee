// The generator's setters, which every face uses: what they refuse and why, when the sound
// restarts, and what the listener hears. Over the recording backend, without Qt.

#include "Generator.h"
#include "FakeSoundBackend.h"
#include "LaunchSettings.h"
#include "SoundObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace vellox;
using audio::SoundOp;

namespace {

struct Heard : GeneratorListener {
    std::vector<uint32_t> changes;
    int restarts = 0;
    int samples = 0;
    void settingsChanged(uint32_t what) override { changes.push_back(what); }
    void restartBegins() override { ++restarts; }
    void samplesReady() override { ++samples; }
};

struct Rig {
    audio::FakeSoundBackend backend;
    Generator generator { backend };
    Heard heard;

    explicit Rig(bool playing)
    {
        generator.openSound();
        if (playing) {
            EXPECT_TRUE(generator.start().ok());
        }
        backend.clearOps();
        generator.setListener(&heard);
    }
    long plays() const
    {
        return std::count_if(backend.ops().begin(), backend.ops().end(),
            [](const SoundOp& op) { return op.kind == SoundOp::Kind::Play && !op.failed; });
    }
};

using Change = std::function<SetResult(Generator&, ChangeFrom)>;

} // namespace

TEST(Generator, WhoAsksDecidesWhetherTheSoundRestarts)
{
    const Change frequency
        = [](Generator& g, ChangeFrom f) { return g.setFrequency(Tone::F1, 440, f); };
    const Change rate = [](Generator& g, ChangeFrom f) { return g.setSampleRate(44100, f); };
    const Change sweep
        = [](Generator& g, ChangeFrom f) { return g.setSweepMode(remote::SweepMode::Linear, f); };
    const Change three = [](Generator& g, ChangeFrom f) {
        return g.changeTogether(f, [&] {
            g.setWaveform(WaveSquare, f);
            g.setNoiseStep(3, f);
            g.setSampleRate(48000, f);
        });
    };
    // A script's line of many rates: the device takes the last one, once.
    const Change rates = [](Generator& g, ChangeFrom f) {
        return g.changeTogether(f, [&] {
            for (int i = 0; i < 600; ++i) {
                g.setSampleRate(44100, f);
                g.setSampleRate(48000, f);
            }
        });
    };
    const Change startInside = [](Generator& g, ChangeFrom f) {
        return g.changeTogether(f, [&] {
            g.setFrequency(Tone::F1, 440, f);
            g.start(); // plays 440 at once
            g.setFrequency(Tone::F1, 500, f); // and 500 at the end
        });
    };
    const Change startLast = [](Generator& g, ChangeFrom f) {
        return g.changeTogether(f, [&] {
            g.setSampleRate(44100, f);
            g.setFrequency(Tone::F1, 440, f);
            g.start(); // already plays all of it
        });
    };
    const Change stopInside = [](Generator& g, ChangeFrom f) {
        return g.changeTogether(f, [&] {
            g.setFrequency(Tone::F1, 440, f);
            g.stop();
            g.setSampleRate(44100, f);
        });
    };
    const struct {
        const char* name;
        Change change;
        ChangeFrom from;
        bool playingBefore;
        long plays; // restarts that played
        bool playingAfter;
        long openings = -1; // the device's, where it matters
    } cases[] = {
        { "a line of 1200 rates restarts once", rates, ChangeFrom::Script, true, 1, true, 1 },
        { "a line of 1200 rates, kept off", rates, ChangeFrom::Script, false, 0, false, 1 },
        { "a start inside, a change after it", startInside, ChangeFrom::Script, false, 2, true },
        { "a start after every change", startLast, ChangeFrom::Script, false, 1, true, 1 },
        { "a stop inside keeps it off", stopInside, ChangeFrom::Script, true, 0, false, 1 },
        { "a spinner starts the sound", frequency, ChangeFrom::Panel, false, 1, true },
        { "a spinner restarts it", frequency, ChangeFrom::Panel, true, 1, true },
        { "a script keeps it off", frequency, ChangeFrom::Script, false, 0, false },
        { "a script's change restarts it", frequency, ChangeFrom::Script, true, 1, true },
        { "settings alone restart nothing", frequency, ChangeFrom::Settings, true, 0, true },
        { "a rate option silences it", rate, ChangeFrom::Panel, true, 0, false },
        { "a script's rate plays on", rate, ChangeFrom::Script, true, 1, true },
        { "a script's rate keeps it off", rate, ChangeFrom::Script, false, 0, false },
        { "the sweep mode is only recorded", sweep, ChangeFrom::Panel, true, 0, true },
        { "three changes, one restart", three, ChangeFrom::Script, true, 1, true },
        { "three changes kept off", three, ChangeFrom::Script, false, 0, false },
    };
    for (const auto& c : cases) {
        Rig rig(c.playingBefore);
        EXPECT_TRUE(c.change(rig.generator, c.from).ok()) << c.name;
        EXPECT_EQ(rig.plays(), c.plays) << c.name;
        EXPECT_EQ(rig.generator.playing(), c.playingAfter) << c.name;
        if (c.openings >= 0) {
            EXPECT_EQ(std::count_if(rig.backend.ops().begin(), rig.backend.ops().end(),
                          [](const SoundOp& op) {
                              return op.kind == SoundOp::Kind::OpenDevice && !op.failed;
                          }),
                c.openings)
                << c.name;
        }
        EXPECT_EQ(rig.heard.changes.size(), 1u) << c.name << ": one notification a change";
        // A script's change that restarts nothing still gives the window its buffer.
        if (c.from == ChangeFrom::Script && c.plays == 0) {
            EXPECT_EQ(rig.heard.samples, 1) << c.name;
        }
    }
}

TEST(Generator, ARefusalSaysWhyAndChangesNothing)
{
    const struct {
        const char* name;
        Change change;
        int16_t code;
    } cases[] = {
        { "FM greyed for the pulse-width sine",
            [](Generator& g, ChangeFrom f) { return g.setChannelMode(ModeFm, f); },
            remote::ErrorCode::SettingsConflict },
        { "F1 below 20 Hz",
            [](Generator& g, ChangeFrom f) { return g.setFrequency(Tone::F1, 19, f); },
            remote::ErrorCode::DataOutOfRange },
        { "F2 above 20 kHz",
            [](Generator& g, ChangeFrom f) { return g.setFrequency(Tone::F2, 20001, f); },
            remote::ErrorCode::DataOutOfRange },
        { "level below -45 dB",
            [](Generator& g, ChangeFrom f) { return g.setLevelStep(Tone::F1, 16, f); },
            remote::ErrorCode::DataOutOfRange },
        { "a level beyond full scale",
            [](Generator& g, ChangeFrom f) {
                return g.setLevelFactor(Tone::F2, FullScaleLevel * 1.0001, f);
            },
            remote::ErrorCode::DataOutOfRange },
        { "a level 121 dB below full scale",
            [](Generator& g, ChangeFrom f) {
                return g.setLevelFactor(Tone::F1, MinLevelFactor * 0.9, f);
            },
            remote::ErrorCode::DataOutOfRange },
        { "a sweep of a set length in the exact synthesis",
            [](Generator& g, ChangeFrom f) {
                return g.setTimedSweep({ true, true, 20000000000, 10.0 }, f);
            },
            remote::ErrorCode::SettingsConflict },
        { "bursts in the exact synthesis",
            [](Generator& g, ChangeFrom f) {
                return g.setBurst({ true, 5, 0.02, 0.0 }, f);
            },
            remote::ErrorCode::SettingsConflict },
        { "pink noise in the exact synthesis",
            [](Generator& g, ChangeFrom f) { return g.setPinkNoise(f); },
            remote::ErrorCode::SettingsConflict },
        { "a calibration of 0 V",
            [](Generator& g, ChangeFrom f) { return g.setCalibrationVpp(0.0, f); },
            remote::ErrorCode::DataOutOfRange },
        { "noise above 100 %", [](Generator& g, ChangeFrom f) { return g.setNoiseStep(11, f); },
            remote::ErrorCode::DataOutOfRange },
        { "duty 0 %", [](Generator& g, ChangeFrom f) { return g.setDutyPercent(0, f); },
            remote::ErrorCode::DataOutOfRange },
        { "a rate not offered",
            [](Generator& g, ChangeFrom f) { return g.setSampleRate(22050, f); },
            remote::ErrorCode::IllegalParameterValue },
        { "a pattern not of bits",
            [](Generator& g, ChangeFrom f) {
                Module1 m = g.module1();
                m.BitCode = "12";
                return g.setBitCode(m, f);
            },
            remote::ErrorCode::IllegalParameterValue },
        { "a bit length under 20 us",
            [](Generator& g, ChangeFrom f) {
                Module1 m = g.module1();
                m.BitLength = 0.000019f;
                return g.setBitCode(m, f);
            },
            remote::ErrorCode::DataOutOfRange },
        { "a phase past 360 degrees",
            [](Generator& g, ChangeFrom f) {
                SignalOptions o = g.signalOptions();
                o.phaseDegrees = 400;
                return g.setSignalOptions(o, f);
            },
            remote::ErrorCode::DataOutOfRange },
        { "a latency of 1 ms", [](Generator& g, ChangeFrom f) { return g.setLatencyMs(1, f); },
            remote::ErrorCode::DataOutOfRange },
    };
    for (const auto& c : cases) {
        Rig rig(true);
        // The pulse-width sine greys FM; every other change is refused on its own.
        ASSERT_TRUE(rig.generator.setWaveform(WavePwSine, ChangeFrom::Settings).ok());
        rig.heard.changes.clear();
        const GeneratorState state = rig.generator.state();
        const Module1 module1 = rig.generator.module1();
        const PanelSteps steps = rig.generator.steps();
        const SignalOptions options = rig.generator.signalOptions();
        const int latency = rig.generator.latencyMs();
        for (const ChangeFrom from : { ChangeFrom::Panel, ChangeFrom::Script }) {
            const SetResult result = c.change(rig.generator, from);
            EXPECT_FALSE(result.ok()) << c.name;
            EXPECT_EQ(result.error().code, c.code) << c.name;
            EXPECT_FALSE(result.error().detail().empty()) << c.name << ": a refusal says why";
        }
        EXPECT_EQ(rig.generator.state().Frequency1, state.Frequency1) << c.name;
        EXPECT_EQ(rig.generator.state().Frequency2, state.Frequency2) << c.name;
        EXPECT_EQ(rig.generator.state().ChannelMode, state.ChannelMode) << c.name;
        EXPECT_EQ(rig.generator.state().SampleRate, state.SampleRate) << c.name;
        EXPECT_EQ(rig.generator.module1(), module1) << c.name;
        EXPECT_EQ(rig.generator.steps(), steps) << c.name;
        EXPECT_EQ(rig.generator.signalOptions(), options) << c.name;
        EXPECT_EQ(rig.generator.latencyMs(), latency) << c.name;
        EXPECT_TRUE(rig.heard.changes.empty()) << c.name;
        EXPECT_TRUE(rig.backend.ops().empty()) << c.name << ": the sound untouched";
        EXPECT_TRUE(rig.generator.playing()) << c.name;
    }
}

TEST(Generator, FmChosenFirstIsKeptByAWaveformThatGreysIt)
{
    // As on the front panel: the option greys, the mode stays; only choosing FM is refused.
    Generator g;
    ASSERT_TRUE(g.setChannelMode(ModeFm, ChangeFrom::Settings).ok());
    ASSERT_TRUE(g.setWaveform(WavePwSine, ChangeFrom::Settings).ok());
    EXPECT_EQ(g.state().ChannelMode, ModeFm);
    EXPECT_TRUE(g.setChannelMode(ModeFm, ChangeFrom::Script).ok());
}

// The sound that plays goes on until the new buffer takes over from it: the player hears
// of the new buffer and nothing else, no silence in between.
TEST(Generator, ARestartHandsTheNewBufferOverWithoutSilence)
{
    Rig rig(true);
    ASSERT_TRUE(rig.generator.setFrequency(Tone::F1, 2000, ChangeFrom::Script).ok());
    std::vector<std::string> ops = rig.backend.describedOps();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0], "OpenDevice(\"\" rate=98000 s16)");
    EXPECT_EQ(ops[1], "Play(bytes=392000 rate=98000 s16 looping)");
    EXPECT_TRUE(rig.backend.playingLooped());
}

// The precise synthesis plays a stream of the state's settings, computed as it plays; the
// bit codes and the exact synthesis a buffer.
TEST(Generator, ThePreciseSynthesisPlaysAStream)
{
    Rig rig(true);
    SignalOptions precise;
    precise.synthesis = Synthesis::Precise;
    precise.format = SampleFormat::S24;
    ASSERT_TRUE(rig.generator.setSignalOptions(precise, ChangeFrom::Script).ok());
    ASSERT_TRUE(rig.generator.setFrequency(Tone::F2, 440, ChangeFrom::Script).ok());
    const SoundOp* op = rig.backend.lastHandover();
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->describe(), "PlayStream(rate=98000 s32)");
    ASSERT_TRUE(op->stream.has_value());
    EXPECT_EQ(op->stream->Frequency1, 1000 * MicrohertzPerHertz);
    EXPECT_EQ(op->stream->Frequency2, 440 * MicrohertzPerHertz);
    EXPECT_EQ(op->stream->Level1, double(rig.generator.state().Level1));
    EXPECT_EQ(op->streamOptions, precise);
    ASSERT_TRUE(rig.generator.setWaveform(WaveBitCode, ChangeFrom::Script).ok());
    EXPECT_EQ(rig.backend.lastHandover()->kind, SoundOp::Kind::Play);
    ASSERT_TRUE(rig.generator.setWaveform(WaveTriangle, ChangeFrom::Script).ok());
    ASSERT_TRUE(rig.generator.setSignalOptions({}, ChangeFrom::Script).ok());
    EXPECT_EQ(rig.backend.lastHandover()->kind, SoundOp::Kind::Play);
}

TEST(Generator, AFailedRestartIsTheChangesFailureAndTheSettingStays)
{
    // At the device, and at the hand-over: either way the old sound ends too.
    for (const SoundOp::Kind kind : { SoundOp::Kind::OpenDevice, SoundOp::Kind::Play }) {
        Rig rig(true);
        rig.backend.failOn(kind, "the device is gone");
        const SetResult result = rig.generator.setFrequency(Tone::F1, 2000, ChangeFrom::Script);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().code, remote::ErrorCode::Execution);
        EXPECT_NE(result.error().detail().find("the device is gone"), std::string::npos);
        EXPECT_EQ(rig.generator.state().Frequency1, 2000);
        EXPECT_FALSE(rig.generator.playing());
        EXPECT_FALSE(rig.backend.playing()) << kindName(kind);
    }
}

TEST(Generator, ALevelBeyondTheStepsIsKeptExactlyAndTheCalibrationByDevice)
{
    Rig rig(true);
    Generator& g = rig.generator;
    // A step's own factor is the step; any other is kept in double precision, the spinner at
    // the nearest step.
    ASSERT_TRUE(g.setLevelFactor(Tone::F1, double(levelFactor(5)), ChangeFrom::Script).ok());
    EXPECT_FALSE(g.fineLevel(Tone::F1));
    EXPECT_EQ(g.levelStep(Tone::F1), 5);
    const double fine = FullScaleLevel * std::pow(10.0, -12.34 / 20.0);
    ASSERT_TRUE(g.setLevelFactor(Tone::F1, fine, ChangeFrom::Script).ok());
    EXPECT_TRUE(g.fineLevel(Tone::F1));
    EXPECT_EQ(g.levelFactorOf(Tone::F1), fine);
    EXPECT_EQ(g.state().Level1, float(fine));
    EXPECT_EQ(g.levelStep(Tone::F1), 3); // -8.05 dB on the panel's scale
    EXPECT_EQ(streamSettings(g.state(), 50).Level1, fine);
    // The spinner's step is a step again.
    ASSERT_TRUE(g.setLevelStep(Tone::F1, 3, ChangeFrom::Panel).ok());
    EXPECT_FALSE(g.fineLevel(Tone::F1));
    EXPECT_EQ(g.levelFactorOf(Tone::F1), double(levelFactor(3)));

    // A two-tone set: SMPTE's 4:1, the peaks adding up to F1's level before; recognised
    // until a setting leaves it.
    ASSERT_TRUE(g.setLevelFactor(Tone::F1, fine, ChangeFrom::Script).ok());
    ASSERT_TRUE(g.setTwoTone(remote::TwoToneSet::Smpte, ChangeFrom::Script).ok());
    EXPECT_EQ(g.twoTone(), remote::TwoToneSet::Smpte);
    EXPECT_EQ(g.state().ChannelMode, ModeF1PlusF2);
    EXPECT_NEAR(g.levelFactorOf(Tone::F1) + g.levelFactorOf(Tone::F2), fine, 1e-15);
    EXPECT_NEAR(g.levelFactorOf(Tone::F1) / g.levelFactorOf(Tone::F2), 4.0, 1e-12);
    ASSERT_TRUE(g.setFrequency(Tone::F2, 7001, ChangeFrom::Script).ok());
    EXPECT_EQ(g.twoTone(), std::nullopt);

    // The calibration belongs to the device: each keeps its own, and the memory is asked
    // once for a device it has not seen and told of every change.
    std::map<std::string, double> kept { { "USB", 7.5 } };
    int recalls = 0;
    g.setCalibrationMemory({ [&](const std::string& d) -> std::optional<double> {
                                ++recalls;
                                const auto it = kept.find(d);
                                return it == kept.end() ? std::nullopt : std::optional(it->second);
                            },
        [&](const std::string& d, double v) { kept[d] = v; } });
    EXPECT_EQ(g.calibrationVpp(), remote::StartFullScaleVpp);
    ASSERT_TRUE(g.setCalibrationVpp(3.3, ChangeFrom::Script).ok());
    EXPECT_EQ(kept[""], 3.3);
    g.sound().setDeviceId("USB");
    EXPECT_EQ(g.calibrationVpp(), 7.5);
    EXPECT_EQ(g.calibrationVpp(), 7.5);
    EXPECT_EQ(recalls, 2);
    g.sound().setDeviceId("");
    EXPECT_EQ(g.calibrationVpp(), 3.3);
    // A calibration is no change of the signal: nothing restarts; reset leaves it.
    rig.backend.clearOps();
    ASSERT_TRUE(g.setCalibrationVpp(2.5, ChangeFrom::Script).ok());
    EXPECT_TRUE(rig.backend.ops().empty());
    ASSERT_TRUE(g.reset().ok());
    EXPECT_EQ(g.calibrationVpp(), 2.5);
}

TEST(Generator, ResetIsTheStartValuesWithTheOutputOff)
{
    Rig rig(true);
    ASSERT_TRUE(rig.generator.setLevelFactor(Tone::F2, 0.3, ChangeFrom::Script).ok());
    ASSERT_TRUE(rig.generator.setLevelStep(Tone::F1, 4, ChangeFrom::Script).ok());
    ASSERT_TRUE(rig.generator.setSignalOptions({ Synthesis::Precise }, ChangeFrom::Script).ok());
    ASSERT_TRUE(rig.generator.reset().ok());
    EXPECT_FALSE(rig.generator.playing());
    // The start level is 1/sqrt(2), not the -3 dB step's 10^(-3/20).
    EXPECT_EQ(rig.generator.state().Level1, startLevel());
    EXPECT_EQ(rig.generator.levelStep(Tone::F1), StartLevelStep);
    EXPECT_FALSE(rig.generator.fineLevel(Tone::F2));
    EXPECT_EQ(rig.generator.levelFactorOf(Tone::F2), double(startLevel()));
    EXPECT_EQ(rig.generator.signalOptions(), SignalOptions {});
}

TEST(Generator, SettingsAloneComputeWithoutASoundDevice)
{
    LaunchOptions o;
    o.f1 = 440;
    o.level1 = 4;
    o.waveform = WaveSquare;
    o.channelMode = ModeFm;
    std::vector<std::string> messages;
    const HeadlessSettings h = headlessSettings(o, messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(h.state.Frequency1, 440);
    EXPECT_EQ(h.state.Level1, levelFactor(4));
    EXPECT_EQ(h.state.ChannelMode, ModeFm);
    Generator settingsOnly;
    const SetResult started = settingsOnly.start();
    EXPECT_EQ(started.error().code, remote::ErrorCode::Execution);
}
