#pragma once
// The remote query client of frmRemoteQuerys: Connect, the login, Execute, the server's
// texts and the result, as a state machine driven by the link's events. Nothing here
// waits: a connection attempt, a login window and a result each end in an event.
#include "engine/recordset.h"
#include "platform/prompter.h"
#include "queries/remote_link.h"
#include "queries/remote_protocol.h"
#include "shell/shared_state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

namespace remotetext {
inline constexpr std::string_view kNotConnected = "Varnoke - Not connected";
inline constexpr std::string_view kConnectedTo = "Varnoke - Connected to: ";
inline constexpr std::string_view kHostPrompt = "Enter IP address of REMOTE system:";
inline constexpr std::string_view kHostTitle = "Varnoke - Connect To...";
inline constexpr std::string_view kNoConnectString = "Please enter a Connection String.";
inline constexpr std::string_view kNoSql = "Please enter a SQL Statement.";
inline constexpr std::string_view kConnectionProblem =
    "There was a problem connecting, or with the connection.  Please try to connect again.";
inline constexpr std::string_view kProcessingError =
    "An error occured while processing the data.  Please try again.";
inline constexpr std::string_view kTerminated =
    "ZaredAzirozi, your connection has been terminated.";
inline constexpr std::string_view kLoginAgain =
    "The query server asked for a login again, so the query was not run.  Please Connect "
    "and log in, then Execute again.";
inline constexpr std::string_view kLineBreaks = "\r\n\r\n";
inline constexpr std::string_view kDownloadAddress = "https://varnoke.example.org/server";
} // namespace remotetext

// The note Form6 shows before a connection.
std::string remoteNoteText();

// Overwrites a text that held a password before letting it go.
void wipe(std::string& secret);

// Name and password from the login window; the password is wiped when it goes.
struct LoginAnswer {
    std::string name;
    std::string password;
    LoginAnswer(std::string n, std::string p) : name(std::move(n)), password(std::move(p)) {}
    LoginAnswer(const LoginAnswer&) = delete;
    LoginAnswer& operator=(const LoginAnswer&) = delete;
    LoginAnswer(LoginAnswer&& other) noexcept;
    LoginAnswer& operator=(LoginAnswer&&) = delete;
    ~LoginAnswer() { wipe(password); }
};

enum class RemoteFocus { List, ConnectionString, Sql };

// What the client needs of its window's texts and state.
class RemoteClientHost {
public:
    virtual ~RemoteClientHost() = default;
    virtual std::string connectionString() const = 0; // Text1
    virtual std::string sqlText() const = 0;          // txtSQLStatement
    // Adds to the SQL box and puts the caret at its end.
    virtual void appendToSql(std::string_view text) = 0;
    virtual void setCaption(std::string_view caption) = 0;
    virtual void setExecuteEnabled(bool enabled) = 0;
};

// What the client needs of the window itself and of the windows it opens.
class RemoteWindow {
public:
    virtual ~RemoteWindow() = default;
    virtual void setFocus(RemoteFocus focus) = 0;
    virtual void setBusy(bool busy) = 0;
    // Form14, modal: the name and password typed, or nothing after Cancel.
    virtual std::optional<LoginAnswer> askLogin() = 0;
    // Form6, modal, unless the user switched it off.
    virtual void showNote(std::string_view text) = 0;
    // Unloads the Remote Query viewer Form15 when it is visible.
    virtual void closeResultViewer() = 0;
    // Binds the result to Form15, counts and shows it.
    virtual void showResult(const Recordset& rs) = 0;
};

struct RemoteClientSettings {
    int port = 61234;
    int connectTimeoutMs = 3000;
    int resultTimeoutMs = 60000;
    std::size_t resultCapBytes = std::size_t{256} << 20;
    // How long a server text that may still grow into a control text is held.
    int quietMs = 500;
};

class RemoteClient : private RemoteLinkEvents {
public:
    RemoteClient(SharedState& state, Prompter& prompter, RemoteLink& link, RemoteClientHost& host,
                 RemoteWindow& window, RemoteClientSettings settings = {});
    ~RemoteClient() override;
    RemoteClient(const RemoteClient&) = delete;
    RemoteClient& operator=(const RemoteClient&) = delete;

    // Command1_Click, "&Connect"
    void connectClick();
    // cmdExecuteSQL_Click, "&Execute" (also the list's double click)
    void executeClick();
    // Sends the closing message while connected and ends the session.
    void closeConnection();

    bool executeEnabled() const;
    bool queryPending() const { return pending_ || executeWaiting_; }

private:
    enum class AfterConnect { Nothing, Execute };

    void linkConnected() override;
    void linkData(std::string_view bytes) override;
    void linkPeerClosed() override;
    void linkFailed() override;
    void linkTimer(LinkTimer timer) override;

    void onConnected();
    void onData(std::string_view bytes);
    void onPeerClosed();
    void onFailed();
    void onTimer(LinkTimer timer);
    template <typename Work> void guard(Work&& work) noexcept;
    // An unexpected failure in an event: the wait ends and text is shown.
    void report(const std::string& text) noexcept;

    bool connectToServer(AfterConnect after);
    void sendQuery();
    void act(ServerText text);
    void askForLogin();
    void takeHeldText();
    void collect(std::string_view bytes);
    void serverMessage(std::string_view text);
    void loadResult();
    void showErrorReply();
    void dropLink();
    // The server ended the session or wants a new login: nothing is sent, why is shown.
    void endSession(std::string_view why);
    // Host and session forgotten, the link dropped, Execute off, "Not connected".
    void forgetSession();
    void endPending();
    void setExecuteAllowed(bool allowed);
    void updateExecute();
    void setBusy(bool busy);
    void message(std::string_view text);

    SharedState& state_;
    Prompter& prompter_;
    RemoteLink& link_;
    RemoteClientHost& host_;
    RemoteWindow& window_;
    RemoteClientSettings settings_;

    AfterConnect afterConnect_ = AfterConnect::Nothing;
    bool executeAllowed_ = false;
    bool executeShown_ = false;
    bool executeWaiting_ = false; // Execute waits for its reconnection
    bool pending_ = false;        // a query was sent and its result is awaited
    bool collecting_ = false;     // every byte now belongs to the reply
    bool errorReply_ = false;     // the reply is a "Process Error."
    bool busy_ = false;
    std::string held_;         // the start of a text that may still become a control text
    std::string responseText_; // the reply collected so far
};

} // namespace varnoke
