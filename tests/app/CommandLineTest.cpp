// The command line: one table of good and bad lines with the settings they give or the
// error they end with, then the program itself run with some of them (exit status, what
// it prints, the files it writes).

#include "CommandLine.h"
#include "FrequencyEstimator.h"
#include "LaunchSettings.h"
#include "Render.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sndfile.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace vellox;
using Mode = LaunchOptions::Mode;

namespace {

ParsedCommandLine parse(const QStringList& arguments)
{
    return parseCommandLine(QStringList { QStringLiteral("vellox") } + arguments);
}

struct Row {
    QStringList arguments;
    std::string error; // a part of the one-line error; "" for a good line
    std::function<bool(const LaunchOptions&)> check; // good lines: what they set
};

TEST(CommandLine, GoodAndBadLines)
{
    const Row rows[] = {
        { {}, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Window && !o.hasSettings(); } },
        { { "--help" }, "", [](const LaunchOptions& o) { return o.mode == Mode::Help; } },
        // --help and --version answer whatever follows.
        { { "--version", "--f1", "5" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Version; } },
        { { "--version" }, "", [](const LaunchOptions& o) { return o.mode == Mode::Version; } },
        { { "--f1", "1001", "--f2=20000" }, "",
            [](const LaunchOptions& o) { return o.f1 == 1001 && o.f2 == 20000; } },
        { { "--f1", "19" }, "--f1 takes 20..20000 (Hz), not \"19\"", nullptr },
        { { "--f2", "20001" }, "--f2 takes 20..20000", nullptr },
        { { "--f1", "1e3" }, "--f1 takes 20..20000", nullptr },
        { { "--f1" }, "Missing value after '--f1'", nullptr },
        { { "--waveform", "stairs-up", "--mode", "6" }, "",
            [](const LaunchOptions& o) { return o.waveform == 10 && o.channelMode == 6; } },
        { { "--waveform", "8" }, "", [](const LaunchOptions& o) { return o.waveform == 8; } },
        { { "--waveform", "11" }, "--waveform takes sine, pwsine", nullptr },
        { { "--waveform", "Sine" }, "--waveform takes", nullptr },
        { { "--mode", "0" }, "--mode takes 1..6", nullptr },
        { { "--level1", "0", "--level2", "15", "--noise", "10", "--duty", "1" }, "",
            [](const LaunchOptions& o) {
                return o.level1 == 0 && o.level2 == 15 && o.noise == 10 && o.duty == 1;
            } },
        { { "--level2", "16" }, "--level2 takes 0..15 (3 dB steps)", nullptr },
        { { "--noise", "-1" }, "--noise takes 0..10", nullptr },
        { { "--duty", "101" }, "--duty takes 1..100 (%)", nullptr },
        { { "--rate", "192000", "--sweep", "log" }, "",
            [](const LaunchOptions& o) { return o.rate == 192000 && o.sweep == 2; } },
        { { "--rate", "47999" },
            "--rate takes 44100, 48000, 96000, 98000 or 192000 (Hz), not \"47999\"", nullptr },
        // The sound card's own rates.
        { { "--play", "--rate", "48000" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Play && o.rate == 48000; } },
        { { "--rate", "96000" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Window && o.rate == 96000; } },
        { { "--synthesis", "precise", "--dither", "tpdf", "--sample-format", "s24", "--phase",
              "359", "--render", "a.flac", "--seconds", "1" },
            "",
            [](const LaunchOptions& o) {
                return o.synthesis == Synthesis::Precise && o.dither == Dither::Tpdf
                    && o.sampleFormat == SampleFormat::S24 && o.phase == 359 && o.hasSettings();
            } },
        { { "--synthesis", "exact", "--dither", "none", "--sample-format", "s16", "--phase", "0",
              "--play" },
            "",
            [](const LaunchOptions& o) {
                return o.synthesis == Synthesis::Exact && o.dither == Dither::None
                    && o.sampleFormat == SampleFormat::S16 && o.phase == 0;
            } },
        { { "--synthesis", "Precise" }, "--synthesis takes exact or precise, not", nullptr },
        { { "--dither", "rpdf" }, "--dither takes none or tpdf", nullptr },
        { { "--sample-format", "s32" }, "--sample-format takes s16, s24 or f32", nullptr },
        { { "--phase", "360" }, "--phase takes 0..359 (degrees)", nullptr },
        { { "--phase", "90", "--sample-format", "f32", "--start" }, "",
            [](const LaunchOptions& o) {
                return o.mode == Mode::Window && o.phase == 90
                    && o.sampleFormat == SampleFormat::F32;
            } },
        { { "--phase", "-1" }, "--phase takes 0..359", nullptr },
        { { "--render", "a.flac", "--seconds", "1", "--sample-format", "f32" },
            "FLAC holds no float", nullptr },
        { { "--sweep", "up" }, "--sweep takes man, lin or log", nullptr },
        { { "--bitcode", "0110", "--bitlength", "250", "--reptime", " 40" }, "",
            [](const LaunchOptions& o) {
                return o.bitCode == "0110" && o.bitLengthUs == "250" && o.repetitionMs == " 40";
            } },
        { { "--bitcode", "01x1" }, "--bitcode takes a pattern of 0 and 1", nullptr },
        { { "--bitcode", "" }, "--bitcode takes a pattern of 0 and 1", nullptr },
        { { "--fade-ms", "0", "--start", "--device", "USB Audio" }, "",
            [](const LaunchOptions& o) {
                return o.fadeMs == 0 && o.start && o.device == "USB Audio";
            } },
        { { "--fade-ms", "101" }, "--fade-ms takes 0..100 (ms)", nullptr },
        { { "--latency", "4" }, "", [](const LaunchOptions& o) { return o.latencyMs == 4; } },
        { { "--latency", "3" }, "--latency takes 4..500 (ms)", nullptr },
        { { "--play", "--remote", "5025" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Play && o.remote == "5025"; } },
        { { "--remote", "0.0.0.0:6000" }, "",
            [](const LaunchOptions& o) { return o.remote == "0.0.0.0:6000"; } },
        { { "--remote", "70000" }, "--remote takes [ADDRESS:]PORT", nullptr },
        { { "--remote", ":5025" }, "--remote takes [ADDRESS:]PORT", nullptr },
        { { "--render", "a.wav", "--seconds", "1", "--remote", "5025" },
            "--remote and --remote-allow go with the window or --play", nullptr },
        { { "--play", "--remote", "0.0.0.0:5025", "--remote-allow",
              "10.0.0.0/8, 192.168.1.20,fd00::/8" },
            "",
            [](const LaunchOptions& o) {
                return o.remoteAllow == "10.0.0.0/8, 192.168.1.20,fd00::/8";
            } },
        { { "--remote-allow", "10.0.0.0/40" }, "--remote-allow takes ADDRESS[/BITS]", nullptr },
        { { "--remote-allow", "example.org" }, "--remote-allow takes ADDRESS[/BITS]", nullptr },
        { { "--remote-allow", "10.0.0.1," }, "--remote-allow takes ADDRESS[/BITS]", nullptr },
        { { "--list-devices", "--remote-allow", "10.0.0.1" },
            "--remote and --remote-allow go with the window or --play", nullptr },
        { { "--list-devices" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::ListDevices; } },
        { { "--render", "a.flac", "--seconds", "2.5", "--f1", "440" }, "",
            [](const LaunchOptions& o) {
                return o.mode == Mode::Render && o.renderFile == "a.flac" && o.seconds == 2.5
                    && o.f1 == 440;
            } },
        { { "--render", "a.wav" }, "--render needs --seconds", nullptr },
        { { "--render", "a.mp3", "--seconds", "1" },
            "--render takes a file name ending in .wav or .flac", nullptr },
        { { "--render", "a.wav", "--seconds", "0" }, "--seconds takes a duration above 0",
            nullptr },
        { { "--render", "a.wav", "--seconds", "nan" }, "--seconds takes", nullptr },
        { { "--play" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Play && !o.seconds; } },
        { { "--play", "--seconds", "1" }, "",
            [](const LaunchOptions& o) { return o.mode == Mode::Play && o.seconds == 1.0; } },
        { { "--seconds", "1" }, "--seconds goes with --render or --play", nullptr },
        { { "--play", "--render", "a.wav", "--seconds", "1" }, "exclude each other", nullptr },
        { { "--bogus" }, "Unknown option 'bogus'", nullptr },
        { { "1000" }, "unexpected argument \"1000\"", nullptr },
        { { "--f1", "100", "--f1", "200" }, "--f1 is given more than once", nullptr },
        // Decimals: never rounded; the precise synthesis takes them to 1 uHz, within 0.45 of
        // the rate, and whole hertz beyond 20..20000.
        { { "--f1", "1000.5" }, "--f1 1000.5 has a fraction of a hertz", nullptr },
        { { "--f1", "1234.000000" }, "", [](const LaunchOptions& o) { return o.f1 == 1234; } },
        { { "--render", "t.flac", "--seconds", "10", "--synthesis", "precise", "--f1", "1000.123",
              "--f2", "5" },
            "",
            [](const LaunchOptions& o) {
                return o.f1Microhertz == 1000123000 && !o.f1 && o.f2Microhertz == 5000000;
            } },
        { { "--synthesis", "precise", "--rate", "48000", "--f2", "21600.000001" },
            "--f2 takes 1..21600 (Hz, to 1 uHz: six decimals) at 48000 Hz", nullptr },
        { { "--synthesis", "precise", "--f1", "1000.1234567" }, "--f1 takes 1..", nullptr },
        { { "--synthesis", "precise", "--f1", "0.5" }, "--f1 takes 1..", nullptr },
        { { "--f1", "1e3" }, "--f1 takes 20..20000 (Hz)", nullptr },
        // Levels in true dBFS: 0 is a full-scale sine; of the rms, so a square reaches +3.01.
        { { "--level1-dbfs", "-12.34", "--level2-dbfs", "0" }, "",
            [](const LaunchOptions& o) { return o.level1Dbfs == -12.34 && o.level2Dbfs == 0.0; } },
        { { "--level1-dbfs", "-120" }, "",
            [](const LaunchOptions& o) { return o.level1Dbfs == -120.0; } },
        { { "--level1-dbfs", "0.01" }, "--level1-dbfs takes 0 to -120 (dBFS, for this waveform)",
            nullptr },
        { { "--waveform", "square", "--level1-dbfs", "3" }, "",
            [](const LaunchOptions& o) { return o.level1Dbfs == 3.0; } },
        { { "--waveform", "square", "--level1-dbfs", "3.02" }, "takes 3.01 to -116.99", nullptr },
        { { "--level2-dbfs", "-120.01" }, "--level2-dbfs takes", nullptr },
        { { "--level1-dbfs", "loud" }, "--level1-dbfs takes", nullptr },
        // A sweep of a set length: the precise synthesis's, from --f1 to --f1-stop.
        { { "--synthesis", "precise", "--sweep", "log", "--sweep-time", "10", "--f1", "20",
              "--f1-stop", "20000", "--sweep-hold", "0.5", "--sweep-return", "1" },
            "",
            [](const LaunchOptions& o) {
                return o.sweepSeconds == 10.0 && o.f1Stop == 20000000000 && o.sweep == 2
                    && o.sweepHoldSeconds == 0.5 && o.sweepReturnSeconds == 1.0;
            } },
        { { "--sweep", "log", "--sweep-time", "10", "--f1-stop", "20000" },
            "--sweep-time needs --synthesis precise", nullptr },
        { { "--synthesis", "precise", "--sweep", "lin", "--sweep-time", "10" },
            "--sweep-time needs --f1-stop", nullptr },
        { { "--synthesis", "precise", "--sweep", "man", "--sweep-time", "1", "--f1-stop", "30" },
            "--sweep-time needs --sweep lin or --sweep log", nullptr },
        { { "--f1-stop", "300" }, "go with --sweep-time", nullptr },
        { { "--sweep-once" }, "go with --sweep-time", nullptr },
        { { "--synthesis", "precise", "--sweep", "lin", "--sweep-time", "0.001", "--f1-stop",
              "30" },
            "--sweep-time takes 0.01..1000 (s)", nullptr },
        { { "--synthesis", "precise", "--rate", "48000", "--sweep", "lin", "--sweep-time", "1",
              "--f1-stop", "21600.5" },
            "--f1-stop takes 1..21600 (Hz, to 1 uHz) at 48000 Hz", nullptr },
        { { "--synthesis", "precise", "--burst-cycles", "5", "--burst-period", "0.02",
              "--burst-phase", "90" },
            "",
            [](const LaunchOptions& o) {
                return o.burstCycles == 5 && o.burstPeriodSeconds == 0.02
                    && o.burstPhaseDegrees == 90.0;
            } },
        { { "--burst-cycles", "5", "--burst-period", "0.02" },
            "tone bursts need --synthesis precise", nullptr },
        { { "--synthesis", "precise", "--burst-cycles", "5" },
            "--burst-cycles and --burst-period go together", nullptr },
        { { "--synthesis", "precise", "--burst-cycles", "0", "--burst-period", "1" },
            "--burst-cycles takes 1..1000000", nullptr },
        { { "--synthesis", "precise", "--waveform", "pink" }, "",
            [](const LaunchOptions& o) { return o.pink && o.waveform == WaveNoise; } },
        { { "--waveform", "pink" }, "--waveform pink needs --synthesis precise", nullptr },
        { { "--imd", "ccif" }, "",
            [](const LaunchOptions& o) { return o.twoTone == int(remote::TwoToneSet::Ccif); } },
        { { "--imd", "din" }, "--imd takes smpte or ccif", nullptr },
        { { "--synthesis", "precise", "--waveform", "pink", "--mode", "5" }, "no carrier for FM",
            nullptr },
        { { "--level1", "2", "--level1-dbfs", "-6" },
            "--level1 and --level1-dbfs set the same level", nullptr },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const ParsedCommandLine got = parse(row.arguments);
        if (row.error.empty()) {
            ASSERT_EQ(got.error, "");
            EXPECT_TRUE(row.check(got.options));
        } else {
            EXPECT_NE(got.error.find(row.error), std::string::npos) << got.error;
            EXPECT_EQ(got.error.rfind("vellox: ", 0), 0u) << got.error;
            EXPECT_EQ(got.error.find('\n'), std::string::npos) << "one line";
        }
    }
}

