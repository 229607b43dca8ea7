#include "Total.h"

TGlobal* Global = nullptr;

TGlobal::TGlobal(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Global"));
    setWindowTitle(QStringLiteral("Badanie całego obszaru"));
    resize(312, 293);
}

TGlobal::~TGlobal()
{
    if (Global == this)
        Global = nullptr;
}
