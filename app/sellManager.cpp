#include "app/sellManager.h"

TForm7::TForm7(QWidget* parent) : TForm3(parent) {
    setObjectName("Form7");
    OpenConnection();
}
