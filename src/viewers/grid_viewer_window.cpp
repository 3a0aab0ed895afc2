#include "viewers/grid_viewer_window.h"

#include "platform/qt/qt_text.h"
#include "value/runtime_error.h"
#include "viewers/form_printer_window.h"
#include "viewers/grid_model_window.h"
#include "viewers/viewer_texts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace varnoke {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr int kClientHeight = 4596;
constexpr int kStripHeight = 330;
constexpr int kCounterHeight = 345;

// The Shift argument of a grid mouse event: 1 Shift, 2 Ctrl, 4 Alt.
int shiftOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

struct ButtonSpec {
    const char* name;
    const char* caption;
    int left;
    int width;
};

} // namespace

GridViewerWindow::GridViewerWindow(ViewerForm form, SharedState& state, Prompter& prompter,
                                   FormPrinter* printer, QWidget* parent)
    : QWidget(parent), viewer_(form, state, prompter), printer_(printer),
      model_(std::make_unique<GridTableModel>(viewer_)) {
    const ViewerProfile& p = viewer_.profile();
    setObjectName(toQString(p.formName));
    setWindowTitle(toQString(p.caption));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* strip = new QWidget(this);
    strip->setObjectName("picButtons");
    strip->setFixedHeight(px(kStripHeight));
    buildButtons(strip);
    layout->addWidget(strip);

    gridCaption_ = new QLabel(this);
    gridCaption_->setObjectName("grdDataGridCaption");
    gridCaption_->setAlignment(Qt::AlignCenter);
    gridCaption_->hide();
    layout->addWidget(gridCaption_);

    grid_ = new QTableView(this);
    grid_->setObjectName("grdDataGrid");
    grid_->setModel(model_.get());
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setSectionsClickable(true);
    if (p.hasPrint) grid_->setToolTip(toQString(viewertext::kGridTip));
    layout->addWidget(grid_, 1);

    data1_ = new QLabel(toQString(viewer_.counterCaption()), this);
    data1_->setObjectName("Data1");
    data1_->setFixedHeight(px(kCounterHeight));
    data1_->setFrameShape(QFrame::Panel);
    data1_->setFrameShadow(QFrame::Sunken);
    data1_->setAlignment(Qt::AlignCenter);
    layout->addWidget(data1_);

    grid_->horizontalHeader()->viewport()->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    grid_->installEventFilter(this);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { viewer_.grdDataGrid_HeadClick(section); });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                currentRowMoved(current.isValid() ? current.row() : -1,
                                previous.isValid() ? previous.row() : -1);
            });
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { loadVisibleRows(); });

    // Loaded by itself, the remote result's window takes its own width; loaded while an
    // opener binds it, the designer's.
    const int width = (p.selfLoadWidthTwips > 0 && !isSet(state.skipFormInit))
                          ? p.selfLoadWidthTwips
                          : p.clientWidthTwips;
    resize(px(width), px(kClientHeight));

    viewer_.setView(this);
    stateChanged();
}

GridViewerWindow::~GridViewerWindow() {
    viewer_.setView(nullptr);
}

