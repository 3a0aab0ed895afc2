#include "queries/remote_temp.h"

namespace varnoke {

namespace {
// The rows are written beside Temp first, so a failure part way leaves the old result
// whole. The "MSys" prefix keeps the table out of the table lists and the exit clean-up.
constexpr std::string_view kStagedResultTable = "MSysRemoteResult";

void dropIfPresent(Database& db, std::string_view name) {
    TableDefs tables = db.tableDefs();
    if (tables.contains(name)) tables.remove(name);
}
} // namespace

void rebuildTemp(Database& db, const RemoteResult& result) {
    dropIfPresent(db, kStagedResultTable);
    TableDef def = db.createTableDef(std::string(kStagedResultTable));
    for (const RemoteField& field : result.fields)
        def.appendField(def.createField(field.name, field.type, field.size));
    db.tableDefs().append(def);

    try {
        Recordset staged = db.openRecordset(kStagedResultTable, RecordsetType::Table);
        for (const std::vector<Value>& row : result.rows) {
            staged.addNew();
            for (std::size_t i = 0; i < row.size(); ++i)
                if (!row[i].isNull()) staged.field(static_cast<int>(i)).setValue(row[i]);
            staged.update();
        }
        staged.close();
        db.replaceTable(kRemoteResultTable, kStagedResultTable);
    } catch (...) {
        try {
            dropIfPresent(db, kStagedResultTable);
        } catch (...) {
            // The first failure is the one to report; a leftover staged table is
            // dropped by the next rebuild.
        }
        throw;
    }
}

} // namespace varnoke
