#include "platform/qt/qt_platform.h"

#include "platform/qt/qt_text.h"
#include "platform/qt/window_faces.h"
#include "value/printable.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <utility>

namespace varnoke {
namespace {

// A prompt wider than this wraps: the width at which a message box's text wraps.
constexpr int kPromptLineWidth = 500;

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonSpec> buttonsFor(int style) {
    using B = QMessageBox;
    switch (msgbox::buttonsOf(style)) {
    case msgbox::OkCancel:
        return {{B::Ok, answer::Ok}, {B::Cancel, answer::Cancel}};
    case msgbox::AbortRetryIgnore:
        return {{B::Abort, answer::Abort}, {B::Retry, answer::Retry}, {B::Ignore, answer::Ignore}};
    case msgbox::YesNoCancel:
        return {{B::Yes, answer::Yes}, {B::No, answer::No}, {B::Cancel, answer::Cancel}};
    case msgbox::YesNo:
        return {{B::Yes, answer::Yes}, {B::No, answer::No}};
    case msgbox::RetryCancel:
        return {{B::Retry, answer::Retry}, {B::Cancel, answer::Cancel}};
    default:
        return {{B::Ok, answer::Ok}};
    }
}

QMessageBox::Icon iconFor(int style) {
    switch (msgbox::iconOf(style)) {
    case msgbox::Critical:
        return QMessageBox::Critical;
    case msgbox::Question:
        return QMessageBox::Question;
    case msgbox::Exclamation:
        return QMessageBox::Warning;
    case msgbox::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A message box no wider than its screen. Qt holds a long text to the screen's width,
// to which the window manager then adds its borders.
class ScreenMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        keepOnScreen();
    }
    bool event(QEvent* event) override {
        const bool handled = QMessageBox::event(event);
        // Qt sizes the box again on each layout request.
        if (event->type() == QEvent::LayoutRequest) keepOnScreen();
        return handled;
    }

private:
    void keepOnScreen() {
        const int room = screenRoom(*this);
        if (width() <= room || !layout()) return;
        layout()->activate();
        const int height =
            layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(room) : this->height();
        setFixedSize(room, height);
        // The new size asks for a layout, which would size the box as Qt does once more.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }
};

} // namespace

struct QtPrompter::KeyboardReturn {
    QPointer<QWidget> window;
    QPointer<QWidget> focus;
    unsigned ticket = 0; // a prompt that starts before the return is made cancels it
};

QtPrompter::QtPrompter(QWidget* parent)
    : parent_(parent), return_(std::make_shared<KeyboardReturn>()) {}

QWidget* QtPrompter::beginPrompt() {
    KeyboardReturn& back = *return_;
    ++back.ticket;
    // A prompt belongs to the window the user works in, so it opens over that window. One
    // that follows another before the keyboard has gone back belongs to the same window,
    // wherever the window manager has put the keyboard meanwhile.
    if (!back.window || !back.window->isVisible()) {
        QWidget* active = QApplication::activeWindow();
        back.window = active ? active : parent_;
        back.focus = QApplication::focusWidget();
    }
    return back.window;
}

void QtPrompter::endPrompt() {
    // The keyboard goes back once the caller is done with its prompts.
    QTimer::singleShot(0, [weak = std::weak_ptr(return_), ticket = return_->ticket] {
        const auto back = weak.lock();
        if (!back || back->ticket != ticket) return;
        const QPointer<QWidget> window = std::exchange(back->window, nullptr);
        const QPointer<QWidget> focus = std::exchange(back->focus, nullptr);
        returnKeyboard(window, focus);
    });
}

void returnKeyboard(QWidget* window, QWidget* focus) {
    if (!window) return;
    // The window manager may hand the keyboard to another window once the prompt is gone,
    // before or after this asks for it back. The first window other than this one that
    // takes the keyboard then gives it back, once; the watch ends with that, or when the
    // keyboard is here.
    auto* watch = new QObject(window);
    const auto done = [watch] {
        QObject::disconnect(qGuiApp, nullptr, watch, nullptr);
        watch->deleteLater();
    };
    const auto give = [window, focus = QPointer<QWidget>(focus)] {
        if (!window->isVisible()) return;
        window->activateWindow();
        if (focus && focus->window() == window) focus->setFocus(Qt::ActiveWindowFocusReason);
    };
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, watch,
                     [window, give, done](QWindow* now) {
                         if (!now) return;
                         if (now != window->windowHandle()) give();
                         done();
                     });
    QTimer::singleShot(0, watch, [window, give, done] {
        give();
        if (QApplication::activeWindow() == window) done();
    });
}

int QtPrompter::messageBox(std::string_view text, int style, std::string_view title) {
    QWidget* owner = beginPrompt();
    // Whatever a message quotes from a file, the box shows no raw control character.
    ScreenMessageBox box(iconFor(style), toQString(title),
                         toQString(printable(text, std::string_view::npos, true)),
                         QMessageBox::NoButton, owner);
    const auto specs = buttonsFor(style);
    for (const auto& spec : specs)
        box.addButton(spec.button);
    // The box takes the width of its text, which wraps before the screen's edge; the row
    // of buttons is widened so that the title bar shows the title whole too.
    if (auto* buttons = box.findChild<QDialogButtonBox*>()) {
        const QMargins margins = box.layout()->contentsMargins();
        buttons->setMinimumWidth(std::min(titleBarWidth(box.windowTitle()), screenRoom(box)) -
                                 margins.left() - margins.right());
    }
    const std::size_t def = static_cast<std::size_t>(msgbox::defaultButtonOf(style));
    if (def < specs.size()) box.setDefaultButton(specs[def].button);
    // Escape answers Cancel where there is one, else the only button.
    for (const auto& spec : specs)
        if (spec.answer == answer::Cancel || specs.size() == 1) box.setEscapeButton(spec.button);
    box.exec();
    endPrompt();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& spec : specs)
        if (spec.button == clicked) return spec.answer;
    return specs.size() == 1 ? answer::Ok : answer::Cancel;
}

