#include "support/fake_query_server_gui.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnoke::test {

namespace {

constexpr std::string_view kDelimiter = "^~*";
constexpr std::string_view kAuthorized = "You are AUTHORIZED!  You ARE a ZaredAzirozi.";
constexpr std::string_view kRefused = "Your user name or password is incorrect.  Please try again.";

void writeText(QTcpSocket* socket, std::string_view text) {
    socket->write(text.data(), static_cast<qint64>(text.size()));
    socket->flush();
}

// Closes later, so the written bytes and the close reach the client apart.
void closeLater(QTcpSocket* socket) {
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(60, socket, [guarded] {
        if (guarded) guarded->disconnectFromHost();
    });
}

} // namespace

int boundLoopbackSocket(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

FakeQueryServer::FakeQueryServer(Mode mode, int port, QObject* parent)
    : QObject(parent), mode_(mode) {
    if (mode_ == Mode::Refuse) {
        // A port that was free a moment ago and has no listener now.
        const int fd = boundLoopbackSocket(port_);
        ::close(fd);
        return;
    }
    if (mode_ == Mode::SlowAccept) {
        // A queue of one, filled by a connection nobody accepts: the next connection's
        // handshake is never answered.
        stallFd_ = boundLoopbackSocket(port_);
        ::listen(stallFd_, 0);
        fillerFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return;
    }
    server_ = new QTcpServer(this);
    server_->listen(QHostAddress::LocalHost, static_cast<quint16>(port));
    port_ = server_->serverPort();
    connect(server_, &QTcpServer::newConnection, this, &FakeQueryServer::accepted);
}

FakeQueryServer::~FakeQueryServer() {
    if (fillerFd_ >= 0) ::close(fillerFd_);
    if (stallFd_ >= 0) ::close(stallFd_);
}

void FakeQueryServer::accepted() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const int number = connections_++;
        if (number >= resetFrom) {
            linger off{1, 0}; // a close with linger 0 resets the connection
            ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &off,
                         sizeof off);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        sockets_.emplace_back(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        std::string greeting = number < static_cast<int>(greetings.size())
                                   ? greetings[static_cast<std::size_t>(number)]
                                   : laterGreeting;
        if (sessions && sessionOpen_) {
            // Execute's reconnection sends its query at once; a Connect sends nothing
            // and waits for the prompt.
            QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(sessionPromptDelayMs, this, [this, guarded] {
                if (guarded && !guarded->property("spoke").toBool())
                    play(guarded, {greetings.at(0), greetingDelivery}, false);
            });
            continue;
        }
        if (sessions) greeting = greetings.at(0);
        if (!greeting.empty()) {
            play(socket, {greeting, greetingDelivery}, false);
        }
    }
}

void FakeQueryServer::readFrom(QTcpSocket* socket) {
    const QByteArray bytes = socket->readAll();
    socket->setProperty("spoke", true);
    received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    pendingInput_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (std::size_t end; (end = pendingInput_.find(kDelimiter)) != std::string::npos;) {
        const std::string message = pendingInput_.substr(0, end);
        pendingInput_.erase(0, end + kDelimiter.size());
        if (message.starts_with("lo_")) {
            const std::string login = message.substr(3);
            const bool known = login == user + "," + password;
            sessionOpen_ = known;
            writeText(socket, known ? kAuthorized : kRefused);
        } else if (message.starts_with("sq")) {
            if (replies.empty()) {
                writeText(socket, "Process Error. The server has no reply scripted.");
                closeLater(socket);
            } else {
                ScriptedReply reply = replies.front();
                replies.pop_front();
                play(socket, reply, true);
            }
        } else if (message == "xxclosing") {
            sessionOpen_ = false;
            socket->disconnectFromHost();
            return;
        }
    }
}

void FakeQueryServer::play(QTcpSocket* socket, const ScriptedReply& reply, bool ends) {
    switch (reply.delivery) {
    case Delivery::Whole:
        writeText(socket, reply.text);
        if (ends) closeLater(socket);
        break;
    case Delivery::BeforeClose:
        writeText(socket, reply.text);
        if (ends) socket->disconnectFromHost();
        break;
    case Delivery::NeverEnds:
        writeText(socket, reply.text);
        break;
    case Delivery::OneByte: {
        QPointer<QTcpSocket> guarded(socket);
        for (std::size_t i = 0; i <= reply.text.size(); ++i) {
            QTimer::singleShot(static_cast<int>(i) * 2, this, [guarded, reply, i, ends] {
                if (!guarded) return;
                if (i < reply.text.size())
                    writeText(guarded, std::string_view(reply.text).substr(i, 1));
                else if (ends)
                    guarded->disconnectFromHost();
            });
        }
        break;
    }
    }
}

void FakeQueryServer::sendToAll(const std::string& text) {
    for (const QPointer<QTcpSocket>& socket : sockets_)
        if (socket && socket->state() == QAbstractSocket::ConnectedState) writeText(socket, text);
}

void FakeQueryServer::closeAll() {
    for (const QPointer<QTcpSocket>& socket : sockets_)
        if (socket) socket->disconnectFromHost();
}

std::vector<std::string> FakeQueryServer::messages() const {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = received_.find(kDelimiter, start)) != std::string::npos;) {
        out.push_back(received_.substr(start, end + kDelimiter.size() - start));
        start = end + kDelimiter.size();
    }
    if (start < received_.size()) out.push_back(received_.substr(start));
    return out;
}

int FakeQueryServer::openConnections() const {
    int open = 0;
    for (const QPointer<QTcpSocket>& socket : sockets_)
        if (socket && socket->state() == QAbstractSocket::ConnectedState) ++open;
    return open;
}

} // namespace varnoke::test
