// The duplicate-name question and the program's export table.
#include "export/export_fixture.h"

#include "export/export_table.h"

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

class ExportTable : public ExportFixture {
protected:
    ExportTable() {
        exec("CREATE TABLE Table1 (code TEXT(20), name TEXT(40), born DATETIME);");
        exec("CREATE TABLE Table2 (code TEXT(20), name TEXT(10), paid DOUBLE);");
        makeExportFile("code TEXT(20), name TEXT(40), paid DOUBLE");
        openFiles();
        openExportFile();
        form.controls.combo9 = choice::SelectFields;
        form.controls.list3 = {"File A.code", "File A.name", "File A.born",
                               "File B.code", "File B.name", "File B.paid"};
        form.controls.list3Selected.assign(6, false);
    }
    void addExportRecord(std::string code, std::string name, double paid) {
        shared.rsExportFile.addNew();
        shared.rsExportFile.setValue("code", Value::text(std::move(code)));
        shared.rsExportFile.setValue("name", Value::text(std::move(name)));
        shared.rsExportFile.setValue("paid", Value::number(paid));
        shared.rsExportFile.update();
    }
};

TEST_F(ExportTable, YesRebuildsTheTableWithABFieldForTheNameChosenTwice) {
    exec("INSERT INTO [Varnoke's Export TABLE] (Field1) VALUES ('old');");
    select({"File A.name", "File A.born", "File B.name", "File B.paid"});
    sp.prompter.answer(answer::Yes);

    checkForDupes(ctx);

    EXPECT_EQ(messages(), Texts({std::string(exporttext::DupQuestion)}));
    EXPECT_EQ(shared.dupFieldChoice, 6);
    EXPECT_EQ(columns("Varnoke's Export TABLE"),
              Texts({"name:10:40", "born:8:8", "B_name:10:10", "paid:7:8"}));
    EXPECT_TRUE(rows("Varnoke's Export TABLE").empty());
    EXPECT_TRUE(shared.rsExportTable.isOpen());
    EXPECT_EQ(shared.exportTableOpen, "y");
    EXPECT_TRUE(mainWindow.menuEnabled(menu::ViewVarnokeExportTable));
    // The run's recordsets stay open on the same database.
    EXPECT_TRUE(shared.rsFileA.isOpen());
    EXPECT_TRUE(criteria.isOpen());
}

TEST_F(ExportTable, TheQuestionTextIsFiveParagraphs) {
    const std::string text(exporttext::DupQuestion);
    EXPECT_TRUE(text.starts_with("The two files you have choosen to export from have field "
                                 "names in common, and the name is selected from both files.  "
                                 "You have three (3) options: \r\n\r\n1. Varnoke can re-create"));
    EXPECT_TRUE(text.ends_with("\r\n\r\nClick 'Yes' for the first option, 'No' for the second.  "
                               "Click 'Cancel' and you can then decide about the third choice."));
}

TEST_F(ExportTable, YesWithRecordsOnFileOffersToTransferMatchingFields) {
    addExportRecord("k1", "Ann", 2.5);
    addExportRecord("k2", "Bo", 3);
    select({"File A.code", "File B.code", "File B.paid"});
    sp.prompter.answer(answer::Yes).answer(answer::Yes);

    checkForDupes(ctx);

    EXPECT_EQ(messages(), Texts({std::string(exporttext::DupQuestion),
                                 std::string(exporttext::TransferQuestion)}));
    EXPECT_EQ(columns("Varnoke's Export TABLE"), Texts({"code:10:20", "B_code:10:20", "paid:7:8"}));
    // B_code receives nothing: no export-file field has that name.
    EXPECT_EQ(rows("Varnoke's Export TABLE"), Texts({"k1|<Null>|2.5", "k2|<Null>|3"}));
    EXPECT_EQ(shared.rsExportFile.absolutePosition(), 0);
}

TEST_F(ExportTable, NoLeavesTheExportTableAlone) {
    select({"File A.code", "File B.code"});
    const Texts before = columns("Varnoke's Export TABLE");
    sp.prompter.answer(answer::No);

    checkForDupes(ctx);

    EXPECT_EQ(shared.dupFieldChoice, 7);
    EXPECT_EQ(columns("Varnoke's Export TABLE"), before);
    EXPECT_TRUE(shared.stopFlag.empty());
}

TEST_F(ExportTable, CancelThenYesOverwrites) {
    select({"File A.code", "File B.code"});
    sp.prompter.answer(answer::Cancel).answer(answer::Yes);

    checkForDupes(ctx);

    EXPECT_EQ(messages(), Texts({std::string(exporttext::DupQuestion),
                                 "Choices, choices: In the export file, data exported from File "
                                 "B will overwrite data from File A.  Cool?"}));
    EXPECT_EQ(shared.dupFieldChoice, 2);
    EXPECT_TRUE(shared.stopFlag.empty());
}

TEST_F(ExportTable, CancelThenNoStopsTheRun) {
    select({"File A.code", "File B.code"});
    sp.prompter.answer(answer::Cancel).answer(answer::No);

    checkForDupes(ctx);

    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(ExportTable, NoQuestionWithoutANameChosenTwiceOrInOneDatabase) {
    select({"File A.code", "File B.name"});
    shared.dupFieldChoice = 7;
    checkForDupes(ctx);
    EXPECT_EQ(shared.dupFieldChoice, 0);

    select({"File A.code", "File B.code"});
    form.controls.option1 = true;
    form.controls.option2 = false;
    checkForDupes(ctx);

    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(shared.dupFieldChoice, 0);
}

} // namespace
} // namespace varnoke::test
