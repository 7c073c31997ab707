// The goods window's import and export buttons.
#include <QApplication>
#include <QElapsedTimer>

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
void TForm4::ImportClick()
{
    QString file = Prompter().OpenFileName(QStringLiteral("选择商品导入文件"), FImportFile,
                                           QStringLiteral("Excel 工作簿|*.xls;*.xlsx;*.xlsm;*.zip|*.xls|*.xls"));
    if (file.isEmpty()) return;
    FImportFile = file;
    Form8->ShowInFront();
    TGoodsImport import(xls1(), ADOConnection1());
    // Log lines reach the window in batches, a few times a second, while
    // the windows keep painting: a line at a time, with the window redrawn
    // for each, took most of the time of a large import.
    QStringList pending;
    QElapsedTimer sinceShown;
    sinceShown.start();
    auto show = [&] {
        Form8->AddLines(pending);
        pending.clear();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceShown.restart();
    };
    import.OnLog = [&](const QString& line) { pending << line;
};
import.BeforeStore = [] { BackupBefore("import");
}
;
import.OnRow = [&] { if (sinceShown.elapsed() >= 100) show();
}
;
int count = 0;
try {
    count = import.Run(file);
} catch (const ENotTemplate& e) {
    show();
    Prompter().Information(QString::fromUtf8(e.what()));
    return;
} catch (...) {
    show();
    Search();
    throw;
}
show();
Search();
Prompter().ShowMessage(TGoodsImport::CompletionMessage(import.Summary()));
}

void TForm4::ExportClick()
{
    // The file gets what is stored now: typing is posted and a list another
    // window or program changed meanwhile is read again.
    if (!PostPendingEdits()) return;
    BroughtToFront();
    RunExport(ADOQuery2(), kGoodsExport, xls1());
}
