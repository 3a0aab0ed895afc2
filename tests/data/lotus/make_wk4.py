import struct, sys
def rec(op, data): return struct.pack('<HH', op, len(data)) + data
def ld(x):  # 80-bit x87 extended, little-endian
    import math
    if x == 0: return b'\0'*10
    sign = 0x8000 if x < 0 else 0; x = abs(x)
    m, e = math.frexp(x)  # x = m * 2**e, 0.5 <= m < 1
    mant = int(m * (1 << 64))
    exp = e - 1 + 16383
    return struct.pack('<QH', mant, exp | sign)
def label(r, c, s): return rec(0x16, struct.pack('<HBB', r, 0, c) + b"'" + s.encode('cp1252') + b'\0')
def number(r, c, v): return rec(0x17, struct.pack('<HBB', r, 0, c) + ld(v))
version = int(sys.argv[1], 16)
bof = struct.pack('<H', version) + b'\0' * 24
out = rec(0, bof)
rows = [['Name', 'Qty', 'Price'], ['Apple', 3, 1.25], ['Pear', 12, -0.5], ['Plum', 7, 1000000.125]]
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        out += label(r, c, v) if isinstance(v, str) else number(r, c, v)
out += rec(1, b'')
open(sys.argv[2], 'wb').write(out)
