// libFuzzer target for the remote control as the program runs it: any bytes, cut into lines
// as the server cuts them, executed by the SCPI interpreter over the generator's own
// instrument, which restarts real sound through SDL's dummy driver. Whatever arrives: no
// crash, no answer beyond the cap, and no line that runs for long (a line is one change of
// the generator, so a thousand rates in it open the device once).

#include "Generator.h"
#include "GeneratorInstrument.h"
#include "LineSplitter.h"
#include "ScpiInterpreter.h"
#include "SdlSoundBackend.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace vellox;
using namespace vellox::remote;

namespace {

// Far beyond what a line costs (a restart at 192000 Hz under the sanitizers takes a tenth
// of that), far below what a client would take for a hang.
constexpr auto LineLimit = std::chrono::seconds(5);

[[noreturn]] void broken(const char* what, std::string_view line)
{
    std::fprintf(stderr, "property broken: %s\nline (%zu bytes): \"%.200s\"\n", what, line.size(),
        std::string(line).c_str());
    std::abort();
}

struct Rig {
    audio::SdlSoundBackend backend;
    Generator generator { backend };
    GeneratorInstrument instrument { generator };
};

Rig& rig()
{
    // One device for the whole run: opening SDL's for every input would be all it measured.
    static Rig* const r = new Rig;
    return *r;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Rig& r = rig();
    ScpiInterpreter scpi(r.instrument);
    scpi.execute("*RST"); // every input from the start values
    LineSplitter splitter;
    std::vector<SplitLine> lines;
    splitter.feed(std::string_view(reinterpret_cast<const char*>(data), size), lines);
    std::string response;
    for (const SplitLine& line : lines) {
        if (line.tooLong) {
            scpi.refuseLongLine();
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        scpi.execute(line.text, response);
        if (std::chrono::steady_clock::now() - start > LineLimit)
            broken("a line ran longer than the limit", line.text);
        if (response.size() > MaxAnswerBytes + 1)
            broken("an answer beyond the cap", line.text);
        if (!response.empty() && response.back() != '\n')
            broken("a response without its line feed", line.text);
    }
    for (std::size_t i = 0;; ++i) {
        if (i > ErrorQueue::Capacity)
            broken("the error queue did not empty", {});
        if (scpi.execute("SYST:ERR?") == "0,\"No error\"\n")
            break;
    }
    return 0;
}
