// The remote client's states as a table: from each state, each event leads to one
// state, with the messages shown and the bytes sent. The link is scripted and its
// timers run only when the test moves their clock.
#include "queries/remote_client.h"
#include "support/recording_remote_host.h"
#include "support/scripted_link.h"
#include "support/scripted_platform.h"
#include "support/viewers_tables.h"

#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace varnoke {
void PrintTo(RemoteState state, std::ostream* out) {
    static constexpr const char* kNames[] = {"NotConnected", "Connecting",   "LoggingIn",
                                             "Connected",    "QueryPending", "ErrorReply"};
    *out << kNames[static_cast<int>(state)];
}
} // namespace varnoke

namespace {

using enum RemoteState;

enum class Step {
    Connect,       // "&Connect" with the host typed
    ConnectNoHost, // "&Connect" with no host typed
    Execute,
    LinkUp,
    Prompt, // "loggedin", and the login window answered with the server's user
    Authorized,
    Refused,
    Stopped,
    ServerText,
    ProcessError,
    Result, // a whole result, then the server's close
    PeerClosed,
    LinkFailed,
    ConnectTimeout,
    Silence,
    Quiet,
    Close,
};

const RemoteClientSettings kSettings;
const std::string kResult = "okA^~*3^~*4^~*endOfFieldNames^~*7^~*endOfRow^~*endOfData^~*";
const std::string kSilence =
    "The query server sent nothing for 60 seconds, so the query was given up.  Press Execute "
    "to try again.";

class RemoteStates : public ::testing::Test {
protected:
    RemoteStates() {
        state.workDb = data.db;
        state.workDbPath = data.db.name();
    }

    void fire(Step step) {
        RemoteLinkEvents& events = link.events();
        switch (step) {
        case Step::Connect:
            platform.prompter.type("host");
            return client.connectClick();
        case Step::ConnectNoHost:
            platform.prompter.type("");
            return client.connectClick();
        case Step::Execute:
            return client.executeClick();
        case Step::LinkUp:
            link.setState(LinkState::Connected);
            return events.linkConnected();
        case Step::Prompt:
            host.logins.push_back(std::pair{std::string("ann"), std::string("secret")});
            events.linkData("loggedin");
            return link.runPosted();
        case Step::Authorized:
            return events.linkData(remotetext::kAuthorized);
        case Step::Refused:
            return events.linkData(remotetext::kRefused);
        case Step::Stopped:
            return events.linkData(remotetext::kStopped);
        case Step::ServerText:
            return events.linkData("Maintenance at noon.");
        case Step::ProcessError:
            return events.linkData("Process Error. No such table.");
        case Step::Result:
            events.linkData(kResult);
            [[fallthrough]];
        case Step::PeerClosed:
            link.setState(LinkState::PeerClosed);
            return events.linkPeerClosed();
        case Step::LinkFailed:
            link.setState(LinkState::Closed);
            return events.linkFailed();
        case Step::ConnectTimeout:
            return link.advance(kSettings.connectTimeoutMs);
        case Step::Silence:
            return link.advance(kSettings.resultSilenceMs);
        case Step::Quiet:
            return link.advance(kSettings.quietMs);
        case Step::Close:
            return client.closeConnection();
        }
    }

    // The events that lead from a new client to the state.
    void reach(RemoteState target) {
        static const std::vector<std::pair<RemoteState, Step>> kPath{
            {Connecting, Step::Connect},   {LoggingIn, Step::LinkUp},
            {LoggingIn, Step::Prompt},     {Connected, Step::Authorized},
            {QueryPending, Step::Execute}, {ErrorReply, Step::ProcessError}};
        if (target == NotConnected) return;
        for (const auto& [reached, step] : kPath) {
            fire(step);
            if (reached == target) break;
        }
        ASSERT_EQ(client.state(), target);
    }

