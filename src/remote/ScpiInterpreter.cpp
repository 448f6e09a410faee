#include "ScpiInterpreter.h"

#include "BitCodeRules.h"
#include "LineSplitter.h"
#include "ToneStream.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <span>

#ifndef VELLOX_VERSION
#error "VELLOX_VERSION (the project's version) must be defined by the build"
#endif

namespace vellox::remote {

struct ScpiInterpreter::Call {
    const ProgramUnit& unit;
    HeaderSuffixes suffixes;
};

struct ScpiInterpreter::Command {
    HeaderPattern pattern;
    void (ScpiInterpreter::*set)(const Call&);
    void (ScpiInterpreter::*query)(const Call&);
};

namespace {

    // A mnemonic of character data, written as the standard writes it: the uppercase
    // part is the short form.
    struct Choice {
        std::string_view mnemonic;
        int value;
    };

    constexpr bool isShortFormChar(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }

    std::string_view shortForm(std::string_view mnemonic)
    {
        std::size_t n = 0;
        while (n < mnemonic.size() && isShortFormChar(mnemonic[n]))
            ++n;
        return mnemonic.substr(0, n);
    }

    bool isMnemonic(std::string_view text, std::string_view mnemonic)
    {
        return equalsIgnoringCase(text, mnemonic) || equalsIgnoringCase(text, shortForm(mnemonic));
    }

    // The waveforms by their index; the first six are the bench generators' own names.
    constexpr Choice Waveforms[] = {
        { "SINusoid", WaveSine },
        { "PSINe", WavePwSine },
        { "SQUare", WaveSquare },
        { "TRAPeze", WaveTrapeze },
        { "NOISe", WaveNoise },
        { "TRIangle", WaveTriangle },
        { "PULSe", WavePwm },
        { "NRAMp", WaveStairsFalling },
        { "BITCode", WaveBitCode },
        { "BITTwotone", WaveBitTwoTone },
        { "RAMP", WaveStairsRising },
    };
    static_assert(std::size(Waveforms) == WaveformCount, "every waveform needs its mnemonic");
    // FUNCtion's choices: the waveforms, and pink noise (the precise synthesis's).
    constexpr int PinkFunction = WaveformCount;
    constexpr auto Functions = [] {
        std::array<Choice, std::size(Waveforms) + 1> all {};
        for (std::size_t i = 0; i < std::size(Waveforms); ++i)
            all[i] = Waveforms[i];
        all[std::size(Waveforms)] = { "PINK", PinkFunction };
        return all;
    }();

    constexpr Choice ChannelModes[] = {
        { "F1", ModeF1Both },
        { "SUM", ModeF1PlusF2 },
        { "AM", ModeAm },
        { "AMSC", ModeAmSp },
        { "FM", ModeFm },
        { "STEReo", ModeStereo },
    };
    static_assert(std::size(ChannelModes) == ChannelModeCount, "every mode needs its mnemonic");

    constexpr Choice SweepModes[] = {
        { "MANual", int(SweepMode::Manual) },
        { "LINear", int(SweepMode::Linear) },
        { "LOGarithmic", int(SweepMode::Logarithmic) },
    };
    constexpr Choice TwoToneSets[] = {
        { "SMPTe", int(TwoToneSet::Smpte) },
        { "CCIF", int(TwoToneSet::Ccif) },
        { "NONE", -1 },
    };
    constexpr Choice SweepSpacings[] = {
        { "LINear", 0 },
        { "LOGarithmic", 1 },
    };
    constexpr Choice Syntheses[] = {
        { "EXACt", int(Synthesis::Exact) },
        { "PRECise", int(Synthesis::Precise) },
    };
    constexpr Choice Dithers[] = {
        { "NONE", int(Dither::None) },
        { "TPDF", int(Dither::Tpdf) },
    };
    constexpr Choice SampleFormats[] = {
        { "S16", int(SampleFormat::S16) },
        { "S24", int(SampleFormat::S24) },
        { "F32", int(SampleFormat::F32) },
    };
    constexpr Choice VoltageUnits[] = {
        { "VPP", int(VoltageUnit::Vpp) },
        { "VRMS", int(VoltageUnit::Vrms) },
        { "DBFS", int(VoltageUnit::Dbfs) },
        { "DBV", int(VoltageUnit::Dbv) },
        { "DBU", int(VoltageUnit::Dbu) },
    };

    // The short form that a query answers for `value`.
    std::string_view shortFormOf(std::span<const Choice> choices, int value)
    {
        for (const Choice& c : choices)
            if (c.value == value)
                return shortForm(c.mnemonic);
        return "";
    }

    struct Scale {
        std::string_view suffix;
        double factor;
    };
    // SCPI reads MHZ as megahertz, not millihertz; MAHZ says the same.
    constexpr Scale HertzScales[]
        = { { "HZ", 1.0 }, { "KHZ", 1e3 }, { "MHZ", 1e6 }, { "MAHZ", 1e6 }, { "GHZ", 1e9 } };
    constexpr Scale SecondScales[]
        = { { "S", 1.0 }, { "MS", 1e-3 }, { "US", 1e-6 }, { "NS", 1e-9 } };
    constexpr Scale DegreeScales[] = { { "DEG", 1.0 }, { "RAD", 180.0 / std::numbers::pi } };
    constexpr Scale PercentScales[] = { { "PCT", 1.0 } };
    constexpr Scale VoltScales[]
        = { { "V", 1.0 }, { "MV", 1e-3 }, { "UV", 1e-6 }, { "VPP", 1.0 }, { "MVPP", 1e-3 } };

    // Up to 7 significant digits (every real setting is stored in single precision or
    // derived from one), the exponent in capitals: "1000", "0.501187", "1E-05".
    std::string realText(double value, int digits = 7)
    {
        char buffer[32];
        const auto [end, ec] = std::to_chars(
            buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
        std::string text(buffer, ec == std::errc() ? end : buffer);
        for (char& c : text)
            if (c == 'e')
                c = 'E';
        if (text == "-0")
            text = "0";
        return text;
    }

    // A setting kept in double precision (a level), to ten significant digits: the sums
    // between its units stay below the tenth.
    std::string preciseText(double value)
    {
        return realText(value, 10);
    }

    std::string wholeText(long long value)
    {
        return std::to_string(value);
    }

    // The shortest text that reads back as `value`: what the bit-code rules read.
    std::string exactText(double value)
    {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, ec == std::errc() ? end : buffer);
    }

