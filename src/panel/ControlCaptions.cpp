#include "ControlCaptions.h"

#include "NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vellox {

std::string levelCaption(int32_t value)
{
    const std::string prefix = value == 0 ? "Level =  " : "Level = - ";
    return prefix + plainNumber(3 * value) + " dB";
}

std::string fineLevelCaption(double factor)
{
    const long hundredths = std::lround(2000.0 * std::log10(factor));
    char digits[32];
    std::snprintf(digits, sizeof digits, "%ld.%02ld", std::labs(hundredths) / 100,
        std::labs(hundredths) % 100);
    const char* sign = hundredths < 0 ? "- " : hundredths > 0 ? "+ " : " ";
    return std::string("Level = ") + sign + digits + " dB";
}

std::string noiseCaption(int32_t value)
{
    return plainNumber(10 * value) + " % ";
}

std::string dutyCaption(int32_t value)
{
    return "rap=" + plainNumber(value);
}

int32_t timeViewSpan(int32_t sliderValue)
{
    return sliderValue * 100;
}

} // namespace vellox
