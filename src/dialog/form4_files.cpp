// Opening File A, File B and the export file, and closing them all.
#include "dialog/form4_model.h"

#include "drivers/data_types.h"
#include "drivers/file_signature.h"
#include "engine/engine_error.h"
#include "shell/run_guard.h"

#include <array>
#include <filesystem>

namespace varnoke {

namespace {

// The main window's file dialogs: 4102 hides read-only, checks the path and the file.
constexpr int kFileDialogFlags = 4102;

// The file as the dialog shows it: with the table linked where the file holds several and
// its name named none of them, since the user chose no table.
std::string shownFile(const std::string& path, const std::string& chosenTable) {
    return chosenTable.empty() ? path : path + " (table " + chosenTable + ")";
}

} // namespace

std::string signatureTypeAdvice(std::string_view type) {
    return "  The file you selected is of the type \"" + std::string(type) +
           "\".  Please choose that type in the File Type box and open the file again.";
}

std::string exportFileNoteText() {
    return "After clicking OK, open a file that has field name(s) and type(s) that match the "
           "field(s)  you will export from.\r\n\r\nTIP: Quickly duplicate the file you are "
           "exporting from by opening it with the application that created it (or MS Excel or "
           "Lotus 1-2-3), and saving it as another name. Then, after clicking OK below, select "
           "the duplicated file to export to.";
}

void Form4Model::rebindIfVisible(Viewer viewer) {
    auto& sh = s_.shared;
    sh.skipFormInit = kFlagYes;
    if (s_.viewers.visible(viewer)) {
        switch (viewer) {
        case Viewer::FileA:
            s_.mainWindow.menuViewFileA_Click();
            break;
        case Viewer::FileB:
            s_.mainWindow.menuViewFileB_Click();
            break;
        case Viewer::ExportFile:
            s_.mainWindow.menuViewExportedData_Click();
            break;
        default:
            break;
        }
    }
    sh.skipFormInit.clear();
}

std::string Form4Model::chooseFile(const std::string& title, const std::string& startName,
                                   std::string_view document) {
    auto& sh = s_.shared;
    sh.attachFailed.clear();
    changed();
    try {
        if (c_.combo6.text == choice::HtmlImport) {
            // The address box offers no default: a previous path is no address.
            auto address =
                s_.platform.prompter.inputBox(internetAddressPrompt(document), kInternetTitle);
            // The input box gives "" on Cancel; an empty address names no page either.
            if (address.empty()) sh.attachFailed = kFlagYes;
            return address;
        }
        return s_.platform.files.pickFile(
            {title, std::string(fileDialogFilter(c_.combo6.text)), startName, kFileDialogFlags});
    } catch (const RuntimeError& error) {
        errors_->handleError(error);
        // Cancelled or failed, the dialog gave no file.
        return {};
    }
}

Form4Model::OpenStart Form4Model::startOpen(const OpenSide& side, ShownSide& before,
                                            const std::function<void()>& forgetSide) {
    side.dialogFileName = side.path;
    const auto chosen = chooseFile(side.title, side.dialogFileName, side.document);
    if (chosen.empty()) return OpenStart::Cancelled;
    side.dialogFileName = chosen;
    if (isWorkingDatabase(chosen)) {
        message(kWorkDbPickedMessage);
        return OpenStart::Refused;
    }

    auto& sh = s_.shared;
    // Before anything is forgotten, so the dialog still shows the file it has.
    if (!tableType(c_.combo6.text)) {
        sh.stopFlag = kFlagYes;
        message(kUnrecognizedTypeMessage);
        return OpenStart::Failed;
    }
    // A working database that cannot give the rows or take their removal (another
    // program holds it) cannot take the file's copy either: one notice, and the open
    // stops there.
    if (!guarded([&] {
            before.criteria = criteria_.rows();
            before.criteriaRow = criteria_.currentRow();
        }))
        return OpenStart::Held;
    if (!emptyGrid()) return OpenStart::Held;
    side.path = chosen;
    parseName(sh, side.path, c_.combo6.text == choice::HtmlImport);
    side.nameFlag.clear();
    s_.viewers.setGridCaption(side.viewer, {});
    forgetSide();
    applyTableType(sh, c_.combo6.text);
    return OpenStart::Started;
}

void Form4Model::refreshExportFieldList() {
    if (c_.combo9.text == choice::SelectFields && c_.combo9.visible)
        combo9Click();
    else
        c_.list3.visible = false;
}

bool Form4Model::isWorkingDatabase(const std::string& path) const {
    std::error_code ec;
    return !s_.shared.workDbPath.empty() &&
           std::filesystem::equivalent(path, s_.shared.workDbPath, ec) && !ec;
}

void Form4Model::offerProcess() {
    if (criteria_.rowCount() > 0) c_.command2.enabled = true;
}

Form4Model::ShownSide Form4Model::shown(const OpenSide& side) const {
    return {side.path,
            side.nameFlag,
            s_.viewers.gridCaption(side.viewer),
            c_.text1,
            c_.text2,
            c_.list1,
            c_.list2,
            {},
            -1};
}

void Form4Model::showAgain(const OpenSide& side, const ShownSide& before) {
    side.path = before.path;
    side.nameFlag = before.nameFlag;
    if (s_.viewers.gridCaption(side.viewer) != before.caption)
        s_.viewers.setGridCaption(side.viewer, before.caption);
    c_.text1 = before.text1;
    c_.text2 = before.text2;
    c_.list1 = before.list1;
    c_.list2 = before.list2;
}

void Form4Model::putBack(const OpenSide& side, const ShownSide& before, bool held) {
    showAgain(side, before);
    if (held) return;
    if (criteria_.rowCount() == 0 && !before.criteria.empty()) {
        if (guarded([&] { criteria_.putBack(before.criteria, before.criteriaRow); }))
            criteriaGridFilled();
        applyGridLayout();
    }
    // Their recordsets were closed for the copy that did not come.
    rebindIfVisible(side.viewer);
    if (side.viewer == Viewer::FileA && c_.option1.value) rebindIfVisible(Viewer::FileB);
}

void Form4Model::command1Click() {
    auto& sh = s_.shared;
    sh.attachTableName.clear();
    sh.stopFlag.clear();
    if (!getTableOne()) return;
    if (isSet(sh.attachFailed)) return;
    fillFileBFieldChoices();
    fillTargetChoices();
    if (c_.option1.value && isSet(sh.fileAName)) c_.command7.enabled = true;
}

bool Form4Model::getTableOne() {
    auto& sh = s_.shared;
    const bool one = sh.runMode == "1";
    const OpenSide side{sh.fileAPath,
                        sh.fileAName,
                        commonDialog1FileName_,
                        Viewer::FileA,
                        one ? "Open File" : "Open File A",
                        "resource"};
    ShownSide before = shown(side);
    const OpenStart start = startOpen(side, before, [&] {
        c_.text1.setText({});
        c_.list1.clear();
        if (one) {
            c_.text2.setText({});
            c_.list2.clear();
        }
    });
    if (start == OpenStart::Cancelled) return true;
    // File B is offered beside an open File A only: after a failed open the same cause
    // (a held working database, say) would fail it too.
    const auto offerFileB = [&] { c_.command4.enabled = !one && isSet(sh.fileAName); };
    if (start != OpenStart::Started) {
        offerFileB();
        return false;
    }
    sh.attachTableName = "Table1";
    // In the one-database mode the one file is both File A and File B.
    const bool both = c_.option1.value;
    closeQuietly(sh.rsFileA);
    if (both) closeQuietly(sh.rsFileB);
    const auto result =
        link("1A", both ? std::vector<StagedCopy>{{"Table2", "2A"}} : std::vector<StagedCopy>{});
    if (result != LinkResult::Linked) {
        // The copy of File A is as it was, so the dialog shows it as it did, also under
        // the message that says so.
        putBack(side, before, linkHeld());
        offerFileB();
        linkFailed(result);
        return false;
    }
    for (const auto& name : attacher_.fieldNames()) {
        c_.list1.addItem(name);
        if (one) c_.list2.addItem(name);
    }
    sh.fileAName = kFlagYes;
    const std::string file = shownFile(sh.fileAPath, attacher_.chosenTable());
    s_.viewers.setGridCaption(Viewer::FileA, file);
    c_.text1.setText(file);
    if (one) c_.text2.setText(file);
    if (both) sh.attachTableName = "Table2";
    rebindIfVisible(Viewer::FileA);
    s_.mainWindow.setMenuEnabled(menu::ViewFileA, true);
    refreshExportFieldList();
    c_.command3.enabled = true;
    offerFileB();
    return true;
}

void Form4Model::command4Click() {
    auto& sh = s_.shared;
    sh.stopFlag.clear();
    const OpenSide side{sh.fileBPath,  sh.fileBName,  commonDialog2FileName_,
                        Viewer::FileB, "Open File B", "document"};
    ShownSide before = shown(side);
    const OpenStart start = startOpen(side, before, [&] {
        c_.text2.setText({});
        c_.list2.clear();
    });
    if (start != OpenStart::Started) return;
    sh.attachTableName = "Table2";
    closeQuietly(sh.rsFileB);
    const auto result = link("2A");
    if (result != LinkResult::Linked) {
        // The copy of File B is as it was, so the dialog shows it as it did.
        putBack(side, before, linkHeld());
        linkFailed(result);
        return;
    }
    sh.fileBName = kFlagYes;
    for (const auto& name : attacher_.fieldNames())
        c_.list2.addItem(name);
    const std::string file = shownFile(sh.fileBPath, attacher_.chosenTable());
    s_.viewers.setGridCaption(Viewer::FileB, file);
    c_.text2.setText(file);
    refreshExportFieldList();
    rebindIfVisible(Viewer::FileB);
    s_.mainWindow.setMenuEnabled(menu::ViewFileB, true);
    c_.command3.enabled = true;
    fillFileBFieldChoices();
    fillTargetChoices();
    if (!c_.text2.text.empty()) c_.command7.enabled = true;
}

void Form4Model::command6Click() {
    auto& sh = s_.shared;
    sh.stopFlag.clear();
    changed();
    s_.mainWindow.showInfoNote(InfoNote::ExportFile, exportFileNoteText());
    sh.exportFileOpen.clear();
    sh.attachFailed.clear();
    commonDialog2FileName_ = sh.exportFilePath;
    std::string chosen;
    try {
        chosen = s_.platform.files.pickFile({"Open file to export to",
                                             std::string(fileDialogFilter(c_.combo6.text)),
                                             commonDialog2FileName_, kFileDialogFlags});
    } catch (const RuntimeError& error) {
        errors_->handleError(error);
        if (!isSet(sh.attachFailed)) return;
    }
    if (sh.attachFailed.empty() && isWorkingDatabase(chosen)) {
        message(kWorkDbPickedMessage);
        sh.attachFailed = kFlagYes;
    }
    if (!sh.attachFailed.empty()) {
        c_.command3.enabled =
            c_.combo10.hasItems() || c_.combo1.hasItems() || transientTablesLeft(sh.workDb);
        s_.mainWindow.setMenuEnabled(menu::ViewExportedData, false);
        sh.skipFormInit = kFlagYes;
        if (s_.viewers.visible(Viewer::ExportFile)) s_.viewers.close(Viewer::ExportFile);
        sh.skipFormInit.clear();
        return;
    }
    commonDialog2FileName_ = chosen;
    sh.exportFilePath = chosen;
    connectExportFile();
    c_.command3.enabled = true;
}

namespace {

// A link counts as a run while it lasts: Exit, Close Files, closing the dialog and the
// table commands are refused as they are during a run, since each would take the
// working tables from under it. A link inside a run leaves the run's mark as it was.
// The pointer shows the wait cursor meanwhile, and the main window's menus are greyed as
// the dialog is: a click on them that waited for the read would act once it ended.
class LinkInProgress {
public:
    LinkInProgress(SharedState& shared, MenuSwitches& menus, bool& linking, bool& waitPointer)
        : shared_(shared), menus_(menus), linking_(linking), waitPointer_(waitPointer),
          wasRunning_(shared.runInProgress) {
        shared_.runInProgress = true;
        shared_.linkInProgress = true;
        linking_ = true;
        waitPointer_ = true;
        for (std::size_t i = 0; i < kMenus.size(); ++i) {
            menusWere_[i] = menus_.menuEnabled(kMenus[i]);
            menus_.setMenuEnabled(kMenus[i], false);
        }
    }
    ~LinkInProgress() {
        for (std::size_t i = 0; i < kMenus.size(); ++i)
            menus_.setMenuEnabled(kMenus[i], menusWere_[i]);
        shared_.runInProgress = wasRunning_;
        shared_.linkInProgress = false;
        linking_ = false;
        waitPointer_ = false;
    }
    LinkInProgress(const LinkInProgress&) = delete;
    LinkInProgress& operator=(const LinkInProgress&) = delete;

private:
    static constexpr std::array<std::string_view, 4> kMenus = {menu::File, menu::View,
                                                               menu::Queries, menu::Help};
    SharedState& shared_;
    MenuSwitches& menus_;
    bool& linking_;
    bool& waitPointer_;
    bool wasRunning_;
    std::array<bool, kMenus.size()> menusWere_{};
};

} // namespace

LinkResult Form4Model::link(std::string_view transientName,
                            const std::vector<StagedCopy>& alsoCopyTo) {
    const LinkInProgress guard(s_.shared, s_.mainWindow, linking_, c_.waitPointer);
    // Most readers read in this process and let no window be drawn until they end, so
    // the dialog shows itself busy before the read begins.
    events_.drawWindows();
    const LinkResult result = attacher_.connectOne(s_.shared.attachFile, transientName, alsoCopyTo);
    // The clicks and keys that waited for the read meet the greyed windows, which drop
    // them, rather than the windows taken up again.
    events_.yieldToEvents();
    return result;
}

void Form4Model::restoreMousePointer() {
    c_.waitPointer = false;
    changed();
}

bool Form4Model::linkHeld() const {
    return attacher_.linkFailureNumber() == err::FileInUse;
}

bool Form4Model::linkFailed(LinkResult result) {
    // A file in use is no question of its type: the engine's own words say what holds it.
    // Nor can the working database be looked into now without a second wait.
    if (linkHeld()) {
        if (result == LinkResult::LinkFailed)
            errors_->handleError(RuntimeError(err::FileInUse, attacher_.linkFailure()));
        return true;
    }
    // A failed copy has been reported already. The advice to pick a file of a listed
    // type fits a file of another type only: a missing, locked or damaged file of the
    // type chosen is told of by the reader's own words.
    if (result == LinkResult::LinkFailed) {
        const auto& sh = s_.shared;
        std::string text(kCouldNotConnectMessage);
        const std::string file = sh.attachFolder + "/" + sh.attachFile;
        if (fileMatchesType(sh.attachConnect, file) == TypeMatch::Differs) {
            const auto type = typeBySignature(file);
            text += type ? signatureTypeAdvice(*type) : std::string(kDataTypeListAdvice);
        }
        message(withReason(text, attacher_.linkFailure()));
    }
    // Close Files drops what a link could not.
    if (transientTablesLeft(s_.shared.workDb)) c_.command3.enabled = true;
    return false;
}

void Form4Model::failExportFile(std::string_view text) {
    auto& sh = s_.shared;
    c_.command2.enabled = false;
    s_.mainWindow.setMenuEnabled(menu::ViewExportedData, false);
    sh.skipFormInit = kFlagYes;
    if (s_.viewers.visible(Viewer::ExportFile)) s_.viewers.close(Viewer::ExportFile);
    sh.skipFormInit.clear();
    if (!text.empty()) message(text);
}

void Form4Model::connectExportFile() {
    auto& sh = s_.shared;
    parseName(sh, sh.exportFilePath);
    sh.attachTableName = "Exported Data";
    if (!applyTableType(sh, c_.combo6.text)) {
        failExportFile(kUnrecognizedTypeMessage);
        return;
    }
    sh.skipFieldList = kFlagNo;
    closeQuietly(sh.rsExportFile);
    const auto result = link("3A");
    sh.skipFieldList.clear();
    if (result != LinkResult::Linked) {
        failExportFile({});
        linkFailed(result);
        return;
    }
    if (!guarded([&] {
            sh.rsExportFile = sh.workDb.openRecordset("Exported Data", RecordsetType::Dynaset,
                                                      rsoption::Inconsistent);
        }))
        return;
    sh.exportFileOpen = kFlagYes;
    // A failed export file took Process away; with this one the rows can run again.
    offerProcess();
    s_.mainWindow.setMenuEnabled(menu::ViewExportedData, true);
    s_.viewers.setGridCaption(Viewer::ExportFile,
                              shownFile(sh.exportFilePath, attacher_.chosenTable()));
    rebindIfVisible(Viewer::ExportFile);
    s_.mainWindow.setMenuEnabled(menu::ViewExportedData, true);
}

void Form4Model::command3Click() {
    // The run's lock disables the button; the tables are still not dropped under a run.
    if (refusedDuringRun(s_.shared, s_.platform.prompter)) return;
    auto& sh = s_.shared;
    for (auto* value : {&sh.attachTableName, &sh.fileAName, &sh.fileBName, &sh.exportFileOpen,
                        &sh.fileAPath, &sh.fileBPath})
        value->clear();
    closeRecordsets();
    try {
        sh.workDb.tableDefs().refresh();
    } catch (const RuntimeError&) {
    }
    if (const std::string left = dropTransientTables(sh.workDb); !left.empty())
        message(left, msgbox::Exclamation);
    option1Click();
}

} // namespace varnoke
