# Worksheets written from the published 1-2-3 record layouts, one for each thing a
# reader must decode: every format byte of Release 2 (WK1) and Release 1A (WKS),
# the same formats as Release 3/4 row formats (record 0x13), numbers of every record
# form, formula results of every kind, and labels with line breaks.
#
#   python3 make_sheets.py OUTDIR
#
# Release 1A/2 records: BOF 0x00 (version 0x0404 / 0x0406), INTEGER 0x0D, NUMBER 0x0E
# (IEEE double), LABEL 0x0F, FORMULA 0x10 (saved double, then the formula), STRING 0x33
# (a formula's text result), EOF 0x01; each cell starts with its format byte, column
# and row. Release 3 and later: BOF 0x00 (version 0x1000 WK3, 0x1002 WK4, 0x1005 for
# .123), row formats 0x13, ERRCELL 0x14, NACELL 0x15, LABEL 0x16, NUMBER 0x17 (80-bit
# real), SMALLNUM 0x18, FORMULA 0x19 (80-bit result), FORMULASTRING 0x1A, PACKED 0x25,
# NUMBER2 0x27 (IEEE double), FORMULA2 0x28 (IEEE double result); each cell starts with
# its row, sheet and column.
import math, struct, sys, os

def rec(op, data): return struct.pack('<HH', op, len(data)) + data

# --- Release 1A / 2 ---
def bof_old(version): return rec(0x00, struct.pack('<H', version))
def eof(): return rec(0x01, b'')
def cell_old(fmt, r, c): return struct.pack('<BHH', fmt, c, r)
def label_old(r, c, raw, fmt=0xFF, prefix=b"'"):
    return rec(0x0F, cell_old(fmt, r, c) + prefix + raw + b'\0')
def text_old(r, c, s, fmt=0xFF): return label_old(r, c, s.encode('cp1252'), fmt)
def integer(r, c, v, fmt=0xFF): return rec(0x0D, cell_old(fmt, r, c) + struct.pack('<h', v))
def number_old(r, c, v, fmt=0xFF): return rec(0x0E, cell_old(fmt, r, c) + struct.pack('<d', v))
def formula_old(r, c, saved, code, fmt=0xFF):
    return rec(0x10, cell_old(fmt, r, c) + saved + struct.pack('<H', len(code)) + code)
def string_old(r, c, s, fmt=0xFF): return rec(0x33, cell_old(fmt, r, c) + s.encode('cp1252') + b'\0')

# Formula bytes of Release 2: constants, operators, the end.
INT = lambda v: b'\x05' + struct.pack('<h', v)
REAL = lambda v: b'\x00' + struct.pack('<d', v)
TEXT = lambda s: b'\x06' + s.encode('cp1252') + b'\0'
ADD, DIV, END = b'\x09', b'\x0c', b'\x03'
NA_FN, ERR_FN = b'\x1f', b'\x20'  # @NA, @ERR
# The saved doubles 1-2-3 writes for a text result and for an error or NA.
SAVED_TEXT = bytes.fromhex('000000000000f07f')
SAVED_ERR = bytes.fromhex('000000000000f0ff')
SAVED_NA = bytes.fromhex('000000000000f87f')

