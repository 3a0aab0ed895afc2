#pragma once
// The logic of one grid window: Filter, Sort, heading clicks, Refresh, Show All, the
// record counter, the edit questions and the naming of the shown table for Save TABLE
// As. The window forwards its events here and mirrors the state back through
// GridViewerView; nothing here knows about widgets.
#include "platform/prompter.h"
#include "shell/shared_state.h"
#include "viewers/grid_source.h"
#include "viewers/viewer_profile.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

class RuntimeError;

// What the logic asks of its window.
class GridViewerView {
public:
    virtual ~GridViewerView() = default;
    // The whole row set changed (Filter, Sort, Refresh, Show All, a new binding).
    virtual void rowsReset() = 0;
    virtual void rowsChanged(long first, long last) = 0;
    // Rows of the source appeared at first..last / were removed from there.
    virtual void rowsInserted(long first, long last) = 0;
    virtual void rowsRemoved(long first, long last) = 0;
    // The counter caption, the Refresh caption or the Show All state changed.
    virtual void stateChanged() = 0;
    virtual void focusControl(std::string_view objectName) = 0;
    // Makes row the grid's current row (first column).
    virtual void setCurrentRow(long row) = 0;
    virtual void beep() = 0;
    virtual void setBusy(bool busy) = 0;
};

class GridViewer {
public:
    GridViewer(ViewerForm form, SharedState& state, Prompter& prompter);

    void setView(GridViewerView* view) { view_ = view; }
    const ViewerProfile& profile() const { return profile_; }
    const GridSource& source() const { return source_; }
    GridSource& source() { return source_; }
    Prompter& prompter() { return prompter_; }

    // The opener hands over the recordset to show; the button strip starts afresh. A
    // recordset that cannot be shown (nothing, closed) is reported and changes nothing.
    void bind(const Recordset& rs);

    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    // --- what the window shows
    const std::string& counterCaption() const { return counterCaption_; }
    const std::string& refreshCaption() const { return refreshCaption_; }
    bool showAllEnabled() const { return showAllEnabled_; }
    long currentRow() const { return curPos_; }

    // --- buttons and events
    void cmdFilter_Click();
    void cmdSort_Click();
    void cmdRefresh_Click();
    void command1_Click(); // Show All
    void grdDataGrid_HeadClick(int column);
    // The modifier keys held during the latest grid mouse press (0: none).
    void grdDataGrid_trackShift(int shift) { shiftState_ = shift; }
    // The grid's current row moved (-1: none, or the new-row line).
    void data1_Reposition(long row);
    void countRecs();
    void form_Activate();
    void form_QueryUnload();

    // --- editing
    // Whether the rows can be changed now: an updatable source, and not one of a
    // run's tables while the run goes.
    bool canEdit() const;
    // Whether the grid offers a line for a new row below the last.
    bool offersNewRow() const;
    // Buffers a changed cell; row == rowCount() is the new-row line. Moving to another
    // row commits the pending one first.
    void editCell(long row, int column, Value value);
    std::optional<Value> pendingValue(long row, int column) const;
    bool hasPendingEdit() const { return pending_.has_value(); }
    // Asks "Commit changes?" (unless the window is quiet while the program writes),
    // writes on Yes and drops the edit otherwise. A write the engine refuses is reported
    // and the row shows its stored values again. Returns whether the row was written.
    bool commitPendingEdit();
    // Asks "Delete Current Row?" (same exception) and deletes on Yes.
    bool deleteRow(long row);

    // Reads rows first..last that are not held yet; a failure is reported once per row
    // set and gives false.
    bool fetch(long first, long last);

private:
    struct PendingEdit {
        long row = 0;
        bool newRow = false;
        std::map<int, Value> values;
    };

    bool quiet() const;
    bool lockedByRun() const;
    void report(const RuntimeError& error);
    void rowsReplaced();
    void setState(std::string refreshCaption, bool showAllEnabled);
    void dropPendingEdit();
    std::string shownTableName() const;

    const ViewerProfile& profile_;
    SharedState& state_;
    Prompter& prompter_;
    GridViewerView* view_ = nullptr;
    GridSource source_;
    std::string tag_;

    std::string sortColumn_; // order a heading click hands to Sort
    int shiftState_ = 0;
    long recCount_ = 0;
    long curPos_ = -1;
    std::string counterCaption_ = "Data1";
    std::string refreshCaption_;
    bool showAllEnabled_ = false;
    std::optional<PendingEdit> pending_;
    bool fetchFailed_ = false;
};

} // namespace varnoke
