#include "ErrorQueue.h"

#include <utility>

namespace vellox::remote {

bool ErrorQueue::push(ScpiError error)
{
    if (m_entries.size() < Capacity) {
        m_entries.push_back(std::move(error));
        return true;
    }
    if (m_entries.back().code != ErrorCode::QueueOverflow)
        m_entries.back() = scpiError(ErrorCode::QueueOverflow);
    return false;
}

ScpiError ErrorQueue::pop()
{
    if (m_entries.empty())
        return scpiError(ErrorCode::None);
    ScpiError oldest = std::move(m_entries.front());
    m_entries.pop_front();
    return oldest;
}

} // namespace vellox::remote
