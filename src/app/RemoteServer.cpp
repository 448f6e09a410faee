#include "RemoteServer.h"

#include "OutputSettings.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>

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

void RemoteServer::log(const std::string& line)
{
    if (m_log)
        m_log(line);
    else
        std::fprintf(stderr, "vellox: %s\n", line.c_str());
}

void RemoteServer::setExposure(std::string exposure)
{
    if (exposure == m_exposure)
        return;
    m_exposure = std::move(exposure);
    emit exposureChanged(m_exposure);
}

std::optional<std::vector<RemoteServer::Subnet>> RemoteServer::parseAllowList(
    const std::string& list)
{
    std::vector<Subnet> subnets;
    const QStringList entries = QString::fromStdString(list).split(QLatin1Char(','));
    for (const QString& raw : entries) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            return std::nullopt;
        Subnet subnet = entry.contains(QLatin1Char('/')) ? QHostAddress::parseSubnet(entry)
                                                         : Subnet(QHostAddress(entry), -1);
        if (subnet.first.isNull())
            return std::nullopt;
        if (subnet.second < 0)
            subnet.second = subnet.first.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        subnets.push_back(subnet);
    }
    return subnets;
}

std::string RemoteServer::setAllowed(const std::string& list)
{
    if (list.empty()) {
        m_allowed.clear();
        return {};
    }
    const auto subnets = parseAllowList(list);
    if (!subnets)
        return "\"" + list + "\" is not ADDRESS[/BITS],... (IPv4 or IPv6)";
    m_allowed = *subnets;
    return {};
}

bool RemoteServer::allowed(const QHostAddress& peer) const
{
    if (m_allowed.empty() || peer.isLoopback())
        return true;
    // An IPv4 client of a dual-stack listener arrives as ::ffff:a.b.c.d.
    bool mapped = false;
    const QHostAddress v4(peer.toIPv4Address(&mapped));
    for (const Subnet& s : m_allowed)
        if (peer.isInSubnet(s) || (mapped && v4.isInSubnet(s)))
            return true;
    return false;
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
    if (!host.isLoopback()) {
        const std::string where = m_server->serverAddress().toString().toStdString() + ':'
            + std::to_string(m_server->serverPort());
        log("the remote control listens on " + where
            + ", where other machines on the network can reach it and play through this "
              "computer's sound card"
            + (m_allowed.empty() ? std::string() : " (only the allowed addresses may connect)"));
        setExposure(where);
    }
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
    setExposure({});
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
        if (!allowed(socket->peerAddress())) {
            const QString peer = socket->peerAddress().toString();
            if (m_refusedPeers.size() < 64 && m_refusedPeers.insert(peer).second)
                log("refused a remote control connection from " + peer.toStdString()
                    + ": not an allowed address");
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
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { hangUp(socket); });
        serve(*c);
    }
}

void RemoteServer::hangUp(QTcpSocket* socket)
{
    Client* c = clientOf(socket);
    if (c == nullptr)
        return;
    // What it sent before it went still runs, in turns like any client's; its half line
    // does not.
    c->hungUp = true;
    if (c->closing || (c->lines.empty() && socket->bytesAvailable() == 0))
        drop(socket);
    else
        scheduleTurn(*c);
}

void RemoteServer::closeNow(Client& c)
{
    QTcpSocket* socket = c.socket;
    c.lines.clear();
    c.closing = true;
    socket->abort(); // its disconnected() may drop it at once
    if (clientOf(socket) != nullptr)
        drop(socket);
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

bool RemoteServer::readLines(Client& c)
{
    // Read only what there is room to queue: the rest stays in the socket.
    QTcpSocket* socket = c.socket;
    while (c.lines.size() < MaxQueuedLines && socket->bytesAvailable() > 0) {
        char buffer[4096];
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        c.scratch.clear();
        c.splitter.feed(std::string_view(buffer, size_t(n)), c.scratch);
        for (auto& line : c.scratch) {
            if (!line.tooLong && remote::looksLikeHttp(line.text)) {
                log("closed a remote control connection from "
                    + socket->peerAddress().toString().toStdString()
                    + " that spoke HTTP (a web page?): nothing it sent ran");
                return false;
            }
            c.lines.push_back(std::move(line));
        }
    }
    return true;
}

void RemoteServer::serve(Client& c)
{
    QTcpSocket* socket = c.socket;
    if (!c.hungUp && socket->bytesToWrite() > MaxHeldOutput) {
        // Sends without ever reading the answers: nothing to do for it but let it go.
        closeNow(c);
        return;
    }
    if (!readLines(c)) {
        closeNow(c); // not a word more of it runs
        return;
    }
    QElapsedTimer turn;
    turn.start();
    int ran = 0;
    bool changed = false;
    while (!c.lines.empty() && ran < LinesPerTurn && turn.elapsed() < TurnBudgetMs
        && (c.hungUp || socket->bytesToWrite() <= MaxPendingOutput)) {
        remote::SplitLine line = std::move(c.lines.front());
        c.lines.pop_front();
        ++ran;
        if (line.tooLong) {
            c.interpreter->refuseLongLine();
            continue;
        }
        c.interpreter->execute(line.text, c.response);
        changed = true;
        if (!c.response.empty() && socket->state() == QAbstractSocket::ConnectedState)
            socket->write(c.response.data(), qint64(c.response.size()));
        if (clientOf(socket) == nullptr)
            return; // a command's nested event loop saw it go
        if (c.lines.empty() && !readLines(c)) {
            closeNow(c);
            return;
        }
    }
    if (changed)
        emit executed();
    if (c.hungUp && c.lines.empty() && socket->bytesAvailable() == 0) {
        drop(socket);
        return;
    }
    // More to do: after the window and the other clients have had their turn. A client whose
    // answers wait unread is served again when they are written (bytesWritten).
    const bool blockedOnOutput = !c.hungUp && socket->bytesToWrite() > MaxPendingOutput;
    if (!blockedOnOutput && (!c.lines.empty() || socket->bytesAvailable() > 0))
        scheduleTurn(c);
}

} // namespace vellox
