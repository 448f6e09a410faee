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

namespace {
    bool sameLetters(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
            if (lower(a[i]) != lower(b[i]))
                return false;
        }
        return true;
    }

    // What a browser sends with every request; none is a node of the command tree, and a
    // header of the tree is never followed by a blank after its colon.
    constexpr std::string_view BrowserHeaders[] = { "host", "origin", "referer", "user-agent",
        "accept", "accept-encoding", "accept-language", "content-type", "content-length",
        "connection", "cookie", "upgrade", "cache-control", "pragma", "transfer-encoding",
        "sec-fetch-mode", "sec-fetch-site", "sec-fetch-dest" };
} // namespace

bool looksLikeHttp(std::string_view line)
{
    // METHOD SP target SP HTTP/digit
    std::size_t method = 0;
    while (method < line.size() && line[method] >= 'A' && line[method] <= 'Z')
        ++method;
    if (method > 0 && method < line.size() && line[method] == ' ') {
        const std::size_t targetEnd = line.find(' ', method + 1);
        if (targetEnd != std::string_view::npos && targetEnd > method + 1) {
            const std::string_view version = line.substr(targetEnd + 1);
            if (version.size() > 5 && version.substr(0, 5) == "HTTP/" && version[5] >= '0'
                && version[5] <= '9')
                return true;
        }
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const bool valueFollows
        = colon + 1 == line.size() || line[colon + 1] == ' ' || line[colon + 1] == '\t';
    if (!valueFollows)
        return false;
    const std::string_view name = line.substr(0, colon);
    for (const std::string_view header : BrowserHeaders)
        if (sameLetters(name, header))
            return true;
    return false;
}

} // namespace vellox::remote
