// The SDL2 backend on SDL's own test drivers: "disk" writes every byte the callback
// produces into a file, "dummy" runs the callback in real time and discards it.

#include "SdlSoundBackend.h"
#include "SoundObjects.h"
#include "SynthTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace vellox::audio;
using namespace std::chrono_literals;

namespace {

void expectAllEmpty(const SoundObjects& o)
{
    EXPECT_FALSE(o.hasDxObject());
    EXPECT_FALSE(o.hasSoundDevice());
    EXPECT_FALSE(o.hasSoundBuffer());
}

std::string tempPath(const std::string& stem)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr ? dir : "/tmp") + "/" + stem + "XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd >= 0)
        close(fd);
    return buf.data();
}

long fileSize(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

// Waits until the file has grown to at least target bytes; bounded.
bool waitForSize(const std::string& path, long target)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (fileSize(path) < target) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct Frame {
    int16_t left;
    int16_t right;
    bool operator==(const Frame&) const = default;
    bool silent() const { return left == 0 && right == 0; }
};

// A 1000 Hz cosine on the left and the frame number on the right, +(i % 32000 + 1) or its
// negative: never a silent frame, and every frame names its position in its buffer, so
// the tone's own period cannot hide a loop that starts at the wrong frame.
std::vector<Frame> makeTone(int32_t rate, size_t frames, int sign)
{
    std::vector<Frame> out(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * M_PI * 1000.0 * double(i) / double(rate);
        out[i].left = int16_t(std::lrint(20000.0 * std::cos(phase)));
        out[i].right = int16_t(sign * int(i % 32000 + 1));
    }
    return out;
}

// Counts how many frames from `at` on repeat `pattern` from its frame `from`, looping.
size_t matchLoop(
    const std::vector<Frame>& got, size_t at, const std::vector<Frame>& pattern, size_t from = 0)
{
    size_t n = 0;
    while (at + n < got.size() && got[at + n] == pattern[(from + n) % pattern.size()])
        ++n;
    return n;
}

// Whether the `count` frames from `at` are the pattern's frames from `from` scaled by gains
// between 0 and 1: a fade, never more than the buffer holds nor of the other sign.
bool faded(const std::vector<Frame>& got, size_t at, const std::vector<Frame>& pattern, size_t from,
    size_t count)
{
    auto within
        = [](int v, int full) { return full >= 0 ? v >= 0 && v <= full : v <= 0 && v >= full; };
    for (size_t j = 0; j < count && at + j < got.size(); ++j) {
        const Frame& want = pattern[(from + j) % pattern.size()];
        if (!within(got[at + j].left, want.left) || !within(got[at + j].right, want.right))
            return false;
    }
    return true;
}

size_t skipSilence(const std::vector<Frame>& got, size_t at)
{
    while (at < got.size() && got[at].silent())
        ++at;
    return at;
}

// (rate, fade in milliseconds)
class DiskDriverTest : public testing::TestWithParam<std::tuple<int32_t, int>> { };

TEST_P(DiskDriverTest, LoopsTheWrittenBytesExactly)
{
    const auto [rate, fadeMs] = GetParam();
    const size_t fade = size_t(std::lround(fadeMs * rate / 1000.0));
    const std::string path = tempPath("vellox_disk_");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);

    const float repetitiveTime = 0.25f;
    const int32_t bytes = bufferByteCount(repetitiveTime, rate);
    ASSERT_EQ(bytes % 4, 0);
    const size_t frames = size_t(bytes) / 4;
    const std::vector<Frame> a = makeTone(rate, frames, +1);
    const std::vector<Frame> b = makeTone(rate, frames, -1);
    // The file lags the callback by stdio's buffer; allow for it.
    const long slack = 64 * 1024;
    {
        SdlSoundBackend backend;
        backend.setFadeMilliseconds(fadeMs);
        SoundObjects objects(backend);
        objects.InitSound(rate, repetitiveTime);
        ASSERT_EQ(backend.driverName(), "disk");
        // SDL granted exactly what was asked, so the file holds our bytes unconverted.
        ASSERT_EQ(backend.obtained().freq, rate);
        ASSERT_EQ(backend.obtained().format, AUDIO_S16LSB);
        ASSERT_EQ(backend.obtained().channels, 2);

        objects.WriteBuffer(0, bytes, a.data(), 0);
        const long atPlay = fileSize(path);
        objects.Play(1);
        ASSERT_TRUE(waitForSize(path, atPlay + 5 * bytes / 2 + slack)) << "disk driver stalled";
        objects.Stop();
        const long atStop = fileSize(path);
        ASSERT_TRUE(waitForSize(path, atStop + rate * 4 / 10 + slack));

        objects.RecreateSoundBuffer(rate, repetitiveTime);
        objects.WriteBuffer(0, bytes, b.data(), 0);
        const long atSecond = fileSize(path);
        objects.Play(1);
        ASSERT_TRUE(waitForSize(path, atSecond + 3 * bytes / 2 + slack));
        // The release fades out and closes the device, which flushes the file.
        objects.ReleaseSound();
        EXPECT_EQ(backend.deviceRate(), 0);
        // Opened once, at the buffer's rate.
        EXPECT_EQ(backend.deviceOpenCount(), 1);
    }

    std::ifstream in(path, std::ios::binary);
    const std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
    std::remove(path.c_str());
    ASSERT_GE(raw.size(), 4u) << "the disk driver wrote nothing";
    std::vector<Frame> got(raw.size() / 4);
    std::memcpy(got.data(), raw.data(), got.size() * 4);

    // Play fades in from the buffer's first frame (whose first frames may round to
    // silence), then plays it exactly, looping; Stop fades out where it is, then silence.
    // Exact frames name their own index on the right.
    auto exactFrom = [&](size_t from, const std::vector<Frame>& pattern) {
        for (size_t x = from; x < got.size() && x <= from + fade + 1; ++x) {
            const int index = std::abs(got[x].right) - 1;
            if (index >= 0 && size_t(index) <= fade && got[x] == pattern[size_t(index)])
                return std::pair { x, size_t(index) };
        }
        return std::pair { got.size(), size_t(0) };
    };
    size_t at = skipSilence(got, 0);
    ASSERT_LT(at, got.size()) << "nothing but silence in " << got.size() << " frames";
    auto [exactA, indexA] = exactFrom(at, a);
    ASSERT_LT(exactA, got.size()) << "first buffer never played exactly";
    // Its frame 0 came out at exactA - indexA, within the silence that a fade-in's first
    // frames round to, and the exact frames follow the fade.
    EXPECT_LE(exactA - indexA, at) << "first buffer did not start at its first frame";
    EXPECT_LE(indexA, fade + 1);
    EXPECT_TRUE(faded(got, exactA - indexA, a, 0, indexA)) << "first buffer's fade-in";
    const size_t playedA = matchLoop(got, exactA, a, indexA);
    EXPECT_GT(playedA, 2 * frames) << "first buffer did not loop twice";
    at = exactA + playedA;
    EXPECT_TRUE(faded(got, at, a, (indexA + playedA) % frames, fade)) << "first buffer's fade-out";
    at += fade;
    // After Stop only silence, up to the second buffer.
    ASSERT_LT(at, got.size());
    EXPECT_TRUE(got[at].silent()) << "unexpected frame after stop: " << got[at].left << ","
                                  << got[at].right;
    at = skipSilence(got, at);
    ASSERT_LT(at, got.size()) << "second buffer never played";
    auto [exactB, indexB] = exactFrom(at, b);
    ASSERT_LT(exactB, got.size()) << "second buffer never played exactly";
    EXPECT_TRUE(faded(got, exactB - indexB, b, 0, indexB)) << "second buffer's fade-in";
    const size_t playedB = matchLoop(got, exactB, b, indexB);
    EXPECT_GT(playedB, frames) << "second buffer did not play from its first frame";
    at = exactB + playedB;
    EXPECT_TRUE(faded(got, at, b, (indexB + playedB) % frames, fade)) << "second buffer's fade-out";
    at += fade;
    // After the release only silence to the end.
    EXPECT_EQ(skipSilence(got, at), got.size());
}

