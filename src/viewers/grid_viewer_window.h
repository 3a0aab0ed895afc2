#pragma once
// One grid window (Form8 ... Form15): the button strip, the grid and the record counter
// Data1, configured by its profile. The logic lives in GridViewer; this class turns
// widget events into its calls and shows its state.
#include "viewers/grid_viewer.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace varnoke {

class FormPrinter;
class GridTableModel;

class GridViewerWindow : public QWidget, public GridViewerView {
    Q_OBJECT
public:
    // printer may be null for windows without Print.
    GridViewerWindow(ViewerForm form, SharedState& state, Prompter& prompter, FormPrinter* printer,
                     QWidget* parent = nullptr);
    ~GridViewerWindow() override;

    GridViewer& viewer() { return viewer_; }
    GridTableModel& model() { return *model_; }
    QTableView* grid() const { return grid_; }

    // Step 4 of an opener's binding: the recordset the grid shows.
    void bind(const Recordset& rs);
    QString gridCaption() const;
    void setGridCaption(const QString& caption);

    // The operations other windows call.
    void cmdClose_Click();
    void cmdRefresh_Click() { viewer_.cmdRefresh_Click(); }
    void command1_Click() { viewer_.command1_Click(); }
    void form_Unload() { cmdClose_Click(); }
    void countRecs();
    void form_Activate() { viewer_.form_Activate(); }

    // GridViewerView
    void rowsReset() override;
    void rowsChanged(long first, long last) override;
    void rowsInserted(long first, long last) override;
    void rowsRemoved(long first, long last) override;
    void stateChanged() override;
    void focusControl(std::string_view objectName) override;
    void setCurrentRow(long row) override;
    void beep() override;
    void setBusy(bool busy) override;

signals:
    // The window was closed (it is deleted soon after).
    void unloaded();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtons(QWidget* strip);
    void command2_Click();
    void deleteSelectedRows();
    void currentRowMoved(int row, int previous);
    void loadVisibleRows();
    // Widens each column that is narrower than its name, so no name is cut.
    void fitColumnNames();

    GridViewer viewer_;
    FormPrinter* printer_;
    std::unique_ptr<GridTableModel> model_;
    QTableView* grid_ = nullptr;
    QLabel* gridCaption_ = nullptr;
    QLabel* data1_ = nullptr;
    QPushButton* cmdRefresh_ = nullptr;
    QPushButton* command1_ = nullptr;
};

} // namespace varnoke
