// The working database built from the repository's schema holds the program's tables,
// columns in grid order, and the shipped rows.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::vector<std::string>> query(sqlite3* db, const std::string& sql,
                                            const std::string& param = {}) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    if (stmt && !param.empty()) sqlite3_bind_text(stmt, 1, param.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::vector<std::string>> rows;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            auto text = sqlite3_column_text(stmt, i);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
}

class WorkDb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open_v2(VARNOKE_WORKDB, &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db); }
    std::vector<std::string> columns(const std::string& table) {
        std::vector<std::string> out;
        for (auto& row :
             query(db, "SELECT name || ' ' || type FROM pragma_table_info(?1) ORDER BY cid", table))
            out.push_back(row[0]);
        return out;
    }
    sqlite3* db = nullptr;
};

TEST_F(WorkDb, TablesAndColumnsInGridOrder) {
    EXPECT_EQ(columns("SSysCriteria"),
              (std::vector<std::string>{"If_This TEXT(64)", "condition TEXT(32)", "This TEXT(255)",
                                        "conjunction TEXT(3)"}));
    EXPECT_EQ(columns("SampleConnStr"),
              (std::vector<std::string>{"DBName TEXT(50)", "ConnectString TEXT(255)"}));
    EXPECT_EQ(columns("ConnectStr"),
              (std::vector<std::string>{"QueryName TEXT(64)", "ConnectString TEXT(255)"}));
    EXPECT_EQ(columns("AddedOr"), (std::vector<std::string>{"condition TEXT(255)"}));
    for (const char* t : {"Settings", "Varnoke's Export TABLE", "Temp", "MSysQueryDefs"})
        EXPECT_FALSE(columns(t).empty()) << t;
}

TEST_F(WorkDb, IndexesTheRemoteWindowSeeksOn) {
    auto rows = query(db, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND "
                          "name IN ('DBNameIndex', 'QueryNameIndex') ORDER BY name");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "SampleConnStr");
    EXPECT_EQ(rows[1][1], "ConnectStr");
}

TEST_F(WorkDb, SettingsShipsFourNotesSwitchedOn) {
    auto rows = query(db, "SELECT showAgain FROM Settings ORDER BY rowid");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"1"}, {"1"}, {"1"}, {"1"}}));
    EXPECT_FALSE(query(db, "SELECT * FROM SampleConnStr").empty());
    EXPECT_TRUE(query(db, "SELECT * FROM SSysCriteria").empty());
}

} // namespace
