#pragma once
// The grid windows as the rest of the program reaches them: the shell's ViewerWindows
// (View menu, table list, Save TABLE As, comparison dialog), the end of a Process run,
// and the query windows' result viewers. One window per form, made on first use and
// gone when closed; the next use starts it afresh.
#include "shell/shared_state.h"
#include "shell/window_hub.h"
#include "viewers/viewer_profile.h"

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>

class QMdiArea;
class QMdiSubWindow;

namespace varnoke {

class FormPrinter;
class GridViewerWindow;
class Prompter;

class GridViewerHub : public QObject, public ViewerWindows {
    Q_OBJECT
public:
    // Windows become children of area; without one (tests) they are top-level windows.
    // Print asks for a printer with the print dialog unless another printer is set.
    GridViewerHub(SharedState& state, Prompter& prompter, QMdiArea* area,
                  QObject* parent = nullptr);
    ~GridViewerHub() override;

    void setPrinter(std::unique_ptr<FormPrinter> printer);

    // --- ViewerWindows
    bool visible(Viewer viewer) const override;
    void bind(Viewer viewer, const Recordset& rs) override;
    std::string caption(Viewer viewer) const override;
    void setCaption(Viewer viewer, std::string_view caption) override;
    std::string gridCaption(Viewer viewer) const override;
    void setGridCaption(Viewer viewer, std::string_view caption) override;
    void setTag(Viewer viewer, std::string_view tag) override;
    void show(Viewer viewer) override;
    void refresh(Viewer viewer) override;
    void close(Viewer viewer) override;

    // End of a Process run: Refresh each of the File A, File B, Export File and export
    // table windows that is visible (with skipFormInit set around).
    void refreshViewers();
    // countRecs of a window (nothing when it is not loaded).
    void countRecs(Viewer viewer);

    // The local query window's Execute of a row-returning statement: binds rs to
    // Form12 with the caption "Local Query - " and the saved query's name, or the first
    // 32 characters of the statement when it has none; shows and focuses it.
    void showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                              std::string_view statement);
    // The remote query window's result (a dynaset on Temp, end marker removed): binds
    // it to Form15, counts, shows and focuses it.
    void showRemoteQueryResult(const Recordset& rs);

    // The window of a form, loading it hidden on first use / nullptr when not loaded.
    GridViewerWindow& form(ViewerForm form);
    GridViewerWindow* loaded(ViewerForm form) const;
    bool visible(ViewerForm form) const;
    void show(ViewerForm form);

private:
    void activated(QMdiSubWindow* window);

    SharedState& state_;
    Prompter& prompter_;
    QPointer<QMdiArea> area_;
    std::unique_ptr<FormPrinter> printer_;
    std::map<ViewerForm, QPointer<GridViewerWindow>> windows_;
};

} // namespace varnoke
