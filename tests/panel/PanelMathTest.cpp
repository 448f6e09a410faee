// The pure helpers of the front panel: captions and factors of the controls, the tick
// table and picking of the frequency scales, the coordinates and labels of the time view,
// the digit stepping of the instrument panel's number fields.

#include "ControlCaptions.h"
#include "DigitStep.h"
#include "FrequencyScale.h"
#include "SynthTypes.h"
#include "TimeView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace vellox {
namespace {

    // ---- Level, noise, duty, span ----

    struct LevelCase {
        int32_t value;
        std::string caption;
        double factor; // the expected factor, to 5 significant digits
    };

    class LevelTest : public ::testing::TestWithParam<LevelCase> { };

    TEST_P(LevelTest, CaptionAndFactor)
    {
        const LevelCase& c = GetParam();
        EXPECT_EQ(levelCaption(c.value), c.caption);
        EXPECT_NEAR(levelFactor(c.value), c.factor, c.factor * 1e-5);
        // Stored as the float nearest to the double-precision power.
        EXPECT_EQ(levelFactor(c.value), float(std::pow(10.0, double(-3 * c.value) / 20.0)));
    }

    INSTANTIATE_TEST_SUITE_P(Steps, LevelTest,
        ::testing::Values(LevelCase { 0, "Level =  0 dB", 1.0 },
            LevelCase { 1, "Level = - 3 dB", 0.707946 },
            LevelCase { 2, "Level = - 6 dB", 0.501187 },
            LevelCase { 15, "Level = - 45 dB", 0.00562341 }));

    TEST(LevelTest, ZeroIsExactlyOne)
    {
        EXPECT_EQ(levelFactor(0), 1.0f);
    }

    TEST(LevelTest, FineLevelCaptionToTheHundredth)
    {
        const struct {
            double db;
            const char* caption;
        } cases[] = {
            { -8.05, "Level = - 8.05 dB" },
            { -60.01 + 20.0 * std::log10(FullScaleLevel), "Level = - 55.72 dB" },
            { 20.0 * std::log10(FullScaleLevel), "Level = + 4.29 dB" },
            { -0.004, "Level =  0.00 dB" },
            { -0.5, "Level = - 0.50 dB" },
            { -124.29, "Level = - 124.29 dB" },
        };
        for (const auto& c : cases)
            EXPECT_EQ(fineLevelCaption(std::pow(10.0, c.db / 20.0)), c.caption) << c.db;
    }

    TEST(NoiseTest, CaptionAndLevel)
    {
        EXPECT_EQ(noiseCaption(0), "0 % ");
        EXPECT_EQ(noiseLevel(0), 0.0f);
        EXPECT_EQ(noiseCaption(1), "10 % ");
        EXPECT_EQ(noiseLevel(1), 0.1f);
        EXPECT_EQ(noiseCaption(10), "100 % ");
        EXPECT_EQ(noiseLevel(10), 1.0f);
    }

    TEST(DutyTest, Caption)
    {
        EXPECT_EQ(dutyCaption(1), "rap=1");
        EXPECT_EQ(dutyCaption(50), "rap=50");
        EXPECT_EQ(dutyCaption(100), "rap=100");
    }

    TEST(TimeViewSpanTest, HundredPerSliderStep)
    {
        EXPECT_EQ(timeViewSpan(0), 0);
        EXPECT_EQ(timeViewSpan(1), 100);
        EXPECT_EQ(timeViewSpan(127), 12700);
    }

    // ---- Frequency scale ----

    struct TickCase {
        int i;
        TickRow row;
    };

    class TickTest : public ::testing::TestWithParam<TickCase> { };

    TEST_P(TickTest, Row)
    {
        const TickCase& c = GetParam();
        const TickRow row = tickRow(c.i);
        EXPECT_EQ(row.width, c.row.width);
        EXPECT_EQ(row.x, c.row.x);
        EXPECT_EQ(row.fromY, c.row.fromY);
        EXPECT_EQ(row.toY, c.row.toY);
        EXPECT_EQ(row.label, c.row.label);
    }

