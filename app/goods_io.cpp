// The goods window's import and export buttons.
#include "app/Prompter.h"
#include "app/QueryExport.h"
#include "app/goods.h"

// The workbook import is not part of this build yet.
void TForm4::ImportClick() { Prompter().Information(QStringLiteral("导入功能尚未完成。")); }

void TForm4::ExportClick() { RunExport(ADOQuery2(), kGoodsExport, xls1()); }
