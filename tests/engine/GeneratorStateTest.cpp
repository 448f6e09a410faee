#include "GeneratorState.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vellox;

TEST(GeneratorState, StartValuesHaveTheStoredWidths)
{
    GeneratorState s;
    Module1 m;
    setStartValues(s, m);
    EXPECT_EQ(s.SampleRate, 98000);
    EXPECT_EQ(s.Frequency1, 1000);
    EXPECT_EQ(s.Frequency2, 100);
    EXPECT_EQ(s.Pi, 3.1415927f);
    EXPECT_EQ(s.Level1, 0.70710677f);
    EXPECT_EQ(s.Level2, 0.70710677f);
    EXPECT_EQ(s.Waveform, 0);
    EXPECT_EQ(s.ChannelMode, 1);
    EXPECT_EQ(s.NoiseLevel, 0.0f);
    EXPECT_EQ(s.SweepMode, "manual");
    EXPECT_EQ(s.Marker1X, 40.0f);
    EXPECT_EQ(s.Marker2X, 4.0f);
    EXPECT_EQ(s.TimeViewSpan, 12700);
    EXPECT_EQ(s.PhaseStep1, 0.0f);
    EXPECT_EQ(s.PhaseStep2, 0.0f);
    EXPECT_EQ(m.BitCode, "10011101010001101010111000101011");
    EXPECT_EQ(m.RepetitiveTime, 1.0f);
    EXPECT_EQ(m.BitLength, 0.001f);
    ASSERT_EQ(s.Samples.size(), 98001u);
    EXPECT_TRUE(std::all_of(s.Samples.begin(), s.Samples.end(), [](int16_t v) { return v == 0; }));
}

TEST(GeneratorState, PlaySampleCountRoundsHalfEven)
{
    const struct {
        float time;
        int32_t rate;
        size_t count;
    } cases[] = {
        { 1.0f, 98000, 196001 }, { 1.0f, 44100, 88201 }, { 0.001f, 98000, 197 },
        { 0.0011f, 44100, 98 }, // 97.02 -> 97
        { 0.00002f, 44100, 3 }, // 1.764 -> 2
        { 0.125f, 10, 3 }, // exactly 2.5 values -> 2
        { 0.375f, 10, 9 }, // exactly 7.5 values -> 8
    };
    for (const auto& c : cases)
        EXPECT_EQ(playSampleCount(c.time, c.rate), c.count) << c.time << " s at " << c.rate;
}
