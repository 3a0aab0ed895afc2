// What a link leaves behind: every field name of the file, and on a disk that fills part
// way through, the previous copy or the new one, whole, never neither.
#include "dialog_fixture.h"

#include "shell/table_names.h"
#include "support/full_disk.h"

#include <cstdint>

namespace varnoke::test {
namespace {

// A dBase III file of text fields and one record.
std::string dbaseFile(const Items& names) {
    const auto le = [](std::string& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    constexpr int kWidth = 8;
    std::string out{'\x03', 99, 1, 1};
    le(out, 1, 4);
    le(out, static_cast<std::uint32_t>(32 * names.size() + 33), 2);
    le(out, static_cast<std::uint32_t>(1 + kWidth * names.size()), 2);
    out.append(20, '\0');
    for (const auto& name : names) {
        std::string field = name;
        field.resize(11, '\0');
        field += 'C';
        field.append(4, '\0');
        field += static_cast<char>(kWidth);
        field.append(15, '\0');
        out += field;
    }
    out += '\x0D';
    out += ' ';
    for (std::size_t i = 0; i < names.size(); ++i)
        out += "value" + std::to_string(i + 10) + " ";
    return out + '\x1A';
}

std::string csvFile(const Items& names) {
    std::string header;
    std::string row;
    for (std::size_t i = 0; i < names.size(); ++i) {
        header += (i ? "," : "") + names[i];
        row += (i ? "," : "") + std::to_string(i);
    }
    return header + "\n" + row + "\n";
}

class FieldNames : public DialogTest,
                   public ::testing::WithParamInterface<std::tuple<std::string, int>> {};

// The field list is read while the event loop runs. The loop allocates as the real one
// does, so memory the link no longer holds is taken and written over.
TEST_P(FieldNames, EveryFieldOfTheFileIsListed) {
    const auto& [type, count] = GetParam();
    const bool dbase = type == "dBase IV";
    Items names;
    for (int i = 1; i <= count; ++i)
        names.push_back(dbase ? "FIELD_" + std::to_string(i)
                              : "Column number " + std::to_string(i) + " of a wide file");
    const auto path = dbase ? dir.file("wide.dbf") : dir.file("wide.csv");
    std::ofstream(path, std::ios::binary) << (dbase ? dbaseFile(names) : csvFile(names));
    std::vector<std::string> churn;
    scripted.events.onYield = [&](int) {
        for (std::size_t size = 16; size <= 2048; size += 8)
            for (int i = 0; i < 16; ++i)
                churn.emplace_back(size, '#');
    };

    openFileA(path, type);

    EXPECT_EQ(c().list1.items, names);
    EXPECT_EQ(c().list2.items, names);
    // One a field, and one as the link ends for the input that waited.
    EXPECT_EQ(scripted.events.yields, count + 1);
    EXPECT_EQ(column("Table1", names.back()),
              Items{dbase ? "value" + std::to_string(count + 9) : std::to_string(count - 1)});
}

std::string fieldCaseName(const ::testing::TestParamInfo<std::tuple<std::string, int>>& info) {
    return (std::get<0>(info.param) == "dBase IV" ? "Dbase" : "Csv") +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Files, FieldNames,
                         ::testing::Combine(::testing::Values("dBase IV",
                                                              "Comma-delimited text (CSV)"),
                                            ::testing::Range(1, 13)),
                         fieldCaseName);

// ---- a disk that fills part way through a link

struct DiskCase {
    std::string label;
    bool oneDatabase; // File A in the one-database mode (Table1 and Table2), else File B
    std::string keptNote;
};

void PrintTo(const DiskCase& c, std::ostream* os) {
    *os << c.label;
}

class FullDiskLink : public DialogTest, public ::testing::WithParamInterface<DiskCase> {
protected:
    void TearDown() override {
        disk.clear();
        if (shared.workDb.isOpen()) shared.workDb.forgetLostWrites();
        DialogTest::TearDown();
    }
    void open(const std::string& path, const std::string& type) {
        if (GetParam().oneDatabase) {
            openFileA(path, type);
        } else {
            model->option2Click();
            openFileB(path, type);
        }
    }
    // The first column of the table as the file holds it for another program.
    Items committed(const std::string& table) {
        try {
            return committedTexts((dir.path() / "varnoker.mdb").string(),
                                  "SELECT * FROM \"" + table + "\"");
        } catch (const std::runtime_error& e) {
            return {e.what()};
        }
    }
    // ... and as the program reads it.
    Items seen(const std::string& table) {
        try {
            Items out;
            auto rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
            for (; !rs.eof(); rs.moveNext())
                out.push_back(textOrBlank(rs.field(0).value()));
            return out;
        } catch (const RuntimeError& e) {
            return {e.description()};
        }
    }

    FullDisk disk;
};

TEST_P(FullDiskLink, LeavesTheOldCopyOrTheNewOneWholeAndSaysWhich) {
    const Items oldRows{"Alice", "Bob"};
    const Items newRows{"1", "2", "3"};
    const Items targets = GetParam().oneDatabase ? Items{"Table1", "Table2"} : Items{"Table2"};
    const auto oldFile = peopleDbf();
    const auto newFile = citiesCsv();
    // Each round lets one more write through than the last, until the link has room.
    for (int room = 0;; ++room) {
        SCOPED_TRACE("writes before the disk filled: " + std::to_string(room));
        ASSERT_LT(room, 1000);
        scripted.prompter = {};
        open(oldFile, "dBase IV");
        ASSERT_EQ(committed(targets[0]), oldRows);
        scripted.prompter.answer(answer::Ok).answer(answer::Ok).answer(answer::Ok);
        disk.fillAfter(dir.path().string(), room);
        open(newFile, "Comma-delimited text (CSV)");
        const bool refused = disk.refusedWrites() > 0;
        disk.clear();

        const Items now = committed(targets[0]);
        EXPECT_TRUE(now == oldRows || now == newRows) << now.front();
        for (const auto& table : targets) {
            EXPECT_EQ(committed(table), now) << table;
            EXPECT_EQ(seen(table), now) << table;
        }
        const auto messages = scripted.prompter.messages();
        if (now == newRows) {
            EXPECT_EQ(messages, Items{});
            EXPECT_EQ(c().list2.items, (Items{"ID", "CITY"}));
        } else {
            ASSERT_FALSE(messages.empty());
            EXPECT_TRUE(messages.back().ends_with("\n" + GetParam().keptNote)) << messages.back();
        }
        // A transient table the link could not drop is the program's: Open Table does not
        // offer it, and Close Files drops it.
        for (const auto& name : userTableNames(shared.workDb.tableDefs()))
            EXPECT_TRUE(name != "1A" && name != "2A") << name;
        if (hasTable("1A") || hasTable("2A")) {
            EXPECT_TRUE(c().command3.enabled);
            scripted.prompter = {};
            model->command3Click();
            EXPECT_FALSE(hasTable("1A") || hasTable("2A"));
        }
        if (!refused) {
            EXPECT_EQ(now, newRows);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, FullDiskLink,
    ::testing::Values(DiskCase{"OneDatabaseFile", true,
                               "Varnoke's copies of File A and File B are as they were before."},
                      DiskCase{"FileB", false, "Varnoke's copy of File B is as it was before."}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
