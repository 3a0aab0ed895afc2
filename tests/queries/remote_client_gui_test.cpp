#include "platform/qt/qt_remote_link.h"
#include "queries/remote_client.h"
#include "support/fake_query_server_gui.h"
#include "support/scripted_platform.h"
#include "support/viewers_tables.h"

#include <QTest>
#include <deque>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace varnoke;
using namespace varnoke::test;

namespace {

const std::string kFullResult =
    "okName^~*200^~*5^~*Qty^~*2^~*2^~*Price^~*131^~*19^~*Id^~*72^~*16^~*When^~*135^~*8^~*"
    "Odd^~*4242^~*10^~*endOfFieldNames^~*"
    "Alexandra^~*3^~*12.75^~*{6F9619FF-8B86-D011-B42D-00C04FC964FF}^~*2001-03-01^~*x^~*"
    "endOfRow^~*"
    "BLANK^~*<NULL>^~*1^~*BLANK^~*BLANK^~*y^~*endOfRow^~*endOfData^~*";

// The window's side of the client, recording what the client asks of it.
class RecordingHost : public RemoteClientHost, public RemoteWindow {
public:
    std::string connect = "DSN=sales";
    std::string sql = "select * from orders";
    std::string appended;
    std::string caption = "Remote Queries";
    bool executeEnabled = false;
    std::vector<RemoteFocus> focus;
    bool busy = false;
    int notes = 0;
    int viewerCloses = 0;
    std::deque<std::optional<std::pair<std::string, std::string>>> logins;
    int loginWindows = 0;
    std::vector<Recordset> shown;

    std::string connectionString() const override { return connect; }
    std::string sqlText() const override { return sql; }
    void appendToSql(std::string_view text) override {
        appended += text;
        sql += text;
    }
    void setCaption(std::string_view text) override { caption = text; }
    void setExecuteEnabled(bool enabled) override { executeEnabled = enabled; }
    void setFocus(RemoteFocus f) override { focus.push_back(f); }
    void setBusy(bool b) override { busy = b; }
    std::optional<LoginAnswer> askLogin() override {
        ++loginWindows;
        EXPECT_FALSE(logins.empty()) << "unexpected login window";
        if (logins.empty()) return std::nullopt;
        auto next = logins.front();
        logins.pop_front();
        if (!next) return std::nullopt;
        return LoginAnswer(next->first, next->second);
    }
    void showNote(std::string_view text) override {
        ++notes;
        EXPECT_EQ(text, remoteNoteText());
    }
    void closeResultViewer() override { ++viewerCloses; }
    bool failToShow = false;
    void showResult(const Recordset& rs) override {
        if (failToShow) throw std::runtime_error("the viewer could not be built");
        shown.push_back(rs);
    }
};

class RemoteClientTest : public ::testing::Test {
protected:
    explicit RemoteClientTest(FakeQueryServer::Mode mode = FakeQueryServer::Mode::Normal)
        : server(mode) {
        state.workDb = data.db;
        state.workDbPath = data.db.name();
        // Every message box here has one button; the texts are what the tests check.
        for (int i = 0; i < 20; ++i)
            platform.prompter.answer(answer::Ok);
    }

    void makeClient(RemoteClientSettings settings = {}) {
        settings.port = server.port();
        settings.connectTimeoutMs = 1000;
        if (settings.resultTimeoutMs == 60000) settings.resultTimeoutMs = 5000;
        // Long enough that a busy machine never splits a reply sent in 1-byte writes.
        settings.quietMs = 1000;
        client =
            std::make_unique<RemoteClient>(state, platform.prompter, link, host, host, settings);
    }
    bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
        return QTest::qWaitFor(condition, ms);
    }
    // Connect, log in as the server's user, and wait for the session.
    void logIn() {
        platform.prompter.type("127.0.0.1");
        host.logins.push_back(std::pair{server.user, server.password});
        client->connectClick();
        ASSERT_TRUE(waitFor([&] { return isSet(state.sessionOpen); }));
    }
    void execute() { client->executeClick(); }
    bool waitForMessages(std::size_t count) {
        return waitFor([&] { return platform.prompter.messages().size() >= count; });
    }
    std::vector<std::string> tempNames() {
        std::vector<std::string> out;
        Recordset temp = data.open("Temp", RecordsetType::Table);
        for (int i = 0; i < temp.fieldCount(); ++i)
            out.push_back(temp.field(i).name());
        return out;
    }
    void loadFirstResult() {
        server.replies.push_back({kFullResult});
        execute();
        ASSERT_TRUE(waitFor([&] { return !host.shown.empty(); }));
    }