    INSTANTIATE_TEST_SUITE_P(Rows, TickTest,
        ::testing::Values(TickCase { 0, { 2, 0, 22, 35, "0" } },
            TickCase { 50, { 2, 200, 22, 35, "5000 Hz" } },
            TickCase { 100, { 2, 400, 22, 35, "10000 Hz" } },
            TickCase { 150, { 2, 600, 22, 35, "15000 Hz" } },
            TickCase { 200, { 2, 800, 22, 35, "20000 Hz" } },
            TickCase { 10, { 2, 40, 25, 35, "" } }, TickCase { 190, { 2, 760, 25, 35, "" } },
            TickCase { 7, { 1, 28, 27, 33, "" } }, TickCase { 1, { 1, 4, 27, 33, "" } },
            TickCase { 199, { 1, 796, 27, 33, "" } }));

    TEST(TickTableTest, KindsOfTicks)
    {
        const auto table = tickTable();
        ASSERT_EQ(table.size(), 201u);
        int labelled = 0, medium = 0, shortTicks = 0;
        for (size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(table[i].x, int(4 * i));
            if (!table[i].label.empty())
                ++labelled;
            else if (table[i].width == 2)
                ++medium;
            else
                ++shortTicks;
        }
        EXPECT_EQ(labelled, 5); // 0, 5000, 10000, 15000, 20000 Hz
        EXPECT_EQ(medium, 16); // the other thousands
        EXPECT_EQ(shortTicks, 180);
    }

    struct PickCase {
        float x;
        int16_t frequency;
    };

    class PickTest : public ::testing::TestWithParam<PickCase> { };

    TEST_P(PickTest, Frequency)
    {
        EXPECT_EQ(pickFrequency(GetParam().x), GetParam().frequency) << "x = " << GetParam().x;
    }

    constexpr float Inf = std::numeric_limits<float>::infinity();

    INSTANTIATE_TEST_SUITE_P(Positions, PickTest,
        ::testing::Values(PickCase { 40.0f, 1000 }, PickCase { 4.0f, 100 },
            PickCase { 799.0f, 19975 }, PickCase { 0.0f, 25 }, // 0 counts as 1
            PickCase { 1.0f, 25 }, PickCase { 1.5f, 38 }, // 37.5 to even
            PickCase { 2.5f, 62 }, // 62.5 to even
            PickCase { 0.875f, 22 }, // 21.875
            PickCase { 17.6f, 440 }, // float 17.6 * 25 = 439.9999962
            PickCase { 0.5f, 20 }, // 12.5 -> 12, below the range
            PickCase { 0.02f, 20 }, PickCase { 0.8f, 20 }, PickCase { 800.0f, 20000 },
            PickCase { 800.5f, 20000 }, PickCase { 1.0e6f, 20000 }, PickCase { -0.5f, 20 },
            PickCase { -1.0e9f, 20 }, PickCase { Inf, 20000 }, PickCase { -Inf, 20 },
            PickCase { std::numeric_limits<float>::quiet_NaN(), 20 }));

    TEST(CursorTest, FrequencyOverTwentyFive)
    {
        EXPECT_EQ(cursorX(1000), 40.0f);
        EXPECT_EQ(cursorX(100), 4.0f);
        EXPECT_EQ(cursorX(25), 1.0f);
        EXPECT_EQ(cursorX(440), 17.6f);
        EXPECT_EQ(cursorX(20000), 800.0f);
    }

    TEST(ScaleStyleTest, TitlesHoldTenBlanks)
    {
        const std::string blanks(10, ' ');
        EXPECT_EQ(
            ScaleStyle::f1().title.toStdString(), "F 1" + blanks + "Click to set any frequency");
        EXPECT_EQ(
            ScaleStyle::f2().title.toStdString(), "F 2" + blanks + "Click to set any frequency");
        EXPECT_EQ(ScaleStyle::f1().titlePosition, QPointF(0, -2));
        EXPECT_EQ(ScaleStyle::f2().titlePosition, QPointF(0, 0));
        EXPECT_EQ(ScaleStyle::f1().scaleColor, QColor(0, 255, 255));
        EXPECT_EQ(ScaleStyle::f1().titleColor, QColor(0, 255, 255));
        EXPECT_EQ(ScaleStyle::f2().scaleColor, QColor(255, 128, 128));
        EXPECT_EQ(ScaleStyle::f2().titleColor, QColor(255, 0, 0));
    }

