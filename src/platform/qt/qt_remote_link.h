#pragma once
// The remote client's link over a QTcpSocket, with Qt timers and queued calls.
#include "queries/remote_link.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>

class QTcpSocket;

namespace varnoke {

class QtRemoteLink : public QObject, public RemoteLink {
    Q_OBJECT
public:
    explicit QtRemoteLink(QObject* parent = nullptr);
    ~QtRemoteLink() override;

    void setEvents(RemoteLinkEvents* events) override { events_ = events; }
    void connectTo(const std::string& host, int port) override;
    void send(std::string_view bytes) override;
    void close() override;
    LinkState state() const override;
    void startTimer(LinkTimer timer, int milliseconds) override;
    void stopTimer(LinkTimer timer) override;
    void post(std::function<void()> work) override;

private:
    void dataArrived();
    void peerClosed();
    void failed();

    RemoteLinkEvents* events_ = nullptr;
    QPointer<QTcpSocket> socket_;
    bool peerClosed_ = false;
    std::map<LinkTimer, QTimer*> timers_;
};

} // namespace varnoke
