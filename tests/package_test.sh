#!/usr/bin/env bash
# Builds the Debian package of a build folder and checks what a user gets from it: the file list, the package
# fields and dependencies, the desktop entry, the MIME type, the AppStream metadata, the manual page, the bash
# completion, the help pages' links, and that the unpacked program runs a demo project.
#   tests/package_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2
if ! command -v dpkg-deb >/dev/null || ! command -v cpack >/dev/null; then
  echo "package test skipped: dpkg-deb or cpack is missing (Debian packages dpkg, cmake)"
  exit 77
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
missing_tool() { echo "package test: $1 not found (Debian package $2); its check is left out" >&2; }

(cd "$BUILD" && cpack -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
DEB=$WORK/out/tablewright_${VERSION}_amd64.deb
[ -f "$DEB" ] || { ls "$WORK/out" >&2; fail "tablewright_${VERSION}_amd64.deb was not made"; }

# Fields and dependencies: the listed run-time tools, and libraries found from the binary by dpkg-shlibdeps.
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = tablewright ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$VERSION" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
DEPENDS=$(field Depends)
sed 's/, */\n/g; s/ *([^)]*)//g' <<<"$DEPENDS" >"$WORK/depends"
for dependency in fp-utils fonts-dejavu-core xdg-utils libc6 libstdc++6 libsqlite3-0 libpq5; do
  grep -qxF "$dependency" "$WORK/depends" || fail "Depends lacks $dependency: $DEPENDS"
done
[ "$(field Recommends)" = fonts-droid-fallback ] || fail "Recommends is '$(field Recommends)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | head -n 1)" = "turn the results of SQL queries into reports" ] || fail "the Description starts: $(field Description | head -n 1)"
field Description | sed 1d | grep -qv "^ [^ ]" && fail "the long Description is not indented by one space"
# No maintainer scripts: the triggers of desktop-file-utils, shared-mime-info and the icon theme do their work.
dpkg-deb -e "$DEB" "$WORK/control"
for script in preinst postinst prerm postrm; do
  [ ! -e "$WORK/control/$script" ] || fail "unexpected maintainer script $script"
done

# Contents: the installed layout under /usr, and nothing from the build or the demo's output.
dpkg-deb -c "$DEB" | awk '{print $NF}' | sed 's|^\./|/|' >"$WORK/contents"
expect=(
  /usr/bin/tablewright
  /usr/share/tablewright/tmpl/Default.htm
  /usr/share/tablewright/examples/demo_html.twp
  /usr/share/tablewright/examples/demo.sqlite
  /usr/share/tablewright/help/help.css
  /usr/share/applications/org.tablewright.Tablewright.desktop
  /usr/share/mime/packages/tablewright.xml
  /usr/share/metainfo/org.tablewright.Tablewright.metainfo.xml
  /usr/share/man/man1/tablewright.1.gz
  /usr/share/bash-completion/completions/tablewright
  /usr/share/icons/hicolor/scalable/apps/tablewright.svg
  /usr/share/icons/hicolor/scalable/mimetypes/application-x-tablewright-project.svg
)
TOPICS=(index query output report header footer marker properties converters params preview settings connect
        sql-console macros column-rules console-mode)
for topic in "${TOPICS[@]}"; do expect+=("/usr/share/tablewright/help/$topic.html"); done
for size in 16 22 24 32 48 64 128 256; do
  expect+=("/usr/share/icons/hicolor/${size}x$size/apps/tablewright.png"
           "/usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-tablewright-project.png")
done
for path in "${expect[@]}"; do grep -qxF "$path" "$WORK/contents" || fail "the package lacks $path"; done
! grep -E '/examples/out(/|$)|\.bak$|CMakeFiles|/usr/local/' "$WORK/contents" || fail "the package holds build or demo output"
! grep -vE '^/usr(/|$)' "$WORK/contents" | grep -q . || fail "the package installs outside /usr"

ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT"
SHARE=$ROOT/usr/share

