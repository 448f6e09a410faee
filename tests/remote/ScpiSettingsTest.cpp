// The commands that change a setting, as tables: a line on a fresh session, the errors it
// queues and the change it makes to the generator's settings (nothing else may change).
// Short and long forms, case, optional nodes, suffixes, units, MIN/MAX/DEF, ranges and
// the bit-code dialog's rules.

#include "BitCodeRules.h"
#include "LevelScale.h"
#include "RemoteSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace vellox;
using namespace vellox::remote;
using vellox::remote::test::RemoteSession;

namespace {

using Change = std::function<void(InstrumentSettings&)>;

struct SettingCase {
    std::string line;
    std::vector<int> errors;
    Change change; // empty: the settings stay as they were
};

void runCases(const std::vector<SettingCase>& cases)
{
    for (const SettingCase& c : cases) {
        RemoteSession session;
        InstrumentSettings expected = startInstrumentSettings();
        if (c.change)
            c.change(expected);
        const std::string shown = c.line.substr(0, 60);
        EXPECT_EQ(session.scpi.execute(c.line), "") << shown;
        EXPECT_EQ(session.drainErrorCodes(), c.errors) << shown;
        EXPECT_TRUE(session.model.settings() == expected) << shown;
        EXPECT_EQ(session.model.invalidValues(), 0) << shown;
    }
}

Change f1(int16_t hz)
{
    return [hz](InstrumentSettings& s) { s.frequency1 = hz; };
}
Change level1(int step)
{
    return [step](InstrumentSettings& s) {
        s.levelStep1 = step;
        s.levelFactor1 = float(std::pow(10.0, -3.0 * step / 20.0));
    };
}
// A level beyond the steps, exactly as set; the spinner shows the nearest step.
Change fineLevel(Tone tone, double factor)
{
    return [tone, factor](InstrumentSettings& s) {
        const int nearest = std::clamp(int(std::lround(-20.0 * std::log10(factor) / 3.0)), 0, 15);
        (tone == Tone::F1 ? s.levelStep1 : s.levelStep2) = nearest;
        (tone == Tone::F1 ? s.levelFactor1 : s.levelFactor2) = factor;
    };
}
// The factor of a level in `unit` at the start calibration (2 Vpp), for a shape of `rms`.
double factorOf(double value, VoltageUnit unit, double rms = 1.0 / std::sqrt(2.0))
{
    return factorOfLevel(value, unit, 2.0, rms).value();
}

} // namespace

TEST(ScpiSettings, FrequencyFormsCaseNodesAndSuffixes)
{
    runCases({
        { "FREQ 1234", {}, f1(1234) },
        { "freq 1234", {}, f1(1234) },
        { "FrEqUeNcY 1234", {}, f1(1234) },
        { "SOUR:FREQ 1234", {}, f1(1234) },
        { "SOURCE1:FREQ:CW 1234", {}, f1(1234) },
        { ":sour1:frequency:cw 1234", {}, f1(1234) },
        { "  FREQ   1234  ", {}, f1(1234) },
        { "FREQ\t1234\r", {}, f1(1234) },
        { "SOUR2:FREQ 500", {}, [](InstrumentSettings& s) { s.frequency2 = 500; } },
        { "source2:frequency 500", {}, [](InstrumentSettings& s) { s.frequency2 = 500; } },
        // Neither an in-between form nor a suffix where the node takes none.
        { "FREQU 1234", { -113 }, {} },
        { "SOURC:FREQ 1234", { -113 }, {} },
        { "FREQ2 500", { -113 }, {} },
        { "SOUR3:FREQ 500", { -114 }, {} },
        { "SOUR0:FREQ 500", { -114 }, {} },
        { "SOUR99999999999:FREQ 500", { -114 }, {} },
        { "FREQ:CW:CW 1234", { -113 }, {} },
    });
}