void GridViewerWindow::buildButtons(QWidget* strip) {
    const ViewerProfile& p = viewer_.profile();
    std::vector<ButtonSpec> specs = {
        {"cmdSort", "&Sort", 15, 1215},
        {"cmdFilter", "&Filter", 1235, 1215},
        {"cmdRefresh", "&Refresh", 2470, 1215},
        {"Command1", "Show &All", p.showAllLeftTwips, 1215},
    };
    if (p.hasPrint) {
        specs.push_back({"Command2", "&Print", 4920, 1215});
        specs.push_back({"cmdClose", "&Close", 6140, 1200});
    } else {
        specs.push_back({"cmdClose", "&Close", 4940, 1200});
    }
    int right = 0;
    for (const ButtonSpec& s : specs) {
        auto* button = new QPushButton(QString::fromUtf8(s.caption), strip);
        button->setObjectName(s.name);
        button->setGeometry(px(s.left), 0, px(s.width), px(kStripHeight));
        button->setAutoDefault(false);
        right = std::max(right, button->geometry().right() + 1);
    }
    // The buttons stand where they were drawn, so the window is never narrower than
    // their row: a window shrunk to make room would cut the last ones off.
    strip->setMinimumWidth(right);
    auto button = [strip](const char* name) { return strip->findChild<QPushButton*>(name); };
    cmdRefresh_ = button("cmdRefresh");
    command1_ = button("Command1");
    connect(button("cmdSort"), &QPushButton::clicked, this, [this] { viewer_.cmdSort_Click(); });
    connect(button("cmdFilter"), &QPushButton::clicked, this,
            [this] { viewer_.cmdFilter_Click(); });
    connect(cmdRefresh_, &QPushButton::clicked, this, [this] { cmdRefresh_Click(); });
    connect(command1_, &QPushButton::clicked, this, [this] { command1_Click(); });
    connect(button("cmdClose"), &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    if (QPushButton* print = button("Command2")) {
        print->setToolTip(toQString(viewertext::kPrintTip));
        connect(print, &QPushButton::clicked, this, [this] { command2_Click(); });
    }
}

void GridViewerWindow::bind(const Recordset& rs) {
    viewer_.bind(rs);
}

QString GridViewerWindow::gridCaption() const {
    return gridCaption_->text();
}

void GridViewerWindow::setGridCaption(const QString& caption) {
    gridCaption_->setText(caption);
    gridCaption_->setVisible(!caption.isEmpty());
}

void GridViewerWindow::cmdClose_Click() {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void GridViewerWindow::countRecs() {
    viewer_.countRecs();
}

void GridViewerWindow::command2_Click() {
    const PrintOutcome outcome = printer_ ? printer_->printForm(*this) : PrintOutcome::Failed;
    if (outcome == PrintOutcome::Failed)
        viewer_.prompter().messageBox(viewertext::kCannotPrint, msgbox::OkOnly);
}

void GridViewerWindow::rowsReset() {
    model_->resetRows();
    fitColumnNames();
    loadVisibleRows();
}

void GridViewerWindow::fitColumnNames() {
    // A reset gives every column the default width again, so this runs after each one.
    QHeaderView* header = grid_->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        if (header->sectionSizeHint(i) > header->sectionSize(i))
            header->resizeSection(i, header->sectionSizeHint(i));
}

void GridViewerWindow::rowsChanged(long first, long last) {
    model_->sourceRowsChanged(first, last);
}

void GridViewerWindow::rowsInserted(long first, long last) {
    model_->sourceRowsInserted(first, last);
}

void GridViewerWindow::rowsRemoved(long first, long last) {
    model_->sourceRowsRemoved(first, last);
    loadVisibleRows();
}

void GridViewerWindow::stateChanged() {
    data1_->setText(toQString(viewer_.counterCaption()));
    cmdRefresh_->setText(toQString(viewer_.refreshCaption()));
    command1_->setEnabled(viewer_.showAllEnabled());
}

void GridViewerWindow::focusControl(std::string_view objectName) {
    if (auto* w = findChild<QWidget*>(toQString(objectName))) w->setFocus();
}

void GridViewerWindow::setCurrentRow(long row) {
    if (row < 0 || row >= model_->rowCount()) {
        grid_->selectionModel()->clearCurrentIndex();
        return;
    }
    const int column = std::max(0, grid_->currentIndex().column());
    grid_->setCurrentIndex(model_->index(static_cast<int>(row), column));
}

void GridViewerWindow::beep() {
    QApplication::beep();
}

void GridViewerWindow::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void GridViewerWindow::currentRowMoved(int row, int previous) {
    if (row != previous && viewer_.hasPendingEdit()) viewer_.commitPendingEdit();
    viewer_.data1_Reposition(model_->isNewRowLine(row) ? -1 : row);
}

void GridViewerWindow::loadVisibleRows() {
    const int rows = model_->rowCount();
    if (rows == 0) return;
    int first = grid_->rowAt(0);
    int last = grid_->rowAt(grid_->viewport()->height() - 1);
    if (first < 0) first = 0;
    if (last < 0) last = std::min(rows - 1, first + 100);
    model_->ensureLoaded(first, last);
}

void GridViewerWindow::deleteSelectedRows() {
    std::set<int, std::greater<>> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    if (rows.empty() && grid_->currentIndex().isValid()) rows.insert(grid_->currentIndex().row());
    // From the bottom up, so the rows still to go keep their positions.
    for (int row : rows) {
        if (!model_->isNewRowLine(row)) viewer_.deleteRow(row);
    }
}

bool GridViewerWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) viewer_.form_Activate();
    return QWidget::event(event);
}

void GridViewerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    try {
        viewer_.countRecs();
    } catch (const RuntimeError&) {
        // Nothing bound yet: the counter keeps its caption.
    }
    loadVisibleRows();
}

void GridViewerWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Every failure is passed over: a window may be resized before anything is bound.
    try {
        viewer_.countRecs();
    } catch (const RuntimeError&) {
    }
    if (isMinimized()) return;
    loadVisibleRows();
}

void GridViewerWindow::closeEvent(QCloseEvent* event) {
    viewer_.commitPendingEdit();
    viewer_.form_QueryUnload();
    event->accept();
    emit unloaded();
}

bool GridViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == grid_->horizontalHeader()->viewport() || watched == grid_->viewport())) {
        viewer_.grdDataGrid_trackShift(shiftOf(static_cast<QMouseEvent*>(event)->modifiers()));
    } else if (event->type() == QEvent::KeyPress && watched == grid_ &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelectedRows();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace varnoke
