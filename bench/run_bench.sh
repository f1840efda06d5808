#!/usr/bin/env bash
# End-to-end speed of a report run, side by side with the sqlite3 shell (and with psql and the mariadb client when
# their connection strings are set).
# Run by hand, never from the tests:   bench/run_bench.sh
#   TW_BENCH_ROWS="100000 1000000"  row counts (each gets a table of its own)
#   TW_BENCH_RUNS=5                 rounds (each command once per round); the median is reported
#   TW_BENCH_BUILD_DIR=DIR          build tablewright (Release) in DIR instead of the release preset
#   TW_BENCH_NO_BUILD=1             use the binary that is there
#   TW_BENCH_KEEP=1                 keep the work folder (databases, projects, reports)
#   TW_BENCH_KINDS="html xlsx"      only these of html text light heavy xlsx (html is the others' yardstick)
#   TW_BENCH_SOFFICE=0              leave out LibreOffice's CSV-to-xlsx conversion (slow at a million rows)
#   TW_TEST_PG=conninfo             also the PostgreSQL path: the same table there, HTML against psql -H, Text
#                                   against psql --csv and psql's COPY (SELECT ...) TO STDOUT (FORMAT csv, HEADER)
#   TW_TEST_MYSQL="host=H port=P database=D user=U password=W"
#                                   also the MariaDB (MySQL) path, connection string as a project's: the same table
#                                   there, Text against mariadb --quick --batch (tab-separated), HTML against
#                                   mariadb --quick --batch --html
# tests/services.sh start writes both connection strings into build-services/env.sh. The database parts measure
# html and text, as far as TW_BENCH_KINDS holds them; passwords reach psql by PGPASSWORD and the mariadb client by
# an option file in the work folder, never on a command line.
# A database client's CPU time is that of the client process alone, as is tablewright's: the server's share of the
# work (reading the table, sending the rows) is on neither side of a ratio.
# Targets, as ratios of the same run: HTML without rules <= 0.6 x sqlite3 -html; Text without rules <= 0.6 x
# sqlite3 -csv; HTML with a property, a marker and a converter on every column <= 1.5 x HTML without rules, with
# the light rules <= 1.3 x;
# Excel workbook (.xlsx) <= 2.0 x HTML without rules, beside LibreOffice converting sqlite3's CSV of the same rows
# (soffice --headless --convert-to xlsx); peak RSS flat from the smallest to the largest row count.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROWS=(${TW_BENCH_ROWS:-100000 1000000})
RUNS=${TW_BENCH_RUNS:-5}
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "GNU time is missing: apt-get install time" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "sqlite3 is missing" >&2; exit 1; }

