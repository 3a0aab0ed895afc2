// Writes one expected CSV per table of the sound Jet files, read by the npm package
// mdb-reader (an implementation of its own, sharing no code with libmdb):
//   npm install mdb-reader@3.2.0 && node make_expected.mjs ../*.mdb
// Layout of <file>/<table>.csv: the fields' names, then the reader's type names, then
// the sizes (characters for text, bytes otherwise), then one line a row. A Null is the
// one unquoted, empty cell; every other value is quoted, as the reader gives it: texts
// as they are, yes/no as true/false, numbers as JavaScript writes them, currency as its
// decimal text, dates as ISO texts in UTC, replication IDs as 8-4-4-4-12 hex, binary
// and OLE values as lower-case hex.
import MDBReader from "mdb-reader";
import { mkdirSync, readFileSync, writeFileSync } from "fs";
import { basename, dirname, join } from "path";
import { fileURLToPath } from "url";

const here = dirname(fileURLToPath(import.meta.url));
const quote = (s) => '"' + s.replaceAll('"', '""') + '"';

function cell(value, type) {
  if (value === null || value === undefined) return "";
  switch (type) {
    case "text": case "memo": case "currency": case "repid":
      return quote(value);
    case "boolean": case "byte": case "integer": case "long": case "float": case "double":
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
  const folder = join(here, basename(file, ".mdb"));
  mkdirSync(folder, { recursive: true });
  for (const name of reader.getTableNames()) {
    const table = reader.getTable(name);
    const columns = table.getColumns();
    const lines = [
      columns.map((c) => quote(c.name)),
      columns.map((c) => quote(c.type)),
      columns.map((c) => quote(String(c.type === "text" && !jet3 ? c.size / 2 : c.size))),
    ];
    for (const row of table.getData())
      lines.push(columns.map((c) => cell(row[c.name], c.type)));
    if (lines.length - 3 !== table.rowCount) throw new Error(name + ": rows read short");
    writeFileSync(join(folder, name + ".csv"), lines.map((l) => l.join(",")).join("\r\n") + "\r\n");
  }
}
