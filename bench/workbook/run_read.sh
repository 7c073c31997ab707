#!/usr/bin/env bash
# Reading benchmark: makes the 65,535 x 10 export with bench_workbook_write
# and, in the same run, reads it with every reader at hand, each taking
# every cell's value as text:
#   ours: tallybrook-xls cat (to /dev/null) and bench_workbook_read (Read +
#         GetAsString of every cell, in-process);
#   python3-xlrd, FreeXL (a few lines of C, built here), Perl's
#   Spreadsheet::ParseExcel and the npm package xlsx (installed into a
#   temporary folder when node and npm are present).
# Prints best-of-N wall and CPU (user + sys) time and the peak RSS of each,
# and our ratios against xlrd and FreeXL. Then times `tallybrook
# import-goods` of a 10,000-row goods template.
#
# FreeXL refuses a workbook whose shared-string table holds the empty text
# (it opens nothing and reports no error), and the export has empty text
# cells. When it refuses the export, the same table with "-" in place of each
# empty text is written too, and FreeXL, xlrd and ours are also timed on that
# file, so the ratio against FreeXL compares one file.
#
# Usage: bench/workbook/run_read.sh BUILD_DIR [RUNS]   (RUNS default 5)
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
runs=${2:-5}
bin=$build/bin
for tool in bench_workbook_write bench_workbook_read tallybrook-xls; do
  [ -x "$bin/$tool" ] || { echo "missing $bin/$tool (cmake --build $build --target $tool)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

# Times one run of a command to the microsecond (GNU time rounds to 10 ms,
# too coarse here): prints wall and CPU (user + sys) seconds and peak RSS kB.
cat > "$work/time.py" <<'PY'
import os, subprocess, sys, time
with open(sys.argv[1], "wb") as out, open(sys.argv[2], "wb") as err:
    start = time.monotonic()
    child = subprocess.Popen(sys.argv[3:], stdout=out, stderr=err)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
print(f"{wall:.4f} {usage.ru_utime + usage.ru_stime:.4f} {usage.ru_maxrss}")
sys.exit(os.waitstatus_to_exitcode(status))
PY

# measure NAME RUNS COMMAND...: best wall, best CPU and the largest peak RSS of
# the runs. Standard output goes to $measure_out (a file the note is taken
# from, or /dev/null).
declare -A WALL CPU
measure_out=$work/out
measure() {
  local name=$1 n=$2; shift 2
  local best_wall= best_cpu= peak=0 i
  for ((i = 0; i < n; i++)); do
    if ! /usr/bin/python3 "$work/time.py" "$measure_out" "$work/err" "$@" > "$work/time"; then
      printf '%-34s failed: %s\n' "$name" "$(head -c 200 "$work/err" | tr '\n' ' ')"
      return 0
    fi
    read -r wall cpu kb < "$work/time"
    if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    ((kb > peak)) && peak=$kb
  done
  WALL[$name]=$best_wall
  CPU[$name]=$best_cpu
  local note="to /dev/null"
  if [ "$measure_out" != /dev/null ]; then
    note=$(tail -1 "$measure_out")
    [[ $note == *texts ]] || note="$(wc -l < "$measure_out") lines"
  fi
  printf '%-34s %7.3f s wall %7.3f s CPU %7.1f MB peak  %s\n' "$name" "$best_wall" "$best_cpu" \
    "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$note"
}

# inprocess NAME FILE: bench_workbook_read's own best of RUNS for Read +
# every GetAsString + freeing the workbook, and the peak RSS of its process.
inprocess() {
  local name=$1
  "$bin/bench_workbook_read" "$2" "$runs" > "$work/out"
  read -r wall cpu mb < <(sed -n 's/.*whole \([0-9.]*\) s wall \([0-9.]*\) s CPU.*peak RSS \([0-9.]*\) MB.*/\1 \2 \3/p' "$work/out")
  WALL[$name]=$wall
  CPU[$name]=$cpu
  printf '%-34s %7.3f s wall %7.3f s CPU %7.1f MB peak  %s\n' "$name" "$wall" "$cpu" "$mb" \
    "$(grep -o '[0-9][0-9]* texts,' "$work/out" | tr -d ,)"
  grep -o 'read [^;]*CPU, texts [^;]*CPU' "$work/out" | sed 's/^/    of which: /' || true
}

# ratio A B: how many times faster A is than B, in wall and CPU time.
ratio() {
  [ -n "${WALL[$1]:-}" ] && [ -n "${WALL[$2]:-}" ] || return 0
  awk -v a="$1" -v b="$2" -v wa="${WALL[$1]}" -v wb="${WALL[$2]}" -v ca="${CPU[$1]}" -v cb="${CPU[$2]}" \
    'function r(x, y) { return x > 0 ? sprintf("%.1f", y / x) : "inf" }
     BEGIN { printf "  %-32s is %sx faster than %s in wall time, %sx in CPU time\n", a, r(wa, wb), b, r(ca, cb) }'
}

# Peers --------------------------------------------------------------------
cat > "$work/xlrd_read.py" <<'PY'
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
texts = 0
for sheet in book.sheets():
    for r in range(sheet.nrows):
        for v in sheet.row_values(r):
            texts += str(v) != ''
print(texts, 'texts')
PY

cat > "$work/freexl_read.c" <<'C'
#include <freexl.h>
#include <stdio.h>
int main(int argc, char **argv) {
    const void *h = NULL; unsigned sheets = 0, rows, r; unsigned short cols, c, s; long texts = 0; char buf[64];
    if (freexl_open(argv[1], &h) != FREEXL_OK || !h) { fprintf(stderr, "FreeXL cannot open the file\n"); return 1; }
    freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &sheets);
    for (s = 0; s < sheets; ++s) {
        freexl_select_active_worksheet(h, s);
        freexl_worksheet_dimensions(h, &rows, &cols);
        for (r = 0; r < rows; ++r)
            for (c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
                if (v.type == FREEXL_CELL_INT) texts += snprintf(buf, sizeof buf, "%d", v.value.int_value) > 0;
                else if (v.type == FREEXL_CELL_DOUBLE) texts += snprintf(buf, sizeof buf, "%.15g", v.value.double_value) > 0;
                else if (v.type != FREEXL_CELL_NULL) texts += v.value.text_value && v.value.text_value[0];
            }
    }
    freexl_close(h);
    printf("%ld texts\n", texts);
    return 0;
}
C
have_freexl=0
if gcc -O2 -o "$work/freexl_read" "$work/freexl_read.c" -lfreexl 2> "$work/gcc.err"; then have_freexl=1; fi