    ViewerDb data;
    SharedState state;
    ScriptedPlatform platform;
    FakeQueryServer server;
    RecordingHost host;
    QtRemoteLink link;
    std::unique_ptr<RemoteClient> client;
};

TEST_F(RemoteClientTest, ConnectLogsInWithTheExactBytesAndOpensTheSession) {
    makeClient();
    logIn();
    EXPECT_EQ(host.notes, 1);
    EXPECT_EQ(platform.prompter.shown().at(0).text, "Enter IP address of REMOTE system:");
    EXPECT_EQ(platform.prompter.shown().at(0).title, "Varnoke - Connect To...");
    EXPECT_EQ(server.messages(), std::vector<std::string>{"lo_ann,secret^~*"});
    EXPECT_EQ(host.caption, "Varnoke - Connected to: 127.0.0.1");
    EXPECT_TRUE(host.executeEnabled);
    EXPECT_EQ(host.focus.back(), RemoteFocus::List);
    EXPECT_EQ(state.loginName, "ann");
}

TEST_F(RemoteClientTest, AResultRebuildsTempAndShowsIt) {
    makeClient();
    logIn();
    loadFirstResult();
    EXPECT_EQ(server.messages().back(), "sqDSN=sales,select * from orders^~*");
    EXPECT_EQ(tempNames(), (std::vector<std::string>{"Name", "Qty", "Price", "Id", "When", "Odd"}));
    Recordset rs = host.shown.at(0);
    EXPECT_EQ(rs.recordCount(), 2);
    rs.moveFirst();
    EXPECT_EQ(rs.value("Name"), Value::text("Alexandra")); // longer than its size 5
    EXPECT_EQ(rs.value("Price"), Value::number(12.75));
    EXPECT_EQ(rs.value("Id"), Value::text("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    EXPECT_EQ(rs.value("Odd"), Value::text("x"));
    rs.moveNext();
    EXPECT_TRUE(rs.value("Name").isNull());
    EXPECT_TRUE(rs.value("Qty").isNull());
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(host.executeEnabled);
    EXPECT_TRUE(platform.prompter.messages().empty());
}

struct DeliveryCase {
    const char* label;
    Delivery delivery;
};

class RemoteDelivery : public RemoteClientTest,
                       public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(RemoteDelivery, TheResultArrivesWholeHoweverItIsCut) {
    makeClient();
    logIn();
    server.replies.push_back({kFullResult, GetParam().delivery});
    execute();
    ASSERT_TRUE(
        waitFor([&] { return !host.shown.empty() || !platform.prompter.messages().empty(); }));
    EXPECT_EQ(platform.prompter.messages(), std::vector<std::string>{});
    EXPECT_EQ(data.count("Temp"), 2);
}

INSTANTIATE_TEST_SUITE_P(RemoteClient, RemoteDelivery,
                         ::testing::Values(DeliveryCase{"Whole", Delivery::Whole},
                                           DeliveryCase{"OneByteWrites", Delivery::OneByte},
                                           DeliveryCase{"WithTheClose", Delivery::BeforeClose}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(RemoteClientTest, NothingBeforeTheResultIsNotPartOfIt) {
    makeClient();
    logIn();
    server.replies.push_back({kFullResult, Delivery::Whole});
    execute();
    server.sendToAll("nothing");
    ASSERT_TRUE(waitFor([&] { return !host.shown.empty(); }));
    EXPECT_EQ(data.count("Temp"), 2);
}

TEST_F(RemoteClientTest, APromptSplitIntoBytesStillOpensTheLoginWindow) {
    server.greetingDelivery = Delivery::OneByte;
    server.greetings = {"Send login ID, ZaredAzirozi."};
    makeClient();
    logIn();
    EXPECT_EQ(host.loginWindows, 1);
}

TEST_F(RemoteClientTest, APromptJoinedWithOtherTextIsAServerMessage) {
    server.greetings = {"loggedinX"};
    makeClient();
    platform.prompter.type("127.0.0.1");
    client->connectClick();
    ASSERT_TRUE(waitFor([&] { return !host.appended.empty(); }));
    EXPECT_EQ(host.appended, "\r\n\r\nloggedinX");
    EXPECT_EQ(host.loginWindows, 0);
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(RemoteClientTest, CancelInTheLoginWindowSendsNothing) {
    makeClient();
    platform.prompter.type("127.0.0.1");
    host.logins.push_back(std::nullopt);
    client->connectClick();
    ASSERT_TRUE(waitFor([&] { return host.loginWindows == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(server.received(), "");
    EXPECT_FALSE(host.executeEnabled);
}

TEST_F(RemoteClientTest, ALoginNameThatWouldBreakTheMessageIsRefusedBeforeSending) {
    makeClient();
    platform.prompter.type("127.0.0.1");
    host.logins.push_back(std::pair{std::string("ann,admin"), std::string("secret")});
    client->connectClick();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(),
              "The login name holds a comma, which the query server reads as the end of the "
              "login name.  Please remove it.");
    QTest::qWait(100);
    EXPECT_EQ(server.received(), "");
}

TEST_F(RemoteClientTest, ARefusedLoginClosesTheConnection) {
    makeClient();
    platform.prompter.type("127.0.0.1");
    host.logins.push_back(std::pair{std::string("ann"), std::string("wrong")});
    client->connectClick();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(
        platform.prompter.messages(),
        std::vector<std::string>{"Your user name or password is incorrect.  Please try again."});
    EXPECT_EQ(host.caption, "Varnoke - Not connected");
    EXPECT_FALSE(host.executeEnabled);
    EXPECT_EQ(state.remoteHost, "");
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }));
    EXPECT_EQ(server.messages(), (std::vector<std::string>{"lo_ann,wrong^~*", "xxclosing^~*"}));
}

TEST_F(RemoteClientTest, AFieldThatWouldBreakTheQueryIsRefusedAndNothingIsSent) {
    makeClient();
    logIn();
    host.connect = "DSN=a,b";
    execute();
    EXPECT_EQ(platform.prompter.messages().back(),
              "The connection string holds a comma, which the query server reads as the end of "
              "the connection string.  Please remove it.");
    host.connect = "DSN=a";
    host.sql = "";
    execute(); // an empty SQL box does nothing
    host.sql = "select '^~*'";
    execute();
    QTest::qWait(100);
    EXPECT_EQ(server.messages().size(), 1u); // the login only
    EXPECT_EQ(platform.prompter.messages().size(), 2u);
    EXPECT_TRUE(host.executeEnabled);
    EXPECT_FALSE(host.busy);
}

TEST_F(RemoteClientTest, EmptyConnectionStringIsAskedForWithItsFocus) {
    makeClient();
    logIn();
    host.connect = "";
    execute();
    EXPECT_EQ(platform.prompter.messages().back(), "Please enter a Connection String.");
    EXPECT_EQ(host.focus.back(), RemoteFocus::ConnectionString);
}

TEST_F(RemoteClientTest, ExecuteIsOffWhileAQueryIsPendingAndTheNextOneReconnectsSilently) {
    makeClient();
    logIn();
    server.replies.push_back({kFullResult, Delivery::NeverEnds});
    execute();
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }));
    EXPECT_FALSE(host.executeEnabled);
    EXPECT_TRUE(host.busy);
    execute();            // pressed again while pending: nothing is sent twice
    server.sendToAll(""); // nothing new
    QTest::qWait(100);
    EXPECT_EQ(server.messages().size(), 2u);
}

TEST_F(RemoteClientTest, TheNextExecuteReconnectsWithoutHostPromptOrLogin) {
    makeClient();
    logIn();
    loadFirstResult();
    server.replies.push_back({kFullResult});
    execute();
    ASSERT_TRUE(waitFor([&] { return host.shown.size() == 2; }));
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(host.loginWindows, 1);
    EXPECT_EQ(platform.prompter.shown().size(), 1u); // the host prompt of the Connect only
    EXPECT_EQ(host.viewerCloses, 2);
}

TEST_F(RemoteClientTest, ALoginPromptOnTheSilentReconnectEndsTheQuery) {
    server.laterGreeting = "loggedin";
    makeClient();
    logIn();
    loadFirstResult();
    execute();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(), remotetext::kLoginAgain);
    EXPECT_FALSE(host.busy);
    EXPECT_FALSE(host.executeEnabled);
    EXPECT_EQ(host.caption, "Varnoke - Not connected");
}

