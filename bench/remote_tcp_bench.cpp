// The remote control over TCP, as a lab script meets it: the generator's server (the one
// of --play) on this program's event loop, over SDL's dummy driver, and a client on another
// thread with plain blocking sockets.
//   IdnRoundTrip: "*IDN?" sent and its answer read, one after the other (target: at least
//     2000 a second).
//   FrequencyReachesTheSound: "FREQ f;*OPC?" sent, until the audio thread has taken the new
//     buffer up (the transitions it has started): the command, the restart and the wait for
//     the device's next period. The fade (5 ms) follows; the sound server's buffer (the
//     latency) comes on top of it before the change is heard.
// Run with --benchmark_repetitions=5 for medians.

#include "Generator.h"
#include "GeneratorInstrument.h"
#include "RemoteServer.h"
#include "SdlSoundBackend.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

uint16_t g_port = 0;
vellox::audio::SdlSoundBackend* g_backend = nullptr;

class Client {
public:
    Client()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(g_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { ::close(m_fd); }
    bool ok() const { return m_ok; }
    // Sends the line and reads one line back.
    std::string ask(const std::string& line)
    {
        const std::string out = line + "\n";
        if (::send(m_fd, out.data(), out.size(), 0) != ssize_t(out.size()))
            return {};
        std::string answer;
        char c = 0;
        while (::recv(m_fd, &c, 1, 0) == 1 && c != '\n')
            answer += c;
        return answer;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

void IdnRoundTrip(benchmark::State& state)
{
    Client client;
    if (!client.ok()) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        if (client.ask("*IDN?").rfind("Korvane,Vellox,", 0) != 0) {
            state.SkipWithError("a wrong answer");
            return;
        }
    }
    state.counters["round_trips_per_s"]
        = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(IdnRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void FrequencyReachesTheSound(benchmark::State& state)
{
    Client client;
    if (!client.ok() || client.ask("OUTP ON;*OPC?") != "1") {
        state.SkipWithError("cannot start the output");
        return;
    }
    int hz = 1000;
    double worst = 0;
    for (auto _ : state) {
        hz = hz == 1000 ? 1001 : 1000; // both buffers come from the cache after the first
        const uint64_t before = g_backend->transitions();
        const auto t0 = std::chrono::steady_clock::now();
        client.ask("FREQ " + std::to_string(hz) + ";*OPC?");
        while (g_backend->transitions() == before)
            std::this_thread::yield();
        const double s
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        worst = std::max(worst, s * 1000.0);
        state.SetIterationTime(s);
        // At a random moment of the next period.
        std::this_thread::sleep_for(std::chrono::microseconds(std::rand() % 20000));
    }
    state.counters["max_ms"] = worst;
}
BENCHMARK(FrequencyReachesTheSound)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    vellox::audio::SdlSoundBackend backend;
    g_backend = &backend;
    vellox::Generator generator(backend);
    generator.openSound();
    vellox::GeneratorInstrument instrument(generator);
    vellox::RemoteServer server(instrument);
    if (const std::string trouble = server.listen("127.0.0.1:0"); !trouble.empty()) {
        std::fprintf(stderr, "remote_tcp_bench: %s\n", trouble.c_str());
        return 1;
    }
    g_port = server.port();
    std::thread client([&] {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    client.join();
    return 0;
}