cat > "$work/parseexcel_read.pl" <<'PL'
use strict; use warnings; use Spreadsheet::ParseExcel;
my $book = Spreadsheet::ParseExcel->new->parse($ARGV[0]) or die "cannot parse\n";
my $texts = 0;
for my $sheet ($book->worksheets) {
    my ($r0, $r1) = $sheet->row_range; my ($c0, $c1) = $sheet->col_range;
    for my $r ($r0 .. $r1) { for my $c ($c0 .. $c1) {
        my $cell = $sheet->get_cell($r, $c); next unless $cell;
        my $v = $cell->value; $texts++ if defined $v && $v ne '';
    } }
}
print "$texts texts\n";
PL

have_sheetjs=0
if command -v node > /dev/null && command -v npm > /dev/null; then
  if npm install --prefix "$work/npm" --no-audit --no-fund --silent xlsx > "$work/npm.log" 2>&1; then
    have_sheetjs=1
    cat > "$work/sheetjs_read.js" <<'JS'
const XLSX = require(process.argv[2]);
const book = XLSX.readFile(process.argv[3]);
let texts = 0;
for (const name of book.SheetNames) {
  const sheet = book.Sheets[name];
  for (const ref in sheet) {
    if (ref[0] === '!') continue;
    const cell = sheet[ref];
    const text = cell.w !== undefined ? cell.w : String(cell.v);
    if (text !== '') texts++;
  }
}
console.log(texts + ' texts');
JS
  fi
fi

# The workbooks ---------------------------------------------------------------
file=$work/export.xls
"$bin/bench_workbook_write" "$file" 65535 --tsv "$work/export.tsv" > "$work/write.log"
echo "file: 65,535 x 10 export, $(stat -c %s "$file") bytes"
freexl_file=$file
if ((have_freexl)) && ! "$work/freexl_read" "$file" > /dev/null 2>&1; then
  freexl_file=$work/export-no-empty.xls
  awk -F'\t' 'BEGIN { OFS = "\t" } { for (i = 1; i <= NF; i++) if ($i == "") $i = "-"; print }' "$work/export.tsv" |
    "$bin/tallybrook-xls" write "$freexl_file"
  echo "FreeXL refuses it; for FreeXL also: the same table without empty texts, $(stat -c %s "$freexl_file") bytes"
fi
echo

