// A find whose condition is an Or of terms searches each term's index for its nearest row
// and takes the nearest of them: it must reach the rows, in the order, that the condition
// as a query selects, forwards and backwards, past rows the row set no longer holds.
#include "engine_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

struct OrFind {
    const char* name;
    const char* criteria;
};

void PrintTo(const OrFind& f, std::ostream* os) {
    *os << f.name;
}

const OrFind kOrFinds[] = {
    {"KeyOrNull", "[t] = 'k' or IsNull([d])"},
    {"KeyOrKey", "[t] = 'j' or [t] = 'K'"},
    {"ThreeTerms", "[n] = 2 or [t] = 'j' or [d] = #1/4/2003#"},
    {"RangeOrNull", "[n] > 1 or IsNull([n])"},
    {"NestedAnd", "[t] = 'k' and [n] = 0 or IsNull([t]) and not IsNull([d])"},
    {"NoTermMet", "[t] = 'zz' or [n] = 99"},
    {"SameRowTwice", "[t] = 'k' or [n] = 1"},
    {"NotInAnOr", "not ([t] = 'k' or IsNull([d]))"},
    // A term that may raise an error keeps the whole condition in one query.
    {"MayFail", "[n] / 2 = 1 or IsNull([d])"},
};

class OrFinds : public EngineTest, public ::testing::WithParamInterface<OrFind> {
protected:
    // F(Id, t, d, n): keys in both cases, d and n Null on some rows.
    void makeRows() {
        db.execute("CREATE TABLE F (Id LONG, t TEXT(10), d DATETIME, n DOUBLE)");
        const char* rows[] = {
            "1, 'k', #1/2/2003#, 1", "2, 'k', Null, Null",     "3, 'j', #1/3/2003#, Null",
            "4, 'K', Null, 2",       "5, Null, #1/4/2003#, 3", "6, 'k', #1/5/2003#, Null",
            "7, Null, Null, Null",   "8, 'k', Null, 0",        "9, 'j', Null, 2",
        };
        for (const char* row : rows)
            db.execute(std::string("INSERT INTO F VALUES (") + row + ")");
    }

    std::vector<long> selected(const std::string& criteria) {
        auto rs = db.openRecordset("SELECT Id FROM F WHERE " + criteria + " ORDER BY Id",
                                   RecordsetType::Snapshot);
        std::vector<long> ids;
        for (; !rs.eof(); rs.moveNext())
            ids.push_back(static_cast<long>(rs.value("Id").asNumber()));
        return ids;
    }
};

TEST_P(OrFinds, ReachTheRowsTheQuerySelects) {
    makeRows();
    const std::string criteria = GetParam().criteria;
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    std::vector<long> expected = selected(criteria);
    EXPECT_EQ(foundIds(rs, criteria), expected);
    std::vector<long> back = foundIds(rs, criteria, true);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, expected);
    // Rows that leave the table leave the row set's finds; one added joins neither.
    db.execute("DELETE FROM F WHERE Id = 2 OR Id = 4 OR Id = 8");
    db.execute("INSERT INTO F VALUES (10, 'k', Null, 2)");
    std::erase_if(expected, [](long id) { return id == 2 || id == 4 || id == 8; });
    EXPECT_EQ(foundIds(rs, criteria), expected);
    back = foundIds(rs, criteria, true);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, expected);
}

INSTANTIATE_TEST_SUITE_P(Conditions, OrFinds, ::testing::ValuesIn(kOrFinds),
                         [](const auto& info) { return std::string(info.param.name); });

// Each term of the Or is a search of its own index: SQLite gathers and sorts no rows.
TEST_F(OrFinds, SearchesEachTermsIndex) {
    makeRows();
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
TEST_F(OrFinds, ATermThatMayFailIsNotSearchedAlone) {
    makeRows();
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    rs.findFirst("[t] = 'k' or [n] / 0 = 1");
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
}

} // namespace
} // namespace varnoke::testing
