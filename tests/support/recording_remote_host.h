#pragma once
// The remote query window's side of the remote client for its tests: it records what
// the client asks of it and answers the login window from a queue.
#include "queries/remote_client.h"
#include "value/runtime_error.h"

#include <deque>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace varnoke::test {

class RecordingRemoteHost : public RemoteClientHost, public RemoteWindow {
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
    // Answers of the login window, in order; nothing stands for Cancel.
    std::deque<std::optional<std::pair<std::string, std::string>>> logins;
    int loginWindows = 0;
    std::vector<Recordset> shown;
    bool failToShow = false; // the viewer throws
    bool noteFails = false;  // the note's table cannot be read

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
        if (noteFails) throw RuntimeError(3078, "The table 'Settings' could not be read.");
        EXPECT_EQ(text, remoteNoteText());
    }
    void closeResultViewer() override { ++viewerCloses; }
    void showResult(const Recordset& rs) override {
        if (failToShow) throw std::runtime_error("the viewer could not be built");
        shown.push_back(rs);
    }
};

} // namespace varnoke::test
