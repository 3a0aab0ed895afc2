#pragma once
// The texts of the comparison dialog's choice boxes. They are keys as well as captions:
// the Process run, its decision table, the steps and the export code compare them
// character for character, so every comparison goes through these constants.
#include <array>
#include <string_view>

namespace varnoke::choice {

// Conditions (Combo2).
inline constexpr std::string_view IsEqualTo = "is equal to";
inline constexpr std::string_view IsNotEqualTo = "is not equal to";
inline constexpr std::string_view IsGreaterThan = "is greater than";
inline constexpr std::string_view IsLessThan = "is less than";
inline constexpr std::string_view IsBefore = "is before";
inline constexpr std::string_view IsAfter = "is after";
inline constexpr std::array<std::string_view, 6> Conditions = {
    IsEqualTo, IsNotEqualTo, IsGreaterThan, IsLessThan, IsBefore, IsAfter};

// Actions (Combo3).
inline constexpr std::string_view Replace = "replace";
inline constexpr std::string_view Delete = "delete";
inline constexpr std::string_view Export = "export";
inline constexpr std::array<std::string_view, 2> OneDatabaseActions = {Replace, Export};
inline constexpr std::array<std::string_view, 3> TwoDatabaseActions = {Delete, Replace, Export};

// Targets (Combo4) and export choices (Combo9).
inline constexpr std::string_view EntireRecordFromFileA = "entire record from File A";
inline constexpr std::string_view EntireRecordFromFileB = "entire record from File B";
inline constexpr std::string_view SelectFields = "select fields...";
// What Combo4 holds before any file is opened; replaced as soon as the mode is chosen.
inline constexpr std::array<std::string_view, 2> DesignTargets = {"entire record from Column A",
                                                                  "entire record from Column B"};
inline constexpr std::array<std::string_view, 2> DeleteTargets = {EntireRecordFromFileA,
                                                                  EntireRecordFromFileB};
inline constexpr std::array<std::string_view, 3> ExportChoices = {
    EntireRecordFromFileA, EntireRecordFromFileB, SelectFields};

// Replacement source (Combo5) besides field references and typed values.
inline constexpr std::string_view Blank = "BLANK";

// Field references: the prefix, then the field name from the 8th character on.
inline constexpr std::string_view FileAPrefix = "File A.";
inline constexpr std::string_view FileBPrefix = "File B.";
inline constexpr std::size_t FieldPrefixLength = 7;

// Pairing methods (Combo7).
inline constexpr std::string_view ParallelOneRecord = "parallel records; one record only";
inline constexpr std::string_view NonParallelFirstOccurrence =
    "non-parallel records; one record: first occurrence only";
inline constexpr std::string_view NonParallelAllRecords = "non-parallel records; all records";
inline constexpr std::array<std::string_view, 3> Methods = {
    ParallelOneRecord, NonParallelFirstOccurrence, NonParallelAllRecords};

// Adding records (Combo8). Only AddNewRecords allows adding; NoRecordsCanBeAdded is set
// by the dialog and is not a list item.
inline constexpr std::string_view AddNewRecords = "add new records to File A/B/Export file";
inline constexpr std::string_view DoNotAddRecords = "do not add records";
inline constexpr std::string_view NoRecordsCanBeAdded = "no records can be added";
inline constexpr std::array<std::string_view, 2> AddingChoices = {AddNewRecords, DoNotAddRecords};

// Conjunctions of the criteria rows (Option3, Option4).
inline constexpr std::string_view Or = "or";
inline constexpr std::string_view And = "and";

// The data type whose files are named by an Internet address.
inline constexpr std::string_view HtmlImport = "HTML Import";

} // namespace varnoke::choice
