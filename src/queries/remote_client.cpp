#include "queries/remote_client.h"

#include "process/handle_error.h"
#include "queries/remote_result.h"
#include "queries/remote_temp.h"
#include "value/runtime_error.h"

#include <new>

namespace varnoke {

namespace {

// The runtime's numbers for failures that are not the program's own errors.
constexpr int kErrOutOfMemory = 7;
constexpr int kErrInternal = 51;
// The engine's number for a result it cannot read as a table.
constexpr int kErrBadResult = 3274;

std::string duration(int milliseconds) {
    if (milliseconds % 1000 != 0) return std::to_string(milliseconds) + " milliseconds";
    const int seconds = milliseconds / 1000;
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

} // namespace

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
    wipeBytes(secret.data(), secret.size());
    secret.clear();
}

LoginAnswer::LoginAnswer(LoginAnswer&& other) noexcept
    : name(std::move(other.name)), password(std::move(other.password)) {
    wipe(other.password);
}

RemoteClient::RemoteClient(SharedState& state, Prompter& prompter, RemoteLink& link,
                           RemoteClientHost& host, RemoteWindow& window,
                           RemoteClientSettings settings)
    : shared_(state), prompter_(prompter), link_(link), host_(host), window_(window),
      settings_(settings), reply_(settings.resultCapBytes) {
    link_.setEvents(this);
}

RemoteClient::~RemoteClient() {
    link_.setEvents(nullptr);
}

void RemoteClient::message(std::string_view text, int style) {
    prompter_.messageBox(text, msgbox::OkOnly | style);
}

void RemoteClient::reportError(const RuntimeError& error) {
    showErrorMessage(prompter_, error);
}

bool RemoteClient::sessionOpen() const {
    return state_ == RemoteState::Connected || state_ == RemoteState::QueryPending ||
           state_ == RemoteState::ErrorReply;
}

void RemoteClient::handle(Event event, std::string_view text,
                          std::optional<LoginAnswer>* login) noexcept {
    guard([&] { on(event, text, login); });
}

template <typename Work> void RemoteClient::guard(Work&& work) noexcept {
    std::optional<RuntimeError> failure;
    try {
        work();
        return;
    } catch (const RuntimeError& e) {
        failure = e;
    } catch (const std::bad_alloc&) {
        failure = RuntimeError(kErrOutOfMemory, "Out of memory");
    } catch (const std::exception& e) {
        failure = RuntimeError(kErrInternal, e.what());
    }
    try {
        dropLink();
        enter(sessionOpen() ? RemoteState::Connected : RemoteState::NotConnected);
        reportError(*failure);
    } catch (...) {
        // Nothing more can be told.
    }
}

void RemoteClient::executeClick() {
    guard([this] {
        try {
            on(Event::Execute, {}, nullptr);
        } catch (const RuntimeError& e) {
            // Execute reports its own errors by their description.
            dropLink();
            enter(RemoteState::Connected);
            message(e.description());
        }
    });
}

// --- the one switch over events ------------------------------------------------------

void RemoteClient::on(Event event, std::string_view text, std::optional<LoginAnswer>* login) {
    using enum RemoteState;
    switch (event) {
    case Event::Connect:
        if (state_ == QueryPending &&
            prompter_.messageBox(remotetext::kGiveUpQuery,
                                 msgbox::YesNo | msgbox::Question | msgbox::DefaultButton2) !=
                answer::Yes)
            return;
        if (state_ == ErrorReply) showErrorReply();
        window_.showNote(remoteNoteText());
        // A Connect during a session sends the closing message but adds no notice.
        closeConnection(false);
        loginPending_ = true;
        return connectToServer();
    case Event::Execute:
        if (state_ != Connected || host_.sqlText().empty()) return;
        enter(QueryPending);
        window_.closeResultViewer();
        // After a result the server has closed: the same host again, without a login.
        if (link_.state() == LinkState::Connected) return sendQuery();
        return openLink();
    case Event::LinkConnected:
        link_.stopTimer(LinkTimer::Connect);
        if (state_ == Connecting) return enter(LoggingIn);
        if (state_ == QueryPending) return sendQuery();
        return;
    case Event::LoginPrompt:
        if (state_ == LoggingIn && loginPending_) {
            loginPending_ = false;
            // The modal login window opens from the event loop, not inside the read.
            link_.post([this] { guard([this] { askForLogin(); }); });
        } else if (state_ == QueryPending) {
            // The reconnection of Execute logs in no one, and the server wants a login.
            endSession(remotetext::kLoginAgain);
        }
        return;
    case Event::LoginAnswer:
        if (state_ == LoggingIn && link_.state() == LinkState::Connected) sendLogin(*login);
        return;
    case Event::Authorized:
        if (state_ != LoggingIn) return;
        enter(Connected);
        return window_.setFocus(RemoteFocus::List);
    case Event::Refused:
        closeConnection(true);
        return message(remotetext::kRefused);
    case Event::Stopped:
        return endSession(remotetext::kStopped);
    case Event::Text:
        if (state_ == QueryPending || state_ == ErrorReply) return collect(text);
        return serverMessage(text);
    case Event::PeerClosed:
        // Bytes held while they might still become a control text are a text now.
        takeHeldText();
        if (state_ == ErrorReply) return showErrorReply();
        if (state_ != QueryPending) return;
        if (reply_.empty()) {
            enter(Connected);
            return message(remotetext::kClosedWithoutResult);
        }
        return loadResult();
    case Event::LinkFailed:
        if (state_ != NotConnected) connectionFailed();
        return;
    case Event::ConnectTimeout:
        // Still no connection: the same as a connection that failed.
        if ((state_ == Connecting || state_ == QueryPending) &&
            link_.state() == LinkState::Connecting)
            connectionFailed();
        return;
    case Event::Silence:
        if (state_ != QueryPending) return;
        dropLink();
        enter(Connected);
        return message("The query server sent nothing for " + duration(settings_.resultSilenceMs) +
                       ", so the query was given up.  Press Execute to try again.");
    case Event::Quiet:
        takeHeldText();
        if (state_ == ErrorReply) showErrorReply();
        return;
    case Event::Close:
        return closeConnection(true);
    }
}

void RemoteClient::enter(RemoteState next) {
    using enum RemoteState;
    const RemoteState was = state_;
    state_ = next;
    if (next != QueryPending) link_.stopTimer(LinkTimer::Result);
    if (next != QueryPending && next != ErrorReply) reply_.release();
    if (next == NotConnected) {
        shared_.remoteHost.clear();
        loginPending_ = false;
        host_.setCaption(remotetext::kNotConnected);
    } else if (next == Connected && was == LoggingIn) {
        loginPending_ = false;
        host_.setCaption(std::string(remotetext::kConnectedTo) + shared_.remoteHost);
    }
    if (executeEnabled() != executeShown_) {
        executeShown_ = executeEnabled();
        host_.setExecuteEnabled(executeShown_);
    }
    if (queryPending() != busyShown_) {
        busyShown_ = queryPending();
        window_.setBusy(busyShown_);
    }
}

// --- connecting and closing ----------------------------------------------------------

void RemoteClient::connectToServer() {
    if (shared_.remoteHost.empty())
        shared_.remoteHost = prompter_.inputBox(remotetext::kHostPrompt, remotetext::kHostTitle);
    if (shared_.remoteHost.empty()) return;
    openLink();
    enter(RemoteState::Connecting);
}

void RemoteClient::openLink() {
    dropLink();
    link_.connectTo(shared_.remoteHost, settings_.port);
    link_.startTimer(LinkTimer::Connect, settings_.connectTimeoutMs);
}

void RemoteClient::dropLink() {
    link_.close();
    for (LinkTimer timer : {LinkTimer::Connect, LinkTimer::Result, LinkTimer::Quiet})
        link_.stopTimer(timer);
    held_.clear();
}

void RemoteClient::closeConnection(bool notice) {
    if (!shared_.remoteHost.empty()) {
        if (link_.state() == LinkState::Connected) link_.send(remotetext::kClosing);
        if (notice && sessionOpen()) {
            std::string text(remotetext::kLineBreaks);
            text += remotetext::kTerminated;
            host_.appendToSql(text);
        }
    }
    dropLink();
    enter(RemoteState::NotConnected);
}

void RemoteClient::endSession(std::string_view why) {
    dropLink();
    enter(RemoteState::NotConnected);
    message(why);
}

void RemoteClient::connectionFailed() {
    dropLink();
    enter(RemoteState::NotConnected);
    message(remotetext::kConnectionProblem);
}

// --- the login -------------------------------------------------------------------------

void RemoteClient::askForLogin() {
    if (state_ != RemoteState::LoggingIn || link_.state() != LinkState::Connected) return;
    std::optional<LoginAnswer> answer = window_.askLogin();
    on(Event::LoginAnswer, {}, &answer);
}

void RemoteClient::sendLogin(std::optional<LoginAnswer>& answer) {
    // Cancel sends nothing; the connection stays as it is until the next Connect.
    if (!answer) return;
    if (auto refusal = loginRefusal(answer->name, answer->password)) return message(*refusal);
    shared_.loginName = answer->name;
    std::string login = loginMessage(answer->name, answer->password);
    wipe(answer->password);
    link_.send(login);
    wipe(login);
}

// --- the query and its result ---------------------------------------------------------

void RemoteClient::sendQuery() {
    const std::string connectString = host_.connectionString();
    const std::string sql = host_.sqlText();
    const auto refuse = [&](std::string_view text, std::optional<RemoteFocus> focus) {
        enter(RemoteState::Connected);
        message(text);
        if (focus) window_.setFocus(*focus);
    };
    if (connectString.empty())
        return refuse(remotetext::kNoConnectString, RemoteFocus::ConnectionString);
    if (sql.empty()) return refuse(remotetext::kNoSql, RemoteFocus::Sql);
    if (auto refusal = queryRefusal(connectString, sql)) return refuse(*refusal, std::nullopt);
    link_.send(queryMessage(connectString, sql));
    link_.startTimer(LinkTimer::Result, settings_.resultSilenceMs);
}

void RemoteClient::linkData(std::string_view bytes) {
    guard([&] { frame(bytes); });
}

void RemoteClient::frame(std::string_view bytes) {
    using enum RemoteState;
    if (state_ == QueryPending) link_.startTimer(LinkTimer::Result, settings_.resultSilenceMs);
    // While a query is pending, every byte after the reply's first belongs to it: TCP
    // chunks cannot tell a control text from data.
    if (state_ == ErrorReply || (state_ == QueryPending && !reply_.empty()))
        return on(Event::Text, bytes, nullptr);
    held_.append(bytes);
    // The server's control texts carry no end mark: one is recognised when the bytes
    // received so far are exactly it, and held while they are still its beginning. A
    // control text that came joined with other text is not recognised.
    if (const auto text = controlText(held_)) {
        held_.clear();
        link_.stopTimer(LinkTimer::Quiet);
        switch (*text) {
        case ServerText::Nothing:
            return;
        case ServerText::LoginPrompt:
            return on(Event::LoginPrompt, {}, nullptr);
        case ServerText::Authorized:
            return on(Event::Authorized, {}, nullptr);
        case ServerText::Refused:
            return on(Event::Refused, {}, nullptr);
        case ServerText::Stopped:
            return on(Event::Stopped, {}, nullptr);
        }
    }
    if (isControlPrefix(held_)) return link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
    link_.stopTimer(LinkTimer::Quiet);
    takeHeldText();
}

void RemoteClient::takeHeldText() {
    if (held_.empty()) return;
    const std::string text = std::move(held_);
    held_.clear();
    on(Event::Text, text, nullptr);
}

void RemoteClient::collect(std::string_view bytes) {
    if (!reply_.append(bytes)) {
        // Refused as soon as the cap is passed; the rest is never read.
        dropLink();
        enter(RemoteState::Connected);
        return message("The query server's reply is larger than " +
                       std::to_string(reply_.cap() >> 20) +
                       " MiB, so it was not loaded.  The table Temp is unchanged.");
    }
    if (state_ == RemoteState::ErrorReply) {
        link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
    } else if (reply_.text().starts_with(remotetext::kProcessError)) {
        // The server could not run the query; the rest of its text belongs to the report.
        enter(RemoteState::ErrorReply);
        link_.startTimer(LinkTimer::Quiet, settings_.quietMs);
    }
}

void RemoteClient::showErrorReply() {
    const std::string reply(reply_.text());
    enter(RemoteState::Connected);
    message(reply);
}

void RemoteClient::serverMessage(std::string_view text) {
    std::string shown(remotetext::kLineBreaks);
    shown.append(text);
    host_.appendToSql(shown);
}

void RemoteClient::loadResult() {
    auto parsed = parseRemoteResult(reply_.text());
    enter(RemoteState::Connected);
    if (auto* error = std::get_if<RemoteResultError>(&parsed)) {
        reportError(RuntimeError(kErrBadResult, error->description));
        return message(remotetext::kProcessingError);
    }
    const RemoteResult& result = std::get<RemoteResult>(parsed);
    try {
        shared_.rsRemoteQuery.close();
        rebuildTemp(shared_.workDb, result);
        shared_.rsRemoteQuery =
            shared_.workDb.openRecordset("select * from Temp", RecordsetType::Dynaset);
    } catch (const RuntimeError& e) {
        reportError(e);
        return message(remotetext::kProcessingError);
    }
    window_.showResult(shared_.rsRemoteQuery);
    if (const std::string note = widenedNote(result); !note.empty())
        message(note, msgbox::Information);
}

void RemoteClient::linkPeerClosed() {
    handle(Event::PeerClosed);
}

void RemoteClient::linkTimer(LinkTimer timer) {
    switch (timer) {
    case LinkTimer::Connect:
        return handle(Event::ConnectTimeout);
    case LinkTimer::Result:
        return handle(Event::Silence);
    case LinkTimer::Quiet:
        return handle(Event::Quiet);
    }
}

} // namespace varnoke
