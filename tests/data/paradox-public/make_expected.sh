#!/bin/sh
# Writes expected/<table>.csv for every table here, once, from pxlib (px_expected.c),
# each table with the blob file of its name (.MB or .mb) where there is one. A table
# pxlib cannot read gets no expected table; DIFFERENCES.md says why for each. pxlib reads
# the tables protected by a password without one; Varnoke refuses them, so they get none.
set -e
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O1 -Wall -Wextra "$here/px_expected.c" -o "$work/px_expected" -lpx
mkdir -p "$here/expected"
cd "$here"
for table in *.DB *.db; do
    stem=${table%.*}
    blobs=
    for b in "$stem.MB" "$stem.mb"; do [ -f "$b" ] && blobs=$b; done
    # Its header gives no code page; its sort order, BLROM800, is HP Roman-8's.
    case $table in *_ROMAN8.db) export PX_CODE_PAGE=HP-ROMAN8 ;; *) unset PX_CODE_PAGE ;; esac
    if "$work/px_expected" "$table" $blobs > "$work/out.csv" 2> "$work/err.txt"; then
        grep "blank by the bytes" "$work/err.txt" | sed "s/^/$table: /" || true
        case $table in
        *_encrypt_*) ;;
        *) mv "$work/out.csv" "expected/$table.csv" ;;
        esac
    else
        echo "$table: pxlib cannot read it: $(tail -n 1 "$work/err.txt")"
    fi
done
