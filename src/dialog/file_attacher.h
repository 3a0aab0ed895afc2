#pragma once
// Bringing a user's file into the working database: split its path, look its data type
// up, read it through the reader of that type and keep a local copy under the working
// table's name (Table1, Table2, "Exported Data").
//
// The file is read into a transient table first (1A, 2A, 3A) and the working table is
// replaced only once that worked, so a file that cannot be read leaves the previous
// copy as it was. A transient table left over from an earlier failure is dropped before
// use rather than copied.
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

enum class LinkResult {
    Linked,     // the working table now holds the file's fields and rows
    LinkFailed, // the file could not be read; stopFlag is "y", nothing was changed, and
                // linkFailure() says why
    CopyFailed, // the local copy failed; reported through handleError
};

class FileAttacher {
public:
    FileAttacher(SharedState& shared, EventPump& events, ErrorHandler& errors)
        : shared_(shared), events_(events), errors_(errors) {}

    // Reads the file of attachConnect and theFile into the transient table, then makes
    // it the working table attachTableName and each of alsoCopyTo. The field names are
    // collected (yielding to the event loop once per field) unless skipFieldList is set.
    LinkResult connectOne(std::string_view theFile, std::string_view transientName,
                          const std::vector<std::string>& alsoCopyTo = {});

    // The field names of the table linked last, in field order.
    const std::vector<std::string>& fieldNames() const { return fieldNames_; }
    // The engine's description of the last LinkFailed, empty after a link that worked.
    const std::string& linkFailure() const { return linkFailure_; }

private:
    void dropIfPresent(std::string_view table);

    SharedState& shared_;
    EventPump& events_;
    ErrorHandler& errors_;
    std::vector<std::string> fieldNames_;
    std::string linkFailure_;
};

} // namespace varnoke