    ViewerDb data;
    SharedState state;
    ScriptedPlatform platform;
    RecordingRemoteHost host;
    ScriptedLink link;
    RemoteClient client{state, platform.prompter, link, host, host, kSettings};
};

struct Transition {
    const char* label;
    RemoteState from;
    Step step;
    std::vector<int> answers; // the message boxes' answers, OK when not given
    RemoteState to;
    std::vector<std::string> messages;
    std::string sent;
};

void PrintTo(const Transition& t, std::ostream* out) {
    *out << t.label;
}

class RemoteTransitions : public RemoteStates, public ::testing::WithParamInterface<Transition> {};

TEST_P(RemoteTransitions, LeadToOneStateWithTheirMessagesAndBytes) {
    const Transition& t = GetParam();
    reach(t.from);
    const std::size_t shownBefore = platform.prompter.messages().size();
    link.sent.clear();
    for (int code : t.answers)
        platform.prompter.answer(code);
    for (std::size_t i = t.answers.size(); i < t.messages.size(); ++i)
        platform.prompter.answer(answer::Ok);

    fire(t.step);

    EXPECT_EQ(client.state(), t.to);
    const std::vector<std::string> all = platform.prompter.messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(shownBefore), all.end()),
              t.messages);
    EXPECT_EQ(link.sent, t.sent);
    // What shows the state follows it.
    EXPECT_EQ(host.executeEnabled, t.to == Connected);
    EXPECT_EQ(host.busy, t.to == QueryPending);
    EXPECT_EQ(link.running(LinkTimer::Result), t.to == QueryPending);
}

const std::string kQuery = "sqDSN=sales,select * from orders^~*";
const std::string kClosing(remotetext::kClosing);
const std::string kProblem(remotetext::kConnectionProblem);

