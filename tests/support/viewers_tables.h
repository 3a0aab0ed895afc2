#pragma once
// Working databases with small known tables for the grid viewer tests.
#include "engine/engine.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace varnoke::test {

// A fresh copy of the working database holding Table1 with five people:
// ID  Name     Amount  Joined
//  1  Korvath   100    1/16/1999
//  2  Anna      250.5  8/7/2000
//  3  Bertil     75    11/3/2000
//  4  korvik   1000    3/1/2001
//  5  Zed         0    (Null)
class ViewerDb {
public:
    ViewerDb();
    Database db;

    Recordset open(const std::string& source, RecordsetType type = RecordsetType::Dynaset) {
        return db.openRecordset(source, type);
    }
    // Values of one column of a table, read afresh through a new recordset, in the
    // order of an ORDER BY on ID.
    std::vector<std::string> column(const std::string& table, const std::string& field);
    long count(const std::string& table);

private:
    TempDir dir_;
};

// Adds a table named name with the fields ID (long) and Name (text) holding rows rows:
// ID 1..rows, Name "Row " and the ID.
void makeNumberedTable(Database& db, const std::string& name, long rows);

// The text of a value as a grid cell shows it.
std::string cellOf(const Value& v);

} // namespace varnoke::test
