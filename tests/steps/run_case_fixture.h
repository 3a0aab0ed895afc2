#pragma once
// One whole Process run described as data: the two working tables made by statements,
// the criteria rows, the dialog's choices, the answers to the questions the run asks and
// a Stop pressed at a chosen yield; afterwards every table's rows and the texts shown.
// Every step family and both evaluator families are registered, as in the program.
#include "evaluate/register_file_b.h"
#include "export/export_fixture.h"
#include "steps/delete_steps.h"

#include <ostream>
#include <string>
#include <vector>

namespace varnoke::test {

using Texts = std::vector<std::string>;

struct RunCase {
    std::string label;
    Texts tables; // statements that make and fill Table1 and Table2
    std::vector<Criterion> rows;
    std::string_view action;
    std::string target;      // Combo4
    std::string replacement; // Combo5
    std::string_view method;
    bool orOption = false;
    bool adding = false;
    bool exportFile = false; // an export file "Exported Data" (t, n) is attached
    std::vector<int> answers;
    int stopAtYield = 0; // 0: no Stop
    Texts fileA;         // Table1 afterwards, rows as "v1|v2|..."
    Texts fileB;
    Texts exported;
    Texts shown; // every message box, in order
};

inline void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.label;
}

// A replace run that adds nothing, has no export file and ends in "Processing complete.";
// its rows are joined by "and" unless orOption.
inline RunCase completedReplace(std::string label, Texts tables, std::vector<Criterion> rows,
                                std::string target, std::string replacement,
                                std::string_view method, Texts fileA, Texts fileB,
                                bool orOption = false) {
    return {std::move(label),
            std::move(tables),
            std::move(rows),
            choice::Replace,
            std::move(target),
            std::move(replacement),
            method,
            orOption,
            false,
            false,
            {answer::Ok},
            0,
            std::move(fileA),
            std::move(fileB),
            {},
            {std::string(runtext::ProcessingComplete)}};
}

class RunCaseFixture : public ExportFixture, public ::testing::WithParamInterface<RunCase> {
protected:
    RunCaseFixture() {
        registerDeleteSteps(registry);
        registerFileBEvaluators(registry);
    }

    void runCase(const RunCase& c) {
        for (const std::string& sql : c.tables)
            exec(sql);
        if (c.exportFile) makeExportFile("t TEXT(20), n DOUBLE");
        setCriteria(c.rows);
        Form4Choices& ch = form.controls;
        ch.combo3 = c.action;
        ch.combo4 = c.target;
        ch.combo5 = c.replacement;
        ch.combo7 = c.method;
        ch.combo8 = c.adding ? choice::AddNewRecords : choice::DoNotAddRecords;
        ch.combo9 = choice::EntireRecordFromFileA;
        ch.option3 = c.orOption;
        ch.option4 = !c.orOption;
        for (int a : c.answers)
            sp.prompter.answer(a);
        if (c.stopAtYield > 0) {
            sp.events.onYield = [this, at = c.stopAtYield](int n) {
                if (n == at) shared.stopFlag = "y";
            };
        }
        processTwo(ctx);
    }

    void expectOutcome(const RunCase& c) {
        EXPECT_EQ(rows("Table1"), c.fileA);
        EXPECT_EQ(rows("Table2"), c.fileB);
        if (c.exportFile) {
            EXPECT_EQ(rows("Exported Data"), c.exported);
        }
        EXPECT_EQ(messages(), c.shown);
        EXPECT_EQ(sp.prompter.pending(), 0u);
    }
};

} // namespace varnoke::test
