// The sales query window.
#pragma once

#include "app/child_model.h"

class TForm7 : public TForm3 {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
};
