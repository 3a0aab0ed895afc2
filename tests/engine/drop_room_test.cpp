// A table dropped on a nearly full disk. A drop journals the pages it changes (the file's
// header, the schema, the list of free pages), never every page of the table, so the
// little room a full disk leaves is enough whatever the table's size: a failed link's
// copy is not left behind for want of room to remove it.
#include "engine_fixture.h"
#include "support/full_disk.h"

#include <filesystem>

namespace varnoke::testing {
namespace {

// Writes that may still grow a file once the disk is full: a few pages' journal records.
constexpr int kRoom = 24;

struct DropCase {
    const char* label;
    int rows; // of 200 characters each
};

class DropRoomTest : public EngineTest, public ::testing::WithParamInterface<DropCase> {
protected:
    void TearDown() override {
        disk.clear();
        if (db.isOpen()) db.forgetLostWrites();
        EngineTest::TearDown();
    }

    test::FullDisk disk;
};

TEST_P(DropRoomTest, NeedsRoomForAFewPagesWhateverTheTablesSize) {
    db.execute("CREATE TABLE Copy (Id LONG, Line TEXT(255))");
    const std::string line(200, 'x');
    for (int i = 0; i < GetParam().rows; ++i)
        db.execute("INSERT INTO Copy VALUES (" + std::to_string(i) + ", '" + line + "')");
    db.flush();

    disk.fillAfter(std::filesystem::path(path()).parent_path().string(), kRoom);
    EXPECT_NO_THROW({
        db.tableDefs().remove("Copy");
        db.flush();
    });
    const int refused = disk.refusedWrites();
    disk.clear();

    EXPECT_EQ(refused, 0);
    EXPECT_FALSE(db.tableDefs().contains("Copy"));
    EXPECT_EQ(
        test::committedTexts(path(), "SELECT count(*) FROM sqlite_master WHERE name = 'Copy'"),
        std::vector<std::string>{"0"});
}

INSTANTIATE_TEST_SUITE_P(Sizes, DropRoomTest,
                         ::testing::Values(DropCase{"AFewPages", 40},
                                           DropCase{"HundredsOfPages", 4000}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::testing
