#include "dialog/file_attacher.h"

#include "dialog/dialog_ports.h"
#include "drivers/data_types.h"
#include "engine/sql_name.h"
#include "platform/services.h"

#include <filesystem>

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

void FileAttacher::dropIfPresent(std::string_view table) {
    varnoke::dropIfPresent(shared_.workDb, table);
}

LinkResult FileAttacher::connectOne(std::string_view theFile, std::string_view transientName,
                                    const std::vector<std::string>& alsoCopyTo) {
    fieldNames_.clear();
    linkFailure_.clear();
    Database& db = shared_.workDb;

    // Read the file. Whatever fails here leaves the working tables untouched.
    try {
        dropIfPresent(transientName);
        db.tableDefs().append(db.createTableDef(std::string(transientName), shared_.attachConnect,
                                                std::string(theFile)));
    } catch (const RuntimeError& error) {
        linkFailure_ = error.description();
        shared_.stopFlag = kFlagYes;
        return LinkResult::LinkFailed;
    }

    try {
        // From the table's definition: a recordset would load the row set of every
        // record only to name the fields.
        if (shared_.skipFieldList.empty()) {
            for (const Field& field : db.tableDefs().item(transientName).fields()) {
                events_.yieldToEvents();
                fieldNames_.push_back(field.name());
            }
        }
        std::vector<std::string> targets{shared_.attachTableName};
        targets.insert(targets.end(), alsoCopyTo.begin(), alsoCopyTo.end());
        for (const auto& target : targets) {
            dropIfPresent(target);
            db.execute("select * into " + bracketName(target) + " from " +
                       bracketName(transientName) + ";");
        }
        dropIfPresent(transientName);
        db.tableDefs().refresh();
    } catch (const RuntimeError& error) {
        fieldNames_.clear();
        try {
            dropIfPresent(transientName);
        } catch (const RuntimeError&) {
            // The copy's own failure is the one worth reporting; the transient table is
            // dropped again when the files are closed and at exit.
        }
        errors_.handleError(error);
        shared_.stopFlag = kFlagYes;
        return LinkResult::CopyFailed;
    }
    return LinkResult::Linked;
}

} // namespace varnoke
