#pragma once

// Reads one program message (a line) unit by unit, by the syntax of IEEE 488.2: headers
// (common "*IDN?" or compound "[:]NODE[n]:NODE[n]...[?]"), then parameters separated by
// commas: decimal numbers with an optional unit suffix, whole numbers in hexadecimal,
// octal or binary (#HFF, #Q17, #B101), character data (mnemonics such as
// MIN or SIN) and quoted strings. Nothing is copied but the text of a string; the views
// point into the message. Bounded: a header has at most MaxHeaderNodes nodes and a unit at
// most MaxParameters parameters, and every byte is looked at a bounded number of times.

#include "ScpiError.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellox::remote {

// Deeper than any header of the command tree, so a longer one is undefined at once.
inline constexpr std::size_t MaxHeaderNodes = 8;
// More than any command takes.
inline constexpr std::size_t MaxParameters = 4;
// The standard's bound on the magnitude of an exponent.
inline constexpr int MaxExponent = 32000;

struct HeaderNode {
    std::string_view name; // the mnemonic without its numeric suffix, as sent
    int32_t suffix = 0; // the numeric suffix, 0 when there is none; saturates at 99999
    bool hasSuffix = false;
};

struct Header {
    bool common = false; // "*XXX": `commonName` holds XXX, `nodes` is empty
    bool rooted = false; // a leading colon: starts from the root, not from the current path
    bool query = false;
    std::string_view commonName;
    std::array<HeaderNode, MaxHeaderNodes> nodes {};
    std::size_t nodeCount = 0;
};

enum class ParameterKind : uint8_t { Number, Characters, String };

struct Parameter {
    ParameterKind kind = ParameterKind::Number;
    // Number: its value (an overflow gives an infinity, an underflow 0), `text` its digits
    // as sent (mantissa and exponent), `suffix` the unit after it (empty if none).
    double number = 0.0;
    std::string_view text;
    std::string_view suffix;
    // Characters: the mnemonic in `text`. String: the text with doubled quotes undone.
    std::string string;
};

struct ProgramUnit {
    Header header;
    std::array<Parameter, MaxParameters> parameters {};
    std::size_t parameterCount = 0;
};

class ProgramMessage {
public:
    explicit ProgramMessage(std::string_view message);

    enum class Status : uint8_t {
        Unit, // `unit` holds the next program message unit
        End, // nothing more (an empty message, or a last semicolon followed by nothing)
        Error // `error` holds a command error; the rest of the message is not to be read
    };
    Status next(ProgramUnit& unit, ScpiError& error);

private:
    bool readHeader(Header& header, ScpiError& error);
    bool readParameters(ProgramUnit& unit, ScpiError& error);
    bool readNumber(Parameter& parameter, ScpiError& error);
    bool readNonDecimal(Parameter& parameter, ScpiError& error);
    bool readString(Parameter& parameter, ScpiError& error);
    void skipBlanks();
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return m_text[m_pos]; }

    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_first = true;
};

// Whether the byte may stand between the elements of a message: blank, tab, or a carriage
// return (a stray one before the line feed).
constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Printable 7-bit ASCII and the blanks: the only bytes a message may hold outside strings.
constexpr bool isMessageByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || isBlank(c);
}

// Case-insensitive equality of ASCII texts.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace vellox::remote
