#include "ControlCaptions.h"

#include "NumberText.h"

#include <cmath>

namespace vellox {

std::string levelCaption(int32_t value)
{
    const std::string prefix = value == 0 ? "Level =  " : "Level = - ";
    return prefix + plainNumber(3 * value) + " dB";
}

float levelFactor(int32_t value)
{
    return float(std::pow(10.0, double(-3 * value) / 20.0));
}

std::string noiseCaption(int32_t value)
{
    return plainNumber(10 * value) + " % ";
}

float noiseLevel(int32_t value)
{
    return float(value / 10.0);
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
