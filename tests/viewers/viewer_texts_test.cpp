#include "value/runtime_error.h"
#include "viewers/viewer_texts.h"

#include <gtest/gtest.h>

using namespace varnoke;

TEST(ViewerTexts, FilterPromptHasThirteenLinesJoinedByCrLf) {
    const std::string prompt = filterPrompt(false);
    EXPECT_EQ(prompt, "Enter FieldName =, <>, <, <=, >, >= Criteria. \r\n"
                      "- Enclose the Criteria of TEXT fields in DOUBLE quotes.\r\n"
                      "- Enclose the Criteria of DATE fields in NUMBER signs.\r\n"
                      "\r\n"
                      "Use 'and' or 'or' to create combined criterias.\r\n"
                      "Example: CustName = ''KorvathEnterprises'' and OrderDate >= #8/7/00# or "
                      "moneyEarned < 100000.00\r\n"
                      "\r\n"
                      "Use the 'like' and/or 'between' operators to get fancy.\r\n"
                      "Example: custname like ''korv*'' or OrDeRiD <> 123\r\n"
                      "Example: orderDATE between #1/16/99# And #11/3/00# OR cashFlow >= 100\r\n"
                      "Example: custName not like ''Kor*'' or orderID between 101 and 201\r\n"
                      "\r\n"
                      "READ A BOOK ON FILTERING!  Laugh.");
}

TEST(ViewerTexts, RemoteResultPromptDiffersOnlyInItsEighthLine) {
    std::string expected = filterPrompt(false);
    const std::string from = "operators to get fancy.";
    expected.replace(expected.find(from), from.size(), "operators to really get fancy.");
    EXPECT_EQ(filterPrompt(true), expected);
}

TEST(ViewerTexts, CounterIsOneBasedAndShowsZeroWithoutACurrentRecord) {
    EXPECT_EQ(counterText(0, 5), "Record: 1 of 5");
    EXPECT_EQ(counterText(4, 5), "Record: 5 of 5");
    EXPECT_EQ(counterText(-1, 5), "Record: 0 of 5");
}

TEST(ViewerTexts, ErrorReportHasNoBlankAfterTheColon) {
    EXPECT_EQ(errorReport(3075, "Syntax error in expression."),
              "Error:3075 Syntax error in expression.");
}

TEST(ViewerTexts, LocalQueryCaptionPrefersTheQueryName) {
    EXPECT_EQ(localQueryCaption("Big spenders", "SELECT * FROM Table1"),
              "Local Query - Big spenders");
}

TEST(ViewerTexts, LocalQueryCaptionCutsTheStatementAt32Characters) {
    EXPECT_EQ(localQueryCaption("", "SELECT * FROM Table1 WHERE Amount > 100"),
              "Local Query - SELECT * FROM Table1 WHERE Amoun");
    EXPECT_EQ(localQueryCaption("", "SELECT 1"), "Local Query - SELECT 1");
    // 31 plain letters and an a-umlaut: the cut keeps the whole letter.
    const std::string text = std::string(31, 'x') + "\xC3\xA4" + "tail";
    EXPECT_EQ(localQueryCaption("", text), "Local Query - " + std::string(31, 'x') + "\xC3\xA4");
}
