#pragma once
// frmRemoteQuerys, "Remote Queries": the widgets over RemoteQueries, its socket link and
// the login window Form14.
#include "platform/platform.h"
#include "queries/remote_queries.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace varnoke {

class Form14;
class GridViewerHub;
class MainWindowApi;
class QtRemoteLink;

class FrmRemoteQuerys : public QWidget, private RemoteQueryView {
    Q_OBJECT
public:
    FrmRemoteQuerys(SharedState& state, Platform platform, MainWindowApi& mainWindow,
                    GridViewerHub& viewers, RemoteClientSettings settings,
                    QWidget* parent = nullptr);
    ~FrmRemoteQuerys() override;

    // Form_Load: back to the opening size, a fresh handle, the list and samples refilled.
    void Form_Load();
    // Form_Activate: the focus and the Delete button's state.
    void Form_Activate();
    RemoteQueries& logic() { return *logic_; }
    // The login window, once it has been asked for.
    Form14* loginWindow() const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    // Puts the logic's list, texts, caption and button states into the widgets.
    void mirror();
    void run(const std::function<void()>& handler);

    // --- RemoteQueryView
    void changed() override;
    void setFocus(RemoteFocus focus) override;
    void setBusy(bool busy) override;
    std::optional<LoginAnswer> askLogin() override;
    void showNote(std::string_view text) override;
    void closeResultViewer() override;
    void showResult(const Recordset& rs) override;

    MainWindowApi& mainWindow_;
    GridViewerHub& viewers_;
    std::unique_ptr<QtRemoteLink> link_;
    std::unique_ptr<RemoteQueries> logic_;
    QPointer<Form14> form14_;
    QListWidget* lstQueryDefs_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* cmdRemoveQuery_ = nullptr;
    QPushButton* cmdExecuteSQL_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* cmdSaveQueryDef_ = nullptr;
    QPushButton* command3_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QPlainTextEdit* text1_ = nullptr;
    QPlainTextEdit* txtSQLStatement_ = nullptr;
    bool mirroring_ = false;
    bool busy_ = false;
};

} // namespace varnoke
