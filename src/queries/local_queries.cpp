#include "queries/local_queries.h"

#include "shell/run_guard.h"
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
    : SavedQueryList(state, prompter, settings), results_(results) {}

void LocalQueries::setText(std::string text) {
    text_ = std::move(text);
}

void LocalQueries::configureNew(QueryDef& def) {
    if (prompter_.messageBox(querytext::kPassThrough, kYesNoQuestionNo) != answer::Yes) return;
    const std::string connect = prompter_.inputBox(querytext::kConnectValue);
    if (connect.empty()) return;
    def.setConnect(connect);
    if (prompter_.messageBox(querytext::kRowReturning, kYesNoQuestion) == answer::No)
        def.setReturnsRecords(false);
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
    // Not only statements that write: a row-returning query opens a grid that can edit
    // the run's tables.
    if (refusedDuringRun(state_, prompter_)) return;
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

} // namespace varnoke
