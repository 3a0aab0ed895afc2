#include "queries/remote_temp.h"

namespace varnoke {

void rebuildTemp(Database& db, const RemoteResult& result) {
    TableDef def = db.createTableDef(std::string(kRemoteResultTable));
    for (const RemoteField& field : result.fields)
        def.appendField(def.createField(field.name, field.type, field.size));

    TableDefs tables = db.tableDefs();
    if (tables.contains(kRemoteResultTable)) tables.remove(kRemoteResultTable);
    tables.append(def);

    Recordset temp = db.openRecordset(kRemoteResultTable, RecordsetType::Table);
    for (const std::vector<Value>& row : result.rows) {
        temp.addNew();
        for (std::size_t i = 0; i < row.size(); ++i)
            if (!row[i].isNull()) temp.field(static_cast<int>(i)).setValue(row[i]);
        temp.update();
    }
    temp.close();
    db.flush();
}

} // namespace varnoke
