#pragma once
// The seven grid windows share one template; what sets each apart is data, kept here
// in one table so the window and its logic never test a form name.
#include "shell/window_hub.h"

#include <optional>
#include <string_view>

namespace varnoke {

enum class ViewerForm { Form8, Form9, Form10, Form11, Form12, Form13, Form15 };

inline constexpr ViewerForm kAllViewerForms[] = {
    ViewerForm::Form8,  ViewerForm::Form9,  ViewerForm::Form10, ViewerForm::Form11,
    ViewerForm::Form12, ViewerForm::Form13, ViewerForm::Form15};

// What Refresh does in a window.
enum class RefreshKind {
    Requery,        // re-read the rows shown, filter and order kept; failures reported
    RecountOnly,    // the export table's window: count again, no requery
    RequeryQuietly, // the remote result: the same steps, each failure skipped silently
};

// Which table a window names for Save TABLE As when it becomes active.
enum class TableNaming {
    None,
    ShownTable, // the export table's window: the table its rows come from
    Tag,        // the window's Tag
};

struct ViewerProfile {
    ViewerForm form;
    std::string_view formName;  // objectName and the value activeViewer takes
    std::string_view caption;   // window caption at load
    std::string_view designTag; // Tag at load
    // The window's edit questions are skipped while the program itself writes rows.
    bool quietWhileBulkWrite;
    bool allowsNewRows;
    RefreshKind refresh;
    TableNaming naming;
    bool closingClearsNaming; // closing empties currentTable and activeViewer
    // Shows one of a Process run's tables, so it is read-only while a run goes.
    bool showsRunTable;
    bool hasPrint;
    bool reallyFancyPrompt; // the remote result's wording of the filter prompt
    int showAllLeftTwips;
    int clientWidthTwips;
    int selfLoadWidthTwips; // window width when loaded by itself (0: client width)
    // The counter says "No record on file." for an empty row set; otherwise for a
    // window with no current record (at the end of its rows).
    bool countDecidesEmptiness;
    // Activation puts the grid back on the current record.
    bool activationRestoresPosition;
};

const ViewerProfile& profileOf(ViewerForm form);

// The windows the main window reaches by the shell's names (all but Form12).
ViewerForm formOf(Viewer viewer);
std::optional<Viewer> viewerOf(ViewerForm form);

// The table name the export table's window stands for until it shows another.
inline constexpr std::string_view kExportTableName = "Varnoke's Export TABLE";

} // namespace varnoke
