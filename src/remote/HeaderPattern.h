#pragma once

// One header of the command tree, written as the standard's documents write it:
// "[SOURce#:]FREQuency[:CW]". The uppercase letters of a node are its short form, the
// whole node its long form; brackets mark a node that may be left out; '#' a node that
// takes a numeric suffix (1 when it is left out). A header matches when each of its nodes
// is one of the two forms, case aside, of the pattern's nodes in order.

#include "ProgramMessage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellox::remote {

inline constexpr std::size_t MaxPatternSuffixes = 2;
using HeaderSuffixes = std::array<int32_t, MaxPatternSuffixes>;

class HeaderPattern {
public:
    explicit HeaderPattern(std::string_view pattern);

    // Whether `nodes` name this header; `suffixes` then holds the suffix of each
    // suffix-taking node in the pattern's order.
    bool matches(std::span<const HeaderNode> nodes, HeaderSuffixes& suffixes) const;

    std::string_view text() const { return m_text; }

private:
    struct Node {
        std::string longForm; // uppercase
        std::string shortForm;
        bool optional = false;
        bool takesSuffix = false;
        std::size_t suffixSlot = 0;
    };
    bool matchFrom(std::span<const HeaderNode> nodes, std::size_t i, std::size_t j,
        HeaderSuffixes& suffixes) const;

    std::string m_text;
    std::vector<Node> m_nodes;
    std::size_t m_required = 0;
};

} // namespace vellox::remote