# Format bytes: bit 7 protection, bits 4-6 the kind, bits 0-3 the places or, for
# kind 7, the special format.
def fmt(kind, low, protected=True): return (0x80 if protected else 0) | kind << 4 | low
FORMATS = [  # field name, format byte, the values under it
    ('Fixed2', fmt(0, 2), [5, -3, 0.5, 1234567.891, 1e-5]),
    ('Fixed0', fmt(0, 0, False), [1.5, 2, -2.5, 1e15, 0]),
    ('Sci2', fmt(1, 2), [5, -3, 0.5, 6.02214076e23, 1e-300]),
    ('Sci15', fmt(1, 15), [12345.6789, -1, 2.5e-10, 1e300, 7]),
    ('Currency2', fmt(2, 2), [5, -3, 0.25, 99999.99, 0]),
    ('Percent1', fmt(3, 1), [0.5, -0.125, 1, 12.5, 0.001]),
    ('Comma0', fmt(4, 0), [1000, -2500000, 0.5, 3, 12]),
    ('PlusMinus', fmt(7, 0), [5, -3, 0, 2.5, 1]),
    ('General', fmt(7, 1), [5, -3, 0.1, 1e20, 123456789]),
    ('Text', fmt(7, 5), [5, -3, 0.1, 42, 1e-7]),
    ('Hidden', fmt(7, 6), [5, -3, 0.1, 42, 8]),
    ('Default', fmt(7, 15), [5, -3, 0.1, 42, 9]),
    ('D1', fmt(7, 2), [36526.5, 61.75, 36526, 1, 45000.25]),
    ('D2', fmt(7, 3), [36526, 36891.999988425925, 100, 59, 2958465]),
    ('D3', fmt(7, 4), [36526, 40000, 61, 0.5, 73051]),
    ('D4', fmt(7, 9), [36526.5, 61.75, 44197, 2, 12]),
    ('D5', fmt(7, 10), [36526, 2000, 30000.125, 50000, 61]),
    ('D6', fmt(7, 7), [0.25, 0.999988425925926, 36526.75, 0.5, 0]),
    ('D7', fmt(7, 8), [0.75, 36526.75, 1.5, 0.1, 0.041666666666666664]),
    ('D8', fmt(7, 11), [0.25, 36526.75, 0.5, 2.25, 0.75]),
    ('D9', fmt(7, 12), [0.5, 36526.75, 1.125, 0.3, 0.0625]),
    ('D1Open', fmt(7, 2, False), [36526.25, 100.5, 61, 40000, 1.5]),
    # Kinds and special formats 1-2-3 does not define: plain numbers.
    ('Kind5', fmt(5, 2), [36526, -3, 0.5, 7, 1e6]),
    ('Kind6', fmt(6, 0), [36526, -3, 0.5, 7, 2]),
    ('Special13', fmt(7, 13), [36526, -3, 0.5, 7, 3]),
    ('Special14', fmt(7, 14), [36526, -3, 0.5, 7, 4]),
]
# Numbers a date cannot hold, in date and time formats: they arrive as numbers.
BEYOND = [
    ('FarDate', fmt(7, 2), [4000000, -4000000, 3650001, 2958466, -1]),
    ('FarD4', fmt(7, 9), [3650000.5, -3650000.5, 1e10, 5000000, -36526]),
    ('NegTime', fmt(7, 8), [-0.25, -36526.75, -0.5, -1.5, -0.001]),
    ('NegD6', fmt(7, 7), [-0.75, -2.25, -0.125, -100, -0.5]),
]

def cells_old(columns):
    out = b''
    for c, (name, _, _) in enumerate(columns):
        out += text_old(0, c, name)
    for c, (_, f, values) in enumerate(columns):
        for r, v in enumerate(values, start=1):
            if isinstance(v, int) and -32768 <= v <= 32767 and r % 2:
                out += integer(r, c, v, f)
            else:
                out += number_old(r, c, float(v), f)
    return out

def old_sheet(version, body): return bof_old(version) + body + eof()

def formulas_old():
    out = b''
    names = ['Name', 'Num', 'Zero', 'Word', 'Bad', 'Missing', 'When', 'Blank']
    for c, n in enumerate(names):
        out += text_old(0, c, n)
    rows = [('one', 2.5, 'abc', 36526.5), ('two', -4.0, 'de f', 61.75), ('three', 1e-3, 'x', 44197.0)]
    for r, (name, num, word, when) in enumerate(rows, start=1):
        out += text_old(r, 0, name)
        out += formula_old(r, 1, struct.pack('<d', num), REAL(num - 1) + INT(1) + ADD + END)
        out += formula_old(r, 2, struct.pack('<d', 0.0), INT(0) + END)
        out += formula_old(r, 3, SAVED_TEXT, TEXT(word) + END)
        out += string_old(r, 3, word)
        out += formula_old(r, 4, SAVED_ERR, INT(1) + INT(0) + DIV + END)
        out += formula_old(r, 5, SAVED_NA, NA_FN + END)
        out += formula_old(r, 6, struct.pack('<d', when), REAL(when) + END, fmt(7, 2))
        # A formula whose text result is empty: a blank.
        out += formula_old(r, 7, SAVED_TEXT, TEXT('') + END)
        out += string_old(r, 7, '')
    return out

def labels_old():
    out = text_old(0, 0, 'Key') + text_old(0, 1, 'Text')
    texts = [b'abc\r\ndef', b'\r', b'plain', b'two\r\nline\r\nbreaks', b'semi;colon,comma"quote', b'  lead and trail  ']
    for r, raw in enumerate(texts, start=1):
        out += integer(r, 0, r)
        out += label_old(r, 1, raw)
    out += integer(len(texts) + 1, 0, len(texts) + 1)
    out += label_old(len(texts) + 1, 1, b'right', prefix=b'"')
    out += integer(len(texts) + 2, 0, len(texts) + 2)
    out += label_old(len(texts) + 2, 1, b'centred', prefix=b'^')
    return out

