# Mends of xlrd's reading, keyed by (workbook, sheet number from 1, row, column), each
# proven by the workbook's bytes in DIFFERENCES.md.
MENDS = {}