struct BadReply {
    const char* label;
    std::string text;
    Delivery delivery;
    std::vector<std::string> messages;
};

class RemoteBadReplies : public RemoteClientTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(RemoteBadReplies, LeaveThePreviousTempWholeAndSaySo) {
    makeClient();
    logIn();
    loadFirstResult();
    server.replies.push_back({GetParam().text, GetParam().delivery});
    execute();
    ASSERT_TRUE(waitForMessages(GetParam().messages.size()));
    QTest::qWait(150);
    EXPECT_EQ(platform.prompter.messages(), GetParam().messages);
    EXPECT_EQ(tempNames(), (std::vector<std::string>{"Name", "Qty", "Price", "Id", "When", "Odd"}));
    EXPECT_EQ(data.count("Temp"), 2);
    EXPECT_EQ(host.shown.size(), 1u);
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(host.executeEnabled);
}

const std::string kProcessing(remotetext::kProcessingError);

INSTANTIATE_TEST_SUITE_P(
    RemoteClient, RemoteBadReplies,
    ::testing::Values(BadReply{"DuplicateNames",
                               "okA^~*3^~*4^~*a^~*3^~*4^~*endOfFieldNames^~*endOfData^~*",
                               Delivery::Whole,
                               {"The result names the field \"a\" twice.", kProcessing}},
                      BadReply{"NoEndOfData",
                               "okA^~*3^~*4^~*endOfFieldNames^~*1^~*endOfRow^~*",
                               Delivery::BeforeClose,
                               {"The result ends before its end-of-data mark.", kProcessing}},
                      BadReply{"CloseWithNoData",
                               "",
                               Delivery::Whole,
                               {"The result ends before the end of its field names.", kProcessing}},
                      BadReply{"ProcessError",
                               "Process Error. Table orders not found.",
                               Delivery::Whole,
                               {"Process Error. Table orders not found."}},
                      BadReply{"ProcessErrorInBytes",
                               "Process Error. No such column.",
                               Delivery::OneByte,
                               {"Process Error. No such column."}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(RemoteClientTest, AReplyPastTheCapIsNotLoaded) {
    RemoteClientSettings settings;
    settings.resultCapBytes = 1 << 20;
    makeClient(settings);
    logIn();
    loadFirstResult();
    server.replies.push_back({"ok" + std::string((1 << 20) + 10, 'x')});
    execute();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(),
              "The query server's reply is larger than 1 MiB, so it was not loaded.  The table "
              "Temp is unchanged.");
    EXPECT_EQ(data.count("Temp"), 2);
    EXPECT_TRUE(host.executeEnabled);
}

TEST_F(RemoteClientTest, AResultThatNeverEndsTimesOutAndMayBeTriedAgain) {
    RemoteClientSettings settings;
    settings.resultTimeoutMs = 300;
    makeClient(settings);
    logIn();
    server.replies.push_back({"okA^~*3^~*", Delivery::NeverEnds});
    execute();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(),
              "The query server sent no complete result within 0 seconds.  Press Execute to try "
              "again.");
    EXPECT_TRUE(host.executeEnabled);
    EXPECT_FALSE(host.busy);
    server.replies.push_back({kFullResult});
    execute();
    ASSERT_TRUE(waitFor([&] { return !host.shown.empty(); }));
}

TEST_F(RemoteClientTest, AFailureInsideAnEventIsReportedAndEndsTheWait) {
    makeClient();
    logIn();
    host.failToShow = true;
    server.replies.push_back({kFullResult});
    execute();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(), "Error: the viewer could not be built");
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(host.executeEnabled);
}

