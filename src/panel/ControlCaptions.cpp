#include "ControlCaptions.h"

#include "NumberText.h"

#include <cmath>

namespace vellox {

std::string levelCaption(int32_t value)
{
    const std::string prefix = value == 0 ? "Level =  " : "Level = - ";
    return prefix + plainNumber(3 * value) + " dB";
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
