# Writes the lines of differences.csv for a calculated text column, whose stored value
# mdb-reader decodes wrapper and all as UCS-2: the wrapper's bytes are rebuilt from that
# reading, checked to stand in the database, and unwrapped (16 bytes, a 4-byte length, data).
#   python3 calculated_text_differences.py <stem> <table> <field> <database> <expected csv>
import csv,sys,io
def q(s): return '"'+s.replace('"','""')+'"'
def decode(d):
    if d[:2]==b'\xff\xfe':
        out=[];i=2;comp=True
        while i<len(d):
            if d[i]==0: comp=not comp;i+=1;continue
            if comp: out.append(chr(d[i]));i+=1
            else: out.append(d[i:i+2].decode('utf-16le'));i+=2
        return ''.join(out)
    return d.decode('utf-16le')
file,table,field,db,csvpath=sys.argv[1:6]
image=open(db,'rb').read()
rows=list(csv.reader(open(csvpath,newline='',encoding='utf-8')))
col=rows[0].index(field)
for r,row in enumerate(rows[3:]):
    ref=row[col]
    raw=ref.encode('utf-16le')
    n=int.from_bytes(raw[16:20],'little')
    wrapper=raw[:20+n]
    assert raw[:16]==b'\0'*16 and wrapper in image, (r,ref)
    right=decode(wrapper[20:])
    print(','.join([q(file),q(table),q(str(r)),q(field),q(ref),q(right),q("a calculated text: the reference reads the stored value's wrapper (16 bytes, a 4-byte length %d, the data) as text; the value is the data" % n)]),end='\r\n')