TEST(ScpiSettings, FrequencyNumbersUnitsAndRange)
{
    runCases({
        { "FREQ 1.5KHZ", {}, f1(1500) },
        { "FREQ 1.5 khz", {}, f1(1500) },
        { "FREQ 0.0012 MHZ", {}, f1(1200) }, // SCPI's MHZ is megahertz
        { "FREQ 0.0012MAHZ", {}, f1(1200) },
        { "FREQ 1E3", {}, f1(1000) },
        { "FREQ 12.34e+2", {}, f1(1234) },
        { "FREQ +440.", {}, f1(440) },
        // A fraction is never rounded away: an instrument of whole hertz refuses it.
        { "FREQ 1000.4", { -221 }, {} },
        { "FREQ 1001.5", { -221 }, {} },
        { "FREQ 19.5", { -221 }, {} },
        { "FREQ 1234.000000", {}, f1(1234) }, // as pymeasure writes it
        { "FREQ 1000.0000004", {}, f1(1000) }, // below 1 uHz, the resolution
        { "FREQ 0000000000000000000000000000000000000000000440", {}, f1(440) },
        { "FREQ MIN", {}, f1(MinFrequency) },
        { "FREQ maximum", {}, f1(MaxFrequency) },
        { "FREQ 19", { -222 }, {} },
        { "FREQ 20001", { -222 }, {} },
        { "FREQ -1000", { -222 }, {} },
        { "FREQ 1E400", { -222 }, {} },
        { "FREQ -1E400", { -222 }, {} },
        { "FREQ 1E-400", { -222 }, {} },
        { "FREQ 1E32000", { -222 }, {} },
        { "FREQ 1E32001", { -123 }, {} },
        { "FREQ 1E-99999999999999999999", { -123 }, {} },
        { "FREQ 1000 V", { -131 }, {} },
        { "FREQ NAN", { -224 }, {} },
        { "FREQ INF", { -224 }, {} },
        { "FREQ 'abc'", { -104 }, {} },
        { "FREQ", { -109 }, {} },
        { "FREQ 1000,2000", { -108 }, {} },
        { "FREQ 1,2,3,4,5,6", { -108 }, {} },
    });
}

TEST(ScpiSettings, DefaultIsTheStartValueOfEachTone)
{
    RemoteSession session;
    session.run({ "FREQ 3000", "SOUR2:FREQ 3000", "FREQ DEF", "SOUR2:FREQ DEF" });
    EXPECT_TRUE(session.drainErrors().empty());
    EXPECT_EQ(session.model.settings(), startInstrumentSettings());
}

TEST(ScpiSettings, SyntaxErrors)
{
    runCases({
        { "FREQ,1000", { -102 }, {} },
        { "FREQ 10 00", { -102 }, {} },
        { "FREQ 1.2.3", { -102 }, {} },
        { "FREQ 1e", { -102 }, {} },
        { "FREQ 1e+", { -102 }, {} },
        { "FREQ +", { -102 }, {} },
        { "FREQ .", { -102 }, {} },
        { "FREQ 1000,", { -102 }, {} },
        { "FREQ ,1000", { -102 }, {} },
        { "FREQ:", { -102 }, {} },
        { "::FREQ 1000", { -102 }, {} },
        { ":", { -102 }, {} },
        { ";", { -102 }, {} },
        { "FREQ 1000;;FREQ 500", { -102 }, f1(1000) },
        { "FREQ??", { -102 }, {} },
        { "FREQ=1000", { -102 }, {} },
        { "FREQ 'abc", { -151 }, {} },
        { "*", { -102 }, {} },
        { "*1", { -102 }, {} },
        { "1FREQ 1000", { -102 }, {} },
        { "FREQ #3E8", { -102 }, {} }, // block data, which no command takes
        { "FREQ #H3E8.5", { -102 }, {} },
        { "FREQ #H3E8", {}, [](InstrumentSettings& s) { s.frequency1 = 1000; } },
    });
}

TEST(ScpiSettings, BytesOutsideTheMessageAlphabetChangeNothing)
{
    using namespace std::string_literals;
    runCases({
        { "\0"s, { -101 }, {} },
        { "FREQ\0 500"s, { -101 }, {} },
        { "FREQ 500\0"s, { -101 }, {} },
        { "FREQ 500\x07", { -101 }, {} },
        { "\xff\xfe\x80", { -101 }, {} },
        { "FREQ \xc3\xa9", { -101 }, {} },
        { "FR\x1b[2JEQ 500", { -101 }, {} },
        // Inside a string a byte is data: the pattern's own rule refuses it.
        { "BITC '0\x01'", { -222 }, {} },
    });
}

TEST(ScpiSettings, PathsWithinAMessage)
{
    runCases({
        // A relative header continues the path of the command before it...
        { "SOUR2:FREQ 500;VOLT MIN", {},
            [](InstrumentSettings& s) {
                s.frequency2 = 500;
                fineLevel(Tone::F2, MinLevelFactor)(s);
            } },
        // ...common commands leave it as it is...
        { "SOUR2:FREQ 500;*WAI;VOLT MIN", {},
            [](InstrumentSettings& s) {
                s.frequency2 = 500;
                fineLevel(Tone::F2, MinLevelFactor)(s);
            } },
        // ...and a colon starts again at the root.
        { "SOUR2:FREQ 500;:VOLT MIN", {},
            [](InstrumentSettings& s) {
                s.frequency2 = 500;
                fineLevel(Tone::F1, MinLevelFactor)(s);
            } },
        { "FUNC:SQU:DCYC 20;:FUNC:PULS:DCYC 30", {},
            [](InstrumentSettings& s) { s.dutyPercent = 30; } },
        { "FUNC:SQU:DCYC 20;DCYC 30", {}, [](InstrumentSettings& s) { s.dutyPercent = 30; } },
        { "FUNC:SQU:DCYC 20;PULS:DCYC 30", { -113 },
            [](InstrumentSettings& s) { s.dutyPercent = 20; } },
        { "FREQ 500;SOUR2:FREQ 600", {},
            [](InstrumentSettings& s) {
                s.frequency1 = 500;
                s.frequency2 = 600;
            } },
        { "FREQ 500;FREQ 600;", {}, f1(600) },
        // A command error ends the message; an execution error does not.
        { "FOO;FREQ 500", { -113 }, {} }, { "FREQ 500;FOO;FREQ 600", { -113 }, f1(500) },
        { "FREQ 500;FREQ 1,2;FREQ 600", { -108 }, f1(500) },
        { "FREQ 5;FREQ 600", { -222 }, f1(600) },
        { "SOUR3:FREQ 5;FREQ 600", { -114 }, {} }, // a header error is a command error
    });
}

