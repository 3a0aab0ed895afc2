#include "dialog/form4_form.h"

#include "platform/qt/qt_text.h"
#include "platform/qt/window_faces.h"
#include "shell/placement_window.h"
#include "shell/run_guard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTableWidget>

namespace varnoke {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 8628;
constexpr int kClientHeight = 6012;

enum class Kind {
    Frame,
    Option,
    Label,
    Combo,
    Button,
    Text,
    Grid,
    List,
    MultiList,
    Progress,
    Data
};

struct Placement {
    const char* container; // "" for the dialog itself
    const char* name;
    Kind kind;
    const char* caption;
    int left, top, width, height; // twips
};

// As the dialog was designed; frames come before what they hold.
constexpr Placement kLayout[] = {
    {"", "Frame1", Kind::Frame, "Compare...", 120, 60, 3372, 972},
    {"Frame1", "Option1", Kind::Option, "Fields in ONE database", 480, 240, 2052, 255},
    {"Frame1", "Option2", Kind::Option, "Fields in TWO databases", 480, 600, 2172, 255},
    {"", "Label9", Kind::Label, "File Type:", 4040, 144, 852, 252},
    {"", "Combo6", Kind::Combo, "", 4800, 120, 2292, 288},
    {"", "Command1", Kind::Button, "", 7200, 120, 1332, 260},
    {"", "Command4", Kind::Button, "", 7200, 444, 1332, 260},
    {"", "Command6", Kind::Button, "", 7200, 756, 1332, 260},
    {"", "Label1", Kind::Label, "File A:", 120, 1200, 612, 252},
    {"", "Text1", Kind::Text, "", 600, 1140, 2892, 285},
    {"", "Label2", Kind::Label, "File B:", 3720, 1200, 612, 252},
    {"", "Text2", Kind::Text, "", 4200, 1140, 2892, 285},
    {"", "Command7", Kind::Button, "", 7200, 1416, 1332, 260},
    {"", "Frame2", Kind::Frame, "Specify Criteria", 120, 1500, 6972, 588},
    {"Frame2", "Label3", Kind::Label, "If data in File A.", 120, 240, 1212, 252},
    {"", "Combo10", Kind::Combo, "", 1356, 1700, 1824, 288},
    {"", "Combo2", Kind::Combo, "", 3216, 1700, 1380, 288},
    {"", "Combo1", Kind::Combo, "", 4640, 1700, 2300, 288},
    {"", "Frame7", Kind::Frame, "Conjunction", 7200, 1680, 1332, 492},
    {"Frame7", "Option3", Kind::Option, "or", 120, 216, 492, 192},
    {"Frame7", "Option4", Kind::Option, "and", 600, 216, 612, 192},
    {"", "Frame3", Kind::Frame, "Specified Criteria", 120, 2160, 6972, 1572},
    {"Frame3", "DBGrid1", Kind::Grid, "", 144, 204, 6696, 1248},
    {"", "Command8", Kind::Button, "", 7200, 2280, 1332, 260},
    {"", "Command9", Kind::Button, "", 7200, 2640, 1332, 260},
    {"", "Command10", Kind::Button, "", 7200, 3000, 1332, 260},
    {"", "Frame4", Kind::Frame, "Specify Action", 120, 3804, 6972, 624},
    {"", "Combo3", Kind::Combo, "", 240, 4044, 885, 288},
    {"", "Combo4", Kind::Combo, "", 1200, 4044, 2400, 288},
    {"", "Combo9", Kind::Combo, "", 1200, 4044, 2400, 288},
    {"Frame4", "Label8", Kind::Label, "with", 3540, 300, 372, 252},
    {"", "Combo5", Kind::Combo, "", 3980, 4044, 2400, 288},
    {"", "Frame6", Kind::Frame, "Specify Modifiers", 120, 4560, 6972, 972},
    {"Frame6", "Label10", Kind::Label, "Compare; Replace/Delete method:", 120, 240, 2652, 252},
    {"Frame6", "Label11", Kind::Label, "If File A/B is bigger than File B/A:", 156, 600, 2532, 252},
    {"", "Combo7", Kind::Combo, "", 2820, 4752, 4140, 288},
    {"", "Combo8", Kind::Combo, "", 2680, 5100, 3096, 288},
    {"", "List1", Kind::List, "", 7200, 3840, 1332, 240},
    {"", "List2", Kind::List, "", 7200, 4200, 1332, 240},
    {"", "Command2", Kind::Button, "", 7200, 4680, 1332, 260},
    {"", "Command5", Kind::Button, "", 7200, 5040, 1332, 260},
    {"", "Command3", Kind::Button, "", 7200, 5640, 1332, 260},
    {"", "ProgressBar1", Kind::Progress, "", 1320, 5640, 4572, 252},
    {"", "Data1", Kind::Data, "", 6000, 5616, 1092, 324},
    // Last, so that it drops over the boxes below Combo5 while shown.
    {"", "List3", Kind::MultiList, "", 3660, 4044, 2412, 1392},
};

constexpr const char* kTabOrder[] = {
    "Option1",  "Option2",  "Combo6",  "Command1", "Command4", "Command6", "Combo10",  "Combo2",
    "Combo1",   "Command7", "Option3", "Option4",  "DBGrid1",  "Command8", "Command9", "Command10",
    "Combo3",   "Combo9",   "List3",   "Combo4",   "Combo5",   "Combo7",   "Combo8",   "Command2",
    "Command5", "Command3", "Text2",   "List1",    "List2",    "Text1"};

// To the nearest pixel: cutting off the fraction takes a pixel from the small
// frames and options that their texts need.
int px(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QRect pixels(const Placement& p) {
    return {px(p.left), px(p.top), px(p.width), px(p.height)};
}

std::string s(const QString& text) {
    return text.toStdString();
}

QStringList qList(const std::vector<std::string>& items) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items)
        out << toQString(item);
    return out;
}

