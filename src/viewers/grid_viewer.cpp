#include "viewers/grid_viewer.h"

#include "engine/sql_name.h"
#include "shell/run_guard.h"
#include "value/runtime_error.h"
#include "viewers/viewer_texts.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace varnoke {

namespace {

// The hourglass while a new recordset opens; back to the default before any report.
class BusyPointer {
public:
    explicit BusyPointer(GridViewerView* view) : view_(view) {
        if (view_) view_->setBusy(true);
    }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void release() {
        if (view_) view_->setBusy(false);
        view_ = nullptr;
    }

private:
    GridViewerView* view_;
};

bool isStatement(std::string_view source) {
    std::size_t i = 0;
    while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i])))
        ++i;
    constexpr std::string_view kSelect = "select";
    if (source.size() - i < kSelect.size()) return false;
    for (std::size_t k = 0; k < kSelect.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(source[i + k])) != kSelect[k]) return false;
    }
    return true;
}

} // namespace

GridViewer::GridViewer(ViewerForm form, SharedState& state, Prompter& prompter)
    : profile_(profileOf(form)), state_(state), prompter_(prompter), tag_(profile_.designTag),
      refreshCaption_(viewertext::kRefreshCaption) {}

void GridViewer::bind(const Recordset& rs) {
    dropPendingEdit();
    try {
        source_.bind(rs);
    } catch (const RuntimeError& e) {
        // A recordset that is nothing or closed: the window keeps what it showed.
        report(e);
        return;
    }
    sortColumn_.clear();
    shiftState_ = 0;
    // A new binding starts from the plain button strip, so a filter state left from
    // the previous recordset never offers to show "all" of the new one.
    refreshCaption_ = viewertext::kRefreshCaption;
    showAllEnabled_ = false;
    fetchFailed_ = false;
    curPos_ = source_.rowCount() > 0 ? 0 : -1;
    if (view_) {
        view_->rowsReset();
        view_->setCurrentRow(curPos_);
        view_->stateChanged();
    }
}

void GridViewer::report(const RuntimeError& error) {
    prompter_.messageBox(errorReport(error.number(), error.description()), msgbox::OkOnly);
}

void GridViewer::setState(std::string refreshCaption, bool showAllEnabled) {
    refreshCaption_ = std::move(refreshCaption);
    showAllEnabled_ = showAllEnabled;
    if (view_) view_->stateChanged();
}

// A new row set (filter, sort, requery, Show All) is positioned on its first row.
void GridViewer::rowsReplaced() {
    fetchFailed_ = false;
    curPos_ = source_.rowCount() > 0 ? 0 : -1;
    if (view_) {
        view_->rowsReset();
        view_->setCurrentRow(curPos_);
    }
    countRecs();
}

void GridViewer::countRecs() {
    if (source_.recount() && view_) {
        view_->rowsReset();
        view_->setCurrentRow(curPos_);
    }
    recCount_ = source_.rowCount();
    if (curPos_ >= recCount_) curPos_ = recCount_ - 1;
    // No current record is the end of the rows. The remote result's window asks the
    // count instead, so a set whose cursor stands past its last row still shows it.
    const bool noRecord = profile_.countDecidesEmptiness ? recCount_ < 1 : curPos_ < 0;
    counterCaption_ =
        noRecord ? std::string(viewertext::kNoRecord) : counterText(curPos_, recCount_);
    if (view_) view_->stateChanged();
}

void GridViewer::data1_Reposition(long row) {
    recCount_ = source_.rowCount();
    curPos_ = (row >= 0 && row < recCount_) ? row : -1;
    // A move writes the position whatever it is: "Record: 0 of 0" once no row is left.
    counterCaption_ = counterText(curPos_, recCount_);
    if (view_) view_->stateChanged();
}