    // The shortest text of `stored` x `scale` that the bit-code rules store as `stored` again
    // (they divide by `scale`): 20 us is stored as a float a little below 20e-6, which read
    // back exactly would fall below the 20 us the rules take.
    std::string storedText(float stored, double scale)
    {
        for (int decimals = 0; decimals <= 12; ++decimals) {
            char buffer[64];
            const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer,
                double(stored) * scale, std::chars_format::fixed, decimals);
            if (ec != std::errc())
                break;
            double read = 0.0;
            std::from_chars(buffer, end, read);
            if (float(read / scale) == stored)
                return std::string(buffer, end);
        }
        return exactText(double(stored) * scale);
    }

    // String response data: in double quotes, a quote doubled; a byte that could break
    // the line shows as '?'.
    std::string quoted(std::string_view text)
    {
        std::string out;
        out.reserve(text.size() + 2);
        out += '"';
        for (const char c : text) {
            if (c == '"')
                out += "\"\"";
            else
                out += (isMessageByte(c) && c != '\r') ? c : '?';
        }
        out += '"';
        return out;
    }

    // A message of the dialog on one line: its line break becomes a blank.
    std::string oneLine(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            if (c == '\n' || c == '\r')
                c = ' ';
        return out;
    }

    uint8_t eventBitOf(int16_t code)
    {
        if (code <= -100 && code > -200)
            return EventStatus::CommandError;
        if (code <= -200 && code > -300)
            return EventStatus::ExecutionError;
        if (code <= -400 && code > -500)
            return EventStatus::QueryError;
        if (code == 0)
            return 0;
        return EventStatus::DeviceError; // -3xx and the generator's own positive codes
    }

    enum BitCodeField { PatternField, RepetitionField, BitLengthField };

} // namespace

ScpiInterpreter::ScpiInterpreter(InstrumentModel& model)
    : m_model(model)
{
}

std::string ScpiInterpreter::identification()
{
    std::string id;
    id += IdnMaker;
    id += ',';
    id += IdnModel;
    id += ",0,";
    id += VELLOX_VERSION;
    return id;
}

const std::vector<ScpiInterpreter::Command>& ScpiInterpreter::commands()
{
    using S = ScpiInterpreter;
    static const std::vector<Command> table = {
        { HeaderPattern("SYSTem:ERRor[:NEXT]"), nullptr, &S::queryNextError },
        { HeaderPattern("SYSTem:ERRor:COUNt"), nullptr, &S::queryErrorCount },
        { HeaderPattern("SYSTem:VERSion"), nullptr, &S::queryVersion },
        { HeaderPattern("[SOURce#:]FREQuency[:CW]"), &S::setFrequency, &S::queryFrequency },
        { HeaderPattern("[SOURce#:]FUNCtion[:SHAPe]"), &S::setFunction, &S::queryFunction },
        { HeaderPattern("[SOURce#:]FUNCtion:PULSe:DCYCle"), &S::setDuty, &S::queryDuty },
        { HeaderPattern("[SOURce#:]FUNCtion:SQUare:DCYCle"), &S::setDuty, &S::queryDuty },
        { HeaderPattern("[SOURce#:]VOLTage[:LEVel][:IMMediate][:AMPLitude]"), &S::setVoltage,
            &S::queryVoltage },
        { HeaderPattern("[SOURce#:]VOLTage:UNIT"), &S::setVoltageUnit, &S::queryVoltageUnit },
        { HeaderPattern("[SOURce#:]VOLTage:CALibration:FSCale"), &S::setFullScale,
            &S::queryFullScale },
        { HeaderPattern("[SOURce#:]MODE"), &S::setChannelMode, &S::queryChannelMode },
        { HeaderPattern("[SOURce#:]NOISe[:LEVel]"), &S::setNoise, &S::queryNoise },
        { HeaderPattern("[SOURce#:]SWEep:MODE"), &S::setSweep, &S::querySweep },
        { HeaderPattern("[SOURce#:]SWEep:STATe"), &S::setSweepState, &S::querySweepState },
        { HeaderPattern("[SOURce#:]SWEep:SPACing"), &S::setSweepSpacing, &S::querySweepSpacing },
        { HeaderPattern("[SOURce#:]SWEep:COUNt"), &S::setSweepCount, &S::querySweepCount },
        { HeaderPattern("[SOURce#:]SWEep:TIME"), &S::setSweepTime, &S::querySweepTime },
        { HeaderPattern("[SOURce#:]SWEep:HTIMe"), &S::setHoldTime, &S::queryHoldTime },
        { HeaderPattern("[SOURce#:]SWEep:RTIMe"), &S::setReturnTime, &S::queryReturnTime },
        { HeaderPattern("[SOURce#:]BURSt:STATe"), &S::setBurstState, &S::queryBurstState },
        { HeaderPattern("[SOURce#:]IMD[:SET]"), &S::setTwoTone, &S::queryTwoTone },
        { HeaderPattern("[SOURce#:]BURSt:NCYCles"), &S::setBurstCycles, &S::queryBurstCycles },
        { HeaderPattern("[SOURce#:]BURSt:INTernal:PERiod"), &S::setBurstPeriod,
            &S::queryBurstPeriod },
        { HeaderPattern("[SOURce#:]BURSt:PHASe"), &S::setBurstPhase, &S::queryBurstPhase },
        { HeaderPattern("[SOURce#:]FREQuency:STARt"), &S::setFrequencyStart,
            &S::queryFrequencyStart },
        { HeaderPattern("[SOURce#:]FREQuency:STOP"), &S::setFrequencyStop, &S::queryFrequencyStop },
        { HeaderPattern("[SOURce#:]SRATe"), &S::setSampleRate, &S::querySampleRate },
        { HeaderPattern("[SOURce#:]BITCode[:DATA]"), &S::setBitPattern, &S::queryBitPattern },
        { HeaderPattern("[SOURce#:]BITCode:BLENgth"), &S::setBitLength, &S::queryBitLength },
        { HeaderPattern("[SOURce#:]BITCode:PERiod"), &S::setRepetitionTime,
            &S::queryRepetitionTime },
        { HeaderPattern("[SOURce#:]SYNThesis"), &S::setSynthesis, &S::querySynthesis },
        { HeaderPattern("[SOURce#:]DITHer"), &S::setDither, &S::queryDither },
        { HeaderPattern("[SOURce#:]PHASe[:ADJust]"), &S::setPhase, &S::queryPhase },
        { HeaderPattern("OUTPut#[:STATe]"), &S::setOutput, &S::queryOutput },
        { HeaderPattern("OUTPut#:FORMat"), &S::setSampleFormat, &S::querySampleFormat },
        { HeaderPattern("OUTPut#:LATency"), &S::setLatency, &S::queryLatency },
    };
    return table;
}

