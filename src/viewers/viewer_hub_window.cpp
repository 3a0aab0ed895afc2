#include "viewers/viewer_hub_window.h"

#include "platform/qt/qt_text.h"
#include "shell/placement_window.h"
#include "value/runtime_error.h"
#include "viewers/form_printer_window.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_texts.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTableView>

namespace varnoke {

namespace {

// Sets skipFormInit for the time one window handles another, as every opener does.
class SkipFormInit {
public:
    explicit SkipFormInit(SharedState& state) : state_(state) {
        state_.skipFormInit = std::string(kFlagYes);
    }
    ~SkipFormInit() { state_.skipFormInit.clear(); }
    SkipFormInit(const SkipFormInit&) = delete;
    SkipFormInit& operator=(const SkipFormInit&) = delete;

private:
    SharedState& state_;
};

QWidget* frameOf(GridViewerWindow* window) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) return sub;
    return window;
}

} // namespace

GridViewerHub::GridViewerHub(SharedState& state, Prompter& prompter, QMdiArea* area,
                             QObject* parent)
    : QObject(parent), state_(state), prompter_(prompter), area_(area),
      printer_(std::make_unique<DialogFormPrinter>()) {
    if (area_)
        connect(area_, &QMdiArea::subWindowActivated, this,
                [this](QMdiSubWindow* window) { activated(window); });
}

GridViewerHub::~GridViewerHub() {
    for (auto& [form, window] : windows_) {
        if (window) delete frameOf(window);
    }
}

void GridViewerHub::setPrinter(std::unique_ptr<FormPrinter> printer) {
    printer_ = std::move(printer);
}

GridViewerWindow* GridViewerHub::loaded(ViewerForm form) const {
    auto it = windows_.find(form);
    return it == windows_.end() ? nullptr : it->second.data();
}

GridViewerWindow& GridViewerHub::form(ViewerForm form) {
    if (GridViewerWindow* window = loaded(form)) return *window;
    auto* window = new GridViewerWindow(form, state_, prompter_, printer_.get());
    if (area_) {
        QMdiSubWindow* sub = area_->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        const int frame =
            sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
        const int title = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        sub->resize(window->width() + 2 * frame, window->height() + title + frame);
        sub->hide();
    } else {
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    // A closed window is forgotten at once, so a use right after the close (a new
    // remote result, say) starts a fresh window rather than the dying one.
    connect(window, &GridViewerWindow::unloaded, this, [this, form] { windows_.erase(form); });
    windows_[form] = window;
    return *window;
}

bool GridViewerHub::visible(ViewerForm form) const {
    GridViewerWindow* window = loaded(form);
    return window && frameOf(window)->isVisible();
}

void GridViewerHub::show(ViewerForm form) {
    GridViewerWindow& window = this->form(form);
    QWidget* frame = frameOf(&window);
    frame->show();
    frame->raise();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub && area_) {
        keepInsideArea(*sub);
        keepClearOfToolWindows(*sub);
        area_->setActiveSubWindow(sub);
    } else
        frame->activateWindow();
    window.grid()->setFocus();
}

void GridViewerHub::activated(QMdiSubWindow* sub) {
    if (!sub) return;
    if (auto* window = qobject_cast<GridViewerWindow*>(sub->widget())) window->form_Activate();
}

bool GridViewerHub::visible(Viewer viewer) const {
    return visible(formOf(viewer));
}

void GridViewerHub::bind(Viewer viewer, const Recordset& rs) {
    form(formOf(viewer)).bind(rs);
}

std::string GridViewerHub::caption(Viewer viewer) const {
    GridViewerWindow* window = loaded(formOf(viewer));
    return window ? window->windowTitle().toStdString()
                  : std::string(profileOf(formOf(viewer)).caption);
}

void GridViewerHub::setCaption(Viewer viewer, std::string_view caption) {
    form(formOf(viewer)).setWindowTitle(toQString(caption));
}

std::string GridViewerHub::gridCaption(Viewer viewer) const {
    GridViewerWindow* window = loaded(formOf(viewer));
    return window ? window->gridCaption().toStdString() : std::string();
}

void GridViewerHub::setGridCaption(Viewer viewer, std::string_view caption) {
    form(formOf(viewer)).setGridCaption(toQString(caption));
}

void GridViewerHub::setTag(Viewer viewer, std::string_view tag) {
    form(formOf(viewer)).viewer().setTag(std::string(tag));
}

void GridViewerHub::show(Viewer viewer) {
    show(formOf(viewer));
}

void GridViewerHub::refresh(Viewer viewer) {
    if (GridViewerWindow* window = loaded(formOf(viewer))) window->cmdRefresh_Click();
}

void GridViewerHub::close(Viewer viewer) {
    if (GridViewerWindow* window = loaded(formOf(viewer))) window->cmdClose_Click();
}

void GridViewerHub::refreshViewers() {
    SkipFormInit skip(state_);
    for (Viewer v : {Viewer::FileA, Viewer::FileB, Viewer::ExportFile, Viewer::ExportTable}) {
        if (visible(v)) refresh(v);
    }
}

void GridViewerHub::countRecs(Viewer viewer) {
    if (GridViewerWindow* window = loaded(formOf(viewer))) window->countRecs();
}

void GridViewerHub::showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                                         std::string_view statement) {
    {
        SkipFormInit skip(state_);
        GridViewerWindow& window = form(ViewerForm::Form12);
        window.bind(rs);
        window.setWindowTitle(toQString(localQueryCaption(queryName, statement)));
    }
    show(ViewerForm::Form12);
}

void GridViewerHub::showRemoteQueryResult(const Recordset& rs) {
    {
        SkipFormInit skip(state_);
        GridViewerWindow& window = form(ViewerForm::Form15);
        window.bind(rs);
        window.countRecs();
    }
    show(ViewerForm::Form15);
}

} // namespace varnoke
