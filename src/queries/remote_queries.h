#pragma once
// frmRemoteQuerys, the "Remote Queries" window, without its widgets: the saved query
// list shared with the local window, the connection string and SQL texts, the
// "Samples" box, the ConnectStr row of each saved remote query, the button states,
// and the client that talks to the query server. The window mirrors this state into
// its controls whenever the view is told it changed.
#include "queries/remote_client.h"
#include "queries/saved_query_list.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace querytext {
inline constexpr std::string_view kRemoteCaption = "Remote Queries";
inline constexpr std::string_view kSamplesText = "Samples";
inline constexpr std::string_view kNoSample =
    "Sorry, a sample for the selected database is not on file.";
inline constexpr std::string_view kInfoTitle = "Varnoke - Info";
inline constexpr std::string_view kNoConnectString =
    "A corresponding Connection String is not on file.";
} // namespace querytext

inline constexpr int kRemoteLoadWidth = 6740;
inline constexpr int kRemoteLoadHeight = 5960;

// What the remote window's logic asks of its widgets and of the other windows.
class RemoteQueryView : public RemoteWindow {
public:
    // The texts, caption or button states changed.
    virtual void changed() = 0;
};

class RemoteQueries : public SavedQueryList, private RemoteClientHost {
public:
    RemoteQueries(SharedState& state, Prompter& prompter, SettingsStore& settings, RemoteLink& link,
                  RemoteQueryView& view, RemoteClientSettings settings_ = {});

    // Form_Load: the list, then the "Samples" box filled from SampleConnStr.
    bool formLoad();
    // Combo1_Click with the box's text.
    void chooseSample(const std::string& name);
    // Text1_Change / txtSQLStatement_Change
    void setConnectString(std::string text);
    void setSql(std::string text);
    // Command2_Click / Command3_Click
    void clearConnectString() { setConnectString({}); }
    void clearSql() { setSql({}); }
    // Form_Activate: the focus (the list in "select" mode, else Text1); Delete follows
    // the list.
    RemoteFocus activateWindow();
    void connectClick() { client_.connectClick(); }
    void executeClick() { client_.executeClick(); }
    // Form_QueryUnload: the position unless minimised, then the connection is closed.
    void queryUnload(bool minimised, int leftTwips, int topTwips);

    const std::vector<std::string>& samples() const { return samples_; }
    const std::string& connectString() const { return connectString_; }
    const std::string& sql() const { return sql_; }
    const std::string& caption() const { return caption_; }
    bool executeEnabled() const { return client_.executeEnabled(); }
    bool clearConnectEnabled() const { return !connectString_.empty(); }
    bool saveEnabled() const { return !sql_.empty(); }
    bool clearSqlEnabled() const { return !sql_.empty(); }

private:
    // --- the saved query list's hooks
    std::string sqlText() const override { return sql_; }
    void showEntry(const std::string& sql) override;
    void afterUpdate(const std::string& name) override;
    void afterCreate(const std::string& name) override;
    void afterRemove(const std::string& name) override;

    // --- the client's host
    std::string connectionString() const override { return connectString_; }
    void appendToSql(std::string_view text) override;
    void setCaption(std::string_view caption) override;
    void setExecuteEnabled(bool) override { view_.changed(); }

    // ConnectStr opened on QueryNameIndex and positioned on name's row, if it has one.
    Recordset seekConnectRow(const std::string& name, bool& found);
    void writeConnectRow(Recordset& rows, const std::string& name) const;

    RemoteQueryView& view_;
    RemoteClient client_;
    std::vector<std::string> samples_;
    std::string connectString_;
    std::string sql_;
    std::string caption_{querytext::kRemoteCaption};
};

} // namespace varnoke
