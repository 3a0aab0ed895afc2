// Tables of HTML pages, walked without a tree: which table a name means, what a cell
// shows, rows and cells a browser closes by itself, and the bounds of a hostile page.
#include "drivers/html_format.h"
#include "table_collector.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

using Texts = std::vector<std::vector<std::string>>;

struct PageCase {
    const char* label;
    std::string page;
    std::string table; // the name asked for
    Texts expected;    // the field names, then each row's texts ("" for Null)
};

class HtmlPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(HtmlPageTest, ReadsTheTableABrowserShows) {
    Table t;
    const auto& page = GetParam().page;
    drivers::readHtmlImage({reinterpret_cast<const std::uint8_t*>(page.data()), page.size()},
                           "p.html", GetParam().table, t);
    Texts got(1);
    for (const auto& f : t.fields)
        got[0].push_back(f.name);
    for (const auto& row : t.rows) {
        got.emplace_back();
        for (const auto& v : row)
            got.back().push_back(v.isNull() ? "" : v.asText());
    }
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, HtmlPageTest,
    ::testing::Values(
        PageCase{"CellsAndRowsCloseThemselves",
                 "<table><tr><th>A<th>B<tr><td>x<td>y<tr><td>z</table>",
                 "",
                 {{"A", "B"}, {"x", "y"}, {"z", ""}}},
        PageCase{"CharacterReferencesAreDecoded",
                 "<table><tr><th>A &amp; B</th></tr><tr><td>&eacute;&#233;&#xE9; &lt;&bogus; "
                 "&#150;&nbsp;</td></tr></table>",
                 "",
                 {{"A & B"}, {"\xC3\xA9\xC3\xA9\xC3\xA9 <&bogus; \xE2\x80\x93\xC2\xA0"}}},
        PageCase{"ANestedTablesTextIsItsCells",
                 "<table><tr><th>Outer</th></tr><tr><td>a<table><tr><td>in</td></tr></table>b"
                 "</td></tr></table>",
                 "",
                 {{"Outer"}, {"ainb"}}},
        PageCase{"ScriptAndStyleAreNotShown",
                 "<table><tr><th>A</th></tr><tr><td>x<script>var t='<td>';</script><style>td{}"
                 "</style>y</td></tr></table>",
                 "",
                 {{"A"}, {"xy"}}},
        PageCase{"ChosenByCaption",
                 "<table><tr><td>first</td></tr></table><table><caption> Prices </caption>"
                 "<tr><td>P</td></tr><tr><td>cheap</td></tr></table>",
                 "prices",
                 {{"P"}, {"cheap"}}},
        PageCase{"ChosenByIdOrPosition",
                 "<table><tr><td>one</td></tr></table><table id=two><tr><td>T</td></tr>"
                 "<tr><td>2</td></tr></table><table><tr><td>three</td></tr></table>",
                 "Table3",
                 {{"three"}}},
        PageCase{"AnUnknownNameLeavesTheFirst",
                 "<table><tr><td>one</td></tr></table><table><tr><td>two</td></tr></table>",
                 "nosuch",
                 {{"one"}}},
        PageCase{"ATableOpenedOutsideACellClosesTheOne",
                 "<table><tr><td>A</td></tr><table><tr><td>B</td></tr></table>",
                 "Table2",
                 {{"B"}}},
        PageCase{"SpansLeaveBlanks",
                 "<table><tr><th>A<th>B<th>C<tr><td colspan=\"2\">wide<td>c</table>",
                 "",
                 {{"A", "B", "C"}, {"wide", "", "c"}}},
        PageCase{"WindowsPageIsConverted",
                 "<table><tr><th>city<tr><td>M\xFCnchen</table>",
                 "",
                 {{"city"}, {"M\xC3\xBCnchen"}}}),
    [](const auto& info) { return std::string(info.param.label); });

struct HostilePage {
    const char* label;
    std::string page;
    const char* mentions;
};

class HtmlBoundsTest : public ::testing::TestWithParam<HostilePage> {};

TEST_P(HtmlBoundsTest, RefusesPastTheBound) {
    Table t;
    const auto& page = GetParam().page;
    try {
        drivers::readHtmlImage({reinterpret_cast<const std::uint8_t*>(page.data()), page.size()},
                               "big.html", "", t);
        FAIL() << "the page was read";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
}

std::string cells(std::size_t count) {
    std::string row = "<tr>";
    for (std::size_t i = 0; i < count; ++i)
        row += "<td>x";
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, HtmlBoundsTest,
    ::testing::Values(HostilePage{"TwoMillionCellsInARow", "<table>" + cells(2'000'000),
                                  "it has 2000000 fields, more than the 2000"},
                      HostilePage{"ACellPastAMemo",
                                  "<table><tr><td>a<tr><td>" + std::string(300'000, 'x'),
                                  "a cell in row 2 is longer than 65535 characters"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