// The manual page documents every option --help lists, and no other.
TEST(CommandLine, ManualPageDocumentsEveryOption)
{
    QFile page(QStringLiteral(VELLOX_MANUAL_PAGE));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString roff = QString::fromUtf8(page.readAll());
    QStringList inHelp;
    const QRegularExpression option(
        QStringLiteral("^  --([a-z0-9-]+)"), QRegularExpression::MultilineOption);
    for (auto it = option.globalMatch(commandLineHelp()); it.hasNext();)
        inHelp << it.next().captured(1);
    ASSERT_GT(inHelp.size(), 20);
    QStringList onPage;
    const QRegularExpression documented(QStringLiteral("^\\.B[IR]? \\\\-\\\\-([a-z0-9\\\\-]+)"),
        QRegularExpression::MultilineOption);
    for (auto it = documented.globalMatch(roff); it.hasNext();)
        onPage << it.next().captured(1).remove(QLatin1Char('\\'));
    for (const QString& name : inHelp)
        EXPECT_TRUE(onPage.contains(name)) << "--" << name.toStdString() << " is not on the page";
    for (const QString& name : onPage)
        EXPECT_TRUE(inHelp.contains(name)) << "--" << name.toStdString() << " is not an option";
}

// The settings without a window follow the controls' arithmetic and the dialog's rules.
TEST(CommandLine, HeadlessSettingsAreWhatTheControlsWouldSet)
{
    const auto parsed = parse({ "--f1", "1001", "--level1", "0", "--noise", "3", "--duty", "25",
        "--waveform", "bitcode", "--bitcode", "101", "--reptime", "0.5" });
    ASSERT_EQ(parsed.error, "");
    std::vector<std::string> messages;
    const HeadlessSettings h = headlessSettings(parsed.options, messages);
    EXPECT_EQ(h.state.Frequency1, 1001);
    EXPECT_EQ(h.state.Level1, 1.0f);
    EXPECT_EQ(h.state.Level2, startLevel()); // untouched: the start value
    EXPECT_EQ(h.state.NoiseLevel, 0.3f);
    EXPECT_EQ(h.dutyPercent, 25);
    EXPECT_EQ(h.state.Waveform, WaveBitCode);
    EXPECT_EQ(h.module1.BitCode, "101");
    // 0.5 ms is below the dialog's 1 ms: its message, and its fallback of 1 s.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Value Repetitive Time is 1mS to 1000 mS ");
    EXPECT_EQ(h.module1.RepetitiveTime, 1.0f);
    EXPECT_EQ(h.signal, SignalOptions {}); // nothing asked: the buffer of before

    // A level in dBFS is the factor of that rms against a full-scale sine's, both tones.
    const auto levels = parse({ "--level1-dbfs", "-12.34", "--level2-dbfs", "-60.01" });
    ASSERT_EQ(levels.error, "");
    const HeadlessSettings hl = headlessSettings(levels.options, messages);
    EXPECT_NEAR(20.0 * std::log10(levelFactor1(hl.state) / FullScaleLevel), -12.34, 1e-12);
    EXPECT_NEAR(20.0 * std::log10(levelFactor2(hl.state) / FullScaleLevel), -60.01, 1e-12);
    EXPECT_EQ(hl.state.Level1, float(hl.state.FineLevel1));

    // The sweep's settings reach the stream that --render and --play compute.
    const auto sweep = parse({ "--synthesis", "precise", "--sweep", "log", "--sweep-time", "10",
        "--f1", "20", "--f1-stop", "20000", "--sweep-return", "2", "--sweep-once" });
    ASSERT_EQ(sweep.error, "");
    const HeadlessSettings hw = headlessSettings(sweep.options, messages);
    const TimedSweep want { true, true, 20000000000, 10.0, 0.0, 2.0, true };
    EXPECT_EQ(streamSettings(hw.state, hw.dutyPercent).Sweep, want);
    EXPECT_EQ(hw.state.SweepMode, SweepManual); // not the stepped sweep

    const auto signal = parse({ "--synthesis", "precise", "--dither", "tpdf", "--sample-format",
        "f32", "--phase", "90", "--render", "a.wav", "--seconds", "1", "--rate", "96000" });
    ASSERT_EQ(signal.error, "");
    const HeadlessSettings hs = headlessSettings(signal.options, messages);
    EXPECT_EQ(hs.signal.synthesis, Synthesis::Precise);
    EXPECT_EQ(hs.signal.dither, Dither::Tpdf);
    EXPECT_EQ(hs.signal.format, SampleFormat::F32);
    EXPECT_EQ(hs.signal.phaseDegrees, 90);
    EXPECT_EQ(hs.signal.ditherSeed, DefaultDitherSeed);
    EXPECT_EQ(hs.state.SampleRate, 96000);

    // --play's 16-bit loop is the rendered s16 loop, byte for byte, dither and phase included.
    HeadlessSettings s16 = hs;
    s16.signal.format = SampleFormat::S16;
    UniformSource first(1), second(1);
    const std::vector<int16_t> played = loopFrames(s16, first);
    const SignalBuffer rendered = loopSignal(s16, second);
    ASSERT_EQ(played.size() * 2, rendered.bytes.size());
    EXPECT_EQ(std::memcmp(played.data(), rendered.bytes.data(), rendered.bytes.size()), 0);
}

