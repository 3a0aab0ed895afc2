// Whole Process runs (step loop, decision table, steps, dispatchers, evaluators, engine)
// against the one SQLite statement that does the same work on the same data, with the
// engine's connection settings on both sides:
//   replace-first  first-occurrence replace of File A's name by File B's  UPDATE ... FROM
//   replace-all    the same under "all records"                            UPDATE ... FROM
//   delete-first   first-occurrence delete of File A's matching records    DELETE ... WHERE IN
//                  (SQLite 3.40 runs DELETE ... WHERE EXISTS as a scan of File B per
//                  record, 5 s at 10,000 records: the IN form is its fast equivalent)
//   export         first-occurrence export of File A's matching records    INSERT ... SELECT join
//   delete-all     the delete under "all records"                          DELETE ... WHERE IN
//   replace-parallel  parallel replace over files whose records line up    UPDATE ... FROM on
//                  (File B holds File A's keys in File A's order)          the row number
// Each file holds the keys in its own order. By default the keys are unique, so every
// method changes the same records as the statement; --keys repeats them (each key N
// times, or "equal": one key for all), where a run kind whose method changes other
// records than its statement does is compared with a statement that changes the same.
// The two sides must leave the same records in both tables, or the bench stops. The two sides of a
// pair run back to back on fresh copies of one file, taking turns at going first; each size reports
// the median of the pairs' ratios and its spread (lowest to highest ratio).
//
// case-keys: the first-occurrence replace where File A holds ten keys in every letter
// case but one, the exact one last of all, and File B asks for the exact keys; reports
// the time per size and the growth exponent between sizes (n log n is about 1.1).
//
// null-term: the first-occurrence export of the records whose key equals File B's "and"
// whose date is before File B's, where File B's dates are Null: nothing is before a
// blank, so each find is the key "or" a term no record meets. All keys are equal, File B
// holds 79 records and the export file 3 already. Reports the time per size of File A,
// the growth exponent between sizes, the SQLite statements the run started and a digest
// of the export file's records.
//
// or-never: the first-occurrence delete of File A's records whose date is after File B's
// "and" before it, under "or", where File B's dates are Null: the first row's term selects
// every dated record and the second holds for none, so nothing is deleted.
// or-own: the first-occurrence delete, with adding chosen, of the records whose key
// equals File B's "and" whose date is File B's number, under "or", where File B's numbers
// are Null: six keys, so the key's term selects a sixth of File A, while the test asks for
// a Null date, which every third record holds. File A holds two records more than File B;
// each File B record deletes the first dated-Null record left, till none is left.
// or-ne: the first-occurrence delete of the records whose date equals File B's "or"
// differs from it, where every date is one day but File A's last: each find selects every
// record, the test refuses all but one.
// or-greater: the same with "date equal" "or" "number greater than File B's", where File
// A's numbers are Null but the last record's.
// or-after: "number not equal" "or" "date after File B's", where no number of File A is
// File B's and its dates are the one day but the last record's.
// or-yesno: "date equal" "or" "yes/no field not equal to File B's", where every record
// holds the one day and True but File A's last, which holds False.
// Each size reports the median of this build's runs and, with --old, of the other build's
// runs, in pairs that take turns at going first, each side in a process of its own; both
// sides of a pair must leave the same records, and every run the records the shape's
// statement leaves (or-never: none deleted; or-own: DELETE ... WHERE d IS NULL).
//
// Usage:
//   process_bench [--pairs N] [--sizes 10000,100000] [--runs replace-first,export,...]
//                 [--keys unique,equal,1000,10000] [--case-sizes 1000,4000]
//                 [--null-sizes 1000,4000] [--or-sizes 1000,4000]
//                 [--old OTHER_PROCESS_BENCH] [--old-max 4000]
//   process_bench [--keys K] --one RUN SIZE process|sqlite [TEMPLATE]  one side once
//                                                  (/usr/bin/time -v)
//   process_bench [--keys K] --make RUN SIZE TEMPLATE         the data of --one, made beforehand so
//   that
//                                                  making it is not in --one's peak memory
#include "engine/connection.h"
#include "engine/engine.h"
#include "evaluate/register_file_a.h"
#include "evaluate/register_file_b.h"
#include "process/process_command.h"
#include "process/run_context.h"
#include "steps/delete_steps.h"
#include "steps/export_steps.h"
#include "steps/replace_steps.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace varnoke;

// --- the platform and windows a run needs, answering as a user who says OK and Yes

