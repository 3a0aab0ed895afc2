// Tables of HTML pages: which table a name means, what a cell shows, rows and cells a
// browser closes or spans by itself, pages that lead a parser astray, the page's
// encoding, and the bounds of a hostile page.
#include "drivers/charset_labels.h"
#include "drivers/html_charset.h"
#include "drivers/html_format.h"
#include "drivers/text_decoders.h"
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
                 {{"Outer"}, {"a\nin\nb"}}},
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

// How a browser forms a table: spans end with their row group, nested tables keep
// their rows and cells apart, and what a cell shows at its edges and in its own
// elements.
INSTANTIATE_TEST_SUITE_P(
    Tables, HtmlPageTest,
    ::testing::Values(
        PageCase{"ARowSpanEndsWithItsRowGroup",
                 "<table><thead><tr><td>h1</td><td>h2</td></tr></thead><tbody><tr><td "
                 "rowspan=2>a</td><td>b</td></tr></tbody><tfoot><tr><td>total</td><td>9</td>"
                 "</tr></tfoot></table>",
                 "",
                 {{"h1", "h2"}, {"a", "b"}, {"total", "9"}}},
        // Rows outside any thead, tbody or tfoot are a group of their own.
        PageCase{"ARowSpanEndsWithTheRowsBeforeABody",
                 "<table><tr><th>A<th>B<tr><td rowspan=3>x<td>1<tbody><tr><td>2<td>3</tbody>"
                 "<tr><td>4<td>5</table>",
                 "",
                 {{"A", "B"}, {"x", "1"}, {"2", "3"}, {"4", "5"}}},
        PageCase{"ARowSpanEndsWithACaptionAfterItsRows",
                 "<table><tr><th>A<th>B<tr><td rowspan=3>x<td>1<caption>c</caption><tr><td>2"
                 "<td>3</table>",
                 "",
                 {{"A", "B"}, {"x", "1"}, {"2", "3"}}},
        PageCase{"RowspanZeroRunsToTheEndOfItsGroup",
                 "<table><thead><tr><th>A<th>B</thead><tbody><tr><td rowspan=0>x<td>1<tr><td>2"
                 "<tr><td>3</tbody><tbody><tr><td>y<td>4</table>",
                 "",
                 {{"A", "B"}, {"x", "1"}, {"", "2"}, {"", "3"}, {"y", "4"}}},
        // "+2" is 2; a negative or missing number is the default.
        PageCase{"SpansReadAsBrowsersReadThem",
                 "<table><tr><th>A<th>B<th>C<tr><td rowspan=\"+2\">a<td colspan=0>b<td>c<tr>"
                 "<td rowspan=-1>d<td rowspan=x>e<tr><td>f<td>g<td>h</table>",
                 "",
                 {{"A", "B", "C"}, {"a", "b", "c"}, {"", "d", "e"}, {"f", "g", "h"}}},
        // Where it stands, as HTML 4 had it, or first of all.
        PageCase{"TheFirstFooterComesLast",
                 "<table><thead><tr><th>A</thead><tfoot><tr><td>total<tr><td>sum</tfoot><tbody>"
                 "<tr><td>1<tr><td>2</tbody><tfoot><tr><td>next</tfoot></table>",
                 "",
                 {{"A"}, {"1"}, {"2"}, {"next"}, {"total"}, {"sum"}}},
        PageCase{"AHeaderAfterTheBodyComesFirst",
                 "<table><tbody><tr><td>a<td>b</tbody><thead><tr><th>h1<th>h2</thead></table>",
                 "",
                 {{"h1", "h2"}, {"a", "b"}}},
        // Only the first thead moves; its spans end with it; the footer still comes last.
        PageCase{"OnlyTheFirstHeaderMovesWithItsSpans",
                 "<table><tfoot><tr><td>f1<td>f2</tfoot><tbody><tr><td rowspan=2>a<td>b<tr>"
                 "<td>c</tbody><thead><tr><th>H<th rowspan=3>I<tr><td>J</thead><thead><tr><td>"
                 "second</thead><tr><td>z</table>",
                 "",
                 {{"H", "I"},
                  {"J", ""},
                  {"a", "b"},
                  {"", "c"},
                  {"second", ""},
                  {"z", ""},
                  {"f1", "f2"}}},
        PageCase{"AHeaderAfterOnlyAFooterStaysFirst",
                 "<table><tfoot><tr><td>t</tfoot><thead><tr><th>H</thead><tr><td>1</table>",
                 "",
                 {{"H"}, {"1"}, {"t"}}},
        PageCase{"AHeaderClosingACellOfTheNamedTable",
                 "<table><tr><td>x</table><table id=t><tr><td>1<tr><td>2<thead><tr><th>N"
                 "</table><table><thead><tr><th>other</table>",
                 "t",
                 {{"N"}, {"1"}, {"2"}}},
        PageCase{"AFooterBeforeTheHeaderComesLast",
                 "<table><tfoot><tr><td rowspan=2>t<td>u</tfoot><tr><th>H<th>I<tr><td>v<td>w"
                 "</table>",
                 "",
                 {{"H", "I"}, {"v", "w"}, {"t", "u"}}},
        PageCase{"ANestedTablesRowsAndCellsStayApart",
                 "<table><tr><th>Outer<tr><td>a<table><tr><td>b<td>c<tr><td>d</table>e</td>"
                 "</table>",
                 "",
                 {{"Outer"}, {"a\nb c\nd\ne"}}},
        PageCase{"ANestedCaptionAndASelectsOptionsStayApart",
                 "<table><tr><th>A<tr><td>x<table><caption>cap</caption><tr><td>1</table>"
                 "<select><option>one<option>two</select></table>",
                 "",
                 {{"A"}, {"x\ncap\n1\none\ntwo"}}},
        PageCase{"LineEndsAtACellsEdgesAreDropped",
                 "<table><tr><th>A<th>B<tr><td><br>alpha<br><td>b<tr><td><p>beta</p><br><br>"
                 "<td><br><tr><td>a<br><br>c<td>d</table>",
                 "",
                 {{"A", "B"}, {"alpha", "b"}, {"beta", ""}, {"a\n\nc", "d"}}},
        PageCase{"ATemplateAndATitleAreNotText",
                 "<table><tr><th>A<tr><td>a<template><td>t</td><template>x</template>y"
                 "</template>b<title>T</title>c</table>",
                 "",
                 {{"A"}, {"abc"}}},
        PageCase{"PreKeepsItsBlanksAndLineEnds",
                 "<table><tr><th>A<tr><td>x<pre>\n  a  b\r\n c</pre>y   z</table>",
                 "",
                 {{"A"}, {"x\n  a  b\n c\ny z"}}}),
    [](const auto& info) { return std::string(info.param.label); });

