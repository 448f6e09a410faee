#include "ProgramMessage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vellox::remote {

namespace {

    constexpr bool isAlpha(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    }
    constexpr bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }
    constexpr bool isMnemonicChar(char c)
    {
        return isAlpha(c) || isDigit(c) || c == '_';
    }
    constexpr char upper(char c)
    {
        return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }

    constexpr int32_t MaxSuffix = 99999;

    // The error for a byte where the syntax allows none: an invalid byte, or a valid one
    // in the wrong place.
    ScpiError misplaced(char c)
    {
        return scpiError(isMessageByte(c) ? ErrorCode::Syntax : ErrorCode::InvalidCharacter);
    }

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

ProgramMessage::ProgramMessage(std::string_view message)
    : m_text(message)
{
}

void ProgramMessage::skipBlanks()
{
    while (!atEnd() && isBlank(peek()))
        ++m_pos;
}

ProgramMessage::Status ProgramMessage::next(ProgramUnit& unit, ScpiError& error)
{
    skipBlanks();
    if (!m_first) {
        if (atEnd())
            return Status::End;
        // The reader stops each unit at its semicolon or at the end of the message.
        ++m_pos;
        skipBlanks();
        if (atEnd())
            return Status::End; // a last semicolon, as scripts often send
    } else if (atEnd()) {
        return Status::End;
    }
    m_first = false;

    unit.header = Header {};
    unit.parameterCount = 0;
    if (!readHeader(unit.header, error) || !readParameters(unit, error)) {
        m_pos = m_text.size();
        return Status::Error;
    }
    return Status::Unit;
}

bool ProgramMessage::readHeader(Header& header, ScpiError& error)
{
    if (peek() == '*') {
        ++m_pos;
        header.common = true;
        const std::size_t start = m_pos;
        if (atEnd() || !isAlpha(peek())) {
            error = atEnd() ? scpiError(ErrorCode::Syntax) : misplaced(peek());
            return false;
        }
        while (!atEnd() && isMnemonicChar(peek()))
            ++m_pos;
        header.commonName = m_text.substr(start, m_pos - start);
    } else {
        if (peek() == ':') {
            header.rooted = true;
            ++m_pos;
        }
        for (;;) {
            if (atEnd() || !isAlpha(peek())) {
                error = atEnd() ? scpiError(ErrorCode::Syntax) : misplaced(peek());
                return false;
            }
            if (header.nodeCount == MaxHeaderNodes) {
                error = scpiError(ErrorCode::UndefinedHeader);
                return false;
            }
            const std::size_t start = m_pos;
            while (!atEnd() && isMnemonicChar(peek()))
                ++m_pos;
            std::size_t nameEnd = m_pos;
            while (nameEnd > start && isDigit(m_text[nameEnd - 1]))
                --nameEnd;
            HeaderNode& node = header.nodes[header.nodeCount++];
            node.name = m_text.substr(start, nameEnd - start);
            node.hasSuffix = nameEnd < m_pos;
            int32_t suffix = 0;
            for (std::size_t i = nameEnd; i < m_pos; ++i)
                suffix = std::min(MaxSuffix, suffix * 10 + (m_text[i] - '0'));
            node.suffix = suffix;
            if (atEnd() || peek() != ':')
                break;
            ++m_pos;
        }
    }
    if (!atEnd() && peek() == '?') {
        header.query = true;
        ++m_pos;
    }
    if (atEnd() || peek() == ';' || isBlank(peek()))
        return true;
    error = misplaced(peek());
    return false;
}

bool ProgramMessage::readParameters(ProgramUnit& unit, ScpiError& error)
{
    skipBlanks();
    if (atEnd() || peek() == ';')
        return true;
    for (;;) {
        if (atEnd() || peek() == ';' || peek() == ',') {
            error = scpiError(ErrorCode::Syntax); // a comma with nothing after it
            return false;
        }
        if (unit.parameterCount == MaxParameters) {
            error = scpiError(ErrorCode::ParameterNotAllowed);
            return false;
        }
        Parameter& p = unit.parameters[unit.parameterCount++];
        p.number = 0.0;
        p.text = {};
        p.suffix = {};
        p.string.clear();
        const char c = peek();
        if (isDigit(c) || c == '+' || c == '-' || c == '.') {
            if (!readNumber(p, error))
                return false;
        } else if (c == '#') {
            if (!readNonDecimal(p, error))
                return false;
        } else if (isAlpha(c)) {
            p.kind = ParameterKind::Characters;
            const std::size_t start = m_pos;
            while (!atEnd() && isMnemonicChar(peek()))
                ++m_pos;
            p.text = m_text.substr(start, m_pos - start);
        } else if (c == '"' || c == '\'') {
            if (!readString(p, error))
                return false;
        } else {
            error = misplaced(c);
            return false;
        }
        skipBlanks();
        if (atEnd() || peek() == ';')
            return true;
        if (peek() != ',') {
            error = misplaced(peek());
            return false;
        }
        ++m_pos;
        skipBlanks();
    }
}

