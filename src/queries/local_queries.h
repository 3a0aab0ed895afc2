#pragma once
// frmQuerys, the "Local Queries" window, without its widgets: the saved query list,
// the SQL text, the button states, and what Save, Delete, Execute and closing do. The
// window mirrors this state into its controls after every handler.
#include "engine/database.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "shell/shared_state.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace querytext {
inline constexpr std::string_view kWindowCaption = "Local Queries";
inline constexpr std::string_view kNewName = "Enter New Query Name:";
inline constexpr std::string_view kPassThrough = "Is this a SQLPassThrough QueryDef?";
inline constexpr std::string_view kConnectValue = "Enter Connect property value:";
inline constexpr std::string_view kRowReturning = "Is the Query Row Returning?";
inline constexpr std::string_view kRemoveTitle = "PL/WB - Be careful";
inline constexpr std::string_view kSelectFirst =
    "Please select a query from the list box and hit Remove again.";
inline constexpr std::string_view kSettingsApp = "Varnoke";
inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kLeftKey = "QueryLeft";
inline constexpr std::string_view kTopKey = "QueryTop";
} // namespace querytext

// "Update 'name'?"
std::string updateQuestion(std::string_view name);
// "Delete this query: name?"
std::string deleteQuestion(std::string_view name);
// "Enter Value for Parameter 'name':"
std::string parameterPrompt(std::string_view name);

// A statement returns rows when it starts with "SELECT" (any case) and holds no " INTO ".
bool returnsRows(std::string_view statement);

// Where Form12 gets a row-returning statement's result.
class LocalQueryResults {
public:
    virtual ~LocalQueryResults() = default;
    // queryName is empty when the text ran as a temporary definition.
    virtual void showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                                      std::string_view statement) = 0;
};

// The window's size after Form_Resize, in twips.
struct QueryWindowSize {
    int width, height;
    int textWidth, textHeight; // txtSQLStatement
};

inline constexpr int kLoadWidth = 6810;
inline constexpr int kLoadHeight = 6000;

QueryWindowSize fitQueryWindow(int width, int height);

enum class QueryFocus { List, Text };

class LocalQueries {
public:
    LocalQueries(SharedState& state, Prompter& prompter, SettingsStore& settings,
                 LocalQueryResults& results);

    // Form_Load: opens the window's own handle and refills the list. False (and nothing
    // done) while skipFormInit is set.
    bool formLoad();
    // RefreshQuerys
    void refreshQuerys();
    // lstQueryDefs_Click: the entry's stored SQL replaces the text.
    void selectEntry(int index);
    // txtSQLStatement_Change
    void setText(std::string text);
    // Command1_Click
    void clearSql() { setText({}); }
    // Form_Activate: where the focus goes; Delete follows the list.
    QueryFocus activate();
    void cmdSaveQueryDef_Click();
    void cmdRemoveQuery_Click();
    void cmdExecuteSQL_Click();
    // Form_QueryUnload: the window's edges in twips.
    void queryUnload(bool minimised, int leftTwips, int topTwips);

    const std::vector<std::string>& entries() const { return entries_; }
    int listIndex() const { return listIndex_; }
    std::string listText() const;
    const std::string& text() const { return text_; }
    bool executeEnabled() const { return !text_.empty(); }
    bool saveEnabled() const { return !text_.empty(); }
    bool clearEnabled() const { return !text_.empty(); }
    bool removeEnabled() const { return removeEnabled_; }
    bool selectMode() const { return state_.queryMode == "select"; }

    // The mouse pointer: true while a statement runs.
    std::function<void(bool)> onBusy;

private:
    bool promptForParameters(QueryDef& def);
    void report(const RuntimeError& error);

    SharedState& state_;
    Prompter& prompter_;
    SettingsStore& settings_;
    LocalQueryResults& results_;
    Database queryDatabase_;
    std::vector<std::string> entries_;
    int listIndex_ = -1;
    std::string text_;
    bool removeEnabled_ = false;
};

} // namespace varnoke
