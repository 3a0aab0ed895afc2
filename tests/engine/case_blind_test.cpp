// Text compares without regard to case for every letter that has one, not only A-Z:
// 'café' finds 'CAFÉ' and 'ΟΔΟΣ' finds 'οδος', while marks still count and 'ß' is not
// "ss". Each criteria below must choose the same records on every path a text can be
// compared by: a find answered by the key index, a find answered by SQLite, a filter,
// a SELECT, an UPDATE (through the key index of an open recordset) and a DELETE.
#include "engine_fixture.h"
#include "value/case_fold.h"

#include <algorithm>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

const char* const kWords[] = {
    "café",   "CAFÉ",    "cafe",   "Bob",   "bob",   "ΟΔΟΣ",  "οδος",
    "straße", "STRASSE", "STRAẞE", "Ärger", "ärger", "Arger",
};

struct Criteria {
    const char* name;
    const char* text;
    std::vector<long> ids; // of the records it meets, in table order
};

void PrintTo(const Criteria& c, std::ostream* os) {
    *os << c.name;
}

class CaseBlindTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        db.execute("CREATE TABLE Words (Id LONG, Word TEXT(20), Hit LONG)");
        long id = 0;
        for (const char* w : kWords)
            db.execute("INSERT INTO Words VALUES (" + std::to_string(++id) + ", '" + w + "', 0)");
    }

    static long idOf(const Recordset& rs) { return static_cast<long>(rs.value("Id").asNumber()); }

    static std::vector<long> allIds(Recordset rs) {
        std::vector<long> ids;
        for (; !rs.eof(); rs.moveNext())
            ids.push_back(idOf(rs));
        return ids;
    }

    std::vector<long> selected(const std::string& where) {
        return allIds(db.openRecordset("SELECT * FROM Words WHERE " + where + " ORDER BY Id",
                                       RecordsetType::Dynaset));
    }
};

class CaseBlind : public CaseBlindTest, public ::testing::WithParamInterface<Criteria> {};

