#include "shell/main_window.h"

#include "platform/qt/qt_text.h"
#include "shell/about_form.h"
#include "shell/check_dbase.h"
#include "shell/exit_cleanup.h"
#include "shell/info_note_form.h"
#include "shell/info_notes.h"
#include "shell/run_guard.h"
#include "shell/splash_form.h"
#include "shell/table_list_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>

namespace varnoke {

namespace {

constexpr int kWidth = 12000;
constexpr int kHeight = 9000;

} // namespace

MDIForm1::MDIForm1(SharedState& state, Platform platform, WindowHub& hub, QWidget* parent)
    : QMainWindow(parent), state_(state), platform_(platform), hub_(hub) {
    setObjectName("MDIForm1");
    setWindowTitle("Varnoke");
    resize(twips(kWidth), twips(kHeight));
    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName("mdiArea");
    setCentralWidget(mdiArea_);
    form3_ = new Form3(this);
    commands_ = std::make_unique<ShellCommands>(state_, platform_, hub_, *this, *form3_);
    connect(form3_, &Form3::nameActivated, this,
            [this](const QString& name) { commands_->List1_DblClick(name.toStdString()); });
    buildMenus();
}

MDIForm1::~MDIForm1() = default;

QAction* MDIForm1::addItem(QMenu* menu, std::string_view name, const char* caption, bool enabled,
                           void (MDIForm1::*handler)()) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(toQString(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
}

QAction* MDIForm1::addItem(QMenu* menu, std::string_view name, const char* caption, bool enabled,
                           void (ShellCommands::*handler)()) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(toQString(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, handler] { ((*commands_).*handler)(); });
    return action;
}

void MDIForm1::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName(toQString(menu::File));
    addItem(file, menu::FileCompare, "&Compare...", true, &ShellCommands::menuFileCompare_Click);
    addItem(file, menu::FileOpenTable, "&Open Table...", false,
            &ShellCommands::menuFileOpenTable_Click);
    addItem(file, menu::FileSaveTableAs, "&Save TABLE As...", false,
            &ShellCommands::menuFileSaveTableAs_Click);
    addItem(file, menu::FileDeleteTable, "&Delete Table...", false,
            &ShellCommands::menuFileDeleteTable_Click);
    file->addSeparator()->setObjectName("spacer");
    addItem(file, menu::Exit, "E&xit", true, &MDIForm1::menuExit_Click);
    connect(file, &QMenu::aboutToShow, this, [this] { commands_->menuFile_Click(); });

    QMenu* view = menuBar()->addMenu("&View");
    view->setObjectName(toQString(menu::View));
    addItem(view, menu::ViewFileA, "File &A", false, &ShellCommands::menuViewFileA_Click);
    addItem(view, menu::ViewFileB, "File &B", false, &ShellCommands::menuViewFileB_Click);
    addItem(view, menu::ViewExportedData, "&Export File", false,
            &ShellCommands::menuViewExportedData_Click);
    addItem(view, menu::ViewVarnokeExportTable, "&Varnoke's Export TABLE", true,
            &ShellCommands::menuViewVarnokeExportTable_Click);
    connect(view, &QMenu::aboutToShow, this, [this] { commands_->menuView_Click(); });

    QMenu* queries = menuBar()->addMenu("&Queries");
    queries->setObjectName(toQString(menu::Queries));
    addItem(queries, menu::QueriesSelectLocal, "&Select and Run Local...", true,
            &ShellCommands::menuQueriesSelectLocal_Click);
    addItem(queries, menu::QueriesSelectRemote, "Select and Run &Remote...", true,
            &ShellCommands::menuQueriesSelectRemote_Click);
    addItem(queries, menu::QueriesDefineLocal, "&Define and Run Local...", true,
            &ShellCommands::menuQueriesDefineLocal_Click);
    addItem(queries, menu::QueriesDefineRemote, "&Define and Run Remote...", true,
            &ShellCommands::menuQueriesDefineRemote_Click);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName(toQString(menu::Help));
    addItem(help, menu::About, "&About Varnoke", true, &MDIForm1::menuAbout_Click);
}

void MDIForm1::setMenuEnabled(std::string_view itemName, bool enabled) {
    const QString name = toQString(itemName);
    if (auto* m = menuBar()->findChild<QMenu*>(name)) {
        m->menuAction()->setEnabled(enabled);
        return;
    }
    if (auto* action = findChild<QAction*>(name)) action->setEnabled(enabled);
}

bool MDIForm1::menuEnabled(std::string_view itemName) const {
    const QString name = toQString(itemName);
    if (auto* m = menuBar()->findChild<QMenu*>(name)) return m->menuAction()->isEnabled();
    if (auto* action = findChild<QAction*>(name)) return action->isEnabled();
    return false;
}

bool MDIForm1::MDIForm_Load(const std::filesystem::path& startFolder) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    {
        Form1 splash(frameGeometry());
        splash.show();
        playSplash(splash, platform_.clock, platform_.events);
    }
    show();
    return openWorkingDatabase(startFolder);
}

bool MDIForm1::openWorkingDatabase(const std::filesystem::path& startFolder) {
    return checkDbase(state_, platform_, startFolder) && openWorkDb(state_, platform_.prompter);
}

Form2& MDIForm1::aboutBox() {
    if (!form2_) form2_ = new Form2(platform_.opener, this);
    return *form2_;
}

void MDIForm1::menuAbout_Click() {
    Form2& about = aboutBox();
    about.show();
    about.raise();
    about.activateWindow();
}

void MDIForm1::showInfoNote(InfoNote note, std::string_view text) {
    bool wanted = true;
    try {
        wanted = noteWanted(state_.workDb, note);
    } catch (const RuntimeError&) {
        // An unreadable Settings table must not hide the explanation.
    }
    if (!wanted) return;
    InfoNoteForm form(note, state_.workDb, platform_.prompter, this);
    form.setText(text);
    openNote_ = &form;
    form.exec();
    openNote_ = nullptr;
}

void MDIForm1::closeEveryWindow() {
    if (form2_) form2_->close();
    form3_->unload();
    if (openNote_) openNote_->reject();
    hub_.viewers->close(Viewer::FileA);
    hub_.viewers->close(Viewer::FileB);
    mdiArea_->closeAllSubWindows();
    QList<QPointer<QWidget>> windows;
    for (QWidget* child : findChildren<QWidget*>())
        if (child->isWindow() && child->windowType() != Qt::Popup) windows.append(child);
    for (const QPointer<QWidget>& window : windows)
        if (window) window->close();
    // A closed window lets go of its recordsets only when it is deleted, and the file
    // cannot be compacted while any of them is open.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void MDIForm1::runExitCleanup() {
    closeEveryWindow();
    exitCleanup(state_, platform_.prompter);
    cleanedUp_ = true;
}

void MDIForm1::menuExit_Click() {
    close();
}

void MDIForm1::closeEvent(QCloseEvent* event) {
    if (!cleanedUp_) {
        if (refusedDuringRun(state_, platform_.prompter)) {
            event->ignore();
            return;
        }
        runExitCleanup();
    }
    event->accept();
    QApplication::quit();
}

} // namespace varnoke
