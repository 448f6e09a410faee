// synth-dump: writes one synthesized sample buffer as raw little-endian int16, for
// inspecting the engine's output with other tools (sox, numpy, a hex viewer).

#include "SynthPath.h"
#include "Synthesizer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// The help text. The rates, ranges, waveforms and start values come from the synthesis's
// own tables, so a new rate or waveform shows here by itself.
std::string usageText()
{
    using namespace vellox;
    const auto n = [](auto value) { return std::to_string(value); };
    const std::string frequencies = n(MinFrequency) + ".." + n(MaxFrequency);

    // "0 Sine, 1 Pw Sine, ..." wrapped at 92 columns under the flag's text.
    const std::string indent(20, ' ');
    std::string waveforms;
    std::string line = "  --waveform N      ";
    for (int w = 0; w < WaveformCount; ++w) {
        std::string item = n(w) + " " + waveformName(WaveformIndex(w));
        item += w + 1 < WaveformCount ? "," : " (" + n(int(WaveSine)) + ")";
        if (line.size() + 1 + item.size() > 92) {
            waveforms += line + "\n";
            line = indent;
        } else if (line.size() > indent.size()) {
            line += ' ';
        }
        line += item;
    }
    waveforms += line + "\n";

    std::string text = R"(usage: synth-dump [options]

Synthesizes one buffer and writes all of it: 2*rate+1 interleaved stereo int16 values
(left at even indices, right at odd ones): one second of frames and the final zero, raw
little-endian, no header. Defaults are the generator's start values.

  --out FILE        output file; "-" (the default) writes to standard output
)";
    text += "  --rate N          sample rate: " + playableRateList() + " (" + n(StartSampleRate)
        + ")\n";
    text += "  --f1 N            F1 in Hz, " + frequencies + " (" + n(StartFrequency1) + ")\n";
    text += "  --f2 N            F2 in Hz, " + frequencies + " (" + n(StartFrequency2) + ")\n";
    text += waveforms;
    text += "  --mode N          channel mode " + n(int(ModeF1Both)) + ".." + n(ModeEnd - 1) + " ("
        + n(int(ModeF1Both)) + ")\n";
    text += R"(  --level1 X        F1 level factor, 0..1 (1/sqrt(2) as float32)
  --level2 X        F2 level factor, 0..1 (1/sqrt(2) as float32)
  --level1-step V   F1 level in 3 dB steps, V = 0..15: 10^(-3V/20)
  --level2-step V   F2 level in 3 dB steps, V = 0..15
  --noise X         noise amount, 0..1 (0)
  --noise-step V    noise amount in tenths, V = 0..10
)";
    text += "  --duty N          pulse duty in percent, 1..100 (" + n(StartDutyPercent) + ")\n";
    text += std::string("  --bitcode TEXT    bit pattern (") + StartBitCode + "); '' is empty\n";
    text += R"(  --bitlength S     seconds per bit, at least one frame at the rate (0.001)
  --seed N          seed of the noise source, unsigned integer (1)
  --synthesis NAME  exact or precise (exact)
  --dither NAME     none or tpdf (none)
  --sample-format F s16, s24 or f32 (s16)
  --phase DEG       the right channel's phase, 0..359 (0)
  --dither-seed N   seed of the dither's source, unsigned integer
  --values          write the values before their rounding instead: 2*rate float64 (left,
                    right), little-endian, on the 16-bit scale
  --help            this text

With any of --synthesis, --dither, --sample-format, --phase or --dither-seed the output is
the device's frames instead: rate frames in the sample format, no final zero.

Numbers use the period as decimal point and must parse in full (no trailing text).
When two flags set the same value (--level1 and --level1-step) the later one wins.
Exit status: 0 written; 2 bad flag or value, nothing written; 1 synthesis or write failure.
)";
    return text;
}

struct Options {
    vellox::SynthSettings settings;
    vellox::Module1 module1;
    uint64_t seed = 1;
    std::string out = "-";
    bool help = false;
    vellox::SignalOptions signal;
    bool frames = false; // the device's frames (SynthesizeFrames) instead of Samples
    bool values = false; // the values before rounding
};

