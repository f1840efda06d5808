#!/usr/bin/env bash
# Starts the real program under its own X server with the HTML demo project, lets it preview and run the
# report, and saves screenshots of the main window, of each page tab, of the preview and of the dark theme.
# Checks that the preview shows the demo's first rows and that the run wrote the report.
#   tests/ui/screens.sh PATH/TO/tablewright [SCREENSHOT_FOLDER]
set -euo pipefail
binary=$(realpath "$1")
shots=${2:-$(mktemp -d)}
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -f "$root/examples/demo.sqlite" ] || sqlite3 "$root/examples/demo.sqlite" < "$root/examples/demo.sql"
cp "$root/examples/demo.sqlite" "$work/"
# The report goes into the throwaway folder and is not opened with the desktop's program.
sed -e "s/^Open = .*/Open = 0/" -e "s|^ReportFile = .*|ReportFile = 'out/demo.htm'|" \
    "$root/examples/demo_html.twp" > "$work/demo_html.twp"
mkdir -p "$work/out" "$shots"
rm -f "$shots"/*.png "$shots"/*.txt

status=0
XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime" \
TW_SCREENSHOT_DIR="$shots" QT_QPA_PLATFORM=xcb \
    timeout 240 xvfb-run -a -s "-screen 0 1280x900x24" "$binary" "$work/demo_html.twp" \
    >"$work/program.log" 2>&1 || status=$?

fail() {
    echo "screens: $*" >&2
    tail -n 20 "$work/program.log" >&2
    exit 1
}
[ $status -eq 0 ] || fail "the program ended with status $status"
[ ! -f "$shots/failed.txt" ] || fail "the screen tour failed (step $(cat "$shots/failed.txt"))"
for picture in main preview preview-rows main-dark after-run tab-0-query tab-4-footer tab-8-converters; do
    [ -s "$shots/$picture.png" ] || fail "no screenshot $picture.png"
done
# The demo's first result set, as the preview shows it: regions with their orders, items and totals.
grep -q "Sales by region" "$shots/preview.txt" || fail "the preview lacks the first result set's name"
grep -qP "^East\t81\t986\t" "$shots/preview.txt" || fail "the preview lacks the first row (East 81 986)"
grep -qP "^North\t83\t814\t" "$shots/preview.txt" || fail "the preview lacks the second row (North 83 814)"
grep -q "Report created" "$shots/status.txt" || fail "the status bar does not say the report was created"
grep -q "East" "$work/out/demo.htm" || fail "the run did not write the report"
echo "screens: screenshots in $shots"
