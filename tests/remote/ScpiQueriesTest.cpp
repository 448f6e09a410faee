// Queries, the common commands, the status registers and the error queue: what a line
// answers, what the queue holds afterwards, and the bits of *ESR? and *STB?.

#include "LineSplitter.h"
#include "RemoteSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vellox;
using namespace vellox::remote;
using vellox::remote::test::RemoteSession;

namespace {

struct QueryCase {
    std::vector<std::string> before; // run first, without errors
    std::string query;
    std::string response; // without its line feed; "" for none
    std::vector<int> errors;
};

void runCases(const std::vector<QueryCase>& cases)
{
    for (const QueryCase& c : cases) {
        RemoteSession session;
        session.run(c.before);
        ASSERT_TRUE(session.drainErrors().empty()) << c.query;
        const std::string response = session.scpi.execute(c.query);
        EXPECT_EQ(response, c.response.empty() ? "" : c.response + "\n") << c.query;
        EXPECT_EQ(session.drainErrorCodes(), c.errors) << c.query;
    }
}

// The value a numeric query answers.
double answered(RemoteSession& session, const std::string& query)
{
    const std::string response = session.scpi.execute(query);
    EXPECT_TRUE(!response.empty() && response.back() == '\n') << query;
    char* end = nullptr;
    const double value = std::strtod(response.c_str(), &end);
    EXPECT_EQ(std::string(end), "\n") << query << ": " << response;
    return value;
}

} // namespace

TEST(ScpiQueries, EverySettingAnswersItsStartValue)
{
    runCases({
        { {}, "FREQ?", "1000", {} },
        { {}, "SOUR2:FREQ?", "100", {} },
        { {}, "FUNC?", "SIN", {} },
        { {}, "FUNC:SQU:DCYC?", "50", {} },
        { {}, "FUNC:PULS:DCYC?", "50", {} },
        { {}, "VOLT:UNIT?", "VPP", {} },
        { {}, "VOLT:CAL:FSC?", "2", {} },
        { {}, "OUTP?", "0", {} },
        { {}, "MODE?", "F1", {} },
        { {}, "NOIS?", "0", {} },
        { {}, "SWE:MODE?", "MAN", {} },
        { {}, "SWE:STAT?", "0", {} },
        { {}, "SWE:SPAC?", "LIN", {} },
        { {}, "SWE:TIME?", "1", {} },
        { {}, "SWE:COUN?", "9.9E+37", {} },
        { {}, "SWE:HTIM?", "0", {} },
        { {}, "SWE:RTIM?", "0", {} },
        { {}, "FREQ:STAR?", "1000", {} },
        { {}, "FREQ:STOP?", "1000", {} },
        { {}, "BURS:STAT?", "0", {} },
        { {}, "BURS:NCYC?", "1", {} },
        { {}, "BURS:INT:PER?", "0.01", {} },
        { {}, "BURS:PHAS?", "0", {} },
        { {}, "SRAT?", "98000", {} },
        { {}, "BITC?", "\"10011101010001101010111000101011\"", {} },
        { {}, "BITC:PER?", "1", {} },
        { {}, "BITC:BLEN?", "0.001", {} },
        { {}, "SYNT?", "EXAC", {} },
        { {}, "DITH?", "NONE", {} },
        { {}, "OUTP:FORM?", "S16", {} },
        { {}, "PHAS?", "0", {} },
        { {}, "OUTP:LAT?", "0.04", {} },
        { {}, "SYST:VERS?", "1999.0", {} },
        { {}, "*OPC?", "1", {} },
        { {}, "*TST?", "0", {} },
    });
}

