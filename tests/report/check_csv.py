"""Reads a text report (or LibreOffice's CSV export of a workbook) with Python's csv module and looks for every
expected table: its header row followed by exactly its rows.

Usage: check_csv.py text FILE SEPARATOR EXPECTED.json
       check_csv.py sheets FOLDER EXPECTED.json    (every *.csv in FOLDER; numbers compared as numbers,
                                                    trailing empty fields ignored)
"""
import csv
import glob
import json
import re
import sys

NUMBER = re.compile(r"^-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?$")


def read(path, delimiter):
    with open(path, encoding="utf-8", newline="") as handle:
        return list(csv.reader(handle, delimiter=delimiter, strict=True))


def same(got, want, sheets):
    if sheets and NUMBER.match(want) and len(want.lstrip("-").replace(".", "").lstrip("0")) <= 15:
        try:
            return abs(float(got) - float(want)) <= 1e-12 * max(1.0, abs(float(want)))
        except ValueError:
            return False
    return got == want


def trim(row, sheets):
    row = list(row)
    while sheets and row and row[-1] == "":
        row.pop()
    return row


def find(documents, table, sheets):
    columns = trim(table["columns"], sheets)
    for records in documents:
        for start, record in enumerate(records):
            if trim(record, sheets) != columns:
                continue
            body = records[start + 1:start + 1 + len(table["rows"])]
            problems = []
            for index, (got, want) in enumerate(zip(body, table["rows"])):
                got, want = trim(got, sheets), trim(want, sheets)
                if len(got) != len(want) or not all(same(g, w, sheets) for g, w in zip(got, want)):
                    problems.append("row %d: %r, expected %r" % (index, [g[:40] for g in got], [w[:40] for w in want]))
            if len(body) < len(table["rows"]):
                problems.append("only %d rows" % len(body))
            return problems
    return ["table %r not found" % table["name"]]


def main():
    mode = sys.argv[1]
    if mode == "text":
        documents = [read(sys.argv[2], sys.argv[3])]
        expected = json.load(open(sys.argv[4], encoding="utf-8"))
    else:
        documents = [read(path, ",") for path in sorted(glob.glob(sys.argv[2] + "/*.csv"))]
        expected = json.load(open(sys.argv[3], encoding="utf-8"))
    failures = []
    for table in expected["tables"]:
        failures += find(documents, table, mode == "sheets")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
