// The sales registration window.
#pragma once

#include "app/child_model.h"

class TForm5 : public TForm3 {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};