// ---- messages -------------------------------------------------------------------------

std::string ScpiInterpreter::execute(std::string_view message)
{
    std::string response;
    execute(message, response);
    return response;
}

void ScpiInterpreter::execute(std::string_view message, std::string& response)
{
    response.clear();
    if (message.size() > MaxLineBytes) {
        refuseLongLine();
        return;
    }
    m_response = &response;
    m_pathLength = 0;
    m_stop = false;
    m_indefiniteAnswered = false;

    ProgramMessage reader(message);
    // One change of the instrument: a line of a thousand settings restarts the sound once.
    apply(m_model.changeTogether([&] {
        ScpiError error;
        while (!m_stop) {
            const ProgramMessage::Status status = reader.next(m_unit, error);
            if (status == ProgramMessage::Status::End)
                break;
            if (status == ProgramMessage::Status::Error) {
                fail(error);
                break;
            }
            runUnit(m_unit);
        }
    }));
    if (!response.empty())
        response += '\n';
    m_response = nullptr;
}

void ScpiInterpreter::refuseLongLine()
{
    fail(ErrorCode::InputBufferOverrun);
}

uint8_t ScpiInterpreter::statusByte() const
{
    uint8_t status = 0;
    if (!m_errors.empty())
        status |= StatusByte::ErrorQueueNotEmpty;
    if ((m_eventStatus & m_eventEnable) != 0)
        status |= StatusByte::EventStatusSummary;
    if ((status & m_serviceEnable) != 0)
        status |= StatusByte::MasterSummary;
    return status;
}

bool ScpiInterpreter::runUnit(const ProgramUnit& unit)
{
    if (unit.header.common)
        return runCommon(unit);

    // A relative header continues the path of the command before it in the message.
    std::array<HeaderNode, MaxHeaderNodes> nodes {};
    std::size_t count = 0;
    if (!unit.header.rooted) {
        for (std::size_t i = 0; i < m_pathLength; ++i)
            nodes[count++] = m_path[i];
    }
    if (count + unit.header.nodeCount > MaxHeaderNodes) {
        fail(ErrorCode::UndefinedHeader);
        return false;
    }
    for (std::size_t i = 0; i < unit.header.nodeCount; ++i)
        nodes[count++] = unit.header.nodes[i];

    HeaderSuffixes suffixes {};
    for (const Command& command : commands()) {
        if (!command.pattern.matches(std::span(nodes.data(), count), suffixes))
            continue;
        const auto handler = unit.header.query ? command.query : command.set;
        if (handler == nullptr)
            break;
        m_pathLength = count - 1;
        for (std::size_t i = 0; i < m_pathLength; ++i)
            m_path[i] = nodes[i];
        if (unit.header.query && m_indefiniteAnswered) {
            fail(ErrorCode::QueryAfterIndefiniteResponse);
            return true;
        }
        (this->*handler)(Call { unit, suffixes });
        return !m_stop;
    }
    fail(ErrorCode::UndefinedHeader);
    return false;
}

bool ScpiInterpreter::runCommon(const ProgramUnit& unit)
{
    using S = ScpiInterpreter;
    struct Common {
        std::string_view name;
        void (S::*set)(const Call&);
        void (S::*query)(const Call&);
    };
    static constexpr Common table[] = {
        { "CLS", &S::clearStatus, nullptr },
        { "ESE", &S::setEventEnable, &S::queryEventEnable },
        { "ESR", nullptr, &S::queryEventStatus },
        { "IDN", nullptr, &S::queryIdentification },
        { "OPC", &S::setOperationComplete, &S::queryOperationComplete },
        { "RST", &S::reset, nullptr },
        { "SRE", &S::setServiceEnable, &S::queryServiceEnable },
        { "STB", nullptr, &S::queryStatusByte },
        { "TST", nullptr, &S::querySelfTest },
        { "WAI", &S::wait, nullptr },
    };
    for (const Common& c : table) {
        if (!equalsIgnoringCase(unit.header.commonName, c.name))
            continue;
        const auto handler = unit.header.query ? c.query : c.set;
        if (handler == nullptr)
            break;
        if (unit.header.query && m_indefiniteAnswered) {
            fail(ErrorCode::QueryAfterIndefiniteResponse);
            return true;
        }
        (this->*handler)(Call { unit, {} });
        return !m_stop;
    }
    fail(ErrorCode::UndefinedHeader);
    return false;
}

void ScpiInterpreter::answer(std::string_view text)
{
    // Checked before it grows: one line of queries could otherwise build an answer of
    // hundreds of megabytes before anything looked at it.
    const size_t separator = m_response->empty() ? 0 : 1;
    if (m_response->size() + separator + text.size() > MaxAnswerBytes) {
        m_response->clear();
        fail(ErrorCode::OutOfMemory,
            "the line's answer would pass " + std::to_string(MaxAnswerBytes) + " bytes");
        m_stop = true; // what follows in the line would answer into nothing
        return;
    }
    if (separator != 0)
        *m_response += ';';
    *m_response += text;
}

void ScpiInterpreter::fail(const ScpiError& error)
{
    const uint8_t bit = eventBitOf(error.code);
    m_eventStatus |= bit;
    // A lost error is a device-specific one of its own (-350).
    if (!m_errors.push(error))
        m_eventStatus |= EventStatus::DeviceError;
    if (bit == EventStatus::CommandError)
        m_stop = true;
}

void ScpiInterpreter::fail(int16_t code, std::string_view detail)
{
    fail(scpiError(code, detail));
}

void ScpiInterpreter::apply(const SetResult& result)
{
    if (!result.ok())
        fail(result.error());
}

// ---- parameters -----------------------------------------------------------------------

bool ScpiInterpreter::noParameters(const Call& call)
{
    if (call.unit.parameterCount == 0)
        return true;
    fail(ErrorCode::ParameterNotAllowed);
    return false;
}

const Parameter* ScpiInterpreter::oneParameter(const Call& call)
{
    if (call.unit.parameterCount == 0) {
        fail(ErrorCode::MissingParameter);
        return nullptr;
    }
    if (call.unit.parameterCount > 1) {
        fail(ErrorCode::ParameterNotAllowed);
        return nullptr;
    }
    return &call.unit.parameters[0];
}

