// Export runs end to end: Process pressed on two small files with an export file
// attached, the step loop calling the export steps, the File A evaluators testing each
// pair and the writer adding the records to "Exported Data" or the export table.
#include "export/export_fixture.h"

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

const StepsFixture::Rows kFileA = {{"k1", "a1"}, {"k2", "a2"}, {"k3", "a3"}, {"k4", "a4"}};
const StepsFixture::Rows kFileB = {{"k1", "b1"}, {"k9", "b9"}, {"k3", "b3"}, {"k5", "b5"}};

const Criterion kCodeEqual{"code", std::string(choice::IsEqualTo), "File B.code", ""};
const Criterion kCodeNotEqual{"code", std::string(choice::IsNotEqualTo), "File B.code", ""};

class ExportRun : public ExportFixture {};

struct ExportCase {
    std::string label;
    Criterion row;
    std::string_view combo9;
    Texts chosen; // List3 entries for "select fields..."
    Texts exported;
};

void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.label;
}

class ExportRunByChoice : public ExportRun, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportRunByChoice, ExportsThePairsThatMeetTheRow) {
    const ExportCase& c = GetParam();
    makeFiles(kFileA, kFileB);
    makeExportFile();
    setCriteria({c.row});
    form.controls.combo9 = c.combo9;
    select(c.chosen);

    run();

    EXPECT_EQ(rows("Exported Data"), c.exported);
    EXPECT_EQ(messages(), kComplete);
    EXPECT_EQ(progress.value(), 4);
    EXPECT_EQ(names("Table1"), Texts({"a1", "a2", "a3", "a4"}));
}

INSTANTIATE_TEST_SUITE_P(Choices, ExportRunByChoice,
                         ::testing::Values(ExportCase{"EntireRecordFromFileA",
                                                      kCodeEqual,
                                                      choice::EntireRecordFromFileA,
                                                      {},
                                                      {"k1|a1", "k3|a3"}},
                                           ExportCase{"NotEqualEntireRecordFromFileA",
                                                      kCodeNotEqual,
                                                      choice::EntireRecordFromFileA,
                                                      {},
                                                      {"k2|a2", "k4|a4"}},
                                           ExportCase{"SelectedFields",
                                                      kCodeEqual,
                                                      choice::SelectFields,
                                                      {"File A.name", "File B.code"},
                                                      {"k1|a1", "k3|a3"}}),
                         [](const auto& info) { return info.param.label; });

TEST_F(ExportRun, ANameChosenFromBothFilesGoesToTheExportTableAsBName) {
    makeFiles(kFileA, kFileB);
    makeExportFile();
    setCriteria({kCodeEqual});
    form.controls.combo9 = choice::SelectFields;
    select({"File A.code", "File A.name", "File B.name"});
    sp.prompter.answer(answer::Yes); // the duplicate-name question: the export table

    run();

    EXPECT_EQ(messages(), Texts({std::string(exporttext::DupQuestion),
                                 std::string(runtext::ProcessingComplete)}));
    EXPECT_EQ(columns("Varnoke's Export TABLE"),
              Texts({"code:10:20", "name:10:40", "B_name:10:40"}));
    EXPECT_EQ(rows("Varnoke's Export TABLE"), Texts({"k1|a1|b1", "k3|a3|b3"}));
    EXPECT_TRUE(rows("Exported Data").empty());
}

TEST_F(ExportRun, ARecordThatCannotBeWrittenStopsTheRunWithoutClaimingCompletion) {
    // b9 and b3 fit the export field; "bbb5" does not.
    makeFiles(kFileA, {{"k1", "b1"}, {"k9", "b9"}, {"k3", "b3"}, {"k5", "bbb5"}});
    makeExportFile("name TEXT(2)");
    setCriteria({kCodeNotEqual});
    form.controls.combo9 = choice::SelectFields;
    select({"File B.name"});

    run();

    EXPECT_EQ(rows("Exported Data"), Texts({"b9"}));
    const Texts shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].starts_with(exporttext::RecordNotExported));
    EXPECT_EQ(std::count(shown.begin(), shown.end(), runtext::ProcessingComplete), 0);
    EXPECT_TRUE(form.run.runFinished.empty());
}

TEST_F(ExportRun, TheRestOfALongerFileAIsExportedWhenAddingIsAllowed) {
    makeFiles(kFileA, {{"k1", "b1"}, {"k2", "b2"}});
    makeExportFile();
    setCriteria({kCodeEqual});
    form.controls.combo9 = choice::EntireRecordFromFileA;
    form.controls.combo8 = choice::AddNewRecords;

    run();

    EXPECT_EQ(rows("Exported Data"), Texts({"k1|a1", "k2|a2", "k3|a3", "k4|a4"}));
    EXPECT_EQ(messages(), kComplete);
    EXPECT_EQ(shared.addNewMode, "n");
}

TEST_F(ExportRun, TheRestOfALongerFileBIsNeverExported) {
    makeFiles({{"k1", "a1"}}, kFileB);
    makeExportFile();
    setCriteria({kCodeEqual});
    form.controls.combo9 = choice::EntireRecordFromFileB;
    form.controls.combo8 = choice::AddNewRecords;

    run();

    EXPECT_EQ(rows("Exported Data"), Texts({"k1|b1"}));
}

TEST_F(ExportRun, AnEmptyFileAWithAddingExportsEveryFileBRecord) {
    makeFiles({}, kFileB);
    makeExportFile();
    setCriteria({kCodeEqual});
    form.controls.combo9 = choice::SelectFields;
    form.controls.combo8 = choice::AddNewRecords;
    select({"File A.name", "File B.code"});

    run();

    EXPECT_EQ(rows("Exported Data"), Texts({"k1|<Null>", "k9|<Null>", "k3|<Null>", "k5|<Null>"}));
    EXPECT_EQ(progress.max(), 4);
    EXPECT_EQ(messages(), kComplete);
}

struct AddToCase {
    std::string label;
    int answer;
    Texts exported;
    Texts messages;
};

void PrintTo(const AddToCase& c, std::ostream* os) {
    *os << c.label;
}

class ExportRunAddTo : public ExportRun, public ::testing::WithParamInterface<AddToCase> {};

TEST_P(ExportRunAddTo, AnExportFileWithRecordsIsAskedAboutOnce) {
    const AddToCase& c = GetParam();
    makeFiles(kFileA, kFileB);
    makeExportFile();
    exec("INSERT INTO [Exported Data] (code, name) VALUES ('old', 'o1');");
    setCriteria({kCodeEqual});
    form.controls.combo9 = choice::EntireRecordFromFileA;
    sp.prompter.answer(c.answer);

    run(c.messages.size() - 1);

    EXPECT_EQ(rows("Exported Data"), c.exported);
    EXPECT_EQ(messages(), c.messages);
}

const std::string kAddTo(exporttext::AddToQuestion);
const std::string kDone(runtext::ProcessingComplete);

INSTANTIATE_TEST_SUITE_P(
    Answers, ExportRunAddTo,
    ::testing::Values(
        AddToCase{"YesAdds", answer::Yes, {"old|o1", "k1|a1", "k3|a3"}, {kAddTo, kDone}},
        AddToCase{"NoEmptiesTheFileFirst", answer::No, {"k1|a1", "k3|a3"}, {kAddTo, kDone}},
        AddToCase{"CancelRunsNothing", answer::Cancel, {"old|o1"}, {kAddTo}}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