# The PNG icons have the size their folder says.
file "$SHARE/icons/hicolor/48x48/apps/tablewright.png" | grep -q '48 x 48' || fail "the 48x48 icon is not 48 by 48"
file "$SHARE/icons/hicolor/256x256/mimetypes/application-x-tablewright-project.png" | grep -q '256 x 256' ||
  fail "the 256x256 MIME icon is not 256 by 256"

# The unpacked program finds its data under ../share/tablewright and runs a demo project from another folder.
! readelf -d "$ROOT/usr/bin/tablewright" | grep -Eq 'RPATH|RUNPATH' || fail "the binary carries a library path"
"$ROOT/usr/bin/tablewright" --version | grep -qF "$VERSION" || fail "--version does not print $VERSION"
mkdir -p "$WORK/home" "$WORK/run"
(cd "$WORK/run" && env -u TABLEWRIGHT_DATA_DIR HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" \
  XDG_STATE_HOME="$WORK/home/state" "$ROOT/usr/bin/tablewright" -c "$SHARE/tablewright/examples/demo_html.twp" \
  -o"$WORK/run/report.htm" >"$WORK/run.log" 2>&1) || { cat "$WORK/run.log" >&2; fail "the unpacked demo failed"; }
grep -q 'Sales by region' "$WORK/run/report.htm" || fail "the unpacked demo's report lacks its first result set"

# Desktop entry: valid, and naming what the package installs.
DESKTOP=$SHARE/applications/org.tablewright.Tablewright.desktop
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$DESKTOP" 2>&1) || { echo "$out" >&2; fail "desktop-file-validate failed"; }
  [ -z "$out" ] || { echo "$out" >&2; fail "desktop-file-validate warns"; }
else
  missing_tool desktop-file-validate desktop-file-utils
fi
grep -qx 'Exec=tablewright %F' "$DESKTOP" || fail "the desktop entry does not start tablewright with files"
grep -qx 'Icon=tablewright' "$DESKTOP" || fail "the desktop entry's icon is not tablewright"
grep -qx 'MimeType=application/x-tablewright-project;' "$DESKTOP" || fail "the desktop entry lacks the .twp type"

# MIME type: well-formed, and a MIME database built from it alone maps *.twp to the type with its icon.
MIME=$SHARE/mime/packages/tablewright.xml
xmllint --noout "$MIME" || fail "the MIME file is not well-formed XML"
if command -v update-mime-database >/dev/null; then
  mkdir -p "$WORK/mime/packages"
  cp "$MIME" "$WORK/mime/packages/"
  update-mime-database "$WORK/mime" >"$WORK/mime.log" 2>&1 || { cat "$WORK/mime.log" >&2; fail "update-mime-database failed"; }
  grep -q ':application/x-tablewright-project:\*\.twp' "$WORK/mime/globs2" || fail "*.twp is not in the MIME globs"
  grep -qx 'application/x-tablewright-project:application-x-tablewright-project' "$WORK/mime/icons" ||
    fail "the MIME type does not name its icon"
else
  missing_tool update-mime-database shared-mime-info
fi

# AppStream metadata.
METAINFO=$SHARE/metainfo/org.tablewright.Tablewright.metainfo.xml
xmllint --noout "$METAINFO" || fail "the AppStream file is not well-formed XML"
grep -qF "<release version=\"$VERSION\"" "$METAINFO" || fail "the AppStream release is not $VERSION"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$METAINFO" >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log" >&2; fail "appstreamcli validate failed"; }
else
  missing_tool appstreamcli appstream
fi

# Manual page: formats without a warning (the check lintian makes) and names the exit status and environment.
MAN=$SHARE/man/man1/tablewright.1.gz
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$MAN" 2>&1 >"$WORK/man.txt") ||
  fail "man -l failed: $warnings"
