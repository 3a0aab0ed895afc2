# What make_expected.py takes from elsewhere than gnumeric's reading: the sheets it
# cannot read (Release 3 WK3 files: it takes them for text), decoded here by the
# published record layout, and the cells where its reading differs from the bytes,
# each with its line in DIFFERENCES.md.
import math, struct

# Sheets gnumeric cannot read as worksheets.
NO_REFERENCE = set()

# (sheet, row, column) -> the cell as the bytes hold it, (kind, value, is_date), or a
# function of gnumeric's cell that gives it. Each entry is a row of DIFFERENCES.md.
def as_date(cell): return (cell[0], cell[1], True)
MENDS = {}
# 1. The long and short international time formats (special formats 11 and 12) are
#    times; gnumeric gives them no format.
for sheet in ('formats.wk1', 'formats_r1a.wks', 'row_formats.wk4'):
    for row in range(1, 6):
        for col in (19, 20):
            MENDS[(sheet, row, col)] = as_date
# 2. A formula's saved text (FORMULASTRING) is 1-2-3 text like a label's: gnumeric
#    copies its bytes unconverted, losing the escaped line break 0x0F '-' 0x0F '*'
#    (CR LF) and writing a bare byte above 0x7F (code page 850, 0xB8 is the copyright
#    sign) as it is, which is not UTF-8.
MENDS[('CRLFR9.123', 1, 1)] = ('text', 'abc\r\ndef', False)
MENDS[('CRLFR9.WK4', 1, 1)] = ('text', 'abc\r\ndef', False)
MENDS[('pylotus_DEMO.WK4', 21, 3)] = ('text', '\u00a9', False)
# 3. A Release 2 formula whose saved double is a NaN other than 0x7FF0... and is
#    followed by its STRING record has that text as its result; gnumeric takes the
#    NaN for the value and passes over the STRING record.
MENDS[('crlfq9.wk1', 1, 1)] = ('text', 'abc\r\ndef', False)

def lmbcs(raw):
    # 1-2-3's multi-byte text: group 1 (code page 850) after 0x01, control characters
    # after 0x0F (0x0F 0x20+n is character n); plain bytes below 0x80 are ASCII.
    out, i = [], 0
    while i < len(raw) and raw[i] != 0:
        b = raw[i]
        if b == 0x01 and i + 1 < len(raw):
            out.append(bytes([raw[i + 1]]).decode('cp850')); i += 2
        elif b == 0x0F and i + 1 < len(raw) and 0x20 <= raw[i + 1] < 0x40:
            out.append(chr(raw[i + 1] - 0x20)); i += 2
        elif b < 0x80:
            out.append(chr(b)); i += 1
        else:
            out.append(bytes([b]).decode('cp850')); i += 1
    return ''.join(out)

def real10(b):
    mant, word = struct.unpack_from('<QH', b)
    if word & 0x7FFF == 0x7FFF:
        return {0xc0: ('error', 'ERR'), 0xd0: ('error', 'NA'), 0xe0: ('text', '')}.get(b[7], ('error', 'NaN'))
    if mant == 0: return ('number', 0.0)
    v = math.ldexp(float(mant), (word & 0x7FFF) - 16383 - 63)
    return ('number', -v if word & 0x8000 else v)

def real8(b):
    v = struct.unpack_from('<d', b)[0]
    if math.isnan(v):
        return {0xc0: ('error', 'ERR'), 0xd0: ('error', 'NA'), 0xe0: ('text', '')}.get(b[5], ('error', 'NaN'))
    return ('number', v)

def smallnum(w):
    if not w & 1: return float(w >> 1)
    scale = [5000, 500, 1 / 20, 1 / 200, 1 / 2000, 1 / 20000, 1 / 16, 1 / 64][(w >> 1) & 7]
    return (w >> 4) * scale if scale >= 1 else (w >> 4) / round(1 / scale)

def packed(u):
    v = float(u >> 6)
    if u & 0x20: v = -v
    return v / 10 ** (u & 15) if u & 0x10 else v * 10 ** (u & 15)

