// Terms whose truth is the same on every row are folded out of a find: the run's "a term
// no record meets" must not hide the key equality beside it, and the fold must never
// change which rows a find reaches, even where fields are Null.
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

class FixedTerms : public EngineTest, public ::testing::WithParamInterface<FoldCase> {
protected:
    // F(Id, t, d, n): every key 'k' but one, d and n Null on alternate rows.
    void makeRows() {
        db.execute("CREATE TABLE F (Id LONG, t TEXT(10), d DATETIME, n DOUBLE)");
        const char* rows[] = {
            "1, 'k', #1/2/2003#, 1", "2, 'k', Null, Null",     "3, 'j', #1/3/2003#, Null",
            "4, 'K', Null, 2",       "5, Null, #1/4/2003#, 3", "6, 'k', #1/5/2003#, Null",
            "7, Null, Null, Null",   "8, 'k', Null, 0",
        };
        for (const char* row : rows)
            db.execute(std::string("INSERT INTO F VALUES (") + row + ")");
    }

    // The ids a find reaches from first to last, or the number of the error it raises.
    std::variant<std::vector<long>, int> found(const std::string& criteria) {
        try {
            auto rs = db.openRecordset("F", RecordsetType::Dynaset);
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

// A name in a term folded away is still checked as a find's name.
TEST_F(FixedTermsKeyIndex, UnknownNameInAFoldedTermIsStillAnError) {
    db.execute("CREATE TABLE W (t TEXT(10), d DATETIME)");
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    EXPECT_ENGINE_ERROR(rs.findFirst("[t] = 'x' or IsNull([nope]) and not IsNull([nope])"),
                        err::UnknownName);
}

} // namespace
} // namespace varnoke::testing
