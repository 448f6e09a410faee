#pragma once

// The SCPI interpreter of one remote session: program messages in, response messages
// out, over one InstrumentModel. It keeps what the standard gives each session: the error
// queue, the event status register and its enable masks, the current path within a
// message and the voltage unit. The settings themselves live in the model only.
//
// A message is executed unit by unit. A command error (-1xx: a unit not understood) ends
// the message there: what came before it has run, nothing after it runs. An execution
// error (-2xx: understood but refused) leaves the setting as it was and goes on with the
// next unit. Queries answer in order, joined by semicolons into one line.
//
// Not thread-safe: one interpreter per connection, called from the thread that may call
// the model.

#include "ErrorQueue.h"
#include "HeaderPattern.h"
#include "InstrumentModel.h"
#include "LevelScale.h"
#include "ProgramMessage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellox::remote {

// The event status register's bits (*ESR?).
namespace EventStatus {
    inline constexpr uint8_t OperationComplete = 0x01;
    inline constexpr uint8_t QueryError = 0x04;
    inline constexpr uint8_t DeviceError = 0x08;
    inline constexpr uint8_t ExecutionError = 0x10;
    inline constexpr uint8_t CommandError = 0x20;
} // namespace EventStatus

// The status byte's bits (*STB?).
namespace StatusByte {
    inline constexpr uint8_t ErrorQueueNotEmpty = 0x04;
    inline constexpr uint8_t EventStatusSummary = 0x20; // ESR & ESE non-zero
    inline constexpr uint8_t MasterSummary = 0x40; // the other bits & SRE non-zero
} // namespace StatusByte

// The maker and the model in *IDN?, as the About box and the settings' folder name them.
inline constexpr std::string_view IdnMaker = "Korvane";
inline constexpr std::string_view IdnModel = "Vellox";

// The longest answer one line may have, its line feed not counted. A query that would pass
// it empties the line's answer, queues -225 and ends the line there.
inline constexpr std::size_t MaxAnswerBytes = 1024 * 1024;

class ScpiInterpreter {
public:
    explicit ScpiInterpreter(InstrumentModel& model);

    // Executes one program message: a line without its line feed (a carriage return left
    // before it counts as a blank). Returns the response message with its line feed, or
    // "" when the message asked nothing that could be answered. A message longer than
    // MaxLineBytes is refused whole, as refuseLongLine does.
    std::string execute(std::string_view message);
    // The same, into `response` (emptied first), for a caller that keeps its buffer.
    void execute(std::string_view message, std::string& response);

    // Queues -363 "Input buffer overrun" for a line the LineSplitter refused.
    void refuseLongLine();

    uint8_t eventStatus() const { return m_eventStatus; }
    uint8_t statusByte() const;
    const ErrorQueue& errors() const { return m_errors; }
    VoltageUnit voltageUnit() const { return m_voltageUnit; }

    // "Korvane,Vellox,0,<the project's version>", as *IDN? answers.
    static std::string identification();

private:
    struct Command; // a header of the tree and its two handlers
    struct Call; // what a handler is given: the unit and the header's numeric suffixes
    enum class Asked : uint8_t { InForce, Min, Max, Default };
    enum class Unit : uint8_t { None, Hertz, Second, Degree, Percent, Volt };
    struct Limits {
        double min;
        double max;
        double byDefault;
    };

    bool runUnit(const ProgramUnit& unit);
    bool runCommon(const ProgramUnit& unit);
    void answer(std::string_view text);
    void fail(const ScpiError& error);
    void fail(int16_t code, std::string_view detail = {});
    void apply(const SetResult& result);

    // Parameter helpers: each queues its error and returns nothing when the parameter
    // does not fit.
    bool noParameters(const Call& call);
    const Parameter* oneParameter(const Call& call);
    std::optional<Asked> asked(const Call& call);
    std::optional<double> numberOf(const Parameter& p, Unit unit, const Limits& limits);
    std::optional<int32_t> wholeWithin(double value, double min, double max);
    std::optional<int32_t> wholeParameter(const Call& call, Unit unit, const Limits& limits);
    // One number within the limits (MIN, MAX and DEF among them); -222 outside.
    std::optional<double> numberWithin(const Call& call, Unit unit, const Limits& limits);
    std::optional<bool> booleanOf(const Parameter& p);
    std::optional<Tone> toneOf(const Call& call);
    bool firstSuffixIsOne(const Call& call);
    void answerLimit(Asked asked, double inForce, const Limits& limits, bool whole);
    void applyBitCode(int field, const std::string& text);