void GridViewer::cmdFilter_Click() {
    if (source_.isTableType()) {
        if (view_) view_->beep();
        prompter_.messageBox(viewertext::kCannotFilter, msgbox::OkOnly | msgbox::Exclamation);
        return;
    }
    commitPendingEdit();
    const std::string criteria = prompter_.inputBox(filterPrompt(profile_.reallyFancyPrompt));
    if (criteria.empty()) return;
    BusyPointer busy(view_);
    try {
        source_.filter(criteria);
        rowsReplaced();
    } catch (const RuntimeError& e) {
        busy.release();
        report(e);
        return;
    }
    setState(std::string(viewertext::kReFilterCaption), true);
    if (view_) view_->focusControl("Command1");
}

void GridViewer::cmdSort_Click() {
    if (source_.isTableType()) {
        if (view_) view_->beep();
        prompter_.messageBox(viewertext::kCannotSort, msgbox::OkOnly | msgbox::Exclamation);
        return;
    }
    commitPendingEdit();
    std::string order = sortColumn_;
    if (order.empty()) {
        order = prompter_.inputBox(viewertext::kSortPrompt);
        if (order.empty()) return;
    }
    BusyPointer busy(view_);
    try {
        source_.sort(order);
        rowsReplaced();
    } catch (const RuntimeError& e) {
        busy.release();
        report(e);
    }
}

void GridViewer::grdDataGrid_HeadClick(int column) {
    if (source_.isTableType()) return;
    if (column < 0 || column >= source_.columnCount()) return;
    const std::string& name = source_.columns()[static_cast<std::size_t>(column)].name;
    if (shiftState_ == 0) {
        sortColumn_ = bracketName(name);
    } else {
        sortColumn_ = bracketName(name) + " desc";
        shiftState_ = 0;
    }
    cmdSort_Click();
    sortColumn_.clear();
}

void GridViewer::cmdRefresh_Click() {
    switch (profile_.refresh) {
    case RefreshKind::Requery:
        try {
            commitPendingEdit();
            source_.requery();
            rowsReplaced();
            if (showAllEnabled_ && view_) view_->focusControl("Command1");
        } catch (const RuntimeError& e) {
            report(e);
        }
        return;
    case RefreshKind::RecountOnly:
        try {
            countRecs();
            if (showAllEnabled_ && view_) view_->focusControl("Command1");
        } catch (const RuntimeError& e) {
            report(e);
        }
        return;
    case RefreshKind::RequeryQuietly:
        // Each step on its own: one that fails is passed over without a word.
        try {
            commitPendingEdit();
            source_.requery();
            curPos_ = source_.rowCount() > 0 ? 0 : -1;
            if (view_) {
                view_->rowsReset();
                view_->setCurrentRow(curPos_);
            }
        } catch (const RuntimeError&) {
        }
        try {
            countRecs();
        } catch (const RuntimeError&) {
        }
        if (showAllEnabled_ && view_) view_->focusControl("Command1");
        return;
    }
}

void GridViewer::command1_Click() {
    if (view_) view_->focusControl("cmdFilter");
    setState(std::string(viewertext::kPlainRefreshCaption), false);
    try {
        commitPendingEdit();
        source_.showAll();
        rowsReplaced();
    } catch (const RuntimeError& e) {
        report(e);
    }
}

std::string GridViewer::shownTableName() const {
    // The export table's window names what it shows, so Save TABLE As copies the rows
    // on screen even after it rebound the window to a saved copy.
    const std::string source = source_.sourceName();
    if (source.empty() || isStatement(source)) return std::string(kExportTableName);
    return source;
}

void GridViewer::form_Activate() {
    if (profile_.activationRestoresPosition && curPos_ > -1 && view_) view_->setCurrentRow(curPos_);
    switch (profile_.naming) {
    case TableNaming::None:
        return;
    case TableNaming::ShownTable:
        state_.currentTable = shownTableName();
        break;
    case TableNaming::Tag:
        state_.currentTable = tag_;
        break;
    }
    state_.activeViewer = std::string(profile_.formName);
}

void GridViewer::form_QueryUnload() {
    if (!profile_.closingClearsNaming) return;
    state_.currentTable.clear();
    state_.activeViewer.clear();
}

