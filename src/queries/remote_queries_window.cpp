#include "queries/remote_queries_window.h"

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_remote_link.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_faces.h"
#include "queries/login_form.h"
#include "queries/query_controls_window.h"
#include "shell/main_window.h"
#include "viewers/viewer_hub_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace varnoke {

namespace {

constexpr int kMinWidth = 5220;

// The logic keeps the server's line breaks as CR LF; the box shows them as lines.
QString shownText(const std::string& text) {
    return toQString(text).replace("\r\n", "\n");
}

void showText(QPlainTextEdit* box, const std::string& text) {
    const QString shown = shownText(text);
    if (box->toPlainText() == shown) return;
    box->setPlainText(shown);
    box->moveCursor(QTextCursor::End);
}

} // namespace

FrmRemoteQuerys::FrmRemoteQuerys(SharedState& state, Platform platform, MainWindowApi& mainWindow,
                                 GridViewerHub& viewers, RemoteClientSettings settings,
                                 QWidget* parent)
    : QWidget(parent, Qt::Tool), mainWindow_(mainWindow), viewers_(viewers),
      link_(std::make_unique<QtRemoteLink>()) {
    setObjectName("frmRemoteQuerys");
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumWidth(twips(kMinWidth - kQueryBorderWidth));
    // The layout was drawn for a small face of fixed widths; in it every caption fits its
    // place whatever face the desktop offers by default.
    setFont(smallFace(10));
    buildControls();
    RemoteQueryView& view = *this;
    logic_ = std::make_unique<RemoteQueries>(state, platform.prompter, platform.settings, *link_,
                                             view, settings);
    mirror();
}

FrmRemoteQuerys::~FrmRemoteQuerys() {
    logic_.reset();
    if (busy_) setBusyPointer(false);
}

Form14* FrmRemoteQuerys::loginWindow() const {
    return form14_;
}

void FrmRemoteQuerys::buildControls() {
    queryLabel(this, "Saved Queries:", 105, 30, 3000, 210);
    lstQueryDefs_ = new QListWidget(this);
    lstQueryDefs_->setObjectName("lstQueryDefs");
    placeTwips(lstQueryDefs_, 96, 240, 3392, 1200);

    command1_ = queryButton(this, "Command1", "&Connect", 3572, 240);
    command1_->setEnabled(true);
    cmdRemoveQuery_ = queryButton(this, "cmdRemoveQuery", "&Delete", 5080, 240);
    cmdExecuteSQL_ = queryButton(this, "cmdExecuteSQL", "&Execute", 3572, 645);
    command2_ = queryButton(this, "Command2", "Clear Conn&Str", 5080, 645);
    cmdSaveQueryDef_ = queryButton(this, "cmdSaveQueryDef", "&Save", 3572, 1050);
    command3_ = queryButton(this, "Command3", "Clear S&QL", 5080, 1050);

    queryLabel(this, "Connection String:", 120, 1590, 1440, 210)->setWordWrap(false);
    combo1_ = new QComboBox(this);
    combo1_->setObjectName("Combo1");
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo1_, 1560, 1560, 1935, 315);
    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName("Text1");
    placeTwips(text1_, 96, 1920, 6400, 1440);

    queryLabel(this, "SQL Statement:", 120, 3435, 3000, 210);
    txtSQLStatement_ = new QPlainTextEdit(this);
    txtSQLStatement_->setObjectName("txtSQLStatement");
    placeTwips(txtSQLStatement_, 96, 3660, 6400, 1800);

    wireQueryList(
        lstQueryDefs_, this, mirroring_,
        [this](int row) { run([&] { logic_->selectEntry(row); }); },
        [this] { run([this] { logic_->executeClick(); }); });
    connect(command1_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->connectClick(); }); });
    connect(cmdExecuteSQL_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->executeClick(); }); });
    connect(cmdRemoveQuery_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->cmdRemoveQuery_Click(); }); });
    connect(cmdSaveQueryDef_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->cmdSaveQueryDef_Click(); }); });
    connect(command2_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->clearConnectString(); }); });
    connect(command3_, &QPushButton::clicked, this,
            [this] { run([this] { logic_->clearSql(); }); });
    connect(combo1_, &QComboBox::activated, this, [this](int index) {
        const std::string name = combo1_->itemText(index).toStdString();
        run([&] { logic_->chooseSample(name); });
    });
    connect(text1_, &QPlainTextEdit::textChanged, this, [this] {
        if (mirroring_) return;
        logic_->setConnectString(text1_->toPlainText().toStdString());
    });
    connect(txtSQLStatement_, &QPlainTextEdit::textChanged, this, [this] {
        if (mirroring_) return;
        logic_->setSql(txtSQLStatement_->toPlainText().toStdString());
    });
}

