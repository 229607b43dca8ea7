#include "Stat.h"

TStatystyka* Statystyka = nullptr;

TStatystyka::TStatystyka(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Statystyka"));
    setWindowTitle(QStringLiteral("Statystyka"));
    resize(295, 194);
}

TStatystyka::~TStatystyka()
{
    if (Statystyka == this)
        Statystyka = nullptr;
}
