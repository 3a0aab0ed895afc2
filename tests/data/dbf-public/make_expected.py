#!/usr/bin/python3
"""Writes expected/<table>.csv for every table of the public dBase corpus, once, from
Python's dbfread (python3-dbfread), falling back to python3-dbf where dbfread cannot
read a table. Run from this folder with the corpus unpacked beside it:

    mkdir -p /tmp/dbf-public && tar xzf dbf-public.tgz -C /tmp/dbf-public
    /usr/bin/python3 make_expected.py /tmp/dbf-public

Each CSV holds the field names, types and sizes on its first three lines, then one line
a record not marked deleted. A Null is the one unquoted, empty cell. Numbers are written
in Python's shortest round-trip form, dates as day serials counted from 30 December 1899,
booleans as true/false, binary values as hex. The tables neither reader reads are listed
in unread.txt with the reason each reader gives.

Text is decoded by the rule the README gives: the .cpg beside the table, else the
language-driver byte, else UTF-8 where every character field of the table is valid UTF-8,
else windows-1252 with its five unassigned bytes kept as the C1 controls of the same
number. The code-page names of both marks are dbfread's own table's.
"""
import codecs
import csv
import datetime
import decimal
import math
import os
import struct
import sys

import dbfread
import dbfread.dbf
import dbfread.memo
from dbfread.codepages import codepages

HERE = os.path.dirname(os.path.abspath(__file__))


def keep_byte(error):
    """Bytes a code page leaves unassigned become the code point of their number."""
    bad = error.object[error.start:error.end]
    return ''.join(chr(b) for b in bad), error.end


codecs.register_error('keepbyte', keep_byte)

# Mazovia (language driver 0x69), which Python lacks: code page 437 with the Polish
# letters in place of some of its own.
MAZOVIA = {0x86: 'ą', 0x8D: 'ć', 0x8F: 'Ą', 0x90: 'Ę', 0x91: 'ę', 0x92: 'ł', 0x95: 'Ć',
           0x98: 'Ś', 0x9C: 'Ł', 0x9E: 'ś', 0xA0: 'Ź', 0xA1: 'Ż', 0xA2: 'ó', 0xA3: 'Ó',
           0xA4: 'ń', 0xA5: 'Ń', 0xA6: 'ź', 0xA7: 'ż'}
MAZOVIA_TABLE = ''.join(MAZOVIA.get(b, bytes([b]).decode('cp437')) for b in range(256))


def find_mazovia(name):
    if name != 'mazovia':
        return None
    return codecs.CodecInfo(
        name='mazovia',
        encode=lambda text, errors='strict': codecs.charmap_encode(
            text, errors, codecs.charmap_build(MAZOVIA_TABLE)),
        decode=lambda data, errors='strict': codecs.charmap_decode(data, errors, MAZOVIA_TABLE))


codecs.register(find_mazovia)

# Files that are damaged, and why, by their bytes: no expected table is written for them.
DAMAGED = {
    'dbasers_stations_with_deleted.dbf':
        'the header gives a record length of 1016 while its four fields of 254 bytes and '
        'the deletion flag make 1017, and the records lie 1017 bytes apart (the file is '
        '161 + 6 x 1017 + 1 bytes): dbfread walks 1016 a record and shifts each record '
        'one byte further into the next',
    'javadbf_myfileafter-corrupted.dbf':
        'a Visual FoxPro table whose header length (on purpose, in javadbf\'s tests) leaves '
        'out the 263-byte container path that lies before the first record; 263 bytes more '
        'than its records follow',
}

CPG = {
    'utf-8': 'utf-8', 'utf8': 'utf-8', '65001': 'utf-8',
    '88591': 'latin-1', '8859-1': 'latin-1', 'iso-8859-1': 'latin-1', 'iso88591': 'latin-1',
    'latin1': 'latin-1',
}
for n in ('1250', '1251', '1252', '1253', '1254', '1255', '1256', '1257', '1258'):
    for form in (n, 'ansi ' + n, 'cp' + n, 'windows-' + n):
        CPG[form] = 'cp' + n
for n in ('437', '850', '852', '866'):
    for form in (n, 'oem ' + n, 'cp' + n, 'ibm' + n):
        CPG[form] = 'cp' + n


def companion(path, ext):
    folder, name = os.path.split(path)
    stem = os.path.splitext(name)[0].lower()
    for other in os.listdir(folder or '.'):
        if os.path.splitext(other)[0].lower() == stem and other.lower().endswith(ext):
            return os.path.join(folder, other)
    return None