// ---- the program ------------------------------------------------------------------------

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

ProgramRun runProgram(const QStringList& arguments, const QStringList& environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& e : environment)
        env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELLOX_PROGRAM), arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAllStandardOutput()),
        QString::fromLocal8Bit(process.readAllStandardError()) };
}

TEST(Program, ExitStatusAndOutput)
{
    const struct {
        QStringList arguments;
        int status;
        const char* out; // a part of stdout
        const char* err; // a part of stderr
    } rows[] = {
        { { "--version" }, 0, "vellox 2.29.1411\n", "" },
        { { "--help" }, 0, "--render FILE", "" },
        { { "--rate", "47999" }, 2, "",
            "vellox: --rate takes 44100, 48000, 96000, 98000 or 192000" },
        { { "--nonsense" }, 2, "", "vellox: Unknown option 'nonsense'." },
        { { "--render", "/nonexistent-dir/x.wav", "--seconds", "1" }, 1, "",
            "vellox: cannot write /nonexistent-dir/x.wav" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const ProgramRun run = runProgram(row.arguments);
        EXPECT_EQ(run.status, row.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QLatin1String(row.out))) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(row.err))) << run.err.toStdString();
        if (row.status != 0) {
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << "one line: " << run.err.toStdString();
        }
    }
}

