#include "queries/saved_query_list.h"

#include <algorithm>
#include <optional>

namespace varnoke {

namespace {
constexpr int kYesNoQuestion = msgbox::YesNo | msgbox::Question;
constexpr int kYesNoQuestionNo = kYesNoQuestion | msgbox::DefaultButton2;
} // namespace

std::string updateQuestion(std::string_view name) {
    return "Update '" + std::string(name) + "'?";
}

std::string deleteQuestion(std::string_view name) {
    return "Delete this query: " + std::string(name) + "?";
}

SavedQueryList::SavedQueryList(SharedState& state, Prompter& prompter, SettingsStore& settings)
    : state_(state), prompter_(prompter), settings_(settings) {}

void SavedQueryList::report(const RuntimeError& error) {
    prompter_.messageBox(error.description(), msgbox::OkOnly);
}

bool SavedQueryList::formLoad() {
    if (isSet(state_.skipFormInit)) return false;
    try {
        queryDatabase_ = state_.dbEngine.openDatabase(state_.workDbPath);
    } catch (const RuntimeError& e) {
        // Without a handle the list stays empty and every command reports the same error.
        queryDatabase_ = Database();
        entries_.clear();
        listIndex_ = -1;
        report(e);
        return true;
    }
    refreshQuerys();
    return true;
}

void SavedQueryList::refreshQuerys() {
    entries_.clear();
    listIndex_ = -1;
    if (!selectMode()) return;
    try {
        for (const QueryDef& def : queryDatabase_.queryDefs()) {
            std::string name = def.name();
            if (!name.starts_with('~')) entries_.push_back(std::move(name));
        }
    } catch (const RuntimeError& e) {
        report(e);
    }
}

std::string SavedQueryList::listText() const {
    if (listIndex_ < 0 || listIndex_ >= static_cast<int>(entries_.size())) return {};
    return entries_[static_cast<std::size_t>(listIndex_)];
}

void SavedQueryList::selectEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    listIndex_ = index;
    std::string sql;
    try {
        sql = queryDatabase_.queryDefs().item(listText()).sql();
    } catch (const RuntimeError& e) {
        // A definition removed through the other query window since the list was filled.
        report(e);
        return;
    }
    showEntry(sql);
}

QueryFocus SavedQueryList::activate() {
    removeEnabled_ = !entries_.empty();
    return selectMode() ? QueryFocus::List : QueryFocus::Text;
}

void SavedQueryList::cmdSaveQueryDef_Click() {
    std::optional<std::string> created;
    const std::string text = sqlText();
    try {
        const std::string selected = listText();
        if (!selected.empty() &&
            prompter_.messageBox(updateQuestion(selected), kYesNoQuestion) == answer::Yes) {
            queryDatabase_.queryDefs().item(selected).setSql(text);
            afterUpdate(selected);
            return;
        }
        const std::string name = prompter_.inputBox(querytext::kNewName);
        if (name.empty()) return;
        QueryDef def = queryDatabase_.createQueryDef(name);
        created = name;
        configureNew(def);
        def.setSql(text);
        created.reset();
        refreshQuerys();
        afterCreate(name);
    } catch (const RuntimeError& e) {
        // A refused text must not leave an empty definition under the new name.
        if (created) {
            try {
                queryDatabase_.queryDefs().remove(*created);
            } catch (const RuntimeError&) {
            }
        }
        refreshQuerys();
        report(e);
    }
}

void SavedQueryList::cmdRemoveQuery_Click() {
    const std::string name = listText();
    if (!name.empty()) {
        if (prompter_.messageBox(deleteQuestion(name), kYesNoQuestionNo, querytext::kRemoveTitle) ==
            answer::Yes) {
            const int kept = listIndex_;
            try {
                queryDatabase_.queryDefs().remove(name);
                afterRemove(name);
            } catch (const RuntimeError& e) {
                report(e);
            }
            refreshQuerys();
            const int count = static_cast<int>(entries_.size());
            if (count > 0) selectEntry(kept == count ? kept - 1 : std::min(kept, count - 1));
        }
    } else if (!entries_.empty()) {
        prompter_.messageBox(querytext::kSelectFirst, msgbox::OkOnly);
    }
    removeEnabled_ = !entries_.empty();
}

void SavedQueryList::queryUnload(bool minimised, int leftTwips, int topTwips) {
    if (minimised) return;
    settings_.save(querytext::kSettingsApp, querytext::kSettingsSection, querytext::kLeftKey,
                   std::to_string(leftTwips));
    settings_.save(querytext::kSettingsApp, querytext::kSettingsSection, querytext::kTopKey,
                   std::to_string(topTwips));
}

} // namespace varnoke
