#pragma once
// A whole replace run without a window: the Process fixture's working database, with
// Table1 (File A) and Table2 (File B) made from rows, and the registry the program
// fills at start-up (replace steps, File A evaluators).
#include "engine/sql_name.h"
#include "evaluate/register_file_a.h"
#include "process/process_command.h"
#include "process/process_fixture.h"
#include "steps/replace_steps.h"
#include "value/convert.h"

#include <string>
#include <utility>
#include <vector>

namespace varnoke::test {

// "<Null>" stands for a Null field in the texts names() returns.
inline constexpr std::string_view kNullText = "<Null>";

class StepsFixture : public ProcessFixture {
public:
    // code and name of each record.
    using Rows = std::vector<std::pair<std::string, std::string>>;

protected:
    StepsFixture() {
        registerReplaceSteps(registry);
        registerFileAEvaluators(registry);
    }

    // Table1 and Table2 with the columns code TEXT(20) and name TEXT(40).
    void makeFiles(const Rows& fileA, const Rows& fileB) {
        fill("Table1", fileA);
        fill("Table2", fileB);
    }

    // Presses Process: the set-up, the step loop and the end of the run, OK-ing the
    // given number of message boxes (any other is a failure).
    void run(int messageBoxes = 1) {
        for (int i = 0; i < messageBoxes; ++i)
            sp.prompter.answer(answer::Ok);
        processTwo(ctx);
    }

    // The name column of a table in stored order.
    std::vector<std::string> names(std::string_view table) {
        std::vector<std::string> out;
        Recordset rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
        for (; !rs.eof(); rs.moveNext()) {
            const Value v = rs.value("name");
            out.push_back(v.isNull() ? std::string(kNullText) : textOf(v));
        }
        rs.close();
        return out;
    }

private:
    void fill(std::string_view table, const Rows& rows) {
        exec("CREATE TABLE " + bracketName(table) + " (code TEXT(20), name TEXT(40));");
        Recordset rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
        for (const auto& [code, name] : rows) {
            rs.addNew();
            rs.setValue("code", Value::text(code));
            rs.setValue("name", Value::text(name));
            rs.update();
        }
        rs.close();
    }
};

} // namespace varnoke::test
