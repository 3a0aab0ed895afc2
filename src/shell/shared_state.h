#pragma once
// The values every window of the program shares: the working database, the recordsets
// the grid windows show, the files being compared, the menus' modes, run totals and
// flags. One instance lives in main() for the whole run and is handed to each window
// by reference; nothing here is saved between runs.
//
// A flag is the text "y" or empty; a few also take "n". Only "y" counts as set, and
// readers compare it exactly (use isSet()).
#include "engine/engine.h"

#include <string>
#include <string_view>

namespace varnoke {

inline constexpr std::string_view kFlagYes = "y";
inline constexpr std::string_view kFlagNo = "n";

inline bool isSet(std::string_view flag) {
    return flag == kFlagYes;
}

struct SharedState {
    SharedState() = default;
    // Windows hold references into it, and the recordsets are shared handles: a copy
    // would silently split the program's state in two.
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    // --- the working database
    Engine& dbEngine = Engine::instance();
    std::string workDbPath; // full path of "varnoker.mdb", found at start-up
    Database workDb;        // open from start-up until the exit clean-up

    // Answer of the last message box a procedure keeps for its own next step
    // (answer:: codes); 0 before any.
    int msgAnswer = 0;

    // --- the comparison dialog's files
    std::string runMode;   // "1" fields in one database, "2" in two databases
    std::string fileAName; // flag: File A is linked and copied as Table1
    std::string fileBName; // flag: File B is linked and copied as Table2
    std::string fileAPath;
    std::string fileBPath;
    std::string exportFilePath;
    std::string attachTableName;               // "Table1", "Table2" or "Exported Data"
    std::string& attachName = attachTableName; // the export code's name for it
    std::string attachFolder;
    std::string attachFile;
    std::string attachConnect;
    std::string skipFieldList; // flag, also "n": link only, leave the field lists alone
    std::string& skipFieldLists = skipFieldList;
    std::string attachFailed;     // flag
    std::string exportFileOpen;   // flag: an export file is linked as "Exported Data"
    std::string exportTableOpen;  // flag: rsExportTable is open for a run
    std::string dropExportedData; // flag

    // --- a Process run
    std::string stopFlag;   // flag
    std::string recordDone; // flag
    std::string addNewMode; // flag, "n" while records are added past the shorter file
    long totRecsDriving = 0;
    long totRecsOther = 0;
    int exportDupAnswer = 0; // 6, 7 or 2; 0 when no field was chosen from both files
    int& dupFieldChoice = exportDupAnswer;
    std::string bulkWriteOn; // flag: the program itself writes rows grids may show
    // True from the start of a Process run to its end. Exit, the table commands and
    // closing the comparison dialog are refused while it is set, since they would pull
    // the run's tables and recordsets away underneath it.
    bool runInProgress = false;
    // True while a file is read into the working database. runInProgress is set as well,
    // so everything refused during a run is refused then too; this one only tells the
    // user which of the two is under way, since Stop does not end a link.
    bool linkInProgress = false;

    // --- windows and menus
    std::string currentTable; // table of the active table viewer ("SQL Results" = Temp)
    std::string activeViewer; // "Form11", "Form13" or "Form15"
    std::string skipFormInit; // flag: a window is touched by another, skip its set-up
    std::string queryMode;    // "define" or "select"
    std::string newTableName; // name typed for Save TABLE As
    bool tableNameClash = false;

    // --- recordsets the grid windows show (a default Recordset is "nothing")
    Recordset rsFileA;       // over Table1, File A viewer Form8
    Recordset rsFileB;       // over Table2, File B viewer Form9
    Recordset rsExportFile;  // over "Exported Data", Form10
    Recordset rsExportTable; // over the program's export table or a copy of it, Form11
    Recordset rsOpenedTable; // a table opened from the table list, Form13
    Recordset rsRemoteQuery; // the remote query result, Form15
    TableDef tdExportTable;  // the export table while it is rebuilt

    // --- the connection to the remote query server (the password is never kept here:
    // it lives only in the login's own buffer until it is sent)
    std::string remoteHost;
    std::string loginName;
};

} // namespace varnoke
