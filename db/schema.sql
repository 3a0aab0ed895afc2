-- The working database "varnoker.mdb" as it ships.
--
-- Each column's declared type carries the field type code the program sees:
--   BIT 1 (yes/no), BYTE 2, SHORT 3, LONG 4, CURRENCY 5, SINGLE 6, DOUBLE 7,
--   DATETIME 8 (day serial since 12/30/1899), TEXT(n) 10 with its size,
--   LONGBINARY 11, LONGTEXT 12 (memo).
-- Row order is insertion order (rowid), which is the order a table opens in.

PRAGMA journal_mode = DELETE;
PRAGMA user_version = 1;

-- Criteria rows of the comparison dialog.
CREATE TABLE "SSysCriteria" (
    "If_This"     TEXT(64),
    "condition"   TEXT(32),
    "This"        TEXT(255),
    "conjunction" TEXT(3)
);

-- Info-note switches, addressed by position: 1 the export-file note, 2 unused,
-- 3 the pairing-method note, 4 the remote-query note.
CREATE TABLE "Settings" (
    "showAgain" BIT,
    "Note"      TEXT(50)
);
INSERT INTO "Settings" ("showAgain", "Note") VALUES (1, 'Export file');
INSERT INTO "Settings" ("showAgain", "Note") VALUES (1, 'Not used');
INSERT INTO "Settings" ("showAgain", "Note") VALUES (1, 'Pairing methods');
INSERT INTO "Settings" ("showAgain", "Note") VALUES (1, 'Remote queries');

-- Sample connection strings offered by the remote query window.
CREATE TABLE "SampleConnStr" (
    "DBName"        TEXT(50),
    "ConnectString" TEXT(255)
);
CREATE INDEX "DBNameIndex" ON "SampleConnStr" ("DBName");
INSERT INTO "SampleConnStr" VALUES ('Access', 'Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\Data\Sales.mdb');
INSERT INTO "SampleConnStr" VALUES ('Oracle', 'Provider=MSDAORA;Data Source=ORCL;User ID=scott;Password=tiger');
INSERT INTO "SampleConnStr" VALUES ('PostgreSQL', 'Driver={PostgreSQL};Server=dbhost;Port=5432;Database=sales;Uid=reader;Pwd=secret');
INSERT INTO "SampleConnStr" VALUES ('SQL Server', 'Provider=SQLOLEDB;Data Source=dbhost;Initial Catalog=Sales;User Id=reader;Password=secret');

-- Connection strings of saved remote queries, tied to them by name.
CREATE TABLE "ConnectStr" (
    "QueryName"     TEXT(64),
    "ConnectString" TEXT(255)
);
CREATE INDEX "QueryNameIndex" ON "ConnectStr" ("QueryName");

-- One row per "IsNull(field)" condition already added.
CREATE TABLE "AddedOr" (
    "condition" TEXT(255)
);

-- The program's own export table; an export with duplicate field names re-creates it.
CREATE TABLE "Varnoke's Export TABLE" (
    "Field1" TEXT(255)
);

-- The last remote query result; each result re-creates it.
CREATE TABLE "Temp" (
    "Field1" TEXT(255)
);

-- Saved query definitions. The "MSys" prefix keeps them out of the table lists
-- and away from the exit clean-up.
CREATE TABLE "MSysQueryDefs" (
    "Name"    TEXT(64) PRIMARY KEY COLLATE NOCASE,
    "SQL"     LONGTEXT,
    "Connect" TEXT(255),
    "ReturnsRecords" BIT
);