// Every rate with the transitions' fade, and the abrupt hand-over once.
std::vector<std::tuple<int32_t, int>> diskCases()
{
    std::vector<std::tuple<int32_t, int>> cases;
    for (const int32_t rate : vellox::SampleRates)
        cases.emplace_back(rate, SdlSoundBackend::DefaultFadeMilliseconds);
    cases.emplace_back(vellox::StartSampleRate, 0);
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Rates, DiskDriverTest, testing::ValuesIn(diskCases()));

TEST(SdlDummy, DeviceStaysOpenAcrossRestarts)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    std::vector<uint8_t> data(196000, 1);
    for (int i = 0; i < 50; ++i) {
        // The generator's restart: the objects made anew over those that play.
        objects.InitSound(98000, 1.0f);
        objects.WriteBuffer(0, 196000, data.data(), 0);
        objects.Play(1);
    }
    EXPECT_EQ(backend.deviceOpenCount(), 1);
    EXPECT_EQ(backend.deviceRate(), 98000);

    objects.InitSound(44100, 1.0f); // another rate: re-opened
    EXPECT_EQ(backend.deviceOpenCount(), 2);
    EXPECT_EQ(backend.deviceRate(), 44100);
    objects.ReleaseSound(); // the device closes with the objects
    EXPECT_EQ(backend.deviceRate(), 0);
    EXPECT_EQ(backend.liveBuffers(), 0u);

    objects.InitSound(44100, 1.0f);
    EXPECT_EQ(backend.deviceOpenCount(), 3);
    objects.RecreateSoundBuffer(192000, 1.0f);
    EXPECT_EQ(backend.deviceOpenCount(), 4);
    EXPECT_EQ(backend.deviceRate(), 192000);
    EXPECT_EQ(backend.obtained().format, AUDIO_S16LSB);
    EXPECT_EQ(backend.obtained().channels, 2);
}

