#include "app/importlog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

TForm8::TForm8(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName("Form8");
    setWindowTitle(QStringLiteral("导入日志"));
    setFixedSize(663, 410);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
}

void TForm8::AddLine(const QString& line)
{
    Memo1->appendPlainText(line);
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TForm8::AddLines(const QStringList& lines)
{
    if (lines.isEmpty()) return;
    AddLine(lines.join(QLatin1Char('\n')));
}

void TForm8::ShowInFront()
{
    show();
    raise();
    activateWindow();
}