// What --render writes, read back: the loop the device would play, repeated, at every
// rate, in both formats.
TEST(Program, RenderWritesTheLoopRepeated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char* rate;
        const char* name;
        int format;
    } rows[] = {
        { "44100", "a.wav", SF_FORMAT_WAV },
        { "98000", "b.flac", SF_FORMAT_FLAC },
        { "192000", "c.wav", SF_FORMAT_WAV },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QLatin1String(row.name));
        // 0.25 s loops, so that 1.1 s holds four passes and part of a fifth.
        const QStringList arguments { "--render", path, "--seconds", "1.1", "--rate", row.rate,
            "--f1", "1001", "--mode", "6", "--waveform", "triangle", "--reptime", "250" };
        const ProgramRun run = runProgram(arguments);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

        SF_INFO info {};
        SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        const int rate = QString::fromLatin1(row.rate).toInt();
        EXPECT_EQ(info.samplerate, rate);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, row.format);
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
        EXPECT_EQ(info.frames, sf_count_t(std::llround(1.1 * rate)));
        std::vector<int16_t> got(size_t(info.frames) * 2);
        EXPECT_EQ(sf_readf_short(file, got.data(), info.frames), info.frames);
        sf_close(file);

        // Another reader than the writer's own library sees the same format.
        for (const auto& [flag, expected] : { std::pair { "-r", QString::fromLatin1(row.rate) },
                 std::pair { "-c", QStringLiteral("2") },
                 std::pair { "-b", QStringLiteral("16") } }) {
            QProcess soxi;
            soxi.start(QStringLiteral("soxi"), { QLatin1String(flag), path });
            ASSERT_TRUE(soxi.waitForFinished(10000)) << "soxi (package sox) did not run";
            EXPECT_EQ(QString::fromLatin1(soxi.readAllStandardOutput()).trimmed(), expected)
                << "soxi " << flag;
        }

        std::vector<std::string> messages;
        const HeadlessSettings settings
            = headlessSettings(parse(arguments.mid(4)).options, messages);
        UniformSource random(1); // no noise: the seed changes nothing
        const std::vector<int16_t> loop = loopFrames(settings, random);
        ASSERT_EQ(loop.size(), size_t(rate / 4) * 2);
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], loop[i % loop.size()]) << "value " << i;
    }
}

