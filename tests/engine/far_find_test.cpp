// Finds whose next row lies far past the current one, or nowhere, in a row set in stored
// order with rows gone and rows added since it was opened: both ways they meet exactly
// the rows the criteria mean, worked out here row by row.
#include "engine_fixture.h"

#include <algorithm>
#include <optional>
#include <random>

namespace varnoke::testing {
namespace {

struct FarCase {
    const char* name;
    const char* criteria;
    bool (*meets)(std::optional<double> n);
};

void PrintTo(const FarCase& c, std::ostream* os) {
    *os << c.name;
}

bool isGiven(std::optional<double> n) {
    return n.has_value();
}

const FarCase kFarCases[] = {
    {"RareGreater", "[N] > 990", [](std::optional<double> n) { return isGiven(n) && *n > 990; }},
    {"RareEqual", "[N] = 500", [](std::optional<double> n) { return isGiven(n) && *n == 500; }},
    {"LessOrNull", "[N] < 7 or IsNull([N])",
     [](std::optional<double> n) { return !isGiven(n) || *n < 7; }},
    {"NotEqualAsTwoRanges", "[N] < 3 or [N] > 3",
     [](std::optional<double> n) { return isGiven(n) && *n != 3; }},
    {"NotOfARange", "Not ([N] > 5)", [](std::optional<double> n) { return isGiven(n) && *n <= 5; }},
    {"Between", "[N] > 400 and [N] < 404",
     [](std::optional<double> n) { return isGiven(n) && *n > 400 && *n < 404; }},
    {"OrOfRareRanges", "[N] > 995 or [N] < 2",
     [](std::optional<double> n) { return isGiven(n) && (*n > 995 || *n < 2); }},
    {"NoRow", "[N] > 5000", [](std::optional<double>) { return false; }},
};

class FarFind : public EngineTest, public ::testing::WithParamInterface<FarCase> {};

TEST_P(FarFind, MeetsTheRowsTheCriteriaMean) {
    db.execute("CREATE TABLE F (Id LONG, N DOUBLE)");
    std::mt19937 rng(41);
    std::vector<std::optional<double>> values;
    for (long id = 1; id <= 1200; ++id) {
        // Mostly the middle values, the rare ones far apart.
        std::optional<double> n;
        if (rng() % 9 != 0) n = static_cast<double>(rng() % 1000);
        values.push_back(n);
        db.execute("INSERT INTO F VALUES (" + std::to_string(id) + ", " +
                   (n ? std::to_string(static_cast<long>(*n)) : std::string("Null")) + ")");
    }
    auto rs = db.openRecordset("F", RecordsetType::Dynaset);
    // Rows gone leave gaps in the rowids; a row added joins no finds of this row set.
    db.execute("DELETE FROM F WHERE Id > 300 AND Id < 700");
    db.execute("INSERT INTO F VALUES (5000, 991)");
    std::vector<long> expected;
    for (long id = 1; id <= 1200; ++id)
        if ((id <= 300 || id >= 700) && GetParam().meets(values[static_cast<std::size_t>(id - 1)]))
            expected.push_back(id);
    EXPECT_EQ(foundIds(rs, GetParam().criteria), expected);
    auto backwards = foundIds(rs, GetParam().criteria, true);
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, expected);
}

// Guards the check that named the row set with its quotes, so no plan was ever read as
// a walk and every far find walked to its row: past the nearest rows, a rare range goes
// through the index, for a table and for a query's own name of it.
TEST_F(EngineTest, AFarFindGoesThroughTheIndexPastTheNearestRows) {
    db.execute("CREATE TABLE [F g] (Id LONG, N DOUBLE)");
    for (long id = 1; id <= 400; ++id)
        db.execute("INSERT INTO [F g] VALUES (" + std::to_string(id) + ", " +
                   std::to_string(id % 100) + ")");
    for (const char* source : {"F g", "SELECT * FROM [F g] AS [the \"f\"]"}) {
        auto rs = db.openRecordset(source, RecordsetType::Dynaset);
        for (const char* criteria : {"[N] > 98", "[N] < 1 or [N] > 98"}) {
            rs.findFirst(criteria);
            const auto plan = rs.explainFind(criteria);
            const auto wide = std::find(plan.begin(), plan.end(), "THEN PAST THE NEAREST ROWS");
            ASSERT_NE(wide, plan.end()) << source << ": " << criteria;
            EXPECT_TRUE(std::none_of(wide, plan.end(),
                                     [](const std::string& l) { return l.starts_with("SCAN"); }))
                << source << ": " << criteria;
            EXPECT_TRUE(std::any_of(
                wide, plan.end(),
                [](const std::string& l) { return l.find("INDEX vk~F g~N") != l.npos; }))
                << source << ": " << criteria;
        }
        EXPECT_EQ(foundIds(rs, "[N] > 98"), (std::vector<long>{99, 199, 299, 399}));
    }
}

INSTANTIATE_TEST_SUITE_P(Criteria, FarFind, ::testing::ValuesIn(kFarCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace varnoke::testing
