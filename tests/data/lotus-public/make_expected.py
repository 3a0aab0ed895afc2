# Writes the expected table of each worksheet once, from gnumeric's own Lotus reader:
#
#   python3 make_expected.py OUTDIR SHEET...
#
# ssconvert (gnumeric 1.12) turns the sheet into an ECMA-376 workbook; of its first
# sheet each cell's kind (number, text, error), value and number format are taken,
# and the table is formed as a link forms it: a cell is blank when it is an error
# value or a text of only blanks; the first row that holds a non-blank cell names the
# fields, and the columns left of the leftmost non-blank cell are left out; a column
# whose values are all numbers is "double", all dates "date", anything else "text" (or
# "memo" past 255 characters), numbers and dates in it written as text; blank cells
# are Null; rows with nothing in them and columns with neither a name nor a value at
# the right are left out.
#
# A number in a date or time format is a date, as the engine stores one: days since
# 30 December 1899. 1-2-3 counts a 29 February 1900 that never was, so its days 1 to
# 59 stand one lower than the engine's. A serial below 0 or past 31 December 9999 is
# no date and stays a number. Expected values that differ from gnumeric's reading by
# the bytes are mended in DIFFERENCES.md's table, applied by mend() below.
#
# Each output is OUTDIR/<sheet>.csv: names, types, sizes, then one line a row, every
# value quoted, a Null an empty unquoted cell, numbers in their shortest round-trip
# form, CR LF between lines.
import csv, io, math, os, re, subprocess, sys, tempfile, zipfile
import xml.etree.ElementTree as ET

NS = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main',
      'r': 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'}
LAST_SERIAL = 2958465
BUILTIN_DATE_FORMATS = set(range(14, 23)) | {45, 46, 47}

def read_xml(z, name):
    # A raw CR would be folded into the next LF by any XML parser.
    raw = re.sub(rb'>[^<]*<', lambda m: m.group(0).replace(b'\r', b'&#13;'), z.read(name))
    # gnumeric copies a formula's saved text into the workbook unconverted, which may
    # not be UTF-8: such bytes show as U+FFFD, and each such cell is mended by hand.
    return ET.fromstring(raw.decode('utf-8', 'replace').encode('utf-8'))

def is_date_format(code):
    code = re.sub(r'"[^"]*"|\\.|_.|\*.', '', code)
    code = re.sub(r'\[(?![hms]+\])[^\]]*\]', '', code, flags=re.I)
    code = code.split(';')[0]
    return re.search(r'[dmyhs]', code, re.I) is not None and code.lower() != 'general'

