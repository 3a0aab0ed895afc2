// Terms whose truth is the same on every row are folded out of a find: the run's "a term
// no record meets" must not hide the key equality beside it, and the fold must never
// change which rows a find reaches, even where fields are Null. An Or that stays is
// searched a term at a time and must reach the same rows.
#include "engine/condition_fold.h"
#include "engine/engine_error.h"
#include "engine/sql_parser.h"
#include "engine_fixture.h"
#include "value/runtime_error.h"

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

namespace varnoke::testing {
namespace {

using K = sql::Expr::Kind;

// What the fold leaves of a condition.
enum class Left { Same, False, True, KeyEquality, Other };

struct FoldCase {
    const char* name;
    const char* criteria;
    Left left;
    // Whether the query's WHERE answers as the find must: SQLite may stop at either of
    // two terms, in a find and a query alike, so a term that fails on every row is no
    // reference.
    bool asQuery = true;
};

const FoldCase kFoldCases[] = {
    {"OrNeverMet", "[t] = 'k' or IsNull([d]) and not IsNull([d])", Left::KeyEquality},
    {"OrNeverMetIsNullForm", "[t] = 'k' or [d] Is Null and [d] Is Not Null", Left::KeyEquality},
    {"OrNeverMetNotFirst", "[t] = 'k' or not [d] Is Null and IsNull([D])", Left::KeyEquality},
    {"OrFalse", "[t] = 'k' or False", Left::KeyEquality},
    {"AndTrue", "True and [t] = 'k'", Left::KeyEquality},
    {"AndAlwaysMet", "[t] = 'k' and (IsNull([d]) or not IsNull([d]))", Left::KeyEquality},
    {"AndNeverMet", "[t] = 'k' and IsNull([d]) and not IsNull([d])", Left::False},
    {"NotNeverMet", "not (IsNull([d]) and [d] Is Not Null)", Left::True},
    {"OrAlwaysMet", "[n] > 1 or IsNull([d]) or [d] Is Not Null", Left::True},
    {"TwoNeverMetTerms", "IsNull([d]) and not IsNull([d]) or [n] Is Null and IsNull([n]) = False",
     Left::Other},
    // A comparison can be Null: "X and not X" is then Null, not False.
    {"ComparisonNotFolded", "[n] = 1 and not [n] = 1", Left::Same},
    {"OtherColumns", "IsNull([d]) and not IsNull([n])", Left::Same},
    {"OtherTables", "IsNull([F].[d]) and not IsNull([d])", Left::Same},
    {"SameSense", "IsNull([d]) and [d] Is Null", Left::Same},
    // A term that may raise an error is not dropped.
    {"MayFail", "[n] / 0 = 1 and IsNull([d]) and not IsNull([d])", Left::Same, false},
    {"FailsBesideNeverMet", "IsNull([d]) and not IsNull([d]) or [n] / 0 = 1", Left::Other},
    // An Or the fold keeps is searched a term at a time, each in its own index.
    {"KeyOrNull", "[t] = 'k' or IsNull([d])", Left::Same},
    {"KeyOrKey", "[t] = 'j' or [t] = 'K'", Left::Same},
    {"ThreeTerms", "[n] = 2 or [t] = 'j' or [d] = #1/4/2003#", Left::Same},
    {"RangeOrNull", "[n] > 1 or IsNull([n])", Left::Same},
    {"AndInOr", "[t] = 'k' and [n] = 0 or IsNull([t]) and not IsNull([d])", Left::Same},
    {"NoTermMet", "[t] = 'zz' or [n] = 99", Left::Same},
    {"SameRowTwice", "[t] = 'k' or [n] = 1", Left::Same},
    {"NotOfAnOr", "not ([t] = 'k' or IsNull([d]))", Left::Same},
    {"MayFailInOr", "[n] / 2 = 1 or IsNull([d])", Left::Same},
};

Left leftOf(const sql::Expr& e) {
    if (e.kind == K::Literal && e.value.kind() == Value::Kind::Boolean)
        return e.value.asBoolean() ? Left::True : Left::False;
    if (e.kind == K::Compare && e.op == "=" && e.args[0]->kind == K::Column &&
        e.args[1]->kind == K::Literal && e.args[1]->value.isText())
        return Left::KeyEquality;
    return Left::Other;
}

class FoldShape : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldShape, FoldsOnlyTermsFixedOnEveryRow) {
    auto expr = sql::parseExpression(GetParam().criteria);
    const bool changed = detail::foldFixedTerms(expr);
    EXPECT_EQ(changed, GetParam().left != Left::Same);
    if (GetParam().left != Left::Same) {
        EXPECT_EQ(leftOf(*expr), GetParam().left);
    }
}

INSTANTIATE_TEST_SUITE_P(Conditions, FoldShape, ::testing::ValuesIn(kFoldCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<FoldCase> withQueryReference() {
    std::vector<FoldCase> out;
    for (const auto& c : kFoldCases)
        if (c.asQuery) out.push_back(c);
    return out;
}

// F(Id, t, d, n): every key 'k' but one, d and n Null on alternate rows.
void makeF(Database& db) {
    db.execute("CREATE TABLE F (Id LONG, t TEXT(10), d DATETIME, n DOUBLE)");
    const char* rows[] = {
        "1, 'k', #1/2/2003#, 1", "2, 'k', Null, Null",     "3, 'j', #1/3/2003#, Null",
        "4, 'K', Null, 2",       "5, Null, #1/4/2003#, 3", "6, 'k', #1/5/2003#, Null",
        "7, Null, Null, Null",   "8, 'k', Null, 0",
    };
    for (const char* row : rows)
        db.execute(std::string("INSERT INTO F VALUES (") + row + ")");
}

class FixedTerms : public EngineTest, public ::testing::WithParamInterface<FoldCase> {
protected:
    void makeRows() { makeF(db); }

    // The ids a find reaches from first to last, or the number of the error it raises.
    std::variant<std::vector<long>, int> found(const std::string& criteria) {
        try {
            auto rs = db.openRecordset("F", RecordsetType::Dynaset);
            return found(rs, criteria);
        } catch (const EngineError& e) {
            return e.number();
        } catch (const RuntimeError& e) {
            return e.number();
        }
    }
    std::variant<std::vector<long>, int> found(Recordset& rs, const std::string& criteria) {
        try {
            std::vector<long> ids = foundIds(rs, criteria);
            // Backwards the find meets the same rows.
            std::vector<long> back = foundIds(rs, criteria, true);
            std::reverse(back.begin(), back.end());
            EXPECT_EQ(back, ids);
            return ids;
        } catch (const EngineError& e) {
            return e.number();
        } catch (const RuntimeError& e) {
            return e.number();
        }
    }

    // The same condition as a query's WHERE, which SQLite answers as written.
    std::variant<std::vector<long>, int> selected(const std::string& criteria) {
        try {
            auto rs = db.openRecordset("SELECT Id FROM F WHERE " + criteria + " ORDER BY Id",
                                       RecordsetType::Snapshot);
            std::vector<long> ids;
            for (; !rs.eof(); rs.moveNext())
                ids.push_back(static_cast<long>(rs.value("Id").asNumber()));
            return ids;
        } catch (const EngineError& e) {
            return e.number();
        } catch (const RuntimeError& e) {
            return e.number();
        }
    }
};

TEST_P(FixedTerms, FindReachesTheRowsTheQueryDoes) {
    makeRows();
    EXPECT_EQ(found(GetParam().criteria), selected(GetParam().criteria));
}

// Rows that leave the table leave the row set's finds; one added since joins neither.
TEST_P(FixedTerms, FindPassesRowsThatLeft) {
    makeRows();
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    db.execute("DELETE FROM F WHERE Id = 2 OR Id = 4 OR Id = 8");
    db.execute("INSERT INTO F VALUES (10, 'k', Null, 2)");
    auto expected = selected(GetParam().criteria);
    if (auto* ids = std::get_if<std::vector<long>>(&expected)) std::erase(*ids, 10L);
    EXPECT_EQ(found(rs, GetParam().criteria), expected);
}

INSTANTIATE_TEST_SUITE_P(Conditions, FixedTerms, ::testing::ValuesIn(withQueryReference()),
                         [](const auto& info) { return std::string(info.param.name); });

class FixedTermsKeyIndex : public EngineTest {};

// The run's find of a key "or" a term no record meets: answered by the key index, with
// no query once the index is made, on the records the plain key find reaches.
TEST_F(FixedTermsKeyIndex, KeyFindBesideANeverMetTermNeedsNoQuery) {
    db.execute("CREATE TABLE W (t TEXT(10), d DATETIME)");
    for (int i = 0; i < 200; ++i)
        db.execute("INSERT INTO W VALUES ('w" + std::to_string(i % 20) + "', " +
                   (i % 3 ? "Null" : "#1/2/2003#") + ")");
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    const auto criteria = [](int key) {
        return "[t] = 'W" + std::to_string(key) + "' or IsNull([d]) and not IsNull([d])";
    };
    EXPECT_EQ(rs.explainFind(criteria(1)), std::vector<std::string>{"SEARCH KEY INDEX ON t"});
    rs.findFirst(criteria(0)); // makes the key index
    long found = 0;
    const auto before = db.statementsRun();
    for (int key = 0; key < 20; ++key)
        eachFound(
            rs, [&] { rs.findFirst(criteria(key)); }, [&] { rs.findNext(criteria(key)); },
            [&] { ++found; });
    EXPECT_EQ(db.statementsRun() - before, 0U);
    EXPECT_EQ(found, 200);
}

// A find whose terms no record can meet asks SQLite nothing once its shape is kept.
TEST_F(FixedTermsKeyIndex, AFindNoRecordMeetsRunsNoQuery) {
    makeF(db);
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    const auto criteria = [](int key) {
        return "[t] = 'k" + std::to_string(key) + "' and IsNull([d]) and not IsNull([d])";
    };
    rs.findFirst(criteria(0));
    const auto before = db.statementsRun();
    for (int key = 1; key < 20; ++key) {
        rs.findFirst(criteria(key));
        EXPECT_TRUE(rs.noMatch());
    }
    EXPECT_EQ(db.statementsRun() - before, 0U);
}

// A name in a term folded away is still checked as a find's name.
TEST_F(FixedTermsKeyIndex, UnknownNameInAFoldedTermIsStillAnError) {
    db.execute("CREATE TABLE W (t TEXT(10), d DATETIME)");
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    EXPECT_ENGINE_ERROR(rs.findFirst("[t] = 'x' or IsNull([nope]) and not IsNull([nope])"),
                        err::UnknownName);
}

// Each term of an Or is a search of its own index: SQLite gathers and sorts no rows.
TEST_F(FixedTermsKeyIndex, AnOrSearchesEachTermsIndex) {
    makeF(db);
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    const auto plan = rs.explainFind("[t] = 'k' or IsNull([d])");
    const auto has = [&](const std::string& part) {
        return std::any_of(plan.begin(), plan.end(),
                           [&](const std::string& line) { return line.find(part) != line.npos; });
    };
    EXPECT_TRUE(has("USING COVERING INDEX vk~F~t~fold (t=? AND rowid>?)"));
    EXPECT_TRUE(has("USING COVERING INDEX vk~F~d (d=? AND rowid>?)"));
    EXPECT_FALSE(has("TEMP B-TREE"));
    EXPECT_FALSE(has("SCAN vk_t"));
}

// A term that raises an error on rows past the one found is not searched on its own.
TEST_F(FixedTermsKeyIndex, AnOrTermThatMayFailIsNotSearchedAlone) {
    makeF(db);
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    rs.findFirst("[t] = 'k' or [n] / 0 = 1");
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
}

} // namespace
} // namespace varnoke::testing
