"""Prints what openpyxl finds in an .xlsx workbook, one line per fact, for tests to look for:
  sheet NAME freeze=CELL filter=RANGE
  width NAME COLUMN WIDTH
  cell NAME!REF TYPE VALUE | format=NUMBER-FORMAT bold italic color=RRGGBB fill=RRGGBB size=N align=A link=LOCATION
Values: numbers as Python prints them, dates as ISO text, texts with \\n for line breaks.

Usage: dump_xlsx.py FILE.xlsx
"""
import datetime
import sys

import openpyxl


def colour(value):
    return value.rgb[-6:] if value is not None and isinstance(value.rgb, str) else None


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    for sheet in book.worksheets:
        print("sheet %s freeze=%s filter=%s" % (sheet.title, sheet.freeze_panes, sheet.auto_filter.ref))
        for column, dimension in sorted(sheet.column_dimensions.items()):
            if dimension.width:
                print("width %s %s %.1f" % (sheet.title, column, dimension.width))
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None and not cell.has_style:
                    continue
                value = cell.value
                if isinstance(value, datetime.datetime):
                    value = value.isoformat(sep=" ")
                text = "" if value is None else str(value).replace("\n", "\\n")
                facts = ["format=" + cell.number_format]
                if cell.font.b:
                    facts.append("bold")
                if cell.font.i:
                    facts.append("italic")
                if colour(cell.font.color) not in (None, "000000"):
                    facts.append("color=" + colour(cell.font.color))
                if cell.fill.fill_type == "solid":
                    facts.append("fill=" + colour(cell.fill.fgColor))
                if cell.font.sz and float(cell.font.sz) != 11:
                    facts.append("size=%g" % float(cell.font.sz))
                if cell.alignment.horizontal:
                    facts.append("align=" + cell.alignment.horizontal)
                if cell.hyperlink is not None:
                    facts.append("link=" + str(cell.hyperlink.location))
                print("cell %s!%s %s %s | %s" % (sheet.title, cell.coordinate, cell.data_type, text, " ".join(facts)))
    for name in book.defined_names.definedName:
        print("name %s %s" % (name.name, name.attr_text))


main()
