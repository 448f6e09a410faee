// The SCPI interpreter's handling of one "*IDN?" line: reading the message, finding the
// common command and writing the answer, without any network. The round trip over TCP is
// the server's benchmark.

#include "MemoryInstrument.h"
#include "ScpiInterpreter.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace vellox::remote;

static void BM_IdnQuery(benchmark::State& state)
{
    MemoryInstrument model;
    ScpiInterpreter scpi(model);
    std::string response;
    for (auto _ : state) {
        scpi.execute("*IDN?", response);
        benchmark::DoNotOptimize(response.data());
    }
    if (response != ScpiInterpreter::identification() + "\n")
        state.SkipWithError("*IDN? did not answer the identification");
}
BENCHMARK(BM_IdnQuery);

BENCHMARK_MAIN();