def marked_encoding(path, header):
    cpg = companion(path, '.cpg')
    if cpg:
        label = open(cpg, 'rb').read().decode('ascii', 'replace').strip().lower()
        if label in CPG:
            return CPG[label]
    mark = header[29]
    if mark == 0x69:
        return 'mazovia'
    if mark and mark in codepages and codepages[mark][0] not in (None, 'ascii'):
        return codepages[mark][0]
    return None


def values(items):
    """A record as its values in field order: two fields may share a name."""
    return [v for _, v in items]


def unmarked_encoding(path):
    raw = MendedDBF(path, raw=True, load=False, ignore_missing_memofile=True,
                    encoding='latin-1', recfactory=values)
    text = [i for i, f in enumerate(raw.fields) if f.type in 'CV']
    for record in raw:
        for i in text:
            try:
                record[i].decode('utf-8')
            except UnicodeDecodeError:
                return 'cp1252'
    return 'utf-8'


class MendedParser(dbfread.FieldParser):
    """dbfread's parser, mended where the bytes prove it wrong (DIFFERENCES.md)."""

    def decode_text(self, text):
        # The README's rule: a text a UTF-8 table cannot hold is read as windows-1252.
        if self.encoding == 'utf-8':
            try:
                return text.decode('utf-8')
            except UnicodeDecodeError:
                return text.decode('cp1252', 'keepbyte')
        return super().decode_text(text)

    def parseN(self, field, data):
        # Writers pad a number with NUL bytes as well as blanks; a number written with
        # a decimal point and commas between its thousands is read without the commas
        # (dbfread takes every comma for a decimal comma).
        data = data.replace(b'\0', b' ')
        if b',' in data and b'.' in data:
            data = data.replace(b',', b'')
        return super().parseN(field, data)

    def parseF(self, field, data):
        return super().parseF(field, data.replace(b'\0', b' '))

    def parseD(self, field, data):
        # A date of NUL bytes is as blank as one of spaces.
        return super().parseD(field, data.replace(b'\0', b' '))

    def parseM(self, field, data):
        # A memo field flagged binary holds bytes no code page touches.
        if flags_of(field, self.table) & 4:
            memo = self.get_memo(self._parse_memo_index(data))
            return None if memo is None else bytes(memo)
        return super().parseM(field, data)

    # Visual FoxPro's varbinary: its bytes.
    def parseQ(self, field, data):
        return bytes(data)

    # Visual FoxPro's blob: a binary memo, as a general field is.
    def parseW(self, field, data):
        return self.parseG(field, data)


class MendedDB4MemoFile(dbfread.memo.DB4MemoFile):
    """A dBase IV memo block's length counts its own 8-byte header, and the memo file
    gives its block size at byte 20; dbfread reads 8 bytes past every memo and takes
    every block to be 512 bytes."""

    def __getitem__(self, index):
        if index <= 0:
            return None
        self._seek(20)
        block_size = struct.unpack('<H', self._read(2))[0] or 512
        self._seek(index * block_size)
        header = dbfread.memo.DB4MemoHeader.read(self.file)
        return self._read(max(header.length - 8, 0))


def mended_open_memofile(filename, dbversion):
    if not filename.lower().endswith('.fpt') and dbversion != 0x83:
        return MendedDB4MemoFile(filename)
    return original_open_memofile(filename, dbversion)


original_open_memofile = dbfread.dbf.open_memofile
dbfread.dbf.open_memofile = mended_open_memofile


class MendedDBF(dbfread.DBF):
    """A record whose deletion flag is a NUL is no deleted record (only '*' marks one);
    dbfread passes over it. A character field's decimal byte is the high byte of its
    length only where the header's record length says so; dbfread takes it so always."""

    def __init__(self, *args, **kwargs):
        kwargs.setdefault('parserclass', MendedParser)
        super().__init__(*args, **kwargs)

    def _read_field_headers(self, infile):
        super()._read_field_headers(infile)
        text = [f for f in self.fields if f.type == 'C']
        plain = 1 + sum(f.length if f.type != 'C' else f.length & 0xFF for f in self.fields)
        wide = 1 + sum(f.length for f in self.fields)
        if wide != self.header.recordlen and plain == self.header.recordlen:
            for f in text:
                f.decimal_count = f.length >> 8
                f.length &= 0xFF

    def _iter_records(self, record_type=b' '):
        with open(self.filename, 'rb') as infile, self._open_memofile() as memofile:
            infile.seek(self.header.headerlen, 0)
            if not self.raw:
                parse = self.parserclass(self, memofile).parse
            for _ in range(self.header.numrecords):
                sep = infile.read(1)
                if sep in (b'\x1a', b''):
                    break
                if (sep in (b' ', b'\0')) != (record_type == b' '):
                    self._skip_record(infile)
                    continue
                if self.raw:
                    items = [(f.name, infile.read(f.length)) for f in self.fields]
                else:
                    items = [(f.name, parse(f, infile.read(f.length))) for f in self.fields]
                yield self.recfactory(items)


