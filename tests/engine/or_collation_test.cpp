// Random Or criteria over an indexed and an unindexed text column, their terms compared
// case-blind and byte for byte, against the criteria's meaning worked out here row by
// row: finds both ways, SELECT, UPDATE and DELETE must meet exactly those rows.
#include "engine_fixture.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <set>

namespace varnoke::testing {
namespace {

enum class Truth { False, True, Null };

Truth truthOf(bool b) {
    return b ? Truth::True : Truth::False;
}

Truth either(Truth a, Truth b) {
    if (a == Truth::True || b == Truth::True) return Truth::True;
    return a == Truth::Null || b == Truth::Null ? Truth::Null : Truth::False;
}

Truth both(Truth a, Truth b) {
    if (a == Truth::False || b == Truth::False) return Truth::False;
    return a == Truth::Null || b == Truth::Null ? Truth::Null : Truth::True;
}

using Text = std::optional<std::string>;

std::string folded(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Row {
    long id;
    Text k, u;
};

// One comparison of a column with a text (or with the other column), in one of the
// forms the renderer writes differently.
struct Term {
    enum Form {
        Equal,
        EqualMirrored,
        Exact,
        ExactMirrored,
        CaseBlindStrComp,
        NotEqual,
        Less,
        EqualNull,
        IsNullCall,
        ColumnsEqual,
        ColumnsExact,
        FormCount
    };
    Form form;
    bool onK;
    std::string value;

    std::string column() const { return onK ? "[K]" : "[U]"; }

    std::string text() const {
        const std::string v = "'" + value + "'";
        switch (form) {
        case Equal:
            return column() + " = " + v;
        case EqualMirrored:
            return v + " = " + column();
        case Exact:
            return "StrComp(" + column() + ", " + v + ", 0) = 0";
        case ExactMirrored:
            return "0 = StrComp(" + column() + ", " + v + ")";
        case CaseBlindStrComp:
            return "StrComp(" + column() + ", " + v + ", 1) = 0";
        case NotEqual:
            return column() + " <> " + v;
        case Less:
            return column() + " < " + v;
        case EqualNull:
            return column() + " = Null";
        case IsNullCall:
            return "IsNull(" + column() + ")";
        case ColumnsEqual:
            return "[K] = [U]";
        case ColumnsExact:
            return "StrComp([K], [U], 0) = 0";
        default:
            return "";
        }
    }

    Truth on(const Row& row) const {
        const Text& c = onK ? row.k : row.u;
        switch (form) {
        case IsNullCall:
            return truthOf(!c);
        case EqualNull:
            return Truth::Null;
        case ColumnsEqual:
        case ColumnsExact:
            if (!row.k || !row.u) return Truth::Null;
            return truthOf(form == ColumnsExact ? *row.k == *row.u
                                                : folded(*row.k) == folded(*row.u));
        default:
            break;
        }
        if (!c) return Truth::Null;
        switch (form) {
        case Exact:
        case ExactMirrored:
            return truthOf(*c == value);
        case NotEqual:
            return truthOf(folded(*c) != folded(value));
        case Less:
            return truthOf(folded(*c) < folded(value));
        default:
            return truthOf(folded(*c) == folded(value));
        }
    }
};

// An Or of items, each a term or an And of two.
struct Criteria {
    std::vector<std::vector<Term>> items;

    std::string text() const {
        std::string out;
        for (const auto& item : items) {
            if (!out.empty()) out += " Or ";
            out += item.size() == 1 ? item[0].text()
                                    : "(" + item[0].text() + " And " + item[1].text() + ")";
        }
        return out;
    }

    bool meets(const Row& row) const {
        Truth all = Truth::False;
        for (const auto& item : items) {
            Truth t = item[0].on(row);
            if (item.size() > 1) t = both(t, item[1].on(row));
            all = either(all, t);
        }
        return all == Truth::True;
    }
};

const char* const kValues[] = {"a", "A", "b", "B", "bob", "Bob", "BOB"};

class OrCollation : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        db.execute("CREATE TABLE T (Id LONG, K TEXT(10), U TEXT(10), M LONG)");
        db.execute("CREATE INDEX ik ON T (K)");
        std::mt19937 rng(46);
        auto pick = [&]() -> Text {
            const auto i = rng() % 9;
            if (i >= 7) return std::nullopt;
            return kValues[i];
        };
        for (long id = 1; id <= 24; ++id) {
            Row row{id, pick(), pick()};
            rows_.push_back(row);
            auto lit = [](const Text& t) { return t ? "'" + *t + "'" : std::string("Null"); };
            db.execute("INSERT INTO T VALUES (" + std::to_string(id) + ", " + lit(row.k) + ", " +
                       lit(row.u) + ", 0)");
        }
        db.execute("SELECT * INTO Kept FROM T");
        // The indexes a find of K asks for, case-blind and exact, so SQLite may pick them.
        auto rs = db.openRecordset("T", RecordsetType::Dynaset);
        rs.explainFind("[K] = 'a'");
        rs.explainFind("StrComp([K], 'a', 0) = 0");
    }

    Criteria randomCriteria(std::mt19937& rng) const {
        auto term = [&] {
            Term t;
            t.form = static_cast<Term::Form>(rng() % Term::FormCount);
            t.onK = rng() % 3 != 0;
            t.value = kValues[rng() % std::size(kValues)];
            return t;
        };
        Criteria c;
        const auto n = 2 + rng() % 3;
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<Term> item{term()};
            if (rng() % 5 == 0) item.push_back(term());
            c.items.push_back(std::move(item));
        }
        return c;
    }

    std::set<long> meeting(const Criteria& c) const {
        std::set<long> ids;
        for (const auto& row : rows_)
            if (c.meets(row)) ids.insert(row.id);
        return ids;
    }