// A choice longer than its box ("non-parallel records; ...") would otherwise show its
// end, and a narrow box its last letters only ("eplace").
void showStartOf(QComboBox* combo) {
    if (QLineEdit* edit = combo->lineEdit()) edit->setCursorPosition(0);
}

// refused: a link holds the dialog, which takes no command until it ends; the control
// keeps its own state for afterwards.
void applyState(QWidget* w, const ControlState& state, bool refused) {
    w->setEnabled(state.enabled && !refused);
    w->setVisible(state.visible);
}

} // namespace

Form4::Form4(Form4Services services, QWidget* parent)
    : QDialog(parent), model_(std::make_unique<Form4Model>(std::move(services))) {
    setObjectName("Form4");
    setWindowTitle(toQString(kDialogCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    // The boxes were drawn for a small face: the narrow cut at ten pixels is what lets
    // "replace", the longest pairing method and the captions of the small frames fit.
    setFont(narrowFace(10));
    // Frames with their caption on the top line, so a low frame keeps room for what it
    // holds below the caption.
    frameStyle_ = QStyleFactory::create("Windows");
    if (frameStyle_) frameStyle_->setParent(this);
    setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    build();
    connectControls();
    model_->onChanged = [this] { render(); };
    model_->controls().progressBar1.onShow = [this](const Progress& p) { renderProgress(p); };
    model_->formLoad();
    if (parent) {
        // Centred on the main window as the dialog's outer size was planned.
        const QRect main = parent->geometry();
        const double left = (main.width() * kTwipsPerPixel - 8800.0) / 2;
        const double top = (main.height() * kTwipsPerPixel - 7680.0) / 2;
        move(main.x() + static_cast<int>(left / kTwipsPerPixel),
             main.y() + static_cast<int>(top / kTwipsPerPixel));
    }
    render();
}

Form4::~Form4() {
    if (waitCursorShown_) QApplication::restoreOverrideCursor();
    model_->onChanged = nullptr;
    model_->controls().progressBar1.onShow = nullptr;
}

void Form4::build() {
    for (const auto& p : kLayout) {
        QWidget* parent = *p.container ? findChild<QWidget*>(p.container) : this;
        QWidget* w = nullptr;
        switch (p.kind) {
        case Kind::Frame:
            w = new QGroupBox(p.caption, parent);
            if (frameStyle_) w->setStyle(frameStyle_);
            break;
        case Kind::Option:
            w = new QRadioButton(p.caption, parent);
            break;
        case Kind::Label:
            w = new QLabel(p.caption, parent);
            break;
        case Kind::Combo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            w = combo;
            break;
        }
        case Kind::Button:
            w = new QPushButton(parent);
            break;
        case Kind::Text:
            w = new QLineEdit(parent);
            break;
        case Kind::Grid: {
            grid_ = new QTableWidget(0, 4, parent);
            grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
            grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
            grid_->setSelectionMode(QAbstractItemView::SingleSelection);
            grid_->verticalHeader()->setDefaultSectionSize(16);
            grid_->setHorizontalHeaderLabels({"If_This", "condition", "This", "conjunction"});
            w = grid_;
            break;
        }
        case Kind::List:
        case Kind::MultiList: {
            auto* list = new QListWidget(parent);
            if (p.kind == Kind::MultiList)
                list->setSelectionMode(QAbstractItemView::MultiSelection);
            w = list;
            break;
        }
        case Kind::Progress:
            progress_ = new QProgressBar(parent);
            progress_->setTextVisible(false);
            w = progress_;
            break;
        case Kind::Data:
            // The data control only carries the criteria cursor; it has nothing to show.
            w = new QWidget(parent);
            w->setVisible(false);
            break;
        }
        w->setObjectName(p.name);
        w->setGeometry(pixels(p));
    }
    QWidget* previous = nullptr;
    for (const char* name : kTabOrder) {
        auto* w = findChild<QWidget*>(name);
        if (previous && w) setTabOrder(previous, w);
        previous = w;
    }
    for (const char* name : {"Combo3", "Combo7", "Combo8", "Combo9", "List3"})
        findChild<QWidget*>(name)->installEventFilter(this);
}

void Form4::handle(void (Form4Model::*handler)()) {
    // A click that waited while a file was read would start another open over it.
    if (model_->linking()) return;
    (model_.get()->*handler)();
    render();
}

void Form4::connectControls() {
    auto& c = model_->controls();
    const std::pair<const char*, void (Form4Model::*)()> buttons[] = {
        {"Command1", &Form4Model::command1Click}, {"Command2", &Form4Model::command2Click},
        {"Command3", &Form4Model::command3Click}, {"Command4", &Form4Model::command4Click},
        {"Command5", &Form4Model::command5Click}, {"Command6", &Form4Model::command6Click},
        {"Command7", &Form4Model::command7Click}, {"Command8", &Form4Model::command8Click},
        {"Command9", &Form4Model::command9Click}, {"Command10", &Form4Model::command10Click},
        {"Option1", &Form4Model::option1Click},   {"Option2", &Form4Model::option2Click},
        {"Option3", &Form4Model::option3Click},   {"Option4", &Form4Model::option4Click},
    };
    for (const auto& [name, handler] : buttons) {
        auto* button = findChild<QAbstractButton*>(name);
        connect(button, &QAbstractButton::clicked, this, [this, handler = handler] {
            if (!rendering_) handle(handler);
        });
    }

    const std::pair<const char*, void (Form4Model::*)()> clickCombos[] = {
        {"Combo3", &Form4Model::combo3Click},
        {"Combo7", &Form4Model::combo7Click},
        {"Combo9", &Form4Model::combo9Click},
    };
    for (int i = 1; i <= 10; ++i) {
        const QString name = QString("Combo%1").arg(i);
        auto* combo = findChild<QComboBox*>(name);
        auto* state = c.findCombo(s(name));
        connect(combo, &QComboBox::editTextChanged, this, [this, state](const QString& text) {
            if (!rendering_) state->text = s(text);
        });
        void (Form4Model::*onPick)() = nullptr;
        for (const auto& [comboName, handler] : clickCombos)
            if (name == comboName) onPick = handler;
        connect(combo, &QComboBox::activated, this, [this, combo, state, onPick](int index) {
            if (rendering_) return;
            showStartOf(combo);
            state->text = s(combo->itemText(index));
            state->listIndex = index;
            if (onPick) handle(onPick);
        });
    }

    const std::pair<const char*, ListControl*> lists[] = {
        {"List1", &c.list1}, {"List2", &c.list2}, {"List3", &c.list3}};
    for (const auto& [name, state] : lists) {
        auto* list = findChild<QListWidget*>(name);
        connect(list, &QListWidget::currentRowChanged, this, [this, state = state](int row) {
            if (!rendering_) state->listIndex = row;
        });
        connect(list, &QListWidget::itemSelectionChanged, this, [this, list, state = state] {
            if (rendering_) return;
            for (int i = 0; i < list->count() && i < static_cast<int>(state->selected.size()); ++i)
                state->selected[static_cast<std::size_t>(i)] = list->item(i)->isSelected();
        });
    }

    for (auto [name, state] : {std::pair{"Text1", &c.text1}, std::pair{"Text2", &c.text2}}) {
        auto* edit = findChild<QLineEdit*>(name);
        connect(edit, &QLineEdit::textEdited, this, [edit, state = state](const QString& t) {
            state->setText(s(t));
            edit->setToolTip(t);
        });
    }

    connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!rendering_ && row >= 0) model_->selectCriteriaRow(row);
    });
}

