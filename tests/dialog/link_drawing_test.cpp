// A file read by a reading child: the dialog's windows are drawn while the link waits
// for the child, greyed with the main window's menus, and the drawing lets nothing else
// run.
#include "dialog_fixture.h"
#include "gated_reader.h"

namespace varnoke::test {
namespace {

enum class Opener { FileAOneMode, FileB, ExportFile };

struct DrawCase {
    const char* label;
    Opener opener;
};

void PrintTo(const DrawCase& c, std::ostream* os) {
    *os << c.label;
}

class LinkDrawing : public DialogTest, public ::testing::WithParamInterface<DrawCase> {
protected:
    GatedLotus lotus;
};

TEST_P(LinkDrawing, TheWindowsAreDrawnWhileTheChildReads) {
    const DrawCase& draw = GetParam();
    if (draw.opener != Opener::FileAOneMode) model->option2Click();
    int drawnInLink = 0;
    bool alwaysMarkedAsRun = true;
    bool menusGreyed = true;
    for (const char* top : {"menuFile", "menuView", "menuQueries", "menuHelp"})
        mainWindow.setMenuEnabled(top, true);
    int redrawsOfTheDialog = 0;
    model->onChanged = [&] { ++redrawsOfTheDialog; };
    scripted.events.onDraw = [&](int) {
        ++drawnInLink;
        alwaysMarkedAsRun = alwaysMarkedAsRun && shared.runInProgress && model->linking();
        for (const char* top : {"menuFile", "menuView", "menuQueries", "menuHelp"})
            menusGreyed = menusGreyed && !mainWindow.menuEnabled(top);
        lotus.reader().open();
    };
    const std::string sheet = dir.write("sheet.wk4", "stands in for a worksheet");
    switch (draw.opener) {
    case Opener::FileAOneMode:
        openFileA(sheet, "Lotus WK4");
        break;
    case Opener::FileB:
        openFileB(sheet, "Lotus WK4");
        break;
    case Opener::ExportFile:
        c().combo6.text = "Lotus WK4";
        scripted.files.choosePath(sheet);
        model->command6Click();
        break;
    }

    EXPECT_TRUE(scripted.prompter.messages().empty());
    EXPECT_GE(drawnInLink, 1);
    EXPECT_GE(redrawsOfTheDialog, drawnInLink) << "the controls are brought up to date first";
    EXPECT_TRUE(alwaysMarkedAsRun);
    EXPECT_TRUE(menusGreyed) << "a menu took clicks during the read";
    for (const char* top : {"menuFile", "menuView", "menuQueries", "menuHelp"})
        EXPECT_TRUE(mainWindow.menuEnabled(top)) << top;
    // The field names yield to every event, and so does the link's end, to the input that
    // waited: the read itself never does.
    EXPECT_EQ(scripted.events.yields, draw.opener == Opener::ExportFile ? 1 : 2);
    EXPECT_FALSE(shared.runInProgress);
    EXPECT_FALSE(model->linking());
    switch (draw.opener) {
    case Opener::FileAOneMode:
        EXPECT_EQ(c().list1.items, Items{"NAME"});
        EXPECT_EQ(column("Table1", "NAME"), Items{"Ann"});
        break;
    case Opener::FileB:
        EXPECT_EQ(c().list2.items, Items{"NAME"});
        EXPECT_EQ(column("Table2", "NAME"), Items{"Ann"});
        break;
    case Opener::ExportFile:
        EXPECT_EQ(shared.exportFileOpen, "y");
        EXPECT_EQ(column("Exported Data", "NAME"), Items{"Ann"});
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Openers, LinkDrawing,
                         ::testing::Values(DrawCase{"FileAOneMode", Opener::FileAOneMode},
                                           DrawCase{"FileB", Opener::FileB},
                                           DrawCase{"ExportFile", Opener::ExportFile}),
                         [](const auto& info) { return std::string(info.param.label); });

// A link inside a run leaves the run marked as going once the link is over.
TEST_F(LinkDrawing, ALinkInsideARunLeavesTheRunMarked) {
    scripted.events.onDraw = [&](int) { lotus.reader().open(); };
    shared.runInProgress = true;
    openFileA(dir.write("sheet.wk4", "stands in for a worksheet"), "Lotus WK4");
    EXPECT_TRUE(shared.runInProgress);
    EXPECT_EQ(c().list1.items, Items{"NAME"});
    shared.runInProgress = false;
}

} // namespace
} // namespace varnoke::test
