# Writes the expected tables of the public workbooks once, from python3-xlrd 1.2:
#
#   /usr/bin/python3 make_expected.py OUTDIR WORKBOOK...
#
# Every worksheet xlrd reads of an Excel 5.0 or 97-2003 workbook (BIFF5, BIFF7, BIFF8)
# becomes OUTDIR/<workbook>/<n>.csv, n counting from 1 in the order of
# OUTDIR/<workbook>/tables.txt, which names the sheets. Workbooks xlrd reads as an older
# BIFF, or cannot read, are listed on the output and get no folder.
#
# The table is formed as a link forms it. A cell is blank when it is empty, an error
# value, or a text of only blanks. The first row holding a non-blank cell names the
# fields, and the columns left of the leftmost non-blank cell anywhere are left out; a
# column whose values are all numbers is "double", all dates "date", all yes/no
# "boolean", anything else "text" (or "memo" past 255 characters), numbers, dates and
# yes/no values in it written as text; rows with nothing in them and columns with
# neither a name nor a value at the right are left out.
#
# A date is a number whose format xlrd takes for a date, as the engine stores one: days
# since 30 December 1899 (a 1904 workbook's days moved by 1462; the 1900 system's days
# 1 to 59 one higher, past the 29 February 1900 it counts). A format of elapsed time
# ([h], [mm], [ss]) shows a duration: its number stays a number. A serial below 0 or past
# 31 December 9999 is no date and stays a number. A BIFF5 workbook without a CODEPAGE
# record is decoded in the code page its fonts' character set names (xlrd would read
# it as ASCII). Expected values that differ from xlrd's reading by the bytes are mended
# in DIFFERENCES.md's table, applied by mend() below.
#
# Each CSV: names, types, sizes, then one line a row, every value quoted, a Null an
# empty unquoted cell, numbers in their shortest round-trip form, CR LF between lines.
import math, os, re, struct, sys

import xlrd

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'lotus-public'))
from make_expected import date_text, number_text, trim, write_csv  # noqa: E402

LAST_SERIAL = 2958465
CHARSET_PAGES = {0: 'cp1252', 128: 'cp932', 129: 'cp949', 134: 'cp936', 136: 'cp950',
                 161: 'cp1253', 162: 'cp1254', 177: 'cp1255', 178: 'cp1256', 186: 'cp1257',
                 204: 'cp1251', 222: 'cp874', 238: 'cp1250'}
QUIET = open(os.devnull, 'w')
ELAPSED = re.compile(r'\[(h+|m+|s+)\]', re.I)

def font_charset_page(path):
    # The charset byte of the first FONT record of a BIFF5 stream with no CODEPAGE.
    book = xlrd.open_workbook(path, on_demand=True, formatting_info=True,
                              encoding_override='latin_1', logfile=QUIET)
    try:
        if book.biff_version >= 80 or book.codepage is not None or not book.font_list:
            return None
        return CHARSET_PAGES.get(book.font_list[0].character_set)
    finally:
        book.release_resources()

def open_book(path):
    page = None
    try:
        page = font_charset_page(path)
    except Exception:
        pass
    try:
        return xlrd.open_workbook(path, formatting_info=True, encoding_override=page,
                                  ragged_rows=True, logfile=QUIET)
    except NotImplementedError:  # formatting of some files is beyond xlrd
        return xlrd.open_workbook(path, encoding_override=page, ragged_rows=True, logfile=QUIET)

def elapsed(book, xf_index):
    try:
        key = book.xf_list[xf_index].format_key
        return ELAPSED.search(re.sub(r'"[^"]*"', '', book.format_map[key].format_str or '')) is not None
    except (IndexError, KeyError, AttributeError):
        return False

