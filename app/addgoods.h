// The goods picker of the sales registration window.
#pragma once

#include <QDialog>
#include <memory>

#include "store/Connection.h"

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    store::Connection& ADOConnection1() { return *FConnection; }

private:
    std::unique_ptr<store::Connection> FConnection;
};
