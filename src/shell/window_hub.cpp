#include "shell/window_hub.h"

namespace varnoke {

std::string_view viewerFormName(Viewer viewer) {
    switch (viewer) {
    case Viewer::FileA:
        return "Form8";
    case Viewer::FileB:
        return "Form9";
    case Viewer::ExportFile:
        return "Form10";
    case Viewer::ExportTable:
        return "Form11";
    case Viewer::OpenedTable:
        return "Form13";
    case Viewer::RemoteQuery:
        return "Form15";
    }
    return {};
}

} // namespace varnoke
