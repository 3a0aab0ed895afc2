// Tables of HTML pages: which table a name means, what a cell shows, rows and cells a
// browser closes or spans by itself, pages that lead a parser astray, the page's
// encoding, and the bounds of a hostile page.
#include "drivers/html_format.h"
#include "table_collector.h"
#include "value/convert.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

using Texts = std::vector<std::vector<std::string>>;

std::string repeated(std::string_view piece, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

// Latin-1 text as UTF-16 with its byte-order mark.
std::string utf16(std::string_view latin1, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : latin1)
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

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
            got.back().push_back(textOrBlank(v));
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
                 {{"city"}, {"M\xC3\xBCnchen"}}},
        PageCase{"RowSpansKeepTheColumnsBelow",
                 "<table><tr><th>Region<th>City<th>Sales<tr><td rowspan=2>North<td>Oslo<td>10"
                 "<tr><td>Bergen<td>20<tr><td>South<td rowspan=\"3\">Rome</table>",
                 "",
                 {{"Region", "City", "Sales"},
                  {"North", "Oslo", "10"},
                  {"", "Bergen", "20"},
                  {"South", "Rome", ""}}},
        PageCase{"CommentsCloseAsInABrowser",
                 "<table><tr><th>A<tr><td>1<!-->x<tr><td>2<!--->y<tr><td>3<!-- -- --!>z"
                 "<tr><td>4<!x>w</table>",
                 "",
                 {{"A"}, {"1x"}, {"2y"}, {"3z"}, {"4w"}}},
        PageCase{"AQuoteInsideAnUnquotedValue",
                 "<table><tr><th>A<tr><td title=it's>1<tr><td>2<tr><td title='q'>3</table>",
                 "",
                 {{"A"}, {"1"}, {"2"}, {"3"}}},
        PageCase{"ReferencesAsBrowsersReadThem",
                 "<table><tr><th>A<tr><td>&rarr; &copy 2020 &AMP; &notit; &amp;copy</table>",
                 "",
                 {{"A"}, {"\xE2\x86\x92 \xC2\xA9 2020 & \xC2\xACit; &copy"}}},
        PageCase{"ANoBreakSpaceAloneIsBlank",
                 "<table><tr><th>N<th>A<tr><td>1<td>a<tr><td>&nbsp;<td>b<tr><td> &nbsp;&nbsp; "
                 "<td>c</table>",
                 "",
                 {{"N", "A"}, {"1", "a"}, {"", "b"}, {"", "c"}}},
        PageCase{"BlocksStartLinesInACell",
                 "<table><tr><th>A<tr><td><div>John</div><div>Smith</div><tr><td><p>a<p>b<b>c"
                 "</b><li>d</table>",
                 "",
                 {{"A"}, {"John\nSmith"}, {"a\nbc\nd"}}},
        PageCase{"UnclosedFontsAreRead",
                 "<table><tr><th>A<tr><td>" + repeated("<font>", 600) + "x</table>",
                 "",
                 {{"A"}, {"x"}}},
        PageCase{"MetaCharsetIsRead",
                 "<meta charset=windows-1251><table><tr><th>city<tr><td>\xCC\xEE\xF1\xEA\xE2\xE0"
                 "</table>",
                 "",
                 {{"city"}, {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"}}},
        PageCase{"Utf16WithAByteOrderMark",
                 utf16("<table><tr><th>A<tr><td>x\xE9</table>", false),
                 "",
                 {{"A"}, {"x\xC3\xA9"}}},
        PageCase{"Utf16BigEndian",
                 utf16("<table><tr><th>A<tr><td>x\xE9</table>", true),
                 "",
                 {{"A"}, {"x\xC3\xA9"}}}),
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
    ::testing::Values(
        HostilePage{"TwoMillionCellsInARow", "<table>" + cells(2'000'000),
                    "it has 2000000 fields, more than the 2000"},
        // Tables nested in a caption, then each in a cell whose end tag
        // cannot close it, as a browser nests them too.
        HostilePage{"TablesNestedPastTheBound",
                    "<table><caption><table>" + repeated("<tr><td>x<table></td>", 10'000),
                    "nest more than 512 deep"},
        HostilePage{"ACellPastAMemo", "<table><tr><td>a<tr><td>" + std::string(300'000, 'x'),
                    "a cell in row 2 is longer than 65535 characters"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
