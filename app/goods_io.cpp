// The goods window's import and export buttons.
#include <QApplication>

#include "app/Forms.h"
#include "app/GoodsImport.h"
#include "app/Prompter.h"
#include "app/QueryExport.h"
#include "app/Safety.h"
#include "app/goods.h"
#include "app/importlog.h"

// Asks for the file, logs into the import log window and imports; a file
// that is not a template is told in a box, other failures reach the default
// error report through the button's guard. The list shows the new goods.
void TForm4::ImportClick() {
    QString file = Prompter().OpenFileName(QStringLiteral("商品导入模板.xls"), QStringLiteral("Excel 工作簿|*.xls;*.xlsx;*.xlsm;*.zip|*.xls|*.xls"));
    if (file.isEmpty()) return;
    Form8->ShowInFront();
    TGoodsImport import(xls1(), ADOConnection1());
    import.OnLog = [](const QString& line) { Form8->AddLine(line); };
    import.BeforeStore = [] { BackupBefore("import"); };
    import.OnRow = [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    int count = 0;
    try {
        count = import.Run(file);
    } catch (const ENotTemplate& e) {
        Prompter().Information(QString::fromUtf8(e.what()));
        return;
    } catch (...) {
        Search();
        throw;
    }
    Search();
    Prompter().ShowMessage(TGoodsImport::CompletionMessage(count));
}

void TForm4::ExportClick() { RunExport(ADOQuery2(), kGoodsExport, xls1()); }
