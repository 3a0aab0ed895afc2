#include "queries/local_queries.h"

#include "value/value.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace varnoke {

namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

constexpr int kYesNoQuestion = msgbox::YesNo | msgbox::Question;
constexpr int kYesNoQuestionNo = kYesNoQuestion | msgbox::DefaultButton2;

// The hourglass for as long as a statement runs, whatever way the run ends.
class BusyPointer {
public:
    explicit BusyPointer(const std::function<void(bool)>& busy) : busy_(busy) {
        if (busy_) busy_(true);
    }
    ~BusyPointer() {
        if (busy_) busy_(false);
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    const std::function<void(bool)>& busy_;
};

} // namespace

std::string updateQuestion(std::string_view name) {
    return "Update '" + std::string(name) + "'?";
}

std::string deleteQuestion(std::string_view name) {
    return "Delete this query: " + std::string(name) + "?";
}

std::string parameterPrompt(std::string_view name) {
    return "Enter Value for Parameter '" + std::string(name) + "':";
}

bool returnsRows(std::string_view statement) {
    const std::string text = upper(statement);
    return text.starts_with("SELECT") && text.find(" INTO ") == std::string::npos;
}

QueryWindowSize fitQueryWindow(int width, int height) {
    QueryWindowSize size{std::max(width, 5220), std::max(height, 3884), 0, 0};
    size.textWidth = size.width - 320;
    size.textHeight = size.height - 4370;
    return size;
}

LocalQueries::LocalQueries(SharedState& state, Prompter& prompter, SettingsStore& settings,
                           LocalQueryResults& results)
    : state_(state), prompter_(prompter), settings_(settings), results_(results) {}

void LocalQueries::report(const RuntimeError& error) {
    prompter_.messageBox(error.description(), msgbox::OkOnly);
}

bool LocalQueries::formLoad() {
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

void LocalQueries::refreshQuerys() {
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

std::string LocalQueries::listText() const {
    if (listIndex_ < 0 || listIndex_ >= static_cast<int>(entries_.size())) return {};
    return entries_[static_cast<std::size_t>(listIndex_)];
}

void LocalQueries::selectEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    listIndex_ = index;
    try {
        setText(queryDatabase_.queryDefs().item(listText()).sql());
    } catch (const RuntimeError& e) {
        // A definition removed through the other query window since the list was filled.
        report(e);
    }
}

void LocalQueries::setText(std::string text) {
    text_ = std::move(text);
}

QueryFocus LocalQueries::activate() {
    removeEnabled_ = !entries_.empty();
    return selectMode() ? QueryFocus::List : QueryFocus::Text;
}

void LocalQueries::cmdSaveQueryDef_Click() {
    std::optional<std::string> created;
    try {
        const std::string selected = listText();
        if (!selected.empty() &&
            prompter_.messageBox(updateQuestion(selected), kYesNoQuestion) == answer::Yes) {
            queryDatabase_.queryDefs().item(selected).setSql(text_);
            return;
        }
        const std::string name = prompter_.inputBox(querytext::kNewName);
        if (name.empty()) return;
        QueryDef def = queryDatabase_.createQueryDef(name);
        created = name;
        if (prompter_.messageBox(querytext::kPassThrough, kYesNoQuestionNo) == answer::Yes) {
            const std::string connect = prompter_.inputBox(querytext::kConnectValue);
            if (!connect.empty()) {
                def.setConnect(connect);
                if (prompter_.messageBox(querytext::kRowReturning, kYesNoQuestion) == answer::No)
                    def.setReturnsRecords(false);
            }
        }
        def.setSql(text_);
        created.reset();
        refreshQuerys();
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

void LocalQueries::cmdRemoveQuery_Click() {
    const std::string name = listText();
    if (!name.empty()) {
        if (prompter_.messageBox(deleteQuestion(name), kYesNoQuestionNo, querytext::kRemoveTitle) ==
            answer::Yes) {
            const int kept = listIndex_;
            try {
                queryDatabase_.queryDefs().remove(name);
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

bool LocalQueries::promptForParameters(QueryDef& def) {
    try {
        for (const Parameter& p : def.parameters()) {
            const std::string value = prompter_.inputBox(parameterPrompt(p.name));
            if (value.empty()) return false;
            def.setParameter(p.name, Value::text(value));
        }
        return true;
    } catch (const RuntimeError& e) {
        report(e);
        return false;
    }
}

void LocalQueries::cmdExecuteSQL_Click() {
    if (text_.empty()) return;
    try {
        // A handle of the run's own: the recordset Form12 shows keeps it alive.
        Database db = state_.dbEngine.openDatabase(state_.workDbPath);
        const std::string selected = listText();
        std::optional<QueryDef> stored;
        if (!selected.empty()) {
            QueryDef def = db.queryDefs().item(selected);
            if (def.sql() == text_) stored = def;
        }
        if (stored && !promptForParameters(*stored)) return;
        QueryDef def = stored ? *stored : db.createQueryDef({}, text_);

        BusyPointer busy(onBusy);
        if (returnsRows(text_))
            results_.showLocalQueryResult(def.openRecordset(), stored ? selected : "", text_);
        else
            def.execute();
    } catch (const RuntimeError& e) {
        report(e);
    }
}

void LocalQueries::queryUnload(bool minimised, int leftTwips, int topTwips) {
    if (minimised) return;
    settings_.save(querytext::kSettingsApp, querytext::kSettingsSection, querytext::kLeftKey,
                   std::to_string(leftTwips));
    settings_.save(querytext::kSettingsApp, querytext::kSettingsSection, querytext::kTopKey,
                   std::to_string(topTwips));
}

} // namespace varnoke