// Answers Yes where it is asked (adding to an export file that holds records), else OK.
class OkPrompter : public Prompter {
public:
    int messageBox(std::string_view, int style, std::string_view) override {
        const int buttons = msgbox::buttonsOf(style);
        return buttons == msgbox::YesNo || buttons == msgbox::YesNoCancel ? answer::Yes
                                                                          : answer::Ok;
    }
    std::string inputBox(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
};
class NoFilePicker : public FilePicker {
protected:
    std::string choose(const FileDialogRequest&) override { return {}; }
};
class NoEvents : public EventPump {
public:
    void yieldToEvents() override {}
};
class NoSettings : public SettingsStore {
public:
    void save(std::string_view, std::string_view, std::string_view, std::string_view) override {}
    std::string load(std::string_view, std::string_view, std::string_view,
                     std::string_view fallback) override {
        return std::string(fallback);
    }
};
class NoOpener : public DocumentOpener {
public:
    bool openDocument(std::string_view) override { return false; }
};
class StillClock : public Clock {
public:
    double seconds() override { return 0; }
    void sleep(double) override {}
};
class NoControls : public DialogControls {
public:
    void setEnabled(std::string_view, bool) override {}
    void setFocus(std::string_view) override {}
    bool hasEntries(std::string_view) const override { return true; }
    long criteriaRowCount() const override { return 1; }
    void openFileA() override {}
    void openFileB() override {}
    void openExportFile() override {}
};
class NoMainWindow : public MainWindowApi {
public:
    void menuViewFileA_Click() override {}
    void menuViewFileB_Click() override {}
    void menuViewExportedData_Click() override {}
    void menuViewVarnokeExportTable_Click() override {}
    void createTableList() override {}
    void setMenuEnabled(std::string_view, bool) override {}
    bool menuEnabled(std::string_view) const override { return true; }
    void showInfoNote(InfoNote, std::string_view) override {}
};

// --- the runs

enum class Action { Replace, Delete, Export };

// Shuffled: each file holds the keys in its own order; Lined: File B in File A's order;
// CaseKeys, NullTerm: see case-keys and null-term above.
enum class Data {
    Shuffled,
    Lined,
    CaseKeys,
    NullTerm,
    OrNever,
    OrOwn,
    OrNe,
    OrGreater,
    OrAfter,
    OrYesNo
};

struct RunKind {
    std::string name;
    Action action;
    std::string_view method;
    std::string statement; // the single SQLite statement
    std::string check;     // a count --one reports
    Data data = Data::Shuffled;
    // The statement over repeated keys, where the method changes other records than
    // `statement` does then.
    std::string repeatedStatement = {};
};

const std::string kUpdateFrom =
    "UPDATE Table1 SET name = Table2.name FROM Table2 WHERE Table1.code = Table2.code";
const std::string kReplaced = "SELECT count(*) FROM Table1 WHERE name LIKE 'b%'";
// Over repeated keys a replace leaves the name of the last File B record of the key, and
// the first-occurrence methods act on the first File A record of a key. A bare column
// beside max() or min() is taken from the row holding that maximum or minimum.
const std::string kLastOfB = "(SELECT code, name, max(rowid) FROM Table2 GROUP BY code)";
const std::string kFirstOfA = "(SELECT code, name, min(rowid) AS first FROM Table1 GROUP BY code)";
const std::string kReplaceByLast = "UPDATE Table1 SET name = last.name FROM " + kLastOfB +
                                   " AS last WHERE Table1.code = last.code";

const std::vector<RunKind> kRuns = {
    {"replace-first", Action::Replace, choice::NonParallelFirstOccurrence, kUpdateFrom, kReplaced,
     Data::Shuffled, kReplaceByLast + " AND Table1.rowid IN (SELECT first FROM " + kFirstOfA + ")"},
    {"replace-all", Action::Replace, choice::NonParallelAllRecords, kUpdateFrom, kReplaced,
     Data::Shuffled, kReplaceByLast},
    {"delete-first", Action::Delete, choice::NonParallelFirstOccurrence,
     "DELETE FROM Table1 WHERE code IN (SELECT code FROM Table2)", "SELECT count(*) FROM Table1"},
    {"export", Action::Export, choice::NonParallelFirstOccurrence,
     "INSERT INTO \"Exported Data\" (code, name) SELECT Table1.code, Table1.name FROM Table1 "
     "JOIN Table2 ON Table1.code = Table2.code",
     "SELECT count(*) FROM \"Exported Data\"", Data::Shuffled,
     "INSERT INTO \"Exported Data\" (code, name) SELECT f.code, f.name FROM Table2 JOIN " +
         kFirstOfA + " AS f ON f.code = Table2.code"},
    {"delete-all", Action::Delete, choice::NonParallelAllRecords,
     "DELETE FROM Table1 WHERE code IN (SELECT code FROM Table2)", "SELECT count(*) FROM Table1"},
    {"replace-parallel", Action::Replace, choice::ParallelOneRecord,
     "UPDATE Table1 SET name = Table2.name FROM Table2 WHERE Table1.rowid = Table2.rowid AND "
     "Table1.code = Table2.code",
     kReplaced, Data::Lined},
};

const RunKind kCaseKeys{"case-keys", Action::Replace, choice::NonParallelFirstOccurrence,
                        kUpdateFrom, kReplaced,       Data::CaseKeys};

const RunKind kNullTerm{"null-term",
                        Action::Export,
                        choice::NonParallelFirstOccurrence,
                        "",
                        "SELECT count(*) FROM \"Exported Data\"",
                        Data::NullTerm};
constexpr long kNullTermFileB = 79;
constexpr long kNullTermExported = 3;

const RunKind kOrNever{"or-never",
                       Action::Delete,
                       choice::NonParallelFirstOccurrence,
                       "SELECT 1",
                       "SELECT count(*) FROM Table1",
                       Data::OrNever};
const RunKind kOrOwn{"or-own",
                     Action::Delete,
                     choice::NonParallelFirstOccurrence,
                     "DELETE FROM Table1 WHERE d IS NULL",
                     "SELECT count(*) FROM Table1",
                     Data::OrOwn};
const RunKind kOrNe{"or-ne",
                    Action::Delete,
                    choice::NonParallelFirstOccurrence,
                    "DELETE FROM Table1 WHERE d <> 36526",
                    "SELECT count(*) FROM Table1",
                    Data::OrNe};
const RunKind kOrGreater{"or-greater",
                         Action::Delete,
                         choice::NonParallelFirstOccurrence,
                         "DELETE FROM Table1 WHERE n > 0",
                         "SELECT count(*) FROM Table1",
                         Data::OrGreater};
const RunKind kOrAfter{"or-after",
                       Action::Delete,
                       choice::NonParallelFirstOccurrence,
                       "DELETE FROM Table1 WHERE d > 36526",
                       "SELECT count(*) FROM Table1",
                       Data::OrAfter};
const RunKind kOrYesNo{"or-yesno",
                       Action::Delete,
                       choice::NonParallelFirstOccurrence,
                       "DELETE FROM Table1 WHERE b = 0",
                       "SELECT count(*) FROM Table1",
                       Data::OrYesNo};
constexpr long kOrKeys = 6;
constexpr long kOrOwnSurplus = 2;

const char* dataName(Data data) {
    switch (data) {
    case Data::Shuffled:
        return "template";
    case Data::Lined:
        return "lined";
    case Data::CaseKeys:
        return "casekeys";
    case Data::NullTerm:
        return "nullterm";
    case Data::OrNever:
        return "ornever";
    case Data::OrOwn:
        return "orown";
    case Data::OrNe:
        return "orne";
    case Data::OrGreater:
        return "orgreater";
    case Data::OrAfter:
        return "orafter";
    case Data::OrYesNo:
        return "oryesno";
    }
    return "";
}

// --- the data

void execOrDie(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg + " in " + sql);
    }
}

