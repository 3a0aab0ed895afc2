#pragma once
// A private copy of the working database for each test, opened through the engine.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace varnoke::testing {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        // The process id keeps apart the same test run by two builds at once.
        dir_ = fs::temp_directory_path() /
               ("varnoke_engine_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "varnoker.mdb").string();
        fs::copy_file(VARNOKE_WORKDB, path_);
        db = Engine::instance().openDatabase(path_, false, false, ";UID=Admin;PWD=4Tevrask4");
    }

    void TearDown() override {
        db.close();
        std::filesystem::remove_all(dir_);
    }

    // A table People(Id LONG, Name TEXT(50), City TEXT(30), Born DATETIME, Score DOUBLE)
    // with the given rows.
    void makePeople() {
        db.execute("CREATE TABLE People (Id LONG, Name TEXT(50), City TEXT(30), Born DATETIME, "
                   "Score DOUBLE)");
        db.execute("INSERT INTO People VALUES (1, 'Ann', 'Oslo', #1/2/2003#, 1.5)");
        db.execute("INSERT INTO People VALUES (2, 'Bob', 'Rome', #3/4/1999#, 2)");
        db.execute("INSERT INTO People VALUES (3, 'O''Brien', Null, Null, 3)");
        db.execute("INSERT INTO People VALUES (4, 'ann', 'oslo', #1/2/2003 1:30:00 PM#, 4)");
        db.execute("INSERT INTO People VALUES (5, 'Eve', 'Paris', #12/31/2010#, Null)");
    }

    const std::string& path() const { return path_; }

    Database db;

private:
    std::filesystem::path dir_;
    std::string path_;
};

// Asserts that a statement raises an EngineError with that number.
#define EXPECT_ENGINE_ERROR(statement, expected)                                                   \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "no error raised, expected " << (expected);                           \
        } catch (const ::varnoke::EngineError& e) {                                                \
            EXPECT_EQ(e.number(), (expected)) << e.what();                                         \
        }                                                                                          \
    } while (false)

// Runs `first`, then `again` while it finds a record, calling `found` at each record. A
// walk of finds meets each record of the row set once at most: past its count and one
// more the test fails, rather than run on after a find that lands on a record again.
inline void eachFound(Recordset& rs, const std::function<void()>& first,
                      const std::function<void()>& again, const std::function<void()>& found) {
    const long most = rs.recordCount() + 1;
    long finds = 0;
    for (first(); !rs.noMatch(); again()) {
        if (++finds > most) {
            ADD_FAILURE() << "more than " << most << " finds found a record";
            return;
        }
        found();
    }
}

// The Ids of the records a find and its repeats land on, in the order
// found: FindFirst and FindNext, or FindLast and FindPrevious.
inline std::vector<long> foundIds(Recordset& rs, const std::string& criteria,
                                  bool backwards = false) {
    std::vector<long> ids;
    eachFound(
        rs, [&] { backwards ? rs.findLast(criteria) : rs.findFirst(criteria); },
        [&] { backwards ? rs.findPrevious(criteria) : rs.findNext(criteria); },
        [&] { ids.push_back(static_cast<long>(rs.value("Id").asNumber())); });
    return ids;
}

// A kind of recordset a parameterised test runs over: its source and type, named.
struct RecordsetKind {
    const char* name;
    const char* source;
    RecordsetType type;
};

inline void PrintTo(const RecordsetKind& k, std::ostream* os) {
    *os << k.name;
}

} // namespace varnoke::testing
