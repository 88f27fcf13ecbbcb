#!/usr/bin/python3
# Independent reader of .xls workbooks for the tests (python3-xlrd): prints
# every sheet as JSON with each cell's kind, value, number format and font.
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_EMPTY: "empty",
         xlrd.XL_CELL_BLANK: "blank"}
out = []
for sheet in book.sheets():
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            cells.append({"row": r, "col": c, "kind": kinds.get(cell.ctype, str(cell.ctype)), "value": cell.value,
                          "format": book.format_map[xf.format_key].format_str, "font": font.name,
                          "bold": bool(font.bold)})
    out.append({"name": sheet.name, "rows": sheet.nrows, "cells": cells})
json.dump(out, sys.stdout, ensure_ascii=False)
