// Runs the built synth-dump tool (its path comes from the build) and checks its flags and
// its output against SynthesizeSignal.

#include "Synthesizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

#ifndef SYNTH_DUMP_PATH
#error "SYNTH_DUMP_PATH must name the synth-dump executable"
#endif

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& arg)
{
    std::string q = "'";
    for (const char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the tool with the arguments; stdout and stderr go to files. Returns the exit status.
int runTool(
    const std::vector<std::string>& args, const fs::path& stdoutFile, const fs::path& stderrFile)
{
    std::string command = quoted(SYNTH_DUMP_PATH);
    for (const auto& a : args)
        command += " " + quoted(a);
    command += " >" + quoted(stdoutFile.string()) + " 2>" + quoted(stderrFile.string());
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::vector<int16_t> decodeLittleEndian(const std::string& bytes)
{
    std::vector<int16_t> v(bytes.size() / 2);
    for (std::size_t k = 0; k < v.size(); ++k) {
        const auto lo = uint16_t(static_cast<unsigned char>(bytes[2 * k]));
        const auto hi = uint16_t(static_cast<unsigned char>(bytes[2 * k + 1]));
        v[k] = int16_t(uint16_t(lo | uint16_t(hi << 8)));
    }
    return v;
}

class SynthDump : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "synth-dump-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
};

vellox::SynthSettings startSettings()
{
    return vellox::startSynthSettings();
}

vellox::Module1 startModule()
{
    return vellox::startModule1();
}

std::vector<int16_t> expected(
    const vellox::SynthSettings& s, const vellox::Module1& m, uint64_t seed)
{
    vellox::UniformSource random(seed);
    std::vector<int16_t> samples;
    vellox::SynthesizeSignal(s, m, random, samples);
    return samples;
}

TEST_F(SynthDump, BadFlagsExitWithStatus2AndWriteNothing)
{
    const std::vector<std::vector<std::string>> cases = {
        { "--rate", "47999" },
        { "--rate", "98000.0" },
        { "--rate", "" },
        { "--rate" },
        { "--f1", "19" },
        { "--f1", "20001" },
        { "--f2", "1000x" },
        { "--f2", " 100" },
        { "--waveform", "11" },
        { "--waveform", "-1" },
        { "--mode", "0" },
        { "--mode", "7" },
        { "--level1", "1.5" },
        { "--level1", "-0.1" },
        { "--level2", "nan" },
        { "--level2", "inf" },
        { "--level1", "0,5" },
        { "--level1-step", "16" },
        { "--level2-step", "-1" },
        { "--noise", "1.01" },
        { "--noise-step", "11" },
        { "--duty", "0" },
        { "--duty", "101" },
        { "--bitlength", "0" },
        { "--waveform", "8", "--bitlength", "1e-6" }, // under one frame per bit
        { "--rate", "44100", "--waveform", "9", "--bitlength", "6e-6" },
        { "--bitlength", "4000" },
        { "--bitlength", "0.001s" },
        { "--seed", "-1" },
        { "--seed", "abc" },
        { "--seed", "18446744073709551616" },
        { "--frequency", "1000" },
        { "extra" },
    };
    const fs::path out = m_dir / "out.raw";
    for (const auto& c : cases) {
        std::vector<std::string> args = c;
        args.insert(args.begin(), { "--out", out.string() });
        std::string shown;
        for (const auto& a : c)
            shown += "[" + a + "]";
        EXPECT_EQ(runTool(args, m_dir / "stdout", m_dir / "stderr"), 2) << shown;
        EXPECT_FALSE(fs::exists(out)) << shown;
        EXPECT_EQ(readAll(m_dir / "stdout"), "") << shown;
        EXPECT_NE(readAll(m_dir / "stderr").find("usage: synth-dump"), std::string::npos) << shown;
    }
}

TEST_F(SynthDump, WithoutOutWritesToStdout)
{
    EXPECT_EQ(runTool({ "--rate", "44100" }, m_dir / "stdout", m_dir / "stderr"), 0);
    EXPECT_EQ(readAll(m_dir / "stdout").size(), 2u * (2u * 44100u + 1u));
}

TEST_F(SynthDump, BadFlagsLeaveAnExistingFileAlone)
{
    const fs::path out = m_dir / "keep.raw";
    std::ofstream(out) << "previous";
    EXPECT_EQ(
        runTool({ "--out", out.string(), "--mode", "9" }, m_dir / "stdout", m_dir / "stderr"), 2);
    EXPECT_EQ(readAll(out), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 3)
        << "no temporary file left behind";
}

TEST_F(SynthDump, HelpGoesToStdoutWithStatus0)
{
    EXPECT_EQ(runTool({ "--help" }, m_dir / "stdout", m_dir / "stderr"), 0);
    EXPECT_NE(readAll(m_dir / "stdout").find("--bitlength"), std::string::npos);
}

TEST_F(SynthDump, OutputEqualsTheEngineForTheGivenFlags)
{
    struct Case {
        std::vector<std::string> args;
        std::function<void(vellox::SynthSettings&, vellox::Module1&)> apply;
        uint64_t seed;
    };
    const std::vector<Case> cases = {
        { {}, [](auto&, auto&) {}, 1 },
        { { "--rate", "44100", "--f1", "3001", "--f2", "777", "--waveform", "6", "--mode", "5",
              "--level1-step", "15", "--level2-step", "0", "--noise-step", "10", "--duty", "1",
              "--seed", "42" },
            [](vellox::SynthSettings& s, vellox::Module1&) {
                s.SampleRate = 44100;
                s.Frequency1 = 3001;
                s.Frequency2 = 777;
                s.Waveform = 6;
                s.ChannelMode = 5;
                s.Level1 = float(std::pow(10.0, (-3.0 * 15) / 20.0));
                s.Level2 = 1.0f;
                s.NoiseLevel = 1.0f;
                s.DutyPercent = 1;
            },
            42 },
        { { "--rate", "192000", "--waveform", "9", "--mode", "6", "--bitcode", "1x2 0",
              "--bitlength", "20e-6", "--noise", "0.3", "--level1", "0.25", "--level2", "1", "--f1",
              "20", "--f2", "20000", "--seed", "18446744073709551615" },
            [](vellox::SynthSettings& s, vellox::Module1& m) {
                s.SampleRate = 192000;
                s.Waveform = 9;
                s.ChannelMode = 6;
                m.BitCode = "1x2 0";
                m.BitLength = float(20e-6);
                s.NoiseLevel = float(0.3);
                s.Level1 = 0.25f;
                s.Level2 = 1.0f;
                s.Frequency1 = 20;
                s.Frequency2 = 20000;
            },
            18446744073709551615ull },
        { { "--waveform", "8", "--bitcode", "", "--noise", "1" },
            [](vellox::SynthSettings& s, vellox::Module1& m) {
                s.Waveform = 8;
                m.BitCode = "";
                s.NoiseLevel = 1.0f;
            },
            1 },
        { { "--level1-step", "3", "--level1", "0.5", "--noise-step", "4", "--waveform", "10",
              "--mode", "3", "--bitlength", "1" },
            [](vellox::SynthSettings& s, vellox::Module1& m) {
                s.Level1 = 0.5f; // the later flag wins
                s.NoiseLevel = float(4 / 10.0);
                s.Waveform = 10;
                s.ChannelMode = 3;
                m.BitLength = 1.0f;
            },
            1 },
    };
    int n = 0;
    for (const auto& c : cases) {
        vellox::SynthSettings s = startSettings();
        vellox::Module1 m = startModule();
        c.apply(s, m);
        const auto want = expected(s, m, c.seed);

        const fs::path out = m_dir / ("case" + std::to_string(n) + ".raw");
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), { "--out", out.string() });
        ASSERT_EQ(runTool(args, m_dir / "stdout", m_dir / "stderr"), 0)
            << "case " << n << ": " << readAll(m_dir / "stderr");
        const std::string bytes = readAll(out);
        ASSERT_EQ(bytes.size(), 2 * std::size_t(2 * s.SampleRate + 1)) << "case " << n;
        EXPECT_EQ(decodeLittleEndian(bytes), want) << "case " << n;

        // The same through standard output.
        std::vector<std::string> toStdout = c.args;
        toStdout.insert(toStdout.begin(), { "--out", "-" });
        ASSERT_EQ(runTool(toStdout, m_dir / "stdout", m_dir / "stderr"), 0) << "case " << n;
        EXPECT_EQ(readAll(m_dir / "stdout"), bytes) << "case " << n;
        ++n;
    }
}

TEST_F(SynthDump, BytesAreLittleEndian)
{
    // Start values: frame 1 is int32(20000 * 0.70710677 * sin(2 * PhaseStep1)) = 906 = 0x038A.
    const fs::path out = m_dir / "le.raw";
    ASSERT_EQ(runTool({ "--out", out.string() }, m_dir / "stdout", m_dir / "stderr"), 0);
    const std::string bytes = readAll(out);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0x8A);
    EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0x03);
}

} // namespace
