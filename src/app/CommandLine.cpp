#include "CommandLine.h"

#include "GeneratorState.h"
#include "LevelScale.h"
#include "OutputSettings.h"
#include "RemoteServer.h"
#include "Render.h"
#include "SdlSoundBackend.h"
#include "SynthTypes.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace vellox {

namespace {

    constexpr const char* ProgramName = "vellox";
    constexpr int MaxFadeMs = 100;
    constexpr double MaxSeconds = 3600.0; // an hour: a file of 2.8 GB at 192000 Hz

    // By waveform index, as the option array of the window orders them.
    constexpr std::array<const char*, 11> WaveformFlags { "sine", "pwsine", "square", "trapeze",
        "noise", "triangle", "pwm", "stairs-down", "bitcode", "bitcode2", "stairs-up" };
    static_assert(WaveformFlags.size() == WaveformCount, "every waveform needs its flag name");
    constexpr std::array<const char*, 3> SweepFlags { "man", "lin", "log" };

    // Every option once: its name, the name of its value ("" for a switch) and what it does.
    // The parser and the help text are both made from this table.
    struct Flag {
        const char* name;
        const char* value;
        const char* help;
    };
    constexpr Flag Flags[] = {
        { "help", "", "Show this help and exit." },
        { "version", "", "Show the version and exit." },
        { "f1", "HZ",
            "F1 in Hz, 20..20000; with --synthesis precise 1 Hz to 0.45 of the rate, to "
            "1 uHz (1000.123)." },
        { "f2", "HZ", "F2 in Hz, as --f1." },
        { "waveform", "NAME",
            "sine, pwsine, square, trapeze, noise, triangle, pwm, stairs-down, bitcode, "
            "bitcode2, stairs-up, or its index 0..10; pink (pink noise at F1's level, as the rms "
            "of a sine: --synthesis precise)." },
        { "mode", "N",
            "1 F1 on both channels, 2 F1+F2, 3 AM, 4 AM with suppressed carrier, 5 FM, "
            "6 F1 left and F2 right." },
        { "level1", "STEP", "Level of F1: 0..15, 3 dB each (0 is full level)." },
        { "level2", "STEP", "Level of F2: 0..15, 3 dB each." },
        { "level1-dbfs", "DB",
            "Level of F1 in dBFS, 0 (a full-scale sine) to -120, to 0.01 dB and finer; the "
            "level 0 step is -4.29 dBFS. Of the rms, as AES17 has it: a square reaches +3.01." },
        { "level2-dbfs", "DB", "Level of F2 in dBFS, as --level1-dbfs." },
        { "noise", "STEP", "Noise on the left channel: 0..10, 10 % each." },
        { "duty", "PCT", "Duty of the PWM waveform in percent, 1..100." },
        { "rate", "HZ", "Sample rate: 44100, 48000, 96000, 98000 or 192000." },
        { "sweep", "MODE",
            "Sweep of F1: man, lin or log; the front panel's steps of 10 ms, or with "
            "--sweep-time a sweep of a set length." },
        { "sweep-time", "S",
            "With --sweep lin|log and --synthesis precise: sweep F1 from --f1 to --f1-stop in "
            "S seconds (0.01..1000), by the exact law, phase-continuous, then again." },
        { "f1-stop", "HZ", "Where the sweep of --sweep-time ends, as --f1 (to 1 uHz)." },
        { "imd", "SET",
            "A two-tone set of intermodulation measurements, sines in mode 2: smpte (60 Hz and "
            "7 kHz at 4:1) or ccif (19 kHz and 20 kHz at 1:1); their peaks add up to F1's "
            "level." },
        { "burst-cycles", "N",
            "With --burst-period and --synthesis precise: tone bursts of N cycles of F1 "
            "(1..1000000), silence between." },
        { "burst-period", "S", "One burst every S seconds, 0.001..1000." },
        { "burst-phase", "DEG", "The phase each burst starts at, 0..360 degrees (0)." },
        { "sweep-hold", "S", "Time held at --f1-stop after each sweep, 0..1000 s (0)." },
        { "sweep-once", "",
            "Sweep once (with its hold and return), then F1 is silent: the tail in which a "
            "room's decay is recorded." },
        { "sweep-return", "S",
            "Time to sweep back from --f1-stop to --f1 by the same law, 0..1000 s (0: a jump "
            "of frequency, its phase continuous)." },
        { "bitcode", "BITS", "The bit pattern of the bit codes, of 0 and 1." },
        { "bitlength", "US", "Length of one bit in microseconds, 20..1000000." },
        { "reptime", "MS", "Repetition time (the length of the loop) in ms, 1..1000." },
        { "synthesis", "NAME",
            "exact (the formulas as written, the default) or precise (double precision, the "
            "phase from the frame index: the cleanest tone)." },
        { "dither", "NAME",
            "none (the default) or tpdf: triangular dither of +-1 step of the sample format "
            "(s16, s24; f32 is not dithered)." },
        { "sample-format", "NAME",
            "s16 (the default), s24 or f32: the samples played or rendered." },
        { "phase", "DEG",
            "Phase of the right channel against the left, 0..359 degrees, where both carry the "
            "same frequency (modes 1 and 2; mode 6 with F1 = F2)." },
        { "fade-ms", "N", "Length of the click-free transitions in ms, 0..100 (0 = abrupt)." },
        { "latency", "MS",
            "Sound held ahead by the sound server, in ms, 4..500 (60 by default): less answers "
            "a change sooner, more never runs dry on a busy machine." },
        { "start", "", "Start playing at once (the window)." },
        { "device", "NAME", "Play on this output device (see --list-devices)." },
        { "remote", "[ADDRESS:]PORT",
            "Answer SCPI commands (remote control, as bench instruments do) at PORT, on "
            "127.0.0.1 unless an ADDRESS is given (5025 is the instruments' custom); with the "
            "window or --play." },
        { "remote-allow", "ADDR[/BITS],...",
            "Let only these addresses or networks connect to the remote control (this "
            "machine always may), as 192.168.1.20,10.0.0.0/8 or fd00::/8." },
        { "list-devices", "",
            "Print the playback devices, one per line (the name, a tab, the rate it runs at), "
            "and exit." },
        { "render", "FILE",
            "Write the signal to FILE (.wav or .flac; 16-bit, 24-bit with --sample-format s24, "
            "WAV float with f32) instead of opening the window; needs --seconds." },
        { "play", "",
            "Play without a window, until --seconds have passed or the program is "
            "interrupted (Ctrl+C, SIGTERM)." },
        { "seconds", "S", "Length of --render or --play in seconds." },
    };