DATE_SPECIALS = {2, 3, 4, 7, 8, 9, 10, 11, 12}

def own_cells(path):
    # The first sheet of a Release 3 or later file, by its records.
    data = open(path, 'rb').read()
    cells, formats, at, pending = {}, {}, 0, None
    while at + 4 <= len(data):
        op, n = struct.unpack_from('<HH', data, at)
        b = data[at + 4:at + 4 + n]
        at += 4 + n
        if op == 0x01: break
        if op == 0x13 and n >= 4 and b[0] == 0 and b[1] == 0:
            row, col, o = struct.unpack_from('<H', b, 2)[0], 0, 4
            while o + 4 <= n:
                word = struct.unpack_from('<I', b, o)[0]
                count = 1 + b[o + 4] if word & 0x80000000 and o + 4 < n else 1
                o += 5 if word & 0x80000000 and o + 4 < n else 4
                for c in range(col, col + count):
                    formats[(row, c)] = word & 0xFF
                col += count
            continue
        if op == 0x13 and n >= 8 and b[0] == 0 and b[1] == 2:
            # A row that takes another row's formats.
            row, src_sheet, src_row = struct.unpack_from('<HHH', b, 2)
            if src_sheet == 0:
                for (r, c), f in list(formats.items()):
                    if r == src_row: formats[(row, c)] = f
            continue
        if op not in (0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x27, 0x28) or n < 4 or b[2] != 0:
            continue
        key = (struct.unpack_from('<H', b)[0], b[3])
        if op == 0x16: cells[key] = ('text', lmbcs(b[5:]))
        elif op == 0x14: cells[key] = ('error', 'ERR')
        elif op == 0x15: cells[key] = ('error', 'NA')
        elif op == 0x17: cells[key] = real10(b[4:14])
        elif op == 0x18: cells[key] = ('number', smallnum(struct.unpack_from('<h', b, 4)[0]))
        elif op == 0x25: cells[key] = ('number', packed(struct.unpack_from('<I', b, 4)[0]))
        elif op == 0x27: cells[key] = real8(b[4:12])
        elif op == 0x19: cells[key] = real10(b[4:14])
        elif op == 0x28: cells[key] = real8(b[4:12])
        elif op == 0x1A: cells[key] = ('text', lmbcs(b[4:]))
    out = {}
    for key, (kind, v) in cells.items():
        f = formats.get(key, 0xFF)
        out[key] = (kind, v, kind == 'number' and (f >> 4) & 7 == 7 and f & 15 in DATE_SPECIALS)
    return out

def old_cells(path):
    # The first sheet of a Release 1A or 2 file, by its records: for checking gnumeric's
    # reading, not for expected values.
    data = open(path, 'rb').read()
    cells, at, last = {}, 0, None
    while at + 4 <= len(data):
        op, n = struct.unpack_from('<HH', data, at)
        b = data[at + 4:at + 4 + n]
        at += 4 + n
        if op == 0x01: break
        if op not in (0x0D, 0x0E, 0x0F, 0x10, 0x33) or n < 5: continue
        f, col, row = struct.unpack_from('<BHH', b)
        date = (f >> 4) & 7 == 7 and f & 15 in DATE_SPECIALS
        if op == 0x0D: cells[(row, col)] = ('number', float(struct.unpack_from('<h', b, 5)[0]), date)
        elif op == 0x0E: cells[(row, col)] = ('number', struct.unpack_from('<d', b, 5)[0], date)
        elif op == 0x0F: cells[(row, col)] = ('text', lmbcs(b[6:]), False)
        elif op == 0x10:
            v = struct.unpack_from('<d', b, 5)[0]
            cells[(row, col)] = ('error', 'ERR', False) if math.isnan(v) or math.isinf(v) else ('number', v, date)
        elif op == 0x33 and last == (row, col): cells[(row, col)] = ('text', lmbcs(b[5:]), False)
        last = (row, col) if op == 0x10 else None
    return cells
