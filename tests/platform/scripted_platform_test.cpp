#include "support/scripted_platform.h"
#include "value/runtime_error.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

TEST(ScriptedPrompter, AnswersFromTheQueueAndRecordsExactTexts) {
    ScriptedPrompter prompter;
    prompter.answer(answer::No).type("Sales");
    Prompter& p = prompter;
    EXPECT_EQ(p.messageBox("Delete this query: q1?",
                           msgbox::YesNo + msgbox::Question + msgbox::DefaultButton2,
                           "PL/WB - Be careful"),
              answer::No);
    EXPECT_EQ(p.inputBox("Name of the table:"), "Sales");
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[0].text, "Delete this query: q1?");
    EXPECT_EQ(prompter.shown()[0].style, 292);
    EXPECT_EQ(prompter.shown()[0].title, "PL/WB - Be careful");
    EXPECT_EQ(prompter.shown()[1].title, "Varnoke");
    EXPECT_EQ(prompter.pending(), 0u);
}

TEST(ScriptedPrompter, AnUnexpectedPromptFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompter prompter;
            prompter.messageBox("Surprise", 0, "Varnoke");
        },
        "unexpected message box");
}

TEST(MessageBoxStyles, SplitIntoButtonsIconAndDefault) {
    EXPECT_EQ(msgbox::buttonsOf(292), msgbox::YesNo);
    EXPECT_EQ(msgbox::iconOf(292), msgbox::Question);
    EXPECT_EQ(msgbox::defaultButtonOf(292), 1);
    EXPECT_EQ(msgbox::buttonsOf(65), msgbox::OkCancel);
    EXPECT_EQ(msgbox::iconOf(65), msgbox::Information);
}

TEST(FilePicker, ACancelRaises32755OnlyWhenAsked) {
    ScriptedFilePicker picker;
    picker.choosePath("").choosePath("").choosePath("/data/a.dbf");
    try {
        picker.pickFile({"Open File A", "dBase IV (*.dbf)|*.dbf", "", 4102, true});
        FAIL() << "cancel did not raise";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrCancelSelected);
    }
    EXPECT_EQ(picker.pickFile({"t", "", "", 0, false}), "");
    EXPECT_EQ(picker.pickFile({"t", "", "", 0, true}), "/data/a.dbf");
    EXPECT_EQ(picker.requests()[0].filter, "dBase IV (*.dbf)|*.dbf");
}

TEST(Progress, ClampsInsteadOfFailing) {
    struct Bar : Progress {
        int shows = 0;
        void show() override { ++shows; }
    } bar;
    bar.setRange(1, 10);
    bar.setValue(50);
    EXPECT_EQ(bar.value(), 10);
    bar.setValue(-3);
    EXPECT_EQ(bar.value(), 1);
    bar.setMax(0); // a max below min drags min along
    EXPECT_EQ(bar.min(), 0);
    EXPECT_EQ(bar.max(), 0);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_GT(bar.shows, 0);
}
