// Data statements that differ only in their texts share one parsed and rendered
// statement; these sequences guard against a shared statement running with the wrong
// values, on the wrong rows, or past a check the text alone would have failed.
#include "engine/statement_cache.h"
#include "engine_fixture.h"
#include "value/convert.h"

#include <optional>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

// One statement and what it must give: the records it affected, or the error it raises.
struct Step {
    const char* sql;
    long affected;
    int error = 0;
};

struct StatementSequence {
    const char* name;
    std::vector<Step> steps;
    const char* rowsSql;           // read afterwards through a fresh recordset
    std::vector<std::string> rows; // each row's values joined by "|"
    const char* watched = nullptr; // a table kept open through every step
};

std::string cell(const Value& v) {
    if (v.isNull()) return "Null";
    if (v.isText()) return "'" + v.asText() + "'";
    if (v.isDate()) return "#" + textOf(v) + "#";
    return textOf(v);
}

std::vector<std::string> rowsOf(Recordset& rs) {
    std::vector<std::string> rows;
    if (rs.bof() && rs.eof()) return rows;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        std::string row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row += (i ? "|" : "") + cell(rs.field(i).value());
        rows.push_back(row);
    }
    return rows;
}

class EngineStatementSequence : public EngineTest,
                                public ::testing::WithParamInterface<StatementSequence> {};

TEST_P(EngineStatementSequence, EachStatementUsesItsOwnValues) {
    makePeople();
    const StatementSequence& sequence = GetParam();
    std::optional<Recordset> open;
    if (sequence.watched) open = db.openRecordset(sequence.watched, RecordsetType::Dynaset);
    for (const auto& step : sequence.steps) {
        SCOPED_TRACE(step.sql);
        if (step.error) {
            EXPECT_ENGINE_ERROR(db.execute(step.sql), step.error);
        } else {
            EXPECT_EQ(db.execute(step.sql), step.affected);
            EXPECT_EQ(db.recordsAffected(), step.affected);
        }
        // Reading the open rows after each step makes a missed change show as a stale row.
        if (open) rowsOf(*open);
    }
    auto fresh = db.openRecordset(sequence.rowsSql, RecordsetType::Snapshot);
    EXPECT_EQ(rowsOf(fresh), sequence.rows);
    if (open) {
        EXPECT_EQ(rowsOf(*open), sequence.rows);
        EXPECT_EQ(open->recordCount(), static_cast<long>(sequence.rows.size()));
    }
}

using Rows = std::vector<std::string>;
const char* kCities = "SELECT Id, City FROM People ORDER BY Id";

