#include "ScpiError.h"

namespace vellox::remote {

std::string_view standardErrorText(int16_t code)
{
    switch (code) {
    case ErrorCode::None:
        return "No error";
    case ErrorCode::Command:
        return "Command error";
    case ErrorCode::InvalidCharacter:
        return "Invalid character";
    case ErrorCode::Syntax:
        return "Syntax error";
    case ErrorCode::DataType:
        return "Data type error";
    case ErrorCode::ParameterNotAllowed:
        return "Parameter not allowed";
    case ErrorCode::MissingParameter:
        return "Missing parameter";
    case ErrorCode::UndefinedHeader:
        return "Undefined header";
    case ErrorCode::HeaderSuffixOutOfRange:
        return "Header suffix out of range";
    case ErrorCode::InvalidCharacterInNumber:
        return "Invalid character in number";
    case ErrorCode::ExponentTooLarge:
        return "Exponent too large";
    case ErrorCode::InvalidSuffix:
        return "Invalid suffix";
    case ErrorCode::SuffixNotAllowed:
        return "Suffix not allowed";
    case ErrorCode::InvalidStringData:
        return "Invalid string data";
    case ErrorCode::Execution:
        return "Execution error";
    case ErrorCode::SettingsConflict:
        return "Settings conflict";
    case ErrorCode::DataOutOfRange:
        return "Data out of range";
    case ErrorCode::IllegalParameterValue:
        return "Illegal parameter value";
    case ErrorCode::OutOfMemory:
        return "Out of memory";
    case ErrorCode::QueueOverflow:
        return "Queue overflow";
    case ErrorCode::InputBufferOverrun:
        return "Input buffer overrun";
    case ErrorCode::QueryAfterIndefiniteResponse:
        return "Query UNTERMINATED after indefinite response";
    default:
        return "Device-specific error";
    }
}

ScpiError scpiError(int16_t code, std::string_view detail)
{
    ScpiError error;
    error.code = code;
    error.text = standardErrorText(code);
    if (!detail.empty()) {
        error.text += ';';
        error.text += detail;
    }
    return error;
}

} // namespace vellox::remote
