// Settings from the command line: the generator's own setters, which every face uses; the
// controls follow them.

#include "FormGen.h"

#include "LaunchSettings.h"

namespace vellox {

std::vector<std::string> FormGen::applyLaunchOptions(const LaunchOptions& o)
{
    std::vector<std::string> messages
        = ::vellox::applyLaunchOptions(m_generator, o, ChangeFrom::Settings);
    if (o.start)
        Play_Click();
    else
        SynthesizeSignal(); // the time view shows what Start will play
    return messages;
}

} // namespace vellox