INSTANTIATE_TEST_SUITE_P(
    Shapes, EngineStatementSequence,
    ::testing::Values(
        StatementSequence{"OtherTexts",
                          {{"UPDATE People SET City = 'Bergen' WHERE Name = 'Bob'", 1},
                           {"UPDATE People SET City = 'Lima' WHERE Name = 'ann'", 2},
                           {"UPDATE People SET City = 'x' WHERE Name = 'nobody'", 0}},
                          kCities,
                          Rows{"1|'Lima'", "2|'Bergen'", "3|Null", "4|'Lima'", "5|'Paris'"}},
        StatementSequence{
            "QuotesAndBrackets",
            {{"UPDATE People SET City = 'it''s' WHERE Name = 'O''Brien'", 1},
             {"UPDATE People SET City = 'a]b' WHERE Name = 'Bob'", 1},
             {"UPDATE People SET City = '[Name]' WHERE Name = 'x'' or Name = ''Ann'", 0},
             {"UPDATE People SET City = \"say \"\"hi\"\"\" WHERE Name = \"Eve\"", 1},
             {"UPDATE People SET City = \"it's\" WHERE Name = \"ann\"", 2},
             {"UPDATE People SET City = 'x' WHERE Name = 'Bob", 0, err::ExpressionSyntax}},
            kCities,
            Rows{"1|'it's'", "2|'a]b'", "3|'it's'", "4|'it's'", "5|'say \"hi\"'"}},
        StatementSequence{"BracketsInNames",
                          {{"CREATE TABLE [T]]x] ([A]]] TEXT(10), [B'] TEXT(10))", 0},
                           {"INSERT INTO [T]]x] ([A]]], [B']) VALUES ('p', 'q')", 1},
                           {"INSERT INTO [T]]x] ([A]]], [B']) VALUES ('r]', 's''')", 1},
                           {"UPDATE [T]]x] SET [A]]] = 'u' WHERE [B'] = 's'''", 1},
                           {"UPDATE [T]]x] SET [A]]] = 'v' WHERE [B'] = 'none'", 0}},
                          "SELECT * FROM [T]]x]",
                          Rows{"'p'|'q'", "'u'|'s''"}},
        StatementSequence{
            "TextsStoredAsNumbers",
            {{"UPDATE People SET Score = '7' WHERE Name = 'Bob'", 1},
             {"UPDATE People SET Score = '8' WHERE Name = 'Eve'", 1},
             {"UPDATE People SET Score = 'abc' WHERE Name = 'Ann'", 0, err::ConversionError}},
            "SELECT Id, Score FROM People ORDER BY Id",
            Rows{"1|1.5", "2|7", "3|3", "4|4", "5|8"}},
        StatementSequence{
            "TextsReadAsNumbers",
            {{"UPDATE People SET City = 'q' WHERE Id = '2'", 1},
             {"UPDATE People SET City = 'r' WHERE Id = '3'", 1},
             {"UPDATE People SET City = 's' WHERE Id = 'x'", 0, err::CriteriaTypeMismatch}},
            kCities,
            Rows{"1|'Oslo'", "2|'q'", "3|'r'", "4|'oslo'", "5|'Paris'"}},
        StatementSequence{
            "TextsReadAsDates",
            {{"UPDATE People SET Born = '5/6/2007' WHERE Name = 'Bob'", 1},
             {"UPDATE People SET Born = '7/8/2009' WHERE Name = 'Eve'", 1},
             {"UPDATE People SET Born = 'no date' WHERE Name = 'Ann'", 0, err::ConversionError},
             {"DELETE FROM People WHERE Born = '7/8/2009'", 1},
             {"DELETE FROM People WHERE Born = 'abc'", 0, err::CriteriaTypeMismatch}},
            "SELECT Id, Born FROM People ORDER BY Id",
            Rows{"1|#1/2/2003#", "2|#5/6/2007#", "3|Null", "4|#1/2/2003 1:30:00 PM#"}},
        StatementSequence{
            "TextsThatMustFitTheirField",
            {{"UPDATE People SET City = 'short' WHERE Name = 'Bob'", 1},
             {"UPDATE People SET City = 'a text much too long for thirty' WHERE Name = 'Eve'", 0,
              err::FieldTooSmall},
             {"INSERT INTO People (Id, City) VALUES (6, 'Oslo')", 1},
             {"INSERT INTO People (Id, City) VALUES (6, 'a text much too long for thirty')", 0,
              err::FieldTooSmall},
             {"INSERT INTO People (Id, City) VALUES (6, 'Rome')", 1}},
            kCities,
            Rows{"1|'Oslo'", "2|'short'", "3|Null", "4|'oslo'", "5|'Paris'", "6|'Oslo'",
                 "6|'Rome'"}},
        StatementSequence{"EqualTextsThenOthers",
                          {{"UPDATE People SET City = 'Bob' WHERE Name = 'Bob'", 1},
                           {"UPDATE People SET City = 'Rome' WHERE Name = 'Eve'", 1},
                           {"UPDATE People SET City = 'Eve' WHERE Name = 'Ann'", 2},
                           {"UPDATE People SET City = 'Eve' WHERE Name = 'Eve'", 1}},
                          kCities,
                          Rows{"1|'Eve'", "2|'Bob'", "3|Null", "4|'Eve'", "5|'Eve'"}},
        StatementSequence{"DeletesSeenByOpenRecordsets",
                          {{"DELETE FROM People WHERE Name = 'Bob'", 1},
                           {"DELETE FROM People WHERE Name = 'ann'", 2},
                           {"DELETE FROM People WHERE Name = 'ann'", 0},
                           {"DELETE FROM People WHERE City = 'Paris' and Name = 'Eve'", 1}},
                          "SELECT * FROM People",
                          Rows{"3|'O'Brien'|Null|Null|3"},
                          "People"},
        StatementSequence{"UpdatesSeenByOpenRecordsets",
                          {{"UPDATE People SET City = 'A' WHERE Name = 'Bob'", 1},
                           {"UPDATE People SET City = 'B' WHERE Name = 'Eve'", 1},
                           {"UPDATE People SET City = 'C' WHERE Name = 'Bob'", 1}},
                          "SELECT Id, Name, City, Born, Score FROM People",
                          Rows{"1|'Ann'|'Oslo'|#1/2/2003#|1.5", "2|'Bob'|'C'|#3/4/1999#|2",
                               "3|'O'Brien'|Null|Null|3", "4|'ann'|'oslo'|#1/2/2003 1:30:00 PM#|4",
                               "5|'Eve'|'B'|#12/31/2010#|Null"},
                          "People"},
        StatementSequence{"InsertsWithOtherTexts",
                          {{"INSERT INTO People (Name, City) VALUES ('Zed', 'Oslo')", 1},
                           {"INSERT INTO People (Name, City) VALUES ('Yan', 'It''s')", 1},
                           {"INSERT INTO People (Name, City) VALUES ('Xi', 'Xi')", 1},
                           {"INSERT INTO People (Name, City) VALUES ('Wu', 'Lima')", 1}},
                          "SELECT Name, City FROM People WHERE Id Is Null",
                          Rows{"'Zed'|'Oslo'", "'Yan'|'It's'", "'Xi'|'Xi'", "'Wu'|'Lima'"}},
        StatementSequence{"AFailingStatementUndoesOnlyItself",
                          {{"CREATE TABLE U (K TEXT(10))", 0},
                           {"CREATE UNIQUE INDEX UK ON U (K)", 0},
                           {"INSERT INTO U VALUES ('a')", 1},
                           {"INSERT INTO U VALUES ('b')", 1},
                           {"INSERT INTO U VALUES ('A')", 0, err::DuplicateKey},
                           {"UPDATE U SET K = 'b' WHERE K = 'a'", 0, err::DuplicateKey},
                           {"INSERT INTO U VALUES ('c')", 1},
                           {"UPDATE U SET K = 'd' WHERE K = 'c'", 1}},
                          "SELECT K FROM U",
                          Rows{"'a'", "'b'", "'d'"}},
        StatementSequence{
            "Parameters",
            {{"UPDATE People SET City = 'a' WHERE Nme = 'Bob'", 0, err::TooFewParameters},
             {"UPDATE People SET City = 'b' WHERE Nme = 'Eve'", 0, err::TooFewParameters},
             {"PARAMETERS p TEXT; UPDATE People SET City = 'c' WHERE Name = 'Bob'", 1},
             {"PARAMETERS p TEXT; UPDATE People SET City = 'd' WHERE Name = 'Eve'", 1}},
            kCities,
            Rows{"1|'Oslo'", "2|'c'", "3|Null", "4|'oslo'", "5|'d'"}},
        StatementSequence{
            "SchemaChangedBetween",
            {{"CREATE TABLE T (A TEXT(10), B TEXT(10))", 0},
             {"INSERT INTO T (A, B) VALUES ('a', 'y')", 1},
             {"UPDATE T SET A = 'p' WHERE B = 'y'", 1},
             {"DROP TABLE T", 0},
             {"CREATE TABLE T (A DOUBLE, B TEXT(10))", 0},
             {"INSERT INTO T (A, B) VALUES ('1', 'y')", 1},
             {"UPDATE T SET A = 'q' WHERE B = 'y'", 0, err::ConversionError},
             {"UPDATE T SET A = '5' WHERE B = 'y'", 1},
             {"DROP TABLE T", 0},
             {"CREATE TABLE T (A TEXT(2), B DATETIME)", 0},
             {"INSERT INTO T (A, B) VALUES ('ok', '1/2/2003')", 1},
             {"INSERT INTO T (A, B) VALUES ('too long', '1/2/2003')", 0, err::FieldTooSmall},
             {"UPDATE T SET A = 'zz' WHERE B = '1/2/2003'", 1},
             {"UPDATE T SET A = 'yy' WHERE B = 'y'", 0, err::CriteriaTypeMismatch}},
            "SELECT A, B FROM T",
            Rows{"'zz'|#1/2/2003#"}}),
    [](const ::testing::TestParamInfo<StatementSequence>& info) { return info.param.name; });

