// The one check of a new table, whatever makes it: a link, a TableDef (Save TABLE As),
// a CREATE TABLE or SELECT INTO statement. A name the engine cannot hold is refused with
// a message naming it (control characters shown, never SQLite's own text); a table
// wider than SQLite's limit is refused before any work per field.
#include "engine_fixture.h"

#include <fstream>
#include <functional>

namespace varnoke::testing {
namespace {

struct NameCase {
    const char* label;
    std::function<void(Database&, const std::string& dir)> make;
    int number;
    std::string message;
};

class NewTableTest : public EngineTest, public ::testing::WithParamInterface<NameCase> {
protected:
    std::string folder() const { return std::filesystem::path(db.name()).parent_path().string(); }
};

TEST_P(NewTableTest, RefusedWithOneClearMessage) {
    try {
        GetParam().make(db, folder());
        FAIL() << "the table was made";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), GetParam().number);
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
    EXPECT_FALSE(db.tableDefs().contains("T"));
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string columns(int count) {
    std::string defs;
    for (int i = 0; i < count; ++i)
        defs += (i ? ", C" : "C") + std::to_string(i) + " LONG";
    return defs;
}

INSTANTIATE_TEST_SUITE_P(
    Makers, NewTableTest,
    ::testing::Values(
        NameCase{"LinkedHeaderWithNul",
                 [](Database& db, const std::string& dir) {
                     writeFile(dir + "/nul.csv", std::string("A\0B,C\n1,2\n", 10));
                     db.tableDefs().append(
                         db.createTableDef("T", "Text;DATABASE=" + dir, "nul.csv"));
                 },
                 3125,
                 "Field 1 ('A\\x00B') is not a valid field name: it holds a control character at "
                 "byte 2."},
        // A database's first bytes read as a text's header: the name is shown cut short,
        // so the message stays a few lines long.
        NameCase{"LinkedBinaryHeaderIsCutShort",
                 [](Database& db, const std::string& dir) {
                     writeFile(dir + "/nwind.csv",
                               std::string("\x00\x01\x00\x00Standard ACE DB\x00\x02\x00", 22) +
                                   std::string(300, 'b') + "\n1\n");
                     db.tableDefs().append(
                         db.createTableDef("T", "Text;DATABASE=" + dir, "nwind.csv"));
                 },
                 3125,
                 "Field 1 ('\\x00\\x01\\x00\\x00Standard ACE DB\\x00\\x02\u2026') "
                 "is not a valid field name: it holds a control character at byte 1."},
        NameCase{"StatementRepeatsANameWithAnUpperControl",
                 [](Database& db, const std::string&) {
                     db.execute("CREATE TABLE T ([a\xC2\x85"
                                "b] LONG, [A\xC2\x85"
                                "B] TEXT)");
                 },
                 3191, "Field 'A\\u0085B' is defined more than once."},
        NameCase{"TableDefFieldWithTab",
                 [](Database& db, const std::string&) {
                     TableDef def = db.createTableDef("T");
                     def.appendField(def.createField("ok", 4));
                     def.appendField(def.createField("a\tb", 10, 20));
                     db.tableDefs().append(def);
                 },
                 3125,
                 "Field 2 ('a\\x09b') is not a valid field name: it holds a control character at "
                 "byte 2."},
        NameCase{"TableDefFieldOfBlanks",
                 [](Database& db, const std::string&) {
                     TableDef def = db.createTableDef("T");
                     def.appendField(def.createField("ok", 4));
                     def.appendField(def.createField("   ", 10, 20));
                     db.tableDefs().append(def);
                 },
                 3125, "Field 2 ('   ') is not a valid field name: it is blank."},
        NameCase{"TableNameTypedWithAControlCharacter",
                 [](Database& db, const std::string&) {
                     TableDef def = db.createTableDef(std::string("T\x01", 2));
                     def.appendField(def.createField("A", 4));
                     db.tableDefs().append(def);
                 },
                 3125,
                 "'T\\x01' is not a valid table name: it holds a control character at byte 2."},
        NameCase{
            "StatementFieldWithAControlCharacter",
            [](Database& db, const std::string&) { db.execute("CREATE TABLE T ([A\x1F] LONG)"); },
            3125,
            "Field 1 ('A\\x1F') is not a valid field name: it holds a control character at "
            "byte 2."},
        NameCase{"StatementPastTheFieldLimit",
                 [](Database& db, const std::string&) {
                     db.execute("CREATE TABLE T (" + columns(2001) + ")");
                 },
                 3190, "Too many fields defined: 2001, more than the 2000 a table can hold."},
        NameCase{"StatementRepeatsAName",
                 [](Database& db, const std::string&) {
                     db.execute("CREATE TABLE T (" + columns(1500) + ", c7 TEXT)");
                 },
                 3191, "Field 'c7' is defined more than once."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EngineTest, ATableOfAsManyFieldsAsSQLiteHoldsIsMade) {
    db.execute("CREATE TABLE T (" + columns(2000) + ")");
    EXPECT_EQ(db.tableDefs().item("T").fields().size(), 2000u);
}

} // namespace
} // namespace varnoke::testing