# --- Release 3 and later ---
def bof_new(version):
    return rec(0x00, struct.pack('<H', version) + bytes.fromhex('0400000000000100000101002700010a0000000000000000')[:24])
def cell_new(r, c, sheet=0): return struct.pack('<HBB', r, sheet, c)
def ld(x):  # 80-bit x87 extended, exact for every double and for whole numbers below 2^64
    if x == 0: return b'\0' * 10
    sign = 0x8000 if x < 0 else 0
    x = abs(x)
    if isinstance(x, int):
        e = x.bit_length()
        mant = x << (64 - e) if e <= 64 else x >> (e - 64)
        return struct.pack('<QH', mant, (e - 1 + 16383) | sign)
    m, e = math.frexp(x)
    return struct.pack('<QH', int(m * (1 << 64)), (e - 1 + 16383) | sign)
def special10(marker): return b'\0' * 7 + bytes([marker]) + b'\xff\xff'
def label_new(r, c, raw, prefix=b"'"): return rec(0x16, cell_new(r, c) + prefix + raw + b'\0')
def text_new(r, c, s): return label_new(r, c, s.encode('cp1252'))
def number10(r, c, v): return rec(0x17, cell_new(r, c) + ld(v))
def smallnum(r, c, word): return rec(0x18, cell_new(r, c) + struct.pack('<h', word))
def packed(r, c, word): return rec(0x25, cell_new(r, c) + struct.pack('<I', word))
def number8(r, c, v): return rec(0x27, cell_new(r, c) + struct.pack('<d', v))
def formula10(r, c, saved, code=b'\x03'): return rec(0x19, cell_new(r, c) + saved + code)
def formula8(r, c, saved, code=b'\x03'): return rec(0x28, cell_new(r, c) + saved + code)
def fstring(r, c, raw): return rec(0x1A, cell_new(r, c) + raw + b'\0')
def errcell(r, c): return rec(0x14, cell_new(r, c))
def nacell(r, c): return rec(0x15, cell_new(r, c))
# A row's formats: one 32-bit word a column, its low byte the format byte of
# Release 2; the other bits as 1-2-3 writes them for a plain cell.
def row_formats(r, fmts):
    return rec(0x13, struct.pack('<BBH', 0, 0, r) + b''.join(struct.pack('<I', 0x40054000 | f) for f in fmts))

def formats_new(columns):
    out = b''
    for c, (name, _, _) in enumerate(columns):
        out += text_new(0, c, name)
    rows = max(len(v) for _, _, v in columns)
    for r in range(1, rows + 1):
        out += row_formats(r, [f for _, f, _ in columns])
        for c, (_, _, values) in enumerate(columns):
            v = values[r - 1]
            # Each number form in turn: 80-bit, IEEE double.
            out += number10(r, c, float(v)) if r % 2 else number8(r, c, float(v))
    return out

def numbers_new():
    # SMALLNUM words: even = the number twice over; odd = a mantissa and a scale.
    out = b''.join(text_new(0, c, n) for c, n in enumerate(['Small', 'Packed', 'Ten', 'Eight', 'Huge']))
    small = [2 * 7, 2 * -3, (12 << 4) | (0 << 1) | 1, (25 << 4) | (2 << 1) | 1, (-7 << 4) | (6 << 1) | 1]
    packs = [(5 << 6), (5 << 6) | 0x20, (125 << 6) | 0x10 | 2, (3 << 6) | 4, (1 << 6) | 0x20 | 0x10 | 1]
    tens = [2 ** 63, 1e300, -2 ** 64 + 2048, 1e-300, 0.1]
    eights = [0.1, -2.5, 1e300, 2.0 ** 63, 5e-324]
    for r in range(5):
        out += smallnum(r + 1, 0, small[r]) + packed(r + 1, 1, packs[r])
        out += number10(r + 1, 2, tens[r]) + number8(r + 1, 3, eights[r])
        out += number10(r + 1, 4, [2 ** 63, 2 ** 64 - 2048, 1e300, 2 ** 70, -2 ** 63][r])
    return out