    QString quoted(const QString& value)
    {
        return QLatin1Char('"') + value + QLatin1Char('"');
    }

    std::string takesError(const char* flag, const QString& accepted, const QString& value)
    {
        return QStringLiteral("%1: --%2 takes %3, not %4")
            .arg(QLatin1String(ProgramName), QLatin1String(flag), accepted, quoted(value))
            .toStdString();
    }

    std::optional<int> integer(const QString& text)
    {
        bool ok = false;
        const int v = text.toInt(&ok, 10);
        return ok ? std::optional<int>(v) : std::nullopt;
    }

    // A frequency in hertz as digits with up to six decimals ("1000", "1000.123", "0.5"),
    // read exactly, in micro-hertz.
    std::optional<int64_t> microhertz(const QString& text)
    {
        const std::string s = text.toStdString();
        const std::size_t point = s.find('.');
        const std::string whole = s.substr(0, point);
        const std::string fraction = point == std::string::npos ? "" : s.substr(point + 1);
        const auto digits = [](const std::string& d) {
            return d.find_first_not_of("0123456789") == std::string::npos;
        };
        if ((whole.empty() && fraction.empty()) || whole.size() > 9 || fraction.size() > 6
            || !digits(whole) || !digits(fraction)
            || (point != std::string::npos && fraction.empty()))
            return std::nullopt;
        int64_t value = whole.empty() ? 0 : std::stoll(whole);
        int64_t micro = 0;
        for (std::size_t i = 0; i < 6; ++i)
            micro = 10 * micro + (i < fraction.size() ? fraction[i] - '0' : 0);
        return value * MicrohertzPerHertz + micro;
    }

