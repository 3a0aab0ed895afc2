// The data-type table: every row as users and saved settings know it, and the lookup
// rules the file openers rely on.
#include "drivers/data_types.h"

#include "drivers/foreign_reader.h"

#include <gtest/gtest.h>

namespace varnoke {
namespace {

struct RowCase {
    const char* label;
    const char* name;
    const char* key;
    const char* prefix;
    DatabasePart part;
};

class DataTypeRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(DataTypeRowTest, RowHasKeyPrefixAndPartAndAReader) {
    const auto& c = GetParam();
    const auto row = tableType(c.name);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->keyName, c.key);
    EXPECT_EQ(row->connectPrefix, c.prefix);
    EXPECT_EQ(row->part, c.part);
    EXPECT_EQ(row->settingsPath(),
              std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\3.5\\ISAM Formats\\") +
                  c.key);
    // Every row must reach a reader, or linking it would fail with 3170.
    EXPECT_NE(findReader(row->connectFor("/data", "file.x")), nullptr) << c.prefix;
}

constexpr auto Folder = DatabasePart::Folder;
constexpr auto File = DatabasePart::File;

INSTANTIATE_TEST_SUITE_P(
    AllRows, DataTypeRowTest,
    ::testing::Values(
        RowCase{"Jet", "Jet table", "Jet 2.x", "JetTable;DATABASE=", File},
        RowCase{"dBase4", "dBase IV", "dBASE IV", "dBase IV;DATABASE=", Folder},
        RowCase{"dBase5", "dBase V", "dBASE V", "dBase V;DATABASE=", Folder},
        RowCase{"Fox25", "Foxpro 2.5", "FoxPro 2.5", "FoxPro 2.5;DATABASE=", Folder},
        RowCase{"Fox26", "Foxpro 2.6", "FoxPro 2.6", "FoxPro 2.6;DATABASE=", Folder},
        RowCase{"Fox30", "Foxpro 3.0", "FoxPro 3.0", "FoxPro 3.0;DATABASE=", Folder},
        RowCase{"FoxDbc", "Foxpro DBC", "FoxPro DBC", "FoxPro DBC;DATABASE=", Folder},
        RowCase{"Paradox4", "Paradox 4.X", "Paradox 4.X", "Paradox 4.X;DATABASE=", Folder},
        RowCase{"Paradox5", "Paradox 5.X", "Paradox 5.X", "Paradox 5.X;DATABASE=", Folder},
        RowCase{"Lotus", "Lotus WK4", "Lotus WK4", "Lotus WK4;DATABASE=", File},
        RowCase{"Excel5", "Excel 5.0", "Excel 5.0", "Excel 5.0;DATABASE=", File},
        RowCase{"Excel8", "Excel 8.0", "Excel 8.0", "Excel 8.0;DATABASE=", File},
        RowCase{"Csv", "Comma-delimited text (CSV)", "Text", "Text;DATABASE=", Folder},
        RowCase{"HtmlImport", "HTML Import", "HTML Import", "HTML Import;DATABASE=", Folder},
        // The export type reads back through the import driver under its own key.
        RowCase{"HtmlExport", "HTML Export", "HTML Export", "HTML Import;DATABASE=", Folder}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DataTypeTable, HoldsExactlyTheListedRows) {
    EXPECT_EQ(dataTypeTable().size(), 15u);
}

TEST(DataTypeTable, NamesMatchExactlyOrNotAtAll) {
    for (const char* name :
         {"dbase IV", "DBASE IV", " dBase IV", "dBase IV ", "Foxpro 2.0", "Excel 97", "", "Text"})
        EXPECT_FALSE(tableType(name)) << '"' << name << '"';
}

TEST(DataTypeTable, FolderRowsConnectToTheFolderAndFileRowsToTheFile) {
    EXPECT_EQ(tableType("Excel 8.0")->connectFor("/data", "BOOK1.XLS"),
              "Excel 8.0;DATABASE=/data/BOOK1.XLS");
    EXPECT_EQ(tableType("Comma-delimited text (CSV)")->connectFor("/data", "LIST.CSV"),
              "Text;DATABASE=/data");
    EXPECT_EQ(tableType("dBase IV")->connectFor("/data", "SALES.DBF"), "dBase IV;DATABASE=/data");
    EXPECT_EQ(tableType("HTML Export")->connectFor("/out", "page.html"),
              "HTML Import;DATABASE=/out");
}

TEST(DataTypeTable, TheBoxListsItsSixNamesAndStartsOnDBaseIV) {
    EXPECT_EQ(kDefaultDataType, "dBase IV");
    for (auto name : kDataTypeList) {
        ASSERT_TRUE(tableType(name)) << name;
        EXPECT_TRUE(tableType(name)->inList) << name;
    }
}

TEST(DataTypeTable, RefusalMessageHasTwoBlanksAfterTheFirstSentence) {
    EXPECT_EQ(kUnrecognizedTypeMessage,
              "The file you selected is not of a type that Varnoke recognizes.  Please select a "
              "file that is of a type in the Data Type List.");
}

struct FilterCase {
    const char* label;
    const char* name;
    const char* filter;
};

class FileDialogFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileDialogFilterTest, NameGivesItsFilter) {
    EXPECT_EQ(fileDialogFilter(GetParam().name), GetParam().filter);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileDialogFilterTest,
    ::testing::Values(
        FilterCase{"dBase4", "dBase IV", "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
        FilterCase{"dBase5", "dBase V", "dBASE V Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
        FilterCase{"Fox25", "Foxpro 2.5", "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
        FilterCase{"Fox26", "Foxpro 2.6", "dBASE V Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
        FilterCase{"Paradox4", "Paradox 4.X", "Paradox 4.X Files(*.DB)|*.db|All Files (*.*)|*.*"},
        FilterCase{"Paradox5", "Paradox 5.X", "Paradox 5.X Files(*.DB)|*.db|All Files (*.*)|*.*"},
        FilterCase{"Excel", "Excel 8.0", "Excel Files (*.XLS)|*.xls|All Files (*.*)|*.*"},
        FilterCase{"Fox30", "Foxpro 3.0", "FoxPro 3.0 Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
        FilterCase{"Csv", "Comma-delimited text (CSV)",
                   "Text Files (*.CSV;*.TXT)|*.csv;*.txt|All Files (*.*)|*.*"},
        FilterCase{"Lotus", "Lotus WK4",
                   "Lotus Worksheets (*.WKS;*.WK1;*.WK3;*.WK4;*.123)|*.wks;*.wk1;*.wk3;*.wk4;*.123|"
                   "All Files (*.*)|*.*"},
        FilterCase{"Jet", "Jet table",
                   "Jet Databases (*.MDB;*.ACCDB)|*.mdb;*.accdb|All Files (*.*)|*.*"},
        FilterCase{"Html", "HTML Import",
                   "HTML Files (*.HTM;*.HTML)|*.htm;*.html|All Files (*.*)|*.*"},
        FilterCase{"LowerCase", "dbase iv", "All Files (*.*)|*.*"}),
    [](const auto& info) { return std::string(info.param.label); });

// The picker shows the chosen type's files first, and every other file as its second
// choice, for every name a user may type.
TEST(FileDialogFilterTable, EveryTypeListsItsOwnPatternsBeforeAllFiles) {
    for (const DataTypeRow& row : dataTypeTable()) {
        const std::string_view filter = fileDialogFilter(row.name);
        const auto first = filter.find('|');
        ASSERT_NE(first, std::string_view::npos) << row.name;
        const auto second = filter.find('|', first + 1);
        const std::string_view patterns = filter.substr(
            first + 1, second == std::string_view::npos ? second : second - first - 1);
        EXPECT_FALSE(patterns.empty()) << row.name;
        EXPECT_NE(patterns, "*.*") << row.name;
        EXPECT_TRUE(filter.ends_with("|All Files (*.*)|*.*")) << row.name;
    }
}

TEST(FindReader, MatchesThePrefixBeforeTheFirstSemicolonWithoutRegardToCase) {
    EXPECT_EQ(findReader("dBase IV;DATABASE=/x"), findReader("DBASE iv;DATABASE=/y"));
    EXPECT_NE(findReader("text;DATABASE=/x"), nullptr);
    EXPECT_EQ(findReader("dBase IV"), findReader("dBase IV;"));
    EXPECT_EQ(findReader("ODBC;DSN=x"), nullptr);
    EXPECT_EQ(findReader("dBase IVX;DATABASE=/x"), nullptr);
    EXPECT_EQ(findReader(""), nullptr);
}

} // namespace
} // namespace varnoke
