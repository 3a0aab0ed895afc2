#pragma once
// What the main window needs of the windows other parts of the program build: the
// comparison dialog, the grid viewers and the two query windows. Each family is one
// small interface whose default does nothing visible, so the menus can be wired before
// the windows exist; the program plugs the real windows into WindowHub at start-up.
#include "engine/recordset.h"
#include "value/runtime_error.h"

#include <memory>
#include <string>
#include <string_view>

namespace varnoke {

class Progress;

// The comparison dialog Form4.
class CompareWindows {
public:
    virtual ~CompareWindows() = default;
    // Shows Form4 modeless (it sets itself up when it first loads).
    virtual void showCompareDialog() {}
    virtual bool compareDialogVisible() const { return false; }
    // The File A and File B paths as the dialog shows them (its Text1 and Text2); the
    // File A and File B viewers take them as their grid captions.
    virtual std::string fileAPathText() const { return {}; }
    virtual std::string fileBPathText() const { return {}; }
    // The dialog's progress bar ProgressBar1; Save TABLE As shows its copy on it.
    // nullptr while there is no dialog.
    virtual Progress* progressBar() { return nullptr; }
    // handleError: reports a database error with the program's own message for its
    // number. False when there is no dialog to do it; the caller then reports it.
    virtual bool handleError(const RuntimeError&) { return false; }
};

// The grid viewers, by their window names.
enum class Viewer {
    FileA,       // Form8, over rsFileA
    FileB,       // Form9, over rsFileB
    ExportFile,  // Form10, over rsExportFile
    ExportTable, // Form11, over rsExportTable
    OpenedTable, // Form13, over rsOpenedTable
    RemoteQuery, // Form15, over rsRemoteQuery
};

// "Form8" ... "Form15": the names activeViewer holds.
std::string_view viewerFormName(Viewer viewer);

class ViewerWindows {
public:
    virtual ~ViewerWindows() = default;
    virtual bool visible(Viewer) const { return false; }
    // Hands the viewer's data control a recordset to show (loading the window, hidden,
    // when it is not loaded yet).
    virtual void bind(Viewer, const Recordset&) {}
    virtual std::string caption(Viewer) const { return {}; }
    virtual void setCaption(Viewer, std::string_view) {}
    virtual std::string gridCaption(Viewer) const { return {}; }
    virtual void setGridCaption(Viewer, std::string_view) {}
    virtual void setTag(Viewer, std::string_view) {}
    // Shows it modeless and gives it the focus.
    virtual void show(Viewer) {}
    // cmdRefresh_Click: requery and update the record counter.
    virtual void refresh(Viewer) {}
    // Form_Unload (cmdClose_Click for Form8 and Form9); nothing when not loaded.
    virtual void close(Viewer) {}
};

// The local (frmQuerys) and remote (frmRemoteQuerys) query windows. The caller has set
// queryMode; each call runs the window's Form_Load again, shows it modeless and gives
// it the focus.
class QueryWindows {
public:
    virtual ~QueryWindows() = default;
    virtual void showLocalQueries() {}
    virtual void showRemoteQueries() {}
};

// The windows built elsewhere, as the main window reaches them. Replace a member with
// the real implementation before the main window starts.
struct WindowHub {
    std::unique_ptr<CompareWindows> compare = std::make_unique<CompareWindows>();
    std::unique_ptr<ViewerWindows> viewers = std::make_unique<ViewerWindows>();
    std::unique_ptr<QueryWindows> queries = std::make_unique<QueryWindows>();
};

} // namespace varnoke
