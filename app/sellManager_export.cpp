// The sales query window's export button.
#include "app/Prompter.h"
#include "app/sellManager.h"

// The workbook export is not part of this build yet.
void TForm7::ExportClick() { Prompter().Information(QStringLiteral("导出功能尚未完成。")); }
