// The engine and its workspace: opening a database file on the connection every handle
// of that file shares, and the readers of foreign files by connect prefix.
#include "engine/database.h"

#include "drivers/foreign_reader.h"
#include "engine/database_state.h"
#include "engine/engine_error.h"

#include <algorithm>
#include <filesystem>

namespace varnoke {

Database Workspace::openDatabase(const std::string& path, bool, bool readOnly, std::string_view) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        throw EngineError(err::FileNotFound, "Could not find file '" + path + "'.");
    const auto canonical = fs::canonical(path, ec).string();
    auto state = std::make_shared<detail::DatabaseState>();
    state->conn = Engine::instance().connectionFor(ec ? path : canonical);
    state->path = path;
    state->readOnly = readOnly;
    return Database(state);
}

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

// The engine's connections live on one thread each and keep no statistics of SQLite's
// memory: neither needs SQLite's locks on every call. SQLite takes the setting only
// before its first use, so the engine is best made before anything else opens a file.
Engine::Engine() {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

namespace {
constexpr int kConnectionFlags = SQLITE_OPEN_NOMUTEX;
} // namespace

Workspace Engine::workspace(int index) {
    if (index != 0) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return Workspace();
}

void Engine::registerReader(std::string prefix, std::shared_ptr<const ForeignReader> reader) {
    auto key = detail::upperName(prefix);
    if (reader)
        readers_[key] = std::move(reader);
    else
        readers_.erase(key);
}

const ForeignReader* Engine::readerFor(std::string_view connect) const {
    const auto prefix = detail::upperName(connect.substr(0, connect.find(';')));
    if (auto it = readers_.find(prefix); it != readers_.end()) return it->second.get();
    return findReader(connect);
}

std::shared_ptr<detail::Connection> Engine::connectionFor(const std::string& path) {
    std::erase_if(connections_, [](const auto& kv) { return kv.second.expired(); });
    if (auto it = connections_.find(path); it != connections_.end())
        if (auto conn = it->second.lock()) return conn;
    sqlite3* raw = nullptr;
    const int flags = kConnectionFlags;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | flags, nullptr);
    detail::DbPtr db(raw);
    if (rc != SQLITE_OK) {
        // A file we may only read still opens, for reading.
        db.reset();
        rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | flags, nullptr);
        db.reset(raw);
        if (rc != SQLITE_OK)
            throw EngineError(err::CannotOpen, "Cannot open the database '" + path + "'.");
    }
    detail::registerFunctions(db.get());
    auto conn = std::make_shared<detail::Connection>(path, std::move(db), clock_);
    try {
        if (const int rc = detail::configureConnection(conn->handle()); rc != SQLITE_OK)
            conn->raise(rc);
        conn->tableNames();
    } catch (const EngineError& e) {
        // A file another program holds past the wait is sound: say it is in use.
        if (e.number() == err::FileInUse) throw;
        throw EngineError(err::CannotOpen, "Unrecognized database format '" + path + "'.");
    }
    connections_[path] = conn;
    return conn;
}

} // namespace varnoke