# --- build -------------------------------------------------------------------------------------------------
if [ -n "${TW_BENCH_BUILD_DIR:-}" ]; then
  BUILD=$TW_BENCH_BUILD_DIR
  if [ -z "${TW_BENCH_NO_BUILD:-}" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTW_WERROR=ON -DTW_BUILD_TESTS=OFF \
      -DTW_BUILD_BENCH=OFF >/dev/null
    cmake --build "$BUILD" -j"${JOBS:-2}" --target tablewright >/dev/null
  fi
else
  BUILD=$ROOT/build-release
  if [ -z "${TW_BENCH_NO_BUILD:-}" ]; then
    (cd "$ROOT" && cmake --preset release >/dev/null && cmake --build --preset release -j"${JOBS:-2}" \
      --target tablewright >/dev/null)
  fi
fi
TW=$BUILD/tablewright
[ -x "$TW" ] || { echo "no tablewright binary at $TW" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tw-bench-XXXXXX")
cleanup() { [ -n "${TW_BENCH_KEEP:-}" ] && echo "work folder kept: $WORK" || rm -rf "$WORK"; }
trap cleanup EXIT
# Settings and log of the runs stay in the work folder.
export XDG_CONFIG_HOME=$WORK/config XDG_STATE_HOME=$WORK/state
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$WORK/out"
DB=$WORK/bench.sqlite

# --- data: 8 mixed columns, with values that need escaping, non-ASCII text, dates, timestamps and NULLs -------
echo "Making the tables (${ROWS[*]} rows)..." >&2
{
  echo "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
  for n in "${ROWS[@]}"; do
    cat <<SQL
CREATE TABLE bench_$n(id INTEGER, qty INTEGER, price REAL, name TEXT, note TEXT, born DATE, stamp TIMESTAMP,
                      ratio DOUBLE);
WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < $n)
INSERT INTO bench_$n SELECT
  x,
  CASE WHEN x % 7 = 0 THEN NULL ELSE (x * 37) % 100000 END,
  round((x % 10000) * 1.37, 2),
  'Item <' || x || '> & "Söhne" ' || char(39) || 'Łódź' || char(39),
  CASE WHEN x % 5 = 0 THEN NULL WHEN x % 3 = 0 THEN 'tab' || char(9) || 'and, comma' ELSE 'plain note ' || (x % 97) END,
  date('2000-01-01', '+' || (x % 9000) || ' days'),
  datetime('2020-01-01 00:00:00', '+' || x || ' minutes'),
  CASE WHEN x % 11 = 0 THEN NULL ELSE x / 3.0 END
FROM c;
SQL
  done
  echo "COMMIT;"
} | sqlite3 "$DB" >/dev/null

COLUMNS=(id qty price name note born stamp ratio)

# A project on the benchmark table. rules 1 ("heavy"): on every column a property with colours, a marker that holds
# on about half of the rows (bold, italic, size) and a converter (grouping, number format, date pattern, regular
# expression, prefix and suffix): about four times the output. rules 2 ("light"): on every column a property
# that only aligns, a marker that seldom holds and a converter without a regular expression.
write_project() {  # file format table report rules connection-type connection
  local file=$1 format=$2 table=$3 report=$4 rules=$5 type=${6:-sqlite} connection=${7:-$DB}
  {
    printf "[Query]\nFormat = %s\nText = 'SELECT * FROM %s'\n\n" "$format" "$table"
    printf "[Target]\nTitle = 'Benchmark'\nReportFile = '%s'\nOpen = 0\nEncoding = 'utf-8'\n\n" "$report"
    if [ "$rules" != 0 ]; then
      local background="'#f0f0f0'" color="'Default'" bold=1
      local ops=('>' '<' '>' 'Starts with' 'Contains' '>' '>' '<') operands=('500000' '100' '1000' 'Item <1' 'tab' '2010' '2021' '10')
      if [ "$rules" = 2 ]; then
        background="''" color="''" bold=0
        ops=('<' '=' '=' '=' '=' '=' '=' '=') operands=('100' '-1' '-1' 'none' 'none' 'none' 'none' '-1')
      fi
      printf "[ColumnProps]\nCounter = %d\n" "${#COLUMNS[@]}"
      local i=0
      for c in "${COLUMNS[@]}"; do
        printf "[ColumnProps.%d]\nColumnName = '%s'\nIsBold = %d\nBackgroundColor = %s\nFontColor = %s\nAlign = 'Right'\nFontSize = 0\n" \
          "$i" "$c" $((i % 2 * bold)) "$background" "$color"
        i=$((i + 1))
      done
      printf "[Markers]\nCounter = %d\n" "${#COLUMNS[@]}"
      i=0
      for c in "${COLUMNS[@]}"; do
        printf "[Markers.%d]\nColumn = '%s'\nIsWholeRow = 0\nConditionColumn = '%s'\nConditionOperation = '%s'\nConditionOperand = '%s'\nIsBold = 0\nIsItalic = 1\nBackgroundColor = '#ffe0e0'\nFontColor = '#800000'\nAlign = 'Default'\nFontSize = 1\n" \
          "$i" "$c" "$c" "${ops[$i]}" "${operands[$i]}"
        i=$((i + 1))
      done
      printf "[Converters]\nCounter = %d\n" "${#COLUMNS[@]}"
      i=0
      for c in "${COLUMNS[@]}"; do
        local extra=""
        case $c in
          id|qty) extra="Group = 1" ;;
          price|ratio) extra=$'Digits = 10\nPres = 2' ;;
          born) extra=$'DateFrom = \'YYYY-MM-DD\'\nDateTo = \'DD.MM.YYYY\'' ;;
          stamp) [ "$rules" = 2 ] || extra=$'RegexFrom = \'^([0-9]{4})-([0-9]{2})\'\nRegexTo = \'$2/$1\'' ;;
          *) extra="" ;;
        esac
        printf "[Converters.%d]\nColumn = '%s'\nPrefix = '['\nSuffix = ']'\n%s\n" "$i" "$c" "$extra"
        i=$((i + 1))
      done
    fi
    printf "\n[Connection]\nType = '%s'\nConnection = '%s'\n" "$type" "$connection"
  } >"$file"
}