TEST(ScpiQueries, AnswersFollowTheSettings)
{
    runCases({
        { { "FREQ 1234" }, "FREQ?", "1234", {} },
        { { "SOUR2:FREQ 1.5 KHZ" }, "SOURCE2:FREQUENCY:CW?", "1500", {} },
        { { "FUNC PULS" }, "FUNC?", "PULS", {} },
        { { "FUNC:PULS:DCYC 30" }, "FUNC:SQU:DCYC?", "30", {} },
        { { "VOLT:UNIT DBFS" }, "VOLT:UNIT?", "DBFS", {} },
        { { "OUTP ON" }, "OUTP?", "1", {} },
        { { "MODE STER" }, "MODE?", "STER", {} },
        { { "NOIS 70" }, "NOIS?", "70", {} },
        { { "SWE:MODE LOG" }, "SWE:MODE?", "LOG", {} },
        { { "SRAT 44100" }, "SRAT?", "44100", {} },
        { { "BITC '0110'" }, "BITC:DATA?", "\"0110\"", {} },
        { { "BITC:PER 0.25" }, "BITC:PER?", "0.25", {} },
        { { "BITC:BLEN 20US" }, "BITC:BLEN?", "2E-05", {} },
        { { "SYNT PREC" }, "SYNT?", "PREC", {} },
        { { "OUTP:FORM F32" }, "OUTP:FORM?", "F32", {} },
        { { "PHAS 270" }, "PHAS?", "270", {} },
        { { "FUNC PINK" }, "FUNC?", "PINK", {} },
        { {}, "IMD?", "NONE", {} },
        { { "IMD CCIF" }, "IMD?", "CCIF", {} },
        { { "IMD SMPT;:FREQ 61" }, "IMD?", "NONE", {} },
        { { "SWE:STAT ON;SPAC LOG;TIME 10;HTIM 0.25;RTIM 2" }, "SWE:STAT?;SPAC?;TIME?;HTIM?;RTIM?",
            "1;LOG;10;0.25;2", {} },
        { { "FREQ:STOP 16000.5" }, "FREQ:STOP?", "16000.5", {} },
        { {}, "FREQ:STOP? MAX", "44100", {} },
        { { "OUTP:LAT 25 MS" }, "OUTP:LAT?", "0.025", {} },
        { { "VOLT:CAL:FSC 2.5" }, "VOLT:CAL:FSC?", "2.5", {} },
    });
}

TEST(ScpiQueries, MinMaxDefault)
{
    runCases({
        { {}, "FREQ? MIN", "20", {} },
        { {}, "FREQ? maximum", "20000", {} },
        { { "FREQ 5000" }, "FREQ? DEF", "1000", {} },
        { { "SOUR2:FREQ 5000" }, "SOUR2:FREQ? DEF", "100", {} },
        { {}, "FUNC:SQU:DCYC? MIN", "1", {} },
        { {}, "FUNC:SQU:DCYC? MAX", "100", {} },
        { {}, "NOIS? MAX", "100", {} },
        { {}, "SRAT? MIN", "44100", {} },
        { {}, "SRAT? MAX", "192000", {} },
        { {}, "SRAT? DEF", "98000", {} },
        { {}, "PHAS? MAX", "359", {} },
        { {}, "BITC:PER? MIN", "0.001", {} },
        { {}, "BITC:BLEN? MIN", "2E-05", {} },
        { {}, "BITC:BLEN? MAX", "1", {} },
        { {}, "OUTP:LAT? MAX", "0.5", {} },
        { {}, "VOLT:CAL:FSC? MIN", "0.001", {} },
        { {}, "FREQ? FOO", "", { -224 } },
        { {}, "FREQ? 5", "", { -104 } },
        { {}, "FREQ? MIN,MAX", "", { -108 } },
        { {}, "FUNC? SIN", "", { -108 } },
        { {}, "SYST:ERR? 1", "", { -108 } },
    });
}

TEST(ScpiQueries, SeveralQueriesAnswerOneLine)
{
    runCases({
        { {}, "FREQ?;SOUR2:FREQ?", "1000;100", {} },
        { {}, "FREQ?;FREQ 500;FREQ?", "1000;500", {} },
        { {}, "FUNC?;:OUTP?;*OPC?", "SIN;0;1", {} },
        // A query refused answers nothing; the others still answer.
        { {}, "FREQ?;FREQ? FOO;SOUR2:FREQ?", "1000;100", { -224 } },
        // A command error ends the message: what came before it has answered.
        { {}, "FREQ?;FOO;SOUR2:FREQ?", "1000", { -113 } },
        // *IDN?'s answer must come last: a query after it is a query error.
        { {}, "*IDN?;FREQ?", ScpiInterpreter::identification(), { -440 } },
        { {}, "FREQ?;*IDN?", "1000;" + ScpiInterpreter::identification(), {} },
        { {}, "", "", {} },
        { {}, "   \t ", "", {} },
    });
}

TEST(ScpiQueries, IdentificationNamesTheMakerModelAndTheProjectsVersion)
{
    RemoteSession session;
    EXPECT_EQ(session.scpi.execute("*IDN?"),
        std::string("Korvane,Vellox,0,") + VELLOX_PROJECT_VERSION + "\n");
    EXPECT_EQ(session.scpi.execute("*idn?\r"), session.scpi.execute("*IDN?"));
}

TEST(ScpiQueries, HeadersWithoutTheirSetOrQueryForm)
{
    runCases({
        { {}, "*IDN", "", { -113 } },
        { {}, "*RST?", "", { -113 } },
        { {}, "*FOO", "", { -113 } },
        { {}, "SYST:ERR", "", { -113 } },
        { {}, "SYST:VERS 1", "", { -113 } },
        { {}, "*RST 1", "", { -108 } },
        { {}, "*CLS ON", "", { -108 } },
    });
}

