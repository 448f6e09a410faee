#pragma once

// Cuts the bytes of one connection into program messages: lines ended by a line feed,
// with a carriage return before it dropped. A line longer than the limit is refused the
// moment it crosses the limit (the server may close the connection then, without waiting
// for a line feed that may never come); its bytes are discarded up to its line feed.
// Plain bytes in and out: NUL bytes and any other bytes are passed on for the interpreter
// to refuse. One splitter per connection, used from one thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vellox::remote {

// The longest program message taken, in bytes, its line feed (and carriage return) not
// counted.
inline constexpr std::size_t MaxLineBytes = 64 * 1024;

struct SplitLine {
    std::string text; // without its terminator
    bool tooLong = false; // the line crossed the limit: text is empty, the line is dropped
};

class LineSplitter {
public:
    explicit LineSplitter(std::size_t maxLineBytes = MaxLineBytes);

    // Appends to `lines` every line that `bytes` completes, and one tooLong entry for each
    // line that crosses the limit, in the order they arrived.
    void feed(std::string_view bytes, std::vector<SplitLine>& lines);

    // Bytes of a line begun and not yet ended: what a hang-up leaves unexecuted.
    std::size_t pendingBytes() const { return m_partial.size(); }
    // Whether the bytes arriving are those of a refused line, discarded to its line feed.
    bool discarding() const { return m_discarding; }

private:
    std::size_t m_maxLineBytes;
    std::string m_partial;
    // A carriage return that ended the bytes so far: dropped if a line feed follows.
    bool m_heldReturn = false;
    bool m_discarding = false;
};

// Whether a line is HTTP rather than SCPI: a request line ("POST / HTTP/1.1") or one of the
// headers a browser sends ("Host: ...", "Origin: ..."). A web page may send a "simple"
// cross-origin POST to any port without asking first; its body would otherwise run as
// commands, so a connection that speaks HTTP is closed before anything it sent runs.
bool looksLikeHttp(std::string_view line);

} // namespace vellox::remote
