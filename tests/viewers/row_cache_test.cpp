#include "viewers/row_cache.h"

#include <gtest/gtest.h>

using namespace varnoke;

namespace {

std::vector<CachedRow> rows(long first, long n) {
    std::vector<CachedRow> out;
    for (long i = first; i < first + n; ++i)
        out.push_back({i * 10, {Value::number(static_cast<double>(i))}});
    return out;
}

} // namespace

TEST(RowCache, NothingIsHeldAfterReset) {
    RowCache cache(4);
    cache.reset(10);
    EXPECT_EQ(cache.rowCount(), 10);
    EXPECT_EQ(cache.row(0), nullptr);
    EXPECT_EQ(cache.missing(1, 2), (RowRange{0, 3}));
    EXPECT_EQ(cache.heldRowCount(), 0);
}

TEST(RowCache, MissingWidensToChunksAndClipsToTheRowSet) {
    RowCache cache(4);
    cache.reset(10);
    EXPECT_EQ(cache.missing(5, 50), (RowRange{4, 9}));
    EXPECT_EQ(cache.missing(-3, 0), (RowRange{0, 3}));
    EXPECT_FALSE(cache.missing(10, 20).has_value());
}

TEST(RowCache, HeldChunksAreTrimmedFromTheRange) {
    RowCache cache(4);
    cache.reset(12);
    cache.store(0, rows(0, 4));
    EXPECT_EQ(cache.missing(0, 11), (RowRange{4, 11}));
    cache.store(8, rows(8, 4));
    EXPECT_EQ(cache.missing(0, 11), (RowRange{4, 7}));
    cache.store(4, rows(4, 4));
    EXPECT_FALSE(cache.missing(0, 11).has_value());
    ASSERT_NE(cache.row(6), nullptr);
    EXPECT_EQ(cache.row(6)->bookmark, 60);
    EXPECT_EQ(cache.heldRowCount(), 12);
}

TEST(RowCache, AShortReadIsFetchedAgain) {
    RowCache cache(4);
    cache.reset(8);
    cache.store(4, rows(4, 2)); // the recordset ended early
    EXPECT_NE(cache.row(5), nullptr);
    EXPECT_EQ(cache.row(6), nullptr);
    EXPECT_EQ(cache.missing(4, 7), (RowRange{4, 7}));
}

TEST(RowCache, StoreMustStartAChunk) {
    RowCache cache(4);
    cache.reset(8);
    EXPECT_THROW(cache.store(2, rows(2, 2)), std::invalid_argument);
}

TEST(RowCache, ReplaceChangesOnlyAHeldRow) {
    RowCache cache(4);
    cache.reset(8);
    cache.store(0, rows(0, 4));
    cache.replace(1, {99, {Value::text("new")}});
    cache.replace(5, {98, {Value::text("ignored")}});
    EXPECT_EQ(cache.row(1)->values[0], Value::text("new"));
    EXPECT_EQ(cache.row(5), nullptr);
}

TEST(RowCache, InvalidateFromForgetsTheChunkOfTheChangeAndAfter) {
    RowCache cache(4);
    cache.reset(12);
    cache.store(0, rows(0, 4));
    cache.store(4, rows(4, 4));
    cache.store(8, rows(8, 4));
    cache.invalidateFrom(5, 11); // a row deleted at 5
    EXPECT_EQ(cache.rowCount(), 11);
    EXPECT_NE(cache.row(3), nullptr);
    EXPECT_EQ(cache.row(4), nullptr);
    EXPECT_EQ(cache.missing(0, 10), (RowRange{4, 10}));
    cache.invalidateFrom(11, 12); // a row added at the end
    EXPECT_EQ(cache.rowCount(), 12);
    EXPECT_EQ(cache.missing(0, 11), (RowRange{4, 11}));
}
