// The goods window's import and export buttons.
#include "app/Prompter.h"
#include "app/goods.h"

// The workbook import and export are not part of this build yet.
void TForm4::ImportClick() { Prompter().Information(QStringLiteral("导入功能尚未完成。")); }
void TForm4::ExportClick() { Prompter().Information(QStringLiteral("导出功能尚未完成。")); }
