#pragma once
// The saved query list that both query windows (Local Queries and Remote Queries)
// work the same way: the window's own database handle, the list and its two modes,
// selection, the update-or-new rule of Save, Delete with its question and
// reselection, the Delete button's state and the position written on closing. A
// window adds what it does differently through the hooks.
#include "engine/database.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "shell/shared_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace querytext {
inline constexpr std::string_view kNewName = "Enter New Query Name:";
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

enum class QueryFocus { List, Text };

class SavedQueryList {
public:
    SavedQueryList(SharedState& state, Prompter& prompter, SettingsStore& settings);
    virtual ~SavedQueryList() = default;
    SavedQueryList(const SavedQueryList&) = delete;
    SavedQueryList& operator=(const SavedQueryList&) = delete;

    // Form_Load: opens the window's own handle and refills the list. False (and nothing
    // done) while skipFormInit is set.
    bool formLoad();
    // RefreshQuerys: only "select" mode lists the saved queries; "~" names never show.
    void refreshQuerys();
    // lstQueryDefs_Click: the entry's stored SQL goes to the window (showEntry).
    void selectEntry(int index);
    // Form_Activate: where the focus goes; Delete follows the list.
    QueryFocus activate();
    void cmdSaveQueryDef_Click();
    void cmdRemoveQuery_Click();
    // Form_QueryUnload: the window's edges in twips.
    void queryUnload(bool minimised, int leftTwips, int topTwips);

    const std::vector<std::string>& entries() const { return entries_; }
    int listIndex() const { return listIndex_; }
    std::string listText() const;
    bool removeEnabled() const { return removeEnabled_; }
    bool selectMode() const { return state_.queryMode == "select"; }

protected:
    // The text Save stores.
    virtual std::string sqlText() const = 0;
    // A selected entry's stored SQL.
    virtual void showEntry(const std::string& sql) = 0;
    // A new definition, before its SQL is set.
    virtual void configureNew(QueryDef&) {}
    // After the selected definition took the text / after a new one was made and
    // listed / after a definition was deleted.
    virtual void afterUpdate(const std::string&) {}
    virtual void afterCreate(const std::string&) {}
    virtual void afterRemove(const std::string&) {}

    void report(const RuntimeError& error);
    Database& queryDatabase() { return queryDatabase_; }

    SharedState& state_;
    Prompter& prompter_;

private:
    SettingsStore& settings_;
    Database queryDatabase_;
    std::vector<std::string> entries_;
    int listIndex_ = -1;
    bool removeEnabled_ = false;
};

} // namespace varnoke