TEST(SdlDummy, RefusesBufferWithoutWholeFrame)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    EXPECT_THROW(objects.InitSound(44100, 10e-6f), SoundError); // 2 bytes
    expectAllEmpty(objects);
    // 194 bytes: accepted, plays its 48 whole frames.
    objects.InitSound(44100, 0.0011f);
    EXPECT_EQ(objects.bufferDesc().BufferBytes, 194);
    std::vector<uint8_t> data(195, 3);
    EXPECT_NO_THROW(objects.WriteBuffer(0, 194, data.data(), 0));
    EXPECT_THROW(objects.WriteBuffer(0, 195, data.data(), 0), SoundError);
    EXPECT_THROW(objects.WriteBuffer(190, 8, data.data(), 0), SoundError);
    EXPECT_THROW(objects.WriteBuffer(-4, 4, data.data(), 0), SoundError);
    EXPECT_THROW(objects.WriteBuffer(0, 4, nullptr, 0), SoundError);
    EXPECT_THROW(objects.WriteBuffer(0, 4, data.data(), 1), SoundError);
    EXPECT_NO_THROW(objects.Play(1));
}

// No usable device: SDL's reason reaches the caller, nothing is left half created and a
// second attempt fails the same way instead of hanging.
struct NoDeviceCase {
    const char* name;
    const char* driver;
    const char* pulseServer; // nullptr: leave PULSE_SERVER alone
    const char* reasonPart; // expected in the message
};

void PrintTo(const NoDeviceCase& c, std::ostream* os)
{
    *os << c.name;
}

class NoDeviceTest : public testing::TestWithParam<NoDeviceCase> { };

TEST_P(NoDeviceTest, FailsWithSdlReason)
{
    const NoDeviceCase c = GetParam();
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    if (c.pulseServer != nullptr)
        setenv("PULSE_SERVER", c.pulseServer, 1);
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    std::string first;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            objects.InitSound(98000, 1.0f);
            FAIL() << "InitSound succeeded with driver " << c.driver;
        } catch (const SoundError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.reasonPart), std::string::npos) << message;
            if (attempt == 0)
                first = message;
            else
                EXPECT_EQ(message, first);
        }
        expectAllEmpty(objects);
        EXPECT_EQ(backend.deviceRate(), 0);
    }
    objects.ReleaseSound();
}

INSTANTIATE_TEST_SUITE_P(Drivers, NoDeviceTest,
    testing::Values(NoDeviceCase { "UnknownDriver", "nonexistent", nullptr, "nonexistent" },
        NoDeviceCase {
            "PulseWithoutServer", "pulseaudio", "unix:/nonexistent/vellox/native", "PulseAudio" }),
    [](const testing::TestParamInfo<NoDeviceCase>& info) { return info.param.name; });

} // namespace