def value_of(book, sheet, r, c):
    # ('number'|'date'|'text'|'boolean', value), or None for a blank cell.
    kind, v = sheet.cell_type(r, c), sheet.cell_value(r, c)
    if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK, xlrd.XL_CELL_ERROR): return None
    if kind == xlrd.XL_CELL_TEXT: return None if trim(v) == '' else ('text', v)
    if kind == xlrd.XL_CELL_BOOLEAN: return ('boolean', bool(v))
    if math.isnan(v) or math.isinf(v): return None
    if kind == xlrd.XL_CELL_DATE and not elapsed(book, sheet.cell_xf_index(r, c)):
        serial = v + 1462 if book.datemode == 1 else v + 1 if 1 <= v < 60 else v
        if 0 <= serial <= LAST_SERIAL: return ('date', serial)
    return ('number', float(v))

def as_text(value):
    kind, v = value
    if kind == 'text': return v
    if kind == 'date': return date_text(v)
    if kind == 'boolean': return 'TRUE' if v else 'FALSE'
    return number_text(v)

def table_of(values):
    used = [k for k, v in values.items() if v is not None]
    if not used: return None
    rows = sorted({r for r, _ in used})
    first, left, width = rows[0], min(c for _, c in used), 1 + max(c for _, c in used)
    columns = range(left, width)
    names = [trim(as_text(values[(first, c)])) if values.get((first, c)) else '' for c in columns]
    types, sizes = [], []
    for c in columns:
        seen = [values[(r, c)] for r in rows if r > first and values.get((r, c))]
        kinds = {v[0] for v in seen}
        kind = kinds.pop() if len(kinds) == 1 else 'text'
        longest = max((len(as_text(v)) for v in seen), default=0)
        if kind == 'number': types.append('double'); sizes.append('8')
        elif kind == 'date': types.append('date'); sizes.append('8')
        elif kind == 'boolean': types.append('boolean'); sizes.append('1')
        elif longest > 255: types.append('memo'); sizes.append('0')
        else: types.append('text'); sizes.append('255')
    taken, seen_names = {n.casefold() for n in names if n}, set()
    for i, n in enumerate(names):
        if n and n.casefold() not in seen_names:
            seen_names.add(n.casefold())
            continue
        base, k = 'F%d' % (i + 1), 2
        name = base
        while name.casefold() in taken:
            name, k = '%s_%d' % (base, k), k + 1
        taken.add(name.casefold())
        names[i] = name
    body = []
    for r in rows[1:]:
        line = [values.get((r, c)) for c in columns]
        if all(v is None for v in line): continue
        out = []
        for v, t in zip(line, types):
            if v is None: out.append(None)
            elif t in ('text', 'memo'): out.append(as_text(v))
            elif t == 'boolean': out.append('true' if v[1] else 'false')
            else: out.append(repr(float(v[1])))
        body.append(out)
    return names, types, sizes, body

def mend(workbook, index, values):
    from differences import MENDS
    for (file, sheet, row, col), fix in MENDS.items():
        if file == workbook and sheet == index:
            values[(row, col)] = fix(values.get((row, col))) if callable(fix) else fix

def main(outdir, workbooks):
    for path in workbooks:
        name = os.path.basename(path)
        try:
            book = open_book(path)
        except Exception as e:
            print('not read:', name, '-', str(e).splitlines()[0] if str(e) else type(e).__name__)
            continue
        if book.biff_version < 50:
            print('older BIFF:', name, book.biff_version)
            continue
        folder = os.path.join(outdir, name)
        os.makedirs(folder, exist_ok=True)
        names, folded = [], set()
        for sheet in book.sheets():
            # A link names its sheet without regard to case: a later namesake is unreachable.
            if sheet.name.casefold() in folded: continue
            folded.add(sheet.name.casefold())
            values = {(r, c): value_of(book, sheet, r, c)
                      for r in range(sheet.nrows) for c in range(sheet.row_len(r))}
            mend(name, len(names) + 1, values)
            table = table_of(values)
            names.append(sheet.name)
            if table is None: continue  # an empty sheet: the link says it holds no data
            write_csv(os.path.join(folder, '%d.csv' % len(names)), table)
        with open(os.path.join(folder, 'tables.txt'), 'w', encoding='utf-8', newline='\n') as f:
            f.writelines(n + '\n' for n in names)

if __name__ == '__main__':
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    main(sys.argv[1], sys.argv[2:])
