// The info notes as windows: the whole "Show this message again." caption is readable.
#include "engine/database.h"
#include "shell/info_note_form.h"
#include "shell/info_notes.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "support/waits.h"

#include <QCheckBox>
#include <QTest>
#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class InfoNoteWindow : public ::testing::TestWithParam<InfoNote> {
protected:
    void SetUp() override { db = Engine::instance().openDatabase(dir.copyWorkDb()); }
    void TearDown() override { db.close(); }

    TempDir dir;
    Database db;
    ScriptedPlatform scripted;
};

// Regression: Form7's box cut its caption to "Show this message a".
TEST_P(InfoNoteWindow, ShowAgainCaptionIsNotCut) {
    InfoNoteForm note(GetParam(), db, scripted.prompter);
    note.setText("A note.");
    note.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&note, kPatienceMs));
    auto* check = note.findChild<QCheckBox*>("Check1");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), "Show this message again.");
    EXPECT_GE(check->width(), check->sizeHint().width());
    EXPECT_LE(check->geometry().right(), note.width());
}

INSTANTIATE_TEST_SUITE_P(Notes, InfoNoteWindow,
                         ::testing::Values(InfoNote::ExportFile, InfoNote::Remote,
                                           InfoNote::Pairing),
                         [](const auto& info) {
                             switch (info.param) {
                             case InfoNote::ExportFile:
                                 return "Form5";
                             case InfoNote::Remote:
                                 return "Form6";
                             case InfoNote::Pairing:
                                 return "Form7";
                             }
                             return "unknown";
                         });

} // namespace
} // namespace varnoke::test
