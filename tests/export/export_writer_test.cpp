// The export record writer on its own: one call for the pair the files stand on.
#include "export/export_fixture.h"

#include "export/export_writer.h"

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

class ExportWriter : public ExportFixture {
protected:
    // One pair: File A (k1, a1), File B (k1, b1); the export file attached and open.
    void onePair(std::string_view exportColumns = "code TEXT(20), name TEXT(40)") {
        makeFiles({{"k1", "a1"}}, {{"k1", "b1"}});
        makeExportFile(exportColumns);
        openFiles();
        openExportFile();
    }
};

TEST_F(ExportWriter, EntireRecordFromFileAWritesTheFieldsOfExactlyTheSameName) {
    onePair("NAME TEXT(40), code TEXT(20), extra TEXT(5)");
    form.controls.combo9 = choice::EntireRecordFromFileA;

    exportIt(ctx);

    // NAME differs from File A's name in case only, so it stays empty.
    EXPECT_EQ(rows("Exported Data"), Texts({"<Null>|k1|<Null>"}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ExportWriter, EntireRecordFromFileBSharingNoNameAddsNoRecord) {
    onePair("other TEXT(20)");
    form.controls.combo9 = choice::EntireRecordFromFileB;

    exportIt(ctx);

    EXPECT_TRUE(rows("Exported Data").empty());
    EXPECT_TRUE(shared.stopFlag.empty());
}

TEST_F(ExportWriter, SelectFieldsWritesOnlyTheChosenFields) {
    onePair();
    form.controls.combo9 = choice::SelectFields;
    select({"File A.name", "File B.code"});

    exportIt(ctx);

    EXPECT_EQ(rows("Exported Data"), Texts({"k1|a1"}));
}

TEST_F(ExportWriter, SelectFieldsWithNothingChosenAddsNoRecord) {
    onePair();
    form.controls.combo9 = choice::SelectFields;

    exportIt(ctx);

    EXPECT_TRUE(rows("Exported Data").empty());
}

TEST_F(ExportWriter, WhileFileAStandsAtItsEndOnlyFileBEntriesAreWritten) {
    onePair();
    form.controls.combo9 = choice::SelectFields;
    select({"File A.code", "File B.name"});
    shared.rsFileA.moveNext();

    exportIt(ctx);

    EXPECT_EQ(rows("Exported Data"), Texts({"<Null>|b1"}));
}

struct DuplicateCase {
    std::string label;
    int dupFieldChoice;
    std::string target;
    Texts written;
};

void PrintTo(const DuplicateCase& c, std::ostream* os) {
    *os << c.label;
}

class ExportWriterDuplicateName : public ExportWriter,
                                  public ::testing::WithParamInterface<DuplicateCase> {};

// File A.name, File B.name and then File B.code are selected, in list order.
TEST_P(ExportWriterDuplicateName, SendsFileBsValueWhereTheAnswerSays) {
    const DuplicateCase& c = GetParam();
    onePair();
    exec("DROP TABLE [Varnoke's Export TABLE];");
    exec("CREATE TABLE [Varnoke's Export TABLE] (name TEXT(40), B_name TEXT(40), code "
         "TEXT(20));");
    shared.rsExportTable =
        shared.workDb.openRecordset("Varnoke's Export TABLE", RecordsetType::Dynaset);
    form.controls.combo9 = choice::SelectFields;
    form.controls.list3 = {"File A.name", "File B.name", "File B.code"};
    form.controls.list3Selected = {true, true, true};
    shared.dupFieldChoice = c.dupFieldChoice;

    exportIt(ctx);

    EXPECT_EQ(rows(c.target), c.written);
    EXPECT_TRUE(messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExportWriterDuplicateName,
    ::testing::Values(DuplicateCase{"ExportTable", 6, "Varnoke's Export TABLE", {"a1|b1|k1"}},
                      DuplicateCase{
                          "NewRecordPerDuplicate", 7, "Exported Data", {"<Null>|a1", "k1|b1"}},
                      DuplicateCase{"Overwrite", 2, "Exported Data", {"k1|b1"}},
                      DuplicateCase{"NoQuestionAsked", 0, "Exported Data", {"k1|b1"}}),
    [](const auto& info) { return info.param.label; });

TEST_F(ExportWriter, ARecordTheExportFileRefusesIsReportedAndStopsTheRun) {
    onePair("code TEXT(20), name TEXT(1)");
    form.controls.combo9 = choice::EntireRecordFromFileA;

    sp.prompter.answer(answer::Ok);
    exportIt(ctx);

    EXPECT_TRUE(rows("Exported Data").empty()); // no half record either
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0],
              recordNotExportedMessage(RuntimeError(3163, "The field is too small.")));
    EXPECT_TRUE(messages()[0].starts_with("This record could not be exported:\r\n\r\n"));
    EXPECT_TRUE(messages()[0].ends_with(
        "\r\n\r\nThe run has stopped; the records exported before it are kept."));
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(controls.state("Command5"), "off");
    EXPECT_EQ(controls.state("Command2"), "on");
}

TEST_F(ExportWriter, AClosedExportFileIsReportedNotPassedOver) {
    onePair();
    shared.rsExportFile.close();
    form.controls.combo9 = choice::EntireRecordFromFileA;

    sp.prompter.answer(answer::Ok);
    exportIt(ctx);

    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].starts_with(exporttext::RecordNotExported));
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(ExportWriter, AnUnknownExportTypeStopsTheRunAndWritesNothing) {
    onePair();
    form.controls.combo9 = "entire record from File C";

    sp.prompter.answer(answer::Ok);
    exportIt(ctx);

    EXPECT_EQ(messages(), Texts({"Please select the export type from the choices given."}));
    EXPECT_TRUE(rows("Exported Data").empty());
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(controls.state("Combo9"), "on");
    EXPECT_EQ(controls.focused, Texts({"Combo9"}));
}

} // namespace
} // namespace varnoke::test