bool Form4::eventFilter(QObject* watched, QEvent* event) {
    if (!rendering_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const bool in = event->type() == QEvent::FocusIn;
        const QString name = watched->objectName();
        void (Form4Model::*handler)() = nullptr;
        if (in && name == "Combo3") handler = &Form4Model::combo3GotFocus;
        if (in && name == "Combo7") handler = &Form4Model::combo7GotFocus;
        if (!in && name == "Combo7") handler = &Form4Model::combo7LostFocus;
        if (in && name == "Combo8") handler = &Form4Model::combo8GotFocus;
        if (in && name == "Combo9") handler = &Form4Model::combo9GotFocus;
        // The list stays while the focus moves inside it or into its own popup.
        if (!in && name == "List3") handler = &Form4Model::list3LostFocus;
        if (handler) handle(handler);
    }
    return QDialog::eventFilter(watched, event);
}

void Form4::render() {
    if (rendering_) return;
    rendering_ = true;
    auto& c = model_->controls();
    const bool refused = model_->linking();
    if (refused && !greyedForLink_) focusBeforeLink_ = QApplication::focusWidget();

    const std::pair<const char*, const OptionControl*> options[] = {{"Option1", &c.option1},
                                                                    {"Option2", &c.option2},
                                                                    {"Option3", &c.option3},
                                                                    {"Option4", &c.option4}};
    for (const auto& [name, state] : options) {
        auto* option = findChild<QRadioButton*>(name);
        applyState(option, *state, refused);
        option->setText(toQString(state->caption));
        // Auto-exclusive buttons cannot be cleared one by one.
        option->setAutoExclusive(false);
        option->setChecked(state->value);
        option->setAutoExclusive(true);
    }

    for (int i = 1; i <= 10; ++i) {
        const QString name = QString("Combo%1").arg(i);
        auto* combo = findChild<QComboBox*>(name);
        const auto& state = *c.findCombo(s(name));
        QStringList items = qList(state.items);
        QStringList shown;
        for (int k = 0; k < combo->count(); ++k)
            shown << combo->itemText(k);
        bool retexted = false;
        if (shown != items) {
            combo->clear();
            combo->addItems(items);
            retexted = true;
        }
        if (combo->currentText() != toQString(state.text)) {
            combo->setEditText(toQString(state.text));
            retexted = true;
        }
        if (retexted) showStartOf(combo);
        combo->setToolTip(toQString(state.toolTip));
        applyState(combo, state, refused);
    }

    const std::pair<const char*, const ButtonControl*> buttons[] = {
        {"Command1", &c.command1},  {"Command2", &c.command2}, {"Command3", &c.command3},
        {"Command4", &c.command4},  {"Command5", &c.command5}, {"Command6", &c.command6},
        {"Command7", &c.command7},  {"Command8", &c.command8}, {"Command9", &c.command9},
        {"Command10", &c.command10}};
    for (const auto& [name, state] : buttons) {
        auto* button = findChild<QPushButton*>(name);
        button->setText(toQString(state->caption));
        button->setToolTip(toQString(state->toolTip));
        applyState(button, *state, refused);
    }

    const std::pair<const char*, const ListControl*> lists[] = {
        {"List1", &c.list1}, {"List2", &c.list2}, {"List3", &c.list3}};
    for (const auto& [name, state] : lists) {
        auto* list = findChild<QListWidget*>(name);
        QStringList items = qList(state->items);
        QStringList shown;
        for (int k = 0; k < list->count(); ++k)
            shown << list->item(k)->text();
        if (shown != items) {
            list->clear();
            list->addItems(items);
        }
        for (int k = 0; k < list->count(); ++k)
            list->item(k)->setSelected(k < static_cast<int>(state->selected.size()) &&
                                       state->selected[static_cast<std::size_t>(k)]);
        if (list->selectionMode() != QAbstractItemView::MultiSelection)
            list->setCurrentRow(state->listIndex);
        applyState(list, *state, refused);
        if (list->isVisible()) list->raise();
    }

    for (auto [name, state] : {std::pair{"Text1", &c.text1}, std::pair{"Text2", &c.text2}}) {
        auto* edit = findChild<QLineEdit*>(name);
        if (edit->text() != toQString(state->text)) {
            edit->setText(toQString(state->text));
            edit->setCursorPosition(0);
        }
        edit->setToolTip(toQString(state->toolTip));
        applyState(edit, *state, refused);
    }
    applyState(findChild<QWidget*>("Label8"), c.label8, false);
    grid_->setEnabled(c.dbGrid1.enabled && !refused);
    renderGrid();
    renderProgress(c.progressBar1);
    renderBusy();

    if (!c.focusRequest.empty()) {
        if (auto* w = findChild<QWidget*>(toQString(c.focusRequest))) w->setFocus();
        c.focusRequest.clear();
    }
    rendering_ = false;
}