# The same run: every reader on the export ------------------------------------
echo "Reading the export (best of $runs; ParseExcel and npm xlsx once, as they take seconds):"
cat_lines() { echo "$("$bin/tallybrook-xls" cat "$1" | wc -l) lines"; }
# ours CAT_NAME INPROCESS_NAME FILE: cat to /dev/null, then the in-process loop.
ours() {
  measure_out=/dev/null
  measure "$1" "$runs" "$bin/tallybrook-xls" cat "$3"
  measure_out=$work/out
  echo "    it lists $(cat_lines "$3")"
  inprocess "$2" "$3"
}
ours "ours: tallybrook-xls cat" "ours: Read + GetAsString" "$file"
measure "python3-xlrd" "$runs" /usr/bin/python3 "$work/xlrd_read.py" "$file"
if ((have_freexl)) && [ "$freexl_file" = "$file" ]; then
  measure "FreeXL" "$runs" "$work/freexl_read" "$file"
fi
measure "Perl Spreadsheet::ParseExcel" 1 perl "$work/parseexcel_read.pl" "$file"
if ((have_sheetjs)); then
  measure "npm xlsx" 1 node "$work/sheetjs_read.js" "$work/npm/node_modules/xlsx" "$file"
else
  echo "npm xlsx: not available (node/npm missing or the install failed)"
fi
ratio "ours: tallybrook-xls cat" "python3-xlrd"
ratio "ours: Read + GetAsString" "python3-xlrd"
ratio "ours: tallybrook-xls cat" "FreeXL"
ratio "ours: Read + GetAsString" "FreeXL"

if ((have_freexl)) && [ "$freexl_file" != "$file" ]; then
  echo
  echo "Reading the table without empty texts, which FreeXL reads (best of $runs):"
  ours "ours: cat, no empty texts" "ours: in-process, no empty texts" "$freexl_file"
  measure "python3-xlrd, no empty texts" "$runs" /usr/bin/python3 "$work/xlrd_read.py" "$freexl_file"
  measure "FreeXL, no empty texts" "$runs" "$work/freexl_read" "$freexl_file"
  ratio "ours: cat, no empty texts" "FreeXL, no empty texts"
  ratio "ours: in-process, no empty texts" "FreeXL, no empty texts"
  ratio "ours: cat, no empty texts" "python3-xlrd, no empty texts"
fi
((have_freexl)) || echo "FreeXL: not available ($(head -1 "$work/gcc.err"))"

# The goods import ------------------------------------------------------------
if [ -x "$bin/tallybrook" ]; then
  echo
  import=$work/import
  mkdir -p "$import"
  awk 'BEGIN {
    OFS = "\t"; print "商品编码", "商品名称", "商品属性", "商品进价", "商品售价", "商品库存", "备注"
    split("红,蓝,,XL", attrs, ","); split(",新品,促销", notes, ",")
    for (i = 1; i <= 10000; i++)
      printf "SP%06d\t商品%d 纯棉T恤\t%s\t%d.%02d\t%d.%02d\t%d\t%s\n", i, i, attrs[i % 4 + 1], 1 + i % 500, i % 100,
             1 + (i * 7) % 900, (i * 3) % 100, i % 1000, notes[i % 3 + 1]
  }' > "$import/goods.tsv"
  "$bin/tallybrook-xls" write "$import/template.xls" < "$import/goods.tsv"
  (cd "$import" && "$bin/tallybrook" new-database > /dev/null && mv ledgr.mdb empty.mdb)
  # Each run starts from the empty database and the unwritten template.
  cat > "$import/run.sh" <<SH
#!/usr/bin/env bash
set -e
cd "$import"
rm -rf backups
cp empty.mdb ledgr.mdb
cp template.xls goods.xls
SH
  chmod +x "$import/run.sh"
  best=
  for ((i = 0; i < runs; i++)); do
    "$import/run.sh"
    (cd "$import" && /usr/bin/python3 "$work/time.py" "$import/log" "$import/err" "$bin/tallybrook" import-goods goods.xls) \
      > "$work/import.time"
    read -r wall cpu kb < "$work/import.time"
    line="$(awk -v w="$wall" -v c="$cpu" -v k="$kb" 'BEGIN { printf "%7.3f s wall %7.3f s CPU %7.1f MB peak", w, c, k / 1024 }')"
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$wall; best_line=$line; fi
  done
  printf '%-34s %s  %s\n' "tallybrook import-goods (10,000)" "$best_line" "$(tail -1 "$import/log")"
else
  echo "tallybrook import-goods: $bin/tallybrook not built (cmake --build $build --target tallybrook)"
fi