def cells_of(path):
    # (row, column) -> (kind, value, is_date) of the first sheet.
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, 'sheet.xlsx')
        subprocess.run(['ssconvert', '-T', 'Gnumeric_Excel:xlsx2', path, out], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        z = zipfile.ZipFile(out)
        book = read_xml(z, 'xl/workbook.xml')
        rels = read_xml(z, 'xl/_rels/workbook.xml.rels')
        first = book.find('m:sheets/m:sheet', NS).get('{%s}id' % NS['r'])
        target = [r.get('Target') for r in rels if r.get('Id') == first][0]
        sheet = read_xml(z, 'xl/' + target.lstrip('/').removeprefix('xl/'))
        styles = read_xml(z, 'xl/styles.xml')
        custom = {int(f.get('numFmtId')): f.get('formatCode') for f in styles.iter('{%s}numFmt' % NS['m'])}
        xfs = [int(x.get('numFmtId', 0)) for x in styles.find('m:cellXfs', NS)]
        shared = []
        if 'xl/sharedStrings.xml' in z.namelist():
            shared = [''.join(t.text or '' for t in si.iter('{%s}t' % NS['m']))
                      for si in read_xml(z, 'xl/sharedStrings.xml')]
    cells = {}
    for c in sheet.iter('{%s}c' % NS['m']):
        ref = re.match(r'([A-Z]+)(\d+)', c.get('r'))
        col = 0
        for ch in ref.group(1):
            col = col * 26 + ord(ch) - 64
        key = (int(ref.group(2)) - 1, col - 1)
        t = c.get('t', 'n')
        v = c.find('m:v', NS)
        fmt_id = xfs[int(c.get('s', 0))]
        date = fmt_id in BUILTIN_DATE_FORMATS or (fmt_id in custom and is_date_format(custom[fmt_id]))
        if t == 'inlineStr':
            cells[key] = ('text', ''.join(x.text or '' for x in c.iter('{%s}t' % NS['m'])), False)
        elif t == 's':
            cells[key] = ('text', shared[int(v.text)], False)
        elif t == 'str':
            cells[key] = ('text', v.text or '' if v is not None else '', False)
        elif t == 'e':
            cells[key] = ('error', v.text, False)
        elif t == 'b':
            cells[key] = ('boolean', v.text == '1', False)
        elif v is not None:
            cells[key] = ('number', float(v.text), date)
    return cells

def engine_serial(serial):
    if serial < 0 or serial > LAST_SERIAL: return None
    return serial + 1 if 1 <= serial < 60 else serial

def number_text(x):
    # As the engine writes a number into a text field: whole numbers in full below
    # 1e15, else 15 significant digits without trailing zeros.
    if x == 0: return '0'
    if abs(x) < 1e15 and x == math.trunc(x): return '%.0f' % x
    s = '%.15G' % x
    mantissa, _, exponent = s.partition('E')
    if '.' in mantissa: mantissa = mantissa.rstrip('0').rstrip('.')
    return mantissa + ('E' + exponent if exponent else '')

def date_text(serial):
    whole = math.trunc(serial)
    secs = round(abs(serial - whole) * 86400)
    if secs >= 86400: whole, secs = whole + (1 if serial >= 0 else -1), secs - 86400
    import datetime
    day = datetime.date(1899, 12, 30) + datetime.timedelta(days=whole)
    h, m, s = secs // 3600, secs // 60 % 60, secs % 60
    out = '%d/%d/%d' % (day.month, day.day, day.year) if whole != 0 or secs == 0 else ''
    if secs:
        out += (' ' if out else '') + '%d:%02d:%02d %s' % (h % 12 or 12, m, s, 'AM' if h < 12 else 'PM')
    return out

def trim(s):
    # As the link trims a cell: spaces and NULs at the right, then spaces and tabs at
    # the left, then tabs and line ends at the right.
    return s.rstrip(' \0').lstrip(' \t').rstrip('\t\r\n')

def value_of(cell):
    # The cell as a link sees it: ('number'|'date'|'text', value) or None for blank.
    kind, v, date = cell
    if kind == 'error': return None
    if kind == 'number' and math.isnan(v): return None
    if kind == 'text': return None if trim(v) == '' else ('text', v)
    if kind == 'number' and date and engine_serial(v) is not None: return ('date', engine_serial(v))
    if kind == 'boolean': return ('boolean', v)
    return ('number', v)

def as_text(value):
    kind, v = value
    if kind == 'text': return v
    if kind == 'date': return date_text(v)
    if kind == 'boolean': return 'TRUE' if v else 'FALSE'
    return number_text(v)

def mend(name, cells, mends):
    for (file, row, col), fix in mends.items():
        if file == name: cells[(row, col)] = fix(cells[(row, col)]) if callable(fix) else fix

def table_of(cells):
    values = {k: value_of(c) for k, c in cells.items()}
    used = [k for k, v in values.items() if v is not None]
    if not used: return None
    rows = sorted({r for r, _ in used})
    first = rows[0]
    left = min(c for _, c in used)
    width = 1 + max(c for _, c in used)
    names = [trim(as_text(values[(first, c)])) if values.get((first, c)) else '' for c in range(left, width)]
    kinds, longest = [], []
    for c in range(left, width):
        seen = {values[(r, c)][0] for r in rows if r > first and values.get((r, c))}
        kinds.append('empty' if not seen else seen.pop() if len(seen) == 1 else 'text')
        if kinds[-1] == 'boolean': kinds[-1] = 'boolean'
        texts = [as_text(values[(r, c)]) for r in rows if r > first and values.get((r, c))]
        longest.append(max((len(t) for t in texts), default=0))
    types, sizes = [], []
    for k, n in zip(kinds, longest):
        if k == 'number': types.append('double'); sizes.append('8')
        elif k == 'date': types.append('date'); sizes.append('8')
        elif k == 'boolean': types.append('boolean'); sizes.append('1')
        elif n > 255: types.append('memo'); sizes.append('0')
        else: types.append('text'); sizes.append('255')
    taken = {n.casefold() for n in names if n}
    seen_names = set()
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
    for r in range(first + 1, rows[-1] + 1):
        line = [values.get((r, c)) for c in range(left, width)]
        if all(v is None for v in line): continue
        out = []
        for v, t in zip(line, types):
            if v is None: out.append(None)
            elif t in ('text', 'memo'): out.append(as_text(v))
            else: out.append(repr(float(v[1])) if t != 'boolean' else ('true' if v[1] else 'false'))
        body.append(out)
    return names, types, sizes, body

def write_csv(path, table):
    names, types, sizes, body = table
    def line(cells):
        return ','.join('' if c is None else '"' + c.replace('"', '""') + '"' for c in cells) + '\r\n'
    with open(path, 'w', encoding='utf-8', newline='') as f:
        for cells in [names, types, sizes] + body:
            f.write(line(cells))

def main(outdir, sheets):
    from differences import MENDS, NO_REFERENCE, own_cells
    for path in sheets:
        name = os.path.basename(path)
        print(name)
        # gnumeric takes a Release 3 WK3 file for text.
        own = name.lower().endswith('.wk3') or name in NO_REFERENCE
        cells = own_cells(path) if own else cells_of(path)
        for key, cell in cells.items():
            if cell[0] == 'text' and '\ufffd' in cell[1]:
                print('  not UTF-8 in the reference:', name, key, repr(cell[1]))
        mend(name, cells, MENDS)
        table = table_of(cells)
        if table is None:
            print('no cells in', name)
            continue
        write_csv(os.path.join(outdir, name + '.csv'), table)

if __name__ == '__main__':
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    main(sys.argv[1], sys.argv[2:])
