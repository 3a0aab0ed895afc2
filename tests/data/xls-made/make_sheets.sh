#!/bin/sh
# Workbooks for where a sheet's table begins, written by gnumeric's ssconvert (BIFF8)
# from CSV text; their expected tables come from ../lotus-public/make_expected.py:
#   sh make_sheets.sh && /usr/bin/python3 ../lotus-public/make_expected.py expected *.xls
# header_at_c3.xls: an error value and a text of spaces in the rows above, the table
# from C3 with a blank column inside it, a text of spaces, an empty formula text and an
# error value among the numbers, and a row of nothing between the records.
set -e
tmp=$(mktemp -d)
printf '#DIV/0!,,,,,\n,"   ",,,,\n,,Name,Qty,,Note\n,,a,1,,\n,,b,"  ",,x\n\n,,c,3,,\n,,d,"=""""",,\n,,e,#N/A,,y\n' >"$tmp/header_at_c3.csv"
ssconvert -T Gnumeric_Excel:excel_biff8 "$tmp/header_at_c3.csv" header_at_c3.xls
rm -r "$tmp"
