// Statements, table and query definitions, linking and handles.
#include "engine_fixture.h"

#include "engine/sql_name.h"
#include "value/convert.h"

namespace varnoke::testing {
namespace {

using EngineDatabaseTest = EngineTest;

long count(Database& db, const std::string& table) {
    return db.openRecordset(table, RecordsetType::Snapshot).recordCount();
}

void makeTable1(Database& db) {
    db.execute("CREATE TABLE Table1 (Id LONG, Name TEXT(20), City TEXT(30), Born DATETIME, "
               "Amount CURRENCY, Ok BIT, Note MEMO)");
    db.execute("INSERT INTO Table1 VALUES (5, 'Smith', 'x', #1/2/2003#, 12.5, True, 'long')");
    db.execute("INSERT INTO Table1 VALUES (6, 'Jones', Null, Null, Null, False, Null)");
    db.execute("INSERT INTO Table1 (Id, Name, City) VALUES (7, 'Brown', 'y')");
}

TEST_F(EngineDatabaseTest, SelectIntoCopiesTypesSizesAndRows) {
    makeTable1(db);
    db.execute("select * into 1A from Table1;");
    auto defs = db.tableDefs();
    const auto& copy = defs.item("1a");
    const auto& orig = defs.item("table1");
    ASSERT_EQ(copy.fieldCount(), orig.fieldCount());
    for (int i = 0; i < copy.fieldCount(); ++i) {
        EXPECT_EQ(copy.fields()[i].name(), orig.fields()[i].name());
        EXPECT_EQ(copy.fields()[i].type(), orig.fields()[i].type());
        EXPECT_EQ(copy.fields()[i].size(), orig.fields()[i].size());
    }
    EXPECT_EQ(copy.field("Name").size(), 20);
    EXPECT_EQ(count(db, "1A"), 3);
    auto rs = db.openRecordset("1A");
    EXPECT_EQ(rs.value("Born"), Value::date(makeDateSerial(2003, 1, 2)));
    EXPECT_EQ(rs.value("Amount"), Value::currency(12.5));
    EXPECT_EQ(rs.value("Ok"), Value::boolean(true));
    rs.close();
    EXPECT_ENGINE_ERROR(db.execute("select * into 1A from Table1;"), err::TableExists);
    EXPECT_ENGINE_ERROR(db.execute("select * into 2A from Table2;"), err::TableNotFound);
    EXPECT_FALSE(db.tableDefs().contains("2A"));
    db.tableDefs().remove("Table1");
    db.execute("select * into Table1 from 1A;");
    db.tableDefs().remove("1A");
    EXPECT_EQ(count(db, "Table1"), 3);
    db.execute("select Name, Born into [Exported Data] from Table1 where Id > 5 order by Name;");
    EXPECT_EQ(count(db, "Exported Data"), 2);
    db.execute("DROP TABLE [Exported Data];");
    EXPECT_ENGINE_ERROR(db.execute("DROP TABLE [Exported Data];"), err::TableDoesNotExist);
}

TEST_F(EngineDatabaseTest, DeleteStatements) {
    db.execute("INSERT INTO SSysCriteria VALUES ('a', '=', 'b', 'and')");
    db.execute("INSERT INTO [Varnoke's Export TABLE] VALUES ('x')");
    EXPECT_EQ(db.execute("delete * from SSysCriteria"), 1);
    EXPECT_EQ(db.execute("Delete * from [Varnoke's Export TABLE]"), 1);
    EXPECT_EQ(count(db, "SSysCriteria"), 0);
    makeTable1(db);
    EXPECT_EQ(db.execute("delete * from Table1 where Name = 'SMITH' or IsNull(City)"), 2);
    EXPECT_EQ(db.execute("DELETE Table1.* FROM Table1 WHERE Id = 99"), 0);
    EXPECT_ENGINE_ERROR(db.execute("delete * from Nowhere"), err::TableNotFound);
}

TEST_F(EngineDatabaseTest, UpdateStatementsConvertAndCheckValues) {
    makeTable1(db);
    EXPECT_EQ(db.execute("update table1 set Name = 'O''Brien' where Id = 5 and not City = 'x' or "
                         "IsNull(City);"),
              1);
    auto rs = db.openRecordset("Table1", RecordsetType::Dynaset);
    rs.move(1);
    EXPECT_EQ(rs.value("Name").asText(), "O'Brien");
    db.execute("update table1 set Born = #12/31/1999#, City = 5 where Id = 5;");
    rs.moveFirst();
    EXPECT_EQ(rs.value("Born"), Value::date(makeDateSerial(1999, 12, 31)));
    EXPECT_EQ(rs.value("City"), Value::text("5"));
    db.execute("update table1 set City = Null where Id = 5;");
    EXPECT_TRUE(rs.value("City").isNull());
    db.execute("update table1 set Born = '3/4/2005', Amount = '7' where Id = 7;");
    db.execute("update table1 set Note = Name & ' of ' & City where Id = 7;");
    rs.moveLast();
    EXPECT_EQ(rs.value("Born"), Value::date(makeDateSerial(2005, 3, 4)));
    EXPECT_EQ(rs.value("Amount"), Value::currency(7));
    EXPECT_EQ(rs.value("Note").asText(), "Brown of y");
    EXPECT_ENGINE_ERROR(db.execute("update table1 set Name = '" + std::string(21, 'n') + "'"),
                        err::FieldTooSmall);
    EXPECT_ENGINE_ERROR(
        db.execute("update table1 set Name = Name & '" + std::string(16, 'n') + "' where Id = 7"),
        err::FieldTooSmall);
    EXPECT_ENGINE_ERROR(db.execute("update table1 set Born = 'someday'"), err::ConversionError);
    EXPECT_ENGINE_ERROR(db.execute("update table1 set Id = Name where Id = 7"),
                        err::ConversionError);
    EXPECT_ENGINE_ERROR(db.execute("update table1 set Born = #1/1/2000# where Born = 'x'"),
                        err::CriteriaTypeMismatch);
    EXPECT_ENGINE_ERROR(db.execute("update table1 set Nope = 1"), err::UnknownName);
    rs.moveLast();
    EXPECT_EQ(rs.value("Name").asText(), "Brown"); // failed statements change nothing
}

TEST_F(EngineDatabaseTest, InsertAndCreateStatements) {
    db.execute("CREATE TABLE [My Table] (Id COUNTER, [Full Name] TEXT(10) NOT NULL, Price "
               "CURRENCY, Day DATETIME, Flag YESNO, Memo1 MEMO, Small SHORT, Tiny BYTE, Ratio "
               "SINGLE, Blob LONGBINARY, Total DOUBLE)");
    const TableDefs defs = db.tableDefs();
    const auto& def = defs.item("my table");
    const int types[] = {4, 10, 5, 8, 1, 12, 3, 2, 6, 11, 7};
    ASSERT_EQ(def.fieldCount(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(def.fields()[i].type(), types[i]) << i;
    EXPECT_EQ(def.field("Full Name").size(), 10);
    db.execute(
        "INSERT INTO [My Table] ([Full Name], Price, Day) VALUES ('A''b', '2.5', '1/2/2003')");
    db.execute(
        "INSERT INTO [My Table] ([Full Name], Total) SELECT Left(Note, 10), 2 * 3 FROM Settings");
    EXPECT_EQ(count(db, "My Table"), 5);
    auto rs = db.openRecordset("My Table");
    EXPECT_EQ(rs.value("Full Name").asText(), "A'b");
    EXPECT_EQ(rs.value("Day"), Value::date(37623));
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
    rs.moveLast();
    EXPECT_EQ(rs.value("Total").asNumber(), 6);
    EXPECT_ENGINE_ERROR(db.execute("INSERT INTO [My Table] ([Full Name]) VALUES ('far too long')"),
                        err::FieldTooSmall);
    EXPECT_ENGINE_ERROR(db.execute("INSERT INTO [My Table] ([Full Name]) VALUES ('a', 'b')"),
                        err::ValueCountMismatch);
    EXPECT_ENGINE_ERROR(db.execute("CREATE TABLE [my table] (A TEXT)"), err::TableExists);
    EXPECT_ENGINE_ERROR(db.execute("CREATE TABLE T2 (A TEXT, a LONG)"), err::DuplicateFieldName);
    EXPECT_ENGINE_ERROR(db.execute("select * from Settings"), err::CannotExecuteSelect);
}

TEST_F(EngineDatabaseTest, ATableNamedLikeAStatementOpensAsTheTable) {
    for (const char* name : {"Select list", "Delete me", "Update]s"}) {
        db.execute("CREATE TABLE " + bracketName(name) + " (F TEXT(10))");
        db.execute("INSERT INTO " + bracketName(name) + " VALUES ('v')");
        auto rs = db.openRecordset(name, RecordsetType::Dynaset);
        EXPECT_EQ(rs.recordCount(), 1) << name;
        auto bracketed = db.openRecordset(bracketName(name), RecordsetType::Dynaset);
        EXPECT_EQ(bracketed.recordCount(), 1) << name;
    }
    EXPECT_EQ(db.openRecordset("Select * from [Select list]").recordCount(), 1);
}

TEST_F(EngineDatabaseTest, TableDefsWalkByNameAndChange) {
    db.execute("CREATE TABLE apple (A TEXT(5))");
    db.execute("CREATE TABLE Zebra (A TEXT(5))");
    std::vector<std::string> names;
    for (const auto& t : db.tableDefs())
        names.push_back(t.name());
    EXPECT_EQ(names, (std::vector<std::string>{"AddedOr", "apple", "ConnectStr", "MSysQueryDefs",
                                               "SampleConnStr", "Settings", "SSysCriteria", "Temp",
                                               "Varnoke's Export TABLE", "Zebra"}));
    auto def = db.createTableDef("Exported Data");
    def.appendField(def.createField("Name", fieldtype::Text, 40));
    def.appendField(def.createField("When", fieldtype::Date));
    EXPECT_ENGINE_ERROR(def.appendField(def.createField("name", fieldtype::Double)),
                        err::DuplicateFieldName);
    auto defs = db.tableDefs();
    defs.append(def);
    EXPECT_EQ(defs.count(), 11);
    EXPECT_EQ(defs.item("exported data").field("Name").size(), 40);
    EXPECT_ENGINE_ERROR(defs.append(def), err::TableExists);
    EXPECT_ENGINE_ERROR(defs.append(db.createTableDef("NoFields")), err::NoFields);
    EXPECT_EQ(defs.item("SampleConnStr").indexes(), std::vector<std::string>{"DBNameIndex"});
    defs.remove("EXPORTED DATA");
    EXPECT_ENGINE_ERROR(defs.remove("Exported Data"), err::NotInCollection);
    EXPECT_ENGINE_ERROR(defs.item(99), err::NotInCollection);
    EXPECT_EQ(db.tableDefs().count(), 10);
}

class FakeReader : public ForeignReader {
public:
    bool failHalfway = false;
    mutable LinkSource seen;
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        seen = source;
        sink.begin({{"Name", fieldtype::Text, 30},
                    {"Amount", fieldtype::Double, 8},
                    {"Born", fieldtype::Date, 8}});
        for (int i = 0; i < 3; ++i) {
            if (failHalfway && i == 2) throw EngineError(err::ExternalFormat, "truncated file");
            std::vector<Value> row{Value::text("n" + std::to_string(i)), Value::number(i * 1.5),
                                   Value::date(37623 + i)};
            sink.row(row);
        }
    }
};

TEST_F(EngineDatabaseTest, LinkingImportsThroughTheReader) {
    auto reader = std::make_shared<FakeReader>();
    Engine::instance().registerReader("Fake 1.0", reader);
    auto def = db.createTableDef("Table1");
    def.setConnect("fake 1.0;DATABASE=/data/files");
    def.setSourceTableName("people.fak");
    auto defs = db.tableDefs();
    defs.append(def);
    EXPECT_EQ(reader->seen.database, "/data/files");
    EXPECT_EQ(reader->seen.sourceTable, "people.fak");
    EXPECT_EQ(defs.item("Table1").field("Name").size(), 30);
    db.execute("select * into 1A from Table1;");
    auto rs = db.openRecordset("1A");
    rs.moveLast();
    EXPECT_EQ(rs.value("Amount").asNumber(), 3);
    EXPECT_EQ(rs.value("Born"), Value::date(37625));

    reader->failHalfway = true;
    auto broken = db.createTableDef("Table2", "Fake 1.0;DATABASE=/x", "bad.fak");
    EXPECT_ENGINE_ERROR(defs.append(broken), err::ExternalFormat);
    EXPECT_FALSE(db.tableDefs().contains("Table2"));
    auto unknown = db.createTableDef("Table2", "Nothing 9;DATABASE=/x", "a");
    EXPECT_ENGINE_ERROR(defs.append(unknown), err::NoInstallableIsam);
    EXPECT_FALSE(db.tableDefs().contains("Table2"));
    Engine::instance().registerReader("Fake 1.0", nullptr);
}

TEST_F(EngineDatabaseTest, QueryDefsPersistAndRun) {
    makeTable1(db);
    auto q = db.createQueryDef("Smiths", "select * from Table1 where Name = 'smith'");
    EXPECT_ENGINE_ERROR(db.createQueryDef("smiths"), err::ObjectExists);
    EXPECT_ENGINE_ERROR(q.setSql("selekt nothing"), err::StatementSyntax);
    EXPECT_EQ(q.sql(), "select * from Table1 where Name = 'smith'");
    EXPECT_TRUE(q.returnsRecords());
    EXPECT_EQ(q.openRecordset().recordCount(), 1);
    auto tmp = db.createQueryDef("", "update Table1 set City = 'z' where Id = 7");
    EXPECT_FALSE(tmp.returnsRecords());
    tmp.execute();
    auto remote = db.createQueryDef("Remote");
    remote.setConnect("ODBC;DSN=far");
    remote.setSql("select top 5 whatever from far_away");
    remote.setReturnsRecords(false);
    EXPECT_ENGINE_ERROR(remote.execute(), err::PassThroughFailed);

    auto param = db.createQueryDef("ById", "PARAMETERS [Min Id] Long; SELECT * FROM Table1 WHERE "
                                           "Id >= [Min Id] AND City <> [Which City]");
    auto params = param.parameters();
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].name, "Min Id");
    EXPECT_EQ(params[0].type, fieldtype::Long);
    EXPECT_EQ(params[1].name, "Which City");
    EXPECT_ENGINE_ERROR(param.openRecordset(), err::TooFewParameters);
    param.setParameter("min id", Value::text("6"));
    param.setParameter("Which City", Value::text("Q"));
    EXPECT_EQ(param.openRecordset().recordCount(), 1); // Jones has no city
    EXPECT_ENGINE_ERROR(param.setParameter("Other", Value::number(1)), err::NotInCollection);

