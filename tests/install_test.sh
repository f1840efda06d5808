#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs an installed demo project from another folder: the
# installed program must find its templates under ../share/tablewright, or where TABLEWRIGHT_DATA_DIR points.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
BUILD=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }
DATA=$PREFIX/share/tablewright
for file in bin/tablewright share/tablewright/tmpl/Striped.htm share/tablewright/examples/demo_html.twp \
            share/tablewright/examples/demo.sql share/tablewright/examples/demo.sqlite; do
  [ -e "$PREFIX/$file" ] || fail "$file was not installed"
done
[ ! -e "$DATA/examples/out" ] || fail "the demo's report folder was installed"

# A mark in the installed template shows which template the report was made from: the build tree's source
# folder holds the same templates without it.
printf '<!-- installed template -->\n' >>"$DATA/tmpl/Striped.htm"
mkdir -p "$WORK/elsewhere/tmpl" "$WORK/home"
run() {
  (cd "$WORK/elsewhere" && env -u TABLEWRIGHT_DATA_DIR HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" \
    XDG_STATE_HOME="$WORK/home/state" "$@" "$PREFIX/bin/tablewright" -c "$DATA/examples/demo_html.twp" \
    -o"$WORK/elsewhere/report.htm" >"$WORK/run.log" 2>&1) || { cat "$WORK/run.log" >&2; fail "the installed demo failed"; }
}
run
grep -q 'installed template' "$WORK/elsewhere/report.htm" || fail "the report was not made from the installed template"
grep -q 'Sales by region' "$WORK/elsewhere/report.htm" || fail "the report lacks the demo's first result set"

# TABLEWRIGHT_DATA_DIR wins over the installed data.
sed 's/installed template/data folder template/' "$DATA/tmpl/Striped.htm" >"$WORK/elsewhere/tmpl/Striped.htm"
rm "$WORK/elsewhere/report.htm"
run TABLEWRIGHT_DATA_DIR="$WORK/elsewhere"
grep -q 'data folder template' "$WORK/elsewhere/report.htm" || fail "TABLEWRIGHT_DATA_DIR was not used"
echo "install test passed"
