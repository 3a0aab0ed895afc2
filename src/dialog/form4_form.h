#pragma once
// Form4, the comparison dialog's window. It lays out the controls where the dialog was
// designed, draws Form4Model's controls after each handler and hands the user's clicks,
// typing and selections to the model; all rules live in the model.
#include "dialog/form4_model.h"
#include "shell/window_hub.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class QMdiArea;
class QProgressBar;
class QStyle;
class QTableWidget;

namespace varnoke {

class Form4 : public QDialog {
    Q_OBJECT
public:
    Form4(Form4Services services, QWidget* parent = nullptr);
    ~Form4() override;

    Form4Model& model() { return *model_; }
    // Draws the controls as the model holds them.
    void render();

    // Esc and reject() end here without a close event; refused during a run as a close is.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True, after telling the user, while a run is working in this dialog.
    bool refusedDuringRun();
    void build();
    void connectControls();
    // Runs a handler, then draws the result.
    void handle(void (Form4Model::*handler)());
    void renderGrid();
    void renderProgress(const Progress& progress);
    // The wait cursor as the model asks for it, and the focus back where it was once a
    // link no longer holds the controls.
    void renderBusy();

    std::unique_ptr<Form4Model> model_;
    QTableWidget* grid_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QStyle* frameStyle_ = nullptr; // owned by the dialog
    bool rendering_ = false;
    bool waitCursorShown_ = false;
    bool greyedForLink_ = false;
    QPointer<QWidget> focusBeforeLink_;
};

// The comparison dialog as the main window opens it: loaded afresh each time it is
// shown after being closed.
class Form4Windows : public CompareWindows {
public:
    // With an area, the dialog opens as one of its child windows.
    Form4Windows(Form4Services services, QWidget* mainWindow, QMdiArea* area = nullptr)
        : services_(std::move(services)), mainWindow_(mainWindow), area_(area) {}

    void showCompareDialog() override;
    bool compareDialogVisible() const override;
    std::string fileAPathText() const override;
    std::string fileBPathText() const override;
    Progress* progressBar() override;
    bool handleError(const RuntimeError& error) override;

    // The dialog while it is loaded, else nullptr.
    Form4* dialog() const;

private:
    Form4Services services_;
    QWidget* mainWindow_;
    QMdiArea* area_;
    QPointer<Form4> dialog_;
};

} // namespace varnoke
