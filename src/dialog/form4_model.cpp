// The dialog's set-up, its two modes, the conjunction options and the run buttons.
#include "dialog/form4_model.h"

#include "drivers/data_types.h"

#include <iterator>

namespace varnoke {

namespace {

template <typename Texts> void setItems(ComboControl& combo, const Texts& texts) {
    combo.items.assign(std::begin(texts), std::end(texts));
    combo.listIndex = -1;
}

} // namespace

std::string internetAddressPrompt(std::string_view document) {
    return "Enter an Internet address, starting with 'http://' if necessary, followed by the "
           "name of the required " +
           std::string(document) +
           ", separated by a backslash.  e.g. 'http://www.example.com/samples/pg1.html\\Q1Data'";
}

Form4Model::Form4Model(Form4Services services)
    : s_(std::move(services)), ownErrors_(s_.errors ? std::nullopt
                                                    : std::optional<RunErrorHandler>(ErrorScope{
                                                          s_.shared, *this, s_.platform.prompter})),
      errors_(s_.errors ? s_.errors : &*ownErrors_), attacher_(s_.shared, events_, *errors_) {
    setDesignState();
}

void Form4Model::ChangingEventPump::yieldToEvents() {
    model_.changed();
    model_.s_.platform.events.yieldToEvents();
}

void Form4Model::ChangingEventPump::drawWindows() {
    model_.changed();
    model_.s_.platform.events.drawWindows();
}

void Form4Model::setDesignState() {
    c_.option1.caption = "Fields in ONE database";
    c_.option2.caption = "Fields in TWO databases";
    c_.option3.caption = std::string(choice::Or);
    c_.option4.caption = std::string(choice::And);

    setItems(c_.combo6, kDataTypeList);
    c_.combo6.text = kDefaultDataType;
    setItems(c_.combo2, choice::Conditions);
    c_.combo2.text = choice::IsEqualTo;
    c_.combo1.toolTip = "Select field, enter data, or blank.";
    setItems(c_.combo3, choice::OneDatabaseActions);
    c_.combo3.text = choice::Replace;
    setItems(c_.combo4, choice::DesignTargets);
    setItems(c_.combo9, choice::ExportChoices);
    c_.combo9.text = choice::EntireRecordFromFileA;
    c_.combo9.visible = false;
    c_.combo5.toolTip = "Select criteria, or enter data in this box.";
    setItems(c_.combo7, choice::Methods);
    c_.combo7.text = choice::ParallelOneRecord;
    setItems(c_.combo8, choice::AddingChoices);
    c_.combo8.text = choice::NoRecordsCanBeAdded;
    c_.combo8.enabled = false;
    c_.list3.visible = false;

    c_.command1.caption = "&Open File";
    c_.command2.caption = "&Process";
    c_.command3.caption = "&Close Files";
    c_.command4.caption = "Open File &B";
    c_.command5.caption = "&Stop";
    c_.command6.caption = "&Export to...";
    c_.command7.caption = "&Add Criteria";
    c_.command8.caption = "Edit &Criteria";
    c_.command9.caption = "&Update Criteria";
    c_.command10.caption = "&Remove Criteria";
    for (auto* button : {&c_.command1, &c_.command4, &c_.command6})
        button->toolTip = kOpenButtonToolTip;
    for (auto* button : {&c_.command2, &c_.command3, &c_.command4, &c_.command5, &c_.command6,
                         &c_.command7, &c_.command8, &c_.command9, &c_.command10})
        button->enabled = false;
    c_.progressBar1.setVisible(false);
}

int Form4Model::message(std::string_view text, int style) {
    changed();
    return s_.platform.prompter.messageBox(text, style);
}

bool Form4Model::guarded(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const RuntimeError& error) {
        errors_->handleError(error);
        return false;
    }
}

void Form4Model::takeChoices() {
    auto& out = state_.controls;
    out.option1 = c_.option1.value;
    out.option2 = c_.option2.value;
    out.option3 = c_.option3.value;
    out.option4 = c_.option4.value;
    out.combo1 = c_.combo1.text;
    out.combo2 = c_.combo2.text;
    out.combo3 = c_.combo3.text;
    out.combo4 = c_.combo4.text;
    out.combo5 = c_.combo5.text;
    out.combo6 = c_.combo6.text;
    out.combo7 = c_.combo7.text;
    out.combo8 = c_.combo8.text;
    out.combo9 = c_.combo9.text;
    out.combo9Visible = c_.combo9.visible;
    out.combo10 = c_.combo10.text;
    out.list1 = c_.list1.items;
    out.list2 = c_.list2.items;
    out.list3 = c_.list3.items;
    out.list3Selected = c_.list3.selected;
    out.text1 = c_.text1.text;
    out.text2 = c_.text2.text;
}

