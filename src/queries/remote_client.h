#pragma once
// The remote query client of frmRemoteQuerys: Connect, the login, Execute, the server's
// texts and the result, as one state changed by one switch over events. Nothing here
// waits: a connection attempt, a login window and a result each end in an event.
#include "engine/recordset.h"
#include "platform/prompter.h"
#include "queries/remote_link.h"
#include "queries/remote_protocol.h"
#include "queries/reply_buffer.h"
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
inline constexpr std::string_view kClosedWithoutResult =
    "The query server closed the connection without sending a result.  Please try again.";
inline constexpr std::string_view kGiveUpQuery =
    "A query is still waiting for its result.  Give it up and connect again?";
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
    // How long the server may send nothing while a result is awaited: every byte
    // received starts the wait afresh, so a long result that keeps coming is never cut.
    int resultSilenceMs = 60000;
    std::size_t resultCapBytes = std::size_t{256} << 20;
    // How long a server text that may still grow into a control text is held.
    int quietMs = 500;
};

// Where the client stands with the query server.
enum class RemoteState {
    NotConnected, // no connection; Connect starts one
    Connecting,   // Connect's connection attempt is under way
    LoggingIn,    // connected; the login prompt, the login window or the server's answer
    Connected,    // the session is open and Execute may send a query
    QueryPending, // Execute's query is sent (or waits for its reconnection); the result is
                  // collected until the server closes
    ErrorReply,   // the reply began "Process Error."; the rest of it is collected to show
};

class RemoteClient : private RemoteLinkEvents {
public:
    RemoteClient(SharedState& state, Prompter& prompter, RemoteLink& link, RemoteClientHost& host,
                 RemoteWindow& window, RemoteClientSettings settings = {});
    ~RemoteClient() override;
    RemoteClient(const RemoteClient&) = delete;
    RemoteClient& operator=(const RemoteClient&) = delete;

    // Command1_Click, "&Connect"
    void connectClick() { handle(Event::Connect); }
    // cmdExecuteSQL_Click, "&Execute" (also the list's double click)
    void executeClick();
    // Sends the closing message while connected and ends the session.
    void closeConnection() { handle(Event::Close); }

    RemoteState state() const { return state_; }
    bool executeEnabled() const { return state_ == RemoteState::Connected; }
    bool queryPending() const { return state_ == RemoteState::QueryPending; }
    // The memory the reply collected so far holds.
    std::size_t replyBytesHeld() const { return reply_.capacity(); }

private:
    // What happens to the client; the server's texts are framed into their events
    // before they reach the one switch over events.
    enum class Event {
        Connect,
        Execute,
        LinkConnected,
        LoginPrompt,
        LoginAnswer,
        Authorized,
        Refused,
        Stopped,
        Text, // any other text of the server
        PeerClosed,
        LinkFailed,
        ConnectTimeout,
        Silence, // the result's silence limit passed
        Quiet,   // a held text stopped growing
        Close,
    };

    void linkConnected() override { handle(Event::LinkConnected); }
    void linkData(std::string_view bytes) override;
    void linkPeerClosed() override;
    void linkFailed() override { handle(Event::LinkFailed); }
    void linkTimer(LinkTimer timer) override;

    // Runs an event to its end: whatever goes wrong is reported through the program's
    // error message and ends the wait for a result; nothing reaches the event loop.
    void handle(Event event, std::string_view text = {},
                std::optional<LoginAnswer>* login = nullptr) noexcept;
    template <typename Work> void guard(Work&& work) noexcept;
    void on(Event event, std::string_view text, std::optional<LoginAnswer>* login);
    // The one place the state changes, with what shows it: Execute, the busy pointer,
    // the caption, the timers and the reply's memory.
    void enter(RemoteState next);

    void frame(std::string_view bytes);
    void takeHeldText();
    void collect(std::string_view bytes);
    void connectToServer();
    void openLink();
    void sendQuery();
    void askForLogin();
    void sendLogin(std::optional<LoginAnswer>& answer);
    void loadResult();
    void showErrorReply();
    void serverMessage(std::string_view text);
    void closeConnection(bool notice);
    // The server ended the session or wants a new login: nothing is sent, why is shown.
    void endSession(std::string_view why);
    void connectionFailed();
    void dropLink();
    bool sessionOpen() const;
    void message(std::string_view text, int style = 0);
    void reportError(const RuntimeError& error);

    SharedState& shared_;
    Prompter& prompter_;
    RemoteLink& link_;
    RemoteClientHost& host_;
    RemoteWindow& window_;
    RemoteClientSettings settings_;

    RemoteState state_ = RemoteState::NotConnected;
    bool loginPending_ = false; // the next login prompt opens the login window
    bool executeShown_ = false;
    bool busyShown_ = false;
    std::string held_; // the start of a text that may still become a control text
    ReplyBuffer reply_;
};

} // namespace varnoke
