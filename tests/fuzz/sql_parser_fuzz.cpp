// The dialect's parser and renderer on users' texts. The first byte picks what the rest
// is: a find, a filter, a sort, a statement to explain, a find to explain, a query to
// open, or a statement to execute. Each runs against a real working database built from
// the shipped schema plus a table of every field type. The engine's own errors are the
// expected end of a bad text; any other error leaving the engine is a finding, and so is
// any change to a table or a row of the database.
//
// A statement to execute runs on two scratch copies of that table, with the same texts
// changed after it (one statement shape, other values): on the first through one handle,
// which keeps the statements it has run by their shape, on the second through a new
// handle each time, which cannot. A different count, error or row between the copies is
// a finding. A find is compared the same way: with its texts changed, on the recordset
// that keeps its finds by their shape and on a new recordset for each, which cannot.
#include "engine/engine.h"
#include "engine/find_shape.h"
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

std::string makeDb(const std::string& file, const std::string& schema) {
    char folder[] = "/tmp/varnoke_sqlfuzz_XXXXXX";
    if (!::mkdtemp(folder)) finding("no temporary folder");
    const std::string path = std::string(folder) + "/" + file;
    sqlite3* db = nullptr;
    char* err = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &err) != SQLITE_OK)
        finding("schema: " + std::string(err ? err : "open failed"));
    sqlite3_close(db);
    return path;
}

std::string makeWorkDb() {
    std::ifstream in(VARNOKE_SCHEMA_SQL);
    std::stringstream schema;
    schema << in.rdbuf();
    return makeDb("varnoker.mdb", schema.str());
}

const char* const kPeople =
    "CREATE TABLE People (Id LONG, Name TEXT(50), City TEXT(30), Born DATETIME, "
    "Score DOUBLE, Paid CURRENCY, Ok BIT, Age BYTE, Note MEMO, [Price [USD]]] SINGLE)";
const char* const kPeopleRows[] = {
    "INSERT INTO People VALUES (1, 'Ann', 'Oslo', #1/2/2003#, 1.5, 10, True, 30, 'note', 2.5)",
    "INSERT INTO People VALUES (2, 'Bob', 'Rome', #3/4/1999#, 2, 0, False, 41, Null, 0)",
    "INSERT INTO People VALUES (3, 'O''Brien', Null, Null, 3, Null, Null, Null, '', Null)",
    "INSERT INTO People (Id, Name) VALUES (4, 'ann')",
};

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
        db.execute(kPeople);
        for (const char* row : kPeopleRows)
            db.execute(row);
        db.createQueryDef("Oslo people", "SELECT * FROM People WHERE City = 'Oslo'");
        db.flush();
        made->people = db.openRecordset("People", RecordsetType::Dynaset);
        made->before = fingerprint(db, made->raw);
        return made;
    }();
    return *w;
}

// One scratch copy of People: the handle statements run through, a reader of its own,
// and a recordset kept open on the table, which must hear of deleted rows. Open on the
// table in stored order, it lends its key index to the statements; sorted, it cannot.
struct Scratch {
    std::string path;
    Database db;
    sqlite3* raw = nullptr;
    Recordset open;
    bool hasOpen = false;
    const char* source = "People";

    void make(const std::string& file) {
        path = makeDb(file, "");
        db = Engine::instance().openDatabase(path);
        db.execute(kPeople);
        for (const char* row : kPeopleRows)
            db.execute(row);
        if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            finding("cannot open a scratch database a second time");
        open = db.openRecordset(source, RecordsetType::Dynaset);
        hasOpen = true;
    }
    void drop() {
        if (hasOpen) open.close();
        hasOpen = false;
        db.close();
        sqlite3_close(raw);
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    }
};

struct Pair {
    Scratch kept;  // statements through one handle, kept by their shape
    Scratch fresh; // statements through a new handle each time
    long runs = 0;
};

Pair& pair() {
    static Pair* p = [] {
        auto* made = new Pair;
        made->fresh.source = "SELECT * FROM People ORDER BY Id";
        made->kept.make("kept.mdb");
        made->fresh.make("fresh.mdb");
        return made;
    }();
    return *p;
}

// The result of one execute: the count, or the engine's error number.
std::string outcome(Database& db, const std::string& sql) {
    try {
        return "count " + std::to_string(db.execute(sql));
    } catch (const EngineError& e) {
        return "error " + std::to_string(e.number());
    }
}

