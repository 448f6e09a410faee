#pragma once

// The error queue of SYSTem:ERRor?: first in, first out, bounded. When it is full, the
// newest entry gives way to -350 "Queue overflow", as the standard asks, and further errors
// are lost until an entry is read.

#include "ScpiError.h"

#include <cstddef>
#include <deque>

namespace vellox::remote {

class ErrorQueue {
public:
    static constexpr std::size_t Capacity = 20;

    // Returns false when the queue was full and the error was not recorded.
    bool push(ScpiError error);
    // The oldest entry, taken out; 0,"No error" when there is none.
    ScpiError pop();
    void clear() { m_entries.clear(); }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

private:
    std::deque<ScpiError> m_entries;
};

} // namespace vellox::remote
