#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into corpus/<harness>/ from the examples, the test data and
the value sets the tests use. Run it again when those change; the harnesses read the seeds as they are.

Several harnesses take texts separated by the byte 0xFF (see fuzz_support.h); the seeds are built so."""

import glob
import hashlib
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SEP = b"\xff"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(harness, seeds):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    for old in glob.glob(os.path.join(folder, "*")):
        os.remove(old)
    for seed in seeds:
        name = hashlib.sha1(seed).hexdigest()[:16]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(seed)


def utf8(text):
    return text.encode("utf-8")


def joined(*parts):
    return SEP.join(p if isinstance(p, bytes) else utf8(p) for p in parts)


projects = sorted(glob.glob(os.path.join(ROOT, "examples", "*.twp")) +
                  glob.glob(os.path.join(ROOT, "tests", "data", "project", "**", "*.twp"), recursive=True))
project_bytes = [read(p) for p in projects]
scripts = [read(os.path.join(ROOT, "examples", "demo.sql"))]
for data in project_bytes:
    for match in re.finditer(rb"^Text = (?:'''|\"\"\")(.*?)(?:'''|\"\"\")", data, re.S | re.M):
        scripts.append(match.group(1))
    for match in re.finditer(rb"^Text = '([^'\n]*)'", data, re.M):
        scripts.append(match.group(1))
scripts += [utf8(s) for s in [
    "SELECT 1; SELECT 'a;b' AS \"x;y\"; -- c;\nSELECT 2 /* ; */",
    "CREATE FUNCTION f() RETURNS int AS $body$ SELECT 1; $body$ LANGUAGE sql; SELECT $$;$$",
    "SELECT E'it\\'s;' , `a;b`, [c;d] FROM t;;; ",
    "--NAME: Totals\nSELECT sum(x) FROM t WHERE d = '?1';\n--NAME: Rows\nSELECT * FROM t",
]]
values = read(os.path.join(ROOT, "examples", "demo_values.txt"))

write("project_file", project_bytes + [
    b"[Query]\nFormat = 3\nText = 'SELECT 1'\n[Connection]\nType = 'postgresql'\n"
    b"Connection = 'host=h password=secret user=u'\n",
    b"[Converters]\nCounter = 2\n[Converters.0]\nColumn = 'a'\nRegexFrom = '(\\\\d+)'\nRegexTo = '<$1>'\n",
    b"[Markers]\nCounter = 99999\n",
    b"\xef\xbb\xbf[Target]\nReportFile = \"out.htm\"\nSummary = true\n",
])
write("parameters", [joined(values, s) for s in scripts[:4]] + [
    joined("?1=a\n?2=?1?1\r\n?10=ten\n?x=no\n?0=zero\n", "SELECT ?1, ?2, ?10 FROM t"),
    joined("\xef\xbb\xbf?1 = spaced\n?2\n", "?1 ?2 ?12"),
])
write("macros", [
    joined("Report $DATE$ $TIME$ $FILE$ $FORMAT$ $STATEMENT$", "DD.MM.YYYY", "HH:MM:SS", scripts[0], "?1=x"),
    joined("$DATE.YYYY$-$DATE.MM$-$DATE.DD$ $TIME.HH$ $QUERY$ $QUERY1$ $QUERYn$ $ROWS$ $NAME$ $NAMEn$",
           "YY/MM/DD", "HH:MM", "SELECT 1; SELECT 2"),
    joined("?1 for ?2 on $DATE$", "MM/DD/YYYY", "HH", "", "?1=North $DATE$", "?2=?1"),
    joined("plain title", "", "", ""),
])
write("statements", scripts)
connections = [
    (1, "host=db.example port=5433 dbname=sales user=report sslmode=require"),
    (1, "postgresql://report:s3cret@db:5433/sales?sslmode=require&password=x"),
    (1, "postgres://[::1]:5432/db?application_name=tw"),
    (1, "host=h user=u password='it\\'s' options='-c geqo=off'"),
    (2, "host=127.0.0.1 port=3306 database=shop user=web socket=/run/mysqld.sock passwd='p w'"),
    (3, "DSN=pg-sales;Database=sales;UID=report;PWD={a;b}};Trace=No"),
    (3, "Driver={PostgreSQL Unicode};Server=db.example;Port=5432;Database=sales;UID=report"),
    (0, "demo.sqlite"),
]
write("conn_string", [bytes([t]) + joined(c, "s3cret pass") for t, c in connections])
write("text_file", scripts[:3] + [values, b"\xef\xbb\xbfSELECT 'caf\xc3\xa9'",
                                  "\ufeffSELECT 'ü'".encode("utf-16-le").join([b"\xff\xfe", b""]),
                                  b"\xfe\xff" + "SELECT '€'".encode("utf-16-be"), b"caf\xe9 \x80 \x9d"])
edge_values = ["", "<&>\"'", "<b>not bold</b>",
               "Gr\u00fc\u00dfe \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u65e5\u672c\u8a9e \U0001F600",
               "\u20ac \u2013 \u2018quoted\u2019 \u0152", "a,b\tc;d|e\"f\nline two\r\nline three",
               "-12.5", "007", "+1", "0.000123456789012345", "1e5", "12345678901234567",
               "\u0001\u007f\u0085\ufffe\uffff\ufdd0 \u00a5\u203e~\\"]
write("markup", [bytes([mode]) + utf8(v) for v in edge_values for mode in (0, 2, 4, 6, 8, 10, 12)])
write("text_writer", [joined(sep, bytes([cols]), *edge_values) for sep in [",", "\t", ";", " | ", "||", ""]
                      for cols in (3, 11)])
patterns = [
    ("(\\d+)-(\\d+)", "$2-$1", "2024-06 and 7-8"), ("^\\s*(\\w+)\\s*$", "[$1]", "  word  "),
    ("a*b", "<$&>", "aaab b ab"), ("(a|b)*c?", "$1", "ababc"), ("[^,;]+", "'$&'", "a,b;;c"),
    ("(?:x|y){2,3}?z", "$`|$'", "xyxyz"), (".", "$$", "\u00e9\u4e2d\n"), ("^$", "empty", ""),
    ("(\\d)*x", "$1$12", "123x"), ("(\\d+)\\1", "d", "1212"), ("\\bword\\b", "W", "a word."),
    ("[a-z]+@[a-z]+\\.(com|org)", "<$&>", "me@x.org you@y.com"), ("\\$(\\d+)\\.(\\d\\d)", "$1,$2 EUR", "$12.50"),
    ("(a+)+$", "x", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaa!"), ("[\\d\\s-]{3,}", "#", "tel 555 12-34"),
    ("(\\w)(\\w)?", "$2$1", "abc"), ("x{0}|y{1000}", "-", "xyz"), ("\\/\\-\\|", "/", "/-|"),
]
write("simple_regex", [joined(p, s, r) + bytes([flags]) for p, r, s in patterns for flags in (0, 7, 13)])
dates = [("YYYY-MM-DD", "DD.MM.YYYY", "2024-06-30 12:00:00"), ("DD/MM/YY", "MON DD, YYYY", "30/06/24"),
         ("MM.DD.YYYY", "YY-MM", "13.40.2100")]
number_values = ["-12.5", "007", "12345678901234567", "0.000123456789012345", "1e5", "  42abc", "-0", "2.5",
                 "9007199254740993", "1.7976931348623157e309"]
converter_seeds = []
for p, r, s in patterns:
    converter_seeds.append(joined(p, r, "", "", "<", ">", bytes([0, 0, 0, 0]), s, s + s))
for f, t, v in dates:
    converter_seeds.append(joined("", "", f, t, "", "", bytes([8, 0, 0, 0]), v, "x" + v))
for type_index, digits, pres, group in [(2, 0, 0, 1), (6, 12, 3, 0), (7, 0, 31, 0), (4, 201, 2, 0)]:
    converter_seeds.append(joined("", "", "", "", "", "", bytes([type_index, digits, pres, group]), *number_values))
write("converter", converter_seeds)
write("number_reader", [utf8(v) for v in number_values + [
    " \t+.5e-3x", "0x1p3", "inf", "-nan", "1e-400", "4.9406564584124654e-324", "2.2250738585072011e-308",
    "123456789012345678901234567890", "1.e5", ".e5", "-", "9223372036854775808", "-9223372036854775809"]])
fixed = []
for text in ["0.125", "2.5", "-0.5", "1e17", "0.1", "123456.785", "4.35", "-0", "1e-320", "999999999999999.5"]:
    for precision in (0, 1, 2, 6, 17):
        fixed.append(bytes([1, precision]) + utf8(text))
fixed.append(bytes([0, 3]) + bytes(8))
fixed.append(bytes([0, 17, 0x9a, 0x99, 0x99, 0x99, 0x99, 0x99, 0xb9, 0x3f]))
write("fixed_printer", fixed)
