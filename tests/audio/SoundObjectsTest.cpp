// Lifecycle of the three sound objects against the recording fake.

#include "SoundObjects.h"
#include "FakeSoundBackend.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace vellox::audio;
using Strings = std::vector<std::string>;

namespace {

const std::string Create98000 = "CreateSoundBuffer(flags=0 bytes=392000 tag=1 ch=2 rate=98000 "
                                "avg=392000 align=4 bits=16 extra=0)";
const std::string Create44100 = "CreateSoundBuffer(flags=0 bytes=176400 tag=1 ch=2 rate=44100 "
                                "avg=176400 align=4 bits=16 extra=0)";

void expectAllEmpty(const SoundObjects& o)
{
    EXPECT_FALSE(o.hasDxObject());
    EXPECT_FALSE(o.hasSoundDevice());
    EXPECT_FALSE(o.hasSoundBuffer());
}

void expectAllPresent(const SoundObjects& o)
{
    EXPECT_TRUE(o.hasDxObject());
    EXPECT_TRUE(o.hasSoundDevice());
    EXPECT_TRUE(o.hasSoundBuffer());
}

TEST(SoundObjects, InitSoundSequence)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    expectAllEmpty(o);
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
    EXPECT_EQ(fake.describedOps(),
        (Strings {
            "CreateRoot()", "DirectSoundCreate(\"\")", "SetCooperativeLevel(1)", Create98000 }));
    // Created neither written nor started.
    EXPECT_EQ(fake.playingBuffer(), 0u);
    EXPECT_EQ(fake.liveBuffers(), 1u);
}

TEST(SoundObjects, PlaySequenceWritesAndLoops)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.ReleaseSound();
    o.InitSound(98000, 1.0f);
    std::vector<uint8_t> data(392000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + 3);
    o.WriteBuffer(0, 392000, data.data(), 0);
    o.Play(1);
    const auto& ops = fake.ops();
    ASSERT_EQ(ops.size(), 6u);
    EXPECT_EQ(ops[4].describe(), "WriteBuffer(start=0 bytes=392000 flags=0)");
    EXPECT_EQ(ops[4].data, data);
    EXPECT_EQ(ops[5].describe(), "Play(1)");
    EXPECT_EQ(fake.playingBuffer(), ops[3].created);
    EXPECT_TRUE(fake.playingLooped());
    EXPECT_EQ(fake.bufferBytes(ops[3].created), data);
}

TEST(SoundObjects, ReleaseSoundSequence)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    const SoundBackend::Handle root = fake.ops()[0].created;
    const SoundBackend::Handle device = fake.ops()[1].created;
    const SoundBackend::Handle buffer = fake.ops()[3].created;
    fake.clearOps();
    o.ReleaseSound();
    expectAllEmpty(o);
    EXPECT_EQ(fake.describedOps(),
        (Strings { "Stop()", "ReleaseBuffer()", "ReleaseDevice()", "ReleaseRoot()" }));
    EXPECT_EQ(fake.ops()[0].target, buffer);
    EXPECT_EQ(fake.ops()[1].target, buffer);
    EXPECT_EQ(fake.ops()[2].target, device);
    EXPECT_EQ(fake.ops()[3].target, root);
    EXPECT_EQ(fake.liveRoots() + fake.liveDevices() + fake.liveBuffers(), 0u);
}

TEST(SoundObjects, ReleaseTwiceAndBeforeAnyCreate)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.ReleaseSound(); // before any create
    EXPECT_TRUE(fake.ops().empty());
    o.InitSound(44100, 1.0f);
    o.ReleaseSound();
    fake.clearOps();
    o.ReleaseSound(); // twice
    EXPECT_TRUE(fake.ops().empty());
    expectAllEmpty(o);
}

TEST(SoundObjects, StopWithoutBufferIsNoop)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.Stop();
    EXPECT_TRUE(fake.ops().empty());
    EXPECT_THROW(o.Play(1), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, 0, nullptr, 0), SoundError);
}

TEST(SoundObjects, StopKeepsEverything)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    o.Stop();
    expectAllPresent(o);
    EXPECT_EQ(fake.playingBuffer(), 0u);
    EXPECT_EQ(fake.ops().back().describe(), "Stop()");
}

TEST(SoundObjects, RecreateForAnotherRate)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    const SoundBackend::Handle device = fake.ops()[1].created;
    const SoundBackend::Handle oldBuffer = fake.ops()[3].created;
    fake.clearOps();
    o.RecreateSoundBuffer(44100, 1.0f);
    // The old buffer is not stopped first: the new one is created, then the old released.
    EXPECT_EQ(fake.describedOps(), (Strings { Create44100, "ReleaseBuffer()" }));
    EXPECT_EQ(fake.ops()[0].target, device);
    EXPECT_EQ(fake.ops()[1].target, oldBuffer);
    expectAllPresent(o);
    EXPECT_EQ(o.bufferDesc().Format.SamplesPerSec, 44100);
    EXPECT_EQ(fake.liveBuffers(), 1u);
    EXPECT_EQ(fake.playingBuffer(), 0u); // silent until the next Play
}

TEST(SoundObjects, RecreateNeedsDevice)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    EXPECT_THROW(o.RecreateSoundBuffer(44100, 1.0f), SoundError);
    EXPECT_TRUE(fake.ops().empty());
    expectAllEmpty(o);
}

