#include "HeaderPattern.h"

#include <cassert>

namespace vellox::remote {

namespace {
    constexpr char upper(char c)
    {
        return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }
    constexpr bool isUpper(char c)
    {
        return c >= 'A' && c <= 'Z';
    }
} // namespace

HeaderPattern::HeaderPattern(std::string_view pattern)
    : m_text(pattern)
{
    bool optional = false;
    std::size_t slots = 0;
    Node node;
    const auto finish = [&] {
        if (node.longForm.empty())
            return;
        node.optional = optional;
        if (node.takesSuffix)
            node.suffixSlot = slots++;
        if (!node.optional)
            ++m_required;
        m_nodes.push_back(node);
        node = Node {};
    };
    for (const char c : pattern) {
        if (c == '[' || c == ']' || c == ':') {
            finish();
            if (c == '[')
                optional = true;
            else if (c == ']')
                optional = false;
        } else if (c == '#') {
            node.takesSuffix = true;
        } else {
            node.longForm += upper(c);
            if (isUpper(c))
                node.shortForm += c;
        }
    }
    finish();
    assert(slots <= MaxPatternSuffixes && m_nodes.size() <= MaxHeaderNodes);
}

bool HeaderPattern::matches(std::span<const HeaderNode> nodes, HeaderSuffixes& suffixes) const
{
    if (nodes.size() < m_required || nodes.size() > m_nodes.size())
        return false;
    suffixes.fill(1);
    return matchFrom(nodes, 0, 0, suffixes);
}

// Depth at most the pattern's length; each optional node tries being present first.
bool HeaderPattern::matchFrom(
    std::span<const HeaderNode> nodes, std::size_t i, std::size_t j, HeaderSuffixes& suffixes) const
{
    if (j == m_nodes.size())
        return i == nodes.size();
    const Node& p = m_nodes[j];
    if (i < nodes.size()) {
        const HeaderNode& h = nodes[i];
        const bool named
            = equalsIgnoringCase(h.name, p.shortForm) || equalsIgnoringCase(h.name, p.longForm);
        if (named && (!h.hasSuffix || p.takesSuffix)) {
            if (p.takesSuffix)
                suffixes[p.suffixSlot] = h.hasSuffix ? h.suffix : 1;
            if (matchFrom(nodes, i + 1, j + 1, suffixes))
                return true;
        }
    }
    if (p.optional) {
        if (p.takesSuffix)
            suffixes[p.suffixSlot] = 1;
        return matchFrom(nodes, i, j + 1, suffixes);
    }
    return false;
}

} // namespace vellox::remote