[ -z "$warnings" ] || { echo "$warnings" >&2; fail "the manual page gives warnings"; }
for text in 'EXIT STATUS' '130' '143' 'XDG_CONFIG_HOME' 'XDG_STATE_HOME' 'TABLEWRIGHT_DATA_DIR' "Tablewright $VERSION"; do
  grep -qF "$text" "$WORK/man.txt" || fail "the manual page lacks '$text'"
done

# Bash completion: switches, glued switch files and project files.
mkdir -p "$WORK/complete/sub"
touch "$WORK/complete/a.twp" "$WORK/complete/b.txt" "$WORK/complete/q.sql"
complete_words() {
  (cd "$WORK/complete" && bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tablewright
    printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$SHARE/bash-completion/completions/tablewright" "$@")
}
[ "$(complete_words tablewright '')" = "$(printf 'a.twp\nsub')" ] || fail "projects complete as: $(complete_words tablewright '')"
[ "$(complete_words tablewright --v)" = "--version" ] || fail "--v completes as: $(complete_words tablewright --v)"
[ "$(complete_words tablewright -c -s)" = "$(printf -- '-sq.sql\n-ssub/')" ] || fail "-s completes as: $(complete_words tablewright -c -s)"
[ "$(complete_words tablewright -c -vb)" = "-vb.txt" ] || fail "-vb completes as: $(complete_words tablewright -c -vb)"

# Help pages: every topic the window opens exists, parses as HTML5, and every local link or image resolves.
# The system's Python: python3-html5lib is a Debian package.
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=python3
"$PYTHON" - "$SHARE/tablewright/help" "${TOPICS[@]}" <<'PY' || fail "the help pages are broken (above)"
import html.parser, os, sys, urllib.parse
folder, topics = sys.argv[1], sys.argv[2:]
problems = [f"missing topic {t}.html" for t in topics if not os.path.isfile(os.path.join(folder, t + ".html"))]
try:
    import html5lib
except ImportError:
    html5lib = None
    print("package test: html5lib not found (Debian package python3-html5lib); the HTML5 check is left out",
          file=sys.stderr)

class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.targets, self.ids = [], set()
    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value:
                self.targets.append(value)
            if name == "id":
                self.ids.add(value)

pages = {}
for name in sorted(os.listdir(folder)):
    if name.endswith(".html"):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            pages[name] = f.read()
for name, text in pages.items():
    if html5lib:
        try:
            html5lib.HTMLParser(strict=True).parse(text)
        except Exception as error:
            problems.append(f"{name}: not valid HTML5: {error}")
    parser = Links()
    parser.feed(text)
    if "help.css" not in parser.targets:
        problems.append(f"{name}: does not use help.css")
    for target in parser.targets:
        url = urllib.parse.urlparse(target)
        if url.scheme or target.startswith("//"):
            problems.append(f"{name}: links outside the help: {target}")
            continue
        path = os.path.normpath(os.path.join(folder, urllib.parse.unquote(url.path))) if url.path else os.path.join(folder, name)
        if not path.startswith(os.path.abspath(folder)) or not os.path.isfile(path):
            problems.append(f"{name}: broken link {target}")
        elif url.fragment and path.endswith(".html"):
            other = Links()
            with open(path, encoding="utf-8") as f:
                other.feed(f.read())
            if url.fragment not in other.ids:
                problems.append(f"{name}: no anchor {target}")
# Every page is reachable from the contents.
seen, todo = set(), ["index.html"]
while todo:
    page = todo.pop()
    if page in seen or page not in pages:
        continue
    seen.add(page)
    parser = Links()
    parser.feed(pages[page])
    todo += [urllib.parse.urlparse(t).path for t in parser.targets if t.endswith(".html") or ".html#" in t]
problems += [f"{name}: not reachable from index.html" for name in pages if name not in seen]
print("\n".join(problems), file=sys.stderr)
sys.exit(1 if problems else 0)
PY
echo "package test passed: $(basename "$DEB")"
