// Rows wider than a table holds: blank cells past the last field are spacing and cost no
// memory, and a grid wider than a table is refused before its columns are typed.
#include "drivers/cell_grid.h"
#include "drivers/child_read.h"
#include "drivers/csv_reader.h"
#include "drivers/html_format.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <functional>

namespace varnoke::test {
namespace {

using namespace std::chrono_literals;

struct WideCase {
    const char* label;
    std::function<std::string()> text;
    std::function<void(const std::string&, ForeignTableSink&)> read;
};

class BlankCellsTest : public ::testing::TestWithParam<WideCase> {};

// Three million blank cells after the one value: kept one by one they would take more
// than the 48 MiB the reading child is given here.
TEST_P(BlankCellsTest, PastTheLastFieldTakeNoMemory) {
    const std::string text = GetParam().text();
    Table t;
    drivers::readInChild(
        "wide", drivers::ChildLimits{60s, 48u * 1024 * 1024, 60s, 1000},
        [&](ForeignTableSink& sink) { GetParam().read(text, sink); }, t);
    ASSERT_EQ(t.fields.size(), 1u);
    EXPECT_EQ(t.fields[0].name, "a");
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0], Value::number(1));
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Readers, BlankCellsTest,
    ::testing::Values(WideCase{"Csv", [] { return "a\n1" + std::string(3'000'000, ',') + "\n"; },
                               [](const std::string& text, ForeignTableSink& sink) {
                                   drivers::readCsvImage(text, "wide.csv", sink);
                               }},
                      WideCase{"Html",
                               [] {
                                   return "<table><tr><th>a<tr><td>1" +
                                          repeated("<td>", 3'000'000) + "</table>";
                               },
                               [](const std::string& text, ForeignTableSink& sink) {
                                   drivers::readHtmlImage(
                                       {reinterpret_cast<const std::uint8_t*>(text.data()),
                                        text.size()},
                                       "wide.html", "", sink);
                               }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(GridTyper, AGridWiderThanATableIsRefusedByItsHeader) {
    drivers::GridTyper typer(drivers::CellSource::Worksheet, "wide.wk4");
    try {
        typer.header(drivers::CellRow(2001, Value::text("x")));
        FAIL() << "the header was taken";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_EQ(std::string(e.what()), "The file 'wide.wk4' is not in the expected format: it "
                                         "has 2001 fields, more than the 2000 a table can hold.");
    }
}

} // namespace
} // namespace varnoke::test
