#include "Pokaz.h"

TShower* Shower = nullptr;

TShower::TShower(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Shower"));
    setWindowTitle(QStringLiteral("Demonstracja koloru"));
    resize(500, 400);
}

TShower::~TShower()
{
    if (Shower == this)
        Shower = nullptr;
}