void FrmRemoteQuerys::run(const std::function<void()>& handler) {
    handler();
    mirror();
}

void FrmRemoteQuerys::Form_Load() {
    if (!logic_->formLoad()) return;
    resize(twips(kRemoteLoadWidth - kQueryBorderWidth),
           twips(kRemoteLoadHeight - kQueryBorderHeight));
    mirroring_ = true;
    combo1_->clear();
    for (const std::string& sample : logic_->samples())
        combo1_->addItem(toQString(sample));
    combo1_->setEditText(toQString(querytext::kSamplesText));
    mirroring_ = false;
    mirror();
}

void FrmRemoteQuerys::mirror() {
    if (!logic_) return;
    mirroring_ = true;
    setWindowTitle(toQString(logic_->caption()));
    showQueryList(lstQueryDefs_, logic_->entries(), logic_->listIndex());
    showText(text1_, logic_->connectString());
    showText(txtSQLStatement_, logic_->sql());
    cmdExecuteSQL_->setEnabled(logic_->executeEnabled());
    command2_->setEnabled(logic_->clearConnectEnabled());
    cmdSaveQueryDef_->setEnabled(logic_->saveEnabled());
    command3_->setEnabled(logic_->clearSqlEnabled());
    cmdRemoveQuery_->setEnabled(logic_->removeEnabled());
    mirroring_ = false;
}

void FrmRemoteQuerys::Form_Activate() {
    const RemoteFocus focus = logic_->activateWindow();
    mirror();
    setFocus(focus);
}

bool FrmRemoteQuerys::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && logic_) Form_Activate();
    return QWidget::event(event);
}

void FrmRemoteQuerys::closeEvent(QCloseEvent* event) {
    logic_->queryUnload(isMinimized(), x() * 15, y() * 15);
    QWidget::closeEvent(event);
}

void FrmRemoteQuerys::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized() || !text1_) return;
    const int boxWidth = twips(std::max(width() * 15 + kQueryBorderWidth, kMinWidth) - 320);
    text1_->resize(boxWidth, text1_->height());
    txtSQLStatement_->resize(boxWidth, txtSQLStatement_->height());
}

void FrmRemoteQuerys::changed() {
    if (!mirroring_) mirror();
}

void FrmRemoteQuerys::setFocus(RemoteFocus focus) {
    switch (focus) {
    case RemoteFocus::List:
        lstQueryDefs_->setFocus();
        break;
    case RemoteFocus::ConnectionString:
        text1_->setFocus();
        break;
    case RemoteFocus::Sql:
        txtSQLStatement_->setFocus();
        break;
    }
}

void FrmRemoteQuerys::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    setBusyPointer(busy);
}

std::optional<LoginAnswer> FrmRemoteQuerys::askLogin() {
    if (!form14_) form14_ = new Form14(this);
    const QPointer<QWidget> focus = focusWidget();
    std::optional<LoginAnswer> answer = form14_->ask();
    returnKeyboard(this, focus);
    return answer;
}

void FrmRemoteQuerys::showNote(std::string_view text) {
    mainWindow_.showInfoNote(InfoNote::Remote, text);
}

void FrmRemoteQuerys::closeResultViewer() {
    if (viewers_.visible(Viewer::RemoteQuery)) viewers_.close(Viewer::RemoteQuery);
}

void FrmRemoteQuerys::showResult(const Recordset& rs) {
    viewers_.showRemoteQueryResult(rs);
}

} // namespace varnoke
