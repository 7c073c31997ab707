#!/usr/bin/env bash
# Makes a 65,535 x 10 workbook with openpyxl and reads it with every reader
# at hand: ours (bench_xlsx_read), openpyxl in read-only mode, the npm package
# xlsx (installed into a temporary folder when node and npm are present) and
# ssconvert. Each reader runs RUNS times (default 3); the best wall time, the
# best CPU time (user + sys) and the largest peak resident set are printed.
# Usage: bench/xlsx/run.sh BUILD_DIR
set -euo pipefail
build=${1:?build directory}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/big.xlsx
/usr/bin/python3 - "$file" <<'PY'
import sys, openpyxl
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet('Goods')
for r in range(65535):
    ws.append([f'SP{r:06d}', f'商品 {r}', 'attr', r * 1.25, r * 2.5, r % 100, r / 7, True, f'note {r % 13}', r])
wb.save(sys.argv[1])
PY
ls -l "$file"

# measure NAME COMMAND...: runs the command $runs times, timed to the
# microsecond by measure.py (wall, user + sys CPU, peak RSS), and keeps the
# best wall time in $work/NAME.best for the ratio at the end.
here=$(cd "$(dirname "$0")" && pwd)
measure() {
  local name=$1; shift
  local stats=$work/stats
  : >"$stats"
  for ((i = 0; i < runs; ++i)); do
    /usr/bin/python3 "$here/../workbook/measure.py" /dev/null "$@" >>"$stats" 2>"$work/err.txt" ||
      { echo "$name: failed"; cat "$work/err.txt"; return 0; }
  done
  awk -v name="$name" -v runs="$runs" -v best="$work/$name.best" '
    NF == 3 { if (!n || $1 < bw) bw = $1; if (!n || $2 < bc) bc = $2; if ($3 > rss) rss = $3; n++ }
    END { printf "%-20s best of %d: %7.3f s wall, %7.3f s CPU, %7.1f MiB peak RSS\n", name ":", runs, bw, bc, rss / 1024
          print bw > best }' "$stats"
}

# Ours: the program reads the file once per process, so that every process
# is measured alike; its own line gives the texts counted.
"$build/bin/bench_xlsx_read" "$file" 1
measure tallybrook "$build/bin/bench_xlsx_read" "$file" 1

cat >"$work/openpyxl_read.py" <<'PY'
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
n = sum(1 for ws in wb.worksheets for row in ws.iter_rows(values_only=True) for v in row if v is not None and str(v) != '')
print(n)
PY
measure "openpyxl read-only" /usr/bin/python3 "$work/openpyxl_read.py" "$file"

if command -v node >/dev/null && command -v npm >/dev/null &&
   npm install --silent --no-audit --no-fund --prefix "$work/npm" xlsx >/dev/null 2>&1; then
  cat >"$work/sheetjs_read.js" <<'JS'
const X = require(process.argv[2] + '/node_modules/xlsx');
const w = X.readFile(process.argv[3]);
for (const n of w.SheetNames) X.utils.sheet_to_csv(w.Sheets[n]);
JS
  measure "npm xlsx" node "$work/sheetjs_read.js" "$work/npm" "$file"
else
  echo "npm xlsx: not available (needs node and npm)"
fi

if command -v ssconvert >/dev/null; then
  measure ssconvert ssconvert "$file" "$work/out.csv"
else
  echo "ssconvert: not installed"
fi

# The fastest peer's best wall time against ours (goal: at least 10x).
ours=$(cat "$work/tallybrook.best")
fastest=$(cat "$work"/*.best | grep -v "^$ours\$" | sort -g | head -1)
for f in "$work"/*.best; do
  name=$(basename "$f" .best)
  [ "$name" = tallybrook ] && continue
  [ "$(cat "$f")" = "$fastest" ] && awk -v p="$fastest" -v o="$ours" -v n="$name" \
    'BEGIN { printf "fastest peer (%s) / tallybrook: %.1fx wall (goal: 10x)\n", n, p / o }'
done