// A page in Windows-1251 that says so past its first kilobyte, where the pre-scan does
// not look: what stands before the meta, then the meta, then the table ("привет мир").
std::string lateMeta(std::string_view before,
                     std::string_view meta = "<meta charset=windows-1251>") {
    return std::string(before) + std::string(meta) +
           "<table><tr><th>A<tr><td>\xEF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0</table>";
}
const Texts kRussian{{"A"},
                     {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80"}};
// The same bytes read as Windows-1252: "ïðèâåò ìèð".
const Texts kLatin{{"A"},
                   {"\xC3\xAF\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2 \xC3\xAC\xC3\xA8\xC3\xB0"}};
const std::string kPad(2048, 'x');

// The charset as a browser finds it: a byte-order mark, else the first meta tag
// outside comments whose label the Encoding Standard knows, else UTF-8 where the page
// is valid UTF-8, else Windows-1252; past a byte-order mark, the first meta the parser
// meets.
INSTANTIATE_TEST_SUITE_P(
    Charsets, HtmlPageTest,
    ::testing::Values(
        PageCase{"AMetaInACommentIsPassedOver",
                 "<!-- <meta charset=\"windows-1251\"> --><table><tr><th>A<tr><td>\xD0\xBF\xD1"
                 "\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 caf\xC3\xA9</table>",
                 "",
                 {{"A"}, {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 caf\xC3\xA9"}}},
        PageCase{"AMetaInAnotherTagsAttributeIsPassedOver",
                 "<a title='<meta charset=koi8-r>'>x</a><table><tr><th>A<tr><td>caf\xC3\xA9"
                 "</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        PageCase{"KoreanPagesLabel",
                 "<meta charset=ks_c_5601-1987><table><tr><th>A<tr><td>\xC7\xD1\xB1\xB9\xBE"
                 "\xEE</table>",
                 "",
                 {{"A"}, {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"}}},
        PageCase{"ShiftJisLabel",
                 "<meta charset=\"x-sjis\"><table><tr><th>A<tr><td>\x93\xFA\x96{\x8C\xEA"
                 "</table>",
                 "",
                 {{"A"}, {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"}}},
        PageCase{"WindowsCyrillicLabel",
                 "<meta charset=x-cp1251><table><tr><th>A<tr><td>\xEF\xF0\xE8\xE2\xE5\xF2"
                 "</table>",
                 "",
                 {{"A"}, {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
        PageCase{"MacCyrillicLabel",
                 "<meta charset=x-mac-cyrillic><table><tr><th>A<tr><td>\x8F\xF0\xE8\xE2\xE5"
                 "\xF2</table>",
                 "",
                 {{"A"}, {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
        PageCase{"AnOldUtf8Label",
                 "<meta charset=unicode-1-1-utf-8><table><tr><th>A<tr><td>caf\xC3\xA9</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        PageCase{"EveryLatin1LabelIsWindows1252",
                 "<meta charset=iso8859-1><table><tr><th>A<tr><td>\x80 caf\xE9</table>",
                 "",
                 {{"A"}, {"\xE2\x82\xAC caf\xC3\xA9"}}},
        PageCase{"TheContentOfAPragmaDeclares",
                 "<meta http-equiv=Content-Type content='text/html; charset=KOI8-R'><table><tr>"
                 "<th>A<tr><td>\xF0\xD2\xC9\xD7\xC5\xD4</table>",
                 "",
                 {{"A"}, {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
        PageCase{"AContentWithoutAPragmaDeclaresNothing",
                 "<meta content='text/html; charset=koi8-r'><table><tr><th>A<tr><td>caf\xC3\xA9"
                 "</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        PageCase{"AnUnknownLabelIsPassedOverForTheNextMeta",
                 "<meta charset=klingon><meta charset=koi8-r><table><tr><th>A<tr><td>\xF0\xD2"
                 "\xC9\xD7\xC5\xD4</table>",
                 "",
                 {{"A"}, {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
        PageCase{"AnUnknownLabelLeavesValidUtf8",
                 "<meta charset=klingon><table><tr><th>A<tr><td>caf\xC3\xA9</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        PageCase{"AnUnknownLabelLeavesWindows1252",
                 "<meta charset=klingon><table><tr><th>A<tr><td>\x80 caf\xE9</table>",
                 "",
                 {{"A"}, {"\xE2\x82\xAC caf\xC3\xA9"}}},
        PageCase{"AUtf16LabelInAnAsciiPageIsUtf8",
                 "<meta charset=utf-16><table><tr><th>A<tr><td>caf\xC3\xA9</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        PageCase{"UserDefinedIsWindows1252",
                 "<meta charset=x-user-defined><table><tr><th>A<tr><td>\x80</table>",
                 "",
                 {{"A"}, {"\xE2\x82\xAC"}}},
        PageCase{"AByteOrderMarkComesFirst",
                 "\xEF\xBB\xBF<meta charset=windows-1251><table><tr><th>A<tr><td>caf\xC3\xA9"
                 "</table>",
                 "",
                 {{"A"}, {"caf\xC3\xA9"}}},
        // Both shift with escapes written in ASCII bytes.
        PageCase{"Iso2022JpIsShiftedBack",
                 "<meta charset=csiso2022jp><table><tr><th>A<tr><td>\x1B$BF|K\\8l\x1B(B"
                 "</table>",
                 "",
                 {{"A"}, {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"}}},
        PageCase{"TheNewerLabelsAreKnown",
                 "<meta charset=koi8-ru><table><tr><th>A<tr><td>\xF0\xD2\xC9\xD7\xC5\xD4"
                 "</table>",
                 "",
                 {{"A"}, {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}}},
        PageCase{"HzIsShiftedBack",
                 "<meta charset=HZ-GB-2312><table><tr><th>A<tr><td>~{VPND~} ~~</table>",
                 "",
                 {{"A"}, {"\xE4\xB8\xAD\xE6\x96\x87 ~"}}},
        // A meta the parser meets in the head past the pre-scan's kilobyte changes the
        // encoding it guessed, and the page is read again; one in the body or after a
        // template, or one the parser does not meet as a tag, changes nothing, nor does
        // any once a byte-order mark or a meta met before has decided.
        PageCase{"LateMetaAfterALongTitle", lateMeta("<title>" + kPad + "</title>"), "", kRussian},
        PageCase{"LateMetaAfterALongComment", lateMeta("<!--" + repeated(kPad, 5) + "-->"), "",
                 kRussian},
        PageCase{"LateMetaAfterALongStyle", lateMeta("<style>p{}" + kPad + "</style>"), "",
                 kRussian},
        PageCase{"LateMetaAfterALongScript", lateMeta("<script>//" + kPad + "</script>"), "",
                 kRussian},
        PageCase{"LateMetaAfterTheTable",
                 "<!--" + kPad +
                     "--><table><tr><th>A<tr><td>\xEF\xF0\xE8\xE2\xE5\xF2 \xEC"
                     "\xE8\xF0</table><p>end<meta charset=windows-1251>",
                 "", kLatin},
        PageCase{"LateMetaInTheBody", lateMeta("<body><p>" + kPad), "", kLatin},
        PageCase{"LateMetaAfterAHeadEnds", lateMeta("<head>" + kPad + "</head>"), "", kLatin},
        PageCase{"LateMetaAfterATemplate",
                 lateMeta("<head><template>t</template><title>" + kPad + "</title>"), "", kLatin},
        // One that begins in the first kilobyte counts wherever it stands.
        PageCase{"AMetaAcrossTheKilobyteInTheBody", lateMeta("<body><p>" + std::string(1010, 'x')),
                 "", kRussian},
        PageCase{"LateMetaAfterHeadTagsAndText",
                 lateMeta("<html><head><base href=x><link rel=x><object></object>text" + kPad), "",
                 kRussian},
        PageCase{"LateMetaInAPragma",
                 lateMeta("<title>" + kPad + "</title>",
                          "<meta http-equiv=content-type content='text/html;charset=cp1251'>"),
                 "", kRussian},
        // The parser's rule, not the pre-scan's: an unknown charset leaves the pragma.
        PageCase{"LateMetaAnUnknownCharsetLeavesThePragma",
                 lateMeta("<title>" + kPad + "</title>",
                          "<meta charset=klingon http-equiv=Content-Type content=\"charset="
                          "windows-1251\">"),
                 "", kRussian},
        PageCase{"LateMetaAnUnknownLabelLeavesTheNextMeta",
                 lateMeta("<title>" + kPad + "</title><meta charset=klingon>"), "", kRussian},
        PageCase{"LateMetaInAComment", lateMeta(kPad + "<!--", "<meta charset=windows-1251>-->"),
                 "", kLatin},
        PageCase{"LateMetaInAScript",
                 lateMeta(kPad + "<script>'", "<meta charset=windows-1251>'</script>"), "", kLatin},
        PageCase{"LateMetaInATitle",
                 lateMeta(kPad + "<title>", "<meta charset=windows-1251></title>"), "", kLatin},
        PageCase{"LateMetaInATemplate",
                 lateMeta(kPad + "<template>", "<meta charset=windows-1251></template>"), "",
                 kLatin},
        // A noscript in the head is markup to the scan: its metas count, its other tags
        // end the head.
        PageCase{"LateMetaInANoscript",
                 lateMeta(kPad + "<noscript>", "<meta charset=windows-1251></noscript>"), "",
                 kRussian},
        PageCase{"LateMetaAfterADivInANoscript",
                 lateMeta(kPad + "<noscript><div></div></noscript>"), "", kLatin},
        PageCase{"LateMetaAfterALinkInANoscript",
                 lateMeta(kPad + "<noscript><link rel=x><!-- <div> --></noscript>"), "", kRussian},
        PageCase{"LateMetaInAnAttribute",
                 lateMeta(kPad + "<a title='", "<meta charset=windows-1251>'>"), "", kLatin},
        PageCase{"LateMetaAfterAByteOrderMark",
                 "\xEF\xBB\xBF" + lateMeta(kPad),
                 "",
                 {{"A"},
                  {"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
                   "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}}},
        PageCase{"LateMetaAfterTheMetaThePrescanFound",
                 lateMeta("<meta charset=windows-1252>" + kPad), "", kLatin},
        // Neither the pre-scan nor the parser counts a meta in a script or a title.
        PageCase{"LateMetaAfterAMetaInAScript",
                 lateMeta("<script>'<meta charset=koi8-r>'</script>" + kPad), "", kRussian},
        PageCase{"APrescanMetaInATitleIsText",
                 lateMeta("<title><meta charset=windows-1251></title>", ""), "", kLatin},
        PageCase{"APrescanMetaInAnAttributeOfAnotherTagIsText",
                 lateMeta("<div title='<meta charset=windows-1251>'></div>", ""), "", kLatin},
        // The first meta of the pre-scan decides for good.
        PageCase{"LateMetaAfterAPrescanMetaOfAnotherEncoding",
                 lateMeta("<meta charset=koi8-r>" + kPad),
                 "",
                 // Python's koi8-r codec: "ОПХБЕР ЛХП".
                 {{"A"},
                  {"\xD0\x9E\xD0\x9F\xD0\xA5\xD0\x91\xD0\x95\xD0\xA0 \xD0\x9B\xD0\xA5"
                   "\xD0\x9F"}}},
        // A page that is valid UTF-8 is still read again, as a browser reads it.
        PageCase{"LateMetaChangesAValidUtf8Guess",
                 kPad + "<meta charset=windows-1251><table><tr><th>A<tr><td>\xD0\xBF</table>",
                 "",
                 {{"A"}, {"\xD0\xA0\xD1\x97"}}},
        // UTF-16 named in an ASCII page is UTF-8, here against the Windows-1252 guess.
        PageCase{"LateMetaUtf16IsUtf8",
                 kPad + "<meta charset=utf-16><table><tr><th>A<tr><td>caf\xE9 \xC3\xA9</table>",
                 "",
                 {{"A"}, {"caf\xEF\xBF\xBD \xC3\xA9"}}},
        PageCase{"LateMetaTheSameEncodingReadsNothingAgain",
                 lateMeta("<title>" + kPad + "</title><meta charset=cp1252>"), "", kLatin}),
    [](const auto& info) { return std::string(info.param.label); });

// A name that names no table of the page is refused, never read as another table.
struct UnknownName {
    const char* label;
    std::string page;
    std::string table;
    const char* says;
};

class HtmlUnknownNameTest : public ::testing::TestWithParam<UnknownName> {};

TEST_P(HtmlUnknownNameTest, IsRefusedNamingTheTableAndThePage) {
    Table t;
    const auto& page = GetParam().page;
    try {
        drivers::readHtmlImage({reinterpret_cast<const std::uint8_t*>(page.data()), page.size()},
                               "two.html", GetParam().table, t);
        FAIL() << "a table was read: " << (t.fields.empty() ? "" : t.fields[0].name);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3078);
        EXPECT_EQ(std::string(e.what()), GetParam().says);
    }
    EXPECT_TRUE(t.fields.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, HtmlUnknownNameTest,
    ::testing::Values(
        UnknownName{"AMisspeltCaption",
                    "<table><caption>prices</caption><tr><td>P</table><table><caption>people"
                    "</caption><tr><td>N</table>",
                    "peeple", "Could not find the table 'peeple' in the page 'two.html'."},
        UnknownName{"APositionPastTheLast", "<table><tr><td>one</table><table><tr><td>two</table>",
                    "Table3", "Could not find the table 'Table3' in the page 'two.html'."},
        UnknownName{"APageWithoutTables", "<p>nothing here</p>", "people",
                    "The page 'two.html' holds no table."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HtmlCharset, EveryLabelReachesADecoder) {
    for (const auto& [label, decoder] : drivers::detail::kCharsetLabels) {
        // Shifted back by the reader itself.
        if (decoder == "hz-gb-2312" || decoder.starts_with("iso-2022-")) continue;
        EXPECT_TRUE(drivers::decodesEncoding(decoder)) << label;
    }
    EXPECT_EQ(drivers::encodingOfLabel(" \tWindows-1251\n"), "windows-1251");
    EXPECT_EQ(drivers::encodingOfLabel("windows-1251x"), std::nullopt);
}

// Sound pages larger than any bound against hostile ones.
struct LargePage {
    const char* label;
    std::string page;
    std::size_t rows; // below the header
    std::vector<std::string> last;
};

class HtmlLargePageTest : public ::testing::TestWithParam<LargePage> {};

TEST_P(HtmlLargePageTest, IsReadWhole) {
    Table t;
    const auto& page = GetParam().page;
    drivers::readHtmlImage({reinterpret_cast<const std::uint8_t*>(page.data()), page.size()},
                           "large.html", "", t);
    ASSERT_EQ(t.rows.size(), GetParam().rows);
    std::vector<std::string> last;
    for (const auto& v : t.rows.back())
        last.push_back(textOrBlank(v));
    EXPECT_EQ(last, GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    Sound, HtmlLargePageTest,
    ::testing::Values(
        LargePage{"AHundredThousandRowsEachWithAWideCell",
                  "<table><tr><th>A<th>B<th>C" +
                      repeated("<tr><td colspan=2>wide</td><td>c</td></tr>", 100'500) + "</table>",
                  100'500,
                  {"wide", "", "c"}},
        LargePage{"AHundredThousandRowSpans",
                  "<table><tr><th>A<th>B" + repeated("<tr><td rowspan=2>r<td>1<tr><td>2", 50'250) +
                      "</table>",
                  100'500,
                  {"", "2"}}),
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
                    "a cell in row 2 is longer than 65535 characters"},
        HostilePage{"ASpanDownOverEveryRow",
                    "<table><tr><td rowspan=65534 colspan=1000>x" + repeated("<tr>", 200'000),
                    "the spans of its cells add more than 1000000 blank cells"},
        HostilePage{"ARowspanZeroOverEveryRow",
                    "<table><tbody><tr><td rowspan=0 colspan=1000>x" + repeated("<tr>", 200'000),
                    "the spans of its cells add more than 1000000 blank cells"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
