#include "queries/local_queries_window.h"

#include "platform/qt/qt_text.h"
#include "platform/qt/window_faces.h"
#include "queries/query_controls_window.h"
#include "shell/main_window.h"
#include "shell/placement_window.h"
#include "viewers/viewer_hub_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace varnoke {

namespace {

constexpr int kBorderWidth = kQueryBorderWidth;
constexpr int kBorderHeight = kQueryBorderHeight;

} // namespace

FrmQuerys::FrmQuerys(SharedState& state, Platform platform, LocalQueryResults& results,
                     QWidget* parent)
    : QWidget(parent, Qt::Tool), logic_(state, platform.prompter, platform.settings, results) {
    setObjectName("frmQuerys");
    setWindowTitle(toQString(querytext::kWindowCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(twips(5220 - kBorderWidth), twips(3884 - kBorderHeight));
    buildControls();
    logic_.onBusy = setBusyPointer;
}

void FrmQuerys::buildControls() {
    queryLabel(this, "Saved Queries:", 105, 30, 3000, 210);
    lstQueryDefs_ = new QListWidget(this);
    lstQueryDefs_->setObjectName("lstQueryDefs");
    placeTwips(lstQueryDefs_, 90, 240, 3390, 1200);

    cmdExecuteSQL_ = queryButton(this, "cmdExecuteSQL", "&Execute", 3572, 274);
    cmdRemoveQuery_ = queryButton(this, "cmdRemoveQuery", "&Delete", 5160, 274);
    cmdSaveQueryDef_ = queryButton(this, "cmdSaveQueryDef", "&Save", 3572, 690);
    command1_ = queryButton(this, "Command1", "Clear S&QL", 5160, 720);

    auto* frame1 = new QGroupBox("In your SQL statement:", this);
    frame1->setObjectName("Frame1");
    placeTwips(frame1, 90, 1545, 6540, 2055);
    // The help was laid out for a small face; in it the note keeps to its two lines.
    frame1->setFont(smallFace(11));
    constexpr int kLineWidth = 6540 - 360 - 120;
    // The lines start below the caption, which takes more than the 240 twips left for it.
    queryLabel(frame1, "- Refer to File A as \"table1\"", 360, 300, kLineWidth, 240);
    queryLabel(frame1, "- Refer to File B as \"table2\"", 360, 540, kLineWidth, 240);
    queryLabel(frame1, "- Refer to an exported file as \"[exported data]\"", 360, 780, kLineWidth,
               240);
    queryLabel(frame1, "- Refer to \"[varnoke's export table]\"", 360, 1020, kLineWidth, 240);
    queryLabel(frame1,
               "NOTE: You can use the \"INTO\" clause to create a new table in the database "
               "(varnoker.mdb).  Example: SELECT * INTO newTableName FROM table1;",
               360, 1500, kLineWidth, 520);

    queryLabel(this, "SQL Statement:", 120, 3680, 3000, 210);
    txtSQLStatement_ = new QPlainTextEdit(this);
    txtSQLStatement_->setObjectName("txtSQLStatement");
    placeTwips(txtSQLStatement_, 100, 3900, 6465, 1800);

    wireQueryList(
        lstQueryDefs_, this, mirroring_,
        [this](int row) {
            logic_.selectEntry(row);
            mirror();
        },
        [this] { run(&LocalQueries::cmdExecuteSQL_Click); });
    connect(txtSQLStatement_, &QPlainTextEdit::textChanged, this, [this] {
        if (mirroring_) return;
        logic_.setText(txtSQLStatement_->toPlainText().toStdString());
        mirror();
    });
    connect(cmdExecuteSQL_, &QPushButton::clicked, this,
            [this] { run(&LocalQueries::cmdExecuteSQL_Click); });
    connect(cmdRemoveQuery_, &QPushButton::clicked, this,
            [this] { run(&LocalQueries::cmdRemoveQuery_Click); });
    connect(cmdSaveQueryDef_, &QPushButton::clicked, this,
            [this] { run(&LocalQueries::cmdSaveQueryDef_Click); });
    connect(command1_, &QPushButton::clicked, this, [this] { run(&LocalQueries::clearSql); });
}

void FrmQuerys::run(void (LocalQueries::*handler)()) {
    (logic_.*handler)();
    mirror();
}

void FrmQuerys::Form_Load() {
    if (!logic_.formLoad()) return;
    resize(twips(kLoadWidth - kBorderWidth), twips(kLoadHeight - kBorderHeight));
    mirror();
}

void FrmQuerys::mirror() {
    mirroring_ = true;
    showQueryList(lstQueryDefs_, logic_.entries(), logic_.listIndex());
    const QString text = QString::fromStdString(logic_.text());
    if (txtSQLStatement_->toPlainText() != text) txtSQLStatement_->setPlainText(text);
    cmdExecuteSQL_->setEnabled(logic_.executeEnabled());
    cmdSaveQueryDef_->setEnabled(logic_.saveEnabled());
    command1_->setEnabled(logic_.clearEnabled());
    cmdRemoveQuery_->setEnabled(logic_.removeEnabled());
    mirroring_ = false;
}

void FrmQuerys::Form_Activate() {
    const QueryFocus focus = logic_.activate();
    mirror();
    if (focus == QueryFocus::List)
        lstQueryDefs_->setFocus();
    else
        txtSQLStatement_->setFocus();
}

bool FrmQuerys::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    return QWidget::event(event);
}

void FrmQuerys::closeEvent(QCloseEvent* event) {
    logic_.queryUnload(isMinimized(), x() * 15, y() * 15);
    QWidget::closeEvent(event);
}

void FrmQuerys::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized()) return;
    const QueryWindowSize size =
        fitQueryWindow(width() * 15 + kBorderWidth, height() * 15 + kBorderHeight);
    txtSQLStatement_->resize(twips(size.textWidth), twips(size.textHeight));
}

QueryWindowSet::QueryWindowSet(SharedState& state, Platform platform, MainWindowApi& mainWindow,
                               GridViewerHub& viewers, QWidget* parent,
                               RemoteClientSettings settings)
    : state_(state), platform_(platform), mainWindow_(mainWindow), viewers_(viewers),
      parent_(parent), settings_(settings) {}

QueryWindowSet::~QueryWindowSet() {
    delete remote_.data();
    delete local_.data();
}

namespace {
// Shows a query window modeless with the focus, after its Form_Load. It is a tool window
// of the main window, so it stays in front of it, and it opens over its work area.
template <typename Form> void bringUp(Form* form) {
    form->Form_Load();
    const QWidget* main = form->parentWidget();
    if (main && !form->isVisible()) keepOverMainWindow(*form, *main);
    form->show();
    if (main) keepOverMainWindow(*form, *main);
    form->raise();
    form->activateWindow();
    // The window manager may activate it later or not at all; the menu's SetFocus does.
    form->Form_Activate();
}
} // namespace

void QueryWindowSet::showLocalQueries() {
    if (!local_) local_ = new FrmQuerys(state_, platform_, *this, parent_);
    bringUp(local_.data());
}

void QueryWindowSet::showRemoteQueries() {
    if (!remote_)
        remote_ = new FrmRemoteQuerys(state_, platform_, mainWindow_, viewers_, settings_, parent_);
    bringUp(remote_.data());
}

void QueryWindowSet::showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                                          std::string_view statement) {
    viewers_.showLocalQueryResult(rs, queryName, statement);
}

} // namespace varnoke