void Form4Model::formLoad() {
    auto& sh = s_.shared;
    sh.attachTableName.clear();
    sh.runMode = "1";
    c_.text1.setText({});
    c_.text2.setText({});
    for (auto* value : {&sh.fileAName, &sh.fileBName, &sh.exportFileOpen, &sh.fileAPath,
                        &sh.fileBPath, &sh.exportFilePath})
        value->clear();
    c_.list1.clear();
    c_.list2.clear();
    c_.list3.clear();
    guarded([&] {
        sh.workDb.execute("delete * from SSysCriteria");
        criteria_.open(sh.workDb);
    });
    applyGridLayout();
    // The dialog starts in the one-database state, so it shows that option chosen.
    c_.option1.value = true;
    c_.option2.value = false;
    option3Click();
}

void closeQuietly(Recordset& rs) {
    try {
        if (rs.isOpen()) rs.close();
    } catch (const RuntimeError&) {
        // A recordset that is gone already needs no closing.
    }
}

void Form4Model::closeRecordsets() {
    for (auto* rs : {&s_.shared.rsFileA, &s_.shared.rsFileB, &s_.shared.rsExportFile})
        closeQuietly(*rs);
}

void Form4Model::resetForMode(bool two) {
    auto& sh = s_.shared;
    c_.option1.value = !two;
    c_.option2.value = two;
    sh.runMode = two ? "2" : "1";
    closeRecordsets();
    for (auto item : {menu::ViewFileA, menu::ViewFileB, menu::ViewExportedData})
        s_.mainWindow.setMenuEnabled(item, false);
    for (auto viewer : {Viewer::FileA, Viewer::FileB, Viewer::ExportFile})
        s_.viewers.close(viewer);
    commonDialog1FileName_.clear();
    commonDialog2FileName_.clear();
    for (auto* value :
         {&sh.fileAName, &sh.fileBName, &sh.exportFileOpen, &sh.fileAPath, &sh.fileBPath})
        value->clear();
    c_.text1.setText({});
    c_.text2.setText({});
    c_.command1.caption = two ? "&Open File A" : "&Open File";
    if (two)
        setItems(c_.combo3, choice::TwoDatabaseActions);
    else
        setItems(c_.combo3, choice::OneDatabaseActions);
    c_.combo3.text = two ? choice::Delete : choice::Replace;
    resetValueCombos();
    resetActionCombos();
    emptyGrid();
    if (two)
        for (auto target : choice::DeleteTargets)
            c_.combo4.addItem(target);
    for (auto* button : {&c_.command2, &c_.command3, &c_.command6, &c_.command7, &c_.command8,
                         &c_.command9, &c_.command10})
        button->enabled = false;
    c_.command4.enabled = two;
    c_.list1.clear();
    c_.list2.clear();
    c_.list3.clear();
    c_.combo9.visible = false;
    c_.combo4.visible = true;
    c_.label8.visible = !two;
    c_.combo5.visible = !two;
    c_.combo8.enabled = false;
    c_.combo8.text = choice::NoRecordsCanBeAdded;
    c_.list3.visible = false;
}

void Form4Model::option1Click() {
    resetForMode(false);
}

void Form4Model::option2Click() {
    resetForMode(true);
}

void Form4Model::option3Click() {
    c_.option3.value = true;
    c_.option4.value = false;
    guarded([&] { criteria_.setConjunctions(choice::Or); });
    applyGridLayout();
}

void Form4Model::option4Click() {
    c_.option3.value = false;
    c_.option4.value = true;
    guarded([&] { criteria_.setConjunctions(choice::And); });
    applyGridLayout();
}

void Form4Model::list3LostFocus() {
    c_.list3.visible = false;
}

void Form4Model::command2Click() {
    if (s_.process) s_.process->command2Click(*this);
}

void Form4Model::command5Click() {
    s_.shared.stopFlag = std::string(kFlagYes);
}

void Form4Model::setEnabled(std::string_view control, bool enabled) {
    if (auto* state = c_.find(control)) {
        state->enabled = enabled;
        changed();
    }
}

void Form4Model::setFocus(std::string_view control) {
    c_.focusRequest = control;
    changed();
}

bool Form4Model::hasEntries(std::string_view control) const {
    if (const auto* combo = c_.findCombo(control)) return combo->hasItems();
    if (const auto* list = c_.findList(control)) return list->hasItems();
    return false;
}

} // namespace varnoke