    // ---- Time view ----

    TEST(TimeViewPointTest, Coordinates)
    {
        EXPECT_EQ(timeViewPoint(0, 0, 12700, 25), QPointF(0, 25));
        const QPointF p = timeViewPoint(2, 1000, 12700, 25);
        EXPECT_EQ(float(p.x()), float(2000.0 / 12700.0));
        EXPECT_EQ(p.y(), 26.0);
        EXPECT_EQ(timeViewPoint(8000, -20000, 100, 25), QPointF(80000, 5));
        EXPECT_EQ(timeViewPoint(1, 500, 1000, 75), QPointF(1, 75.5));
        EXPECT_EQ(float(timeViewPoint(0, 32767, 1000, 75).y()), float(32.767 + 75));
        EXPECT_EQ(float(timeViewPoint(3, 0, 12700, 75).x()), float(3000.0 / 12700.0));
    }

    TEST(TimeViewPointTest, SpanZeroDrawsAsTheSmallestSpan)
    {
        EXPECT_EQ(effectiveTimeViewSpan(0), 100);
        EXPECT_EQ(effectiveTimeViewSpan(-5), 100);
        EXPECT_EQ(effectiveTimeViewSpan(100), 100);
        EXPECT_EQ(effectiveTimeViewSpan(12700), 12700);
        EXPECT_EQ(timeViewPoint(7, 123, 0, 25), timeViewPoint(7, 123, 100, 25));
    }

    TEST(TimeViewLabelTest, Texts)
    {
        EXPECT_EQ(frequencyLabel(1000), " 1000 Hz");
        EXPECT_EQ(frequencyLabel(20), " 20 Hz");
        EXPECT_EQ(bitLengthLabel(1.0f / 1000.0f), "Bit Lenght =  1000 uS");
        EXPECT_EQ(bitLengthLabel(20e-6f), "Bit Lenght =  20 uS");
        EXPECT_EQ(bitLengthLabel(12.3456e-6f), "Bit Lenght =  12.35 uS");
        EXPECT_EQ(bitLengthLabel(1.5e-6f), "Bit Lenght =  1.5 uS");
        EXPECT_EQ(bitLengthLabel(0.5e-6f), "Bit Lenght =  .5 uS");
    }

    TEST(TimeViewLabelTest, WhichNumberEachLabelShows)
    {
        for (int16_t waveform : { 0, 1, 2, 3, 4, 5, 6, 7, 10 })
            EXPECT_EQ(upperTimeViewLabel(waveform, 1000, 20e-6f), " 1000 Hz") << waveform;
        EXPECT_EQ(upperTimeViewLabel(8, 1000, 20e-6f), "Bit Lenght =  20 uS");
        EXPECT_EQ(upperTimeViewLabel(9, 1000, 20e-6f), "Bit Lenght =  20 uS");
        EXPECT_EQ(lowerTimeViewLabel(1, 1000, 100), " 1000 Hz");
        for (int16_t mode : { 2, 3, 4, 5, 6 })
            EXPECT_EQ(lowerTimeViewLabel(mode, 1000, 100), " 100 Hz") << mode;
    }

    // ---- Digit stepping ----

    // A field's text with its cursor written as '|': "10|00" is "1000" with the cursor
    // before the tens digit.
    SteppedText field(const std::string& marked)
    {
        const size_t bar = marked.find('|');
        std::string text = marked;
        text.erase(bar, 1);
        return { text, int(bar) };
    }

    struct DigitStepCase {
        const char* before;
        int direction;
        const char* after; // "" when nothing steps
    };

    void PrintTo(const DigitStepCase& c, std::ostream* out)
    {
        *out << '"' << c.before << "\" " << (c.direction > 0 ? "up" : "down") << " -> \"" << c.after
             << '"';
    }

    class DigitStepTest : public ::testing::TestWithParam<DigitStepCase> { };

