"""Parses an HTML report strictly with html5lib and compares its result tables with the expected ones.

Usage: check_html.py REPORT.html EXPECTED.json
EXPECTED holds {"tables": [{"columns": [...], "rows": [[...], ...]}, ...], "title": "..."}.
Exit status 0 when the page parses without a single error and every table matches.
"""
import json
import sys

import html5lib


def text(element):
    return "".join(element.itertext())


def norm(value):
    return value.replace("\r\n", "\n").replace("\r", "\n")


def main():
    data = open(sys.argv[1], "rb").read()
    expected = json.load(open(sys.argv[2], encoding="utf-8"))
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    try:
        doc = parser.parse(data)
    except html5lib.html5parser.ParseError as error:
        print("parse error:", error, parser.errors)
        return 2
    failures = []
    tables = doc.findall(".//table[@class='ResultSet']")
    if len(tables) != len(expected["tables"]):
        failures.append("%d result tables, expected %d" % (len(tables), len(expected["tables"])))
    for index, (table, want) in enumerate(zip(tables, expected["tables"])):
        header = [text(th) for th in table.findall("./thead/tr/th")]
        if header != want["columns"]:
            failures.append("table %d header %r, expected %r" % (index, header, want["columns"]))
        rows = [[norm(text(td)) for td in tr.findall("./td")] for tr in table.findall("./tbody/tr")]
        wanted = [[norm(v) for v in row] for row in want["rows"]]
        if rows != wanted:
            for r, (got, exp) in enumerate(zip(rows, wanted)):
                if got != exp:
                    failures.append("table %d row %d: %r, expected %r" % (index, r, got[:3], exp[:3]))
            if len(rows) != len(wanted):
                failures.append("table %d has %d rows, expected %d" % (index, len(rows), len(wanted)))
    if "title" in expected:
        h1 = doc.find(".//h1")
        if h1 is None or text(h1) != expected["title"]:
            failures.append("title %r" % (None if h1 is None else text(h1)))
    ids = {e.get("id") for e in doc.iter() if e.get("id")}
    for link in doc.findall(".//nav//a"):
        if link.get("href", "")[1:] not in ids:
            failures.append("link %s has no target" % link.get("href"))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
