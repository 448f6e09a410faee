// The splitter a connection's bytes go through: lines in the order they end, carriage
// returns before the line feed dropped, lines over the limit refused once as they cross it
// and discarded to their line feed, however the bytes are cut into pieces.

#include "LineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vellox::remote;
using namespace std::string_literals;

namespace {

// Lines as text, a refused one as "<too long>".
std::vector<std::string> feedAll(LineSplitter& splitter, const std::vector<std::string>& pieces)
{
    std::vector<SplitLine> lines;
    for (const std::string& piece : pieces)
        splitter.feed(piece, lines);
    std::vector<std::string> texts;
    for (const SplitLine& l : lines) {
        EXPECT_TRUE(!l.tooLong || l.text.empty());
        texts.push_back(l.tooLong ? "<too long>" : l.text);
    }
    return texts;
}

} // namespace

TEST(LineSplitter, CutsAtLineFeeds)
{
    const struct {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
        std::size_t pending;
    } cases[] = {
        { { "A\nB\n" }, { "A", "B" }, 0 },
        { { "A\r\nB\r\n" }, { "A", "B" }, 0 },
        { { "A\r", "\nB\n" }, { "A", "B" }, 0 },
        { { "A", "\r", "\n" }, { "A" }, 0 },
        { { "A\rB\n" }, { "A\rB" }, 0 }, // a carriage return inside a line stays
        { { "A\r", "B\n" }, { "A\rB" }, 0 },
        { { "A\r\r\n" }, { "A\r" }, 0 },
        { { "\n\n" }, { "", "" }, 0 },
        { { "A\0B\n"s }, { "A\0B"s }, 0 }, // bytes are passed on, NUL included
        { { "FREQ 1", "000\nFREQ?" }, { "FREQ 1000" }, 5 },
        { { "half a line" }, {}, 11 },
    };
    for (const auto& c : cases) {
        LineSplitter splitter;
        EXPECT_EQ(feedAll(splitter, c.pieces), c.lines) << c.pieces.front();
        EXPECT_EQ(splitter.pendingBytes(), c.pending) << c.pieces.front();
    }
}

TEST(LineSplitter, RefusesALineAsItCrossesTheLimit)
{
    const struct {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
        bool discarding;
    } cases[] = {
        { { "1234\n" }, { "1234" }, false }, // exactly the limit
        { { "1234\r\n" }, { "1234" }, false }, // the terminator does not count
        { { "1234\r", "\n" }, { "1234" }, false },
        { { "12345\nAB\n" }, { "<too long>", "AB" }, false },
        { { "12", "345" }, { "<too long>" }, true }, // known before any line feed
        { { "12345", "678", "9\nAB\n" }, { "<too long>", "AB" }, false },
        { { "1234\r", "X\n" }, { "<too long>" }, false }, // the return proved part of it
        { { "\r\r\r\r\r" }, {}, false }, // the fifth may yet be the terminator's
        { { "\r\r\r\r\r\r" }, { "<too long>" }, true },
    };
    for (const auto& c : cases) {
        LineSplitter splitter(4);
        EXPECT_EQ(feedAll(splitter, c.pieces), c.lines) << c.pieces.front();
        EXPECT_EQ(splitter.discarding(), c.discarding) << c.pieces.front();
    }
}

TEST(LineSplitter, TheSameLinesHoweverTheBytesArriveInPieces)
{
    const std::string stream
        = "*IDN?\r\nFREQ 1000\n"s + std::string(70000, 'x') + "\nSYST:ERR?\r\n\r\nA\rB\n"s + "tail";
    LineSplitter whole;
    const std::vector<std::string> expected = feedAll(whole, { stream });
    ASSERT_EQ(expected,
        (std::vector<std::string> { "*IDN?", "FREQ 1000", "<too long>", "SYST:ERR?", "", "A\rB" }));
    for (const std::size_t size : { 1u, 2u, 3u, 7u, 4096u, 65536u }) {
        LineSplitter splitter;
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < stream.size(); at += size)
            pieces.push_back(stream.substr(at, size));
        EXPECT_EQ(feedAll(splitter, pieces), expected) << size;
        EXPECT_EQ(splitter.pendingBytes(), 4u) << size;
    }
}

TEST(LineSplitter, TellsHttpFromScpi)
{
    const struct {
        const char* line;
        bool http;
    } cases[] = {
        { "POST / HTTP/1.1", true },
        { "GET /favicon.ico HTTP/1.0", true },
        { "OPTIONS * HTTP/2", true },
        { "Host: 127.0.0.1:5025", true },
        { "origin: http://example.com", true },
        { "Content-Length: 30", true },
        { "Sec-Fetch-Mode:\tno-cors", true },
        { "Accept:", true },
        { "OUTP ON", false },
        { "FREQ 1000;:SYST:ERR?", false },
        { "SOUR:FREQ 100", false },
        { "HOST:FREQ 1", false }, // a compound header: no blank after the colon
        { "POST / HTTP", false },
        { "GET HTTP/1.1", false },
        { "*IDN?", false },
        { ":FREQ 5", false },
        { "", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(looksLikeHttp(c.line), c.http) << c.line;
}
