#include "queries/remote_client.h"

#include "queries/remote_result.h"
#include "queries/remote_temp.h"
#include "value/runtime_error.h"

#include <algorithm>

namespace varnoke {

std::string remoteNoteText() {
    std::string text =
        "You must download/install the application called Quenlat on the remote machine.  "
        "Quenlat is a server that processes commands sent from Varnoke.   Quenlat is "
        "downloadable from: ";
    text.append(remotetext::kDownloadAddress).append(remotetext::kLineBreaks);
    text += "You must have an ESTABLISHED Internet connection (cable or dial-up), or be on a "
            "network, to send data to, and receive data from Quenlat.";
    return text;
}

void wipe(std::string& secret) {
    // Written through a volatile pointer so the compiler keeps the stores.
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
    secret.clear();
}

LoginAnswer::LoginAnswer(LoginAnswer&& other) noexcept
    : name(std::move(other.name)), password(std::move(other.password)) {
    wipe(other.password);
}

RemoteClient::RemoteClient(SharedState& state, Prompter& prompter, RemoteLink& link,
                           RemoteClientHost& host, RemoteWindow& window,
                           RemoteClientSettings settings)
    : state_(state), prompter_(prompter), link_(link), host_(host), window_(window),
      settings_(settings) {
    link_.setEvents(this);
}

RemoteClient::~RemoteClient() {
    link_.setEvents(nullptr);
}

bool RemoteClient::executeEnabled() const {
    return executeAllowed_ && !pending_ && !executeWaiting_ && !errorReply_;
}

void RemoteClient::updateExecute() {
    const bool enabled = executeEnabled();
    if (enabled == executeShown_) return;
    executeShown_ = enabled;
    host_.setExecuteEnabled(enabled);
}

void RemoteClient::setExecuteAllowed(bool allowed) {
    executeAllowed_ = allowed;
    updateExecute();
}

void RemoteClient::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    window_.setBusy(busy);
}

void RemoteClient::message(std::string_view text) {
    prompter_.messageBox(text, msgbox::OkOnly);
}

// --- Connect ----------------------------------------------------------------------

void RemoteClient::connectClick() {
    try {
        window_.showNote(remoteNoteText());
        state_.sessionOpen.clear();
        closeConnection();
        state_.remoteHost.clear();
        state_.loginPending = std::string(kFlagYes);
        setExecuteAllowed(false);
        connectToServer(AfterConnect::Nothing);
    } catch (const RuntimeError& e) {
        message(errorReport(e));
    }
}

bool RemoteClient::connectToServer(AfterConnect after) {
    if (state_.remoteHost.empty()) {
        setExecuteAllowed(false);
        state_.remoteHost = prompter_.inputBox(remotetext::kHostPrompt, remotetext::kHostTitle);
    }
    if (state_.remoteHost.empty()) {
        setExecuteAllowed(false);
        return false;
    }
    dropLink();
    afterConnect_ = after;
    link_.connectTo(state_.remoteHost, settings_.port);
    link_.startTimer(LinkTimer::Connect, settings_.connectTimeoutMs);
    return true;
}

void RemoteClient::closeConnection() {
    if (!state_.remoteHost.empty()) {
        if (link_.state() == LinkState::Connected) link_.send(remotetext::kClosing);
        if (isSet(state_.sessionOpen)) {
            std::string notice(remotetext::kLineBreaks);
            notice += remotetext::kTerminated;
            host_.appendToSql(notice);
        }
    }
    forgetSession();
}

void RemoteClient::forgetSession() {
    state_.sessionOpen.clear();
    state_.remoteHost.clear();
    dropLink();
    endPending();
    setExecuteAllowed(false);
    host_.setCaption(remotetext::kNotConnected);
}

void RemoteClient::dropLink() {
    link_.close();
    for (LinkTimer timer : {LinkTimer::Connect, LinkTimer::Result, LinkTimer::Quiet})
        link_.stopTimer(timer);
    afterConnect_ = AfterConnect::Nothing;
    held_.clear();
}

void RemoteClient::endPending() {
    link_.stopTimer(LinkTimer::Result);
    pending_ = false;
    executeWaiting_ = false;
    collecting_ = false;
    errorReply_ = false;
    wipe(responseText_);
    setBusy(false);
    updateExecute();
}