void Form4::renderBusy() {
    const auto& c = model_->controls();
    if (c.waitPointer != waitCursorShown_) {
        if (c.waitPointer)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
        waitCursorShown_ = c.waitPointer;
    }
    const bool refused = model_->linking();
    if (greyedForLink_ && !refused && focusBeforeLink_ && focusBeforeLink_->isEnabled() &&
        isAncestorOf(focusBeforeLink_))
        focusBeforeLink_->setFocus();
    greyedForLink_ = refused;
}

void Form4::renderGrid() {
    auto& c = model_->controls();
    auto& criteria = model_->criteria();
    std::vector<CriteriaRow> rows;
    try {
        rows = criteria.rows();
    } catch (const RuntimeError&) {
        // Nothing to show while the table cannot be read; the next change redraws.
    }
    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        const std::string* cells[] = {&row.ifThis, &row.condition, &row.thisValue,
                                      &row.conjunction};
        for (int col = 0; col < 4; ++col)
            grid_->setItem(r, col, new QTableWidgetItem(toQString(*cells[col])));
    }
    if (!c.gridColumn0Caption.empty())
        grid_->setHorizontalHeaderItem(0, new QTableWidgetItem(toQString(c.gridColumn0Caption)));
    if (c.gridColumn3Width > 0) grid_->setColumnWidth(3, c.gridColumn3Width / kTwipsPerPixel);
    const long current = criteria.currentRow();
    if (current >= 0 && current < static_cast<long>(rows.size()))
        grid_->setCurrentCell(static_cast<int>(current), 0);
    else
        grid_->clearSelection();
}

