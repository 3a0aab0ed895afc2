#!/bin/sh
# Seeds for every target from the test files, in the form each target reads:
#   tests/fuzz/make_seeds.sh seeds      (writes seeds/<target>/...)
# Tables with a memo or blob file beside them become one input each: a 4-byte
# little-endian length, the table, the companion file (see split_input.h).
set -e
out=${1:-seeds}
data=$(dirname "$0")/../data
mkdir -p "$out/dbf" "$out/paradox" "$out/excel" "$out/csv" "$out/html" "$out/lotus" "$out/jet"
joined() { # table companion output
    python3 -c 'import struct,sys; t=open(sys.argv[1],"rb").read(); c=open(sys.argv[2],"rb").read(); open(sys.argv[3],"wb").write(struct.pack("<I",len(t))+t+c)' "$1" "$2" "$3"
}
for f in "$data"/dbf/*.dbf "$data"/dbf/*.dbc; do
    base=${f%.*}
    memo=""
    for ext in fpt dbt dct; do [ -f "$base.$ext" ] && memo="$base.$ext"; done
    if [ -n "$memo" ]; then joined "$f" "$memo" "$out/dbf/$(basename "$f")"; else cp "$f" "$out/dbf/"; fi
done
for f in "$data"/paradox/*.db "$data"/paradox/*.DB; do
    base=${f%.*}
    if [ -f "$base.mb" ]; then joined "$f" "$base.mb" "$out/paradox/$(basename "$f")"; else cp "$f" "$out/paradox/"; fi
done
# The public tables of 32 KB or less, with their blob files where those are as small.
for f in "$data"/paradox-public/*.db "$data"/paradox-public/*.DB; do
    [ "$(wc -c <"$f")" -le 32768 ] || continue
    base=${f%.*}
    blobs=$(ls "$base.mb" "$base.MB" 2>/dev/null | head -n 1)
    if [ -n "$blobs" ] && [ "$(wc -c <"$blobs")" -le 16384 ]; then
        joined "$f" "$blobs" "$out/paradox/$(basename "$f")"
    else
        cp "$f" "$out/paradox/"
    fi
done
cp "$data"/xls/*.xls "$out/excel/"
# Workbooks under Excel's built-in password (RC4, XOR) and under a user's.
cp "$data"/xls-encrypted/*.xls "$out/excel/"
cp "$data"/csv/*.csv "$out/csv/"
cp "$data"/html/*.html "$out/html/"
# Row groups and their spans, a first footer, nested tables, preformatted text, a
# template and charsets declared in and outside comments.
printf '%s' '<table><thead><tr><th>A<th colspan=2>B</thead><tfoot><tr><td>t<td rowspan=0>u</tfoot><tbody><tr><td rowspan=0>1<td>x<pre>
 a  b</pre><tr><td><br>2<br><td><table><caption>c</caption><tr><td>n<td>m<tr><td>o</table><select><option>p<option>q</select></tbody><tr><td>3<template><td>t</template></table>' >"$out/html/groups.html"
printf '<!-- <meta charset=koi8-r> --><meta http-equiv=content-type content="text/html; charset=ks_c_5601-1987"><table><tr><th>\xc7\xd1<tr><td>\xb1\xb9</table>' >"$out/html/charset.html"
printf '<meta charset=iso-2022-jp><table><tr><th>\033$BF|\033(B<tr><td>~{VP~}</table>' >"$out/html/shifted.html"
# A first thead after the body, and a charset declared past the first kilobyte.
{ printf '<title>%1100s</title><table><tbody><tr><td rowspan=2>a<td>b</tbody><thead><tr><th>h<th>i</thead>' ''
  printf '<tfoot><tr><td>f</tfoot></table><meta charset=windows-1251><p>\xef\xf0\xe8'; } >"$out/html/late.html"
# Each multi-byte decoder, broken sequences before ASCII bytes among them, and late
# metas in a head noscript, after a template and in the body.
for e in big5 euc-jp shift_jis euc-kr gb18030; do
  printf '<meta charset=%s><table><tr><th>\xb0\xa1\x8f\xa1\xa1<tr><td>\x81\x30\x81\x30\x88\x62\xa1<\x8e;\xfe\xff\x81</table>' "$e" >"$out/html/decode-$e.html"
done
{ printf '<head><title>%1100s</title><noscript><meta charset=koi8-r></noscript><template>t</template>' ''
  printf '<meta charset=gbk></head><body><table><tr><th>\xef<tr><td>\xf0</table><meta charset=big5>'; } >"$out/html/late-places.html"
cp "$data"/lotus/*.wk* "$data"/lotus/*.WK* "$out/lotus/"
# A Release 2 sheet with cells past row 32,767, which is read in two parts.
python3 -c '
import struct, sys
def rec(t, d): return struct.pack("<HH", t, len(d)) + d
def cell(t, c, r, d): return rec(t, struct.pack("<BHH", 0xFF, c, r) + d)
out = rec(0, struct.pack("<H", 0x406)) + rec(6, struct.pack("<4H", 0, 0, 1, 40001))
for r in (0, 1, 32767, 32768, 40000):
    out += cell(0x0F, 0, r, b"\x27row%d\0" % r) + cell(0x0E, 1, r, struct.pack("<d", r / 2))
code = b"\x00" + struct.pack("<d", 3) + b"\x03"
out += cell(0x10, 2, 40001, struct.pack("<dH", 3, len(code)) + code) + cell(0x0D, 0, 40001, struct.pack("<h", 7))
open(sys.argv[1], "wb").write(out + rec(1, b""))' "$out/lotus/rows_past_32767.wk1"
cp "$data"/mdb/*.mdb "$out/jet/"
