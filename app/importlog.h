// The import log window.
#pragma once

#include <QWidget>

class TForm8 : public QWidget {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);
};
