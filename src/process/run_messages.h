#pragma once
// The texts a Process run shows, word for word. Tests assert them, so every message box
// of the run takes its text from here.
#include <string_view>

namespace varnoke::runtext {

// Titles.
inline constexpr std::string_view SorryTitle = "Varnoke - Sorry...";
inline constexpr std::string_view ChoiceTitle = "Varnoke - Your choice...";

// The Process command.
inline constexpr std::string_view NeedFileBCriteria =
    "If the compare method is NOT 'paralled records; one record only', at least one "
    "criteria must contain a field in File B.";
inline constexpr std::string_view OpenAFile = "Please open a file, then hit Process again.";
inline constexpr std::string_view OpenFileA = "Please open File A, then hit Process again.";
inline constexpr std::string_view OpenFileB = "Please open File B, then hit Process again.";

// The step loop.
inline constexpr std::string_view ChooseCondition =
    "Please select a condition from the given choices.";
inline constexpr std::string_view ProcessingComplete = "Processing complete.";

// Refusals of the decision table.
inline constexpr std::string_view ChooseActionOneDb =
    "Please select whether data should be 'replaced' or 'exported'.";
inline constexpr std::string_view ChooseActionTwoDb =
    "Please select whether data should be 'replaced', 'deleted', or 'exported'.";
inline constexpr std::string_view ChooseField = "Please select a field.";
inline constexpr std::string_view ChooseMethod =
    "Please select the 'Compare; Replace/Delete method' from the choices given.";

// The questions about values that do not fit the comparison.
inline constexpr std::string_view BadDate =
    "The data cannot be converted to a date format.  Use 'equal'/'not equal' for TEXT "
    "fields, 'equal'/'not equal'/'greater than'/'less than' for NUMERIC fields, or "
    "'equal'/'not equal'/'before'/'after' for DATE fields.";
inline constexpr std::string_view CannotCompare =
    "The required comparison cannot be done.  Use 'equal'/'not equal' for TEXT fields, "
    "'equal'/'not equal'/'greater than'/'less than' for NUMERIC fields, or "
    "'equal'/'not equal'/'before'/'after' for DATE fields.";

// The type fallback's question: the first text, the record number, the second text.
inline constexpr std::string_view FallbackQuestionHead =
    "Varnoke could not process the data types involved in record number ";
inline constexpr std::string_view FallbackQuestionTail = ".  Continue processing the file?";

// The database error messages, by error number.
inline constexpr std::string_view FileOpen55 = "The file is open and could NOT be deleted.";
inline constexpr std::string_view Device68 = "The device is unavailable.";
inline constexpr std::string_view Permission70 = "Permission denied.";
inline constexpr std::string_view PathFile75 = "Path/file access error.";
inline constexpr std::string_view ReadOnly3027 =
    "Varnoke cannot update the file because it is currently in Read-only mode.  It might "
    "be currently opened by another application.";
inline constexpr std::string_view TooSmall3163a =
    "A field is too small to accept the amount of data being added.  Do the following: 1. "
    "Close the files; 2. Open the file to replace data in, using MS Excel or Lotus 1-2-3; "
    "3. Increase the column's width; 4. Save the file, and process in Varnoke again.";
inline constexpr std::string_view TooSmall3163b =
    "If, because of the limitations of apps such as Excel, saving the file would mean you "
    "will loose all rows after, for example, 65,000, then 1. Copy the file; 2. Open it in "
    "an app; 3. Change the field's width; 4. DELETE ALL THE ROWS, and save (as) TWICE, with "
    "different names, such a ratedif2.dbf and ratedif3.dbf (Varnoke only looks at the "
    "first 8 chars of the file name, so make them unique); ";
inline constexpr std::string_view TooSmall3163c =
    "5. Open the original file as File A, and ratedif2.dbf as File B; 6. Specify a criteria "
    "such as: If File A.field-name is NOT equal to File B.field-name, export all of File "
    "A's fields to File B, parallel recs, add new recs; 7. Open ratedif3.dbf as the export "
    "file, and hit Process.  When complete, ratedif3.dbf would have all the data, and the "
    "field would be wider.  Whew!";
inline constexpr std::string_view NoIsam3170a =
    "If you are running Varnoke on a Windows 9x/200x machine, look in the folder in which "
    "Varnoke was installed for VarnokeJetRegKey.reg and double-click on it.  If you are "
    "running Varnoke on a Windows NT system, find and double-click on the file called "
    "VarnokeNTJetRegKey.reg.  By doing this, you are adding the registry structure needed "
    "for Varnoke to process .dbf and other file structures.  You would only be adding to "
    "what's currently in the registry, NOT deleting anything.";
inline constexpr std::string_view NoIsam3170b =
    "After doing the above, exit Varnoke, then run it again.";
inline constexpr std::string_view NoIsam3170c =
    "You may also receive this message if you are trying to open a file that is different "
    "from the type selected in the Data Type list, or if the file type you are trying to "
    "open is not supported by Varnoke.";
inline constexpr std::string_view Conversion3421 =
    "Varnoke has encountered a data type conversion error because data of one data type is "
    "being written to a field of another data type.  For example, text is being written to "
    "a field that is of the numeric type.  This cannot be done.";
inline constexpr std::string_view Mismatch3464 =
    "Varnoke has encountered a data type mismatch because data of one type is being "
    "compared to data of another type.  For example, text is being compared to a numeric "
    "value.  This cannot be done.  Please use a database/File editor to change the data "
    "type.";
inline constexpr std::string_view AttachedUpdate3616 =
    "Updating data in this type of file is NOT supported.";

inline constexpr std::string_view TwoLineBreaks = "\r\n\r\n";

} // namespace varnoke::runtext
