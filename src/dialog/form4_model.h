#pragma once
// The comparison dialog Form4 without its window: its controls as data, its criteria
// rows, the files it opens and every handler of its buttons, options and boxes. The
// window (Form4 in form4_form.h) draws the controls after each handler and writes the
// user's typing and selections back into them; the Process run works on this object.
#include "dialog/criteria_table.h"
#include "dialog/dialog_ports.h"
#include "dialog/dialog_state.h"
#include "dialog/file_attacher.h"
#include "dialog/form4_controls.h"
#include "platform/platform.h"
#include "process/dialog_controls.h"
#include "process/handle_error.h"
#include "shell/main_window_api.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

inline constexpr std::string_view kDialogCaption = "Varnoke - Packed with possibilities!";
inline constexpr std::string_view kSelectFieldMessage = "Please select a field.";
inline constexpr std::string_view kSelectConditionMessage = "Please select a condition.";
inline constexpr std::string_view kCouldNotConnectMessage =
    "Varnoke could not connect the file you selected to its database.";
// Follows kCouldNotConnectMessage where the file is not of the type chosen.
inline constexpr std::string_view kDataTypeListAdvice =
    "  Please select a file that is of a type in the Data Type List.";
// Follows kCouldNotConnectMessage where the file begins as the files of another type do:
// the advice to pick that type.
std::string signatureTypeAdvice(std::string_view type);
// The working database may sit among the user's files and look like one of them.
inline constexpr std::string_view kWorkDbPickedMessage =
    "The file you selected is Varnoke's own working database, which holds its copies of your "
    "files.  Please select another file.";
inline constexpr std::string_view kFileAEmptyMessage =
    "File A is empty, thus nothing can be exported from it, therefore it's fields will not be "
    "shown.";
inline constexpr std::string_view kFileBEmptyMessage =
    "File B is empty, thus nothing can be exported from it, therefore it's fields will not be "
    "shown.";
inline constexpr std::string_view kInternetTitle = "Import from Internet site...";
inline constexpr std::string_view kOpenButtonToolTip =
    "The file name must be in the 8 dot 3 format, i.e. max. 8 characters for the name and 3 "
    "chars for the extension.";
inline constexpr std::string_view kGridColumn0Caption = "If File A.";
inline constexpr int kGridColumn3Width = 960;

// The input box's prompt for an Internet address; document names the part after the
// backslash ("resource" for File A, "document" for File B).
std::string internetAddressPrompt(std::string_view document);
// The text of the export-file note and of the pairing-method note.
std::string exportFileNoteText();
std::string pairingMethodNoteText();

// Closes a shared recordset if it is open; one that is nothing is left alone.
void closeQuietly(Recordset& rs);

// What the dialog reaches outside itself.
struct Form4Services {
    SharedState& shared;
    Platform platform;
    MainWindowApi& mainWindow;
    ViewerWindows& viewers;
    ProcessRunner* process = nullptr; // the "&Process" command; none: the button does nothing
    // The error reporter; none: the program's handleError over this dialog.
    ErrorHandler* errors = nullptr;
};

class Form4Model : public DialogControls {
public:
    // The controls start as the dialog is designed; formLoad() sets it up.
    explicit Form4Model(Form4Services services);
    Form4Model(const Form4Model&) = delete;
    Form4Model& operator=(const Form4Model&) = delete;

    Form4Controls& controls() { return c_; }
    const Form4Controls& controls() const { return c_; }
    // Data1: the criteria rows and the cursor a run walks.
    CriteriaTable& criteria() { return criteria_; }
    // The run's values; controls part filled by takeChoices().
    Form4State& state() { return state_; }
    const Form4Services& services() const { return s_; }

    // Copies the controls into state().controls, as the run reads them.
    void takeChoices();
    // Called whenever the window should draw the controls again: after the handlers and
    // before every prompt or yield, so what the user sees is current.
    std::function<void()> onChanged;
    void changed() {
        if (onChanged) onChanged();
    }
    // A plain message box with the application's title; the window is drawn first.
    int message(std::string_view text, int style = 0);

    bool twoDatabases() const { return c_.option2.value; }

    // --- load, modes, conjunctions
    void formLoad();
    void option1Click();
    void option2Click();
    void option3Click();
    void option4Click();
    void list3LostFocus();

    // --- action, method and field choices
    void resetValueCombos();
    void resetActionCombos();
    void fillFileBFieldChoices();
    void fillExportFieldChoices();
    void combo3Click();
    void combo3GotFocus();
    void combo7Click();
    void combo7GotFocus();
    void combo7LostFocus();
    void combo8GotFocus();
    void combo9Click();
    void combo9GotFocus();

    // --- criteria rows
    void command7Click();  // "&Add Criteria"
    void command8Click();  // "Edit &Criteria"
    void command9Click();  // "&Update Criteria"
    void command10Click(); // "&Remove Criteria"
    // Removes every criteria row; false when the working database refused it (reported).
    bool emptyGrid();
    void criteriaGridEmptied();
    void criteriaGridFilled();
    void applyGridLayout();
    // The user clicked a row of the grid.
    void selectCriteriaRow(long position);