TEST_F(RemoteClientTest, TheServerStoppingEndsTheSession) {
    makeClient();
    logIn();
    server.sendToAll(std::string(remotetext::kStopped));
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(platform.prompter.messages().back(), remotetext::kStopped);
    EXPECT_EQ(host.caption, "Varnoke - Not connected");
    EXPECT_FALSE(host.executeEnabled);
}

TEST_F(RemoteClientTest, AServerMessageGoesToTheSqlBox) {
    makeClient();
    logIn();
    server.sendToAll("Maintenance at noon.");
    ASSERT_TRUE(waitFor([&] { return !host.appended.empty(); }));
    EXPECT_EQ(host.appended, "\r\n\r\nMaintenance at noon.");
}

TEST_F(RemoteClientTest, ClosingDuringASessionSendsClosingAndAddsTheNotice) {
    makeClient();
    logIn();
    client->closeConnection();
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }));
    EXPECT_EQ(server.messages().back(), "xxclosing^~*");
    EXPECT_EQ(host.appended, "\r\n\r\nZaredAzirozi, your connection has been terminated.");
    EXPECT_EQ(host.caption, "Varnoke - Not connected");
}

TEST_F(RemoteClientTest, ASecondConnectSendsClosingWithoutTheNotice) {
    makeClient();
    logIn();
    platform.prompter.type("");
    client->connectClick();
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }));
    EXPECT_EQ(server.messages().back(), "xxclosing^~*");
    EXPECT_EQ(host.appended, "");
    EXPECT_FALSE(host.executeEnabled);
}

