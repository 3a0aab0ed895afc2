#include "queries/local_queries_window.h"

#include "platform/qt/qt_text.h"
#include "shell/main_window.h"
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

// The layout's sizes are the whole window's; Qt sizes the client area, so the borders
// and title bar of the original window are taken off.
constexpr int kBorderWidth = 120;
constexpr int kBorderHeight = 405;

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    place(b, left, top, 1443, 370);
    b->setEnabled(false);
    return b;
}

QLabel* label(QWidget* parent, const char* text, int left, int top, int width, int height) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName("lblSQL");
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(l, left, top, width, height);
    return l;
}

} // namespace

FrmQuerys::FrmQuerys(SharedState& state, Platform platform, LocalQueryResults& results,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(state, platform.prompter, platform.settings, results) {
    setObjectName("frmQuerys");
    setWindowTitle(toQString(querytext::kWindowCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(twips(5220 - kBorderWidth), twips(3884 - kBorderHeight));
    buildControls();
    logic_.onBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

void FrmQuerys::buildControls() {
    label(this, "Saved Queries:", 105, 30, 3000, 210);
    lstQueryDefs_ = new QListWidget(this);
    lstQueryDefs_->setObjectName("lstQueryDefs");
    place(lstQueryDefs_, 90, 240, 3390, 1200);

    cmdExecuteSQL_ = button(this, "cmdExecuteSQL", "&Execute", 3572, 274);
    cmdRemoveQuery_ = button(this, "cmdRemoveQuery", "&Delete", 5160, 274);
    cmdSaveQueryDef_ = button(this, "cmdSaveQueryDef", "&Save", 3572, 690);
    command1_ = button(this, "Command1", "Clear S&QL", 5160, 720);

    auto* frame1 = new QGroupBox("In your SQL statement:", this);
    frame1->setObjectName("Frame1");
    place(frame1, 90, 1545, 6540, 2055);
    constexpr int kLineWidth = 6540 - 360 - 120;
    label(frame1, "- Refer to File A as \"table1\"", 360, 240, kLineWidth, 240);
    label(frame1, "- Refer to File B as \"table2\"", 360, 480, kLineWidth, 240);
    label(frame1, "- Refer to an exported file as \"[exported data]\"", 360, 720, kLineWidth, 240);
    label(frame1, "- Refer to \"[varnoke's export table]\"", 360, 960, kLineWidth, 240);
    label(frame1,
          "NOTE: You can use the \"INTO\" clause to create a new table in the database "
          "(varnoker.mdb).  Example: SELECT * INTO newTableName FROM table1;",
          360, 1440, kLineWidth, 560);

    label(this, "SQL Statement:", 120, 3680, 3000, 210);
    txtSQLStatement_ = new QPlainTextEdit(this);
    txtSQLStatement_->setObjectName("txtSQLStatement");
    place(txtSQLStatement_, 100, 3900, 6465, 1800);

    connect(lstQueryDefs_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (mirroring_ || row < 0) return;
        logic_.selectEntry(row);
        mirror();
    });
    // A click on the entry already selected changes no row, yet it too brings back the
    // stored text over any edit.
    connect(lstQueryDefs_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (mirroring_) return;
        logic_.selectEntry(lstQueryDefs_->row(item));
        mirror();
    });
    connect(lstQueryDefs_, &QListWidget::itemDoubleClicked, this,
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
    QStringList names;
    for (const std::string& name : logic_.entries())
        names << QString::fromStdString(name);
    QStringList shown;
    for (int i = 0; i < lstQueryDefs_->count(); ++i)
        shown << lstQueryDefs_->item(i)->text();
    if (names != shown) {
        lstQueryDefs_->clear();
        lstQueryDefs_->addItems(names);
    }
    lstQueryDefs_->setCurrentRow(logic_.listIndex());
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

LocalQueryWindows::LocalQueryWindows(SharedState& state, Platform platform, GridViewerHub& viewers,
                                     QWidget* parent)
    : state_(state), platform_(platform), viewers_(viewers), parent_(parent) {}

LocalQueryWindows::~LocalQueryWindows() {
    delete local_.data();
}

void LocalQueryWindows::showLocalQueries() {
    if (!local_) local_ = new FrmQuerys(state_, platform_, *this, parent_);
    local_->Form_Load();
    local_->show();
    local_->raise();
    local_->activateWindow();
    // The window manager may activate it later or not at all; the menu's SetFocus does.
    local_->Form_Activate();
}

void LocalQueryWindows::showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                                             std::string_view statement) {
    viewers_.showLocalQueryResult(rs, queryName, statement);
}

} // namespace varnoke