TEST(SoundObjects, RecreateFailureKeepsOldBuffer)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    fake.failOn(SoundOp::Kind::CreateSoundBuffer, "out of buffers");
    EXPECT_THROW(o.RecreateSoundBuffer(192000, 1.0f), SoundError);
    expectAllPresent(o);
    EXPECT_EQ(fake.liveBuffers(), 1u);
}

TEST(SoundObjects, WriteOutOfRangeIsRefused)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(44100, 0.0011f); // 194 bytes
    std::vector<uint8_t> data(200, 1);
    EXPECT_NO_THROW(o.WriteBuffer(0, 194, data.data(), 0));
    EXPECT_THROW(o.WriteBuffer(0, 195, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(1, 194, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(-1, 4, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, -4, data.data(), 0), SoundError);
}

// A failure injected at each step of InitSound leaves all references empty, releases
// what was created and carries the reason; the next InitSound starts from scratch.
struct FailCase {
    SoundOp::Kind kind;
    Strings expected; // the operations of the failed InitSound
};

void PrintTo(const FailCase& c, std::ostream* os)
{
    *os << kindName(c.kind);
}

class InitFailureTest : public testing::TestWithParam<FailCase> { };

TEST_P(InitFailureTest, LeavesNothingBehind)
{
    const FailCase c = GetParam();
    FakeSoundBackend fake;
    SoundObjects o(fake);
    fake.failOn(c.kind, std::string("injected at ") + kindName(c.kind));
    try {
        o.InitSound(98000, 1.0f);
        FAIL() << "InitSound succeeded";
    } catch (const SoundError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("injected at ") + kindName(c.kind));
    }
    expectAllEmpty(o);
    EXPECT_EQ(fake.describedOps(), c.expected);
    EXPECT_EQ(fake.liveRoots() + fake.liveDevices() + fake.liveBuffers(), 0u);

    fake.clearOps();
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
    EXPECT_EQ(fake.describedOps(),
        (Strings {
            "CreateRoot()", "DirectSoundCreate(\"\")", "SetCooperativeLevel(1)", Create98000 }));
}

INSTANTIATE_TEST_SUITE_P(EachStep, InitFailureTest,
    testing::Values(FailCase { SoundOp::Kind::CreateRoot, { "CreateRoot() failed" } },
        FailCase { SoundOp::Kind::DirectSoundCreate,
            { "CreateRoot()", "DirectSoundCreate(\"\") failed", "ReleaseRoot()" } },
        FailCase { SoundOp::Kind::SetCooperativeLevel,
            { "CreateRoot()", "DirectSoundCreate(\"\")", "SetCooperativeLevel(1) failed",
                "ReleaseDevice()", "ReleaseRoot()" } },
        FailCase { SoundOp::Kind::CreateSoundBuffer,
            { "CreateRoot()", "DirectSoundCreate(\"\")", "SetCooperativeLevel(1)",
                Create98000 + " failed", "ReleaseDevice()", "ReleaseRoot()" } }),
    [](const testing::TestParamInfo<FailCase>& info) { return kindName(info.param.kind); });

TEST(SoundObjects, FailedStopStillReleasesEverything)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    fake.failOn(SoundOp::Kind::Stop, "stop refused");
    fake.clearOps();
    o.ReleaseSound();
    expectAllEmpty(o);
    EXPECT_EQ(fake.describedOps(),
        (Strings { "Stop() failed", "ReleaseBuffer()", "ReleaseDevice()", "ReleaseRoot()" }));
}

TEST(SoundObjects, InjectedWriteAndPlayFailuresCarryTheMessage)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 0.001f);
    std::vector<uint8_t> data(196, 5);
    fake.failOn(SoundOp::Kind::WriteBuffer, "write refused");
    fake.failOn(SoundOp::Kind::Play, "play refused", 1); // the second Play fails
    EXPECT_THROW(
        {
            try {
                o.WriteBuffer(0, 196, data.data(), 0);
            } catch (const SoundError& e) {
                EXPECT_STREQ(e.what(), "write refused");
                throw;
            }
        },
        SoundError);
    EXPECT_NO_THROW(o.WriteBuffer(0, 196, data.data(), 0));
    EXPECT_NO_THROW(o.Play(1));
    EXPECT_THROW(o.Play(1), SoundError);
    EXPECT_NO_THROW(o.Play(1));
}

TEST(SoundObjects, PersistentFailureRepeats)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    fake.failOn(SoundOp::Kind::DirectSoundCreate, "no device", 0, true);
    EXPECT_THROW(o.InitSound(98000, 1.0f), SoundError);
    EXPECT_THROW(o.InitSound(98000, 1.0f), SoundError);
    expectAllEmpty(o);
    fake.clearFailures();
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
}

TEST(SoundObjects, InitWhilePresentReleasesFirst)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.InitSound(44100, 1.0f);
    EXPECT_EQ(fake.liveRoots(), 1u);
    EXPECT_EQ(fake.liveDevices(), 1u);
    EXPECT_EQ(fake.liveBuffers(), 1u);
}

TEST(SoundObjects, DestructorReleases)
{
    FakeSoundBackend fake;
    {
        SoundObjects o(fake);
        o.InitSound(98000, 1.0f);
        o.Play(1);
    }
    EXPECT_EQ(fake.liveRoots() + fake.liveDevices() + fake.liveBuffers(), 0u);
}

} // namespace