INSTANTIATE_TEST_SUITE_P(
    RemoteClient, RemoteTransitions,
    ::testing::Values(
        Transition{"NotConnectedConnect", NotConnected, Step::Connect, {}, Connecting, {}, ""},
        Transition{
            "NotConnectedNoHost", NotConnected, Step::ConnectNoHost, {}, NotConnected, {}, ""},
        Transition{"NotConnectedExecute", NotConnected, Step::Execute, {}, NotConnected, {}, ""},
        Transition{"ConnectingLinkUp", Connecting, Step::LinkUp, {}, LoggingIn, {}, ""},
        Transition{
            "ConnectingFailed", Connecting, Step::LinkFailed, {}, NotConnected, {kProblem}, ""},
        Transition{"ConnectingTimeout",
                   Connecting,
                   Step::ConnectTimeout,
                   {},
                   NotConnected,
                   {kProblem},
                   ""},
        Transition{
            "LoggingInPrompt", LoggingIn, Step::Prompt, {}, LoggingIn, {}, "lo_ann,secret^~*"},
        Transition{"LoggingInAuthorized", LoggingIn, Step::Authorized, {}, Connected, {}, ""},
        Transition{"LoggingInRefused",
                   LoggingIn,
                   Step::Refused,
                   {},
                   NotConnected,
                   {std::string(remotetext::kRefused)},
                   kClosing},
        Transition{"LoggingInExecute", LoggingIn, Step::Execute, {}, LoggingIn, {}, ""},
        Transition{"LoggingInServerText", LoggingIn, Step::ServerText, {}, LoggingIn, {}, ""},
        Transition{"ConnectedExecute", Connected, Step::Execute, {}, QueryPending, {}, kQuery},
        Transition{"ConnectedSecondPrompt", Connected, Step::Prompt, {}, Connected, {}, ""},
        Transition{"ConnectedStopped",
                   Connected,
                   Step::Stopped,
                   {},
                   NotConnected,
                   {std::string(remotetext::kStopped)},
                   ""},
        Transition{"ConnectedClose", Connected, Step::Close, {}, NotConnected, {}, kClosing},
        Transition{"ConnectedConnect", Connected, Step::Connect, {}, Connecting, {}, kClosing},
        Transition{"ConnectedPeerClosed", Connected, Step::PeerClosed, {}, Connected, {}, ""},
        Transition{
            "ConnectedFailed", Connected, Step::LinkFailed, {}, NotConnected, {kProblem}, ""},
        Transition{"PendingResult", QueryPending, Step::Result, {}, Connected, {}, ""},
        Transition{"PendingCloseWithoutData",
                   QueryPending,
                   Step::PeerClosed,
                   {},
                   Connected,
                   {std::string(remotetext::kClosedWithoutResult)},
                   ""},
        Transition{"PendingProcessError", QueryPending, Step::ProcessError, {}, ErrorReply, {}, ""},
        Transition{"PendingSilence", QueryPending, Step::Silence, {}, Connected, {kSilence}, ""},
        Transition{"PendingPromptOnReconnect",
                   QueryPending,
                   Step::Prompt,
                   {},
                   NotConnected,
                   {std::string(remotetext::kLoginAgain)},
                   ""},
        Transition{"PendingConnectKept",
                   QueryPending,
                   Step::Connect,
                   {answer::No},
                   QueryPending,
                   {std::string(remotetext::kGiveUpQuery)},
                   ""},
        Transition{"PendingConnectGivenUp",
                   QueryPending,
                   Step::Connect,
                   {answer::Yes},
                   Connecting,
                   {std::string(remotetext::kGiveUpQuery)},
                   kClosing},
        Transition{"PendingExecuteAgain", QueryPending, Step::Execute, {}, QueryPending, {}, ""},
        Transition{"PendingStopped",
                   QueryPending,
                   Step::Stopped,
                   {},
                   NotConnected,
                   {std::string(remotetext::kStopped)},
                   ""},
        Transition{
            "PendingFailed", QueryPending, Step::LinkFailed, {}, NotConnected, {kProblem}, ""},
        Transition{"PendingClose", QueryPending, Step::Close, {}, NotConnected, {}, kClosing},
        Transition{"ErrorReplyQuiet",
                   ErrorReply,
                   Step::Quiet,
                   {},
                   Connected,
                   {"Process Error. No such table."},
                   ""},
        Transition{"ErrorReplyPeerClosed",
                   ErrorReply,
                   Step::PeerClosed,
                   {},
                   Connected,
                   {"Process Error. No such table."},
                   ""},
        Transition{"ErrorReplyExecute", ErrorReply, Step::Execute, {}, ErrorReply, {}, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(RemoteStates, EveryByteOfAPendingResultStartsTheSilenceLimitAfresh) {
    reach(QueryPending);
    link.events().linkData("okA^~*3^~*4^~*endOfFieldNames^~*");
    for (int i = 0; i < 10; ++i) {
        link.advance(kSettings.resultSilenceMs - 1);
        link.events().linkData("7^~*endOfRow^~*");
    }
    EXPECT_EQ(client.state(), QueryPending);
    link.events().linkData("endOfData^~*");
    link.setState(LinkState::PeerClosed);
    link.events().linkPeerClosed();
    EXPECT_EQ(client.state(), Connected);
    EXPECT_EQ(platform.prompter.messages(), std::vector<std::string>{});
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].recordCount(), 10);
}

TEST_F(RemoteStates, AnErrorInConnectIsShownUnderTheProgramsErrorTitle) {
    host.noteFails = true;
    platform.prompter.answer(answer::Ok);
    fire(Step::Connect);
    ASSERT_EQ(platform.prompter.shown().size(), 1u);
    EXPECT_EQ(platform.prompter.last().text, "The table 'Settings' could not be read.");
    EXPECT_EQ(platform.prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(platform.prompter.last().style, msgbox::Information);
    EXPECT_EQ(client.state(), NotConnected);
    EXPECT_EQ(link.host, "");
}

} // namespace