def serial(value):
    origin = datetime.datetime(1899, 12, 30)
    if isinstance(value, datetime.datetime):
        delta = value - origin
    else:
        delta = datetime.datetime(value.year, value.month, value.day) - origin
    return repr(delta.days + delta.seconds / 86400 + delta.microseconds / 86400e6)


def exact(text):
    """Whether a number field's text is a number a double holds: whole numbers from 2**53
    on are not (two long keys would read as one)."""
    text = text.strip().strip(b'*').replace(b',', b'')
    if not text:
        return True
    try:
        v = float(text.decode('ascii'))
    except (ValueError, UnicodeDecodeError):
        return True
    return math.isfinite(v) and (math.floor(v) != v or abs(v) < 2 ** 53)


def flags_of(field, table):
    """Visual FoxPro's field flags, byte 18 of the descriptor (dbfread's reserved1); other
    versions keep no flags there."""
    return field.reserved1 & 0xFF if table.header.dbversion in (0x30, 0x31, 0x32) else 0


def field_forms(table, version):
    vfp = version in (0x30, 0x31, 0x32)
    raw = MendedDBF(table.filename, raw=True, load=False, ignore_missing_memofile=True,
                    encoding=table.encoding, recfactory=values)
    long_numbers = set()
    for record in raw:
        for i, f in enumerate(raw.fields):
            if f.type in 'NF' and not exact(record[i]):
                long_numbers.add(i)
    forms = []
    for i, f in enumerate(table.fields):
        t, length = f.type, f.length
        binary = bool(flags_of(f, table) & 4)
        if t == '0' or flags_of(f, table) & 1:
            forms.append(None)
        elif t == 'C':
            forms.append(('text', length) if length <= 255 else ('memo', 0))
        elif t in 'NF':
            forms.append(('text', min(max(length, 1), 255)) if i in long_numbers
                         else ('double', 8))
        elif t == 'O' or (t == 'B' and vfp):
            forms.append(('double', 8))
        elif t in 'I+':
            forms.append(('long', 4))
        elif t == 'Y':
            forms.append(('currency', 8))
        elif t in 'DT@':
            forms.append(('date', 8))
        elif t == 'L':
            forms.append(('boolean', 1))
        elif t == 'M':
            forms.append(('binary', 0) if binary else ('memo', 0))
        elif t == 'V':
            # A varchar flagged binary is text no code page translation touches.
            forms.append(('text', min(length, 255)))
        else:
            forms.append(('binary', 0))
    return forms


def cell(value, form):
    if value is None:
        return None
    kind = form[0]
    if kind == 'binary':
        return bytes(value).hex() or None
    if isinstance(value, bool):
        return 'true' if value else 'false'
    if isinstance(value, (datetime.date, datetime.datetime)):
        return serial(value)
    if isinstance(value, decimal.Decimal):
        return str(value)
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, int):
        return str(value)
    if isinstance(value, bytes):
        return value.hex()
    text = str(value)
    return text if text else None


def write(path, names, forms, rows):
    with open(path, 'w', newline='', encoding='utf-8') as out:
        w = csv.writer(out, quoting=csv.QUOTE_ALL, lineterminator='\r\n')
        w.writerow(names)
        w.writerow([f[0] for f in forms])
        w.writerow([str(f[1]) for f in forms])
        for row in rows:
            # QUOTE_ALL quotes an empty string too; a Null stays an unquoted empty cell.
            line = ','.join('' if v is None else '"' + v.replace('"', '""') + '"' for v in row)
            out.write(line + '\r\n')


def read_with_dbfread(path, encoding):
    # A table whose memo fields name no memo needs no memo file.
    table = MendedDBF(path, encoding=encoding, char_decode_errors='keepbyte', load=False,
                      parserclass=MendedParser, recfactory=values,
                      ignore_missing_memofile=not names_memos(path))
    version = open(path, 'rb').read(1)[0]
    forms = field_forms(table, version)
    shown = [i for i, form in enumerate(forms) if form]
    mend = null_flag_mend(table, path, encoding)
    rows = [[cell(value, forms[i]) for i, value in zip(shown, mend(record))]
            for record in table]
    return [table.fields[i].name for i in shown], [forms[i] for i in shown], rows