TEST(ScpiQueries, LevelInForceInEachUnit)
{
    RemoteSession session;
    // At start the factor is 1/sqrt(2) (not step 1's): 1.414 Vpp of 2, 0.5 Vrms, and in
    // AES17's dBFS 3.01 dB below the unit level's -4.29.
    const double start = double(startLevel());
    EXPECT_NEAR(answered(session, "VOLT?"), 2.0 * start, 1e-6);
    session.scpi.execute("VOLT:UNIT VRMS");
    EXPECT_NEAR(answered(session, "VOLT?"), 0.5, 1e-6);
    session.scpi.execute("VOLT:UNIT DBFS");
    EXPECT_NEAR(answered(session, "VOLT?"), 20.0 * std::log10(start * 20000.0 / 32768.0), 1e-5);
    EXPECT_NEAR(answered(session, "VOLT? MAX"), 0.0, 1e-9);
    EXPECT_NEAR(answered(session, "VOLT? MIN"), -120.0, 1e-9);
    session.scpi.execute("VOLT:UNIT DBV");
    EXPECT_NEAR(answered(session, "VOLT?"), 20.0 * std::log10(0.5), 1e-5);
    session.scpi.execute("VOLT:UNIT DBU");
    EXPECT_NEAR(answered(session, "VOLT?"), 20.0 * std::log10(0.5 / std::sqrt(0.6)), 1e-5);
    // Each level reads back as it was sent, in every unit.
    const struct {
        const char* set;
        const char* unit;
        const char* answer;
    } exact[] = {
        { "VOLT 0.6 VPP", "VPP", "0.6\n" },
        { "VOLT 0.123456789 VPP", "VPP", "0.123456789\n" },
        { "VOLT 0.25 VRMS", "VRMS", "0.25\n" },
        { "VOLT -12.34 DBFS", "DBFS", "-12.34\n" },
        { "VOLT -60.01 DBFS", "DBFS", "-60.01\n" },
        { "VOLT -0.5 DBFS", "DBFS", "-0.5\n" },
        { "VOLT -20 DBV", "DBV", "-20\n" },
        { "VOLT -7.5 DBU", "DBU", "-7.5\n" },
    };
    for (const auto& e : exact) {
        session.scpi.execute(e.set);
        session.scpi.execute(std::string("VOLT:UNIT ") + e.unit);
        EXPECT_EQ(session.scpi.execute("VOLT?"), e.answer) << e.set;
    }
    session.scpi.execute("VOLT:UNIT VPP;:VOLT 0.5");
    // A square of the same level: the same Vpp, its peak as rms.
    session.scpi.execute("FUNC SQU;:VOLT:UNIT VRMS");
    EXPECT_NEAR(answered(session, "VOLT?"), 0.25, 1e-9);
    // The calibration scales every volt.
    session.scpi.execute("VOLT:CAL:FSC 4;:VOLT:UNIT VPP");
    EXPECT_NEAR(answered(session, "VOLT?"), 1.0, 1e-9);
    EXPECT_NEAR(answered(session, "SOUR2:VOLT?"), 4.0 * start, 1e-6);
    EXPECT_TRUE(session.drainErrors().empty());
}

TEST(ScpiStatus, EventStatusBitsByErrorClass)
{
    const struct {
        std::vector<std::string> lines;
        uint8_t esr;
    } cases[] = {
        { { "FREQ 500" }, 0 },
        { { "FOO" }, EventStatus::CommandError },
        { { "FREQ 5" }, EventStatus::ExecutionError },
        { { "*IDN?;*IDN?" }, EventStatus::QueryError },
        { { "*OPC" }, EventStatus::OperationComplete },
        { { std::string(MaxLineBytes + 1, ' ') }, EventStatus::DeviceError },
        { { "FOO", "FREQ 5", "*OPC" },
            EventStatus::CommandError | EventStatus::ExecutionError
                | EventStatus::OperationComplete },
    };
    for (const auto& c : cases) {
        RemoteSession session;
        session.run(c.lines);
        EXPECT_EQ(session.scpi.eventStatus(), c.esr) << c.lines.front().substr(0, 20);
        // *ESR? answers the register and clears it.
        EXPECT_EQ(session.scpi.execute("*ESR?"), std::to_string(c.esr) + "\n");
        EXPECT_EQ(session.scpi.execute("*ESR?"), "0\n");
    }
}

