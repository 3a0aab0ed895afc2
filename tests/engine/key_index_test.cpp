// A find of one text field by a text answers from an in-memory key index of the column.
// It must choose exactly the records SQLite's case-blind comparison chooses, through
// every write that can happen between two finds of a run.
#include "engine/key_index.h"
#include "engine_fixture.h"
#include "value/case_fold.h"
#include "value/convert.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

struct TextPair {
    const char* name;
    std::string a;
    std::string b;
};

class SameFolded : public ::testing::TestWithParam<TextPair> {};

// The collation every connection registers is the judge.
TEST_P(SameFolded, AgreesWithTheCollation) {
    const auto& [name, a, b] = GetParam();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    ASSERT_EQ(detail::configureConnection(raw), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    const std::string sql = std::string("SELECT ?1 = ?2") + detail::kCaseBlind;
    ASSERT_EQ(sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, b.data(), static_cast<int>(b.size()), SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    const bool sqliteSays = sqlite3_column_int(st, 0) == 1;
    sqlite3_finalize(st);
    sqlite3_close(raw);
    EXPECT_EQ(sameFolded(a, b), sqliteSays);
    EXPECT_EQ(sameFolded(b, a), sqliteSays);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Texts, SameFolded,
    ::testing::Values(TextPair{"Case", "abc", "ABC"}, TextPair{"Other", "abc", "abd"},
                      TextPair{"TrailingBlank", "abc", "abc "}, TextPair{"Empty", "", ""},
                      TextPair{"Prefix", "ab", "abc"}, TextPair{"NotLetters", "[", "{"},
                      TextPair{"AtAndBacktick", "@", "`"},
                      TextPair{"NonAscii",
                               "\xc3\xa4"
                               "bc",
                               "\xc3\x84"
                               "BC"},
                      TextPair{"SameNonAscii",
                               "\xc3\xa4"
                               "bc",
                               "\xc3\xa4"
                               "BC"},
                      TextPair{"NulThenOther", "a\0b"s, "a\0c"s},
                      TextPair{"NulAgainstLetter", "a\0b"s, "aXb"s},
                      TextPair{"NulLonger", "a\0b"s, "a\0bc"s}),
    [](const auto& info) { return std::string(info.param.name); });

// What may happen between two finds of a run.
struct Between {
    const char* name;
    std::function<void(Database&, Recordset&)> change;
    // A record added to the row set found in joins it, so the SQLite side is opened
    // after the change to hold it too.
    bool referenceAfter = false;
};

void PrintTo(const Between& b, std::ostream* os) {
    *os << b.name;
}

class KeyedFindTest : public EngineTest {
protected:
    void makeWords() {
        db.execute("CREATE TABLE Words (Id LONG, Word TEXT(20), Other TEXT(10))");
        const char* words[] = {"abc",
                               "ABC",
                               "x",
                               "aBc",
                               "",
                               "ab",
                               "abc ",
                               "\xc3\xa4"
                               "bc",
                               "\xc3\x84"
                               "BC",
                               "x",
                               "Abc",
                               "zz"};
        long id = 0;
        for (const char* w : words)
            db.execute("INSERT INTO Words VALUES (" + std::to_string(++id) + ", '" + w + "', 'o')");
        db.execute("INSERT INTO Words VALUES (" + std::to_string(++id) + ", Null, 'o')");
    }

    // The records one criteria finds forwards, then backwards: the searched field read
    // first (the index can answer it), then the Id (the row itself).
    static std::vector<std::string> ids(Recordset& rs, const std::string& criteria) {
        std::vector<std::string> out;
        auto found = [&] {
            const Value word = rs.value("Word");
            out.push_back((word.isNull() ? std::string("(null)") : word.asText()) + "#" +
                          std::to_string(static_cast<long>(rs.value("Id").asNumber())));
        };
        eachFound(
            rs, [&] { rs.findFirst(criteria); }, [&] { rs.findNext(criteria); }, found);
        out.push_back("-");
        eachFound(
            rs, [&] { rs.findLast(criteria); }, [&] { rs.findPrevious(criteria); }, found);
        return out;
    }

    // The tables SQLite holds an index of.
    std::vector<std::string> indexedTables() {
        db.flush();
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(path().c_str(), &raw), SQLITE_OK);
        std::vector<std::string> out;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, "SELECT tbl_name FROM sqlite_master WHERE type = 'index'", -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(raw);
        return out;
    }
};

class KeyedFind : public KeyedFindTest, public ::testing::WithParamInterface<Between> {};

const std::vector<std::string> kCriteria = {"Word = 'abc'",
                                            "[Word] = 'ABC'",
                                            "Word = 'x'",
                                            "Word = ''",
                                            "Word = 'abc '",
                                            "Word = '\xc3\xa4"
                                            "bc'",
                                            "Word = 'nothing'",
                                            "Word = 'zz'",
                                            "Word = 'ab'"};

// The table in stored order answers from the key index; the same rows sorted by Id (the
// same order) go to SQLite, and must find the same records after every change.
TEST_P(KeyedFind, FindsWhatSqliteFinds) {
    makeWords();
    auto keyed = db.openRecordset("Words", RecordsetType::Dynaset);
    const char* reference = "SELECT * FROM Words ORDER BY Id";
    auto sorted = db.openRecordset(reference, RecordsetType::Dynaset);
    for (const auto& c : kCriteria)
        ids(keyed, c); // the index is built before the change
    keyed.findFirst("Word = 'abc'");
    GetParam().change(db, keyed);
    if (GetParam().referenceAfter) sorted = db.openRecordset(reference, RecordsetType::Dynaset);
    for (const auto& c : kCriteria) {
        SCOPED_TRACE(c);
        EXPECT_EQ(ids(keyed, c), ids(sorted, c));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, KeyedFind,
    ::testing::Values(
        Between{"Nothing", [](Database&, Recordset&) {}},
        Between{"OtherFieldEdited",
                [](Database&, Recordset& rs) {
                    rs.edit();
                    rs.setValue("Other", Value::text("changed"));
                    rs.update();
                }},
        Between{"KeyEditedHere",
                [](Database&, Recordset& rs) {
                    rs.edit();
                    rs.setValue("Word", Value::text("zz"));
                    rs.update();
                }},
        Between{"KeyEditedByStatement",
                [](Database& db, Recordset&) {
                    db.execute("UPDATE Words SET Word = 'abc' WHERE Id = 3");
                }},
        Between{"OtherFieldEditedByStatement",
                [](Database& db, Recordset&) {
                    db.execute("UPDATE Words SET Other = 'n' WHERE Word = 'abc'");
                }},
        Between{"KeyEditedByKeyedStatement",
                [](Database& db, Recordset&) {
                    db.execute("UPDATE Words SET Word = 'zz' WHERE Word = 'X'");
                }},
        Between{"RecordDeletedHere", [](Database&, Recordset& rs) { rs.deleteRecord(); }},
        Between{"RecordDeletedByStatement",
                [](Database& db, Recordset&) { db.execute("DELETE FROM Words WHERE Id = 2"); }},
        Between{"RecordsOfAKeyDeletedFromTheFirst",
                [](Database&, Recordset& rs) {
                    const auto first = [&] { rs.findFirst("Word = 'abc'"); };
                    eachFound(rs, first, first, [&] { rs.deleteRecord(); });
                }},
        Between{"RecordsOfAKeyDeletedFromTheLast",
                [](Database&, Recordset& rs) {
                    const auto last = [&] { rs.findLast("Word = 'x'"); };
                    eachFound(rs, last, last, [&] { rs.deleteRecord(); });
                    rs.findLast("Word = 'abc'");
                    rs.deleteRecord();
                }},
        Between{"KeyedDeletesOfOneKeyAgain",
                [](Database& db, Recordset&) {
                    for (const char* word : {"ABC", "abc", "x", "aBc"})
                        db.execute(std::string("DELETE FROM Words WHERE Word = '") + word + "'");
                }},
        Between{"RecordAddedElsewhere",
                [](Database& db, Recordset&) {
                    auto other = db.openRecordset("Words", RecordsetType::Dynaset);
                    other.addNew();
                    other.setValue("Id", Value::number(99));
                    other.setValue("Word", Value::text("ABC"));
                    other.update();
                }},
        Between{"RecordAddedHere",
                [](Database&, Recordset& rs) {
                    rs.addNew();
                    rs.setValue("Id", Value::number(99));
                    rs.setValue("Word", Value::text("abc"));
                    rs.update();
                },
                true}),
    [](const auto& info) { return std::string(info.param.name); });

// The key index answers "[F] = 'text'" either way round, so SQLite is given no index of
// the field, and explainFind names the path taken. Any other condition, or a row set not
// in stored order, goes to SQLite's index.
TEST_F(KeyedFindTest, TheKeyIndexAnswersAndTheExplanationSaysSo) {
    makeWords();
    auto rs = db.openRecordset("Words", RecordsetType::Dynaset);
    for (const auto& c : kCriteria)
        ids(rs, c);
    rs.findFirst("'ABC' = [Word]");
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
    const std::vector<std::string> keyedPlan = {"SEARCH KEY INDEX ON Word"};
    for (const char* c : {"Word = 'abc'", "[Words].[Word] = 'x'", "'x' = Word"})
        EXPECT_EQ(rs.explainFind(c), keyedPlan) << c;
    const auto indexed = indexedTables();
    EXPECT_EQ(std::count(indexed.begin(), indexed.end(), "Words"), 0);
    for (const char* c : {"Word = 'abc' AND Id > 1", "Word <> 'abc'", "Word = Other", "Id = 3",
                          "Word >= 'abc'", "StrComp([Word], 'abc', 0) = 0"}) {
        const auto plan = rs.explainFind(c);
        ASSERT_FALSE(plan.empty()) << c;
        EXPECT_NE(plan, keyedPlan) << c;
        EXPECT_EQ(plan[0].find("KEY INDEX"), std::string::npos) << c;
    }
    auto sorted = db.openRecordset("SELECT * FROM Words ORDER BY Id", RecordsetType::Dynaset);
    const auto plan = sorted.explainFind("Word = 'abc'");
    ASSERT_FALSE(plan.empty());
    EXPECT_NE(plan[0].find("USING INDEX vk~Words~Word"), std::string::npos) << plan[0];
}

// A walk through many records of one key visits each once, in order.
TEST_F(KeyedFindTest, WalksManyRecordsOfOneKey) {
    db.execute("CREATE TABLE Same (Id LONG, Word TEXT(5))");
    db.execute("INSERT INTO Same VALUES (0, 'k')");
    for (int i = 0; i < 14; ++i)
        db.execute("INSERT INTO Same SELECT Id + (SELECT Count(*) FROM Same), Word FROM Same");
    auto rs = db.openRecordset("Same", RecordsetType::Dynaset);
    std::vector<double> found;
    eachFound(
        rs, [&] { rs.findFirst("Word = 'K'"); }, [&] { rs.findNext("Word = 'K'"); },
        [&] { found.push_back(rs.value("Id").asNumber()); });
    EXPECT_EQ(found.size(), std::size_t{1} << 14);
    EXPECT_EQ(std::adjacent_find(found.begin(), found.end(), std::greater_equal<>()), found.end());
}

// Many distinct keys spread over the whole index: each is found where it is.
TEST_F(KeyedFindTest, FindsEachOfManyKeys) {
    db.execute("CREATE TABLE Many (Id LONG, Word TEXT(10))");
    db.execute("INSERT INTO Many VALUES (0, 'k0')");
    for (int i = 0; i < 12; ++i)
        db.execute("INSERT INTO Many SELECT Id + (SELECT Count(*) FROM Many), 'k' & "
                   "(Id + (SELECT Count(*) FROM Many)) FROM Many");
    auto rs = db.openRecordset("Many", RecordsetType::Dynaset);
    for (long id = 4095; id >= 0; id -= 7) {
        rs.findFirst("Word = 'K" + std::to_string(id) + "'");
        ASSERT_FALSE(rs.noMatch()) << id;
        EXPECT_EQ(rs.value("Id").asNumber(), id);
    }
    rs.findFirst("Word = 'k4096'");
    EXPECT_TRUE(rs.noMatch());
}

// A column of texts too long to keep beside the keys is checked against its rows.
TEST_F(KeyedFindTest, LongTextsAreCheckedAgainstTheirRows) {
    db.execute("CREATE TABLE Long (Id LONG, Word MEMO, Pad MEMO)");
    db.execute("INSERT INTO Long VALUES (0, Null, 'x')");
    for (int i = 0; i < 15; ++i)
        db.execute("UPDATE Long SET Pad = Pad & Pad");
    for (int i = 0; i < 11; ++i)
        db.execute("INSERT INTO Long SELECT Id + (SELECT Count(*) FROM Long), Null, Pad FROM Long");
    db.execute("UPDATE Long SET Word = 'k' & Id & Pad");
    const std::string pad(32768, 'x');
    auto rs = db.openRecordset("Long", RecordsetType::Dynaset);
    for (long id : {2047L, 0L, 1517L}) {
        rs.findFirst("Word = 'K" + std::to_string(id) + pad + "'");
        ASSERT_FALSE(rs.noMatch()) << id;
        EXPECT_EQ(rs.value("Id").asNumber(), id);
        EXPECT_EQ(rs.value("Word").asText(), "k" + std::to_string(id) + pad);
    }
    rs.findFirst("Word = 'k2048" + pad + "'");
    EXPECT_TRUE(rs.noMatch());
}

// The found record's values come with the find, including a write made before it.
TEST_F(KeyedFindTest, TheFoundRecordShowsItsCurrentValues) {
    makeWords();
    auto rs = db.openRecordset("Words", RecordsetType::Dynaset);
    rs.findFirst("Word = 'zz'");
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 12);
    rs.edit();
    rs.setValue("Other", Value::text("new"));
    rs.update();
    rs.moveFirst();
    rs.findFirst("Word = 'zz'");
    EXPECT_EQ(rs.value("Other").asText(), "new");
}

// An UPDATE of one text field's records by text is written by rowid from the key index
// of a recordset open on the table. A twin table with no recordset runs the same
// statements through SQLite's own search; after each, both must hold the same rows and
// have answered alike.
class KeyedUpdate : public KeyedFindTest {
protected:
    void SetUp() override {
        KeyedFindTest::SetUp();
        makeWords();
        db.execute("SELECT * INTO Twin FROM Words");
        keyed = db.openRecordset("Words", RecordsetType::Dynaset);
    }

    // Every record from the current one on, a text each.
    static std::vector<std::string> walk(Recordset& rs) {
        std::vector<std::string> out;
        for (; !rs.eof(); rs.moveNext()) {
            std::string row;
            for (int i = 0; i < rs.fieldCount(); ++i) {
                const Value v = rs.value(rs.fieldName(i));
                row += (v.isNull() ? std::string("(null)") : textOf(v)) + "|";
            }
            out.push_back(row);
        }
        return out;
    }

    std::vector<std::string> rows(const std::string& table) {
        auto rs =
            db.openRecordset("SELECT * FROM " + table + " ORDER BY Id", RecordsetType::Snapshot);
        return walk(rs);
    }

    std::string run(std::string statement, const std::string& table) {
        statement.replace(statement.find("{}"), 2, table);
        try {
            return std::to_string(db.execute(statement));
        } catch (const EngineError& e) {
            return "error " + std::to_string(e.number());
        }
    }

    void runBoth(const std::vector<std::string>& statements) {
        for (const auto& statement : statements) {
            SCOPED_TRACE(statement);
            const std::string answer = run(statement, "Words");
            EXPECT_EQ(answer, run(statement, "Twin"));
            EXPECT_EQ(rows("Words"), rows("Twin"));
        }
    }

    Recordset keyed;
};

TEST_F(KeyedUpdate, ChangesWhatTheStatementChanges) {
    runBoth({
        "UPDATE {} SET Other = 'n1' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n2' WHERE [Word] = 'X'",
        "UPDATE {} SET Other = 'n3' WHERE Word = 'nothing'",
        "UPDATE {} SET Other = 'n4' WHERE Word = ''",
        "UPDATE {} SET Other = 'n5' WHERE Word = '\xc3\xa4"
        "bc'",
        "UPDATE {} SET Other = Word & Id WHERE Word = 'abc '",
        "UPDATE {} SET Id = Id + 100, Other = 'n6' WHERE Word = 'aBC'",
        // one row, failing: it stays as it was
        "UPDATE {} SET Other = 1 / (Id - 12) WHERE Word = 'ZZ'",
    });
    // Only the twin's statements searched through an index of SQLite's.
    const auto indexed = indexedTables();
    EXPECT_EQ(std::count(indexed.begin(), indexed.end(), "Twin"), 1);
    EXPECT_EQ(std::count(indexed.begin(), indexed.end(), "Words"), 0);
}

// A DELETE of one text field's records by text is written by rowid from the key index
// as the UPDATE is; the recordset open on the table drops the rows, and its key index
// holds after them.
TEST_F(KeyedUpdate, DeletesWhatTheStatementDeletes) {
    runBoth({
        "DELETE FROM {} WHERE Word = 'abc'",
        "DELETE FROM {} WHERE [Word] = 'X'",
        "DELETE FROM {} WHERE Word = 'nothing'",
        "DELETE FROM {} WHERE 'ZZ' = Word",
        "DELETE FROM {} WHERE Word = ''",
        "UPDATE {} SET Other = 'n1' WHERE Word = 'ab'",
        "DELETE FROM {} WHERE Word = '\xc3\xa4"
        "bc'",
    });
    keyed.moveFirst();
    const auto walked = walk(keyed);
    EXPECT_EQ(walked, rows("Twin"));
    EXPECT_EQ(keyed.recordCount(), static_cast<long>(walked.size()));
    const auto indexed = indexedTables();
    EXPECT_EQ(std::count(indexed.begin(), indexed.end(), "Twin"), 1);
    EXPECT_EQ(std::count(indexed.begin(), indexed.end(), "Words"), 0);
}

// After a change the key index does not survive, statements go by SQLite's search until
// the index is made again, and change the same rows all along.
TEST_F(KeyedUpdate, ChangesWhatTheStatementChangesThroughOtherWrites) {
    runBoth({
        "UPDATE {} SET Other = 'n1' WHERE Word = 'abc'",
        // fails on its third row: the rows before it stay as they were
        "UPDATE {} SET Other = 1 / (Id - 4) WHERE Word = 'abc'",
        "UPDATE {} SET Word = 'zz' WHERE Word = 'ab'",
        "UPDATE {} SET Other = 'n2' WHERE Word = 'zz'",
        "INSERT INTO {} VALUES (50, 'ABC', 'o')",
        "UPDATE {} SET Other = 'n3' WHERE Word = 'abc'",
        "DELETE FROM {} WHERE Id = 1",
        "UPDATE {} SET Other = 'n4' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n5' WHERE Word = 'abc' AND Id > 4",
        "UPDATE {} SET Other = 'n6' WHERE Word = 'x'",
        "UPDATE {} SET Other = 'n7' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n8' WHERE Word = 'zz'",
    });
    keyed.addNew();
    keyed.setValue("Id", Value::number(60));
    keyed.setValue("Word", Value::text("Abc"));
    keyed.update();
    db.execute("INSERT INTO Twin VALUES (60, 'Abc', 'o')");
    runBoth({
        "UPDATE {} SET Other = 'n9' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n10' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n11' WHERE Word = 'abc'",
        "UPDATE {} SET Other = 'n12' WHERE Word = 'abc'",
    });
}

} // namespace
} // namespace varnoke::testing