    // Common commands.
    void clearStatus(const Call&);
    void setEventEnable(const Call&);
    void queryEventEnable(const Call&);
    void queryEventStatus(const Call&);
    void queryIdentification(const Call&);
    void setOperationComplete(const Call&);
    void queryOperationComplete(const Call&);
    void reset(const Call&);
    void setServiceEnable(const Call&);
    void queryServiceEnable(const Call&);
    void queryStatusByte(const Call&);
    void querySelfTest(const Call&);
    void wait(const Call&);
    // The tree.
    void queryNextError(const Call&);
    void queryErrorCount(const Call&);
    void queryVersion(const Call&);
    void setFrequency(const Call&);
    void queryFrequency(const Call&);
    void setFunction(const Call&);
    void queryFunction(const Call&);
    void setDuty(const Call&);
    void queryDuty(const Call&);
    void setVoltage(const Call&);
    void queryVoltage(const Call&);
    void setVoltageUnit(const Call&);
    void queryVoltageUnit(const Call&);
    void setFullScale(const Call&);
    void queryFullScale(const Call&);
    void setOutput(const Call&);
    void queryOutput(const Call&);
    void setSampleFormat(const Call&);
    void querySampleFormat(const Call&);
    void setLatency(const Call&);
    void queryLatency(const Call&);
    void setChannelMode(const Call&);
    void queryChannelMode(const Call&);
    void setNoise(const Call&);
    void queryNoise(const Call&);
    void setSweep(const Call&);
    void querySweep(const Call&);
    void editSweep(const std::function<void(TimedSweep&)>& edit);
    void setSweepState(const Call&);
    void querySweepState(const Call&);
    void setSweepSpacing(const Call&);
    void setSweepCount(const Call&);
    void querySweepCount(const Call&);
    void querySweepSpacing(const Call&);
    struct SweepTimeOf;
    static const SweepTimeOf SweepTime, HoldTime, ReturnTime;
    void setSweepSeconds(const Call& call, const SweepTimeOf& time);
    void querySweepSeconds(const Call& call, const SweepTimeOf& time);
    void setSweepTime(const Call&);
    void querySweepTime(const Call&);
    void setHoldTime(const Call&);
    void queryHoldTime(const Call&);
    void setReturnTime(const Call&);
    void queryReturnTime(const Call&);
    void setTwoTone(const Call&);
    void queryTwoTone(const Call&);
    void editBurst(const std::function<void(ToneBurst&)>& edit);
    void setBurstState(const Call&);
    void queryBurstState(const Call&);
    void setBurstCycles(const Call&);
    void queryBurstCycles(const Call&);
    void setBurstPeriod(const Call&);
    void queryBurstPeriod(const Call&);
    void setBurstPhase(const Call&);
    void queryBurstPhase(const Call&);
    void setFrequencyStart(const Call&);
    void queryFrequencyStart(const Call&);
    void setFrequencyStop(const Call&);
    void queryFrequencyStop(const Call&);
    void setSampleRate(const Call&);
    void querySampleRate(const Call&);
    void setBitPattern(const Call&);
    void queryBitPattern(const Call&);
    void setBitLength(const Call&);
    void queryBitLength(const Call&);
    void setRepetitionTime(const Call&);
    void queryRepetitionTime(const Call&);
    void setSynthesis(const Call&);
    void querySynthesis(const Call&);
    void setDither(const Call&);
    void queryDither(const Call&);
    void setPhase(const Call&);
    void queryPhase(const Call&);

    static const std::vector<Command>& commands();

    InstrumentModel& m_model;
    ErrorQueue m_errors;
    uint8_t m_eventStatus = 0;
    uint8_t m_eventEnable = 0;
    uint8_t m_serviceEnable = 0;
    VoltageUnit m_voltageUnit = VoltageUnit::Vpp;

    // Within one message: the path the next relative header starts from, whether a
    // command error ended it, whether *IDN? (whose answer must come last) has answered.
    std::array<HeaderNode, MaxHeaderNodes> m_path {};
    std::size_t m_pathLength = 0;
    bool m_stop = false;
    bool m_indefiniteAnswered = false;
    std::string* m_response = nullptr;
    ProgramUnit m_unit;
};

} // namespace vellox::remote