std::string QtPrompter::inputBox(std::string_view prompt, std::string_view title,
                                 std::string_view defaultText) {
    QInputDialog box(beginPrompt());
    box.setWindowTitle(toQString(title));
    box.setLabelText(toQString(printable(prompt, std::string_view::npos, true)));
    box.setTextValue(toQString(defaultText));
    // The box takes the width of its prompt and text box, which its layout holds it to.
    // A long prompt wraps, as a message box's text does, and never past the screen; the
    // text box is widened so that the title bar shows the title whole too.
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    const int room = screenRoom(box) - margins.left() - margins.right();
    if (auto* label = box.findChild<QLabel*>()) {
        const int line = label->sizeHint().width();
        label->setWordWrap(true);
        label->setMinimumWidth(std::min({line, kPromptLineWidth, room}));
    }
    if (auto* edit = box.findChild<QLineEdit*>())
        edit->setMinimumWidth(std::min(titleBarWidth(box.windowTitle()), room));
    const bool accepted = box.exec() == QDialog::Accepted;
    endPrompt();
    return accepted ? box.textValue().toStdString() : std::string();
}

std::string qtFilterFromPipes(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        if (!desc.contains('('))
            desc += " (" + patterns + ")";
        else
            desc = desc.left(desc.indexOf('(')).trimmed() + " (" + patterns + ")";
        out << desc;
    }
    return out.join(";;").toStdString();
}

std::string pickerStartName(const std::string& fileName, const std::string& filter) {
    if (fileName.empty()) return fileName;
    const QStringList parts = QString::fromStdString(filter).split('|');
    if (parts.size() < 2) return fileName;
    const QFileInfo file(QString::fromStdString(fileName));
    for (const QString& pattern : parts[1].split(';', Qt::SkipEmptyParts)) {
        const QRegularExpression wildcard(
            QRegularExpression::wildcardToRegularExpression(pattern.trimmed()),
            QRegularExpression::CaseInsensitiveOption);
        if (wildcard.match(file.fileName()).hasMatch()) return fileName;
    }
    return file.path().toStdString();
}

std::string QtFilePicker::choose(const FileDialogRequest& request) {
    const QString path = QFileDialog::getOpenFileName(
        parent_, toQString(request.title),
        QString::fromStdString(pickerStartName(request.fileName, request.filter)),
        QString::fromStdString(qtFilterFromPipes(request.filter)));
    return path.toStdString();
}

void QtProgress::show() {
    if (!bar_) return;
    bar_->setRange(min(), max());
    bar_->setValue(value());
    bar_->setVisible(visible());
}

void QtEventPump::yieldToEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Input waits in its queue (a click or a close request among it) until the wait is over.
void QtEventPump::drawWindows() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
}

void QtSettingsStore::save(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view value) {
    QSettings settings(toQString(app), toQString(app));
    settings.setValue(toQString(section) + "/" + toQString(key), toQString(value));
}

std::string QtSettingsStore::load(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view fallback) {
    QSettings settings(toQString(app), toQString(app));
    return settings.value(toQString(section) + "/" + toQString(key), toQString(fallback))
        .toString()
        .toStdString();
}

bool QtDocumentOpener::openDocument(std::string_view target) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(toQString(target)));
}

double QtClock::seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void QtClock::sleep(double seconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

} // namespace varnoke
