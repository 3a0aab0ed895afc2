#include "platform/qt/qt_remote_link.h"

#include <QTcpSocket>

namespace varnoke {

namespace {
// The most the socket holds before the client takes it: a reply past the client's cap
// costs at most this much more than the cap.
constexpr qint64 kChunkBytes = qint64{1024} << 10;
} // namespace

QtRemoteLink::QtRemoteLink(QObject* parent) : QObject(parent) {
    for (LinkTimer kind : {LinkTimer::Connect, LinkTimer::Result, LinkTimer::Quiet}) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, kind] {
            if (events_) events_->linkTimer(kind);
        });
        timers_[kind] = timer;
    }
}

QtRemoteLink::~QtRemoteLink() {
    events_ = nullptr;
    close();
}

void QtRemoteLink::connectTo(const std::string& host, int port) {
    close();
    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    peerClosed_ = false;
    socket->setReadBufferSize(kChunkBytes);
    connect(socket, &QTcpSocket::connected, this, [this] {
        if (events_) events_->linkConnected();
    });
    connect(socket, &QTcpSocket::readyRead, this, &QtRemoteLink::dataArrived);
    connect(socket, &QTcpSocket::disconnected, this, &QtRemoteLink::peerClosed);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The peer's close is reported by disconnected, after its last bytes.
        if (error != QAbstractSocket::RemoteHostClosedError) failed();
    });
    socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
}

void QtRemoteLink::send(std::string_view bytes) {
    if (state() != LinkState::Connected) return;
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void QtRemoteLink::close() {
    if (!socket_) return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    if (socket->state() == QAbstractSocket::ConnectedState) socket->flush();
    socket->abort();
    socket->deleteLater();
}

LinkState QtRemoteLink::state() const {
    if (!socket_) return LinkState::Closed;
    if (peerClosed_) return LinkState::PeerClosed;
    switch (socket_->state()) {
    case QAbstractSocket::ConnectedState:
        return LinkState::Connected;
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return LinkState::Connecting;
    default:
        return LinkState::Closed;
    }
}

void QtRemoteLink::startTimer(LinkTimer timer, int milliseconds) {
    timers_.at(timer)->start(milliseconds);
}

void QtRemoteLink::stopTimer(LinkTimer timer) {
    timers_.at(timer)->stop();
}

void QtRemoteLink::post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void QtRemoteLink::dataArrived() {
    // The client may close the link while it takes a chunk.
    while (socket_ && events_ && socket_->bytesAvailable() > 0) {
        const QByteArray bytes = socket_->read(kChunkBytes);
        events_->linkData(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
}

void QtRemoteLink::peerClosed() {
    if (!socket_) return;
    // Bytes that came together with the close are still to be read.
    dataArrived();
    if (!socket_) return;
    peerClosed_ = true;
    if (events_) events_->linkPeerClosed();
}

void QtRemoteLink::failed() {
    if (!socket_) return;
    close();
    if (events_) events_->linkFailed();
}

} // namespace varnoke