def names_memos(path):
    raw = MendedDBF(path, raw=True, load=False, ignore_missing_memofile=True,
                    encoding='latin-1', recfactory=values)
    version = open(path, 'rb').read(1)[0]
    memo = [i for i, f in enumerate(raw.fields)
            if f.type in 'MGPW' or (f.type == 'B' and version not in (0x30, 0x31, 0x32))]
    for record in raw:
        for i in memo:
            data = record[i]
            block = struct.unpack('<I', data)[0] if len(data) == 4 else \
                int(data.strip(b' \0') or b'0') if data.strip(b' \0').isdigit() else 0
            if block:
                return True
    return False


def null_flag_mend(table, path, encoding):
    """dbfread passes over Visual FoxPro's _NullFlags: a value its bit marks Null, and a
    varchar or varbinary whose bit says its last byte holds its length (the bytes after
    that length are padding). The bits are given in field order, a varying field's
    length bit before its null bit, system fields left out. Gives the values of the
    fields shown."""
    fields = table.fields
    shown = [i for i, f in enumerate(fields) if f.type != '0' and not flags_of(f, table) & 1]
    holder = next((i for i, f in enumerate(fields) if f.type == '0'), None)
    if holder is None:
        return lambda record: [record[i] for i in shown]
    bits = {}
    n = 0
    for i in shown:
        f = fields[i]
        if f.type in 'VQ':
            bits[(i, 'length')] = n
            n += 1
        if flags_of(f, table) & 2:
            bits[(i, 'null')] = n
            n += 1
    raw = iter(MendedDBF(path, raw=True, load=False, ignore_missing_memofile=True,
                         encoding=encoding, recfactory=values))

    def mended(record):
        bytes_of = next(raw)
        flags = bytes_of[holder]
        on = lambda key: key in bits and flags[bits[key] // 8] >> (bits[key] % 8) & 1
        out = []
        for i in shown:
            value = record[i]
            if on((i, 'null')):
                value = None
            elif on((i, 'length')):
                data = bytes_of[i][:bytes_of[i][-1]]
                value = bytes(data) if fields[i].type == 'Q' else \
                    MendedParser(table, None).decode_text(data.rstrip(b'\0 '))
            out.append(value)
        return out
    return mended


def read_with_dbf(path, encoding):
    import dbf
    table = dbf.Table(path, codepage=None)
    table.open()
    try:
        names = list(table.field_names)
        shown_names = MendedDBF(path, load=False, encoding=encoding).field_names
        forms = []
        for name in names:
            info = table.field_info(name)
            t = chr(info.field_type) if isinstance(info.field_type, int) else str(info.field_type)
            forms.append({'C': ('text', info.length), 'N': ('double', 8), 'F': ('double', 8),
                          'D': ('date', 8), 'L': ('boolean', 1), 'M': ('memo', 0),
                          'I': ('long', 4), 'Y': ('currency', 8), 'T': ('date', 8),
                          'B': ('double', 8)}.get(t, ('text', info.length)))
        rows = []
        for record in table:
            if dbf.is_deleted(record):
                continue
            row = []
            for name, form in zip(names, forms):
                v = record[name]
                if isinstance(v, str):
                    v = v.rstrip()
                row.append(cell(v if v != '' else None, form))
            rows.append(row)
        return shown_names, forms, rows
    finally:
        table.close()


def main(corpus):
    os.makedirs(os.path.join(HERE, 'expected'), exist_ok=True)
    unread = []
    for name in sorted(os.listdir(corpus)):
        if not name.lower().endswith('.dbf'):
            continue
        path = os.path.join(corpus, name)
        if name in DAMAGED:
            unread.append(f'{name}\tdamaged: {DAMAGED[name]}')
            continue
        header = open(path, 'rb').read(32)
        try:
            encoding = (marked_encoding(path, header) if len(header) == 32 else None) \
                or unmarked_encoding(path)
        except Exception:  # the references' own refusal is recorded below
            encoding = 'cp1252'
        why = []
        result = None
        for reader in (read_with_dbfread, read_with_dbf):
            try:
                result = reader(path, encoding)
                break
            except Exception as e:
                why.append(f'{reader.__name__}: {type(e).__name__}: {e}'.replace('\n', ' '))
        if result is None:
            unread.append(f'{name}\t' + ' | '.join(why))
            continue
        write(os.path.join(HERE, 'expected', name + '.csv'), *result)
    with open(os.path.join(HERE, 'unread.txt'), 'w', encoding='utf-8') as out:
        out.write(''.join(line + '\n' for line in unread))


if __name__ == '__main__':
    main(sys.argv[1])