TEST(ScpiSettings, EachMessageStartsAtTheRoot)
{
    RemoteSession session;
    session.run({ "SOUR2:FREQ 500", "VOLT MIN" });
    InstrumentSettings expected = startInstrumentSettings();
    expected.frequency2 = 500;
    fineLevel(Tone::F1, MinLevelFactor)(expected);
    EXPECT_TRUE(session.drainErrors().empty());
    EXPECT_EQ(session.model.settings(), expected);
}

TEST(ScpiSettings, DeepAndLongHeaders)
{
    std::string deep = "FREQ";
    for (int i = 0; i < 10000; ++i)
        deep += ":FREQ";
    std::string longName(5000, 'A');
    runCases({
        { deep + " 500", { -113 }, {} },
        { "SOUR:SOUR:SOUR:SOUR:SOUR:SOUR:SOUR:FREQ 500", { -113 }, {} },
        { longName + " 500", { -113 }, {} },
        // The path before a relative header counts towards the depth.
        { "SOUR:VOLT:LEV:IMM:AMPL 1;LEV:IMM:AMPL:LEV:IMM:AMPL 1", { -113 },
            fineLevel(Tone::F1, 0.5) },
    });
}

TEST(ScpiSettings, Waveforms)
{
    // The bench generators' names first, then ours; the query answers the short form.
    const struct {
        const char* longForm;
        const char* shortForm;
        WaveformIndex waveform;
    } names[] = {
        { "SINusoid", "SIN", WaveSine },
        { "SQUare", "SQU", WaveSquare },
        { "TRIangle", "TRI", WaveTriangle },
        { "RAMP", "RAMP", WaveStairsRising },
        { "PULSe", "PULS", WavePwm },
        { "NOISe", "NOIS", WaveNoise },
        { "PSINe", "PSIN", WavePwSine },
        { "TRAPeze", "TRAP", WaveTrapeze },
        { "NRAMp", "NRAM", WaveStairsFalling },
        { "BITCode", "BITC", WaveBitCode },
        { "BITTwotone", "BITT", WaveBitTwoTone },
    };
    ASSERT_EQ(std::size(names), std::size_t(WaveformCount));
    for (const auto& n : names) {
        for (const std::string& form : { std::string(n.longForm), std::string(n.shortForm) }) {
            RemoteSession session;
            if (n.waveform == WaveSine)
                session.scpi.execute("FUNC SQU");
            EXPECT_EQ(
                session.scpi.execute("FUNC " + form + ";FUNC?"), std::string(n.shortForm) + "\n")
                << form;
            EXPECT_EQ(session.model.waveform(), n.waveform) << form;
            EXPECT_TRUE(session.drainErrors().empty()) << form;
        }
    }
    const auto square = [](InstrumentSettings& s) { s.waveform = WaveSquare; };
    const auto pink = [](InstrumentSettings& s) {
        s.waveform = WaveNoise;
        s.pink = true;
    };
    runCases({
        { "SOUR:FUNC:SHAP square", {}, square },
        // Pink noise is "W Noise" made pink; any waveform chosen after it ends it.
        { "FUNC PINK", {}, pink },
        { "FUNC PINK;FUNC SQU", {}, square },
        { "FUNC PINK;FUNC NOIS", {}, [](InstrumentSettings& s) { s.waveform = WaveNoise; } },
        { "function squ", {}, square },
        { "FUNC SQUAR", { -224 }, {} },
        { "FUNC PRBS", { -224 }, {} },
        { "FUNC ARB", { -224 }, {} },
        { "FUNC 2", { -104 }, {} },
        { "FUNC 'SQU'", { -104 }, {} },
        { "FUNC", { -109 }, {} },
        { "SOUR2:FUNC SQU", { -114 }, {} },
    });
}

