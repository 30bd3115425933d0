# Writes the rows of a CSV file (first line the header) into an .xls with xlwt, numbers as numbers.
import csv
import sys

import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    for r, row in enumerate(csv.reader(f)):
        for c, value in enumerate(row):
            if value == "":
                continue
            if r > 0 and c not in (1, 2, 7):
                sheet.write(r, c, float(value))
            else:
                sheet.write(r, c, value)
book.save(sys.argv[2])
