#pragma once
// Links for the remote client's tests whose timers run only when the test moves their
// clock, so no test waits on a timer's luck. ScriptedLink has no socket: the test sets
// its state and fires its events, and it records what the client sends.
// ManualTimerLink puts the same timers over a real link.
#include "queries/remote_link.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varnoke::test {

class ScriptedLink : public RemoteLink {
public:
    void setEvents(RemoteLinkEvents* events) override { events_ = events; }
    void connectTo(const std::string& host, int port) override;
    void send(std::string_view bytes) override;
    void close() override { state_ = LinkState::Closed; }
    LinkState state() const override { return state_; }
    void startTimer(LinkTimer timer, int milliseconds) override;
    void stopTimer(LinkTimer timer) override { due_.erase(timer); }
    void post(std::function<void()> work) override { posted_.push_back(std::move(work)); }

    // The client's side of the link, to fire events at.
    RemoteLinkEvents& events() { return *events_; }
    void setState(LinkState state) { state_ = state; }
    // Runs the work posted so far, and what that work posts in turn.
    void runPosted();
    // Moves the clock on and fires, in order, the timers that fall due.
    void advance(int milliseconds);
    bool running(LinkTimer timer) const { return due_.contains(timer); }

    std::string host;
    int port = 0;
    std::string sent; // every byte sent, in order

private:
    RemoteLinkEvents* events_ = nullptr;
    LinkState state_ = LinkState::Closed;
    long long now_ = 0;
    std::map<LinkTimer, long long> due_;
    std::vector<std::function<void()>> posted_;
};

// A real link under manual timers; it counts the bytes it hands on and runs afterData
// after each chunk.
class ManualTimerLink : public ScriptedLink, private RemoteLinkEvents {
public:
    explicit ManualTimerLink(RemoteLink& inner);
    ~ManualTimerLink() override;

    void setEvents(RemoteLinkEvents* events) override { client_ = events; }
    void connectTo(const std::string& host, int port) override { inner_.connectTo(host, port); }
    void send(std::string_view bytes) override { inner_.send(bytes); }
    void close() override { inner_.close(); }
    LinkState state() const override { return inner_.state(); }
    void post(std::function<void()> work) override { inner_.post(std::move(work)); }

    std::size_t received() const { return received_; }
    std::function<void()> afterData;

private:
    // The client lets go of its events when it goes; nothing reaches it after.
    void linkConnected() override {
        if (client_) client_->linkConnected();
    }
    void linkData(std::string_view bytes) override;
    void linkPeerClosed() override {
        if (client_) client_->linkPeerClosed();
    }
    void linkFailed() override {
        if (client_) client_->linkFailed();
    }
    void linkTimer(LinkTimer timer) override {
        if (client_) client_->linkTimer(timer);
    }

    RemoteLink& inner_;
    RemoteLinkEvents* client_ = nullptr;
    std::size_t received_ = 0;
};

} // namespace varnoke::test