TEST(ScpiSettings, Duty)
{
    const auto duty = [](int d) { return [d](InstrumentSettings& s) { s.dutyPercent = d; }; };
    runCases({
        { "FUNC:SQU:DCYC 25", {}, duty(25) },
        { "FUNCTION:PULSE:DCYCLE 30.4", {}, duty(30) },
        { "FUNC:PULS:DCYC 75 PCT", {}, duty(75) },
        { "FUNC:SQU:DCYC 50.000000", {}, duty(50) },
        { "FUNC:SQU:DCYC MIN", {}, duty(MinDutyPercent) },
        { "FUNC:SQU:DCYC MAX", {}, duty(MaxDutyPercent) },
        { "FUNC:SQU:DCYC 0.01", { -222 }, {} },
        { "FUNC:SQU:DCYC 100.6", { -222 }, {} },
        { "FUNC:SQU:DCYC 50 HZ", { -131 }, {} },
        { "SOUR2:FUNC:SQU:DCYC 50", { -114 }, {} },
    });
}

TEST(ScpiSettings, LevelInVoltsAndDecibelsIsTakenExactly)
{
    // The start calibration: a sine at the unit level is 2 V peak to peak.
    ASSERT_EQ(startInstrumentSettings().fullScaleVpp, 2.0);
    const auto fine1 = [](double factor) { return fineLevel(Tone::F1, factor); };
    runCases({
        { "VOLT 2", {}, level1(0) }, // a step's own factor is that step
        { "VOLT 1", {}, fine1(0.5) }, // -6.02 dB: not the step of -6
        { "VOLT 1 V", {}, fine1(0.5) },
        { "VOLT 1000 MV", {}, fine1(0.5) },
        { "VOLT 1 VPP", {}, fine1(0.5) },
        { "SOUR:VOLT:LEV:IMM:AMPL 1", {}, fine1(0.5) },
        { "VOLT:LEV 1", {}, fine1(0.5) },
        { "VOLT:AMPL 1", {}, fine1(0.5) },
        { "VOLT 0.6", {}, fine1(0.3) },
        { "VOLT 0.5 VRMS", {}, fine1(factorOf(0.5, VoltageUnit::Vrms)) },
        { "VOLT 500 MVRMS", {}, fine1(factorOf(0.5, VoltageUnit::Vrms)) },
        { "VOLT -12.34 DBFS", {}, fine1(factorOf(-12.34, VoltageUnit::Dbfs)) },
        { "VOLT:UNIT DBFS;:VOLT -60.01", {}, fine1(factorOf(-60.01, VoltageUnit::Dbfs)) },
        { "VOLT 0 DBFS", {}, fine1(FullScaleLevel) },
        { "VOLT -120 DBFS", {}, fine1(MinLevelFactor) },
        { "VOLT -10 DBV", {}, fine1(factorOf(-10.0, VoltageUnit::Dbv)) },
        { "VOLT:UNIT DBU;:VOLT 1.5", {}, fine1(factorOf(1.5, VoltageUnit::Dbu)) },
        { "VOLT:UNIT VRMS;:VOLT 0.5", {}, fine1(factorOf(0.5, VoltageUnit::Vrms)) },
        // The path after VOLT:UNIT is VOLT: a relative VOLT is VOLT:VOLT.
        { "VOLT:UNIT VRMS;VOLT 0.5", { -113 }, {} },
        { "VOLT 2.3", {}, fine1(1.15) }, // above the unit level, below full scale
        { "VOLT 0.0105", {}, fine1(0.00525) }, // below the last step
        { "VOLT MIN", {}, fine1(MinLevelFactor) },
        { "VOLT MAX", {}, fine1(FullScaleLevel) },
        { "SOUR2:VOLT 1", {}, fineLevel(Tone::F2, 0.5) },
        // Beyond full scale or 120 dB below it, and what has no level: refused, not brought
        // within.
        { "VOLT 3.3", { -222 }, {} }, // a peak of 33000
        { "VOLT 0.01 DBFS", { -222 }, {} },
        { "VOLT -120.01 DBFS", { -222 }, {} },
        { "VOLT 9 DBV", { -222 }, {} },
        { "VOLT 0", { -222 }, {} },
        { "VOLT -1", { -222 }, {} },
        { "VOLT 1E400", { -222 }, {} },
        { "VOLT 1E-400", { -222 }, {} },
        { "VOLT:UNIT DBFS;:VOLT 1 V", { -138 }, {} },
        { "VOLT:UNIT DBV;:VOLT 1 MV", { -138 }, {} },
        { "VOLT 1 HZ", { -131 }, {} },
        { "VOLT LOUD", { -224 }, {} },
        { "VOLT:UNIT DBM", { -224 }, {} },
        { "SOUR3:VOLT 1", { -114 }, {} },
    });
}

