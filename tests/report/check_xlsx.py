"""Prints the cells of one worksheet of an .xlsx file (as LibreOffice saved it) with the type the spreadsheet
holds them as: one line per row, cells separated by tabs, each "n:<number>", "s:<text>" or "d:<date and time>"
(a number under a date format, shown as ISO text), empty cells as "".

Usage: check_xlsx.py FILE.xlsx SHEET-NAME
"""
import datetime
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
      "r": "http://schemas.openxmlformats.org/officeDocument/2006/relationships"}
REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id"
BUILTIN_DATES = set(range(14, 23))


def column_index(reference):
    letters = re.match(r"[A-Z]+", reference).group(0)
    index = 0
    for letter in letters:
        index = index * 26 + ord(letter) - 64
    return index - 1


def main():
    book = zipfile.ZipFile(sys.argv[1])
    strings = []
    if "xl/sharedStrings.xml" in book.namelist():
        for item in ET.fromstring(book.read("xl/sharedStrings.xml")).findall("m:si", NS):
            strings.append("".join(t.text or "" for t in item.iter("{%s}t" % NS["m"])))
    styles = ET.fromstring(book.read("xl/styles.xml"))
    formats = {int(f.get("numFmtId")): f.get("formatCode") for f in styles.iter("{%s}numFmt" % NS["m"])}
    dated = []
    for xf in styles.find("m:cellXfs", NS).findall("m:xf", NS):
        number_format = int(xf.get("numFmtId", "0"))
        code = formats.get(number_format, "")
        dated.append(number_format in BUILTIN_DATES or bool(re.search(r"[yd]", re.sub(r'"[^"]*"', "", code), re.I)))
    workbook = ET.fromstring(book.read("xl/workbook.xml"))
    rels = ET.fromstring(book.read("xl/_rels/workbook.xml.rels"))
    targets = {rel.get("Id"): rel.get("Target") for rel in rels}
    sheet = next(s for s in workbook.iter("{%s}sheet" % NS["m"]) if s.get("name") == sys.argv[2])
    data = ET.fromstring(book.read("xl/" + targets[sheet.get(REL)]))
    for row in data.iter("{%s}row" % NS["m"]):
        cells = []
        for cell in row.findall("m:c", NS):
            index = column_index(cell.get("r"))
            while len(cells) < index:
                cells.append("")
            value = cell.find("m:v", NS)
            kind = cell.get("t", "n")
            if value is None:
                cells.append("")
            elif kind == "s":
                cells.append("s:" + strings[int(value.text)])
            elif kind in ("str", "inlineStr"):
                cells.append("s:" + (value.text or ""))
            elif dated[int(cell.get("s", "0"))]:
                moment = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=float(value.text))
                cells.append("d:" + moment.isoformat(sep=" ", timespec="milliseconds"))
            else:
                cells.append("n:" + repr(float(value.text)))
        print("\t".join(cells))


main()
