#pragma once
// frmQuerys, the "Local Queries" window, without its widgets: the saved query list,
// the SQL text, the button states, and what Save, Delete, Execute and closing do. The
// window mirrors this state into its controls after every handler.
#include "queries/saved_query_list.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace querytext {
inline constexpr std::string_view kWindowCaption = "Local Queries";
inline constexpr std::string_view kPassThrough = "Is this a SQLPassThrough QueryDef?";
inline constexpr std::string_view kConnectValue = "Enter Connect property value:";
inline constexpr std::string_view kRowReturning = "Is the Query Row Returning?";
} // namespace querytext

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

class LocalQueries : public SavedQueryList {
public:
    LocalQueries(SharedState& state, Prompter& prompter, SettingsStore& settings,
                 LocalQueryResults& results);

    // txtSQLStatement_Change
    void setText(std::string text);
    // Command1_Click
    void clearSql() { setText({}); }
    void cmdExecuteSQL_Click();

    const std::string& text() const { return text_; }
    bool executeEnabled() const { return !text_.empty(); }
    bool saveEnabled() const { return !text_.empty(); }
    bool clearEnabled() const { return !text_.empty(); }

    // The mouse pointer: true while a statement runs.
    std::function<void(bool)> onBusy;

private:
    std::string sqlText() const override { return text_; }
    void showEntry(const std::string& sql) override { setText(sql); }
    // The pass-through questions of a new definition.
    void configureNew(QueryDef& def) override;
    bool promptForParameters(QueryDef& def);

    LocalQueryResults& results_;
    std::string text_;
};

} // namespace varnoke
