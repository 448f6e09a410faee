#pragma once

// The remote control's server: SCPI over TCP, one line a program message, on the UI thread's
// event loop (so every command runs where the window's handlers run, one at a time).
//
// Several clients may connect; none can hold the window or the sound up:
//   - reading is on demand: a client's bytes wait in the socket (and TCP pushes back) while
//     its lines already read wait to run, and at most LinesPerTurn of its lines run before the
//     event loop goes on with the window and the other clients;
//   - a client that does not read its answers is not answered further while more than
//     MaxPendingOutput bytes wait for it, and is closed when it gets beyond MaxHeldOutput;
//   - a line longer than the interpreter's limit is refused (-363) and dropped to its end;
//   - beyond MaxClients, a new connection is closed at once;
//   - a line sent half and then hung up on is not run.
// It listens on 127.0.0.1 unless an address is given. UI thread only.

#include "InstrumentModel.h"
#include "LineSplitter.h"
#include "ScpiInterpreter.h"

#include <QHostAddress>
#include <QObject>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vellox {

class RemoteServer : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxClients = 16;
    static constexpr int LinesPerTurn = 32;
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

signals:
    // A command changed a setting (for views that are not the window's controls).
    void executed();

private:
    struct Client {
        QTcpSocket* socket = nullptr;
        remote::LineSplitter splitter;
        std::unique_ptr<remote::ScpiInterpreter> interpreter;
        std::deque<remote::SplitLine> lines;
        std::vector<remote::SplitLine> scratch;
        std::string response;
        bool turnScheduled = false;
    };

    void accept();
    void serve(Client& client);
    void scheduleTurn(Client& client);
    void drop(QTcpSocket* socket);
    Client* clientOf(QTcpSocket* socket);

    remote::InstrumentModel& m_model;
    QTcpServer* m_server = nullptr;
    std::vector<std::unique_ptr<Client>> m_clients;
};

} // namespace vellox
