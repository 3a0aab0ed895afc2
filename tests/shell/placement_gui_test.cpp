// Where a child window goes when a window in front of the main window covers it: to a
// place clear of it where one is wide and high enough for the child's least size, and
// otherwise over it, never shrunk below that size.
#include "shell/placement_window.h"
#include "support/waits.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace varnoke;
using namespace varnoke::test;

namespace {

struct PlacementCase {
    const char* label;
    QRect cover; // the window in front, in the work area's; height 0: the area's
    QSize least; // what the child's content needs at least
    bool clear;  // whether a place clear of the cover fits that
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.label;
}

class Placement : public ::testing::TestWithParam<PlacementCase> {
protected:
    void SetUp() override {
        main.resize(800, 600);
        area = new QMdiArea(&main);
        main.setCentralWidget(area);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main, kPatienceMs));
    }

    QRect room() const { return area->viewport()->rect(); }
    // A window that stays in front of the main window, as the query windows do.
    void showCover(QRect inArea) {
        if (inArea.height() == 0) inArea.setHeight(room().height());
        cover = std::make_unique<QWidget>(&main, Qt::Tool);
        cover->setGeometry(QRect(area->viewport()->mapToGlobal(inArea.topLeft()), inArea.size()));
        cover->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(cover.get(), kPatienceMs));
    }
    QRect coverInArea() const {
        const QRect frame = cover->frameGeometry();
        return QRect(area->viewport()->mapFromGlobal(frame.topLeft()), frame.size());
    }
    QMdiSubWindow* showChild(const QSize& least, const QRect& at) {
        auto* content = new QWidget;
        content->setMinimumSize(least);
        QMdiSubWindow* sub = area->addSubWindow(content);
        sub->setGeometry(at);
        sub->show();
        return sub;
    }

    QMainWindow main;
    QMdiArea* area = nullptr;
    std::unique_ptr<QWidget> cover;
};

TEST_P(Placement, TheChildKeepsItsLeastSizeAndIsHiddenOnlyWhereNoPlaceFits) {
    const PlacementCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(showCover(c.cover));
    QMdiSubWindow* sub = showChild(c.least, QRect(QPoint(0, 0), room().size()));
    const QSize least = sub->minimumSizeHint();

    keepClearOfToolWindows(*sub);

    const QRect placed = sub->geometry();
    EXPECT_GE(placed.width(), least.width());
    EXPECT_GE(placed.height(), least.height());
    EXPECT_TRUE(room().contains(placed)) << "the child lies partly outside the work area";
    const QRect hidden = placed & coverInArea();
    if (c.clear) {
        EXPECT_TRUE(hidden.isEmpty()) << "hidden " << hidden.width() << "x" << hidden.height();
    } else {
        // Over the cover by what the strip beside it lacks, and no more.
        const int strip = room().width() - (coverInArea() & room()).width();
        EXPECT_EQ(placed.width(), least.width());
        EXPECT_EQ(hidden.width(), least.width() - strip);
    }
}

// The work area of the 800 x 600 main window is 800 px wide.
INSTANTIATE_TEST_SUITE_P(
    Covers, Placement,
    ::testing::Values(
        // A query window at the left, full height: a strip of 360 px beside it.
        PlacementCase{"AWideEnoughStripBeside", QRect(0, 0, 440, 0), QSize(300, 200), true},
        PlacementCase{"ANarrowStripBeside", QRect(0, 0, 440, 0), QSize(490, 200), false},
        // The same at the right.
        PlacementCase{"ANarrowStripOnTheLeft", QRect(360, 0, 440, 0), QSize(490, 200), false},
        // A query window at the top left, as it opens: the strip below it is clear.
        PlacementCase{"ALowStripBelow", QRect(0, 0, 440, 390), QSize(490, 120), true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Placement, AChildNothingCoversStaysWhereItIs) {
    ASSERT_NO_FATAL_FAILURE(showCover(QRect(0, 0, 300, 200)));
    QMdiSubWindow* sub = showChild(QSize(200, 100), QRect(320, 220, 300, 200));
    const QRect before = sub->geometry();
    keepClearOfToolWindows(*sub);
    EXPECT_EQ(sub->geometry(), before);
}

} // namespace
