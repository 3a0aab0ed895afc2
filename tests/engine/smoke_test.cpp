#include "engine_fixture.h"
#include "value/convert.h"

namespace varnoke::testing {
namespace {
using SmokeTest = EngineTest;

TEST_F(SmokeTest, OpensPeople) {
    makePeople();
    auto rs = db.openRecordset("people", RecordsetType::Dynaset);
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(rs.value("Name").asText(), "Ann");
    rs.findFirst("Name = 'o''brien'");
    EXPECT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.absolutePosition(), 2);
    for (auto& l : rs.explainFind("Name = 'x'")) std::cout << l << "\n";
    rs.findFirst("Born = #1/2/2003#");
    EXPECT_EQ(rs.absolutePosition(), 0);
    rs.findNext("City = 'OSLO'");
    EXPECT_EQ(rs.absolutePosition(), 3);
    std::cout << textOf(rs.value("Born")) << "\n";
}
} // namespace
} // namespace varnoke::testing
