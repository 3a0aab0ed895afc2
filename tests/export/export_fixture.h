#pragma once
// An export run without a window: the steps fixture's Table1 and Table2 (code, name), an
// export file already attached as "Exported Data", and the export steps and writer
// registered as the program registers them.
#include "export/export_texts.h"
#include "process/run_messages.h"
#include "steps/export_steps.h"
#include "steps/steps_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace varnoke::test {

class ExportFixture : public StepsFixture {
protected:
    ExportFixture() {
        registerExportSteps(registry);
        Form4Choices& c = form.controls;
        c.option1 = false;
        c.option2 = true;
        c.combo3 = choice::Export;
        c.combo7 = choice::ParallelOneRecord;
        c.combo9Visible = true;
        c.list1 = {"code", "name"};
        c.list2 = {"code", "name"};
        c.list3 = {"File A.code", "File A.name", "File B.code", "File B.name"};
        c.list3Selected = {false, false, false, false};
    }
    ~ExportFixture() override {
        shared.rsExportFile.close();
        shared.rsExportTable.close();
    }

    // "Exported Data" with the given column definitions, attached for the run.
    void makeExportFile(std::string_view columns = "code TEXT(20), name TEXT(40)") {
        exec("CREATE TABLE [Exported Data] (" + std::string(columns) + ");");
        shared.exportFileOpen = "y";
    }
    void openExportFile() {
        shared.rsExportFile = shared.workDb.openRecordset("Exported Data", RecordsetType::Dynaset);
    }
    void select(const std::vector<std::string>& entries) {
        Form4Choices& c = form.controls;
        for (std::size_t i = 0; i < c.list3.size(); ++i)
            c.list3Selected[i] =
                std::find(entries.begin(), entries.end(), c.list3[i]) != entries.end();
    }

    // Every row of a table as "v1|v2|...", <Null> for Null, in stored order.
    std::vector<std::string> rows(std::string_view table) {
        std::vector<std::string> out;
        Recordset rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
        for (; !rs.eof(); rs.moveNext()) {
            std::string row;
            for (int i = 0; i < rs.fieldCount(); ++i) {
                const Value v = rs.field(i).value();
                row += (i ? "|" : "") + (v.isNull() ? std::string(kNullText) : textOf(v));
            }
            out.push_back(row);
        }
        rs.close();
        return out;
    }

    // "name:type:size" of each column of a table.
    std::vector<std::string> columns(std::string_view table) {
        std::vector<std::string> out;
        const TableDefs defs = shared.workDb.tableDefs();
        for (const Field& f : defs.item(table).fields())
            out.push_back(f.name() + ":" + std::to_string(f.type()) + ":" +
                          std::to_string(f.size()));
        return out;
    }

    const std::vector<std::string> kComplete{std::string(runtext::ProcessingComplete)};
};

} // namespace varnoke::test