std::optional<ScpiInterpreter::Asked> ScpiInterpreter::asked(const Call& call)
{
    if (call.unit.parameterCount == 0)
        return Asked::InForce;
    if (call.unit.parameterCount > 1) {
        fail(ErrorCode::ParameterNotAllowed);
        return std::nullopt;
    }
    const Parameter& p = call.unit.parameters[0];
    if (p.kind != ParameterKind::Characters) {
        fail(ErrorCode::DataType);
        return std::nullopt;
    }
    if (isMnemonic(p.text, "MINimum"))
        return Asked::Min;
    if (isMnemonic(p.text, "MAXimum"))
        return Asked::Max;
    if (isMnemonic(p.text, "DEFault"))
        return Asked::Default;
    fail(ErrorCode::IllegalParameterValue);
    return std::nullopt;
}

std::optional<double> ScpiInterpreter::numberOf(const Parameter& p, Unit unit, const Limits& limits)
{
    if (p.kind == ParameterKind::Characters) {
        if (isMnemonic(p.text, "MINimum"))
            return limits.min;
        if (isMnemonic(p.text, "MAXimum"))
            return limits.max;
        if (isMnemonic(p.text, "DEFault"))
            return limits.byDefault;
        fail(ErrorCode::IllegalParameterValue);
        return std::nullopt;
    }
    if (p.kind == ParameterKind::String) {
        fail(ErrorCode::DataType);
        return std::nullopt;
    }
    if (p.suffix.empty())
        return p.number;
    std::span<const Scale> scales;
    switch (unit) {
    case Unit::None:
        fail(ErrorCode::SuffixNotAllowed);
        return std::nullopt;
    case Unit::Hertz:
        scales = HertzScales;
        break;
    case Unit::Second:
        scales = SecondScales;
        break;
    case Unit::Degree:
        scales = DegreeScales;
        break;
    case Unit::Percent:
        scales = PercentScales;
        break;
    case Unit::Volt:
        scales = VoltScales;
        break;
    }
    for (const Scale& s : scales)
        if (equalsIgnoringCase(p.suffix, s.suffix))
            return p.number * s.factor;
    fail(ErrorCode::InvalidSuffix);
    return std::nullopt;
}

std::optional<int32_t> ScpiInterpreter::wholeWithin(double value, double min, double max)
{
    const double whole = std::nearbyint(value);
    if (!(whole >= min && whole <= max)) {
        fail(ErrorCode::DataOutOfRange);
        return std::nullopt;
    }
    return int32_t(whole);
}

std::optional<int32_t> ScpiInterpreter::wholeParameter(
    const Call& call, Unit unit, const Limits& limits)
{
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return std::nullopt;
    const std::optional<double> value = numberOf(*p, unit, limits);
    if (!value)
        return std::nullopt;
    return wholeWithin(*value, limits.min, limits.max);
}

std::optional<double> ScpiInterpreter::numberWithin(
    const Call& call, Unit unit, const Limits& limits)
{
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return std::nullopt;
    const auto value = numberOf(*p, unit, limits);
    if (!value)
        return std::nullopt;
    if (!(*value >= limits.min && *value <= limits.max)) {
        fail(ErrorCode::DataOutOfRange);
        return std::nullopt;
    }
    return value;
}

std::optional<bool> ScpiInterpreter::booleanOf(const Parameter& p)
{
    if (p.kind == ParameterKind::String) {
        fail(ErrorCode::DataType);
        return std::nullopt;
    }
    if (p.kind == ParameterKind::Characters) {
        if (isMnemonic(p.text, "ON"))
            return true;
        if (isMnemonic(p.text, "OFF"))
            return false;
    } else if (!p.suffix.empty()) {
        fail(ErrorCode::SuffixNotAllowed);
        return std::nullopt;
    } else {
        // As the standard reads a number for a boolean: rounded to a whole number, anything
        // but 0 is ON (0.4 is OFF, -1 and 2 are ON).
        return std::nearbyint(p.number) != 0.0;
    }
    fail(ErrorCode::IllegalParameterValue);
    return std::nullopt;
}

std::optional<Tone> ScpiInterpreter::toneOf(const Call& call)
{
    if (call.suffixes[0] == 1)
        return Tone::F1;
    if (call.suffixes[0] == 2)
        return Tone::F2;
    fail(ErrorCode::HeaderSuffixOutOfRange);
    return std::nullopt;
}

bool ScpiInterpreter::firstSuffixIsOne(const Call& call)
{
    if (call.suffixes[0] == 1)
        return true;
    fail(ErrorCode::HeaderSuffixOutOfRange);
    return false;
}

void ScpiInterpreter::answerLimit(Asked which, double inForce, const Limits& limits, bool whole)
{
    double value = inForce;
    if (which == Asked::Min)
        value = limits.min;
    else if (which == Asked::Max)
        value = limits.max;
    else if (which == Asked::Default)
        value = limits.byDefault;
    answer(whole ? wholeText((long long)value) : realText(value));
}

namespace {
    // Character data among `choices`: its value, or the error's code.
    struct Chosen {
        int value = 0;
        int16_t error = ErrorCode::None;
    };
    Chosen choose(const Parameter& p, std::span<const Choice> choices)
    {
        if (p.kind != ParameterKind::Characters)
            return { 0, ErrorCode::DataType };
        for (const Choice& c : choices)
            if (isMnemonic(p.text, c.mnemonic))
                return { c.value, ErrorCode::None };
        return { 0, ErrorCode::IllegalParameterValue };
    }
} // namespace

// ---- common commands ------------------------------------------------------------------

void ScpiInterpreter::clearStatus(const Call& call)
{
    if (!noParameters(call))
        return;
    m_errors.clear();
    m_eventStatus = 0;
}

void ScpiInterpreter::setEventEnable(const Call& call)
{
    if (const auto mask = wholeParameter(call, Unit::None, { 0, 255, 0 }))
        m_eventEnable = uint8_t(*mask);
}

void ScpiInterpreter::queryEventEnable(const Call& call)
{
    if (noParameters(call))
        answer(wholeText(m_eventEnable));
}

void ScpiInterpreter::queryEventStatus(const Call& call)
{
    if (!noParameters(call))
        return;
    answer(wholeText(m_eventStatus));
    m_eventStatus = 0;
}

void ScpiInterpreter::queryIdentification(const Call& call)
{
    if (!noParameters(call))
        return;
    answer(identification());
    m_indefiniteAnswered = true;
}