TEST(ScpiSettings, LevelDefaultIsTheStartStep)
{
    // The start factor is 1/sqrt(2) beside step 1; DEF takes step 1 with its own factor.
    runCases({ { "VOLT DEF", {}, level1(StartLevelStep) } });
}

TEST(ScpiSettings, RmsFollowsTheWaveformInForce)
{
    const auto with = [](WaveformIndex w, double factor) {
        return [w, factor](InstrumentSettings& s) {
            s.waveform = w;
            fineLevel(Tone::F1, factor)(s);
        };
    };
    const double triangle = 1.0 / std::sqrt(3.0);
    runCases({
        // A square's rms is its peak: 0.5 Vrms is 0.5 V peak, half the unit level's 1 V.
        { "FUNC SQU;VOLT 0.5 VRMS", {}, with(WaveSquare, 0.5) },
        { "FUNC PULS;VOLT 0.5 VRMS", {}, with(WavePwm, 0.5) },
        // A triangle's is its peak over sqrt(3).
        { "FUNC TRI;VOLT 0.5 VRMS", {},
            with(WaveTriangle, factorOf(0.5, VoltageUnit::Vrms, triangle)) },
        { "FUNC RAMP;VOLT 0.5 VRMS", {},
            with(WaveStairsRising, factorOf(0.5, VoltageUnit::Vrms, triangle)) },
        // dBFS is of the rms too: a square reaches +3.01 dBFS at full-scale peak.
        { "FUNC SQU;VOLT 3 DBFS", {}, with(WaveSquare, factorOf(3.0, VoltageUnit::Dbfs, 1.0)) },
        { "FUNC SQU;VOLT 3.02 DBFS", { -222 },
            [](InstrumentSettings& s) { s.waveform = WaveSquare; } },
        // F2 is always a sine.
        { "FUNC SQU;SOUR2:VOLT 0.5 VRMS", {},
            [](InstrumentSettings& s) {
                s.waveform = WaveSquare;
                fineLevel(Tone::F2, factorOf(0.5, VoltageUnit::Vrms))(s);
            } },
    });
}

TEST(ScpiSettings, SweepOfASetLength)
{
    const auto sweep = [](void (*edit)(TimedSweep&)) {
        return [edit](InstrumentSettings& s) { edit(s.timedSweep); };
    };
    runCases({
        { "SWE:STAT ON", {}, sweep([](TimedSweep& w) { w.On = true; }) },
        { "SOUR:SWEEP:STATE 1", {}, sweep([](TimedSweep& w) { w.On = true; }) },
        { "SWE:SPAC LOG", {}, sweep([](TimedSweep& w) { w.Logarithmic = true; }) },
        { "SWE:SPAC LIN", {}, {} },
        { "SWE:COUN 1", {}, sweep([](TimedSweep& w) { w.Once = true; }) },
        { "SWE:COUN 1;COUN INF", {}, {} },
        { "SWE:COUN 2", { -222 }, {} },
        { "SWE:TIME 10", {}, sweep([](TimedSweep& w) { w.Seconds = 10.0; }) },
        { "SWE:TIME 250 MS", {}, sweep([](TimedSweep& w) { w.Seconds = 0.25; }) },
        { "SWE:TIME MIN", {}, sweep([](TimedSweep& w) { w.Seconds = MinSweepSeconds; }) },
        { "SWE:HTIM 0.5", {}, sweep([](TimedSweep& w) { w.HoldSeconds = 0.5; }) },
        { "SWE:RTIM 2", {}, sweep([](TimedSweep& w) { w.ReturnSeconds = 2.0; }) },
        { "FREQ:STOP 20000", {}, sweep([](TimedSweep& w) { w.Stop = 20000000000; }) },
        { "FREQ:STOP 1234.567891", {}, sweep([](TimedSweep& w) { w.Stop = 1234567891; }) },
        { "FREQ:STAR 20", {}, f1(20) }, // the sweep starts at F1
        { "SWE:TIME 0.005", { -222 }, {} },
        { "SWE:TIME 1001", { -222 }, {} },
        { "SWE:HTIM -1", { -222 }, {} },
        { "FREQ:STOP 0.5", { -222 }, {} },
        { "FREQ:STOP 44100.000001", { -222 }, {} }, // 0.45 of 98000 Hz
        { "SWE:SPAC SIDEWAYS", { -224 }, {} },
        { "SOUR2:SWE:STAT ON", { -114 }, {} },
    });
}

TEST(ScpiSettings, TwoToneSets)
{
    const auto set = [](int16_t f1, int16_t f2, double share1, double share2) {
        return [=](InstrumentSettings& s) {
            const double level = s.levelFactor1;
            s.channelMode = ModeF1PlusF2;
            s.frequency1 = f1;
            s.frequency2 = f2;
            s.levelFactor1 = level * share1;
            s.levelFactor2 = level * share2;
        };
    };
    runCases({
        { "IMD SMPTE", {}, set(60, 7000, 0.8, 0.2) },
        { "SOUR:IMD:SET CCIF", {}, set(19000, 20000, 0.5, 0.5) },
        { "IMD NONE", { -224 }, {} },
        { "SOUR2:IMD CCIF", { -114 }, {} },
    });
}