// --- Execute ----------------------------------------------------------------------

void RemoteClient::executeClick() {
    if (host_.sqlText().empty() || queryPending()) return;
    try {
        setBusy(true);
        window_.closeResultViewer();
        if (link_.state() != LinkState::Connected) {
            // Reconnects with the known host and no login; the query goes out once the
            // connection stands.
            if (!connectToServer(AfterConnect::Execute)) {
                setBusy(false);
                return;
            }
            executeWaiting_ = true;
            updateExecute();
            return;
        }
        sendQuery();
    } catch (const RuntimeError& e) {
        endPending();
        message(e.description());
    }
}

void RemoteClient::sendQuery() {
    executeWaiting_ = false;
    const std::string connectString = host_.connectionString();
    const std::string sql = host_.sqlText();
    const auto refuse = [&](std::string_view text, std::optional<RemoteFocus> focus) {
        endPending();
        message(text);
        if (focus) window_.setFocus(*focus);
    };
    if (connectString.empty())
        return refuse(remotetext::kNoConnectString, RemoteFocus::ConnectionString);
    if (sql.empty()) return refuse(remotetext::kNoSql, RemoteFocus::Sql);
    if (auto refusal = queryRefusal(connectString, sql)) return refuse(*refusal, std::nullopt);

    wipe(responseText_);
    collecting_ = false;
    errorReply_ = false;
    pending_ = true;
    updateExecute();
    link_.send(queryMessage(connectString, sql));
    link_.startTimer(LinkTimer::Result, settings_.resultTimeoutMs);
}

// --- socket events ----------------------------------------------------------------

// Every event is handled here to its end: whatever goes wrong is reported and ends the
// wait for a result, and nothing reaches the event loop.
template <typename Work> void RemoteClient::guard(Work&& work) noexcept {
    try {
        work();
        return;
    } catch (const RuntimeError& e) {
        report(errorReport(e));
    } catch (const std::exception& e) {
        report(std::string("Error: ") + e.what());
    }
}

void RemoteClient::report(const std::string& text) noexcept {
    try {
        dropLink();
        endPending();
        message(text);
    } catch (...) {
        // Nothing more can be told.
    }
}

void RemoteClient::linkConnected() {
    guard([this] { onConnected(); });
}

void RemoteClient::linkData(std::string_view bytes) {
    guard([this, bytes] { onData(bytes); });
}

void RemoteClient::linkPeerClosed() {
    guard([this] { onPeerClosed(); });
}

void RemoteClient::linkFailed() {
    guard([this] { onFailed(); });
}

void RemoteClient::linkTimer(LinkTimer timer) {
    guard([this, timer] { onTimer(timer); });
}

void RemoteClient::onConnected() {
    link_.stopTimer(LinkTimer::Connect);
    if (afterConnect_ == AfterConnect::Execute) {
        afterConnect_ = AfterConnect::Nothing;
        sendQuery();
    }
}

void RemoteClient::onFailed() {
    dropLink();
    endPending();
    state_.remoteHost.clear();
    setExecuteAllowed(false);
    message(remotetext::kConnectionProblem);
}

void RemoteClient::onTimer(LinkTimer timer) {
    switch (timer) {
    case LinkTimer::Connect:
        // Still no connection: the same as a connection that failed.
        if (link_.state() != LinkState::Connected) onFailed();
        break;
    case LinkTimer::Result:
        if (!pending_) break;
        dropLink();
        endPending();
        message("The query server sent no complete result within " +
                std::to_string(settings_.resultTimeoutMs / 1000) +
                " seconds.  Press Execute to try again.");
        break;
    case LinkTimer::Quiet:
        takeHeldText();
        if (errorReply_) showErrorReply();
        break;
    }
}

void RemoteClient::onData(std::string_view bytes) {
    if (collecting_) return collect(bytes);
    held_.append(bytes);
    // The server's control texts carry no end mark: one is recognised when the bytes
    // received so far are exactly it, and held while they are still its beginning. A
    // control text that came joined with other text is not recognised.
    if (const auto text = controlText(held_)) {
        held_.clear();
        link_.stopTimer(LinkTimer::Quiet);
        return act(*text);
    }
    if (isControlPrefix(held_)) {
        link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
        return;
    }
    link_.stopTimer(LinkTimer::Quiet);
    takeHeldText();
}

