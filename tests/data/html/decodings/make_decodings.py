#!/usr/bin/env python3
"""Writes the pages of encodings.txt's rows and, from headless Chromium's reading of
them, encodings.txt: for each encoding and row, the FNV-1a 64 digest of the text
Chromium shows in the row's cell (UTF-8) and its length in characters.

A row is a prefix of bytes and a set of suffixes: its cell holds, for every suffix,
prefix + suffix + ";" (a ';' is no byte of any character here, so a broken sequence
cannot reach into the next). Single-byte encodings have one row, every byte from 0x80;
double-byte ones a row for each lead byte 0x80-0xFF with every second byte 0x30-0xFF
but '<'; EUC-JP also the three-byte codes after 0x8F; GB18030 and GBK also four-byte
codes in the ranges that hold characters and next to them. Big5's four codes that stand
for two code points (0x88 0x62, 0x64, 0xA3, 0xA5) are left out: Chromium 156 stops on
them (SIGILL). tests/drivers/
decodings_test.cpp makes the same rows and compares its decoding with these digests.

    python3 make_decodings.py pages-folder > encodings.txt
"""
import html
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from xml.etree import ElementTree

import html5lib

SINGLE = [
    "ibm866", "iso-8859-2", "iso-8859-3", "iso-8859-4", "iso-8859-5", "iso-8859-6",
    "iso-8859-7", "iso-8859-8", "iso-8859-10", "iso-8859-13", "iso-8859-14",
    "iso-8859-15", "iso-8859-16", "koi8-r", "koi8-u", "macintosh", "windows-874",
    "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
    "windows-1255", "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic",
]
DOUBLE = ["big5", "euc-jp", "euc-kr", "gb18030", "gbk", "shift_jis"]
SECONDS = [bytes([b]) for b in range(0x30, 0x100) if b != 0x3C]
BIG5_PAIRS = [b"\x62", b"\x64", b"\xA3", b"\xA5"]
FOUR_BYTE_FIRSTS = [0x81, 0x82, 0x83, 0x84, 0x85, 0x8F, 0x90, 0x91, 0xE3, 0xE4, 0xFE]
FOUR_BYTE_TAILS = [bytes([t, f]) for t in range(0x81, 0xFF) for f in range(0x30, 0x3A)]


def rows(encoding):
    """(label, prefix, suffixes) of each row of an encoding."""
    if encoding in SINGLE:
        return [("single", b"", [bytes([b]) for b in range(0x80, 0x100)])]
    out = [("%02X" % lead, bytes([lead]), SECONDS) for lead in range(0x80, 0x100)]
    if encoding == "big5":
        out[0x08] = ("88", b"\x88", [s for s in SECONDS if s not in BIG5_PAIRS])
    if encoding == "euc-jp":
        # Chromium 156 keeps the JIS X 0212 shift of "0x8F lead ASCII" for the next
        # pair (the standard drops it): its row goes last, before the three-byte ones.
        out.append(out.pop(0x0F))
        out += [("8F%02X" % s, bytes([0x8F, s]), SECONDS) for s in range(0xA1, 0xFF)]
    if encoding in ("gb18030", "gbk"):
        out += [("%02X%02X" % (f, s), bytes([f, s]), FOUR_BYTE_TAILS)
                for f in FOUR_BYTE_FIRSTS for s in range(0x30, 0x3A)]
    return out


def page(encoding):
    out = [b"<!DOCTYPE html><html><head><meta charset=" + encoding.encode() + b">",
           b"</head><body><table><tr><th>k<th>v"]
    for label, prefix, suffixes in rows(encoding):
        cell = b"".join(prefix + s + b";" for s in suffixes)
        out.append(b"<tr><td>" + label.encode() + b"<td>" + cell)
    out.append(b"</table></body></html>\n")
    return b"\n".join(out)


def fnv64(data):
    h = 0xCBF29CE484222325
    for b in data:
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def chromium_cells(path):
    """The texts of each row's cells as Chromium shows them."""
    with tempfile.TemporaryDirectory() as profile:
        dom = subprocess.run(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
             "--dump-dom", "file://" + os.path.abspath(path)],
            capture_output=True, timeout=300, check=True).stdout
    tree = html5lib.parse(dom, treebuilder="etree", namespaceHTMLElements=False,
                          transport_encoding="utf-8")
    cells = {}
    for tr in tree.iter("tr"):
        tds = [td for td in tr if td.tag == "td"]
        if len(tds) == 2:
            cells["".join(tds[0].itertext())] = "".join(tds[1].itertext())
    return cells


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    encodings = SINGLE + DOUBLE
    paths = []
    for encoding in encodings:
        path = os.path.join(folder, encoding + ".html")
        with open(path, "wb") as f:
            f.write(page(encoding))
        paths.append(path)
    with ThreadPoolExecutor(3) as pool:
        read = list(pool.map(chromium_cells, paths))
    print("# encoding row digest characters: Chromium " + subprocess.run(
        ["chromium", "--version"], capture_output=True, text=True).stdout.split()[1])
    for encoding, cells in zip(encodings, read):
        for label, _, _ in rows(encoding):
            text = cells[label].removesuffix("\n")  # the line end before the next row
            print(encoding, label, "%016x" % fnv64(text.encode("utf-8", "surrogatepass")),
                  len(text))


if __name__ == "__main__":
    main()