TEST(ScpiSettings, ToneBursts)
{
    const auto burst
        = [](void (*edit)(ToneBurst&)) { return [edit](InstrumentSettings& s) { edit(s.burst); }; };
    runCases({
        // As pymeasure's Agilent33500 sends them.
        { "BURS:STAT 1", {}, burst([](ToneBurst& b) { b.On = true; }) },
        { "BURS:NCYC 5", {}, burst([](ToneBurst& b) { b.Cycles = 5; }) },
        { "BURS:INT:PER 1.000000e-01", {}, burst([](ToneBurst& b) { b.PeriodSeconds = 0.1; }) },
        { "SOUR:BURST:NCYCLES MAX", {}, burst([](ToneBurst& b) { b.Cycles = 1000000; }) },
        { "BURS:INT:PER 20 MS", {}, burst([](ToneBurst& b) { b.PeriodSeconds = 0.02; }) },
        { "BURS:PHAS 90", {}, burst([](ToneBurst& b) { b.PhaseDegrees = 90.0; }) },
        { "BURS:PHAS -90", {}, burst([](ToneBurst& b) { b.PhaseDegrees = 270.0; }) },
        { "BURS:PHAS 360", {}, {} },
        { "BURS:NCYC 0", { -222 }, {} },
        { "BURS:NCYC 1000001", { -222 }, {} },
        { "BURS:INT:PER 0.0005", { -222 }, {} },
        { "BURS:PHAS 361", { -222 }, {} },
        { "BURS:NCYC INF", { -224 }, {} },
        { "SOUR2:BURS:STAT ON", { -114 }, {} },
    });
}

TEST(ScpiSettings, Calibration)
{
    const auto fullScale
        = [](double v) { return [v](InstrumentSettings& s) { s.fullScaleVpp = v; }; };
    runCases({
        { "VOLT:CAL:FSC 4", {}, fullScale(4.0) },
        { "SOUR:VOLTAGE:CALIBRATION:FSCALE 2500 MV", {}, fullScale(2.5) },
        { "VOLT:CAL:FSC 4;:VOLT 2", {},
            [](InstrumentSettings& s) {
                s.fullScaleVpp = 4.0;
                fineLevel(Tone::F1, 0.5)(s);
            } },
        { "VOLT:CAL:FSC MIN", {}, fullScale(MinFullScaleVpp) },
        { "VOLT:CAL:FSC MAX", {}, fullScale(MaxFullScaleVpp) },
        { "VOLT:CAL:FSC 0", { -222 }, {} },
        { "VOLT:CAL:FSC 1001", { -222 }, {} },
        { "VOLT:CAL:FSC 1E400", { -222 }, {} },
        { "VOLT:CAL:FSC 2 HZ", { -131 }, {} },
    });
}

