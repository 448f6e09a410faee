#include "LineSplitter.h"

namespace vellox::remote {

LineSplitter::LineSplitter(std::size_t maxLineBytes)
    : m_maxLineBytes(maxLineBytes)
{
}

void LineSplitter::feed(std::string_view bytes, std::vector<SplitLine>& lines)
{
    while (!bytes.empty()) {
        const std::size_t feedAt = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, feedAt);
        const bool ends = feedAt != std::string_view::npos;
        bytes.remove_prefix(ends ? feedAt + 1 : bytes.size());

        if (m_discarding) {
            if (ends)
                m_discarding = false;
            continue;
        }
        // A carriage return held back is part of the line unless the line ends right here.
        if (m_heldReturn && !(ends && piece.empty()))
            m_partial += '\r';
        m_heldReturn = false;

        std::string_view body = piece;
        if (!body.empty() && body.back() == '\r') {
            body.remove_suffix(1);
            if (!ends)
                m_heldReturn = true;
        }
        // A carriage return held back counts once it proves part of the line (above).
        const std::size_t length = m_partial.size() + body.size();
        if (length > m_maxLineBytes) {
            lines.push_back(SplitLine { {}, true });
            m_partial.clear();
            m_heldReturn = false;
            m_discarding = !ends;
            continue;
        }
        m_partial.append(body);
        if (ends) {
            lines.push_back(SplitLine { std::move(m_partial), false });
            m_partial.clear();
        }
    }
}

} // namespace vellox::remote
