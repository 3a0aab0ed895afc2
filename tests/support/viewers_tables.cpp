#include "support/viewers_tables.h"

#include "value/convert.h"

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
    Recordset rs =
        db.openRecordset("SELECT * FROM [" + table + "] ORDER BY ID", RecordsetType::Dynaset);
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
    const std::string t = "[" + name + "]";
    db.execute("CREATE TABLE " + t + " (ID LONG, Name TEXT(20))");
    // Seed an odd core, then double it until the count is reached.
    long seed = rows;
    int doublings = 0;
    while (seed % 2 == 0 && seed > 1000) {
        seed /= 2;
        ++doublings;
    }
    for (long i = 1; i <= seed; ++i)
        db.execute("INSERT INTO " + t + " VALUES (" + std::to_string(i) + ", 'Row " +
                   std::to_string(i) + "')");
    long have = seed;
    for (int d = 0; d < doublings; ++d) {
        db.execute("INSERT INTO " + t + " (ID, Name) SELECT ID + " + std::to_string(have) +
                   ", Name FROM " + t);
        have *= 2;
    }
}

std::string cellOf(const Value& v) {
    return textOrBlank(v);
}

} // namespace varnoke::test