TEST(ScpiSettings, OutputModeNoiseSweepRate)
{
    const auto on = [](InstrumentSettings& s) { s.outputOn = true; };
    const auto mode
        = [](ChannelModeValue m) { return [m](InstrumentSettings& s) { s.channelMode = m; }; };
    const auto noise
        = [](int step) { return [step](InstrumentSettings& s) { s.noiseStep = step; }; };
    const auto sweep = [](SweepMode m) { return [m](InstrumentSettings& s) { s.sweepMode = m; }; };
    const auto rate = [](int32_t r) { return [r](InstrumentSettings& s) { s.sampleRate = r; }; };
    runCases({
        { "OUTP ON", {}, on },
        { "OUTP 1", {}, on },
        { "output1:state on", {}, on },
        { "OUTP ON;OUTP OFF", {}, {} },
        { "OUTP 2", {}, on }, // a number is rounded: anything but 0 is ON
        { "OUTP -1", {}, on },
        { "OUTP 0.4", {}, {} },
        { "OUTP 0.5", {}, {} }, // halves to even
        { "OUTP #H1", {}, on },
        { "OUTP #B0", {}, {} },
        { "OUTP #Q17;OUTP #HfF", {}, on },
        { "OUTP #B102", { -121 }, {} },
        { "OUTP #HG", { -121 }, {} },
        { "OUTP #H", { -102 }, {} },
        { "OUTP #5", { -102 }, {} },
        { "OUTP 1 V", { -138 }, {} },
        { "OUTP YES", { -224 }, {} },
        { "OUTP2 ON", { -114 }, {} },
        { "MODE F1", {}, {} },
        { "MODE SUM", {}, mode(ModeF1PlusF2) },
        { "SOUR:MODE am", {}, mode(ModeAm) },
        { "MODE AMSC", {}, mode(ModeAmSp) },
        { "MODE FM", {}, mode(ModeFm) },
        { "MODE STEREO", {}, mode(ModeStereo) },
        { "MODE STER", {}, mode(ModeStereo) },
        { "MODE MONO", { -224 }, {} },
        { "NOIS 30", {}, noise(3) },
        { "NOISE:LEVEL 34 PCT", {}, noise(3) },
        { "NOIS 35", {}, noise(4) }, // halves to even: 3.5 steps is 4
        { "NOIS 25", {}, noise(2) }, // and 2.5 is 2
        { "NOIS MAX", {}, noise(MaxNoiseStep) },
        { "NOIS 104", {}, noise(MaxNoiseStep) },
        { "NOIS 106", { -222 }, {} },
        { "NOIS -6", { -222 }, {} },
        { "SWE:MODE LIN", {}, sweep(SweepMode::Linear) },
        { "SOUR:SWEEP:MODE LOGARITHMIC", {}, sweep(SweepMode::Logarithmic) },
        { "SWE:MODE LIN;MODE MAN", {}, {} },
        { "SWE:MODE ON", { -224 }, {} },
        { "SRAT 48000", {}, rate(48000) },
        { "SRAT 44.1 KHZ", {}, rate(44100) },
        { "SRAT 192000", {}, rate(192000) },
        { "SRAT #HBB80", {}, rate(48000) },
        { "SRAT MIN", {}, rate(PlayableRates.front()) },
        { "SRAT MAX", {}, rate(PlayableRates.back()) },
        { "SRAT 50000", { -224 }, {} },
        { "SRAT 200000", { -222 }, {} },
        { "SRAT 40000", { -222 }, {} },
    });
}

TEST(ScpiSettings, InstrumentGradeSettings)
{
    runCases({
        { "SYNT PREC", {}, [](InstrumentSettings& s) { s.synthesis = Synthesis::Precise; } },
        { "SOUR:SYNTHESIS exact", {}, {} },
        { "SYNT FAST", { -224 }, {} },
        { "DITH TPDF", {}, [](InstrumentSettings& s) { s.dither = Dither::Tpdf; } },
        { "DITHER NONE", {}, {} },
        { "OUTP:FORM S24", {}, [](InstrumentSettings& s) { s.sampleFormat = SampleFormat::S24; } },
        { "OUTPUT:FORMAT f32", {},
            [](InstrumentSettings& s) { s.sampleFormat = SampleFormat::F32; } },
        { "OUTP:FORM S8", { -224 }, {} },
        { "PHAS 90", {}, [](InstrumentSettings& s) { s.phaseDegrees = 90; } },
        { "PHASE:ADJUST 90 DEG", {}, [](InstrumentSettings& s) { s.phaseDegrees = 90; } },
        { "PHAS 1.5708 RAD", {}, [](InstrumentSettings& s) { s.phaseDegrees = 90; } },
        { "PHAS 359", {}, [](InstrumentSettings& s) { s.phaseDegrees = 359; } },
        // A bench generator's range, -360..360, wraps to the turn.
        { "PHAS 360", {}, {} },
        { "PHAS -1", {}, [](InstrumentSettings& s) { s.phaseDegrees = 359; } },
        { "PHAS -90.000000", {}, [](InstrumentSettings& s) { s.phaseDegrees = 270; } },
        { "PHAS -360", {}, {} },
        { "PHAS 361", { -222 }, {} },
        { "PHAS -361", { -222 }, {} },
        { "PHAS 90 HZ", { -131 }, {} },
        { "OUTP:LAT 20 MS", {}, [](InstrumentSettings& s) { s.latencyMs = 20; } },
        { "OUTP:LAT 0.02", {}, [](InstrumentSettings& s) { s.latencyMs = 20; } },
        { "OUTP:LAT MIN", {}, [](InstrumentSettings& s) { s.latencyMs = MemoryLatencyRange.min; } },
        { "OUTP:LAT 1", { -222 }, {} },
        { "OUTP:LAT 1 MS", { -222 }, {} },
    });
}

