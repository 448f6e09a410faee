#pragma once

// One remote session over the memory instrument, for the table tests: lines in, the
// responses and the error queue out.

#include "MemoryInstrument.h"
#include "ScpiInterpreter.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace vellox::remote::test {

struct RemoteSession {
    MemoryInstrument model;
    ScpiInterpreter scpi { model };

    // The response to each line, in order ("" where a line answers nothing).
    std::vector<std::string> run(const std::vector<std::string>& lines)
    {
        std::vector<std::string> responses;
        for (const std::string& line : lines)
            responses.push_back(scpi.execute(line));
        return responses;
    }

    // The queue's entries, oldest first, read through SYSTem:ERRor? until it says
    // 0,"No error" (which is not listed).
    std::vector<std::string> drainErrors()
    {
        std::vector<std::string> entries;
        for (std::size_t i = 0; i <= ErrorQueue::Capacity + 1; ++i) {
            std::string entry = scpi.execute("SYST:ERR?");
            if (!entry.empty() && entry.back() == '\n')
                entry.pop_back();
            if (entry == "0,\"No error\"")
                break;
            entries.push_back(entry);
        }
        return entries;
    }

    // Only the codes of drainErrors.
    std::vector<int> drainErrorCodes()
    {
        std::vector<int> codes;
        for (const std::string& entry : drainErrors())
            codes.push_back(std::atoi(entry.c_str()));
        return codes;
    }
};

} // namespace vellox::remote::test
