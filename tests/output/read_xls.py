# Reads an .xls with xlrd and prints its sheets as JSON; any WARNING in xlrd's log fails.
import io
import json
import sys

import xlrd

log = io.StringIO()
book = xlrd.open_workbook(sys.argv[1], logfile=log, verbosity=1, formatting_info=True)
text = log.getvalue()
if "WARNING" in text:
    sys.stderr.write(text)
    sys.exit(2)
kinds = {xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
         xlrd.XL_CELL_BLANK: "blank"}
sheets = []
for sh in book.sheets():
    rows = []
    for r in range(sh.nrows):
        row = []
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            row.append([kinds.get(cell.ctype, str(cell.ctype)), cell.value, cell.xf_index])
        rows.append(row)
    sheets.append({"name": sh.name, "rows": rows, "merged": [list(m) for m in sh.merged_cells]})
json.dump({"user": book.user_name, "sheets": sheets}, sys.stdout, ensure_ascii=False)