// --render in 24-bit (WAV and FLAC) and float (WAV): the samples in the file are the frames
// unchanged, at the sound card's own rates too: the loop of SynthesizeFrames repeated for the
// exact synthesis, the stream for the precise one (no seam where a loop of 0.25 s would cut
// 1001 Hz).
TEST(Program, RenderWritesTheOtherFormatsUnchanged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char* rate;
        const char* name;
        const char* format;
        int type;
        int subtype;
        int bits; // as soxi tells
        const char* synthesis;
    } rows[] = {
        { "48000", "a.wav", "s24", SF_FORMAT_WAV, SF_FORMAT_PCM_24, 24, "precise" },
        { "96000", "b.flac", "s24", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, 24, "exact" },
        { "44100", "c.wav", "f32", SF_FORMAT_WAV, SF_FORMAT_FLOAT, 32, "precise" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QLatin1String(row.name));
        const QStringList arguments { "--render", path, "--seconds", "0.6", "--rate", row.rate,
            "--f1", "1001", "--waveform", "sine", "--reptime", "250", "--synthesis", row.synthesis,
            "--dither", "tpdf", "--phase", "90", "--sample-format", row.format };
        const ProgramRun run = runProgram(arguments);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();

        SF_INFO info {};
        SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        const int rate = QString::fromLatin1(row.rate).toInt();
        EXPECT_EQ(info.samplerate, rate);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, row.type);
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, row.subtype);
        EXPECT_EQ(info.frames, sf_count_t(std::llround(0.6 * rate)));
        QProcess soxi;
        soxi.start(QStringLiteral("soxi"), { QStringLiteral("-b"), path });
        ASSERT_TRUE(soxi.waitForFinished(10000));
        EXPECT_EQ(QString::fromLatin1(soxi.readAllStandardOutput()).trimmed().toInt(), row.bits);

        std::vector<std::string> messages;
        const HeadlessSettings settings
            = headlessSettings(parse(arguments.mid(4)).options, messages);
        UniformSource random(1); // no noise: the seed changes nothing
        SignalBuffer loop = loopSignal(settings, random);
        ASSERT_EQ(loop.frames(), rate / 4);
        const size_t values = size_t(info.frames) * 2;
        if (streamsSignal(settings.signal, settings.state.Waveform)) {
            ToneStream stream(
                streamSettings(settings.state, settings.dutyPercent), settings.signal, 1);
            loop.bytes.resize(size_t(info.frames) * 8);
            stream.fill(loop.bytes.data(), int32_t(info.frames));
        }
        const size_t loopValues = size_t(loop.frames()) * 2;
        const auto loopWord = [&](size_t v) {
            uint32_t u = 0;
            std::memcpy(&u, loop.bytes.data() + 4 * (v % loopValues), 4);
            return u;
        };
        if (row.subtype == SF_FORMAT_FLOAT) {
            std::vector<float> got(values);
            EXPECT_EQ(sf_readf_float(file, got.data(), info.frames), info.frames);
            for (size_t v = 0; v < values; ++v) {
                float want;
                const uint32_t u = loopWord(v);
                std::memcpy(&want, &u, 4);
                ASSERT_EQ(got[v], want) << "value " << v;
            }
        } else {
            std::vector<int32_t> got(values);
            EXPECT_EQ(sf_readf_int(file, got.data(), info.frames), info.frames);
            for (size_t v = 0; v < values; ++v) {
                ASSERT_EQ(uint32_t(got[v]), loopWord(v)) << "value " << v;
                ASSERT_EQ(got[v] & 0xff, 0) << "value " << v;
            }
        }
        sf_close(file);
    }
}

