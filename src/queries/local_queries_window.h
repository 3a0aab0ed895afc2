#pragma once
// frmQuerys, "Local Queries": the widgets over LocalQueries, and the shell's door to it.
#include "platform/platform.h"
#include "queries/local_queries.h"
#include "shell/window_hub.h"

#include <QPointer>
#include <QWidget>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace varnoke {

class GridViewerHub;

class FrmQuerys : public QWidget {
    Q_OBJECT
public:
    FrmQuerys(SharedState& state, Platform platform, LocalQueryResults& results,
              QWidget* parent = nullptr);

    // Form_Load: back to the opening size, a fresh handle, the list refilled.
    void Form_Load();
    // Form_Activate: the focus and the Delete button's state.
    void Form_Activate();
    LocalQueries& logic() { return logic_; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    // Puts the logic's list, text and button states into the widgets.
    void mirror();
    void run(void (LocalQueries::*handler)());

    LocalQueries logic_;
    QListWidget* lstQueryDefs_;
    QPlainTextEdit* txtSQLStatement_;
    QPushButton* cmdExecuteSQL_;
    QPushButton* cmdRemoveQuery_;
    QPushButton* cmdSaveQueryDef_;
    QPushButton* command1_;
    bool mirroring_ = false;
};

// The shell's QueryWindows: the local window, made on first use, under parent. The
// remote window is not here yet, so its commands still show nothing.
class LocalQueryWindows : public QueryWindows, public LocalQueryResults {
public:
    LocalQueryWindows(SharedState& state, Platform platform, GridViewerHub& viewers,
                      QWidget* parent);
    ~LocalQueryWindows() override;

    void showLocalQueries() override;
    void showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                              std::string_view statement) override;

    FrmQuerys* localWindow() const { return local_; }

private:
    SharedState& state_;
    Platform platform_;
    GridViewerHub& viewers_;
    QWidget* parent_;
    QPointer<FrmQuerys> local_;
};

} // namespace varnoke