    TEST_P(DigitStepTest, Row)
    {
        const DigitStepCase& c = GetParam();
        const SteppedText before = field(c.before);
        const std::optional<SteppedText> stepped
            = stepDigit(before.text, before.cursor, c.direction);
        if (std::string(c.after).empty()) {
            EXPECT_FALSE(stepped) << stepped->text;
            return;
        }
        ASSERT_TRUE(stepped);
        EXPECT_EQ(*stepped, field(c.after)) << stepped->text << " cursor " << stepped->cursor;
    }

    INSTANTIATE_TEST_SUITE_P(Rows, DigitStepTest,
        ::testing::Values(
            // The cursor stands on the digit after it...
            DigitStepCase { "10|00.123", 1, "10|10.123" },
            DigitStepCase { "|1000.123", 1, "|2000.123" },
            DigitStepCase { "1000.|123", -1, "1000.|023" },
            DigitStepCase { "1000.12|3", 1, "1000.12|4" },
            // ... or before it where no digit follows: the end, the point.
            DigitStepCase { "1000.123|", 1, "1000.124|" },
            DigitStepCase { "1000|.123", 1, "1001|.123" }, DigitStepCase { "440|", -1, "439|" },
            // Carry and borrow through the places above, the cursor on its place.
            DigitStepCase { "99|9", 1, "100|0" }, DigitStepCase { "9.99|", 1, "10.00|" },
            DigitStepCase { ".9|", 1, "1.0|" }, DigitStepCase { "1|000", -1, "|900" },
            DigitStepCase { "100|0", -1, "99|9" }, DigitStepCase { "1000.00|0", -1, "999.99|9" },
            // Leading zeros go; the place that went stays the cursor's nearest.
            DigitStepCase { "|1000", -1, "|0" }, DigitStepCase { "0|050", 1, "|150" },
            // Through zero to the other sign, as a level in decibels goes.
            DigitStepCase { "0|.5", -1, "-0|.5" }, DigitStepCase { "-0|.5", 1, "0|.5" },
            DigitStepCase { "-12.3|4", 1, "-12.3|3" }, DigitStepCase { "-12.3|4", -1, "-12.3|5" },
            DigitStepCase { "-1|2.5", 1, "-1|1.5" }, DigitStepCase { "0.00|", -1, "-0.01|" },
            DigitStepCase { "-0.01|", 1, "0.00|" }, DigitStepCase { "0|", -1, "-1|" },
            DigitStepCase { "+5|", -1, "+4|" }, DigitStepCase { "+0|", -1, "-1|" },
            DigitStepCase { "-1|", 1, "0|" },
            // From before a sign, the first digit; blanks around the number stay.
            DigitStepCase { "|-12", 1, "|-2" }, DigitStepCase { " 12| ", 1, " 13| " },
            // Nothing to step.
            DigitStepCase { "  |  5", 1, "" }, DigitStepCase { "5 |  ", 1, "" },
            DigitStepCase { "1|2", 0, "" }, DigitStepCase { "|", 1, "" },
            DigitStepCase { "-|", 1, "" }, DigitStepCase { ".|", 1, "" },
            DigitStepCase { "1|e3", 1, "" }, DigitStepCase { "1|2.3.4", 1, "" },
            DigitStepCase { "1|2 3", 1, "" }, DigitStepCase { "12| Hz", 1, "" },
            DigitStepCase { "ab|c", 1, "" }));

    TEST(DigitStepTest, CursorKeepsItsPlaceInARewrittenText)
    {
        EXPECT_EQ(cursorAtSamePlace("1000.0", 6, "1000"), 4);
        EXPECT_EQ(cursorAtSamePlace("1000.0", 2, "1000"), 2);
        EXPECT_EQ(cursorAtSamePlace("999.5", 2, "1000.25"), 3);
        EXPECT_EQ(cursorAtSamePlace("-4.29", 2, "-12.34"), 3);
        EXPECT_EQ(cursorAtSamePlace("1000", 0, "5"), 0);
        EXPECT_EQ(cursorAtSamePlace("abc", 2, "1000"), 2);
        EXPECT_EQ(cursorAtSamePlace("1000", 4, "x"), 1);
    }

} // namespace
} // namespace vellox
