/* Writes a Paradox table's expected table once, as pxlib 0.6 (Debian pxlib-dev) reads it:
 *
 *   cc px_expected.c -o px_expected -lpx && ./px_expected TABLE.DB [BLOBS.MB] > out.csv
 *
 * Lines: the field names, pxlib's type of each field (alpha, date, short, long, money,
 * number, logical, memo, blob, fmtmemo, ole, graphic, time, timestamp, autoinc, bcd,
 * bytes), the width the header gives it, then one line a record of the header's count.
 * Every value is quoted and a Null is the one empty, unquoted cell. Numbers are in their
 * shortest round-trip form, BCD numbers as pxlib's text; a date, time or timestamp is a
 * day serial counted from 30 December 1899 (by pxlib's own day numbering); a logical is
 * true or false; names, texts and memos are UTF-8, recoded with iconv from the code page
 * pxlib finds in the header (CP437 where it finds none); blobs, OLE, graphics and bytes are
 * lowercase hex. A field pxlib cannot read makes the program stop with status 2.
 */
#include <errno.h>
#include <iconv.h>
#include <paradox.h>
#include <stdio.h>
#include <sys/types.h>
#include <stdlib.h>
#include <string.h>

static const char *type_name(int t) {
    switch (t) {
    case pxfAlpha: return "alpha";
    case pxfDate: return "date";
    case pxfShort: return "short";
    case pxfLong: return "long";
    case pxfCurrency: return "money";
    case pxfNumber: return "number";
    case pxfLogical: return "logical";
    case pxfMemoBLOb: return "memo";
    case pxfBLOb: return "blob";
    case pxfFmtMemoBLOb: return "fmtmemo";
    case pxfOLE: return "ole";
    case pxfGraphic: return "graphic";
    case pxfTime: return "time";
    case pxfTimestamp: return "timestamp";
    case pxfAutoInc: return "autoinc";
    case pxfBCD: return "bcd";
    case pxfBytes: return "bytes";
    }
    return "unknown";
}

static void quoted(const char *s, size_t n) {
    putchar('"');
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == '"') putchar('"');
        putchar(s[i]);
    }
    putchar('"');
}

static void number(double d) {
    char text[64];
    if (d == (double)(long long)d && d > -9007199254740992.0 && d < 9007199254740992.0) {
        snprintf(text, sizeof text, "%lld", (long long)d);
        quoted(text, strlen(text));
        return;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        snprintf(text, sizeof text, "%.*g", precision, d);
        if (strtod(text, NULL) == d) break;
    }
    quoted(text, strlen(text));
}

static void hex(const char *s, size_t n) {
    putchar('"');
    for (size_t i = 0; i < n; ++i) printf("%02x", (unsigned char)s[i]);
    putchar('"');
}

static const char *code_page = "CP437";

static void utf8(const char *s, size_t n) {
    iconv_t cd = iconv_open("UTF-8", code_page);
    if (cd == (iconv_t)-1) { fprintf(stderr, "iconv cannot read %s\n", code_page); exit(2); }
    size_t room = n * 4 + 4, left = room;
    char *out = malloc(room), *at = out;
    char *in = (char *)s;
    size_t inleft = n;
    if (iconv(cd, &in, &inleft, &at, &left) == (size_t)-1) {
        fprintf(stderr, "a text is not %s\n", code_page);
        exit(2);
    }
    iconv_close(cd);
    quoted(out, (size_t)(at - out));
    free(out);
}

/* pxlib numbers days from 1 January 4713 BC as other Julian day counts do, after adding
 * the offset of its own day 1. */
static double serial_of_day(long day) { return (double)(day + 1721425L) - 2415019.0; }

/* pxlib 0.6.8 overruns its stack reading a blob file's header (get_mb_head, under
 * PX_set_blob_file), though reading a blob needs nothing of that header; the blob file
 * is opened here the way PX_open_blob_fp opens it, less that header. */
pxstream_t *px_stream_new_file(pxdoc_t *, int, int, FILE *);
ssize_t px_mb_read(pxblob_t *, pxstream_t *, size_t, void *);
int px_mb_seek(pxblob_t *, pxstream_t *, long, int);
long px_mb_tell(pxblob_t *, pxstream_t *);

static int open_blobs(pxdoc_t *doc, const char *path) {
    FILE *fp = fopen(path, "rb");
    pxblob_t *blob = fp ? PX_new_blob(doc) : NULL;
    if (!blob) return -1;
    blob->mb_name = strdup(path);
    blob->mb_stream = px_stream_new_file(doc, pxfFileRead, 1, fp);
    blob->read = (size_t (*)(pxblob_t *, pxstream_t *, size_t, void *))px_mb_read;
    blob->seek = px_mb_seek;
    blob->tell = px_mb_tell;
    blob->mb_head = calloc(1, sizeof(mbhead_t));
    return blob->mb_stream ? 0 : -1;
}

/* Where pxlib is wrong by the bytes (DIFFERENCES.md), the bytes decide, and each such
 * value is counted on stderr. pxlib 0.6.8 as built for 64 bits reads a blank long,
 * date or time (four zero bytes) as -2147483648: its test for a blank value compares a
 * long over its own 4-byte copy. It reads a blank BCD number (its sign bit clear over
 * digits that are not inverted) as a negative number of digits '?'. */
static int blank_longs, blank_bcds;

