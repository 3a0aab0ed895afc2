# A 1-2-3 Release 2 (WK1) worksheet whose formulas saved a number, zero, a text and an
# error, from the published record layout: BOF 0x00 (version 0x0406), LABEL 0x0F,
# FORMULA 0x10 (format, column, row, saved double, formula length, formula), STRING
# 0x33 (the text result of the formula before it), EOF 0x01.
import struct, sys
def rec(op, data): return struct.pack('<HH', op, len(data)) + data
def label(r, c, s): return rec(0x0F, struct.pack('<BHH', 0xFF, c, r) + b"'" + s.encode('cp1252') + b'\0')
NAN_TEXT = b'\x00\x00\x00\x00\x00\x00\xf0\x7f'  # what 1-2-3 saves before a STRING record
NAN_ERR = b'\x00\x00\x00\x00\x00\x00\xf0\xff'
def formula(r, c, saved, code):
    return rec(0x10, struct.pack('<BHH', 0xFF, c, r) + saved + struct.pack('<H', len(code)) + code)
def num(v): return struct.pack('<d', v)
INT = lambda v: b'\x05' + struct.pack('<h', v)           # integer constant
REAL = lambda v: b'\x00' + struct.pack('<d', v)          # number constant
TEXT = lambda s: b'\x06' + s.encode('cp1252') + b'\0'    # text constant
ADD, DIV, END = b'\x09', b'\x0c', b'\x03'
out = rec(0, struct.pack('<H', 0x0406))
for c, name in enumerate(['Name', 'Zero', 'Sum', 'Word', 'Bad']):
    out += label(0, c, name)
rows = [('First', 0, 2.5, 'abc'), ('Second', 0, 4.0, 'de f')]
for i, (name, zero, total, word) in enumerate(rows, start=1):
    out += label(i, 0, name)
    out += formula(i, 1, num(0), INT(0) + END)
    out += formula(i, 2, num(total), INT(1) + REAL(total - 1) + ADD + END)
    out += formula(i, 3, NAN_TEXT, TEXT(word) + END)
    out += rec(0x33, struct.pack('<BHH', 0xFF, 3, i) + word.encode('cp1252') + b'\0')
    out += formula(i, 4, NAN_ERR, INT(1) + INT(0) + DIV + END)
out += rec(1, b'')
open(sys.argv[1], 'wb').write(out)
