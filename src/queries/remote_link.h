#pragma once
// The remote client's one TCP connection and its timers, as events it reacts to. The
// program serves it with a Qt socket; tests may serve it with anything. Every event
// arrives from the event loop, never from inside a call the client makes.
#include <functional>
#include <string>
#include <string_view>

namespace varnoke {

enum class LinkState { Closed, Connecting, Connected, PeerClosed };
enum class LinkTimer { Connect, Result, Quiet };

class RemoteLinkEvents {
public:
    virtual ~RemoteLinkEvents() = default;
    virtual void linkConnected() = 0;
    virtual void linkData(std::string_view bytes) = 0;
    // The server closed the connection; every byte it sent before has been handed over.
    virtual void linkPeerClosed() = 0;
    // The connection could not be made or broke (refused, reset, no such host).
    virtual void linkFailed() = 0;
    virtual void linkTimer(LinkTimer timer) = 0;
};

class RemoteLink {
public:
    virtual ~RemoteLink() = default;
    virtual void setEvents(RemoteLinkEvents* events) = 0;
    virtual void connectTo(const std::string& host, int port) = 0;
    // Sends on a connected link; nothing otherwise.
    virtual void send(std::string_view bytes) = 0;
    // Drops the connection at once; no event of it follows.
    virtual void close() = 0;
    virtual LinkState state() const = 0;
    // A one-shot timer; starting a running one starts it afresh.
    virtual void startTimer(LinkTimer timer, int milliseconds) = 0;
    virtual void stopTimer(LinkTimer timer) = 0;
    // Runs work from the event loop once the current event is handled.
    virtual void post(std::function<void()> work) = 0;
};

} // namespace varnoke