    // --- files
    void command1Click(); // "&Open File" / "&Open File A"
    void command4Click(); // "Open File &B"
    void command6Click(); // "&Export to..."
    void connectExportFile();
    void command3Click(); // "&Close Files"

    // --- the run
    void command2Click(); // "&Process"
    void command5Click(); // "&Stop"

    // --- what the run and handleError ask of the dialog, by control name
    void setEnabled(std::string_view control, bool enabled) override;
    void setFocus(std::string_view control) override;
    bool hasEntries(std::string_view control) const override;
    long criteriaRowCount() const override { return criteria_.rowCount(); }
    void openFileA() override { command1Click(); }
    void openFileB() override { command4Click(); }
    void openExportFile() override { command6Click(); }
    void restoreMousePointer() override;
    ErrorHandler& errors() { return *errors_; }
    // True while a file is being linked: the window starts no handler then.
    bool linking() const { return linking_; }

private:
    void setDesignState();
    void resetForMode(bool two);
    // Opens File A; false when it did not open (said so), so nothing more of the press
    // may touch the dialog: it shows what it showed before.
    bool getTableOne();
    // One side's file as an opener asks for it and forgets the old one.
    struct OpenSide {
        std::string& path;           // fileAPath or fileBPath
        std::string& nameFlag;       // fileAName or fileBName
        std::string& dialogFileName; // the file dialog's start
        Viewer viewer;
        std::string title;
        std::string_view document; // what the Internet address prompt calls the table
    };
    enum class OpenStart {
        Cancelled, // no file chosen: nothing changed
        Held,      // said so; the working database kept the criteria rows: nothing changed
        Refused,   // said so; the file picked is the working database: nothing changed
        Failed,    // said so; the type is unknown: nothing changed
        Started,   // the side forgotten, its new file's path split and its type looked up
    };
    // What the dialog showed of the files before an open forgot a side.
    struct ShownSide {
        std::string path;
        std::string nameFlag;
        std::string caption;
        TextControl text1, text2;
        ListControl list1, list2;
        std::vector<CriteriaRow> criteria;
        long criteriaRow = -1;
    };
    // All but the criteria rows, which startOpen() keeps.
    ShownSide shown(const OpenSide& side) const;
    void showAgain(const OpenSide& side, const ShownSide& before);
    // After an open that did not bring a file in: the side, its criteria rows and the
    // viewers as they were, since the working tables are. held: the working database is
    // held, so the rows are not written back (that would wait for it again).
    void putBack(const OpenSide& side, const ShownSide& before, bool held);
    bool isWorkingDatabase(const std::string& path) const;
    // Process is offered whenever there are criteria rows to run.
    void offerProcess();
    // Asks for the file, keeps the criteria rows in before and empties them, takes the
    // path and looks the data type up.
    OpenStart startOpen(const OpenSide& side, ShownSide& before,
                        const std::function<void()>& forgetSide);
    // For a replace, field references; otherwise the whole records of both files.
    void fillTargetChoices();
    // The export field list again while it is shown for "select fields...".
    void refreshExportFieldList();
    // Asks for the file of one side: the input box for an Internet address, else the
    // file dialog. Empty when cancelled or failed (reported through handleError).
    std::string chooseFile(const std::string& title, const std::string& startName,
                           std::string_view document);
    // Offers one file's fields through add, unless the action is "export" and its table
    // has no record, when the note says so. Returns false after a reported failure.
    bool offerFields(ListControl& list, std::string_view table, std::string_view emptyNote,
                     const std::function<void(const std::string&)>& add);
    void failExportFile(std::string_view text);
    // Links attachFile through the attacher, as a run while it lasts, the dialog drawn
    // busy first.
    LinkResult link(std::string_view transientName, const std::vector<StagedCopy>& alsoCopyTo = {});
    // After a link that did not work: the reason shown. True when the working database
    // was held: the user has been told, and nothing more may wait on it.
    bool linkFailed(LinkResult result);
    // Whether the last link failed because another program holds the working database.
    bool linkHeld() const;
    void closeRecordsets();
    void rebindIfVisible(Viewer viewer);
    void setRowButtons(bool enabled);
    // Runs a handler's database work; a failure is reported and the handler ends.
    bool guarded(const std::function<void()>& work);

    class ChangingEventPump : public EventPump {
    public:
        explicit ChangingEventPump(Form4Model& model) : model_(model) {}
        void yieldToEvents() override;
        void drawWindows() override;

    private:
        Form4Model& model_;
    };

    Form4Services s_;
    std::optional<RunErrorHandler> ownErrors_;
    ErrorHandler* errors_;
    Form4Controls c_;
    CriteriaTable criteria_;
    Form4State state_;
    ChangingEventPump events_{*this};
    FileAttacher attacher_;
    bool linking_ = false;
    // The file names the main window's two file dialogs start at.
    std::string commonDialog1FileName_;
    std::string commonDialog2FileName_;
};

} // namespace varnoke