TEST(ScpiSettings, BitCodeThroughTheDialogsRules)
{
    const auto pattern
        = [](const char* p) { return [p](InstrumentSettings& s) { s.bitCode.BitCode = p; }; };
    runCases({
        { "BITC '0011'", {}, pattern("0011") },
        { "BITCODE:DATA \"0011\"", {}, pattern("0011") },
        { "BITC 0011", {}, pattern("0011") }, // the digits as sent, leading zeros kept
        { "BITC:BLEN 20 US", {},
            [](InstrumentSettings& s) { s.bitCode.BitLength = float(20 / 1000000.0); } },
        // The lowest length stays usable: a pattern after it is checked against it as stored.
        { "BITC:BLEN 0.00002;DATA '0101'", {},
            [](InstrumentSettings& s) {
                s.bitCode.BitLength = float(20 / 1000000.0);
                s.bitCode.BitCode = "0101";
            } },
        { "BITC:BLEN 20 US;PER MIN", {},
            [](InstrumentSettings& s) {
                s.bitCode.BitLength = float(20 / 1000000.0);
                s.bitCode.RepetitiveTime = float(1 / 1000.0);
            } },
        { "BITC:BLEN 0.5 MS", {},
            [](InstrumentSettings& s) { s.bitCode.BitLength = float(500 / 1000000.0); } },
        { "BITC:PER 0.5", {},
            [](InstrumentSettings& s) { s.bitCode.RepetitiveTime = float(500 / 1000.0); } },
        // 32 bits of 1 ms fit exactly into 32 ms.
        { "BITC:PER 32 MS", {},
            [](InstrumentSettings& s) { s.bitCode.RepetitiveTime = float(32 / 1000.0); } },
        { "BITC:DATA '1';PER MIN", {},
            [](InstrumentSettings& s) {
                s.bitCode.RepetitiveTime = float(1 / 1000.0);
                s.bitCode.BitCode = "1";
            } },
        // What the dialog would replace with a usable value is refused.
        { "BITC '0012'", { -222 }, {} },
        { "BITC ''", { -222 }, {} },
        { "BITC 1.5", { -222 }, {} },
        { "BITC:BLEN 19 US", { -222 }, {} },
        { "BITC:BLEN 2", { -222 }, {} },
        { "BITC:PER 2", { -222 }, {} },
        { "BITC:PER 0.5 MS", { -222 }, {} },
        { "BITC:PER 1E400", { -222 }, {} },
        { "BITC:PER 10 MS", { -222 }, {} }, // 32 bits of 1 ms do not fit
        // Nor into 1 ms: the order matters, the pattern that follows is taken alone.
        { "BITC:PER MIN;DATA '1'", { -222 }, pattern("1") },
        { "BITC:BLEN 0.1", { -222 }, {} }, // 32 bits of 100 ms do not fit into 1 s
        { "BITC ABC", { -104 }, {} },
        { "BITC 101 HZ", { -138 }, {} },
    });
}

TEST(ScpiSettings, BitCodeErrorsCarryTheDialogsText)
{
    const struct {
        const char* line;
        std::string message;
    } cases[] = {
        { "BITC '0012'", BitSymbolMessage },
        { "BITC ''", BitSymbolMessage },
        { "BITC:PER 2", RepetitiveTimeMessage },
        { "BITC:BLEN 19 US", BitLengthMessage },
        { "BITC:PER 10 MS", LengthCheckMessage },
    };
    for (const auto& c : cases) {
        std::string message = c.message;
        for (char& ch : message)
            if (ch == '\n')
                ch = ' ';
        RemoteSession session;
        session.scpi.execute(c.line);
        EXPECT_EQ(session.drainErrors(),
            std::vector<std::string> { "-222,\"Data out of range;" + message + "\"" })
            << c.line;
    }
}

TEST(ScpiSettings, ResetGivesTheStartValuesAndKeepsTheCalibration)
{
    RemoteSession session;
    session.run({ "FREQ 5000;SOUR2:FREQ 50;:FUNC SQU;MODE FM;VOLT MIN;SOUR2:VOLT MAX",
        "NOIS 50;FUNC:SQU:DCYC 10;:SRAT 44100;SWE:MODE LOG;:BITC '1';BITC:PER 0.1",
        "OUTP ON;SYNT PREC;DITH TPDF;OUTP:FORM F32;:PHAS 180;OUTP:LAT 10 MS",
        "VOLT:CAL:FSC 3;:VOLT:UNIT DBFS" });
    ASSERT_TRUE(session.drainErrors().empty());
    ASSERT_NE(session.model.settings(), startInstrumentSettings());
    session.scpi.execute("*RST");
    InstrumentSettings expected = startInstrumentSettings();
    expected.fullScaleVpp = 3.0;
    EXPECT_EQ(session.model.settings(), expected);
    EXPECT_EQ(session.scpi.voltageUnit(), VoltageUnit::Vpp);
    EXPECT_TRUE(session.drainErrors().empty());
}

TEST(ScpiSettings, ARefusedSetterQueuesItsErrorAndTheMessageGoesOn)
{
    RemoteSession session;
    session.model.refuseChanges(scpiError(ErrorCode::Execution, "device lost"));
    EXPECT_EQ(session.scpi.execute("FREQ 500;FREQ?"), "1000\n");
    EXPECT_EQ(
        session.drainErrors(), std::vector<std::string> { "-200,\"Execution error;device lost\"" });
    EXPECT_EQ(session.model.settings(), startInstrumentSettings());
}