// The statement with its texts in their places, each given by `replace`.
template <typename F> std::string withTexts(const FindShape& shape, F replace) {
    std::string out;
    std::size_t text = 0;
    for (std::size_t i = 0; i < shape.key.size(); ++i) {
        if (shape.key[i] != '\x01') {
            out += shape.key[i];
            continue;
        }
        const char quote = shape.key[++i];
        out += quote;
        for (char c : replace(text++)) {
            out += c;
            if (c == quote) out += quote;
        }
        out += quote;
    }
    return out;
}

// Whether the text names Now or Date as a word of its own: they read the clock, which
// may move between the two sides.
bool readsTheClock(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto isWordChar = [&](std::size_t i) {
        return i < lower.size() &&
               (std::isalnum(static_cast<unsigned char>(lower[i])) || lower[i] == '_');
    };
    for (std::string_view word : {"now", "date"}) {
        for (auto at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1))
            if ((at == 0 || !isWordChar(at - 1)) && !isWordChar(at + word.size())) return true;
    }
    return false;
}

void executeBoth(std::string_view text, bool rotate) {
    if (readsTheClock(text)) return;
    Pair& p = pair();
    std::vector<std::string> statements{std::string(text)};
    if (auto shape = findShape(text); shape && !shape->texts.empty()) {
        const auto& texts = shape->texts;
        statements.push_back(withTexts(*shape, [&](std::size_t i) {
            return rotate ? texts[(i + 1) % texts.size()] : texts[i] + "b";
        }));
        statements.push_back(withTexts(*shape, [&](std::size_t i) { return texts[i]; }));
    }
    for (const auto& sql : statements) {
        const std::string kept = outcome(p.kept.db, sql);
        Database once = Engine::instance().openDatabase(p.fresh.path);
        const std::string fresh = outcome(once, sql);
        if (kept != fresh)
            finding("'" + sql + "': " + kept + " through a kept statement, " + fresh);
    }
    if (p.kept.hasOpen && p.fresh.hasOpen &&
        p.kept.open.recordCount() != p.fresh.open.recordCount())
        finding("the open recordsets hold different counts after '" + std::string(text) + "'");
    if (fingerprint(p.kept.db, p.kept.raw) != fingerprint(p.fresh.db, p.fresh.raw))
        finding("the two copies differ after '" + std::string(text) + "'");
    // Fresh copies now and then, so that rows and tables made by statements stay few.
    if (++p.runs % 200 == 0) {
        p.kept.drop();
        p.fresh.drop();
        p.kept.make("kept.mdb");
        p.fresh.make("fresh.mdb");
    }
}

// Where a find and its repeats land, forwards and backwards, or the error that ends them.
std::string landings(Recordset& rs, const std::string& text) {
    std::string out;
    try {
        for (const bool back : {false, true}) {
            back ? rs.findLast(text) : rs.findFirst(text);
            for (int n = 0; !rs.noMatch() && n < 6; ++n) {
                out += std::to_string(rs.absolutePosition()) + " ";
                back ? rs.findPrevious(text) : rs.findNext(text);
            }
            out += "|";
        }
    } catch (const EngineError& e) {
        out += "error " + std::to_string(e.number());
    }
    return out;
}

void findBoth(World& w, std::string_view text) {
    const auto shape = findShape(text);
    if (!shape || shape->texts.empty() || readsTheClock(text)) return;
    const auto& texts = shape->texts;
    const std::string finds[] = {
        withTexts(*shape, [&](std::size_t i) { return texts[(i + 1) % texts.size()]; }),
        withTexts(*shape, [&](std::size_t i) { return texts[i] + "n"; }), std::string(text)};
    for (const auto& find : finds) {
        Recordset once = w.db.openRecordset("People", RecordsetType::Dynaset);
        const std::string fresh = landings(once, find);
        const std::string kept = landings(w.people, find);
        if (kept != fresh) finding("'" + find + "': " + kept + " by its kept shape, " + fresh);
    }
}

void readAll(Recordset& rs) {
    for (int n = 0; !rs.eof() && n < 50; ++n) {
        for (int i = 0; i < rs.fieldCount(); ++i)
            (void)rs.field(i).value();
        rs.moveNext();
    }
}

void run(World& w, unsigned char op, std::string_view text) {
    switch (op % 8) {
    case 0:
        w.people.findFirst(text);
        if (!w.people.noMatch()) {
            // A found record may answer some fields without reading its row.
            for (int i = 0; i < w.people.fieldCount(); ++i)
                (void)w.people.field(i).value();
            w.people.findNext(text);
        }
        findBoth(w, text);
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
    case 5: {
        Recordset rs = w.db.openRecordset(text, RecordsetType::Snapshot);
        readAll(rs);
        rs.close();
        break;
    }
    default:
        executeBoth(text, op % 8 == 7);
        break;
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
