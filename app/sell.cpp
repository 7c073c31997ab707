#include "app/sell.h"

TForm5::TForm5(QWidget* parent) : TForm3(parent) {
    setObjectName("Form5");
    OpenConnection();
}