TEST_F(RemoteClientTest, NoHostEnteredConnectsNothing) {
    makeClient();
    platform.prompter.type("");
    client->connectClick();
    QTest::qWait(100);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_TRUE(platform.prompter.messages().empty());
}

struct FaultCase {
    const char* label;
    FakeQueryServer::Mode mode;
};

class RemoteConnectionFaults : public RemoteClientTest,
                               public ::testing::WithParamInterface<FaultCase> {
protected:
    RemoteConnectionFaults() : RemoteClientTest(GetParam().mode) {}
};

TEST_P(RemoteConnectionFaults, AreReportedOnceAndForgetTheHost) {
    makeClient();
    platform.prompter.type("127.0.0.1");
    client->connectClick();
    ASSERT_TRUE(waitForMessages(1));
    QTest::qWait(1200);
    EXPECT_EQ(platform.prompter.messages(),
              std::vector<std::string>{std::string(remotetext::kConnectionProblem)});
    EXPECT_EQ(state.remoteHost, "");
    EXPECT_FALSE(host.executeEnabled);
}

INSTANTIATE_TEST_SUITE_P(RemoteClient, RemoteConnectionFaults,
                         ::testing::Values(FaultCase{"Refused", FakeQueryServer::Mode::Refuse},
                                           FaultCase{"SlowAccept",
                                                     FakeQueryServer::Mode::SlowAccept}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(RemoteClientTest, AResetDuringAQueryIsReportedAndTempStays) {
    makeClient();
    logIn();
    loadFirstResult();
    // The next connection is reset at once: the query cannot be sent.
    server.replies.push_back({kFullResult});
    link.close();
    FakeQueryServer resetting(FakeQueryServer::Mode::ResetOnAccept);
    RemoteClientSettings settings;
    settings.port = resetting.port();
    settings.connectTimeoutMs = 1000;
    RemoteClient other(state, platform.prompter, link, host, host, settings);
    state.remoteHost = "127.0.0.1";
    other.executeClick();
    ASSERT_TRUE(waitForMessages(1));
    QTest::qWait(100);
    EXPECT_EQ(platform.prompter.messages(),
              std::vector<std::string>{std::string(remotetext::kConnectionProblem)});
    EXPECT_EQ(data.count("Temp"), 2);
    EXPECT_FALSE(host.busy);
}

} // namespace
