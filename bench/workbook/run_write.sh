#!/bin/bash
# Times writing a table of sales lines as an Excel 97-2003 workbook: our
# `tallybrook-xls write` process and the in-process benchmark, next to
# python3-xlwt, Spreadsheet::WriteExcel and ssconvert writing the same table
# from the same tab-separated file in the same run. Not a test.
#
#   bench/workbook/run_write.sh BUILD_DIR [RUNS]
#
# Each program runs RUNS times (default 5; the peers min(RUNS, 3) times);
# the best wall time, best CPU time (user + sys) and the largest peak RSS
# are printed. Tables of 65,535 and 10,000 rows.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [RUNS]}
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bin/bench_workbook_write
tool=$build/bin/tallybrook-xls
for f in "$bench" "$tool"; do
    [ -x "$f" ] || { echo "missing $f: build the targets bench_workbook_write and tallybrook-xls" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME RUNS OUT.xls TSV COMMAND...: runs COMMAND with TSV on stdin,
# prints one line of best wall, best CPU, peak RSS and file size, and leaves
# "wall cpu" of the best runs in $work/NAME.best.
measure() {
    local name=$1 n=$2 out=$3 tsv=$4
    shift 4
    local i
    for ((i = 0; i < n; i++)); do
        rm -f "$out"
        /usr/bin/python3 "$here/measure.py" "$tsv" "$@" >> "$work/$name.times"
    done
    local size
    size=$(stat -c %s "$out")
    awk -v name="$name" -v size="$size" -v best="$work/$name.best" '
        { wall = $1; cpu = $2; rss = $3 / 1024
          if (NR == 1 || wall < bw) bw = wall
          if (NR == 1 || cpu < bc) bc = cpu
          if (rss > br) br = rss }
        END { printf "  %-26s %8.3f s %8.3f s %8.1f MB %8.2f MB\n", name, bw, bc, br, size / 1048576
              printf "%s %s\n", bw, bc > best }' "$work/$name.times"
}

run_table() {
    local rows=$1
    local tsv=$work/table-$rows.tsv
    "$bench" "$work/gen.xls" "$rows" --tsv "$tsv" > /dev/null
    echo "== $rows rows x 10 columns of text ($(stat -c %s "$tsv") bytes of TSV)"
    echo "  in-process benchmark (best of $runs by total CPU):"
    for ((i = 0; i < runs; i++)); do "$bench" "$work/bench.xls" "$rows"; done |
        sed -E 's/.*total [0-9.]+ ms wall ([0-9.]+) ms CPU.*/\1 &/' | sort -n | head -1 |
        sed -E 's/^[0-9.]+ rows [0-9]+ x 10 columns: /    /'
    printf "  %-26s %10s %10s %11s %11s\n" program "wall" "CPU" "peak RSS" "file"
    measure tallybrook-xls "$runs" "$work/ours.xls" "$tsv" "$tool" write "$work/ours.xls"
    local peers=$((runs < 3 ? runs : 3))
    measure python3-xlwt "$peers" "$work/xlwt.xls" "$tsv" /usr/bin/python3 "$here/peer_xlwt.py" "$work/xlwt.xls"
    measure perl-WriteExcel "$peers" "$work/writeexcel.xls" "$tsv" perl "$here/peer_writeexcel.pl" "$work/writeexcel.xls"
    measure ssconvert "$peers" "$work/ssconvert.xls" "$tsv" \
        ssconvert -T Gnumeric_Excel:excel_biff8 "$tsv" "$work/ssconvert.xls"
    local size
    size=$(stat -c %s "$work/ours.xls")
    cat "$work"/{python3-xlwt,perl-WriteExcel,ssconvert}.best "$work/tallybrook-xls.best" | awk -v size="$size" \
        -v rss="$(awk '{ if ($3 > m) m = $3 } END { print m / 1024 }' "$work/tallybrook-xls.times")" '
        NR <= 3 { if (NR == 1 || $1 < pw) pw = $1; if (NR == 1 || $2 < pc) pc = $2 }
        NR == 4 { ow = $1; oc = $2 }
        END { printf "  fastest peer / tallybrook-xls: %.1fx wall, %.1fx CPU (goal: 20x)\n", pw / ow, pc / oc
              limit = 3 * size / 1048576 + 50
              printf "  peak RSS %.1f MB, limit 3 x file + 50 MB = %.1f MB: %s\n", rss, limit, rss < limit ? "within" : "OVER" }'
    rm -f "$work"/*.times "$work"/*.best
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
run_table 65535
run_table 10000
