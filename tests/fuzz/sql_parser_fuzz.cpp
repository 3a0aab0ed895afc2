// The dialect's parser and renderer on users' texts. The first byte picks what the rest
// is: a find, a filter, a sort, a statement to explain, a find to explain, or a query to
// open. Each runs against a real working database built from the shipped schema plus a
// table of every field type. The engine's own errors are the expected end of a bad
// text; any other error leaving the engine is a finding, and so is any change to a table
// or a row of the database.
#include "engine/engine.h"
#include "value/convert.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace varnoke;

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

std::string makeWorkDb() {
    char folder[] = "/tmp/varnoke_sqlfuzz_XXXXXX";
    if (!::mkdtemp(folder)) finding("no temporary folder");
    const std::string path = std::string(folder) + "/varnoker.mdb";
    std::ifstream in(VARNOKE_SCHEMA_SQL);
    std::stringstream schema;
    schema << in.rdbuf();
    sqlite3* db = nullptr;
    char* err = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, &err) != SQLITE_OK)
        finding("schema: " + std::string(err ? err : "open failed"));
    sqlite3_close(db);
    return path;
}

// Every table of the database file, the engine's own included, read through a
// connection of our own after the engine has committed what it gathered: the schema,
// then every row of every table.
std::string fingerprint(Database& db, sqlite3* raw) {
    db.flush();
    std::string out;
    auto dump = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            finding("cannot read the database: " + std::string(sqlite3_errmsg(raw)));
        while (sqlite3_step(st) == SQLITE_ROW) {
            out += "\n";
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* text = sqlite3_column_text(st, i);
                out += std::to_string(sqlite3_column_type(st, i)) + ":" +
                       (text ? reinterpret_cast<const char*>(text) : "") + "|";
            }
        }
        sqlite3_finalize(st);
    };
    std::vector<std::string> tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                       &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    // Indexes are left out: the engine indexes a column the first time it is searched.
    dump("SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name");
    for (const auto& t : tables) {
        std::string quoted = "\"";
        for (char c : t)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        dump("SELECT * FROM " + quoted + "\" ORDER BY rowid");
    }
    return out;
}

struct World {
    sqlite3* raw = nullptr;
    Database db;
    Recordset people;
    std::string before;
};

World& world() {
    static World* w = [] {
        auto* made = new World;
        const std::string path = makeWorkDb();
        made->db = Engine::instance().openDatabase(path);
        if (sqlite3_open_v2(path.c_str(), &made->raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            finding("cannot open the database a second time");
        Database& db = made->db;
        db.execute("CREATE TABLE People (Id LONG, Name TEXT(50), City TEXT(30), Born DATETIME, "
                   "Score DOUBLE, Paid CURRENCY, Ok BIT, Age BYTE, Note MEMO, [Price [USD]]] "
                   "SINGLE)");
        db.execute("INSERT INTO People VALUES (1, 'Ann', 'Oslo', #1/2/2003#, 1.5, 10, True, 30, "
                   "'note', 2.5)");
        db.execute("INSERT INTO People VALUES (2, 'Bob', 'Rome', #3/4/1999#, 2, 0, False, 41, "
                   "Null, 0)");
        db.execute("INSERT INTO People VALUES (3, 'O''Brien', Null, Null, 3, Null, Null, Null, "
                   "'', Null)");
        db.execute("INSERT INTO People (Id, Name) VALUES (4, 'ann')");
        db.createQueryDef("Oslo people", "SELECT * FROM People WHERE City = 'Oslo'");
        db.flush();
        made->people = db.openRecordset("People", RecordsetType::Dynaset);
        made->before = fingerprint(db, made->raw);
        return made;
    }();
    return *w;
}

void readAll(Recordset& rs) {
    for (int n = 0; !rs.eof() && n < 50; ++n) {
        for (int i = 0; i < rs.fieldCount(); ++i)
            (void)rs.field(i).value();
        rs.moveNext();
    }
}

void run(World& w, unsigned char op, std::string_view text) {
    switch (op % 6) {
    case 0:
        w.people.findFirst(text);
        if (!w.people.noMatch()) w.people.findNext(text);
        break;
    case 1: {
        Recordset rs = w.people.openFiltered(text);
        readAll(rs);
        rs.close();
        break;
    }
    case 2: {
        Recordset rs = w.people.openSorted(text);
        readAll(rs);
        rs.close();
        break;
    }
    case 3:
        (void)w.db.explainStatement(text);
        break;
    case 4:
        (void)w.people.explainFind(text);
        break;
    default: {
        Recordset rs = w.db.openRecordset(text, RecordsetType::Snapshot);
        readAll(rs);
        rs.close();
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    World& w = world();
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        run(w, data[0], text);
    } catch (const EngineError&) {
    } catch (const std::exception& e) {
        finding(std::string("an error other than the engine's left it: ") + e.what());
    }
    if (fingerprint(w.db, w.raw) != w.before) finding("the working database changed");
    return 0;
}
