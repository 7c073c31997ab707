// Small helpers the sales windows build their controls with.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStyle>

inline QPushButton* SalesButton(const QString& text, QStyle::StandardPixmap icon, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(name);
    return b;
}

inline QLabel* SalesLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}
