// Field names from a user's file are data, never statement text. Two CSV files whose
// headers are built to break out of brackets are linked as File A and File B and run
// through replace, delete and export under every pairing method, and through a grid's
// filter and sort. Each case asserts exactly which records changed and that every other
// table of the working database is as it was.
#include "steps/steps_fixture.h"

#include "dialog/dialog_ports.h"
#include "dialog/file_attacher.h"
#include "evaluate/register_file_b.h"
#include "export/export_texts.h"
#include "process/run_messages.h"
#include "steps/delete_steps.h"
#include "steps/export_steps.h"
#include "viewers/grid_viewer.h"

#include <map>

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;
using Snapshot = std::map<std::string, Texts>;

// The key, the replace target, an injection attempt, a name of only "]", a number.
const std::string K = "k] Is Not Null Or [k";
const std::string T = "name] = 'PWNED', [k";
const std::string D = "x]); DROP TABLE Settings; --";
const std::string R = "]";
const std::string P = "Price [USD]";

std::string csvCell(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csv(const Texts& rows) {
    std::string out = csvCell(K) + "," + csvCell(T) + "," + csvCell(D) + "," + csvCell(R) + "," +
                      csvCell(P) + "\r\n";
    for (const auto& row : rows)
        out += row + "\r\n";
    return out;
}

// Records as the snapshot writes them: the five fields joined by "|".
const std::string A1 = "k1|a1|d1|r1|10", A2 = "k2|a2|d2|r2|20", A3 = "k3|a3|d3|r3|30";
const std::string B1 = "k1|b1|e1|s1|15", B2 = "k9|b9|e9|s9|25", B3 = "k3|b3|e3|s3|35";
const std::string X0 = "x0|x0|x0|x0|0";

Texts csvRows(const Texts& records) {
    Texts out;
    for (std::string r : records) {
        for (char& c : r)
            if (c == '|') c = ',';
        out.push_back(r);
    }
    return out;
}

class RecordingErrors : public ErrorHandler {
public:
    Texts reported;
    void handleError(const RuntimeError& e) override { reported.push_back(errorReport(e)); }
};

class HostileNames : public StepsFixture {
protected:
    HostileNames() {
        registerDeleteSteps(registry);
        registerExportSteps(registry);
        registerFileBEvaluators(registry);
        link(dir.write("a.csv", csv(csvRows({A1, A2, A3}))), "Table1", "1A");
        link(dir.write("b.csv", csv(csvRows({B1, B2, B3}))), "Table2", "2A");
    }
    ~HostileNames() override {
        shared.rsExportFile.close();
        shared.rsExportTable.close();
    }

    // What the openers do: the CSV read through its driver, copied under the working name.
    void link(const std::string& path, const std::string& table, const std::string& transient) {
        parseName(shared, path);
        ASSERT_TRUE(applyTableType(shared, "Comma-delimited text (CSV)"));
        shared.attachTableName = table;
        shared.skipFieldList = "n";
        RecordingErrors errors;
        FileAttacher attacher(shared, sp.events, errors);
        ASSERT_EQ(attacher.connectOne(shared.attachFile, transient), LinkResult::Linked);
        shared.skipFieldList.clear();
        ASSERT_EQ(errors.reported, Texts{});
    }

    // Every table of the working database, the engine's own included: its field names,
    // then each record, in stored order.
    Snapshot snapshot() {
        Snapshot out;
        TableDefs tables = shared.workDb.tableDefs();
        tables.refresh();
        for (const TableDef& t : tables) {
            Recordset rs = shared.workDb.openRecordset(t.name(), RecordsetType::Snapshot);
            Texts& rows = out[t.name()];
            std::string header;
            for (int i = 0; i < rs.fieldCount(); ++i)
                header += (i ? "|" : "") + rs.field(i).name();
            rows.push_back(header);
            for (; !rs.eof(); rs.moveNext()) {
                std::string row;
                for (int i = 0; i < rs.fieldCount(); ++i) {
                    const Value v = rs.field(i).value();
                    row += (i ? "|" : "") + (v.isNull() ? std::string(kNullText) : textOf(v));
                }
                rows.push_back(row);
            }
            rs.close();
        }
        return out;
    }

    static Texts withHeader(Texts records) {
        records.insert(records.begin(), K + "|" + T + "|" + D + "|" + R + "|" + P);
        return records;
    }

    const Texts kComplete{std::string(runtext::ProcessingComplete)};
};

struct RunCase {
    std::string label;
    std::string_view action;
    std::string_view method;
    std::string target; // Combo4, or Combo9 for export
    std::string with;   // Combo5; for export the selected fields, joined by "\n"
    Criterion row;
    Texts fileA, fileB, exported; // records afterwards; exported only for export runs
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.label;
}

class HostileNameRun : public HostileNames, public ::testing::WithParamInterface<RunCase> {};

TEST_P(HostileNameRun, ChangesExactlyTheRecordsASoundRunChanges) {
    const RunCase& c = GetParam();
    Form4Choices& ch = form.controls;
    if (c.action == choice::Export) {
        link(dir.write("x.csv", csv(csvRows({X0}))), "Exported Data", "3A");
        shared.exportFileOpen = "y";
        ch.option1 = false;
        ch.option2 = true;
        ch.combo9 = c.target;
        ch.combo9Visible = true;
        ch.list1 = {K, T, D, R, P};
        ch.list2 = ch.list1;
        for (const auto& side : {"File A.", "File B."})
            for (const auto& name : {K, T, D, R, P}) {
                const std::string entry = side + name;
                ch.list3.push_back(entry);
                ch.list3Selected.push_back(("\n" + c.with + "\n").find("\n" + entry + "\n") !=
                                           std::string::npos);
            }
    } else {
        ch.combo4 = c.target;
        ch.combo5 = c.with;
        ch.combo8 = choice::DoNotAddRecords;
    }
    ch.combo3 = c.action;
    ch.combo7 = c.method;
    setCriteria({c.row});
    const Snapshot before = snapshot();
    Texts shown = kComplete;
    if (c.action == choice::Export) {
        sp.prompter.answer(answer::Yes); // add to the records already in the export file
        shown.insert(shown.begin(), std::string(exporttext::AddToQuestion));
    }

    run();

    EXPECT_EQ(messages(), shown);
    Snapshot after = snapshot();
    EXPECT_EQ(after["Table1"], withHeader(c.fileA));
    EXPECT_EQ(after["Table2"], withHeader(c.fileB));
    Snapshot expected = before;
    expected["Table1"] = after["Table1"];
    expected["Table2"] = after["Table2"];
    if (c.action == choice::Export) {
        EXPECT_EQ(after["Exported Data"], withHeader(c.exported));
        expected["Exported Data"] = after["Exported Data"];
    }
    EXPECT_EQ(after, expected) << "a table other than the run's own changed";
}

const std::string kFieldA = "File A.";
const std::string kFieldB = "File B.";
const Criterion kKeyEqual{K, std::string(choice::IsEqualTo), kFieldB + K, ""};
const Criterion kKeyNotEqual{K, std::string(choice::IsNotEqualTo), kFieldB + K, ""};
const Criterion kPriceOver15{P, std::string(choice::IsGreaterThan), "15", ""};
const Texts kA{A1, A2, A3};
const Texts kB{B1, B2, B3};

std::vector<RunCase> runCases() {
    using namespace choice;
    std::vector<RunCase> cases;
    const std::pair<std::string_view, const char*> methods[] = {
        {ParallelOneRecord, "Parallel"},
        {NonParallelFirstOccurrence, "First"},
        {NonParallelAllRecords, "All"}};
    for (const auto& [method, m] : methods) {
        const std::string tag(m);
        // k1 and k3 are keys of both files, k2 and k9 of one only.
        cases.push_back({"Replace" + tag + "FileA",
                         Replace,
                         method,
                         kFieldA + T,
                         kFieldB + R,
                         kKeyEqual,
                         Texts{"k1|s1|d1|r1|10", A2, "k3|s3|d3|r3|30"},
                         kB,
                         {}});
        cases.push_back({"Replace" + tag + "FileB",
                         Replace,
                         method,
                         kFieldB + T,
                         kFieldA + R,
                         kKeyEqual,
                         kA,
                         Texts{"k1|r1|e1|s1|15", B2, "k3|r3|e3|s3|35"},
                         {}});
        cases.push_back({"Delete" + tag + "FileA",
                         Delete,
                         method,
                         std::string(EntireRecordFromFileA),
                         "",
                         kKeyEqual,
                         Texts{A2},
                         kB,
                         {}});
        cases.push_back({"Delete" + tag + "FileB",
                         Delete,
                         method,
                         std::string(EntireRecordFromFileB),
                         "",
                         kKeyEqual,
                         kA,
                         Texts{B2},
                         {}});
        cases.push_back({"DeleteNotEqual" + tag + "FileA",
                         Delete,
                         method,
                         std::string(EntireRecordFromFileA),
                         "",
                         kKeyNotEqual,
                         tag == "Parallel" ? Texts{A1, A3}
                         : tag == "First"  ? Texts{A3}
                                           : Texts{},
                         kB,
                         {}});
        // Export walks both files side by side whatever the method.
        cases.push_back({"Export" + tag + "EntireRecord", Export, method,
                         std::string(EntireRecordFromFileA), "", kKeyEqual, kA, kB,
                         Texts{X0, A1, A3}});
        cases.push_back({"Export" + tag + "SelectedFields", Export, method,
                         std::string(SelectFields),
                         kFieldA + K + "\n" + kFieldA + D + "\n" + kFieldB + R, kKeyEqual, kA, kB,
                         Texts{X0, "k1|<Null>|d1|s1|<Null>", "k3|<Null>|d3|s3|<Null>"}});
    }
    // A typed row names the number field; "all records" writes one statement with it.
    cases.push_back({"ReplaceTypedParallel",
                     Replace,
                     ParallelOneRecord,
                     kFieldA + T,
                     "zz",
                     kPriceOver15,
                     Texts{A1, "k2|zz|d2|r2|20", "k3|zz|d3|r3|30"},
                     kB,
                     {}});
    cases.push_back({"DeleteTypedAll",
                     Delete,
                     NonParallelAllRecords,
                     std::string(EntireRecordFromFileA),
                     "",
                     kPriceOver15,
                     Texts{A1},
                     kB,
                     {}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Runs, HostileNameRun, ::testing::ValuesIn(runCases()),
                         [](const auto& info) { return info.param.label; });

// ---- saved queries over hostile names, and the other marks a header may hold

TEST_F(HostileNames, SavedQueriesReachEveryNameAndChangeOnlyWhatTheyName) {
    const Snapshot before = snapshot();
    const std::string k = bracketName(K), t = bracketName(T), r = bracketName(R);
    shared.workDb.createQueryDef("pick", "SELECT " + t + ", " + r + " FROM Table1 WHERE " + k +
                                             " = 'k2' ORDER BY " + bracketName(P) + " DESC");
    Recordset rs = shared.workDb.openRecordset("pick", RecordsetType::Snapshot);
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(textOf(rs.field(0).value()), "a2");
    EXPECT_EQ(rs.field(0).name(), T);
    EXPECT_EQ(textOf(rs.field(1).value()), "r2");
    rs.close();
    shared.workDb.createQueryDef("change", "UPDATE Table1 SET " + t + " = 'PWNED' WHERE " + k +
                                               " = 'k3' AND " + bracketName(D) + " = 'd3'");
    shared.workDb.queryDefs().item("change").execute();

    Snapshot after = snapshot();
    EXPECT_EQ(after["Table1"], withHeader({A1, A2, "k3|PWNED|d3|r3|30"}));
    Snapshot expected = before;
    expected["Table1"] = after["Table1"];
    expected["MSysQueryDefs"] = after["MSysQueryDefs"];
    EXPECT_EQ(after, expected);
}

TEST_F(HostileNames, DotsQuotesAndOtherLettersInHeadersAreCriteriaAndSortFields) {
    const Texts names = {"a.b",
                         "Gr\xc3\xb6\xc3\x9f"
                         "e",
                         "it's \"q\"", "semi;colon --"};
    std::string text;
    for (const auto& n : names)
        text += (text.empty() ? "" : ",") + csvCell(n);
    text += "\r\n1,x,y,z\r\n2,x,y,w\r\n";
    link(dir.write("marks.csv", text), "Exported Data", "3A");
    Recordset rs = shared.workDb.openRecordset("Exported Data", RecordsetType::Dynaset);
    const std::string where = bracketName(names[1]) + " = 'x' and " + bracketName(names[2]) +
                              " = 'y' and " + bracketName(names[3]) + " = 'w'";
    rs.findFirst(where);
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(textOf(rs.field(names[0]).value()), "2");
    Recordset sorted = rs.openSorted(bracketName(names[3]) + " desc, " + bracketName(names[0]));
    EXPECT_EQ(textOf(sorted.field(names[3]).value()), "z");
}

// ---- a grid's filter and sort over File A

struct GridCase {
    std::string label;
    std::string filter; // typed at the Filter prompt; empty for none
    int headColumn;     // the heading clicked for Sort; -1 for none
    bool descending;    // with Shift held
    Texts keys;         // the key column shown afterwards, in order
};

void PrintTo(const GridCase& c, std::ostream* os) {
    *os << c.label;
}

class HostileNameGrid : public HostileNames, public ::testing::WithParamInterface<GridCase> {};

TEST_P(HostileNameGrid, ShowsExactlyTheRowsAskedForAndChangesNothing) {
    const GridCase& c = GetParam();
    const Snapshot before = snapshot();
    GridViewer viewer(ViewerForm::Form8, shared, sp.prompter);
    viewer.bind(shared.workDb.openRecordset("Table1", RecordsetType::Dynaset));
    viewer.countRecs();
    if (!c.filter.empty()) {
        sp.prompter.type(c.filter);
        viewer.cmdFilter_Click();
    }
    if (c.headColumn >= 0) {
        viewer.grdDataGrid_trackShift(c.descending ? 1 : 0);
        viewer.grdDataGrid_HeadClick(c.headColumn);
    }

    EXPECT_EQ(messages(), Texts{});
    const long rows = viewer.source().rowCount();
    Texts keys;
    if (rows > 0) viewer.fetch(0, rows - 1);
    for (long r = 0; r < rows; ++r)
        keys.push_back(textOf(viewer.source().row(r)->values[0]));
    EXPECT_EQ(keys, c.keys);
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Grid, HostileNameGrid,
    ::testing::Values(
        GridCase{"FilterOnTheKey", "[k]] Is Not Null Or [k] = 'k2'", -1, false, {"k2"}},
        GridCase{"FilterOnTheTarget", "[name]] = 'PWNED', [k] = 'a3'", -1, false, {"k3"}},
        GridCase{
            "FilterOnTheInjection", "[x]]); DROP TABLE Settings; --] Like 'd1'", -1, false, {"k1"}},
        GridCase{"FilterOnTheBracketOnly", "[]]] <> 'r2'", -1, false, {"k1", "k3"}},
        GridCase{"FilterOnThePrice", "[Price [USD]]] > 15", -1, false, {"k2", "k3"}},
        GridCase{"SortByThePriceDescending", "", 4, true, {"k3", "k2", "k1"}},
        GridCase{"SortByTheBracketOnlyDescending", "", 3, true, {"k3", "k2", "k1"}},
        GridCase{"SortByTheKeyAscending", "", 0, false, {"k1", "k2", "k3"}},
        GridCase{"FilterThenSortByTheInjection", "[Price [USD]]] >= 20", 2, true, {"k3", "k2"}}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
