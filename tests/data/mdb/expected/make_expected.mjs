// Writes one expected CSV per table of the sound Jet and ACE files, read by the npm
// package mdb-reader (an implementation of its own, sharing no code with libmdb):
//   npm install mdb-reader@3.2.0 && node make_expected.mjs ../*.mdb ../public/*/*.accdb
// Layout of <file>/<table>.csv: the fields' names, then the reader's type names, then
// the sizes (characters for text, bytes otherwise), then one line a row. A Null is the
// one unquoted, empty cell; every other value is quoted, as the reader gives it: texts
// as they are, yes/no as true/false, numbers as JavaScript writes them, currency and
// decimals as their decimal text, dates as ISO texts in UTC, replication IDs as
// 8-4-4-4-12 hex, binary and OLE values as lower-case hex, an attachment or multi-value
// column as the key the reader gives for it.
// A table's file name is its name with every byte outside [A-Za-z0-9 _-] written %XX;
// <file>/tables.txt lists the tables' names, one a line, in the reader's order.
import MDBReader from "mdb-reader";
import { mkdirSync, readFileSync, writeFileSync } from "fs";
import { basename, dirname, extname, join } from "path";
import { fileURLToPath } from "url";

const here = dirname(fileURLToPath(import.meta.url));
const quote = (s) => '"' + s.replaceAll('"', '""') + '"';

export function fileNameOf(table) {
  let out = "";
  for (const byte of Buffer.from(table, "utf8")) {
    const c = String.fromCharCode(byte);
    out += /[A-Za-z0-9 _-]/.test(c) ? c : "%" + byte.toString(16).toUpperCase().padStart(2, "0");
  }
  return out + ".csv";
}

function cell(value, type) {
  if (value === null || value === undefined) return "";
  switch (type) {
    case "text": case "memo": case "currency": case "repid": case "numeric":
    case "datetimextended":
      return quote(value);
    case "boolean": case "byte": case "integer": case "long": case "float": case "double":
    case "bigint": case "complex":
      return quote(String(value));
    case "datetime":
      return quote(value.toISOString());
    case "binary": case "ole":
      return quote(Buffer.from(value).toString("hex"));
    default:
      throw new Error("no form written for the type " + type);
  }
}

for (const file of process.argv.slice(2)) {
  const bytes = readFileSync(file);
  const jet3 = bytes[0x14] === 0;
  const reader = new MDBReader(bytes);
  const folder = join(here, basename(file, extname(file)));
  mkdirSync(folder, { recursive: true });
  const names = reader.getTableNames();
  writeFileSync(join(folder, "tables.txt"), names.map((n) => n + "\n").join(""));
  for (const name of names) {
    const table = reader.getTable(name);
    const columns = table.getColumns();
    let data;
    try {
      data = table.getData();
    } catch (e) {
      console.warn(`${file} ${name}: the reader fails (${e.message}); no expected values`);
      continue;
    }
    const lines = [
      columns.map((c) => quote(c.name)),
      columns.map((c) => quote(c.type)),
      columns.map((c) => quote(String(c.type === "text" && !jet3 ? c.size / 2 : c.size))),
    ];
    for (const row of data)
      lines.push(columns.map((c) => cell(row[c.name], c.type)));
    // The definition's count is a statistic that a file never compacted leaves stale.
    if (lines.length - 3 !== table.rowCount)
      console.warn(`${file} ${name}: ${lines.length - 3} rows read, the definition says ${table.rowCount}`);
    writeFileSync(join(folder, fileNameOf(name)), lines.map((l) => l.join(",")).join("\r\n") + "\r\n");
  }
}
