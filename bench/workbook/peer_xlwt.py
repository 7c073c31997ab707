# Peer for run_write.sh: python3-xlwt writes TSV lines on stdin as text cells of one sheet.
import sys

import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
for r, line in enumerate(sys.stdin.buffer):
    for c, field in enumerate(line.decode("utf-8").rstrip("\r\n").split("\t")):
        sheet.write(r, c, field)
book.save(sys.argv[1])
