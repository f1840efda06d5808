"""Compares the values two .xlsx files hold, as openpyxl reads them: the same sheets in the same order, and in
each the same cells with equal values of the same kind (numbers within rounding of the last digit, dates and
times to the millisecond, texts exactly). Used to see that LibreOffice, having opened and saved a workbook,
read every value as openpyxl does. openpyxl 3.0 leaves the format's _xHHHH_ escapes as written, where
LibreOffice and Excel decode them: A's texts are decoded here whole; in B, as LibreOffice saved it, only the
escapes of characters XML cannot carry, since LibreOffice writes other text, "_x0041_" included, as it is.
LibreOffice keeps a carriage return before a line feed as the line break alone, so texts compare with "\r\n"
as "\n". Prints the differences; exit status 1 when there are any.

Usage: same_values_xlsx.py A.xlsx B.xlsx
"""
import datetime
import re
import sys

import openpyxl


def same(a, b):
    if isinstance(a, bool) or isinstance(b, bool):
        return a == b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return abs(a - b) <= 1e-14 * max(1.0, abs(a))
    if isinstance(a, datetime.datetime) and isinstance(b, datetime.datetime):
        return abs((a - b).total_seconds()) < 0.0005
    if isinstance(a, str) and isinstance(b, str):
        return a.replace("\r\n", "\n") == b.replace("\r\n", "\n")
    return type(a) is type(b) and a == b


def decoded(value, only_unwritable):
    if not isinstance(value, str):
        return value

    def character(match):
        code = int(match.group(1), 16)
        unwritable = (code < 0x20 and code not in (9, 10, 13)) or code in (0xFFFE, 0xFFFF)
        return chr(code) if unwritable or not only_unwritable else match.group(0)

    return re.sub(r"_x([0-9A-Fa-f]{4})_", character, value)


def values(sheet, only_unwritable):
    rows = [[decoded(cell.value, only_unwritable) for cell in row] for row in sheet.iter_rows()]
    for row in rows:
        while row and row[-1] is None:
            row.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def main():
    first, second = (openpyxl.load_workbook(name) for name in sys.argv[1:3])
    problems = []
    if first.sheetnames != second.sheetnames:
        problems.append("sheets %r and %r" % (first.sheetnames, second.sheetnames))
    for a, b in zip(first.worksheets, second.worksheets):
        rows_a, rows_b = values(a, False), values(b, True)
        if len(rows_a) != len(rows_b):
            problems.append("%s: %d rows and %d rows" % (a.title, len(rows_a), len(rows_b)))
        for number, (row_a, row_b) in enumerate(zip(rows_a, rows_b), start=1):
            if len(row_a) != len(row_b) or not all(same(x, y) for x, y in zip(row_a, row_b)):
                problems.append("%s row %d: %r and %r" % (a.title, number, row_a, row_b))
    print("\n".join(problems[:40]))
    return 1 if problems else 0


sys.exit(main())