# One run of a command under GNU time, its standard output into output-file; appends "wall-seconds peak-rss-kB
# cpu-seconds" to the file samples. CPU time (user + system) is kept beside wall time because a shared machine makes
# wall time noisy.
run_once() {  # samples output-file report-file command...
  local samples=$1 output=$2 report=$3
  shift 3
  # Every run starts without the file it writes, so that none pays for truncating the last run's, and after the
  # previous runs' files reached the disk, so that none shares the machine with their write-back.
  rm -f "$output" ${report:+"$report"}
  sync
  "$TIME" -v -o "$WORK/time.txt" "$@" >"$output" 2>"$WORK/stderr.txt" || {
    echo "failed: $*" >&2
    cat "$WORK/stderr.txt" >&2
    exit 1
  }
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); w = 0; for (i = 1; i <= n; i++) w = w * 60 + p[i] }
    /Maximum resident set size/ { r = $2 }
    /User time|System time/ { c += $2 }
    END { print w, r, c }' "$WORK/time.txt" >>"$samples"
}

# "median-wall median-rss median-cpu least-cpu" of a samples file. On a shared machine noise only ever adds time,
# so the least CPU time is the steadiest figure of all.
medians() {
  local w r c m
  w=$(awk '{ print $1 }' "$1" | median_of)
  r=$(awk '{ print $2 }' "$1" | median_of)
  c=$(awk '{ print $3 }' "$1" | median_of)
  m=$(awk '{ print $3 }' "$1" | sort -g | head -n 1)
  echo "$w $r $c $m"
}
median_of() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

declare -A T R C M
report_row() { printf "%-34s %8s s wall %8s s cpu %8s s least cpu %10s kB\n" "$1" "$2" "$4" "$5" "$3"; }
# Keeps the medians of the samples of command key at the current row count n and prints them as a row.
summarize() {  # key label
  local t r c m
  read -r t r c m < <(medians "$WORK/samples_$1")
  T[$1_$n]=$t; R[$1_$n]=$r; C[$1_$n]=$c; M[$1_$n]=$m
  report_row "$2" "$t" "$r" "$c" "$m"
}
# "wall cpu least-cpu" ratios of command key $1 to command key $2 at the current row count n.
ratios() { echo "$(ratio "${T[$1_$n]}" "${T[$2_$n]}")  $(ratio "${C[$1_$n]}" "${C[$2_$n]}")  $(ratio "${M[$1_$n]}" "${M[$2_$n]}")"; }
has() { [ -n "${T[$1_$n]:-}" ]; }