bool ProgramMessage::readNumber(Parameter& p, ScpiError& error)
{
    p.kind = ParameterKind::Number;
    const std::size_t start = m_pos;
    bool negative = false;
    if (peek() == '+' || peek() == '-') {
        negative = peek() == '-';
        ++m_pos;
    }
    // The decimal order of the leading digit, to tell an overflow from an underflow.
    long order = 0;
    bool seenNonZero = false;
    std::size_t digits = 0;
    while (!atEnd() && isDigit(peek())) {
        if (seenNonZero || peek() != '0') {
            seenNonZero = true;
            ++order;
        }
        ++digits;
        ++m_pos;
    }
    if (!atEnd() && peek() == '.') {
        ++m_pos;
        while (!atEnd() && isDigit(peek())) {
            if (!seenNonZero) {
                if (peek() != '0')
                    seenNonZero = true;
                else
                    --order;
            }
            ++digits;
            ++m_pos;
        }
    }
    if (digits == 0) {
        error = scpiError(ErrorCode::Syntax);
        return false;
    }
    long exponent = 0;
    if (!atEnd() && (peek() == 'E' || peek() == 'e')) {
        ++m_pos;
        bool negativeExponent = false;
        if (!atEnd() && (peek() == '+' || peek() == '-')) {
            negativeExponent = peek() == '-';
            ++m_pos;
        }
        if (atEnd() || !isDigit(peek())) {
            error = scpiError(ErrorCode::Syntax);
            return false;
        }
        while (!atEnd() && isDigit(peek())) {
            exponent = std::min<long>(exponent * 10 + (peek() - '0'), MaxExponent + 1);
            ++m_pos;
        }
        if (exponent > MaxExponent) {
            error = scpiError(ErrorCode::ExponentTooLarge);
            return false;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    p.text = m_text.substr(start, m_pos - start);

    // from_chars takes no leading plus sign; it reads in the C locale whatever the program's.
    const char* first = p.text.data() + (p.text.front() == '+' ? 1 : 0);
    const char* last = p.text.data() + p.text.size();
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        const bool overflow = seenNonZero && order + exponent > 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative)
            value = -value;
    } else if (ec != std::errc() || end != last) {
        error = scpiError(ErrorCode::Syntax);
        return false;
    }
    p.number = value;

    // A unit suffix, after optional blanks.
    const std::size_t beforeBlanks = m_pos;
    skipBlanks();
    if (!atEnd() && isAlpha(peek())) {
        const std::size_t suffixStart = m_pos;
        while (!atEnd() && (isAlpha(peek()) || isDigit(peek())))
            ++m_pos;
        p.suffix = m_text.substr(suffixStart, m_pos - suffixStart);
    } else {
        m_pos = beforeBlanks;
    }
    return true;
}

bool ProgramMessage::readNonDecimal(Parameter& p, ScpiError& error)
{
    // #H, #Q and #B: a whole number in base 16, 8 or 2, with no sign, point or suffix.
    p.kind = ParameterKind::Number;
    const std::size_t start = m_pos;
    ++m_pos;
    if (atEnd()) {
        error = scpiError(ErrorCode::Syntax);
        return false;
    }
    int base = 0;
    switch (peek()) {
    case 'H':
    case 'h':
        base = 16;
        break;
    case 'Q':
    case 'q':
        base = 8;
        break;
    case 'B':
    case 'b':
        base = 2;
        break;
    default:
        // Block data (#0, #<digits>) is nothing any command takes.
        error = scpiError(ErrorCode::Syntax);
        return false;
    }
    ++m_pos;
    // Doubles hold every whole number to 2^53 exactly; beyond, the value only grows, and the
    // line's bound keeps the digits few enough that it stays finite or becomes infinity.
    double value = 0.0;
    std::size_t digits = 0;
    while (!atEnd() && isMnemonicChar(peek())) {
        const char c = peek();
        int digit = 99;
        if (isDigit(c))
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit >= base) {
            error = scpiError(ErrorCode::InvalidCharacterInNumber);
            return false;
        }
        value = value * base + digit;
        ++digits;
        ++m_pos;
    }
    if (digits == 0) {
        error = scpiError(ErrorCode::Syntax);
        return false;
    }
    p.number = value;
    p.text = m_text.substr(start, m_pos - start);
    return true;
}

bool ProgramMessage::readString(Parameter& p, ScpiError& error)
{
    p.kind = ParameterKind::String;
    const char quote = peek();
    ++m_pos;
    for (;;) {
        const std::size_t close = m_text.find(quote, m_pos);
        if (close == std::string_view::npos) {
            error = scpiError(ErrorCode::InvalidStringData);
            return false;
        }
        p.string.append(m_text.substr(m_pos, close - m_pos));
        m_pos = close + 1;
        if (atEnd() || peek() != quote)
            return true;
        p.string += quote; // a doubled quote stands for one
        ++m_pos;
    }
}

} // namespace vellox::remote