// Whole-string parses; locale-independent (std::from_chars).
bool parseInteger(std::string_view text, long long min, long long max, long long& value)
{
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return false;
    if (v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseDecimal(std::string_view text, double min, double max, double& value)
{
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return false;
    if (!std::isfinite(v) || v < min || v > max)
        return false;
    value = v;
    return true;
}

// The level spinner's factor: 3 dB per step.
float levelForStep(long long step)
{
    return float(std::pow(10.0, (-3.0 * double(step)) / 20.0));
}

// Returns an empty string on success, else what was wrong.
std::string parseArguments(int argc, char** argv, Options& o)
{
    for (int a = 1; a < argc; ++a) {
        const std::string_view flag = argv[a];
        if (flag == "--help") {
            o.help = true;
            continue;
        }
        if (flag == "--values") {
            o.values = true;
            continue;
        }
        if (a + 1 >= argc)
            return "missing value or unknown flag: " + std::string(flag);
        const std::string_view value = argv[++a];
        const std::string bad
            = "bad value for " + std::string(flag) + ": '" + std::string(value) + "'";
        long long n = 0;
        double x = 0.0;
        if (flag == "--out") {
            if (value.empty())
                return bad;
            o.out = std::string(value);
        } else if (flag == "--rate") {
            if (!parseInteger(value, 0, 1000000, n) || !vellox::isPlayableRate(int32_t(n)))
                return bad;
            o.settings.SampleRate = int32_t(n);
        } else if (flag == "--f1" || flag == "--f2") {
            if (!parseInteger(value, vellox::MinFrequency, vellox::MaxFrequency, n))
                return bad;
            (flag == "--f1" ? o.settings.Frequency1 : o.settings.Frequency2) = int16_t(n);
        } else if (flag == "--waveform") {
            if (!parseInteger(value, 0, vellox::WaveformCount - 1, n))
                return bad;
            o.settings.Waveform = int16_t(n);
        } else if (flag == "--mode") {
            if (!parseInteger(value, vellox::ModeF1Both, vellox::ModeEnd - 1, n))
                return bad;
            o.settings.ChannelMode = int16_t(n);
        } else if (flag == "--level1" || flag == "--level2") {
            if (!parseDecimal(value, 0.0, 1.0, x))
                return bad;
            (flag == "--level1" ? o.settings.Level1 : o.settings.Level2) = float(x);
        } else if (flag == "--level1-step" || flag == "--level2-step") {
            if (!parseInteger(value, 0, 15, n))
                return bad;
            (flag == "--level1-step" ? o.settings.Level1 : o.settings.Level2) = levelForStep(n);
        } else if (flag == "--noise") {
            if (!parseDecimal(value, 0.0, 1.0, x))
                return bad;
            o.settings.NoiseLevel = float(x);
        } else if (flag == "--noise-step") {
            if (!parseInteger(value, 0, 10, n))
                return bad;
            o.settings.NoiseLevel = float(double(n) / 10.0);
        } else if (flag == "--duty") {
            if (!parseInteger(value, 1, 100, n))
                return bad;
            o.settings.DutyPercent = int32_t(n);
        } else if (flag == "--bitcode") {
            o.module1.BitCode = std::string(value);
        } else if (flag == "--bitlength") {
            // Any positive length up to an hour; whether it spans a frame depends on the
            // rate, checked once all flags are read.
            if (!parseDecimal(value, 0.0, 3600.0, x) || float(x) <= 0.0f)
                return bad;
            o.module1.BitLength = float(x);
        } else if (flag == "--seed" || flag == "--dither-seed") {
            uint64_t s = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), s);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size())
                return bad;
            if (flag == "--seed") {
                o.seed = s;
            } else {
                o.signal.ditherSeed = s;
                o.frames = true;
            }
        } else if (flag == "--synthesis") {
            const auto v = vellox::parseSynthesis(value);
            if (!v)
                return bad;
            o.signal.synthesis = *v;
            o.frames = true;
        } else if (flag == "--dither") {
            const auto v = vellox::parseDither(value);
            if (!v)
                return bad;
            o.signal.dither = *v;
            o.frames = true;
        } else if (flag == "--sample-format") {
            const auto v = vellox::parseSampleFormat(value);
            if (!v)
                return bad;
            o.signal.format = *v;
            o.frames = true;
        } else if (flag == "--phase") {
            if (!parseInteger(value, 0, vellox::MaxPhaseDegrees, n))
                return bad;
            o.signal.phaseDegrees = int32_t(n);
            o.frames = true;
        } else {
            return "unknown flag: " + std::string(flag);
        }
    }
    const bool bitCode = vellox::isBitCode(o.settings.Waveform);
    const double framesPerBit
        = std::nearbyint(double(o.module1.BitLength) * (2.0 * o.settings.SampleRate) / 2.0 + 0.2);
    if (bitCode && framesPerBit < 1.0)
        return "--bitlength is shorter than one frame at this rate";
    return {};
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0)
            return false;
        done += std::size_t(w);
    }
    return true;
}

// Writes through a temporary file in the same folder and renames it, so a failed run
// never leaves a partial file under the requested name.
bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    o.settings = vellox::startSynthSettings();
    o.module1 = vellox::startModule1();

    const std::string problem = parseArguments(argc, argv, o);
    if (!problem.empty()) {
        std::fprintf(stderr, "synth-dump: %s\n\n%s", problem.c_str(), usageText().c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    std::vector<int16_t> samples;
    std::vector<unsigned char> bytes;
    try {
        vellox::UniformSource random(o.seed);
        if (o.values) {
            std::vector<double> values;
            vellox::synthpath::signalValues(o.settings, o.module1, o.signal, random, values);
            for (const double v : values) {
                uint64_t u = 0;
                std::memcpy(&u, &v, sizeof u);
                for (int b = 0; b < 8; ++b)
                    bytes.push_back(static_cast<unsigned char>((u >> (8 * b)) & 0xFFu));
            }
        } else if (o.frames) {
            vellox::SignalBuffer frames;
            vellox::SynthesizeFrames(o.settings, o.module1, o.signal, random, frames);
            bytes.assign(frames.bytes.begin(), frames.bytes.end());
        } else {
            vellox::SynthesizeSignal(o.settings, o.module1, random, samples);
            bytes.reserve(samples.size() * 2);
            for (const int16_t s : samples) {
                const auto u = uint16_t(s);
                bytes.push_back(static_cast<unsigned char>(u & 0xFFu));
                bytes.push_back(static_cast<unsigned char>(u >> 8));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "synth-dump: synthesis failed: %s\n", e.what());
        return 1;
    }

    const bool ok = o.out == "-" ? writeAll(STDOUT_FILENO, bytes) : writeFile(o.out, bytes);
    if (!ok) {
        std::perror(("synth-dump: cannot write " + o.out).c_str());
        return 1;
    }
    return 0;
}
