#include "dialog/file_attacher.h"

#include "dialog/dialog_ports.h"
#include "drivers/data_types.h"
#include "engine/sql_name.h"
#include "platform/services.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace varnoke {

SplitName splitName(std::string_view theArgument, bool address, std::string_view currentDirectory) {
    const auto cut = theArgument.find_last_of(address ? "/\\" : "/");
    if (cut == std::string_view::npos)
        return {std::string(currentDirectory), std::string(theArgument)};
    return {std::string(theArgument.substr(0, cut)), std::string(theArgument.substr(cut + 1))};
}

void parseName(SharedState& shared, std::string_view theArgument, bool address) {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec).string();
    auto split = splitName(theArgument, address, cwd);
    shared.attachFolder = std::move(split.folder);
    shared.attachFile = std::move(split.file);
}

bool applyTableType(SharedState& shared, std::string_view dataType) {
    const auto row = tableType(dataType);
    if (!row) {
        shared.stopFlag = kFlagYes;
        return false;
    }
    shared.dbEngine.setIniPath(row->settingsPath());
    shared.attachConnect = row->connectFor(shared.attachFolder, shared.attachFile);
    return true;
}

namespace {

void dropIfPresent(Database& db, std::string_view table) {
    auto defs = db.tableDefs();
    if (defs.contains(table)) defs.remove(table);
}

} // namespace

std::string dropTransientTables(Database& db) {
    std::string left;
    if (!db.isOpen()) return left;
    for (std::string_view table : kTransientTables) {
        try {
            dropIfPresent(db, table);
        } catch (const RuntimeError& error) {
            left += "\n" + std::string(table) + ": " + error.description();
        }
    }
    if (left.empty()) return left;
    return std::string(kTransientLeftMessage) + "\n" + left;
}

bool transientTablesLeft(Database& db) {
    if (!db.isOpen()) return false;
    try {
        const TableDefs tables = db.tableDefs();
        return std::any_of(kTransientTables.begin(), kTransientTables.end(),
                           [&](std::string_view t) { return tables.contains(t); });
    } catch (const RuntimeError&) {
        return false;
    }
}

std::string keptTablesNote(const std::vector<std::string>& tables) {
    std::string names;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string& t = tables[i];
        names += i == 0 ? "" : " and ";
        names += t == "Table1"          ? "File A"
                 : t == "Table2"        ? "File B"
                 : t == "Exported Data" ? "the export file"
                                        : t;
    }
    return tables.size() > 1 ? "Varnoke's copies of " + names + " are as they were before."
                             : "Varnoke's copy of " + names + " is as it was before.";
}

void FileAttacher::dropIfPresent(std::string_view table) {
    varnoke::dropIfPresent(shared_.workDb, table);
}

void FileAttacher::forgetIfLostWrites(const RuntimeError& error) {
    const std::optional<EngineError> lost = shared_.workDb.lostWrites();
    if (lost && lost->number() == error.number() && lost->description() == error.description())
        shared_.workDb.forgetLostWrites();
}

LinkResult FileAttacher::connectOne(std::string_view theFile, std::string_view transientName,
                                    const std::vector<StagedCopy>& alsoCopyTo) {
    fieldNames_.clear();
    linkFailure_.clear();
    linkFailureNumber_ = 0;
    chosenTable_.clear();
    Database& db = shared_.workDb;
    std::vector<std::pair<std::string, std::string>> swaps{
        {shared_.attachTableName, std::string(transientName)}};
    for (const StagedCopy& copy : alsoCopyTo)
        swaps.emplace_back(copy.table, copy.transient);
    std::vector<std::string> targets;
    for (const auto& swap : swaps)
        targets.push_back(swap.first);

    // Read the file. Whatever fails here leaves the working tables untouched.
    try {
        dropIfPresent(transientName);
        chosenTable_ =
            db.tableDefs().append(db.createTableDef(std::string(transientName),
                                                    shared_.attachConnect, std::string(theFile)),
                                  [this] { events_.drawWindows(); });
    } catch (const RuntimeError& error) {
        forgetIfLostWrites(error);
        linkFailure_ = withReason(error.description(), keptTablesNote(targets));
        linkFailureNumber_ = error.number();
        shared_.stopFlag = kFlagYes;
        return LinkResult::LinkFailed;
    }

    try {
        // From the table's definition: a recordset would load the row set of every
        // record only to name the fields. The collection is held while the events run.
        if (shared_.skipFieldList.empty()) {
            const TableDefs tables = db.tableDefs();
            for (const Field& field : tables.item(transientName).fields()) {
                events_.yieldToEvents();
                fieldNames_.push_back(field.name());
            }
        }
        for (const StagedCopy& copy : alsoCopyTo) {
            dropIfPresent(copy.transient);
            db.execute("select * into " + bracketName(copy.transient) + " from " +
                       bracketName(transientName) + ";");
        }
        db.replaceTables(swaps);
    } catch (const RuntimeError& error) {
        fieldNames_.clear();
        chosenTable_.clear();
        forgetIfLostWrites(error);
        for (const auto& swap : swaps) {
            try {
                dropIfPresent(swap.second);
            } catch (const RuntimeError&) {
                // Close Files and the exit drop it again and say so if they cannot.
            }
        }
        linkFailureNumber_ = error.number();
        errors_.handleError(
            RuntimeError(error.number(), withReason(error.description(), keptTablesNote(targets))));
        shared_.stopFlag = kFlagYes;
        return LinkResult::CopyFailed;
    }
    return LinkResult::Linked;
}

} // namespace varnoke
