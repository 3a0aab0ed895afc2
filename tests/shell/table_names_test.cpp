// Which tables the lists offer and which ones the exit empties: exact, case-sensitive
// names, as the program compares them.
#include "shell/table_names.h"

#include <gtest/gtest.h>

using namespace varnoke;

struct NameCase {
    const char* name;
    bool userTable;
    bool emptiedAtExit;
};

class TableName : public ::testing::TestWithParam<NameCase> {};

TEST_P(TableName, ListAndExitTreatItAsExpected) {
    EXPECT_EQ(isUserTable(GetParam().name), GetParam().userTable);
    EXPECT_EQ(emptiedAtExit(GetParam().name), GetParam().emptiedAtExit);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TableName,
    ::testing::Values(NameCase{"Table1", false, true}, NameCase{"Table2", false, true},
                      NameCase{"Exported Data", false, true},
                      NameCase{"Varnoke's Export TABLE", false, true},
                      NameCase{"SSysCriteria", false, true}, NameCase{"ConnectStr", false, true},
                      NameCase{"Temp", false, true}, NameCase{"AddedOr", true, true},
                      NameCase{"1A", false, true}, NameCase{"2A", false, true},
                      NameCase{"3A", false, true}, NameCase{"1a", true, false},
                      NameCase{"Settings", false, false}, NameCase{"SampleConnStr", false, false},
                      NameCase{"Varnoker", false, false}, NameCase{"MSysQueryDefs", false, false},
                      NameCase{"SSysAnything", false, false}, NameCase{"temp", true, false},
                      NameCase{"settings", true, false}, NameCase{"msysLookAlike", true, false},
                      NameCase{"My Customers", true, false}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.name))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(TableNameFromCaption, ReadsAfterTheFirstDash) {
    EXPECT_EQ(tableNameFromCaption("Table - Customers"), "Customers");
    EXPECT_EQ(tableNameFromCaption("Table - Sales-2024"), "Sales-2024");
    EXPECT_EQ(tableNameFromCaption("Remote Query"), "");
    EXPECT_EQ(tableNameFromCaption("Table -"), "");
}

TEST(TableNameProblem, RefusesNamesTheEngineCannotHold) {
    EXPECT_EQ(tableNameProblem("Customers 2"), "");
    EXPECT_EQ(tableNameProblem("O'Brien's list"), "");
    EXPECT_EQ(tableNameProblem("   "), "A table name cannot be blank.");
    EXPECT_EQ(tableNameProblem(" leading"), "A table name cannot begin with a blank.");
    EXPECT_EQ(tableNameProblem("a.b"),
              "A table name cannot hold the characters . ! ` [ ] or control characters.");
    EXPECT_EQ(tableNameProblem("x]y"),
              "A table name cannot hold the characters . ! ` [ ] or control characters.");
}