def formulas_new(eight):
    # Results of every kind; eight: the IEEE-double form (.123) instead of 80-bit.
    out = b''.join(text_new(0, c, n) for c, n in enumerate(['Name', 'Num', 'Zero', 'Word', 'Bad', 'Missing', 'Big']))
    rows = [('one', 2.5, 'abc'), ('two', -4.0, 'de f'), ('three', 1e-3, 'line\r\nbreak')]
    for r, (name, num, word) in enumerate(rows, start=1):
        out += text_new(r, 0, name)
        if eight:
            out += formula8(r, 1, struct.pack('<d', num)) + formula8(r, 2, struct.pack('<d', 0.0))
            out += formula8(r, 3, b'\0' * 5 + b'\xe0\xff\xff') + fstring(r, 3, word.encode('cp1252'))
            out += formula8(r, 4, b'\0' * 5 + b'\xc0\xff\xff') if r != 3 else errcell(r, 4)
            out += formula8(r, 5, b'\0' * 5 + b'\xd0\xff\xff') if r != 3 else nacell(r, 5)
            out += formula8(r, 6, struct.pack('<d', [2.0 ** 63, 1e300, -1e300][r - 1]))
        else:
            out += formula10(r, 1, ld(num)) + formula10(r, 2, ld(0.0))
            out += formula10(r, 3, special10(0xe0)) + fstring(r, 3, word.encode('cp1252'))
            out += formula10(r, 4, special10(0xc0)) if r != 3 else errcell(r, 4)
            out += formula10(r, 5, special10(0xd0)) if r != 3 else nacell(r, 5)
            out += formula10(r, 6, ld([2 ** 63, 1e300, -1e300][r - 1]))
    return out

def labels_new():
    out = text_new(0, 0, 'Key') + text_new(0, 1, 'Text')
    texts = [b'abc\x0f-\x0f*def', b'\r', b'plain', b'a\x0f-\x0f*b\x0f-\x0f*c', b'caf\x01\x82', b'tab\x0f)end']
    for r, raw in enumerate(texts, start=1):
        out += number10(r, 0, float(r)) + label_new(r, 1, raw)
    # Cells of a second sheet, which the link leaves out.
    out += rec(0x16, cell_new(1, 5, sheet=1) + b"'other sheet\0") + rec(0x17, cell_new(9, 0, sheet=1) + ld(5.0))
    return out

# A sheet saved with a password: the password record (0x0002: a checksum of the
# password the program compares) stands after the beginning, and every record's data
# after it is enciphered; the record headers stay plain.
def protected_new(version):
    key = b'Varnoke!'
    body = b''
    plain = labels_new()
    at = 0
    while at < len(plain):
        op, length = struct.unpack_from('<HH', plain, at)
        data = bytes(b ^ key[(i + op) % len(key)] for i, b in enumerate(plain[at + 4:at + 4 + length]))
        body += struct.pack('<HH', op, length) + data
        at += 4 + length
    return bof_new(version) + rec(0x02, bytes.fromhex('6b1f00a3')) + body + eof()

def write(folder, name, data):
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

def main(folder):
    write(folder, 'formats.wk1', old_sheet(0x0406, cells_old(FORMATS)))
    write(folder, 'formats_r1a.wks', old_sheet(0x0404, cells_old(FORMATS)))
    write(folder, 'beyond_dates.wk1', old_sheet(0x0406, cells_old(BEYOND)))
    write(folder, 'formulas_all.wk1', old_sheet(0x0406, formulas_old()))
    write(folder, 'labels.wk1', old_sheet(0x0406, labels_old()))
    write(folder, 'row_formats.wk4', bof_new(0x1002) + formats_new(FORMATS) + eof())
    write(folder, 'beyond_dates.wk4', bof_new(0x1002) + formats_new(BEYOND) + eof())
    write(folder, 'numbers.wk4', bof_new(0x1002) + numbers_new() + eof())
    write(folder, 'numbers.123', bof_new(0x1005) + numbers_new() + eof())
    write(folder, 'formulas_all.wk4', bof_new(0x1002) + formulas_new(False) + eof())
    write(folder, 'formulas_all.123', bof_new(0x1005) + formulas_new(True) + eof())
    write(folder, 'labels.wk4', bof_new(0x1002) + labels_new() + eof())
    write(folder, 'labels.123', bof_new(0x1005) + labels_new() + eof())
    write(folder, 'labels.wk3', bof_new(0x1000) + labels_new() + eof())
    write(folder, 'formulas_all.wk3', bof_new(0x1000) + formulas_new(False) + eof())
    write(folder, 'row_formats.wk3', bof_new(0x1000) + formats_new(FORMATS) + eof())
    # Sheets the link must refuse: no expected table, apart in their own folder.
    os.makedirs(os.path.join(folder, 'protected'), exist_ok=True)
    write(folder, 'protected/labels.wk3', protected_new(0x1000))
    write(folder, 'protected/labels.wk4', protected_new(0x1002))
    write(folder, 'protected/labels.123', protected_new(0x1005))

if __name__ == '__main__':
    main(sys.argv[1])
