#include "support/scripted_link.h"

namespace varnoke::test {

void ScriptedLink::connectTo(const std::string& toHost, int toPort) {
    host = toHost;
    port = toPort;
    state_ = LinkState::Connecting;
}

void ScriptedLink::send(std::string_view bytes) {
    if (state_ == LinkState::Connected) sent.append(bytes);
}

void ScriptedLink::startTimer(LinkTimer timer, int milliseconds) {
    due_[timer] = now_ + milliseconds;
}

void ScriptedLink::runPosted() {
    while (!posted_.empty()) {
        auto work = std::move(posted_.front());
        posted_.erase(posted_.begin());
        work();
    }
}

void ScriptedLink::advance(int milliseconds) {
    const long long until = now_ + milliseconds;
    for (;;) {
        // The earliest timer due by then; a timer fired may start or stop others.
        auto next = due_.end();
        for (auto it = due_.begin(); it != due_.end(); ++it)
            if (it->second <= until && (next == due_.end() || it->second < next->second)) next = it;
        if (next == due_.end()) break;
        const LinkTimer timer = next->first;
        now_ = next->second;
        due_.erase(next);
        if (events_) events_->linkTimer(timer);
    }
    now_ = until;
}

ManualTimerLink::ManualTimerLink(RemoteLink& inner) : inner_(inner) {
    inner_.setEvents(this);
    // The timers fire at the client, through the scripted link's clock.
    ScriptedLink::setEvents(this);
}

ManualTimerLink::~ManualTimerLink() {
    inner_.setEvents(nullptr);
}

void ManualTimerLink::linkData(std::string_view bytes) {
    received_ += bytes.size();
    if (client_) client_->linkData(bytes);
    if (afterData) afterData();
}

} // namespace varnoke::test
