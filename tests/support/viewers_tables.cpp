#include "support/viewers_tables.h"

#include "engine/sql_name.h"
#include "value/convert.h"

#include <algorithm>

namespace varnoke::test {

ViewerDb::ViewerDb() {
    db = Engine::instance().openDatabase(dir_.copyWorkDb());
    db.execute("CREATE TABLE Table1 (ID LONG, Name TEXT(30), Amount DOUBLE, Joined DATETIME)");
    db.execute("INSERT INTO Table1 VALUES (1, 'Korvath', 100, #1/16/1999#)");
    db.execute("INSERT INTO Table1 VALUES (2, 'Anna', 250.5, #8/7/2000#)");
    db.execute("INSERT INTO Table1 VALUES (3, 'Bertil', 75, #11/3/2000#)");
    db.execute("INSERT INTO Table1 VALUES (4, 'korvik', 1000, #3/1/2001#)");
    db.execute("INSERT INTO Table1 VALUES (5, 'Zed', 0, Null)");
}

std::vector<std::string> ViewerDb::column(const std::string& table, const std::string& field) {
    Recordset rs = db.openRecordset("SELECT * FROM " + bracketName(table) + " ORDER BY ID",
                                    RecordsetType::Dynaset);
    std::vector<std::string> out;
    while (!rs.eof()) {
        out.push_back(cellOf(rs.value(field)));
        rs.moveNext();
    }
    rs.close();
    return out;
}

long ViewerDb::count(const std::string& table) {
    Recordset rs = db.openRecordset(table, RecordsetType::Dynaset);
    const long n = rs.recordCount();
    rs.close();
    return n;
}

void makeNumberedTable(Database& db, const std::string& name, long rows) {
    const std::string t = bracketName(name);
    db.execute("CREATE TABLE " + t + " (ID LONG, Name TEXT(20))");
    db.execute("INSERT INTO " + t + " VALUES (1, 'Row 1')");
    // Each statement copies up to all rows so far under new numbers: a few statements
    // instead of one per row.
    for (long have = 1; have < rows;) {
        const long add = std::min(have, rows - have);
        const std::string shift = std::to_string(have);
        db.execute("INSERT INTO " + t + " (ID, Name) SELECT ID + " + shift + ", 'Row ' & (ID + " +
                   shift + ") FROM " + t + " WHERE ID <= " + std::to_string(add));
        have += add;
    }
}

std::string cellOf(const Value& v) {
    return textOrBlank(v);
}

} // namespace varnoke::test
