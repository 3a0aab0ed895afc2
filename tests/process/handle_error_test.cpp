#include "process/handle_error.h"

#include "process/run_messages.h"
#include "process_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

struct MessageCase {
    int number;
    std::string message;
};

class ErrorMessages : public ::testing::TestWithParam<MessageCase> {
protected:
    SharedState shared;
    RecordingControls controls;
    ScriptedPrompter prompter;
    ErrorScope scope{shared, controls, prompter};
};

TEST_P(ErrorMessages, ShowsTheTextForTheNumberAndStops) {
    const MessageCase& c = GetParam();
    prompter.answer(answer::Ok);
    handleError(scope, RuntimeError(c.number, "engine description"));
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.last().text, c.message);
    EXPECT_EQ(prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(prompter.last().style, 64);
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(shared.msgAnswer, answer::Ok);
}

const std::string k3163 = std::string(runtext::TooSmall3163a) + "\r\n\r\n" +
                          std::string(runtext::TooSmall3163b) + std::string(runtext::TooSmall3163c);
const std::string k3170 = std::string(runtext::NoIsam3170a) + "\r\n\r\n" +
                          std::string(runtext::NoIsam3170b) + "\r\n\r\n" +
                          std::string(runtext::NoIsam3170c);

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorMessages,
    ::testing::Values(
        MessageCase{55, "The file is open and could NOT be deleted.\nengine description"},
        MessageCase{68, "The device is unavailable.\nengine description"},
        MessageCase{70, "Permission denied.\nengine description"},
        MessageCase{75, "Path/file access error.\nengine description"},
        MessageCase{3027, "Varnoke cannot update the file because it is currently in Read-only "
                          "mode.  It might be currently opened by another application.\nengine "
                          "description"},
        MessageCase{3163, k3163}, MessageCase{3170, k3170 + "\nengine description"},
        MessageCase{3421,
                    "Varnoke has encountered a data type conversion error because data of one "
                    "data type is being written to a field of another data type.  For example, "
                    "text is being written to a field that is of the numeric type.  This cannot "
                    "be done."},
        MessageCase{3464,
                    "Varnoke has encountered a data type mismatch because data of one type is "
                    "being compared to data of another type.  For example, text is being "
                    "compared to a numeric value.  This cannot be done.  Please use a "
                    "database/File editor to change the data type."},
        MessageCase{3616, "Updating data in this type of file is NOT supported."},
        MessageCase{3075, "engine description"}, MessageCase{94, "engine description"}),
    [](const auto& info) { return std::to_string(info.param.number); });

TEST(ErrorMessageTexts, KeepTheirExactEnds) {
    EXPECT_TRUE(k3163.starts_with("A field is too small to accept the amount of data being "
                                  "added.  Do the following: 1. Close the files;"));
    EXPECT_TRUE(std::string(runtext::TooSmall3163b).ends_with("so make them unique); "));
    EXPECT_TRUE(k3163.ends_with("and the field would be wider.  Whew!"));
    EXPECT_TRUE(k3170.ends_with("is not supported by Varnoke."));
}

class SilentErrors : public ErrorMessages {};

TEST_F(SilentErrors, TableExistsAndCancelSetTheirFlagsOnly) {
    handleError(scope, RuntimeError(3010, "exists"));
    EXPECT_EQ(shared.dropExportedData, "y");
    EXPECT_EQ(shared.stopFlag, "");
    shared.dropExportedData.clear();
    handleError(scope, RuntimeError(3012, "exists"));
    EXPECT_EQ(shared.dropExportedData, "y");
    handleError(scope, RuntimeError(32755, "cancel"));
    EXPECT_EQ(shared.attachFailed, "y");
    EXPECT_EQ(shared.stopFlag, "");
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(SilentErrors, NeverClearAPendingStop) {
    for (int number : {3010, 3012, 32755}) {
        shared.stopFlag = "y";
        handleError(scope, RuntimeError(number, "silent"));
        EXPECT_EQ(shared.stopFlag, "y") << number;
    }
}

TEST_F(ErrorMessages, ButtonsFollowTheCriteriaAndTheLists) {
    controls.criteriaRows = 0;
    prompter.answer(answer::Ok);
    handleError(scope, RuntimeError(3021, "No current record."));
    for (const char* off : {"Command5", "Command2", "Command8", "Command9", "Command10"})
        EXPECT_EQ(controls.state(off), "off") << off;
    EXPECT_EQ(controls.state("Command3"), "-");

    controls.criteriaRows = 2;
    controls.withEntries = {"Combo1"};
    handleError(scope, RuntimeError(3010, "exists"));
    EXPECT_EQ(controls.state("Command2"), "on");
    EXPECT_EQ(controls.state("Command3"), "on");
}

} // namespace
} // namespace varnoke::test