// A file that cannot be written leaves nothing behind, nor harms one already there.
TEST(Program, FailedRenderLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The name is taken by a directory: nothing can be written there.
    const QString taken = dir.filePath(QStringLiteral("taken.wav"));
    ASSERT_TRUE(QDir().mkdir(taken));
    const ProgramRun run = runProgram({ "--render", taken, "--seconds", "1" });
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("vellox: cannot write ")))
        << run.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0)
        << QDir(dir.path())
               .entryList(QDir::Files | QDir::Hidden)
               .join(QLatin1Char(' '))
               .toStdString();
}

// --play: plays for the seconds asked through SDL's disk driver, then ends by itself; the
// stream holds the tone asked for.
TEST(Program, PlayForSecondsThenEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString stream = dir.filePath(QStringLiteral("play.raw"));
    QElapsedTimer clock;
    clock.start();
    const ProgramRun run = runProgram({ "--play", "--seconds", "1", "--f1", "1001" },
        { QStringLiteral("SDL_AUDIODRIVER=disk"), QStringLiteral("SDL_DISKAUDIOFILE=") + stream });
    const qint64 ms = clock.elapsed();
    std::printf("--play --seconds 1 took %lld ms\n", static_cast<long long>(ms));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_GE(ms, 1000);
    QFile file(stream);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 4) << "the disk driver wrote nothing";
    std::vector<int16_t> values(size_t(bytes.size()) / 2);
    std::memcpy(values.data(), bytes.constData(), values.size() * 2);
    const size_t first = audio::testing::firstLoudFrame(values, 100);
    ASSERT_LT(first + 49000, values.size() / 2) << "less than half a second of sound";
    for (size_t side : { 0, 1 }) {
        const auto estimate = audio::testing::estimateFrequency(
            audio::testing::channel(values, side, first, 49000), 98000);
        ASSERT_TRUE(estimate.has_value());
        EXPECT_NEAR(estimate->hz, 1001, 0.5);
    }
}

// --play without seconds ends on SIGTERM (and SIGINT), fading out, with status 0.
TEST(Program, PlayEndsOnSigterm)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELLOX_PROGRAM), { QStringLiteral("--play") });
    ASSERT_TRUE(process.waitForStarted());
    EXPECT_FALSE(process.waitForFinished(700)); // plays on by itself
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

} // namespace