bool GridViewer::lockedByRun() const {
    return profile_.showsRunTable && state_.runInProgress;
}

bool GridViewer::quiet() const {
    return profile_.quietWhileBulkWrite && isSet(state_.bulkWriteOn);
}

bool GridViewer::canEdit() const {
    return source_.updatable() && !lockedByRun();
}

bool GridViewer::offersNewRow() const {
    return profile_.allowsNewRows && source_.updatable();
}

void GridViewer::editCell(long row, int column, Value value) {
    if (!canEdit() || row < 0 || column < 0 || column >= source_.columnCount()) return;
    const bool newRow = row >= source_.rowCount();
    if (newRow && !offersNewRow()) return;
    if (pending_ && pending_->row != row) commitPendingEdit();
    if (!pending_) pending_ = PendingEdit{row, newRow, {}};
    pending_->values[column] = std::move(value);
    if (view_) view_->rowsChanged(row, row);
}

std::optional<Value> GridViewer::pendingValue(long row, int column) const {
    if (!pending_ || pending_->row != row) return std::nullopt;
    auto it = pending_->values.find(column);
    if (it == pending_->values.end()) return std::nullopt;
    return it->second;
}

void GridViewer::dropPendingEdit() {
    if (!pending_) return;
    const long row = pending_->row;
    pending_.reset();
    if (view_) view_->rowsChanged(row, row);
}

bool GridViewer::commitPendingEdit() {
    if (!pending_) return false;
    const PendingEdit edit = *pending_;
    if (lockedByRun()) {
        dropPendingEdit();
        refusedDuringRun(state_, prompter_);
        return false;
    }
    if (!quiet() && prompter_.messageBox(viewertext::kCommitQuestion,
                                         msgbox::YesNo | msgbox::Question) != answer::Yes) {
        dropPendingEdit();
        return false;
    }
    const std::vector<CellValue> values(edit.values.begin(), edit.values.end());
    const long before = source_.rowCount();
    try {
        if (edit.newRow)
            source_.addRow(values);
        else
            source_.writeRow(edit.row, values);
    } catch (const RuntimeError& e) {
        // The row shows its stored values again before the report, so nothing on screen
        // pretends the refused change was kept.
        dropPendingEdit();
        report(e);
        return false;
    }
    pending_.reset();
    const long after = source_.rowCount();
    if (view_) {
        if (after > before) view_->rowsInserted(before, after - 1);
        view_->rowsChanged(edit.row, edit.newRow ? after : edit.row);
    }
    countRecs();
    return true;
}

bool GridViewer::deleteRow(long row) {
    if (row < 0 || row >= source_.rowCount() || !source_.updatable()) return false;
    if (lockedByRun()) {
        refusedDuringRun(state_, prompter_);
        return false;
    }
    if (pending_ && pending_->row == row)
        dropPendingEdit();
    else
        commitPendingEdit();
    if (!quiet() && prompter_.messageBox(viewertext::kDeleteQuestion,
                                         msgbox::YesNo | msgbox::Question) != answer::Yes)
        return false;
    const long before = source_.rowCount();
    try {
        source_.deleteRow(row);
    } catch (const RuntimeError& e) {
        report(e);
        return false;
    }
    // The row that followed the deleted one becomes current, as after a move.
    // (The grid may report its own choice of current row while the row goes.)
    const long next = std::min(row, source_.rowCount() - 1);
    curPos_ = next;
    if (view_) {
        if (source_.rowCount() == before - 1)
            view_->rowsRemoved(row, row);
        else
            view_->rowsReset();
        view_->setCurrentRow(next);
    }
    // The move after a deletion writes the counter, as any move does.
    data1_Reposition(next);
    return true;
}

bool GridViewer::fetch(long first, long last) {
    try {
        source_.fetch(first, last);
        return true;
    } catch (const RuntimeError& e) {
        // Painting asks again and again; one report per row set is enough.
        if (!fetchFailed_) {
            fetchFailed_ = true;
            report(e);
        }
        return false;
    }
}

} // namespace varnoke