TEST(ScpiStatus, StatusByte)
{
    const struct {
        std::vector<std::string> lines;
        int stb;
    } cases[] = {
        { {}, 0 },
        { { "FOO" }, StatusByte::ErrorQueueNotEmpty },
        // ESB summarises the enabled event bits only.
        { { "*ESE 32", "FOO" }, StatusByte::ErrorQueueNotEmpty | StatusByte::EventStatusSummary },
        { { "*ESE 16", "FOO" }, StatusByte::ErrorQueueNotEmpty },
        { { "*ESE 32", "FOO", "SYST:ERR?" }, StatusByte::EventStatusSummary },
        // MSS summarises the enabled status bits.
        { { "*ESE 32;*SRE 32", "FOO" },
            StatusByte::ErrorQueueNotEmpty | StatusByte::EventStatusSummary
                | StatusByte::MasterSummary },
        { { "*SRE 4", "FREQ 5" }, StatusByte::ErrorQueueNotEmpty | StatusByte::MasterSummary },
        { { "*ESE 255", "FOO", "*CLS" }, 0 },
        { { "*ESE 255", "*OPC" }, StatusByte::EventStatusSummary },
    };
    for (const auto& c : cases) {
        RemoteSession session;
        session.run(c.lines);
        EXPECT_EQ(session.scpi.execute("*STB?"), std::to_string(c.stb) + "\n")
            << (c.lines.empty() ? "" : c.lines.back());
    }
}

TEST(ScpiStatus, EnableRegisters)
{
    runCases({
        { { "*ESE 60" }, "*ESE?", "60", {} },
        { { "*SRE 255" }, "*SRE?", "191", {} }, // the summary bit cannot be enabled
        { { "*ESE 32", "FOO", "*CLS" }, "*ESE?", "32", {} }, // *CLS keeps the masks
        { {}, "*ESE 256", "", { -222 } },
        { {}, "*ESE -1", "", { -222 } },
        { {}, "*ESE 1 V", "", { -138 } },
        { {}, "*ESE ON", "", { -224 } },
    });
}

TEST(ScpiStatus, ClearStatusEmptiesTheQueue)
{
    RemoteSession session;
    session.run({ "FOO", "FREQ 5", "*CLS" });
    EXPECT_EQ(session.scpi.execute("SYST:ERR?"), "0,\"No error\"\n");
    EXPECT_EQ(session.scpi.eventStatus(), 0);
}

TEST(ScpiErrorQueue, OldestFirstWithTheStandardTexts)
{
    RemoteSession session;
    session.run({ "FOO", "FREQ 5", "FREQ", "FREQ 1,2", "FREQ 1 V", "FUNC BLAH", "FREQ,1" });
    EXPECT_EQ(session.scpi.execute("SYST:ERR:COUN?"), "7\n");
    EXPECT_EQ(session.drainErrors(),
        (std::vector<std::string> {
            "-113,\"Undefined header\"",
            "-222,\"Data out of range\"",
            "-109,\"Missing parameter\"",
            "-108,\"Parameter not allowed\"",
            "-131,\"Invalid suffix\"",
            "-224,\"Illegal parameter value\"",
            "-102,\"Syntax error\"",
        }));
    EXPECT_EQ(session.scpi.execute("SYSTEM:ERROR:NEXT?"), "0,\"No error\"\n");
    EXPECT_EQ(session.scpi.execute("syst:err?"), "0,\"No error\"\n");
}

TEST(ScpiErrorQueue, OverflowReplacesTheNewestEntry)
{
    RemoteSession session;
    for (std::size_t i = 0; i < ErrorQueue::Capacity + 5; ++i)
        session.scpi.execute("FREQ 5");
    EXPECT_EQ(session.scpi.errors().size(), ErrorQueue::Capacity);
    EXPECT_NE(session.scpi.eventStatus() & EventStatus::DeviceError, 0);
    std::vector<int> expected(ErrorQueue::Capacity - 1, -222);
    expected.push_back(-350);
    EXPECT_EQ(session.drainErrorCodes(), expected);

    // Once an entry is read there is room again.
    for (std::size_t i = 0; i < ErrorQueue::Capacity + 5; ++i)
        session.scpi.execute("FREQ 5");
    session.scpi.execute("SYST:ERR?");
    session.scpi.execute("FOO");
    const std::vector<int> codes = session.drainErrorCodes();
    ASSERT_EQ(codes.size(), ErrorQueue::Capacity);
    EXPECT_EQ(codes[ErrorQueue::Capacity - 2], -350);
    EXPECT_EQ(codes.back(), -113);
}

