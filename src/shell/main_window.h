#pragma once
// MDIForm1: the main window, its menus and the frame every other window lives in.
#include "platform/platform.h"
#include "shell/main_window_api.h"
#include "shell/shared_state.h"
#include "shell/shell_commands.h"
#include "shell/window_hub.h"

#include <QMainWindow>
#include <QPointer>

#include <filesystem>
#include <memory>

class QMdiArea;
class QMenu;
class QAction;

namespace varnoke {

class Form2;
class Form3;
class InfoNoteForm;

// Window sizes are kept in twips, as the layout was drawn; 15 twips make a pixel.
constexpr int twips(int value) {
    return value / 15;
}

class MDIForm1 : public QMainWindow, public MainWindowApi {
    Q_OBJECT
public:
    MDIForm1(SharedState& state, Platform platform, WindowHub& hub, QWidget* parent = nullptr);
    ~MDIForm1() override;

    // Start-up: centres the window, plays the splash, shows the window, then finds and
    // opens the working database in startFolder, so its prompts stand over the window. False when
    // the program cannot run (the user was told); the caller then ends it without the exit
    // clean-up.
    bool MDIForm_Load(const std::filesystem::path& startFolder);
    // Start-up without the splash (tests).
    bool openWorkingDatabase(const std::filesystem::path& startFolder);

    QMdiArea* mdiArea() const { return mdiArea_; }
    ShellCommands& commands() { return *commands_; }
    Form3& tableList() { return *form3_; }
    // Form2, created on first use.
    Form2& aboutBox();
    bool cleanedUp() const { return cleanedUp_; }

    // MainWindowApi
    void menuViewFileA_Click() override { commands_->menuViewFileA_Click(); }
    void menuViewFileB_Click() override { commands_->menuViewFileB_Click(); }
    void menuViewExportedData_Click() override { commands_->menuViewExportedData_Click(); }
    void menuViewVarnokeExportTable_Click() override {
        commands_->menuViewVarnokeExportTable_Click();
    }
    void createTableList() override { commands_->createTableList(); }
    void showInfoNote(InfoNote note, std::string_view text) override;
    void setMenuEnabled(std::string_view itemName, bool enabled) override;
    bool menuEnabled(std::string_view itemName) const override;

    // File > Exit, also run when the window is closed. Refused during a run.
    void menuExit_Click();
    void menuAbout_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QAction* addItem(QMenu* menu, std::string_view name, const char* caption, bool enabled,
                     void (MDIForm1::*handler)());
    QAction* addItem(QMenu* menu, std::string_view name, const char* caption, bool enabled,
                     void (ShellCommands::*handler)());
    // Closes every window of the program, so that none keeps a recordset open.
    void closeEveryWindow();
    // Closes the windows, empties the working tables and closes the database.
    void runExitCleanup();

    SharedState& state_;
    Platform platform_;
    WindowHub& hub_;
    QMdiArea* mdiArea_ = nullptr;
    Form3* form3_ = nullptr;
    QPointer<Form2> form2_;
    QPointer<InfoNoteForm> openNote_;
    std::unique_ptr<ShellCommands> commands_;
    bool cleanedUp_ = false;
};

} // namespace varnoke
