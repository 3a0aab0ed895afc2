#include "support/query_windows_gui.h"

#include "support/waits.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>

namespace varnoke::test {

void ProgramWindowTest::SetUp() {
    dir.copyWorkDb();
    program = std::make_unique<Program>(scripted.platform());
    window = &program->window();
    ASSERT_TRUE(window->openWorkingDatabase(dir.path()));
    prepare();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kPatienceMs));
}

void ProgramWindowTest::TearDown() {
    window->close();
    program.reset();
}

void triggerMenu(Program& program, std::string_view item) {
    auto* action = program.window().findChild<QAction*>(
        QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

QueryWindowSet& queryWindows(Program& program) {
    return static_cast<QueryWindowSet&>(*program.hub().queries);
}

void clickButton(QWidget* form, const char* name) {
    QTest::mouseClick(control<QAbstractButton>(form, name), Qt::LeftButton);
}

void choose(QWidget* form, const char* combo, const QString& text) {
    auto* box = control<QComboBox>(form, combo);
    if (const int index = box->findText(text); index >= 0) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    } else {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
    }
}

QRect hiddenPart(const QWidget& child, const QWidget& cover) {
    const QWidget* frame = qobject_cast<const QMdiSubWindow*>(child.parentWidget());
    if (!frame) frame = &child;
    const QWidget* viewport = frame->parentWidget();
    QRect shown(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    if (viewport) shown &= QRect(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    return shown & cover.frameGeometry();
}

void typeInto(QWidget* form, const char* box, const QString& text) {
    auto* edit = control<QPlainTextEdit>(form, box);
    edit->clear();
    QTest::keyClicks(edit, text);
}

} // namespace varnoke::test
