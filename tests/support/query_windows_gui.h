#pragma once
// Reaching the windows of a running Program the way a user does: through its menus, by
// the controls' names.
#include "queries/local_queries_window.h"
#include "shell/program_window.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <gtest/gtest.h>
#include <string_view>

namespace varnoke::test {

// The whole program on a copy of the working database, its main window shown.
class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs after the working database opened, before the main window shows.
    virtual void prepare() {}

    Database& db() { return program->state().workDb; }

    TempDir dir;
    ScriptedPlatform scripted;
    std::unique_ptr<Program> program;
    MDIForm1* window = nullptr;
};

// Triggers the main window's menu item of that name.
void triggerMenu(Program& program, std::string_view item);

QueryWindowSet& queryWindows(Program& program);

template <typename W = QWidget> W* control(QWidget* form, const char* name) {
    auto* w = form->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Clicks a push, radio or check button.
void clickButton(QWidget* form, const char* name);
// Picks the item of a combo box when its list holds it, else types the text, as a user
// would.
void choose(QWidget* form, const char* combo, const QString& text);
// The part of a child window of the main window's work area that cover, a window in
// front of the main window, hides.
QRect hiddenPart(const QWidget& child, const QWidget& cover);
// Replaces a text box's text by typing.
void typeInto(QWidget* form, const char* box, const QString& text);

} // namespace varnoke::test
