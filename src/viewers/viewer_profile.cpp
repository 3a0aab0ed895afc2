#include "viewers/viewer_profile.h"

#include <algorithm>
#include <stdexcept>

namespace varnoke {

namespace {

constexpr int kTemplateWidth = 6156;
constexpr int kRemoteWidth = 7368;

// form, name, caption, tag, quiet while bulk writing, new rows, refresh, naming,
// closing clears naming, run table, print, fancy prompt, Show All left, width, own width,
// emptiness by count, activation restores the position
constexpr ViewerProfile kProfiles[] = {
    {ViewerForm::Form8, "Form8", "File A", "", false, true, RefreshKind::Requery, TableNaming::None,
     false, true, false, false, 3720, kTemplateWidth, 0, false, false},
    {ViewerForm::Form9, "Form9", "File B", "", false, true, RefreshKind::Requery, TableNaming::None,
     false, true, false, false, 3720, kTemplateWidth, 0, false, false},
    {ViewerForm::Form10, "Form10", "Export File", "", true, true, RefreshKind::Requery,
     TableNaming::None, false, true, false, false, 3720, kTemplateWidth, 0, false, false},
    {ViewerForm::Form11, "Form11", kExportTableName, "", true, true, RefreshKind::RecountOnly,
     TableNaming::ShownTable, false, true, false, false, 3720, kTemplateWidth, 0, false, false},
    // A local query's rows may be the run's own.
    {ViewerForm::Form12, "Form12", "Local Query", "", false, false, RefreshKind::Requery,
     TableNaming::None, false, true, false, false, 3700, kTemplateWidth, 0, false, false},
    {ViewerForm::Form13, "Form13", "Opened Table", "Form13", true, true, RefreshKind::Requery,
     TableNaming::Tag, true, false, false, false, 3720, kTemplateWidth, 0, false, false},
    {ViewerForm::Form15, "Form15", "Remote Query", "SQL Results", false, true,
     RefreshKind::RequeryQuietly, TableNaming::Tag, true, false, true, true, 3700, kRemoteWidth,
     7485, true, true},
};

} // namespace

const ViewerProfile& profileOf(ViewerForm form) {
    auto it = std::find_if(std::begin(kProfiles), std::end(kProfiles),
                           [form](const ViewerProfile& p) { return p.form == form; });
    if (it == std::end(kProfiles)) throw std::logic_error("no profile for a viewer form");
    return *it;
}

ViewerForm formOf(Viewer viewer) {
    switch (viewer) {
    case Viewer::FileA:
        return ViewerForm::Form8;
    case Viewer::FileB:
        return ViewerForm::Form9;
    case Viewer::ExportFile:
        return ViewerForm::Form10;
    case Viewer::ExportTable:
        return ViewerForm::Form11;
    case Viewer::OpenedTable:
        return ViewerForm::Form13;
    case Viewer::RemoteQuery:
        return ViewerForm::Form15;
    }
    throw std::logic_error("unknown viewer");
}

std::optional<Viewer> viewerOf(ViewerForm form) {
    for (Viewer v : {Viewer::FileA, Viewer::FileB, Viewer::ExportFile, Viewer::ExportTable,
                     Viewer::OpenedTable, Viewer::RemoteQuery}) {
        if (formOf(v) == form) return v;
    }
    return std::nullopt;
}

} // namespace varnoke
