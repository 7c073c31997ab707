#!/usr/bin/env bash
# Makes a 65,535 x 10 workbook with openpyxl and reads it with every reader
# at hand: ours (bench_xlsx_read), openpyxl in read-only mode, and, when
# installed, the npm package xlsx (node) and ssconvert.
# Usage: bench/xlsx/run.sh BUILD_DIR
set -euo pipefail
build=${1:?build directory}
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
"$build/bin/bench_xlsx_read" "$file" 3
/usr/bin/python3 - "$file" <<'PY'
import sys, time, openpyxl
t = time.perf_counter(); c = time.process_time()
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
n = sum(1 for ws in wb.worksheets for row in ws.iter_rows(values_only=True) for v in row if v is not None and str(v) != '')
print(f'openpyxl read-only: {n} texts, {time.perf_counter() - t:.2f} s wall, {time.process_time() - c:.2f} s CPU')
PY
if command -v node >/dev/null && node -e "require('xlsx')" 2>/dev/null; then
  /usr/bin/time -f 'npm xlsx: %e s wall' node -e "const X=require('xlsx');const w=X.readFile(process.argv[1]);for(const n of w.SheetNames)X.utils.sheet_to_csv(w.Sheets[n])" "$file"
else
  echo "npm xlsx: not installed"
fi
if command -v ssconvert >/dev/null; then
  /usr/bin/time -f 'ssconvert: %e s wall' ssconvert "$file" "$work/out.csv" 2>&1 | tail -1
else
  echo "ssconvert: not installed"
fi
