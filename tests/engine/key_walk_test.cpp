// A walk of a key's candidates passes over the rows that left the row set, and a row
// that left costs no later walk anything: deletes over a key held many times, one find
// or one keyed statement per record, stay linear.
#include "engine/connection.h"
#include "engine/key_index.h"
#include "engine/skip_links.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnoke::testing {
namespace {

using detail::KeyIndex;
using detail::SkipLinks;

// --- the links alone

struct LinksCase {
    const char* name;
    std::string passed; // 'x' at a position passed over for good
    std::vector<std::pair<std::size_t, std::size_t>> walks; // [from, end)
};

void PrintTo(const LinksCase& c, std::ostream* os) {
    *os << c.name;
}

class SkipLinksWalk : public ::testing::TestWithParam<LinksCase> {};

// Each walk finds the first position not passed over, as a plain scan does, no position
// is asked about twice over all the walks, and the links followed stay near one per
// position and walk: a stretch walked again is crossed in a step or two.
TEST_P(SkipLinksWalk, FindsWhatAScanFindsAskingOncePerPosition) {
    const auto& [name, passed, walks] = GetParam();
    SkipLinks links(passed.size());
    std::vector<int> asked(passed.size(), 0);
    for (const auto& [from, end] : walks) {
        std::size_t expected = from;
        while (expected < end && passed[expected] == 'x')
            ++expected;
        const std::size_t found = links.firstKept(from, end, [&](std::size_t p) {
            ++asked[p];
            return passed[p] == 'x';
        });
        EXPECT_EQ(found, expected) << "from " << from << " to " << end;
    }
    for (std::size_t p = 0; p < passed.size(); ++p) {
        if (passed[p] != 'x') continue;
        EXPECT_LE(asked[p], 1) << "position " << p;
    }
    EXPECT_LE(links.steps(), 2 * (passed.size() + walks.size())) << links.steps() << " steps";
}

using Walks = std::vector<std::pair<std::size_t, std::size_t>>;

// A long stretch passed over, walked `walks` times to its end, the walk i starting at
// from(i).
LinksCase longStretch(const char* name, std::size_t length, std::size_t walks,
                      std::size_t (*from)(std::size_t)) {
    LinksCase c{name, std::string(length, 'x') + ".", {}};
    for (std::size_t i = 0; i < walks; ++i)
        c.walks.emplace_back(from(i), length + 1);
    return c;
}

constexpr std::size_t kLong = 20000;

INSTANTIATE_TEST_SUITE_P(
    Stretches, SkipLinksWalk,
    ::testing::Values(
        LinksCase{"NonePassed", "....", Walks{{0, 4}, {1, 4}, {3, 4}, {4, 4}}},
        LinksCase{"AllPassed", "xxxxxx", Walks{{0, 6}, {0, 6}, {2, 6}, {5, 6}}},
        LinksCase{"EveryOther", "x.x.x.x.", Walks{{0, 8}, {2, 8}, {4, 8}, {6, 8}}},
        LinksCase{"StretchThenKept", "xxxxx.", Walks{{0, 6}, {1, 6}, {0, 6}}},
        // A walk that ends inside a stretch, then one that goes past it.
        LinksCase{"EndInsideAStretch", "xxxxxx..", Walks{{0, 3}, {0, 8}, {1, 8}}},
        // Two keys side by side: a link may lead past the end of the first.
        LinksCase{"IntoTheNextRange", "xxxxx.", Walks{{0, 3}, {3, 6}, {0, 3}}},
        LinksCase{"StartInsideAStretch", "xxxx.xx.", Walks{{2, 8}, {0, 8}, {5, 8}, {6, 7}}},
        LinksCase{"EmptyWalks", "xx", Walks{{0, 0}, {2, 2}, {1, 1}}},
        // Walked again and again: a quadratic number of steps unless a walk
        // leaves the links it followed short.
        longStretch("FromTheStartAgain", kLong, kLong, [](std::size_t) { return std::size_t{0}; }),
        longStretch("FromEachPosition", kLong, kLong, [](std::size_t i) { return i; }),
        longStretch("FromEachPositionLastFirst", kLong, kLong,
                    [](std::size_t i) { return kLong - 1 - i; })),
    [](const auto& info) { return std::string(info.param.name); });

// --- the key index's walks over rows that leave

struct KeysCase {
    const char* name;
    int rows;
    int distinct; // row i holds key i % distinct
    KeyIndex::Walk walk;
    // false: each find takes the first (or last) record left of its key, which then
    // leaves, as a first-occurrence delete does; true: the first walk takes every
    // record of the key, they all leave, and every later record asks again, as a
    // delete of all records does.
    bool allAtOnce;
};

void PrintTo(const KeysCase& c, std::ostream* os) {
    *os << c.name;
}

class KeyWalk : public ::testing::TestWithParam<KeysCase> {};

// The found rows are those a scan of the row set finds, and the questions about rows
// that left stay near one per row, however often a key is asked for.
TEST_P(KeyWalk, DeletedRecordsCostNoLaterWalk) {
    const KeysCase& c = GetParam();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    detail::Connection conn(":memory:", detail::DbPtr(raw));
    ASSERT_EQ(detail::configureConnection(raw), SQLITE_OK);
    conn.exec("CREATE TABLE T (K TEXT)");
    conn.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
              std::to_string(c.rows) + ") INSERT INTO T SELECT 'Key' || (i % " +
              std::to_string(c.distinct) + ") FROM n");
    const detail::TableInfo* table = conn.table("T");
    ASSERT_NE(table, nullptr);
    std::vector<std::int64_t> rowids;
    for (int i = 1; i <= c.rows; ++i)
        rowids.push_back(i);
    std::vector<char> alive(rowids.size(), 1);
    auto index = KeyIndex::scan(conn, *table, "K", rowids, alive);
    ASSERT_TRUE(index.has_value());