long countOf(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    const long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
}

std::string benchPath(const std::string& name, long rows) {
    return (fs::temp_directory_path() / ("varnoke_process_bench_" + std::to_string(::getpid()) +
                                         "_" + name + "_" + std::to_string(rows) + ".mdb"))
        .string();
}

void insertRows(sqlite3* db, const std::string& table, const std::vector<std::string>& codes,
                const std::string& namePrefix) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("INSERT INTO " + table + " VALUES (?1, ?2)").c_str(), -1, &st, nullptr);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const std::string name = namePrefix + std::to_string(i);
        sqlite3_bind_text(st, 1, codes[i].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

// How many times each key stands in each file: `times`, or all records one key (0).
struct KeyShape {
    std::string name;
    long times = 1;
};

KeyShape keyShapeNamed(const std::string& name) {
    if (name == "unique") return {name, 1};
    if (name == "equal") return {name, 0};
    const long times = std::stol(name);
    if (times < 1) throw std::runtime_error("--keys wants unique, equal or a count");
    return {name, times};
}

std::vector<std::string> shuffledKeys(long rows, unsigned seed, const KeyShape& shape) {
    const long distinct = shape.times == 0 ? 1 : std::max(1L, rows / shape.times);
    std::vector<long> keys(static_cast<std::size_t>(rows));
    for (long i = 0; i < rows; ++i)
        keys[static_cast<std::size_t>(i)] = i % distinct;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    std::vector<std::string> out;
    out.reserve(keys.size());
    for (long k : keys)
        out.push_back("key" + std::to_string(k));
    return out;
}

// Ten keys of sixteen letters; variant v of key g writes letter b in capitals when bit b
// of v is set, so variant 0 is the exact key.
std::string caseVariant(int g, long v) {
    std::string s(16, static_cast<char>('a' + g));
    for (int b = 0; b < 16; ++b)
        if ((v >> b) & 1) s[static_cast<std::size_t>(b)] = static_cast<char>('A' + g);
    return s;
}

// Every record has the one key; File A's dates run on from 1/1/2000 with every third
// Null, File B's are all Null.
void makeNullTermTables(sqlite3* db, long rows) {
    execOrDie(db, "CREATE TABLE SSysCriteria (If_This TEXT(64), condition TEXT(32), "
                  "This TEXT(255), conjunction TEXT(3))");
    execOrDie(db, "INSERT INTO SSysCriteria VALUES ('code', 'is equal to', 'File B.code', 'and')");
    execOrDie(db, "INSERT INTO SSysCriteria VALUES ('d', 'is before', 'File B.d', '')");
    for (const char* table : {"Table1", "Table2", "\"Exported Data\""})
        execOrDie(db, std::string("CREATE TABLE ") + table +
                          " (code TEXT(20), name TEXT(40), d DATETIME)");
    execOrDie(db, "BEGIN");
    auto fill = [&](const char* table, long count, bool dated) {
        for (long i = 0; i < count; ++i)
            execOrDie(db, std::string("INSERT INTO ") + table + " VALUES ('key0', 'n" +
                              std::to_string(i) + "', " +
                              (dated && i % 3 ? std::to_string(36526 + i) : "NULL") + ")");
    };
    fill("Table1", rows, true);
    fill("Table2", kNullTermFileB, false);
    fill("\"Exported Data\"", kNullTermExported, true);
    execOrDie(db, "COMMIT");
}

// The tables of or-never and or-own (see above), the export file empty.
void makeOrTables(sqlite3* db, long rows, Data data) {
    execOrDie(db, "CREATE TABLE SSysCriteria (If_This TEXT(64), condition TEXT(32), "
                  "This TEXT(255), conjunction TEXT(3))");
    const auto rowsOf = [&](const char* first, const char* second) {
        execOrDie(db, std::string("INSERT INTO SSysCriteria VALUES (") + first + ", 'and')");
        execOrDie(db, std::string("INSERT INTO SSysCriteria VALUES (") + second + ", '')");
    };
    if (data == Data::OrNever) {
        rowsOf("'d', 'is after', 'File B.d'", "'d', 'is before', 'File B.d'");
    } else if (data == Data::OrNe) {
        rowsOf("'d', 'is equal to', 'File B.d'", "'d', 'is not equal to', 'File B.d'");
    } else if (data == Data::OrGreater) {
        rowsOf("'d', 'is equal to', 'File B.d'", "'n', 'is greater than', 'File B.n'");
    } else if (data == Data::OrAfter) {
        rowsOf("'n', 'is not equal to', 'File B.n'", "'d', 'is after', 'File B.d'");
    } else if (data == Data::OrYesNo) {
        rowsOf("'d', 'is equal to', 'File B.d'", "'b', 'is not equal to', 'File B.b'");
    } else {
        execOrDie(db,
                  "INSERT INTO SSysCriteria VALUES ('code', 'is equal to', 'File B.code', 'and')");
        execOrDie(db, "INSERT INTO SSysCriteria VALUES ('d', 'is equal to', 'File B.n', '')");
    }
    for (const char* table : {"Table1", "Table2", "\"Exported Data\""})
        execOrDie(db, std::string("CREATE TABLE ") + table +
                          " (code TEXT(20), name TEXT(40), d DATETIME, n DOUBLE" +
                          (data == Data::OrYesNo ? ", b BIT)" : ")"));
    execOrDie(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    auto insert = [&](const char* table) {
        sqlite3_finalize(st);
        sqlite3_prepare_v2(
            db,
            (std::string("INSERT INTO ") + table + " (code, name, d, n) VALUES (?1, ?2, ?3, ?4)")
                .c_str(),
            -1, &st, nullptr);
    };
    auto add = [&](const std::string& code, const std::string& name, std::optional<double> d,
                   std::optional<double> n) {
        sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        d ? sqlite3_bind_double(st, 3, *d) : sqlite3_bind_null(st, 3);
        n ? sqlite3_bind_double(st, 4, *n) : sqlite3_bind_null(st, 4);
        sqlite3_step(st);
        sqlite3_reset(st);
    };
    std::mt19937 random(3);
    if (data == Data::OrNever) {
        // File A's dates run on from 1/1/2000 with every third Null; File B's are all Null.
        insert("Table1");
        for (long i = 0; i < rows; ++i)
            add("key" + std::to_string(i), "a" + std::to_string(i),
                i % 3 ? std::optional<double>(36526 + i) : std::nullopt, std::nullopt);
        insert("Table2");
        for (long i = 0; i < rows; ++i)
            add("key" + std::to_string(i), "b" + std::to_string(i), std::nullopt, std::nullopt);
    } else if (data != Data::OrOwn) {
        // One day and one number in every record of both files, but File A's last record.
        const double day = 36526;
        insert("Table1");
        for (long i = 0; i < rows; ++i) {
            const bool last = i + 1 == rows;
            const double d = (data == Data::OrNe || data == Data::OrAfter) && last ? day + 1 : day;
            const bool numbered = data == Data::OrAfter || (data == Data::OrGreater && last);
            add("key" + std::to_string(i), "a" + std::to_string(i), d,
                numbered ? std::optional<double>(data == Data::OrAfter ? 6 : 1) : std::nullopt);
        }
        insert("Table2");
        for (long i = 0; i < rows; ++i)
            add("key" + std::to_string(i), "b" + std::to_string(i), day,
                data == Data::OrNe ? std::nullopt
                                   : std::optional<double>(data == Data::OrAfter ? 5 : 0));
        // or-yesno: every record True (stored as 1) but File A's last.
        if (data == Data::OrYesNo)
            execOrDie(db, "UPDATE Table1 SET b = rowid < (SELECT max(rowid) FROM Table1); "
                          "UPDATE Table2 SET b = 1");
    } else {
        // File A: the dates in a shuffled order, each once, every third Null.
        const long a = rows + kOrOwnSurplus;
        std::vector<long> days(static_cast<std::size_t>(a));
        std::iota(days.begin(), days.end(), 0L);
        std::shuffle(days.begin(), days.end(), random);
        insert("Table1");
        for (long i = 0; i < a; ++i)
            add("key" + std::to_string(i % kOrKeys), "a" + std::to_string(i),
                i % 3 ? std::optional<double>(
                            36526.0 + static_cast<double>(days[static_cast<std::size_t>(i)]))
                      : std::nullopt,
                std::nullopt);
        insert("Table2");
        for (long i = 0; i < rows; ++i)
            add("key" + std::to_string((i * 5) % kOrKeys), "b" + std::to_string(i), std::nullopt,
                std::nullopt);
    }
    sqlite3_finalize(st);
    execOrDie(db, "COMMIT");
}

// A working database with Table1, Table2, the criteria table and an empty export file.
// At `path`, unless a file is there.
std::string makeTemplateAt(const std::string& path, long rows, Data data, const KeyShape& shape) {
    if (fs::exists(path)) return path;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    if (data == Data::NullTerm) {
        makeNullTermTables(db, rows);
        sqlite3_close(db);
        return path;
    }
    if (data == Data::OrNever || data == Data::OrOwn || data == Data::OrNe ||
        data == Data::OrGreater || data == Data::OrAfter || data == Data::OrYesNo) {
        makeOrTables(db, rows, data);
        sqlite3_close(db);
        return path;
    }
    execOrDie(db, "CREATE TABLE SSysCriteria (If_This TEXT(64), condition TEXT(32), "
                  "This TEXT(255), conjunction TEXT(3))");
    execOrDie(db, "INSERT INTO SSysCriteria VALUES ('code', 'is equal to', 'File B.code', '')");
    execOrDie(db, "CREATE TABLE Table1 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "CREATE TABLE Table2 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "CREATE TABLE \"Exported Data\" (code TEXT(20), name TEXT(40))");
    execOrDie(db, "BEGIN");
    if (data == Data::CaseKeys) {
        // File A: every key in other cases first, the exact ten last; File B asks for the
        // exact keys in turn.
        std::vector<std::string> a, b;
        for (long i = 0; i < rows - 10; ++i)
            a.push_back(caseVariant(static_cast<int>(i % 10), i / 10 + 1));
        for (int g = 0; g < 10; ++g)
            a.push_back(caseVariant(g, 0));
        for (long i = 0; i < rows; ++i)
            b.push_back(caseVariant(static_cast<int>(i % 10), 0));
        insertRows(db, "Table1", a, "a");
        insertRows(db, "Table2", b, "b");
    } else {
        insertRows(db, "Table1", shuffledKeys(rows, 1, shape), "a");
        insertRows(db, "Table2", shuffledKeys(rows, data == Data::Lined ? 1 : 2, shape), "b");
    }
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

std::string templateName(Data data, const KeyShape& shape) {
    return std::string(dataName(data)) + "_" + shape.name;
}

std::string makeTemplate(long rows, Data data, const KeyShape& shape) {
    return makeTemplateAt(benchPath(templateName(data, shape), rows), rows, data, shape);
}

std::string freshCopy(long rows, Data data, const KeyShape& shape) {
    const auto from = makeTemplate(rows, data, shape);
    const auto to = benchPath("run", rows);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    return to;
}

long checkCount(const std::string& path, const RunKind& kind) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const long n = countOf(db, kind.check);
    sqlite3_close(db);
    return n;
}

// The records of a table, whatever their order: their number and a sum of their hashes.
struct Digest {
    long rows = 0;
    std::uint64_t sum = 0;
    bool operator==(const Digest&) const = default;
};

Digest digestOf(sqlite3* db, const std::string& table) {
    Digest d;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("SELECT * FROM " + table).c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::uint64_t h = 14695981039346656037ull;
        for (int col = 0, cols = sqlite3_column_count(st); col < cols; ++col) {
            // The storage class first: a Null and an empty text differ.
            h = (h ^ static_cast<unsigned>(sqlite3_column_type(st, col))) * 1099511628211ull;
            const auto* text = sqlite3_column_text(st, col);
            for (int i = 0, n = sqlite3_column_bytes(st, col); i < n; ++i)
                h = (h ^ text[i]) * 1099511628211ull;
            h = (h ^ 0xff) * 1099511628211ull;
        }
        ++d.rows;
        d.sum += h ^ (h >> 31);
    }
    sqlite3_finalize(st);
    return d;
}

// What both sides must leave: File A and the export file.
std::pair<Digest, Digest> recordsOf(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    auto out = std::pair(digestOf(db, "Table1"), digestOf(db, "\"Exported Data\""));
    sqlite3_close(db);
    return out;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One Process run, as "&Process" starts it after its checks; the seconds it took,
// through the commit of its last write, and in `queries` the SQLite statements it started.
double runProcess(const std::string& path, const RunKind& kind, std::uint64_t* queries = nullptr) {
    OkPrompter prompter;
    NoFilePicker files;
    NoEvents events;
    NoSettings settings;
    NoOpener opener;
    StillClock clock;
    Platform platform{prompter, files, events, settings, opener, clock};
    SharedState shared;
    Form4State form;
    Progress progress;
    NoControls controls;
    NoMainWindow mainWindow;
    ViewerWindows viewers;
    Registry registry;
    registerReplaceSteps(registry);
    registerDeleteSteps(registry);
    registerExportSteps(registry);
    registerFileAEvaluators(registry);
    registerFileBEvaluators(registry);
    shared.workDb = Engine::instance().openDatabase(path);
    shared.runMode = "2";
    Recordset criteria = shared.workDb.openRecordset("SSysCriteria", RecordsetType::Dynaset);
    Form4Choices& c = form.controls;
    c.option1 = false;
    c.option2 = true;
    c.combo7 = kind.method;
    c.combo8 = choice::DoNotAddRecords;
    switch (kind.action) {
    case Action::Replace:
        c.combo3 = choice::Replace;
        c.combo4 = "File A.name";
        c.combo5 = "File B.name";
        break;
    case Action::Delete:
        c.combo3 = choice::Delete;
        c.combo4 = choice::EntireRecordFromFileA;
        if (kind.data == Data::OrOwn) c.combo8 = choice::AddNewRecords;
        break;
    case Action::Export:
        c.combo3 = choice::Export;
        c.combo9Visible = true;
        c.combo9 = choice::EntireRecordFromFileA;
        c.list1 = {"code", "name"};
        c.list2 = {"code", "name"};
        c.list3 = {"File A.code", "File A.name", "File B.code", "File B.name"};
        c.list3Selected = {false, false, false, false};
        shared.exportFileOpen = "y";
        if (kind.data == Data::NullTerm) {
            c.combo8 = choice::AddNewRecords;
            c.list1 = c.list2 = {"code", "name", "d"};
            c.list3 = {"File A.code", "File A.name", "File A.d",
                       "File B.code", "File B.name", "File B.d"};
            c.list3Selected.assign(c.list3.size(), false);
        }
        break;
    }
    RunContext ctx{shared,   form.controls, form.run,   platform, progress,
                   criteria, controls,      mainWindow, viewers,  registry};

    const auto start = Clock::now();
    const std::uint64_t queriesBefore = shared.workDb.statementsRun();
    processTwo(ctx);
    shared.workDb.flush();
    const double secs = secondsSince(start);
    if (queries) *queries = shared.workDb.statementsRun() - queriesBefore;

    if (shared.stopFlag != "y" || !form.run.runFinished.starts_with("y"))
        throw std::runtime_error(kind.name + ": the run did not finish");
    criteria.close();
    shared.rsExportFile.close();
    shared.workDb.close();
    return secs;
}

double runStatement(const std::string& path, const RunKind& kind, const KeyShape& shape) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    detail::configureConnection(db); // the engine's settings: both sides work alike
    const auto start = Clock::now();
    execOrDie(db, shape.times == 1 || kind.repeatedStatement.empty() ? kind.statement
                                                                     : kind.repeatedStatement);
    const double secs = secondsSince(start);
    sqlite3_close(db);
    return secs;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// --- the comparisons

struct Pairs {
    std::vector<double> process, sql, ratio;
};

std::string describe(const std::pair<Digest, Digest>& r) {
    return std::to_string(r.first.rows) + " records in File A, " + std::to_string(r.second.rows) +
           " exported";
}

Pairs comparePairs(const RunKind& kind, const KeyShape& shape, long rows, int pairs) {
    Pairs out;
    for (int i = 0; i < pairs; ++i) {
        double p = 0, s = 0;
        std::pair<Digest, Digest> pRecords, sRecords;
        auto processSide = [&] {
            const auto path = freshCopy(rows, kind.data, shape);
            p = runProcess(path, kind);
            pRecords = recordsOf(path);
            fs::remove(path);
        };
        auto sqlSide = [&] {
            const auto path = freshCopy(rows, kind.data, shape);
            s = runStatement(path, kind, shape);
            sRecords = recordsOf(path);
            fs::remove(path);
        };
        // Each side goes first in turn, so a slow spell of the machine hits both alike.
        if (i % 2 == 0) {
            processSide();
            sqlSide();
        } else {
            sqlSide();
            processSide();
        }
        if (pRecords != sRecords)
            throw std::runtime_error(kind.name +
                                     ": the run and the statement leave other records (" +
                                     describe(pRecords) + " against " + describe(sRecords) + ")");
        out.process.push_back(p);
        out.sql.push_back(s);
        out.ratio.push_back(p / s);
        std::fprintf(stderr, "  %s %s %ld pair %d: %.3f s / %.3f s = %.2f\n", kind.name.c_str(),
                     shape.name.c_str(), rows, i + 1, p, s, p / s);
    }
    return out;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

const RunKind& kindNamed(const std::string& name) {
    if (name == kCaseKeys.name) return kCaseKeys;
    if (name == kNullTerm.name) return kNullTerm;
    if (name == kOrNever.name) return kOrNever;
    if (name == kOrOwn.name) return kOrOwn;
    for (const RunKind* k : {&kOrNe, &kOrGreater, &kOrAfter, &kOrYesNo})
        if (k->name == name) return *k;
    for (const auto& k : kRuns)
        if (k.name == name) return k;
    throw std::runtime_error("no run named " + name);
}

// A size's line up to its time's growth exponent against the size before (n log n is
// about 1.1); the caller ends the line.
class GrowthLine {
public:
    void print(const std::string& run, long rows, double secs) {
        std::printf("%-14s %9ld %12.4f", run.c_str(), rows, secs);
        if (prevRows_ > 0)
            std::printf(" %10.2f", std::log(secs / prevSecs_) /
                                       std::log(static_cast<double>(rows) / prevRows_));
        else
            std::printf(" %10s", "-");
        prevSecs_ = secs;
        prevRows_ = rows;
    }

private:
    double prevSecs_ = 0;
    long prevRows_ = 0;
};

void caseKeysGrowth(const std::vector<long>& sizes, int pairs) {
    std::printf("\n%-14s %9s %12s %10s\n", "run", "records", "seconds", "exponent");
    GrowthLine growth;
    for (long rows : sizes) {
        std::vector<double> times;
        for (int i = 0; i < pairs; ++i) {
            const auto path = freshCopy(rows, Data::CaseKeys, keyShapeNamed("unique"));
            times.push_back(runProcess(path, kCaseKeys));
            // Only the exact keys are replaced, never a case variant.
            if (checkCount(path, kCaseKeys) != 10)
                throw std::runtime_error("case-keys: a case variant was replaced");
            fs::remove(path);
        }
        growth.print(kCaseKeys.name, rows, median(times));
        std::printf("\n");
        std::fflush(stdout);
    }
}

// Each size's median time and growth, the SQLite statements a run started (the same in
// every run of a size) and what was exported.
void nullTermGrowth(const std::vector<long>& sizes, int pairs) {
    std::printf("\n%-14s %9s %12s %10s %12s %10s %16s\n", "run", "records", "seconds", "exponent",
                "statements", "exported", "digest");
    GrowthLine growth;
    for (long rows : sizes) {
        std::vector<double> times;
        std::uint64_t queries = 0;
        long exported = 0;
        std::uint64_t digest = 0;
        for (int i = 0; i < pairs; ++i) {
            const auto path = freshCopy(rows, Data::NullTerm, keyShapeNamed("equal"));
            times.push_back(runProcess(path, kNullTerm, &queries));
            exported = checkCount(path, kNullTerm);
            digest = recordsOf(path).second.sum;
            fs::remove(path);
        }
        growth.print(kNullTerm.name, rows, median(times));
        std::printf(" %12llu %10ld %016llx\n", static_cast<unsigned long long>(queries), exported,
                    static_cast<unsigned long long>(digest));
        std::fflush(stdout);
        fs::remove(benchPath(templateName(Data::NullTerm, keyShapeNamed("equal")), rows));
    }
}

// --- or-never and or-own: this build against another, each run a process of its own

// One run on a copy of a made template: its seconds and the records it left, on one line.
int runOneDigest(const std::string& name, long rows, const std::string& madeTemplate) {
    const RunKind& kind = kindNamed(name);
    const auto path = benchPath("run", rows);
    fs::copy_file(madeTemplate, path, fs::copy_options::overwrite_existing);
    const double secs = runProcess(path, kind);
    const auto r = recordsOf(path);
    fs::remove(path);
    std::printf("%.6f %ld %llu %ld %llu\n", secs, r.first.rows,
                static_cast<unsigned long long>(r.first.sum), r.second.rows,
                static_cast<unsigned long long>(r.second.sum));
    return 0;
}

struct SideRun {
    double secs = 0;
    std::pair<Digest, Digest> records;
};

SideRun runSide(const std::string& program, const std::string& name, long rows,
                const std::string& madeTemplate) {
    const std::string command = "'" + program + "' --one-digest " + name + " " +
                                std::to_string(rows) + " '" + madeTemplate + "'";
    FILE* out = ::popen(command.c_str(), "r");
    if (!out) throw std::runtime_error("cannot start " + program);
    SideRun r;
    unsigned long long a = 0, e = 0;
    const int read = std::fscanf(out, "%lf %ld %llu %ld %llu", &r.secs, &r.records.first.rows, &a,
                                 &r.records.second.rows, &e);
    if (::pclose(out) != 0 || read != 5)
        throw std::runtime_error(program + " gave no result for " + name);
    r.records.first.sum = a;
    r.records.second.sum = e;
    return r;
}

// Each size's median time of this build and, up to oldMax records, of the other, their
// ratio and this build's growth exponent; every run must leave the statement's records.
void orGrowth(const RunKind& kind, const std::vector<long>& sizes, int pairs,
              const std::string& self, const std::string& old, long oldMax) {
    std::printf("\n%-14s %9s %12s %10s %12s %10s %10s %12s\n", "run", "records", "this s",
                "exponent", "other s", "other/this", "File A", "statement s");
    GrowthLine growth;
    const KeyShape unique = keyShapeNamed("unique");
    for (long rows : sizes) {
        const auto made = makeTemplate(rows, kind.data, unique);
        const auto expectedPath = benchPath("expected", rows);
        fs::copy_file(made, expectedPath, fs::copy_options::overwrite_existing);
        const double statementSecs = runStatement(expectedPath, kind, unique);
        const auto expected = recordsOf(expectedPath);
        fs::remove(expectedPath);
        const bool withOld = !old.empty() && rows <= oldMax;
        std::vector<double> mine, theirs;
        for (int i = 0; i < pairs; ++i) {
            auto check = [&](const SideRun& r, const std::string& who) {
                if (r.records != expected)
                    throw std::runtime_error(kind.name + " " + std::to_string(rows) + ": " + who +
                                             " leaves " + describe(r.records) + ", the statement " +
                                             describe(expected));
            };
            auto mineSide = [&] {
                const SideRun r = runSide(self, kind.name, rows, made);
                check(r, "this build");
                mine.push_back(r.secs);
            };
            auto oldSide = [&] {
                const SideRun r = runSide(old, kind.name, rows, made);
                check(r, "the other build");
                theirs.push_back(r.secs);
            };
            if (withOld && i % 2 == 1) oldSide();
            mineSide();
            if (withOld && i % 2 == 0) oldSide();
            std::fprintf(stderr, "  %s %ld pair %d: %.3f s / %s\n", kind.name.c_str(), rows, i + 1,
                         mine.back(),
                         withOld ? (std::to_string(theirs.back()) + " s").c_str() : "-");
        }
        growth.print(kind.name, rows, median(mine));
        if (withOld)
            std::printf(" %12.4f %9.1fx", median(theirs), median(theirs) / median(mine));
        else
            std::printf(" %12s %10s", "-", "-");
        std::printf(" %10ld %12.4f\n", expected.first.rows, statementSecs);
        std::fflush(stdout);
        fs::remove(made);
    }
}

// A template made by --make, so that making the data is not in this process's peak memory.
int runOne(const std::string& name, const KeyShape& shape, long rows, const std::string& side,
           const std::string& madeTemplate) {
    const RunKind& kind = kindNamed(name);
    const auto path =
        madeTemplate.empty() ? freshCopy(rows, kind.data, shape) : benchPath("run", rows);
    if (!madeTemplate.empty())
        fs::copy_file(madeTemplate, path, fs::copy_options::overwrite_existing);
    const double secs = side == "sqlite" ? runStatement(path, kind, shape) : runProcess(path, kind);
    std::printf("%s %s %ld %s: %.3f s, count %ld\n", name.c_str(), shape.name.c_str(), rows,
                side.c_str(), secs, checkCount(path, kind));
    fs::remove(path);
    fs::remove(benchPath(templateName(kind.data, shape), rows));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The engine sets SQLite up before the data is made; the plain statements run under
    // the same settings.
    Engine::instance();
    int pairs = 5;
    std::vector<long> sizes = {10000, 100000, 1000000};
    std::vector<long> caseSizes = {1000, 4000, 16000, 64000};
    std::vector<long> nullSizes = {1000, 4000, 16000, 64000};
    std::vector<long> orSizes = {1000, 2000, 4000, 8000, 16000, 32000, 64000};
    std::string old;
    long oldMax = 4000;
    std::vector<std::string> runs = {
        "replace-first", "replace-all", "delete-first", "export", "delete-all", "replace-parallel",
        "case-keys",     "null-term",   "or-never",     "or-own", "or-ne",      "or-greater",
        "or-after",      "or-yesno"};
    std::vector<KeyShape> shapes = {keyShapeNamed("unique")};
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            auto next = [&]() -> std::string {
                if (i + 1 >= argc) throw std::runtime_error(a + " wants a value");
                return argv[++i];
            };
            if (a == "--one" && i + 3 < argc)
                return runOne(argv[i + 1], shapes.front(), std::stol(argv[i + 2]), argv[i + 3],
                              i + 4 < argc ? argv[i + 4] : "");
            if (a == "--one-digest" && i + 3 < argc)
                return runOneDigest(argv[i + 1], std::stol(argv[i + 2]), argv[i + 3]);
            if (a == "--make" && i + 3 < argc) {
                makeTemplateAt(argv[i + 3], std::stol(argv[i + 2]), kindNamed(argv[i + 1]).data,
                               shapes.front());
                return 0;
            }
            if (a == "--pairs") {
                pairs = std::stoi(next());
            } else if (a == "--sizes") {
                sizes.clear();
                for (const auto& s : splitList(next()))
                    sizes.push_back(std::stol(s));
            } else if (a == "--case-sizes") {
                caseSizes.clear();
                for (const auto& s : splitList(next()))
                    caseSizes.push_back(std::stol(s));
            } else if (a == "--null-sizes") {
                nullSizes.clear();
                for (const auto& s : splitList(next()))
                    nullSizes.push_back(std::stol(s));
            } else if (a == "--or-sizes") {
                orSizes.clear();
                for (const auto& s : splitList(next()))
                    orSizes.push_back(std::stol(s));
            } else if (a == "--old") {
                old = next();
            } else if (a == "--old-max") {
                oldMax = std::stol(next());
            } else if (a == "--runs") {
                runs = splitList(next());
            } else if (a == "--keys") {
                shapes.clear();
                for (const auto& k : splitList(next()))
                    shapes.push_back(keyShapeNamed(k));
                if (shapes.empty()) throw std::runtime_error("--keys wants a shape");
            } else {
                throw std::runtime_error("unknown option " + a);
            }
        }

        std::printf("%-14s %7s %9s %6s %11s %11s %9s %17s %10s\n", "run", "keys", "records",
                    "pairs", "run s", "SQLite s", "ratio", "spread", "growth");
        for (const auto& name : runs) {
            if (name == kCaseKeys.name || name == kNullTerm.name || name.starts_with("or-"))
                continue;
            const RunKind& kind = kindNamed(name);
            for (const KeyShape& shape : shapes) {
                double prev = 0;
                long prevRows = 0;
                for (long rows : sizes) {
                    const Pairs p = comparePairs(kind, shape, rows, pairs);
                    const double secs = median(p.process);
                    std::printf("%-14s %7s %9ld %6d %11.4f %11.4f %9.2f %8.2f - %6.2f",
                                name.c_str(), shape.name.c_str(), rows, pairs, secs, median(p.sql),
                                median(p.ratio), *std::min_element(p.ratio.begin(), p.ratio.end()),
                                *std::max_element(p.ratio.begin(), p.ratio.end()));
                    // Growth per tenfold: n log n is about 11.5 to 12.5.
                    if (prevRows > 0)
                        std::printf(" %9.1fx\n", secs / prev);
                    else
                        std::printf(" %10s\n", "-");
                    std::fflush(stdout);
                    prev = secs;
                    prevRows = rows;
                }
            }
        }
        if (std::find(runs.begin(), runs.end(), kCaseKeys.name) != runs.end())
            caseKeysGrowth(caseSizes, pairs);
        if (std::find(runs.begin(), runs.end(), kNullTerm.name) != runs.end())
            nullTermGrowth(nullSizes, pairs);
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        for (const RunKind* kind : {&kOrNever, &kOrOwn, &kOrNe, &kOrGreater, &kOrAfter, &kOrYesNo})
            if (std::find(runs.begin(), runs.end(), kind->name) != runs.end())
                orGrowth(*kind, orSizes, pairs, self, old, oldMax);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "process_bench: %s\n", e.what());
        return 1;
    }
    for (long n : sizes)
        for (const KeyShape& shape : shapes) {
            fs::remove(benchPath(templateName(Data::Shuffled, shape), n));
            fs::remove(benchPath(templateName(Data::Lined, shape), n));
        }
    for (long n : caseSizes)
        fs::remove(benchPath(templateName(Data::CaseKeys, keyShapeNamed("unique")), n));
    return 0;
}
