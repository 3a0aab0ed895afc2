#pragma once
// The export subsystem's own texts, table names and duplicate-name answers. The questions and
// titles are the system's words, compared character for character by the tests.
#include <string_view>

namespace varnoke::exporttext {

inline constexpr std::string_view ExportedData = "Exported Data";
inline constexpr std::string_view ExportTable = "Varnoke's Export TABLE";
// Prefix of the export table's field for a name taken from both files.
inline constexpr std::string_view DuplicatePrefix = "B_";

inline constexpr std::string_view ChooseExportType =
    "Please select the export type from the choices given.";

inline constexpr std::string_view AddToQuestion =
    "The file you selected to export to currently contains records.  Would you like to ADD "
    "to data already on file?";
inline constexpr std::string_view AddToTitle = "Varnoke - It's your choice...";

inline constexpr std::string_view DupQuestion =
    "The two files you have choosen to export from have field names in common, and the name "
    "is selected from both files.  You have three (3) options: "
    "\r\n\r\n"
    "1. Varnoke can re-create a Table in it's database (Varnoker.mdb) called ''Varnoke's "
    "Export TABLE'' to add field(s) which will hold data exported from the duplicate "
    "field(s).  You will then be able to VIEW/Edit the table, save it as a name of your "
    "choice, and re-open it or delete it at a later time."
    "\r\n\r\n"
    "2. Varnoke can add a new record (to the export file you opened) each time data from a "
    "duplicate field must be written."
    "\r\n\r\n"
    "3. In the export file, Varnoke can overwrite data exported from File A's field with "
    "data exported from File B's."
    "\r\n\r\n"
    "Click 'Yes' for the first option, 'No' for the second.  Click 'Cancel' and you can then "
    "decide about the third choice.";
inline constexpr std::string_view DupTitle = "Varnoke - Packed with possibilities!";

inline constexpr std::string_view OverwriteQuestion =
    "Choices, choices: In the export file, data exported from File B will overwrite data from "
    "File A.  Cool?";

inline constexpr std::string_view TransferQuestion =
    "The file you OPENED to export TO currently contains records.  Would you like to TRANSFER "
    "data from fields MATCHING those selected in the list to Varnoke's Export TABLE?";
inline constexpr std::string_view TransferTitle = "Varnoke - It's your call...";

// A record the engine would not take: the run stops rather than go on without it.
inline constexpr std::string_view RecordNotExported = "This record could not be exported:";
inline constexpr std::string_view RunStoppedKeepsEarlier =
    "The run has stopped; the records exported before it are kept.";

// Answers to the duplicate-name question, as dupFieldChoice keeps them (message-box
// answer codes; 0 when nothing was asked).
inline constexpr int ToExportTable = 6;   // Yes: a "B_" field in the program's table
inline constexpr int NewRecordEach = 7;   // No: another export record per duplicate
inline constexpr int FileBOverwrites = 2; // Cancel, then confirmed

} // namespace varnoke::exporttext
