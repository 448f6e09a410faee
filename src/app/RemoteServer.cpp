#include "RemoteServer.h"

#include "OutputSettings.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace vellox {

RemoteServer::RemoteServer(remote::InstrumentModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
{
}

RemoteServer::~RemoteServer()
{
    close();
}

std::string RemoteServer::listen(const std::string& text)
{
    close();
    const std::optional<RemoteAddress> address = parseRemoteAddress(text, true);
    if (!address)
        return "\"" + text + "\" is not [ADDRESS:]PORT with a port of 1 to 65535";
    QHostAddress host;
    if (!host.setAddress(QString::fromStdString(address->host)))
        return "\"" + address->host + "\" is not an IP address";
    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(MaxClients);
    if (!m_server->listen(host, address->port)) {
        const std::string reason = m_server->errorString().toStdString();
        delete m_server;
        m_server = nullptr;
        return reason;
    }
    connect(m_server, &QTcpServer::newConnection, this, &RemoteServer::accept);
    return {};
}

void RemoteServer::close()
{
    for (const auto& c : m_clients) {
        c->socket->disconnect(this);
        c->socket->abort();
        c->socket->deleteLater();
    }
    m_clients.clear();
    if (m_server != nullptr) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool RemoteServer::listening() const
{
    return m_server != nullptr && m_server->isListening();
}

QHostAddress RemoteServer::address() const
{
    return m_server != nullptr ? m_server->serverAddress() : QHostAddress();
}

quint16 RemoteServer::port() const
{
    return m_server != nullptr ? m_server->serverPort() : 0;
}

RemoteServer::Client* RemoteServer::clientOf(QTcpSocket* socket)
{
    for (const auto& c : m_clients)
        if (c->socket == socket)
            return c.get();
    return nullptr;
}

void RemoteServer::accept()
{
    while (m_server != nullptr && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (int(m_clients.size()) >= MaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The kernel's buffer is the only one: what a client sends beyond it waits there.
        socket->setReadBufferSize(64 * 1024);
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->interpreter = std::make_unique<remote::ScpiInterpreter>(m_model);
        Client* c = client.get();
        m_clients.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client* c = clientOf(socket))
                serve(*c);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (Client* c = clientOf(socket))
                serve(*c);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        serve(*c);
    }
}

void RemoteServer::drop(QTcpSocket* socket)
{
    // A half-sent line stays unexecuted: it goes with its client.
    std::erase_if(
        m_clients, [socket](const std::unique_ptr<Client>& c) { return c->socket == socket; });
    socket->disconnect(this);
    socket->deleteLater();
}

void RemoteServer::scheduleTurn(Client& client)
{
    if (client.turnScheduled)
        return;
    client.turnScheduled = true;
    QTcpSocket* socket = client.socket;
    QTimer::singleShot(0, this, [this, socket] {
        if (Client* c = clientOf(socket)) {
            c->turnScheduled = false;
            serve(*c);
        }
    });
}

void RemoteServer::serve(Client& c)
{
    QTcpSocket* socket = c.socket;
    if (socket->bytesToWrite() > MaxHeldOutput) {
        // Sends without ever reading the answers: nothing to do for it but let it go.
        socket->abort();
        return; // disconnected() removes it
    }
    // Read only what there is room to queue: the rest stays in the socket.
    while (c.lines.size() < MaxQueuedLines && socket->bytesAvailable() > 0) {
        char buffer[4096];
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        c.scratch.clear();
        c.splitter.feed(std::string_view(buffer, size_t(n)), c.scratch);
        for (auto& line : c.scratch)
            c.lines.push_back(std::move(line));
    }
    int ran = 0;
    bool changed = false;
    while (!c.lines.empty() && ran < LinesPerTurn && socket->bytesToWrite() <= MaxPendingOutput) {
        remote::SplitLine line = std::move(c.lines.front());
        c.lines.pop_front();
        ++ran;
        if (line.tooLong) {
            c.interpreter->refuseLongLine();
            continue;
        }
        c.interpreter->execute(line.text, c.response);
        changed = true;
        if (!c.response.empty())
            socket->write(c.response.data(), qint64(c.response.size()));
        if (clientOf(socket) == nullptr)
            return; // a command's nested event loop saw it go
    }
    if (changed)
        emit executed();
    // More to do: after the window and the other clients have had their turn. A client whose
    // answers wait unread is served again when they are written (bytesWritten).
    const bool blockedOnOutput = socket->bytesToWrite() > MaxPendingOutput;
    if (!blockedOnOutput && (!c.lines.empty() || socket->bytesAvailable() > 0))
        scheduleTurn(c);
}

} // namespace vellox
