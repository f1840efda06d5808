"""Compares every result set of a query with the worksheets of an .xlsx report, as openpyxl reads them: one
worksheet per statement in order (after the first sheet when FIRST is given), its first row the column names, then
every row of the database in order. Numbers must be equal numbers, dates equal dates, texts equal texts; NULL is an
empty cell. Prints the differences; exit status 1 when there are any.

Usage: compare_xlsx.py DATABASE.sqlite REPORT.xlsx FIRST|- STATEMENT...
"""
import datetime
import sqlite3
import sys

import openpyxl


def same(cell, value):
    if value is None:
        return cell is None
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return isinstance(cell, (int, float)) and abs(cell - value) <= 1e-9 * max(1.0, abs(value))
    if isinstance(cell, datetime.datetime):
        return cell.isoformat(sep=" ").replace(" 00:00:00", "") == value
    return cell == value


def main():
    database, report, first = sys.argv[1:4]
    book = openpyxl.load_workbook(report)
    sheets = book.worksheets
    if first != "-":
        if sheets[0].title != first:
            print("first sheet %r, expected %r" % (sheets[0].title, first))
            return 1
        sheets = sheets[1:]
    connection = sqlite3.connect(database)
    problems = []
    for sheet, statement in zip(sheets, sys.argv[4:]):
        cursor = connection.execute(statement)
        expected = [tuple(d[0] for d in cursor.description)] + list(cursor.fetchall())
        got = [tuple(c.value for c in row) for row in sheet.iter_rows()]
        if len(got) != len(expected):
            problems.append("%s: %d rows, expected %d" % (sheet.title, len(got), len(expected)))
        for number, (have, want) in enumerate(zip(got, expected)):
            if len(have) != len(want) or not all(same(c, v) for c, v in zip(have, want)):
                problems.append("%s row %d: %r, expected %r" % (sheet.title, number + 1, have, want))
    if len(sheets) != len(sys.argv) - 4:
        problems.append("%d result sheets, expected %d" % (len(sheets), len(sys.argv) - 4))
    if problems:
        print("\n".join(problems))
    return 1 if problems else 0


sys.exit(main())
