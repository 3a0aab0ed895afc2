#include "platform/qt/qt_platform.h"

#include <QProgressBar>
#include <gtest/gtest.h>

using namespace varnoke;

TEST(QtPlatform, FilterTextBecomesQtFilters) {
    EXPECT_EQ(qtFilterFromPipes("dBase IV (*.dbf)|*.dbf|All Files (*.*)|*.*"),
              "dBase IV (*.dbf);;All Files (*.*)");
    EXPECT_EQ(qtFilterFromPipes("Text|*.csv;*.txt"), "Text (*.csv *.txt)");
}

TEST(QtPlatform, ProgressMirrorsTheClampedState) {
    QProgressBar bar;
    QtProgress progress(&bar);
    progress.setRange(1, 5);
    progress.setValue(9);
    progress.setVisible(true);
    EXPECT_EQ(bar.maximum(), 5);
    EXPECT_EQ(bar.value(), 5);
    EXPECT_FALSE(bar.isHidden());
}
