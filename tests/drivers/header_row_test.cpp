// Where a worksheet's table begins: the first row holding a non-blank cell names the
// fields, and the columns left of every value are no fields. A blank cell (empty, Null,
// an error, a text of only spaces) decides no column's type. Worksheets of Excel and
// Lotus both come through this grid; each case is one small sheet.
#include "table_collector.h"

#include "drivers/cell_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnoke::test {
namespace {

using drivers::CellRow;

struct Sheet {
    const char* label;
    std::vector<CellRow> cells;
    std::vector<std::string> names;
    std::vector<int> types;
    std::vector<std::vector<Value>> rows;
};

void PrintTo(const Sheet& s, std::ostream* out) {
    *out << s.label;
}

const Value e;                    // no cell
const Value null = Value::null(); // an error cell reads Null
Value t(const char* text) {
    return Value::text(text);
}
Value n(double number) {
    return Value::number(number);
}
constexpr int kText = 10, kDouble = 7, kMemo = 12;

const std::vector<Sheet> kSheets{
    {"TableLowerRightStartsAtItsFirstCell",
     {{},
      {e, e, e},
      {},
      {},
      {e, e, t("Name"), t("Qty")},
      {e, e, t("a"), n(1)},
      {e, e, t("b"), n(2)}},
     {"Name", "Qty"},
     {kText, kDouble},
     {{t("a"), n(1)}, {t("b"), n(2)}}},
    {"RowOfSpacesAndErrorsAboveIsPassedOver",
     {{t("   "), null, t("")}, {t("id"), t("v")}, {n(1), n(2)}},
     {"id", "v"},
     {kDouble, kDouble},
     {{n(1), n(2)}}},
    {"ValueLeftOfTheHeaderKeepsItsColumn",
     {{e, e, t("h")}, {e, n(5), t("x")}},
     {"F1", "h"},
     {kDouble, kText},
     {{n(5), t("x")}}},
    {"BlankTextsDecideNoType",
     {{t("n"), t("t")}, {n(1), t("a")}, {t("  "), t("b")}, {t(""), t("c")}, {n(2), t("d")}},
     {"n", "t"},
     {kDouble, kText},
     {{n(1), t("a")}, {null, t("b")}, {null, t("c")}, {n(2), t("d")}}},
    {"BlankColumnBetweenFilledOnesStaysAField",
     {{t("a"), e, t("c")}, {n(1), e, n(3)}},
     {"a", "F2", "c"},
     {kDouble, kText, kDouble},
     {{n(1), null, n(3)}}},
    {"RowsOfNothingBelowAreSpacing",
     {{t("a")}, {}, {null}, {t(" ")}, {n(1)}},
     {"a"},
     {kDouble},
     {{n(1)}}},
    {"NumbersBesideALongTextMakeAMemo",
     {{t("m")}, {n(123456789.125)}, {Value::text(std::string(300, 'x'))}},
     {"m"},
     {kMemo},
     {{t("123456789.125")}, {Value::text(std::string(300, 'x'))}}},
};

class HeaderRowTest : public ::testing::TestWithParam<Sheet> {};

TEST_P(HeaderRowTest, FieldsAndRowsBeginWhereTheTableDoes) {
    const auto& sheet = GetParam();
    Table table;
    drivers::sendGrid(sheet.cells, drivers::CellSource::Worksheet, "sheet.xls", "empty", table);
    std::vector<std::string> names;
    std::vector<int> types;
    for (const auto& f : table.fields) {
        names.push_back(f.name);
        types.push_back(f.type);
    }
    EXPECT_EQ(names, sheet.names);
    EXPECT_EQ(types, sheet.types);
    EXPECT_EQ(table.rows, sheet.rows);
}

INSTANTIATE_TEST_SUITE_P(Sheets, HeaderRowTest, ::testing::ValuesIn(kSheets),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(HeaderRow, ASheetOfOnlyBlankCellsHoldsNoData) {
    Table table;
    try {
        drivers::sendGrid({{t(" "), null}, {}, {e, t("")}}, drivers::CellSource::Worksheet,
                          "sheet.xls", "nothing to link", table);
        FAIL() << "a blank sheet was linked";
    } catch (const EngineError& e) {
        EXPECT_EQ(std::string(e.what()), "nothing to link");
    }
}

} // namespace
} // namespace varnoke::test
