# Writes small Excel 5.0 (BIFF5) workbooks from the published record layout, for what
# the public corpus lacks: texts whose code page only the fonts' character set names
# (no CODEPAGE record), and Macintosh code pages named by CODEPAGE.
#
#   /usr/bin/python3 make_books.py OUTDIR
#
# Each book: a compound file holding one "Book" stream (padded with zeros to 4096
# bytes, so that it needs no mini stream), with a globals substream (BOF, an optional
# CODEPAGE, FONT records, 21 XF records, a BOUNDSHEET, EOF) and one worksheet of LABEL
# and NUMBER cells.
import os, struct, sys

def record(kind, data=b''):
    return struct.pack('<HH', kind, len(data)) + data

def bof(part):
    return record(0x0809, struct.pack('<HHHH', 0x0500, part, 0x0DBB, 1994))

def font(charset, name=b'Arial'):
    return record(0x0031, struct.pack('<HHHHHBBBB', 200, 0, 0x7FFF, 400, 0, 0, 0, charset, 0)
                  + bytes([len(name)]) + name)

def xf():
    return record(0x00E0, struct.pack('<HHHHHHHH', 0, 0, 0xFFF5, 0x20, 0, 0, 0, 0))

def label(row, col, text):
    return record(0x0204, struct.pack('<HHHH', row, col, 15, len(text)) + text)

def number(row, col, value):
    return record(0x0203, struct.pack('<HHHd', row, col, 15, value))

def book_stream(charset, codepage, sheet_name, cells):
    globals_head = bof(0x0005)
    if codepage is not None: globals_head += record(0x0042, struct.pack('<H', codepage))
    globals_head += b''.join(font(charset) for _ in range(5))
    globals_head += b''.join(xf() for _ in range(21))
    sheet = bof(0x0010) + b''.join(cells) + record(0x000A)
    boundsheet_size = 4 + 6 + 1 + len(sheet_name)
    offset = len(globals_head) + boundsheet_size + 4
    stream = globals_head + record(0x0085, struct.pack('<IBB', offset, 0, 0) +
                                   bytes([len(sheet_name)]) + sheet_name) + record(0x000A) + sheet
    return stream + b'\0' * (4096 - len(stream))

def compound_file(stream):
    # Sector 0: the allocation table; 1: the directory; 2..: the stream.
    sectors = len(stream) // 512
    fat = [0xFFFFFFFD, 0xFFFFFFFE] + [3 + i for i in range(sectors - 1)] + [0xFFFFFFFE]
    fat += [0xFFFFFFFF] * (128 - len(fat))
    header = bytes.fromhex('D0CF11E0A1B11AE1') + b'\0' * 16 + struct.pack(
        '<HHHHHHIIIIIIIII', 0x3E, 3, 0xFFFE, 9, 6, 0, 0, 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0,
        0xFFFFFFFE) + struct.pack('<I', 0)
    header += struct.pack('<I', 0) + struct.pack('<I', 0xFFFFFFFF) * 108
    assert len(header) == 512, len(header)

    def entry(name, kind, child, start, size):
        encoded = (name + '\0').encode('utf-16-le')
        return (encoded.ljust(64, b'\0') + struct.pack('<HBB', len(encoded), kind, 1) +
                struct.pack('<III', 0xFFFFFFFF, 0xFFFFFFFF, child) + b'\0' * 36 +
                struct.pack('<III', start, size, 0))
    directory = (entry('Root Entry', 5, 1, 0xFFFFFFFE, 0) + entry('Book', 2, 0xFFFFFFFF, 2, len(stream))
                 + b'\0' * 256)
    return header + struct.pack('<128I', *fat) + directory + stream

# (file, font charset, CODEPAGE or None, sheet name, code page of its texts, texts)
BOOKS = [
    ('fonts_cyrillic.xls', 204, None, 'Лист1', 'cp1251', ['Город', 'Москва', 'Санкт-Петербург']),
    ('fonts_greek.xls', 161, None, 'Φύλλο1', 'cp1253', ['Πόλη', 'Αθήνα', 'Θεσσαλονίκη']),
    ('fonts_central.xls', 238, None, 'Arkusz1', 'cp1250', ['Miasto', 'Łódź', 'Kraków']),
    ('fonts_japanese.xls', 128, None, 'Sheet1', 'cp932', ['都市', '東京', '大阪']),
    ('fonts_turkish.xls', 162, None, 'Sayfa1', 'cp1254', ['Şehir', 'İstanbul', 'Muğla']),
    ('fonts_western.xls', 0, None, 'Sheet1', 'cp1252', ['Ville', 'Zürich', 'Besançon']),
    ('mac_cyrillic.xls', 204, 10007, 'Лист1', 'mac_cyrillic', ['Город', 'Киев', 'Ялта']),
    ('mac_roman.xls', 0, 10000, 'Sheet1', 'mac_roman', ['Ville', 'Zürich', 'Besançon']),
]

def main(outdir):
    for name, charset, codepage, sheet, page, texts in BOOKS:
        cells = [label(0, 0, texts[0].encode(page)), label(0, 1, b'N')]
        for i, text in enumerate(texts[1:], 1):
            cells += [label(i, 0, text.encode(page)), number(i, 1, float(i))]
        with open(os.path.join(outdir, name), 'wb') as f:
            f.write(compound_file(book_stream(charset, codepage, sheet.encode(page), cells)))

if __name__ == '__main__':
    main(sys.argv[1])
