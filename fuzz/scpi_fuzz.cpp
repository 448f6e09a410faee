// libFuzzer target for the remote interface: any bytes, cut into lines as a connection's
// server cuts them, executed by the SCPI interpreter over the memory instrument. Whatever
// arrives: the settings change only through setters given values within the model's
// ranges, and not at all while the model refuses every change; every response is one line
// of printable text; the error queue stays bounded, the status byte tells whether it holds
// anything, and reading it always ends on 0,"No error".

#include "LineSplitter.h"
#include "MemoryInstrument.h"
#include "ScpiInterpreter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace vellox::remote;

namespace {

[[noreturn]] void broken(const char* what, std::string_view line)
{
    std::fprintf(stderr, "property broken: %s\nline (%zu bytes): \"%.200s\"\n", what, line.size(),
        std::string(line).c_str());
    std::abort();
}

void checkResponse(const std::string& response, std::string_view line)
{
    if (response.empty())
        return;
    if (response.back() != '\n')
        broken("a response without its line feed", line);
    for (std::size_t i = 0; i + 1 < response.size(); ++i) {
        const auto c = static_cast<unsigned char>(response[i]);
        if (c < 0x20 || c > 0x7E)
            broken("a response byte outside printable ASCII", line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the splitter's limit (small ones reach the refusal of long
    // lines within the fuzzer's input sizes) and whether the model refuses every change.
    const uint8_t mode = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool refusing = (mode & 0x80) != 0;
    const std::size_t limit = (mode & 0x40) != 0 ? MaxLineBytes : std::size_t(mode & 0x3F) + 1;

    MemoryInstrument model;
    if (refusing)
        model.refuseChanges(scpiError(ErrorCode::Execution, "refused"));
    ScpiInterpreter scpi(model);
    LineSplitter splitter(limit);

    // Fed in two pieces, cut where the second byte says, as a network would.
    std::vector<SplitLine> lines;
    const std::size_t cut = bytes.empty() ? 0 : std::size_t(uint8_t(bytes[0])) % (bytes.size() + 1);
    splitter.feed(bytes.substr(0, cut), lines);
    splitter.feed(bytes.substr(cut), lines);

    std::string response;
    for (const SplitLine& line : lines) {
        const InstrumentSettings before = model.settings();
        const int callsBefore = model.setterCalls();
        if (line.tooLong) {
            scpi.refuseLongLine();
            response.clear();
        } else {
            scpi.execute(line.text, response);
        }
        checkResponse(response, line.text);
        if (model.invalidValues() != 0)
            broken("a setter was given a value outside the model's ranges", line.text);
        const bool changed = !(model.settings() == before);
        if (changed && model.setterCalls() == callsBefore)
            broken("the settings changed without a setter", line.text);
        if (changed && refusing)
            broken("the settings changed while the model refused every change", line.text);
        if (scpi.errors().size() > ErrorQueue::Capacity)
            broken("the error queue outgrew its capacity", line.text);
        const bool queueBit = (scpi.statusByte() & StatusByte::ErrorQueueNotEmpty) != 0;
        if (queueBit == scpi.errors().empty())
            broken("the status byte's queue bit disagrees with the queue", line.text);
    }
    // The whole input as one message too: line feeds and all.
    {
        const InstrumentSettings before = model.settings();
        const int callsBefore = model.setterCalls();
        scpi.execute(bytes, response);
        checkResponse(response, bytes);
        if (!(model.settings() == before) && (model.setterCalls() == callsBefore || refusing))
            broken("the whole input changed the settings without a valid setter", bytes);
        if (model.invalidValues() != 0)
            broken("a setter was given a value outside the model's ranges", bytes);
    }

    for (std::size_t i = 0;; ++i) {
        if (i > ErrorQueue::Capacity)
            broken("the error queue did not empty", bytes);
        if (scpi.execute("SYST:ERR?") == "0,\"No error\"\n")
            break;
    }
    return 0;
}
