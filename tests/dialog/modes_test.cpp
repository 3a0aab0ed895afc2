// The dialog's load, its two modes and the texts of its choice boxes.
#include "dialog_fixture.h"

namespace varnoke::test {
namespace {

struct ChoiceList {
    const char* name;
    bool twoDatabases;
    ComboControl Form4Controls::*combo;
    std::vector<std::string> items;
    std::string text;
};

void PrintTo(const ChoiceList& list, std::ostream* os) {
    *os << list.name;
}

class ChoiceListTest : public DialogTest, public ::testing::WithParamInterface<ChoiceList> {};

TEST_P(ChoiceListTest, HoldsExactlyTheseTextsInOrder) {
    const auto& p = GetParam();
    if (p.twoDatabases) model->option2Click();
    const auto& combo = c().*p.combo;
    EXPECT_EQ(combo.items, p.items);
    EXPECT_EQ(combo.text, p.text);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ChoiceListTest,
    ::testing::Values(
        ChoiceList{"Conditions",
                   false,
                   &Form4Controls::combo2,
                   {"is equal to", "is not equal to", "is greater than", "is less than",
                    "is before", "is after"},
                   "is equal to"},
        ChoiceList{
            "ActionsOneDatabase", false, &Form4Controls::combo3, {"replace", "export"}, "replace"},
        ChoiceList{"ActionsTwoDatabases",
                   true,
                   &Form4Controls::combo3,
                   {"delete", "replace", "export"},
                   "delete"},
        ChoiceList{"TargetsTwoDatabases",
                   true,
                   &Form4Controls::combo4,
                   {"entire record from File A", "entire record from File B"},
                   ""},
        ChoiceList{"Methods",
                   false,
                   &Form4Controls::combo7,
                   {"parallel records; one record only",
                    "non-parallel records; one record: first occurrence only",
                    "non-parallel records; all records"},
                   "parallel records; one record only"},
        ChoiceList{"Adding",
                   false,
                   &Form4Controls::combo8,
                   {"add new records to File A/B/Export file", "do not add records"},
                   "no records can be added"},
        ChoiceList{"ExportChoices",
                   false,
                   &Form4Controls::combo9,
                   {"entire record from File A", "entire record from File B", "select fields..."},
                   "entire record from File A"},
        ChoiceList{
            "DataTypes",
            false,
            &Form4Controls::combo6,
            {"dBase IV", "dBase V", "Foxpro 2.5", "Foxpro 2.6", "Paradox 4.X", "Paradox 5.X"},
            "dBase IV"}),
    [](const auto& info) { return std::string(info.param.name); });

class ModesTest : public DialogTest {};

TEST_F(ModesTest, LoadStartsInTheOneDatabaseModeWithItsOptionShown) {
    EXPECT_TRUE(c().option1.value);
    EXPECT_FALSE(c().option2.value);
    EXPECT_TRUE(c().option3.value);
    EXPECT_FALSE(c().option4.value);
    EXPECT_EQ(shared.runMode, "1");
    EXPECT_EQ(c().command1.caption, "&Open File");
    EXPECT_TRUE(c().command1.enabled);
    for (const auto* button :
         {&c().command2, &c().command3, &c().command4, &c().command5, &c().command6, &c().command7,
          &c().command8, &c().command9, &c().command10})
        EXPECT_FALSE(button->enabled) << button->caption;
    EXPECT_EQ(c().command1.toolTip,
              "The file name must be in the 8 dot 3 format, i.e. max. 8 characters for the name "
              "and 3 chars for the extension.");
    EXPECT_FALSE(c().combo9.visible);
    EXPECT_FALSE(c().list3.visible);
    EXPECT_FALSE(c().combo8.enabled);
    EXPECT_EQ(c().gridColumn0Caption, "If File A.");
}

TEST_F(ModesTest, SwitchingModesResetsChoicesAndShowsTheModesBoxes) {
    model->option2Click();
    EXPECT_EQ(shared.runMode, "2");
    EXPECT_EQ(c().command1.caption, "&Open File A");
    EXPECT_TRUE(c().command4.enabled);
    EXPECT_FALSE(c().label8.visible);
    EXPECT_FALSE(c().combo5.visible);
    EXPECT_EQ(c().combo8.text, "no records can be added");
    EXPECT_FALSE(c().combo8.enabled);
    for (auto item : {"menuViewFileA", "menuViewFileB", "menuViewExportedData"}) {
        ASSERT_TRUE(mainWindow.menus.count(item)) << item;
        EXPECT_FALSE(mainWindow.menus[item]) << item;
    }
    EXPECT_EQ(viewers.closed,
              (std::vector<Viewer>{Viewer::FileA, Viewer::FileB, Viewer::ExportFile}));

    // "replace" after "delete" frees the adding box; "delete" fixes it again.
    c().combo3.text = "replace";
    model->combo3Click();
    EXPECT_TRUE(c().combo8.enabled);
    EXPECT_EQ(c().combo8.text, "");
    EXPECT_TRUE(c().combo5.visible);
    c().combo8.text = "do not add records";
    c().combo3.text = "delete";
    model->combo3Click();
    EXPECT_FALSE(c().combo8.enabled);
    EXPECT_EQ(c().combo8.text, "no records can be added");
    EXPECT_FALSE(c().combo5.visible);

    model->option1Click();
    EXPECT_EQ(c().combo3.items, (Items{"replace", "export"}));
    EXPECT_EQ(c().combo3.text, "replace");
    EXPECT_FALSE(c().command4.enabled);
    EXPECT_TRUE(c().label8.visible);
    EXPECT_TRUE(c().combo5.visible);
    EXPECT_TRUE(c().combo4.items.empty());
}

TEST_F(ModesTest, PairingMethodPickShowsItsNote) {
    model->combo7Click();
    ASSERT_EQ(mainWindow.notes.size(), 1u);
    EXPECT_EQ(mainWindow.notes[0].first, InfoNote::Pairing);
    EXPECT_EQ(
        mainWindow.notes[0].second,
        "EXPLANATION:\r\n"
        "- Parallel records; one record only: Record X/Field X in File A is only compared with "
        "Record X/Field X in File B. i.e. Record 1 is compared with rec. 1, rec. 2 is compared "
        "with rec. 2, and so on....  Depending on the specified criteria, only the parallel "
        "record is deleted/replaced/exported.\r\n\r\n"
        "- Non-parallel records; one record: first occurance only: Record X/Field X in File A "
        "is compared to sequential records (rec. 1, 2, 3...) in File B, until a record in File "
        "B meets the specified criteria.  That record is then deleted/replaced/exported."
        "\r\n\r\n"
        "- Non-parallel records; all records: Record X/Field X in File A is compared to ALL "
        "records in File B.  i.e. Record 1 in File A is compared to all records in File B, then "
        "record 2 in File A is compared to all records in File B, and so on....  All records "
        "that meet the specified criteria are deleted/replaced/exported.  With the criteria set "
        "as: If data in File A/Field X 'is equal to' data in File B/Field X, THIS IS THE CHOICE "
        "TO USE TO DELETE DUPLICATE RECORDS IN TWO DATABASES.");
}

TEST_F(ModesTest, StopSetsTheStopFlag) {
    model->command5Click();
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(ModesTest, TakeChoicesCopiesTheControls) {
    c().combo3.text = "export";
    c().combo7.text = "non-parallel records; all records";
    c().list3.addItem("File A.NAME");
    c().list3.addItem("File A.CITY");
    c().list3.selected[1] = true;
    model->option4Click();
    model->takeChoices();
    const auto& choices = model->state().controls;
    EXPECT_EQ(choices.combo3, "export");
    EXPECT_EQ(choices.combo7, "non-parallel records; all records");
    EXPECT_EQ(choices.conjunction(), "and");
    EXPECT_EQ(choices.selectedExportFields(), (Items{"File A.CITY"}));
    EXPECT_FALSE(choices.addingAllowed());
}

} // namespace
} // namespace varnoke::test
