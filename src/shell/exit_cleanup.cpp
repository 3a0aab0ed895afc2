#include "shell/exit_cleanup.h"

#include "dialog/file_attacher.h"
#include "engine/sql_name.h"
#include "shell/shell_commands.h"
#include "shell/table_names.h"

#include <optional>

namespace varnoke {

std::vector<std::string> exitCleanup(SharedState& state, Prompter& prompter) {
    for (Recordset* rs : {&state.rsFileA, &state.rsFileB, &state.rsExportFile, &state.rsExportTable,
                          &state.rsOpenedTable, &state.rsRemoteQuery})
        rs->close();
    std::vector<std::string> emptied;
    if (!state.workDb.isOpen()) return emptied;
    if (const std::string left = dropTransientTables(state.workDb); !left.empty())
        prompter.messageBox(left, msgbox::Exclamation);
    std::vector<std::string> names;
    try {
        TableDefs tables = state.workDb.tableDefs();
        tables.refresh();
        for (const TableDef& table : tables)
            if (emptiedAtExit(table.name())) names.push_back(table.name());
    } catch (const RuntimeError&) {
        // Nothing can be emptied without the table list; the database still closes.
    }
    for (const std::string& name : names) {
        try {
            state.workDb.execute("Delete * from " + bracketName(name));
            emptied.push_back(name);
        } catch (const RuntimeError&) {
            // A locked table keeps its rows; the others are still emptied.
        }
    }
    std::optional<RuntimeError> failed;
    try {
        state.workDb.flush();
    } catch (const RuntimeError& e) {
        failed = e;
        state.workDb.forgetLostWrites(); // told below
    }
    try {
        // Emptied tables leave their room in the file; giving it back keeps the
        // working database small between runs.
        state.workDb.compact();
    } catch (const RuntimeError& e) {
        if (!failed) failed = e;
    }
    try {
        state.workDb.close();
    } catch (const RuntimeError& e) {
        if (!failed) failed = e;
    }
    state.workDb = Database();
    if (failed)
        prompter.messageBox(errorReport(*failed), msgbox::OkOnly | msgbox::Exclamation,
                            kSorryTitle);
    return emptied;
}

} // namespace varnoke