static int all_zero(const char *data, int len) {
    for (int i = 0; i < len; ++i)
        if (data[i]) return 0;
    return 1;
}

static void errors(pxdoc_t *p, int type, const char *msg, void *data) {
    (void)p; (void)data;
    fprintf(stderr, "pxlib (%d): %s\n", type, msg);
}

int main(int argc, char **argv) {
    if (argc < 2) { fprintf(stderr, "usage: px_expected TABLE [BLOBS]\n"); return 1; }
    PX_boot();
    pxdoc_t *doc = PX_new2(errors, NULL, NULL, NULL);
    if (PX_open_file(doc, argv[1]) < 0) return 2;
    static char page[32];
    snprintf(page, sizeof page, "CP%d", doc->px_head->px_doscodepage);
    if (doc->px_head->px_doscodepage > 0) code_page = page;
    /* pxlib finds no code page in some tables whose bytes name one otherwise; the
     * script gives it then (DIFFERENCES.md). */
    if (getenv("PX_CODE_PAGE")) code_page = getenv("PX_CODE_PAGE");
    if (argc > 2 && open_blobs(doc, argv[2]) < 0) return 2;
    const int fields = PX_get_num_fields(doc);
    pxfield_t *f = PX_get_fields(doc);
    for (int i = 0; i < fields; ++i) {
        if (i) putchar(',');
        utf8(f[i].px_fname, strlen(f[i].px_fname));
    }
    printf("\r\n");
    for (int i = 0; i < fields; ++i) {
        if (i) putchar(',');
        quoted(type_name(f[i].px_ftype), strlen(type_name(f[i].px_ftype)));
    }
    printf("\r\n");
    for (int i = 0; i < fields; ++i) {
        char w[16];
        if (i) putchar(',');
        snprintf(w, sizeof w, "%d", f[i].px_flen);
        quoted(w, strlen(w));
    }
    printf("\r\n");
    char *record = malloc((size_t)PX_get_recordsize(doc));
    const int records = PX_get_num_records(doc);
    for (int r = 0; r < records; ++r) {
        if (!PX_get_record(doc, r, record)) { fprintf(stderr, "record %d unread\n", r); return 2; }
        int at = 0;
        for (int i = 0; i < fields; ++i) {
            char *data = record + at;
            const int len = f[i].px_flen;
            at += len;
            if (i) putchar(',');
            char *text = NULL;
            long l = 0;
            short s = 0;
            double d = 0;
            char b = 0;
            int mod = 0, size = 0, got = 0;
            switch (f[i].px_ftype) {
            case pxfAlpha:
                if ((got = PX_get_data_alpha(doc, data, len, &text)) > 0) utf8(text, strlen(text));
                break;
            case pxfDate:
                if (all_zero(data, len)) { ++blank_longs; break; }
                if ((got = PX_get_data_long(doc, data, len, &l)) > 0) number(serial_of_day(l));
                break;
            case pxfTime:
                if (all_zero(data, len)) { ++blank_longs; break; }
                if ((got = PX_get_data_long(doc, data, len, &l)) > 0) number(l / 86400000.0);
                break;
            case pxfTimestamp:
                if ((got = PX_get_data_double(doc, data, len, &d)) > 0)
                    number(serial_of_day(0) + d / 86400000.0);
                break;
            case pxfShort:
                if ((got = PX_get_data_short(doc, data, len, &s)) > 0) number(s);
                break;
            case pxfLong:
            case pxfAutoInc:
                if (all_zero(data, len)) { ++blank_longs; break; }
                if ((got = PX_get_data_long(doc, data, len, &l)) > 0) number((double)l);
                break;
            case pxfCurrency:
            case pxfNumber:
                if ((got = PX_get_data_double(doc, data, len, &d)) > 0) number(d);
                break;
            case pxfLogical:
                if ((got = PX_get_data_byte(doc, data, len, &b)) > 0)
                    quoted(b ? "true" : "false", b ? 4 : 5);
                break;
            case pxfBCD:
                if (!(data[0] & 0x80) && all_zero(data + 1, len - 1)) { ++blank_bcds; break; }
                if ((got = PX_get_data_bcd(doc, (unsigned char *)data, f[i].px_fdc, &text)) > 0)
                    quoted(text, strlen(text));
                break;
            case pxfBytes:
                if ((got = PX_get_data_bytes(doc, data, len, &text)) > 0) hex(text, (size_t)len);
                break;
            case pxfGraphic:
                if ((got = PX_get_data_graphic(doc, data, len, &mod, &size, &text)) > 0 && text)
                    hex(text, (size_t)size);
                break;
            default:
                if ((got = PX_get_data_blob(doc, data, len, &mod, &size, &text)) > 0 && text) {
                    if (f[i].px_ftype == pxfMemoBLOb)
                        utf8(text, (size_t)size);
                    else
                        hex(text, (size_t)size);
                }
            }
            if (got < 0) { fprintf(stderr, "record %d, field %d unread\n", r, i); return 2; }
            if (text) doc->free(doc, text);
        }
        printf("\r\n");
    }
    free(record);
    if (blank_longs || blank_bcds)
        fprintf(stderr, "blank by the bytes: %d long, date or time values, %d BCD values\n",
                blank_longs, blank_bcds);
    PX_close(doc);
    PX_delete(doc);
    PX_shutdown();
    return 0;
}