void RemoteClient::takeHeldText() {
    if (held_.empty()) return;
    std::string text = std::move(held_);
    held_.clear();
    if (pending_) {
        collecting_ = true;
        collect(text);
    } else {
        serverMessage(text);
    }
}

void RemoteClient::collect(std::string_view bytes) {
    if (responseText_.size() + bytes.size() > settings_.resultCapBytes) {
        dropLink();
        endPending();
        message("The query server's reply is larger than " +
                std::to_string(settings_.resultCapBytes >> 20) +
                " MiB, so it was not loaded.  The table Temp is unchanged.");
        return;
    }
    responseText_.append(bytes);
    if (errorReply_) {
        link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
    } else if (responseText_.size() >= remotetext::kProcessError.size() &&
               responseText_.starts_with(remotetext::kProcessError)) {
        // The server could not run the query; the rest of its text belongs to the report.
        errorReply_ = true;
        pending_ = false;
        link_.stopTimer(LinkTimer::Result);
        setBusy(false);
        updateExecute();
        link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
    }
}

void RemoteClient::serverMessage(std::string_view text) {
    std::string shown(remotetext::kLineBreaks);
    shown.append(text);
    host_.appendToSql(shown);
}

void RemoteClient::showErrorReply() {
    const std::string reply = responseText_;
    endPending();
    message(reply);
}

void RemoteClient::act(ServerText text) {
    switch (text) {
    case ServerText::Nothing:
        break;
    case ServerText::LoginPrompt:
        if (isSet(state_.loginPending)) {
            state_.loginPending.clear();
            link_.post([this] { guard([this] { askForLogin(); }); });
        } else if (pending_) {
            // The reconnection of Execute logs in no one, and the server wants a login.
            endSession(remotetext::kLoginAgain);
        }
        break;
    case ServerText::Authorized:
        host_.setCaption(std::string(remotetext::kConnectedTo) + state_.remoteHost);
        state_.loginPending.clear();
        setExecuteAllowed(true);
        state_.sessionOpen = std::string(kFlagYes);
        window_.setFocus(RemoteFocus::List);
        break;
    case ServerText::Refused:
        closeConnection();
        message(remotetext::kRefused);
        break;
    case ServerText::Stopped:
        endSession(remotetext::kStopped);
        break;
    }
}

void RemoteClient::endSession(std::string_view why) {
    forgetSession();
    message(why);
}

void RemoteClient::askForLogin() {
    if (link_.state() != LinkState::Connected) return;
    std::optional<LoginAnswer> answer = window_.askLogin();
    // Cancel sends nothing; the connection stays as it is until the next Connect.
    if (!answer || link_.state() != LinkState::Connected) return;
    if (auto refusal = loginRefusal(answer->name, answer->password)) {
        message(*refusal);
        return;
    }
    state_.loginName = answer->name;
    std::string login = loginMessage(answer->name, answer->password);
    wipe(answer->password);
    link_.send(login);
    wipe(login);
}

void RemoteClient::onPeerClosed() {
    link_.stopTimer(LinkTimer::Quiet);
    takeHeldText();
    if (errorReply_) return showErrorReply();
    if (!pending_) return setBusy(false);
    loadResult();
}

void RemoteClient::loadResult() {
    auto parsed = parseRemoteResult(responseText_);
    endPending();
    if (auto* error = std::get_if<RemoteResultError>(&parsed)) {
        message(error->description);
        message(remotetext::kProcessingError);
        return;
    }
    try {
        state_.rsRemoteQuery.close();
        rebuildTemp(state_.workDb, std::get<RemoteResult>(parsed));
        state_.rsRemoteQuery =
            state_.workDb.openRecordset("select * from Temp", RecordsetType::Dynaset);
        window_.showResult(state_.rsRemoteQuery);
    } catch (const RuntimeError& e) {
        message(errorReport(e));
        message(remotetext::kProcessingError);
    }
}

} // namespace varnoke