// A command has finished when the next is read, but its sound is heard later: *OPC, *OPC?
// and *WAI complete when the output carries every change before them (the model waits for
// the device to be handed it). A device that never takes it queues the model's error; the
// operation is then over all the same.
void ScpiInterpreter::setOperationComplete(const Call& call)
{
    if (!noParameters(call))
        return;
    apply(m_model.waitForOutput());
    m_eventStatus |= EventStatus::OperationComplete;
}

void ScpiInterpreter::queryOperationComplete(const Call& call)
{
    if (!noParameters(call))
        return;
    apply(m_model.waitForOutput());
    answer("1");
}

void ScpiInterpreter::reset(const Call& call)
{
    if (!noParameters(call))
        return;
    m_voltageUnit = VoltageUnit::Vpp;
    apply(m_model.reset());
}

void ScpiInterpreter::setServiceEnable(const Call& call)
{
    // Bit 6 is the summary itself and cannot be enabled.
    if (const auto mask = wholeParameter(call, Unit::None, { 0, 255, 0 }))
        m_serviceEnable = uint8_t(*mask & ~StatusByte::MasterSummary);
}

void ScpiInterpreter::queryServiceEnable(const Call& call)
{
    if (noParameters(call))
        answer(wholeText(m_serviceEnable));
}

void ScpiInterpreter::queryStatusByte(const Call& call)
{
    if (noParameters(call))
        answer(wholeText(statusByte()));
}

void ScpiInterpreter::querySelfTest(const Call& call)
{
    // There is no hardware of our own to test: 0, passed.
    if (noParameters(call))
        answer("0");
}

void ScpiInterpreter::wait(const Call& call)
{
    if (noParameters(call))
        apply(m_model.waitForOutput());
}

// ---- SYSTem ---------------------------------------------------------------------------

void ScpiInterpreter::queryNextError(const Call& call)
{
    if (!noParameters(call))
        return;
    const ScpiError error = m_errors.pop();
    answer(wholeText(error.code) + ',' + quoted(error.text));
}

void ScpiInterpreter::queryErrorCount(const Call& call)
{
    if (noParameters(call))
        answer(wholeText((long long)m_errors.size()));
}

void ScpiInterpreter::queryVersion(const Call& call)
{
    if (noParameters(call))
        answer("1999.0");
}

// ---- the signal -----------------------------------------------------------------------

namespace {
    double startFrequency(Tone tone)
    {
        return tone == Tone::F1 ? StartFrequency1 : StartFrequency2;
    }
} // namespace

// Frequencies to the micro-hertz: a number's digits beyond 1 uHz are below the instrument's
// resolution and round to it; a fraction of a hertz is the instrument's to take or refuse
// (the exact synthesis refuses it), never rounded away here.
void ScpiInterpreter::setFrequency(const Call& call)
{
    const auto tone = toneOf(call);
    if (!tone)
        return;
    const InstrumentModel::FrequencyRange range = m_model.frequencyRange();
    const Limits limits { double(range.min) / 1e6, double(range.max) / 1e6, startFrequency(*tone) };
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const std::optional<double> hz = numberOf(*p, Unit::Hertz, limits);
    if (!hz)
        return;
    const double microhertz = *hz * 1e6;
    if (!(microhertz >= 0.0 && microhertz <= 1e15)) {
        fail(ErrorCode::DataOutOfRange);
        return;
    }
    apply(m_model.setFrequencyMicrohertz(*tone, std::llround(microhertz)));
}

void ScpiInterpreter::queryFrequency(const Call& call)
{
    const auto tone = toneOf(call);
    if (!tone)
        return;
    const auto which = asked(call);
    if (!which)
        return;
    const InstrumentModel::FrequencyRange range = m_model.frequencyRange();
    switch (*which) {
    case Asked::InForce:
        answer(hertzText(m_model.frequencyMicrohertz(*tone)));
        break;
    case Asked::Min:
        answer(hertzText(range.min));
        break;
    case Asked::Max:
        answer(hertzText(range.max));
        break;
    case Asked::Default:
        answer(hertzText(int64_t(startFrequency(*tone)) * MicrohertzPerHertz));
        break;
    }
}

void ScpiInterpreter::setFunction(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, Functions);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else if (chosen.value == PinkFunction)
        apply(m_model.setPinkNoise());
    else
        apply(m_model.setWaveform(WaveformIndex(chosen.value)));
}

void ScpiInterpreter::queryFunction(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(Functions, m_model.pinkNoise() ? PinkFunction : m_model.waveform()));
}

void ScpiInterpreter::setDuty(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto percent
        = wholeParameter(call, Unit::Percent, { MinDutyPercent, MaxDutyPercent, StartDutyPercent }))
        apply(m_model.setDutyPercent(*percent));
}

void ScpiInterpreter::queryDuty(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.dutyPercent(),
            { MinDutyPercent, MaxDutyPercent, StartDutyPercent }, true);
}

namespace {
    double rmsOf(const InstrumentModel& model, Tone tone)
    {
        // F2 is always a sine.
        return rmsAtUnitPeak(tone == Tone::F1 ? model.waveform() : WaveSine);
    }
} // namespace

void ScpiInterpreter::setVoltage(const Call& call)
{
    const auto tone = toneOf(call);
    if (!tone)
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    if (p->kind == ParameterKind::Characters) {
        if (isMnemonic(p->text, "MINimum"))
            apply(m_model.setLevelFactor(*tone, MinLevelFactor));
        else if (isMnemonic(p->text, "MAXimum"))
            apply(m_model.setLevelFactor(*tone, FullScaleLevel));
        else if (isMnemonic(p->text, "DEFault"))
            apply(m_model.setLevelStep(*tone, StartLevelStep));
        else
            fail(ErrorCode::IllegalParameterValue);
        return;
    }
    if (p->kind == ParameterKind::String) {
        fail(ErrorCode::DataType);
        return;
    }
    // A unit suffix may name the unit; a bare V, mV or uV is the unit in force.
    struct VoltSuffix {
        std::string_view suffix;
        double factor;
        std::optional<VoltageUnit> unit;
    };
    static constexpr VoltSuffix suffixes[] = {
        { "", 1.0, std::nullopt },
        { "V", 1.0, std::nullopt },
        { "MV", 1e-3, std::nullopt },
        { "UV", 1e-6, std::nullopt },
        { "VPP", 1.0, VoltageUnit::Vpp },
        { "MVPP", 1e-3, VoltageUnit::Vpp },
        { "VRMS", 1.0, VoltageUnit::Vrms },
        { "MVRMS", 1e-3, VoltageUnit::Vrms },
        { "DBFS", 1.0, VoltageUnit::Dbfs },
        { "DBV", 1.0, VoltageUnit::Dbv },
        { "DBU", 1.0, VoltageUnit::Dbu },
    };
    const VoltSuffix* found = nullptr;
    for (const VoltSuffix& s : suffixes)
        if (equalsIgnoringCase(p->suffix, s.suffix))
            found = &s;
    if (found == nullptr) {
        fail(ErrorCode::InvalidSuffix);
        return;
    }
    const VoltageUnit unit = found->unit.value_or(m_voltageUnit);
    const bool decibels
        = unit == VoltageUnit::Dbfs || unit == VoltageUnit::Dbv || unit == VoltageUnit::Dbu;
    if (!found->unit && !p->suffix.empty() && decibels) {
        fail(ErrorCode::SuffixNotAllowed); // volts for a level in decibels
        return;
    }
    // Exactly the level asked for; one beyond full scale (or 120 dB below it) is refused,
    // never brought within.
    const auto factor = factorOfLevel(
        p->number * found->factor, unit, m_model.fullScaleVpp(), rmsOf(m_model, *tone));
    if (!factor) {
        fail(ErrorCode::DataOutOfRange);
        return;
    }
    apply(m_model.setLevelFactor(*tone, *factor));
}