    db.close();
    db = Engine::instance().openDatabase(path());
    std::vector<std::string> names;
    for (const auto& d : db.queryDefs())
        names.push_back(d.name());
    EXPECT_EQ(names, (std::vector<std::string>{"ById", "Remote", "Smiths"}));
    EXPECT_EQ(db.queryDefs().item("remote").connect(), "ODBC;DSN=far");
    // The switch the user set is kept with the query; others still follow their statement.
    EXPECT_FALSE(db.queryDefs().item("Remote").returnsRecords());
    EXPECT_TRUE(db.queryDefs().item("Smiths").returnsRecords());
    EXPECT_EQ(db.openRecordset("Smiths").recordCount(), 1);
    EXPECT_EQ(db.openRecordset("select City from Table1 where Id = 7").value("City").asText(), "z");
    db.queryDefs().remove("SMITHS");
    EXPECT_ENGINE_ERROR(db.queryDefs().remove("Smiths"), err::NotInCollection);
    EXPECT_ENGINE_ERROR(db.queryDefs().item("Smiths"), err::NotInCollection);
}

TEST_F(EngineDatabaseTest, HandlesShareTheFile) {
    makeTable1(db);
    auto rs = db.openRecordset("Table1", RecordsetType::Dynaset);
    rs.edit();
    rs.setValue("City", Value::text("pending"));
    rs.update();
    auto window = Engine::instance().openDatabase(path()); // a query window's own handle
    EXPECT_EQ(window.openRecordset("select * from table1 where City = 'PENDING'").recordCount(), 1);
    window.execute("select * into Mine from Table1");
    EXPECT_TRUE(db.tableDefs().contains("Mine"));
    rs.moveNext();
    EXPECT_EQ(rs.value("Name").asText(), "Jones");
    window.close();
    EXPECT_ENGINE_ERROR(window.execute("delete * from Table1"), err::ObjectInvalid);
    EXPECT_EQ(rs.recordCount(), 3);

    auto reader = Engine::instance().openDatabase(path(), false, true);
    EXPECT_ENGINE_ERROR(reader.execute("delete * from Table1"), err::ReadOnly);
    auto ro = reader.openRecordset("Table1");
    EXPECT_FALSE(ro.updatable());
    EXPECT_ENGINE_ERROR(ro.edit(), err::ReadOnly);
    // Closing a handle closes every recordset it opened, however made, and no other.
    auto roClone = ro.clone();
    auto roSorted = reader.openRecordset("Table1", RecordsetType::Dynaset).openSorted("Name");
    ro.requery();
    auto mine = db.openRecordset("Table1", RecordsetType::Dynaset);
    reader.close();
    for (const auto* closed : {&ro, &roClone, &roSorted})
        EXPECT_FALSE(closed->isOpen());
    EXPECT_TRUE(mine.isOpen());
    EXPECT_TRUE(rs.isOpen());

    EXPECT_ENGINE_ERROR(Engine::instance().openDatabase(path() + ".missing"), err::FileNotFound);
    EXPECT_ENGINE_ERROR(Engine::instance().workspace(1), err::NotInCollection);
    Engine::instance().setIniPath("Software\\Jet\\3.5\\ISAM Formats\\Text");
    EXPECT_EQ(Engine::instance().iniPath(), "Software\\Jet\\3.5\\ISAM Formats\\Text");
}

TEST_F(EngineDatabaseTest, WritesFromRecordsetsSurviveReopening) {
    makeTable1(db);
    {
        auto rs = db.openRecordset("Table1", RecordsetType::Dynaset);
        rs.addNew();
        rs.setValue("Name", Value::text("Later"));
        rs.update();
    }
    db.close();
    db = Engine::instance().openDatabase(path());
    EXPECT_EQ(count(db, "Table1"), 4);
}

} // namespace
} // namespace varnoke::testing