    long questions = 0;
    auto gone = [&](std::size_t slot) {
        ++questions;
        return !alive[slot];
    };
    const bool forwards = c.walk == KeyIndex::Walk::Forwards;
    const std::size_t from = forwards ? 0 : rowids.size();
    // The slot a scan of the row set finds first for key k (case-blind, as the index).
    auto scanned = [&](int k) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < alive.size(); ++i) {
            const std::size_t s = forwards ? i : alive.size() - 1 - i;
            if (alive[s] && static_cast<int>(s) % c.distinct == k) return s;
        }
        return std::nullopt;
    };
    long walks = 0;
    // Each record asks once for its key; every key is asked for once per record of it.
    for (int r = 0; r < c.rows; ++r) {
        const int k = r % c.distinct;
        const std::string text = "KEY" + std::to_string(k);
        ++walks;
        if (c.allAtOnce) {
            std::vector<std::size_t> taken;
            index->firstCandidate(text, c.walk, from, gone, [&](std::size_t slot) {
                taken.push_back(slot);
                return false;
            });
            std::vector<std::size_t> expected;
            for (std::size_t s = 0; s < alive.size(); ++s)
                if (alive[s] && static_cast<int>(s) % c.distinct == k) expected.push_back(s);
            if (!forwards) std::reverse(expected.begin(), expected.end());
            ASSERT_EQ(taken, expected) << "record " << r;
            for (std::size_t s : taken)
                alive[s] = 0;
        } else {
            const auto found =
                index->firstCandidate(text, c.walk, from, gone, [](std::size_t) { return true; });
            ASSERT_EQ(found, scanned(k)) << "record " << r;
            if (found) alive[*found] = 0;
        }
    }
    // A walk asks about each record that left once, and about one record it takes, and
    // follows a link or two past the records that left before it.
    EXPECT_LE(questions, 2L * c.rows + walks) << questions << " questions";
    EXPECT_LE(index->linkSteps(), static_cast<std::uint64_t>(2L * c.rows + 2 * walks))
        << index->linkSteps() << " steps";
}

INSTANTIATE_TEST_SUITE_P(
    Deletes, KeyWalk,
    ::testing::Values(KeysCase{"AllEqualFirstOccurrence", 3000, 1, KeyIndex::Walk::Forwards, false},
                      KeysCase{"AllEqualLastOccurrence", 3000, 1, KeyIndex::Walk::Backwards, false},
                      KeysCase{"AllEqualAllRecords", 3000, 1, KeyIndex::Walk::Forwards, true},
                      KeysCase{"AllEqualAllRecordsBackwards", 3000, 1, KeyIndex::Walk::Backwards,
                               true},
                      KeysCase{"RepeatedFirstOccurrence", 4000, 4, KeyIndex::Walk::Forwards, false},
                      KeysCase{"RepeatedLastOccurrence", 4000, 4, KeyIndex::Walk::Backwards, false},
                      KeysCase{"RepeatedAllRecords", 4000, 4, KeyIndex::Walk::Forwards, true},
                      KeysCase{"UniqueFirstOccurrence", 500, 500, KeyIndex::Walk::Forwards, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace varnoke::testing