void ScpiInterpreter::queryVoltage(const Call& call)
{
    const auto tone = toneOf(call);
    if (!tone)
        return;
    const auto which = asked(call);
    if (!which)
        return;
    double factor = m_model.levelFactor(*tone);
    if (*which == Asked::Min)
        factor = MinLevelFactor;
    else if (*which == Asked::Max)
        factor = FullScaleLevel;
    else if (*which == Asked::Default)
        factor = ::vellox::levelFactor(StartLevelStep);
    // Ten digits: a level reads back as it was sent (VOLT 0.6 reads 0.6).
    answer(preciseText(
        levelInUnit(factor, m_voltageUnit, m_model.fullScaleVpp(), rmsOf(m_model, *tone))));
}

void ScpiInterpreter::setVoltageUnit(const Call& call)
{
    if (!toneOf(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, VoltageUnits);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        m_voltageUnit = VoltageUnit(chosen.value);
}

void ScpiInterpreter::queryVoltageUnit(const Call& call)
{
    if (toneOf(call) && noParameters(call))
        answer(shortFormOf(VoltageUnits, int(m_voltageUnit)));
}

void ScpiInterpreter::setFullScale(const Call& call)
{
    if (!toneOf(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Limits limits { MinFullScaleVpp, MaxFullScaleVpp, StartFullScaleVpp };
    const auto vpp = numberOf(*p, Unit::Volt, limits);
    if (!vpp)
        return;
    if (!(*vpp >= limits.min && *vpp <= limits.max)) {
        fail(ErrorCode::DataOutOfRange);
        return;
    }
    apply(m_model.setFullScaleVpp(*vpp));
}

void ScpiInterpreter::queryFullScale(const Call& call)
{
    if (!toneOf(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.fullScaleVpp(),
            { MinFullScaleVpp, MaxFullScaleVpp, StartFullScaleVpp }, false);
}

void ScpiInterpreter::setChannelMode(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, ChannelModes);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setChannelMode(ChannelModeValue(chosen.value)));
}

void ScpiInterpreter::queryChannelMode(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(ChannelModes, m_model.channelMode()));
}

void ScpiInterpreter::setNoise(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const double stepPercent = 100.0 / MaxNoiseStep;
    const auto percent = numberOf(*p, Unit::Percent, { 0, 100, StartNoiseStep * stepPercent });
    if (!percent)
        return;
    if (const auto step = wholeWithin(*percent / stepPercent, 0, MaxNoiseStep))
        apply(m_model.setNoiseStep(*step));
}

void ScpiInterpreter::queryNoise(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const double stepPercent = 100.0 / MaxNoiseStep;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.noiseStep() * stepPercent,
            { 0, 100, StartNoiseStep * stepPercent }, true);
}

void ScpiInterpreter::setSweep(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, SweepModes);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setSweepMode(SweepMode(chosen.value)));
}

void ScpiInterpreter::querySweep(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(SweepModes, int(m_model.sweepMode())));
}

// ---- the sweep of a set length ----------------------------------------------------------

// SWEep:TIME, :HTIMe and :RTIMe: the time each sets, and its range.
struct ScpiInterpreter::SweepTimeOf {
    double TimedSweep::*field;
    double min;
    double byDefault;
};

void ScpiInterpreter::editSweep(const std::function<void(TimedSweep&)>& edit)
{
    TimedSweep sweep = m_model.timedSweep();
    edit(sweep);
    apply(m_model.setTimedSweep(sweep));
}

void ScpiInterpreter::setSweepState(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    if (const auto on = booleanOf(*p))
        editSweep([&](TimedSweep& w) { w.On = *on; });
}

void ScpiInterpreter::querySweepState(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(m_model.timedSweep().On ? "1" : "0");
}

void ScpiInterpreter::setSweepSpacing(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, SweepSpacings);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        editSweep([&](TimedSweep& w) { w.Logarithmic = chosen.value == 1; });
}

void ScpiInterpreter::querySweepSpacing(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(SweepSpacings, m_model.timedSweep().Logarithmic ? 1 : 0));
}

void ScpiInterpreter::setSweepCount(const Call& call)
{
    // INFinity sweeps again and again; 1 sweeps once and leaves F1 silent.
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    if (p->kind == ParameterKind::Characters && isMnemonic(p->text, "INFinity")) {
        editSweep([](TimedSweep& w) { w.Once = false; });
        return;
    }
    const auto count = numberOf(*p, Unit::None, { 1.0, 1.0, 1.0 });
    if (!count)
        return;
    if (std::isinf(*count) && *count > 0) {
        editSweep([](TimedSweep& w) { w.Once = false; });
        return;
    }
    if (std::nearbyint(*count) != 1.0) {
        fail(ErrorCode::DataOutOfRange, "1 or INFinity");
        return;
    }
    editSweep([](TimedSweep& w) { w.Once = true; });
}

void ScpiInterpreter::querySweepCount(const Call& call)
{
    // SCPI's infinity: 9.9E37.
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(m_model.timedSweep().Once ? "1" : "9.9E+37");
}

void ScpiInterpreter::setSweepSeconds(const Call& call, const SweepTimeOf& time)
{
    if (!firstSuffixIsOne(call))
        return;
    const auto seconds
        = numberWithin(call, Unit::Second, { time.min, MaxSweepSeconds, time.byDefault });
    if (!seconds)
        return;
    editSweep([&](TimedSweep& w) { w.*time.field = *seconds; });
}

