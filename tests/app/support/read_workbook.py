"""Reads a workbook back with openpyxl and prints what the tests check as
JSON: each written or styled cell of the first sheet (value, type, bold,
font colour, horizontal alignment), each column's width and alignment, and
the number of sheets.

Usage: read_workbook.py FILE
"""
import json
import sys

import openpyxl


def font_colour(font):
    colour = font.color
    if colour is None or colour.type != "rgb":
        return None
    return colour.rgb


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheet = book.worksheets[0]
    cells = {}
    for row in sheet.iter_rows():
        for cell in row:
            styled = cell.font.b or font_colour(cell.font) or cell.alignment.horizontal
            if cell.value is None and not styled:
                continue
            cells[cell.coordinate] = {
                "value": cell.value,
                "type": cell.data_type,
                "bold": bool(cell.font.b),
                "colour": font_colour(cell.font),
                "align": cell.alignment.horizontal,
            }
    columns = {}
    for letter, dimension in sheet.column_dimensions.items():
        columns[letter] = {"width": dimension.width, "align": dimension.alignment.horizontal}
    json.dump({"sheets": len(book.worksheets), "cells": cells, "columns": columns,
               "maxRow": sheet.max_row, "maxColumn": sheet.max_column}, sys.stdout)


if __name__ == "__main__":
    main()
