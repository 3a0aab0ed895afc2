// Finds that differ only in their texts share one parsed and rendered query; these
// sequences guard against a shared query answering a find with the wrong values.
#include "engine/find_shape.h"
#include "engine_fixture.h"

#include <string>
#include <variant>
#include <vector>

namespace varnoke::testing {
namespace {

// One find and what it must give: the ids found in order, or the error it raises.
struct Step {
    const char* criteria;
    std::variant<std::vector<long>, int> result;
};

struct FindSequence {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const FindSequence& s, std::ostream* os) {
    *os << s.name;
}

class EngineFindSequence : public EngineTest, public ::testing::WithParamInterface<FindSequence> {
protected:
    void runSteps() {
        makePeople();
        auto rs = db.openRecordset("People", RecordsetType::Dynaset);
        for (const auto& step : GetParam().steps) {
            SCOPED_TRACE(step.criteria);
            if (const int* number = std::get_if<int>(&step.result)) {
                EXPECT_ENGINE_ERROR(rs.findFirst(step.criteria), *number);
                continue;
            }
            const auto& expected = std::get<std::vector<long>>(step.result);
            EXPECT_EQ(foundIds(rs, step.criteria), expected);
            rs.findLast(step.criteria);
            EXPECT_EQ(rs.noMatch(), expected.empty());
            if (!expected.empty()) {
                EXPECT_EQ(rs.value("Id").asNumber(), expected.back());
            }
        }
    }
};

TEST_P(EngineFindSequence, EachFindUsesItsOwnValues) {
    runSteps();
}

using Ids = std::vector<long>;

INSTANTIATE_TEST_SUITE_P(
    Shapes, EngineFindSequence,
    ::testing::Values(FindSequence{"OtherTexts",
                                   {{"Name = 'Ann'", Ids{1, 4}},
                                    {"Name = 'Bob'", Ids{2}},
                                    {"Name = 'zed'", Ids{}},
                                    {"Name = 'ann'", Ids{1, 4}}}},
                      FindSequence{"QuotesAndBrackets",
                                   {{"[Name] = 'Bob'", Ids{2}},
                                    {"[Name] = 'O''Brien'", Ids{3}},
                                    {"[Name] = \"O'Brien\"", Ids{3}},
                                    {"[Name] = 'x]'' or [Name] = ''Bob'", Ids{}},
                                    {"[Name] = '[Eve]'", Ids{}},
                                    {"[Name] = 'Eve'", Ids{5}},
                                    {"[Name] = 'Bob", err::ExpressionSyntax}}},
                      FindSequence{"TextsReadAsNumbers",
                                   {{"Id = '2'", Ids{2}},
                                    {"Id = 2", Ids{2}},
                                    {"Id = '5'", Ids{5}},
                                    {"Id = 'x'", err::CriteriaTypeMismatch},
                                    {"Id = 5", Ids{5}}}},
                      FindSequence{"TextsReadAsDates",
                                   {{"Born = '3/4/1999'", Ids{2}},
                                    {"Born = '12/31/2010'", Ids{5}},
                                    {"Born = 'abc'", err::CriteriaTypeMismatch}}},
                      FindSequence{"EqualTextsThenOthers",
                                   {{"Name = 'Bob' or City = 'Bob'", Ids{2}},
                                    {"Name = 'Eve' or City = 'Oslo'", Ids{1, 4, 5}},
                                    {"Name = 'Oslo' or City = 'Eve'", Ids{}},
                                    {"Name = 'ann' or City = 'Rome'", Ids{1, 2, 4}}}},
                      FindSequence{
                          "ExactTests",
                          {{"Name = 'ann' and StrComp(Name, 'ann', 0) = 0", Ids{4}},
                           {"Name = 'Ann' and StrComp(Name, 'Ann', 0) = 0", Ids{1}},
                           {"Name = 'Ann' and StrComp(Name, 'ann', 1) = 0", Ids{1, 4}},
                           {"Name = 'Ann' and StrComp(Name, 'x', 2) = 0", err::InvalidArgument}}},
                      FindSequence{"Patterns",
                                   {{"Name Like 'a*'", Ids{1, 4}},
                                    {"Name Like '?ob'", Ids{2}},
                                    {"Name Like '*'", Ids{1, 2, 3, 4, 5}},
                                    {"Name Like ''", Ids{}}}}),
    [](const ::testing::TestParamInfo<FindSequence>& info) { return info.param.name; });

// Steps of one shape whose fixed terms fold away, some of them with texts: every find
// after the first of its direction runs from the query kept for the shape.
using FoldedFindSequence = EngineFindSequence;

TEST_P(FoldedFindSequence, EachFindUsesItsOwnValuesFromOneParse) {
    const auto before = db.findsParsed();
    runSteps();
    EXPECT_EQ(db.findsParsed() - before, 2U) << "one parse forwards, one backwards";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FoldedFindSequence,
    ::testing::Values(
        FindSequence{"AndNeverMet",
                     {{"Name = 'Ann' and IsNull(City) and not IsNull(City)", Ids{}},
                      {"Name = 'Bob' and IsNull(City) and not IsNull(City)", Ids{}}}},
        FindSequence{
            "OrNeverMetBesideTexts",
            {{"Name = 'Bob' or City = 'Oslo' and IsNull(Born) and not IsNull(Born)", Ids{2}},
             {"Name = 'eve' or City = 'Rome' and IsNull(Born) and not IsNull(Born)", Ids{5}},
             {"Name = 'ann' or City = 'Paris' and IsNull(Born) and not IsNull(Born)", Ids{1, 4}}}},
        FindSequence{
            "FoldedFirst",
            {{"City = 'Oslo' and IsNull(Born) and not IsNull(Born) or Name = 'Bob'", Ids{2}},
             {"City = 'Rome' and IsNull(Born) and not IsNull(Born) or Name = 'Eve'", Ids{5}}}},
        FindSequence{
            "OrAlwaysMet",
            {{"City = 'Rome' or IsNull(Born) or not IsNull(Born)", Ids{1, 2, 3, 4, 5}},
             {"City = 'nowhere' or IsNull(Born) or not IsNull(Born)", Ids{1, 2, 3, 4, 5}}}}),
    [](const ::testing::TestParamInfo<FindSequence>& info) { return info.param.name; });

// Texts a comparison reads as numbers or dates: every text of the shape is read alike,
// with the same error for one that is no number or date, from the one parse.
INSTANTIATE_TEST_SUITE_P(
    ConvertedTexts, FoldedFindSequence,
    ::testing::Values(FindSequence{"Numbers",
                                   {{"Id = '2'", Ids{2}},
                                    {"Id = '5'", Ids{5}},
                                    {"Id = 'x'", err::CriteriaTypeMismatch},
                                    {"Id = '1E999'", err::CriteriaTypeMismatch},
                                    {"Id = '1'", Ids{1}}}},
                      FindSequence{"Dates",
                                   {{"Born = '3/4/1999'", Ids{2}},
                                    {"Born = 'abc'", err::CriteriaTypeMismatch},
                                    {"Born = '37623'", Ids{1}},
                                    {"Born = '12/31/2010'", Ids{5}}}},
                      FindSequence{"NumberBesideText",
                                   {{"Name = 'Bob' or Id = '3'", Ids{2, 3}},
                                    {"Name = 'Eve' or Id = '1'", Ids{1, 5}}}}),
    [](const ::testing::TestParamInfo<FindSequence>& info) { return info.param.name; });

// A text read as a date in a term folded away is still checked, each time, as written.
INSTANTIATE_TEST_SUITE_P(
    DroppedDates, EngineFindSequence,
    ::testing::Values(FindSequence{
        "FoldedDateText",
        {{"Name = 'Bob' or Born = '3/4/1999' and IsNull(City) and not IsNull(City)", Ids{2}},
         {"Name = 'Eve' or Born = 'abc' and IsNull(City) and not IsNull(City)",
          err::CriteriaTypeMismatch},
         {"Name = 'Eve' or Born = '1/2/2003' and IsNull(City) and not IsNull(City)", Ids{5}}}}),
    [](const ::testing::TestParamInfo<FindSequence>& info) { return info.param.name; });

struct ShapePair {
    const char* name;
    const char* first;
    const char* second;
    bool shared;
};

class FindShapeKey : public ::testing::TestWithParam<ShapePair> {};

TEST_P(FindShapeKey, SharedOnlyWhenOnlyTextsDiffer) {
    const auto a = findShape(GetParam().first);
    const auto b = findShape(GetParam().second);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->key == b->key, GetParam().shared);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, FindShapeKey,
    ::testing::Values(ShapePair{"OtherText", "[a] = 'x'", "[a] = 'y''s'", true},
                      ShapePair{"OtherQuote", "[a] = 'x'", "[a] = \"x\"", false},
                      ShapePair{"TextAndNumber", "[a] = '5'", "[a] = 5", false},
                      ShapePair{"OtherNumber", "[a] = 5", "[a] = 6", false},
                      ShapePair{"OtherDate", "[a] = #1/2/2003#", "[a] = #1/3/2003#", false},
                      ShapePair{"QuoteInName", "[it's] = 'x'", "[it's] = 'y'", true},
                      ShapePair{"OtherName", "[it's] = 'x'", "[it'z] = 'x'", false}),
    [](const ::testing::TestParamInfo<ShapePair>& info) { return info.param.name; });

TEST(FindShape, ReadsTextsAsTheParserDoes) {
    const auto s = findShape("[x'] = 'a''b' or `q'` = \"c\"\"d\" or d = #'#");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->texts, (std::vector<std::string>{"a'b", "c\"d"}));
    EXPECT_FALSE(findShape("[a] = 'open"));
    EXPECT_FALSE(findShape("[a = 'x'"));
    EXPECT_FALSE(findShape("[a\x01] = 'x'")); // the key's own mark, even inside a name
}

} // namespace
} // namespace varnoke::testing
