#include "process/decision_table.h"

#include "process_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

struct StepCase {
    std::string label;
    std::string action, target, source, method;
    DispatchSide side;
    std::string step; // expected
};

std::vector<StepCase> replaceCases() {
    const std::pair<std::string, std::string> methods[] = {
        {std::string(choice::ParallelOneRecord), "One"},
        {std::string(choice::NonParallelFirstOccurrence), "First"},
        {std::string(choice::NonParallelAllRecords), "All"}};
    // Combo5 texts and the source part of the name for File A / File B as the target.
    const std::tuple<std::string, std::string, std::string, std::string> sources[] = {
        {"fieldB", "File B.Amount", "WithB", "WithA"},
        {"fieldA", "File A.Amount", "WithB", "WithA"},
        {"blank", "BLANK", "WithBlank", "WithBlank"},
        {"typed", "12", "WithWhatEver", "WithWhatEver"},
        {"blanket", "BLANKET", "WithWhatEver", "WithWhatEver"},
        // Typed texts that only begin like a field of either file are values.
        {"fileBNoDot", "File Bx", "WithWhatEver", "WithWhatEver"},
        {"fileASpace", "File A copy", "WithWhatEver", "WithWhatEver"},
        {"fileANoSuchField", "File A.Nosuch", "WithWhatEver", "WithWhatEver"},
        {"fileBFieldOfA", "File B.OnlyA", "WithWhatEver", "WithWhatEver"}};
    std::vector<StepCase> out;
    for (DispatchSide side : {DispatchSide::Equal, DispatchSide::NotEqual})
        for (const char* file : {"A", "B"})
            for (const auto& [methodText, methodWord] : methods)
                for (const auto& [label, source, withA, withB] : sources) {
                    const std::string prefix =
                        side == DispatchSide::Equal ? "twoEqual" : "twoNotEqual";
                    std::string word = methodWord;
                    // The one step of the table spelled with a lower-case "first".
                    if (file == std::string("B") && word == "First" &&
                        (label == "fieldB" || label == "fieldA"))
                        word = "first";
                    const std::string with = file == std::string("A") ? withA : withB;
                    out.push_back({prefix + "Rep" + methodWord + file + label, "replace",
                                   std::string("File ") + file + ".Name", source, methodText, side,
                                   prefix + "Rep" + word + "From" + file + with});
                }
    return out;
}

std::vector<StepCase> otherCases() {
    std::vector<StepCase> out;
    const std::pair<std::string, std::string> methods[] = {
        {std::string(choice::ParallelOneRecord), "One"},
        {std::string(choice::NonParallelFirstOccurrence), "First"},
        {std::string(choice::NonParallelAllRecords), "All"}};
    for (DispatchSide side : {DispatchSide::Equal, DispatchSide::NotEqual}) {
        const std::string prefix = side == DispatchSide::Equal ? "twoEqual" : "twoNotEqual";
        for (const char* file : {"A", "B"})
            for (const auto& [methodText, word] : methods)
                out.push_back({prefix + "Del" + word + file, "delete",
                               std::string("entire record from File ") + file, "", methodText, side,
                               prefix + "Del" + word + "From" + file});
        out.push_back({prefix + "ExportAnyMethod", "export", "", "", "", side, prefix + "Export"});
        out.push_back(
            {prefix + "ExportOddMethod", "export", "x", "y", "whatever", side, prefix + "Export"});
        out.push_back({prefix + "DeleteAnyPrefix", "delete", "the whole of File B", "",
                       std::string(choice::ParallelOneRecord), side, prefix + "DelOneFromB"});
    }
    return out;
}

// File A has Name, Amount and OnlyA; File B has Name and Amount.
class TwoFiles : public ProcessFixture {
protected:
    TwoFiles() {
        exec("CREATE TABLE Table1 (Name TEXT(20), Amount DOUBLE, OnlyA TEXT(20));");
        exec("CREATE TABLE Table2 (Name TEXT(20), Amount DOUBLE);");
        openFiles();
    }
};

class StepChoice : public TwoFiles, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepChoice, PicksTheNamedStep) {
    const StepCase& c = GetParam();
    Form4Choices choices;
    choices.combo3 = c.action;
    choices.combo4 = c.target;
    choices.combo5 = c.source;
    choices.combo7 = c.method;
    const auto picked = chooseStep(choices, c.side, shared.rsFileA, shared.rsFileB);
    ASSERT_TRUE(std::holds_alternative<std::string_view>(picked));
    EXPECT_EQ(std::get<std::string_view>(picked), c.step);
}

INSTANTIATE_TEST_SUITE_P(Replace, StepChoice, ::testing::ValuesIn(replaceCases()),
                         [](const auto& info) { return info.param.label; });
INSTANTIATE_TEST_SUITE_P(DeleteAndExport, StepChoice, ::testing::ValuesIn(otherCases()),
                         [](const auto& info) { return info.param.label; });

TEST(DecisionTable, NamesFiftyDistinctSteps) {
    auto names = allStepNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.size(), 50u);
}

struct RefusalCase {
    std::string label;
    std::string action, target, method;
    bool oneDatabase;
    std::string message, focus;
};

class Refusals : public TwoFiles, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, StopTheRunWithTheMessageAndFocus) {
    const RefusalCase& c = GetParam();
    form.controls.combo3 = c.action;
    form.controls.combo4 = c.target;
    form.controls.combo5 = "BLANK";
    form.controls.combo7 = c.method;
    form.controls.option1 = c.oneDatabase;
    sp.prompter.answer(answer::Ok);
    twoNotEqualDispatch(ctx);
    EXPECT_EQ(messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(sp.prompter.last().title, "Varnoke");
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(controls.focused, std::vector<std::string>{c.focus});
    EXPECT_EQ(controls.state(c.focus), "on");
    EXPECT_EQ(controls.state("Command5"), "off");
    EXPECT_EQ(controls.state("Command2"), "on");
    EXPECT_EQ(controls.state("Command3"), "on");
}

INSTANTIATE_TEST_SUITE_P(
    Choices, Refusals,
    ::testing::Values(
        RefusalCase{"ActionOneDb", "", "File A.Name", "", true,
                    "Please select whether data should be 'replaced' or 'exported'.", "Combo3"},
        RefusalCase{"ActionTwoDb", "Replace", "File A.Name", "", false,
                    "Please select whether data should be 'replaced', 'deleted', or "
                    "'exported'.",
                    "Combo3"},
        RefusalCase{"ReplaceTarget", "replace", "file A.Name",
                    std::string(choice::ParallelOneRecord), false, "Please select a field.",
                    "Combo4"},
        // Only a field of the file named is a target.
        RefusalCase{"ReplaceTargetNoSuchField", "replace", "File A.Nosuch",
                    std::string(choice::ParallelOneRecord), false, "Please select a field.",
                    "Combo4"},
        RefusalCase{"ReplaceTargetNoDot", "replace", "File Bname",
                    std::string(choice::ParallelOneRecord), false, "Please select a field.",
                    "Combo4"},
        RefusalCase{"DeleteTarget", "delete", "entire record from File C",
                    std::string(choice::ParallelOneRecord), false, "Please select a field.",
                    "Combo4"},
        RefusalCase{"ReplaceMethod", "replace", "File B.Name", "parallel records", false,
                    "Please select the 'Compare; Replace/Delete method' from the choices given.",
                    "Combo7"},
        RefusalCase{"DeleteMethod", "delete", "entire record from File A", "", false,
                    "Please select the 'Compare; Replace/Delete method' from the choices given.",
                    "Combo7"}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
