#!/usr/bin/env python3
"""Reads a finished report the way a user's tools would and prints what it holds, one line per item.

html FILE: parses with html5lib; prints "H<level>|text" for headings, "T" at each table, then one line per row
           with the cells joined by "|".
text FILE SEPARATOR: reads with the csv module; prints one line per record, fields joined by "|".
Line breaks inside a value are shown as "\\n" so that every item stays on one line.
"""
import csv
import sys

import html5lib


def clean(text):
    return " ".join(text.replace("\r", "").split("\n")).strip() if text is not None else ""


def text_of(element):
    return "".join(element.itertext())


def read_html(path):
    with open(path, "rb") as handle:
        document = html5lib.parse(handle, namespaceHTMLElements=False)
    for element in document.iter():
        tag = element.tag if isinstance(element.tag, str) else ""
        if len(tag) == 2 and tag[0] == "h" and tag[1] in "123456":
            print("H%s|%s" % (tag[1], clean(text_of(element))))
        elif tag == "table":
            print("T")
            for row in element.iter("tr"):
                cells = [clean(text_of(cell)) for cell in row if cell.tag in ("td", "th")]
                print("|".join(cells))


def read_text(path, separator):
    with open(path, newline="", encoding="utf-8") as handle:
        for record in csv.reader(handle, delimiter=separator):
            print("|".join(field.replace("\r\n", "\\n").replace("\n", "\\n") for field in record))


def main():
    if sys.argv[1] == "html":
        read_html(sys.argv[2])
    else:
        read_text(sys.argv[2], sys.argv[3])


if __name__ == "__main__":
    main()