// A statement kept through one handle is not kept for another, and a schema change
// made through another handle of the same file still reaches it.
TEST_F(EngineTest, ASchemaChangeThroughAnotherHandleReachesKeptStatements) {
    db.execute("CREATE TABLE T (A TEXT(10), B TEXT(10))");
    db.execute("INSERT INTO T (A, B) VALUES ('a', 'y')");
    EXPECT_EQ(db.execute("UPDATE T SET A = 'p' WHERE B = 'y'"), 1);
    Database other = Engine::instance().openDatabase(path());
    other.execute("DROP TABLE T");
    other.execute("CREATE TABLE T (A LONG, B TEXT(10))");
    other.execute("INSERT INTO T (A, B) VALUES (1, 'y')");
    EXPECT_ENGINE_ERROR(db.execute("UPDATE T SET A = 'q' WHERE B = 'y'"), err::ConversionError);
    EXPECT_EQ(db.execute("UPDATE T SET A = '7' WHERE B = 'y'"), 1);
    auto rs = db.openRecordset("SELECT A FROM T", RecordsetType::Snapshot);
    EXPECT_EQ(rowsOf(rs), Rows{"7"});
    other.close();
}

detail::KeptStatement keptFor(const std::string& sql) {
    detail::KeptStatement kept;
    kept.statement.sql = sql;
    return kept;
}

TEST(StatementCache, HoldsABoundedNumberDroppingTheLeastRecentlyUsed) {
    detail::StatementCache cache;
    const auto n = detail::StatementCache::kCapacity;
    for (std::size_t i = 0; i < n; ++i)
        cache.keep("k" + std::to_string(i), keptFor("s" + std::to_string(i)), 1);
    ASSERT_NE(cache.find("k0", 1), nullptr); // k0 is now the most recently used
    cache.keep("new", keptFor("new"), 1);
    EXPECT_EQ(cache.size(), n);
    EXPECT_NE(cache.find("k0", 1), nullptr);
    EXPECT_EQ(cache.find("k1", 1), nullptr);
    ASSERT_NE(cache.find("new", 1), nullptr);
    EXPECT_EQ(cache.find("new", 1)->statement.sql, "new");
}

TEST(StatementCache, ForgetsEverythingWhenTheSchemaChanges) {
    detail::StatementCache cache;
    cache.keep("k", keptFor("s"), 1);
    EXPECT_NE(cache.find("k", 1), nullptr);
    EXPECT_EQ(cache.find("k", 2), nullptr);
    EXPECT_EQ(cache.size(), 0u);
}

} // namespace
} // namespace varnoke::testing
