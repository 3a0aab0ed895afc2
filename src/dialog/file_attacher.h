#pragma once
// Bringing a user's file into the working database: split its path, look its data type
// up, read it through the reader of that type and keep a local copy under the working
// table's name (Table1, Table2, "Exported Data").
//
// The file is read into a transient table first (1A, 2A, 3A), which then takes the
// working table's place in one step; so a file that cannot be read or copied, even on a
// full disk, leaves the previous copy whole. A transient table left over from an earlier
// failure is dropped before use rather than copied.
#include "shell/shared_state.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

class ErrorHandler;
class EventPump;

struct SplitName {
    std::string folder;
    std::string file;
};

// Splits at the last "/" (an Internet address also at the last "\", which separates the
// page from the table's name). A name without one lies in currentDirectory.
SplitName splitName(std::string_view theArgument, bool address, std::string_view currentDirectory);

// Splits theArgument into attachFolder and attachFile.
void parseName(SharedState& shared, std::string_view theArgument, bool address = false);

// Points the engine at the driver of dataType and sets attachConnect from attachFolder
// and attachFile. A name the data-type table does not know sets stopFlag to "y" and
// changes nothing else; returns whether the name was known.
bool applyTableType(SharedState& shared, std::string_view dataType);

// The transient tables a link reads into.
inline constexpr std::array<std::string_view, 3> kTransientTables = {"1A", "2A", "3A"};
inline constexpr std::string_view kTransientLeftMessage =
    "A temporary copy of a linked file could not be removed from the working database, so "
    "its records still take room on the disk. It is removed again when the files are closed "
    "and when Varnoke ends.";

// Drops every transient table still in db: a link whose own drop failed (a full disk)
// leaves its table behind. Returns kTransientLeftMessage with the tables still left and
// why, or "" when none is left.
std::string dropTransientTables(Database& db);
// Whether a transient table is still in db, for Close Files to drop.
bool transientTablesLeft(Database& db);

// What a failed link says of the working tables it was to replace: they are as before.
std::string keptTablesNote(const std::vector<std::string>& tables);

// A working table that takes a copy of the same file, read into a transient of its own.
struct StagedCopy {
    std::string table;
    std::string transient;
};

enum class LinkResult {
    Linked,     // the working table now holds the file's fields and rows
    LinkFailed, // the file could not be read; stopFlag is "y", nothing was changed, and
                // linkFailure() says why and that the working tables are as before
    CopyFailed, // the local copy failed and the working tables are as before; reported,
                // with that, through handleError
};

class FileAttacher {
public:
    FileAttacher(SharedState& shared, EventPump& events, ErrorHandler& errors)
        : shared_(shared), events_(events), errors_(errors) {}

    // Reads the file of attachConnect and theFile into the transient table, copies it to
    // the transient of each of alsoCopyTo, then makes each transient its working table
    // (attachTableName for transientName), all at once. The field names are collected
    // (yielding to the event loop once per field) unless skipFieldList is set.
    LinkResult connectOne(std::string_view theFile, std::string_view transientName,
                          const std::vector<StagedCopy>& alsoCopyTo = {});

    // The field names of the table linked last, in field order.
    const std::vector<std::string>& fieldNames() const { return fieldNames_; }
    // The engine's description of the last LinkFailed and the working tables it kept,
    // empty after a link that worked.
    const std::string& linkFailure() const { return linkFailure_; }
    // The engine's error number of the last LinkFailed or CopyFailed; 0 after a link
    // that worked.
    int linkFailureNumber() const { return linkFailureNumber_; }
    // The table the last link read where its name named none of the file's tables and
    // the reader chose one (a database's first); empty otherwise.
    const std::string& chosenTable() const { return chosenTable_; }

private:
    void dropIfPresent(std::string_view table);
    // The user hears of failure now: the engine may take writes again.
    void forgetIfLostWrites(const RuntimeError& error);

    SharedState& shared_;
    EventPump& events_;
    ErrorHandler& errors_;
    std::vector<std::string> fieldNames_;
    std::string linkFailure_;
    int linkFailureNumber_ = 0;
    std::string chosenTable_;
};

} // namespace varnoke
