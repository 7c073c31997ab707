#include "app/addgoods.h"

TForm6::TForm6(QWidget* parent) : QDialog(parent), FConnection(std::make_unique<store::Connection>()) {
    setObjectName("Form6");
    setWindowTitle(QStringLiteral("添加商品"));
    FConnection->Open();
}
