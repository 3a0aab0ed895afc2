#include "support/text_fit_gui.h"

#include "platform/qt/window_faces.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace varnoke::test {

namespace {

// QLineEdit keeps two pixels free on each side of its text.
constexpr int kLineEditMargins = 4;

std::string describe(const QWidget& w, const QString& what) {
    return w.objectName().toStdString() + ": " + what.toStdString();
}

QRect inWindow(const QWidget& w, const QWidget& window, const QRect& local) {
    return local.translated(w.mapTo(&window, QPoint(0, 0)));
}

bool shown(const QWidget& w, const QWidget& window) {
    return w.isVisibleTo(&window);
}

// The controls a text must not run under: boxes, buttons, lists and grids.
bool isControl(const QWidget& w) {
    return qobject_cast<const QComboBox*>(&w) || qobject_cast<const QAbstractButton*>(&w) ||
           qobject_cast<const QAbstractItemView*>(&w) ||
           (qobject_cast<const QLineEdit*>(&w) && !qobject_cast<const QComboBox*>(w.parent()));
}

void checkLabel(const QLabel& label, const QWidget& window, std::vector<std::string>& out) {
    if (label.text().isEmpty()) return;
    const QSize hint = label.sizeHint();
    QRect text(QPoint(0, 0), hint);
    if (label.wordWrap()) {
        const int needed = label.heightForWidth(label.width());
        if (needed > label.height())
            out.push_back(describe(
                label, QString("needs %1 px of height, has %2").arg(needed).arg(label.height())));
        text = QRect(0, 0, label.width(), needed);
    } else if (hint.width() > label.width() || hint.height() > label.height()) {
        out.push_back(describe(label, QString("\"%1\" needs %2x%3, has %4x%5")
                                          .arg(label.text())
                                          .arg(hint.width())
                                          .arg(hint.height())
                                          .arg(label.width())
                                          .arg(label.height())));
    }
    const QRect drawn = inWindow(label, window, text);
    for (const QWidget* other : window.findChildren<QWidget*>()) {
        if (other == &label || !isControl(*other) || !shown(*other, window)) continue;
        if (drawn.intersects(inWindow(*other, window, other->rect())))
            out.push_back(
                describe(label, "\"" + label.text() + "\" runs under " + other->objectName()));
    }
}

// A push button's caption with its margins; the style's least button width is no text.
int neededWidth(const QAbstractButton& button) {
    if (!qobject_cast<const QPushButton*>(&button)) return button.sizeHint().width();
    QString caption = button.text();
    caption.replace("&&", QChar(1)).remove('&').replace(QChar(1), '&');
    const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
    return button.fontMetrics().horizontalAdvance(caption) + 2 * margin;
}

void checkButton(const QAbstractButton& button, std::vector<std::string>& out) {
    if (button.text().isEmpty()) return;
    const int needed = neededWidth(button);
    if (needed > button.width())
        out.push_back(describe(button, QString("\"%1\" needs %2 px, has %3")
                                           .arg(button.text())
                                           .arg(needed)
                                           .arg(button.width())));
}

void checkCombo(const QComboBox& combo, std::vector<std::string>& out) {
    const QLineEdit* edit = combo.lineEdit();
    if (!edit) return;
    const int room = edit->width() - kLineEditMargins;
    QStringList texts{combo.currentText()};
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    for (const QString& text : texts) {
        const int needed = edit->fontMetrics().horizontalAdvance(text);
        if (needed > room)
            out.push_back(describe(
                combo, QString("\"%1\" needs %2 px, has %3").arg(text).arg(needed).arg(room)));
    }
}

void checkFrame(const QGroupBox& frame, const QWidget& window, std::vector<std::string>& out) {
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.textAlignment = frame.alignment();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QStyle* style = frame.style();
    const QRect label =
        style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
    const QRect line =
        style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, &frame);
    if (frame.fontMetrics().horizontalAdvance(frame.title()) > label.width() ||
        label.right() >= frame.width())
        out.push_back(describe(frame, "caption \"" + frame.title() + "\" is cut"));
    // What the frame holds, and what the dialog lays over it, keeps clear of the
    // caption and lies below the frame's top line.
    const QRect caption = inWindow(frame, window, label);
    const int top = inWindow(frame, window, line).top();
    for (const QWidget* other : window.findChildren<QWidget*>()) {
        const bool held = other->parentWidget() == &frame;
        if (!shown(*other, window) || (!held && !isControl(*other)) ||
            other->isAncestorOf(&frame) || (!held && frame.isAncestorOf(other)))
            continue;
        const QRect r = inWindow(*other, window, other->rect());
        if (r.intersects(caption))
            out.push_back(describe(frame, "caption \"" + frame.title() + "\" is covered by " +
                                              other->objectName()));
        else if (held && r.top() <= top)
            out.push_back(describe(frame, "top line runs through " + other->objectName()));
    }
}

void checkTextBox(const QPlainTextEdit& box, std::vector<std::string>& out) {
    if (box.verticalScrollBar()->maximum() > 0)
        out.push_back(describe(box, "the text needs a scroll bar"));
}

// A column's name shows whole in its header.
void checkHeader(const QHeaderView& header, std::vector<std::string>& out) {
    const QAbstractItemModel* model = header.model();
    if (!model) return;
    for (int i = 0; i < header.count(); ++i) {
        if (header.isSectionHidden(i)) continue;
        const QString name = model->headerData(i, header.orientation()).toString();
        if (header.sectionSizeHint(i) > header.sectionSize(i))
            out.push_back(describe(header, QString("column \"%1\" needs %2 px, has %3")
                                               .arg(name)
                                               .arg(header.sectionSizeHint(i))
                                               .arg(header.sectionSize(i))));
    }
}

// The title bar shows the window's title whole.
void checkTitle(const QWidget& window, std::vector<std::string>& out) {
    if (!window.isWindow() || window.windowTitle().isEmpty()) return;
    const int needed = varnoke::titleBarWidth(window.windowTitle());
    if (needed > window.frameGeometry().width())
        out.push_back(describe(window, QString("title \"%1\" needs %2 px, has %3")
                                           .arg(window.windowTitle())
                                           .arg(needed)
                                           .arg(window.frameGeometry().width())));
}

} // namespace

std::vector<std::string> unfitTexts(const QWidget& window) {
    std::vector<std::string> out;
    checkTitle(window, out);
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!shown(*w, window)) continue;
        if (auto* label = qobject_cast<const QLabel*>(w)) checkLabel(*label, window, out);
        if (auto* button = qobject_cast<const QAbstractButton*>(w)) checkButton(*button, out);
        if (auto* combo = qobject_cast<const QComboBox*>(w)) checkCombo(*combo, out);
        if (auto* frame = qobject_cast<const QGroupBox*>(w)) checkFrame(*frame, window, out);
        if (auto* box = qobject_cast<const QPlainTextEdit*>(w)) checkTextBox(*box, out);
        auto* header = qobject_cast<const QHeaderView*>(w);
        if (header && header->orientation() == Qt::Horizontal) checkHeader(*header, out);
    }
    return out;
}

} // namespace varnoke::test