void ScpiInterpreter::querySweepSeconds(const Call& call, const SweepTimeOf& time)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.timedSweep().*time.field,
            { time.min, MaxSweepSeconds, time.byDefault }, false);
}

const ScpiInterpreter::SweepTimeOf ScpiInterpreter::SweepTime { &TimedSweep::Seconds,
    MinSweepSeconds, 1.0 };
const ScpiInterpreter::SweepTimeOf ScpiInterpreter::HoldTime { &TimedSweep::HoldSeconds, 0.0, 0.0 };
const ScpiInterpreter::SweepTimeOf ScpiInterpreter::ReturnTime { &TimedSweep::ReturnSeconds, 0.0,
    0.0 };

void ScpiInterpreter::setSweepTime(const Call& call)
{
    setSweepSeconds(call, SweepTime);
}
void ScpiInterpreter::querySweepTime(const Call& call)
{
    querySweepSeconds(call, SweepTime);
}
void ScpiInterpreter::setHoldTime(const Call& call)
{
    setSweepSeconds(call, HoldTime);
}
void ScpiInterpreter::queryHoldTime(const Call& call)
{
    querySweepSeconds(call, HoldTime);
}
void ScpiInterpreter::setReturnTime(const Call& call)
{
    setSweepSeconds(call, ReturnTime);
}
void ScpiInterpreter::queryReturnTime(const Call& call)
{
    querySweepSeconds(call, ReturnTime);
}

// ---- two-tone sets ----------------------------------------------------------------------

void ScpiInterpreter::setTwoTone(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, std::span(TwoToneSets).first(2)); // NONE is no set
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setTwoTone(TwoToneSet(chosen.value)));
}

void ScpiInterpreter::queryTwoTone(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call)) {
        const std::optional<TwoToneSet> set = m_model.twoTone();
        answer(shortFormOf(TwoToneSets, set ? int(*set) : -1));
    }
}

// ---- tone bursts ------------------------------------------------------------------------

void ScpiInterpreter::editBurst(const std::function<void(ToneBurst&)>& edit)
{
    ToneBurst burst = m_model.burst();
    edit(burst);
    apply(m_model.setBurst(burst));
}

void ScpiInterpreter::setBurstState(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    if (const auto on = booleanOf(*p))
        editBurst([&](ToneBurst& b) { b.On = *on; });
}

void ScpiInterpreter::queryBurstState(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(m_model.burst().On ? "1" : "0");
}

void ScpiInterpreter::setBurstCycles(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto cycles = wholeParameter(call, Unit::None, { 1.0, double(MaxBurstCycles), 1.0 }))
        editBurst([&](ToneBurst& b) { b.Cycles = *cycles; });
}

void ScpiInterpreter::queryBurstCycles(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(
            *which, double(m_model.burst().Cycles), { 1.0, double(MaxBurstCycles), 1.0 }, true);
}

void ScpiInterpreter::setBurstPeriod(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const auto seconds = numberWithin(call, Unit::Second, { MinBurstPeriod, MaxBurstPeriod, 0.01 });
    if (!seconds)
        return;
    editBurst([&](ToneBurst& b) { b.PeriodSeconds = *seconds; });
}

void ScpiInterpreter::queryBurstPeriod(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(
            *which, m_model.burst().PeriodSeconds, { MinBurstPeriod, MaxBurstPeriod, 0.01 }, false);
}

void ScpiInterpreter::setBurstPhase(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    // A bench generator's -360..360 degrees, kept as the same turn in 0..360.
    const auto degrees = numberWithin(call, Unit::Degree, { -360.0, 360.0, 0.0 });
    if (!degrees)
        return;
    const double turn = std::fmod(*degrees + 360.0, 360.0);
    editBurst([&](ToneBurst& b) { b.PhaseDegrees = turn < 360.0 ? turn : 0.0; });
}

void ScpiInterpreter::queryBurstPhase(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.burst().PhaseDegrees, { -360.0, 360.0, 0.0 }, false);
}

void ScpiInterpreter::setFrequencyStart(const Call& call)
{
    // The sweep starts at F1: FREQ:STAR is FREQ.
    if (firstSuffixIsOne(call))
        setFrequency(call);
}

void ScpiInterpreter::queryFrequencyStart(const Call& call)
{
    if (firstSuffixIsOne(call))
        queryFrequency(call);
}

void ScpiInterpreter::setFrequencyStop(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const int64_t most = maxStreamFrequency(m_model.sampleRate());
    const Limits limits { 1.0, double(most) / 1e6, double(StartFrequency1) };
    const auto hz = numberOf(*p, Unit::Hertz, limits);
    if (!hz)
        return;
    const double microhertz = std::nearbyint(*hz * 1e6);
    if (!(microhertz >= double(MinStreamFrequency) && microhertz <= double(most))) {
        fail(ErrorCode::DataOutOfRange);
        return;
    }
    editSweep([&](TimedSweep& w) { w.Stop = int64_t(microhertz); });
}

void ScpiInterpreter::queryFrequencyStop(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const auto which = asked(call);
    if (!which)
        return;
    const int64_t stop = *which == Asked::Min ? MinStreamFrequency
        : *which == Asked::Max                ? maxStreamFrequency(m_model.sampleRate())
        : *which == Asked::Default            ? int64_t(StartFrequency1) * MicrohertzPerHertz
                                              : m_model.timedSweep().Stop;
    answer(hertzText(stop));
}

void ScpiInterpreter::setSampleRate(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const std::span<const int32_t> rates = m_model.sampleRates();
    if (rates.empty()) {
        fail(ErrorCode::Execution);
        return;
    }
    const auto rate = wholeParameter(
        call, Unit::Hertz, { double(rates.front()), double(rates.back()), StartSampleRate });
    if (!rate)
        return;
    for (const int32_t offered : rates) {
        if (offered == *rate) {
            apply(m_model.setSampleRate(*rate));
            return;
        }
    }
    fail(ErrorCode::IllegalParameterValue); // within the range, but not a rate offered
}

void ScpiInterpreter::querySampleRate(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const std::span<const int32_t> rates = m_model.sampleRates();
    const auto which = asked(call);
    if (!which)
        return;
    if (rates.empty()) {
        answerLimit(Asked::InForce, m_model.sampleRate(), { 0, 0, 0 }, true);
        return;
    }
    answerLimit(*which, m_model.sampleRate(),
        { double(rates.front()), double(rates.back()), StartSampleRate }, true);
}

