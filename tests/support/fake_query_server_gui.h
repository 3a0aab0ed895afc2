#pragma once
// A scripted query server on 127.0.0.1 for the remote client's tests: it records every
// byte each connection sends, answers logins by its credentials, plays scripted
// replies to queries in the delivery asked for, and can refuse, reset or stall
// connections.
#include <QObject>
#include <QPointer>
#include <deque>
#include <limits>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace varnoke::test {

// A socket bound to 127.0.0.1 on a free port, not yet listening; its port through port.
int boundLoopbackSocket(int& port);

enum class Delivery {
    Whole,       // one write; the close follows a little later
    OneByte,     // one write per byte, a millisecond apart, then the close
    BeforeClose, // one write and the close at once, so both arrive together
    NeverEnds,   // one write and no close
};

struct ScriptedReply {
    std::string text;
    Delivery delivery = Delivery::Whole;
};

class FakeQueryServer : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Normal,
        Refuse,     // nothing listens on the port
        SlowAccept, // connections are never completed
    };

    // port 0 takes a free port.
    explicit FakeQueryServer(Mode mode = Mode::Normal, int port = 0, QObject* parent = nullptr);
    ~FakeQueryServer() override;

    int port() const { return port_; }

    // What a new connection is sent first, by its number from 0; connections past the
    // list get laterGreeting. "" sends nothing.
    std::vector<std::string> greetings{"loggedin"};
    std::string laterGreeting;
    // As a real server: a connection made while no session is open is greeted with the
    // first greeting; one made during a session only when the client sends nothing for
    // sessionPromptDelayMs (a Connect, not Execute's reconnection). A login opens a
    // session, "xxclosing" and a refused login end it.
    bool sessions = false;
    int sessionPromptDelayMs = 1000;
    // Connections from this number on are reset as soon as they are made.
    int resetFrom = std::numeric_limits<int>::max();
    Delivery greetingDelivery = Delivery::Whole;
    // The login the server accepts.
    std::string user = "ann";
    std::string password = "secret";
    // Replies to queries, in order; each ends its connection unless it never ends.
    std::deque<ScriptedReply> replies;

    // Sends text now on every open connection.
    void sendToAll(const std::string& text);
    // Closes every open connection now.
    void closeAll();

    // Every byte received, over all connections, in order.
    const std::string& received() const { return received_; }
    // The messages received, each with its "^~*".
    std::vector<std::string> messages() const;
    int connections() const { return connections_; }
    int openConnections() const;

private:
    void accepted();
    void readFrom(QTcpSocket* socket);
    // ends: the connection closes after the reply (not after a greeting).
    void play(QTcpSocket* socket, const ScriptedReply& reply, bool ends);

    Mode mode_;
    QTcpServer* server_ = nullptr;
    int port_ = 0;
    int stallFd_ = -1;  // a listening socket whose queue is full
    int fillerFd_ = -1; // the connection that fills it
    std::vector<QPointer<QTcpSocket>> sockets_;
    std::string received_;
    std::string pendingInput_;
    int connections_ = 0;
    bool sessionOpen_ = false;
};

} // namespace varnoke::test
