#pragma once

// The error and event codes the remote interface reports, with their standard texts,
// and the result a setting's setter gives back. Codes follow SCPI-99: negative codes are
// the standard's, each class of a hundred sets its bit in the event status register.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace vellox::remote {

namespace ErrorCode {
    inline constexpr int16_t None = 0;
    // Command errors (-1xx): the line could not be understood.
    inline constexpr int16_t Command = -100;
    inline constexpr int16_t InvalidCharacter = -101;
    inline constexpr int16_t Syntax = -102;
    inline constexpr int16_t DataType = -104;
    inline constexpr int16_t ParameterNotAllowed = -108;
    inline constexpr int16_t MissingParameter = -109;
    inline constexpr int16_t UndefinedHeader = -113;
    inline constexpr int16_t HeaderSuffixOutOfRange = -114;
    inline constexpr int16_t InvalidCharacterInNumber = -121;
    inline constexpr int16_t ExponentTooLarge = -123;
    inline constexpr int16_t InvalidSuffix = -131;
    inline constexpr int16_t SuffixNotAllowed = -138;
    inline constexpr int16_t InvalidStringData = -151;
    // Execution errors (-2xx): understood, but the generator cannot do it.
    inline constexpr int16_t Execution = -200;
    inline constexpr int16_t SettingsConflict = -221;
    inline constexpr int16_t DataOutOfRange = -222;
    inline constexpr int16_t IllegalParameterValue = -224;
    inline constexpr int16_t OutOfMemory = -225;
    // Device-specific errors (-3xx).
    inline constexpr int16_t QueueOverflow = -350;
    inline constexpr int16_t InputBufferOverrun = -363;
    // Query errors (-4xx).
    inline constexpr int16_t QueryAfterIndefiniteResponse = -440;
} // namespace ErrorCode

// The standard's text of a code: "Undefined header" for -113; "Device-specific error"
// for a code the table does not name.
std::string_view standardErrorText(int16_t code);

// One entry of the error queue. `text` is what follows the code in SYSTem:ERRor?: the
// standard text, and after a semicolon what the generator adds (the bit-code dialog's
// message, for instance).
struct ScpiError {
    int16_t code = ErrorCode::None;
    std::string text;

    // What the generator added after the standard text ("" when nothing): the reason a face
    // without an error queue tells its user.
    std::string detail() const
    {
        const size_t semicolon = text.find(';');
        return semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
    }

    bool operator==(const ScpiError&) const = default;
};

// The standard text of `code`, and `detail` after a semicolon when there is one.
ScpiError scpiError(int16_t code, std::string_view detail = {});

// What a setter of the instrument gives back: done, or refused with an error for the
// queue. A refused setting is left as it was.
class SetResult {
public:
    static SetResult done() { return SetResult(); }
    static SetResult refused(int16_t code, std::string_view detail = {})
    {
        return SetResult(scpiError(code, detail));
    }
    static SetResult refused(ScpiError error) { return SetResult(std::move(error)); }

    bool ok() const { return m_error.code == ErrorCode::None; }
    const ScpiError& error() const { return m_error; }

private:
    SetResult() = default;
    explicit SetResult(ScpiError error)
        : m_error(std::move(error))
    {
    }
    ScpiError m_error;
};

} // namespace vellox::remote