    std::optional<double> number(const QString& text)
    {
        bool ok = false;
        const double v = text.toDouble(&ok);
        return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }

    // The index of `text` in `names`, or the number itself when it is an index.
    template <std::size_t N>
    std::optional<int> named(const QString& text, const std::array<const char*, N>& names)
    {
        for (std::size_t i = 0; i < N; ++i)
            if (text == QLatin1String(names[i]))
                return int(i);
        if (const auto v = integer(text); v && *v >= 0 && *v < int(N))
            return v;
        return std::nullopt;
    }

} // namespace

const char* waveformFlagName(int waveform)
{
    return waveform >= 0 && waveform < int(WaveformFlags.size())
        ? WaveformFlags[std::size_t(waveform)]
        : "";
}

QString versionLine()
{
    return QStringLiteral("%1 %2.%3.%4")
        .arg(QLatin1String(ProgramName))
        .arg(VELLOX_VERSION_MAJOR)
        .arg(VELLOX_VERSION_MINOR)
        .arg(VELLOX_VERSION_REVISION);
}

QString commandLineHelp()
{
    QString text = QStringLiteral(
        "Usage: vellox [options]\n"
        "A two-frequency stereo audio signal generator that plays through the sound card.\n"
        "Without options it opens the generator's window; settings given here open it as if\n"
        "the controls had been set.\n\n"
        "Options:\n");
    for (const Flag& f : Flags) {
        QString left = QStringLiteral("  --") + QLatin1String(f.name);
        if (*f.value != '\0')
            left += QLatin1Char(' ') + QLatin1String(f.value);
        text += left.leftJustified(22) + QLatin1Char(' ') + QLatin1String(f.help)
            + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\nExit status: 0 done, 1 a file or the sound device failed, 2 a bad command line.\n");
    return text;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    ParsedCommandLine result;
    LaunchOptions& o = result.options;
    auto fail = [&](std::string error) {
        result.error = std::move(error);
        return result;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Flag& f : Flags) {
        const QString name = QLatin1String(f.name);
        if (*f.value != '\0')
            parser.addOption(
                QCommandLineOption(name, QLatin1String(f.help), QLatin1String(f.value)));
        else
            parser.addOption(QCommandLineOption(name, QLatin1String(f.help)));
    }
    if (!parser.parse(arguments))
        return fail(QStringLiteral("%1: %2")
                        .arg(QLatin1String(ProgramName), parser.errorText())
                        .toStdString());
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("%1: unexpected argument %2 (options start with --)")
                .arg(QLatin1String(ProgramName), quoted(parser.positionalArguments().first()))
                .toStdString());
    for (const Flag& f : Flags)
        if (parser.values(QLatin1String(f.name)).size() > 1)
            return fail(QStringLiteral("%1: --%2 is given more than once")
                            .arg(QLatin1String(ProgramName), QLatin1String(f.name))
                            .toStdString());

    if (parser.isSet(QStringLiteral("help"))) {
        o.mode = LaunchOptions::Mode::Help;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        o.mode = LaunchOptions::Mode::Version;
        return result;
    }

    // A whole number within [low, high], with its unit for the message.
    auto ranged = [&](const char* flag, int low, int high, const char* unit,
                      std::optional<int>& into) -> bool {
        const QString name = QLatin1String(flag);
        if (!parser.isSet(name))
            return true;
        const QString text = parser.value(name);
        const auto v = integer(text);
        if (!v || *v < low || *v > high) {
            result.error = takesError(
                flag, QStringLiteral("%1..%2%3").arg(low).arg(high).arg(QLatin1String(unit)), text);
            return false;
        }
        into = v;
        return true;
    };
    if (!ranged("mode", ModeF1Both, ModeStereo, "", o.channelMode)
        || !ranged("level1", MinLevelStep, MaxLevelStep, " (3 dB steps)", o.level1)
        || !ranged("level2", MinLevelStep, MaxLevelStep, " (3 dB steps)", o.level2)
        || !ranged("noise", 0, MaxNoiseStep, " (10 % steps)", o.noise)
        || !ranged("duty", MinDutyPercent, MaxDutyPercent, " (%)", o.duty)
        || !ranged("fade-ms", 0, MaxFadeMs, " (ms)", o.fadeMs)
        || !ranged("latency", audio::MinLatencyMs, audio::MaxLatencyMs, " (ms)", o.latencyMs)
        || !ranged("phase", 0, MaxPhaseDegrees, " (degrees)", o.phase))
        return result;

    // A name from one of the shared lists (SignalOptions.h).
    auto choice
        = [&](const char* flag, auto parse, const std::string& accepted, auto& into) -> bool {
        const QString name = QLatin1String(flag);
        if (!parser.isSet(name))
            return true;
        const QString text = parser.value(name);
        into = parse(text.toStdString());
        if (!into) {
            result.error = takesError(flag, QString::fromStdString(accepted), text);
            return false;
        }
        return true;
    };
    if (!choice("synthesis", parseSynthesis, synthesisList(), o.synthesis)
        || !choice("dither", parseDither, ditherList(), o.dither)
        || !choice("sample-format", parseSampleFormat, sampleFormatList(), o.sampleFormat))
        return result;

    if (parser.isSet(QStringLiteral("remote"))) {
        const QString text = parser.value(QStringLiteral("remote"));
        if (!parseRemoteAddress(text.toStdString()))
            return fail(takesError(
                "remote", QStringLiteral("[ADDRESS:]PORT with a port of 1 to 65535"), text));
        o.remote = text.toStdString();
    }
    if (parser.isSet(QStringLiteral("remote-allow"))) {
        const QString text = parser.value(QStringLiteral("remote-allow"));
        if (!RemoteServer::parseAllowList(text.toStdString()))
            return fail(takesError("remote-allow",
                QStringLiteral("ADDRESS[/BITS],... (IPv4 or IPv6 addresses or networks)"), text));
        o.remoteAllow = text.toStdString();
    }
    if (parser.isSet(QStringLiteral("waveform"))) {
        const QString text = parser.value(QStringLiteral("waveform"));
        // Pink noise is "W Noise" made pink, the precise synthesis's alone (checked below).
        o.pink = text == QLatin1String("pink");
        o.waveform = o.pink ? std::optional<int>(WaveNoise) : named(text, WaveformFlags);
        if (!o.waveform)
            return fail(takesError("waveform",
                QStringLiteral("sine, pwsine, square, trapeze, noise, triangle, pwm, stairs-down, "
                               "bitcode, bitcode2, stairs-up, pink or 0..10"),
                text));
    }
    if (parser.isSet(QStringLiteral("sweep"))) {
        const QString text = parser.value(QStringLiteral("sweep"));
        for (std::size_t i = 0; i < SweepFlags.size(); ++i)
            if (text == QLatin1String(SweepFlags[i]))
                o.sweep = int(i);
        if (!o.sweep)
            return fail(takesError("sweep", QStringLiteral("man, lin or log"), text));
    }
    if (parser.isSet(QStringLiteral("rate"))) {
        const QString text = parser.value(QStringLiteral("rate"));
        const auto v = integer(text);
        if (!v || !isPlayableRate(*v))
            return fail(takesError("rate",
                QString::fromStdString(playableRateList()) + QStringLiteral(" (Hz)"), text));
        o.rate = v;
    }
    // F1 and F2: whole hertz from 20 to 20000; with --synthesis precise any frequency from
    // 1 Hz to 0.45 of the rate, to 1 uHz. A fraction is never rounded away.
    const auto frequency
        = [&](const char* flag, std::optional<int>& whole, std::optional<int64_t>& fine) -> bool {
        const QString name = QLatin1String(flag);
        if (!parser.isSet(name))
            return true;
        const QString text = parser.value(name);
        const bool precise = o.synthesis == Synthesis::Precise;
        const int32_t rate = o.rate.value_or(StartSampleRate);
        const int64_t most = maxStreamFrequency(rate);
        const QString accepted = precise
            ? QStringLiteral("1..%1 (Hz, to 1 uHz: six decimals) at %2 Hz")
                  .arg(QString::fromStdString(hertzText(most)))
                  .arg(rate)
            : QStringLiteral("%1..%2 (Hz)").arg(MinFrequency).arg(MaxFrequency);
        const auto uhz = microhertz(text);
        if (!uhz) {
            result.error = takesError(flag, accepted, text);
            return false;
        }
        if (*uhz % MicrohertzPerHertz == 0 && *uhz >= int64_t(MinFrequency) * MicrohertzPerHertz
            && *uhz <= int64_t(MaxFrequency) * MicrohertzPerHertz) {
            whole = int(*uhz / MicrohertzPerHertz);
            return true;
        }
        if (!precise && *uhz % MicrohertzPerHertz != 0) {
            result.error = QStringLiteral("%1: --%2 %3 has a fraction of a hertz: the exact "
                                          "synthesis plays whole hertz (--synthesis precise "
                                          "takes 1 uHz steps)")
                               .arg(QLatin1String(ProgramName), QLatin1String(flag), text)
                               .toStdString();
            return false;
        }
        if (!precise || *uhz < MinStreamFrequency || *uhz > most) {
            result.error = takesError(flag, accepted, text);
            return false;
        }
        fine = uhz;
        return true;
    };
    if (!frequency("f1", o.f1, o.f1Microhertz) || !frequency("f2", o.f2, o.f2Microhertz))
        return result;

    // The sweep of a set length: its times, its stop, and what it needs.
    const auto seconds = [&](const char* flag, double low, std::optional<double>& into) -> bool {
        const QString name = QLatin1String(flag);
        if (!parser.isSet(name))
            return true;
        const QString text = parser.value(name);
        const auto v = number(text);
        if (!v || *v < low || *v > MaxSweepSeconds) {
            result.error = takesError(
                flag, QStringLiteral("%1..%2 (s)").arg(low).arg(MaxSweepSeconds), text);
            return false;
        }
        into = v;
        return true;
    };
    if (!seconds("sweep-time", MinSweepSeconds, o.sweepSeconds)
        || !seconds("sweep-hold", 0.0, o.sweepHoldSeconds)
        || !seconds("sweep-return", 0.0, o.sweepReturnSeconds))
        return result;
    if (parser.isSet(QStringLiteral("f1-stop"))) {
        const QString text = parser.value(QStringLiteral("f1-stop"));
        const int32_t rate = o.rate.value_or(StartSampleRate);
        const auto uhz = microhertz(text);
        if (!uhz || *uhz < MinStreamFrequency || *uhz > maxStreamFrequency(rate))
            return fail(takesError("f1-stop",
                QStringLiteral("1..%1 (Hz, to 1 uHz) at %2 Hz")
                    .arg(QString::fromStdString(hertzText(maxStreamFrequency(rate))))
                    .arg(rate),
                text));
        o.f1Stop = uhz;
    }
    const auto sweepError = [&](const QString& why) {
        return fail(QStringLiteral("%1: %2").arg(QLatin1String(ProgramName), why).toStdString());
    };
    if (o.sweepSeconds) {
        if (!o.sweep || *o.sweep == 0)
            return sweepError(QStringLiteral("--sweep-time needs --sweep lin or --sweep log"));
        if (o.synthesis != Synthesis::Precise)
            return sweepError(QStringLiteral(
                "--sweep-time needs --synthesis precise (the sweep is computed as it plays)"));
        if (!o.f1Stop)
            return sweepError(QStringLiteral("--sweep-time needs --f1-stop, where it ends"));
    } else if (o.f1Stop || o.sweepHoldSeconds || o.sweepReturnSeconds
        || parser.isSet(QStringLiteral("sweep-once"))) {
        return sweepError(QStringLiteral(
            "--f1-stop, --sweep-hold, --sweep-return and --sweep-once go with --sweep-time"));
    }
    o.sweepOnce = parser.isSet(QStringLiteral("sweep-once"));

    // Tone bursts.
    static_assert(MaxBurstPeriod == MaxSweepSeconds);
    if (!seconds("burst-period", MinBurstPeriod, o.burstPeriodSeconds))
        return result;
    if (parser.isSet(QStringLiteral("burst-cycles"))) {
        const QString text = parser.value(QStringLiteral("burst-cycles"));
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok, 10);
        if (!ok || n < 1 || n > MaxBurstCycles)
            return fail(takesError("burst-cycles", QStringLiteral("1..1000000"), text));
        o.burstCycles = n;
    }
    if (parser.isSet(QStringLiteral("burst-phase"))) {
        const QString text = parser.value(QStringLiteral("burst-phase"));
        const auto v = number(text);
        if (!v || *v < 0.0 || *v >= 360.0)
            return fail(takesError("burst-phase", QStringLiteral("0..360 (degrees)"), text));
        o.burstPhaseDegrees = v;
    }
    if (parser.isSet(QStringLiteral("imd"))) {
        const QString text = parser.value(QStringLiteral("imd"));
        if (text == QLatin1String("smpte"))
            o.twoTone = int(remote::TwoToneSet::Smpte);
        else if (text == QLatin1String("ccif"))
            o.twoTone = int(remote::TwoToneSet::Ccif);
        else
            return fail(takesError("imd", QStringLiteral("smpte or ccif"), text));
    }
    if (o.pink) {
        if (o.synthesis != Synthesis::Precise)
            return sweepError(QStringLiteral(
                "--waveform pink needs --synthesis precise (the noise is computed as it plays)"));
        if (o.channelMode == ModeFm)
            return sweepError(QStringLiteral("pink noise is no carrier for FM (--mode 5)"));
    }
    if (o.burstCycles || o.burstPeriodSeconds || o.burstPhaseDegrees) {
        if (!o.burstCycles || !o.burstPeriodSeconds)
            return sweepError(QStringLiteral("--burst-cycles and --burst-period go together"));
        if (o.synthesis != Synthesis::Precise)
            return sweepError(QStringLiteral(
                "tone bursts need --synthesis precise (they are computed as they play)"));
        if (o.sweepSeconds)
            return sweepError(QStringLiteral("a sweep and bursts at once are not offered"));
    }

    // Levels in dBFS, checked against full scale for the waveform given (a sine's for F2).
    const auto dbfs = [&](const char* flag, const char* stepFlag, WaveformIndex wave,
                          std::optional<double>& into) -> bool {
        const QString name = QLatin1String(flag);
        if (!parser.isSet(name))
            return true;
        if (parser.isSet(QLatin1String(stepFlag))) {
            result.error
                = QStringLiteral("%1: --%2 and --%3 set the same level")
                      .arg(QLatin1String(ProgramName), QLatin1String(stepFlag), QLatin1String(flag))
                      .toStdString();
            return false;
        }
        const QString text = parser.value(name);
        const auto v = number(text);
        const double rms = remote::rmsAtUnitPeak(wave);
        const double top = remote::levelInUnit(
            FullScaleLevel, remote::VoltageUnit::Dbfs, remote::StartFullScaleVpp, rms);
        if (!v
            || !remote::factorOfLevel(
                *v, remote::VoltageUnit::Dbfs, remote::StartFullScaleVpp, rms)) {
            result.error = takesError(flag,
                QStringLiteral("%1 to %2 (dBFS, for this waveform)")
                    .arg(std::round(top * 100.0) / 100.0)
                    .arg(std::round((top + MinLevelDbfs) * 100.0) / 100.0),
                text);
            return false;
        }
        into = v;
        return true;
    };
    if (!dbfs("level1-dbfs", "level1", WaveformIndex(o.waveform.value_or(WaveSine)), o.level1Dbfs)
        || !dbfs("level2-dbfs", "level2", WaveSine, o.level2Dbfs))
        return result;

    if (parser.isSet(QStringLiteral("bitcode"))) {
        const QString text = parser.value(QStringLiteral("bitcode"));
        // What the pattern box lets a user type: the keys 0 and 1.
        const bool bits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c == QLatin1Char('0') || c == QLatin1Char('1');
        });
        if (!bits)
            return fail(takesError("bitcode", QStringLiteral("a pattern of 0 and 1"), text));
        o.bitCode = text.toStdString();
    }
    // The dialog's boxes take any text; its rules decide (with their messages).
    if (parser.isSet(QStringLiteral("bitlength")))
        o.bitLengthUs = parser.value(QStringLiteral("bitlength")).toStdString();
    if (parser.isSet(QStringLiteral("reptime")))
        o.repetitionMs = parser.value(QStringLiteral("reptime")).toStdString();

    o.start = parser.isSet(QStringLiteral("start"));
    if (parser.isSet(QStringLiteral("device")))
        o.device = parser.value(QStringLiteral("device")).toStdString();

    const bool render = parser.isSet(QStringLiteral("render"));
    const bool play = parser.isSet(QStringLiteral("play"));
    const bool list = parser.isSet(QStringLiteral("list-devices"));
    if (int(render) + int(play) + int(list) > 1)
        return fail(QStringLiteral("%1: --render, --play and --list-devices exclude each other")
                        .arg(QLatin1String(ProgramName))
                        .toStdString());
    if ((o.remote || o.remoteAllow) && (render || list))
        return fail(QStringLiteral("%1: --remote and --remote-allow go with the window or --play")
                        .arg(QLatin1String(ProgramName))
                        .toStdString());
    if (parser.isSet(QStringLiteral("seconds"))) {
        const QString text = parser.value(QStringLiteral("seconds"));
        const auto v = number(text);
        if (!v || *v <= 0 || *v > MaxSeconds)
            return fail(takesError("seconds",
                QStringLiteral("a duration above 0 and up to %1 (s)").arg(MaxSeconds), text));
        if (!render && !play)
            return fail(QStringLiteral("%1: --seconds goes with --render or --play")
                            .arg(QLatin1String(ProgramName))
                            .toStdString());
        o.seconds = v;
    }
    if (list) {
        o.mode = LaunchOptions::Mode::ListDevices;
    } else if (render) {
        o.mode = LaunchOptions::Mode::Render;
        o.renderFile = parser.value(QStringLiteral("render")).toStdString();
        if (!isRenderableName(o.renderFile))
            return fail(takesError("render", QStringLiteral("a file name ending in .wav or .flac"),
                QString::fromStdString(o.renderFile)));
        if (o.sampleFormat == SampleFormat::F32
            && QString::fromStdString(o.renderFile)
                   .endsWith(QLatin1String(".flac"), Qt::CaseInsensitive))
            return fail(QStringLiteral(
                "%1: --sample-format f32 goes with .wav: FLAC holds no float samples")
                            .arg(QLatin1String(ProgramName))
                            .toStdString());
        if (!o.seconds)
            return fail(QStringLiteral("%1: --render needs --seconds")
                            .arg(QLatin1String(ProgramName))
                            .toStdString());
    } else if (play) {
        o.mode = LaunchOptions::Mode::Play;
    }
    return result;
}

} // namespace vellox
