#include "app/importlog.h"

TForm8::TForm8(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("Form8");
    setWindowTitle(QStringLiteral("导入日志"));
}