KINDS=(${TW_BENCH_KINDS:-html text light heavy xlsx})
SOFFICE=${TW_BENCH_SOFFICE:-1}
command -v soffice >/dev/null || SOFFICE=0
for n in "${ROWS[@]}"; do
  echo "== $n rows =="
  write_project "$WORK/html_$n.twp" 1 "bench_$n" "$WORK/out/html_$n.htm" 0
  write_project "$WORK/text_$n.twp" 3 "bench_$n" "$WORK/out/text_$n.txt" 0
  write_project "$WORK/heavy_$n.twp" 1 "bench_$n" "$WORK/out/heavy_$n.htm" 1
  write_project "$WORK/light_$n.twp" 1 "bench_$n" "$WORK/out/light_$n.htm" 2
  write_project "$WORK/xlsx_$n.twp" 7 "bench_$n" "$WORK/out/xlsx_$n.xlsx" 0
  rm -f "$WORK"/samples_*
  # Round by round, every command once per round: a machine that slows down for a while slows them all alike,
  # so that the ratios hold even when the times drift.
  for _ in $(seq "$RUNS"); do
    run_once "$WORK/samples_sqlite_html" "$WORK/out/sqlite_$n.html" "" sqlite3 -header -html "$DB" "SELECT * FROM bench_$n"
    run_once "$WORK/samples_sqlite_csv" "$WORK/out/sqlite_$n.csv" "" sqlite3 -header -csv "$DB" "SELECT * FROM bench_$n"
    for kind in "${KINDS[@]}"; do
      report="$WORK/out/${kind}_$n.htm"
      [ "$kind" = text ] && report="$WORK/out/text_$n.txt"
      [ "$kind" = xlsx ] && report="$WORK/out/xlsx_$n.xlsx"
      run_once "$WORK/samples_$kind" "$WORK/out/console_$kind.txt" "$report" "$TW" -c "$WORK/${kind}_$n.twp"
    done
    if [ "$SOFFICE" != 0 ]; then
      # The same rows as a workbook the other way: sqlite3's CSV converted by LibreOffice (its own profile).
      mkdir -p "$WORK/out/lo"
      run_once "$WORK/samples_soffice" "$WORK/out/console_soffice.txt" "$WORK/out/lo/sqlite_$n.xlsx" \
        soffice --headless "-env:UserInstallation=file://$WORK/lo-profile" --convert-to xlsx --outdir "$WORK/out/lo" \
        "$WORK/out/sqlite_$n.csv"
    fi
  done
  summarize sqlite_html "sqlite3 -header -html"
  summarize sqlite_csv "sqlite3 -header -csv"
  for kind in "${KINDS[@]}"; do
    summarize "$kind" "tablewright -c ($kind)"
  done
  bytes() { stat -c %s "$WORK/out/$1_$n.htm"; }
  echo "ratios (wall, cpu, least cpu):"
  has html && echo "  HTML / sqlite3 -html:    $(ratios html sqlite_html)   (target <= 0.6)"
  has text && echo "  Text / sqlite3 -csv:     $(ratios text sqlite_csv)   (target <= 0.6)"
  has light && echo "  HTML light rules / HTML: $(ratios light html)   (target <= 1.3)"
  has heavy && echo "  HTML heavy rules / HTML: $(ratios heavy html)   (target <= 1.5)"
  has xlsx && echo "  XLSX / HTML:             $(ratios xlsx html)   (target <= 2.0)"
  if [ "$SOFFICE" != 0 ]; then
    summarize soffice "soffice CSV -> xlsx"
    has xlsx && echo "  XLSX / soffice CSV -> xlsx: $(ratios xlsx soffice)"
  fi
  has xlsx && echo "  .xlsx bytes: $(stat -c %s "$WORK/out/xlsx_$n.xlsx")"
  has light && echo "  output bytes, light / HTML: $(ratio "$(bytes light)" "$(bytes html)")"
  has heavy && echo "  output bytes, heavy / HTML: $(ratio "$(bytes heavy)" "$(bytes html)")"
done