void Form4::renderProgress(const Progress& p) {
    progress_->setRange(p.min(), p.max());
    progress_->setValue(p.value());
    progress_->setVisible(p.visible());
}

bool Form4::refusedDuringRun() {
    const auto& sv = model_->services();
    return varnoke::refusedDuringRun(sv.shared, sv.platform.prompter);
}

void Form4::closeEvent(QCloseEvent* event) {
    if (refusedDuringRun()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Form4::done(int result) {
    // The dialog deletes itself once closed, and the run goes on working in it.
    if (refusedDuringRun()) return;
    QDialog::done(result);
}

void Form4Windows::showCompareDialog() {
    if (!dialog_) {
        dialog_ = new Form4(services_, mainWindow_);
        if (area_) {
            // A child of the work area like the grid windows, so a grid or query window
            // opened while the dialog is up comes in front of it.
            QMdiSubWindow* sub = area_->addSubWindow(dialog_);
            QObject::connect(dialog_, &QObject::destroyed, sub, &QObject::deleteLater);
            sub->resize(sub->sizeHint());
            const double left = (mainWindow_->width() * 15.0 - 8800.0) / 2 / 15;
            const double top = (mainWindow_->height() * 15.0 - 7680.0) / 2 / 15;
            sub->move(static_cast<int>(left), static_cast<int>(top));
        }
    }
    if (auto* sub = qobject_cast<QMdiSubWindow*>(dialog_->parentWidget())) {
        sub->show();
        keepInsideArea(*sub);
        area_->setActiveSubWindow(sub);
        return;
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

bool Form4Windows::compareDialogVisible() const {
    // Shown by the program, whether or not the main window is on screen yet.
    if (!dialog_) return false;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(dialog_->parentWidget()))
        return !sub->isHidden() && !dialog_->isHidden();
    return dialog_->isVisible();
}

std::string Form4Windows::fileAPathText() const {
    return dialog_ ? dialog_->model().controls().text1.text : std::string{};
}

std::string Form4Windows::fileBPathText() const {
    return dialog_ ? dialog_->model().controls().text2.text : std::string{};
}

Progress* Form4Windows::progressBar() {
    return dialog_ ? &dialog_->model().controls().progressBar1 : nullptr;
}

bool Form4Windows::handleError(const RuntimeError& error) {
    if (!dialog_) return false;
    dialog_->model().errors().handleError(error);
    return true;
}

Form4* Form4Windows::dialog() const {
    return dialog_;
}

} // namespace varnoke
