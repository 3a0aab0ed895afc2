#include "support/busy_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace varnoke::test {

namespace {
void run(sqlite3* db, const char* sql) {
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
}
} // namespace

FileHolder::FileHolder(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
}

FileHolder::~FileHolder() {
    sqlite3_close_v2(db_);
}

void FileHolder::read() {
    run(db_, "BEGIN; SELECT count(*) FROM sqlite_master");
}

void FileHolder::lock() {
    run(db_, "BEGIN EXCLUSIVE");
}

void FileHolder::release() {
    if (!sqlite3_get_autocommit(db_)) run(db_, "COMMIT");
}

} // namespace varnoke::test