if [ "${#ROWS[@]}" -gt 1 ]; then
  small=${ROWS[0]}
  large=${ROWS[${#ROWS[@]}-1]}
  echo "== peak RSS, $large rows / $small rows (flat = about 1.0) =="
  for kind in "${KINDS[@]}"; do
    echo "$kind: $(ratio "${R[${kind}_$large]}" "${R[${kind}_$small]}")"
  done
fi

# --- database servers: the same table, read by tablewright and by the database's own client ----------------
# html and text as far as TW_BENCH_KINDS holds them.
DB_KINDS=()
for kind in "${KINDS[@]}"; do
  case $kind in html | text) DB_KINDS+=("$kind") ;; esac
done
# Whether the database parts measure kind.
db_kind() { [[ " ${DB_KINDS[*]} " == *" $1 "* ]]; }

# The pairs of a key=value connection string into the associative array named by $2 (keys in lower case), read as
# libpq and tablewright read them: blanks around "=", a value in single quotes, a backslash taking the next
# character as it is.
parse_connection() {  # text array-name
  local text=$1 i=0 len=${#1} key value
  local -n pairs=$2
  while :; do
    while ((i < len)) && [[ ${text:i:1} == [[:space:]] ]]; do i=$((i + 1)); done
    ((i < len)) || break
    key=
    while ((i < len)) && [[ ${text:i:1} != "=" && ${text:i:1} != [[:space:]] ]]; do
      key+=${text:i:1}
      i=$((i + 1))
    done
    while ((i < len)) && [[ ${text:i:1} == [[:space:]] ]]; do i=$((i + 1)); done
    value=
    if [[ ${text:i:1} == "=" ]]; then
      i=$((i + 1))
      while ((i < len)) && [[ ${text:i:1} == [[:space:]] ]]; do i=$((i + 1)); done
      local quoted=0
      if [[ ${text:i:1} == "'" ]]; then
        quoted=1
        i=$((i + 1))
      fi
      while ((i < len)); do
        if ((quoted)); then
          [[ ${text:i:1} != "'" ]] || { i=$((i + 1)); break; }
        else
          [[ ${text:i:1} != [[:space:]] ]] || break
        fi
        if [[ ${text:i:1} == '\' ]] && ((i + 1 < len)); then i=$((i + 1)); fi
        value+=${text:i:1}
        i=$((i + 1))
      done
    fi
    [ -z "$key" ] || pairs[${key,,}]=$value
  done
}
# A value in single quotes for a libpq connection string.
conninfo_quote() { local v=${1//\\/\\\\}; v=${v//\'/\\\'}; printf "'%s'" "$v"; }

# Times every client command and tablewright's projects on table bench_$n, round by round; the commands are
# "key|label|output file|report file|command" lines on standard input, the command as words for eval (the client
# commands only: they hold no secrets and no user text).
time_commands() {
  local lines=() line key label output report command
  mapfile -t lines
  rm -f "$WORK"/samples_*
  for _ in $(seq "$RUNS"); do
    for line in "${lines[@]}"; do
      IFS='|' read -r key label output report command <<<"$line"
      eval "run_once \"\$WORK/samples_\$key\" \"\$output\" \"\$report\" $command" </dev/null
    done
  done
  for line in "${lines[@]}"; do
    IFS='|' read -r key label _ <<<"$line"
    summarize "$key" "$label"
  done
}

# Peak RSS of tablewright's database runs, the largest row count over the smallest.
db_rss() {  # prefix
  [ "${#ROWS[@]}" -gt 1 ] || return 0
  local small=${ROWS[0]} large=${ROWS[${#ROWS[@]}-1]} kind
  echo "-- peak RSS, $large rows / $small rows (flat = about 1.0)"
  for kind in "${DB_KINDS[@]}"; do
    echo "$kind: $(ratio "${R[$1_${kind}_$large]}" "${R[$1_${kind}_$small]}")"
  done
}

# --- PostgreSQL ----------------------------------------------------------------------------------------------
if [ -n "${TW_TEST_PG:-}" ] && [ "${#DB_KINDS[@]}" -gt 0 ]; then
  command -v psql >/dev/null || { echo "psql is missing" >&2; exit 1; }
  # psql gets the connection string without its password, which goes by PGPASSWORD (a URI stays as it is).
  PSQL_CONN=$TW_TEST_PG
  if [[ $TW_TEST_PG != postgres://* && $TW_TEST_PG != postgresql://* ]]; then
    declare -A PG_PARAMS=()
    parse_connection "$TW_TEST_PG" PG_PARAMS
    if [ -n "${PG_PARAMS[password]+set}" ]; then
      export PGPASSWORD=${PG_PARAMS[password]}
      PSQL_CONN=
      for key in "${!PG_PARAMS[@]}"; do
        [ "$key" = password ] || PSQL_CONN+="$key=$(conninfo_quote "${PG_PARAMS[$key]}") "
      done
    fi
  fi
  psql_run() { psql "$PSQL_CONN" -X -q -v ON_ERROR_STOP=1 "$@"; }
  echo "== PostgreSQL =="
  for n in "${ROWS[@]}"; do
    psql_run >/dev/null <<SQL
SET client_min_messages = warning;
DROP TABLE IF EXISTS bench_$n;
CREATE TABLE bench_$n(id integer, qty integer, price double precision, name text, note text, born date,
                      stamp timestamp, ratio double precision);
INSERT INTO bench_$n SELECT
  x,
  CASE WHEN x % 7 = 0 THEN NULL ELSE (x * 37) % 100000 END,
  round(((x % 10000) * 1.37)::numeric, 2),
  'Item <' || x || '> & "Söhne" ''Łódź''',
  CASE WHEN x % 5 = 0 THEN NULL WHEN x % 3 = 0 THEN 'tab' || chr(9) || 'and, comma' ELSE 'plain note ' || (x % 97) END,
  date '2000-01-01' + (x % 9000),
  timestamp '2020-01-01' + x * interval '1 minute',
  CASE WHEN x % 11 = 0 THEN NULL ELSE x / 3.0 END
FROM generate_series(1, $n) x;
ANALYZE bench_$n;
SQL
    write_project "$WORK/pg_html_$n.twp" 1 "bench_$n" "$WORK/out/pg_html_$n.htm" 0 postgresql "$TW_TEST_PG"
    write_project "$WORK/pg_text_$n.twp" 3 "bench_$n" "$WORK/out/pg_text_$n.txt" 0 postgresql "$TW_TEST_PG"
    echo "-- $n rows"
    {
      if db_kind html; then
        echo "psql_html|psql -H|$WORK/out/psql_$n.html||psql \"\$PSQL_CONN\" -X -H -c 'SELECT * FROM bench_$n'"
        echo "pg_html|tablewright -c (html, postgresql)|$WORK/out/console_pg.txt|$WORK/out/pg_html_$n.htm|\"\$TW\" -c \"\$WORK/pg_html_$n.twp\""
      fi
      if db_kind text; then
        echo "psql_csv|psql --csv|$WORK/out/psql_$n.csv||psql \"\$PSQL_CONN\" -X --csv -c 'SELECT * FROM bench_$n'"
        echo "pg_copy|psql COPY TO STDOUT (csv)|$WORK/out/copy_$n.csv||psql \"\$PSQL_CONN\" -X -q -c 'COPY (SELECT * FROM bench_$n) TO STDOUT (FORMAT csv, HEADER)'"
        echo "pg_text|tablewright -c (text, postgresql)|$WORK/out/console_pg.txt|$WORK/out/pg_text_$n.txt|\"\$TW\" -c \"\$WORK/pg_text_$n.twp\""
      fi
    } >"$WORK/commands.txt"
    time_commands <"$WORK/commands.txt"
    echo "ratios (wall, cpu, least cpu):"
    has pg_html && echo "  HTML / psql -H:          $(ratios pg_html psql_html)"
    has pg_text && echo "  Text / psql --csv:       $(ratios pg_text psql_csv)"
    has pg_text && echo "  Text / COPY TO STDOUT:   $(ratios pg_text pg_copy)"
    psql_run -c "DROP TABLE bench_$n" >/dev/null
  done
  db_rss pg
fi

# --- MariaDB / MySQL -------------------------------------------------------------------------------------------
if [ -n "${TW_TEST_MYSQL:-}" ] && [ "${#DB_KINDS[@]}" -gt 0 ]; then
  MARIADB=$(command -v mariadb || command -v mysql || true)
  [ -n "$MARIADB" ] || { echo "the mariadb client is missing" >&2; exit 1; }
  declare -A MY_PARAMS=()
  parse_connection "$TW_TEST_MYSQL" MY_PARAMS
  # The client's settings from the same connection string, in an option file of the work folder (no other option
  # file is read, and the password stays off the command line). Values are quoted as option files read them.
  my_value() { local v=${1//\\/\\\\}; v=${v//\"/\\\"}; printf '"%s"' "$v"; }
  MY_CNF=$WORK/my.cnf
  MY_DATABASE=
  umask_before=$(umask)
  umask 077
  {
    echo "[client]"
    echo "default-character-set=utf8mb4"
    for key in "${!MY_PARAMS[@]}"; do
      value=${MY_PARAMS[$key]}
      case $key in
        host | user | port) echo "$key=$(my_value "$value")" ;;
        password | passwd | pwd) echo "password=$(my_value "$value")" ;;
        socket | unix_socket) echo "socket=$(my_value "$value")" ;;
        connect_timeout) echo "connect-timeout=$(my_value "$value")" ;;
        database | dbname | db) ;;
        *) echo "unknown setting in TW_TEST_MYSQL: $key" >&2; exit 1 ;;
      esac
    done
  } >"$MY_CNF"
  umask "$umask_before"
  for key in database dbname db; do
    [ -z "${MY_PARAMS[$key]:-}" ] || MY_DATABASE=${MY_PARAMS[$key]}
  done
  [ -n "$MY_DATABASE" ] || { echo "TW_TEST_MYSQL names no database" >&2; exit 1; }
  mariadb_run() { "$MARIADB" "--defaults-file=$MY_CNF" "$@" "$MY_DATABASE"; }
  echo "== MariaDB =="
  for n in "${ROWS[@]}"; do
    # The PostgreSQL table's columns and values; x / 3e0 divides as a double (x / 3.0 would be a decimal cut to
    # four places).
    mariadb_run --batch >/dev/null <<SQL
DROP TABLE IF EXISTS bench_$n;
CREATE TABLE bench_$n(id INT, qty INT, price DOUBLE, name TEXT, note TEXT, born DATE, stamp DATETIME,
                      ratio DOUBLE) CHARACTER SET utf8mb4;
INSERT INTO bench_$n SELECT
  x,
  CASE WHEN x % 7 = 0 THEN NULL ELSE (x * 37) % 100000 END,
  ROUND((x % 10000) * 1.37, 2),
  CONCAT('Item <', x, '> & "Söhne" ''Łódź'''),
  CASE WHEN x % 5 = 0 THEN NULL WHEN x % 3 = 0 THEN CONCAT('tab', CHAR(9 USING utf8mb4), 'and, comma')
       ELSE CONCAT('plain note ', x % 97) END,
  DATE '2000-01-01' + INTERVAL (x % 9000) DAY,
  TIMESTAMP '2020-01-01 00:00:00' + INTERVAL x MINUTE,
  CASE WHEN x % 11 = 0 THEN NULL ELSE x / 3e0 END
FROM (SELECT seq AS x FROM seq_1_to_$n) c;
SQL
    write_project "$WORK/my_html_$n.twp" 1 "bench_$n" "$WORK/out/my_html_$n.htm" 0 mysql "$TW_TEST_MYSQL"
    write_project "$WORK/my_text_$n.twp" 3 "bench_$n" "$WORK/out/my_text_$n.txt" 0 mysql "$TW_TEST_MYSQL"
    echo "-- $n rows"
    {
      if db_kind html; then
        echo "mariadb_html|mariadb --quick --batch --html|$WORK/out/mariadb_$n.html||\"\$MARIADB\" \"--defaults-file=\$MY_CNF\" --quick --batch --html -e 'SELECT * FROM bench_$n' \"\$MY_DATABASE\""
        echo "my_html|tablewright -c (html, mariadb)|$WORK/out/console_my.txt|$WORK/out/my_html_$n.htm|\"\$TW\" -c \"\$WORK/my_html_$n.twp\""
      fi
      if db_kind text; then
        echo "mariadb_batch|mariadb --quick --batch|$WORK/out/mariadb_$n.tsv||\"\$MARIADB\" \"--defaults-file=\$MY_CNF\" --quick --batch -e 'SELECT * FROM bench_$n' \"\$MY_DATABASE\""
        echo "my_text|tablewright -c (text, mariadb)|$WORK/out/console_my.txt|$WORK/out/my_text_$n.txt|\"\$TW\" -c \"\$WORK/my_text_$n.twp\""
      fi
    } >"$WORK/commands.txt"
    time_commands <"$WORK/commands.txt"
    echo "ratios (wall, cpu, least cpu):"
    has my_html && echo "  HTML / mariadb --html:   $(ratios my_html mariadb_html)"
    has my_text && echo "  Text / mariadb --batch:  $(ratios my_text mariadb_batch)"
    mariadb_run -e "DROP TABLE bench_$n"
  done
  db_rss my
fi