TEST(ScpiLongLines, RefusedWholeAtTheLimit)
{
    RemoteSession session;
    std::string atLimit = "FREQ 500";
    atLimit.resize(MaxLineBytes, ' ');
    EXPECT_EQ(session.scpi.execute(atLimit), "");
    EXPECT_EQ(session.model.frequency(Tone::F1), 500);
    std::string over = "FREQ 600";
    over.resize(MaxLineBytes + 1, ' ');
    EXPECT_EQ(session.scpi.execute(over + ";FREQ?"), "");
    EXPECT_EQ(session.model.frequency(Tone::F1), 500);
    session.scpi.refuseLongLine();
    EXPECT_EQ(session.drainErrors(),
        (std::vector<std::string> {
            "-363,\"Input buffer overrun\"", "-363,\"Input buffer overrun\"" }));
}

TEST(ScpiLongLines, AnswerCappedAsItGrows)
{
    // A long pattern answered over and over: 26 answers of 40002 bytes fit into the cap, the
    // 27th would pass it; one line of them would otherwise answer 400 MB.
    RemoteSession session;
    const std::string pattern(40000, '1');
    session.run({ "BITC:BLEN 20 US;PER 1", "BITC '" + pattern + "'" });
    ASSERT_TRUE(session.drainErrors().empty());
    std::string fits = "BITC?";
    for (int i = 1; i < 26; ++i)
        fits += ";BITC?";
    EXPECT_EQ(session.scpi.execute(fits).size(), 26 * 40002 + 25 + 1);
    EXPECT_TRUE(session.drainErrors().empty());

    std::string flood = "FREQ 700;BITC?";
    while (flood.size() + 6 + 9 <= MaxLineBytes)
        flood += ";BITC?";
    EXPECT_EQ(session.scpi.execute(flood + ";FREQ 800"), "");
    EXPECT_EQ(session.drainErrorCodes(), (std::vector<int> { -225 }));
    EXPECT_EQ(session.model.frequency(Tone::F1), 700); // the line ends where the cap is met
    EXPECT_EQ(session.scpi.execute("FREQ?"), "700\n"); // and the session goes on
}

// The exact lines pymeasure 0.9's Agilent33500 driver writes for shape, frequency,
// amplitude, output and square_dutycycle, with PyVISA's "\r\n", through the splitter as a
// server takes them; its readings cast the answers with float() or compare them as text.
TEST(ScpiClients, Agilent33500DriverSequence)
{
    RemoteSession session;
    LineSplitter splitter;
    const auto ask = [&](const std::string& line) {
        std::vector<SplitLine> lines;
        splitter.feed(line + "\r\n", lines);
        EXPECT_EQ(lines.size(), 1u);
        std::string response;
        for (const SplitLine& l : lines)
            response += session.scpi.execute(l.text);
        return response;
    };
    const auto number = [](const std::string& response) {
        char* end = nullptr;
        const double v = std::strtod(response.c_str(), &end);
        EXPECT_EQ(std::string(end), "\n") << response;
        return v;
    };
    EXPECT_EQ(ask("*IDN?"), ScpiInterpreter::identification() + "\n");
    for (const char* shape : { "SIN", "SQU", "TRI", "RAMP", "PULS", "NOIS" }) {
        EXPECT_EQ(ask(std::string("FUNC ") + shape), "");
        EXPECT_EQ(ask("FUNC?"), std::string(shape) + "\n");
    }
    EXPECT_EQ(ask("FUNC SQU"), "");
    EXPECT_EQ(ask("FREQ 1234.000000"), "");
    EXPECT_EQ(number(ask("FREQ?")), 1234.0);
    // amplitude reads back what it set, exactly.
    EXPECT_EQ(ask("VOLT 0.600000"), "");
    EXPECT_EQ(ask("VOLT?"), "0.6\n");
    EXPECT_EQ(ask("VOLT:UNIT?"), "VPP\n");
    EXPECT_EQ(ask("OUTP 1"), "");
    EXPECT_EQ(number(ask("OUTP?")), 1.0);
    EXPECT_EQ(ask("OUTP 0"), "");
    EXPECT_EQ(number(ask("OUTP?")), 0.0);
    EXPECT_EQ(ask("FUNC:SQU:DCYC 25.000000"), "");
    EXPECT_EQ(number(ask("FUNC:SQU:DCYC?")), 25.0);
    EXPECT_EQ(ask("*STB?"), "0\n");
    EXPECT_EQ(ask("*OPC?"), "1\n");
    // check_errors() reads until the code is 0.
    EXPECT_EQ(ask("SYST:ERR?"), "0,\"No error\"\n");
    EXPECT_EQ(splitter.pendingBytes(), 0u);
}