// ---- the bit code ---------------------------------------------------------------------

void ScpiInterpreter::applyBitCode(int field, const std::string& text)
{
    // The dialog's rules read the three boxes; the two that do not change are written so
    // that they read back as the values stored.
    const Module1& current = m_model.bitCode();
    BitCodeTexts texts;
    texts.Text1 = current.BitCode;
    texts.Text2 = storedText(current.RepetitiveTime, 1000.0);
    texts.Text3 = storedText(current.BitLength, 1000000.0);
    if (field == PatternField)
        texts.Text1 = text;
    else if (field == RepetitionField)
        texts.Text2 = text;
    else
        texts.Text3 = text;
    const BitCodeOutcome outcome = checkBitCodeEntries(texts, current);
    if (!outcome.messages.empty()) {
        // Where the dialog would show a message and store a replacement, the remote
        // refuses the change and leaves the settings as they were.
        fail(ErrorCode::DataOutOfRange, oneLine(outcome.messages.front()));
        return;
    }
    apply(m_model.setBitCode(outcome.stored));
}

void ScpiInterpreter::setBitPattern(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    std::string pattern;
    if (p->kind == ParameterKind::String) {
        pattern = p->string;
    } else if (p->kind == ParameterKind::Number) {
        if (!p->suffix.empty()) {
            fail(ErrorCode::SuffixNotAllowed);
            return;
        }
        pattern = std::string(p->text); // the digits as sent: "0011" keeps its zeros
    } else {
        fail(ErrorCode::DataType);
        return;
    }
    // The dialog's key filter lets only 0 and 1 into the pattern.
    if (pattern.find_first_not_of("01") != std::string::npos) {
        fail(ErrorCode::DataOutOfRange, oneLine(BitSymbolMessage));
        return;
    }
    applyBitCode(PatternField, pattern);
}

void ScpiInterpreter::queryBitPattern(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(quoted(m_model.bitCode().BitCode));
}

namespace {
    constexpr double MicrosecondsPerSecond = 1000000.0;
    constexpr double MillisecondsPerSecond = 1000.0;
} // namespace

void ScpiInterpreter::setBitLength(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Limits limits { MinBitLengthUs / MicrosecondsPerSecond,
        MaxBitLengthUs / MicrosecondsPerSecond, double(FallbackBitLength) };
    if (const auto seconds = numberOf(*p, Unit::Second, limits))
        applyBitCode(BitLengthField, exactText(*seconds * MicrosecondsPerSecond));
}

void ScpiInterpreter::queryBitLength(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, double(m_model.bitCode().BitLength),
            { MinBitLengthUs / MicrosecondsPerSecond, MaxBitLengthUs / MicrosecondsPerSecond,
                double(FallbackBitLength) },
            false);
}

void ScpiInterpreter::setRepetitionTime(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Limits limits { MinRepetitiveMs / MillisecondsPerSecond,
        MaxRepetitiveMs / MillisecondsPerSecond, double(FallbackRepetitiveTime) };
    if (const auto seconds = numberOf(*p, Unit::Second, limits))
        applyBitCode(RepetitionField, exactText(*seconds * MillisecondsPerSecond));
}

void ScpiInterpreter::queryRepetitionTime(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, double(m_model.bitCode().RepetitiveTime),
            { MinRepetitiveMs / MillisecondsPerSecond, MaxRepetitiveMs / MillisecondsPerSecond,
                double(FallbackRepetitiveTime) },
            false);
}

// ---- output and the instrument-grade settings -------------------------------------------

void ScpiInterpreter::setOutput(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    if (const auto on = booleanOf(*p))
        apply(m_model.setOutput(*on));
}

void ScpiInterpreter::queryOutput(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(m_model.outputOn() ? "1" : "0");
}

void ScpiInterpreter::setSampleFormat(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, SampleFormats);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setSampleFormat(SampleFormat(chosen.value)));
}

void ScpiInterpreter::querySampleFormat(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(SampleFormats, int(m_model.sampleFormat())));
}

void ScpiInterpreter::setLatency(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const IntRange range = m_model.latencyRange();
    const Limits limits { range.min / MillisecondsPerSecond, range.max / MillisecondsPerSecond,
        range.start / MillisecondsPerSecond };
    const auto seconds = numberOf(*p, Unit::Second, limits);
    if (!seconds)
        return;
    if (const auto ms = wholeWithin(*seconds * MillisecondsPerSecond, range.min, range.max))
        apply(m_model.setLatencyMs(*ms));
}

void ScpiInterpreter::queryLatency(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const IntRange range = m_model.latencyRange();
    if (const auto which = asked(call))
        answerLimit(*which, m_model.latencyMs() / MillisecondsPerSecond,
            { range.min / MillisecondsPerSecond, range.max / MillisecondsPerSecond,
                range.start / MillisecondsPerSecond },
            false);
}

void ScpiInterpreter::setSynthesis(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, Syntheses);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setSynthesis(Synthesis(chosen.value)));
}

void ScpiInterpreter::querySynthesis(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(Syntheses, int(m_model.synthesis())));
}

void ScpiInterpreter::setDither(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Chosen chosen = choose(*p, Dithers);
    if (chosen.error != ErrorCode::None)
        fail(chosen.error);
    else
        apply(m_model.setDither(Dither(chosen.value)));
}

void ScpiInterpreter::queryDither(const Call& call)
{
    if (firstSuffixIsOne(call) && noParameters(call))
        answer(shortFormOf(Dithers, int(m_model.dither())));
}

void ScpiInterpreter::setPhase(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    // A bench generator takes -360..360 degrees: -90 is the phase of 270, 360 that of 0.
    // MIN and MAX stay the ends of what is kept, 0 and 359.
    const Parameter* p = oneParameter(call);
    if (p == nullptr)
        return;
    const Limits kept { 0, MaxPhaseDegrees, 0 };
    const bool number = p->kind == ParameterKind::Number;
    if (const auto degrees
        = wholeParameter(call, Unit::Degree, number ? Limits { -360, 360, 0 } : kept))
        apply(m_model.setPhaseDegrees((*degrees % 360 + 360) % 360));
}

void ScpiInterpreter::queryPhase(const Call& call)
{
    if (!firstSuffixIsOne(call))
        return;
    if (const auto which = asked(call))
        answerLimit(*which, m_model.phaseDegrees(), { 0, MaxPhaseDegrees, 0 }, true);
}

} // namespace vellox::remote