TEST_P(CaseBlind, EveryPathMeetsTheSameRecords) {
    const auto& [name, text, ids] = GetParam();
    // In stored order a find of "[F] = 'text'" answers from the key index; sorted, the
    // same rows go to SQLite.
    auto keyed = db.openRecordset("Words", RecordsetType::Dynaset);
    EXPECT_EQ(foundIds(keyed, text), ids) << "find in stored order";
    auto sorted = keyed.openSorted("Id");
    EXPECT_EQ(foundIds(sorted, text), ids) << "find in a sorted row set";
    EXPECT_EQ(allIds(keyed.openFiltered(text)), ids) << "filter";
    EXPECT_EQ(selected(text), ids) << "SELECT";

    // The key index stays open, so a keyed UPDATE may answer from it.
    EXPECT_EQ(db.execute(std::string("UPDATE Words SET Hit = 1 WHERE ") + text),
              static_cast<long>(ids.size()));
    EXPECT_EQ(selected("Hit = 1"), ids) << "UPDATE";
    EXPECT_EQ(foundIds(keyed, text), ids) << "find after the UPDATE";

    EXPECT_EQ(db.execute(std::string("DELETE FROM Words WHERE ") + text),
              static_cast<long>(ids.size()));
    EXPECT_EQ(selected("Hit = 1"), std::vector<long>{}) << "DELETE";
    EXPECT_EQ(db.openRecordset("Words", RecordsetType::Dynaset).recordCount(),
              static_cast<long>(std::size(kWords) - ids.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, CaseBlind,
    ::testing::Values(Criteria{"AsciiLetters", "Word = 'BOB'", {4, 5}},
                      Criteria{"AccentedCapital", "[Word] = 'Café'", {1, 2}},
                      Criteria{"MarksCount", "Word = 'CAFE'", {3}},
                      Criteria{"FinalAndCapitalSigma", "Word = 'οδοσ'", {6, 7}},
                      Criteria{"SharpSIsNotSs", "Word = 'STRAßE'", {8, 10}},
                      Criteria{"InAList", "Word In ('ÄRGER', 'x')", {11, 12}},
                      Criteria{"Between", "Word Between 'ärger' And 'ÄRGER'", {11, 12}},
                      Criteria{"LikeLiteral", "Word Like 'ÄR*'", {11, 12}},
                      Criteria{"LikeEnding", "Word Like '*FÉ'", {1, 2}},
                      Criteria{"LikeRange", "Word Like 'caf[à-ê]'", {1, 2}},
                      Criteria{"LikeNegatedSet", "Word Like '[!Ä]rger'", {13}},
                      Criteria{"StrCompCaseBlind", "StrComp(Word, 'ÄRGER', 1) = 0", {11, 12}},
                      Criteria{"StrCompExactStaysExact", "StrComp(Word, 'ärger', 0) = 0", {12}},
                      Criteria{"ExactTestAfterCaseBlind",
                               "Word = 'CAFÉ' And StrComp([Word], 'café', 0) = 0",
                               {1}},
                      Criteria{"InStr", "InStr(Word, 'FÉ') > 0", {1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

// Folded letters sort by their folds: 'éa' before 'Éb' (SQLite's NOCASE put 'Éb' first, as
// it compared 'É' by its bytes), and a tie keeps table order.
TEST_F(CaseBlindTest, SortsByFoldedLetters) {
    db.execute("CREATE TABLE S (Id LONG, Word TEXT(10))");
    const char* words[] = {"Éb", "éa", "Σβ", "σα", "b", "A", "a"};
    long id = 0;
    for (const char* w : words)
        db.execute("INSERT INTO S VALUES (" + std::to_string(++id) + ", '" + w + "')");
    const std::vector<long> ascending = {6, 7, 5, 2, 1, 4, 3};
    auto rs = db.openRecordset("S", RecordsetType::Dynaset);
    EXPECT_EQ(allIds(rs.openSorted("Word")), ascending);
    EXPECT_EQ(allIds(db.openRecordset("SELECT * FROM S ORDER BY Word", RecordsetType::Dynaset)),
              ascending);
    EXPECT_EQ(allIds(rs.openSorted("Word DESC")), (std::vector<long>{3, 4, 1, 2, 5, 6, 7}));
    db.execute("CREATE INDEX ByWord ON S (Word)");
    auto table = db.openRecordset("S", RecordsetType::Table);
    table.setIndex("ByWord");
    table.moveFirst();
    EXPECT_EQ(allIds(table), ascending);
    table.seek("=", Value::text("ÉA"));
    ASSERT_FALSE(table.noMatch());
    EXPECT_EQ(idOf(table), 2);
}

// Texts that are not well-formed UTF-8 sort and search by the same fold as any other:
// SQLite's sort and index agree with the fold function, and every find meets the records
// the fold calls equal, whether the key index or SQLite answers it.
TEST_F(CaseBlindTest, StrayBytesSortAndSearchByTheSameFold) {
    const std::vector<std::string> texts = {"a\xff", "\xc3", "É",     "A\xff",        "é\x80",
                                            "\x80",  "é",    "\xc3x", "\xed\xa0\x80", "E"};
    db.execute("CREATE TABLE B (Id LONG, Word TEXT(10))");
    auto rs = db.openRecordset("B", RecordsetType::Dynaset);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        rs.addNew();
        rs.setValue("Id", Value::number(static_cast<double>(i + 1)));
        rs.setValue("Word", Value::text(texts[i]));
        rs.update();
    }
    std::vector<long> expected(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        expected[i] = static_cast<long>(i + 1);
    std::stable_sort(expected.begin(), expected.end(), [&](long x, long y) {
        return compareFolded(texts[static_cast<std::size_t>(x - 1)],
                             texts[static_cast<std::size_t>(y - 1)]) < 0;
    });
    EXPECT_EQ(allIds(rs.openSorted("Word")), expected);
    db.execute("CREATE INDEX ByWord ON B (Word)");
    auto table = db.openRecordset("B", RecordsetType::Table);
    table.setIndex("ByWord");
    table.moveFirst();
    EXPECT_EQ(allIds(table), expected);

    auto sorted = rs.openSorted("Id");
    for (const auto& text : texts) {
        std::vector<long> equal;
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (sameFolded(texts[i], text)) equal.push_back(static_cast<long>(i + 1));
        std::string quoted = "Word = '" + text + "'";
        EXPECT_EQ(foundIds(rs, quoted), equal) << "key index: " << quoted;
        EXPECT_EQ(foundIds(sorted, quoted), equal) << "SQLite: " << quoted;
    }
}

} // namespace
} // namespace varnoke::testing
