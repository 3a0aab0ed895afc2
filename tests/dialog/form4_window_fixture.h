#pragma once
// The comparison dialog's window, shown over a fresh copy of the working database, with
// the scripted platform and recording main window and viewers of dialog_fixture.h.
#include "dialog/form4_form.h"
#include "dialog_fixture.h"
#include "support/waits.h"

#include <QTest>

namespace varnoke::test {

class Form4Window : public ::testing::Test {
protected:
    void SetUp() override {
        shared.workDb = Engine::instance().openDatabase(dir.copyWorkDb());
        form = std::make_unique<Form4>(
            Form4Services{shared, scripted.platform(), mainWindow, viewers});
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), kPatienceMs));
    }
    void TearDown() override {
        form.reset();
        shared.workDb.close();
    }
    template <typename W = QWidget> W* child(const char* name) {
        auto* w = form->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) { QTest::mouseClick(child(name), Qt::LeftButton); }

    TempDir dir;
    ScriptedPlatform scripted;
    SharedState shared;
    RecordingMainWindow mainWindow;
    RecordingViewers viewers;
    std::unique_ptr<Form4> form;
};

} // namespace varnoke::test
