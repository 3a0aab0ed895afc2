#pragma once
// The evaluators on a copy of the working database: Table1 and Table2 each with an ID to
// tell records apart, fields of the three kinds and a Target field to replace, one or
// more criteria rows, and both families registered as the program registers them.
#include "engine/sql_name.h"
#include "evaluate/register_file_a.h"
#include "evaluate/register_file_b.h"
#include "process/process_fixture.h"
#include "process/replace_writers.h"
#include "value/convert.h"

#include <string>
#include <vector>

namespace varnoke::test {

inline Value dateValue(int year, int month, int day) {
    return Value::date(makeDateSerial(year, month, day));
}

class EvaluateFixture : public ProcessFixture {
protected:
    EvaluateFixture() {
        exec("CREATE TABLE Table1 (ID LONG, Name TEXT(20), Amount DOUBLE, Due DATETIME, "
             "Target TEXT(10))");
        exec("CREATE TABLE Table2 (ID LONG, BName TEXT(20), BAmount DOUBLE, BDue DATETIME, "
             "Target TEXT(10))");
        registerFileAEvaluators(registry);
        registerFileBEvaluators(registry);
        form.controls.option3 = false;
        form.controls.option4 = true;
        form.controls.combo3 = "replace";
        form.controls.combo4 = "File A.Target";
        form.controls.combo5 = "new";
    }

    // A record whose field holds the SQL literal given; the others are Null.
    void addRecord(std::string_view table, int id, const std::string& field,
                   const std::string& literal) {
        exec("INSERT INTO " + bracketName(table) + " (ID, " + bracketName(field) +
             ", Target) VALUES (" + std::to_string(id) + ", " + literal + ", 'old')");
    }
    void addA(int id, const std::string& field, const std::string& literal) {
        addRecord("Table1", id, field, literal);
    }
    void addB(int id, const std::string& field, const std::string& literal) {
        addRecord("Table2", id, field, literal);
    }

    // Opens the files under a pairing method, as Process and the first step do.
    void begin(std::string_view method, std::string_view action = "replace") {
        form.controls.combo7 = std::string(method);
        form.controls.combo3 = std::string(action);
        openFiles();
        getActionFieldTypes(ctx);
    }

    void goToA(int id) { shared.rsFileA.findFirst("[ID] = " + std::to_string(id)); }
    void goToB(int id) { shared.rsFileB.findFirst("[ID] = " + std::to_string(id)); }
    long currentA() { return static_cast<long>(numberOf(shared.rsFileA.value("ID"))); }

    // The step's part: the operand and the replacement, then the member by name.
    void call(const std::string& member, Value operand, Value replacement = Value::text("new")) {
        form.run.criteriaValue = std::move(operand);
        form.run.replaceValue = std::move(replacement);
        if (member.ends_with("Rep"))
            registry.callRep(member, ctx, form.run.criteriaValue, form.run.replaceValue);
        else
            registry.callDel(member, ctx, form.run.criteriaValue);
    }

    std::vector<long> ids(const std::string& where = "") {
        Recordset rs = shared.workDb.openRecordset("SELECT ID FROM " + bracketName(changedTable) +
                                                       (where.empty() ? "" : " WHERE " + where) +
                                                       " ORDER BY ID",
                                                   RecordsetType::Snapshot);
        std::vector<long> out;
        for (; !rs.eof(); rs.moveNext())
            out.push_back(static_cast<long>(numberOf(rs.value("ID"))));
        return out;
    }
    std::vector<long> replaced() { return ids("Target = 'new'"); }

    Form4RunState& run = form.run;
    std::string changedTable = "Table1"; // what ids() and replaced() read
};

// The same, changing File B: the File B evaluators, the File B target.
class FileBFixture : public EvaluateFixture {
protected:
    FileBFixture() {
        changedTable = "Table2";
        form.controls.combo4 = "File B.Target";
    }
};

} // namespace varnoke::test
