#pragma once

// The remote control's server: SCPI over TCP, one line a program message, on the UI thread's
// event loop (so every command runs where the window's handlers run, one at a time).
//
// Several clients may connect; none can hold the window or the sound up:
//   - reading is on demand: a client's bytes wait in the socket (and TCP pushes back) while
//     its lines already read wait to run, and a client's turn ends after TurnBudgetMs (or
//     LinesPerTurn lines), before the event loop goes on with the window and the others;
//   - a line's changes are one change of the generator: one restart, whatever it sets;
//   - a client that does not read its answers is not answered further while more than
//     MaxPendingOutput bytes wait for it, and is closed when it gets beyond MaxHeldOutput;
//   - a line longer than the interpreter's limit is refused (-363) and dropped to its end;
//   - beyond MaxClients, a new connection is closed at once;
//   - a connection that speaks HTTP (a web page's request) is closed before anything it
//     sent runs;
//   - every complete line a client sent before it hung up runs; a half line does not.
// It listens on 127.0.0.1 unless an address is given, and says so, on stderr and through
// exposureChanged, while it listens where other machines reach it. An allow list limits who
// may connect. UI thread only.

#include "InstrumentModel.h"
#include "LineSplitter.h"
#include "ScpiInterpreter.h"

#include <QHostAddress>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vellox {

class RemoteServer : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxClients = 16;
    static constexpr int LinesPerTurn = 32;
    static constexpr int TurnBudgetMs = 50;
    static constexpr qint64 MaxPendingOutput = 256 * 1024;
    static constexpr qint64 MaxHeldOutput = 4 * 1024 * 1024;
    static constexpr size_t MaxQueuedLines = 256;

    explicit RemoteServer(remote::InstrumentModel& model, QObject* parent = nullptr);
    ~RemoteServer() override;

    // Listens at "[ADDRESS:]PORT" (port 0: any free one); "" when it does, else the reason.
    // A server that listens already stops first.
    std::string listen(const std::string& address);
    void close();
    bool listening() const;
    QHostAddress address() const;
    quint16 port() const;
    int clients() const { return int(m_clients.size()); }

    // Where the server listens when other machines reach it ("0.0.0.0:5025"), empty while it
    // listens on loopback only or not at all.
    const std::string& exposure() const { return m_exposure; }

    // Who may connect besides the machine itself: "ADDR[/BITS],..." (IPv4 or IPv6); "" lets
    // everyone. Returns "" when taken, else why not (and keeps the list it had).
    std::string setAllowed(const std::string& list);
    using Subnet = std::pair<QHostAddress, int>;
    static std::optional<std::vector<Subnet>> parseAllowList(const std::string& list);

    // Where the server's notices go: one line each, without the program's name (stderr by
    // default).
    void setLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }

signals:
    // A command changed a setting (for views that are not the window's controls).
    void executed();
    // The server began or ceased to listen where other machines reach it (see exposure).
    void exposureChanged(const std::string& exposure);

private:
    struct Client {
        QTcpSocket* socket = nullptr;
        remote::LineSplitter splitter;
        std::unique_ptr<remote::ScpiInterpreter> interpreter;
        std::deque<remote::SplitLine> lines;
        std::vector<remote::SplitLine> scratch;
        std::string response;
        bool turnScheduled = false;
        bool hungUp = false; // its lines still run, their answers go nowhere
        bool closing = false; // closed by the server: nothing more of it runs
    };

    void accept();
    bool allowed(const QHostAddress& peer) const;
    void serve(Client& client);
    bool readLines(Client& client);
    void scheduleTurn(Client& client);
    void hangUp(QTcpSocket* socket);
    void closeNow(Client& client);
    void drop(QTcpSocket* socket);
    Client* clientOf(QTcpSocket* socket);
    void setExposure(std::string exposure);
    void log(const std::string& line);

    remote::InstrumentModel& m_model;
    QTcpServer* m_server = nullptr;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<Subnet> m_allowed;
    std::set<QString> m_refusedPeers; // each told once
    std::string m_exposure;
    std::function<void(const std::string&)> m_log;
};

} // namespace vellox
