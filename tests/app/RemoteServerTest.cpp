// The remote control's server against careless and hostile clients, over real TCP on
// loopback, with the in-memory instrument behind it: a web page's request runs nothing, a
// script that closes at once loses no complete line, and an address that other machines
// reach is said.

#include "RemoteServer.h"
#include "MemoryInstrument.h"

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

using namespace vellox;
using vellox::remote::MemoryInstrument;

class RemoteServerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryInstrument> model;
    std::unique_ptr<RemoteServer> server;
    std::vector<std::string> logged;

    void startServer(const char* address = "127.0.0.1:0")
    {
        model = std::make_unique<MemoryInstrument>();
        server = std::make_unique<RemoteServer>(*model);
        server->setLog([this](const std::string& line) { logged.push_back(line); });
        QCOMPARE(QString::fromStdString(server->listen(address)), QString());
    }

    std::unique_ptr<QTcpSocket> connectClient(const QHostAddress& to = QHostAddress::LocalHost)
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(to, server->port());
        if (!socket->waitForConnected(10000))
            return nullptr;
        // The server counts it once its event loop has accepted it.
        QElapsedTimer wait;
        wait.start();
        while (server->clients() == 0 && wait.elapsed() < 10000)
            QTest::qWait(5);
        return socket;
    }

private slots:
    void init() { logged.clear(); }

    // A browser's cross-origin POST: the request line, the headers and a body of commands.
    // None of it runs, the connection is closed, and the refusal is told once.
    void httpRequestRunsNothing()
    {
        const struct {
            const char* name;
            QByteArray bytes;
        } cases[] = {
            { "request line first",
                "POST / HTTP/1.1\r\nHost: 127.0.0.1:5025\r\nOrigin: http://example.com\r\n"
                "Content-Type: text/plain\r\nContent-Length: 33\r\n\r\n"
                "OUTP ON\nFUNC SQU\nVOLT:UNIT DBFS\nVOLT 0\n" },
            { "a header after commands, in one packet",
                "FREQ 300\r\nHost: 127.0.0.1\r\n\r\nOUTP ON\nFUNC SQU\n" },
        };
        for (const auto& c : cases) {
            startServer();
            logged.clear();
            auto client = connectClient();
            QVERIFY2(client, c.name);
            client->write(c.bytes);
            QTRY_COMPARE_WITH_TIMEOUT(client->state(), QAbstractSocket::UnconnectedState, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(server->clients(), 0, 10000);
            QVERIFY2(!model->settings().outputOn, c.name);
            QCOMPARE(model->settings().waveform, WaveSine);
            QCOMPARE(logged.size(), size_t(1));
            QVERIFY2(logged[0].find("HTTP") != std::string::npos, logged[0].c_str());
        }
    }

    // 200 lines written and the socket closed at once: every line runs, in order; a half
    // line after them does not.
    void linesBeforeAHangUpAllRun()
    {
        startServer();
        auto client = connectClient();
        QVERIFY(client);
        QByteArray script;
        for (int hz = 100; hz < 300; ++hz)
            script += "FREQ " + QByteArray::number(hz) + "\n";
        script += "FREQ 12";
        client->write(script);
        client->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(server->clients(), 0, 30000);
        QCOMPARE(model->settings().frequency1, int16_t(299));
    }

    // Listening where other machines reach it is said, for as long as it lasts; loopback is
    // not.
    void networkListeningIsSaid()
    {
        startServer("127.0.0.1:0");
        QVERIFY(logged.empty());
        QCOMPARE(server->exposure(), std::string());
        QSignalSpy exposure(server.get(), &RemoteServer::exposureChanged);
        QCOMPARE(QString::fromStdString(server->listen("0.0.0.0:0")), QString());
        const std::string where = "0.0.0.0:" + std::to_string(server->port());
        QCOMPARE(server->exposure(), where);
        QCOMPARE(logged.size(), size_t(1));
        QVERIFY2(logged[0].find(where) != std::string::npos, logged[0].c_str());
        server->close();
        QCOMPARE(server->exposure(), std::string());
        QCOMPARE(exposure.size(), 2);
        QCOMPARE(exposure[1][0].value<std::string>(), std::string());
    }

    // With an allow list, an address outside it is closed at once and told once; this
    // machine's loopback always gets in.
    void allowListClosesOthers()
    {
        QHostAddress own;
        for (const QHostAddress& a : QNetworkInterface::allAddresses())
            if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol)
                own = a;
        startServer("0.0.0.0:0");
        // A documentation network that this machine is not on.
        const char* others
            = own.isInSubnet(QHostAddress::parseSubnet(QStringLiteral("198.51.100.0/24")))
            ? "203.0.113.0/24"
            : "198.51.100.0/24";
        QCOMPARE(QString::fromStdString(server->setAllowed(others)), QString());
        auto local = connectClient();
        QVERIFY(local);
        local->write("FREQ 440\n");
        QTRY_COMPARE_WITH_TIMEOUT(model->settings().frequency1, int16_t(440), 10000);
        if (own.isNull())
            QSKIP("no address but loopback to connect from");
        logged.clear();
        for (int attempt = 0; attempt < 2; ++attempt) {
            QTcpSocket outsider;
            outsider.connectToHost(own, server->port());
            QVERIFY(outsider.waitForConnected(10000));
            outsider.write("FREQ 880\n");
            QTRY_COMPARE_WITH_TIMEOUT(outsider.state(), QAbstractSocket::UnconnectedState, 10000);
        }
        QCOMPARE(model->settings().frequency1, int16_t(440));
        QCOMPARE(logged.size(), size_t(1)); // once for that address
        QCOMPARE(
            QString::fromStdString(server->setAllowed(own.toString().toStdString())), QString());
        QTcpSocket allowed;
        allowed.connectToHost(own, server->port());
        QVERIFY(allowed.waitForConnected(10000));
        allowed.write("FREQ 880\n");
        QTRY_COMPARE_WITH_TIMEOUT(model->settings().frequency1, int16_t(880), 10000);
    }
};

QTEST_GUILESS_MAIN(RemoteServerTest)
#include "RemoteServerTest.moc"