    std::set<long> selectIds(const std::string& where) {
        std::set<long> ids;
        auto rs = db.openRecordset("SELECT Id FROM T WHERE " + where, RecordsetType::Snapshot);
        for (; !rs.eof(); rs.moveNext())
            ids.insert(static_cast<long>(rs.value("Id").asNumber()));
        return ids;
    }

    const Row& row(long id) const { return rows_[static_cast<std::size_t>(id - 1)]; }

    // The records a find meets, forwards, in the row set's order, worked out record by
    // record; and the same for a find backwards.
    bool findsAgree(const std::string& source, const Criteria& c) {
        auto rs = db.openRecordset(source, RecordsetType::Dynaset);
        std::vector<long> order;
        for (; !rs.eof(); rs.moveNext()) {
            const long id = static_cast<long>(rs.value("Id").asNumber());
            if (c.meets(row(id))) order.push_back(id);
        }
        const auto forwards = foundIds(rs, c.text());
        auto backwards = foundIds(rs, c.text(), true);
        std::reverse(backwards.begin(), backwards.end());
        EXPECT_EQ(forwards, order) << source << " where " << c.text();
        EXPECT_EQ(backwards, order) << source << " where " << c.text();
        return forwards == order && backwards == order;
    }

    bool updateAgrees(const Criteria& c, const std::set<long>& expected) {
        const long changed = db.execute("UPDATE T SET M = 1 WHERE " + c.text());
        const auto marked = selectIds("M = 1");
        db.execute("UPDATE T SET M = 0 WHERE M = 1");
        EXPECT_EQ(marked, expected) << "UPDATE where " << c.text();
        EXPECT_EQ(changed, static_cast<long>(expected.size())) << c.text();
        return marked == expected && changed == static_cast<long>(expected.size());
    }

    bool deleteAgrees(const Criteria& c, const std::set<long>& expected) {
        const long gone = db.execute("DELETE FROM T WHERE " + c.text());
        std::set<long> deleted;
        const auto left = selectIds("True");
        for (const auto& r : rows_)
            if (!left.count(r.id)) deleted.insert(r.id);
        db.execute("INSERT INTO T SELECT * FROM Kept WHERE Id NOT IN (SELECT Id FROM T)");
        EXPECT_EQ(deleted, expected) << "DELETE where " << c.text();
        EXPECT_EQ(gone, static_cast<long>(expected.size())) << c.text();
        return deleted == expected && gone == static_cast<long>(expected.size());
    }

    // Whether every way of reading the criteria meets exactly the rows it means; the
    // statements that write only with `writes`, as each write is a commit of its own.
    bool agrees(const Criteria& c, bool writes) {
        const auto expected = meeting(c);
        const auto selected = selectIds(c.text());
        EXPECT_EQ(selected, expected) << "SELECT where " << c.text();
        bool agree = selected == expected;
        agree = findsAgree("T", c) && agree;
        agree = findsAgree("SELECT * FROM T ORDER BY U, Id", c) && agree;
        if (!writes) return agree;
        agree = updateAgrees(c, expected) && agree;
        return deleteAgrees(c, expected) && agree;
    }

    std::vector<Row> rows_;
};

TEST_F(OrCollation, EveryTermKeepsItsOwnCollation) {
    using F = Term::Form;
    // The shapes that once met other rows: an Or of equalities on one column that SQLite
    // may answer as one IN list, in one collation.
    const std::vector<Criteria> known{
        {{{{F::Equal, true, "a"}}, {{F::Exact, true, "a"}}}},
        {{{{F::EqualMirrored, true, "a"}}, {{F::EqualMirrored, true, "b"}}}},
        {{{{F::Exact, true, "a"}}, {{F::EqualNull, true, ""}}}},
        {{{{F::Exact, true, "bob"}}, {{F::Equal, true, "b"}}, {{F::EqualMirrored, true, "A"}}}},
        {{{{F::Exact, false, "Bob"}}, {{F::Equal, false, "bob"}}}},
    };
    int mismatches = 0;
    for (const auto& c : known)
        if (!agrees(c, true)) ++mismatches;
    std::mt19937 rng(4601);
    constexpr int kCases = 600;
    constexpr int kWritten = 100;
    for (int i = 0; i < kCases; ++i)
        if (!agrees(randomCriteria(rng), i < kWritten)) ++mismatches;
    EXPECT_EQ(mismatches, 0) << "of " << kCases + known.size() << " Or criteria";
}

// Each form, alone or in an Or, is still a search of an index in its own collation,
// for a statement and for a find: no scan of the table.
TEST_F(OrCollation, EveryFormStillSearchesAnIndex) {
    for (const char* criteria :
         {"'a' = [K]", "StrComp([K], 'a', 0) = 0", "[K] = 'a' Or StrComp([K], 'b', 0) = 0",
          "'a' = [K] Or 'b' = [K]", "[K] = 'a' Or [U] = 'b'", "StrComp([U], 'a', 0) = 0"}) {
        auto rs = db.openRecordset("T", RecordsetType::Dynaset);
        for (const auto& plan :
             {db.explainStatement(std::string("UPDATE T SET M = 2 WHERE ") + criteria),
              rs.explainFind(criteria)}) {
            std::string lines;
            for (const auto& line : plan)
                lines += line + "\n";
            EXPECT_NE(lines.find(" INDEX "), std::string::npos) << criteria << "\n" << lines;
            EXPECT_EQ(lines.find("SCAN main.T"), std::string::npos) << criteria << "\n" << lines;
            EXPECT_EQ(lines.find("SCAN vk_t"), std::string::npos) << criteria << "\n" << lines;
        }
    }
}

} // namespace
} // namespace varnoke::testing
