#pragma once
// frmQuerys, "Local Queries": the widgets over LocalQueries, and the shell's door to it.
#include "platform/platform.h"
#include "queries/local_queries.h"
#include "queries/remote_queries_window.h"
#include "shell/window_hub.h"

#include <QPointer>
#include <QWidget>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace varnoke {

class GridViewerHub;
class MainWindowApi;

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

// The shell's QueryWindows: the local and the remote window, each made on first use
// under parent. The remote window talks to the query server on settings.port.
class QueryWindowSet : public QueryWindows, public LocalQueryResults {
public:
    QueryWindowSet(SharedState& state, Platform platform, MainWindowApi& mainWindow,
                   GridViewerHub& viewers, QWidget* parent, RemoteClientSettings settings = {});
    ~QueryWindowSet() override;

    void showLocalQueries() override;
    void showRemoteQueries() override;
    void showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                              std::string_view statement) override;

    FrmQuerys* localWindow() const { return local_; }
    FrmRemoteQuerys* remoteWindow() const { return remote_; }

private:
    SharedState& state_;
    Platform platform_;
    MainWindowApi& mainWindow_;
    GridViewerHub& viewers_;
    QWidget* parent_;
    RemoteClientSettings settings_;
    QPointer<FrmQuerys> local_;
    QPointer<FrmRemoteQuerys> remote_;
};

} // namespace varnoke
